#pragma once

#include "InventoryModel.h"

#include <compare>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// What the models of one scan hold on disk, file by file where files are shared, so that what a
// deletion frees and what the models take together count every file once: a blob that several Ollama
// tags refer to, a file with several hard links, a file an LM Studio link points to. A model the
// footprint does not know counts with its listed size.
class StorageFootprint
{
public:
    struct FileKey
    {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        auto operator<=>(const FileKey&) const = default;
    };

    // What one model holds.
    struct ModelFiles
    {
        std::string name;
        // Files with a single name, all of it inside the model, and the own sizes of links: freed with it.
        std::int64_t ownBytes = 0;
        std::map<FileKey, std::uint64_t> names; // files with several names: how many of them the model holds
        std::set<FileKey> uses; // files it points to but does not remove (the target of a link)
        int ollamaStore = -1; // the Ollama store whose blobs it refers to, -1 for the other stores
        std::vector<std::string> blobs; // the blob names its manifest refers to
    };

    // One Ollama store's blobs as its cleanup sees them after a deletion.
    struct OllamaBlobs
    {
        struct Blob
        {
            FileKey file;
            bool settled = true; // old enough for the cleanup to remove it
        };
        std::map<std::string, Blob> blobs;
        std::set<std::string> pinned; // referred to by manifests that are no listed model
        bool blocked = false; // a manifest could not be read, so the cleanup removes nothing
    };

    // Files with several names, and every Ollama blob, are described once here; a key named by a model
    // or a store must be added.
    void addFile(FileKey key, std::int64_t bytes, std::uint64_t links);
    void addModel(const std::string& path, ModelFiles files);
    int addOllamaStore(OllamaBlobs blobs);
    // Takes deleted models out, with what their deletion removed, so that what they shared is left to
    // the others.
    void forget(const std::set<std::string>& paths);

    struct Reclaim
    {
        std::int64_t bytes = 0; // what deleting the models frees
        // Files of the models that stay because other listed models still use them.
        std::int64_t keptFiles = 0;
        std::int64_t keptBytes = 0;
        std::vector<std::string> keptFor; // the names of those models
        // Files of the models that stay for something no listed model is: a manifest that is no model
        // or cannot be read, a blob written within the last hour, the target of a link.
        std::int64_t heldFiles = 0;
        std::int64_t heldBytes = 0;
        // Files whose names the deletion removes, whose bytes stay on disk through another hard link
        // that no listed model holds.
        std::int64_t linkedFiles = 0;
        std::int64_t linkedBytes = 0;
        bool onlyBlobs = true; // every file that stays, or whose bytes stay, is an Ollama blob

        bool everythingGoes() const { return keptFiles == 0 && heldFiles == 0 && linkedFiles == 0; }
    };
    // What deleting the models would free: the files only they use, each once, and the blobs no
    // remaining manifest refers to (those of the deleted models and any already unreferenced).
    Reclaim reclaim(const std::vector<InventoryModel>& models) const;
    // What the models hold together, each file once.
    std::int64_t totalBytes(const std::vector<InventoryModel>& models) const;

private:
    struct File
    {
        std::int64_t bytes = 0;
        std::uint64_t links = 1;
        bool blob = false;
    };

    // Every file a model holds or points to, blobs included.
    std::set<FileKey> filesOf(const ModelFiles& model) const;
    std::set<int> storesOf(const std::set<std::string>& paths) const;
    std::vector<std::string> removableBlobs(int store, const std::set<std::string>& paths) const;
    // How many names of each file deleting the models removes, the blobs the cleanup then removes included.
    std::map<FileKey, std::uint64_t> namesRemoved(const std::set<std::string>& paths) const;
    // `removed` as namesRemoved gives it for `paths`.
    void addKept(Reclaim& out, const std::set<std::string>& paths, const std::set<FileKey>& kept,
        const std::map<FileKey, std::uint64_t>& removed) const;
    std::int64_t bytesOf(FileKey key) const;

    std::map<FileKey, File> m_files;
    std::map<std::string, ModelFiles> m_models;
    std::vector<std::string> m_order; // model paths in scan order
    std::vector<OllamaBlobs> m_stores;
};
