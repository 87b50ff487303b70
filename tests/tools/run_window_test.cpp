#include "tools/run_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QHelpEvent>

#include <atomic>
#include <chrono>
#include <functional>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "controls/system_colors.h"
#include "controls/wux_string_grid.h"
#include "core/text_table.h"
#include "engines/batch_table.h"
#include "engines/rename_mask.h"
#include "engines/rename_thread.h"
#include "engines/replace_threads.h"
#include "filelist/active_panel.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/help.h"
#include "platform/shell/program_starter.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "tool_host_double.h"
#include "tools/tool_list.h"

namespace wux::tools {
namespace {

using engines::DocumentReplacerRequest;
using platform::MsgResult;
using Rows = std::vector<std::vector<std::string>>;

// The document kinds of a run, each with the outcome it reports.
struct DocumentScript
{
    engines::TReplaceResult result;
    std::int32_t stage;
    std::int64_t size; // -1: the size cannot be read
};

class ScriptedDocument : public engines::IDocumentReplacer
{
public:
    ScriptedDocument(DocumentScript script, std::atomic<int>* gate) : script_(script), gate_(gate) {}
    engines::TReplaceResult ProcessFile(std::string_view) override
    {
        if (gate_ != nullptr) { // holds the run until the test opens the gate
            gate_->store(1);
            for (int i = 0; i < 1000 && gate_->load() != 2; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return script_.result;
    }
    std::int64_t fileSize() const override { return script_.size; }
    std::int32_t matchCount() const override { return 0; }
    std::int32_t stage() const override { return script_.stage; }
    void setTableBlock(platform::MovableHandle) override {}

private:
    DocumentScript script_;
    std::atomic<int>* gate_;
};

// The active panel: a listing of a temporary folder.
class PanelDouble : public filelist::IBrowserPanel
{
public:
    std::int32_t ViewMode() const override { return 2; }
    filelist::TstateOfBrowser& Listing() override { return listing; }
    filelist::TstateOfBrowser& BasketView() override { return listing; }
    void SelectCursorItem(std::int32_t) override {}
    void Repaint() override {}
    std::string MainCaption() const override { return "Wuxtool"; }
    filelist::TstateOfBrowser listing;
};

// Answers the abort question as scripted and lets a held run go on.
class GateOpeningDialogs : public platform::ScriptedDialogService
{
public:
    MsgResult messageBox(const platform::MessageBoxRequest& request) override
    {
        gate.store(2);
        return ScriptedDialogService::messageBox(request);
    }
    std::atomic<int> gate{0};
};

// A worker that ends as told.
class EndingThread : public platform::WuxThread
{
public:
    int value = 2;
    bool fail = false;

protected:
    void Execute() override
    {
        if (fail)
            throw std::runtime_error("disk on fire");
        setReturnValue(value);
    }
};

class RunWindowTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        registerRunWindowTexts();
        filelist::SetActivePanelSource([this] { return &panel; });
        engines::setDocumentReplacerFactory([this](const DocumentReplacerRequest& request) {
            const bool held = request.kind == holdKind;
            return std::make_unique<ScriptedDocument>(scripts.at(request.kind),
                                                      held ? &dialogs.gate : nullptr);
        });
    }
    void TearDown() override
    {
        engines::setDocumentReplacerFactory(nullptr);
        filelist::SetActivePanelSource(nullptr);
        if (panel.listing.items)
            filelist::FreeBrowserState(panel.listing);
    }

    // Reads folder "t" into the panel and marks every file but those named in `unmarked`.
    void readFolder(const std::string& unmarked = "")
    {
        if (panel.listing.items)
            filelist::FreeBrowserState(panel.listing);
        filelist::CreateBrowserState(panel.listing, 10, 50, "*.*", 1000);
        ASSERT_TRUE(filelist::SetStateToPath(path("t"), panel.listing));
        ASSERT_TRUE(filelist::ReadFolder(1, 0, panel.listing));
        filelist::SortFolder(1, filelist::kSortDefault, panel.listing);
        filelist::SelectFolderItems(1, panel.listing, false, filelist::kActionMark);
        if (!unmarked.empty())
            filelist::SelectByMask(1, unmarked, false, panel.listing);
    }

    // Starts the run under the window and serves it until its end text shows.
    void run(TViewRenReplacer& view, platform::WuxThread& thread, int mode)
    {
        view.Init(mode);
        view.show();
        thread.Start();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return thread.Finished() && view.pnlFilesComment()->text().startsWith("Operation"); },
            20000));
    }

    void replaceRun(TViewRenReplacer& view, engines::TReplaceRunThread& thread)
    {
        ASSERT_TRUE(filelist::PrepareOperationSource(filelist::kCheckNothing));
        view.connectReplaceThread(thread);
        run(view, thread, kRunReplace);
        filelist::EndStateHandOver();
    }

    void replacerRun(TViewRenReplacer& view, const char* find, const char* replace)
    {
        engines::TReplacer thread;
        thread.TypeOfReplacing = engines::kModeReplace;
        thread.searchBlock =
            engines::BuildReplacerStructure(find, replace, true, false, engines::kModeReplace);
        replaceRun(view, thread);
        platform::movableFree(thread.searchBlock);
    }

    static Rows cells(const controls::TWUXStringGrid& grid, int firstRow = 0)
    {
        Rows rows;
        for (int row = firstRow; row < grid.RowCount(); ++row) {
            rows.emplace_back();
            for (int col = 0; col < grid.ColCount(); ++col)
                rows.back().push_back(grid.Cells(col, row).toStdString());
        }
        return rows;
    }

    std::uint32_t statusOf(const std::string& name)
    {
        filelist::StateAccess access(panel.listing);
        for (std::int32_t i = 0; i < panel.listing.itemCount; ++i)
            if (access.Name(access.items[i]) == name)
                return access.items[i].status;
        return 0;
    }

    test::ToolHostDouble host;
    PanelDouble panel;
    GateOpeningDialogs dialogs;
    platform::ScopedDialogService dialogScope{dialogs};
    std::map<std::int32_t, DocumentScript> scripts{
        {engines::kKindWordProcessor, {engines::kReplaceFailed, 3, 10}},
        {engines::kKindSpreadsheet, {engines::kReplaceDocumentLocked, 5, 11}},
        {engines::kKindPresentation, {engines::kReplaceModeNotSupported, 0, 12}},
        {engines::kKindOpenDocumentText, {engines::kReplaceFound, 0, -1}},
    };
    std::int32_t holdKind = 0;
};

TEST_F(RunWindowTest, ReplaceRunShowsEachOutcomeWithItsTotalsAndWritesTheResultsBack)
{
    test::createFile(path("t\\a.txt"), "foo foo");
    test::createFile(path("t\\b.txt"), "nothing");
    for (const char* name : {"c.docx", "d.xlsx", "e.pptx", "f.odt", "gone.txt"})
        test::createFile(path(std::string("t\\") + name), "doc");
    readFolder();
    platform::deleteFile(path("t\\gone.txt"));
    {
        TViewRenReplacer view;
        EXPECT_EQ(host.enableCalls, std::vector<bool>{false});
        replacerRun(view, "foo", "barbaz");
        const std::string t = path("t\\");
        EXPECT_EQ(cells(*view.sgInfo()),
                  (Rows{{"Name", "Size before", "Size after", "Changed size", "Amount", "Status"},
                        {t + "a.txt", "7", "13", "6", "2", "successful\x02"},
                        {t + "b.txt", "7", "7", "0", "0", "unchanged"},
                        {t + "c.docx", "?", "?", "?", "?", "failed_3\x01"},
                        {t + "d.xlsx", "11", "3", "-8", "0", "protected from changes\x01"},
                        {t + "e.pptx", "12", "3", "-9", "0", "not supported\x01"},
                        {t + "f.odt", "?", "3", "?", "0", "successful\x02"},
                        {t + "gone.txt", "?", "?", "?", "?", "not found"}}));
        EXPECT_EQ(cells(*view.sgStatus()),
                  (Rows{{"", "Number of files", "Size before", "Size after", "Changed size"},
                        {"All files", "7", "37", "26", "-11"},
                        {"All unchanged", "3", "30", "13", "0"},
                        {"All successful", "2", "7", "13", "6"},
                        {"All failed", "2", "---", "---", "---"}}));
        // The status texts are painted in their colours: red for c.docx, green for f.odt.
        const QImage shown = view.sgInfo()->viewport()->grab().toImage();
        const auto paints = [&](int row, QRgb colour) {
            const QRect cell = view.sgInfo()->CellRect(5, row);
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = cell.left(); x <= cell.right(); ++x)
                    if (shown.pixel(x * shown.width() / view.sgInfo()->viewport()->width(),
                                    y * shown.height() / view.sgInfo()->viewport()->height()) == colour)
                        return true;
            return false;
        };
        EXPECT_TRUE(paints(3, controls::kMarkRed));
        EXPECT_TRUE(paints(6, controls::kMarkGreen));
        EXPECT_FALSE(paints(2, controls::kMarkRed));
        EXPECT_EQ(view.pnlFilesComment()->text(), "Operation completed!");
        EXPECT_NE(view.pnlFilesComment()->palette().color(QPalette::WindowText), QColor(Qt::red));
        EXPECT_EQ(view.sgInfo()->FixedRows(), 1);
        EXPECT_TRUE(view.rbFailed()->isEnabled() && view.rbFailed()->isVisible());
        EXPECT_TRUE(dialogs.records().empty());
    }
    EXPECT_EQ(host.enableCalls, (std::vector<bool>{false, true}));
    EXPECT_EQ(test::readFileBytes(path("t\\a.txt")), "barbaz barbaz");
    const std::map<std::string, std::uint32_t> expected = {{"a.txt", 64},    {"b.txt", 192}, {"c.docx", 128},
                                                           {"d.xlsx", 0},    {"e.pptx", 0},  {"f.odt", 64},
                                                           {"gone.txt", 128}};
    for (const auto& [name, status] : expected)
        EXPECT_EQ(statusOf(name), status) << name;
}

TEST_F(RunWindowTest, FiltersShowTheRowsOfOneOutcomeAfterTheRun)
{
    test::createFile(path("t\\a.txt"), "foo");
    test::createFile(path("t\\b.txt"), "bar");
    test::createFile(path("t\\c.docx"), "doc");
    test::createFile(path("t\\gone.txt"), "x");
    readFolder();
    platform::deleteFile(path("t\\gone.txt"));
    TViewRenReplacer view;
    EXPECT_FALSE(view.rbFailed()->isEnabled()); // not while the run goes on
    const qint64 stopGlyph = view.btnCancel()->icon().cacheKey();
    replacerRun(view, "foo", "x");
    EXPECT_NE(view.btnCancel()->icon().cacheKey(), stopGlyph); // Cancel no longer shows "stop"
    EXPECT_FALSE(view.btnHelpF()->icon().isNull());
    const auto names = [&] {
        std::vector<std::string> shown;
        for (int row = 1; row < view.sgInfo()->RowCount(); ++row)
            shown.push_back(view.sgInfo()->Cells(0, row).toStdString().substr(path("t\\").size()));
        return shown;
    };
    const struct
    {
        QRadioButton* button;
        std::vector<std::string> rows;
    } cases[] = {
        {view.rbFailed(), {"c.docx"}},
        {view.rbUnchanged(), {"b.txt", "gone.txt"}}, // "not found" shows here, counted as failed
        {view.rbSuccess(), {"a.txt"}},
        {view.rbAll(), {"a.txt", "b.txt", "c.docx", "gone.txt"}},
    };
    for (const auto& c : cases) {
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_EQ(names(), c.rows) << c.button->objectName().toStdString();
        EXPECT_EQ(view.sgInfo()->Cells(5, 1).isEmpty(), false);
    }
    EXPECT_EQ(view.sgStatus()->Cells(1, 4), "2");

    // A filter that no row fits leaves one empty row; "All" brings every row back.
    TViewRenReplacer second;
    test::createFile(path("t\\gone.txt"), "x");
    readFolder("*.docx;gone.txt;b.txt");
    replacerRun(second, "x", "y");
    QTest::mouseClick(second.rbFailed(), Qt::LeftButton);
    EXPECT_EQ(cells(*second.sgInfo(), 1), (Rows{{"", "", "", "", "", ""}}));
    QTest::mouseClick(second.rbAll(), Qt::LeftButton);
    EXPECT_EQ(second.sgInfo()->RowCount(), 2);
    EXPECT_EQ(second.sgInfo()->Cells(5, 1), "successful\x02");
}

TEST_F(RunWindowTest, BatchRunUnderTheWindow)
{
    test::createFile(path("t\\a.txt"), "one two");
    test::createFile(path("t\\b.txt"), "three");
    readFolder();
    engines::TBatchReplacer thread;
    engines::TableCells flags = {engines::NoText(), engines::NoText()}, finds = {"one", "two"},
                        replaces = {"1", "22"};
    ASSERT_EQ(engines::CheckAndBuildTableBlock(thread.tableBlock, flags, finds, replaces), -1);
    thread.rowCount = 2;
    thread.Flags = flags;
    thread.Finds = finds;
    thread.Replaces = replaces;
    TViewRenReplacer view;
    replaceRun(view, thread);
    platform::movableFree(thread.tableBlock);
    EXPECT_EQ(cells(*view.sgInfo(), 1), (Rows{{path("t\\a.txt"), "7", "4", "-3", "2", "successful\x02"},
                                              {path("t\\b.txt"), "5", "5", "0", "0", "unchanged"}}));
    EXPECT_EQ(test::readFileBytes(path("t\\a.txt")), "1 22");
    EXPECT_EQ(view.sgStatus()->Cells(4, 1), "-3");
}

TEST_F(RunWindowTest, RenameRunLayoutRowsAndTotals)
{
    for (const char* name : {"f01.txt", "f02.txt", "g.txt", "h.txt"})
        test::createFile(path(std::string("t\\") + name), name);
    readFolder("f02.txt");
    ASSERT_TRUE(filelist::CopySelectedToState(engines::RenameStore, panel.listing));
    filelist::BeginFlatView(engines::RenameStore, engines::RenameStore.itemCount);
    filelist::SortAllFolders(engines::RenameStore);
    engines::TRenamerFileStructure saved = engines::renamerFileStructure();
    engines::renamerFileStructure() = engines::TRenamerFileStructure();
    engines::renamerFileStructure().mask = "f[C].[E]";
    engines::renamerFileStructure().start = 1;
    engines::renamerFileStructure().step = 1;
    engines::renamerFileStructure().digits = 2;
    engines::RenameList = &engines::RenameStore;
    {
        TViewRenReplacer view;
        engines::TRenamer thread;
        thread.sourceList = &panel.listing;
        view.connectRenameThread(thread);
        run(view, thread, kRunRename);
        Rows rows = cells(*view.sgInfo());
        for (std::size_t row = 1; row < rows.size(); ++row)
            rows[row][0] =
                rows[row][0].substr(rows[row][0].rfind('\\') + 1); // the folder as the list shows it
        EXPECT_EQ(rows, (Rows{{"Name", "Status"},
                              {"f01.txt - f01.txt", "unchanged"},
                              {"g.txt - f02.txt", "failed\x01"},
                              {"h.txt - f03.txt", "successful\x02"}}));
        EXPECT_EQ(cells(*view.sgStatus()), (Rows{{"", "Number of files"},
                                                 {"All files", "3"},
                                                 {"All unchanged", "1"},
                                                 {"All successful", "1"},
                                                 {"All failed", "1"}}));
        EXPECT_FALSE(view.rbAll()->isVisible());
        EXPECT_FALSE(view.lblFilesToShow()->isVisible());
        EXPECT_EQ(view.pnlBtn()->height(), 39);
        EXPECT_EQ(view.btnCancel()->geometry(), QRect(view.width() - 9 - 105 - 9 - 105, 7, 105, 25));
        EXPECT_EQ(view.btnHelpF()->geometry(), QRect(view.width() - 9 - 105, 7, 105, 25));
    }
    EXPECT_EQ(test::readFileBytes(path("t\\f03.txt")), "h.txt");
    EXPECT_EQ(test::readFileBytes(path("t\\g.txt")), "g.txt");
    filelist::EndFlatView(engines::RenameStore);
    filelist::FreeBrowserState(engines::RenameStore);
    engines::RenameStore = filelist::TstateOfBrowser();
    engines::RenameList = nullptr;
    engines::renamerFileStructure() = saved;
}

TEST_F(RunWindowTest, AbortQuestionAnsweredYesNoAndCancel)
{
    const struct
    {
        MsgResult answer;
        const char* end;
        const char* lastTxt; // the third file afterwards
    } cases[] = {
        {MsgResult::Yes, "Operation aborted!", "foo"},
        {MsgResult::No, "Operation completed!", "bar"},
        {MsgResult::Cancel, "Operation completed!", "bar"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        test::createFile(path("t\\a.docx"), "doc");
        test::createFile(path("t\\b.txt"), "foo");
        test::createFile(path("t\\c.txt"), "foo");
        readFolder();
        holdKind = engines::kKindWordProcessor;
        dialogs.gate.store(0);
        dialogs.clear();
        dialogs.answer(c.answer);
        TViewRenReplacer view;
        view.Init(kRunReplace);
        view.show();
        engines::TReplacer thread;
        thread.TypeOfReplacing = engines::kModeReplace;
        thread.searchBlock =
            engines::BuildReplacerStructure("foo", "bar", true, false, engines::kModeReplace);
        ASSERT_TRUE(filelist::PrepareOperationSource(filelist::kCheckNothing));
        view.connectReplaceThread(thread);
        thread.Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.gate.load() == 1; }, 10000));
        QTest::keyClick(view.sgInfo(), Qt::Key_Escape);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return view.pnlFilesComment()->text().startsWith("Operation"); }, 20000));
        filelist::EndStateHandOver();
        platform::movableFree(thread.searchBlock);
        ASSERT_EQ(dialogs.records().size(), 1u);
        const platform::MessageBoxRequest& box = dialogs.records()[0].request;
        EXPECT_EQ(box.text, "Abort operation?");
        EXPECT_EQ(box.caption, host.caption);
        EXPECT_EQ(box.buttons, platform::MsgButtons::YesNoCancel);
        EXPECT_EQ(box.icon, platform::MsgIcon::Question);
        EXPECT_EQ(view.pnlFilesComment()->text(), c.end);
        EXPECT_EQ(view.pnlFilesComment()->palette().color(QPalette::WindowText) == QColor(Qt::red),
                  c.answer == MsgResult::Yes);
        EXPECT_TRUE(view.isVisible()); // the window stays open after the answer
        EXPECT_EQ(test::readFileBytes(path("t\\c.txt")), c.lastTxt);
    }
}

TEST_F(RunWindowTest, ClosingAfterTheEndAsksNothing)
{
    const std::function<void(TViewRenReplacer&)> ways[] = {
        [](TViewRenReplacer& view) { QTest::keyClick(view.sgInfo(), Qt::Key_Escape); },
        [](TViewRenReplacer& view) { QTest::mouseClick(view.btnCancel(), Qt::LeftButton); },
        [](TViewRenReplacer& view) { view.close(); },
    };
    for (const auto& close : ways) {
        TViewRenReplacer view;
        EndingThread thread;
        view.thread = &thread;
        thread.OnTerminate = [&view](platform::WuxThread& sender) { view.OnReplaceDone(sender); };
        run(view, thread, kRunReplace);
        view.hide();
        QTimer::singleShot(0, &view, [&] { close(view); });
        const int result = view.exec();
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_FALSE(view.isVisible());
    }
    EXPECT_TRUE(dialogs.records().empty());
}

// While a run goes, the file line names the file in hand: a path too long for the line loses its
// middle, never its end, and the whole path is the line's tooltip. The Cancel button shows whether the
// run goes (it stops the run) or has ended (it closes the window): two glyphs that differ.
TEST_F(RunWindowTest, FileLineKeepsTheNamesEndAndCancelShowsWhetherTheRunGoes)
{
    TViewRenReplacer view;
    EndingThread thread;
    view.thread = &thread;
    thread.OnTerminate = [&view](platform::WuxThread& sender) { view.OnReplaceDone(sender); };
    view.Init(kRunReplace);
    view.show();
    const auto glyph = [&view] { return view.btnCancel()->icon().pixmap(16, 16).toImage(); };
    const QImage running = glyph();
    ASSERT_FALSE(running.isNull());

    const QString path = "c:\\Mail archive\\" + QString(200, 'm') + " of the spring.txt";
    view.OnRenameFile(thread, path.toStdString());
    QLabel& line = *view.pnlFilesComment();
    EXPECT_TRUE(line.text().endsWith(" of the spring.txt")) << line.text().toStdString();
    EXPECT_TRUE(line.text().contains(QChar(0x2026))) << line.text().toStdString();
    EXPECT_LE(line.fontMetrics().horizontalAdvance(line.text()), line.contentsRect().width());
    EXPECT_EQ(line.toolTip(), path);

    thread.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return thread.Finished() && view.finished(); }, 20000));
    const QImage ended = glyph();
    ASSERT_FALSE(ended.isNull());
    EXPECT_NE(running, ended);
}

TEST_F(RunWindowTest, EndTextForEachWayARunEnds)
{
    const struct
    {
        int value;
        bool fail;
        const char* text;
        bool red;
    } cases[] = {
        {2, false, "Operation completed!", false},
        {1, false, "Operation aborted!", true},
        {0, false, "Operation aborted!", true},
        {7, false, "Operation aborted!", true},
        {2, true, "Operation aborted! disk on fire", true},
    };
    for (const auto& c : cases) {
        TViewRenReplacer view;
        EndingThread thread;
        thread.value = c.value;
        thread.fail = c.fail;
        view.thread = &thread;
        thread.OnTerminate = [&view](platform::WuxThread& sender) { view.OnRenameDone(sender); };
        run(view, thread, kRunRename);
        EXPECT_EQ(view.pnlFilesComment()->text(), c.text);
        EXPECT_EQ(view.pnlFilesComment()->palette().color(QPalette::WindowText) == QColor(Qt::red), c.red);
    }

    // A run with no selected file ends at once with zero counts.
    test::makeFolder(path("t"));
    readFolder();
    TViewRenReplacer view;
    replacerRun(view, "a", "b");
    EXPECT_EQ(view.sgInfo()->RowCount(), 1);
    EXPECT_EQ(cells(*view.sgStatus(), 1), (Rows{{"All files", "0", "0", "0", "0"},
                                                {"All unchanged", "0", "0", "0", "0"},
                                                {"All successful", "0", "0", "0", "0"},
                                                {"All failed", "0", "---", "---", "---"}}));
    EXPECT_EQ(view.pnlFilesComment()->text(), "Operation completed!");
}

TEST_F(RunWindowTest, SizesAndStatusTextsOfEachResult)
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    const struct
    {
        engines::TReplaceResult result;
        std::int32_t stage;
        std::int64_t before, after;
        std::vector<std::string> row; // cells 1-5
        platform::WinError failure = 0;
    } cases[] = {
        // clang-format off
        {engines::kReplaceFound, 0, 1234567, 1000, {"1 234 567", "1 000", "-1 233 567", "9", "successful\x02"}},
        {engines::kReplaceFound, 0, kMax, kMax,
         {"9223372036 854 775 807", "9223372036 854 775 807", "0", "9", "successful\x02"}},
        {engines::kReplaceNothingFound, 0, -1, 5, {"?", "5", "?", "9", "unchanged"}},
        {engines::kReplaceModeNotSupported, 0, 4, -1, {"4", "?", "?", "9", "not supported\x01"}},
        {engines::kReplaceDocumentLocked, 7, 0, 0, {"0", "0", "0", "9", "protected from changes\x01"}},
        {engines::kReplaceFailed, 0, 3, 3, {"?", "?", "?", "?", "failed\x01"}},
        {engines::kReplaceFailed, 101, 3, 3, {"?", "?", "?", "?", "failed_101\x01"}},
        {engines::kReplaceFailed, 0, 3, 3, {"?", "?", "?", "?", "failed: Access is denied.\x01"}, 5},
        {engines::kReplaceFailed, 0, 3, 3, {"?", "?", "?", "?",
         "failed: The process cannot access the file because it is being used by another process.\x01"}, 32},
        {engines::kReplaceFound, 0, 4, 4, {"4", "4", "0", "9", "successful\x02"}, 5},
        {engines::kReplaceFileMissing, 0, 0, 0, {"?", "?", "?", "?", "not found"}},
        // clang-format on
    };
    TViewRenReplacer view;
    view.Init(kRunReplace);
    EndingThread sender;
    for (const auto& c : cases) {
        view.sgInfo()->setRowCount(view.sgInfo()->RowCount() + 1);
        view.OnReplaceFileResult(sender, c.result, c.stage, 9, c.before, c.after, c.failure);
        std::vector<std::string> row;
        for (int col = 1; col <= 5; ++col)
            row.push_back(view.sgInfo()->Cells(col, view.sgInfo()->RowCount() - 1).toStdString());
        EXPECT_EQ(row, c.row) << c.result;
    }
    // Two rows of the largest size hold the sums at the largest value; the unknown sizes add nothing.
    EXPECT_EQ(cells(*view.sgStatus(), 1)[0],
              (std::vector<std::string>{"All files", "11", "9223372036 854 775 807", "9223372036 854 775 807",
                                        "0"}));
    EXPECT_EQ(view.sgStatus()->Cells(2, 3), "9223372036 854 775 807");
}

TEST_F(RunWindowTest, LongPathsShowWhole)
{
    const std::string folder = "t\\" + std::string(120, 'a') + "\\" + std::string(150, 'b');
    test::createFile(path(folder + "\\long.txt"), "foo");
    filelist::CreateBrowserState(panel.listing, 10, 50, "*.*", 1000);
    ASSERT_TRUE(filelist::SetStateToPath(path(folder), panel.listing));
    ASSERT_TRUE(filelist::ReadFolder(1, 0, panel.listing));
    filelist::SelectFolderItems(1, panel.listing, false, filelist::kActionMark);
    TViewRenReplacer view;
    replacerRun(view, "foo", "bar");
    EXPECT_EQ(view.sgInfo()->Cells(0, 1).toStdString(), path(folder + "\\long.txt"));
}

TEST_F(RunWindowTest, PlacementHelpAndLayoutOfEachRunKind)
{
    host.bounds = QRect(100, 50, 900, 700);
    host.controlBarHeight = 30;
    test::createFile(path("help\\RENAME_WINDOW.htm"), "<html/>");
    const std::string savedHelp = HelpFileName();
    SetHelpFileName(path("help"));
    platform::shell::RecordingProgramStarter starter;
    platform::shell::ScopedProgramStarter starterScope{starter};
    const int d = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight) + 5;
    for (const int mode : {kRunReplace, kRunRename}) {
        TViewRenReplacer view;
        view.Init(mode);
        view.show();
        EXPECT_EQ(view.frameGeometry().topLeft(), QPoint(100, 50 + 30 + d));
        EXPECT_EQ(view.frameGeometry().width(), 900);
        EXPECT_LE(view.frameGeometry().bottom(), 50 + 700 - 1);
        EXPECT_EQ(view.minimumSize(), QSize(600, 400));
        EXPECT_EQ(view.windowTitle(), "Find and Replace string");
        const int cols = mode == kRunReplace ? 6 : 2;
        EXPECT_EQ(view.sgInfo()->ColCount(), cols);
        EXPECT_EQ(view.sgStatus()->ColCount(), mode == kRunReplace ? 5 : 2);
        for (int col = 0; col < view.sgStatus()->ColCount(); ++col)
            EXPECT_EQ(view.sgStatus()->ColWidths(col), col == 0 ? 110 : col == 1 ? 150 : 90);
        int others = 0;
        for (int col = 1; col < cols; ++col) {
            EXPECT_GE(view.sgInfo()->ColWidths(col), 75);
            others += view.sgInfo()->ColWidths(col);
        }
        const QFontMetrics metrics(view.sgInfo()->font()); // the longest status text is not cut
        EXPECT_GE(view.sgInfo()->ColWidths(cols - 1),
                  metrics.horizontalAdvance(mode == kRunReplace ? "protected from changes" : "successful") +
                      16);
        EXPECT_EQ(view.sgInfo()->ColWidths(0),
                  view.sgInfo()->width() - others -
                      (view.style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8) - cols);
        EXPECT_EQ(view.btnHelpF()->geometry().right(), view.width() - 10);
        QTest::keyClick(view.sgInfo(), Qt::Key_F1);
        const std::string page = mode == kRunReplace ? "SEARCH_REPLACE_RESULTS.htm" : "RENAME_WINDOW.htm";
        EXPECT_EQ(platform::lastHelpRequest(), path("help") + "::/" + page);
        QTest::mouseClick(view.btnHelpF(), Qt::LeftButton);
        EXPECT_EQ(platform::lastHelpRequest(), path("help") + "::/" + page);
    }
    SetHelpFileName(savedHelp);
    // The buttons' captions come from the text table.
    for (int id = kTextRunCaption + 1; id <= kTextRunCaption + 6; ++id)
        core::classTranslator().SetTranslation(id, "#" + std::to_string(id - kTextRunCaption));
    TViewRenReplacer translated;
    translated.Init(kRunReplace);
    core::classTranslator().ResetTranslations();
    std::string captions;
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             translated.btnCancel(), translated.btnHelpF(), translated.rbAll(), translated.rbSuccess(),
             translated.rbUnchanged(), translated.rbFailed()})
        captions += button->text().toStdString() + "|";
    EXPECT_EQ(captions, "#1|#2|#3|#4|#5|#6|");
    ASSERT_EQ(starter.calls().size(), 2u); // only the rename page exists
    EXPECT_EQ(starter.calls()[0].url.toLocalFile().toStdString(), posix("help/RENAME_WINDOW.htm"));
}

TEST_F(RunWindowTest, MinimisingMinimisesTheApplicationAndTheMainWindowBringsItBack)
{
    QWidget main;
    host.widget = &main;
    main.show();
    TViewRenReplacer view(&main);
    view.Init(kRunReplace);
    view.show();
    view.setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(QTest::qWaitFor([&] { return main.isMinimized(); }, 5000));
    main.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view.isMinimized(); }, 5000));
    EXPECT_TRUE(view.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&view)); // and it has the keyboard again
}

} // namespace
} // namespace wux::tools

namespace wux::tools {
namespace {

// A failed file's status gives the system's reason; where the cell cuts it, the mouse resting on the
// cell shows it whole as a tip, and a cell that shows its whole text has no tip.
TEST_F(RunWindowTest, AReasonTheStatusCellCutsShowsWholeAsATip)
{
    TViewRenReplacer view;
    view.Init(kRunReplace);
    EndingThread sender;
    const char* names[] = {"c:\\shared\\x.txt", "c:\\logs\\app.log"};
    const platform::WinError failures[] = {platform::kErrorAccessDenied, platform::kErrorSharingViolation};
    for (int i = 0; i < 2; ++i) {
        view.sgInfo()->setRowCount(view.sgInfo()->RowCount() + 1);
        view.sgInfo()->setCells(0, view.sgInfo()->RowCount() - 1, names[i]);
        view.OnReplaceFileResult(sender, engines::kReplaceFailed, 0, 0, 10, 10, failures[i]);
    }
    view.show();
    QApplication::processEvents();
    controls::TWUXStringGrid& info = *view.sgInfo();
    const struct
    {
        int row;
        int col;
        QString tip;
    } cases[] = {
        {1, 5, ""},
        {2, 1, ""},
        {2, 5, "failed: The process cannot access the file because it is being used by another process."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.col));
        const QRect cell = info.CellRect(c.col, c.row);
        ASSERT_FALSE(cell.isEmpty());
        QHelpEvent help(QEvent::ToolTip, cell.center(), info.viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(info.viewport(), &help);
        EXPECT_EQ(help.isAccepted(), !c.tip.isEmpty());
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), c.tip);
    }
    QToolTip::hideText();
}

} // namespace
} // namespace wux::tools
