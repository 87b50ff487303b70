#include "tools/renamer_form.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <map>

#include "controls/wux_string_grid.h"
#include "core/text_table.h"
#include "engines/rename_mask.h"
#include "engines/rename_thread.h"
#include "filelist/basket.h"
#include "filelist/file_operations.h"
#include "filelist/general_options.h"
#include "filelist/list_builder.h"
#include "filelist/list_operations.h"
#include "platform/dialogs.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "tools/row_colors.h"
#include "tools/run_window.h"
#include "tools/search_results.h"
#include "tools/tool_test_host.h"

namespace wux::tools {
namespace {

using filelist::test::addFolder;
using filelist::test::file;

TEST(RenamerParts, RnStatusPacksAndOutOfRangeIndexesGiveZero)
{
    struct Case
    {
        std::int32_t value;
        int digits;
        int caseMode;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{9, 9, 0}, Case{0x45, 5, 4}, Case{0x0A, 0, 0}, Case{0x0F, 0, 0},
                          Case{0x53, 3, 0}, Case{0x73, 3, 0}, Case{0x123, 3, 2}, Case{-1, 0, 0}}) {
        int digits = -1;
        int caseMode = -1;
        unpackRnStatus(c.value, digits, caseMode);
        EXPECT_EQ(digits, c.digits) << c.value;
        EXPECT_EQ(caseMode, c.caseMode) << c.value;
    }
    EXPECT_EQ(packRnStatus(5, 4), 0x45);
    EXPECT_EQ(packRnStatus(9, 0), 9);
}

TEST(RenamerParts, RequestFromTheInputs)
{
    RenamerInputs in;
    in.nameMask = "[N]_[C]";
    in.extensionMask = "[E]";
    in.start = -3;
    in.step = 2;
    in.digitsIndex = 2;
    in.caseIndex = 4;
    in.find = "old";
    in.replace = "new";
    const engines::TRenamerFileStructure request = buildRenameRequest(in);
    EXPECT_EQ(request.mask, "[N]_[C].[E]");
    EXPECT_EQ(request.start, -3);
    EXPECT_EQ(request.step, 2);
    EXPECT_EQ(request.digits, 3);
    EXPECT_EQ(request.caseMode, 5);
    EXPECT_TRUE(request.replaceOn);
    EXPECT_EQ(request.find, "old");
    EXPECT_EQ(request.replace, "new");
    in.find.clear();
    EXPECT_FALSE(buildRenameRequest(in).replaceOn);
}

class RenamerFormTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        registerSearchResultsTexts();
        registerRunWindowTexts();
        SetSettingsFileName(path("wux.ini"));
        filelist::SetNewNameBuilder(engines::BuildNewName);
        savedOptions_ = filelist::GeneralCheckContainer.load();
        form.RegisterDefaultTexts(1800);
        form.InitTool();
        form.Translate(1800);
    }
    void TearDown() override
    {
        filelist::GeneralCheckContainer = savedOptions_;
        filelist::SetNewNameBuilder(nullptr);
        SetSettingsFileName("");
        if (source.text != nullptr)
            filelist::FreeBrowserState(source);
    }

    template <typename T> T* child(const char* name) { return form.findChild<T*>(name); }

    // c:\ren holding the files, all marked, as the panel beside the tool shows them.
    void makeSource(const std::vector<std::string>& names)
    {
        std::vector<filelist::test::ItemData> items;
        for (const std::string& name : names) {
            wux::test::createFile(path("ren\\" + name), name);
            items.push_back(file(name, name.size()));
        }
        filelist::CreateBrowserState(source, 2, 10, "*.*", 1000);
        addFolder(source, path("ren"), items, 1);
        filelist::SortAllFolders(source);
        filelist::SelectFolderItems(1, source, true, filelist::kActionMark);
        filelist::RecalcSelection(source);
        host.panel.listing = &source;
    }

    void setMask(const char* name, const char* ext)
    {
        child<QComboBox>("cmbFileName")->setEditText(name);
        child<QComboBox>("cmbFileExt")->setEditText(ext);
    }

    test::TestHost host;
    TRenamerForm form;
    filelist::TstateOfBrowser source;
    std::uint32_t savedOptions_ = 0;
};

TEST_F(RenamerFormTest, TokenButtonsAppendTheirTokens)
{
    setMask("", "[E]");
    struct Press
    {
        const char* button;
        const char* name;
        const char* ext;
    };
    for (const Press& p :
         {Press{"btnRange", "[N1-12]", "[E]"}, Press{"btnName", "[N1-12][N]", "[E]"},
          Press{"btnExtCounter", "[N1-12][N]", "[E][C]"}, Press{"WUXBitBtn1", "[N1-12][N][F]", "[E][C]"},
          Press{"btnExtRange", "[N1-12][N][F]", "[E][C][E1-3]"}}) {
        child<QPushButton>(p.button)->click();
        EXPECT_EQ(child<QComboBox>("cmbFileName")->currentText().toStdString(), p.name) << p.button;
        EXPECT_EQ(child<QComboBox>("cmbFileExt")->currentText().toStdString(), p.ext) << p.button;
    }
    EXPECT_EQ(child<QPushButton>("btnTima")->text().toStdString(), "[hms] Time");
    EXPECT_EQ(child<QPushButton>("btnExtCounter")->text().toStdString(), "[C] Counter");
}

TEST_F(RenamerFormTest, TranslateReachesEveryCaptionAndKeepsTheCaseMode)
{
    child<QComboBox>("cmbCaseSensitive")->setCurrentIndex(3);
    core::classTranslator().SetTranslation(1800 + 26, "Erster gross");
    test::expectTranslatedCaptions(
        form, 1800,
        {{"pnlNameTools", 0},   {"dbName", 4},      {"gbExtension", 5},   {"btnName", 6},
         {"btnRange", 7},       {"btnCounter", 8},  {"btnExtCounter", 8}, {"btnTima", 9},
         {"btnDate", 10},       {"btnExt", 11},     {"btnExtRange", 12},  {"gbSearchAndReplase", 13},
         {"lblSearch", 14},     {"lblReplace", 15}, {"gbSensitive", 16},  {"gbCounter", 17},
         {"lblStart", 18},      {"lblStep", 19},    {"lblDigits", 20},    {"btnStartOperation", 21},
         {"btnHelpRenamer", 22}});
    EXPECT_EQ(child<QComboBox>("cmbCaseSensitive")->currentIndex(), 3);
    EXPECT_EQ(child<QComboBox>("cmbCaseSensitive")->itemText(3).toStdString(), "Erster gross");
}

TEST_F(RenamerFormTest, CanStartNeedsAnySelectedItem)
{
    filelist::TstateOfBrowser panelList;
    EXPECT_FALSE(form.CanStart(&panelList));
    EXPECT_FALSE(child<QPushButton>("btnStartOperation")->isEnabled());
    panelList.selectedCount = 1; // a folder counts as well
    EXPECT_TRUE(form.CanStart(&panelList));
    EXPECT_FALSE(form.CanStart(nullptr));
}

TEST_F(RenamerFormTest, SettingsWithAndWithoutCounterRestore)
{
    setMask("[N]_x", "[E]");
    child<QComboBox>("cmbSearch")->setEditText("a");
    child<QSpinBox>("spStart")->setValue(7);
    child<QSpinBox>("spStep")->setValue(-2);
    child<QComboBox>("cmbDigits")->setCurrentIndex(3);
    child<QComboBox>("cmbCaseSensitive")->setCurrentIndex(2);

    filelist::GeneralCheckContainer = savedOptions_ & ~0x1000u;
    form.SaveSettings();
    const std::string without = wux::test::readFileBytes(path("wux.ini"));
    EXPECT_EQ(without.find("Rn"), std::string::npos);
    EXPECT_NE(without.find("MASK_NAME_VALUE=[N]_x\r\n"), std::string::npos);
    EXPECT_NE(without.find("SEARCH_FOR_VALUE=a\r\n"), std::string::npos);

    filelist::GeneralCheckContainer = savedOptions_ | 0x1000u;
    form.SaveSettings();
    const std::string with = wux::test::readFileBytes(path("wux.ini"));
    EXPECT_EQ(
        with,
        "[Renamer]\r\nMASK_NAME=5B4E5D5F780D0A310D0A\r\nMASK_EXT=5B455D0D0A310D0A\r\n"
        "SEARCH_FOR=610D0A310D0A\r\nREPLACE_TO=300D0A\r\nMASK_NAME_VALUE=[N]_x\r\nMASK_EXT_VALUE=[E]\r\n"
        "SEARCH_FOR_VALUE=a\r\nREPLACE_TO_VALUE=\r\nRnStartAt=7\r\nRnStepBy=-2\r\nRnStatus=35\r\n");

    TRenamerForm loaded;
    loaded.LoadSettings();
    EXPECT_EQ(loaded.findChild<QComboBox*>("cmbFileName")->currentText().toStdString(), "[N]_x");
    EXPECT_EQ(loaded.findChild<QComboBox*>("cmbSearch")->currentText().toStdString(), "a");
    EXPECT_EQ(loaded.findChild<QSpinBox*>("spStep")->value(), -2);
    EXPECT_EQ(loaded.findChild<QComboBox*>("cmbDigits")->currentIndex(), 3);
    EXPECT_EQ(loaded.findChild<QComboBox*>("cmbCaseSensitive")->currentIndex(), 2);
    loaded.SaveSettings();
    EXPECT_EQ(wux::test::readFileBytes(path("wux.ini")), with);

    // Without the option nothing of the counter is read.
    filelist::GeneralCheckContainer = savedOptions_ & ~0x1000u;
    TRenamerForm plain;
    plain.LoadSettings();
    EXPECT_EQ(plain.findChild<QSpinBox*>("spStep")->value(), 0);
    EXPECT_EQ(plain.findChild<QComboBox*>("cmbDigits")->currentIndex(), 0);
}

TEST_F(RenamerFormTest, NothingSelectedSaysSo)
{
    makeSource({"a.txt"});
    filelist::SelectFolderItems(1, source, true, filelist::kActionUnmark);
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService scope(dialogs);
    form.CanStart(&source); // the list's count was taken while marked
    form.StartOperation();
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"No files selected!"});
    EXPECT_EQ(dialogs.records()[0].request.icon, platform::MsgIcon::Warning);
    EXPECT_EQ(engines::ResultListState, nullptr);
}

TEST_F(RenamerFormTest, PreviewNumbersByRowAndCancelRenamesNothing)
{
    makeSource({"b.txt", "a.txt", "c.doc"});
    setMask("F[C]", "[E]");
    child<QSpinBox>("spStart")->setValue(1);
    child<QSpinBox>("spStep")->setValue(1);
    child<QComboBox>("cmbDigits")->setCurrentIndex(1);
    bool seen = false;
    form.onPreviewShown = [&](TSrchRes& preview) {
        test::onNextModal([&](QDialog&) {
            EXPECT_EQ(preview.windowTitle().toStdString(), "Preview Multi-Rename Tool");
            EXPECT_EQ(preview.rowCount(), 3);
            std::vector<std::string> oldNames;
            std::vector<std::string> newNames;
            for (int row = 0; row < 3; ++row) {
                oldNames.push_back(preview.cellText(1, row) + "." + preview.cellText(2, row));
                newNames.push_back(preview.cellText(3, row) + "." + preview.cellText(4, row));
            }
            EXPECT_EQ(oldNames, (std::vector<std::string>{"a.txt", "b.txt", "c.doc"}));
            EXPECT_EQ(newNames, (std::vector<std::string>{"F01.txt", "F02.txt", "F03.doc"}));
            // Sorted by old name descending, the counters still follow the rows.
            preview.titleClick(1);
            EXPECT_EQ(preview.cellText(1, 0), "c");
            EXPECT_EQ(preview.cellText(3, 0), "F01");
            EXPECT_EQ(preview.cellText(3, 2), "F03");
            EXPECT_TRUE(filelist::OperationBusy.load());
            EXPECT_EQ(source.busy, 1);
            // Every file of the preview is one to rename: none is drawn in the marked red, and the
            // cursor row reads as well as the others.
            auto* grid = preview.findChild<controls::TWUXStringGrid*>("sgFinder");
            for (int row = 0; row < 3; ++row) {
                const QImage shown = grid->viewport()->grab(grid->CellRect(1, row)).toImage();
                EXPECT_FALSE(tools::test::rowHasRedText(shown)) << "row " << row;
                EXPECT_GE(tools::test::rowTextContrast(shown), 3.0) << "row " << row;
            }
            seen = true;
            preview.findChild<QPushButton*>("btnExit")->click();
        });
    };
    form.btnStartOperationClick();
    EXPECT_TRUE(seen);
    EXPECT_EQ(wux::test::listNames(posix("ren")), (std::vector<std::string>{"a.txt", "b.txt", "c.doc"}));
    EXPECT_EQ(engines::RenameStore.text, nullptr);
    EXPECT_EQ(engines::ResultListState, nullptr);
    EXPECT_FALSE(filelist::OperationBusy.load());
    EXPECT_EQ(source.busy, 0);
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_GE(host.panel.repaints, 1);
}

TEST_F(RenamerFormTest, ConfirmedRenameRenamesOnDiskAndMarksTheSource)
{
    makeSource({"one.txt", "two.txt", "taken.txt"});
    wux::test::createFile(path("ren\\tw0.txt"), "occupied");
    setMask("[N]", "[E]");
    child<QComboBox>("cmbSearch")->setEditText("o");
    child<QComboBox>("cmbReplace")->setEditText("0");
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService scope(dialogs);
    bool accepted = false;
    form.onPreviewShown = [&](TSrchRes& preview) {
        QObject::connect(&preview, &QDialog::accepted, [&accepted] { accepted = true; });
        test::onNextModal([&](QDialog&) {
            EXPECT_EQ(preview.cellText(3, 0), "0ne");
            preview.findChild<QPushButton*>("btnStartRename")->click();
        });
    };
    bool ran = false;
    form.onRunShown = [&](TViewRenReplacer& run) {
        EXPECT_EQ(run.windowTitle().toStdString(), "Multi-Rename Tool");
        test::onNextModal([&](QDialog&) {
            QTRY_VERIFY(run.finished());
            EXPECT_EQ(run.processed(), 3);
            EXPECT_EQ(run.successful(), 1);
            EXPECT_EQ(run.unchanged(), 1);
            EXPECT_EQ(run.failed(), 1);
            ran = true;
            run.close();
        });
    };
    form.btnStartOperationClick();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(accepted) << "the preview ends accepted";
    EXPECT_TRUE(dialogs.records().empty());
    // The name taken stays taken; the failed file keeps its name and content.
    EXPECT_EQ(wux::test::listNames(posix("ren")),
              (std::vector<std::string>{"0ne.txt", "taken.txt", "tw0.txt", "two.txt"}));
    EXPECT_EQ(wux::test::readFileBytes(path("ren\\0ne.txt")), "one.txt");
    EXPECT_EQ(wux::test::readFileBytes(path("ren\\tw0.txt")), "occupied");
    EXPECT_EQ(wux::test::readFileBytes(path("ren\\two.txt")), "two.txt");
    std::map<std::string, std::uint32_t> statuses;
    {
        filelist::StateAccess access(source);
        for (std::int32_t position = 1; position <= 3; ++position) {
            const filelist::TBrowserItem* item = access.ItemAt(1, position);
            statuses[std::string(access.Name(*item))] = item->status;
            EXPECT_EQ(item->flags & filelist::kMarkBothViews, 0u) << position;
        }
    }
    EXPECT_EQ(statuses, (std::map<std::string, std::uint32_t>{{"0ne.txt", filelist::kStatusSuccessful},
                                                              {"taken.txt", filelist::kStatusUnchanged},
                                                              {"two.txt", filelist::kStatusFailed}}));
}

TEST_F(RenamerFormTest, BasketRenameRecountsBothViews)
{
    wux::test::createFile(path("b1\\x.txt"), "x");
    wux::test::createFile(path("b2\\y.txt"), "y");
    filelist::CreateBasketState(filelist::BasketState);
    filelist::InsertFileIntoFolder(path("b1"), "x.txt",
                                   filelist::FindOrAddFolder(path("b1"), filelist::BasketState),
                                   filelist::BasketState);
    filelist::InsertFileIntoFolder(path("b2"), "y.txt",
                                   filelist::FindOrAddFolder(path("b2"), filelist::BasketState),
                                   filelist::BasketState);
    filelist::AttachStateToPanel(filelist::kRightBasketView, true, filelist::BasketState);
    filelist::AttachStateToPanel(filelist::kLeftBasketView, true, filelist::BasketState);
    for (std::int32_t folder = 1; folder <= filelist::LeftBasketState.folderCount; ++folder)
        filelist::SelectFolderItems(folder, filelist::LeftBasketState, true, filelist::kActionMark);
    filelist::RecalcSelection(filelist::LeftBasketState);
    ASSERT_EQ(filelist::LeftBasketState.selectedCount, 2);
    host.panel.viewMode = filelist::kViewBasket;
    setMask("new_[N]", "[E]");
    form.onPreviewShown = [&](TSrchRes& preview) {
        test::onNextModal([&](QDialog&) { preview.findChild<QPushButton*>("btnStartRename")->click(); });
    };
    form.onRunShown = [&](TViewRenReplacer& run) {
        test::onNextModal([&](QDialog&) {
            QTRY_VERIFY(run.finished());
            run.close();
        });
    };
    form.btnStartOperationClick();
    EXPECT_EQ(wux::test::listNames(posix("b1")), std::vector<std::string>{"new_x.txt"});
    EXPECT_EQ(wux::test::listNames(posix("b2")), std::vector<std::string>{"new_y.txt"});
    for (filelist::TstateOfBrowser* view : {&filelist::LeftBasketState, &filelist::RightBasketState}) {
        EXPECT_EQ(view->itemCount, 2);
        EXPECT_EQ(view->selectedCount, 0);
        std::string name;
        filelist::GetCellText(filelist::kColumnStoredName, 1, 1, name, *view);
        EXPECT_EQ(name, "new_x.txt");
    }
    EXPECT_EQ(filelist::BasketState.busy, 0);
    filelist::FreeBrowserState(filelist::BasketState);
}

} // namespace
} // namespace wux::tools
