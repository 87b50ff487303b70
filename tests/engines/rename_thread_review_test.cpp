// Renamer runs where a user could lose a file: case-only renames, names that differ from an existing
// one only in case, folders renamed into themselves, names the disk cannot hold.
#include "engines/rename_thread.h"

#include <gtest/gtest.h>

#include <QEventLoop>

#include <string>
#include <vector>

#include "engines/rename_mask.h"
#include "filelist/browser_state.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

using filelist::TstateOfBrowser;
using test::createFile;
using test::listNames;
using test::readFileBytes;

class RenameThreadReviewTest : public test::TempDriveTest
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

    // Renames every entry of folder `relative` with the mask; the results in display order.
    std::vector<std::int32_t> renameAll(const std::string& relative, const std::string& mask,
                                        std::int32_t caseMode = kCaseUnchanged)
    {
        filelist::CreateBrowserState(source, 10, 50, "*.*", 1000);
        EXPECT_TRUE(filelist::SetStateToPath(path(relative), source));
        EXPECT_TRUE(filelist::ReadFolder(1, 0, source));
        filelist::SortFolder(1, filelist::kSortDefault, source);
        filelist::SelectFolderItems(1, source, false, filelist::kActionMark);
        EXPECT_TRUE(filelist::CopySelectedToState(RenameStore, source));
        filelist::BeginFlatView(RenameStore, RenameStore.itemCount);
        filelist::SortAllFolders(RenameStore);
        TRenamerFileStructure& request = renamerFileStructure();
        request = TRenamerFileStructure();
        request.mask = mask;
        request.start = 1;
        request.step = 1;
        request.digits = 2;
        request.caseMode = caseMode;
        RenameList = &RenameStore;

        std::vector<std::int32_t> results;
        TRenamer thread;
        thread.sourceList = &source;
        thread.OnRenameItem = [&](platform::WuxThread&, std::int32_t result) { results.push_back(result); };
        QEventLoop loop;
        thread.OnTerminate = [&](platform::WuxThread&) { loop.quit(); };
        thread.Start();
        loop.exec();
        thread.WaitFor();
        return results;
    }

    TstateOfBrowser source;

private:
    TRenamerFileStructure savedRequest_;
};

// A case-only rename renames; a new name that another file of the folder has in another case fails
// and leaves both files as they were.
TEST_F(RenameThreadReviewTest, CaseOnlyRenamesAndNamesTakenInAnotherCase)
{
    createFile(path("t\\a.txt"), "A");
    EXPECT_EQ(renameAll("t", "[N].[E]", kCaseUpper), (std::vector<std::int32_t>{kRenameDone}));
    EXPECT_EQ(listNames(posix("t")), (std::vector<std::string>{"A.TXT"}));
    filelist::FreeBrowserState(source);
    filelist::EndFlatView(RenameStore);
    filelist::FreeBrowserState(RenameStore);
    RenameStore = TstateOfBrowser();

    createFile(path("t\\b.txt"), "B");
    EXPECT_EQ(renameAll("t", "a.txt"), (std::vector<std::int32_t>{kRenameDone, kRenameFailed}));
    EXPECT_EQ(listNames(posix("t")), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(readFileBytes(posix("t/a.txt")), "A");
    EXPECT_EQ(readFileBytes(posix("t/b.txt")), "B");
}

} // namespace
} // namespace wux::engines
