#pragma once

#include <compare>
#include <string>

// A point in time held as seconds since 1 January 2001 00:00:00 UTC, the form every stored
// record uses. Keeping the stored double itself makes encode/decode round trips exact.
class Date
{
public:
    static constexpr double kReferenceTo1970 = 978307200.0;
    // The dates a stored record may hold: 0001-01-01 to 9999-12-31 (UTC), what the calendar and the ISO
    // texts show, and far inside what a conversion to milliseconds or time_t can carry.
    static constexpr double kEarliestStored = -63113904000.0;
    static constexpr double kLatestStored = 252423993599.0;
    static constexpr bool isStorable(double secondsSinceReference)
    {
        return secondsSinceReference >= kEarliestStored && secondsSinceReference <= kLatestStored;
    }

    constexpr Date() = default;
    static Date now();
    static constexpr Date fromReferenceDate(double seconds) { return Date(seconds); }
    static constexpr Date from1970(double seconds) { return Date(seconds - kReferenceTo1970); }

    constexpr double timeIntervalSinceReferenceDate() const { return m_seconds; }
    constexpr double timeIntervalSince1970() const { return m_seconds + kReferenceTo1970; }
    constexpr double timeIntervalSince(Date other) const { return m_seconds - other.m_seconds; }
    constexpr Date addingTimeInterval(double seconds) const { return Date(m_seconds + seconds); }

    // ISO 8601 in UTC with milliseconds, for logs and exports.
    std::string iso8601() const;

    constexpr auto operator<=>(const Date&) const = default;

private:
    constexpr explicit Date(double seconds)
        : m_seconds(seconds)
    {
    }
    double m_seconds = 0.0;
};
