#include "engines/batch_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "engines/plain_replacer.h"
#include "platform/fault_injection.h"
#include "platform/movable_memory.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "support/file_builders.h"
#include "support/idle_owner.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

using test::createFile;
using test::listNames;
using test::readFileBytes;

using wux::test::IdleOwner;

struct Row
{
    std::string find;
    std::string replace;
    bool caseSensitive = false;
};

// A compiled table block for the duration of a test.
struct Table
{
    TableBlock block;
    std::int32_t rows = 0;
    explicit Table(const std::vector<Row>& list, bool check = true)
    {
        TableCells flags, finds, replaces;
        for (const Row& row : list) {
            flags.push_back(row.caseSensitive ? YesText() : NoText());
            finds.push_back(row.find);
            replaces.push_back(row.replace);
        }
        if (check)
            EXPECT_EQ(CheckAndBuildTableBlock(block, flags, finds, replaces), -1);
        else
            BuildTableBlock(block, flags, finds, replaces);
        rows = static_cast<std::int32_t>(list.size());
    }
    ~Table() { platform::movableFree(block); }
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;
};

struct Outcome
{
    TReplaceResult result = kReplaceFailed;
    std::string bytes;
    std::int32_t count = -1;
};

class BatchEngineTest : public test::TempDriveTest
{
protected:
    Outcome run(const Table& table, const std::string& input, std::size_t blockSize = kPlainBlockSize)
    {
        const std::string file = path("f.txt");
        createFile(file, input);
        TTextReplacer replacer(&owner, kModeBatchTable, table.block, false);
        replacer.setBlockSize(blockSize);
        Outcome outcome;
        outcome.result = replacer.ReplaceTableInFile(file, table.block, table.rows);
        outcome.bytes = readFileBytes(file);
        outcome.count = replacer.matchCount();
        EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"f.txt"}) << "a temporary file was left";
        return outcome;
    }

    platform::ScopedFaultClear faults;
    IdleOwner owner;
};

struct BatchCase
{
    const char* name;
    std::vector<Row> rows;
    std::string input;
    std::string expected;
    std::int32_t count;
};

const std::vector<BatchCase>& batchCases()
{
    static const std::vector<BatchCase> cases = {
        // Winner rules: first to complete, then earliest start, then table order.
        {"first to complete wins", {{"cat", "dog"}, {"category", "X"}}, "category", "dogegory", 1},
        {"first to complete beats an earlier start", {{"abcd", "1"}, {"bc", "2"}}, "abcd", "a2d", 1},
        {"earliest start among complete", {{"bc", "1"}, {"abc", "2"}}, "abc", "2", 1},
        {"table order on equal starts", {{"ab", "1"}, {"ab", "2"}}, "ab ab", "1 1", 2},
        {"table order, case-sensitive row second", {{"ab", "1"}, {"AB", "2", true}}, "AB", "1", 1},
        {"overlapping candidates", {{"aa", "b"}}, "aaaaa", "bba", 2},
        {"overlap restart", {{"aab", "X"}}, "aaab", "aX", 1},
        {"scanning goes on behind a change", {{"a", "aa"}}, "aba", "aabaa", 2},
        // Case.
        {"not case-sensitive", {{"abc", "x"}}, "ABC aBc", "x x", 2},
        {"case-sensitive", {{"abc", "x", true}}, "ABC abc", "ABC x", 1},
        // Every letter of the UTF-8 text in each case form, whatever its byte length: "Été" finds
        // "été", "ÉTÉ"; "ẞ" (3 bytes) folds to "ß" (2); the Kelvin sign (3 bytes) is a form of "k".
        {"letters beyond ASCII",
         {{"\xC3\x89t\xC3\xA9", "x"}},
         "\xC3\xA9t\xC3\xA9|\xC3\x89T\xC3\x89|ete",
         "x|x|ete",
         2},
        {"forms of other byte lengths",
         {{"stra\xC3\x9F" "e", "X"}, {"k", "x"}},
         "STRA\xE1\xBA\x9E" "E|strasse|\xE2\x84\xAA|K",
         "X|strasse|x|x",
         3},
        {"the Kelvin sign finds k", {{"\xE2\x84\xAA", "x"}}, "k K \xE2\x84\xAA", "x x x", 3},
        {"characters never mix", {{"\xCF\x83", "x"}}, "\xCE\xA3\xCF\x82\xCF\xA3", "xx\xCF\xA3", 2},
        {"letters beyond ASCII case-sensitive", {{"\xC3\xA9", "x", true}}, "\xC3\xA9\xC3\x89", "x\xC3\x89", 1},
        {"letters beyond ASCII with codes and a repetition",
         {{"\xC3\xA4#?#*2*\xC3\x9F", "R"}},
         "\xC3\x84-\xE1\xBA\x9E\xC3\x9F\xE1\xBA\x9E!",
         "R!",
         1},
        {"insert before a form of another length", {{"\xC3\x9F", "#U#<"}}, "a\xE1\xBA\x9E", "a<\xE1\xBA\x9E", 1},
        {"codes compare the raw byte", {{"#65#", "Z"}}, "Aa", "Za", 1},
        {"literal folded, code raw", {{"a#66#", "X"}}, "AB Ab ab", "X Ab ab", 1},
        {"hexadecimal code", {{"#x41#", "Z"}, {"#X62#", "Y"}}, "AaBb", "ZaBY", 2},
        // Byte 0 and byte 255 are the ends of the first-byte table.
        {"a row may begin with byte 0",
         {{"#0#ab", "X"}},
         std::string("a\0ab\0a", 6),
         std::string("aX\0a", 4),
         1},
        {"byte 0 beside other first bytes",
         {{"#0#", "0"}, {"#255#", "F"}, {"q", "Q"}},
         std::string("\xFFq\0", 3),
         "FQ0",
         3},
        // Codes and classes.
        {"CR LF pair", {{"#13,10#", "|"}}, "a\r\nb\rc\n", "a|b\rc\n", 1},
        {"any byte", {{"a#?#c", "X"}}, "abc a\nc ac", "X X ac", 2},
        {"digit class", {{"#[0-9]#", "D"}}, "a1b22", "aDbDD", 3},
        {"negated class", {{"#[^0-9]#", "."}}, "a1b", ".1.", 2},
        {"dash at the class end", {{"#[a-]#", "+"}}, "a-b", "++b", 2},
        {"caret alone", {{"#[^]#", "!"}}, "a^b", "a!b", 1},
        {"class is raw", {{"#[a-c]#", "_"}}, "aBc", "_B_", 2},
        {"literal hash and star", {{"a##b", "1"}, {"c**d", "2"}}, "a#b c*d", "1 2", 2},
        {"code group with a class", {{"#[a-z],?,48#", "<>"}}, "xy0 xy1", "<> xy1", 1},
        // Replace cells.
        {"replace cell codes", {{"x", "#x41,66#"}}, "x", "AB", 1},
        {"empty replace deletes", {{"b", ""}}, "abcb", "ac", 2},
        {"insert before", {{"cat", "#U#<"}}, "a cat", "a <cat", 1},
        {"insert after", {{"cat", "#D#>"}}, "a cat cat", "a cat> cat>", 2},
        {"insert before and after", {{"[", "#U#("}, {"]", "#D#)"}}, "[x]", "([x])", 2},
        // Repetitions.
        {"repetition minimum reached", {{"x*3*ab", "R"}}, "xababab", "R", 1},
        {"repetition takes all", {{"x*3*ab", "R"}}, "xabababab", "R", 1},
        {"repetition below minimum", {{"x*3*ab", "R"}}, "xabab", "xabab", 0},
        {"repetition rescans the breaking byte", {{"x*3*ab", "R"}}, "xabababX", "RX", 1},
        {"repetition rescans the unfinished part", {{"x*2*ab", "R"}, {"ac", "C"}}, "xababac", "RC", 2},
        {"repetition ends at the file end", {{"x*3*ab", "R"}}, "xabababa", "Ra", 1},
        {"repetition insert after", {{"x*2*ab", "#D#!"}}, "xababz", "xabab!z", 1},
        {"repetition insert before", {{"x*2*ab", "#U#!"}}, "xababz", "!xababz", 1},
        {"repetition of a class",
         {{"#35#*2*#[0-9]#", "N"}},
         "#1 #12 #123x",
         "#1 N N"
         "x",
         2},
        // Runs.
        {"run", {{"BEGIN#*#END", "X"}}, "xBEGINyyENDzEND", "xXzEND", 1},
        {"empty run", {{"a#*#b", "X"}}, "ab", "X", 1},
        {"run to the file end", {{"REM #*#", "R"}}, "a REM abc;def", "a R", 1},
        {"run first", {{"#*#END", "X"}}, "abcEND def END", "XX", 2},
        {"two runs", {{"a#*#b#*#c", "X"}}, "a1b2b3c4", "X4", 1},
        {"run followed by a code", {{"<#*#>", "T"}}, "<a><bc>", "TT", 2},
        {"run insert before", {{"(#*#)", "#U#f"}}, "(a)(b)", "f(a)f(b)", 2},
        // Barriers.
        {"barrier stops a run", {{"REM #*#", "R"}, {";#B#", ""}}, "REM abc;def", "R;def", 1},
        {"barrier at the file end", {{"REM #*#", "R"}, {";#B#", ""}}, "REM abc;", "R;", 1},
        {"a match that begins at the barrier is dropped",
         {{"REM #*#", "R"}, {";#B#", ""}, {";d", "S"}},
         "REM a;de",
         "R;de",
         1},
        {"a match before the barrier stays", {{"ab", "X"}, {";#B#", ""}}, "ab;ab", "X;X", 2},
        {"attempts across a barrier are abandoned", {{"a#*#z", "X"}, {";#B#", ""}}, "a;z az", "a;z X", 1},
        {"text behind the barrier never matches", {{";#B#x", "Q"}}, "a;xb", "a;xb", 0},
        {"many forks of one run", {{"a#*#b#*#c", "X"}}, "xa" + std::string(400, 'b') + "cy", "xXy", 1},
        // Nothing.
        {"no row matches", {{"zz", "y"}, {"#[0-9]#", "d"}}, "abc", "abc", 0},
    };
    return cases;
}

TEST_F(BatchEngineTest, ExactBytesAndAnyBlockSize)
{
    for (const BatchCase& c : batchCases()) {
        Table table(c.rows);
        for (std::size_t blockSize : {kPlainBlockSize, std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
            SCOPED_TRACE(std::string(c.name) + ", block " + std::to_string(blockSize));
            const Outcome outcome = run(table, c.input, blockSize);
            EXPECT_EQ(outcome.bytes, c.expected);
            EXPECT_EQ(outcome.count, c.count);
            EXPECT_EQ(outcome.result, c.count > 0 ? kReplaceFound : kReplaceNothingFound);
        }
    }
}

TEST_F(BatchEngineTest, RandomTablesGiveTheSameBytesWhateverTheBlockSize)
{
    const std::vector<Row> pool = {
        {"ab", "1"},          {"b#?#a", "2"},  {"a#*#c", "#U#3"}, {"c*2*ab", "4"}, {";#B#", ""},
        {"#[a-b]#c", "#D#5"}, {"ba", "#U#66"}, {"#*#;", "7"},     {"aa", ""},      {"A", "8", true},
    };
    std::mt19937 random(777);
    const std::string alphabet = "abcA;";
    for (int round = 0; round < 40; ++round) {
        std::vector<Row> rows;
        for (const Row& row : pool)
            if (random() % 3 == 0)
                rows.push_back(row);
        if (rows.empty())
            rows.push_back(pool[random() % pool.size()]);
        std::string input;
        for (int i = 0; i < 90; ++i)
            input += alphabet[random() % alphabet.size()];
        Table table(rows);
        SCOPED_TRACE("round " + std::to_string(round) + " input " + input);
        const Outcome whole = run(table, input);
        for (std::size_t blockSize : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{8}}) {
            const Outcome part = run(table, input, blockSize);
            EXPECT_EQ(part.bytes, whole.bytes) << "block " << blockSize;
            EXPECT_EQ(part.count, whole.count) << "block " << blockSize;
        }
    }
}

// Literal rows the plain way: of the matches that end first, the one that starts first, then the upper
// row; the next search begins behind it.
Outcome referenceLiteralTable(const std::vector<Row>& rows, const std::string& input)
{
    struct Compiled
    {
        std::string find;
        bool caseSensitive;
        std::string bytes;
        int mode;
    };
    std::vector<Compiled> compiled;
    for (const Row& row : rows) {
        int mode = 3;
        std::string bytes = row.replace;
        if (bytes.rfind("#U#", 0) == 0 || bytes.rfind("#D#", 0) == 0) {
            mode = bytes[1] == 'U' ? 1 : 2;
            bytes = bytes.substr(3);
        }
        compiled.push_back({row.find, row.caseSensitive, bytes, mode});
    }
    auto same = [](char a, char b, bool caseSensitive) {
        return caseSensitive ? a == b : platform::byteToLower(a) == platform::byteToLower(b);
    };
    Outcome out;
    out.count = 0;
    std::size_t from = 0;
    for (std::size_t end = 0; end < input.size(); ++end) {
        std::size_t bestStart = 0;
        int best = -1;
        for (std::size_t r = 0; r < compiled.size(); ++r) {
            const std::size_t n = compiled[r].find.size();
            if (n == 0 || end + 1 < n || end + 1 - n < from)
                continue;
            const std::size_t start = end + 1 - n;
            bool hit = true;
            for (std::size_t k = 0; k < n && hit; ++k)
                hit = same(input[start + k], compiled[r].find[k], compiled[r].caseSensitive);
            if (hit && (best < 0 || start < bestStart)) {
                best = static_cast<int>(r);
                bestStart = start;
            }
        }
        if (best < 0)
            continue;
        const Compiled& row = compiled[static_cast<std::size_t>(best)];
        const std::string found = input.substr(bestStart, end + 1 - bestStart);
        out.bytes += input.substr(from, bestStart - from);
        out.bytes += row.mode == 1 ? row.bytes + found : row.mode == 2 ? found + row.bytes : row.bytes;
        ++out.count;
        from = end + 1;
    }
    out.bytes += input.substr(from);
    return out;
}

TEST_F(BatchEngineTest, RandomLiteralTablesGiveTheExpectedBytes)
{
    std::mt19937 random(4242);
    const std::string alphabet = "abA";
    auto text = [&](std::size_t length) {
        std::string t;
        for (std::size_t i = 0; i < length; ++i)
            t += alphabet[random() % alphabet.size()];
        return t;
    };
    const char* prefixes[] = {"", "#U#", "#D#"};
    for (int round = 0; round < 40; ++round) {
        std::vector<Row> rows;
        const int count = 1 + static_cast<int>(random() % 4);
        for (int r = 0; r < count; ++r)
            rows.push_back({text(1 + random() % 3), std::string(prefixes[random() % 3]) + std::to_string(r),
                            random() % 2 == 0});
        const std::string input = text(80);
        Table table(rows);
        SCOPED_TRACE("round " + std::to_string(round) + " input " + input);
        const Outcome expected = referenceLiteralTable(rows, input);
        const Outcome whole = run(table, input);
        EXPECT_EQ(whole.bytes, expected.bytes);
        EXPECT_EQ(whole.count, expected.count);
        EXPECT_EQ(run(table, input, 3).bytes, expected.bytes);
        // The text pass replaces every winner, whatever its insert mode.
        std::vector<Row> replacing = rows;
        for (Row& row : replacing)
            row.replace = std::to_string(&row - replacing.data());
        Table plain(replacing);
        TTextReplacer replacer(nullptr, kModeBatchTable, plain.block, false);
        EXPECT_EQ(replacer.ReplaceTableInString(input, plain.block, plain.rows),
                  referenceLiteralTable(replacing, input).bytes);
    }
}

TEST_F(BatchEngineTest, RunAcrossTheBlockBoundary)
{
    Table table(std::vector<Row>{{"BEGIN#*#END", "X"}});
    const std::string head(kPlainBlockSize - 3, 'a');
    const std::string middle(kPlainBlockSize + 100, 'm');
    const Outcome outcome = run(table, head + "BEGIN" + middle + "END" + "tail");
    EXPECT_EQ(outcome.count, 1);
    EXPECT_TRUE(outcome.bytes == head + "Xtail");
}

TEST_F(BatchEngineTest, RunsThatStayOpenOverALargeFileKeepOneAttemptPerElement)
{
    // Every "a" (or "REM ", or start of a repetition) begins an attempt that a run or a long repetition
    // keeps alive to the end of the file; only the earliest of them can ever win, so the others are
    // dropped and the pass stays linear in the file's length.
    const std::size_t n = 100000;
    const std::string as(n, 'a');
    std::string rems;
    while (rems.size() < n)
        rems += "REM ";
    struct Case
    {
        const char* name;
        std::vector<Row> rows;
        std::string input;
        std::string expected;
        std::int32_t count;
    };
    const Case cases[] = {
        {"lazy run that ends", {{"a#*#b", "X"}}, as + "b!", "X!", 1},
        {"lazy run that never ends", {{"a#*#b", "X"}}, as, as, 0},
        {"two runs", {{"a#*#b#*#c", "X"}}, as + "b" + as + "c", "X", 1},
        {"long repetition minimum", {{"*50000*a", "R"}}, as + "y", "Ry", 1},
        {"repetition minimum never reached", {{"x*200000*a", "R"}}, "x" + as, "x" + as, 0},
        {"runs held by a barrier", {{"REM #*#", "R"}, {";#B#", ""}}, rems + ";x", "R;x", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Table table(c.rows);
        const Outcome outcome = run(table, c.input, 0x10000);
        EXPECT_EQ(outcome.count, c.count);
        EXPECT_TRUE(outcome.bytes == c.expected) << outcome.bytes.size();
    }
}

TEST_F(BatchEngineTest, InsertBeforeAndAfterAcrossTheBlockBoundary)
{
    for (std::size_t before : {std::size_t{1}, std::size_t{2}}) {
        const std::string head(kPlainBlockSize - before, 'x');
        const std::string input = head + "cat" + std::string(50, 'y');
        Table beforeRow(std::vector<Row>{{"cat", "#U#<<"}});
        EXPECT_TRUE(run(beforeRow, input).bytes == head + "<<cat" + std::string(50, 'y'));
        Table afterRow(std::vector<Row>{{"cat", "#D#>>"}});
        EXPECT_TRUE(run(afterRow, input).bytes == head + "cat>>" + std::string(50, 'y'));
    }
    // A long found text already written to the temporary file is moved forward in chunks.
    Table run(std::vector<Row>{{"(#*#)", "#U#<ins>"}});
    const std::string inner(3 * kPlainBlockSize + 5, 'i');
    const std::string input = "ab(" + inner + ")cd(x)";
    const Outcome outcome = this->run(run, input);
    EXPECT_EQ(outcome.count, 2);
    EXPECT_TRUE(outcome.bytes == "ab<ins>(" + inner + ")cd<ins>(x)");
    EXPECT_TRUE(this->run(run, input, 7).bytes == outcome.bytes);
}

TEST_F(BatchEngineTest, BarrierAcrossTheBlockBoundary)
{
    Table table(std::vector<Row>{{"REM #*#", "R"}, {";#B#", ""}});
    const std::string head(kPlainBlockSize - 4, 'a');
    const std::string input = head + " REM xyz;tail";
    // The rescan goes back into the previous block.
    for (std::size_t offset : {std::size_t{0}, std::size_t{5}, std::size_t{9}}) {
        const std::string shifted = std::string(offset, 'b') + input;
        const Outcome outcome = run(table, shifted);
        EXPECT_TRUE(outcome.bytes == std::string(offset, 'b') + head + " R;tail") << offset;
    }
}

TEST_F(BatchEngineTest, RowsThatWouldStopAtEveryByteAreIgnored)
{
    // Built without the check: a barrier that no byte leads up to never holds the engine at one byte.
    for (const char* barrier : {"#B#", "*2*#B#", "#*##B#"}) {
        SCOPED_TRACE(barrier);
        Table table(std::vector<Row>{{barrier, ""}, {"ab", "X"}}, false);
        ASSERT_TRUE(table.block);
        const Outcome outcome = run(table, "aab ab");
        EXPECT_EQ(outcome.bytes, "aX X");
    }
    // The table check refuses a find text that begins with the barrier, at the "B".
    std::int32_t length = 0;
    EXPECT_EQ(CheckFindText("#B#", length), 1);
}

TEST_F(BatchEngineTest, MalformedBlockFailsWithoutTouchingTheFile)
{
    Table table(std::vector<Row>{{"a", "b"}, {"c", "d"}});
    createFile(path("m.txt"), "abc");
    TTextReplacer replacer(&owner, kModeBatchTable, table.block, true);
    // More rows asked for than the block holds.
    EXPECT_EQ(replacer.ReplaceTableInFile(path("m.txt"), table.block, 3), kReplaceFailed);
    EXPECT_EQ(replacer.ReplaceTableInFile(path("m.txt"), {}, 1), kReplaceFailed);
    EXPECT_EQ(readFileBytes(path("m.txt")), "abc");
    EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"m.txt"});
    // No rows at all: nothing matches.
    EXPECT_EQ(replacer.ReplaceTableInFile(path("m.txt"), table.block, 0), kReplaceNothingFound);
}

// The temporary file is made at the first change only: a file no row matches is only read (a taken
// temporary name stays untouched); an insert before the first change, found blocks after the start,
// gets the bytes before it exactly.
TEST_F(BatchEngineTest, NoTemporaryFileBeforeTheFirstChange)
{
    createFile(path("f.txt0"), "someone else's");
    Table table(std::vector<Row>{{"cat", "#U#<"}, {"zz", "y"}});
    const std::string input = std::string(50, 'x') + "cat" + std::string(20, 'y');
    createFile(path("f.txt"), input);
    TTextReplacer replacer(&owner, kModeBatchTable, table.block, false);
    replacer.setBlockSize(8);
    std::vector<std::vector<std::string>> seen;
    replacer.setBlockObserver([&](std::int64_t) { seen.push_back(listNames(drive.root())); });
    EXPECT_EQ(replacer.ReplaceTableInFile(path("f.txt"), table.block, table.rows), kReplaceFound);
    ASSERT_GE(seen.size(), 7u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(seen[i], (std::vector<std::string>{"f.txt", "f.txt0"})) << i;
    ASSERT_EQ(seen.back().size(), 3u);
    EXPECT_TRUE(seen.back()[0].starts_with(".f.txt.wux")) << seen.back()[0];
    EXPECT_EQ(std::vector<std::string>(seen.back().begin() + 1, seen.back().end()),
              (std::vector<std::string>{"f.txt", "f.txt0"}));
    EXPECT_EQ(readFileBytes(path("f.txt")), std::string(50, 'x') + "<cat" + std::string(20, 'y'));
    EXPECT_EQ(replacer.sizeAfter(), static_cast<std::int64_t>(input.size() + 1));

    seen.clear();
    EXPECT_EQ(replacer.ReplaceTableInFile(path("f.txt0"), table.block, table.rows), kReplaceNothingFound);
    for (const auto& names : seen)
        EXPECT_EQ(names, (std::vector<std::string>{"f.txt", "f.txt0"}));
    EXPECT_EQ(readFileBytes(path("f.txt0")), "someone else's");
    EXPECT_EQ(listNames(drive.root()), (std::vector<std::string>{"f.txt", "f.txt0"}));
}

TEST_F(BatchEngineTest, WorkSpaceOfTheRowHeads)
{
    Table table(std::vector<Row>{{"x*3*ab", "R"}, {"q", "#U#zz"}});
    run(table, "q");
    const std::vector<std::uint8_t> bytes = tableBlockBytes(table.block);
    // Heads, then the cells' lengths as typed ("#U#zz" compiles to two bytes).
    ASSERT_EQ(bytes.size(), 2 * 32 + 6 + 1 + 1 + 5u);
    const std::uint8_t* first = bytes.data() + kTableRowWorkSpaceOffset;
    EXPECT_EQ(loadLe32(first), 32u);
    EXPECT_EQ(loadLe32(first + 4), 38u);
    EXPECT_EQ(loadLe32(first + 8), 4u);
    EXPECT_EQ(loadLe32(first + 12), 3u);
    const std::uint8_t* second = bytes.data() + 39 + kTableRowWorkSpaceOffset;
    EXPECT_EQ(loadLe32(second), 39u + 32);
    EXPECT_EQ(loadLe32(second + 4), 39u + 33);
    EXPECT_EQ(loadLe32(second + 8), 0u);
    EXPECT_EQ(loadLe32(second + 12), 0u);
    // The builder's fields are untouched.
    EXPECT_EQ(loadLe32(bytes.data() + 39 + kTableRowInsertModeOffset), 1u);
    EXPECT_EQ(loadLe32(bytes.data() + 39 + kTableRowReplaceLengthOffset), 2u);
}

TEST_F(BatchEngineTest, OneReplacerOverManyFilesAndTables)
{
    // A replacer keeps its compiled table from file to file; a block that holds other bytes, or a
    // different row count, is compiled anew.
    Table first(std::vector<Row>{{"a", "1"}, {"b", "2"}});
    Table second(std::vector<Row>{{"a", "X", true}});
    TTextReplacer replacer(&owner, kModeBatchTable, first.block, false);
    const auto apply = [&](const Table& table, std::int32_t rows, const std::string& name) {
        createFile(path(name), "abcAB");
        const TReplaceResult result = replacer.ReplaceTableInFile(path(name), table.block, rows);
        return std::to_string(result) + " " + std::to_string(replacer.matchCount()) + " " +
               readFileBytes(path(name));
    };
    EXPECT_EQ(apply(first, 2, "1.txt"), "2 4 12c12");
    EXPECT_EQ(apply(first, 2, "2.txt"), "2 4 12c12");
    EXPECT_EQ(apply(second, 1, "3.txt"), "2 1 XbcAB");
    EXPECT_EQ(apply(first, 2, "4.txt"), "2 4 12c12");
    EXPECT_EQ(apply(first, 1, "5.txt"), "2 2 1bc1B");
    // The same block changed in place (as a block freed and made again may come back under the same
    // handle): its new bytes count.
    {
        platform::MovableLock lock(first.block);
        lock.as<std::uint8_t>()[kTableRowHeadSize + 1] = '9'; // the replace text of the first row
    }
    EXPECT_EQ(apply(first, 2, "6.txt"), "2 4 92c92");
    // The work space equals what a replacer of its own writes.
    Table fresh(std::vector<Row>{{"a", "9"}, {"b", "2"}});
    createFile(path("7.txt"), "ab");
    TTextReplacer own(&owner, kModeBatchTable, fresh.block, false);
    EXPECT_EQ(own.ReplaceTableInFile(path("7.txt"), fresh.block, fresh.rows), kReplaceFound);
    EXPECT_EQ(tableBlockBytes(first.block), tableBlockBytes(fresh.block));
    EXPECT_EQ(listNames(drive.root()),
              (std::vector<std::string>{"1.txt", "2.txt", "3.txt", "4.txt", "5.txt", "6.txt", "7.txt"}));
}

TEST_F(BatchEngineTest, MissingUnreadableAndStopped)
{
    Table table(std::vector<Row>{{"a", "b"}});
    TTextReplacer replacer(&owner, kModeBatchTable, table.block, true);
    EXPECT_EQ(replacer.ReplaceTableInFile(path("none.txt"), table.block, 1), kReplaceFileMissing);
    createFile(path("held.txt"), "aaa");
    platform::injectFault(path("held.txt"), platform::kErrorSharingViolation, platform::kFaultOpen);
    EXPECT_EQ(replacer.ReplaceTableInFile(path("held.txt"), table.block, 1), kReplaceFailed);
    platform::clearFaults();
    platform::injectFault(path("held.txt"), platform::kErrorAccessDenied, platform::kFaultRename);
    EXPECT_EQ(replacer.ReplaceTableInFile(path("held.txt"), table.block, 1), kReplaceFailed);
    platform::clearFaults();
    EXPECT_EQ(readFileBytes(path("held.txt")), "aaa");
    EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"held.txt"});

    const std::string input(4000, 'a');
    createFile(path("s.txt"), input);
    IdleOwner stopper;
    TTextReplacer stopped(&stopper, kModeBatchTable, table.block, true);
    stopped.setBlockSize(1000);
    int blocks = 0;
    stopped.setBlockObserver([&](std::int64_t) {
        if (++blocks == 2)
            stopper.Terminate();
    });
    EXPECT_EQ(stopped.ReplaceTableInFile(path("s.txt"), table.block, 1), kReplaceFailed);
    EXPECT_EQ(blocks, 2);
    EXPECT_TRUE(readFileBytes(path("s.txt")) == input);
    EXPECT_EQ(listNames(drive.root()), (std::vector<std::string>{"held.txt", "s.txt"}));
}

// The last byte written as a hexadecimal code, in either letter case, is a byte like any other.
TEST_F(BatchEngineTest, HexadecimalCodeOfTheLastByte)
{
    for (const char* find : {"#xFF#", "#xff#", "#XfF#"}) {
        SCOPED_TRACE(find);
        Table table(std::vector<Row>{{find, "F"}});
        const Outcome outcome = run(table, "a\xFF" "b\xFE");
        EXPECT_EQ(outcome.bytes, "aFb\xFE");
        EXPECT_EQ(outcome.count, 1);
        EXPECT_EQ(outcome.result, kReplaceFound);
    }
}

// ---- Texts ----

struct TextCase
{
    const char* name;
    std::vector<Row> rows;
    std::string input;
    std::string expected;
    std::int32_t count;
};

TEST(BatchTextTest, ReplaceTableInString)
{
    const TextCase cases[] = {
        {"first to complete wins", {{"cat", "dog"}, {"category", "X"}}, "category", "dogegory", 1},
        {"earliest start", {{"bc", "1"}, {"abc", "2"}}, "xabc", "x2", 1},
        {"table order", {{"ab", "1"}, {"ab", "2"}}, "ab", "1", 1},
        {"not case-sensitive", {{"abc", "x"}}, "ABC aBc", "x x", 2},
        {"case-sensitive", {{"abc", "x", true}}, "ABC abc", "ABC x", 1},
        {"codes are plain characters",
         {{"#FN#", "name", true}, {"#C#", "7", true}},
         "a#FN#b#C#",
         "anameb7",
         2},
        {"insert modes replace", {{"cat", "#U#<"}}, "cat", "<", 1},
        // The replace cell is compiled: "##" stands for one "#".
        {"escape of hashes", {{"#", "########", true}}, "a#b", "a####b", 1},
        {"overlapping", {{"aa", "b"}}, "aaa", "ba", 1},
        {"empty text", {{"a", "b"}}, "", "", 0},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        Table table(c.rows, false);
        TTextReplacer replacer(nullptr, kModeBatchTable, table.block, false);
        EXPECT_EQ(replacer.ReplaceTableInString(c.input, table.block, table.rows), c.expected);
        EXPECT_EQ(replacer.matchCount(), c.count);
    }
}

TEST(BatchTextTest, LongTextGoesThroughTheOutputBuffer)
{
    Table table(std::vector<Row>{{"ab", "xyz"}}, false);
    std::string input, expected;
    for (int i = 0; i < 200000; ++i) {
        input += "ab-";
        expected += "xyz-";
    }
    TTextReplacer replacer(nullptr, kModeBatchTable, table.block, false);
    EXPECT_TRUE(replacer.ReplaceTableInString(input, table.block, table.rows) == expected);
    EXPECT_EQ(replacer.matchCount(), 200000);
}

} // namespace
} // namespace wux::engines
