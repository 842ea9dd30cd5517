#include "Date.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

Date Date::now()
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(sinceEpoch).count();
    return from1970(seconds);
}

std::string Date::iso8601() const
{
    const double unix = timeIntervalSince1970();
    const double whole = std::floor(unix);
    const auto secs = static_cast<std::time_t>(whole);
    int millis = static_cast<int>(std::lround((unix - whole) * 1000.0));
    if (millis >= 1000)
        millis = 999;
    std::tm tm {};
    gmtime_r(&secs, &tm);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
        tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
    return buf;
}
