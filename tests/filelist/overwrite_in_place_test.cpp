// An overwrite never removes the old file before its replacement is complete: the copy is written
// under a hidden temporary name and then takes the old file's place in one step; a copy that fails or
// is stopped leaves the old file as it was. The questions stay as they were; temporary files of a
// killed run are neither listed nor kept. Symbolic links copied or moved onto an existing name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/display_helpers.h"
#include "file_operations_fixture.h"
#include "platform/errors.h"
#include "platform/filetime.h"
#include "platform/files.h"
#include "support/leftovers.h"

namespace wux::filelist::test {
namespace {

using wux::test::createFile;
using wux::test::exists;
using wux::test::listNames;
using wux::test::makeFolder;
using wux::test::modeOf;
using wux::test::readFileBytes;
using A = ConfirmationAnswer;
using Names = std::vector<std::string>;

constexpr platform::FileTime kTime = 132'000'000'000'000'000ull;
constexpr platform::FileTime kHour = 3600ull * 10'000'000;

ino_t inodeOf(const std::string& posixPath)
{
    struct stat st = {};
    return ::lstat(posixPath.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string linkText(const std::string& posixPath)
{
    char text[4096] = {};
    const ssize_t n = ::readlink(posixPath.c_str(), text, sizeof text - 1);
    return n < 0 ? std::string("(no link)") : std::string(text, static_cast<std::size_t>(n));
}

std::string sizeAndDate(std::uint64_t size, platform::FileTime time)
{
    return "   " + std::to_string(size) + " bytes, " + core::FileTimeToText(time);
}

class OverwriteInPlaceTest : public FileOperationsTest
{
protected:
    void SetUp() override
    {
        FileOperationsTest::SetUp();
        GeneralCheckContainer = kOptionShowHidden | kOptionConfirmOverwrite;
    }

    // The names the panel lists in its folder.
    Names panelNames()
    {
        Names names;
        StateAccess access(listing);
        const TBrowserFolder& folder = access.Folder(1);
        for (std::int32_t n = 0; n < folder.count; ++n)
            names.push_back(std::string(access.Name(access.items[folder.firstItem + static_cast<std::uint32_t>(n)])));
        std::sort(names.begin(), names.end());
        return names;
    }
};

// While the copy is written the old target keeps its name and bytes beside the hidden copy; the copy
// then takes its place, and only then is the source of a move removed.
TEST_F(OverwriteInPlaceTest, TheOldTargetStaysUntilTheCopyIsComplete)
{
    ASSERT_TRUE(drive.addDrive('d'));
    for (const TFileOperationKind kind : {TFileOperationKind::Copy, TFileOperationKind::Move}) {
        SCOPED_TRACE(kind == TFileOperationKind::Copy ? "copy" : "move between drives");
        const char letter = kind == TFileOperationKind::Copy ? 'c' : 'd';
        std::filesystem::remove_all(posix("dst", letter));
        const std::string data(2 * kCopyBufferSize + 7, 'q');
        createFile(posix("src/large.bin"), data, kTime, 0640);
        createFile(posix("dst/large.bin", letter), "old bytes", kTime + kHour, 0600);
        openFolder("src");
        select({"large.bin"});
        answer({A::Yes});
        std::vector<std::pair<std::string, Names>> midway;
        ui.onProgress = [&](std::int32_t, std::int32_t file) {
            if (file > 0 && file < 100)
                midway.emplace_back(readFileBytes(posix("dst/large.bin", letter)),
                                    listNames(posix("dst", letter)));
        };
        ASSERT_TRUE(run(kind, path("dst\\", letter)));
        ui.onProgress = nullptr;
        ASSERT_FALSE(midway.empty());
        for (const auto& [bytes, names] : midway) {
            EXPECT_EQ(bytes, "old bytes");
            ASSERT_EQ(names.size(), 2U);
            EXPECT_TRUE(names[0].starts_with(".large.bin.wux")) << names[0];
            EXPECT_EQ(names[1], "large.bin");
        }
        EXPECT_EQ(listNames(posix("dst", letter)), Names{"large.bin"});
        EXPECT_EQ(readFileBytes(posix("dst/large.bin", letter)), data);
        EXPECT_EQ(modeOf(posix("dst/large.bin", letter)) & 0777, 0640U);
        EXPECT_EQ(exists(posix("src/large.bin")), kind == TFileOperationKind::Copy);
        EXPECT_TRUE(dialogs.records().empty());
    }
}

// A copy or move over an existing file that fails half-way (the disk is full) or is stopped leaves the
// old file's bytes and no temporary file; the source stays.
TEST_F(OverwriteInPlaceTest, ACutCopyLeavesTheOldTargetAndNoTemporaryFile)
{
    ASSERT_TRUE(drive.addDrive('d'));
    const bool otherFileSystem = drive.addDrive('e', platform::kDriveFixed, true);
    if (otherFileSystem) {
        ASSERT_EQ(::symlink(drive.root('e').c_str(), posix("mnt").c_str()), 0);
    }
    GeneralCheckContainer |= kOptionConfirmReadOnly;
    struct Case
    {
        const char* title;
        TFileOperationKind kind;
        std::string targetFolder; // a drive path
        std::string posixFolder;
        bool stop;
        Names boxes;
    };
    std::vector<Case> cases = {
        {"copy, disk full", TFileOperationKind::Copy, path("dst"), posix("dst"), false,
         {"WRITE TO FILE: Error 112"}},
        {"copy, stopped", TFileOperationKind::Copy, path("dst"), posix("dst"), true, {}},
        {"move between drives, disk full", TFileOperationKind::Move, path("dst", 'd'), posix("dst", 'd'), false,
         {"WRITE TO FILE: Error 112"}},
        {"move between drives, stopped", TFileOperationKind::Move, path("dst", 'd'), posix("dst", 'd'), true,
         {}},
    };
    if (otherFileSystem)
        cases.push_back({"move on one drive onto another file system, disk full", TFileOperationKind::Move,
                         path("mnt\\dst"), drive.root('e') + "/dst", false, {"MoveFile: Error112"}});
    const std::string data(3 * kCopyBufferSize + 5, 'n');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        platform::clearFaults();
        dialogs.clear();
        ui.questions.clear();
        std::filesystem::remove_all(c.posixFolder);
        createFile(posix("src/a.bin"), data, kTime);
        createFile(c.posixFolder + "/a.bin", "old target bytes", kTime + kHour, 0444);
        openFolder("src");
        select({"a.bin"});
        answer({A::Yes, A::Yes}); // overwrite, and its read-only question
        if (c.stop) {
            ui.onProgress = [this](std::int32_t, std::int32_t file) {
                if (file > 0 && file < 100 && current != nullptr)
                    current->Terminate();
            };
        } else {
            platform::injectFault(c.targetFolder + "\\", platform::kErrorDiskFull, platform::kFaultWrite);
        }
        ASSERT_TRUE(run(c.kind, c.targetFolder + "\\"));
        ui.onProgress = nullptr;
        EXPECT_EQ(ui.questions.size(), 2U);
        EXPECT_EQ(ui.unscripted, 0);
        EXPECT_EQ(dialogs.captions(), c.boxes);
        EXPECT_EQ(listNames(c.posixFolder), Names{"a.bin"});
        EXPECT_EQ(readFileBytes(c.posixFolder + "/a.bin"), "old target bytes");
        EXPECT_EQ(modeOf(c.posixFolder + "/a.bin") & 0777, 0444U);
        EXPECT_EQ(readFileBytes(posix("src/a.bin")), data);
        EXPECT_EQ(stoppedByRun, c.stop);
    }
}

// What keeps the old file from giving way is asked about before the copy, as its removal was: a file
// held without delete sharing, a folder of the name. Retry asks again while it lasts; Skip keeps both.
// A replace that fails at the end asks the same question and keeps the old file.
TEST_F(OverwriteInPlaceTest, HeldTargetsAndFoldersAskAndKeepTheOldFile)
{
    for (const TFileOperationKind kind : {TFileOperationKind::Copy, TFileOperationKind::Move}) {
        SCOPED_TRACE(kind == TFileOperationKind::Copy ? "copy" : "move");
        std::filesystem::remove_all(posix("dst"));
        ui.questions.clear();
        createFile(posix("src/held.txt"), "new held");
        createFile(posix("src/dir.txt"), "new dir");
        createFile(posix("dst/held.txt"), "old held");
        makeFolder(posix("dst/dir.txt"));
        platform::FileHandle holder;
        ASSERT_EQ(holder.open(path("dst\\held.txt"), platform::kAccessRead,
                              platform::kShareRead | platform::kShareWrite, platform::Disposition::kOpenExisting),
                  0U);
        openFolder("src");
        select({"held.txt", "dir.txt"});
        // dir.txt: overwrite Yes, then Skip; held.txt: overwrite Yes, Retry (still held), Skip.
        answer({A::Yes, A::No, A::Yes, A::Yes, A::No});
        ASSERT_TRUE(run(kind, path("dst\\")));
        ASSERT_EQ(ui.questions.size(), 5U);
        EXPECT_EQ(asked(1), question(ConfirmationKind::StepFailed, "Error file copy 3", path("src\\dir.txt"),
                                     platform::errorText(platform::kErrorAccessDenied)));
        EXPECT_EQ(asked(3), question(ConfirmationKind::StepFailed, "Error file copy 3", path("src\\held.txt"),
                                     platform::errorText(platform::kErrorSharingViolation)));
        EXPECT_EQ(asked(4), asked(3));
        EXPECT_EQ(ui.unscripted, 0);
        EXPECT_EQ(readFileBytes(posix("dst/held.txt")), "old held");
        EXPECT_EQ(listNames(posix("dst/dir.txt")), Names{});
        EXPECT_EQ(listNames(posix("dst")), (Names{"dir.txt", "held.txt"}));
        EXPECT_EQ(listNames(posix("src")), (Names{"dir.txt", "held.txt"}));
        EXPECT_TRUE(dialogs.records().empty());

        // Let go: Yes replaces it.
        holder.close();
        ui.questions.clear();
        openFolder("src");
        select({"held.txt"});
        answer({A::Yes});
        ASSERT_TRUE(run(kind, path("dst\\")));
        EXPECT_EQ(ui.questions.size(), 1U);
        EXPECT_EQ(readFileBytes(posix("dst/held.txt")), "new held");
        EXPECT_EQ(listNames(posix("dst")), (Names{"dir.txt", "held.txt"}));
    }

    // The replace itself fails at the end of the copy: asked with the same stage; Skip keeps the old
    // file and removes the copy.
    ui.questions.clear();
    createFile(posix("src/late.txt"), "new late");
    createFile(posix("dst/late.txt"), "old late");
    platform::injectFault(path("dst\\late.txt"), platform::kErrorSharingViolation, platform::kFaultRename);
    openFolder("src");
    select({"late.txt"});
    answer({A::Yes, A::Yes, A::No});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    ASSERT_EQ(ui.questions.size(), 3U);
    EXPECT_EQ(asked(1), question(ConfirmationKind::StepFailed, "Error file copy 3", path("src\\late.txt"),
                                 platform::errorText(platform::kErrorSharingViolation)));
    EXPECT_EQ(asked(2), asked(1));
    EXPECT_EQ(readFileBytes(posix("dst/late.txt")), "old late");
    EXPECT_EQ(listNames(posix("dst")), (Names{"dir.txt", "held.txt", "late.txt"}));
}

// A move on one file system over an existing file is one rename over it: the moved file itself (not a
// copy) takes the name; the old file is never removed first.
TEST_F(OverwriteInPlaceTest, AMoveOnOneFileSystemRenamesOverTheOldFile)
{
    createFile(posix("src/a.txt"), "moving", kTime, 0640);
    createFile(posix("dst/a.txt"), "old", kTime + kHour, 0444);
    const ino_t moving = inodeOf(posix("src/a.txt"));
    GeneralCheckContainer |= kOptionConfirmReadOnly;
    openFolder("src");
    select({"a.txt"});
    answer({A::Yes, A::Yes});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\")));
    EXPECT_EQ(ui.questions.size(), 2U);
    EXPECT_EQ(inodeOf(posix("dst/a.txt")), moving);
    EXPECT_EQ(readFileBytes(posix("dst/a.txt")), "moving");
    EXPECT_EQ(modeOf(posix("dst/a.txt")) & 0777, 0640U);
    EXPECT_EQ(listNames(posix("src")), Names{});
    EXPECT_EQ(listNames(posix("dst")), Names{"a.txt"});
    EXPECT_TRUE(dialogs.records().empty());
}

// The temporary file of a run killed while it copied (no writer left) is not listed, and the next copy
// into its folder removes it; a user's file of a similar name is listed and kept.
TEST_F(OverwriteInPlaceTest, TemporaryFilesOfAKilledRunAreNotListedAndGoWithTheNextCopy)
{
    wux::test::makeFolder(posix("dst"));
    const std::string half = wux::test::makeLeftoverTemporary(path("dst\\a.txt"), "half a copy");
    wux::test::AnyAgeLeftovers anyAge;
    createFile(posix("dst/.b.txt.wux12345678"), "a user's file", kTime, 0600);
    createFile(posix("dst/a.txt"), "old a", kTime);
    createFile(posix("src/new.txt"), "new");
    openFolder("dst");
    EXPECT_EQ(panelNames(), (Names{".b.txt.wux12345678", "a.txt"}));

    openFolder("src");
    select({"new.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(listNames(posix("dst")), (Names{".b.txt.wux12345678", "a.txt", "new.txt"}));
    EXPECT_FALSE(wux::test::exists(half));
    EXPECT_EQ(readFileBytes(posix("dst/.b.txt.wux12345678")), "a user's file");
    EXPECT_EQ(readFileBytes(posix("dst/new.txt")), "new");
    EXPECT_EQ(readFileBytes(posix("dst/a.txt")), "old a");
}

// A symbolic link onto an existing name: the question shows what the panels show for both (a link
// with the size and date of the file it points to; a dangling link its own date and no bytes); Yes
// puts the link itself in place of the old entry (a link there is replaced, never followed), and
// "Yes all older" compares those dates.
TEST_F(OverwriteInPlaceTest, LinksOntoExistingNames)
{
    ASSERT_TRUE(drive.addDrive('d'));
    const platform::FileTime linkTime = platform::fileTimeFromUnix(1'500'000'000, 0);
    for (const auto& [kind, letter] : {std::pair{TFileOperationKind::Copy, 'c'},
                                       std::pair{TFileOperationKind::Move, 'c'},
                                       std::pair{TFileOperationKind::Move, 'd'}}) {
        SCOPED_TRACE(std::string(kind == TFileOperationKind::Copy ? "copy" : "move") + " to " + letter);
        std::filesystem::remove_all(posix("src"));
        std::filesystem::remove_all(posix("dst", letter));
        std::filesystem::remove_all(posix("other"));
        ui.questions.clear();
        createFile(posix("src/data.txt"), "12345", kTime + 2 * kHour);
        ASSERT_EQ(::symlink("data.txt", posix("src/alink").c_str()), 0);
        ASSERT_EQ(::symlink("nowhere", posix("src/blink").c_str()), 0);
        const struct timespec times[2] = {{1'500'000'000, 0}, {1'500'000'000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, posix("src/blink").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        createFile(posix("other/pointee.txt"), "pointee bytes", kTime - kHour);
        createFile(posix("dst/alink", letter), "old", kTime + kHour);
        ASSERT_EQ(::symlink(posix("other/pointee.txt").c_str(), posix("dst/blink", letter).c_str()), 0);
        openFolder("src");
        select({"alink", "blink"});
        answer({A::Yes, A::Yes});
        ASSERT_TRUE(run(kind, path("dst\\", letter)));
        ASSERT_EQ(ui.questions.size(), 2U);
        EXPECT_EQ(ui.questions[0].kind, ConfirmationKind::Overwrite);
        EXPECT_EQ(ui.questions[0].Name1, path("dst\\alink", letter));
        EXPECT_EQ(ui.questions[0].Info1, sizeAndDate(3, kTime + kHour));
        EXPECT_EQ(ui.questions[0].Name2, path("src\\alink"));
        EXPECT_EQ(ui.questions[0].Info2, sizeAndDate(5, kTime + 2 * kHour));
        EXPECT_EQ(ui.questions[1].Name1, path("dst\\blink", letter));
        EXPECT_EQ(ui.questions[1].Info1, sizeAndDate(13, kTime - kHour));
        EXPECT_EQ(ui.questions[1].Name2, path("src\\blink"));
        EXPECT_EQ(ui.questions[1].Info2, sizeAndDate(0, linkTime));
        EXPECT_EQ(linkText(posix("dst/alink", letter)), "data.txt");
        EXPECT_EQ(linkText(posix("dst/blink", letter)), "nowhere");
        EXPECT_EQ(readFileBytes(posix("other/pointee.txt")), "pointee bytes");
        EXPECT_EQ(listNames(posix("dst", letter)), (Names{"alink", "blink"}));
        const Names left = kind == TFileOperationKind::Copy ? Names{"alink", "blink", "data.txt"} : Names{"data.txt"};
        EXPECT_EQ(listNames(posix("src")), left);
        EXPECT_TRUE(dialogs.records().empty());
    }

    // "Yes all older": a link whose file is older than the existing target is skipped, a newer one
    // replaces it.
    std::filesystem::remove_all(posix("src"));
    std::filesystem::remove_all(posix("dst"));
    ui.questions.clear();
    createFile(posix("src/old.txt"), "old data", kTime - 2 * kHour);
    createFile(posix("src/new.txt"), "new data", kTime + 2 * kHour);
    ASSERT_EQ(::symlink("new.txt", posix("src/first").c_str()), 0);
    ASSERT_EQ(::symlink("old.txt", posix("src/second").c_str()), 0);
    ASSERT_EQ(::symlink("new.txt", posix("src/third").c_str()), 0);
    for (const char* name : {"first", "second", "third"})
        createFile(posix(std::string("dst/") + name), std::string("target ") + name, kTime);
    openFolder("src");
    select({"first", "second", "third"});
    answer({A::YesAllOlder});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(ui.questions.size(), 1U);
    EXPECT_EQ(linkText(posix("dst/first")), "new.txt");
    EXPECT_EQ(readFileBytes(posix("dst/second")), "target second");
    EXPECT_EQ(linkText(posix("dst/third")), "new.txt");
}

// A file copied over a link replaces the link, never the file it points to.
TEST_F(OverwriteInPlaceTest, AFileOverALinkReplacesTheLinkOnly)
{
    createFile(posix("other/pointee.txt"), "pointee bytes");
    createFile(posix("src/a.txt"), "new a");
    makeFolder(posix("dst"));
    ASSERT_EQ(::symlink(posix("other/pointee.txt").c_str(), posix("dst/a.txt").c_str()), 0);
    openFolder("src");
    select({"a.txt"});
    answer({A::Yes});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(ui.questions.size(), 1U);
    EXPECT_TRUE(S_ISREG(modeOf(posix("dst/a.txt"))));
    EXPECT_EQ(readFileBytes(posix("dst/a.txt")), "new a");
    EXPECT_EQ(readFileBytes(posix("other/pointee.txt")), "pointee bytes");
}

// A move on one drive onto another file system mounted inside it, whose source cannot be removed once
// its copy is in place: the move fails with the system's error and both copies stay.
TEST_F(OverwriteInPlaceTest, AMoveWhoseSourceCannotBeRemovedKeepsBothCopies)
{
    if (!drive.addDrive('e', platform::kDriveFixed, true))
        GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    ASSERT_EQ(::symlink(drive.root('e').c_str(), posix("mnt").c_str()), 0);
    createFile(posix("src/a.txt"), "alpha", kTime, 0640);
    makeFolder(drive.root('e') + "/dst");
    platform::injectFault(path("src\\a.txt"), platform::kErrorAccessDenied, platform::kFaultDelete);
    openFolder("src");
    select({"a.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("mnt\\dst\\")));
    EXPECT_EQ(boxes(), Names{box("MoveFile: Error5", platform::errorText(platform::kErrorAccessDenied),
                                 platform::MsgIcon::Warning)});
    EXPECT_EQ(readFileBytes(posix("src/a.txt")), "alpha");
    EXPECT_EQ(readFileBytes(drive.root('e') + "/dst/a.txt"), "alpha");
    EXPECT_EQ(modeOf(drive.root('e') + "/dst/a.txt") & 0777, 0640U);
    EXPECT_EQ(listNames(drive.root('e') + "/dst"), Names{"a.txt"});
    EXPECT_TRUE(ui.questions.empty());
}

} // namespace
} // namespace wux::filelist::test
