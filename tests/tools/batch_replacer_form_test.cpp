// The Batch Replacer window: the table grid driven by keys and buttons, cell checks with the faulty part
// selected, tables loaded into the grid, a language switch, and its settings section.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include <string>
#include <vector>

#include "core/text_table.h"
#include "engines/batch_table.h"
#include "filelist/browser_state.h"
#include "office/document_routes.h"
#include "platform/dialogs.h"
#include "platform/fault_injection.h"
#include "platform/ini_file.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "tool_test_host.h"
#include "tools/batch_replacer_form.h"
#include "ui_TBatchReplacerForm.h"

namespace wux::tools {
namespace {

using Cells = std::vector<std::string>;

class BatchReplacerFormTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override
    {
        office::registerOfficeServices();
        form.RegisterDefaultTexts(kBatchReplacerTitleId);
        form.InitTool();
        form.LoadSettingsFrom(platform::IniFile(path("wux.ini")));
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        files.selectedFiles = 1;
    }
    void TearDown() override
    {
        engines::setDocumentReplacerFactory(nullptr);
        engines::setSpreadsheetTableLoader(nullptr);
        engines::SetYesNoTexts("Y", "N");
        core::classTranslator().ResetTranslations();
    }

    Ui::TBatchReplacerForm& ui() { return *form.ui(); }

    // Types a row into the boxes and adds it with the keys: Enter, Enter, Space on "Add".
    void typeRow(const QString& find, const QString& replace, bool caseSensitive = false)
    {
        ui().chkCaseSensitive->setChecked(caseSensitive);
        ui().cmbFindString->setFocus();
        ui().cmbFindString->setEditText(QString());
        ui().cmbFindString->lineEdit()->insert(find);
        QTest::keyClick(ui().cmbFindString, Qt::Key_Return);
        EXPECT_TRUE(ui().cmbReplaceString->hasFocus());
        ui().cmbReplaceString->setEditText(QString());
        ui().cmbReplaceString->lineEdit()->insert(replace);
        QTest::keyClick(ui().cmbReplaceString, Qt::Key_Return);
        EXPECT_TRUE(ui().btnAdd->hasFocus());
        QTest::keyClick(ui().btnAdd, Qt::Key_Space);
    }

    struct Table
    {
        Cells flags, finds, replaces;
    };
    Table table() const
    {
        Table t;
        form.gridCells(t.flags, t.finds, t.replaces);
        return t;
    }
    std::vector<std::string> rowTexts(int row) const
    {
        return {form.ui()->sgBatch->Cells(0, row).toStdString(),
                form.ui()->sgBatch->Cells(1, row).toStdString(),
                form.ui()->sgBatch->Cells(2, row).toStdString()};
    }

    tools::test::TestHost host;
    TBatchReplacerForm form;
    filelist::TstateOfBrowser files;
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService scoped{dialogs};
};

TEST_F(BatchReplacerFormTest, RowsAreAddedModifiedAndDeletedWithKeysAndButtons)
{
    // An empty table: nothing to delete, save or start.
    EXPECT_FALSE(form.CanStart(&files));
    EXPECT_FALSE(ui().btnDelete->isEnabled());
    EXPECT_FALSE(ui().btnSave->isEnabled());
    EXPECT_FALSE(ui().sgBatch->isEnabled());
    EXPECT_EQ(ui().sgBatch->Tag(), 2);

    typeRow("cat", "dog");
    typeRow("A", "B", true);
    // The three columns fill the grid, room left for a scroll bar.
    controls::TWUXStringGrid& grid = *ui().sgBatch;
    EXPECT_EQ(grid.ColWidths(0), 100);
    EXPECT_EQ(grid.ColWidths(1), grid.ColWidths(2));
    EXPECT_NEAR(100 + 2 * grid.ColWidths(1) + grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8,
                grid.width() - 2 * grid.frameWidth(), 1);
    EXPECT_EQ(form.rowCount(), 2);
    EXPECT_EQ(ui().sgBatch->RowCount(), 3);
    EXPECT_EQ(ui().sgBatch->Row(), 2);
    EXPECT_EQ(rowTexts(0), (Cells{"Case sensitive", "Find this", "Replace with"}));
    EXPECT_EQ(rowTexts(1), (Cells{"Insensitive", "cat", "dog"}));
    EXPECT_EQ(rowTexts(2), (Cells{"Sensitive", "A", "B"}));
    EXPECT_FALSE(ui().btnModify->isEnabled());
    EXPECT_TRUE(form.CanStart(&files));
    EXPECT_TRUE(ui().btnDelete->isEnabled());
    EXPECT_TRUE(ui().btnSave->isEnabled());
    EXPECT_EQ(ui().sgBatch->Tag(), 3);
    // Files must be selected, folders alone do not do.
    filelist::TstateOfBrowser foldersOnly;
    foldersOnly.selectedCount = 2;
    EXPECT_FALSE(form.CanStart(&foldersOnly));

    // Selecting a row shows it in the boxes; Modify writes them back and empties the boxes.
    ui().sgBatch->setRow(1);
    EXPECT_TRUE(ui().btnModify->isEnabled());
    EXPECT_EQ(ui().cmbFindString->currentText(), "cat");
    EXPECT_EQ(ui().cmbReplaceString->currentText(), "dog");
    EXPECT_FALSE(ui().chkCaseSensitive->isChecked());
    ui().cmbReplaceString->setEditText("cow");
    ui().chkCaseSensitive->setChecked(true);
    QTest::mouseClick(ui().btnModify, Qt::LeftButton);
    EXPECT_EQ(rowTexts(1), (Cells{"Sensitive", "cat", "cow"}));
    EXPECT_EQ(ui().cmbFindString->currentText(), "");
    EXPECT_EQ(ui().cmbReplaceString->currentText(), "");
    EXPECT_TRUE(ui().cmbFindString->hasFocus());
    EXPECT_FALSE(ui().btnModify->isEnabled());

    // Delete in the grid removes the current row; the rows below move up.
    ui().sgBatch->setRow(1);
    ui().sgBatch->setFocus();
    QTest::keyClick(ui().sgBatch, Qt::Key_Delete);
    EXPECT_EQ(form.rowCount(), 1);
    EXPECT_EQ(ui().sgBatch->RowCount(), 2);
    EXPECT_EQ(rowTexts(1), (Cells{"Sensitive", "A", "B"}));
    EXPECT_TRUE(ui().sgBatch->hasFocus());

    // Deleting the only row leaves one empty grid row and disables Delete, Save and Start.
    const int updates = host.launchUpdates;
    QTest::mouseClick(ui().btnDelete, Qt::LeftButton);
    EXPECT_EQ(host.launchUpdates, updates + 1);
    EXPECT_EQ(form.rowCount(), 0);
    EXPECT_EQ(ui().sgBatch->RowCount(), 2);
    EXPECT_EQ(rowTexts(1), (Cells{"", "", ""}));
    EXPECT_FALSE(form.CanStart(&files));
    EXPECT_FALSE(ui().btnDelete->isEnabled());
    EXPECT_FALSE(ui().btnSave->isEnabled());
    EXPECT_TRUE(table().finds.empty());
    EXPECT_TRUE(dialogs.records().empty());
}

struct BadCell
{
    const char* name;
    const char* find;
    const char* replace;
    std::string message;
    bool inFindBox;
    const char* selected;
};

void PrintTo(const BadCell& row, std::ostream* os)
{
    *os << row.name;
}

class BatchBadCellTest : public BatchReplacerFormTest, public ::testing::WithParamInterface<BadCell>
{
};

TEST_P(BatchBadCellTest, RowIsNotAddedAndTheFaultyPartIsSelected)
{
    const BadCell& c = GetParam();
    typeRow(QString::fromUtf8(c.find), QString::fromUtf8(c.replace));
    EXPECT_EQ(form.rowCount(), 0);
    EXPECT_EQ(dialogs.texts(), Cells{c.message});
    ASSERT_EQ(dialogs.records().size(), 1u);
    EXPECT_EQ(dialogs.records()[0].request.icon, platform::MsgIcon::Information);
    QComboBox* box = c.inFindBox ? static_cast<QComboBox*>(ui().cmbFindString) : ui().cmbReplaceString;
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(box->lineEdit()->selectedText(), QString::fromUtf8(c.selected));
}

INSTANTIATE_TEST_SUITE_P(
    Cells, BatchBadCellTest,
    ::testing::Values(
        BadCell{"FindCode", "#6a#", "x",
                "The Find string contains a Pattern Match expression which is not valid.", true, "6a#"},
        BadCell{"FindCodeAfterWideCharacters", "\xc3\xa9\xc3\xa9#6a#", "x",
                "The Find string contains a Pattern Match expression which is not valid.", true, "6a#"},
        BadCell{"ReplaceValue", "a", "\xe2\x82\xac#256#",
                "The Replace With string contains a Pattern Match expression which is not valid.", false,
                "6#"},
        BadCell{"EmptyFind", "", "x", "Please specify text in the \"Find this string\" field", true, ""}));

// The mouse over the table: hovering leaves the current row where it is, a left-button drag takes it
// along; Delete then removes the row the user sees as current.
TEST_F(BatchReplacerFormTest, HoverLeavesTheCurrentRowAndALeftDragTakesItAlong)
{
    for (const char* find : {"one", "two", "three", "four"})
        typeRow(find, "x");
    controls::TWUXStringGrid& grid = *ui().sgBatch;
    QWidget* area = grid.viewport();
    const auto at = [&](int row) { return grid.CellRect(1, row).center(); };
    grid.setFocus();
    QTest::mouseClick(area, Qt::LeftButton, {}, at(1));
    ASSERT_EQ(grid.Row(), 1);
    for (int row : {2, 3, 4})
        QTest::mouseMove(area, at(row));
    EXPECT_EQ(grid.Row(), 1) << "a hover moves nothing";
    EXPECT_EQ(ui().cmbFindString->currentText().toStdString(), "one");

    QTest::mousePress(area, Qt::LeftButton, {}, at(2));
    for (int row : {3, 4}) {
        QMouseEvent drag(QEvent::MouseMove, QPointF(at(row)), QPointF(area->mapToGlobal(at(row))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(area, &drag);
    }
    QTest::mouseRelease(area, Qt::LeftButton, {}, at(4));
    EXPECT_EQ(grid.Row(), 4) << "the drag took the current row along";
    EXPECT_EQ(ui().cmbFindString->currentText().toStdString(), "four");
    QTest::mouseMove(area, at(1));
    QTest::keyClick(&grid, Qt::Key_Delete);
    EXPECT_EQ(table().finds, (Cells{"one", "two", "three"}));
}

TEST_F(BatchReplacerFormTest, LanguageSwitchKeepsEveryRowsCaseSensitivity)
{
    typeRow("a", "1", true);
    typeRow("b", "2", false);
    core::classTranslator().SetTranslation(217, "Gross");
    core::classTranslator().SetTranslation(218, "Klein");
    form.Translate(kBatchReplacerTitleId);
    EXPECT_EQ(table().flags, (Cells{"Gross", "Klein"}));
    ui().sgBatch->setRow(2);
    ui().sgBatch->setRow(1);
    EXPECT_TRUE(ui().chkCaseSensitive->isChecked());

    // A table saved in the new language keeps the flags.
    Table t = table();
    ASSERT_TRUE(engines::SaveTable(path("t.rtbl"), t.flags, t.finds, t.replaces));
    EXPECT_EQ(wux::test::readFileBytes(path("t.rtbl")), "+a=1\r\nb=2");
    core::classTranslator().ResetTranslations();
    form.Translate(kBatchReplacerTitleId);
    EXPECT_EQ(table().flags, (Cells{"Sensitive", "Insensitive"}));
}

TEST_F(BatchReplacerFormTest, TablesLoadIntoTheGridAndFailuresLeaveItAlone)
{
    wux::test::createFile(path("t.rtbl"), "+cat=dog\r\nA==B=#61#x");
    wux::test::createFile(path("t.csv"), "one,two,C\nthree,four\n");
    wux::test::createFile(path("rowless.csv"), ",after an empty find\n");
    wux::test::createFile(path("bad.rtbl"), "a=b=c");
    wux::test::createFile(path("empty.rtbl"), "");

    ASSERT_TRUE(form.LoadTableIntoGrid(path("t.rtbl")));
    EXPECT_EQ(form.rowCount(), 2);
    EXPECT_EQ(ui().sgBatch->Row(), 1);
    EXPECT_EQ(rowTexts(1), (Cells{"Sensitive", "cat", "dog"}));
    EXPECT_EQ(rowTexts(2), (Cells{"Insensitive", "A=B", "#61#x"}));

    ASSERT_TRUE(form.LoadTableIntoGrid(path("t.csv")));
    EXPECT_EQ(table().flags, (Cells{"Sensitive", "Insensitive"}));
    EXPECT_EQ(table().finds, (Cells{"one", "three"}));
    EXPECT_EQ(table().replaces, (Cells{"two", "four"}));

    for (const char* name : {"rowless.csv", "bad.rtbl", "empty.rtbl", "missing.rtbl"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(form.LoadTableIntoGrid(path(name)));
        EXPECT_EQ(form.rowCount(), 2);
        EXPECT_EQ(table().finds, (Cells{"one", "three"}));
    }
}

TEST_F(BatchReplacerFormTest, SettingsSectionKeepsParametersWithoutTheWindowsKeys)
{
    wux::test::createFile(path("wux.ini"), "[Batch Replacer]\r\nLIST_FIND_STR=610D0A310D0A\r\n"
                                           "InitialDir=c:\\tables\\\r\nMSWORD_WHOLEWORD=-1\r\nOwn=1\r\n");
    TBatchReplacerForm loaded;
    loaded.LoadSettingsFrom(platform::IniFile(path("wux.ini")));
    EXPECT_EQ(loaded.lastFile(), "c:\\tables\\");
    EXPECT_EQ(loaded.ui()->cmbFindString->count(), 1);
    EXPECT_EQ(loaded.ui()->cmbFindString->itemText(0), "a");
    const platform::StringList& stored = loaded.GetParameters()->storedList();
    EXPECT_EQ(stored.text(), "MSWORD_WHOLEWORD=-1\r\nOwn=1\r\nMSWORD_USEWILDCARDS=0\r\n"
                             "MSWORD_REPLACE_IN_MAINDOCUMENT=-1\r\nMSWORD_REPLACE_IN_HEADERSFOOTERS=-1\r\n"
                             "MSWORD_REPLACE_IN_FOOTNOTES=-1\r\nMSWORD_REPLACE_IN_HYPERLINKS=-1\r\n");

    loaded.ui()->cmbReplaceString->setEditText("r");
    platform::IniFile ini(path("wux.ini"));
    EXPECT_EQ(loaded.SaveSettingsTo(ini), platform::WinError{});
    EXPECT_EQ(wux::test::readFileBytes(path("wux.ini")),
              "[Batch Replacer]\r\nLIST_FIND_STR=610D0A310D0A\r\nInitialDir=c:\\tables\\\r\n"
              "MSWORD_WHOLEWORD=-1\r\nOwn=1\r\nLIST_REPLACE_STR=720D0A310D0A\r\nMSWORD_USEWILDCARDS=0\r\n"
              "MSWORD_REPLACE_IN_MAINDOCUMENT=-1\r\nMSWORD_REPLACE_IN_HEADERSFOOTERS=-1\r\n"
              "MSWORD_REPLACE_IN_FOOTNOTES=-1\r\nMSWORD_REPLACE_IN_HYPERLINKS=-1\r\n");
}

TEST_F(BatchReplacerFormTest, LoadAndSaveThroughTheFileDialogs)
{
    wux::test::createFile(path("wux.ini"), "[Batch Replacer]\r\nInitialDir=c:\\tables\\\r\n");
    form.LoadSettingsFrom(platform::IniFile(path("wux.ini")));
    wux::test::createFile(path("in\\a.csv"), "one,two,C\nthree,four\n");
    wux::test::createFile(path("in\\bad.rtbl"), "x=y=z");
    wux::test::makeFolder(path("out"));
    wux::test::createFile(path("out\\old.rtbl"), "old=file");

    // Load: the dialog starts in the folder of the settings; afterwards in the table's folder.
    dialogs.answerFile(path("in\\a.csv"));
    QTest::mouseClick(ui().btnLoad, Qt::LeftButton);
    ASSERT_EQ(dialogs.fileRequests().size(), 1u);
    EXPECT_EQ(dialogs.fileRequests()[0].kind, platform::FileDialogKind::Open);
    EXPECT_EQ(dialogs.fileRequests()[0].filter, "Table file (*.rtbl *.xls *.xlsx *.csv)");
    EXPECT_EQ(dialogs.fileRequests()[0].folder, "c:\\tables\\");
    EXPECT_EQ(form.lastFile(), path("in\\a.csv"));
    EXPECT_EQ(table().finds, (Cells{"one", "three"}));

    // A table that cannot be loaded leaves the grid alone.
    dialogs.answerFile(path("in\\bad.rtbl"));
    QTest::mouseClick(ui().btnLoad, Qt::LeftButton);
    EXPECT_EQ(dialogs.texts(), Cells{"Error load table!"});
    EXPECT_EQ(dialogs.records()[0].request.icon, platform::MsgIcon::Error);
    EXPECT_EQ(table().finds, (Cells{"one", "three"}));
    EXPECT_EQ(form.lastFile(), path("in\\a.csv"));

    // Save proposes the table's name with the table extension, in the last table's folder.
    dialogs.answerFile(path("out\\saved.rtbl"));
    QTest::mouseClick(ui().btnSave, Qt::LeftButton);
    ASSERT_EQ(dialogs.fileRequests().size(), 3u);
    const platform::FileDialogRequest& save = dialogs.fileRequests()[2];
    EXPECT_EQ(save.kind, platform::FileDialogKind::Save);
    EXPECT_EQ(save.filter, "Table file (*.rtbl)");
    EXPECT_EQ(save.defaultSuffix, "rtbl");
    EXPECT_EQ(save.fileName, "a.rtbl");
    EXPECT_EQ(save.folder, path("in\\"));
    EXPECT_EQ(wux::test::readFileBytes(path("out\\saved.rtbl")), "+one=two\r\nthree=four");

    // A save that fails says so and leaves the old file as it was.
    platform::ScopedFaultClear faults;
    platform::injectFault(path("out"), platform::WinError{5}, platform::kFaultWrite | platform::kFaultRename);
    dialogs.answerFile(path("out\\old.rtbl"));
    QTest::mouseClick(ui().btnSave, Qt::LeftButton);
    EXPECT_EQ(dialogs.fileRequests()[3].fileName, "saved.rtbl");
    EXPECT_EQ(dialogs.fileRequests()[3].folder, path("out\\"));
    EXPECT_EQ(dialogs.texts(), (Cells{"Error load table!", "Error save table!"}));
    platform::clearFaults();
    EXPECT_EQ(wux::test::readFileBytes(path("out\\old.rtbl")), "old=file");

    // The folder of the last table is what the settings keep.
    platform::IniFile ini(path("wux.ini"));
    form.SaveSettingsTo(ini);
    EXPECT_EQ(ini.readString("Batch Replacer", "InitialDir", ""), path("out\\"));

    // Cancelled dialogs change nothing.
    QTest::mouseClick(ui().btnLoad, Qt::LeftButton);
    QTest::mouseClick(ui().btnSave, Qt::LeftButton);
    EXPECT_EQ(table().finds, (Cells{"one", "three"}));
    EXPECT_EQ(dialogs.texts().size(), 2u);
}

TEST(CharacterPositionOfByte, CountsCharactersBeforeTheByte)
{
    struct Row
    {
        const char* text;
        std::size_t byte;
        int position;
    };
    for (const Row row : {Row{"abc", 0, 0}, Row{"abc", 2, 2}, Row{"\xc3\xa9x", 2, 1}, Row{"\xc3\xa9x", 1, 0},
                          Row{"\xf0\x9f\x98\x80z", 4, 2}, Row{"ab", 9, 2}})
        EXPECT_EQ(characterPositionOfByte(row.text, row.byte), row.position) << row.text << " " << row.byte;
}

} // namespace
} // namespace wux::tools
