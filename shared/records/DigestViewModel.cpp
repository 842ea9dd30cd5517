#include "DigestViewModel.h"

DigestViewModel::DigestViewModel(std::shared_ptr<DigestEngine> digestEngine, QObject* parent)
    : QObject(parent)
    , m_digestEngine(std::move(digestEngine))
{
}

QFuture<void> DigestViewModel::reload()
{
    return m_reads.run([engine = m_digestEngine] { return engine->getDigests(); },
        [this](std::vector<WeeklyDigest> digests) {
            m_weeklyDigests = std::move(digests);
            emit weeklyDigestsChanged();
        });
}
