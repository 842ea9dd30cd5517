#pragma once

#include <string>

// Lower-cases A to Z only, byte by byte: the same result whatever the locale, and UTF-8 left intact.
inline std::string asciiLowercased(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}
