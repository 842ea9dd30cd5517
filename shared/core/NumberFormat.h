#pragma once

#include <QString>

#include <string>

// printf-style formatting that always writes a decimal point, whatever locale the user runs
// (Qt sets the C library locale from the environment, so plain snprintf would print "1,5").
std::string cformat(const char* format, ...) __attribute__((format(printf, 1, 2)));
QString qformat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Shortest decimal text that reads back to the same double, always with a fractional part ("12.0").
std::string shortestDecimal(double value);
