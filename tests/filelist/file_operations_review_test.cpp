// File operations where a user could lose a file: folders copied or moved into themselves through
// another drive letter, moves between drives onto the source itself, folders that cannot be listed,
// and copies that cannot be flushed before their source is removed.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "file_operations_fixture.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace wux::filelist::test {
namespace {

using wux::test::createFile;
using wux::test::exists;
using wux::test::listNames;
using wux::test::makeFolder;
using wux::test::readFileBytes;
using A = ConfirmationAnswer;
using Names = std::vector<std::string>;

constexpr platform::FileTime kTime = 132'000'000'000'000'000ull;

class FileOperationsReviewTest : public FileOperationsTest
{
};

// A drive whose root lies inside the folder being copied: the copy would run into itself.
TEST_F(FileOperationsReviewTest, CopyIntoADriveWhoseRootIsInsideTheFolderIsRefused)
{
    createFile(posix("src/dir/a.txt"), "alpha", kTime);
    makeFolder(posix("src/dir/inner"));
    drive.mapDrive('d', posix("src/dir/inner"));
    openFolder("src");
    select({"dir"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, "d:\\"));
    ASSERT_EQ(dialogs.texts().size(), 1U);
    EXPECT_EQ(dialogs.texts()[0], "You cannot copy a file to itself!");
    EXPECT_TRUE(stoppedByRun);
    EXPECT_EQ(listNames(posix("src/dir/inner")), Names{});
    EXPECT_EQ(readFileBytes(posix("src/dir/a.txt")), "alpha");
}

// A move between drives into the folder itself: refused, and nothing of the source is removed.
TEST_F(FileOperationsReviewTest, MoveBetweenDrivesIntoTheFolderItselfKeepsEverything)
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
        ASSERT_EQ(dialogs.texts().size(), 1U) << c.target;
        EXPECT_EQ(dialogs.texts()[0], "You cannot copy a file to itself!");
    }
}

// A move between drives onto the source itself (another drive letter, a link to it) is a refused copy
// onto itself: the source is never deleted.
TEST_F(FileOperationsReviewTest, MoveBetweenDrivesOntoTheSourceItselfKeepsIt)
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
        ASSERT_EQ(dialogs.texts().size(), 1U) << c.item;
        EXPECT_EQ(dialogs.texts()[0], "You cannot copy a file to itself!");
    }
    EXPECT_EQ(readFileBytes(posix("src/a.txt")), "alpha");
    EXPECT_EQ(readFileBytes(posix("src/b.txt")), "beta");
    EXPECT_TRUE(S_ISLNK(wux::test::modeOf(posix("dst/b.txt"))));
}

// A folder that cannot be listed is a failure the user hears of (a question naming it), never an
// empty copy reported as done; a move between drives or a delete keeps it.
TEST_F(FileOperationsReviewTest, FolderThatCannotBeListedAsksAndKeepsItsFiles)
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
        EXPECT_EQ(ui.questions[0].kind, ConfirmationKind::StepFailed);
        EXPECT_EQ(ui.questions[0].Name1, path("src\\dir\\sub"));
        EXPECT_EQ(ui.questions[0].Info1, "Access is denied.");
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

// A move between drives removes the source only when its copy is safely on the disk: a copy that
// cannot be flushed is removed and the source stays.
TEST_F(FileOperationsReviewTest, MoveBetweenDrivesKeepsTheSourceWhenTheCopyCannotBeFlushed)
{
    ASSERT_TRUE(drive.addDrive('d'));
    createFile(posix("src/a.txt"), "alpha", kTime);
    makeFolder(posix("dst", 'd'));
    const std::string target = path("dst\\a.txt", 'd');
    ui.onProgress = [&](std::int32_t, std::int32_t file) {
        if (file == 100) // every byte written: the disk now refuses to take them
            platform::injectFault(target, platform::kErrorDiskFull, platform::kFaultWrite);
    };
    openFolder("src");
    select({"a.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\", 'd')));
    EXPECT_EQ(readFileBytes(posix("src/a.txt")), "alpha");
    EXPECT_FALSE(exists(posix("dst/a.txt", 'd')));
    ASSERT_EQ(dialogs.captions().size(), 1U);
    EXPECT_EQ(dialogs.captions()[0], "WRITE TO FILE: Error 112");
}

} // namespace
} // namespace wux::filelist::test
