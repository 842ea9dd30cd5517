#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Enumerations that are stored and shown by their raw text. An enumeration opts in by
// specialising RawEnumTable with its cases in declaration order:
//
//   template<> struct RawEnumTable<AutoPersona> {
//       static constexpr std::array cases { std::pair { AutoPersona::compileMode, std::string_view("Compile Mode") },
//       ... };
//   };
template<class E> struct RawEnumTable;

template<class E>
concept RawEnum = requires
{
    RawEnumTable<E>::cases;
};

template<RawEnum E> std::string rawValue(E value)
{
    for (const auto& [c, raw] : RawEnumTable<E>::cases) {
        if (c == value)
            return std::string(raw);
    }
    return {};
}

// Exact, case-sensitive match of a raw value; anything else is no value.
template<RawEnum E> std::optional<E> enumFromRawValue(std::string_view text)
{
    for (const auto& [c, raw] : RawEnumTable<E>::cases) {
        if (raw == text)
            return c;
    }
    return std::nullopt;
}

template<RawEnum E> std::vector<E> allCases()
{
    std::vector<E> out;
    for (const auto& entry : RawEnumTable<E>::cases)
        out.push_back(entry.first);
    return out;
}
