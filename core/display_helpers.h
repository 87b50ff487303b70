// The helpers that show file data the same way everywhere: sizes with digit groups, file times in local
// time without seconds, names and paths in a readable case, the parts of a name, column titles, and the
// not-older-than test of the search filter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/filetime.h"

class QDateTime;

namespace wux::core {

// A byte count in decimal with a blank between groups of three digits, whatever the locale
// (1234567 gives "1 234 567"). From 1,000,000,000 on: the billions as they are, a blank, and the
// remainder as nine digits in groups of three (1,000,001,234 gives "1 000 001 234").
std::string FormatSize(std::uint64_t size);
// FormatSize of the magnitude, with "-" before it when size is negative (for differences).
std::string FormatSignedSize(std::int64_t size);

// A UTC file time in local time, as the locale's short date, a blank and its short time (no seconds);
// "unknown" when it has no calendar form.
std::string FileTimeToText(platform::FileTime fileTime);
// The same without the time: the short date alone; and the compact date (platform::compactDateText).
std::string FileTimeToDateText(platform::FileTime fileTime);
std::string FileTimeToCompactDateText(platform::FileTime fileTime);

// A local date and time to a UTC file time (the zone offset valid at that date); false when the fields
// are out of range.
bool DateTimeToUtcFileTime(const platform::CalendarTime& local, platform::FileTime& fileTime);
bool DateTimeToUtcFileTime(const QDateTime& local, platform::FileTime& fileTime);

// Units of IsFileTimeWithin, in the order the search window offers them.
enum TimeUnit : int
{
    kUnitHours = 0,
    kUnitDays = 1,
    kUnitWeeks = 2,
    kUnitMonths = 3,
    kUnitYears = 4
};

// True when the UTC file time is not older than n units: the time moved forward by n units is not
// earlier than the current UTC time (platform clock), comparing year, month, day and hour.
bool IsFileTimeWithin(platform::FileTime fileTime, int unit, int n);

// Every character lower-cased except one that follows a "\", which is upper-cased (for display):
// "C:\PROGRAM FILES\DATA" gives "c:\Program files\Data".
std::string NormalizePathCase(std::string_view path);
// A name with any of "a"-"z" unchanged; otherwise its first character upper-cased and the rest
// lower-cased ("README.TXT" gives "Readme.txt").
std::string CapitaliseName(std::string_view name);
// The text before the last "." (the whole text when there is none after the last "\").
std::string NameWithoutExtension(std::string_view name);
// The text after the last "." ("" when there is none after the last "\").
std::string ExtensionOf(std::string_view name);

// The title of a file-list column kind: 0 "Name", 1 "Ext", 2 "Size", 3 "Date", 4 "Attr", 6 "New name",
// 7 "Location", 8 "Old name", 9 "New ext" (from the text table); "" for other kinds.
std::string ColumnTitle(int columnKind);

} // namespace wux::core
