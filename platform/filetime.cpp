#include "platform/filetime.h"

#include "platform/text.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

#include <array>
#include <ctime>

namespace wux::platform {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDaysFrom1601To1970 = 134'774;
static_assert(kDaysFrom1601To1970 * kSecondsPerDay == kFileTimeUnixEpochSeconds);
constexpr auto kTicksPerSecond = static_cast<FileTime>(kFileTimeTicksPerSecond);
constexpr int kMinYear = 1601;
constexpr int kMaxYear = 30828; // the year of kMaxCalendarFileTime

// Days since 1970-01-01 of a proleptic Gregorian date.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + static_cast<std::int64_t>(doe) - 719'468;
}

struct CivilDate
{
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// The proleptic Gregorian date of a day count since 1970-01-01.
constexpr CivilDate civilFromDays(std::int64_t z) noexcept
{
    z += 719'468;
    const std::int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
    const auto doe = static_cast<unsigned>(z - era * 146'097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

static_assert(daysFromCivil(1601, 1, 1) == -kDaysFrom1601To1970);

int daysInMonth(int year, int month) noexcept
{
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// The local zone's offset from UTC (seconds east) at a POSIX time.
std::optional<std::int64_t> zoneOffsetAt(std::int64_t unixSeconds) noexcept
{
    const auto t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(local.tm_gmtoff);
}

// time shifted by offset seconds, if it stays within the calendar range.
std::optional<FileTime> shifted(FileTime time, std::int64_t offsetSeconds) noexcept
{
    const __int128 result = static_cast<__int128>(time) + static_cast<__int128>(offsetSeconds) *
                                                              static_cast<__int128>(kFileTimeTicksPerSecond);
    if (result < 0 || result > static_cast<__int128>(kMaxCalendarFileTime)) {
        return std::nullopt;
    }
    return static_cast<FileTime>(result);
}

// Removes the seconds (and fractions) and the separators before them from a QLocale time format.
QString withoutSeconds(const QString& format)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (!quoted && (c == u's' || c == u'z')) {
            while (!out.isEmpty() && !out.back().isLetter() && out.back() != u'\'') {
                out.chop(1);
            }
            while (i + 1 < format.size() && (format[i + 1] == u's' || format[i + 1] == u'z')) {
                ++i;
            }
            // A separator after the seconds that leads on to the next field (" AP") is kept.
            continue;
        }
        out += c;
    }
    return out;
}

// The compact form of a QLocale date format (compactDateText).
QString compactDateFormat(const QString& format)
{
    const bool namedMonth = format.contains(QStringLiteral("MMM"));
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (quoted) {
            out += c;
            continue;
        }
        if (c == u'M' || c == u'y' || c == u'd') {
            qsizetype run = 1;
            while (i + run < format.size() && format[i + run] == c)
                ++run;
            i += run - 1;
            if (c == u'M')
                out += run >= 3 ? QStringLiteral("M") : QString(run, c);
            else if (c == u'y')
                out += QStringLiteral("yy");
            else if (run <= 2)
                out += QString(run, c);
            else // a weekday, with the separators after it
                while (i + 1 < format.size() && !format[i + 1].isLetter())
                    ++i;
            continue;
        }
        if (namedMonth && !c.isLetterOrNumber()) {
            if (!out.isEmpty() && !out.endsWith(u'.'))
                out += u'.';
            continue;
        }
        out += c;
    }
    while (out.endsWith(u'.') && namedMonth)
        out.chop(1);
    return out;
}

} // namespace

std::optional<CalendarTime> fileTimeToCalendar(FileTime time) noexcept
{
    if (time > kMaxCalendarFileTime) {
        return std::nullopt;
    }
    const auto totalSeconds = static_cast<std::int64_t>(time / kTicksPerSecond);
    const auto days = totalSeconds / kSecondsPerDay; // since 1601-01-01, a Monday
    const auto secondOfDay = totalSeconds % kSecondsPerDay;
    const CivilDate date = civilFromDays(days - kDaysFrom1601To1970);
    CalendarTime out;
    out.year = static_cast<int>(date.year);
    out.month = static_cast<int>(date.month);
    out.day = static_cast<int>(date.day);
    out.hour = static_cast<int>(secondOfDay / 3600);
    out.minute = static_cast<int>(secondOfDay / 60 % 60);
    out.second = static_cast<int>(secondOfDay % 60);
    out.milliseconds = static_cast<int>(time % kTicksPerSecond / kFileTimeTicksPerMillisecond);
    out.dayOfWeek = static_cast<int>((days + 1) % 7);
    return out;
}

std::optional<FileTime> calendarToFileTime(const CalendarTime& time) noexcept
{
    if (time.year < kMinYear || time.year > kMaxYear || time.month < 1 || time.month > 12 || time.day < 1 ||
        time.day > daysInMonth(time.year, time.month) || time.hour < 0 || time.hour > 23 || time.minute < 0 ||
        time.minute > 59 || time.second < 0 || time.second > 59 || time.milliseconds < 0 ||
        time.milliseconds > 999) {
        return std::nullopt;
    }
    const std::int64_t days =
        daysFromCivil(time.year, static_cast<unsigned>(time.month), static_cast<unsigned>(time.day)) +
        kDaysFrom1601To1970;
    const std::int64_t seconds = days * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
    const FileTime result = static_cast<FileTime>(seconds) * kTicksPerSecond +
                            static_cast<FileTime>(time.milliseconds) * kFileTimeTicksPerMillisecond;
    if (result > kMaxCalendarFileTime) {
        return std::nullopt;
    }
    return result;
}

std::optional<FileTime> fileTimeToLocalFileTime(FileTime utc) noexcept
{
    if (utc > kMaxCalendarFileTime) {
        return std::nullopt;
    }
    tzset(); // follow a changed TZ
    const std::optional<std::int64_t> offset = zoneOffsetAt(unixSecondsOf(utc));
    if (!offset) {
        return std::nullopt;
    }
    return shifted(utc, *offset);
}

std::optional<CalendarTime> fileTimeToLocalCalendar(FileTime utc) noexcept
{
    const std::optional<FileTime> local = fileTimeToLocalFileTime(utc);
    if (!local) {
        return std::nullopt;
    }
    return fileTimeToCalendar(*local);
}

std::optional<FileTime> localFileTimeToFileTime(FileTime local) noexcept
{
    if (local > kMaxCalendarFileTime) {
        return std::nullopt;
    }
    tzset();
    // The local time read as if it were UTC; the offsets in force around it are the candidates.
    const std::int64_t asUtc = unixSecondsOf(local);
    std::optional<std::int64_t> best;
    for (const std::int64_t around : {-kSecondsPerDay, std::int64_t{0}, kSecondsPerDay}) {
        const std::optional<std::int64_t> offset = zoneOffsetAt(asUtc + around);
        if (!offset) {
            continue;
        }
        const std::int64_t candidate = asUtc - *offset;
        const std::optional<std::int64_t> check = zoneOffsetAt(candidate);
        if (check && *check == *offset && (!best || *offset > *best)) {
            best = *offset; // the larger offset gives the earlier moment
        }
    }
    if (!best) {
        // The local time falls into a gap: read it with the offset in force before the change.
        best = zoneOffsetAt(asUtc - kSecondsPerDay);
        if (!best) {
            return std::nullopt;
        }
    }
    return shifted(local, -*best);
}

std::optional<FileTime> localCalendarToFileTime(const CalendarTime& local) noexcept
{
    const std::optional<FileTime> localTime = calendarToFileTime(local);
    if (!localTime) {
        return std::nullopt;
    }
    return localFileTimeToFileTime(*localTime);
}

std::string shortDateText(const CalendarTime& time)
{
    const QLocale locale;
    return toUtf8(locale.toString(QDate(time.year, time.month, time.day), QLocale::ShortFormat));
}

std::string compactDateText(const CalendarTime& time)
{
    const QLocale locale;
    return toUtf8(locale.toString(QDate(time.year, time.month, time.day),
                                  compactDateFormat(locale.dateFormat(QLocale::ShortFormat))));
}

std::string shortTimeText(const CalendarTime& time)
{
    const QLocale locale;
    return toUtf8(locale.toString(QTime(time.hour, time.minute),
                                  withoutSeconds(locale.timeFormat(QLocale::ShortFormat))));
}

} // namespace wux::platform
