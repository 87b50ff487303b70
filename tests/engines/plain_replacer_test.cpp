#include "engines/plain_replacer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/movable_memory.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "support/deep_tree.h"
#include "support/file_builders.h"
#include "support/idle_owner.h"
#include "support/other_user.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

using test::createFile;
using test::exists;
using test::listNames;
using test::readFileBytes;

using wux::test::IdleOwner;

struct Search
{
    std::int32_t mode = kModeReplace;
    std::string find;
    std::string replace;
    bool caseSensitive = false;
    bool wholeWord = false;
    std::int32_t firstPart = 0;
};

struct Outcome
{
    TReplaceResult result = kReplaceFailed;
    std::string bytes;
    std::int32_t count = -1;
    std::int64_t size = -1;
};

// A search block for the duration of a test.
struct Block
{
    ReplacerStructure handle;
    Block(std::string_view find, std::string_view replace, std::int32_t mode, bool cs = false,
          bool ww = false)
        : handle(BuildReplacerStructure(find, replace, cs, ww, mode))
    {
    }
    ~Block() { platform::movableFree(handle); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
};

class PlainReplacerTest : public test::TempDriveTest
{
protected:
    // Runs one search over a file holding input, with the given block size, and reads the file back.
    Outcome run(const Search& search, const std::string& input, std::size_t blockSize = kPlainBlockSize)
    {
        const std::string file = path("f.txt");
        createFile(file, input);
        const Block block(search.find, search.replace, search.mode, search.caseSensitive, search.wholeWord);
        TTextReplacer replacer(&owner, search.mode, block.handle, false);
        replacer.setSizeOfFirstPart(search.firstPart);
        replacer.setBlockSize(blockSize);
        Outcome outcome;
        outcome.result = replacer.processFile(file);
        outcome.bytes = readFileBytes(file);
        outcome.count = replacer.matchCount();
        outcome.size = replacer.fileSize();
        EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"f.txt"}) << "a temporary file was left";
        return outcome;
    }

    // The result of one "cat" -> "dog" run over a file as it is.
    TReplaceResult process(std::int32_t mode, const std::string& file, bool backup = true)
    {
        const Block block("cat", "dog", mode);
        TTextReplacer replacer(&owner, mode, block.handle, backup);
        replacer.setSizeOfFirstPart(1);
        return replacer.processFile(file);
    }

    platform::ScopedFaultClear faults;
    IdleOwner owner;
};

struct PlainCase
{
    const char* name;
    Search search;
    std::string input;
    std::string expected;
    TReplaceResult result;
    std::int32_t count;
};

Search S(std::int32_t mode, std::string find, std::string replace, bool cs = false, bool ww = false,
         std::int32_t firstPart = 0)
{
    return Search{mode, std::move(find), std::move(replace), cs, ww, firstPart};
}

const std::vector<PlainCase>& plainCases()
{
    static const std::vector<PlainCase> cases = {
        // Replace: overlapping candidates, first match drops the attempts that began inside it.
        {"aa in aaaa", S(1, "aa", "b"), "aaaa", "bb", kReplaceFound, 2},
        {"aa in aaa", S(1, "aa", "b"), "aaa", "ba", kReplaceFound, 1},
        {"aab in aaab", S(1, "aab", "X"), "aaab", "aX", kReplaceFound, 1},
        {"abab in ababab", S(1, "abab", "X"), "abababab", "XX", kReplaceFound, 2},
        {"not case-sensitive", S(1, "abc", "x"), "ABC aBc abc", "x x x", kReplaceFound, 3},
        {"case-sensitive", S(1, "abc", "x", true), "ABC aBc abc", "ABC aBc x", kReplaceFound, 1},
        {"longer replacement at the end", S(1, "z", "<zz>"), "azbz", "a<zz>b<zz>", kReplaceFound, 2},
        {"empty replacement", S(1, "ab", ""), "xaby", "xy", kReplaceFound, 1},
        {"no match", S(1, "q", "x"), "abc", "abc", kReplaceNothingFound, 0},
        {"empty file", S(1, "q", "x"), "", "", kReplaceNothingFound, 0},
        // Ignoring case, every letter of the UTF-8 text matches in each of its case forms, whatever their
        // byte lengths; the bytes around a match stay as they are.
        {"letters beyond ASCII", S(1, "caf\xC3\xA9", "X"), "CAF\xC3\xA9 caf\xC3\x89 cafe", "X X cafe",
         kReplaceFound, 2},
        {"\xC3\x89t\xC3\xA9 in every case", S(1, "\xC3\x89t\xC3\xA9", "X"),
         "\xC3\xA9t\xC3\xA9|\xC3\x89T\xC3\x89|\xC3\x89t\xC3\xA9|ete", "X|X|X|ete", kReplaceFound, 3},
        // "ẞ" (3 bytes) folds to "ß" (2 bytes); "ss" is another text.
        {"forms of other byte lengths", S(1, "stra\xC3\x9F" "e", "X"),
         "STRA\xE1\xBA\x9E" "E strasse Stra\xC3\x9F" "e", "X strasse X", kReplaceFound, 2},
        // The Kelvin sign (3 bytes) is a case form of "k", and "k" of it.
        {"k and the Kelvin sign", S(1, "k", "x"), "k K \xE2\x84\xAA", "x x x", kReplaceFound, 3},
        {"the Kelvin sign and k", S(1, "\xE2\x84\xAA", "x"), "k K \xE2\x84\xAA", "x x x", kReplaceFound, 3},
        // Each character whole: "σ" (CF 83) and "Σ" (CE A3) never mix into "ϣ" (CF A3); final "ς" folds
        // to "σ".
        {"characters never mix", S(1, "\xCF\x83", "x"), "\xCE\xA3 \xCF\x83 \xCF\x82 \xCF\xA3",
         "x x x \xCF\xA3", kReplaceFound, 3},
        // Simple case folding keeps dotless "ı" apart from "I" and "i".
        {"dotless i", S(2, "\xC4\xB1", ""), "\xC4\xB1 I i", " I i", kReplaceFound, 1},
        {"case-sensitive beyond ASCII", S(1, "\xC3\xA9", "x", true), "\xC3\xA9\xC3\x89", "x\xC3\x89",
         kReplaceFound, 1},
        {"whole words beyond ASCII", S(1, "\xC3\xA4rger", "X", false, true),
         "\xC3\x84RGER \xC3\xA4rgerlich _\xC3\x84rger \xC3\x84rger.", "X \xC3\xA4rgerlich _\xC3\x84rger X.",
         kReplaceFound, 2},
        {"insert after a form of another length", S(8, "\xC3\x9F", "!"), "\xE1\xBA\x9E\xC3\x9F",
         "\xE1\xBA\x9E!\xC3\x9F!", kReplaceFound, 2},
        {"insert before a form of another length", S(16, "k", "<", false, true), "a \xE2\x84\xAA.k",
         "a <\xE2\x84\xAA.<k", kReplaceFound, 2},
        {"between forms of other lengths", S(32, "\xC3\xA4\xC3\x9F", "X", false, false, 2),
         "\xC3\x84..\xE1\xBA\x9E|", "\xC3\x84X\xE1\xBA\x9E|", kReplaceFound, 1},
        {"count forms of other lengths", S(128, "\xCE\xA9", ""), "\xCE\xA9\xCF\x89\xE2\x84\xA6",
         "\xCE\xA9\xCF\x89\xE2\x84\xA6", kReplaceFound, 3},
        // Whole word.
        {"word before a dot", S(1, "cat", "dog", false, true), "a cat.", "a dog.", kReplaceFound, 1},
        {"word at the very end", S(1, "cat", "dog", false, true), "the cat", "the dog", kReplaceFound, 1},
        {"word at the very start", S(1, "cat", "dog", false, true), "cat", "dog", kReplaceFound, 1},
        {"not inside words", S(1, "cat", "dog", false, true), "cats _cat\tcat 1cat", "cats _cat\tcat 1cat",
         kReplaceNothingFound, 0},
        {"delimiter begins the next word", S(1, "cat", "dog", false, true), "cat,cat;CAT", "dog,dog;dog",
         kReplaceFound, 3},
        {"every delimiter ends a word", S(1, "a", "b", false, true), "a!a\"a#a$a%a&a'a(a)a*a+a,a-a.a/a",
         "b!b\"b#b$b%b&b'b(b)b*b+b,b-b.b/b", kReplaceFound, 16},
        {"bytes above 0x7F are word characters", S(1, "a", "b", false, true),
         "\xC3"
         "a a\xC3",
         "\xC3"
         "a a\xC3",
         kReplaceNothingFound, 0},
        // Delete.
        {"delete", S(2, "b", ""), "abcabc", "acac", kReplaceFound, 2},
        {"delete whole words", S(2, "an", "", false, true), "an ant, an", " ant, ", kReplaceFound, 2},
        // Insert after.
        {"insert after a whole word", S(8, "cat", "X", false, true), "cat dog", "catX dog", kReplaceFound, 1},
        {"insert after", S(8, "cat", "X"), "catcat", "catXcatX", kReplaceFound, 2},
        {"insert after keeps the found case", S(8, "ab", "-"), "AB ab", "AB- ab-", kReplaceFound, 2},
        // Insert before.
        {"insert before", S(16, "cat", "X"), "cat", "Xcat", kReplaceFound, 1},
        {"insert before keeps the found case", S(16, "cat", "X"), "a CaT b", "a XCaT b", kReplaceFound, 1},
        {"insert before whole words", S(16, "cat", "X", false, true), "cat cats cat.", "Xcat cats Xcat.",
         kReplaceFound, 2},
        {"insert before overlapping", S(16, "aa", "-"), "aaaaa", "-aa-aaa", kReplaceFound, 2},
        // Insert between.
        {"between with text inside", S(32, "(b)(/b)", "X", false, false, 3), "(b)old(/b)", "(b)X(/b)",
         kReplaceFound, 1},
        {"between adjacent parts", S(32, "(b)(/b)", "X", false, false, 3), "(b)(/b)", "(b)X(/b)",
         kReplaceFound, 1},
        {"between without an ending", S(32, "(b)(/b)", "X", false, false, 3), "a(b)old", "a(b)old",
         kReplaceNothingFound, 0},
        {"between twice", S(32, "<>", "-", false, false, 1), "x<a>y<>z<b", "x<->y<->z<b", kReplaceFound, 2},
        {"between keeps the found case", S(32, "ab", "-", false, false, 1), "A..B", "A-B", kReplaceFound, 1},
        {"between drops a second first part", S(32, "[]", "X", false, false, 1), "[a[b]", "[X]",
         kReplaceFound, 1},
        // Head and foot.
        {"insert at head", S(4, "Head:", ""), "body", "Head:body", kReplaceFound, 1},
        {"insert at head of an empty file", S(4, "Head", ""), "", "Head", kReplaceFound, 1},
        {"insert at foot", S(64, "-Foot", ""), "body", "body-Foot", kReplaceFound, 1},
        {"head text keeps its case", S(4, "AbC", "", false, true), "x", "AbCx", kReplaceFound, 1},
        // Just find: counts, the file is never changed.
        {"count", S(128, "aa", ""), "aaaa aaa", "aaaa aaa", kReplaceFound, 3},
        {"count whole words", S(128, "aa", "", false, true), "aa aaa aa.", "aa aaa aa.", kReplaceFound, 2},
        {"count nothing", S(128, "zz", ""), "aaaa", "aaaa", kReplaceNothingFound, 0},
    };
    return cases;
}

TEST_F(PlainReplacerTest, ExactBytesForEveryModeAndAnyBlockSize)
{
    for (const PlainCase& c : plainCases()) {
        for (std::size_t blockSize : {kPlainBlockSize, std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
            SCOPED_TRACE(std::string(c.name) + ", block " + std::to_string(blockSize));
            const Outcome outcome = run(c.search, c.input, blockSize);
            EXPECT_EQ(outcome.result, c.result);
            EXPECT_EQ(outcome.bytes, c.expected);
            EXPECT_EQ(outcome.count, c.count);
            EXPECT_EQ(outcome.size, static_cast<std::int64_t>(c.input.size()));
        }
    }
}

// The number of bytes of input from at on that match find character by character (ignoring case by
// Unicode simple case folding unless case-sensitive), or none.
std::optional<std::size_t> matchLength(const Search& search, const std::string& input, std::size_t at)
{
    std::size_t k = 0;
    std::size_t i = at;
    while (k < search.find.size()) {
        if (i >= input.size())
            return std::nullopt;
        if (search.caseSensitive) {
            if (input[i] != search.find[k])
                return std::nullopt;
            ++i;
            ++k;
            continue;
        }
        const platform::Utf8Char want = platform::decodeUtf8(search.find, k);
        const platform::Utf8Char have = platform::decodeUtf8(input, i);
        if (!want.valid || !have.valid ||
            platform::foldCodePoint(want.codePoint) != platform::foldCodePoint(have.codePoint))
            return std::nullopt;
        k += want.length;
        i += have.length;
    }
    return i - at;
}

// What a search must give, found the plain way: the leftmost match of the find text (ignoring case
// unless case-sensitive; with whole words, between delimiters or the file's ends, bytes above 0x7F being
// word characters), the next search beginning behind it. Modes 1, 2, 8, 16 and 128.
Outcome referenceSearch(const Search& search, const std::string& input)
{
    auto delimiter = [](char c) { return isWordDelimiter(static_cast<std::uint8_t>(c)); };
    const std::string& find = search.find;
    Outcome out;
    out.count = 0;
    std::size_t at = 0;
    std::size_t copied = 0;
    while (!find.empty() && at < input.size()) {
        const std::optional<std::size_t> length = matchLength(search, input, at);
        bool hit = length.has_value();
        const std::size_t n = length.value_or(0);
        if (hit && search.wholeWord)
            hit =
                (at == 0 || delimiter(input[at - 1])) && (at + n == input.size() || delimiter(input[at + n]));
        if (!hit) {
            ++at;
            continue;
        }
        ++out.count;
        const std::string found = input.substr(at, n);
        out.bytes += input.substr(copied, at - copied);
        switch (search.mode) {
        case kModeDelete:
            break;
        case kModeInsertAfter:
            out.bytes += found + search.replace;
            break;
        case kModeInsertBefore:
            out.bytes += search.replace + found;
            break;
        case kModeJustFind:
            out.bytes += found;
            break;
        default:
            out.bytes += search.replace;
            break;
        }
        at += n;
        copied = at;
    }
    out.bytes += input.substr(copied);
    out.result = out.count > 0 ? kReplaceFound : kReplaceNothingFound;
    return out;
}

// Random texts of ASCII and two-byte UTF-8 letters, underscores and delimiters: every block size gives
// the bytes of the whole-file run, and that equals the plain search (insert between: the same bytes
// whatever the block size).
TEST_F(PlainReplacerTest, RandomTextsGiveTheExpectedBytesWhateverTheBlockSize)
{
    for (const auto& [seed, tokens] :
         {std::pair<unsigned, std::vector<std::string>>{12345, {"a", "A", "b", " ", "."}},
          {777, {"a", "A", "\xC3\xA4", "\xC3\x84", " ", ".", "_", "b"}},
          // Case forms of other byte lengths: "k", "K", the Kelvin sign; "s", "ſ"; "ß", "ẞ".
          {4242,
           {"k", "K", "\xE2\x84\xAA", "s", "\xC5\xBF", "\xC3\x9F", "\xE1\xBA\x9E", " ", "_"}}}) {
        std::mt19937 random(seed);
        auto text = [&](std::size_t count) {
            std::string s;
            for (std::size_t i = 0; i < count; ++i)
                s += tokens[random() % tokens.size()];
            return s;
        };
        for (int round = 0; round < 40; ++round) {
            const std::string input = text(100);
            std::string find = text(1 + random() % 3);
            const std::int32_t modes[] = {1, 2, 8, 16, 32, 128};
            const std::int32_t mode = modes[random() % 6];
            if (mode == kModeInsertBetween && find.size() < 2)
                find += "b";
            const Search search = S(mode, find, "<R>", random() % 2 == 0, random() % 2 == 0, 1);
            SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round) + " find '" +
                         find + "' mode " + std::to_string(mode) + " in '" + input + "'");
            const Outcome whole = run(search, input);
            for (std::size_t blockSize : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}}) {
                const Outcome part = run(search, input, blockSize);
                EXPECT_EQ(part.bytes, whole.bytes) << "block " << blockSize;
                EXPECT_EQ(part.count, whole.count) << "block " << blockSize;
            }
            if (mode != kModeInsertBetween) {
                const Outcome expected = referenceSearch(search, input);
                EXPECT_EQ(whole.bytes, expected.bytes);
                EXPECT_EQ(whole.count, expected.count);
                EXPECT_EQ(whole.result, expected.result);
            }
        }
    }
}

// A file larger than one read block with the match placed across the 0x40000 boundary.
TEST_F(PlainReplacerTest, MatchesAcrossTheBlockBoundary)
{
    const std::pair<std::int32_t, std::string> modes[] = {
        {1, "<R>"}, {2, ""}, {8, "NEEDLE<R>"}, {16, "<R>NEEDLE"}, {128, "NEEDLE"}}; // what "Needle" becomes
    for (const auto& [mode, middle] : modes)
        for (std::size_t before : {std::size_t{1}, std::size_t{3}, std::size_t{5}})
            for (bool wholeWord : {false, true}) {
                SCOPED_TRACE("mode " + std::to_string(mode) + ", " + std::to_string(before) +
                             " bytes before the boundary, whole word " + std::to_string(wholeWord));
                const std::string head(kPlainBlockSize - before - 1, 'x');
                const std::string tail(300, 'y');
                const Outcome outcome = run(S(mode, "Needle", mode == 2 ? "" : "<R>", false, wholeWord),
                                            head + " NEEDLE " + tail);
                EXPECT_EQ(outcome.result, kReplaceFound);
                EXPECT_EQ(outcome.count, 1);
                EXPECT_TRUE(outcome.bytes == head + " " + middle + " " + tail)
                    << "size " << outcome.bytes.size();
            }
}

// Large files: insert between whose ending lies three written blocks after its first part (what was
// written between is cut back out), many matches, a shorter output (the file is cut at its end), and
// head and foot on several blocks.
TEST_F(PlainReplacerTest, LargeFiles)
{
    const std::string middle(3 * kPlainBlockSize, 'm');
    const Outcome between = run(S(32, "<b></b>", "X", true, false, 3), "head<b>" + middle + "</b>tail");
    EXPECT_EQ(between.result, kReplaceFound);
    EXPECT_EQ(between.bytes, "head<b>X</b>tail");

    std::string input;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        input += "ab cd ";
        expected += "xyz cd ";
    }
    const Outcome outcome = run(S(1, "AB", "xyz", false, true), input);
    EXPECT_EQ(outcome.count, 100000);
    EXPECT_TRUE(outcome.bytes == expected);
    EXPECT_EQ(run(S(2, "cd ", ""), input).bytes.size(), input.size() / 2);

    const std::string body(2 * kPlainBlockSize + 17, 'b');
    EXPECT_TRUE(run(S(4, "H", ""), body).bytes == "H" + body);
    EXPECT_TRUE(run(S(64, "F", ""), body).bytes == body + "F");
}

TEST_F(PlainReplacerTest, MissingFileFolderWrongModeAndNoBlock)
{
    {
        const Block block("a", "b", kModeReplace);
        TTextReplacer replacer(&owner, kModeReplace, block.handle, true);
        EXPECT_EQ(replacer.ReplaceInFile(path("none.txt")), kReplaceFileMissing);
        EXPECT_EQ(replacer.FindInFile(path("none.txt")), kReplaceFileMissing);
        test::makeFolder(path("dir"));
        EXPECT_EQ(replacer.ReplaceInFile(path("dir")), kReplaceFailed);
        EXPECT_EQ(replacer.FindInFile(path("dir")), kReplaceFailed);
        // An operation that does not belong to the mode changes nothing.
        createFile(path("a.txt"), "aaa");
        EXPECT_EQ(replacer.InsertBeforeBetween(path("a.txt")), kReplaceFailed);
        EXPECT_EQ(replacer.InsertHeadFoot(path("a.txt")), kReplaceFailed);
        EXPECT_EQ(readFileBytes(path("a.txt")), "aaa");
        EXPECT_EQ(listNames(drive.root()), (std::vector<std::string>{"a.txt", "dir"}));
    }
    const Block headBlock("h", "", kModeInsertHead);
    TTextReplacer head(&owner, kModeInsertHead, headBlock.handle, false);
    EXPECT_EQ(head.InsertHeadFoot(path("none.txt")), kReplaceFileMissing);
    EXPECT_FALSE(exists(path("none.txt0")));
    TTextReplacer noBlock(&owner, kModeReplace, {}, false);
    EXPECT_EQ(noBlock.ReplaceInFile(path("a.txt")), kReplaceFailed);
    TTextReplacer noHeadBlock(&owner, kModeInsertHead, {}, false);
    EXPECT_EQ(noHeadBlock.InsertHeadFoot(path("a.txt")), kReplaceFailed);
    EXPECT_EQ(readFileBytes(path("a.txt")), "aaa");
}

// A file that cannot be opened, or whose reading fails midway, is left as it was with nothing beside it;
// a temporary name taken meanwhile is never written.
TEST_F(PlainReplacerTest, FailedReadsKeepTheFileAndTakenTemporaryNamesStay)
{
    createFile(path("held.txt"), "a cat");
    platform::injectFault(path("held.txt"), platform::kErrorSharingViolation, platform::kFaultOpen);
    for (std::int32_t mode : {1, 4, 16, 128})
        EXPECT_EQ(process(mode, path("held.txt")), kReplaceFailed) << mode;
    platform::clearFaults();
    EXPECT_EQ(readFileBytes(path("held.txt")), "a cat");
    EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"held.txt"});
    std::remove(posix("held.txt").c_str());

    const std::string input(3000, 'a');
    createFile(path("r.txt"), input);
    platform::injectFault(path("r.txt"), platform::kErrorReadFault, platform::kFaultRead);
    {
        const Block block("a", "b", kModeReplace);
        TTextReplacer replacer(&owner, kModeReplace, block.handle, true);
        EXPECT_EQ(replacer.ReplaceInFile(path("r.txt")), kReplaceFailed);
    }
    platform::clearFaults();
    EXPECT_TRUE(readFileBytes(path("r.txt")) == input);
    EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"r.txt"});

    createFile(path("t.txt"), "a cat");
    createFile(path("t.txt0"), "someone else's");
    EXPECT_EQ(process(kModeReplace, path("t.txt"), false), kReplaceFound);
    EXPECT_EQ(readFileBytes(path("t.txt")), "a dog");
    EXPECT_EQ(readFileBytes(path("t.txt0")), "someone else's");
    EXPECT_EQ(listNames(drive.root()), (std::vector<std::string>{"r.txt", "t.txt", "t.txt0"}));
}

// The temporary file is made at the first match only: a file without one is only read (a taken
// temporary name stays untouched), and the blocks before the first match are not written twice; what
// the file held before the match is in the result byte for byte. The size after the pass is known.
TEST_F(PlainReplacerTest, NoTemporaryFileBeforeTheFirstMatch)
{
    createFile(path("t.txt0"), "someone else's");
    for (std::int32_t mode : {kModeReplace, kModeInsertBefore, kModeInsertBetween}) {
        SCOPED_TRACE(mode);
        const std::string input = std::string(50, 'x') + "cat" + std::string(20, 'y');
        createFile(path("t.txt"), input);
        const Block block("cat", "dog", mode);
        TTextReplacer replacer(&owner, mode, block.handle, false);
        replacer.setSizeOfFirstPart(1);
        replacer.setBlockSize(8);
        std::vector<std::vector<std::string>> seen;
        replacer.setBlockObserver([&](std::int64_t) { seen.push_back(listNames(drive.root())); });
        EXPECT_EQ(replacer.processFile(path("t.txt")), kReplaceFound);
        ASSERT_EQ(seen.size(), 10u);
        for (std::size_t i = 0; i < 6; ++i) // the blocks before the match
            EXPECT_EQ(seen[i], (std::vector<std::string>{"t.txt", "t.txt0"})) << i;
        ASSERT_EQ(seen[6].size(), 3u);
        EXPECT_TRUE(seen[6][0].starts_with(".t.txt.wux")) << seen[6][0];
        EXPECT_EQ(std::vector<std::string>(seen[6].begin() + 1, seen[6].end()),
                  (std::vector<std::string>{"t.txt", "t.txt0"}));
        const std::string expected = mode == kModeReplace       ? std::string(50, 'x') + "dog" + std::string(20, 'y')
                                     : mode == kModeInsertBefore ? std::string(50, 'x') + "dogcat" + std::string(20, 'y')
                                                                 : std::string(50, 'x') + "cdogat" + std::string(20, 'y');
        EXPECT_EQ(readFileBytes(path("t.txt")), expected);
        EXPECT_EQ(replacer.sizeAfter(), static_cast<std::int64_t>(expected.size()));

        seen.clear();
        EXPECT_EQ(replacer.processFile(path("t.txt0")), kReplaceNothingFound);
        for (const auto& names : seen)
            EXPECT_EQ(names, (std::vector<std::string>{"t.txt", "t.txt0"}));
        EXPECT_EQ(replacer.sizeAfter(), 14);
        EXPECT_EQ(readFileBytes(path("t.txt0")), "someone else's");
        EXPECT_EQ(listNames(drive.root()), (std::vector<std::string>{"t.txt", "t.txt0"}));
    }
}

// A stop request mid-file, or before the file (also an empty one in the head and foot modes, which
// have no block to copy), fails the file: nothing inserted, no backup, the times kept.
TEST_F(PlainReplacerTest, StopRequests)
{
    const platform::FileTime written = 132500000000000000ull;
    const std::string input(5000, 'a');
    for (std::int32_t mode : {1, 4, 16, 128}) {
        SCOPED_TRACE(mode);
        createFile(path("s.txt"), input, written);
        IdleOwner stopper;
        const Block block("a", "b", mode);
        TTextReplacer replacer(&stopper, mode, block.handle, true);
        replacer.setBlockSize(1000);
        std::int64_t blocksSeen = 0;
        replacer.setBlockObserver([&](std::int64_t done) {
            ++blocksSeen;
            if (done >= 2000)
                stopper.Terminate();
        });
        EXPECT_EQ(replacer.processFile(path("s.txt")), kReplaceFailed);
        EXPECT_EQ(blocksSeen, 2);
        EXPECT_TRUE(readFileBytes(path("s.txt")) == input);
        EXPECT_EQ(test::lastWriteOf(path("s.txt")), written);
        EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"s.txt"});
    }
    owner.Terminate();
    for (std::int32_t mode : {1, 2, 4, 8, 16, 32, 64, 128}) {
        SCOPED_TRACE(mode);
        createFile(path("e.txt"), "");
        createFile(path("s.txt"), "a cat");
        const TReplaceResult empty = process(mode, path("e.txt"));
        EXPECT_TRUE(empty == kReplaceFailed || empty == kReplaceNothingFound) << empty;
        EXPECT_EQ(process(mode, path("s.txt")), kReplaceFailed);
        EXPECT_EQ(readFileBytes(path("e.txt")), "");
        EXPECT_EQ(readFileBytes(path("s.txt")), "a cat");
        EXPECT_EQ(listNames(drive.root()), (std::vector<std::string>{"e.txt", "s.txt"}));
    }
}

// A file another handle of ours holds: the replacer may read it when that handle shares reading, but
// the changed file can only take its place when the holder allows deleting; otherwise the file keeps
// its content and neither the temporary file nor the ".bak" stays. Just finding needs reading only.
TEST_F(PlainReplacerTest, AFileHeldByAnotherHandleKeepsItsContent)
{
    struct Holder
    {
        unsigned access;
        unsigned share;
        TReplaceResult change; // modes 1 and 4
        TReplaceResult find;   // mode 128
    };
    const Holder holders[] = {
        {platform::kAccessRead, platform::kShareRead, kReplaceFailed, kReplaceFound},
        {platform::kAccessReadWrite, platform::kShareRead | platform::kShareWrite, kReplaceFailed,
         kReplaceFound},
        {platform::kAccessReadWrite, 0, kReplaceFailed, kReplaceFailed},
        {platform::kAccessRead, platform::kShareRead | platform::kShareWrite | platform::kShareDelete,
         kReplaceFound, kReplaceFound},
    };
    for (const Holder& h : holders) {
        SCOPED_TRACE(std::to_string(h.access) + "/" + std::to_string(h.share));
        for (std::int32_t mode : {1, 4, 128}) {
            createFile(path("h.txt"), "a cat");
            platform::FileHandle holder;
            ASSERT_EQ(holder.open(path("h.txt"), h.access, h.share, platform::Disposition::kOpenExisting),
                      platform::kErrorSuccess);
            const TReplaceResult result = process(mode, path("h.txt"));
            holder.close();
            EXPECT_EQ(result, mode == 128 ? h.find : h.change) << mode;
            if (result != kReplaceFound || mode == 128) {
                EXPECT_EQ(readFileBytes(path("h.txt")), "a cat") << mode;
                EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"h.txt"}) << mode;
            }
            std::remove(posix("h.txt.bak").c_str());
        }
    }
}

// After a failed save the backup of a document goes only while the document still holds the same
// bytes: when the document did change, its backup is the only copy of the previous content.
TEST_F(PlainReplacerTest, DiscardBackUpCopyKeepsTheBackupOfAChangedDocument)
{
    TBaseReplacer replacer(&owner);
    createFile(path("doc.docx"), std::string(300000, 'x'));
    ASSERT_TRUE(replacer.CreateBackUpCopy(path("doc.docx"), 300000));
    replacer.DiscardBackUpCopy(path("doc.docx"));
    EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"doc.docx"});

    ASSERT_TRUE(replacer.CreateBackUpCopy(path("doc.docx"), 300000));
    createFile(path("doc.docx"), std::string(299999, 'x') + "y");
    replacer.DiscardBackUpCopy(path("doc.docx"));
    EXPECT_EQ(readFileBytes(path("doc.docx.bak")), std::string(300000, 'x'));
    // Nothing is left to discard a second time.
    createFile(path("doc.docx"), std::string(300000, 'x'));
    replacer.DiscardBackUpCopy(path("doc.docx"));
    EXPECT_TRUE(exists(path("doc.docx.bak")));
}

// A file below a tree deeper than the system's limit of a path is changed like any other, its backup
// made beside it.
TEST_F(PlainReplacerTest, AFileDeeperThanThePathLimitIsChanged)
{
    const test::DeepTree tree;
    test::writeDeep(drive.root(), tree.components(22, "deep.txt"), "one two one");
    const Block block("one", "three", kModeReplace);
    TTextReplacer replacer(&owner, kModeReplace, block.handle, true);
    EXPECT_EQ(replacer.processFile(tree.windowsPath(path(""), 22, "deep.txt")), kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 2);
    EXPECT_EQ(test::readDeep(drive.root(), tree.components(22, "deep.txt")), "three two three");
    EXPECT_EQ(test::readDeep(drive.root(), tree.components(22, "deep.txt.bak")), "one two one");
    EXPECT_EQ(test::listDeep(drive.root(), tree.components(22)),
              (std::vector<std::string>{"deep.txt", "deep.txt.bak"}));

    // Without a backup the file is put in place through its folder, which the replacer holds open.
    test::writeDeep(drive.root(), tree.components(22, "other.txt"), "one one");
    replacer.setCreateBackUpCopy(false);
    EXPECT_EQ(replacer.processFile(tree.windowsPath(path(""), 22, "other.txt")), kReplaceFound);
    EXPECT_EQ(test::readDeep(drive.root(), tree.components(22, "other.txt")), "three three");
    EXPECT_EQ(test::listDeep(drive.root(), tree.components(22)),
              (std::vector<std::string>{"deep.txt", "deep.txt.bak", "other.txt"}));
}

struct stat statOf(const std::string& posixPath)
{
    struct stat st = {};
    EXPECT_EQ(::lstat(posixPath.c_str(), &st), 0) << posixPath;
    return st;
}

// One replacer over the files of a folder, without backups (the folder is held open from one file to
// the next): a file without a match is only read (same inode, bytes and time, no temporary file); a
// changed file is a new file with the old one's mode bits, whatever the process's mask takes off a new
// file, its owner and group (as root), and nothing else is left in the folder.
TEST_F(PlainReplacerTest, FilesOfOneFolderKeepModeAndOwnerAndUnchangedOnesAreOnlyRead)
{
    const platform::FileTime written = 131000000000000000ull;
    const bool root = ::geteuid() == 0;
    struct Case
    {
        const char* name;
        const char* input;
        mode_t mode;
        const char* expected;
    };
    const Case cases[] = {
        {"open.txt", "a cat", 0666, "a dog"},   {"group.txt", "cat cat", 0640, "dog dog"},
        {"none.txt", "a bird", 0644, "a bird"}, {"ro.txt", "cat", 0444, "dog"},
        {"exec.sh", "cat\n", 0755, "dog\n"},
    };
    for (const Case& c : cases) {
        createFile(path(c.name), c.input, written, c.mode);
        if (root) {
            ASSERT_EQ(::chown(posix(c.name).c_str(), 1234, 5678), 0);
        }
    }
    const struct stat unchanged = statOf(posix("none.txt"));
    const Block block("cat", "dog", kModeReplace);
    TTextReplacer replacer(&owner, kModeReplace, block.handle, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const struct stat before = statOf(posix(c.name));
        const bool changes = std::string(c.input) != c.expected;
        EXPECT_EQ(replacer.ReplaceInFile(path(c.name)), changes ? kReplaceFound : kReplaceNothingFound);
        const struct stat after = statOf(posix(c.name));
        EXPECT_EQ(readFileBytes(path(c.name)), c.expected);
        EXPECT_EQ(after.st_mode & 07777, c.mode);
        if (root) {
            EXPECT_EQ(after.st_uid, 1234u);
            EXPECT_EQ(after.st_gid, 5678u);
        }
        EXPECT_EQ(after.st_ino == before.st_ino, !changes);
        EXPECT_EQ(test::lastWriteOf(path(c.name)) == written, !changes);
    }
    const struct stat none = statOf(posix("none.txt"));
    EXPECT_EQ(none.st_ino, unchanged.st_ino);
    EXPECT_EQ(none.st_mtim.tv_sec, unchanged.st_mtim.tv_sec);
    EXPECT_EQ(none.st_mtim.tv_nsec, unchanged.st_mtim.tv_nsec);
    EXPECT_EQ(listNames(drive.root()),
              (std::vector<std::string>{"exec.sh", "group.txt", "none.txt", "open.txt", "ro.txt"}));
}

// The folder is held open from one file to the next: when its path is made a link to another folder
// in the middle of a run, the next file is still the one in the folder the run began in.
TEST_F(PlainReplacerTest, AFolderSwappedForALinkMidRunIsNotFollowed)
{
    createFile(path("d\\a.txt"), "a cat");
    createFile(path("d\\b.txt"), "b cat");
    createFile(path("e\\b.txt"), "b cat elsewhere");
    const Block block("cat", "dog", kModeReplace);
    TTextReplacer replacer(&owner, kModeReplace, block.handle, false);
    EXPECT_EQ(replacer.ReplaceInFile(path("d\\a.txt")), kReplaceFound);
    ASSERT_EQ(::rename(posix("d").c_str(), posix("d.old").c_str()), 0);
    ASSERT_EQ(::symlink(posix("e").c_str(), posix("d").c_str()), 0);
    EXPECT_EQ(replacer.ReplaceInFile(path("d\\b.txt")), kReplaceFound);
    EXPECT_EQ(readFileBytes(path("d.old\\b.txt")), "b dog");
    EXPECT_EQ(readFileBytes(path("e\\b.txt")), "b cat elsewhere");
    EXPECT_EQ(listNames(posix("d.old")), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(listNames(posix("e")), std::vector<std::string>{"b.txt"});
}

// While a file is read, its name is made a link or given to another file: the name is not replaced
// (neither the link's target nor the other file is written), the file read stays whole and no
// temporary file or backup is left. Modes 1 and 256 (the batch table) alike, with a backup too, in the
// folder held open and by the file's path.
TEST_F(PlainReplacerTest, ANameTakenOverWhileTheFileIsReadIsNotReplaced)
{
    struct Case
    {
        const char* name;
        bool link;
    };
    for (const Case c : {Case{"made a link", true}, Case{"another file", false}}) {
        for (const int variant : {0, 1, 2, 3}) {
            const bool table = variant == 1;
            const bool backup = variant >= 2;
            const bool byPath = variant == 3;
            SCOPED_TRACE(std::string(c.name) + (table ? ", table" : "") + (backup ? ", backup" : "") +
                         (byPath ? ", by its path" : ""));
            if (byPath)
                platform::injectFault(path(""), platform::kErrorAccessDenied, platform::kFaultList);
            const std::string input = "cat " + std::string(40, 'x');
            createFile(path("f.txt"), input);
            createFile(path("target.txt"), "the link's target");
            const Block block("cat", "dog", kModeReplace);
            TableBlock rows;
            ASSERT_EQ(CheckAndBuildTableBlock(rows, {YesText()}, {"cat"}, {"dog"}), -1);
            TTextReplacer replacer(&owner, table ? kModeBatchTable : kModeReplace, table ? rows : block.handle,
                                   backup);
            replacer.setBlockSize(8);
            bool swapped = false;
            replacer.setBlockObserver([&](std::int64_t done) {
                if (done < 16 || swapped)
                    return;
                swapped = true;
                ASSERT_EQ(::rename(posix("f.txt").c_str(), posix("aside.txt").c_str()), 0);
                if (c.link)
                    ASSERT_EQ(::symlink("target.txt", posix("f.txt").c_str()), 0);
                else
                    createFile(path("f.txt"), "someone else's");
            });
            const TReplaceResult result =
                table ? replacer.ReplaceTableInFile(path("f.txt"), rows, 1) : replacer.ReplaceInFile(path("f.txt"));
            // The name no longer holds the file read (1006), or, by the path, the file read was moved (32).
            EXPECT_NE(replacer.failureError(), platform::kErrorSuccess);
            platform::movableFree(rows);
            platform::clearFaults();
            EXPECT_TRUE(swapped);
            EXPECT_EQ(result, kReplaceFailed);
            EXPECT_EQ(readFileBytes(path("aside.txt")), input);
            EXPECT_EQ(readFileBytes(path("target.txt")), "the link's target");
            if (c.link)
                EXPECT_TRUE(S_ISLNK(statOf(posix("f.txt")).st_mode));
            else
                EXPECT_EQ(readFileBytes(path("f.txt")), "someone else's");
            EXPECT_EQ(listNames(drive.root()), (std::vector<std::string>{"aside.txt", "f.txt", "target.txt"}));
            ::unlink(posix("f.txt").c_str());
            ::unlink(posix("aside.txt").c_str());
        }
    }
}

// A file that another process holds: read it may be while that process shares reading, but it is
// replaced only when that process allows deleting; otherwise it keeps its content and nothing is
// left beside it.
TEST_F(PlainReplacerTest, AFileHeldByAnotherProcessKeepsItsContent)
{
    struct Holder
    {
        unsigned access;
        unsigned share;
        TReplaceResult result;
    };
    const Holder holders[] = {
        {platform::kAccessRead, platform::kShareRead, kReplaceFailed},
        {platform::kAccessReadWrite, platform::kShareRead | platform::kShareWrite, kReplaceFailed},
        {platform::kAccessReadWrite, platform::kShareNone, kReplaceFailed},
        {platform::kAccessRead, platform::kShareAll, kReplaceFound},
    };
    for (const Holder& h : holders) {
        SCOPED_TRACE(std::to_string(h.access) + "/" + std::to_string(h.share));
        createFile(path("h.txt"), "a cat");
        int ready[2], release[2];
        ASSERT_EQ(::pipe(ready), 0);
        ASSERT_EQ(::pipe(release), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            platform::FileHandle holder;
            const char opened =
                holder.open(path("h.txt"), h.access, h.share, platform::Disposition::kOpenExisting) ==
                        platform::kErrorSuccess
                    ? 'y'
                    : 'n';
            [[maybe_unused]] const ssize_t w = ::write(ready[1], &opened, 1);
            char byte = 0;
            [[maybe_unused]] const ssize_t r = ::read(release[0], &byte, 1);
            ::_exit(0);
        }
        char opened = 0;
        ASSERT_EQ(::read(ready[0], &opened, 1), 1);
        EXPECT_EQ(opened, 'y');
        const TReplaceResult result = process(kModeReplace, path("h.txt"), false);
        ASSERT_EQ(::write(release[1], "x", 1), 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        for (int fd : {ready[0], ready[1], release[0], release[1]})
            ::close(fd);
        EXPECT_EQ(result, h.result);
        EXPECT_EQ(readFileBytes(path("h.txt")), result == kReplaceFound ? "a dog" : "a cat");
        EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"h.txt"});
    }
}

} // namespace
} // namespace wux::engines

namespace wux::engines {
namespace {

// One pass of a Replacer mode, or of a batch table (mode 256), over a file with backups on.
struct PassCase
{
    const char* name;
    std::int32_t mode;
};

const PassCase kPasses[] = {
    {"replace", kModeReplace},           {"delete", kModeDelete},
    {"insert at head", kModeInsertHead}, {"insert before", kModeInsertBefore},
    {"just find", kModeJustFind},        {"batch table", kModeBatchTable},
};

class ReplacerPassTest : public test::TempDriveTest
{
protected:
    // Runs one "cat" -> "dog" pass (a table row in mode 256) over file; observer sees each block.
    // Without heldFolder, the file's folder cannot be held open and the file is taken by its path.
    TReplaceResult pass(std::int32_t mode, const std::string& file, platform::WinError& failure,
                        std::function<void(std::int64_t)> observer = {}, bool heldFolder = true)
    {
        if (!heldFolder)
            platform::injectFault(file.substr(0, file.rfind('\\') + 1), platform::kErrorAccessDenied,
                                  platform::kFaultList);
        const Block block("cat", "dog", mode == kModeBatchTable ? kModeReplace : mode);
        TableBlock rows;
        EXPECT_EQ(CheckAndBuildTableBlock(rows, {YesText()}, {"cat"}, {"dog"}), -1);
        TTextReplacer replacer(&owner, mode, mode == kModeBatchTable ? rows : block.handle, true);
        replacer.setSizeOfFirstPart(1);
        replacer.setBlockSize(4);
        replacer.setBlockObserver(std::move(observer));
        const TReplaceResult result =
            mode == kModeBatchTable ? replacer.ReplaceTableInFile(file, rows, 1) : replacer.processFile(file);
        platform::movableFree(rows);
        failure = replacer.failureError();
        platform::clearFaults();
        return result;
    }

    platform::ScopedFaultClear faults;
    IdleOwner owner;
};

// In a folder shared by everybody (mode 1777), another user makes "x.txt" a symbolic link to a private
// file (0600) of the user who runs the replace. No mode of the Replacer nor a batch table reads or writes
// through it: the file fails with "Access is denied." (5), the private file keeps its bytes and the
// link stays, whether the folder is held open or the link is taken by its path. The user's own link in
// the same folder is followed: its target is replaced (with its backup beside it) and the link stays a
// link.
TEST_F(ReplacerPassTest, AnotherUsersLinkInASharedFolderIsNeverFollowed)
{
    if (!test::canActAsOtherUser())
        GTEST_SKIP() << "needs root and the user nobody";
    test::makeSharedFolder(posix("shared"), drive.base());
    const std::string secret = "setting=cat\nkey=cat cat\n";
    createFile(path("home\\conf.txt"), secret, test::kNoTime, 0600);
    const std::string target = posix("home/conf.txt");
    const std::string link = posix("shared/x.txt");
    ASSERT_TRUE(test::runAsOtherUser([&] { return ::symlink(target.c_str(), link.c_str()) == 0; }));
    struct stat st = {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    ASSERT_EQ(st.st_uid, test::otherUserId());
    for (const PassCase& c : kPasses)
        for (const bool held : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (held ? "" : ", by its path"));
            platform::WinError failure = 0;
            EXPECT_EQ(pass(c.mode, path("shared\\x.txt"), failure, {}, held), kReplaceFailed);
            EXPECT_EQ(failure, platform::kErrorAccessDenied);
            EXPECT_EQ(readFileBytes(target), secret);
            EXPECT_TRUE(S_ISLNK(test::modeOf(link)));
            EXPECT_EQ(listNames(posix("shared")), std::vector<std::string>{"x.txt"});
            EXPECT_EQ(listNames(posix("home")), std::vector<std::string>{"conf.txt"});
        }
    // The user's own link that leads nowhere: the file is missing (4), nothing is made.
    ASSERT_EQ(::symlink(posix("home/gone.txt").c_str(), posix("shared/gone.txt").c_str()), 0);
    platform::WinError failure = 0;
    EXPECT_EQ(pass(kModeReplace, path("shared\\gone.txt"), failure), kReplaceFileMissing);
    EXPECT_EQ(failure, platform::kErrorFileNotFound);
    ::unlink(posix("shared/gone.txt").c_str());
    ASSERT_EQ(::symlink(target.c_str(), posix("shared/own.txt").c_str()), 0);
    EXPECT_EQ(pass(kModeReplace, path("shared\\own.txt"), failure), kReplaceFound);
    EXPECT_EQ(failure, 0u);
    EXPECT_EQ(readFileBytes(target), "setting=dog\nkey=dog dog\n");
    EXPECT_EQ(test::modeOf(target) & 07777, 0600u);
    EXPECT_TRUE(S_ISLNK(test::modeOf(posix("shared/own.txt"))));
    EXPECT_EQ(listNames(posix("home")), (std::vector<std::string>{"conf.txt", "conf.txt.bak"}));
    EXPECT_EQ(readFileBytes(posix("home/conf.txt.bak")), secret);
}

// Another program appends lines to the file while it is replaced (after the last block was read): the
// file fails with "being used by another process" (32), keeps every appended line after its original
// bytes, and no temporary file or backup is left. Every mode that changes a file, with backups on, in
// its folder held open and by its path.
TEST_F(ReplacerPassTest, LinesAppendedDuringTheReplaceAreKeptAndTheFileFails)
{
    const std::string original = "one cat\ntwo cat\n";
    const std::string appended = "three\nfour cat\n";
    for (const PassCase& c : kPasses)
        for (const bool held : {true, false}) {
            if (c.mode == kModeJustFind)
                continue;
            SCOPED_TRACE(std::string(c.name) + (held ? "" : ", by its path"));
            createFile(path("log.txt"), original);
            bool appendedOnce = false;
            platform::WinError failure = 0;
            const TReplaceResult result = pass(
                c.mode, path("log.txt"), failure,
                [&](std::int64_t done) {
                    if (appendedOnce || done < static_cast<std::int64_t>(original.size()))
                        return;
                    appendedOnce = true;
                    FILE* file = std::fopen(posix("log.txt").c_str(), "ab");
                    ASSERT_NE(file, nullptr);
                    std::fputs(appended.c_str(), file);
                    std::fclose(file);
                },
                held);
            EXPECT_TRUE(appendedOnce);
            EXPECT_EQ(result, kReplaceFailed);
            EXPECT_EQ(failure, platform::kErrorSharingViolation);
            EXPECT_EQ(readFileBytes(path("log.txt")), original + appended);
            EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"log.txt"});
        }
}

} // namespace
} // namespace wux::engines
