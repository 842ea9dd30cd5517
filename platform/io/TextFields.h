#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

namespace platform::textfields {

// Takes the first line off `text` and answers it, without its newline; the last line need not end in one.
inline std::string_view takeLine(std::string_view& text)
{
    const std::size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    return line;
}

// The blank-separated fields of one line of a /proc table.
inline std::vector<std::string_view> split(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

// The whole text as a number in the given base; nothing for an empty text or one with anything else in it.
template<typename T> std::optional<T> parseNumber(std::string_view text, int base = 10)
{
    T value {};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace platform::textfields
