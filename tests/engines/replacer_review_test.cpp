// Review tests of the plain-file replacer: stop requests on files without blocks.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/plain_replacer.h"
#include "platform/file_handle.h"
#include "platform/movable_memory.h"
#include "platform/thread.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

class IdleOwner : public platform::WuxThread
{
protected:
    void Execute() override {}
};

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
