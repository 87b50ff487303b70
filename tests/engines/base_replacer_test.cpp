#include "engines/base_replacer.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engines/batch_table.h"
#include "engines/plain_replacer.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/movable_memory.h"
#include "platform/thread.h"
#include "support/file_builders.h"
#include "support/idle_owner.h"
#include "support/leftovers.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

using test::createFile;
using test::exists;
using test::listNames;
using test::readFileBytes;

using wux::test::IdleOwner;

std::vector<std::uint8_t> blockBytes(platform::MovableHandle block)
{
    platform::MovableLock lock(block);
    const auto* data = lock.as<const std::uint8_t>();
    return std::vector<std::uint8_t>(data, data + platform::movableSize(block));
}

// ---- Word delimiters ----

TEST(WordDelimitersTest, AreExactlyTheThirtyFourCharactersInTableOrder)
{
    const std::string expected = "\r\n !\"#$%&'()*+,-./:;<=>?@]\\[^`}|{~";
    ASSERT_EQ(sizeof(WordDelimiters), 34u);
    EXPECT_EQ(std::string(WordDelimiters, 34), expected);
    for (unsigned b = 0; b < 256; ++b) {
        const bool listed = expected.find(static_cast<char>(b)) != std::string::npos;
        EXPECT_EQ(isWordDelimiter(static_cast<std::uint8_t>(b)), listed) << "byte " << b;
    }
    // Word characters: tab, underscore, digits, letters and every byte of 0x80 or more.
    for (std::uint8_t b :
         {std::uint8_t{'\t'}, std::uint8_t{'_'}, std::uint8_t{'0'}, std::uint8_t{'9'}, std::uint8_t{'a'},
          std::uint8_t{'Z'}, std::uint8_t{0x80}, std::uint8_t{0xC3}, std::uint8_t{0xFF}})
        EXPECT_FALSE(isWordDelimiter(b)) << int(b);
}

// ---- Search block ----

TEST(ReplacerStructureTest, FoldedBlockIsByteExact)
{
    const ReplacerStructure block = BuildReplacerStructure("aB\xC3\xA9", "XY", false, true, kModeReplace);
    ASSERT_TRUE(block);
    const std::vector<std::uint8_t> expected = {
        0,   1,   0,    0,                       // not case-sensitive, whole word, unused
        4,   0,   0,    0,                       // n
        2,   0,   0,    0,                       // m
        'a', 'b', 0xC3, 0xA9,                    // lower-cased find text
        'A', 'B', 0xC3, 0x89,                    // upper-case copy ("\xC3\xA9" is "é", "\xC3\x89" "É")
        'X', 'Y',                                // replace text
        0,   0,   0,    0,    0, 0, 0, 0, 0, 0}; // spare
    EXPECT_EQ(blockBytes(block), expected);
    EXPECT_EQ(platform::movableSize(block), 2u * 4 + 2 + 22);
    platform::movableFree(block);
}

TEST(ReplacerStructureTest, CaseSensitiveAndHeadFootBlocksKeepTheText)
{
    const ReplacerStructure sensitive = BuildReplacerStructure("aB", "", true, false, kModeDelete);
    std::vector<std::uint8_t> bytes = blockBytes(sensitive);
    ASSERT_EQ(bytes.size(), 2u * 2 + 22);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 14), "aB");
    platform::movableFree(sensitive);

    // Modes 4 and 64: the find text is the text to insert, unchanged, and both flags are 0.
    for (std::int32_t mode : {kModeInsertHead, kModeInsertFoot}) {
        const ReplacerStructure insert = BuildReplacerStructure("Head", "ignored", true, true, mode);
        EXPECT_EQ(platform::movableSize(insert), 2u * 4 + 22);
        bytes = blockBytes(insert);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[1], 0);
        EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "Head");
        platform::movableFree(insert);
    }
}

TEST(ReplacerStructureTest, DosCodePageTextsAreConvertedWholeCharacters)
{
    // "été": case forms first ("été", "ÉTÉ"), then CP437, one byte per character ("é" 0x82, "É" 0x90).
    const ReplacerStructure block =
        BuildReplacerStructure("\xC3\xA9t\xC3\xA9", "\xC3\x89", false, false, kModeReplace, true);
    const std::vector<std::uint8_t> bytes = blockBytes(block);
    const std::vector<std::uint8_t> expected = {0, 0, 0,    0,   3,    0,    0,   0,    1,    0,
                                                0, 0, 0x82, 't', 0x82, 0x90, 'T', 0x90, 0x90, 0,
                                                0, 0, 0,    0,   0,    0,    0,   0,    0};
    EXPECT_EQ(bytes, expected);
    platform::movableFree(block);
}

// Each character's lower and upper case where it takes as many bytes; where the other case takes
// another number of bytes ("K" Kelvin sign, 3 bytes, and "k"; "ẞ", 3 bytes, and "ß", 2), the character
// stands as typed, so both copies keep the find text's byte positions. CP437 lacks "ẞ": it stands as
// typed there too ("ß" 0xE1 in both copies).
TEST(ReplacerStructureTest, CaseFormsKeepTheBytePositions)
{
    const ReplacerStructure block =
        BuildReplacerStructure("\xE2\x84\xAA\xC3\x9F\xC3\x89", "", false, false, kModeJustFind);
    std::vector<std::uint8_t> bytes = blockBytes(block);
    ASSERT_EQ(bytes.size(), 2u * 7 + 22);
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 19), "\xE2\x84\xAA\xC3\x9F\xC3\xA9");
    EXPECT_EQ(std::string(bytes.begin() + 19, bytes.begin() + 26), "\xE2\x84\xAA\xC3\x9F\xC3\x89");
    platform::movableFree(block);

    const ReplacerStructure oem =
        BuildReplacerStructure("\xC3\x9F\xC3\xA4\xC3\x96", "", false, false, kModeJustFind, true);
    bytes = blockBytes(oem);
    ASSERT_EQ(bytes.size(), 2u * 3 + 22);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 12, bytes.begin() + 18),
              (std::vector<std::uint8_t>{0xE1, 0x84, 0x94, 0xE1, 0x8E, 0x99})); // ß ä ö / ß Ä Ö
    platform::movableFree(oem);
}

TEST(ReplacerStructureTest, ParseChecksTheLengthsAgainstTheBlock)
{
    const ReplacerStructure block = BuildReplacerStructure("abc", "xy", false, false, kModeReplace);
    std::vector<std::uint8_t> bytes = blockBytes(block);
    platform::movableFree(block);
    const auto view = parseReplacerStructure(bytes);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->find, "abc");
    EXPECT_EQ(view->findUpper, "ABC");
    EXPECT_EQ(view->replace, "xy");
    // Cut just before the end of the replace text, or with a length that runs past the end.
    EXPECT_FALSE(parseReplacerStructure(std::span(bytes).first(12 + 6 + 1)));
    EXPECT_FALSE(parseReplacerStructure(std::span(bytes).first(11)));
    storeLe32(bytes.data() + 4, 0x7FFFFFFF);
    EXPECT_FALSE(parseReplacerStructure(bytes));
}

TEST(ReplacerStructureTest, ReadReplacerStructureGivesFlagsAndDropsLineFeeds)
{
    IdleOwner owner;
    TBaseReplacer replacer(&owner);
    const ReplacerStructure block = BuildReplacerStructure("a\r\nB", "x\ny", true, true, kModeReplace);
    std::string find, replace;
    std::uint32_t flags = 0;
    ASSERT_TRUE(replacer.ReadReplacerStructure(block, find, flags, replace));
    EXPECT_EQ(flags, 5u);
    EXPECT_EQ(find, "a\rB");
    EXPECT_EQ(replace, "xy");
    platform::movableFree(block);

    const ReplacerStructure folded = BuildReplacerStructure("AbC", "", false, false, kModeJustFind);
    ASSERT_TRUE(replacer.ReadReplacerStructure(folded, find, flags, replace));
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(find, "abc");
    platform::movableFree(folded);

    EXPECT_FALSE(replacer.ReadReplacerStructure({}, find, flags, replace));
    EXPECT_TRUE(find.empty());
}

// ---- Table rows for the document replacers ----

TEST(ReadTableRowTest, ReadsRowsAndNeverPastTheBlock)
{
    TableBlock block;
    ASSERT_EQ(CheckAndBuildTableBlock(block, {"Y", "N"}, {"Ab", "x#13,10#"}, {"r\n1", "\xC3\xA9"}), -1);
    ASSERT_TRUE(block);
    TBaseReplacer replacer(nullptr);
    std::uint32_t flags = 9;
    std::u16string find, replace;
    ASSERT_TRUE(replacer.ReadTableRow(block, 1, flags, replace, find));
    EXPECT_EQ(flags, 1u);
    EXPECT_EQ(find, u"Ab");
    EXPECT_EQ(replace, u"r1");
    ASSERT_TRUE(replacer.ReadTableRow(block, 2, flags, replace, find));
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(find, u"x#13,10#");
    EXPECT_EQ(replace, u"\u00E9");
    // Past the last row, or row 0: refused, the texts empty.
    EXPECT_FALSE(replacer.ReadTableRow(block, 3, flags, replace, find));
    EXPECT_TRUE(find.empty());
    EXPECT_FALSE(replacer.ReadTableRow(block, 0, flags, replace, find));

    // A block cut inside row 2 refuses row 2 but still gives row 1.
    const std::vector<std::uint8_t> bytes = blockBytes(block);
    const platform::MovableHandle cut = platform::movableAlloc(bytes.size() - 1);
    {
        platform::MovableLock lock(cut);
        std::copy(bytes.begin(), bytes.end() - 1, lock.as<std::uint8_t>());
    }
    EXPECT_TRUE(replacer.ReadTableRow(cut, 1, flags, replace, find));
    EXPECT_FALSE(replacer.ReadTableRow(cut, 2, flags, replace, find));
    platform::movableFree(cut);
    platform::movableFree(block);
}

// ---- Names ----

TEST(ReplacerNamesTest, StripExtension)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a.b.c", "a.b"}, {"abc", "abc"}, {"report.txt", "report"}, {".profile", ""}, {"", ""}};
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(StripExtension(name), expected) << name;
}

class ReplacerFilesTest : public test::TempDriveTest
{
protected:
    platform::ScopedFaultClear faults;
    IdleOwner owner;
};

TEST_F(ReplacerFilesTest, TemporaryAndBackupNamesTakeTheFirstFreeNumber)
{
    EXPECT_EQ(temporaryName("c:\\d\\report.txt", 0), "c:\\d\\.report.txt.wux00000000");
    EXPECT_EQ(temporaryName("c:\\d\\report.txt", 0x1234abcd), "c:\\d\\.report.txt.wux1234abcd");
    EXPECT_EQ(temporaryName("c:\\d\\report.txt", -1), "c:\\d\\.report.txt.wuxffffffff");
    EXPECT_EQ(firstFreeName(path("data.txt.bak")), path("data.txt.bak"));
    createFile(path("data.txt.bak"), "x");
    EXPECT_EQ(firstFreeName(path("data.txt.bak")), path("data.txt.bak0"));
    createFile(path("data.txt.bak0"), "x");
    createFile(path("data.txt.bak1"), "x");
    EXPECT_EQ(firstFreeName(path("data.txt.bak")), path("data.txt.bak2"));
}

TEST_F(ReplacerFilesTest, OpenSourceAndTempResults)
{
    TBaseReplacer replacer(&owner);
    platform::FileHandle source, temp;
    std::int32_t number = -1;
    // Missing file: 4, and no temporary file.
    EXPECT_EQ(replacer.OpenSourceAndTemp(source, temp, path("missing.txt"), number), kReplaceFileMissing);
    EXPECT_EQ(replacer.OpenSourceAndTemp(source, temp, path("nofolder\\x.txt"), number), kReplaceFileMissing);
    EXPECT_FALSE(source.isOpen());
    EXPECT_TRUE(listNames(drive.root()).empty());
    // A folder cannot be opened as a file: 1.
    test::makeFolder(path("dir"));
    EXPECT_EQ(replacer.OpenSourceAndTemp(source, temp, path("dir"), number), kReplaceFailed);
    EXPECT_FALSE(source.isOpen());
    // The temporary file is hidden beside the file, created new without permission bits; a user's
    // file of a name like it stays as it is.
    createFile(path("data.txt"), "12345", 0, 0640);
    createFile(path("data.txt0"), "keep");
    createFile(path(".data.txt.wux00000000"), "a user's");
    ASSERT_EQ(replacer.OpenSourceAndTemp(source, temp, path("data.txt"), number), kReplaceFound);
    EXPECT_EQ(replacer.fileSize(), 5);
    EXPECT_TRUE(source.isOpen());
    EXPECT_TRUE(temp.isOpen());
    const std::string made = temporaryName(path("data.txt"), number);
    EXPECT_EQ(temp.path(), made);
    EXPECT_TRUE(exists(made));
    EXPECT_EQ(test::modeOf(made) & 07777, 0u);
    // Nothing matched: the commit deletes the temporary file and reports 8.
    EXPECT_EQ(replacer.CommitFile(source, temp, true, path("data.txt"), number), kReplaceNothingFound);
    EXPECT_FALSE(exists(made));
    EXPECT_EQ(readFileBytes(path("data.txt0")), "keep");
    EXPECT_EQ(readFileBytes(path(".data.txt.wux00000000")), "a user's");
    EXPECT_EQ(readFileBytes(path("data.txt")), "12345");
}

TEST_F(ReplacerFilesTest, UnreadableSourceGivesOneAndLeavesNothing)
{
    createFile(path("locked.txt"), "abc");
    platform::injectFault(path("locked.txt"), platform::kErrorSharingViolation, platform::kFaultOpen);
    TBaseReplacer replacer(&owner);
    platform::FileHandle source, temp;
    std::int32_t number = 0;
    EXPECT_EQ(replacer.OpenSourceAndTemp(source, temp, path("locked.txt"), number), kReplaceFailed);
    EXPECT_FALSE(source.isOpen());
    EXPECT_FALSE(temp.isOpen());
    platform::clearFaults();
    EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"locked.txt"});
}

// ---- Commit through the plain replacer ----

struct CommitFixture
{
    ReplacerStructure block;
    explicit CommitFixture(std::string_view find = "old", std::string_view replace = "new")
        : block(BuildReplacerStructure(find, replace, true, false, kModeReplace))
    {
    }
    ~CommitFixture() { platform::movableFree(block); }
};

// A user who may read a file but not write its folder: the file fails with the system's reason and
// stays as it was. Run as that user (nobody) in a child process, since the suite runs as root.
TEST_F(ReplacerFilesTest, AFileInAFolderTheUserCannotWriteFailsWithTheSystemsReason)
{
    const std::string folder = posix("shared");
    createFile(posix("shared/notes.txt"), "old text");
    ASSERT_EQ(::chmod(posix("shared/notes.txt").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    for (const std::string& above : {drive.base(), drive.root()})
        ASSERT_EQ(::chmod(above.c_str(), 0755), 0);
    CommitFixture fixture;
    int results[3] = {-1, -1, -1}; // result, failure, user id
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        int out[3] = {-1, -1, -1};
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            TTextReplacer replacer(&owner, kModeReplace, fixture.block, false);
            out[0] = replacer.ReplaceInFile(path("shared\\notes.txt"));
            out[1] = static_cast<int>(replacer.failureError());
            out[2] = static_cast<int>(::getuid());
        }
        [[maybe_unused]] const ssize_t written = ::write(channel[1], out, sizeof(out));
        ::_exit(0);
    }
    ::close(channel[1]);
    ASSERT_EQ(::read(channel[0], results, sizeof(results)), static_cast<ssize_t>(sizeof(results)));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(folder.c_str(), 0755);
    ASSERT_EQ(results[2], 65534) << "the child could not become nobody";
    EXPECT_EQ(results[0], kReplaceFailed);
    EXPECT_EQ(results[1], static_cast<int>(platform::kErrorAccessDenied));
    EXPECT_EQ(readFileBytes(posix("shared/notes.txt")), "old text");
    EXPECT_EQ(listNames(folder), std::vector<std::string>{"notes.txt"});

    // As root, the same file is changed, and nothing failed.
    TTextReplacer replacer(&owner, kModeReplace, fixture.block, false);
    EXPECT_EQ(replacer.ReplaceInFile(path("shared\\notes.txt")), kReplaceFound);
    EXPECT_EQ(replacer.failureError(), 0U);
}

// Entries of the temporary files' form that are not the program's own (a user's file, also one without
// permission bits, a folder, a link) are left as they were by a replace beside them.
TEST_F(ReplacerFilesTest, EntriesOfTheTemporaryFormThatAreNotOursStay)
{
    CommitFixture fixture;
    TTextReplacer replacer(&owner, kModeReplace, fixture.block, false);
    createFile(posix(".x.txt.wux12345678"), "held");
    createFile(posix(".x.txt.wux0badf00d"), "held");
    ASSERT_EQ(::chmod(posix(".x.txt.wux0badf00d").c_str(), 0), 0);
    test::makeFolder(posix(".x.txt.wux00000000"));
    ASSERT_EQ(::symlink("nowhere", posix(".x.txt.wux00000001").c_str()), 0);
    createFile(path("x.txt"), "an old text");
    {
        test::AnyAgeLeftovers anyAge;
        EXPECT_EQ(replacer.ReplaceInFile(path("x.txt")), kReplaceFound);
    }
    EXPECT_EQ(readFileBytes(path("x.txt")), "an new text");
    EXPECT_EQ(listNames(drive.root()), (std::vector<std::string>{".x.txt.wux00000000", ".x.txt.wux00000001",
                                                                 ".x.txt.wux0badf00d", ".x.txt.wux12345678", "x.txt"}));
    EXPECT_EQ(readFileBytes(posix(".x.txt.wux12345678")), "held");
    EXPECT_EQ(readFileBytes(posix(".x.txt.wux0badf00d")), "held");
    EXPECT_TRUE(S_ISDIR(test::modeOf(posix(".x.txt.wux00000000"))));
    EXPECT_TRUE(S_ISLNK(test::modeOf(posix(".x.txt.wux00000001"))));
}

// The backup takes the first name free as spelled (a name in another letter case is another file, left
// alone); without
// backups, or without matches, nothing but the file remains, and a file without matches keeps its time.
TEST_F(ReplacerFilesTest, CommitWithBackupKeepsThePreviousContentBesideTheFile)
{
    CommitFixture fixture;
    createFile(path("data.txt"), "an old text");
    createFile(path("data.txt.bak"), "older backup");
    createFile(path("notes.txt"), "old");
    createFile(path("NOTES.TXT.BAK"), "earlier");
    TTextReplacer replacer(&owner, kModeReplace, fixture.block, true);
    EXPECT_EQ(replacer.ReplaceInFile(path("data.txt")), kReplaceFound);
    EXPECT_EQ(replacer.ReplaceInFile(path("notes.txt")), kReplaceFound);
    EXPECT_EQ(readFileBytes(path("data.txt")), "an new text");
    EXPECT_EQ(readFileBytes(path("data.txt.bak")), "older backup");
    EXPECT_EQ(readFileBytes(path("data.txt.bak0")), "an old text");
    EXPECT_EQ(readFileBytes(path("notes.txt")), "new");
    EXPECT_EQ(readFileBytes(posix("NOTES.TXT.BAK")), "earlier");
    EXPECT_EQ(readFileBytes(posix("notes.txt.bak")), "old");
    const std::vector<std::string> names = {"NOTES.TXT.BAK", "data.txt",  "data.txt.bak",
                                            "data.txt.bak0", "notes.txt", "notes.txt.bak"};
    EXPECT_EQ(listNames(drive.root()), names);

    createFile(path("plain.txt"), "old");
    const platform::FileTime written = 131000000000000000ull;
    createFile(path("same.txt"), "nothing here", written, 0600);
    TTextReplacer noBackup(&owner, kModeReplace, fixture.block, false);
    EXPECT_EQ(noBackup.ReplaceInFile(path("plain.txt")), kReplaceFound);
    EXPECT_EQ(readFileBytes(path("plain.txt")), "new");
    EXPECT_EQ(replacer.ReplaceInFile(path("same.txt")), kReplaceNothingFound);
    EXPECT_EQ(readFileBytes(path("same.txt")), "nothing here");
    EXPECT_EQ(test::lastWriteOf(path("same.txt")), written);
    std::vector<std::string> all = names;
    all.insert(all.end(), {"plain.txt", "same.txt"});
    std::sort(all.begin(), all.end());
    EXPECT_EQ(listNames(drive.root()), all);
}

TEST_F(ReplacerFilesTest, RewrittenFileKeepsModeBitsAndTheBackupKeepsTimes)
{
    CommitFixture fixture;
    const platform::FileTime written = 132000000000000000ull;
    createFile(path("mode.txt"), "old", written, 0640);
    createFile(path("ro.txt"), "old", written, 0444);
    TTextReplacer replacer(&owner, kModeReplace, fixture.block, true);
    EXPECT_EQ(replacer.ReplaceInFile(path("mode.txt")), kReplaceFound);
    EXPECT_EQ(test::modeOf(path("mode.txt")) & 07777, 0640u);
    EXPECT_EQ(test::modeOf(path("mode.txt.bak")) & 07777, 0640u);
    EXPECT_EQ(test::lastWriteOf(path("mode.txt.bak")), written);
    EXPECT_NE(test::lastWriteOf(path("mode.txt")), written);
    // A read-only file is rewritten and stays read-only.
    EXPECT_EQ(replacer.ReplaceInFile(path("ro.txt")), kReplaceFound);
    EXPECT_EQ(readFileBytes(path("ro.txt")), "new");
    EXPECT_EQ(test::modeOf(path("ro.txt")) & 07777, 0444u);
    std::uint32_t attributes = 0;
    ASSERT_EQ(platform::getAttributes(path("ro.txt"), attributes), 0u);
    EXPECT_NE(attributes & platform::kAttrReadOnly, 0u);
    EXPECT_EQ(listNames(drive.root()),
              (std::vector<std::string>{"mode.txt", "mode.txt.bak", "ro.txt", "ro.txt.bak"}));
}

struct FailureCase
{
    const char* name;
    const char* faultPath; // a path prefix: "keep.txt" also covers its backup name
    unsigned operations;
    bool backup;
    platform::WinError error = platform::kErrorAccessDenied;
};

TEST_F(ReplacerFilesTest, AnyFailedStepLeavesTheOriginalByteIdentical)
{
    const FailureCase cases[] = {
        {"rename", "keep.txt", platform::kFaultRename, true},
        {"rename, no backup", "keep.txt", platform::kFaultRename, false},
        {"write", ".keep.txt.wux", platform::kFaultWrite, true},
        {"mode bits", ".keep.txt.wux", platform::kFaultAttributes, true},
        {"backup write", ".keep.txt.bak", platform::kFaultWrite, true},
        {"backup create", ".keep.txt.bak", platform::kFaultOpen, true, platform::kErrorDiskFull},
        {"backup times and mode bits", ".keep.txt.bak", platform::kFaultAttributes, true},
        {"backup rename", "keep.txt.bak", platform::kFaultRename, true},
        // Without a backup the new file is made and put in place through the folder held open.
        {"create, no backup", ".keep.txt.wux", platform::kFaultOpen, false, platform::kErrorDiskFull},
        {"write, no backup", ".keep.txt.wux", platform::kFaultWrite, false, platform::kErrorDiskFull},
        {"times and mode bits, no backup", ".keep.txt.wux", platform::kFaultAttributes, false},
        {"rename of the new file, no backup", ".keep.txt.wux", platform::kFaultRename, false},
    };
    CommitFixture fixture;
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const platform::FileTime written = 130000000000000000ull;
        createFile(path("keep.txt"), "an old text", written, 0604);
        platform::injectFault(path(c.faultPath), c.error, c.operations);
        TTextReplacer replacer(&owner, kModeReplace, fixture.block, c.backup);
        EXPECT_EQ(replacer.ReplaceInFile(path("keep.txt")), kReplaceFailed);
        platform::clearFaults();
        EXPECT_EQ(readFileBytes(path("keep.txt")), "an old text");
        EXPECT_EQ(test::lastWriteOf(path("keep.txt")), written);
        EXPECT_EQ(test::modeOf(path("keep.txt")) & 07777, 0604u);
        // Neither the temporary file nor a ".bak" is left.
        EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"keep.txt"});
    }
}

// Names near the file system's limit of 255 bytes: the temporary file's name holds only the first 200
// bytes of the name; a ".bak" name that does not fit is never cut, that one file fails (206) and keeps
// its content.
TEST_F(ReplacerFilesTest, NamesAtTheLengthLimit)
{
    const struct
    {
        std::size_t length;
        bool backup;
        TReplaceResult result;
        platform::WinError backupError;
    } cases[] = {
        {250, true, kReplaceFound, 0},  {252, false, kReplaceFound, 0},   {252, true, kReplaceFailed, 206},
        {255, false, kReplaceFound, 0}, {255, true, kReplaceFailed, 206},
    };
    CommitFixture fixture;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + (c.backup ? " with backup" : ""));
        const std::string name = std::string(c.length - 4, 'n') + ".txt";
        createFile(path(name), "an old text");
        TTextReplacer replacer(&owner, kModeReplace, fixture.block, c.backup);
        EXPECT_EQ(replacer.ReplaceInFile(path(name)), c.result);
        EXPECT_EQ(replacer.backupError(), c.backupError);
        EXPECT_EQ(readFileBytes(path(name)), c.result == kReplaceFound ? "an new text" : "an old text");
        std::vector<std::string> expected{name};
        if (c.result == kReplaceFound && c.backup) {
            expected.push_back(name + ".bak");
            EXPECT_EQ(readFileBytes(path(name + ".bak")), "an old text");
        }
        EXPECT_EQ(listNames(drive.root()), expected);
        for (const std::string& left : listNames(drive.root()))
            std::remove(drive.posix(left).c_str());
    }
    EXPECT_EQ(temporaryName(path(std::string(255, 'n')), 7), path("." + std::string(200, 'n') + ".wux00000007"));
    EXPECT_EQ(temporaryName(path(std::string(199, 'n')), 7), path("." + std::string(199, 'n') + ".wux00000007"));
}

TEST_F(ReplacerFilesTest, SymbolicLinkStaysALinkAndItsTargetIsRewritten)
{
    CommitFixture fixture;
    createFile(path("target.txt"), "an old text", 0, 0640);
    ASSERT_EQ(::symlink(posix("target.txt").c_str(), posix("link.txt").c_str()), 0);
    TTextReplacer replacer(&owner, kModeReplace, fixture.block, true);
    EXPECT_EQ(replacer.ReplaceInFile(path("link.txt")), kReplaceFound);
    EXPECT_TRUE(S_ISLNK(test::modeOf(path("link.txt"))));
    EXPECT_EQ(readFileBytes(path("target.txt")), "an new text");
    EXPECT_EQ(readFileBytes(path("target.txt.bak")), "an old text");
    EXPECT_EQ(test::modeOf(path("target.txt")) & 07777, 0640u);
    EXPECT_EQ(listNames(drive.root()),
              (std::vector<std::string>{"link.txt", "target.txt", "target.txt.bak"}));
}

// ---- Runs killed half-way ----

// What a parent saw of a child's run in a folder: every name that appeared, with its permission bits
// when it was first seen.
struct SeenEntry
{
    std::string name;
    mode_t mode;
};

// Runs replace() in a child process and kills it as soon as a name containing killAt appears in the
// folder (or lets it end); returns the names that appeared meanwhile.
template <typename Replace>
std::vector<SeenEntry> killedRun(const std::string& folder, const char* killAt, Replace replace)
{
    const std::vector<std::string> before = listNames(folder);
    const pid_t child = ::fork();
    if (child == 0) {
        replace();
        ::_exit(0);
    }
    std::vector<SeenEntry> seen;
    bool killed = false;
    for (int status = 0; !killed && ::waitpid(child, &status, WNOHANG) == 0;) {
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr)
            break;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || std::find(before.begin(), before.end(), name) != before.end() ||
                std::any_of(seen.begin(), seen.end(), [&](const SeenEntry& e) { return e.name == name; }))
                continue;
            struct stat st = {};
            if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                seen.push_back({name, st.st_mode});
            if (name.find(killAt) != std::string::npos && !killed) {
                ::kill(child, SIGKILL);
                killed = true;
            }
        }
        ::closedir(dir);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return seen;
}

// A run killed while it writes a backup never leaves a ".bak" that differs from the file; what it
// writes beside a private file is never readable by others, also when the file was reached through a
// link; and the next run in the folder removes what it left, but not what a living writer holds, nor
// leftovers younger than a few seconds.
TEST_F(ReplacerFilesTest, AKilledRunLeavesNoCutBackupAndTheNextRunRemovesItsLeftovers)
{
    const std::string original = "a secret: old\n" + std::string(24 << 20, 's');
    const struct
    {
        const char* title;
        const char* given; // the name the run is given
    } cases[] = {{"the file itself", "secret.txt"}, {"through a link", "link.txt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const std::string folder = posix("dir");
        for (const std::string& name : listNames(folder))
            std::remove((folder + "/" + name).c_str());
        createFile(posix("dir/secret.txt"), original, 0, 0600);
        ASSERT_EQ(::symlink("secret.txt", posix("dir/link.txt").c_str()), 0);
        createFile(posix("dir/other.txt"), "old", 0, 0600);
        CommitFixture fixture;
        const std::vector<SeenEntry> seen = killedRun(folder, "bak", [&] {
            IdleOwner childOwner;
            TTextReplacer replacer(&childOwner, kModeReplace, fixture.block, true);
            replacer.ReplaceInFile(path(std::string("dir\\") + c.given));
        });
        ASSERT_FALSE(seen.empty());
        for (const SeenEntry& e : seen)
            EXPECT_EQ(e.mode & 077, 0u) << e.name << " was readable by others";
        // The file is whole, old or new; a backup under its own name is the whole original.
        const std::string now = readFileBytes(posix("dir/secret.txt"));
        EXPECT_TRUE(now == original || now == "a secret: new\n" + std::string(24 << 20, 's'));
        for (const std::string& name : listNames(folder)) {
            if (name.starts_with("secret.txt.bak")) {
                EXPECT_TRUE(readFileBytes(folder + "/" + name) == original) << name << " is cut short";
            }
        }
        const std::vector<std::string> left = listNames(folder);

        // Another program's living temporary file in the folder.
        int ready[2], done[2];
        ASSERT_EQ(::pipe(ready), 0);
        ASSERT_EQ(::pipe(done), 0);
        const pid_t writer = ::fork();
        if (writer == 0) {
            ::close(done[1]); // (so that the read ends should the test end early)
            platform::FileHandle handle;
            std::string temp;
            platform::createTemporaryBeside(path("dir\\busy.txt"), handle, temp);
            (void)!::write(ready[1], "r", 1);
            char x;
            (void)!::read(done[0], &x, 1);
            ::_exit(0);
        }
        char x = 0;
        ASSERT_EQ(::read(ready[0], &x, 1), 1);

        // Leftovers younger than a few seconds stay.
        {
            TTextReplacer next(&owner, kModeReplace, fixture.block, false);
            EXPECT_EQ(next.ReplaceInFile(path("dir\\other.txt")), kReplaceFound);
        }
        for (const std::string& name : left)
            EXPECT_TRUE(exists(folder + "/" + name)) << name;
        // Older ones go with the next run in the folder; the living writer's stays.
        {
            test::AnyAgeLeftovers anyAge;
            TTextReplacer next(&owner, kModeReplace, fixture.block, false);
            createFile(posix("dir/other.txt"), "old", 0, 0600);
            EXPECT_EQ(next.ReplaceInFile(path("dir\\other.txt")), kReplaceFound);
        }
        std::vector<std::string> kept;
        for (const std::string& name : listNames(folder))
            if (!name.starts_with(".busy.txt.wux"))
                kept.push_back(name);
        std::vector<std::string> expected = {"link.txt", "other.txt", "secret.txt"};
        for (const std::string& name : left)
            if (name.starts_with("secret.txt.bak"))
                expected.push_back(name);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(kept, expected);
        EXPECT_EQ(listNames(folder).size(), kept.size() + 1) << "the living writer's file is gone";
        (void)!::write(done[1], "x", 1);
        int status = 0;
        ::waitpid(writer, &status, 0);
        for (const int fd : {ready[0], ready[1], done[0], done[1]})
            ::close(fd);
    }
}

// ---- Backup copy of documents ----

TEST_F(ReplacerFilesTest, CreateBackUpCopy)
{
    TBaseReplacer replacer(&owner);
    createFile(path("doc.doc"), "document bytes", 0, 0640);
    createFile(path("empty.doc"), "");
    EXPECT_TRUE(replacer.CreateBackUpCopy(path("doc.doc"), 14));
    EXPECT_EQ(readFileBytes(path("doc.doc.bak")), "document bytes");
    EXPECT_EQ(test::modeOf(path("doc.doc.bak")) & 07777, 0640u);
    // The name is taken: the next copy goes to ".bak0".
    EXPECT_TRUE(replacer.CreateBackUpCopy(path("doc.doc"), 14));
    EXPECT_EQ(readFileBytes(path("doc.doc.bak0")), "document bytes");
    // An empty file gives an empty ".bak".
    EXPECT_TRUE(replacer.CreateBackUpCopy(path("empty.doc"), 0));
    EXPECT_TRUE(exists(path("empty.doc.bak")));
    EXPECT_EQ(readFileBytes(path("empty.doc.bak")), "");
    // A missing file: false, nothing made.
    EXPECT_FALSE(replacer.CreateBackUpCopy(path("none.doc"), 3));
    EXPECT_FALSE(exists(path("none.doc.bak")));
    // No backup wanted: true, nothing made.
    replacer.setCreateBackUpCopy(false);
    EXPECT_TRUE(replacer.CreateBackUpCopy(path("empty.doc"), 0));
    EXPECT_FALSE(exists(path("empty.doc.bak0")));
    // A backup folder takes the copy.
    replacer.setCreateBackUpCopy(true);
    test::makeFolder(path("backups"));
    replacer.setBackupFolder(path("backups"));
    EXPECT_TRUE(replacer.CreateBackUpCopy(path("doc.doc"), 14));
    EXPECT_EQ(readFileBytes(path("backups\\doc.doc.bak")), "document bytes");
}

TEST_F(ReplacerFilesTest, StoppedOrFailedBackupCopyLeavesNoPartialFile)
{
    TBaseReplacer replacer(&owner);
    createFile(path("big.doc"), std::string(500000, 'z'));
    // A short file (the size given is larger than the file): the copy fails and is deleted.
    EXPECT_FALSE(replacer.CreateBackUpCopy(path("big.doc"), 600000));
    EXPECT_FALSE(exists(path("big.doc.bak")));
    // Stopped: false, no ".bak".
    owner.Terminate();
    EXPECT_FALSE(replacer.CreateBackUpCopy(path("big.doc"), 500000));
    EXPECT_EQ(listNames(drive.root()), std::vector<std::string>{"big.doc"});
}

// ---- Folders ----

TEST_F(ReplacerFilesTest, MoveToFolderNumbersTakenNames)
{
    test::makeFolder(path("out"));
    createFile(path("out\\report.txt"), "1");
    createFile(path("out\\report(0).txt"), "2");
    createFile(path("a\\report.txt"), "3");
    MoveToFolder(path("out") + "\\", path("a\\report.txt"), path("a\\report.txt"));
    EXPECT_EQ(readFileBytes(path("out\\report(1).txt")), "3");
    EXPECT_FALSE(exists(path("a\\report.txt")));
    // No folder or no name: nothing happens.
    createFile(path("a\\x.txt"), "4");
    MoveToFolder("", path("a\\x.txt"), path("a\\x.txt"));
    MoveToFolder(path("out") + "\\", "", path("a\\x.txt"));
    EXPECT_TRUE(exists(path("a\\x.txt")));
}

TEST_F(ReplacerFilesTest, CommitWithOutputAndBackupFolders)
{
    CommitFixture fixture;
    test::makeFolder(path("out"));
    test::makeFolder(path("bak"));
    createFile(path("w\\f.txt"), "old one");
    createFile(path("w\\g.txt"), "nothing");
    TTextReplacer replacer(&owner, kModeReplace, fixture.block, false);
    replacer.setOutputFolder(path("out") + "\\");
    replacer.setBackupFolder(path("bak") + "\\");
    EXPECT_EQ(replacer.ReplaceInFile(path("w\\f.txt")), kReplaceFound);
    EXPECT_EQ(readFileBytes(path("out\\f.txt")), "new one");
    // The backup folder makes a backup even with the flag off; it is moved there under its own name.
    EXPECT_EQ(readFileBytes(path("bak\\f.txt.bak")), "old one");
    // A file without matches is moved to the output folder too.
    EXPECT_EQ(replacer.ReplaceInFile(path("w\\g.txt")), kReplaceNothingFound);
    EXPECT_EQ(readFileBytes(path("out\\g.txt")), "nothing");
    EXPECT_TRUE(listNames(drive.posix("w")).empty());
}

} // namespace
} // namespace wux::engines
