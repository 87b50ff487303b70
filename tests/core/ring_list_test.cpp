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

using Lines = std::vector<std::string>;

Lines slots(const TVYK_RingList& ring)
{
    Lines out;
    for (int i = 0; i < ring.Strings().count(); ++i)
        out.push_back(ring.Strings().at(i));
    return out;
}

Lines filled(const TVYK_RingList& ring)
{
    platform::StringList dest;
    ring.FillStrings(dest);
    return dest.lines();
}

const Lines kNine = {"t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9"};

Lines with(Lines first, const Lines& more)
{
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

// Entries added one after the other: the slots, the position of the newest and the newest-first list.
struct AddCase
{
    const char* name;
    Lines added;
    Lines slots;
    int current;
    Lines filled;
};

void PrintTo(const AddCase& c, std::ostream* out)
{
    *out << c.name;
}

class RingListAdd : public ::testing::TestWithParam<AddCase>
{
};

TEST_P(RingListAdd, SlotsPositionAndNewestFirst)
{
    const AddCase& c = GetParam();
    TVYK_RingList ring;
    EXPECT_EQ(ring.Current(), 0);
    for (const std::string& text : c.added)
        ring.Add(text);
    EXPECT_EQ(slots(ring), c.slots);
    EXPECT_EQ(ring.Current(), c.current);
    EXPECT_EQ(filled(ring), c.filled);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RingListAdd,
    ::testing::Values(
        AddCase{"InOrder", {"a", "b", "c"}, {"a", "b", "c"}, 3, {"c", "b", "a"}},
        // A found entry swaps with the newest while the ring is not full; the newest stays put.
        AddCase{"FoundSwapsWithTheNewest", {"a", "b", "c", "a"}, {"c", "b", "a"}, 3, {"a", "b", "c"}},
        AddCase{"NewestAgainMovesNothing", {"a", "b", "c", "a", "a"}, {"c", "b", "a"}, 3, {"a", "b", "c"}},
        AddCase{"EmptyIgnoredCaseExact", {"", "abc", "ABC"}, {"abc", "ABC"}, 2, {"ABC", "abc"}},
        AddCase{"NothingAdded", {""}, {}, 0, {}},
        AddCase{"FullOverwritesTheOldest",
                with(kNine, {"new"}),
                {"new", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9"},
                1,
                {"new", "t9", "t8", "t7", "t6", "t5", "t4", "t3", "t2"}},
        AddCase{"FullOverwritesTheNext",
                with(kNine, {"new", "newer"}),
                {"new", "newer", "t3", "t4", "t5", "t6", "t7", "t8", "t9"},
                2,
                {"newer", "new", "t9", "t8", "t7", "t6", "t5", "t4", "t3"}},
        // In a full ring a found entry only moves the position; the next new one takes the slot after it.
        AddCase{"FullFindingOnlyMovesCurrent",
                with(kNine, {"t4"}),
                kNine,
                4,
                {"t4", "t3", "t2", "t1", "t9", "t8", "t7", "t6", "t5"}},
        AddCase{"FullFoundThenNew",
                with(kNine, {"t4", "x"}),
                {"t1", "t2", "t3", "t4", "x", "t6", "t7", "t8", "t9"},
                5,
                {"x", "t4", "t3", "t2", "t1", "t9", "t8", "t7", "t6"}}),
    [](const ::testing::TestParamInfo<AddCase>& info) { return std::string(info.param.name); });

TEST(RingList, FillsAppendingWorksOnACallersListAndEmpties)
{
    platform::StringList items;
    {
        TVYK_RingList ring(items);
        ring.Add("one");
        ring.Add("two");
        platform::StringList dest;
        dest.add("kept");
        ring.FillStrings(dest);
        EXPECT_EQ(dest.lines(), (Lines{"kept", "two", "one"}));
    }
    EXPECT_EQ(items.lines(), (Lines{"one", "two"}));
    TVYK_RingList ring;
    ring.Add("a");
    ring.FreeStrings();
    EXPECT_EQ(slots(ring), Lines{});
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
    void store(const std::string& value)
    {
        ASSERT_EQ(platform::IniFile(iniPath()).writeString("MainForm", "MASK_SELECTION", value), 0u);
    }
    void load(TVYK_RingList& ring, const char* key = "MASK_SELECTION")
    {
        ring.LoadFromIni(platform::IniFile(iniPath()), "MainForm", key);
    }
};

TEST_F(RingListIni, StoresTheHexOfEntriesAndPositionAndRoundTrips)
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
    EXPECT_EQ(test::readFileBytes(iniPath()), "[MainForm]\r\nMASK_SELECTION=610D0A2A2E2A0D0A320D0A\r\n");

    TVYK_RingList full;
    for (const std::string& text : with(kNine, {"new", "t5"}))
        full.Add(text);
    full.SaveToIni(ini, "MainForm", "MASK_SELECTION");
    TVYK_RingList back;
    back.Add("old"); // loading replaces the entries
    back.LoadFromIni(ini, "MainForm", "MASK_SELECTION");
    EXPECT_EQ(back.Current(), 5);
    EXPECT_EQ(slots(back), slots(full));
    EXPECT_EQ(filled(back), filled(full));
    back.SaveToIni(ini, "MainForm", "BROWSER_FILTRES");
    EXPECT_EQ(storedValue("BROWSER_FILTRES"), storedValue());

    store("300D0A");
    TVYK_RingList empty;
    load(empty);
    EXPECT_EQ(empty.Strings().count(), 0);
    EXPECT_EQ(empty.Current(), 0);
    load(back, "NO_SUCH_KEY");
    EXPECT_EQ(back.Strings().count(), 0);
    EXPECT_EQ(back.Current(), 0);
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
                      HandEdited{"TooManyEntries", with(kNine, {"10a", "11a", "11"}), kNine, 9},
                      HandEdited{"TooManyEntriesPositionKept", with(kNine, {"10a", "3"}), kNine, 3},
                      HandEdited{"OnlyAPosition", {"5"}, {}, 0}),
    [](const ::testing::TestParamInfo<HandEdited>& info) { return std::string(info.param.name); });

TEST_F(RingListIni, StringListsRoundTripAsHexAndSplitAtEveryLineEnd)
{
    platform::IniFile ini(iniPath());
    platform::StringList names;
    for (const char* name : {"Home", "gr\xC3\xBC\xC3\x9F", "", "a=b"})
        names.add(name);
    ASSERT_EQ(WriteStringsToIni(ini, names, "Favorites", "F_NAMES"), 0u);
    EXPECT_EQ(ini.readString("Favorites", "F_NAMES", ""), "486F6D650D0A6772C3BCC39F0D0A0D0A613D620D0A");
    platform::StringList back;
    back.add("replaced");
    ReadStringsFromIni(ini, back, "Favorites", "F_NAMES");
    EXPECT_EQ(back, names);

    WriteStringsToIni(ini, platform::StringList(), "Favorites", "F_DIRECTORIES");
    EXPECT_TRUE(ini.valueExists("Favorites", "F_DIRECTORIES"));
    EXPECT_EQ(ini.readString("Favorites", "F_DIRECTORIES", "<absent>"), "");
    ReadStringsFromIni(ini, back, "Favorites", "F_DIRECTORIES");
    EXPECT_TRUE(back.empty());
    back.add("x");
    ReadStringsFromIni(ini, back, "Finder", "SEARCH_PATHS");
    EXPECT_TRUE(back.empty());

    store("610D620A630D0A64"); // a CR b LF c CR LF d
    ReadStringsFromIni(platform::IniFile(iniPath()), back, "MainForm", "MASK_SELECTION");
    EXPECT_EQ(back.lines(), (Lines{"a", "b", "c", "d"}));
}

} // namespace
} // namespace wux::core
