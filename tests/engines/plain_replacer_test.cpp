#include "engines/plain_replacer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/movable_memory.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "support/file_builders.h"
#include "support/idle_owner.h"
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

class PlainReplacerTest : public test::TempDriveTest
{
protected:
    // Runs one search over a file holding input, with the given block size, and reads the file back.
    Outcome run(const Search& search, const std::string& input, std::size_t blockSize = kPlainBlockSize)
    {
        const std::string file = path("f.txt");
        createFile(file, input);
        const ReplacerStructure block = BuildReplacerStructure(
            search.find, search.replace, search.caseSensitive, search.wholeWord, search.mode);
        TTextReplacer replacer(&owner, search.mode, block, false);
        replacer.setSizeOfFirstPart(search.firstPart);
        replacer.setBlockSize(blockSize);
        Outcome outcome;
        outcome.result = replacer.processFile(file);
        outcome.bytes = readFileBytes(file);
        outcome.count = replacer.matchCount();
        outcome.size = replacer.fileSize();
        platform::movableFree(block);
        EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"f.txt"}) << "a temporary file was left";
        return outcome;
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
        // Byte case mapping touches ASCII letters only: a multi-byte character is never split.
        {"UTF-8 bytes kept", S(1, "caf\xC3\xA9", "X"), "CAF\xC3\xA9 caf\xC3\x89", "X caf\xC3\x89",
         kReplaceFound, 1},
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

// What a search must give, found the plain way: the leftmost match of the find text (ignoring ASCII case
// unless case-sensitive; with whole words, between delimiters or the file's ends), the next search
// beginning behind it. Modes 1, 2, 8, 16 and 128.
Outcome referenceSearch(const Search& search, const std::string& input)
{
    auto same = [&](char a, char b) {
        return search.caseSensitive ? a == b : platform::byteToLower(a) == platform::byteToLower(b);
    };
    auto delimiter = [](char c) { return isWordDelimiter(static_cast<std::uint8_t>(c)); };
    const std::string& find = search.find;
    const std::size_t n = find.size();
    Outcome out;
    out.count = 0;
    std::size_t at = 0;
    std::size_t copied = 0;
    while (n > 0 && at + n <= input.size()) {
        bool hit = true;
        for (std::size_t k = 0; k < n && hit; ++k)
            hit = same(input[at + k], find[k]);
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

TEST_F(PlainReplacerTest, RandomTextsGiveTheExpectedBytesWhateverTheBlockSize)
{
    std::mt19937 random(12345);
    const std::string alphabet = "aAb .";
    auto text = [&](std::size_t length) {
        std::string s;
        for (std::size_t i = 0; i < length; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 40; ++round) {
        const std::string input = text(120);
        std::string find = text(1 + random() % 3);
        const std::int32_t modes[] = {1, 2, 8, 16, 32, 128};
        const std::int32_t mode = modes[random() % 6];
        if (mode == kModeInsertBetween && find.size() < 2)
            find += "b";
        Search search = S(mode, find, "<R>", random() % 2 == 0, random() % 2 == 0, 1);
        SCOPED_TRACE("round " + std::to_string(round) + " find '" + find + "' mode " + std::to_string(mode));
        const Outcome whole = run(search, input);
        for (std::size_t blockSize : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{7}}) {
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

// A file larger than one read block with the match placed across the 0x40000 boundary.
TEST_F(PlainReplacerTest, MatchesAcrossTheBlockBoundary)
{
    const std::string find = "Needle";
    struct ModeCase
    {
        std::int32_t mode;
        std::string expectedMiddle; // what "Needle" becomes
    };
    const ModeCase modes[] = {{1, "<R>"}, {2, ""}, {8, "NEEDLE<R>"}, {16, "<R>NEEDLE"}, {128, "NEEDLE"}};
    for (const ModeCase& m : modes) {
        for (std::size_t before : {std::size_t{1}, std::size_t{3}, std::size_t{5}}) {
            for (bool wholeWord : {false, true}) {
                SCOPED_TRACE("mode " + std::to_string(m.mode) + ", " + std::to_string(before) +
                             " bytes before the boundary, whole word " + std::to_string(wholeWord));
                const std::string head(kPlainBlockSize - before - 1, 'x');
                const std::string tail(300, 'y');
                const std::string input = head + " NEEDLE " + tail;
                const Outcome outcome =
                    run(S(m.mode, find, m.mode == 2 ? "" : "<R>", false, wholeWord), input);
                EXPECT_EQ(outcome.result, kReplaceFound);
                EXPECT_EQ(outcome.count, 1);
                EXPECT_TRUE(outcome.bytes == head + " " + m.expectedMiddle + " " + tail)
                    << "size " << outcome.bytes.size();
            }
        }
    }
}

TEST_F(PlainReplacerTest, InsertBetweenAcrossSeveralWrittenBlocks)
{
    // The first part lies in the first block, the ending three blocks later: everything between is cut
    // back out of what was already written.
    const std::string middle(3 * kPlainBlockSize, 'm');
    const std::string input = "head<b>" + middle + "</b>tail";
    const Outcome outcome = run(S(32, "<b></b>", "X", true, false, 3), input);
    EXPECT_EQ(outcome.result, kReplaceFound);
    EXPECT_EQ(outcome.bytes, "head<b>X</b>tail");
}

TEST_F(PlainReplacerTest, ReplaceManyMatchesInALargeFile)
{
    std::string input;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        input += "ab cd ";
        expected += "xyz cd ";
    }
    const Outcome outcome = run(S(1, "AB", "xyz", false, true), input);
    EXPECT_EQ(outcome.count, 100000);
    EXPECT_TRUE(outcome.bytes == expected);
    // Smaller output than input: the file is cut at the end of the output.
    const Outcome deleted = run(S(2, "cd ", ""), input);
    EXPECT_EQ(deleted.bytes.size(), input.size() / 2);
}

TEST_F(PlainReplacerTest, HeadAndFootOnAFileOfSeveralBlocks)
{
    const std::string body(2 * kPlainBlockSize + 17, 'b');
    EXPECT_TRUE(run(S(4, "H", ""), body).bytes == "H" + body);
    EXPECT_TRUE(run(S(64, "F", ""), body).bytes == body + "F");
}

TEST_F(PlainReplacerTest, MissingFileFolderAndWrongMode)
{
    const ReplacerStructure block = BuildReplacerStructure("a", "b", false, false, kModeReplace);
    TTextReplacer replacer(&owner, kModeReplace, block, true);
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
    platform::movableFree(block);

    const ReplacerStructure headBlock = BuildReplacerStructure("h", "", false, false, kModeInsertHead);
    TTextReplacer head(&owner, kModeInsertHead, headBlock, false);
    EXPECT_EQ(head.InsertHeadFoot(path("none.txt")), kReplaceFileMissing);
    EXPECT_FALSE(exists(path("none.txt0")));
    platform::movableFree(headBlock);
    // Without a search block nothing is touched.
    TTextReplacer noBlock(&owner, kModeReplace, {}, false);
    EXPECT_EQ(noBlock.ReplaceInFile(path("a.txt")), kReplaceFailed);
    EXPECT_EQ(readFileBytes(path("a.txt")), "aaa");
}

TEST_F(PlainReplacerTest, UnreadableFileGivesOne)
{
    createFile(path("held.txt"), "aaa");
    platform::injectFault(path("held.txt"), platform::kErrorSharingViolation, platform::kFaultOpen);
    for (std::int32_t mode : {1, 4, 16, 128}) {
        const ReplacerStructure block = BuildReplacerStructure("a", "b", false, false, mode);
        TTextReplacer replacer(&owner, mode, block, true);
        EXPECT_EQ(replacer.processFile(path("held.txt")), kReplaceFailed) << mode;
        platform::movableFree(block);
    }
    platform::clearFaults();
    EXPECT_EQ(readFileBytes(path("held.txt")), "aaa");
    EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"held.txt"});
}

TEST_F(PlainReplacerTest, ReadFailureMidFileKeepsTheFile)
{
    const std::string input(3 * 1000, 'a');
    createFile(path("r.txt"), input);
    platform::injectFault(path("r.txt"), platform::kErrorReadFault, platform::kFaultRead);
    const ReplacerStructure block = BuildReplacerStructure("a", "b", false, false, kModeReplace);
    TTextReplacer replacer(&owner, kModeReplace, block, true);
    EXPECT_EQ(replacer.ReplaceInFile(path("r.txt")), kReplaceFailed);
    platform::clearFaults();
    EXPECT_TRUE(readFileBytes(path("r.txt")) == input);
    EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"r.txt"});
    platform::movableFree(block);
}

TEST_F(PlainReplacerTest, StopRequestMidFile)
{
    const platform::FileTime written = 132500000000000000ull;
    const std::string input(5000, 'a');
    for (std::int32_t mode : {1, 4, 16, 128}) {
        SCOPED_TRACE(mode);
        createFile(path("s.txt"), input, written);
        IdleOwner stopper;
        const ReplacerStructure block = BuildReplacerStructure("a", "b", false, false, mode);
        TTextReplacer replacer(&stopper, mode, block, true);
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
        platform::movableFree(block);
    }
}

TEST_F(PlainReplacerTest, TemporaryNameTakenMeanwhileIsNeverWritten)
{
    createFile(path("t.txt"), "abc");
    createFile(path("t.txt0"), "someone else's");
    const ReplacerStructure block = BuildReplacerStructure("b", "X", false, false, kModeReplace);
    TTextReplacer replacer(&owner, kModeReplace, block, false);
    EXPECT_EQ(replacer.ReplaceInFile(path("t.txt")), kReplaceFound);
    EXPECT_EQ(readFileBytes(path("t.txt")), "aXc");
    EXPECT_EQ(readFileBytes(path("t.txt0")), "someone else's");
    EXPECT_EQ(listNames(drive.root()), (std::vector<std::string>{"t.txt", "t.txt0"}));
    platform::movableFree(block);
}

// Review tests of the plain-file replacer: stop requests on files without blocks.

class ReplacerReviewTest : public test::TempDriveTest
{
protected:
    TReplaceResult run(std::int32_t mode, const std::string& file, std::string_view find = "cat",
                       bool backup = true)
    {
        const ReplacerStructure block = BuildReplacerStructure(find, "dog", false, false, mode);
        TTextReplacer replacer(&owner, mode, block, backup);
        replacer.setSizeOfFirstPart(1);
        const TReplaceResult result = replacer.processFile(file);
        platform::movableFree(block);
        return result;
    }
    IdleOwner owner;
};

// A stop request fails every file in hand, also an empty one in the head and foot modes, which have
// no block to copy: nothing is inserted and no backup is made.
TEST_F(ReplacerReviewTest, AStopRequestFailsAnEmptyFileInEveryMode)
{
    owner.Terminate();
    for (std::int32_t mode : {1, 2, 4, 8, 16, 32, 64, 128}) {
        SCOPED_TRACE(mode);
        test::createFile(path("e.txt"), "");
        test::createFile(path("s.txt"), "a cat");
        const TReplaceResult empty = run(mode, path("e.txt"));
        EXPECT_TRUE(empty == kReplaceFailed || empty == kReplaceNothingFound) << empty;
        EXPECT_EQ(run(mode, path("s.txt")), kReplaceFailed);
        EXPECT_EQ(test::readFileBytes(path("e.txt")), "");
        EXPECT_EQ(test::readFileBytes(path("s.txt")), "a cat");
        EXPECT_EQ(test::listNames(drive.root()), (std::vector<std::string>{"e.txt", "s.txt"}));
    }
}

namespace reference {
bool delim(unsigned char c)
{
    return isWordDelimiter(c);
}
char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
std::string search(std::int32_t mode, const std::string& in, const std::string& find, const std::string& rep,
                   bool cs, bool ww, int& count)
{
    std::string out;
    count = 0;
    const std::size_t n = find.size();
    std::size_t i = 0;
    while (i < in.size()) {
        bool m = i + n <= in.size();
        for (std::size_t k = 0; m && k < n; ++k)
            m = cs ? in[i + k] == find[k] : lowerAscii(in[i + k]) == lowerAscii(find[k]);
        if (m && ww)
            m = (i == 0 || delim(static_cast<unsigned char>(in[i - 1]))) &&
                (i + n == in.size() || delim(static_cast<unsigned char>(in[i + n])));
        if (!m) {
            out += in[i++];
            continue;
        }
        ++count;
        const std::string found = in.substr(i, n);
        switch (mode) {
        case 1:
            out += rep;
            break;
        case 2:
            break;
        case 8:
            out += found + rep;
            break;
        case 16:
            out += rep + found;
            break;
        default:
            out += found;
            break;
        }
        i += n;
    }
    return out;
}
} // namespace reference

// Multi-byte UTF-8 text, underscores and delimiters in random order, in every block size: case
// folding touches ASCII letters only and whole-word tests see bytes above 0x7F as word characters, so
// the result equals a plain left-to-right search of the whole text.
TEST_F(ReplacerReviewTest, Utf8TextGivesTheSameBytesWhateverTheBlockSize)
{
    std::mt19937 random(777);
    const std::vector<std::string> tokens = {"a", "A", "\xC3\xA4", "\xC3\x84", " ", ".", "_", "b"};
    auto text = [&](std::size_t count) {
        std::string s;
        for (std::size_t i = 0; i < count; ++i)
            s += tokens[random() % tokens.size()];
        return s;
    };
    int failures = 0;
    for (int round = 0; round < 80 && failures < 5; ++round) {
        const std::string input = text(60);
        const std::string find = text(1 + random() % 3);
        const std::int32_t modes[] = {1, 2, 8, 16, 128};
        const std::int32_t mode = modes[random() % 5];
        const bool cs = random() % 2 == 0, ww = random() % 2 == 0;
        int expectedCount = 0;
        const std::string expected = reference::search(mode, input, find, "<R>", cs, ww, expectedCount);
        for (std::size_t blockSize : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{64}}) {
            test::createFile(path("f.txt"), input);
            const ReplacerStructure block = BuildReplacerStructure(find, "<R>", cs, ww, mode);
            TTextReplacer replacer(&owner, mode, block, false);
            replacer.setBlockSize(blockSize);
            const TReplaceResult r = replacer.processFile(path("f.txt"));
            platform::movableFree(block);
            const std::string got = test::readFileBytes(path("f.txt"));
            const std::string want = mode == 128 ? input : expected;
            if (got != want || replacer.matchCount() != expectedCount) {
                ++failures;
                ADD_FAILURE() << "mode " << mode << " cs " << cs << " ww " << ww << " block " << blockSize
                              << "\nin   [" << input << "]\nfind [" << find << "]\ngot  [" << got << "] "
                              << replacer.matchCount() << "\nwant [" << want << "] " << expectedCount << " r "
                              << r;
                break;
            }
        }
    }
}

// A file another handle of ours holds: the replacer may read it when that handle shares reading, but
// the changed file can only take its place when the holder allows deleting; otherwise the file keeps
// its content and neither the temporary file nor the ".bak" stays. Just finding needs reading only.
TEST_F(ReplacerReviewTest, AFileHeldByAnotherHandleKeepsItsContent)
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
            test::createFile(path("h.txt"), "a cat");
            platform::FileHandle holder;
            ASSERT_EQ(holder.open(path("h.txt"), h.access, h.share, platform::Disposition::kOpenExisting),
                      platform::kErrorSuccess);
            const TReplaceResult result = run(mode, path("h.txt"), "cat", true);
            holder.close();
            EXPECT_EQ(result, mode == 128 ? h.find : h.change) << mode;
            if (result != kReplaceFound || mode == 128) {
                EXPECT_EQ(test::readFileBytes(path("h.txt")), "a cat") << mode;
                EXPECT_EQ(test::listNames(drive.root()), std::vector<std::string>{"h.txt"}) << mode;
            }
            std::remove(posix("h.txt.bak").c_str());
        }
    }
}

// After a failed save the backup of a document goes only while the document still holds the same
// bytes: when the document did change, its backup is the only copy of the previous content.
TEST_F(ReplacerReviewTest, DiscardBackUpCopyKeepsTheBackupOfAChangedDocument)
{
    TBaseReplacer replacer(&owner);
    test::createFile(path("doc.docx"), std::string(300000, 'x'));
    ASSERT_TRUE(replacer.CreateBackUpCopy(path("doc.docx"), 300000));
    replacer.DiscardBackUpCopy(path("doc.docx"));
    EXPECT_EQ(test::listNames(drive.root()), std::vector<std::string>{"doc.docx"});

    ASSERT_TRUE(replacer.CreateBackUpCopy(path("doc.docx"), 300000));
    test::createFile(path("doc.docx"), std::string(299999, 'x') + "y");
    replacer.DiscardBackUpCopy(path("doc.docx"));
    EXPECT_EQ(test::readFileBytes(path("doc.docx.bak")), std::string(300000, 'x'));
    // Nothing is left to discard a second time.
    test::createFile(path("doc.docx"), std::string(300000, 'x'));
    replacer.DiscardBackUpCopy(path("doc.docx"));
    EXPECT_TRUE(test::exists(path("doc.docx.bak")));
}

} // namespace
} // namespace wux::engines
