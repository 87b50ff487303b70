// Real runs of the Replacer and the Batch Replacer over a temporary folder of plain files and office
// documents: started from the windows' buttons, shown in the run window, and checked on disk.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "controls/wux_string_grid.h"
#include "core/text_table.h"
#include "engines/batch_table.h"
#include "filelist/active_panel.h"
#include "filelist/browser_state.h"
#include "filelist/file_operations.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"
#include "filelist/operation_cursor.h"
#include "office/document_routes.h"
#include "platform/codepage.h"
#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"
#include "tool_test_host.h"
#include "tools/batch_replacer_form.h"
#include "tools/replacer_form.h"
#include "tools/run_window.h"
#include "ui_TBatchReplacerForm.h"
#include "ui_TReplacerForm.h"

namespace wux::tools {
namespace {

using Names = std::vector<std::string>;

// What the run window showed when the run had ended.
struct RunView
{
    std::string caption;
    std::string endText;
    std::map<std::string, std::string> status; // file name -> status cell (marker removed)
    std::int32_t successful = -1, unchanged = -1, failed = -1;
};

class ReplaceRunTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        registerRunWindowTexts();
        office::registerOfficeServices();
        wux::test::makeFolder(path("run"));
        host.panel.listing = &listing;
    }
    void TearDown() override
    {
        engines::setDocumentReplacerFactory(nullptr);
        engines::setSpreadsheetTableLoader(nullptr);
        engines::SetYesNoTexts("Y", "N");
        if (listing.text != nullptr)
            filelist::FreeBrowserState(listing);
    }

    // Reads c:\run into the panel's listing and marks every file.
    void selectAll()
    {
        filelist::CreateBrowserState(listing, 4, 20, "*.*", 100);
        ASSERT_TRUE(filelist::SetStateToPath(path("run"), listing));
        ASSERT_TRUE(filelist::ReadFolder(1, 0, listing));
        filelist::SortFolder(1, filelist::kSortDefault, listing);
        filelist::SelectFolderItems(1, listing, false, filelist::kActionMark);
        filelist::RecalcSelection(listing);
    }

    // Clicks start and waits for the run window; once the run has ended, reads it and closes it.
    RunView run(QAbstractButton& start)
    {
        RunView view;
        bool seen = false;
        std::function<void()> poll = [&] {
            auto* window = qobject_cast<TViewRenReplacer*>(QApplication::activeModalWidget());
            if (window == nullptr || !window->finished() || window->pnlFilesComment()->text().isEmpty() ||
                window->pnlFilesComment()->text().contains('\\')) {
                QTimer::singleShot(10, poll);
                return;
            }
            seen = true;
            EXPECT_TRUE(filelist::OperationBusy);
            view.caption = window->windowTitle().toStdString();
            view.endText = window->pnlFilesComment()->text().toStdString();
            controls::TWUXStringGrid& grid = *window->sgInfo();
            for (int row = 1; row < grid.RowCount(); ++row) {
                std::string name = grid.Cells(0, row).toStdString();
                name = name.substr(name.rfind('\\') + 1);
                std::string status = grid.Cells(5, row).toStdString();
                if (!status.empty() && static_cast<unsigned char>(status.back()) < 5)
                    status.pop_back();
                view.status[name] = status;
            }
            view.successful = window->successful();
            view.unchanged = window->unchanged();
            view.failed = window->failed();
            window->reject();
        };
        QTimer::singleShot(0, poll);
        start.click();
        EXPECT_TRUE(seen) << ::testing::PrintToString(dialogs.texts());
        EXPECT_FALSE(filelist::OperationBusy);
        EXPECT_EQ(filelist::PluginStructure.state, nullptr);
        return view;
    }

    // A plain file (its text in the DOS code page with dos) and one document of each kind.
    void makeDocuments(const std::string& text, bool dos = false)
    {
        wux::test::createFile(path("run\\plain.txt"), dos ? platform::toCp437(text) : text);
        wux::test::DocxContent docx;
        docx.body = wux::test::para({text});
        wux::test::createFile(path("run\\letter.docx"), wux::test::buildDocx(docx));
        wux::test::createFile(path("run\\book.xlsx"), wux::test::xlsxWithText(text));
        wux::test::createFile(path("run\\deck.pptx"), wux::test::pptxWithText(text));
        wux::test::createFile(path("run\\text.odt"), wux::test::odtWithText(text));
    }

    // The text of each file as its program shows it: the XML of its text part without the tags.
    std::map<std::string, std::string> texts()
    {
        const auto part = [this](const char* file, const char* entry) {
            std::string text;
            bool inTag = false;
            const std::string xml = wux::test::readZip(posix(std::string("run/") + file))[entry];
            for (const char c : xml) {
                if (c == '<' || c == '>')
                    inTag = c == '<';
                else if (!inTag)
                    text += c;
            }
            return text;
        };
        return {
            {"plain.txt", wux::test::readFileBytes(path("run\\plain.txt"))},
            {"letter.docx", part("letter.docx", "word/document.xml")},
            {"book.xlsx",
             part("book.xlsx", "xl/worksheets/sheet1.xml") + part("book.xlsx", "xl/sharedStrings.xml")},
            {"deck.pptx", part("deck.pptx", "ppt/slides/slide1.xml")},
            {"text.odt", part("text.odt", "content.xml")},
        };
    }

    filelist::TstateOfBrowser listing;
    tools::test::TestHost host;
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService scoped{dialogs};
};

struct RunRow
{
    const char* name;
    const char* button;
    bool dos;
    const char* text; // a document's text (plain files hold it in the DOS code page with dos)
    const char* find;
    const char* replace;
    const char* after;       // every file's text after the run (likewise)
    const char* status;      // every file's status
    const char* captionTail; // what the run window's caption ends with
};

void PrintTo(const RunRow& row, std::ostream* os)
{
    *os << row.name;
}

class ReplacerRunTest : public ReplaceRunTest, public ::testing::WithParamInterface<RunRow>
{
};

TEST_P(ReplacerRunTest, EveryKindOfFileThroughTheRunWindow)
{
    const RunRow& row = GetParam();
    makeDocuments(row.text, row.dos);
    selectAll();
    TReplacerForm form;
    form.RegisterDefaultTexts(kReplacerTitleId);
    form.LoadSettingsFrom(platform::IniFile(path("wux.ini")));
    form.show();
    QTest::mouseClick(form.findChild<QRadioButton*>(row.button), Qt::LeftButton, {}, QPoint(6, 8));
    form.ui()->chkBkCopy->setChecked(false);
    form.ui()->chkCHSDOS->setChecked(row.dos);
    form.ui()->memFind->setPlainText(QString::fromUtf8(row.find));
    form.ui()->mmReplace->setPlainText(QString::fromUtf8(row.replace));
    ASSERT_TRUE(form.CanStart(&listing));

    const RunView view = run(*form.ui()->btnStartOperation);
    EXPECT_EQ(view.endText, "Operation completed!");
    EXPECT_TRUE(QString::fromStdString(view.caption).endsWith(row.captionTail)) << view.caption;
    for (const auto& [name, text] : texts()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(view.status.at(name), row.status);
        const std::string after = name == "plain.txt" && row.dos ? platform::toCp437(row.after) : row.after;
        EXPECT_NE(text.find(after), std::string::npos) << text;
    }
    EXPECT_EQ(wux::test::listNames(posix("run")),
              (Names{"book.xlsx", "deck.pptx", "letter.docx", "plain.txt", "text.odt"}));
    EXPECT_EQ(host.refreshes, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ReplacerRunTest,
    ::testing::Values(RunRow{"Replace", "rbReplace", false, "a cat sat", "CAT", "dog", "a dog sat",
                             "successful", "string"},
                      RunRow{"JustFindChangesNothing", "rbJustFind", false, "a cat sat", "cat", "",
                             "a cat sat", "successful", ". (JUST FIND. Will not make any changes!)"},
                      RunRow{"DosCharsetKeepsDocumentTextIntact", "rbReplace", true, "un caf\xc3\xa9 noir",
                             "caf\xc3\xa9", "th\xc3\xa9", "un th\xc3\xa9 noir", "successful", "string"}));

TEST_F(ReplaceRunTest, NoActivePanelSaysNoFilesSelected)
{
    host.panelVisible = false;
    TReplacerForm form;
    form.ui()->memFind->setPlainText("x");
    form.btnStartOperationClick();
    TBatchReplacerForm batch;
    batch.StartBatchReplace();
    EXPECT_EQ(dialogs.texts(), (Names{"No files selected!", "No files selected!"}));
    EXPECT_EQ(host.refreshes, 0);
}

TEST_F(ReplaceRunTest, BatchRunAppliesTheGridToEveryFile)
{
    makeDocuments("one two three");
    selectAll();
    TBatchReplacerForm form;
    form.RegisterDefaultTexts(kBatchReplacerTitleId);
    form.InitTool();
    form.LoadSettingsFrom(platform::IniFile(path("wux.ini")));
    form.show();
    wux::test::createFile(path("t.rtbl"), "one=1\r\n+TWO=2\r\nthree=#FN#");
    ASSERT_TRUE(form.LoadTableIntoGrid(path("t.rtbl")));
    form.ui()->chkbcopy->setChecked(false);
    ASSERT_TRUE(form.CanStart(&listing));

    const RunView view = run(*form.ui()->btnStartOperation);
    EXPECT_EQ(view.endText, "Operation completed!");
    EXPECT_EQ(view.successful, 5);
    const std::map<std::string, std::string> after = texts();
    EXPECT_EQ(after.at("plain.txt"), "1 two plain");
    EXPECT_NE(after.at("letter.docx").find("1 two letter"), std::string::npos) << after.at("letter.docx");
    EXPECT_NE(after.at("text.odt").find("1 two text"), std::string::npos) << after.at("text.odt");
    EXPECT_EQ(host.refreshes, 1);
}

// A start with a bad row shows that row in the boxes, says what is wrong and selects the faulty part;
// nothing runs, and the lists are handed back all the same. A table of empty cells has no data.
TEST_F(ReplaceRunTest, BatchStartWithABadTableRunsNothing)
{
    wux::test::createFile(path("run\\plain.txt"), "abc");
    selectAll();
    TBatchReplacerForm form;
    form.RegisterDefaultTexts(kBatchReplacerTitleId);
    form.InitTool();
    form.LoadSettingsFrom(platform::IniFile(path("wux.ini")));
    form.show();
    struct Row
    {
        const char* table;
        int row;
        const char* find;
        const char* replace;
        bool findFaulty;
        std::string message;
        const char* selected;
    };
    const Row rows[] = {
        {"a=1\r\nb=2\r\nc=x#300#", 3, "c", "x#300#", false,
         "The Replace With string contains a Pattern Match expression which is not valid.", "0#"},
        {"a=1\r\n#6a#=2", 2, "#6a#", "2", true,
         "The Find string contains a Pattern Match expression which is not valid.", "6a#"},
    };
    int refreshes = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.table);
        dialogs.clear();
        wux::test::createFile(path("t.rtbl"), row.table);
        ASSERT_TRUE(form.LoadTableIntoGrid(path("t.rtbl")));
        form.StartOperation();
        EXPECT_EQ(dialogs.texts(), Names{row.message});
        EXPECT_EQ(form.ui()->sgBatch->Row(), row.row);
        EXPECT_EQ(form.ui()->cmbFindString->currentText(), row.find);
        EXPECT_EQ(form.ui()->cmbReplaceString->currentText(), row.replace);
        QComboBox* faulty =
            row.findFaulty ? static_cast<QComboBox*>(form.ui()->cmbFindString) : form.ui()->cmbReplaceString;
        EXPECT_EQ(faulty->lineEdit()->selectedText(), row.selected);
        EXPECT_TRUE(form.ui()->btnModify->isEnabled());
        EXPECT_EQ(host.refreshes, ++refreshes);
    }
    EXPECT_EQ(wux::test::readFileBytes(path("run\\plain.txt")), "abc");
    EXPECT_FALSE(filelist::OperationBusy);
    EXPECT_EQ(filelist::PluginStructure.state, nullptr);
}

} // namespace
} // namespace wux::tools
