#pragma once

#include "DeveloperCacheItem.h"
#include "StorageRoots.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Measures and empties the known developer cache folders. Every operation blocks and may be called
// from any thread; one engine runs one operation at a time. Only a known cache folder is ever
// emptied, by descriptor and without following a link, and the folder itself stays.
class DeveloperCacheEngine
{
public:
    // Which configured folder a known target lies in.
    enum class Base {
        home,
        cacheHome, // $XDG_CACHE_HOME, else ~/.cache
        huggingFaceHub, // the hub cache itself
    };

    struct KnownTarget
    {
        std::string name;
        DeveloperCacheCategory category;
        std::string relativePath; // below the base, no leading slash; empty for the base itself
        CacheSafetyTier safetyTier;
        std::string details;
        Base base = Base::home;
    };

    // The known targets in scan order; the order also decides ties between equal sizes.
    static const std::vector<KnownTarget>& defaultTargets();
    // Where a target lies for these roots.
    static std::string targetPath(const KnownTarget& target, const StorageRoots& roots);

    static constexpr std::int64_t kListingThresholdBytes = 1048576;

    // Cache locations read from the environment at each call.
    DeveloperCacheEngine();
    explicit DeveloperCacheEngine(StorageRoots roots);

    // Every known folder that exists as a real folder and holds more than 1 MiB, largest first.
    std::vector<DeveloperCacheItem> scanCaches();
    // Bytes of the regular files below a folder (a hard-linked file once, links not followed);
    // 0 when it cannot be read.
    std::int64_t calculateDirectorySize(const std::string& path);

    struct PurgeResult
    {
        std::int64_t freedBytes = 0; // what was really removed
        std::optional<std::string> error; // set when the folder was refused or could not be listed
        // Set when part of the folder was left in place (a mount point, an entry that could not be
        // removed): why, and the first thing that was left, below the folder.
        std::optional<std::string> incomplete;
        bool ok() const { return !error; }
    };
    // Empties one known cache folder, keeping the folder. A missing or empty folder frees 0 without
    // error; a path that is no known target, a link, not a folder, the home folder or one of its
    // ancestors is refused; children that cannot be removed, and mount points with everything
    // under them, are left, freed nothing and make the purge incomplete.
    PurgeResult purgeCache(const std::string& path);

    struct SafePurge
    {
        std::int64_t reclaimedBytes = 0; // also what caches left in part freed
        // In scan order, caches emptied whole that freed something; a cache left in part is never here.
        std::vector<std::string> clearedNames;
        std::vector<std::string> incompleteNames; // in scan order, caches that were not emptied fully
        // Safe caches that were refused or could not be listed, with the reason, in scan order.
        std::vector<std::pair<std::string, std::string>> failures;

        // Every safe cache was emptied whole.
        bool complete() const { return incompleteNames.empty() && failures.empty(); }
        // The assistance history's line: "Cleared A, B +1 more", then "; partly left: C" for caches
        // emptied in part, or "Partly cleared C" when only such caches freed anything.
        std::string clearedDetail() const;
    };
    // Scans, then empties every "Safe to Purge" cache; a cache that cannot be emptied is skipped and
    // listed among the failures.
    SafePurge purgeAllSafeCaches();

    // Grows with every purge this engine makes, so that a sizing kept elsewhere knows it is stale.
    std::uint64_t changeCount() const { return m_changes; }

private:
    StorageRoots roots() const;
    std::vector<DeveloperCacheItem> scan(const StorageRoots& where) const;
    PurgeResult purge(const std::string& path, const StorageRoots& where) const;

    std::mutex m_mutex;
    std::optional<StorageRoots> m_roots;
    std::atomic<std::uint64_t> m_changes {0};
};
