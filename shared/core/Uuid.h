#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>

// A 128-bit identifier written as 36 upper-case hexadecimal characters with dashes.
class Uuid
{
public:
    Uuid() = default;
    static Uuid random();
    // Accepts upper- or lower-case text in the 8-4-4-4-12 form; anything else is no value.
    static std::optional<Uuid> fromString(const std::string& text);

    std::string toString() const;
    bool isNull() const;

    auto operator<=>(const Uuid&) const = default;

private:
    std::array<std::uint8_t, 16> m_bytes {};
};
