#include "ModelInventoryEngine.h"

#include "OllamaStore.h"
#include "core/Units.h"

#include "platform/fs/ContainedPath.h"
#include "platform/fs/FileWalker.h"
#include "platform/fs/TreeRemover.h"
#include "platform/fs/TreeSizer.h"
#include "platform/io/DirectoryEntries.h"
#include "platform/io/FileTimes.h"
#include "platform/io/UniqueFd.h"
#include "platform/text/AsciiText.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>

using platform::ContainedPath;
using platform::seconds;
using platform::UniqueFd;

namespace {

void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

bool hasGgufExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && dot > 0 && platform::asciiLower(name.substr(dot + 1)) == "gguf";
}

using FileKey = StorageFootprint::FileKey;

std::vector<InventoryModel> scanHub(const std::string& hub, Date now, StorageFootprint& footprint)
{
    std::vector<InventoryModel> models;
    UniqueFd hubFd(::open(hub.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!hubFd)
        return models;
    std::vector<std::string> entries;
    if (!platform::DirectoryEntries::forEach(hubFd.get(), [&](std::string_view name, unsigned char) {
            if (name.starts_with("models--"))
                entries.emplace_back(name);
        }))
        return models;

    platform::TreeSizer::Options options;
    options.countLinks = true;
    options.collectTimes = true;
    options.collectFiles = true;
    const platform::TreeSizer sizer(options);
    for (const auto& entry : entries) {
        // Only real folders: a link in the hub would be refused at deletion anyway.
        UniqueFd folder(::openat(hubFd.get(), entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder)
            continue;
        std::string name = entry;
        replaceAll(name, "models--", "");
        replaceAll(name, "--", "/");

        InventoryModel model;
        model.name = name;
        model.source = ModelSource::huggingFace;
        model.path = hub + "/" + entry;
        model.lastAccessed = now;
        StorageFootprint::ModelFiles held;
        held.name = model.name;
        if (const auto size = sizer.measure(folder.get())) {
            model.sizeGB = static_cast<double>(size->bytes) / kBytesPerGB;
            const double newest = std::max(size->newestModification, size->newestFileAccess);
            if (newest > 0)
                model.lastAccessed = Date::from1970(newest);
            // Every file by identity, since a link elsewhere (an LM Studio import) may point at one;
            // what is left are the links' own sizes.
            held.ownBytes = size->bytes;
            for (const auto& file : size->sizedFiles) {
                const FileKey key {file.device, file.inode};
                footprint.addFile(key, file.bytes, file.links);
                held.names[key] = file.namesFound;
                held.ownBytes -= file.bytes;
            }
        }
        footprint.addModel(model.path, std::move(held));
        models.push_back(std::move(model));
    }
    return models;
}

// A model file of an LM Studio folder: a regular file, or a link to one (as an import makes it).
struct LmStudioFile
{
    InventoryModel model;
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t bytes = 0;
    nlink_t links = 1;
    std::int64_t linkBytes = 0; // the link's own size, which deleting it frees
    bool viaLink = false;
};

void scanLmStudioFolder(const std::string& folder, std::vector<LmStudioFile>& files)
{
    UniqueFd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root)
        return;
    platform::FileWalker().walk(root.get(), [&](const platform::WalkedEntry& entry) {
        if (!hasGgufExtension(entry.name))
            return;
        // A folder named "x.gguf" is no model file, nor is a link to anything but a regular file.
        struct stat st = entry.info;
        const bool viaLink = S_ISLNK(st.st_mode);
        if (viaLink && ::fstatat(entry.parentFd, entry.name.c_str(), &st, 0) != 0)
            return;
        if (!S_ISREG(st.st_mode))
            return;
        const std::size_t slash = entry.relativePath.rfind('/');
        LmStudioFile file;
        InventoryModel& model = file.model;
        if (slash == std::string::npos) {
            model.name = entry.name;
        } else {
            const std::size_t before = entry.relativePath.rfind('/', slash - 1);
            model.name = entry.relativePath.substr(before == std::string::npos ? 0 : before + 1);
        }
        model.lastAccessed = Date::from1970(std::max(seconds(st.st_mtim), seconds(st.st_atim)));
        model.source = ModelSource::lmStudio;
        model.path = folder + "/" + entry.relativePath;
        file.device = st.st_dev;
        file.inode = st.st_ino;
        file.bytes = st.st_size;
        file.links = st.st_nlink;
        file.linkBytes = viaLink ? entry.info.st_size : 0;
        file.viaLink = viaLink;
        files.push_back(std::move(file));
    });
}

// The LM Studio models of all folders in walk order. A file reached through links as well as by
// its own name, or through several links, counts its size once: files listed by their own name
// first, then the first link to it.
void scanLmStudio(
    const std::vector<std::string>& folders, std::vector<InventoryModel>& models, StorageFootprint& footprint)
{
    std::vector<LmStudioFile> files;
    for (const auto& folder : folders)
        scanLmStudioFolder(folder, files);
    std::set<std::pair<dev_t, ino_t>> counted;
    for (const auto& file : files) {
        if (!file.viaLink)
            counted.emplace(file.device, file.inode);
    }
    for (auto& file : files) {
        if (!file.viaLink || counted.emplace(file.device, file.inode).second)
            file.model.sizeGB = static_cast<double>(file.bytes) / kBytesPerGB;
        // Deleting a link frees the link alone; a file goes with its last name.
        StorageFootprint::ModelFiles held;
        held.name = file.model.name;
        const FileKey key {file.device, file.inode};
        footprint.addFile(key, file.bytes, file.links);
        if (file.viaLink) {
            held.ownBytes = file.linkBytes;
            held.uses.insert(key);
        } else {
            held.names[key] = 1;
        }
        footprint.addModel(file.model.path, std::move(held));
        models.push_back(std::move(file.model));
    }
}

} // namespace

ModelInventoryEngine::ModelInventoryEngine()
    : m_clock(&Date::now)
{
}

ModelInventoryEngine::ModelInventoryEngine(StorageRoots roots, std::function<Date()> clock)
    : m_roots(std::move(roots))
    , m_clock(std::move(clock))
{
}

StorageRoots ModelInventoryEngine::roots() const
{
    return m_roots ? *m_roots : StorageRoots::fromEnvironment();
}

std::vector<InventoryModel> ModelInventoryEngine::scanModels()
{
    return scanInventory().models;
}

ModelInventoryEngine::Inventory ModelInventoryEngine::scanInventory()
{
    std::lock_guard lock(m_mutex);
    const Date now = m_clock();
    const Date cutoff = now.addingTimeInterval(-kArchiveAgeSeconds);
    const StorageRoots where = roots();

    Inventory inventory;
    std::vector<InventoryModel> models;
    for (const auto& store : where.ollamaModels) {
        auto found = OllamaStore(store).scan(now, inventory.footprint);
        models.insert(models.end(), found.begin(), found.end());
    }
    auto hub = scanHub(where.huggingFaceHub, now, inventory.footprint);
    models.insert(models.end(), hub.begin(), hub.end());
    scanLmStudio(where.lmStudioModels, models, inventory.footprint);

    for (auto& model : models) {
        model.isArchiveCandidate = model.lastAccessed < cutoff;
        model.isDuplicate = false;
        model.duplicateGroup.reset();
    }
    inventory.models = detectDuplicates(std::move(models));
    return inventory;
}

std::vector<InventoryModel> ModelInventoryEngine::detectDuplicates(std::vector<InventoryModel> models) const
{
    std::map<std::string, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < models.size(); ++i) {
        std::string key = normalizeModelKey(models[i].name);
        if (!key.empty())
            groups[std::move(key)].push_back(i);
    }
    for (const auto& [key, members] : groups) {
        if (members.size() < 2)
            continue;
        for (const std::size_t i : members) {
            models[i].isDuplicate = true;
            models[i].duplicateGroup = key;
        }
    }
    return models;
}

std::string ModelInventoryEngine::normalizeModelKey(const std::string& name)
{
    std::string key = platform::asciiLower(name);
    for (const std::string_view publisher :
        {"meta-llama/", "mistralai/", "google/", "qwen/", "deepseek-ai/", "drumlisk/", "pennowat/"}) {
        if (key.starts_with(publisher))
            key.erase(0, publisher.size());
    }
    // The tag stays part of the key: llama3.1:8b and llama3.1:70b are different models, and
    // calling them duplicates would offer one of them for deletion. "latest" is no tag.
    if (const std::size_t colon = key.find(':'); colon != std::string::npos) {
        const std::string tag = key.substr(colon + 1);
        key.erase(colon);
        if (!tag.empty() && tag != "latest")
            key += "-" + tag;
    }
    for (const std::string_view marker :
        {".gguf", "-gguf", "-instruct", "-chat", "-q4_k_m", "-q4_0", "-q5_k_m", "-q8_0", "-fp16", "-f16"})
        replaceAll(key, marker, "");
    std::replace(key.begin(), key.end(), '_', '-');
    std::replace(key.begin(), key.end(), '.', '-');
    return std::string(platform::asciiTrimmed(key));
}

namespace {

// What a model's path must be at delete time, and below which root.
struct DeletionTarget
{
    std::string root; // the path lies below it
    std::string openFrom; // the store's root: every component below it is opened without following links
    std::size_t ollamaStore = 0; // index into the Ollama roots, for the blob cleanup
};

std::optional<DeletionTarget> targetFor(const InventoryModel& model, const StorageRoots& roots, const std::string& path)
{
    switch (model.source) {
    case ModelSource::ollama:
        for (std::size_t i = 0; i < roots.ollamaModels.size(); ++i) {
            const std::string store = ContainedPath::normalize(roots.ollamaModels[i]).value_or(roots.ollamaModels[i]);
            const std::string manifests = ContainedPath::normalize(OllamaStore(store).manifestsPath())
                                              .value_or(OllamaStore(store).manifestsPath());
            // "manifests" itself is opened from the store like every folder below it, so a link in
            // its place cannot lead the deletion out of the store.
            if (ContainedPath::isBelow(path, manifests))
                return DeletionTarget {manifests, store, i};
        }
        return std::nullopt;
    case ModelSource::huggingFace: {
        const std::string hub = ContainedPath::normalize(roots.huggingFaceHub).value_or(roots.huggingFaceHub);
        if (ContainedPath::isBelow(path, hub))
            return DeletionTarget {hub, hub};
        return std::nullopt;
    }
    case ModelSource::lmStudio:
        for (const auto& folder : roots.lmStudioModels) {
            const std::string clean = ContainedPath::normalize(folder).value_or(folder);
            if (ContainedPath::isBelow(path, clean))
                return DeletionTarget {clean, clean};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// The expected kind at delete time: a manifest file, a model folder directly in the hub, a model file.
bool hasExpectedKind(
    const InventoryModel& model, const ContainedPath& entry, const std::string& path, const std::string& root)
{
    switch (model.source) {
    case ModelSource::ollama:
        return entry.isRegularFile();
    case ModelSource::huggingFace:
        return entry.isDirectory() && entry.name().starts_with("models--")
            && path.size() == root.size() + 1 + entry.name().size();
    case ModelSource::lmStudio:
        // An imported model may be a link: the link goes, never its target.
        return (entry.isRegularFile() || entry.isSymlink()) && hasGgufExtension(entry.name());
    }
    return false;
}

} // namespace

ModelDeletionResult ModelInventoryEngine::deleteModels(const std::vector<InventoryModel>& models)
{
    std::lock_guard lock(m_mutex);
    const StorageRoots where = roots();
    ModelDeletionResult result;
    std::vector<std::string> touchedOllama;
    platform::TreeRemover::Options options;
    options.countLinks = true;
    const platform::TreeRemover remover(options);

    const std::string home = ContainedPath::normalize(where.home).value_or(where.home);
    for (const auto& model : models) {
        const auto path = ContainedPath::normalize(model.path);
        const auto target = path ? targetFor(model, where, *path) : std::nullopt;
        if (!target || *path == home || ContainedPath::isBelow(home, *path)) {
            result.failedModelNames.push_back(model.name);
            continue;
        }
        const ContainedPath entry = ContainedPath::open(target->openFrom, *path);
        if (entry.status() == ContainedPath::Status::missing)
            continue;
        if (model.source == ModelSource::ollama) {
            const std::string& store = where.ollamaModels[target->ollamaStore];
            if (std::find(touchedOllama.begin(), touchedOllama.end(), store) == touchedOllama.end())
                touchedOllama.push_back(store);
        }
        if (!entry.ok() || !hasExpectedKind(model, entry, *path, target->root)) {
            result.failedModelNames.push_back(model.name);
            continue;
        }

        const platform::RemovalReport report = entry.isDirectory()
            ? remover.removeDirectory(entry.parentFd(), entry.name())
            : remover.removeFile(entry.parentFd(), entry.name());
        // A manifest frees its blobs, which the cleanup below counts; anything else counts what
        // really went, also when part of a folder could not be removed.
        if (model.source != ModelSource::ollama)
            result.totalReclaimedBytes += report.freedBytes;
        if (report.complete && report.removedEntries > 0)
            ++result.deletedCount;
        else
            result.failedModelNames.push_back(model.name);
    }

    if (!touchedOllama.empty()) {
        const BlobCleanupResult cleanup = cleanBlobs(touchedOllama);
        result.totalReclaimedBytes += cleanup.reclaimedBytes;
        result.unreadableManifests = cleanup.unreadableManifests;
    }
    ++m_changes;
    return result;
}

void ModelInventoryEngine::deleteModel(const InventoryModel& model)
{
    deleteModels({model});
}

ModelInventoryEngine::BlobCleanupResult ModelInventoryEngine::cleanBlobs(
    const std::vector<std::string>& ollamaRoots) const
{
    BlobCleanupResult total;
    const Date now = m_clock();
    for (const auto& store : ollamaRoots) {
        const OllamaStore::BlobCleanup cleanup = OllamaStore(store).cleanOrphanedBlobs(now);
        total.reclaimedBytes += cleanup.reclaimedBytes;
        total.unreadableManifests.insert(
            total.unreadableManifests.end(), cleanup.unreadableManifests.begin(), cleanup.unreadableManifests.end());
    }
    return total;
}

ModelInventoryEngine::BlobCleanupResult ModelInventoryEngine::cleanOrphanedOllamaBlobs()
{
    std::lock_guard lock(m_mutex);
    auto result = cleanBlobs(roots().ollamaModels);
    ++m_changes;
    return result;
}
