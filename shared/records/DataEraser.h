#pragma once

#include "PrivacyLocations.h"
#include "PrivacyStores.h"

#include "core/RawEnum.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// The categories of records a user can erase from the privacy pages.
enum class ClearableDataType { auditLog, memoryHistory, buildHistory, weeklyDigests, savedYouMetrics, settings };

template<> struct RawEnumTable<ClearableDataType>
{
    using T = ClearableDataType;
    static constexpr std::array cases {
        std::pair {T::auditLog, std::string_view("Audit Log")},
        std::pair {T::memoryHistory, std::string_view("Memory History")},
        std::pair {T::buildHistory, std::string_view("Build History")},
        std::pair {T::weeklyDigests, std::string_view("Weekly Digests")},
        std::pair {T::savedYouMetrics, std::string_view("Saved You Lifetime Metrics")},
        std::pair {T::settings, std::string_view("All Settings (resets to defaults)")},
    };
};

// Erases one category of records through the store that owns it; blocks on the disk.
class DataEraser
{
public:
    DataEraser(PrivacyStores stores, PrivacyLocations locations);

    // What erasing the category costs beyond its records, for the confirmation; nothing for most.
    static std::optional<std::string> warningMessage(ClearableDataType type);

    // True when the category is gone afterwards (a file that was already gone is no failure); false
    // when its store is not there or kept something.
    bool erase(ClearableDataType type) const;

private:
    bool removeKey(const QString& key) const;
    bool eraseSettings() const;

    const PrivacyStores m_stores;
    const PrivacyLocations m_locations;
};
