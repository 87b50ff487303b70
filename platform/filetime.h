// File times: FILETIME values (100 ns units since 1601-01-01 00:00 UTC), their calendar form in UTC and in
// local time (with the zone rules of the date in question), and the locale's short date and time texts.
#pragma once

#include "platform/file_time_type.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wux::platform {

// FileTime and its POSIX conversions (fileTimeFromUnix, unixSecondsOf, unixNanosecondsOf) are in
// platform/file_time_type.h.

inline constexpr FileTime kFileTimeTicksPerMillisecond = 10'000;
// The largest FILETIME that has a calendar form (as on the platform the program was designed for:
// values with the top bit set are refused).
inline constexpr FileTime kMaxCalendarFileTime = 0x7FFF'FFFF'FFFF'FFFFULL;

// A calendar date and time (like the designed-for platform's SYSTEMTIME).
struct CalendarTime
{
    int year = 1601;      // 1601-30828
    int month = 1;        // 1-12
    int day = 1;          // 1-31
    int hour = 0;         // 0-23
    int minute = 0;       // 0-59
    int second = 0;       // 0-59
    int milliseconds = 0; // 0-999
    int dayOfWeek = 1;    // 0 Sunday .. 6 Saturday; filled by conversions, ignored when converting back

    friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};

// FILETIME to its calendar form without any zone conversion (UTC in, UTC out); none above
// kMaxCalendarFileTime.
std::optional<CalendarTime> fileTimeToCalendar(FileTime time) noexcept;
// Calendar form to FILETIME without any zone conversion; none when a field is out of range (month
// 1-12, the day within its month, hour, minute, second, milliseconds) or the time is outside 1601-01-01
// .. kMaxCalendarFileTime. dayOfWeek is ignored.
std::optional<FileTime> calendarToFileTime(const CalendarTime& time) noexcept;

// UTC FILETIME to local calendar time, with the time zone's offset valid at that moment (not today's).
std::optional<CalendarTime> fileTimeToLocalCalendar(FileTime utc) noexcept;
// UTC FILETIME to a local FILETIME (the same shift as fileTimeToLocalCalendar).
std::optional<FileTime> fileTimeToLocalFileTime(FileTime utc) noexcept;
// Local calendar time to UTC FILETIME, with the zone's offset valid at that local time. A local time
// that occurs twice (clocks set back) gives the earlier moment; one that does not occur (clocks set
// forward) is read with the offset before the change. None for fields out of range.
std::optional<FileTime> localCalendarToFileTime(const CalendarTime& local) noexcept;
// Local FILETIME to UTC FILETIME (as localCalendarToFileTime).
std::optional<FileTime> localFileTimeToFileTime(FileTime local) noexcept;

// The date in the locale's short date format (QLocale's default locale, which is the system's).
std::string shortDateText(const CalendarTime& time);
// The date in a compact form of the locale's short date format, for narrow columns: the month as a
// number, the year in two digits, no weekday; the fields of a format with a month name separated by
// "." ("7.12.26" for "d MMM yyyy").
std::string compactDateText(const CalendarTime& time);
// The time in the locale's short time format, without seconds.
std::string shortTimeText(const CalendarTime& time);

} // namespace wux::platform
