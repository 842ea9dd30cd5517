#include "DeveloperCacheItem.h"

#include "core/NumberFormat.h"
#include "core/Units.h"

using jsoncodec::require;

std::string iconName(DeveloperCacheCategory category)
{
    switch (category) {
    case DeveloperCacheCategory::xcodeDerivedData:
        return "hammer.fill";
    case DeveloperCacheCategory::npmCache:
        return "shippingbox.fill";
    case DeveloperCacheCategory::uvCache:
        return "bolt.fill";
    case DeveloperCacheCategory::pipCache:
        return "cube.fill";
    case DeveloperCacheCategory::swiftPMCache:
        return "swift";
    case DeveloperCacheCategory::huggingFaceHub:
        return "brain.head.profile";
    case DeveloperCacheCategory::custom:
        break;
    }
    return "folder.fill";
}

CacheSafetyTier safetyTier(DeveloperCacheCategory category)
{
    return category == DeveloperCacheCategory::huggingFaceHub ? CacheSafetyTier::confirmRequired
                                                              : CacheSafetyTier::safeToPurge;
}

std::string DeveloperCacheItem::formattedSize() const
{
    const double bytes = static_cast<double>(sizeBytes);
    if (bytes >= kBytesPerGB)
        return cformat("%.2f GB", bytes / kBytesPerGB);
    if (sizeBytes >= 1048576)
        return cformat("%.1f MB", bytes / 1048576.0);
    return cformat("%.0f KB", bytes / 1024.0);
}

void to_json(Json& j, const DeveloperCacheItem& item)
{
    j = Json {{"name", item.name}, {"category", item.category}, {"path", item.path}, {"sizeBytes", item.sizeBytes},
        {"safetyTier", item.safetyTier}, {"details", item.details}};
}

void from_json(const Json& j, DeveloperCacheItem& item)
{
    item.name = require<std::string>(j, "name");
    item.category = require<DeveloperCacheCategory>(j, "category");
    item.path = require<std::string>(j, "path");
    item.sizeBytes = require<std::int64_t>(j, "sizeBytes");
    item.safetyTier = require<CacheSafetyTier>(j, "safetyTier");
    item.details = require<std::string>(j, "details");
}

std::size_t std::hash<DeveloperCacheItem>::operator()(const DeveloperCacheItem& item) const noexcept
{
    std::size_t h = std::hash<std::string>()(item.name);
    const auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
    mix(std::hash<std::string>()(rawValue(item.category)));
    mix(std::hash<std::string>()(item.path));
    mix(std::hash<std::int64_t>()(item.sizeBytes));
    mix(std::hash<std::string>()(rawValue(item.safetyTier)));
    mix(std::hash<std::string>()(item.details));
    return h;
}
