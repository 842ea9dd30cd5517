#include "Uuid.h"

#include <random>

Uuid Uuid::random()
{
    static thread_local std::mt19937_64 engine {std::random_device {}()};
    Uuid id;
    for (std::size_t i = 0; i < 16; i += 8) {
        const std::uint64_t v = engine();
        for (std::size_t b = 0; b < 8; ++b)
            id.m_bytes[i + b] = static_cast<std::uint8_t>(v >> (8 * b));
    }
    id.m_bytes[6] = static_cast<std::uint8_t>((id.m_bytes[6] & 0x0F) | 0x40); // version 4
    id.m_bytes[8] = static_cast<std::uint8_t>((id.m_bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return id;
}

static int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<Uuid> Uuid::fromString(const std::string& text)
{
    if (text.size() != 36)
        return std::nullopt;
    Uuid id;
    std::size_t byte = 0;
    for (std::size_t i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int hi = hexValue(text[i]);
        const int lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        id.m_bytes[byte++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    return id;
}

std::string Uuid::toString() const
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out.push_back('-');
        out.push_back(digits[m_bytes[i] >> 4]);
        out.push_back(digits[m_bytes[i] & 0x0F]);
    }
    return out;
}

bool Uuid::isNull() const
{
    for (auto b : m_bytes) {
        if (b != 0)
            return false;
    }
    return true;
}
