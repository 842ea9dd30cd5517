#pragma once

#include <QString>

#include <cstdint>
#include <string>

// printf-style formatting that always writes a decimal point, whatever locale the user runs
// (Qt sets the C library locale from the environment, so plain snprintf would print "1,5").
std::string cformat(const char* format, ...) __attribute__((format(printf, 1, 2)));
QString qformat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Shortest decimal text that reads back to the same double, always with a fractional part ("12.0").
std::string shortestDecimal(double value);

// A byte count as file sizes are shown: decimal units, "Zero KB", "1 byte", "512 bytes", "12 KB",
// "1.2 MB", "1.23 GB".
std::string byteCountText(std::int64_t bytes);

// How a size's unit is written: "38.1 MB", "38.1MB" or, in tab labels, "38.1M".
enum class SizeUnit { spaced, joined, letter };
// A size given in gigabytes of 2^30 bytes, "12.3 GB". Below a tenth of a gigabyte it is written in megabytes
// ("38.1 MB"), below a tenth of a megabyte in kilobytes ("40 KB") and below a kilobyte in bytes, so that a
// small size never reads as nothing; only nothing reads "0.0 GB".
std::string gigabyteSizeText(double gigabytes, SizeUnit unit = SizeUnit::spaced);
