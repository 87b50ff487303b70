// The file steps and their questions: every overwrite answer, hidden and read-only files, deleting files
// and trees (plainly and to the Trash), non-empty folders, moving on one drive and between drives, and
// sending to and removing from the Basket.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/display_helpers.h"
#include "file_operations_fixture.h"
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
using A = ConfirmationAnswer;
using Names = std::vector<std::string>;

constexpr platform::FileTime kTime = 132'000'000'000'000'000ull;
constexpr platform::FileTime kHour = 3600ull * 10'000'000;
constexpr ConfirmationKind kAttribute = ConfirmationKind::Attribute;
const std::string kHidden = "has either the attribute HIDDEN or SYSTEM!";

class OverwriteTest : public FileOperationsTest
{
protected:
    void SetUp() override
    {
        FileOperationsTest::SetUp();
        GeneralCheckContainer = kOptionShowHidden | kOptionConfirmOverwrite;
    }
    // src/a.txt (new) and src/b.txt (old) over dst/a.txt (older than its source) and dst/b.txt (newer).
    void makeFiles()
    {
        createFile(posix("src/a.txt"), "new a", kTime + 2 * kHour);
        createFile(posix("src/b.txt"), "new b", kTime);
        createFile(posix("dst/a.txt"), "old a", kTime + kHour);
        createFile(posix("dst/b.txt"), "old b", kTime + kHour);
        openFolder("src");
        select({"a.txt", "b.txt"});
    }
};

TEST_F(OverwriteTest, EveryAnswer)
{
    struct Case
    {
        const char* title;
        std::vector<A> answers;
        std::size_t questions;
        const char* a;
        const char* b;
        Names names;
        bool stopped;
    };
    const std::vector<Case> cases = {
        {"yes, no", {A::Yes, A::No}, 2, "new a", "old b", {"a.txt", "b.txt"}, false},
        {"no, yes", {A::No, A::Yes}, 2, "old a", "new b", {"a.txt", "b.txt"}, false},
        {"yes to all", {A::YesToAll}, 1, "new a", "new b", {"a.txt", "b.txt"}, false},
        {"no to all", {A::NoToAll}, 1, "old a", "old b", {"a.txt", "b.txt"}, false},
        {"yes all older", {A::YesAllOlder}, 1, "new a", "old b", {"a.txt", "b.txt"}, false},
        {"autorename", {A::Autorename, A::No}, 2, "old a", "old b", {"a.txt", "a[1].txt", "b.txt"}, false},
        {"autorename all",
         {A::AutorenameAll},
         1,
         "old a",
         "old b",
         {"a.txt", "a[1].txt", "b.txt", "b[1].txt"},
         false},
        {"cancel", {A::Cancel}, 1, "old a", "old b", {"a.txt", "b.txt"}, true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(posix("dst"));
        ui.questions.clear();
        makeFiles();
        answer(c.answers);
        ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\"))) << c.title;
        EXPECT_EQ(ui.questions.size(), c.questions) << c.title;
        EXPECT_EQ(ui.unscripted, 0) << c.title;
        EXPECT_EQ(readFileBytes(posix("dst/a.txt")), c.a) << c.title;
        EXPECT_EQ(readFileBytes(posix("dst/b.txt")), c.b) << c.title;
        EXPECT_EQ(listNames(posix("dst")), c.names) << c.title;
        EXPECT_EQ(stoppedByRun, c.stopped) << c.title;
        for (const std::string& name : c.names) {
            if (name.find('[') != std::string::npos) {
                EXPECT_EQ(readFileBytes(posix("dst/" + name)), "new " + name.substr(0, 1)) << c.title;
            }
        }
    }
}

// "Yes all older" replaces a target only when its source is not older than the target as it is now:
// each target's own time decides, not the one of the question.
TEST_F(OverwriteTest, OnlyOlderDecidesByEachTargetsCurrentTime)
{
    const struct
    {
        const char* name;
        platform::FileTime source, target;
        bool replaced;
    } files[] = {
        {"a.txt", kTime + 2 * kHour, kTime + kHour, true}, // asked
        {"b.txt", kTime, kTime - 2 * kHour, true},
        {"c.txt", kTime, kTime + 3 * kHour, false},
        {"d.txt", kTime, kTime, true},
        {"e.txt", kTime - kHour, kTime - 3 * kHour, true},
    };
    for (const auto& f : files) {
        createFile(posix(std::string("src/") + f.name), std::string("new ") + f.name, f.source);
        createFile(posix(std::string("dst/") + f.name), std::string("old ") + f.name, f.target);
    }
    openFolder("src");
    select({"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"});
    answer({A::YesAllOlder});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(ui.questions.size(), 1U);
    for (const auto& f : files) {
        EXPECT_EQ(readFileBytes(posix(std::string("dst/") + f.name)),
                  std::string(f.replaced ? "new " : "old ") + f.name);
        EXPECT_EQ(lastWriteOf(posix(std::string("dst/") + f.name)), f.replaced ? f.source : f.target)
            << f.name;
    }
}

TEST_F(OverwriteTest, QuestionNamesBothFilesWithSizeAndDate)
{
    makeFiles();
    answer({A::No, A::No});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    ASSERT_EQ(ui.questions.size(), 2U);
    const ConfirmationQuestion& q = ui.questions[0];
    EXPECT_EQ(q.kind, ConfirmationKind::Overwrite);
    EXPECT_EQ(q.Name1, path("dst\\a.txt"));
    EXPECT_EQ(q.Name2, path("src\\a.txt"));
    EXPECT_EQ(q.Info1, "   5 bytes, " + core::FileTimeToText(kTime + kHour));
    EXPECT_EQ(q.Info2, "   5 bytes, " + core::FileTimeToText(kTime + 2 * kHour));
}

TEST_F(OverwriteTest, AutorenameTakesTheFirstFreeNumber)
{
    createFile(posix("src/a.txt"), "new");
    createFile(posix("dst/a.txt"), "old");
    createFile(posix("dst/a[1].txt"), "one");
    createFile(posix("src/README"), "readme");
    createFile(posix("dst/README"), "old readme");
    openFolder("src");
    select({"a.txt", "README"});
    answer({A::AutorenameAll});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(readFileBytes(posix("dst/a[2].txt")), "new");
    EXPECT_EQ(readFileBytes(posix("dst/a[1].txt")), "one");
    EXPECT_EQ(readFileBytes(posix("dst/README[1]")), "readme");
    EXPECT_EQ(readFileBytes(posix("dst/README")), "old readme");
}

TEST_F(OverwriteTest, WithoutConfirmationTargetsAreReplacedButReadOnlyOnesAsk)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionConfirmReadOnly | kOptionConfirmHiddenSystem;
    createFile(posix("src/a.txt"), "new a");
    createFile(posix("src/r.txt"), "new r");
    createFile(posix("src/.h"), "new h");
    createFile(posix("dst/a.txt"), "old a");
    createFile(posix("dst/r.txt"), "old r", platform::FileTime(0), 0444);
    createFile(posix("dst/.h"), "old h");
    openFolder("src");
    select({"a.txt", "r.txt", ".h"});
    answer({A::No, A::Yes});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    ASSERT_EQ(ui.questions.size(), 2U);
    // Sorted order: .h, a.txt, r.txt.
    EXPECT_EQ(asked(0), question(kAttribute, "", path("dst\\.h"), kHidden));
    EXPECT_EQ(asked(1), question(kAttribute, "", path("dst\\r.txt"), "is READ ONLY!"));
    EXPECT_EQ(readFileBytes(posix("dst/.h")), "old h");
    EXPECT_EQ(readFileBytes(posix("dst/a.txt")), "new a");
    EXPECT_EQ(readFileBytes(posix("dst/r.txt")), "new r");

    // With the read-only confirmation off, no question.
    GeneralCheckContainer = kOptionShowHidden;
    ui.questions.clear();
    createFile(posix("dst/r.txt"), "old r", platform::FileTime(0), 0444);
    createFile(posix("src/r.txt"), "newer r");
    openFolder("src");
    select({"r.txt", ".h"});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(readFileBytes(posix("dst/r.txt")), "newer r");
    EXPECT_EQ(readFileBytes(posix("dst/.h")), "new h");
}

TEST_F(OverwriteTest, AttributeAnswersToAll)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionConfirmReadOnly;
    for (const char* name : {"r1.txt", "r2.txt", "r3.txt"}) {
        createFile(posix(std::string("src/") + name), "new");
        createFile(posix(std::string("dst/") + name), "old", platform::FileTime(0), 0444);
    }
    openFolder("src");
    select({"r1.txt", "r2.txt", "r3.txt"});
    answer({A::NoToAll});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(ui.questions.size(), 1U);
    for (const char* name : {"r1.txt", "r2.txt", "r3.txt"})
        EXPECT_EQ(readFileBytes(posix(std::string("dst/") + name)), "old");

    ui.questions.clear();
    openFolder("src");
    select({"r1.txt", "r2.txt", "r3.txt"});
    answer({A::YesToAll});
    ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    EXPECT_EQ(ui.questions.size(), 1U);
    for (const char* name : {"r1.txt", "r2.txt", "r3.txt"})
        EXPECT_EQ(readFileBytes(posix(std::string("dst/") + name)), "new");
}

class DeleteTest : public FileOperationsTest
{
};

TEST_F(DeleteTest, FilesAndTrees)
{
    createFile(posix("d/a.txt"), "a");
    createFile(posix("d/tree/b.txt"), "b");
    createFile(posix("d/tree/sub/c.txt"), "c");
    createFile(posix("d/keep.txt"), "k");
    GeneralCheckContainer = kOptionShowHidden | kOptionDeleteNonEmptyDirsSilently;
    openFolder("d");
    select({"a.txt", "tree"});
    ASSERT_TRUE(run(TFileOperationKind::Delete));
    EXPECT_EQ(listNames(posix("d")), Names{"keep.txt"});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(dialogs.records().empty());
    EXPECT_EQ(filesTotal, 3);
    EXPECT_EQ(ui.progress.back().first, 100);
    // Folders come first in the panel's order, each named as it is entered, then its files.
    ASSERT_GE(ui.names.size(), 2u);
    EXPECT_EQ(ui.names[0].first, path("d\\tree"));
    EXPECT_EQ(ui.names[1].first, path("d\\tree\\b.txt"));
    EXPECT_EQ(ui.names.back().first, path("d\\a.txt"));
}

TEST_F(DeleteTest, ProgressByFiles)
{
    for (const char* name : {"a", "b", "c", "d"})
        createFile(posix(std::string("d/") + name), std::string(1000, 'x'));
    openFolder("d");
    select({"a", "b", "c", "d"});
    ASSERT_TRUE(run(TFileOperationKind::Delete));
    std::vector<std::int32_t> overall;
    for (const auto& [total, file] : ui.progress) {
        EXPECT_EQ(file, 0);
        if (overall.empty() || overall.back() != total)
            overall.push_back(total);
    }
    EXPECT_EQ(overall, (std::vector<std::int32_t>{0, 25, 50, 75, 100}));
}

TEST_F(DeleteTest, NonEmptyFolderQuestion)
{
    struct Case
    {
        const char* title;
        std::vector<A> answers;
        std::size_t questions;
        Names left;
    };
    const std::vector<Case> cases = {
        {"yes", {A::Yes, A::No}, 2, {"t2"}},      {"yes to all", {A::YesToAll}, 1, {}},
        {"no", {A::No, A::Yes}, 2, {"t1"}},       {"no to all", {A::NoToAll}, 1, {"t1", "t2"}},
        {"cancel", {A::Cancel}, 1, {"t1", "t2"}},
    };
    GeneralCheckContainer = kOptionShowHidden;
    for (const Case& c : cases) {
        std::filesystem::remove_all(posix("d"));
        for (const char* tree : {"t1", "t2"}) {
            createFile(posix(std::string("d/") + tree + "/x.txt"), "x");
            createFile(posix(std::string("d/") + tree + "/sub/y.txt"), "y");
        }
        ui.questions.clear();
        openFolder("d");
        select({"t1", "t2"});
        answer(c.answers);
        ASSERT_TRUE(run(TFileOperationKind::Delete)) << c.title;
        EXPECT_EQ(ui.questions.size(), c.questions) << c.title;
        EXPECT_EQ(listNames(posix("d")), c.left) << c.title;
        ASSERT_FALSE(ui.questions.empty());
        EXPECT_EQ(ui.questions[0].kind, ConfirmationKind::DirectoryNotEmpty);
        EXPECT_EQ(ui.questions[0].Name1, path("d\\t1"));
        for (const std::string& left : c.left)
            EXPECT_EQ(readFileBytes(posix("d/" + left + "/sub/y.txt")), "y") << c.title;
    }
}

// Each marked folder that holds files is asked for on its own: "Yes" for the first leaves the second
// to its own question, and "No" there keeps it whole.
TEST_F(DeleteTest, EachNonEmptyFolderOfFilesIsAskedForOnItsOwn)
{
    GeneralCheckContainer = kOptionShowHidden;
    for (const char* tree : {"t1", "t2"}) {
        createFile(posix(std::string("d/") + tree + "/x.txt"), "x");
        createFile(posix(std::string("d/") + tree + "/y.txt"), "y");
    }
    openFolder("d");
    select({"t1", "t2"});
    answer({A::Yes, A::No});
    ASSERT_TRUE(run(TFileOperationKind::Delete));
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ui.questions[0].kind, ConfirmationKind::DirectoryNotEmpty);
    EXPECT_EQ(ui.questions[0].Name1, path("d\\t1"));
    EXPECT_EQ(ui.questions[1].kind, ConfirmationKind::DirectoryNotEmpty);
    EXPECT_EQ(ui.questions[1].Name1, path("d\\t2"));
    EXPECT_EQ(listNames(posix("d")), Names{"t2"});
    EXPECT_EQ(listNames(posix("d/t2")), (Names{"x.txt", "y.txt"}));
    EXPECT_EQ(readFileBytes(posix("d/t2/y.txt")), "y");
}

TEST_F(DeleteTest, ReadOnlyAndHiddenFilesAsk)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionConfirmReadOnly | kOptionConfirmHiddenSystem;
    createFile(posix("d/.hidden"), "h");
    createFile(posix("d/r1.txt"), "r", platform::FileTime(0), 0444);
    createFile(posix("d/r2.txt"), "r", platform::FileTime(0), 0444);
    createFile(posix("d/plain.txt"), "p");
    openFolder("d");
    select({".hidden", "r1.txt", "r2.txt", "plain.txt"});
    answer({A::No, A::YesToAll});
    ASSERT_TRUE(run(TFileOperationKind::Delete));
    ASSERT_EQ(ui.questions.size(), 2U);
    EXPECT_EQ(asked(0), question(kAttribute, "", path("d\\.hidden"), kHidden, true));
    EXPECT_EQ(asked(1), question(kAttribute, "", path("d\\r1.txt"), "is READ ONLY!", true));
    EXPECT_EQ(listNames(posix("d")), Names{".hidden"});
}

TEST_F(DeleteTest, SymbolicLinksAreRemovedAsLinks)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionDeleteNonEmptyDirsSilently | kOptionConfirmReadOnly;
    createFile(posix("outside/kept.txt"), "kept", platform::FileTime(0), 0444);
    makeFolder(posix("d/tree"));
    ASSERT_EQ(::symlink(posix("outside").c_str(), posix("d/tree/dirlink").c_str()), 0);
    ASSERT_EQ(::symlink(posix("outside/kept.txt").c_str(), posix("d/filelink").c_str()), 0);
    openFolder("d");
    select({"tree", "filelink"});
    ASSERT_TRUE(run(TFileOperationKind::Delete));
    EXPECT_TRUE(listNames(posix("d")).empty());
    EXPECT_EQ(readFileBytes(posix("outside/kept.txt")), "kept");
    EXPECT_EQ(modeOf(posix("outside/kept.txt")) & 0777, 0444U);
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(DeleteTest, FolderThatCannotBeRemovedShowsTheMessageOnly)
{
    GeneralCheckContainer = kOptionShowHidden;
    makeFolder(posix("d/empty"));
    platform::injectFault(path("d\\empty"), platform::kErrorAccessDenied, platform::kFaultDelete);
    openFolder("d");
    select({"empty"});
    ASSERT_TRUE(run(TFileOperationKind::Delete));
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(boxes(), Names{box("Wuxtool", "Directory " + path("d\\empty") + " not deleted!",
                                 platform::MsgIcon::Error)});
    EXPECT_TRUE(exists(posix("d/empty")));
}

TEST_F(DeleteTest, FailedStepsAskWithTheirStage)
{
    struct Case
    {
        platform::FaultOperation operation;
        const char* caption;
    };
    const Case cases[] = {
        {platform::kFaultAttributes, "Error file delete 1"},
        {platform::kFaultDelete, "Error file delete 4"},
    };
    for (const Case& c : cases) {
        createFile(posix("d/x.txt"), "x");
        createFile(posix("d/y.txt"), "y");
        platform::clearFaults();
        platform::injectFault(path("d\\x.txt"), platform::kErrorAccessDenied, c.operation);
        ui.questions.clear();
        openFolder("d");
        select({"x.txt", "y.txt"});
        answer({A::Yes, A::No});
        ASSERT_TRUE(run(TFileOperationKind::Delete)) << c.caption;
        ASSERT_EQ(ui.questions.size(), 2U) << c.caption;
        EXPECT_EQ(asked(0), question(ConfirmationKind::StepFailed, c.caption, path("d\\x.txt"),
                                     platform::errorText(platform::kErrorAccessDenied)));
        EXPECT_EQ(listNames(posix("d")), Names{"x.txt"}) << c.caption;
        EXPECT_FALSE(stoppedByRun);
    }
}

TEST_F(DeleteTest, ToTheTrashAndNeverPermanentlyWhenTheTrashRefuses)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionDeleteToRecycleBin;
    createFile(posix("d/gone.txt"), "to the trash");
    createFile(posix("d/stays.txt"), "refused");
    platform::injectFault(path("d\\stays.txt"), platform::kErrorAccessDenied, platform::kFaultDelete);
    openFolder("d");
    select({"gone.txt", "stays.txt"});
    answer({A::Yes, A::No}); // retried once, then skipped
    ASSERT_TRUE(run(TFileOperationKind::Delete));
    EXPECT_EQ(listNames(posix("d")), Names{"stays.txt"});
    EXPECT_EQ(readFileBytes(posix("d/stays.txt")), "refused");
    EXPECT_EQ(readFileBytes(drive.base() + "/xdg-data/Trash/files/gone.txt"), "to the trash");
    ASSERT_EQ(ui.questions.size(), 2U);
    EXPECT_EQ(ui.unscripted, 0);
    for (std::size_t n = 0; n < 2; ++n)
        EXPECT_EQ(asked(n), question(ConfirmationKind::StepFailed, "Error file delete 3",
                                     path("d\\stays.txt"), "Can't delete file!"));
}

class MoveTest : public FileOperationsTest
{
};

TEST_F(MoveTest, OnOneDriveRenamesAndCountsItems)
{
    createFile(posix("src/a.txt"), "a", kTime, 0640);
    createFile(posix("src/tree/b.txt"), "b");
    createFile(posix("src/tree/c.txt"), "c");
    makeFolder(posix("dst"));
    openFolder("src");
    select({"a.txt", "tree"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\")));
    EXPECT_TRUE(listNames(posix("src")).empty());
    EXPECT_EQ(readFileBytes(posix("dst/a.txt")), "a");
    EXPECT_EQ(lastWriteOf(posix("dst/a.txt")), kTime);
    EXPECT_EQ(modeOf(posix("dst/a.txt")) & 0777, 0640U);
    EXPECT_EQ(readFileBytes(posix("dst/tree/c.txt")), "c");
    EXPECT_EQ(filesTotal, 2);
    EXPECT_EQ(filesDone, 2);
    EXPECT_EQ(ui.progress.back().first, 100);
}

TEST_F(MoveTest, CaseOnlyRenameAndMergingIntoAnExistingFolder)
{
    createFile(posix("src/name.txt"), "n");
    openFolder("src");
    select({"name.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Move, "NAME.TXT"));
    EXPECT_EQ(listNames(posix("src")), Names{"NAME.TXT"});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(dialogs.records().empty());

    createFile(posix("src/tree/new.txt"), "new");
    createFile(posix("dst/tree/old.txt"), "old");
    openFolder("src");
    select({"tree"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\")));
    EXPECT_EQ(listNames(posix("dst/tree")), (Names{"new.txt", "old.txt"}));
    EXPECT_FALSE(exists(posix("src/tree")));
}

TEST_F(MoveTest, ExistingTargetAsksFirstAndAutorenameMovesUnderTheNewName)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionConfirmOverwrite;
    createFile(posix("src/a.txt"), "moving");
    createFile(posix("dst/a.txt"), "staying");
    openFolder("src");
    select({"a.txt"});
    answer({A::Autorename});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\")));
    ASSERT_EQ(ui.questions.size(), 1U);
    EXPECT_EQ(ui.questions[0].kind, ConfirmationKind::Overwrite);
    EXPECT_EQ(readFileBytes(posix("dst/a.txt")), "staying");
    EXPECT_EQ(readFileBytes(posix("dst/a[1].txt")), "moving");
    EXPECT_FALSE(exists(posix("src/a.txt")));
}

TEST_F(MoveTest, FailedRenameShowsTheMoveFileBox)
{
    createFile(posix("src/a.txt"), "a");
    makeFolder(posix("dst"));
    platform::injectFault(path("src\\a.txt"), platform::kErrorSharingViolation, platform::kFaultRename);
    openFolder("src");
    select({"a.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\")));
    EXPECT_EQ(boxes(), Names{box("MoveFile: Error32", platform::errorText(32), platform::MsgIcon::Warning)});
    EXPECT_EQ(readFileBytes(posix("src/a.txt")), "a");
}

TEST_F(MoveTest, BetweenDrivesCopiesThenDeletesAndKeepsTheSourceOnFailure)
{
    ASSERT_TRUE(drive.addDrive('d'));
    createFile(posix("src/a.txt"), "alpha", kTime, 0600);
    createFile(posix("src/tree/b.txt"), "beta", kTime);
    createFile(posix("src/fails.txt"), "must stay", kTime);
    makeFolder(posix("dst", 'd'));
    platform::injectFault(path("dst\\.fails.txt", 'd'), platform::kErrorDiskFull, platform::kFaultWrite);
    openFolder("src");
    select({"a.txt", "tree", "fails.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\", 'd')));
    EXPECT_EQ(readFileBytes(posix("dst/a.txt", 'd')), "alpha");
    EXPECT_EQ(lastWriteOf(posix("dst/a.txt", 'd')), kTime);
    EXPECT_EQ(modeOf(posix("dst/a.txt", 'd')) & 0777, 0600U);
    EXPECT_EQ(readFileBytes(posix("dst/tree/b.txt", 'd')), "beta");
    EXPECT_FALSE(exists(posix("dst/fails.txt", 'd')));
    EXPECT_EQ(listNames(posix("src")), Names{"fails.txt"});
    EXPECT_EQ(readFileBytes(posix("src/fails.txt")), "must stay");
    EXPECT_EQ(dialogs.captions(), Names{"WRITE TO FILE: Error 112"});
    // Progress by bytes: 5 + 4 + 9.
    EXPECT_EQ(bytesTotal, 18U);
    EXPECT_EQ(bytesDone, 18U);
}

TEST_F(MoveTest, BetweenDrivesWithTheTrashOptionPutsNothingInTheTrash)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionDeleteToRecycleBin;
    ASSERT_TRUE(drive.addDrive('d'));
    createFile(posix("src/a.txt"), "alpha");
    createFile(posix("src/tree/b.txt"), "beta");
    makeFolder(posix("dst", 'd'));
    openFolder("src");
    select({"a.txt", "tree"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\", 'd')));
    EXPECT_EQ(listNames(posix("src")), Names{});
    EXPECT_EQ(readFileBytes(posix("dst/tree/b.txt", 'd')), "beta");
    EXPECT_FALSE(exists(drive.base() + "/xdg-data/Trash/files/a.txt"));
    EXPECT_FALSE(exists(drive.base() + "/xdg-data/Trash/files/b.txt"));
}

TEST_F(MoveTest, SymbolicLinksMoveAsOneEntry)
{
    ASSERT_TRUE(drive.addDrive('d'));
    createFile(posix("outside/data.txt"), "outside");
    makeFolder(posix("src"));
    ASSERT_EQ(::symlink(posix("outside").c_str(), posix("src/dirlink").c_str()), 0);
    makeFolder(posix("dst", 'd'));
    openFolder("src");
    select({"dirlink"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\", 'd')));
    EXPECT_TRUE(S_ISLNK(modeOf(posix("dst/dirlink", 'd'))));
    EXPECT_FALSE(exists(posix("src/dirlink")));
    EXPECT_EQ(readFileBytes(posix("outside/data.txt")), "outside");
    EXPECT_EQ(listNames(posix("outside")), Names{"data.txt"});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(dialogs.records().empty());
}

// A folder moved on one drive onto a folder of another file system mounted inside it cannot be
// renamed: it is moved entry by entry, all of it.
TEST_F(MoveTest, AFolderAcrossAMountPointInsideTheDriveMovesWhole)
{
    if (!drive.addDrive('e', platform::kDriveFixed, true))
        GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    ASSERT_EQ(::symlink(drive.root('e').c_str(), posix("mnt").c_str()), 0);
    createFile(posix("src/tree/a.txt"), "alpha", kTime, 0640);
    createFile(posix("src/tree/sub/b.txt"), "beta", kTime);
    makeFolder(posix("src/tree/empty"));
    createFile(posix("src/c.txt"), "gamma", kTime);
    openFolder("src");
    select({"tree", "c.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("mnt\\")));
    EXPECT_EQ(listNames(drive.root('e')), (Names{"c.txt", "tree"}));
    EXPECT_EQ(listNames(drive.root('e') + "/tree"), (Names{"a.txt", "empty", "sub"}));
    EXPECT_EQ(readFileBytes(drive.root('e') + "/tree/a.txt"), "alpha");
    EXPECT_EQ(modeOf(drive.root('e') + "/tree/a.txt") & 0777, 0640U);
    EXPECT_EQ(readFileBytes(drive.root('e') + "/tree/sub/b.txt"), "beta");
    EXPECT_EQ(readFileBytes(drive.root('e') + "/c.txt"), "gamma");
    EXPECT_EQ(listNames(posix("src")), Names{});
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(MoveTest, BetweenFileSystems)
{
    if (!drive.addDrive('e', platform::kDriveFixed, true))
        GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    createFile(posix("src/tree/a.txt"), "alpha", kTime, 0640);
    createFile(posix("src/b.txt"), "beta", kTime);
    makeFolder(posix("dst", 'e'));
    openFolder("src");
    select({"tree", "b.txt"});
    ASSERT_TRUE(run(TFileOperationKind::Move, path("dst\\", 'e')));
    EXPECT_EQ(readFileBytes(posix("dst/tree/a.txt", 'e')), "alpha");
    EXPECT_EQ(modeOf(posix("dst/tree/a.txt", 'e')) & 0777, 0640U);
    EXPECT_EQ(lastWriteOf(posix("dst/b.txt", 'e')), kTime);
    EXPECT_TRUE(listNames(posix("src")).empty());
    EXPECT_TRUE(dialogs.records().empty());
}

class BasketOperationsTest : public FileOperationsTest
{
protected:
    // Marks every item of the Basket in the left view.
    void selectWholeBasket()
    {
        StateAccess access(BasketState);
        for (std::int32_t i = 0; i < BasketState.itemCount; ++i)
            access.items[i].flags |= kMarkLeftBasket;
        RecalcSelection(LeftBasketState);
        panel.viewMode = kViewBasket;
    }
};

TEST_F(BasketOperationsTest, SendFilesAndFoldersThenRemoveThem)
{
    createFile(posix("s/a.txt"), "a");
    createFile(posix("s/tree/b.txt"), "b");
    createFile(posix("s/tree/sub/c.txt"), "c");
    openFolder("s");
    select({"a.txt", "tree"});
    ASSERT_TRUE(run(TFileOperationKind::SendToBasket));
    EXPECT_EQ(basketNames(),
              (Names{path("s") + "\\a.txt", path("s\\tree") + "\\b.txt", path("s\\tree\\sub") + "\\c.txt"}));
    EXPECT_EQ(BasketState.folderCount, 3);
    EXPECT_EQ(filesTotal, 3);
    EXPECT_EQ(ui.progress.back().first, 100);
    // Nothing changed on disk.
    EXPECT_EQ(readFileBytes(posix("s/tree/sub/c.txt")), "c");

    selectWholeBasket();
    ASSERT_TRUE(run(TFileOperationKind::RemoveFromBasket));
    EXPECT_EQ(BasketState.itemCount, 0);
    EXPECT_EQ(readFileBytes(posix("s/a.txt")), "a");
}

TEST_F(BasketOperationsTest, DeletedEntriesLeaveTheBasketOnlyWhenTheirFileIsGone)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionConfirmReadOnly;
    createFile(posix("s/gone.txt"), "g");
    createFile(posix("s/kept.txt"), "k", platform::FileTime(0), 0444);
    openFolder("s");
    select({"gone.txt", "kept.txt"});
    ASSERT_TRUE(run(TFileOperationKind::SendToBasket));
    ASSERT_EQ(BasketState.itemCount, 2);

    selectWholeBasket();
    answer({A::No});
    ASSERT_TRUE(run(TFileOperationKind::Delete));
    EXPECT_EQ(basketNames(), Names{path("s") + "\\kept.txt"});
    EXPECT_EQ(listNames(posix("s")), Names{"kept.txt"});
}

} // namespace
} // namespace wux::filelist::test
