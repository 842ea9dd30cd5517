#include "Utf8.h"

#include <cstdint>

namespace platform {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct Step
{
    std::size_t length; // bytes taken: the whole sequence, or the ill-formed part (at least 1)
    bool valid;
};

// The sequence starting at text[at], with the second-byte ranges that rule out overlong forms,
// surrogates and code points above U+10FFFF.
Step step(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(at);
    if (lead < 0x80)
        return {1, true};
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return {1, false};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (at + k >= text.size())
            return {k, false};
        const std::uint8_t next = byte(at + k);
        if (next < low || next > high)
            return {k, false};
        low = 0x80;
        high = 0xBF;
    }
    return {length, true};
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const Step s = step(text, at);
        if (!s.valid)
            return false;
        at += s.length;
    }
    return true;
}

std::string toValidUtf8(std::string_view text)
{
    if (isValidUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t at = 0; at < text.size();) {
        const Step s = step(text, at);
        if (s.valid)
            out.append(text.substr(at, s.length));
        else
            out.append(kReplacement);
        at += s.length;
    }
    return out;
}

} // namespace platform
