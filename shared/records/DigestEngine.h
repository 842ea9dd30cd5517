#pragma once

#include "WeeklyDigest.h"

#include "core/UserDefaults.h"

#include <mutex>
#include <vector>

// Keeps the twelve newest weekly digests, newest first, under "com.quorvane.digestengine.digests".
// Safe from any thread. Loads once, at creation; each instance writes its own list on every add.
class DigestEngine
{
public:
    static constexpr std::size_t kMaximumDigests = 12;
    static inline const QString digestsKey = QStringLiteral("com.quorvane.digestengine.digests");

    explicit DigestEngine(UserDefaults& defaults = UserDefaults::standard());
    ~DigestEngine();

    DigestEngine(const DigestEngine&) = delete;
    DigestEngine& operator=(const DigestEngine&) = delete;

    std::vector<WeeklyDigest> getDigests() const;
    // Puts the digest in front (no check for duplicates), keeps the twelve newest and stores them.
    void addDigest(const WeeklyDigest& digest);

private:
    void save();

    UserDefaults& m_defaults;
    mutable std::mutex m_mutex;
    std::vector<WeeklyDigest> m_digests;
    QMetaObject::Connection m_erasedWatch;
};
