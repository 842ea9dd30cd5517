#pragma once

#include "InventoryModel.h"
#include "StorageFootprint.h"

#include "core/Date.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One Ollama store: "manifests" holds one JSON file per model tag in nested folders
// (registry/namespace/model/tag), "blobs" one file per layer, named by its digest with the ":"
// written as "-". A manifest refers to blobs by the "digest" of its "config" and of its layers.
class OllamaStore
{
public:
    explicit OllamaStore(std::string root);

    const std::string& root() const { return m_root; }
    std::string manifestsPath() const { return m_root + "/manifests"; }

    // The models of this store in walk order; `now` dates a model whose manifest cannot be dated.
    // What the models hold, and what the blob cleanup would leave, goes into `footprint`.
    std::vector<InventoryModel> scan(Date now, StorageFootprint& footprint) const;

    struct BlobCleanup
    {
        std::int64_t reclaimedBytes = 0;
        std::vector<std::string> unreadableManifests;
    };
    // Removes the blobs that no manifest refers to. Every manifest is read first; one that cannot
    // be read stops the cleanup (it may be the one that refers to a blob), as does a manifests
    // folder that is missing or cannot be walked. Only regular files named exactly
    // "sha256-<64 hex>" and unchanged for an hour go: a pull writes blobs before its manifest.
    BlobCleanup cleanOrphanedBlobs(Date now) const;

    struct ManifestSize
    {
        std::int64_t layerBytes = 0;
        std::vector<std::string> layerBlobs;
    };
    // Reads a manifest for the inventory: nullopt unless the top level is an object whose "layers"
    // is an array of objects. Layers without a numeric "size" add nothing.
    static std::optional<ManifestSize> parseForSize(std::string_view text);
    // Every blob name a manifest refers to; nullopt when any part of it cannot be understood.
    static std::optional<std::vector<std::string>> referencedBlobs(std::string_view text);
    static bool isBlobName(std::string_view name);
    static std::string blobName(std::string digest);

    static constexpr double kBlobSettleSeconds = 3600;

private:
    std::string m_root;
};
