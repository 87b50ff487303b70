// The main window: modes, refreshing, activation, language, menus, toolbars, help, shutdown and the
// prompts of its file commands.
#include "main_form_fixture.h"

#include <QAbstractButton>
#include <QMenu>

#include "controls/control_check.h"
#include "filelist/basket.h"
#include "filelist/file_operations.h"
#include "mainwindow/about.h"
#include "mainwindow/main_commands.h"
#include "mainwindow/main_menus.h"
#include "mainwindow/tips.h"
#include "platform/help.h"
#include "platform/ini_file.h"
#include "platform/shell/device_change.h"
#include "support/open_counter.h"
#include "tools/tool_list.h"

namespace wux::mainwindow::test {
namespace {

using wux::test::createFile;
using wux::test::exists;
using wux::test::makeFolder;
using wux::test::readFileBytes;

// A tool form for the mode tests: a plain widget with a minimum width.
QWidget* makeToolForm(QWidget* parent)
{
    auto* form = new QWidget(parent);
    form->setMinimumSize(150, 100);
    return form;
}

class ModeTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        makeFolder(path("a"));
        makeFolder(path("b"));
    }
    void startWithTool(const std::string& extra = "")
    {
        startIn(path("a"), path("b"), extra);
        tools::TTool::Create(window->findChild<QWidget*>("pnlToolForms"), makeToolForm, 800,
                             action("actFinder"));
        tools::SetToolConstraints();
    }
    QWidget* tool() { return tools::ToolForm(2); }
};

TEST_F(ModeTest, EveryModeSwitchPath)
{
    // clang-format off
    enum Focus { kLeft, kRight, kTool };
    // clang-format on
    struct Case
    {
        int from;
        Focus focus;
        bool toolsRightBefore;
        int to;
        // expected
        Focus active; // the tool form, or a panel
        bool toolsRight;
        bool leftVisible;
        bool rightVisible;
    };
    const Case cases[] = {
        // Leaving mode 1: the tool replaces the panel without the focus.
        {1, kLeft, false, 2, kLeft, true, true, false},
        {1, kRight, true, 2, kRight, false, false, true},
        // A mode without a tool: the empty tool panel, the active panel kept.
        {1, kLeft, false, 3, kLeft, true, true, false},
        // Between tool modes ToolsInRightSide stays.
        {2, kTool, true, 3, kTool, true, true, false},
        {3, kLeft, false, 2, kLeft, false, false, true},
        // Back to mode 1: the panel that stayed visible is active.
        {2, kTool, true, 1, kLeft, true, true, true},
        {2, kTool, false, 1, kRight, false, true, true},
        {3, kRight, false, 1, kRight, false, true, true},
    };
    startWithTool();
    for (const Case& c : cases) {
        SCOPED_TRACE("from " + std::to_string(c.from) + " to " + std::to_string(c.to) + " focus " +
                     std::to_string(c.focus));
        window->SetMode(1);
        ToolsInRightSide = c.toolsRightBefore;
        window->SetActiveForm(c.toolsRightBefore ? &right() : &left());
        if (c.from != 1) {
            window->SetActiveForm(c.toolsRightBefore ? &left() : &right());
            window->SetMode(c.from);
            ToolsInRightSide = c.toolsRightBefore;
        }
        window->SetActiveForm(c.focus == kLeft    ? static_cast<QWidget*>(&left())
                              : c.focus == kRight ? static_cast<QWidget*>(&right())
                                                  : tools::ToolForm(c.from));
        window->SetMode(c.to);
        QApplication::processEvents();
        EXPECT_EQ(CurrentMode, c.to);
        EXPECT_EQ(ToolsInRightSide, c.toolsRight);
        QWidget* expected = c.active == kLeft    ? static_cast<QWidget*>(&left())
                            : c.active == kRight ? static_cast<QWidget*>(&right())
                                                 : tools::ToolForm(c.to);
        EXPECT_EQ(window->ActiveForm(), expected);
        EXPECT_EQ(!left().isHidden(), c.leftVisible);
        EXPECT_EQ(!right().isHidden(), c.rightVisible);
        EXPECT_EQ(!child("pnlUtil")->isHidden(), c.to != 1);
        EXPECT_EQ(!tool()->isHidden(), c.to == 2);
        for (const char* name : {"actBrowser", "actFinder", "actRenamer"})
            EXPECT_EQ(action(name)->isChecked(), action(name)->property("tag").toInt() == c.to) << name;
    }
}

TEST_F(ModeTest, SavedModeStartsOnTheSavedSideAndSwitchingToTheCurrentModeOnlyHidesTheSearch)
{
    startIn(path("a"), path("b"), "CurrentMode=3\r\nToolsInRightSide=0\r\n");
    EXPECT_EQ(CurrentMode, 3);
    EXPECT_FALSE(ToolsInRightSide) << "step 3 does not run from mode 0";
    EXPECT_TRUE(left().isHidden());
    EXPECT_FALSE(right().isHidden());
    EXPECT_TRUE(action("actRenamer")->isChecked());
    child("pnlSearch")->show();
    window->SetMode(3);
    EXPECT_TRUE(child("pnlSearch")->isHidden());
    EXPECT_EQ(CurrentMode, 3);
    window->SetMode(1);
    EXPECT_EQ(window->ActiveForm(), &right());
    TBrowserForm* active = nullptr;
    EXPECT_TRUE(window->GetActiveBrowser(active));
    EXPECT_EQ(active, &right());
}

TEST_F(ModeTest, OutOfRangeSavedModeStartsInTheBrowserAndToolPanelTakesTheToolsWidth)
{
    startWithTool("CurrentMode=9\r\n");
    EXPECT_EQ(CurrentMode, 1);
    window->SetMode(2);
    QApplication::processEvents();
    // The widest tool form decides (the Finder and the Renamer are tools of the window too).
    EXPECT_GE(tools::ToolConstraints().MinWidth, 150);
    EXPECT_EQ(child("pnlUtil")->minimumWidth(), tools::ToolConstraints().MinWidth);
    EXPECT_EQ(child("pnlUtil")->maximumWidth(), tools::ToolConstraints().MinWidth);
}

TEST_F(MainFormTest, RefreshPanelsSkipsWhileBusyAndTheFirstActivationDoesNotRefresh)
{
    makeFolder(path("a"));
    startIn(path("a"), path("a"));
    createFile(path("a\\new.txt"), "n");
    filelist::OperationBusy = true;
    window->RefreshPanels();
    EXPECT_EQ(left().Listing().itemCount, 0) << "a run is up";
    filelist::OperationBusy = false;
    left().Listing().busy = 1;
    window->RefreshPanels();
    EXPECT_EQ(right().Listing().itemCount, 0) << "a listing is busy";
    left().Listing().busy = 0;
    child("pnlSearch")->show();
    // The first activation only remembers; the next one refreshes.
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(left().Listing().itemCount, 1);
    EXPECT_EQ(right().Listing().itemCount, 1);
    EXPECT_TRUE(child("pnlSearch")->isHidden());
    createFile(path("a\\device.txt"), "d");
    QEvent deviceChange(platform::shell::kDeviceChangeEvent);
    QCoreApplication::sendEvent(window.get(), &deviceChange);
    EXPECT_EQ(left().Listing().itemCount, 2) << "a device change re-reads both panels";
}

TEST_F(MainFormTest, LanguageTextsMenuMarksToolbarsAndHelp)
{
    makeFolder(path("a"));
    startIn(path("a"), path("a"));
    // Texts from a language file.
    createFile(path("prog\\test.lng"), "416=F5 Kopieren\r\n424=&Dateien\r\n703=Korb sichern...\r\n");
    core::classTranslator().LoadFromFile(path("prog\\test.lng"));
    window->ApplyLanguage();
    EXPECT_EQ(child<QAbstractButton>("btnCopy")->text(), "F5 Kopieren");
    EXPECT_EQ(action("mnuCopy")->text(), "Kopieren");
    EXPECT_EQ(child<QMenu>("mnuMFile")->title(), "&Dateien");
    EXPECT_EQ(action("mnuSaveBasketList")->text(), "Korb sichern...");
    EXPECT_EQ(action("mnuRenMove")->text(), "RenMov");
    EXPECT_EQ(child<QAbstractButton>("btnSetModeBrief")->toolTip(), "Brief");
    core::classTranslator().ResetTranslations();

    // Menu marks follow the sort word, the mask and the view.
    struct SortCase
    {
        int tag;
        QAction* marked;
        bool reversed;
    };
    const SortCase sorts[] = {{2, action("mnuSortExt"), false},  {3, action("mnuSortDate"), false},
                              {3, action("mnuSortDate"), true},  {4, action("mnuSortSize"), false},
                              {1, action("mnuSortName"), false}, {5, action("mnuSortName"), true}};
    for (const SortCase& c : sorts) {
        window->mnuSortNameClick(c.tag);
        window->GeneralMenuChange();
        for (QAction* item :
             {action("mnuSortName"), action("mnuSortExt"), action("mnuSortDate"), action("mnuSortSize")})
            EXPECT_EQ(item->isChecked(), item == c.marked)
                << "tag " << c.tag << " " << item->objectName().toStdString();
        EXPECT_EQ(action("mnuSortRevers")->isChecked(), c.reversed) << "tag " << c.tag;
    }
    EXPECT_TRUE(action("mnuAllFiles")->isChecked());
    EXPECT_FALSE(action("mnuCustom")->isChecked());
    window->btnSetModeBriefClick(1);
    window->GeneralMenuChange();
    EXPECT_EQ(left().BrowserMode(), 1);
    EXPECT_TRUE(action("mnuBrief")->isChecked());
    EXPECT_FALSE(action("mnuFull")->isChecked());

    // The main toolbar and Layout bit 0x1.
    EXPECT_EQ(Layout & 1u, 1u);
    window->mnuMainToolbarClick();
    EXPECT_TRUE(child("pnlTbMain")->isHidden());
    EXPECT_EQ(Layout & 1u, 0u);
    EXPECT_FALSE(action("mnuMainToolbar")->isChecked());
    window->mnuMainToolbarClick();
    EXPECT_FALSE(child("pnlTbMain")->isHidden());
    EXPECT_EQ(Layout, kDefaultLayout);
    window->mnuToolsToolbarClick();
    EXPECT_TRUE(child("pnlTools")->isHidden());
    EXPECT_EQ(Layout, kDefaultLayout);

    // Help: the browser's topic in mode 1, and the contents.
    tools::SetHelpFileName(path("prog\\wux.chm"));
    window->actHelpExecute();
    EXPECT_EQ(platform::lastHelpRequest(), path("prog\\wux.chm") + "::/BROWSER.htm");
    window->actHelpContentsExecute();
    EXPECT_EQ(platform::lastHelpRequest(), path("prog\\wux.chm") + "::/CONTENTS.htm");
}

TEST_F(MainFormTest, FunctionKeyRowFillsItsBar)
{
    makeFolder(path("a"));
    startIn(path("a"), path("a"));
    child("pnlOperations")->resize(703, 24);
    window->pnlToolsResize(child("pnlOperations"));
    int x = 0;
    // The tool forms have buttons of the same names (btnEdit, btnDelete): look inside the row only.
    QWidget* row = child("pnlOperations");
    auto key = [row](const char* name) { return row->findChild<QWidget*>(QString::fromLatin1(name)); };
    for (QWidget* button : {key("btnViewF3"), key("btnEdit"), key("btnCopy"), key("btnRenMove"),
                            key("btnMkDir"), key("btnDelete"), key("btnExit")}) {
        EXPECT_EQ(button->x(), x);
        x += button->width();
    }
    EXPECT_EQ(x, 703);
    EXPECT_EQ(child("btnExit")->width(), 703 - 6 * (703 / 7));
}

TEST_F(MainFormTest, ShutdownSavesOnlyWithTheOptionAndStopsThreads)
{
    makeFolder(path("a"));
    struct Case
    {
        bool saveOnExit;
        bool byExit; // Exit or Alt+F4: no close step
    };
    // Without the option first: nothing reaches the registry either.
    const Case cases[] = {{false, false}, {false, true}, {true, false}, {true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.saveOnExit ? "save" : "no save") + (c.byExit ? ", Exit" : ", close"));
        const std::uint32_t options = c.saveOnExit ? 0x7A79u : (0x7A79u & ~0x800u);
        writeIni("[MainForm]\r\nShowTips=0\r\nGeneralCheckContainer=" + std::to_string(options) +
                 "\r\n[BROWSER_LEFT]\r\nDirectory=" + path("a") + "\r\n");
        const std::string before = iniBytes();
        open();
        window->SetActiveForm(&right());
        int loopEnds = 0;
        EndMessageLoop = [&loopEnds] { ++loopEnds; };
        if (c.byExit)
            window->bottomButtonsClick(kTagExit);
        else
            window->close();
        EndMessageLoop = nullptr;
        EXPECT_EQ(loopEnds, c.byExit ? 1 : 0);
        window.reset();
        EXPECT_FALSE(filelist::BasketState.folders) << "the Basket is freed";
        if (c.saveOnExit) {
            platform::IniFile ini(iniPath);
            EXPECT_EQ(ini.readInteger("MainForm", "ToolsInRightSide", 1), 0);
            EXPECT_EQ(ini.readString("BROWSER_LEFT", "Directory", ""), path("a"));
            EXPECT_EQ(languageValue(), "");
        } else {
            EXPECT_EQ(iniBytes(), before);
            EXPECT_EQ(languageValue(), "<missing>");
        }
    }
}

TEST_F(MainFormTest, StartAndSaveReadTheSettingsFileOnceEach)
{
    makeFolder(path("a"));
    writeIni("; " + std::string(100000, 'x') + "\r\n[MainForm]\r\nShowTips=0\r\nGeneralCheckContainer=" +
             std::to_string(0x7A79u) + "\r\n[BROWSER_LEFT]\r\nDirectory=" + path("a") +
             "\r\n[BROWSER_RIGHT]\r\nDirectory=" + path("a") + "\r\n[Finder]\r\nx=1\r\n");
    wux::test::OpenCounter opens(posix("prog"), "wux.ini");
    ASSERT_TRUE(opens.watching());
    open();
    EXPECT_EQ(opens.take(), 1) << "the window, its tools and its panels load from one reading";
    EXPECT_EQ(SaveAllSettings(*window), platform::kErrorSuccess);
    EXPECT_EQ(opens.take(), 1) << "the tools, the panels and the main window save into one reading";
    const std::string saved = iniBytes();
    EXPECT_EQ(saved.substr(0, 100002), "; " + std::string(100000, 'x'));
    platform::IniFile ini(iniPath);
    EXPECT_EQ(ini.readString("BROWSER_RIGHT", "Directory", ""), path("a"));
    EXPECT_EQ(ini.readString("Finder", "x", ""), "1");
}

TEST_F(MainFormTest, CopyMoveAndDeleteDialogsForEverySource)
{
    createFile(path("src\\one.txt"), "1");
    createFile(path("src\\two.txt"), "2");
    makeFolder(path("src\\dir"));
    makeFolder(path("dst"));
    startIn(path("src"), path("dst"));

    struct Case
    {
        const char* name;
        std::vector<std::string> marked; // empty: the cursor item
        std::string cursor;
        std::int32_t kind; // 1 copy, 4 move, 2 delete
        bool inPlace;
        std::string prompt;
        std::string input;
    };
    // clang-format off
    const Case cases[] = {
        {"single file", {}, "one.txt", 1, false, "Copy file \"one.txt\" to", path("dst\\one.txt")},
        {"several", {"one.txt", "two.txt"}, "one.txt", 4, false, "Rename or move 2 files to", path("dst\\*.*")},
        {"folder", {}, "dir", 1, false, "Copy directory [dir] to", path("dst\\*.*")},
        {"in place", {}, "two.txt", 4, true, "Rename or move file \"two.txt\" to", "two.txt"},
        {"delete several", {"one.txt", "dir"}, "one.txt", 2, false, "Do you wish to delete 2 files?", ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cursorOn(left(), c.cursor);
        for (const std::string& name : c.marked) {
            cursorOn(left(), name);
            left().SelectCurrentItem(false, filelist::kActionMark);
        }
        cursorOn(left(), c.cursor);
        queries.clear();
        onQuery(cancel);
        if (c.kind == 2)
            window->DeleteSelected();
        else
            window->CopyMoveSelected(c.kind, c.inPlace);
        ASSERT_EQ(queries.size(), 1u);
        EXPECT_EQ(queries[0].prompt, c.prompt);
        if (c.kind != 2) {
            EXPECT_EQ(queries[0].input, c.input);
        }
        EXPECT_EQ(left().Listing().selectedCount, static_cast<std::int32_t>(c.marked.size()));
        // Nothing changed on disk, and the marks are as they were.
        EXPECT_TRUE(exists(path("src\\one.txt")));
        EXPECT_TRUE(exists(path("src\\two.txt")));
        filelist::SelectFolderItems(1, left().Listing(), true, filelist::kActionUnmark);
        filelist::RecalcSelection(left().Listing());
    }
    EXPECT_FALSE(filelist::OperationBusy);
    EXPECT_EQ(left().Listing().busy, 0) << "every hand-over ended";

    // Shift+F6 on one file: rename in place with the proposed name changed.
    cursorOn(left(), "two.txt");
    onQuery(typeAndOk("three.txt"));
    window->CopyMoveSelected(4, true);
    EXPECT_FALSE(exists(path("src\\two.txt")));
    EXPECT_EQ(readFileBytes(path("src\\three.txt")), "2");
    EXPECT_EQ(cursorName(left()), "three.txt");

    // Nothing selected and the cursor on "[..]"-less empty panel: the selection check's message.
    queries.clear();
    dialogs.clear();
    window->SetActiveForm(&right());
    window->CopyMoveSelected(1, false);
    EXPECT_TRUE(queries.empty());
    ASSERT_EQ(dialogs.texts().size(), 1u);
    EXPECT_EQ(dialogs.texts()[0], "No files selected!");
}

// The delete questions as the user sees them: the warning icon, the prompt and the Basket's check box
// each in a place of its own, no text cut.
TEST_F(MainFormTest, DeleteQuestionsLayTheirControlsOutSideBySide)
{
    createFile(path("src\\Quarterly report.docx"), "1");
    makeFolder(path("dst"));
    startIn(path("src"), path("dst"));
    std::vector<QString> faults;
    auto checkThenCancel = [&faults](tools::TStandardQuery& dialog) {
        for (const QString& fault : controls::findOverlaps(dialog))
            faults.push_back(fault);
        for (const QString& fault : controls::findCutTexts(dialog))
            faults.push_back(fault);
        cancel(dialog);
    };
    cursorOn(left(), "Quarterly report.docx");
    onQuery(checkThenCancel);
    window->DeleteSelected();
    left().btnSendTobasketClick();
    window->SetActiveForm(&left());
    left().SetBrowserMode(filelist::kViewBasket);
    left().PositionCursor(0, -1, -1);
    onQuery(checkThenCancel);
    window->DeleteSelected();
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_TRUE(queries[1].sendVisible);
    std::string text;
    for (const QString& fault : faults)
        text += fault.toStdString() + "\n";
    EXPECT_TRUE(faults.empty()) << text;
}

TEST_F(MainFormTest, BasketSourceAndSendToBasket)
{
    createFile(path("src\\one.txt"), "1");
    createFile(path("src\\two.txt"), "2");
    makeFolder(path("dst"));
    startIn(path("src"), path("dst"));
    // Send one file to the Basket with the panel's button.
    cursorOn(left(), "one.txt");
    left().btnSendTobasketClick();
    EXPECT_EQ(filelist::BasketState.itemCount, 1);
    EXPECT_TRUE(exists(path("src\\one.txt")));
    // The Basket as source: empty input line, Send disabled; delete offers "Delete from disk".
    window->SetActiveForm(&left());
    left().SetBrowserMode(filelist::kViewBasket);
    left().PositionCursor(0, -1, -1);
    onQuery(cancel);
    window->CopyMoveSelected(1, false);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].input, "");
    EXPECT_TRUE(queries[0].sendVisible);
    EXPECT_FALSE(queries[0].sendEnabled);
    onQuery(ok);
    window->DeleteSelected();
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[1].prompt.rfind("Do you wish to remove ", 0), 0u);
    EXPECT_NE(queries[1].prompt.find(" from basket?"), std::string::npos);
    EXPECT_TRUE(queries[1].sendVisible);
    EXPECT_EQ(filelist::BasketState.itemCount, 0) << "removed from the Basket";
    EXPECT_TRUE(exists(path("src\\one.txt"))) << "not deleted from disk";
}

TEST_F(MainFormTest, MakeFolderFailureAndNewFileForEdit)
{
    createFile(path("src\\taken"), "file");
    startIn(path("src"), path("src"));
    window->SetActiveForm(&left());
    onQuery(typeAndOk("taken"));
    window->btnMkDirClick();
    ASSERT_EQ(dialogs.texts().size(), 1u);
    EXPECT_EQ(dialogs.texts()[0],
              "Error: directory [taken]\r\nnot created!\r\nCannot create a file when that file already exists.");
    EXPECT_EQ(dialogs.records()[0].request.icon, platform::MsgIcon::Warning);
    EXPECT_EQ(readFileBytes(path("src\\taken")), "file");
    // A cancelled dialog changes nothing.
    onQuery(cancel);
    window->btnMkDirClick();
    EXPECT_EQ(wux::test::listNames(posix("src")), (std::vector<std::string>{"taken"}));
    // In the Basket view no folder is made.
    left().SetBrowserMode(filelist::kViewBasket);
    queries.clear();
    window->btnMkDirClick();
    window->NewFileForEdit();
    EXPECT_TRUE(queries.empty());
}

} // namespace
} // namespace wux::mainwindow::test

namespace wux::mainwindow::test {
namespace {

// A tool form that records what the main window asks of it.
class RecordingTool : public QWidget, public tools::IToolForm
{
public:
    explicit RecordingTool(QWidget* parent) : QWidget(parent) { setMinimumSize(120, 80); }
    void InitTool() override {}
    void RegisterDefaultTexts(int) override {}
    void Translate(int) override {}
    void LoadSettings() override {}
    void SaveSettings() override { ++saves; }
    // Sections saved by any recording tool (read after the window, and its tools, are gone).
    static inline int saves = 0;
    bool CanStart(filelist::TstateOfBrowser* panelState) override
    {
        askedWith = panelState;
        return canStart;
    }
    void StartOperation() override { ++starts; }
    void ShowHelp() override { ++helps; }
    void ShowTitle(bool) override {}
    core::TUserParameters* GetParameters() override { return nullptr; }

    filelist::TstateOfBrowser* askedWith = nullptr;
    bool canStart = true;
    int starts = 0;
    int helps = 0;
};

TEST_F(MainFormTest, LaunchActionHelpAndSavingReachTheToolOfTheMode)
{
    makeFolder(path("a"));
    startIn(path("a"), path("a"));
    RecordingTool* tool = nullptr;
    // The recording tool joins the window's tools; its mode is the next free number.
    const tools::TTool* entry = tools::TTool::Create(
        child("pnlToolForms"), [&tool](QWidget* parent) { return tool = new RecordingTool(parent); }, 800,
        action("actFinder"));
    tools::SetToolConstraints();
    const int mode = entry->Id;
    window->SetActiveForm(&left());
    window->SetMode(mode);
    EXPECT_EQ(tool->askedWith, &left().Listing());
    EXPECT_TRUE(action("actLaunchOperation")->isEnabled());
    // The panel showing the Basket supplies its Basket view.
    left().SetBrowserMode(filelist::kViewBasket);
    tool->canStart = false;
    window->UpdateLaunchAction();
    EXPECT_EQ(tool->askedWith, &left().BasketView());
    EXPECT_FALSE(action("actLaunchOperation")->isEnabled());
    window->actLaunchOperationExecute();
    EXPECT_EQ(tool->starts, 1);
    // F1: the tool's own help in its mode, the browser's topic in mode 1.
    tools::SetHelpFileName(path("prog\\wux.chm"));
    const int requests = platform::helpRequestCount();
    window->actHelpExecute();
    EXPECT_EQ(tool->helps, 1);
    EXPECT_EQ(platform::helpRequestCount(), requests);
    window->SetMode(1);
    window->actHelpExecute();
    EXPECT_EQ(platform::lastHelpRequest(), path("prog\\wux.chm") + "::/BROWSER.htm");
    // The run windows disable and enable the main controls.
    window->EnableMainControls(false);
    EXPECT_FALSE(child("tbMenu")->isEnabled());
    EXPECT_FALSE(child("pnlTbMain")->isEnabled());
    EXPECT_FALSE(action("actFinder")->isEnabled());
    window->EnableMainControls(true);
    EXPECT_TRUE(child("tbMenu")->isEnabled());
    EXPECT_TRUE(action("actBatchReplacer")->isEnabled());
    // Saving on exit saves the tools' sections first.
    RecordingTool::saves = 0;
    closeWindow();
    EXPECT_EQ(RecordingTool::saves, 1);
    platform::IniFile ini(iniPath);
    EXPECT_EQ(ini.readInteger("MainForm", "CurrentMode", 0), 1);
}

TEST_F(MainFormTest, TheTipOfTheDayOpensAfterTheFirstPaintOnlyWhenShowTipsIsSet)
{
    makeFolder(path("a"));
    createFile(path("prog\\.tip"), "one\r\ntwo\r\nthree\r\n");
    struct Case
    {
        int showTips;
        int opened;
        int after;
    };
    for (const Case& c : {Case{2, 1, 3}, Case{0, 0, 0}}) {
        int opened = 0;
        QString shownTip;
        auto* closer = new QTimer;
        closer->setInterval(5);
        QObject::connect(closer, &QTimer::timeout, closer, [&] {
            if (auto* tip = qobject_cast<TDidYouKnow*>(QApplication::activeModalWidget())) {
                ++opened;
                shownTip = tip->currentTip();
                tip->accept();
            }
        });
        closer->start();
        writeIni("[MainForm]\r\nShowTips=" + std::to_string(c.showTips) +
                 "\r\n[BROWSER_LEFT]\r\nDirectory=" + path("a") + "\r\n");
        open();
        EXPECT_TRUE(window->firstPaintPending() == false);
        QTest::qWait(50);
        delete closer;
        EXPECT_EQ(opened, c.opened) << c.showTips;
        EXPECT_EQ(ShowTips, c.after) << c.showTips;
        if (c.opened != 0) {
            EXPECT_EQ(shownTip, "three");
        }
        closeWindow();
    }
}

TEST_F(MainFormTest, BasketCommandsOfTheFilesMenu)
{
    createFile(path("src\\one.txt"), "1");
    startIn(path("src"), path("src"));
    cursorOn(left(), "one.txt");
    window->mnuSendToBasketClick();
    EXPECT_EQ(filelist::BasketState.itemCount, 1);
    dialogs.answerFile(path("list.lst"));
    window->mnuSaveBasketListClick();
    EXPECT_EQ(readFileBytes(path("list.lst")), path("src\\one.txt") + "\r\n");
    window->btnClearBasketClick();
    EXPECT_EQ(filelist::BasketState.itemCount, 0);
    EXPECT_EQ(left().lblBasketInfo()->text().toStdString(), "0 Files in Basket");
    dialogs.answerFile(path("list.lst"));
    window->mnuLoadBasketListClick();
    EXPECT_EQ(filelist::BasketState.itemCount, 1);
    EXPECT_EQ(right().lblBasketInfo()->text().toStdString(), "1 Files in Basket");
}

} // namespace
} // namespace wux::mainwindow::test

namespace wux::mainwindow::test {
namespace {

TEST_F(MainFormTest, StartUpMakesTheShownMainWindowAndItsAboutBox)
{
    makeFolder(path("a"));
    writeIni("[MainForm]\r\nShowTips=0\r\n");
    std::unique_ptr<QObject> windows = CreateMainWindows();
    auto* main = qobject_cast<TMainForm*>(windows.get());
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->isVisible());
    ASSERT_NE(frmAbout, nullptr);
    EXPECT_EQ(frmAbout->parent(), main);
    int aboutShown = 0;
    QTimer::singleShot(20, [&aboutShown] {
        if (frmAbout != nullptr && frmAbout->isVisible()) {
            ++aboutShown;
            frmAbout->accept();
        }
    });
    main->mnuAboutClick();
    EXPECT_EQ(aboutShown, 1);
    windows.reset();
    EXPECT_EQ(frmAbout, nullptr);
}

} // namespace
} // namespace wux::mainwindow::test
