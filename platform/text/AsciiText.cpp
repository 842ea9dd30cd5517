#include "platform/text/AsciiText.h"

namespace platform {

namespace {

// `text` with the 26 letters from `first` on put in the place of the 26 from `into` on.
std::string withLettersMoved(std::string_view text, char first, char into)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= first && c <= first + 25)
            c = static_cast<char>(c - first + into);
    }
    return out;
}

} // namespace

std::string asciiLower(std::string_view text)
{
    return withLettersMoved(text, 'A', 'a');
}

std::string asciiUpper(std::string_view text)
{
    return withLettersMoved(text, 'a', 'A');
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
