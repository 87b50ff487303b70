#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "core/ring_list.h"
#include "platform/ini_file.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::core {
namespace {

std::vector<std::string> slots(const TVYK_RingList& ring)
{
    std::vector<std::string> out;
    for (int i = 0; i < ring.Strings().count(); ++i)
        out.push_back(ring.Strings().at(i));
    return out;
}

std::vector<std::string> filled(const TVYK_RingList& ring)
{
    platform::StringList dest;
    ring.FillStrings(dest);
    return dest.lines();
}

using Lines = std::vector<std::string>;

TEST(RingList, AddsInOrderAndFillsNewestFirst)
{
    TVYK_RingList ring;
    EXPECT_EQ(ring.Current(), 0);
    ring.Add("a");
    ring.Add("b");
    ring.Add("c");
    EXPECT_EQ(slots(ring), (Lines{"a", "b", "c"}));
    EXPECT_EQ(ring.Current(), 3);
    EXPECT_EQ(filled(ring), (Lines{"c", "b", "a"}));
}

TEST(RingList, FoundEntrySwapsWithTheNewestWhileNotFull)
{
    TVYK_RingList ring;
    for (const char* s : {"a", "b", "c"})
        ring.Add(s);
    ring.Add("a");
    EXPECT_EQ(slots(ring), (Lines{"c", "b", "a"}));
    EXPECT_EQ(ring.Current(), 3);
    EXPECT_EQ(filled(ring), (Lines{"a", "b", "c"}));
    ring.Add("a"); // already the newest: nothing moves
    EXPECT_EQ(slots(ring), (Lines{"c", "b", "a"}));
}

TEST(RingList, EmptyTextsAreIgnoredAndComparisonIsExact)
{
    TVYK_RingList ring;
    ring.Add("");
    EXPECT_EQ(ring.Strings().count(), 0);
    ring.Add("abc");
    ring.Add("ABC");
    EXPECT_EQ(slots(ring), (Lines{"abc", "ABC"}));
}

TVYK_RingList& fillNine(TVYK_RingList& ring)
{
    for (int i = 1; i <= 9; ++i)
        ring.Add("t" + std::to_string(i));
    return ring;
}

TEST(RingList, FullRingOverwritesTheOldest)
{
    TVYK_RingList ring;
    fillNine(ring);
    EXPECT_EQ(ring.Current(), 9);
    ring.Add("new");
    EXPECT_EQ(ring.Current(), 1);
    EXPECT_EQ(slots(ring), (Lines{"new", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9"}));
    EXPECT_EQ(filled(ring), (Lines{"new", "t9", "t8", "t7", "t6", "t5", "t4", "t3", "t2"}));
    ring.Add("newer");
    EXPECT_EQ(ring.Current(), 2);
    EXPECT_EQ(filled(ring), (Lines{"newer", "new", "t9", "t8", "t7", "t6", "t5", "t4", "t3"}));
}

TEST(RingList, FullRingFindingAnEntryOnlyMovesCurrent)
{
    TVYK_RingList ring;
    fillNine(ring);
    ring.Add("t4");
    EXPECT_EQ(ring.Current(), 4);
    EXPECT_EQ(slots(ring), (Lines{"t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9"}));
    EXPECT_EQ(filled(ring), (Lines{"t4", "t3", "t2", "t1", "t9", "t8", "t7", "t6", "t5"}));
    ring.Add("x"); // overwrites slot 5
    EXPECT_EQ(ring.Current(), 5);
    EXPECT_EQ(ring.Strings().at(4), "x");
}

TEST(RingList, FillStringsAppendsToTheDestination)
{
    TVYK_RingList ring;
    ring.Add("a");
    platform::StringList dest;
    dest.add("kept");
    ring.FillStrings(dest);
    EXPECT_EQ(dest.lines(), (Lines{"kept", "a"}));
}

TEST(RingList, WorksOnACallersList)
{
    platform::StringList items;
    {
        TVYK_RingList ring(items);
        ring.Add("one");
        ring.Add("two");
    }
    EXPECT_EQ(items.lines(), (Lines{"one", "two"}));
}

TEST(RingList, FreeStringsEmptiesTheRing)
{
    TVYK_RingList ring;
    ring.Add("a");
    ring.FreeStrings();
    EXPECT_EQ(ring.Strings().count(), 0);
    EXPECT_EQ(ring.Current(), 0);
    ring.Add("b");
    EXPECT_EQ(slots(ring), (Lines{"b"}));
}

class RingListIni : public test::TempDriveTest
{
protected:
    std::string iniPath() const { return path("wux.ini"); }
    std::string storedValue(const char* key = "MASK_SELECTION") const
    {
        return platform::IniFile(iniPath()).readString("MainForm", key, "<absent>");
    }
    void store(const std::string& value, const char* key = "MASK_SELECTION")
    {
        platform::IniFile ini(iniPath());
        ASSERT_EQ(ini.writeString("MainForm", key, value), 0u);
    }
    void load(TVYK_RingList& ring, const char* key = "MASK_SELECTION")
    {
        ring.LoadFromIni(platform::IniFile(iniPath()), "MainForm", key);
    }
};

TEST_F(RingListIni, StoresTheHexOfEntriesAndPosition)
{
    platform::IniFile ini(iniPath());
    TVYK_RingList ring;
    ASSERT_EQ(ring.SaveToIni(ini, "MainForm", "MASK_SELECTION"), 0u);
    EXPECT_EQ(storedValue(), "300D0A");

    ring.Add("*.*");
    ring.SaveToIni(ini, "MainForm", "MASK_SELECTION");
    EXPECT_EQ(storedValue(), "2A2E2A0D0A310D0A");

    ring.Add("a");
    ring.Add("*.*"); // swap: slots a, *.*; Current 2
    ring.SaveToIni(ini, "MainForm", "MASK_SELECTION");
    EXPECT_EQ(storedValue(), "610D0A2A2E2A0D0A320D0A");
    EXPECT_EQ(test::readFileBytes(iniPath()), "[MainForm]\r\nMASK_SELECTION=610D0A2A2E2A0D0A320D0A\r\n");
}

TEST_F(RingListIni, FullRingRoundTrips)
{
    platform::IniFile ini(iniPath());
    TVYK_RingList ring;
    fillNine(ring);
    ring.Add("new");
    ring.Add("t5");
    ring.SaveToIni(ini, "MainForm", "MASK_SELECTION");
    TVYK_RingList back;
    back.LoadFromIni(ini, "MainForm", "MASK_SELECTION");
    EXPECT_EQ(back.Current(), 5);
    EXPECT_EQ(slots(back), slots(ring));
    EXPECT_EQ(filled(back), filled(ring));
    back.SaveToIni(ini, "MainForm", "BROWSER_FILTRES");
    EXPECT_EQ(storedValue("BROWSER_FILTRES"), storedValue());
}

TEST_F(RingListIni, EmptyRingLoadsEmpty)
{
    store("300D0A");
    TVYK_RingList ring;
    load(ring);
    EXPECT_EQ(ring.Strings().count(), 0);
    EXPECT_EQ(ring.Current(), 0);
    TVYK_RingList absent;
    load(absent, "NO_SUCH_KEY");
    EXPECT_EQ(absent.Strings().count(), 0);
    EXPECT_EQ(absent.Current(), 0);
}

TEST_F(RingListIni, LoadingReplacesTheEntries)
{
    store("780D0A310D0A"); // x, Current 1
    TVYK_RingList ring;
    ring.Add("old");
    ring.LoadFromIni(platform::IniFile(iniPath()), "MainForm", "MASK_SELECTION");
    EXPECT_EQ(slots(ring), (Lines{"x"}));
    EXPECT_EQ(ring.Current(), 1);
}

struct HandEdited
{
    const char* name;
    Lines lines;
    Lines slots;
    int current;
};

void PrintTo(const HandEdited& c, std::ostream* out)
{
    *out << c.name;
}

class RingListHandEdited : public RingListIni, public ::testing::WithParamInterface<HandEdited>
{
};

TEST_P(RingListHandEdited, LoadsSafely)
{
    const HandEdited& c = GetParam();
    platform::StringList lines;
    for (const std::string& line : c.lines)
        lines.add(line);
    platform::IniFile ini(iniPath());
    WriteStringsToIni(ini, lines, "MainForm", "MASK_SELECTION");
    TVYK_RingList ring;
    load(ring);
    EXPECT_EQ(slots(ring), c.slots);
    EXPECT_EQ(ring.Current(), c.current);
    // Neither filling nor adding reads outside the list.
    EXPECT_EQ(filled(ring).size(), c.slots.size());
    ring.Add("added");
    ring.Add(c.slots.empty() ? "z" : c.slots.front());
    EXPECT_LE(ring.Strings().count(), 9);
    EXPECT_GE(ring.Current(), 1);
    EXPECT_LE(ring.Current(), ring.Strings().count());
    EXPECT_EQ(filled(ring).front(), c.slots.empty() ? "z" : c.slots.front());
}

INSTANTIATE_TEST_SUITE_P(
    Values, RingListHandEdited,
    ::testing::Values(HandEdited{"NonNumericLastLineStays", {"a", "b"}, {"a", "b"}, 2},
                      HandEdited{"PositionTooLarge", {"a", "b", "7"}, {"a", "b"}, 2},
                      HandEdited{"PositionNegative", {"a", "b", "-3"}, {"a", "b"}, 2},
                      HandEdited{"PositionZero", {"a", "b", "0"}, {"a", "b"}, 2},
                      HandEdited{"PositionInRange", {"a", "b", "c", "1"}, {"a", "b", "c"}, 1},
                      HandEdited{"PositionWithPlus", {"a", "b", "+1"}, {"a", "b"}, 1},
                      HandEdited{"PositionHuge", {"a", "99999999999"}, {"a", "99999999999"}, 2},
                      HandEdited{"TooManyEntries",
                                 {"1a", "2a", "3a", "4a", "5a", "6a", "7a", "8a", "9a", "10a", "11a", "11"},
                                 {"1a", "2a", "3a", "4a", "5a", "6a", "7a", "8a", "9a"},
                                 9},
                      HandEdited{"TooManyEntriesPositionKept",
                                 {"1a", "2a", "3a", "4a", "5a", "6a", "7a", "8a", "9a", "10a", "3"},
                                 {"1a", "2a", "3a", "4a", "5a", "6a", "7a", "8a", "9a"},
                                 3},
                      HandEdited{"OnlyAPosition", {"5"}, {}, 0}),
    [](const ::testing::TestParamInfo<HandEdited>& info) { return std::string(info.param.name); });

TEST_F(RingListIni, StringListsRoundTripAsHex)
{
    platform::IniFile ini(iniPath());
    platform::StringList names;
    names.add("Home");
    names.add("gr\xC3\xBC\xC3\x9F");
    names.add("");
    names.add("a=b");
    ASSERT_EQ(WriteStringsToIni(ini, names, "Favorites", "F_NAMES"), 0u);
    EXPECT_EQ(ini.readString("Favorites", "F_NAMES", ""), "486F6D650D0A6772C3BCC39F0D0A0D0A613D620D0A");
    platform::StringList back;
    back.add("replaced");
    ReadStringsFromIni(ini, back, "Favorites", "F_NAMES");
    EXPECT_EQ(back, names);

    platform::StringList empty;
    WriteStringsToIni(ini, empty, "Favorites", "F_DIRECTORIES");
    EXPECT_TRUE(ini.valueExists("Favorites", "F_DIRECTORIES"));
    EXPECT_EQ(ini.readString("Favorites", "F_DIRECTORIES", "<absent>"), "");
    ReadStringsFromIni(ini, back, "Favorites", "F_DIRECTORIES");
    EXPECT_TRUE(back.empty());
    back.add("x");
    ReadStringsFromIni(ini, back, "Finder", "SEARCH_PATHS");
    EXPECT_TRUE(back.empty());
}

TEST_F(RingListIni, ReadingSplitsAtEveryKindOfLineEnd)
{
    store("610D620A630D0A64"); // a CR b LF c CR LF d
    platform::StringList lines;
    ReadStringsFromIni(platform::IniFile(iniPath()), lines, "MainForm", "MASK_SELECTION");
    EXPECT_EQ(lines.lines(), (Lines{"a", "b", "c", "d"}));
}

} // namespace
} // namespace wux::core
