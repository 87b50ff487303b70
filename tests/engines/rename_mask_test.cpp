#include "engines/rename_mask.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/filetime.h"

namespace wux::engines {
namespace {

platform::CalendarTime at(int year, int month, int day, int hour, int minute, int second)
{
    platform::CalendarTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

const platform::CalendarTime kTime = at(2009, 3, 7, 14, 5, 9);

TRenamerFileStructure request(std::string mask)
{
    TRenamerFileStructure r;
    r.runningNumber = 1;
    r.start = 1;
    r.step = 1;
    r.digits = 3;
    r.mask = std::move(mask);
    r.caseMode = kCaseUnchanged;
    return r;
}

struct MaskCase
{
    const char* mask;
    const char* file;
    const char* expected;
};

void PrintTo(const MaskCase& c, std::ostream* out)
{
    *out << ::testing::PrintToString(std::string(c.mask)) << " on "
         << ::testing::PrintToString(std::string(c.file));
}

class MaskTable : public ::testing::TestWithParam<MaskCase>
{
};

TEST_P(MaskTable, BuildsTheExpectedName)
{
    const MaskCase& c = GetParam();
    EXPECT_EQ(buildNewName(request(c.mask), "c:\\Photos\\Holiday", c.file, kTime), c.expected)
        << "mask " << c.mask << " on " << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Parts, MaskTable,
    ::testing::Values(
        // whole parts, and the dot of an empty extension
        MaskCase{"[N].[E]", "photograph.jpg", "photograph.jpg"}, MaskCase{"[N].[E]", "readme", "readme"},
        MaskCase{"[N].[E]", ".bashrc", ".bashrc"}, MaskCase{"[E]-[N]", "a.b.c", "c-a.b"},
        MaskCase{"[F]_[N]", "x.txt", "Holiday_x"},
        // ranges: positive start with end position, count, open end; negative start
        MaskCase{"[N1-3]", "photograph.jpg", "pho"}, MaskCase{"[N-3-]", "photograph.jpg", "aph"},
        MaskCase{"[N3]", "photograph.jpg", "photograph"}, MaskCase{"[N20-25]", "photograph.jpg", ""},
        MaskCase{"[N2-5]", "photograph.jpg", "hoto"}, MaskCase{"[N2,3]", "photograph.jpg", "hot"},
        MaskCase{"[N3-]", "photograph.jpg", "otograph"}, MaskCase{"[N-5-2]", "photograph.jpg", "grap"},
        MaskCase{"[N-3,2]", "photograph.jpg", "ap"}, MaskCase{"[N-3,]", "photograph.jpg", "aph"},
        MaskCase{"[N-20-]", "photograph.jpg", "photograph"}, MaskCase{"[N5-2]", "photograph.jpg", ""},
        MaskCase{"[N-2-5]", "photograph.jpg", ""}, MaskCase{"[N8,10]", "photograph.jpg", "aph"},
        MaskCase{"[N10,1]", "photograph.jpg", "h"}, MaskCase{"[N11,1]", "photograph.jpg", ""},
        MaskCase{"[N0-3]", "photograph.jpg", ""}, MaskCase{"[N-0-3]", "photograph.jpg", ""},
        MaskCase{"[N,3]", "photograph.jpg", "photograph"}, MaskCase{"[N-]", "photograph.jpg", "photograph"},
        // a range without a part letter takes the full name; the part letters' precedence
        MaskCase{"[1-5]", "photograph.jpg", "photo"}, MaskCase{"[-3-]", "photograph.jpg", "jpg"},
        MaskCase{"[EN]", "a.txt", "a"}, MaskCase{"[NF]", "a.txt", "Holiday"},
        MaskCase{"[E1,1]", "a.txt", "t"},
        // ranges count whole characters of UTF-8 names
        MaskCase{"[N2,2]", "\xC3\xA4\xC3\xB6\xC3\xBC.txt", "\xC3\xB6\xC3\xBC"},
        MaskCase{"[N-1-]", "ab\xE2\x82\xAC.txt", "\xE2\x82\xAC"},
        // literals, stray brackets, ignored characters, unclosed directives
        MaskCase{"a]b", "x.txt", "a]b"}, MaskCase{"[N[]", "x.txt", "x"}, MaskCase{"[Nzq!]", "x.txt", "x"},
        MaskCase{"pre[N", "x.txt", "pre"}, MaskCase{"a[N].[E]b[C", "x.txt", "ax.txtb"},
        MaskCase{"a[N.[E", "x.txt", "a"}, MaskCase{"[N.[E]", "x.txt", "x"},
        MaskCase{"name.", "x.txt", "name"}, MaskCase{"[]", "x.txt", ""},
        // case switches: this piece and every later one
        MaskCase{"[UN]-x", "abc.txt", "ABC-X"}, MaskCase{"[U]ab[n]cd", "x.txt", "ABcd"},
        MaskCase{"[LN].[E]", "ABC.TXT", "abc.txt"},
        MaskCase{"a[NU]",
                 "stra\xC3\x9F"
                 "e.txt",
                 "aSTRASSE"},
        MaskCase{"[U]\xC3\xA4", "x", "\xC3\x84"},
        // date and time letters in the order they stand, before the part
        MaskCase{"[YMD]_[hms]", "x.txt", "20090307_140509"}, MaskCase{"[NY]", "x.txt", "2009x"},
        MaskCase{"[sD-hN]", "x.txt", "090714x"}));

struct CounterCase
{
    std::int32_t running;
    std::int32_t start;
    std::int32_t step;
    std::int32_t digits;
    const char* mask;
    const char* expected;
};

void PrintTo(const CounterCase& c, std::ostream* out)
{
    *out << "#" << c.running << " start " << c.start << " step " << c.step << " digits " << c.digits << " "
         << c.mask;
}

class CounterTable : public ::testing::TestWithParam<CounterCase>
{
};

TEST_P(CounterTable, NumbersTheFile)
{
    const CounterCase& c = GetParam();
    TRenamerFileStructure r = request(c.mask);
    r.runningNumber = c.running;
    r.start = c.start;
    r.step = c.step;
    r.digits = c.digits;
    EXPECT_EQ(buildNewName(r, "c:\\", "photo.jpg", kTime), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Counter, CounterTable,
    ::testing::Values(CounterCase{1, 1, 1, 3, "Pic[C].[E]", "Pic001.jpg"},
                      CounterCase{2, 1, 1, 3, "Pic[C].[E]", "Pic002.jpg"},
                      CounterCase{3, 10, 5, 3, "Pic[C].[E]", "Pic020.jpg"},
                      CounterCase{1, 12345, 1, 3, "[C]", "12345"}, CounterCase{1, 7, 1, 1, "[C]", "7"},
                      CounterCase{1, 7, 1, 10, "[C]", "0000000007"}, CounterCase{1, -5, 1, 3, "[C]", "-05"},
                      CounterCase{3, 0, -7, 4, "[C]", "-014"}, CounterCase{1, -5, 1, 1, "[C]", "-5"},
                      // counter first, then the part, whatever the order of letters
                      CounterCase{4, 1, 1, 2, "[NC]", "04photo"}, CounterCase{4, 1, 1, 2, "[CN]", "04photo"},
                      CounterCase{2, 1, 1, 2, "[CC]", "0202"},
                      // no 32-bit overflow on large numbers and steps
                      CounterCase{2147483647, 2147483647, 2147483647, 1, "[C]", "4611686014132420609"}));

TEST(CounterText, PadsAfterTheSignWithinOneToTenDigits)
{
    EXPECT_EQ(counterText(-5, 3), "-05");
    EXPECT_EQ(counterText(5, 0), "5");
    EXPECT_EQ(counterText(5, 99), "0000000005");
    EXPECT_EQ(counterText(-2147483648LL, 3), "-2147483648");
}

TEST(BuildNewName, FolderNameWithOrWithoutTrailingBackslash)
{
    const TRenamerFileStructure r = request("[F]");
    EXPECT_EQ(buildNewName(r, "c:\\Data\\Reports", "a.txt", kTime), "Reports");
    EXPECT_EQ(buildNewName(r, "c:\\Data\\Reports\\", "a.txt", kTime), "Reports");
    EXPECT_EQ(buildNewName(r, "c:\\", "a.txt", kTime), "c:");
}

TEST(BuildNewName, StopsAtTheLastPieceThatFitsInto260Bytes)
{
    // 259 literal bytes, then a directive of 3 bytes that would pass the cap: dropped with all after it.
    TRenamerFileStructure r = request(std::string(259, 'a') + "[N]b");
    EXPECT_EQ(buildNewName(r, "c:\\", "xyz.txt", kTime), std::string(259, 'a'));
    r.mask = std::string(258, 'a') + "[N1,2]b";
    EXPECT_EQ(buildNewName(r, "c:\\", "xyz.txt", kTime), std::string(258, 'a') + "xy");
    r.mask = std::string(260, 'a') + "b";
    EXPECT_EQ(buildNewName(r, "c:\\", "xyz.txt", kTime), std::string(260, 'a'));
}

TEST(BuildNewName, CapNeverCutsAMultiByteCharacter)
{
    // 259 bytes, then a two-byte character that would end at byte 261: it is dropped whole.
    TRenamerFileStructure r = request(std::string(259, 'a') + "\xC3\xA4" + "b");
    const std::string name = buildNewName(r, "c:\\", "x", kTime);
    EXPECT_EQ(name, std::string(259, 'a'));
    // A name of multi-byte characters stops on a character boundary.
    std::string mask;
    for (int i = 0; i < 100; ++i)
        mask += "\xE2\x82\xAC"; // 3 bytes each
    r.mask = mask;
    EXPECT_EQ(buildNewName(r, "c:\\", "x", kTime).size(), 258u);
}

TEST(BuildNewName, RemovesOneTrailingDotOnly)
{
    EXPECT_EQ(buildNewName(request("a..[E]"), "c:\\", "x", kTime), "a.");
    EXPECT_EQ(buildNewName(request("[N].[E]"), "c:\\", "x.", kTime), "x");
}

struct ReplaceCase
{
    const char* mask;
    const char* file;
    const char* find;
    const char* replace;
    std::int32_t caseMode;
    const char* expected;
};

void PrintTo(const ReplaceCase& c, std::ostream* out)
{
    *out << ::testing::PrintToString(std::string(c.file)) << " find "
         << ::testing::PrintToString(std::string(c.find)) << " mode " << c.caseMode;
}

class ReplaceAndCaseTable : public ::testing::TestWithParam<ReplaceCase>
{
};

TEST_P(ReplaceAndCaseTable, AppliesFindReplaceThenCaseMode)
{
    const ReplaceCase& c = GetParam();
    TRenamerFileStructure r = request(c.mask);
    r.find = c.find;
    r.replace = c.replace;
    r.replaceOn = !r.find.empty();
    r.caseMode = c.caseMode;
    EXPECT_EQ(buildNewName(r, "c:\\", c.file, kTime), c.expected);
}

INSTANTIATE_TEST_SUITE_P(FindReplace, ReplaceAndCaseTable,
                         ::testing::Values(ReplaceCase{"[N]", "img_01.jpg", "IMG", "Photo", 1, "Photo_01"},
                                           ReplaceCase{"[N]", "ImG_iMg.jpg", "img", "x", 1, "x_x"},
                                           // left to right, not overlapping, replacements not searched again
                                           ReplaceCase{"[N]", "aaaa", "aa", "b", 1, "bb"},
                                           ReplaceCase{"[N]", "aaa", "a", "aa", 1, "aaaaaa"},
                                           ReplaceCase{"[N]", "ab", "abc", "x", 1, "ab"},
                                           ReplaceCase{"[N].[E]", "a.b", ".", "", 1, "ab"},
                                           // the trailing dot is removed before the find/replace
                                           ReplaceCase{"[N].[E]", "x", "x.", "y", 1, "x"},
                                           // case modes
                                           ReplaceCase{"[N]", "My Old FILE", "", "", 1, "My Old FILE"},
                                           ReplaceCase{"[N]", "My Old FILE", "", "", 2, "my old file"},
                                           ReplaceCase{"[N]", "My Old file", "", "", 3, "MY OLD FILE"},
                                           ReplaceCase{"[N]", "mY OLD FILE", "", "", 4, "My old file"},
                                           ReplaceCase{"[N]", "my old file", "", "", 5, "My Old File"},
                                           ReplaceCase{"[N]", "my_old-file", "", "", 5, "My_old-file"},
                                           ReplaceCase{"[N]", "\xC3\xA4rger \xC3\xB6l", "", "", 5,
                                                       "\xC3\x84rger \xC3\x96l"},
                                           ReplaceCase{"[N]",
                                                       "stra\xC3\x9F"
                                                       "e",
                                                       "", "", 3, "STRASSE"},
                                           ReplaceCase{"[N]", "ABC", "", "", 0, "ABC"},
                                           // find/replace before the case mode
                                           ReplaceCase{"[N]", "img_01", "img", "photo", 3, "PHOTO_01"},
                                           // every letter ignores case, whatever the byte lengths of its forms
                                           ReplaceCase{"[N]", "\xC3\x89T\xC3\x89_01.jpg", "\xC3\xA9t\xC3\xA9",
                                                       "summer", 1, "summer_01"},
                                           ReplaceCase{"[N]", "\xC3\x9C" "ber \xC3\xBC" "BER", "\xC3\xBC" "ber",
                                                       "x", 1, "x x"},
                                           ReplaceCase{"[N]", "\xE2\x84\xAA" "elvin", "k", "K", 1, "Kelvin"},
                                           ReplaceCase{"[N]", "k", "\xE2\x84\xAA", "x", 1, "x"},
                                           ReplaceCase{"[N]", "\xC3\xA9t\xC3\xA8", "\xC3\xA9t\xC3\xA9", "x", 1,
                                                       "\xC3\xA9t\xC3\xA8"},
                                           ReplaceCase{"[N]", "\xC3\xA9\xC3\xA9", "\xC3\x89", "e", 1, "ee"}));

TEST(BuildNewName, ReadsTheProcessWideRequestAndConvertsTheFileTimeToLocalTime)
{
    // The tests run with TZ=UTC, so the local time is the UTC time.
    const platform::FileTime time = platform::calendarToFileTime(kTime).value();
    TRenamerFileStructure& r = renamerFileStructure();
    const TRenamerFileStructure saved = r;
    r = request("[C]_[YMD]_[hms]_[N].[E]");
    r.runningNumber = 5;
    EXPECT_EQ(BuildNewName("c:\\x", "file.txt", time), "005_20090307_140509_file.txt");
    r.runningNumber = 6;
    EXPECT_EQ(BuildNewName("c:\\x", "file.txt", time), "006_20090307_140509_file.txt");
    r = saved;
}

TEST(BuildNewName, ATimeWithoutCalendarFormShowsAsTheFirstMoment)
{
    TRenamerFileStructure& r = renamerFileStructure();
    const TRenamerFileStructure saved = r;
    r = request("[YMDhms]");
    EXPECT_EQ(BuildNewName("c:\\", "a", 0xFFFF'FFFF'FFFF'FFFFULL), "16010101000000");
    r = saved;
}

} // namespace
} // namespace wux::engines
