#include "engines/rename_thread.h"

#include <gtest/gtest.h>

#include <QEventLoop>

#include <string>
#include <vector>

#include "engines/rename_mask.h"
#include "filelist/browser_state.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"
#include "platform/files.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

using filelist::StateAccess;
using filelist::TBrowserItem;
using filelist::TstateOfBrowser;
using test::createFile;
using test::exists;
using test::readFileBytes;

class RenameThreadTest : public test::TempDriveTest
{
protected:
    void SetUp() override { savedRequest_ = renamerFileStructure(); }

    void TearDown() override
    {
        if (RenameStore.items) {
            filelist::EndFlatView(RenameStore);
            filelist::FreeBrowserState(RenameStore);
        }
        RenameStore = TstateOfBrowser();
        RenameList = nullptr;
        if (source.items)
            filelist::FreeBrowserState(source);
        renamerFileStructure() = savedRequest_;
    }

    // Reads folder `relative` into the source list and marks every file of it.
    void readSource(const std::string& relative)
    {
        filelist::CreateBrowserState(source, 10, 50, "*.*", 1000);
        ASSERT_TRUE(filelist::SetStateToPath(path(relative), source));
        ASSERT_TRUE(filelist::ReadFolder(1, 0, source));
        filelist::SortFolder(1, filelist::kSortDefault, source);
        filelist::SelectFolderItems(1, source, false, filelist::kActionMark);
    }

    // Copies the marked items into RenameStore as one flat sorted list, as the Renamer window does.
    void prepareStore(const std::string& mask)
    {
        ASSERT_TRUE(filelist::CopySelectedToState(RenameStore, source));
        filelist::BeginFlatView(RenameStore, RenameStore.itemCount);
        filelist::SortAllFolders(RenameStore);
        TRenamerFileStructure& request = renamerFileStructure();
        request = TRenamerFileStructure();
        request.mask = mask;
        request.start = 1;
        request.step = 1;
        request.digits = 2;
        request.caseMode = kCaseUnchanged;
        RenameList = &RenameStore;
    }

    void run(TRenamer& thread)
    {
        thread.sourceList = &source;
        thread.OnRenameFile = [this](platform::WuxThread&, const std::string& text) {
            EXPECT_TRUE(platform::isGuiThread());
            log.push_back("file " + text);
        };
        thread.OnRenameItem = [this](platform::WuxThread& sender, std::int32_t result) {
            EXPECT_TRUE(platform::isGuiThread());
            log.push_back("item " + std::to_string(result));
            if (++reported == stopAfter)
                sender.Terminate();
        };
        QEventLoop loop;
        thread.OnTerminate = [this, &loop](platform::WuxThread&) {
            log.push_back("terminate");
            loop.quit();
        };
        thread.Start();
        loop.exec();
        returnValue = thread.WaitFor();
    }

    // The source item of that name (its current name).
    TBrowserItem sourceItem(const std::string& name)
    {
        StateAccess access(source);
        for (std::int32_t i = 0; i < source.itemCount; ++i)
            if (access.Name(access.items[i]) == name)
                return access.items[i];
        ADD_FAILURE() << "no item " << name;
        return TBrowserItem();
    }

    TstateOfBrowser source;
    std::vector<std::string> log;
    int reported = 0;
    int stopAfter = -1;
    int returnValue = -1;

private:
    TRenamerFileStructure savedRequest_;
};

TEST(CreateDirectoryChainTest, CreatesEachLevelBeforeABackslash)
{
    test::TempDrive drive;
    CreateDirectoryChain(drive.path(""), "a\\b\\c.txt");
    EXPECT_TRUE(exists(drive.path("a\\b")));
    EXPECT_FALSE(exists(drive.path("a\\b\\c.txt")));
    CreateDirectoryChain(drive.path(""), "plain.txt");
    EXPECT_FALSE(exists(drive.path("plain.txt")));
}

TEST_F(RenameThreadTest, RenamesByDisplayOrderWithTheCounterAndReports)
{
    createFile(path("t\\b.txt"), "B");
    createFile(path("t\\a.txt"), "A");
    createFile(path("t\\c.log"), "C");
    readSource("t");
    prepareStore("f[C].[E]");
    TRenamer thread;
    run(thread);

    EXPECT_EQ(returnValue, 2);
    EXPECT_EQ(thread.endState, 2);
    EXPECT_EQ(readFileBytes(path("t\\f01.txt")), "A");
    EXPECT_EQ(readFileBytes(path("t\\f02.txt")), "B");
    EXPECT_EQ(readFileBytes(path("t\\f03.log")), "C");
    EXPECT_FALSE(exists(path("t\\a.txt")));
    const std::string folder = "c:\\t\\";
    EXPECT_EQ(log, (std::vector<std::string>{"file " + folder + "a.txt - f01.txt", "item 2",
                                             "file " + folder + "b.txt - f02.txt", "item 2",
                                             "file " + folder + "c.log - f03.log", "item 2", "terminate"}));
    for (const char* name : {"f01.txt", "f02.txt", "f03.log"}) {
        const TBrowserItem item = sourceItem(name);
        EXPECT_EQ(item.status, filelist::kStatusSuccessful) << name;
        EXPECT_EQ(item.flags & filelist::kMarkBothViews, 0u) << name;
    }
}

// A same name is unchanged and left alone; the folder directive and the report see the folder as
// spelled on the disk, even beside a folder whose name differs only in case.
TEST_F(RenameThreadTest, ASameNameIsUnchangedAndTheFolderDirectiveSeesTheFolderAsSpelled)
{
    createFile(path("t\\keep.txt"), "K");
    createFile(path("t\\report.txt"), "R");
    readSource("t");
    prepareStore("[N].[E]");
    TRenamer thread;
    run(thread);
    EXPECT_EQ(log[1], "item 8");
    EXPECT_EQ(log[3], "item 8");
    EXPECT_EQ(sourceItem("keep.txt").status, filelist::kStatusUnchanged);
    EXPECT_EQ(readFileBytes(path("t\\keep.txt")), "K");
    filelist::FreeBrowserState(source);
    filelist::EndFlatView(RenameStore);
    filelist::FreeBrowserState(RenameStore);
    RenameStore = TstateOfBrowser();

    createFile(path("mix\\a.txt"), "A");
    createFile(path("Mix\\b.txt"), "other folder");
    log.clear();
    readSource("mix");
    prepareStore("[F]_[N].[E]");
    TRenamer folder;
    run(folder);
    EXPECT_EQ(readFileBytes(path("mix\\mix_a.txt")), "A");
    EXPECT_EQ(test::listNames(posix("mix")), (std::vector<std::string>{"mix_a.txt"}));
    EXPECT_EQ(test::listNames(posix("Mix")), (std::vector<std::string>{"b.txt"}));
    EXPECT_EQ(readFileBytes(path("Mix\\b.txt")), "other folder");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "file c:\\mix\\a.txt - mix_a.txt");
}

TEST_F(RenameThreadTest, NewNameWithBackslashMovesIntoCreatedSubFolders)
{
    createFile(path("t\\report.txt"), "R");
    readSource("t");
    prepareStore("x\\y\\[N].bak.[E]");
    TRenamer thread;
    run(thread);
    EXPECT_EQ(readFileBytes(path("t\\x\\y\\report.bak.txt")), "R");
    const TBrowserItem item = sourceItem("x\\y\\report.bak.txt");
    EXPECT_EQ(item.status, filelist::kStatusSuccessful);
    // The extension begins after the last dot.
    EXPECT_EQ(item.extensionOffset - item.nameOffset, std::string("x\\y\\report.bak.").size());
}

TEST_F(RenameThreadTest, TwoFilesGivenOneNameTheSecondFailsAndTheFirstIsIntact)
{
    createFile(path("t\\a.txt"), "A");
    createFile(path("t\\b.txt"), "B");
    readSource("t");
    {
        // An earlier failure on the first item must not survive its success.
        StateAccess access(source);
        for (std::int32_t i = 0; i < source.itemCount; ++i)
            access.items[i].status = filelist::kStatusFailed;
    }
    prepareStore("same.[E]");
    TRenamer thread;
    run(thread);
    EXPECT_EQ(log, (std::vector<std::string>{"file c:\\t\\a.txt - same.txt", "item 2",
                                             "file c:\\t\\b.txt - same.txt", "item 1", "terminate"}));
    EXPECT_EQ(readFileBytes(path("t\\same.txt")), "A");
    EXPECT_EQ(readFileBytes(path("t\\b.txt")), "B");
    EXPECT_EQ(sourceItem("same.txt").status, filelist::kStatusSuccessful);
    const TBrowserItem failed = sourceItem("b.txt");
    EXPECT_EQ(failed.status, filelist::kStatusFailed);
    EXPECT_EQ(failed.flags & filelist::kRemovalPending, 0u);
    EXPECT_EQ(failed.flags & filelist::kMarkBothViews, 0u);
}

TEST_F(RenameThreadTest, AFailureWhoseOldFileIsGoneMarksTheItemForRemoval)
{
    createFile(path("t\\a.txt"), "A");
    readSource("t");
    prepareStore("z.[E]");
    ASSERT_EQ(platform::deleteFile(path("t\\a.txt")), 0u);
    TRenamer thread;
    run(thread);
    EXPECT_EQ(log[1], "item 1");
    const TBrowserItem item = sourceItem("a.txt");
    EXPECT_EQ(item.status, filelist::kStatusFailed);
    EXPECT_NE(item.flags & filelist::kRemovalPending, 0u);
    EXPECT_FALSE(exists(path("t\\z.txt")));
}

TEST_F(RenameThreadTest, StopLeavesTheRestUnrenamedAndUnreported)
{
    const std::vector<std::string> names = {"a", "b", "c", "d", "e", "f"};
    for (const std::string& name : names)
        createFile(path("t\\" + name + ".txt"), name);
    readSource("t");
    prepareStore("n[C].[E]");
    // The reports reach the window after the files were renamed: a stop asked for in the first one
    // ends the run at the file in hand then, wherever that is.
    stopAfter = 1;
    TRenamer thread;
    run(thread);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.back(), "terminate");
    std::size_t renamed = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string newName = "n0" + std::to_string(i + 1) + ".txt";
        const bool done = !exists(path("t\\" + names[i] + ".txt"));
        EXPECT_EQ(exists(path("t\\" + newName)), done) << names[i];
        // Renamed files, and only those, were reported, in order, each with its result.
        if (done) {
            ASSERT_LT(2 * renamed + 1, log.size());
            EXPECT_EQ(log[2 * renamed], "file c:\\t\\" + names[i] + ".txt - " + newName);
            EXPECT_EQ(log[2 * renamed + 1], "item 2");
            ++renamed;
        } else {
            EXPECT_NE(sourceItem(names[i] + ".txt").flags & filelist::kMarkOwn, 0u) << names[i];
        }
    }
    EXPECT_GE(renamed, 1u);
    EXPECT_EQ(log.size(), 2 * renamed + 1);
    // Stopped (1) unless the last file was done before the stop arrived.
    if (renamed < names.size())
        EXPECT_EQ(returnValue, 1);
    else
        EXPECT_TRUE(returnValue == 1 || returnValue == 2) << returnValue;
}

// A stop before the start renames nothing (stopped); without a list the run ends done.
TEST_F(RenameThreadTest, StopBeforeTheStartOrNoListRenamesNothing)
{
    createFile(path("t\\a.txt"), "A");
    readSource("t");
    prepareStore("n[C].[E]");
    TRenamer thread;
    thread.Terminate();
    run(thread);
    EXPECT_EQ(returnValue, 1);
    EXPECT_EQ(log, std::vector<std::string>{"terminate"});
    EXPECT_TRUE(exists(path("t\\a.txt")));

    RenameList = nullptr;
    log.clear();
    TRenamer idle;
    run(idle);
    EXPECT_EQ(returnValue, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"terminate"}));
}

// Renamer runs where a user could lose a file.

using test::listNames;

// A case-only rename renames; a new name that another file of the folder has in another case fails
// and leaves both files as they were.
TEST_F(RenameThreadTest, CaseOnlyRenamesAndNamesTakenInAnotherCase)
{
    // Renames every entry of folder `relative` with the mask; the results in display order.
    const auto renameAll = [this](const std::string& relative, const std::string& mask,
                                  std::int32_t caseMode = kCaseUnchanged) {
        readSource(relative);
        prepareStore(mask);
        renamerFileStructure().caseMode = caseMode;
        log.clear();
        TRenamer thread;
        run(thread);
        std::vector<std::string> items;
        for (const std::string& line : log)
            if (line.rfind("item ", 0) == 0)
                items.push_back(line.substr(5));
        return items;
    };
    createFile(path("t\\a.txt"), "A");
    EXPECT_EQ(renameAll("t", "[N].[E]", kCaseUpper), (std::vector<std::string>{std::to_string(kRenameDone)}));
    EXPECT_EQ(listNames(posix("t")), (std::vector<std::string>{"A.TXT"}));
    filelist::FreeBrowserState(source);
    filelist::EndFlatView(RenameStore);
    filelist::FreeBrowserState(RenameStore);
    RenameStore = TstateOfBrowser();

    createFile(path("t\\b.txt"), "B");
    EXPECT_EQ(renameAll("t", "a.txt"),
              (std::vector<std::string>{std::to_string(kRenameDone), std::to_string(kRenameFailed)}));
    EXPECT_EQ(listNames(posix("t")), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(readFileBytes(posix("t/a.txt")), "A");
    EXPECT_EQ(readFileBytes(posix("t/b.txt")), "B");
}

} // namespace
} // namespace wux::engines
