#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include <filesystem>
#include <limits>
#include <string>

#include "core/display_helpers.h"
#include "core/folder_size.h"
#include "core/text_table.h"
#include "core/web_pages.h"
#include "platform/clock.h"
#include "platform/filetime.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::core {
namespace {

platform::FileTime utc(int year, int month, int day, int hour, int minute = 0, int second = 0)
{
    platform::CalendarTime time;
    time.year = year;
    time.month = month;
    time.day = day;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    return *platform::calendarToFileTime(time);
}

struct SizeCase
{
    std::uint64_t size;
    const char* text;
};

TEST(FormatSize, GroupsDigitsWithBlanks)
{
    const SizeCase cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1000, "1 000"},
        {12345, "12 345"},
        {1234567, "1 234 567"},
        {999999999, "999 999 999"},
        {1000000000, "1 000 000 000"},
        {1000000123, "1 000 000 123"},
        {1000001234, "1 000 001 234"},
        {1234567890123ULL, "1234 567 890 123"},
        {std::numeric_limits<std::uint64_t>::max(), "18446744073 709 551 615"},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(FormatSize(c.size), c.text) << c.size;
}

TEST(FormatSize, SignedFormForDifferencesAndFileTimesAsText)
{
    EXPECT_EQ(FormatSignedSize(0), "0");
    EXPECT_EQ(FormatSignedSize(1234), "1 234");
    EXPECT_EQ(FormatSignedSize(-1234), "-1 234");
    EXPECT_EQ(FormatSignedSize(-1000000123), "-1 000 000 123");
    EXPECT_EQ(FormatSignedSize(std::numeric_limits<std::int64_t>::min()), "-9223372036 854 775 808");
    // Short date and time without seconds; a twelve-hour locale keeps its marker.
    EXPECT_EQ(FileTimeToText(utc(2024, 3, 5, 14, 7, 59)), "5 Mar 2024 14:07");
    EXPECT_EQ(FileTimeToText(0xFFFFFFFFFFFFFFFFULL), "unknown");
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::string text = FileTimeToText(utc(2024, 3, 5, 14, 7, 59));
    QLocale::setDefault(previous);
    EXPECT_EQ(text, "3/5/24 2:07 PM");
}

TEST(DateTimeToUtcFileTime, LocalTimeToUtc)
{
    // The tests run with TZ=UTC.
    platform::CalendarTime local;
    local.year = 2020;
    local.month = 2;
    local.day = 29;
    local.hour = 23;
    local.minute = 30;
    platform::FileTime fileTime = 0;
    ASSERT_TRUE(DateTimeToUtcFileTime(local, fileTime));
    EXPECT_EQ(fileTime, utc(2020, 2, 29, 23, 30));
    fileTime = 0;
    ASSERT_TRUE(DateTimeToUtcFileTime(QDateTime(QDate(2020, 2, 29), QTime(23, 30)), fileTime));
    EXPECT_EQ(fileTime, utc(2020, 2, 29, 23, 30));
    local.day = 30;
    EXPECT_FALSE(DateTimeToUtcFileTime(local, fileTime));
    EXPECT_FALSE(DateTimeToUtcFileTime(QDateTime(), fileTime));
}

struct WithinCase
{
    platform::FileTime file;
    int unit;
    int n;
    bool within;
};

TEST(IsFileTimeWithin, MovesTheFileTimeByUnits)
{
    platform::ScopedFixedClock clock(utc(2024, 3, 1, 12, 30));
    const WithinCase cases[] = {
        // Written 2 hours ago: within 3 hours, not within 1.
        {utc(2024, 3, 1, 10, 30), kUnitHours, 3, true},
        {utc(2024, 3, 1, 10, 30), kUnitHours, 1, false},
        {utc(2024, 3, 1, 10, 30), kUnitHours, 2, true},
        // Minutes are ignored: 11:59 + 1 hour is hour 12.
        {utc(2024, 3, 1, 11, 59), kUnitHours, 1, true},
        {utc(2024, 3, 1, 11, 0), kUnitHours, 0, false},
        {utc(2024, 3, 1, 12, 0), kUnitHours, 0, true},
        // 23 hours ago passes a day; hours carry into days across the month end.
        {utc(2024, 2, 29, 13, 30), kUnitDays, 1, true},
        {utc(2024, 2, 29, 13, 30), kUnitHours, 23, true},
        {utc(2024, 2, 29, 13, 30), kUnitHours, 22, false},
        // 2024 is a leap year: Feb 28 + 2 days is Mar 1.
        {utc(2024, 2, 28, 12, 0), kUnitDays, 2, true},
        {utc(2024, 2, 28, 12, 0), kUnitDays, 1, false},
        {utc(2024, 2, 23, 12, 0), kUnitWeeks, 1, true},
        {utc(2024, 2, 22, 12, 0), kUnitWeeks, 1, false},
        {utc(2024, 2, 1, 12, 0), kUnitMonths, 1, true},
        {utc(2024, 1, 31, 12, 0), kUnitMonths, 1, false},
        {utc(2023, 12, 1, 12, 0), kUnitMonths, 3, true},
        {utc(2023, 3, 1, 12, 0), kUnitYears, 1, true},
        {utc(2023, 2, 28, 12, 0), kUnitYears, 1, false},
        {utc(2024, 3, 1, 13, 0), kUnitDays, 0, true},
        {utc(2024, 3, 1, 13, 0), kUnitYears, -1, false},
    };
    for (const WithinCase& c : cases)
        EXPECT_EQ(IsFileTimeWithin(c.file, c.unit, c.n), c.within) << c.unit << " " << c.n;
}

TEST(IsFileTimeWithin, GregorianCenturies)
{
    {
        platform::ScopedFixedClock clock(utc(2100, 3, 1, 0));
        EXPECT_TRUE(IsFileTimeWithin(utc(2100, 2, 28, 0), kUnitDays, 1)); // 2100 has no Feb 29
    }
    {
        platform::ScopedFixedClock clock(utc(2000, 3, 1, 0));
        EXPECT_FALSE(IsFileTimeWithin(utc(2000, 2, 28, 0), kUnitDays, 1)); // 2000 has Feb 29
        EXPECT_TRUE(IsFileTimeWithin(utc(2000, 2, 28, 0), kUnitHours, 48));
    }
    {
        // Days carried into January of the next year.
        platform::ScopedFixedClock clock(utc(2024, 1, 2, 12, 30));
        EXPECT_TRUE(IsFileTimeWithin(utc(2023, 12, 31, 13, 30), kUnitDays, 2));
        EXPECT_FALSE(IsFileTimeWithin(utc(2023, 12, 31, 11, 30), kUnitDays, 1));
    }
}

TEST(IsFileTimeWithin, LargeCountsDoNotOverflow)
{
    platform::ScopedFixedClock clock(utc(2024, 3, 1, 12));
    const platform::FileTime old = utc(1990, 1, 1, 0);
    EXPECT_TRUE(IsFileTimeWithin(old, kUnitHours, std::numeric_limits<int>::max()));
    EXPECT_TRUE(IsFileTimeWithin(old, kUnitDays, std::numeric_limits<int>::max()));
    EXPECT_TRUE(IsFileTimeWithin(old, kUnitMonths, std::numeric_limits<int>::max()));
    EXPECT_TRUE(IsFileTimeWithin(old, kUnitYears, std::numeric_limits<int>::max()));
    EXPECT_FALSE(IsFileTimeWithin(old, kUnitWeeks, std::numeric_limits<int>::min()));
    EXPECT_FALSE(IsFileTimeWithin(0xFFFFFFFFFFFFFFFFULL, kUnitYears, 1000)); // no calendar time
}

TEST(NameHelpers, NormalizePathCaseAndCapitaliseName)
{
    const struct
    {
        std::string (*convert)(std::string_view);
        const char* in;
        const char* out;
    } cases[] = {
        {NormalizePathCase, "C:\\PROGRAM FILES\\DATA", "c:\\Program files\\Data"},
        {NormalizePathCase, "C:\\WINDOWS\\SYSTEM32", "c:\\Windows\\System32"},
        {NormalizePathCase, "c:\\", "c:\\"},
        {NormalizePathCase, "D:\\\xC3\x89T\xC3\x89\\\xC3\xA9t\xC3\xA9",
         "d:\\\xC3\x89t\xC3\xA9\\\xC3\x89t\xC3\xA9"},
        {NormalizePathCase, "", ""},
        {CapitaliseName, "README.TXT", "Readme.txt"},
        {CapitaliseName, "Read.ME", "Read.ME"},
        {CapitaliseName, "readme", "readme"},
        {CapitaliseName, "123.TXT", "123.txt"},
        {CapitaliseName, "\xC3\x89T\xC3\x89.DOC", "\xC3\x89t\xC3\xA9.doc"},
        {CapitaliseName, "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.convert(c.in), c.out) << c.in;
}

TEST(NameHelpers, NameAndExtension)
{
    struct Case
    {
        const char* name;
        const char* base;
        const char* extension;
    };
    const Case cases[] = {
        {"a.txt", "a", "txt"},
        {"archive.tar.gz", "archive.tar", "gz"},
        {"readme", "readme", ""},
        {".bashrc", "", "bashrc"},
        {"name.", "name", ""},
        {"", "", ""},
        {"c:\\dir.d\\file.txt", "c:\\dir.d\\file", "txt"},
        {"c:\\dir.d\\file", "c:\\dir.d\\file", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameWithoutExtension(c.name), c.base) << c.name;
        EXPECT_EQ(ExtensionOf(c.name), c.extension) << c.name;
    }
}

TEST(ColumnTitles, FromTheTextTable)
{
    registerCoreTexts();
    const char* expected[] = {"Name",     "Ext",      "Size",     "Date",    "Attr", "",
                              "New name", "Location", "Old name", "New ext", ""};
    for (int kind = 0; kind <= 10; ++kind)
        EXPECT_EQ(ColumnTitle(kind), expected[kind]) << kind;
    EXPECT_EQ(ColumnTitle(-1), "");
    classTranslator().SetTranslation(84, "Nom");
    EXPECT_EQ(ColumnTitle(0), "Nom");
    classTranslator().ResetTranslations();
    EXPECT_EQ(ColumnTitle(0), "Name");
}

class FolderSizeTest : public test::TempDriveTest
{
};

TEST_F(FolderSizeTest, SumsEveryFileBelowTheFolder)
{
    test::createFile(posix("top/a"), "12345");
    test::createFile(posix("top/.hidden"), "12");
    test::createFile(posix("top/sub/b"), std::string(1000, 'x'));
    test::createFile(posix("top/sub/deeper/c"), "");
    test::makeFolder(posix("top/empty"));
    std::int64_t count = 99;
    EXPECT_EQ(FolderSize(path("top"), count), 1007);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(FolderSize(path("top\\"), count), 1007);
    EXPECT_EQ(FolderSize(path("top\\empty"), count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FolderSize(path("missing"), count), 0);
    EXPECT_EQ(count, 0);
}

TEST_F(FolderSizeTest, NeverFollowsLinksToFolders)
{
    test::createFile(posix("top/a"), "123");
    test::createFile(posix("outside/big"), std::string(5000, 'x'));
    std::filesystem::create_directory_symlink(posix("top"), posix("top/loop"));
    std::filesystem::create_directory_symlink(posix("outside"), posix("top/out"));
    std::int64_t count = 0;
    EXPECT_EQ(FolderSize(path("top"), count), 3);
    EXPECT_EQ(count, 1);
}

TEST(WebPages, AddressesOfTheCodes)
{
    for (int code : {kPageSupport, kPageHome, kPagePlugins, kPageContact, kPageTutorials})
        EXPECT_EQ(webPageAddress(code), WUX_HOME_PAGE) << code;
    for (int code : {0, 19, 23, 26, -1})
        EXPECT_EQ(webPageAddress(code), "") << code;
    if (std::string(WUX_HOME_PAGE).empty())
        OpenWebPage(kPageHome); // no address configured: nothing happens
    OpenWebPage(23);
}

} // namespace
} // namespace wux::core
