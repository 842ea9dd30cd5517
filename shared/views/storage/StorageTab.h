#pragma once

#include "core/RawEnum.h"

#include <array>
#include <string_view>
#include <utility>

// The two tabs of the storage view; the raw values name them, the tab bar shows its own labels.
enum class StorageTab {
    models,
    caches,
};

template<> struct RawEnumTable<StorageTab>
{
    static constexpr std::array cases {
        std::pair {StorageTab::models, std::string_view("AI Models")},
        std::pair {StorageTab::caches, std::string_view("Build Caches")},
    };
};
