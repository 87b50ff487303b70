#include "platform/clock.h"
#include "platform/filetime.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace wux::platform {
namespace {

constexpr FileTime kSecond = 10'000'000;

// FILETIME of a UTC calendar time given as POSIX seconds.
constexpr FileTime at(std::int64_t unixSeconds, int milliseconds = 0)
{
    return (static_cast<FileTime>(unixSeconds) + 11'644'473'600ULL) * kSecond +
           static_cast<FileTime>(milliseconds) * 10'000;
}

CalendarTime calendar(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0, int dow = 0)
{
    return CalendarTime{y, mo, d, h, mi, s, ms, dow};
}

TEST(FileTimeCalendar, SplitsIntoUtcCalendarFields)
{
    struct Case
    {
        FileTime time;
        CalendarTime expected;
    };
    const std::vector<Case> cases = {
        {0, calendar(1601, 1, 1, 0, 0, 0, 0, 1)}, // a Monday
        {kFileTimeUnixEpochSeconds * kSecond, calendar(1970, 1, 1, 0, 0, 0, 0, 4)},
        {at(1236434709, 123) + 4567, calendar(2009, 3, 7, 14, 5, 9, 123, 6)},
        {at(951782400), calendar(2000, 2, 29, 0, 0, 0, 0, 2)},     // leap day of a 400th year
        {at(4107542399), calendar(2100, 2, 28, 23, 59, 59, 0, 0)}, // 2100 has no 29 February
        {at(4107542400), calendar(2100, 3, 1, 0, 0, 0, 0, 1)},
        {kMaxCalendarFileTime, calendar(30828, 9, 14, 2, 48, 5, 477, 4)},
    };
    for (const Case& c : cases) {
        const std::optional<CalendarTime> split = fileTimeToCalendar(c.time);
        ASSERT_TRUE(split.has_value()) << c.time;
        EXPECT_EQ(*split, c.expected) << c.time;
        // Back again: only the digits below a millisecond are lost.
        EXPECT_EQ(calendarToFileTime(*split), c.time - c.time % 10'000) << c.time;
    }
    EXPECT_EQ(fileTimeToCalendar(kMaxCalendarFileTime + 1), std::nullopt);
    EXPECT_EQ(fileTimeToCalendar(~FileTime{0}), std::nullopt);
}

TEST(FileTimeCalendar, OutOfRangeFieldsAreRefused)
{
    const std::vector<CalendarTime> bad = {
        calendar(2021, 13, 1),
        calendar(2021, 0, 1),
        calendar(2021, 4, 31),
        calendar(2021, 2, 29),
        calendar(2100, 2, 29),
        calendar(2021, 1, 0),
        calendar(2021, 1, 1, 24),
        calendar(2021, 1, 1, 0, 60),
        calendar(2021, 1, 1, 0, 0, 60),
        calendar(2021, 1, 1, 0, 0, 0, 1000),
        calendar(1600, 12, 31, 23, 59, 59),
        calendar(30828, 9, 14, 2, 48, 6),
        calendar(2021, 1, 1, -1),
    };
    for (const CalendarTime& c : bad) {
        EXPECT_EQ(calendarToFileTime(c), std::nullopt) << c.year << "-" << c.month << "-" << c.day << " "
                                                       << c.hour << ":" << c.minute << ":" << c.second;
    }
    EXPECT_TRUE(calendarToFileTime(calendar(2000, 2, 29)).has_value());
    // The day of the week is an output only.
    EXPECT_EQ(calendarToFileTime(calendar(2009, 3, 7, 14, 5, 9, 123, 3)), at(1236434709, 123));
}

TEST(FileTimeCalendar, RandomTimesRoundTrip)
{
    std::mt19937_64 random(99);
    std::uniform_int_distribution<FileTime> any(0, kMaxCalendarFileTime);
    for (int i = 0; i < 10'000; ++i) {
        const FileTime time = any(random) / 10'000 * 10'000;
        const std::optional<CalendarTime> split = fileTimeToCalendar(time);
        ASSERT_TRUE(split.has_value());
        ASSERT_EQ(calendarToFileTime(*split), time);
    }
}

TEST(FileTimeUnix, ConvertsToAndFromPosixTime)
{
    EXPECT_EQ(fileTimeFromUnix(0), 116'444'736'000'000'000ULL);
    EXPECT_EQ(fileTimeFromUnix(1236434709, 123'456'789), at(1236434709) + 1'234'567);
    EXPECT_EQ(unixSecondsOf(at(1236434709) + 1'234'567), 1236434709);
    EXPECT_EQ(unixNanosecondsOf(at(1236434709) + 1'234'567), 123'456'700);
    EXPECT_EQ(fileTimeFromUnix(-11'644'473'601), 0u); // before 1601
}

// Sets the process's time zone for one test and restores UTC afterwards.
class LocalTime : public testing::Test
{
protected:
    static void setZone(const char* zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    void TearDown() override { setZone("UTC"); }
};

TEST_F(LocalTime, UsesTheOffsetOfTheDateInQuestion)
{
    setZone("CET-1CEST,M3.5.0,M10.5.0/3");
    // Winter and summer of the same year: each with its own offset, whatever today is.
    EXPECT_EQ(fileTimeToLocalCalendar(at(1610712000)), calendar(2021, 1, 15, 13, 0, 0, 0, 5));
    EXPECT_EQ(fileTimeToLocalCalendar(at(1626350400, 250)), calendar(2021, 7, 15, 14, 0, 0, 250, 4));
    EXPECT_EQ(fileTimeToLocalFileTime(at(1626350400)), at(1626350400 + 7200));
    EXPECT_EQ(localCalendarToFileTime(calendar(2021, 1, 15, 13, 0)), at(1610712000));
    EXPECT_EQ(localCalendarToFileTime(calendar(2021, 7, 15, 14, 0, 0, 250)), at(1626350400, 250));
    EXPECT_EQ(localFileTimeToFileTime(at(1626350400 + 7200)), at(1626350400));
}

TEST_F(LocalTime, AmbiguousAndMissingLocalTimes)
{
    setZone("CET-1CEST,M3.5.0,M10.5.0/3");
    // 2021-10-31 02:30 happens twice (at 00:30 and 01:30 UTC): the earlier one.
    EXPECT_EQ(localCalendarToFileTime(calendar(2021, 10, 31, 2, 30)), at(1635640200));
    // 2021-03-28 02:30 does not exist: read with the winter offset, that is 01:30 UTC.
    EXPECT_EQ(localCalendarToFileTime(calendar(2021, 3, 28, 2, 30)), at(1616895000));
    EXPECT_EQ(localCalendarToFileTime(calendar(2021, 2, 30)), std::nullopt);
}

TEST_F(LocalTime, FollowsHistoricalRulesOfTheZoneDatabase)
{
    if (!std::filesystem::exists("/usr/share/zoneinfo/America/Sao_Paulo")) {
        GTEST_SKIP() << "no time zone database";
    }
    setZone("America/Sao_Paulo");
    // Daylight saving time was kept until 2019: January 2018 was UTC-2, January 2020 UTC-3.
    EXPECT_EQ(fileTimeToLocalCalendar(at(1516017600)), calendar(2018, 1, 15, 10, 0, 0, 0, 1));
    EXPECT_EQ(fileTimeToLocalCalendar(at(1579089600)), calendar(2020, 1, 15, 9, 0, 0, 0, 3));
    EXPECT_EQ(localCalendarToFileTime(calendar(2018, 1, 15, 10, 0)), at(1516017600));
    EXPECT_EQ(localCalendarToFileTime(calendar(2020, 1, 15, 9, 0)), at(1579089600));
}

TEST_F(LocalTime, UtcZoneLeavesTimesAsTheyAre)
{
    setZone("UTC");
    EXPECT_EQ(fileTimeToLocalFileTime(at(1236434709, 5)), at(1236434709, 5));
    EXPECT_EQ(fileTimeToLocalCalendar(kMaxCalendarFileTime + 1), std::nullopt);
    setZone("EST5");
    EXPECT_EQ(fileTimeToLocalCalendar(0), std::nullopt); // before 1601 in local time
}

// Sets Qt's default locale for one test and restores the system's afterwards.
class ShortTexts : public testing::Test
{
protected:
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(ShortTexts, DateAndTimeWithoutSecondsInTheLocaleFormat)
{
    const CalendarTime time = calendar(2009, 3, 7, 14, 5, 9, 123);
    struct Case
    {
        QLocale locale;
        std::string date;
        std::string time;
        std::string compact; // the month as a number, the year in two digits
    };
    const std::vector<Case> cases = {
        {QLocale::c(), "7 Mar 2009", "14:05", "7.3.09"}, // the C locale's short time has seconds: cut
        {QLocale("de_DE"), "07.03.09", "14:05", "07.03.09"},
        {QLocale("en_US"), "3/7/09", "2:05 PM", "3/7/09"},
        {QLocale("en_GB"), "07/03/2009", "14:05", "07/03/09"},
        {QLocale("ja_JP"), "2009/03/07", "14:05", "09/03/07"},
    };
    for (const Case& c : cases) {
        QLocale::setDefault(c.locale);
        EXPECT_EQ(shortDateText(time), c.date) << c.locale.name().toStdString();
        EXPECT_EQ(shortTimeText(time), c.time) << c.locale.name().toStdString();
        EXPECT_EQ(compactDateText(time), c.compact) << c.locale.name().toStdString();
    }
}

TEST(Clock, FixedTimeForTestsAndTheSystemClockOtherwise)
{
    setFixedClock(at(1236434709));
    EXPECT_EQ(currentFileTime(), at(1236434709));
    resetClock();
    const FileTime before = fileTimeFromUnix(std::time(nullptr) - 1);
    const FileTime now = currentFileTime();
    const FileTime after = fileTimeFromUnix(std::time(nullptr) + 2);
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
    {
        const ScopedFixedClock fixed(12345);
        EXPECT_EQ(currentFileTime(), 12345u);
    }
    EXPECT_GE(currentFileTime(), before);
}

} // namespace
} // namespace wux::platform
