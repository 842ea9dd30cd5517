#include "OllamaStore.h"

#include "core/Units.h"
#include "platform/fs/FileContents.h"
#include "platform/fs/FileWalker.h"
#include "platform/fs/TreeRemover.h"
#include "platform/io/DirectoryEntries.h"
#include "platform/io/FileTimes.h"
#include "platform/io/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

using platform::seconds;
using platform::UniqueFd;

namespace {

constexpr std::size_t kMaxManifestBytes = 4 * 1024 * 1024;

std::int64_t layerSize(const Json& layer)
{
    const auto it = layer.find("size");
    if (it == layer.end() || !it->is_number())
        return 0;
    if (it->is_number_unsigned()) {
        const auto u = it->get<std::uint64_t>();
        return u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) ? 0
                                                                                        : static_cast<std::int64_t>(u);
    }
    if (it->is_number_integer())
        return std::max<std::int64_t>(0, it->get<std::int64_t>());
    const double d = it->get<double>();
    if (!std::isfinite(d) || d <= 0 || d >= 9.2e18)
        return 0;
    return static_cast<std::int64_t>(d);
}

std::vector<std::string> splitPath(const std::string& relative)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = relative.find('/', start);
        parts.push_back(relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos)
            return parts;
        start = slash + 1;
    }
}

// The blobs the cleanup could remove: regular files with a blob's name, each described in `footprint`.
// A folder that cannot be listed lets the cleanup remove nothing.
StorageFootprint::OllamaBlobs blobsOnDisk(int blobsFd, Date now, StorageFootprint& footprint)
{
    StorageFootprint::OllamaBlobs store;
    if (blobsFd < 0)
        return store;
    UniqueFd listing(::openat(blobsFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const double settledBefore = now.timeIntervalSince1970() - OllamaStore::kBlobSettleSeconds;
    const bool listed
        = listing && platform::DirectoryEntries::forEach(listing.get(), [&](std::string_view name, unsigned char) {
              if (!OllamaStore::isBlobName(name))
                  return;
              const std::string blob(name);
              struct stat st
              {
              };
              if (::fstatat(listing.get(), blob.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
                  return;
              const StorageFootprint::FileKey key {st.st_dev, st.st_ino};
              footprint.addFile(key, st.st_size, st.st_nlink);
              store.blobs[blob] = {key, seconds(st.st_mtim) <= settledBefore};
          });
    store.blocked = !listed;
    return store;
}

} // namespace

OllamaStore::OllamaStore(std::string root)
    : m_root(std::move(root))
{
}

std::string OllamaStore::blobName(std::string digest)
{
    std::replace(digest.begin(), digest.end(), ':', '-');
    return digest;
}

bool OllamaStore::isBlobName(std::string_view name)
{
    constexpr std::string_view prefix = "sha256-";
    if (name.size() != prefix.size() + 64 || !name.starts_with(prefix))
        return false;
    return std::all_of(name.begin() + prefix.size(), name.end(),
        [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::optional<OllamaStore::ManifestSize> OllamaStore::parseForSize(std::string_view text)
{
    const Json j = Json::parse(text, nullptr, false);
    if (!j.is_object())
        return std::nullopt;
    const auto layers = j.find("layers");
    if (layers == j.end() || !layers->is_array())
        return std::nullopt;
    ManifestSize out;
    for (const auto& layer : *layers) {
        if (!layer.is_object())
            return std::nullopt;
        const std::int64_t size = layerSize(layer);
        out.layerBytes = size > std::numeric_limits<std::int64_t>::max() - out.layerBytes
            ? std::numeric_limits<std::int64_t>::max()
            : out.layerBytes + size;
        const auto digest = layer.find("digest");
        if (digest != layer.end() && digest->is_string())
            out.layerBlobs.push_back(blobName(digest->get<std::string>()));
    }
    return out;
}

std::optional<std::vector<std::string>> OllamaStore::referencedBlobs(std::string_view text)
{
    const Json j = Json::parse(text, nullptr, false);
    if (!j.is_object())
        return std::nullopt;
    std::vector<std::string> names;
    if (const auto config = j.find("config"); config != j.end()) {
        if (!config->is_object())
            return std::nullopt;
        if (const auto digest = config->find("digest"); digest != config->end()) {
            if (!digest->is_string())
                return std::nullopt;
            names.push_back(blobName(digest->get<std::string>()));
        }
    }
    const auto layers = j.find("layers");
    if (layers == j.end() || !layers->is_array())
        return std::nullopt;
    for (const auto& layer : *layers) {
        if (!layer.is_object())
            return std::nullopt;
        const auto digest = layer.find("digest");
        if (digest == layer.end() || !digest->is_string())
            return std::nullopt;
        names.push_back(blobName(digest->get<std::string>()));
    }
    return names;
}

std::vector<InventoryModel> OllamaStore::scan(Date now, StorageFootprint& footprint) const
{
    std::vector<InventoryModel> models;
    UniqueFd root(::open(m_root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root)
        return models;
    UniqueFd manifests(::openat(root.get(), "manifests", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!manifests)
        return models;
    UniqueFd blobs(::openat(root.get(), "blobs", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const std::string base = manifestsPath();

    // What the blob cleanup would see after a deletion: the same manifests, the same blobs.
    StorageFootprint::OllamaBlobs store = blobsOnDisk(blobs.get(), now, footprint);
    std::vector<std::vector<std::string>> referenced;
    const bool walked = platform::FileWalker().walk(manifests.get(), [&](const platform::WalkedEntry& entry) {
        std::optional<std::string> text;
        std::optional<std::vector<std::string>> blobNames;
        if (S_ISREG(entry.info.st_mode)) {
            text = platform::FileContents::read(entry.parentFd, entry.name, kMaxManifestBytes);
            if (text)
                blobNames = referencedBlobs(*text);
        }
        if (!blobNames)
            store.blocked = true;
        if (!S_ISREG(entry.info.st_mode))
            return;
        const auto parts = splitPath(entry.relativePath);
        if (parts.size() < 3) {
            if (blobNames)
                store.pinned.insert(blobNames->begin(), blobNames->end());
            return;
        }
        InventoryModel model;
        model.name = parts[parts.size() - 2] + ":" + parts.back();
        model.source = ModelSource::ollama;
        model.path = base + "/" + entry.relativePath;

        // Last use: the manifest's modification and the layers' modification and access times.
        // The manifest's own access time says nothing, since listing the models reads every
        // manifest; loading a model reads its layers.
        double newest = seconds(entry.info.st_mtim);
        std::int64_t bytes = 0;
        if (text) {
            if (auto manifest = parseForSize(*text)) {
                bytes = manifest->layerBytes;
                for (const auto& blob : manifest->layerBlobs) {
                    struct stat st
                    {
                    };
                    if (blobs && ::fstatat(blobs.get(), blob.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
                        && S_ISREG(st.st_mode))
                        newest = std::max({newest, seconds(st.st_mtim), seconds(st.st_atim)});
                }
            }
        }
        model.sizeGB = static_cast<double>(bytes) / kBytesPerGB;
        model.lastAccessed = newest > 0 ? Date::from1970(newest) : now;
        models.push_back(std::move(model));
        referenced.push_back(blobNames.value_or(std::vector<std::string>()));
    });
    if (!walked)
        store.blocked = true;
    const int index = footprint.addOllamaStore(std::move(store));
    for (std::size_t i = 0; i < models.size(); ++i)
        footprint.addModel(models[i].path, {models[i].name, 0, {}, {}, index, std::move(referenced[i])});
    return models;
}

OllamaStore::BlobCleanup OllamaStore::cleanOrphanedBlobs(Date now) const
{
    BlobCleanup result;
    UniqueFd root(::open(m_root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root)
        return result;
    UniqueFd blobs(::openat(root.get(), "blobs", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!blobs)
        return result;
    UniqueFd manifests(::openat(root.get(), "manifests", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!manifests) {
        if (errno != ENOENT)
            result.unreadableManifests.push_back(manifestsPath());
        return result;
    }

    const std::string base = manifestsPath();
    std::unordered_set<std::string> referenced;
    const bool walked = platform::FileWalker().walk(manifests.get(), [&](const platform::WalkedEntry& entry) {
        std::optional<std::vector<std::string>> names;
        if (S_ISREG(entry.info.st_mode)) {
            if (auto text = platform::FileContents::read(entry.parentFd, entry.name, kMaxManifestBytes))
                names = referencedBlobs(*text);
        }
        // A link or anything else in place of a manifest cannot be read safely, so it counts as
        // a manifest that could not be read.
        if (!names) {
            result.unreadableManifests.push_back(base + "/" + entry.relativePath);
            return;
        }
        referenced.insert(names->begin(), names->end());
    });
    if (!walked)
        result.unreadableManifests.push_back(base);
    if (!result.unreadableManifests.empty())
        return result;

    std::vector<std::string> candidates;
    if (!platform::DirectoryEntries::forEach(blobs.get(), [&](std::string_view name, unsigned char) {
            if (isBlobName(name) && !referenced.contains(std::string(name)))
                candidates.emplace_back(name);
        }))
        return result;

    const double settledBefore = now.timeIntervalSince1970() - kBlobSettleSeconds;
    const platform::TreeRemover remover;
    for (const auto& name : candidates) {
        struct stat st
        {
        };
        if (::fstatat(blobs.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
            || seconds(st.st_mtim) > settledBefore)
            continue;
        result.reclaimedBytes += remover.removeFile(blobs.get(), name).freedBytes;
    }
    return result;
}
