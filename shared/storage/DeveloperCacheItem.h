#pragma once

#include "core/JsonCodec.h"
#include "core/RawEnum.h"
#include "core/Units.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

enum class CacheSafetyTier {
    safeToPurge,
    confirmRequired,
};

template<> struct RawEnumTable<CacheSafetyTier>
{
    static constexpr std::array cases {
        std::pair {CacheSafetyTier::safeToPurge, std::string_view("Safe to Purge")},
        std::pair {CacheSafetyTier::confirmRequired, std::string_view("Review & Confirm")},
    };
};

enum class DeveloperCacheCategory {
    xcodeDerivedData,
    npmCache,
    uvCache,
    pipCache,
    swiftPMCache,
    huggingFaceHub,
    custom,
};

template<> struct RawEnumTable<DeveloperCacheCategory>
{
    static constexpr std::array cases {
        std::pair {DeveloperCacheCategory::xcodeDerivedData, std::string_view("Xcode DerivedData")},
        std::pair {DeveloperCacheCategory::npmCache, std::string_view("npm Cache")},
        std::pair {DeveloperCacheCategory::uvCache, std::string_view("uv Cache")},
        std::pair {DeveloperCacheCategory::pipCache, std::string_view("pip Cache")},
        std::pair {DeveloperCacheCategory::swiftPMCache, std::string_view("Swift Package Manager")},
        std::pair {DeveloperCacheCategory::huggingFaceHub, std::string_view("Hugging Face Hub")},
        std::pair {DeveloperCacheCategory::custom, std::string_view("Developer Cache")},
    };
};

// The symbol name the views draw for a category.
std::string iconName(DeveloperCacheCategory category);
// Model weights are worth a second look; everything else rebuilds itself.
CacheSafetyTier safetyTier(DeveloperCacheCategory category);

// One measured cache folder; its identity is its path.
struct DeveloperCacheItem
{
    std::string name;
    DeveloperCacheCategory category = DeveloperCacheCategory::custom;
    std::string path;
    std::int64_t sizeBytes = 0; // regular files below the folder when it was scanned
    CacheSafetyTier safetyTier = CacheSafetyTier::safeToPurge;
    std::string details;

    const std::string& id() const { return path; }
    double sizeGB() const { return gigabytes(sizeBytes); }
    // "1.00 GB", "1.0 MB" or "1024 KB", by size.
    std::string formattedSize() const;

    bool operator==(const DeveloperCacheItem&) const = default;
};

void to_json(Json& j, const DeveloperCacheItem& item);
void from_json(const Json& j, DeveloperCacheItem& item);

template<> struct std::hash<DeveloperCacheItem>
{
    std::size_t operator()(const DeveloperCacheItem& item) const noexcept;
};
