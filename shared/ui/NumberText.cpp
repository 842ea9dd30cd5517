#include "NumberText.h"

#include "core/NumberFormat.h"

#include <cmath>

namespace NumberText {

namespace {

constexpr double kLargestPrintable = 1e15;

} // namespace

std::optional<long long> whole(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double truncated = std::trunc(value);
    // 2^63 is exact as a double; the range of long long is [-2^63, 2^63).
    constexpr double limit = 9223372036854775808.0;
    if (truncated >= limit || truncated < -limit)
        return std::nullopt;
    return static_cast<long long>(truncated);
}

QString wholeText(double value)
{
    const auto n = whole(value);
    return n ? QString::number(*n) : dash;
}

QString numberText(const char* pattern, double value)
{
    if (!std::isfinite(value) || std::fabs(value) > kLargestPrintable)
        return dash;
    return qformat(pattern, value);
}

QString byteText(std::int64_t bytes)
{
    return QString::fromStdString(byteCountText(bytes));
}

QString sizeText(double gigabytes, SizeUnit unit)
{
    if (!std::isfinite(gigabytes) || std::fabs(gigabytes) > kLargestPrintable)
        return dash;
    return QString::fromStdString(gigabyteSizeText(gigabytes, unit));
}

} // namespace NumberText
