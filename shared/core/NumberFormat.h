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
