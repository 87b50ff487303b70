// The rename preview's cell texts: the file list's new-name columns built by the rename-mask engine.
#include <gtest/gtest.h>

#include "engines/rename_mask.h"
#include "filelist/list_builder.h"
#include "filelist/list_operations.h"
#include "platform/filetime.h"

namespace wux::engines {
namespace {

using filelist::test::file;

class RenamePreviewCells : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = renamerFileStructure();
        filelist::SetNewNameBuilder(BuildNewName);
    }
    void TearDown() override
    {
        filelist::SetNewNameBuilder(nullptr);
        renamerFileStructure() = saved;
    }
    std::string cell(filelist::TstateOfBrowser& state, std::int32_t kind, std::int32_t position)
    {
        std::string text = "stale";
        filelist::GetCellText(kind, 1, position, text, state);
        return text;
    }
    TRenamerFileStructure saved;
};

TEST_F(RenamePreviewCells, NewNameAndNewExtensionComeFromTheMask)
{
    // 2009-03-07 14:05:09 UTC; the tests run in UTC.
    platform::CalendarTime when{};
    when.year = 2009;
    when.month = 3;
    when.day = 7;
    when.hour = 14;
    when.minute = 5;
    when.second = 9;
    const platform::FileTime time = platform::calendarToFileTime(when).value();

    filelist::TstateOfBrowser state;
    filelist::test::makeList(state, {file("Report.TXT", 10, time), file("archive.tar.gz", 20, time)}, 1,
                             "C:\\DATA\\Holiday");
    filelist::test::ListGuard guard{state};

    TRenamerFileStructure& request = renamerFileStructure();
    request = TRenamerFileStructure{};
    request.mask = "[F]_[N]_[YMD].[LE]";
    request.runningNumber = 1;
    request.start = 1;
    request.step = 1;
    request.digits = 1;

    // Kind 6 is the new name without its extension, kind 9 only the extension; "[F]" sees the folder
    // name as the display-case path shows it.
    EXPECT_EQ(cell(state, filelist::kColumnNewName, 1), "Holiday_Report_20090307");
    EXPECT_EQ(cell(state, filelist::kColumnNewExtension, 1), "txt");
    EXPECT_EQ(cell(state, filelist::kColumnNewName, 2), "Holiday_archive.tar_20090307");
    EXPECT_EQ(cell(state, filelist::kColumnNewExtension, 2), "gz");

    request.mask = "[N].[E]";
    request.replaceOn = true;
    request.find = "report";
    request.replace = "Summary";
    request.caseMode = kCaseUpper;
    EXPECT_EQ(cell(state, filelist::kColumnNewName, 1), "SUMMARY");
    EXPECT_EQ(cell(state, filelist::kColumnNewExtension, 1), "TXT");

    // The ".." row has no new name.
    EXPECT_EQ(cell(state, filelist::kColumnNewName, 0), "");
    EXPECT_EQ(cell(state, filelist::kColumnNewExtension, 0), "");
}

} // namespace
} // namespace wux::engines
