#pragma once

#include "core/RawEnum.h"

#include <array>
#include <string_view>
#include <utility>

// Which models the storage view lists.
enum class InventoryFilter {
    all,
    archiveCandidates,
    duplicates,
};

template<> struct RawEnumTable<InventoryFilter>
{
    static constexpr std::array cases {
        std::pair {InventoryFilter::all, std::string_view("All")},
        std::pair {InventoryFilter::archiveCandidates, std::string_view("Unused >30d")},
        std::pair {InventoryFilter::duplicates, std::string_view("Duplicates")},
    };
};
