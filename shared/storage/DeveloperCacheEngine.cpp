#include "DeveloperCacheEngine.h"

#include "platform/fs/ContainedPath.h"
#include "platform/fs/TreeRemover.h"
#include "platform/fs/TreeSizer.h"
#include "platform/io/UniqueFd.h"
#include "platform/text/NamesList.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

using platform::ContainedPath;
using platform::namesList;
using platform::UniqueFd;

namespace {

std::string clean(const std::string& path)
{
    return ContainedPath::normalize(path).value_or(path);
}

std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// Opens a target without following a link below its configured base folder (the base itself,
// such as a cache folder moved to another disk, may be a link).
ContainedPath openTarget(const std::string& path, const std::string& base)
{
    return ContainedPath::open(base == path ? parentOf(path) : base, path);
}

std::string baseFolder(DeveloperCacheEngine::Base base, const StorageRoots& roots)
{
    switch (base) {
    case DeveloperCacheEngine::Base::home:
        return clean(roots.home);
    case DeveloperCacheEngine::Base::cacheHome:
        return clean(roots.cacheHome);
    case DeveloperCacheEngine::Base::huggingFaceHub:
        break;
    }
    return clean(roots.huggingFaceHub);
}

DeveloperCacheEngine::PurgeResult refusal(std::string message)
{
    DeveloperCacheEngine::PurgeResult result;
    result.error = std::move(message);
    return result;
}

std::int64_t regularFileBytes(int dirFd)
{
    const auto size = platform::TreeSizer().measure(dirFd);
    return size ? size->bytes : 0;
}

} // namespace

const std::vector<DeveloperCacheEngine::KnownTarget>& DeveloperCacheEngine::defaultTargets()
{
    static const std::vector<KnownTarget> targets {
        {"Xcode DerivedData", DeveloperCacheCategory::xcodeDerivedData, "Library/Developer/Xcode/DerivedData",
            CacheSafetyTier::safeToPurge,
            "Intermediate build products, module caches, and index files. Rebuilding regenerates them safely.",
            Base::home},
        {"npm Cache", DeveloperCacheCategory::npmCache, ".npm/_cacache", CacheSafetyTier::safeToPurge,
            "Cached Node.js package tarballs and index data.", Base::home},
        {"Python uv Cache", DeveloperCacheCategory::uvCache, "uv", CacheSafetyTier::safeToPurge,
            "Pre-built Python wheels and downloaded toolchains.", Base::cacheHome},
        {"Python pip Cache", DeveloperCacheCategory::pipCache, "pip", CacheSafetyTier::safeToPurge,
            "Cached wheels and download artifacts from PyPI.", Base::cacheHome},
        {"Swift Package Manager", DeveloperCacheCategory::swiftPMCache, "org.swift.swiftpm",
            CacheSafetyTier::safeToPurge, "Cloned package repositories and SPM manifests.", Base::cacheHome},
        {"Hugging Face Hub", DeveloperCacheCategory::huggingFaceHub, "", CacheSafetyTier::confirmRequired,
            "Raw FP16/BF16 checkpoints and model weights.", Base::huggingFaceHub},
    };
    return targets;
}

std::string DeveloperCacheEngine::targetPath(const KnownTarget& target, const StorageRoots& roots)
{
    const std::string base = baseFolder(target.base, roots);
    if (target.relativePath.empty())
        return base;
    return clean(base + "/" + target.relativePath);
}

DeveloperCacheEngine::DeveloperCacheEngine() = default;

DeveloperCacheEngine::DeveloperCacheEngine(StorageRoots roots)
    : m_roots(std::move(roots))
{
}

StorageRoots DeveloperCacheEngine::roots() const
{
    return m_roots ? *m_roots : StorageRoots::fromEnvironment();
}

std::vector<DeveloperCacheItem> DeveloperCacheEngine::scan(const StorageRoots& where) const
{
    std::vector<DeveloperCacheItem> items;
    for (const auto& target : defaultTargets()) {
        const std::string path = targetPath(target, where);
        const ContainedPath entry = openTarget(path, baseFolder(target.base, where));
        if (!entry.isDirectory())
            continue;
        const UniqueFd folder = entry.openDirectory();
        if (!folder)
            continue;
        const std::int64_t bytes = regularFileBytes(folder.get());
        if (bytes <= kListingThresholdBytes)
            continue;
        items.push_back({target.name, target.category, path, bytes, target.safetyTier, target.details});
    }
    std::stable_sort(
        items.begin(), items.end(), [](const auto& a, const auto& b) { return a.sizeBytes > b.sizeBytes; });
    return items;
}

std::vector<DeveloperCacheItem> DeveloperCacheEngine::scanCaches()
{
    std::lock_guard lock(m_mutex);
    return scan(roots());
}

std::int64_t DeveloperCacheEngine::calculateDirectorySize(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    const auto size = platform::TreeSizer().measure(path);
    return size ? size->bytes : 0;
}

DeveloperCacheEngine::PurgeResult DeveloperCacheEngine::purge(const std::string& path, const StorageRoots& where) const
{
    const auto wanted = ContainedPath::normalize(path);
    const KnownTarget* known = nullptr;
    for (const auto& target : defaultTargets()) {
        if (wanted && targetPath(target, where) == *wanted)
            known = &target;
    }
    if (!known)
        return refusal("Not a known cache folder: " + path);

    const std::string home = clean(where.home);
    if (*wanted == home || ContainedPath::isBelow(home, *wanted) || *wanted == "/")
        return refusal("Refusing to empty the home folder or a folder that holds it: " + path);

    const ContainedPath entry = openTarget(*wanted, baseFolder(known->base, where));
    switch (entry.status()) {
    case ContainedPath::Status::missing:
        return {};
    case ContainedPath::Status::throughLink:
        return refusal("The cache folder lies behind a link: " + path);
    case ContainedPath::Status::ok:
        break;
    default:
        return refusal("The cache folder cannot be reached: " + path);
    }
    if (entry.isSymlink())
        return refusal("The cache folder is a link: " + path);
    if (!entry.isDirectory())
        return refusal("The cache path is not a folder: " + path);
    struct stat homeInfo
    {
    };
    if (::stat(home.c_str(), &homeInfo) == 0 && homeInfo.st_dev == entry.info().st_dev
        && homeInfo.st_ino == entry.info().st_ino)
        return refusal("Refusing to empty the home folder: " + path);

    const UniqueFd folder = entry.openDirectory();
    if (!folder)
        return refusal("The cache folder cannot be listed: " + path + ": " + std::strerror(errno));
    if (regularFileBytes(folder.get()) <= 0)
        return {};
    const platform::RemovalReport report = platform::TreeRemover().removeChildren(folder.get());
    if (!report.listed)
        return refusal("The cache folder cannot be listed: " + path);
    DeveloperCacheEngine::PurgeResult result;
    result.freedBytes = report.freedBytes;
    if (!report.complete)
        result.incomplete = report.problem;
    return result;
}

DeveloperCacheEngine::PurgeResult DeveloperCacheEngine::purgeCache(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    auto result = purge(path, roots());
    ++m_changes;
    return result;
}

DeveloperCacheEngine::SafePurge DeveloperCacheEngine::purgeAllSafeCaches()
{
    std::lock_guard lock(m_mutex);
    const StorageRoots where = roots();
    SafePurge result;
    for (const auto& item : scan(where)) {
        if (item.safetyTier != CacheSafetyTier::safeToPurge)
            continue;
        const PurgeResult purged = purge(item.path, where);
        if (purged.incomplete)
            result.incompleteNames.push_back(item.name);
        if (!purged.ok()) {
            result.failures.emplace_back(item.name, *purged.error);
            continue;
        }
        result.reclaimedBytes += purged.freedBytes;
        if (purged.freedBytes >= 1 && !purged.incomplete)
            result.clearedNames.push_back(item.name);
    }
    ++m_changes;
    return result;
}

std::string DeveloperCacheEngine::SafePurge::clearedDetail() const
{
    if (clearedNames.empty() && !incompleteNames.empty())
        return "Partly cleared " + namesList(incompleteNames);
    std::string detail = "Cleared " + namesList(clearedNames);
    if (!incompleteNames.empty())
        detail += "; partly left: " + namesList(incompleteNames);
    return detail;
}
