#include "StorageFootprint.h"

#include "core/Units.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A model the footprint does not know counts with its listed size, in whole bytes.
std::int64_t listedBytes(const InventoryModel& model)
{
    const double bytes = model.sizeGB * kBytesPerGB;
    if (!std::isfinite(bytes) || bytes <= 0)
        return 0;
    return bytes >= 9.2e18 ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(bytes);
}

} // namespace

void StorageFootprint::addFile(FileKey key, std::int64_t bytes, std::uint64_t links)
{
    File& file = m_files[key];
    file.bytes = std::max<std::int64_t>(0, bytes);
    file.links = std::max<std::uint64_t>(1, links);
}

void StorageFootprint::addModel(const std::string& path, ModelFiles files)
{
    if (!m_models.contains(path))
        m_order.push_back(path);
    m_models[path] = std::move(files);
}

int StorageFootprint::addOllamaStore(OllamaBlobs blobs)
{
    for (const auto& [name, blob] : blobs.blobs)
        m_files[blob.file].blob = true;
    m_stores.push_back(std::move(blobs));
    return static_cast<int>(m_stores.size()) - 1;
}

void StorageFootprint::forget(const std::set<std::string>& paths)
{
    std::set<std::string> known;
    for (const auto& path : paths) {
        if (m_models.contains(path))
            known.insert(path);
    }
    // What the deletion removed is no longer on disk: the names the models held, and the blobs that no
    // manifest refers to any more. A file whose last name went is gone.
    for (const auto& [key, count] : namesRemoved(known)) {
        const auto it = m_files.find(key);
        if (it == m_files.end())
            continue;
        if (count >= it->second.links)
            m_files.erase(it);
        else
            it->second.links -= count;
    }
    for (const int store : storesOf(known)) {
        for (const auto& name : removableBlobs(store, known))
            m_stores[store].blobs.erase(name);
    }
    for (const auto& path : known)
        m_models.erase(path);
    std::erase_if(m_order, [&](const std::string& path) { return known.contains(path); });
}

std::int64_t StorageFootprint::bytesOf(FileKey key) const
{
    const auto it = m_files.find(key);
    return it == m_files.end() ? 0 : it->second.bytes;
}

std::set<StorageFootprint::FileKey> StorageFootprint::filesOf(const ModelFiles& model) const
{
    std::set<FileKey> files(model.uses);
    for (const auto& [key, count] : model.names)
        files.insert(key);
    if (model.ollamaStore >= 0 && model.ollamaStore < static_cast<int>(m_stores.size())) {
        const auto& blobs = m_stores[model.ollamaStore].blobs;
        for (const auto& name : model.blobs) {
            if (const auto it = blobs.find(name); it != blobs.end())
                files.insert(it->second.file);
        }
    }
    return files;
}

std::set<int> StorageFootprint::storesOf(const std::set<std::string>& paths) const
{
    std::set<int> stores;
    for (const auto& path : paths) {
        const int store = m_models.at(path).ollamaStore;
        if (store >= 0 && store < static_cast<int>(m_stores.size()))
            stores.insert(store);
    }
    return stores;
}

std::vector<std::string> StorageFootprint::removableBlobs(int store, const std::set<std::string>& paths) const
{
    // After deleting a manifest the cleanup removes every settled blob that no remaining manifest
    // refers to, also one that was unreferenced before.
    const OllamaBlobs& blobs = m_stores[store];
    if (blobs.blocked)
        return {};
    std::set<std::string> referenced = blobs.pinned;
    for (const auto& [path, model] : m_models) {
        if (model.ollamaStore == store && !paths.contains(path))
            referenced.insert(model.blobs.begin(), model.blobs.end());
    }
    std::vector<std::string> removable;
    for (const auto& [name, blob] : blobs.blobs) {
        if (blob.settled && !referenced.contains(name))
            removable.push_back(name);
    }
    return removable;
}

std::map<StorageFootprint::FileKey, std::uint64_t> StorageFootprint::namesRemoved(
    const std::set<std::string>& paths) const
{
    std::map<FileKey, std::uint64_t> removed;
    for (const auto& path : paths) {
        for (const auto& [key, count] : m_models.at(path).names)
            removed[key] += count;
    }
    for (const int store : storesOf(paths)) {
        for (const auto& name : removableBlobs(store, paths))
            ++removed[m_stores[store].blobs.at(name).file];
    }
    return removed;
}

void StorageFootprint::addKept(Reclaim& out, const std::set<std::string>& paths, const std::set<FileKey>& kept,
    const std::map<FileKey, std::uint64_t>& removed) const
{
    std::set<FileKey> usedByOthers;
    for (const auto& path : m_order) {
        if (paths.contains(path))
            continue;
        const ModelFiles& other = m_models.at(path);
        const std::set<FileKey> theirs = filesOf(other);
        bool shares = false;
        for (const FileKey& key : kept) {
            if (theirs.contains(key)) {
                usedByOthers.insert(key);
                shares = true;
            }
        }
        if (shares && std::find(out.keptFor.begin(), out.keptFor.end(), other.name) == out.keptFor.end())
            out.keptFor.push_back(other.name);
    }
    for (const FileKey& key : kept) {
        const std::int64_t bytes = bytesOf(key);
        if (usedByOthers.contains(key)) {
            ++out.keptFiles;
            out.keptBytes += bytes;
        } else if (removed.contains(key)) {
            ++out.linkedFiles;
            out.linkedBytes += bytes;
        } else {
            ++out.heldFiles;
            out.heldBytes += bytes;
        }
        const auto it = m_files.find(key);
        out.onlyBlobs = out.onlyBlobs && it != m_files.end() && it->second.blob;
    }
}

StorageFootprint::Reclaim StorageFootprint::reclaim(const std::vector<InventoryModel>& models) const
{
    Reclaim out;
    std::set<std::string> paths;
    std::set<std::string> unknown;
    for (const auto& model : models) {
        if (m_models.contains(model.path))
            paths.insert(model.path);
        else if (unknown.insert(model.path).second)
            out.bytes += listedBytes(model);
    }
    std::set<FileKey> used;
    for (const auto& path : paths) {
        const ModelFiles& model = m_models.at(path);
        out.bytes += model.ownBytes;
        const std::set<FileKey> files = filesOf(model);
        used.insert(files.begin(), files.end());
    }
    // A file goes when every one of its names goes.
    const std::map<FileKey, std::uint64_t> removed = namesRemoved(paths);
    for (const auto& [key, count] : removed) {
        const auto it = m_files.find(key);
        if (it != m_files.end() && count >= it->second.links) {
            out.bytes += it->second.bytes;
            used.erase(key);
        }
    }
    addKept(out, paths, used, removed);
    return out;
}

std::int64_t StorageFootprint::totalBytes(const std::vector<InventoryModel>& models) const
{
    std::int64_t total = 0;
    std::set<std::string> seen;
    std::set<FileKey> files;
    for (const auto& model : models) {
        if (!seen.insert(model.path).second)
            continue;
        const auto it = m_models.find(model.path);
        if (it == m_models.end()) {
            total += listedBytes(model);
            continue;
        }
        total += it->second.ownBytes;
        const std::set<FileKey> held = filesOf(it->second);
        files.insert(held.begin(), held.end());
    }
    for (const FileKey& key : files)
        total += bytesOf(key);
    return total;
}
