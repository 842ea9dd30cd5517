#include "DigestEngine.h"

DigestEngine::DigestEngine(UserDefaults& defaults)
    : m_defaults(defaults)
{
    // A stored value that does not decode reads as an empty store and stays until the first add.
    if (const auto stored = m_defaults.data(digestsKey)) {
        if (auto digests = jsoncodec::decodeText<std::vector<WeeklyDigest>>(*stored))
            m_digests = std::move(*digests);
    }
    // Digests erased from the store (privacy erasure) are forgotten here too, so the next add does
    // not write them back.
    m_erasedWatch = QObject::connect(&m_defaults, &UserDefaults::valueChanged, [this](const QString& key) {
        if (key != digestsKey || m_defaults.contains(key))
            return;
        std::lock_guard lock(m_mutex);
        if (!m_defaults.contains(key))
            m_digests.clear();
    });
}

DigestEngine::~DigestEngine()
{
    QObject::disconnect(m_erasedWatch);
}

std::vector<WeeklyDigest> DigestEngine::getDigests() const
{
    std::lock_guard lock(m_mutex);
    return m_digests;
}

void DigestEngine::addDigest(const WeeklyDigest& digest)
{
    std::lock_guard lock(m_mutex);
    m_digests.insert(m_digests.begin(), digest);
    if (m_digests.size() > kMaximumDigests)
        m_digests.resize(kMaximumDigests);
    save();
}

// Called with the mutex held. A list holding a non-finite number is not written.
void DigestEngine::save()
{
    if (const auto text = jsoncodec::encodeText(m_digests))
        m_defaults.setData(digestsKey, *text);
}
