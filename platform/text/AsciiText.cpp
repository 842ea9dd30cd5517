#include "platform/text/AsciiText.h"

namespace platform {

std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string asciiUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string_view asciiTrimmed(std::string_view text)
{
    constexpr std::string_view blank(" \t\r\n\v\f\0", 7);
    const auto first = text.find_first_not_of(blank);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blank) - first + 1);
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (const auto& part : parts) {
        if (&part != &parts.front())
            out += separator;
        out += part;
    }
    return out;
}

} // namespace platform
