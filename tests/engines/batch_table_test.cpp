#include "engines/batch_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/files.h"
#include "platform/movable_memory.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Row
{
    std::string flag;
    std::string find;
    std::string replace;
    friend bool operator==(const Row&, const Row&) = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row)
{
    return out << "{" << row.flag << ", " << row.find << ", " << row.replace << "}";
}

std::vector<Row> rowsOf(const TableCells& flags, const TableCells& finds, const TableCells& replaces)
{
    std::vector<Row> rows;
    for (std::size_t i = 0; i < finds.size(); ++i)
        rows.push_back({flags.at(i), finds.at(i), replaces.at(i)});
    return rows;
}

struct Lists
{
    TableCells flags, finds, replaces;
    explicit Lists(const std::vector<Row>& rows = {})
    {
        for (const Row& row : rows) {
            flags.push_back(row.flag);
            finds.push_back(row.find);
            replaces.push_back(row.replace);
        }
    }
    std::vector<Row> rows() const { return rowsOf(flags, finds, replaces); }
};

// ---- Reading table files ----

struct ParseCase
{
    std::string bytes;
    bool ok;
    std::vector<Row> rows;
};

void PrintTo(const ParseCase& c, std::ostream* out)
{
    *out << ::testing::PrintToString(c.bytes);
}

class TableFileReading : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(TableFileReading, AcceptsWellFormedLinesAndRejectsMalformedOnes)
{
    const ParseCase& c = GetParam();
    Lists lists({{"Y", "stale", "row"}});
    EXPECT_EQ(parseTableFile(c.bytes, lists.flags, lists.finds, lists.replaces), c.ok);
    EXPECT_EQ(lists.rows(), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TableFileReading,
    ::testing::Values(
        // leading "+" runs: each toggles the flag, every second one is a literal "+"
        ParseCase{"+abc=x", true, {{"Y", "abc", "x"}}}, ParseCase{"++abc=x", true, {{"N", "+abc", "x"}}},
        ParseCase{"+++abc=x", true, {{"Y", "+abc", "x"}}}, ParseCase{"++++abc", true, {{"N", "++abc", ""}}},
        ParseCase{"++", true, {{"N", "+", ""}}}, ParseCase{"a++b", true, {{"N", "a+b", ""}}},
        // "=": doubled is a literal, single separates, last byte ends the line
        ParseCase{"a==b=c", true, {{"N", "a=b", "c"}}}, ParseCase{"a===b", true, {{"N", "a=", "b"}}},
        ParseCase{"a=b==c", true, {{"N", "a", "b=c"}}}, ParseCase{"abc=", true, {{"N", "abc", ""}}},
        ParseCase{"abc=\r\nd", true, {{"N", "abc", ""}, {"N", "d", ""}}},
        ParseCase{"==a", true, {{"N", "=a", ""}}}, ParseCase{"a=#61#x", true, {{"N", "a", "#61#x"}}},
        // the case flag starts anew on every line
        ParseCase{"+a=b\r\nc=d", true, {{"Y", "a", "b"}, {"N", "c", "d"}}},
        // empty lines are skipped, a CR LF after the last line is accepted
        ParseCase{"a\r\n\r\n\r\nb", true, {{"N", "a", ""}, {"N", "b", ""}}},
        ParseCase{"a\r\nb\r\n", true, {{"N", "a", ""}, {"N", "b", ""}}},
        ParseCase{"\r\na", true, {{"N", "a", ""}}}, ParseCase{"+\r\na", true, {{"N", "a", ""}}},
        // lines with an empty find are dropped
        ParseCase{"=x\r\nabc", true, {{"N", "abc", ""}}},
        // bytes 32-255 stand for themselves (UTF-8 names and texts)
        ParseCase{"\xC3\xA4=\xE2\x82\xAC #~\x7F", true, {{"N", "\xC3\xA4", "\xE2\x82\xAC #~\x7F"}}},
        // a table without rows
        ParseCase{"", false, {}}, ParseCase{"\r\n\r\n", false, {}}, ParseCase{"=x\r\n=y", false, {}},
        ParseCase{"+", false, {}},
        // malformed: "+" not at the line start (also as the last byte), bytes below 32, a lone CR,
        // more than one separator
        ParseCase{"a+b", false, {}}, ParseCase{"a+", false, {}}, ParseCase{"ok\r\na+", false, {}},
        ParseCase{"a\rb", false, {}}, ParseCase{"a\r", false, {}}, ParseCase{"a\nb", false, {}},
        ParseCase{"a\r\n\nb", false, {}}, ParseCase{"a\tb", false, {}},
        ParseCase{std::string("a\0b", 3), false, {}}, ParseCase{"a\x01=b", false, {}},
        ParseCase{"a=b=c", false, {}}, ParseCase{"ok\r\na=b=c", false, {}}, ParseCase{"=a=b", false, {}}));

// ---- Writing table files ----

struct WriteCase
{
    std::vector<Row> rows;
    std::string bytes;
};

void PrintTo(const WriteCase& c, std::ostream* out)
{
    *out << ::testing::PrintToString(c.bytes);
}

class TableFileWriting : public ::testing::TestWithParam<WriteCase>
{
};

TEST_P(TableFileWriting, WritesExactBytes)
{
    const WriteCase& c = GetParam();
    const Lists lists(c.rows);
    const std::optional<std::string> bytes = serializeTable(lists.flags, lists.finds, lists.replaces);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TableFileWriting,
    ::testing::Values(WriteCase{{{"Y", "a+b", "=x"}}, "+a++b=#61#x"},
                      WriteCase{{{"N", "abc", "x"}, {"Y", "def", ""}}, "abc=x\r\n+def"},
                      WriteCase{{{"N", "+abc", ""}}, "++abc"}, WriteCase{{{"Y", "+abc", "y"}}, "+++abc=y"},
                      WriteCase{{{"N", "a=b", "c=d"}}, "a==b=c==d"},
                      WriteCase{{{"N", "a", "=="}}, "a=#61#=="}, WriteCase{{{"N", "a", "+"}}, "a=++"},
                      // only YesText marks a row case-sensitive
                      WriteCase{{{"y", "a", ""}, {"Sensitive", "b", ""}}, "a\r\nb"},
                      WriteCase{{{"Y", "", "x"}}, "=x"},
                      WriteCase{{{"N", "\xC3\xA4", "\xE2\x82\xAC"}}, "\xC3\xA4=\xE2\x82\xAC"}));

TEST(TableFileWriting, RefusesNoRowsAndCellsThatNoTableFileCanHold)
{
    EXPECT_FALSE(serializeTable({}, {}, {}).has_value());
    for (const std::string& bad :
         std::vector<std::string>{"a\r\nb", "a\nb", "tab\there", std::string("nul\0", 4), "\x1F"}) {
        const Lists asFind({{"N", bad, "x"}});
        EXPECT_FALSE(serializeTable(asFind.flags, asFind.finds, asFind.replaces).has_value());
        const Lists asReplace({{"N", "x", bad}});
        EXPECT_FALSE(serializeTable(asReplace.flags, asReplace.finds, asReplace.replaces).has_value());
    }
    EXPECT_THROW(serializeTable({"Y"}, {"a", "b"}, {"", ""}), std::invalid_argument);
}

TEST(TableFileWriting, RoundTripsEveryRowWithAFindText)
{
    const std::vector<Row> rows = {{"Y", "a+b", "c+d"},
                                   {"N", "+lead", "x"},
                                   {"Y", "++two", ""},
                                   {"N", "a=b", "c==d"},
                                   {"Y", "=start", "tail="},
                                   {"N", "#13,10#", "#U#x"},
                                   {"N", "\xC3\xA4+", "\xE2\x82\xAC"},
                                   {"Y", "end+", "+"},
                                   {"N", "x", "  "}};
    const Lists lists(rows);
    const std::string bytes = serializeTable(lists.flags, lists.finds, lists.replaces).value();
    Lists back;
    ASSERT_TRUE(parseTableFile(bytes, back.flags, back.finds, back.replaces));
    EXPECT_EQ(back.rows(), rows);
    // and once more, byte for byte
    EXPECT_EQ(serializeTable(back.flags, back.finds, back.replaces).value(), bytes);
}

TEST(TableFileWriting, ReplaceStartingWithEqualsReadsBackAsCodeCompilingToTheSameBytes)
{
    const Lists lists({{"Y", "a+b", "=x"}});
    Lists back;
    ASSERT_TRUE(parseTableFile(serializeTable(lists.flags, lists.finds, lists.replaces).value(), back.flags,
                               back.finds, back.replaces));
    EXPECT_EQ(back.rows(), (std::vector<Row>{{"Y", "a+b", "#61#x"}}));
    std::string converted;
    std::int32_t length = 0, mode = 0;
    EXPECT_EQ(CheckReplaceText(back.replaces[0], length, &converted, mode), -1);
    EXPECT_EQ(converted, "=x");
}

TEST(FlagTexts, ReadersWriteAndWritersCompareTheCurrentTexts)
{
    EXPECT_EQ(YesText(), "Y");
    EXPECT_EQ(NoText(), "N");
    SetYesNoTexts("Sensitive", "Insensitive");
    Lists lists;
    ASSERT_TRUE(parseTableFile("+a\r\nb", lists.flags, lists.finds, lists.replaces));
    EXPECT_EQ(lists.flags, (TableCells{"Sensitive", "Insensitive"}));
    const Lists write({{"Sensitive", "a", ""}, {"Y", "b", ""}});
    EXPECT_EQ(serializeTable(write.flags, write.finds, write.replaces).value(), "+a\r\nb");
    SetYesNoTexts("Y", "N");
}

// ---- Table files on disk ----

class TableFiles : public test::TempDriveTest
{
protected:
    platform::ScopedFaultClear faults;
};

// A save writes the bytes (over a read-only table too) and a load of any name but
// a spreadsheet's reads them back; a failed save keeps the previous table as it was.
TEST_F(TableFiles, SaveWritesTheBytesAndLoadReadsThemBack)
{
    const Lists lists({{"Y", "a+b", "=x"}, {"N", "cat", "dog"}});
    ASSERT_TRUE(SaveTable(path("t.rtbl"), lists.flags, lists.finds, lists.replaces));
    EXPECT_EQ(test::readFileBytes(path("t.rtbl")), "+a++b=#61#x\r\ncat=dog");
    test::createFile(path("ro.txt"), "old=table", test::kNoTime, 0444);
    ASSERT_TRUE(SaveTable(path("ro.txt"), lists.flags, lists.finds, lists.replaces));
    for (const char* name : {"t.rtbl", "ro.txt"}) {
        Lists back;
        ASSERT_TRUE(LoadTable(path(name), back.flags, back.finds, back.replaces));
        EXPECT_EQ(back.rows(), (std::vector<Row>{{"Y", "a+b", "#61#x"}, {"N", "cat", "dog"}}));
    }
    EXPECT_EQ(test::listNames(drive.root()), (std::vector<std::string>{"ro.txt", "t.rtbl"}));
}

TEST_F(TableFiles, AFailedSaveKeepsThePreviousTable)
{
    for (const std::uint32_t permissions : {0644u, 0444u}) {
        test::createFile(path("t.rtbl"), "old=table", test::kNoTime, permissions);
        const Lists lists({{"N", "new", "table"}});
        platform::injectFault(path("t.rtbl"), platform::kErrorDiskFull, platform::kFaultWrite);
        EXPECT_FALSE(SaveTable(path("t.rtbl"), lists.flags, lists.finds, lists.replaces));
        platform::clearFaults();
        EXPECT_EQ(test::readFileBytes(path("t.rtbl")), "old=table");
        EXPECT_EQ(test::listNames(drive.root()), (std::vector<std::string>{"t.rtbl"}));
        std::uint32_t attributes = 0;
        ASSERT_EQ(platform::getAttributes(path("t.rtbl"), attributes), platform::kErrorSuccess);
        EXPECT_EQ((attributes & platform::kAttrReadOnly) != 0, permissions == 0444u);

        // A cell that no table file can hold fails the save before anything is written; so do no rows
        // and a missing folder.
        const Lists bad({{"N", "line\r\nbreak", ""}});
        EXPECT_FALSE(SaveTable(path("t.rtbl"), bad.flags, bad.finds, bad.replaces));
        EXPECT_FALSE(SaveTable(path("t.rtbl"), {}, {}, {}));
        EXPECT_FALSE(SaveTable(path("missing\\t.rtbl"), lists.flags, lists.finds, lists.replaces));
        EXPECT_EQ(test::readFileBytes(path("t.rtbl")), "old=table");
        std::remove(posix("t.rtbl").c_str());
    }
}

TEST_F(TableFiles, LoadFailuresEmptyTheLists)
{
    test::createFile(path("bad.rtbl"), "a=b=c");
    test::createFile(path("empty.rtbl"), "");
    test::makeFolder(path("folder.rtbl"));
    for (const char* name : {"bad.rtbl", "empty.rtbl", "missing.rtbl", "folder.rtbl"}) {
        Lists lists({{"Y", "stale", "row"}});
        EXPECT_FALSE(LoadTable(path(name), lists.flags, lists.finds, lists.replaces)) << name;
        EXPECT_TRUE(lists.flags.empty() && lists.finds.empty() && lists.replaces.empty()) << name;
    }
    test::createFile(path("locked.rtbl"), "a=b");
    platform::injectFault(path("locked.rtbl"), platform::kErrorSharingViolation, platform::kFaultOpen);
    Lists lists;
    EXPECT_FALSE(LoadTable(path("locked.rtbl"), lists.flags, lists.finds, lists.replaces));
}

TEST(SpreadsheetTables, NamesAreRecognisedIgnoringCase)
{
    for (const char* name : {"c:\\t.xls", "c:\\T.XLSX", "c:\\a\\b.Csv", "c:\\x.rtbl.csv"})
        EXPECT_TRUE(isSpreadsheetTableName(name)) << name;
    for (const char* name : {"c:\\t.rtbl", "c:\\t.xlsm", "c:\\t.csv.bak", "c:\\xls", "c:\\t.xl"})
        EXPECT_FALSE(isSpreadsheetTableName(name)) << name;
}

TEST(SpreadsheetTables, GoThroughTheRegisteredLoader)
{
    Lists lists({{"Y", "stale", "row"}});
    // No spreadsheet source registered: the load fails.
    EXPECT_FALSE(LoadTable("c:\\t.xlsx", lists.flags, lists.finds, lists.replaces));
    EXPECT_TRUE(lists.finds.empty());

    std::string asked;
    setSpreadsheetTableLoader(
        [&](std::string_view name, TableCells& flags, TableCells& finds, TableCells& replaces) {
            asked = name;
            flags = {YesText()};
            finds = {"f"};
            replaces = {"r"};
            return true;
        });
    EXPECT_TRUE(LoadTable("c:\\t.CSV", lists.flags, lists.finds, lists.replaces));
    EXPECT_EQ(asked, "c:\\t.CSV");
    EXPECT_EQ(lists.rows(), (std::vector<Row>{{"Y", "f", "r"}}));

    setSpreadsheetTableLoader([](std::string_view, TableCells& flags, TableCells&, TableCells&) {
        flags = {"partial"};
        return false;
    });
    EXPECT_FALSE(LoadTable("c:\\t.xls", lists.flags, lists.finds, lists.replaces));
    EXPECT_TRUE(lists.flags.empty());
    setSpreadsheetTableLoader({});
}

// ---- Cell checks ----

struct FindCheckCase
{
    std::string cell;
    std::int32_t error;
};

void PrintTo(const FindCheckCase& c, std::ostream* out)
{
    *out << ::testing::PrintToString(c.cell);
}

class FindCellCheck : public ::testing::TestWithParam<FindCheckCase>
{
};

TEST_P(FindCellCheck, GivesTheErrorPosition)
{
    std::int32_t length = 0;
    EXPECT_EQ(CheckFindText(GetParam().cell, length), GetParam().error) << GetParam().cell;
}

INSTANTIATE_TEST_SUITE_P(
    Cells, FindCellCheck,
    ::testing::Values(
        // valid cells
        FindCheckCase{"abc", -1}, FindCheckCase{"a*3*b", -1}, FindCheckCase{"#?#", -1},
        FindCheckCase{"#[a-z]#", -1}, FindCheckCase{"##", -1}, FindCheckCase{"**", -1},
        FindCheckCase{"a**b**", -1}, FindCheckCase{"#13,10#", -1}, FindCheckCase{"#x0d,X0A#", -1},
        FindCheckCase{"#255#", -1}, FindCheckCase{"#xFF#", -1}, FindCheckCase{"#0#", -1},
        FindCheckCase{"#007#", -1}, FindCheckCase{"#*#", -1}, FindCheckCase{"#13,*#", -1},
        FindCheckCase{"BEGIN#*#END", -1}, FindCheckCase{";#B#", -1}, FindCheckCase{"#?,?,[0-9]#", -1},
        FindCheckCase{"#[#,]#", -1}, FindCheckCase{"#[^]#", -1}, FindCheckCase{"x*12*ab", -1},
        FindCheckCase{"*3*ab", -1}, FindCheckCase{"a*2*b**", -1}, FindCheckCase{"##B", -1},
        FindCheckCase{"##B#", 3},
        // errors, at the position where the check stopped
        FindCheckCase{"", 0}, FindCheckCase{"a*3*", 3}, FindCheckCase{"a*b", 2}, FindCheckCase{"a*0*b", 3},
        FindCheckCase{"a*", 1}, FindCheckCase{"*", 0}, FindCheckCase{"a*3", 3}, FindCheckCase{"a*-3*b", 2},
        FindCheckCase{"a*2*b*3*c", 5}, FindCheckCase{"a*99999999999*b", 11}, FindCheckCase{"#[]#", 2},
        FindCheckCase{"#[ab", 4}, FindCheckCase{"#[ab]", 5}, FindCheckCase{"#[ab]x#", 5},
        FindCheckCase{"a#", 1}, FindCheckCase{"#", 0}, FindCheckCase{"#256#", 4},
        FindCheckCase{"#99999999999#", 12}, FindCheckCase{"#x100#", 5}, FindCheckCase{"#1a#", 2},
        FindCheckCase{"#xG#", 2}, FindCheckCase{"#x#", 2}, FindCheckCase{"#12", 3}, FindCheckCase{"#12,", 4},
        FindCheckCase{"#Q#", 1}, FindCheckCase{"#,#", 1}, FindCheckCase{"#1,#", 3}, FindCheckCase{"#??#", 2},
        FindCheckCase{"#?", 2}, FindCheckCase{"#*,1#", 2}, FindCheckCase{"#*", 2}, FindCheckCase{"a#B,1#", 3},
        FindCheckCase{"a#B", 3}, FindCheckCase{"#b#", 1}, FindCheckCase{"#C#", 1}, FindCheckCase{"#FN#", 1},
        // a find text that begins with the barrier would stop at every byte; so would a barrier behind
        // only runs and the repetition code (the error is at the "B")
        FindCheckCase{"#B#", 1}, FindCheckCase{"#B#abc", 1}, FindCheckCase{"*2*#B#", 4},
        FindCheckCase{"#*##B#", 4}, FindCheckCase{"#*#*2*#B#", 7}, FindCheckCase{"*2*#*##B#x", 7},
        FindCheckCase{"a#*##B#", -1}, FindCheckCase{"*2*a#B#", -1}, FindCheckCase{"#65,*##B#", -1},
        FindCheckCase{"##*2*#B#", -1}, FindCheckCase{"#?##B#", -1}, FindCheckCase{"#[ab]##B#", -1}));

TEST(FindCellCheck, LowerCasesOnlyPlainCharactersInTheBuffer)
{
    const std::string cell = "AB#X41#Q##**#[A-Z]#*2*Z\xC3\x84";
    std::string buffer = cell;
    std::int32_t length = 0;
    ASSERT_EQ(CheckFindText(cell, length, &buffer), -1);
    EXPECT_EQ(buffer, "ab#X41#q##**#[A-Z]#*2*z\xC3\x84");
    // a, b, the code, q, "##", "**", the class, the repetition code, z and the two bytes of Ä
    EXPECT_EQ(length, 11);
}

struct ReplaceCheckCase
{
    std::string cell;
    std::int32_t error;
    std::string bytes;
    std::int32_t mode;
};

void PrintTo(const ReplaceCheckCase& c, std::ostream* out)
{
    *out << ::testing::PrintToString(c.cell);
}

class ReplaceCellCheck : public ::testing::TestWithParam<ReplaceCheckCase>
{
};

TEST_P(ReplaceCellCheck, ConvertsOrGivesTheErrorPosition)
{
    const ReplaceCheckCase& c = GetParam();
    std::string bytes;
    std::int32_t length = -5, mode = 0;
    EXPECT_EQ(CheckReplaceText(c.cell, length, &bytes, mode), c.error) << c.cell;
    if (c.error == -1) {
        EXPECT_EQ(bytes, c.bytes) << c.cell;
        EXPECT_EQ(length, static_cast<std::int32_t>(c.bytes.size()));
        EXPECT_EQ(mode, c.mode) << c.cell;
    }
    std::int32_t countLength = 0, countMode = 0;
    EXPECT_EQ(CheckReplaceText(c.cell, countLength, nullptr, countMode), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, ReplaceCellCheck,
    ::testing::Values(ReplaceCheckCase{"", -1, "", 3}, ReplaceCheckCase{"abc", -1, "abc", 3},
                      ReplaceCheckCase{"#x41,66#", -1, "AB", 3}, ReplaceCheckCase{"#65###x", -1, "A#x", 3},
                      ReplaceCheckCase{"#13,10#", -1, "\r\n", 3},
                      ReplaceCheckCase{"#0#", -1, std::string(1, '\0'), 3},
                      ReplaceCheckCase{"#255#", -1, "\xFF", 3}, ReplaceCheckCase{"#61#x", -1, "=x", 3},
                      ReplaceCheckCase{"a##b", -1, "a#b", 3}, ReplaceCheckCase{"#U#abc", -1, "abc", 1},
                      ReplaceCheckCase{"#u#", -1, "", 1}, ReplaceCheckCase{"#D#x#FN#", -1, "x#FN#", 2},
                      ReplaceCheckCase{"#d#y", -1, "y", 2}, ReplaceCheckCase{"#c#", -1, "#C#", 3},
                      ReplaceCheckCase{"#fn#.#fe#@#Fp#", -1, "#FN#.#FE#@#FP#", 3},
                      ReplaceCheckCase{"#C,65#", -1, "#C#A", 3},
                      ReplaceCheckCase{"#C,C,C#", -1, "#C##C##C#", 3}, ReplaceCheckCase{"x#U#", 2, "", 0},
                      // errors
                      ReplaceCheckCase{"#256#", 4, "", 0}, ReplaceCheckCase{"#Uabc", 2, "", 0},
                      ReplaceCheckCase{"#D", 2, "", 0}, ReplaceCheckCase{"#U#a#", 4, "", 0},
                      ReplaceCheckCase{"#", 0, "", 0}, ReplaceCheckCase{"ab#", 2, "", 0},
                      ReplaceCheckCase{"#12", 3, "", 0}, ReplaceCheckCase{"#1x#", 2, "", 0},
                      ReplaceCheckCase{"#xZ#", 2, "", 0}, ReplaceCheckCase{"#x1FF#", 5, "", 0},
                      ReplaceCheckCase{"#Q#", 1, "", 0}, ReplaceCheckCase{"a#U#", 2, "", 0},
                      ReplaceCheckCase{"#CX#", 2, "", 0}, ReplaceCheckCase{"#FX#", 2, "", 0},
                      ReplaceCheckCase{"#FNX#", 3, "", 0}, ReplaceCheckCase{"#F", 2, "", 0},
                      ReplaceCheckCase{"#?#", 1, "", 0}, ReplaceCheckCase{"#*#", 1, "", 0},
                      ReplaceCheckCase{"#65,#", 4, "", 0}));

// ---- Compiled table block ----

Bytes blockBytes(const Lists& lists, std::int32_t expectedResult = -1)
{
    TableBlock block;
    EXPECT_EQ(CheckAndBuildTableBlock(block, lists.flags, lists.finds, lists.replaces), expectedResult);
    Bytes bytes = tableBlockBytes(block);
    EXPECT_TRUE(platform::movableFree(block));
    return bytes;
}

Bytes head(std::uint8_t caseSensitive, std::uint32_t f, std::uint32_t r, std::uint32_t mode)
{
    Bytes b(32, 0);
    b[0] = caseSensitive;
    storeLe32(&b[4], f);
    storeLe32(&b[8], r);
    storeLe32(&b[12], mode);
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes text(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

TEST(TableBlock, SensitiveAndInsensitiveRowsInEachInsertMode)
{
    const Lists lists(
        {{"Y", "AbC", "#U#X#65#"}, {"N", "AB#x41#", "#D#d"}, {"N", "Cat##[Z]", "#x41,66#"}, {"Y", "k", ""}});
    const Bytes expected =
        concat({head(1, 3, 2, 1), text("AbC"), text("XA"), head(0, 7, 1, 2), text("ab#x41#"), text("d"),
                head(0, 8, 2, 3), text("cat##[z]"), text("AB"), head(1, 1, 0, 3), text("k")});
    // The block has the size of the cells as typed: 4 rows x 32 + finds 19 + replaces 20 bytes;
    // the converted texts are shorter, the rest is spare and zero.
    Bytes padded = expected;
    padded.resize(4 * 32 + 19 + 20, 0);
    EXPECT_EQ(blockBytes(lists), padded);
}

TEST(TableBlock, ClassesAndCodesKeepTheirCaseInInsensitiveRows)
{
    const Lists lists({{"N", "X#[A-Z]#Y#?,66#Z*2*W", "Q"}});
    const Bytes bytes = blockBytes(lists);
    const std::optional<TableRow> row = tableRowAt(bytes, 1);
    ASSERT_TRUE(row.has_value());
    EXPECT_FALSE(row->caseSensitive);
    EXPECT_EQ(row->find, "x#[A-Z]#y#?,66#z*2*w");
    EXPECT_EQ(row->replace, "Q");
    EXPECT_EQ(row->insertMode, static_cast<std::uint32_t>(kReplaceMatch));
}

TEST(TableBlock, MarkersAreCopiedAndABlockNeverEndsShortOfItsRows)
{
    // "#C,C,C#" is 7 characters but 9 bytes converted: the block grows to hold them.
    const Lists lists({{"N", "a", "#C,C,C#"}, {"Y", "b", "#fn#"}});
    const Bytes bytes = blockBytes(lists);
    EXPECT_EQ(bytes, concat({head(0, 1, 9, 3), text("a"), text("#C##C##C#"), head(1, 1, 4, 3), text("b"),
                             text("#FN#")}));
    ASSERT_TRUE(tableRowAt(bytes, 2).has_value());
    EXPECT_EQ(tableRowAt(bytes, 2)->replace, "#FN#");
    EXPECT_EQ(tableRowAt(bytes, 2)->headOffset, 32u + 1 + 9);
    EXPECT_FALSE(tableRowAt(bytes, 3).has_value());
    EXPECT_FALSE(tableRowAt(bytes, 0).has_value());
}

TEST(TableBlock, CheckGivesTheFirstBadRowFindBeforeReplace)
{
    EXPECT_TRUE(blockBytes(Lists({{"N", "ok", "#256#"}, {"N", "a*b", ""}}), 0).empty());
    EXPECT_TRUE(blockBytes(Lists({{"N", "ok", ""}, {"N", "a*b", "#256#"}}), 1).empty());
    EXPECT_TRUE(blockBytes(Lists({{"N", "ok", ""}, {"N", "", "x"}}), 1).empty());
    // No rows: no error and no block.
    EXPECT_TRUE(blockBytes(Lists()).empty());
}

TEST(TableBlock, BuildWithoutChecksGivesNoBlockForAnEmptyFind)
{
    const Lists lists({{"Y", "a", "b"}, {"N", "", "c"}});
    TableBlock block = platform::movableAlloc(4);
    platform::movableFree(block);
    BuildTableBlock(block, lists.flags, lists.finds, lists.replaces);
    EXPECT_FALSE(block);
    const Lists empty({{"Y", "", ""}});
    BuildTableBlock(block, empty.flags, empty.finds, empty.replaces);
    EXPECT_FALSE(block);
    const Lists good({{"Y", "a", "b"}});
    BuildTableBlock(block, good.flags, good.finds, good.replaces);
    EXPECT_EQ(tableBlockBytes(block), concat({head(1, 1, 1, 3), text("ab")}));
    platform::movableFree(block);
}

// The three cell lists must have one cell per row each: lists of different lengths are refused by
// every builder and no block is made.
TEST(TableBlock, ListsOfDifferentLengthsAreRefused)
{
    const TableCells two = {"N", "N"};
    const TableCells finds = {"a", "b"};
    const TableCells one = {"x"};
    const struct
    {
        TableCells flags, finds, replaces;
    } cases[] = {{one, finds, finds}, {two, one, finds}, {two, finds, one}, {two, TableCells{}, finds}};
    for (const auto& c : cases) {
        TableBlock block{};
        EXPECT_THROW(CheckAndBuildTableBlock(block, c.flags, c.finds, c.replaces), std::invalid_argument);
        EXPECT_FALSE(block);
        EXPECT_THROW(BuildTableBlock(block, c.flags, c.finds, c.replaces), std::invalid_argument);
        EXPECT_FALSE(block);
        EXPECT_THROW(serializeTable(c.flags, c.finds, c.replaces), std::invalid_argument);
    }
}

TEST(TableBlock, WriteTableRowStepsOverEarlierRows)
{
    TableBlock block = platform::movableAlloc(0);
    ASSERT_TRUE(block);
    EXPECT_EQ(WriteTableRow("Ab", "#D#x", block, false, 0), 1);
    EXPECT_EQ(WriteTableRow("", "ignored", block, true, 1), 1);
    EXPECT_EQ(WriteTableRow("C", "", block, true, 1), 2);
    EXPECT_EQ(tableBlockBytes(block),
              concat({head(0, 2, 1, 2), text("ab"), text("x"), head(1, 1, 0, 3), text("C")}));
    // Rewriting row 1 in place keeps row 2's bytes where they were only when the sizes agree.
    EXPECT_EQ(WriteTableRow("Zz", "#U#y", block, true, 0), 1);
    EXPECT_EQ(tableBlockBytes(block),
              concat({head(1, 2, 1, 1), text("Zz"), text("y"), head(1, 1, 0, 3), text("C")}));
    EXPECT_THROW(WriteTableRow("x", "", block, false, 5), std::out_of_range);
    platform::movableFree(block);
}

TEST(TableBlock, FlagsOtherThanYesTextAreNotCaseSensitive)
{
    SetYesNoTexts("Sensitive", "Insensitive");
    const Bytes bytes = blockBytes(Lists({{"Sensitive", "A", ""}, {"Y", "B", ""}}));
    SetYesNoTexts("Y", "N");
    EXPECT_EQ(bytes, concat({head(1, 1, 0, 3), text("A"), head(0, 1, 0, 3), text("b")}));
}

} // namespace
} // namespace wux::engines
