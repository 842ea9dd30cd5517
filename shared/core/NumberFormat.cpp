#include "NumberFormat.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <locale.h>
#include <vector>

namespace {

locale_t cLocale()
{
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

std::string vformat(const char* format, va_list args)
{
    // uselocale switches only this thread, so formatting never races with other threads.
    const locale_t previous = uselocale(cLocale());
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    std::string out;
    if (needed >= 0 && static_cast<std::size_t>(needed) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(needed));
    } else if (needed >= 0) {
        std::vector<char> big(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(big.data(), big.size(), format, args);
        out.assign(big.data(), static_cast<std::size_t>(needed));
    }
    uselocale(previous);
    return out;
}

} // namespace

std::string cformat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = vformat(format, args);
    va_end(args);
    return out;
}

QString qformat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = vformat(format, args);
    va_end(args);
    return QString::fromStdString(out);
}

std::string shortestDecimal(double value)
{
    char buf[64];
    // Plain notation over the range where every integer is exact, as the platform's own text form does.
    const double magnitude = value < 0 ? -value : value;
    const bool plain = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 9007199254740992.0);
    auto result
        = std::to_chars(buf, buf + sizeof buf, value, plain ? std::chars_format::fixed : std::chars_format::general);
    std::string text(buf, result.ptr);
    if (text.find_first_of(".eEn") == std::string::npos)
        text += ".0";
    return text;
}

std::string byteCountText(std::int64_t bytes)
{
    if (bytes == 0)
        return "Zero KB";
    const double magnitude = bytes < 0 ? -static_cast<double>(bytes) : static_cast<double>(bytes);
    if (magnitude < 1000)
        return std::to_string(bytes) + (magnitude == 1 ? " byte" : " bytes");
    struct Unit
    {
        const char* format;
        double size;
    };
    constexpr Unit units[] = {{"%.0f KB", 1e3}, {"%.1f MB", 1e6}, {"%.2f GB", 1e9}, {"%.2f TB", 1e12}};
    const Unit* unit = &units[0];
    for (const Unit& u : units) {
        if (magnitude >= u.size)
            unit = &u;
    }
    return cformat(unit->format, static_cast<double>(bytes) / unit->size);
}

std::string gigabyteSizeText(double gigabytes, SizeUnit unit)
{
    struct Tier
    {
        double scale; // units in a gigabyte
        double least; // the smallest size, in these units, written in them
        const char* format;
        const char* names[3]; // spaced, joined, letter
    };
    static constexpr Tier tiers[] = {
        {1.0, 0.1, "%.1f", {" GB", "GB", "G"}},
        {1024.0, 0.1, "%.1f", {" MB", "MB", "M"}},
        {1024.0 * 1024.0, 1.0, "%.0f", {" KB", "KB", "K"}},
        {1024.0 * 1024.0 * 1024.0, 0.0, "%.0f", {" bytes", "B", "B"}},
    };
    const double magnitude = std::fabs(gigabytes);
    const Tier* tier = &tiers[0];
    if (magnitude > 0) {
        for (const Tier& t : tiers) {
            tier = &t;
            if (magnitude * t.scale >= t.least)
                break;
        }
    }
    return cformat(tier->format, gigabytes * tier->scale) + tier->names[static_cast<int>(unit)];
}
