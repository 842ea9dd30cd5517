#pragma once

#include "core/RawEnum.h"

#include <QColor>
#include <QString>

// The kind of help an assistance event records. `all` is also the "no filter" of a fetch.
enum class AssistanceCategory { all, performance, storage, computing, memory };

template<> struct RawEnumTable<AssistanceCategory>
{
    static constexpr std::array cases {
        std::pair {AssistanceCategory::all, std::string_view("All")},
        std::pair {AssistanceCategory::performance, std::string_view("Performance")},
        std::pair {AssistanceCategory::storage, std::string_view("Storage")},
        std::pair {AssistanceCategory::computing, std::string_view("Computing")},
        std::pair {AssistanceCategory::memory, std::string_view("Memory")},
    };
};

// Symbol name of the category's icon ("bolt.fill"), resolved to a glyph by the icon table.
QString icon(AssistanceCategory category);
QColor themeColor(AssistanceCategory category);
