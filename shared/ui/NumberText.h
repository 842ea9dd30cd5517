#pragma once

#include "core/NumberFormat.h"

#include <QString>

#include <cstdint>
#include <optional>

// Number texts for the views. A figure that is not a finite number, or does not fit the text it is
// printed as, shows as the dash "—" instead of a garbage or undefined conversion.
namespace NumberText {

inline const QString dash = QStringLiteral("—");

// The value truncated toward zero (not rounded) as a whole number, when it fits a 64-bit integer.
std::optional<long long> whole(double value);
// whole() as text, or the dash.
QString wholeText(double value);
// One printf-style pattern with one double ("%.0f%%", "%.2f GB"), locale-independent; the dash for a
// non-finite value or one beyond ±1e15 (where a fixed pattern stops being a readable figure).
QString numberText(const char* pattern, double value);
// A byte count in the unit that suits it ("1.2 MB"), as byteCountText writes it.
QString byteText(std::int64_t bytes);
// A size in gigabytes of 2^30 bytes as gigabyteSizeText writes it ("12.3 GB", "38.1 MB"), or the dash.
QString sizeText(double gigabytes, SizeUnit unit = SizeUnit::spaced);

} // namespace NumberText
