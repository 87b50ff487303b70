// The file-operation engine: target names and target parsing, copying files and trees with their
// contents, times and modes, progress figures, copying onto itself, symbolic links, stopping in the
// middle of a large file, and the boxes of failed system calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "core/text_table.h"
#include "file_operations_fixture.h"
#include "filelist/name_mask.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace wux::filelist::test {
namespace {

using wux::test::createFile;
using wux::test::exists;
using wux::test::lastWriteOf;
using wux::test::listNames;
using wux::test::makeFolder;
using wux::test::modeOf;
using wux::test::readFileBytes;

using Names = std::vector<std::string>;

constexpr platform::FileTime kTime = 132'000'000'000'000'000ull; // a day in 2019
constexpr platform::FileTime kHour = 3600ull * 10'000'000;
const std::string kItself =
    box("Wuxtool", "You cannot copy a file to itself!", platform::MsgIcon::Information);

TEST(NameMask, Table)
{
    struct Case
    {
        const char* mask;
        const char* name;
        const char* result;
    };
    const Case cases[] = {
        {"*.bak", "report.txt", "report.bak"},
        {"*.*", "README", "README"},
        {"*.*.old", "a.txt", "a.txt.old"},
        {"?_*", "abc.d", "a_abc"},
        {"*.?", "a.txt", "a.t"},
        {"", "same.txt", "same.txt"},
        {"new.txt", "old.doc", "new.txt"},
        {"*", "a.b.c", "a.b"},
        {"*.*", "a.b.c", "a.b.c"},
        {"x?????", "ab", "xb"},
        {"??.*", "abcdef.txt", "ab.txt"},
        {"*.", "a.txt", "a"},
        {"pre_*.*", "z.tar", "pre_z.tar"},
        {"*.t?t", "n.doc", "n.tot"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ApplyNameMask(c.mask, c.name), c.result) << c.mask << " " << c.name;
}

TEST(NameMask, NumberedNames)
{
    EXPECT_EQ(NumberedName("report.txt", 1), "report[1].txt");
    EXPECT_EQ(NumberedName("a.b.c", 12), "a.b[12].c");
    EXPECT_EQ(NumberedName("README", 1), "README[1]");
    EXPECT_EQ(NumberedName(".profile", 2), ".profile[2]");
}

class TargetParsing : public FileOperationsTest
{
};

TEST_F(TargetParsing, RelativeRootAbsoluteAndInvalidTargets)
{
    makeFolder(posix("src/sub"));
    makeFolder(posix("dst"));
    makeFolder(posix("dst/inner"));
    const std::string source = path("src");
    struct Case
    {
        std::string target;
        std::int32_t selected;
        bool valid;
        std::string dir;
        std::string name;
        bool inPlace;
    };
    const std::vector<Case> cases = {
        {"sub\\", 1, true, source + "\\sub\\", "", false},
        {"sub\\*.bak", 2, true, source + "\\sub\\", "*.bak", false},
        {"..\\dst\\", 1, true, source + "\\..\\dst\\", "", false},
        {"\\dst\\x.txt", 1, true, path("dst\\"), "x.txt", false},
        {path("dst\\"), 3, true, path("dst\\"), "", false},
        {path("dst\\inner"), 3, true, path("dst\\inner\\"), "", false},
        {path("dst\\new.txt"), 1, true, path("dst\\"), "new.txt", false},
        {"new.txt", 1, true, "", "new.txt", true},
        {"*.bak", 3, true, "", "*.bak", false},
        {path("missing\\"), 1, false, path("missing\\"), "", false},
        {"nothere\\", 1, false, source + "\\nothere\\", "", false},
    };
    for (const Case& c : cases) {
        dialogs.clear();
        TOperationTarget target;
        EXPECT_EQ(ParseOperationTarget(c.target, source, c.selected, "Wuxtool", target), c.valid) << c.target;
        if (c.valid) {
            EXPECT_EQ(target.Dir, c.dir) << c.target;
            EXPECT_EQ(target.Name, c.name) << c.target;
            EXPECT_EQ(target.renameInPlace, c.inPlace) << c.target;
            EXPECT_TRUE(dialogs.records().empty());
        } else {
            EXPECT_EQ(boxes(), Names{box("Wuxtool", "The given target path\r\n" + c.dir + "\r\nis invalid!",
                                         platform::MsgIcon::Warning)});
        }
    }
}

TEST_F(TargetParsing, RelativeTargetWithoutSourceFolderIsInvalid)
{
    TOperationTarget target;
    EXPECT_FALSE(ParseOperationTarget("sub\\", "", 1, "Wuxtool", target));
    EXPECT_FALSE(ParseOperationTarget("\\sub\\", "", 1, "Wuxtool", target));
    EXPECT_EQ(dialogs.records().size(), 2U);
}

TEST_F(TargetParsing, SeveralItemsToOneFileAreRefused)
{
    makeFolder(posix("src"));
    for (const char* name : {"a.txt", "b.txt"})
        createFile(posix(std::string("src/") + name), name);
    makeFolder(posix("dst"));
    openFolder("src");
    select({"a.txt", "b.txt"});
    EXPECT_FALSE(run(TFileOperationKind::Copy, path("dst\\x.txt")));
    EXPECT_EQ(boxes(), Names{box("Wuxtool", "You cannot move or copy more than one file to a single file!",
                                 platform::MsgIcon::Warning)});
    EXPECT_TRUE(wux::test::listNames(posix("dst")).empty());

    // With a mask each file gets its own name.
    dialogs.clear();
    openFolder("src");
    select({"a.txt", "b.txt"});
    EXPECT_TRUE(run(TFileOperationKind::Copy, path("dst\\*.bak")));
    EXPECT_EQ(wux::test::listNames(posix("dst")), (std::vector<std::string>{"a.bak", "b.bak"}));
    EXPECT_EQ(readFileBytes(posix("dst/b.bak")), "b.txt");
}

// A bare name or mask copies or moves the one item beside itself; the cursor goes to the new name.
TEST_F(TargetParsing, BareNameRenamesInPlaceAndSetsTheCursorName)
{
    const struct
    {
        TFileOperationKind kind;
        const char* target;
        const char* cursor;
        std::vector<std::string> names;
    } cases[] = {
        {TFileOperationKind::Copy, "new.txt", "new.txt", {"a.txt", "new.txt"}},
        {TFileOperationKind::Copy, "*.bak", "a.bak", {"a.bak", "a.txt"}},
        {TFileOperationKind::Copy, "?_*.*", "a_a.txt", {"a.txt", "a_a.txt"}},
        {TFileOperationKind::Move, "*.old", "a.old", {"a.old"}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(posix("src"));
        createFile(posix("src/a.txt"), "alpha", kTime);
        openFolder("src");
        select({"a.txt"});
        listing.cursorName = "unset";
        ASSERT_TRUE(run(c.kind, c.target)) << c.target;
        EXPECT_EQ(wux::test::listNames(posix("src")), c.names) << c.target;
        EXPECT_EQ(readFileBytes(posix(std::string("src/") + c.cursor)), "alpha") << c.target;
        EXPECT_EQ(listing.cursorName, c.cursor) << c.target;
    }
    // A target folder is no rename in place: the cursor name stays.
    makeFolder(posix("dst"));
    openFolder("src");
    select({"a.old"});
    listing.cursorName = "unset";
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(listing.cursorName, "unset");
}

TEST_F(TargetParsing, RootTargetMeansTheRootOfTheSourceDrive)
{
    createFile(posix("deep/src/a.txt"), "alpha");
    makeFolder(posix("top"));
    openFolder("deep\\src");
    select({"a.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, "\\top\\"));
    EXPECT_EQ(readFileBytes(posix("top/a.txt")), "alpha");
    EXPECT_FALSE(exists(posix("deep/src/top")));
}

class CopyTest : public FileOperationsTest
{
};

TEST_F(CopyTest, FilesKeepContentsTimesAndModes)
{
    createFile(posix("src/plain.txt"), "plain data", kTime, 0640);
    createFile(posix("src/locked.txt"), "read only", kTime + kHour, 0444);
    createFile(posix("src/empty.dat"), "", kTime + 2 * kHour, 0600);
    makeFolder(posix("dst"));
    openFolder("src");
    select({"plain.txt", "locked.txt", "empty.dat"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    for (const char* name : {"plain.txt", "locked.txt", "empty.dat"}) {
        const std::string from = posix(std::string("src/") + name);
        const std::string to = posix(std::string("dst/") + name);
        EXPECT_EQ(readFileBytes(to), readFileBytes(from)) << name;
        EXPECT_EQ(lastWriteOf(to), lastWriteOf(from)) << name;
        EXPECT_EQ(modeOf(to), modeOf(from)) << name;
    }
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(dialogs.records().empty());
    EXPECT_EQ(ui.closeCommands, 1);
    // Listing items are unmarked.
    EXPECT_EQ((RecalcSelection(listing), listing.selectedCount), 0);
}

// Files of every size around the copy's chunk, to a folder of the same file system (copied inside
// the system) and of another one (read and written), and a move to another drive: bytes, modes and
// times of files and folders as the source's.
TEST_F(CopyTest, TreesKeepBytesModesAndTimesOnAnyFileSystem)
{
    const struct
    {
        char letter;
        TFileOperationKind kind;
    } targets[] = {
        {'c', TFileOperationKind::Copy},
        {'e', TFileOperationKind::Copy},
        {'e', TFileOperationKind::Move},
    };
    const std::size_t sizes[] = {0, 1, kCopyBufferSize - 1, kCopyBufferSize + 7, 2 * kCopyBufferSize};
    // (on /dev/shm, another file system, where there is one)
    if (!drive.addDrive('e', platform::kDriveFixed, true)) {
        ASSERT_TRUE(drive.addDrive('e'));
    }
    const auto folderTime = [](int days) { return static_cast<std::time_t>(1'000'000'000 + days * 86'400); };
    for (const auto& target : targets) {
        SCOPED_TRACE(std::string(1, target.letter) +
                     (target.kind == TFileOperationKind::Move ? " move" : " copy"));
        std::filesystem::remove_all(posix("src"));
        std::filesystem::remove_all(posix("dst", target.letter));
        std::vector<std::string> files;
        for (std::size_t i = 0; i < std::size(sizes); ++i) {
            std::string bytes(sizes[i], '\0');
            for (std::size_t b = 0; b < bytes.size(); ++b)
                bytes[b] = static_cast<char>((b * 31 + i) % 251);
            files.push_back("tree/" + std::string(i % 2 ? "sub/" : "") + "f" + std::to_string(i));
            createFile(posix("src/" + files.back()), bytes, kTime + i * kHour, i == 3 ? 0444 : 0640);
        }
        makeFolder(posix("src/tree/sub/empty"));
        const std::vector<std::pair<std::string, int>> folders = {
            {"tree/sub/empty", 3}, {"tree/sub", 2}, {"tree", 1}};
        for (const auto& [folder, days] : folders) {
            const struct timespec times[2] = {{folderTime(days + 10), 0}, {folderTime(days), 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, posix("src/" + folder).c_str(), times, 0), 0);
        }
        std::vector<std::string> expected;
        for (const std::string& file : files)
            expected.push_back(readFileBytes(posix("src/" + file)));
        makeFolder(posix("dst", target.letter));
        openFolder("src");
        select({"tree"});
        ASSERT_TRUE(run(target.kind, path("dst\\", target.letter)));
        EXPECT_TRUE(dialogs.records().empty());
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string to = posix("dst/" + files[i], target.letter);
            EXPECT_EQ(readFileBytes(to), expected[i]) << files[i];
            EXPECT_EQ(lastWriteOf(to), kTime + i * kHour) << files[i];
            EXPECT_EQ(modeOf(to) & 07777, i == 3 ? 0444u : 0640u) << files[i];
        }
        for (const auto& [folder, days] : folders) {
            struct stat st = {};
            ASSERT_EQ(::stat(posix("dst/" + folder, target.letter).c_str(), &st), 0) << folder;
            EXPECT_EQ(st.st_mtim.tv_sec, folderTime(days)) << folder;
            EXPECT_EQ(st.st_mtim.tv_nsec, 0) << folder;
        }
        EXPECT_EQ(exists(posix("src/tree")), target.kind == TFileOperationKind::Copy);
    }
}

TEST_F(CopyTest, TreeIsCopiedWithItsFolders)
{
    createFile(posix("src/tree/a.txt"), "a", kTime);
    createFile(posix("src/tree/sub/b.txt"), "bb", kTime);
    createFile(posix("src/tree/sub/deeper/c.txt"), "ccc", kTime);
    makeFolder(posix("src/tree/empty"));
    makeFolder(posix("dst"));
    openFolder("src");
    select({"tree"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(readFileBytes(posix("dst/tree/a.txt")), "a");
    EXPECT_EQ(readFileBytes(posix("dst/tree/sub/b.txt")), "bb");
    EXPECT_EQ(readFileBytes(posix("dst/tree/sub/deeper/c.txt")), "ccc");
    EXPECT_TRUE(exists(posix("dst/tree/empty")));
    EXPECT_EQ(lastWriteOf(posix("dst/tree/sub/deeper/c.txt")), kTime);
    EXPECT_EQ(filesTotal, 3);
    EXPECT_EQ(filesDone, 3);
    EXPECT_EQ(bytesTotal, 6U);
    EXPECT_EQ(bytesDone, 6U);
    // The source is untouched.
    EXPECT_EQ(readFileBytes(posix("src/tree/sub/b.txt")), "bb");
}

TEST_F(CopyTest, ProgressByBytesAndNames)
{
    createFile(posix("src/one.bin"), std::string(3000, 'x'));
    createFile(posix("src/two.bin"), std::string(1000, 'y'));
    makeFolder(posix("dst"));
    openFolder("src");
    select({"one.bin", "two.bin"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    ASSERT_FALSE(ui.progress.empty());
    EXPECT_EQ(ui.progress.back(), std::make_pair(100, 100));
    // After the first file: 3000 of 4000 bytes.
    bool sawThreeQuarters = false;
    for (const auto& [overall, file] : ui.progress)
        sawThreeQuarters = sawThreeQuarters || (overall == 75 && file == 100);
    EXPECT_TRUE(sawThreeQuarters);
    ASSERT_FALSE(ui.names.empty());
    EXPECT_EQ(ui.names.front().first, path("src\\one.bin"));
    EXPECT_EQ(ui.names.front().second, path("dst\\one.bin"));
}

TEST_F(CopyTest, CopyOntoItselfIsRefusedWithoutTouchingTheFile)
{
    createFile(posix("src/a.txt"), "keep me", kTime);
    ASSERT_EQ(::link(posix("src/a.txt").c_str(), posix("src/hard.txt").c_str()), 0);
    ASSERT_EQ(::symlink("a.txt", posix("src/soft.txt").c_str()), 0);
    makeFolder(posix("src/dir/sub"));
    struct Case
    {
        const char* item;
        std::string target;
    };
    const std::vector<Case> cases = {
        {"a.txt", path("SRC\\a.txt")},    // a typed folder in another case
        {"a.txt", path("src\\hard.txt")}, // a hard link of it
        {"a.txt", path("src\\soft.txt")}, // a symbolic link to it
        {"dir", path("src\\dir\\sub\\")}, // a folder into its own subfolder
        {"dir", path("src\\")},           // a folder onto itself
    };
    for (const Case& c : cases) {
        dialogs.clear();
        ui.questions.clear();
        openFolder("src");
        select({c.item});
        ASSERT_TRUE(run(TFileOperationKind::Copy, c.target)) << c.target;
        EXPECT_EQ(boxes(), Names{kItself}) << c.target;
        EXPECT_TRUE(stoppedByRun);
        EXPECT_TRUE(ui.questions.empty());
        EXPECT_EQ(readFileBytes(posix("src/a.txt")), "keep me") << c.target;
        EXPECT_EQ(lastWriteOf(posix("src/a.txt")), kTime);
    }
    EXPECT_FALSE(exists(posix("src/dir/sub/dir")));
}

TEST_F(CopyTest, ANewNameThatDiffersOnlyInCaseIsAnotherFile)
{
    createFile(posix("src/a.txt"), "keep me", kTime);
    for (const std::string& target : {std::string("A.TXT"), path("SRC\\A.txt")}) {
        dialogs.clear();
        openFolder("src");
        select({"a.txt"});
        ASSERT_TRUE(run(TFileOperationKind::Copy, target)) << target;
        EXPECT_EQ(boxes(), Names{}) << target;
        EXPECT_TRUE(ui.questions.empty()) << target;
    }
    EXPECT_EQ(listNames(posix("src")), (Names{"A.TXT", "A.txt", "a.txt"}));
    for (const char* name : {"src/A.TXT", "src/A.txt", "src/a.txt"})
        EXPECT_EQ(readFileBytes(posix(name)), "keep me") << name;
}

TEST_F(CopyTest, SymbolicLinksAreCopiedAsLinksAndNeverFollowed)
{
    createFile(posix("outside/big.txt"), "outside data");
    createFile(posix("src/tree/file.txt"), "f");
    ASSERT_EQ(::symlink(posix("outside").c_str(), posix("src/tree/dirlink").c_str()), 0);
    ASSERT_EQ(::symlink("file.txt", posix("src/tree/filelink").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", posix("src/tree/broken").c_str()), 0);
    makeFolder(posix("dst"));
    openFolder("src");
    select({"tree"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    for (const char* name : {"dirlink", "filelink", "broken"}) {
        const std::string copy = posix(std::string("dst/tree/") + name);
        EXPECT_TRUE(S_ISLNK(modeOf(copy))) << name;
        char text[4096] = {};
        const ssize_t n = ::readlink(copy.c_str(), text, sizeof text - 1);
        ASSERT_GT(n, 0) << name;
        char original[4096] = {};
        ASSERT_GT(::readlink(posix(std::string("src/tree/") + name).c_str(), original, sizeof original - 1),
                  0);
        EXPECT_STREQ(text, original) << name;
    }
    EXPECT_EQ(readFileBytes(posix("dst/tree/file.txt")), "f");
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(dialogs.records().empty());
}

// While a file is copied its data lives under a hidden temporary name: a copy killed half-way leaves no
// truncated file under the target's name, and the finished copy takes the name with its time and mode.
TEST_F(CopyTest, AFileTakesItsNameOnlyWhenItsCopyIsComplete)
{
    const std::string data(2 * kCopyBufferSize + 7, 'q');
    createFile(posix("src/large.bin"), data, kTime, 0640);
    makeFolder(posix("dst"));
    openFolder("src");
    select({"large.bin"});
    std::vector<Names> midway;
    ui.onProgress = [&](std::int32_t, std::int32_t file) {
        if (file > 0 && file < 100)
            midway.push_back(listNames(posix("dst")));
    };
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    ASSERT_FALSE(midway.empty());
    for (const Names& names : midway) {
        ASSERT_EQ(names.size(), 1U);
        EXPECT_TRUE(names[0].starts_with(".large.bin.wux")) << names[0];
    }
    EXPECT_EQ(listNames(posix("dst")), Names{"large.bin"});
    EXPECT_EQ(readFileBytes(posix("dst/large.bin")), data);
    EXPECT_EQ(lastWriteOf(posix("dst/large.bin")), kTime);
    EXPECT_EQ(modeOf(posix("dst/large.bin")) & 0777, 0640U);
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(CopyTest, StopInTheMiddleOfALargeFileRemovesThePartialTarget)
{
    const std::string data(3 * kCopyBufferSize + 12345, 'z');
    createFile(posix("src/large.bin"), data, kTime);
    createFile(posix("src/later.txt"), "later");
    makeFolder(posix("dst"));
    openFolder("src");
    select({"large.bin", "later.txt"});
    ui.onProgress = [this](std::int32_t, std::int32_t file) {
        if (file > 0 && file < 100 && current != nullptr)
            current->Terminate();
    };
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_TRUE(stoppedByRun);
    EXPECT_FALSE(exists(posix("dst/large.bin")));
    EXPECT_FALSE(exists(posix("dst/later.txt")));
    EXPECT_TRUE(wux::test::listNames(posix("dst")).empty());
    EXPECT_EQ(readFileBytes(posix("src/large.bin")), data);
    EXPECT_EQ(lastWriteOf(posix("src/large.bin")), kTime);
    EXPECT_EQ(ui.closeCommands, 1);
}

// A copy that fails at any step, up to closing (and for a move, flushing) its target, shows the
// step's box and leaves nothing in the target folder; the source stays as it was.
TEST_F(CopyTest, FailedStepsShowTheStepsBoxAndLeaveNoTarget)
{
    struct Case
    {
        platform::FaultOperation operation;
        const char* prefix;
        platform::WinError code;
        const char* caption;
        const char* bytes = "source bytes";
        mode_t mode = 0644;
        TFileOperationKind kind = TFileOperationKind::Copy;
        char target = 'c';
    };
    ASSERT_TRUE(drive.addDrive('d'));
    const Case cases[] = {
        {platform::kFaultRead, "c:\\src\\a.txt", 30, "READ FROM FILE: Error 30"},
        {platform::kFaultWrite, "c:\\dst\\", 112, "WRITE TO FILE: Error 112"},
        {platform::kFaultAttributes, "c:\\dst\\", 5, "SetFileTime: Error 5"},
        // A read-only source makes a read-only target: it is removed all the same.
        {platform::kFaultRead, "c:\\src\\a.txt", 30, "READ FROM FILE: Error 30", "source bytes", 0444},
        // Nothing to write: the failure comes when the target is closed.
        {platform::kFaultWrite, "c:\\dst\\", 112, "CloseHandle Write: Error 112", ""},
        {platform::kFaultWrite, "c:\\dst\\", 112, "CloseHandle Write: Error 112", "", 0444},
        // A move to another drive flushes the target before the source goes.
        {platform::kFaultWrite, "d:\\dst\\", 112, "WRITE TO FILE: Error 112", "", 0644,
         TFileOperationKind::Move, 'd'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.caption) + " mode " + std::to_string(c.mode) + " " + c.bytes);
        platform::clearFaults();
        std::filesystem::remove_all(posix("src"));
        createFile(posix("src/a.txt"), c.bytes, kTime, c.mode);
        makeFolder(posix("dst", c.target));
        dialogs.clear();
        platform::injectFault(c.prefix, c.code, c.operation);
        openFolder("src");
        select({"a.txt"});
        ASSERT_TRUE(run(c.kind, path("dst\\", c.target)));
        EXPECT_EQ(boxes(), Names{box(c.caption, platform::errorText(c.code), platform::MsgIcon::Warning)});
        EXPECT_TRUE(!dialogs.records().empty() && dialogs.records()[0].onGuiThread);
        EXPECT_EQ(wux::test::listNames(posix("dst", c.target)), std::vector<std::string>{});
        EXPECT_EQ(readFileBytes(posix("src/a.txt")), c.bytes);
        EXPECT_EQ(modeOf(posix("src/a.txt")) & 0777, c.mode);
        EXPECT_FALSE(stoppedByRun);
    }
}

// A step that fails asks with the step's number; "Yes" tries it again, "No" skips the file.
TEST_F(CopyTest, FailedStepsAskAndRetryThenSkip)
{
    const struct
    {
        platform::FaultOperation operation;
        const char* prefix;
        platform::WinError code;
        const char* caption;
        std::uint64_t bytes; // counted as done (the size, when it can be read)
    } cases[] = {
        {platform::kFaultOpen, "src\\a.txt", platform::kErrorSharingViolation, "Error file copy 1", 3},
        {platform::kFaultAttributes, "src\\a.txt", platform::kErrorAccessDenied, "Error file copy 2", 0},
        {platform::kFaultOpen, "dst\\", platform::kErrorAccessDenied, "Error file copy 4", 3},
    };
    createFile(posix("src/a.txt"), "abc");
    makeFolder(posix("dst"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        ui.questions.clear();
        platform::clearFaults();
        platform::injectFault(path(c.prefix), c.code, c.operation);
        openFolder("src");
        select({"a.txt"});
        // Retry once (still failing), then Skip.
        answer({ConfirmationAnswer::Yes, ConfirmationAnswer::No});
        ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
        ASSERT_EQ(ui.questions.size(), 2U);
        EXPECT_EQ(asked(0), question(ConfirmationKind::StepFailed, c.caption, path("src\\a.txt"),
                                     platform::errorText(c.code)));
        EXPECT_EQ(ui.unscripted, 0);
        EXPECT_EQ(wux::test::listNames(posix("dst")), std::vector<std::string>{});
        EXPECT_FALSE(stoppedByRun);
        EXPECT_EQ(bytesDone, c.bytes);
    }
    platform::clearFaults();
    platform::injectFault(path("src\\a.txt"), platform::kErrorSharingViolation, platform::kFaultOpen);

    // Abort stops the run.
    ui.questions.clear();
    createFile(posix("src/b.txt"), "b");
    openFolder("src");
    select({"a.txt", "b.txt"});
    answer({ConfirmationAnswer::Cancel});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(ui.questions.size(), 1U);
    EXPECT_TRUE(stoppedByRun);
    EXPECT_FALSE(exists(posix("dst/b.txt")));
}

// A folder whose name begins with the source's name is not inside the source.
TEST_F(CopyTest, AFolderBesideTheSourceWithALongerNameTakesTheCopy)
{
    createFile(posix("dir/a.txt"), "alpha");
    makeFolder(posix("dir2"));
    openFolder("");
    select({"dir"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dir2\\")));
    EXPECT_EQ(readFileBytes(posix("dir2/dir/a.txt")), "alpha");
    openFolder("");
    select({"dir"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dir2\\dir\\")));
    EXPECT_EQ(readFileBytes(posix("dir2/dir/dir/a.txt")), "alpha");
    EXPECT_FALSE(exists(posix("dir")));
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(CopyTest, TargetFolderWhereAFileHasItsNameAsksInsteadOfLooping)
{
    createFile(posix("src/tree/a.txt"), "a");
    createFile(posix("dst/tree"), "a file in the way");
    openFolder("src");
    select({"tree"});
    answer({ConfirmationAnswer::Yes, ConfirmationAnswer::No});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    ASSERT_EQ(ui.questions.size(), 2U);
    EXPECT_EQ(asked(0), question(ConfirmationKind::DirectoryNotCreated, "", path("dst\\tree"),
                                 platform::errorText(platform::kErrorAlreadyExists)));
    EXPECT_EQ(readFileBytes(posix("dst/tree")), "a file in the way");
    EXPECT_FALSE(stoppedByRun);
}

// File operations where a user could lose a file: folders copied or moved into themselves through
// another drive letter, moves between drives onto the source itself, folders that cannot be listed,
// and copies that cannot be flushed before their source is removed.

using wux::test::listNames;
using A = ConfirmationAnswer;
using Names = std::vector<std::string>;

// A drive whose root lies inside the folder being copied: the copy would run into itself.
TEST_F(FileOperationsTest, CopyIntoADriveWhoseRootIsInsideTheFolderIsRefused)
{
    createFile(posix("src/dir/a.txt"), "alpha", kTime);
    makeFolder(posix("src/dir/inner"));
    drive.mapDrive('d', posix("src/dir/inner"));
    openFolder("src");
    select({"dir"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, "d:\\"));
    EXPECT_EQ(boxes(), Names{kItself});
    EXPECT_TRUE(stoppedByRun);
    EXPECT_EQ(listNames(posix("src/dir/inner")), Names{});
    EXPECT_EQ(readFileBytes(posix("src/dir/a.txt")), "alpha");
}

// A move between drives into the folder itself: refused, and nothing of the source is removed.
TEST_F(FileOperationsTest, MoveBetweenDrivesIntoTheFolderItselfKeepsEverything)
{
    createFile(posix("src/dir/a.txt"), "alpha", kTime);
    makeFolder(posix("src/dir/empty/deeper"));
    makeFolder(posix("src/dir/inner"));
    struct Case
    {
        std::string root; // the POSIX root of d:
        std::string target;
    };
    const std::vector<Case> cases = {
        {posix("src"), "d:\\"},            // d:\dir is c:\src\dir itself
        {posix("src/dir/inner"), "d:\\"},  // d:\dir lies inside c:\src\dir
        {posix("src/dir"), "d:\\empty\\"}, // d:\empty\dir lies inside c:\src\dir
    };
    for (const Case& c : cases) {
        drive.mapDrive('d', c.root);
        dialogs.clear();
        ui.questions.clear();
        openFolder("src");
        select({"dir"});
        ASSERT_TRUE(run(TFileOperationKind::Move, c.target)) << c.target;
        EXPECT_EQ(readFileBytes(posix("src/dir/a.txt")), "alpha") << c.target;
        EXPECT_TRUE(exists(posix("src/dir/empty/deeper"))) << c.target;
        EXPECT_EQ(listNames(posix("src/dir")), (Names{"a.txt", "empty", "inner"})) << c.target;
        EXPECT_EQ(listNames(posix("src/dir/inner")), Names{}) << c.target;
        EXPECT_TRUE(stoppedByRun) << c.target;
        EXPECT_EQ(boxes(), Names{kItself}) << c.target;
    }
}

// A move between drives onto the source itself (another drive letter, a link to it) is a refused copy
// onto itself: the source is never deleted.
TEST_F(FileOperationsTest, MoveBetweenDrivesOntoTheSourceItselfKeepsIt)
{
    createFile(posix("src/a.txt"), "alpha", kTime);
    createFile(posix("src/b.txt"), "beta", kTime);
    makeFolder(posix("dst"));
    ASSERT_EQ(::symlink(posix("src/b.txt").c_str(), posix("dst/b.txt").c_str()), 0);
    GeneralCheckContainer = kOptionShowHidden; // overwrite without asking
    struct Case
    {
        const char* item;
        std::string root; // of d:
        const char* target;
    };
    const std::vector<Case> cases = {
        {"a.txt", posix("src"), "d:\\"},
        {"b.txt", posix("dst"), "d:\\"},
    };
    for (const Case& c : cases) {
        drive.mapDrive('d', c.root);
        dialogs.clear();
        openFolder("src");
        select({c.item});
        ASSERT_TRUE(run(TFileOperationKind::Move, c.target));
        EXPECT_EQ(boxes(), Names{kItself}) << c.item;
    }
    EXPECT_EQ(readFileBytes(posix("src/a.txt")), "alpha");
    EXPECT_EQ(readFileBytes(posix("src/b.txt")), "beta");
    EXPECT_TRUE(S_ISLNK(wux::test::modeOf(posix("dst/b.txt"))));
}

// A folder that cannot be listed is a failure the user hears of (a question naming it), never an
// empty copy reported as done; a move between drives or a delete keeps it.
TEST_F(FileOperationsTest, FolderThatCannotBeListedAsksAndKeepsItsFiles)
{
    ASSERT_TRUE(drive.addDrive('d'));
    createFile(posix("src/dir/a.txt"), "alpha", kTime);
    createFile(posix("src/dir/sub/b.txt"), "beta", kTime);
    makeFolder(posix("dst", 'd'));
    GeneralCheckContainer = kOptionShowHidden | kOptionDeleteNonEmptyDirsSilently;
    const TFileOperationKind kinds[] = {TFileOperationKind::Copy, TFileOperationKind::Move,
                                        TFileOperationKind::Delete};
    for (const TFileOperationKind kind : kinds) {
        platform::clearFaults();
        platform::injectFault(path("src\\dir\\sub"), platform::kErrorAccessDenied, platform::kFaultList);
        dialogs.clear();
        ui.questions.clear();
        answer({A::No}); // skip the folder
        openFolder("src");
        select({"dir"});
        ASSERT_TRUE(run(kind, kind == TFileOperationKind::Delete ? "" : path("dst\\", 'd')));
        ASSERT_EQ(ui.questions.size(), 1U) << static_cast<int>(kind);
        EXPECT_EQ(asked(0), question(ConfirmationKind::StepFailed, ui.questions[0].caption,
                                     path("src\\dir\\sub"), "Access is denied."));
        EXPECT_EQ(readFileBytes(posix("src/dir/sub/b.txt")), "beta");
        EXPECT_FALSE(stoppedByRun);
        if (kind == TFileOperationKind::Copy) {
            EXPECT_EQ(readFileBytes(posix("src/dir/a.txt")), "alpha");
            EXPECT_EQ(readFileBytes(posix("dst/dir/a.txt", 'd')), "alpha");
        }
        platform::clearFaults();
        std::filesystem::remove_all(posix("dst/dir", 'd'));
        createFile(posix("src/dir/a.txt"), "alpha", kTime);
    }
}

// A copy of a folder that cannot be listed, aborted or skipped, leaves no empty copy of it in the
// target; a target folder that was there before stays, and so does one that got files.
TEST_F(FileOperationsTest, AFolderThatCannotBeListedLeavesNoEmptyCopyBehind)
{
    ASSERT_TRUE(drive.addDrive('d'));
    createFile(posix("src/dir/a.txt"), "alpha", kTime);
    createFile(posix("src/dir/sub/b.txt"), "beta", kTime);
    makeFolder(posix("dst", 'd'));
    const struct
    {
        const char* unreadable;
        A answerGiven;
        bool targetThere;
        std::vector<std::string> left; // in d:\dst after the run
    } cases[] = {
        {"src\\dir", A::Cancel, false, {}},
        {"src\\dir", A::No, false, {}},
        {"src\\dir", A::Cancel, true, {"dir"}},
        {"src\\dir\\sub", A::No, false, {"dir", "dir/a.txt"}},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.unreadable) + " " + std::to_string(static_cast<int>(c.answerGiven));
        std::filesystem::remove_all(posix("dst/dir", 'd'));
        if (c.targetThere)
            makeFolder(posix("dst/dir", 'd'));
        platform::clearFaults();
        platform::injectFault(path(c.unreadable), platform::kErrorAccessDenied, platform::kFaultList);
        ui.questions.clear();
        answer({c.answerGiven});
        openFolder("src");
        select({"dir"});
        ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\", 'd'))) << what;
        EXPECT_EQ(ui.questions.size(), 1U) << what;
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(posix("dst", 'd')))
            left.push_back(entry.path().lexically_relative(posix("dst", 'd')).string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, c.left) << what;
        EXPECT_EQ(readFileBytes(posix("src/dir/sub/b.txt")), "beta") << what;
    }
    platform::clearFaults();
}

// A move between drives removes the source only when its copy is safely on the disk: a copy that
// cannot be flushed is removed and the source stays.
TEST_F(FileOperationsTest, MoveBetweenDrivesKeepsTheSourceWhenTheCopyCannotBeFlushed)
{
    ASSERT_TRUE(drive.addDrive('d'));
    createFile(posix("src/a.txt"), "alpha", kTime);
    makeFolder(posix("dst", 'd'));
    const std::string target = path("dst\\.a.txt", 'd'); // the copy's temporary name
    ui.onProgress = [&](std::int32_t, std::int32_t file) {
        if (file == 100) // every byte written: the disk now refuses to take them
            platform::injectFault(target, platform::kErrorDiskFull, platform::kFaultWrite);
    };
    openFolder("src");
    select({"a.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\", 'd')));
    EXPECT_EQ(readFileBytes(posix("src/a.txt")), "alpha");
    EXPECT_TRUE(listNames(posix("dst", 'd')).empty());
    EXPECT_EQ(dialogs.captions(), Names{"WRITE TO FILE: Error 112"});
}

// Another program swaps a sub-folder that the walk has not reached yet for a link to an outside folder
// while the walk works in the first one: delete, copy and a move to another file system act only on
// what they listed, and the outside folder's files stay where they are.
TEST_F(FileOperationsTest, AFolderSwappedForALinkDuringTheWalkIsNeverFollowed)
{
    const bool foreign = drive.addDrive('e', platform::kDriveFixed, true);
    const struct
    {
        const char* name;
        TFileOperationKind kind;
        char targetDrive; // 0: no target
    } cases[] = {
        {"delete", TFileOperationKind::Delete, 0},
        {"copy", TFileOperationKind::Copy, 'c'},
        {"move to another file system", TFileOperationKind::Move, 'e'},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.targetDrive == 'e' && !foreign) {
            std::cout << "no second file system here: the move case is left out\n";
            continue;
        }
        const std::string top = "r" + std::to_string(++round);
        createFile(posix(top + "/src/tree/x1/f1.txt"), "one");
        createFile(posix(top + "/src/tree/x2/f2.txt"), "two");
        createFile(posix(top + "/outside/keep.txt"), "outside");
        makeFolder(posix(top + "/parked"));
        if (c.targetDrive != 0)
            makeFolder(posix(top + "/dst", c.targetDrive));
        std::string victim;
        ui.progress.clear();
        ui.onProgress = [&](std::int32_t, std::int32_t) {
            if (!victim.empty() || current == nullptr)
                return;
            // The walk is in its first sub-folder: the other one has not been listed yet.
            const std::string inside = path(top + "\\src\\tree\\x");
            if (current->SourcePath.rfind(inside, 0) != 0)
                return;
            victim = current->SourcePath[inside.size()] == '1' ? "x2" : "x1";
            const std::string swapped = posix(top + "/src/tree/" + victim);
            std::filesystem::rename(swapped, posix(top + "/parked/" + victim));
            std::filesystem::create_directory_symlink(posix(top + "/outside"), swapped);
        };
        openFolder(top + "\\src");
        select({"tree"});
        dialogs.clear();
        ui.questions.clear();
        if (c.kind == TFileOperationKind::Delete)
            answer({ConfirmationAnswer::YesToAll}); // the tree is not empty
        answer({ConfirmationAnswer::No});          // skip the swapped folder
        const std::string target = c.targetDrive != 0 ? path(top + "\\dst\\", c.targetDrive) : std::string();
        ASSERT_TRUE(run(c.kind, target));
        ASSERT_FALSE(victim.empty());
        // The swapped folder is left out with the step's question, never silently.
        ASSERT_FALSE(ui.questions.empty());
        EXPECT_EQ(asked(ui.questions.size() - 1),
                  question(ConfirmationKind::StepFailed,
                           c.kind == TFileOperationKind::Delete ? "Error file delete 1" : "Error file copy 1",
                           path(top + "\\src\\tree\\" + victim),
                           "The volume for a file has been externally altered so that the opened file is no "
                           "longer valid."));
        EXPECT_EQ(ui.unscripted, 0);
        EXPECT_EQ(listNames(posix(top + "/outside")), Names{"keep.txt"});
        EXPECT_EQ(readFileBytes(posix(top + "/outside/keep.txt")), "outside");
        const std::string kept = victim == "x1" ? "f1.txt" : "f2.txt";
        EXPECT_EQ(listNames(posix(top + "/parked/" + victim)), Names{kept});
        if (c.targetDrive != 0) {
            // Nothing of the outside folder was copied in; the swapped entry was not copied at all.
            EXPECT_EQ(listNames(posix(top + "/dst/tree", c.targetDrive)),
                      Names{victim == "x1" ? "x2" : "x1"});
        }
        // The tree itself cannot go while the link stands in it: delete and move say so.
        EXPECT_TRUE(std::filesystem::is_symlink(posix(top + "/src/tree/" + victim)));
        if (c.kind != TFileOperationKind::Copy) {
            EXPECT_EQ(dialogs.texts(), Names{"Directory " + path(top + "\\src\\tree") + " not deleted!"});
        } else {
            EXPECT_TRUE(dialogs.records().empty());
        }
        ui.onProgress = nullptr;
    }
}

} // namespace
} // namespace wux::filelist::test
