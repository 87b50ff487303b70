#include "core/display_helpers.h"

#include <QDateTime>

#include <array>
#include <optional>

#include "core/text_table.h"
#include "platform/clock.h"
#include "platform/format.h"
#include "platform/text.h"

namespace wux::core {

namespace {

// The position after the last "\" (0 when there is none).
std::size_t nameStart(std::string_view name)
{
    const std::size_t slash = name.rfind('\\');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// The position of the last "." after the last "\", or npos.
std::size_t extensionDot(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart(name))
        return std::string_view::npos;
    return dot;
}

constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Days since 1970-01-01 of a Gregorian date (proleptic), and back.
std::int64_t daysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (m + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, std::int64_t& m, std::int64_t& d)
{
    z += 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

struct DateHour
{
    std::int64_t year, month, day, hour;
};

void addDays(DateHour& t, std::int64_t days)
{
    std::int64_t y = 0, m = 0, d = 0;
    civilFromDays(daysFromCivil(t.year, t.month, t.day) + days, y, m, d);
    t.year = y;
    t.month = m;
    t.day = d;
}

} // namespace

std::string FormatSize(std::uint64_t size)
{
    return platform::formatByteCount(size);
}

std::string FormatSignedSize(std::int64_t size)
{
    if (size >= 0)
        return FormatSize(static_cast<std::uint64_t>(size));
    const std::uint64_t magnitude = static_cast<std::uint64_t>(-(size + 1)) + 1;
    return "-" + FormatSize(magnitude);
}

std::string FileTimeToText(platform::FileTime fileTime)
{
    const std::optional<platform::CalendarTime> local = platform::fileTimeToLocalCalendar(fileTime);
    if (!local)
        return "unknown";
    return platform::shortDateText(*local) + ' ' + platform::shortTimeText(*local);
}

std::string FileTimeToDateText(platform::FileTime fileTime)
{
    const std::optional<platform::CalendarTime> local = platform::fileTimeToLocalCalendar(fileTime);
    return local ? platform::shortDateText(*local) : "unknown";
}

std::string FileTimeToCompactDateText(platform::FileTime fileTime)
{
    const std::optional<platform::CalendarTime> local = platform::fileTimeToLocalCalendar(fileTime);
    return local ? platform::compactDateText(*local) : "unknown";
}

bool DateTimeToUtcFileTime(const platform::CalendarTime& local, platform::FileTime& fileTime)
{
    const std::optional<platform::FileTime> utc = platform::localCalendarToFileTime(local);
    if (!utc)
        return false;
    fileTime = *utc;
    return true;
}

bool DateTimeToUtcFileTime(const QDateTime& local, platform::FileTime& fileTime)
{
    if (!local.isValid())
        return false;
    platform::CalendarTime time;
    time.year = local.date().year();
    time.month = local.date().month();
    time.day = local.date().day();
    time.hour = local.time().hour();
    time.minute = local.time().minute();
    time.second = local.time().second();
    time.milliseconds = local.time().msec();
    return DateTimeToUtcFileTime(time, fileTime);
}

bool IsFileTimeWithin(platform::FileTime fileTime, int unit, int n)
{
    const std::optional<platform::CalendarTime> file = platform::fileTimeToCalendar(fileTime);
    const std::optional<platform::CalendarTime> now =
        platform::fileTimeToCalendar(platform::currentFileTime());
    if (!file || !now)
        return false;
    DateHour t{file->year, file->month, file->day, file->hour};
    const std::int64_t count = n;
    switch (unit) {
    case kUnitHours: {
        const std::int64_t hours = t.hour + count;
        t.hour = hours - floorDiv(hours, 24) * 24;
        addDays(t, floorDiv(hours, 24));
        break;
    }
    case kUnitDays:
        addDays(t, count);
        break;
    case kUnitWeeks:
        addDays(t, count * 7);
        break;
    case kUnitMonths: {
        const std::int64_t months = t.month - 1 + count;
        t.year += floorDiv(months, 12);
        t.month = months - floorDiv(months, 12) * 12 + 1;
        break;
    }
    case kUnitYears:
        t.year += count;
        break;
    default:
        break;
    }
    const std::array<std::int64_t, 4> moved{t.year, t.month, t.day, t.hour};
    const std::array<std::int64_t, 4> current{now->year, now->month, now->day, now->hour};
    return moved >= current;
}

std::string NormalizePathCase(std::string_view path)
{
    return platform::displayCapitaliseWords(path, "\\", false);
}

std::string CapitaliseName(std::string_view name)
{
    for (const char c : name) {
        if (c >= 'a' && c <= 'z')
            return std::string(name);
    }
    return platform::displayCapitalise(name);
}

std::string NameWithoutExtension(std::string_view name)
{
    const std::size_t dot = extensionDot(name);
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string ExtensionOf(std::string_view name)
{
    const std::size_t dot = extensionDot(name);
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

std::string ColumnTitle(int columnKind)
{
    switch (columnKind) {
    case 0:
        return uiText(84);
    case 1:
        return uiText(85);
    case 2:
        return uiText(86);
    case 3:
        return uiText(87);
    case 4:
        return uiText(88);
    case 6:
        return uiText(89);
    case 7:
        return uiText(91);
    case 8:
        return uiText(92);
    case 9:
        return uiText(90);
    default:
        return std::string();
    }
}

} // namespace wux::core
