// The plug-in host with a stand-in main window: discovery and the title cache, runs of the sample
// plug-ins over a panel list, every refusal with its box, and requests outside a run. Then in the real
// main window: Ctrl+Shift+digit, results in a panel and in the Basket selected by result, and the
// menu commands and buttons refused while a plug-in runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "filelist/basket_fixture.h"
#include "filelist/file_operations.h"
#include "filelist/operation_cursor.h"
#include "mainwindow/plugin_host.h"
#include "platform/dialogs.h"
#include "settings_fixture.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "tools/tool_list.h"

namespace wux::mainwindow {
namespace {

namespace fl = filelist;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class HostWindow : public IPluginHostWindow
{
public:
    void RefreshPanels() override { ++refreshes; }
    void hideQuickSearch() override { ++quickSearchHides; }
    bool pluginRunning() const override { return running; }
    void setPluginRunning(bool value) override { running = value; }
    WuxWindow appWindowHandle() const override { return app; }
    WuxWindow mainWindowHandle() const override { return main; }

    int refreshes = 0;
    int quickSearchHides = 0;
    bool running = false;
    WuxWindow app = 0;
    WuxWindow main = 0;
};

const std::string kNotLoaded = "Plugin not loaded.";
const std::string kTooNew = "Plugin not loaded, because you have old version of the program.\r\n"
                            "You able to download new version of the program from our site.";

class PluginHostTest : public fl::test::BasketFixture
{
protected:
    void SetUp() override
    {
        BasketFixture::SetUp();
        fl::SetActivePanelSource([this] { return &panel; });
        savedSettings = tools::SettingsFileName();
        tools::SetSettingsFileName(drive.path("cfg\\wux.ini"));
        wux::test::createFile(drive.path("cfg\\wux.ini"), "");
        fs::create_directories(pluginFolder());
        host = std::make_unique<PluginHost>(
            window, PluginHost::Options{pluginFolder(), std::string(WUX_PROBE_PATH), 3000});
        window.app = wuxCreateWindow(
            [](WuxWindow, uint32_t, WuxWParam, WuxLParam, void*) -> intptr_t { return 0; }, nullptr);
        window.main = createPluginRequestWindow(*host);
        fl::test::makeList(listing,
                           {fl::test::file("b.txt", 20), fl::test::dir("sub"), fl::test::file("a.txt", 10)});
        fl::SortAllFolders(listing);
    }

    void TearDown() override
    {
        wuxDestroyWindow(window.main);
        wuxDestroyWindow(window.app);
        host.reset();
        if (fl::PluginStructure.state != nullptr)
            fl::EndStateHandOver();
        fl::PluginStructure = fl::TPluginStructure();
        fl::test::ListGuard{listing};
        tools::SetSettingsFileName(savedSettings);
        BasketFixture::TearDown();
    }

    std::string pluginFolder() const { return drive.posix("program"); }

    // Copies a built library into the program folder under a name.
    void install(const std::string& built, const std::string& as)
    {
        fs::copy_file(built, pluginFolder() + "/" + as, fs::copy_options::overwrite_existing);
    }
    static std::string sample(const char* name) { return std::string(WUX_PLUGIN_DIR) + "/" + name; }
    static std::string variant(const char* name) { return std::string(WUX_PLUGIN_VARIANT_DIR) + "/" + name; }

    // Discovers into a menu with the three fixed items.
    void discover()
    {
        menu.addAction("Get new plug-ins");
        menu.addAction("What is a plug-in");
        menu.addSeparator();
        host->LoadPlugins(&menu);
    }
    Names captions() const
    {
        Names names;
        for (QAction* action : menu.actions().mid(kFixedPluginMenuItems))
            names.push_back(action->text().toStdString() + " " + action->shortcut().toString().toStdString());
        return names;
    }
    std::string logOrNothing(const char* name)
    {
        const std::string log = drive.path(std::string("cfg\\") + name);
        return wux::test::exists(log) ? wux::test::readFileBytes(log) : std::string("(none)");
    }
    std::string marked()
    {
        std::string names;
        for (const std::string& name : fl::test::namesOf(listing))
            if (fl::test::itemAt(listing, 1, fl::test::positionOf(listing, name)).flags & fl::kMarkOwn)
                names += (names.empty() ? "" : " ") + name;
        return names;
    }

    wux::test::TempDrive drive{"c"};
    mainwindow::test::ScopedEnv config{"XDG_CONFIG_HOME", drive.posix("config")};
    std::string savedSettings;
    HostWindow window;
    std::unique_ptr<PluginHost> host;
    QMenu menu;
    fl::TstateOfBrowser listing;
    fl::test::FakePanel panel{listing, fl::LeftBasketState};
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService dialogScope{dialogs};
};

TEST_F(PluginHostTest, DiscoveryTakesTenInNameOrderAndCachesTitles)
{
    WritePluginTitle("p03.plgn", "Cached Three");
    for (int i = 0; i < 11; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%02d.plgn", i);
        install(sample(i % 2 == 0 ? "SampleWalk.plgn" : "SampleCounts.plgn"), name);
    }
    install(variant("NullTitle.plgn"), "a-null.plgn");
    install(variant("CrashOnLoad.plgn"), "a-crash.plgn");
    wux::test::createFile(pluginFolder() + "/a-text.plgn", "not a library");
    fs::create_directories(pluginFolder() + "/a-folder.plgn");
    wux::test::createFile(pluginFolder() + "/zz.plgnx", "");
    discover();
    host->LoadPlugins(&menu); // only the first call counts

    EXPECT_EQ(captions(), (Names{"... Ctrl+Shift+0", "Sample Walk... Ctrl+Shift+1",
                                 "Sample Counts... Ctrl+Shift+2", "Sample Walk... Ctrl+Shift+3",
                                 "Cached Three... Ctrl+Shift+4", "Sample Walk... Ctrl+Shift+5",
                                 "Sample Counts... Ctrl+Shift+6", "Sample Walk... Ctrl+Shift+7",
                                 "Sample Counts... Ctrl+Shift+8", "Sample Walk... Ctrl+Shift+9"}));
    ASSERT_EQ(host->pluginList().size(), 10u);
    EXPECT_EQ(host->pluginList()[0], pluginFolder() + "/a-null.plgn");
    EXPECT_EQ(host->pluginList()[9], pluginFolder() + "/p08.plgn");
    EXPECT_EQ(ReadPluginTitle("p00.plgn"), "Sample Walk");
    EXPECT_EQ(ReadPluginTitle("p03.plgn"), "Cached Three");
    EXPECT_EQ(ReadPluginTitle("p09.plgn"), "") << "files after the tenth are never looked at";
    EXPECT_EQ(ReadPluginTitle("a-crash.plgn"), "");
    EXPECT_TRUE(dialogs.records().empty());
    EXPECT_FALSE(window.running);
}

struct RunCase
{
    const char* name;
    const char* library; // "v/" for a test variant; installed as "x.plgn"
    const char* ini;
    const char* markedBefore;
    std::int32_t cursorRow;
    const char* markedAfter;
    std::string box; // "" none
    const char* logName;
    std::string log;      // "<settings>" stands for the settings path
    const char* statuses; // of a.txt, b.txt
};

void PrintTo(const RunCase& c, std::ostream* out)
{
    *out << c.name;
}

class PluginRun : public PluginHostTest, public ::testing::WithParamInterface<RunCase>
{
};

TEST_P(PluginRun, RunsOrRefuses)
{
    const RunCase& c = GetParam();
    const std::string library = c.library;
    install(library.rfind("v/", 0) == 0 ? variant(c.library + 2) : sample(c.library), "x.plgn");
    WritePluginTitle("x.plgn", "X");
    wux::test::createFile(drive.path("cfg\\wux.ini"), c.ini);
    std::istringstream before(c.markedBefore);
    for (std::string name; before >> name;)
        fl::test::setFlags(listing, name, fl::kMarkOwn);
    panel.cursorRow = c.cursorRow;
    discover();
    ASSERT_EQ(menu.actions().size(), kFixedPluginMenuItems + 1);

    menu.actions().back()->trigger();

    EXPECT_EQ(dialogs.texts(), c.box.empty() ? Names{} : Names{c.box});
    if (c.box.rfind("Plugin", 0) == 0) {
        EXPECT_EQ(dialogs.captions(), Names{"error!"});
    }
    std::string expected = c.log;
    for (std::size_t at; (at = expected.find("<settings>")) != std::string::npos;)
        expected.replace(at, 10, tools::SettingsFileName());
    EXPECT_EQ(logOrNothing(c.logName), expected);
    EXPECT_EQ(marked(), c.markedAfter);
    std::string statuses;
    for (const char* name : {"a.txt", "b.txt"})
        statuses += std::to_string(fl::test::itemAt(listing, 1, fl::test::positionOf(listing, name)).status) +
                    (name[0] == 'a' ? " " : "");
    EXPECT_EQ(statuses, c.statuses);
    EXPECT_FALSE(window.running);
    EXPECT_EQ(window.refreshes, 1);
    EXPECT_EQ(window.quickSearchHides, 1);
    EXPECT_EQ(fl::PluginStructure.state, nullptr) << "the hand-over ended";
}

const std::string kWalkHead = "parameters=12 language=\nsettings=<settings>\n";
const std::string kCrashed = kNotLoaded + "\r\nThe plug-in crashed while it was loaded.";
const std::string kHung = kNotLoaded + "\r\nThe plug-in did not answer while it was loaded.";
const std::string kNeedsFile = "You must select file(s). (Not folder(s))!";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Runs, PluginRun, ::testing::Values(
    RunCase{"WalkUnmarksAndTags", "SampleWalk.plgn", "", "a.txt b.txt sub", 0, "", "", "SampleWalk.log",
            kWalkHead + "counts=3 2 0 0\nfile=c:\\data\\sub 16 1\nfile=c:\\data\\a.txt 32 1\n"
                        "file=c:\\data\\b.txt 32 1\nend 3\n", "64 64"},
    RunCase{"WalkRestartsWithFlagsFromSettings", "SampleWalk.plgn", "[Sample Walk]\nResult=128\nRestart=1\n",
            "b.txt", 0, "b.txt", "", "SampleWalk.log",
            kWalkHead + "counts=1 1 0 0\nfile=c:\\data\\b.txt 32 1\nrestart\nfile=c:\\data\\b.txt 32 1\nend 2\n",
            "0 128"},
    RunCase{"FalseUnmarksTheAutoSelection", "SampleWalk.plgn", "[Sample Walk]\nResult=0\nReturn=0\n", "", 3, "",
            "", "SampleWalk.log", kWalkHead + "counts=1 1 0 0\nfile=c:\\data\\a.txt 32 1\nend 1\n", "0 0"},
    RunCase{"SelectionRefusedSaysWhyOnly", "SampleWalk.plgn", "", "sub", 0, "sub", kNeedsFile, "SampleWalk.log",
            "(none)", "0 0"},
    RunCase{"CountsNeedsNoSelection", "SampleCounts.plgn", "", "", 0, "", "", "SampleCounts.log",
            kWalkHead + "counts=0 0 0 0\n", "0 0"},
    RunCase{"MissingExport", "v/NoStart.plgn", "", "a.txt", 0, "a.txt", kNotLoaded, "SampleWalk.log", "(none)", "0 0"},
    RunCase{"TooNew", "v/Magic27.plgn", "", "a.txt", 0, "a.txt", kTooNew, "SampleWalk.log", "(none)", "0 0"},
    RunCase{"CrashWhileLoading", "v/CrashOnLoad.plgn", "", "a.txt", 0, "a.txt", kCrashed, "SampleWalk.log",
            "(none)", "0 0"},
    RunCase{"HangWhileLoading", "v/HangOnLoad.plgn", "", "a.txt", 0, "a.txt", kHung, "SampleWalk.log", "(none)",
            "0 0"}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(PluginHostTest, NotALibraryAndAVanishedFileAreRefused)
{
    wux::test::createFile(pluginFolder() + "/bad.plgn", "not a library");
    WritePluginTitle("bad.plgn", "Bad");
    install(sample("SampleWalk.plgn"), "gone.plgn");
    WritePluginTitle("gone.plgn", "Gone");
    discover();
    fs::remove(pluginFolder() + "/gone.plgn");
    host->RunPlugin(0);
    host->RunPlugin(1);
    host->RunPlugin(2); // beyond the list: nothing
    EXPECT_EQ(dialogs.texts(), (Names{kNotLoaded, kNotLoaded}));
    EXPECT_EQ(captions(), (Names{"Bad... Ctrl+Shift+0", "Gone... Ctrl+Shift+1"}));
}

TEST_F(PluginHostTest, RequestsOutsideARunAndNestedClicksChangeNothing)
{
    fl::test::setFlags(listing, "a.txt", fl::kMarkOwn);
    std::vector<std::pair<WuxWParam, WuxLParam>> replies;
    static std::vector<std::pair<WuxWParam, WuxLParam>>* sink = nullptr;
    sink = &replies;
    WuxWindow plugin = wuxCreateWindow(
        [](WuxWindow, uint32_t, WuxWParam w, WuxLParam l, void*) -> intptr_t {
            sink->emplace_back(w, l);
            return 0;
        },
        nullptr);
    fl::TOperationFileResult result;
    result.flags = fl::kResultUnmark | 64;
    for (WuxWParam code : {1u, 3u, 5u})
        wuxSendMessage(window.main, WUX_MSG_PLUGIN_REQUEST, code, static_cast<WuxLParam>(plugin));
    wuxSendMessage(window.main, WUX_MSG_PLUGIN_REQUEST, 2, reinterpret_cast<WuxLParam>(&result));
    QCoreApplication::processEvents();
    EXPECT_TRUE(replies.empty());
    EXPECT_EQ(marked(), "a.txt");

    // A click while a run is up leaves the flag set and runs nothing.
    install(sample("SampleCounts.plgn"), "c.plgn");
    discover();
    window.running = true;
    host->RunPlugin(0);
    EXPECT_TRUE(window.running);
    // Nor does a click while another run holds the cursor.
    window.running = false;
    fl::OperationBusy = true;
    host->RunPlugin(0);
    fl::OperationBusy = false;
    EXPECT_FALSE(window.running);
    EXPECT_EQ(window.refreshes, 0);
    EXPECT_EQ(logOrNothing("SampleCounts.log"), "(none)");
    host->RunPlugin(0);
    EXPECT_FALSE(fl::OperationBusy) << "the busy flag held during the run is given back";
    EXPECT_EQ(logOrNothing("SampleCounts.log"),
              "parameters=12 language=\nsettings=" + tools::SettingsFileName() + "\ncounts=1 1 0 0\n");
    wuxDestroyWindow(plugin);
}

} // namespace
} // namespace wux::mainwindow

// ---- The plug-in host in the real main window ----

#include <QComboBox>

#include "filelist/general_options.h"
#include "main_form_fixture.h"
#include "mainwindow/keyboard_map.h"
#include "ui_TMainForm.h"

namespace wux::mainwindow::test {
namespace {

namespace fs = std::filesystem;

// The main window made as the start-up makes it, with the sample plug-in and the probe in its program
// folder and three files in folder a.
class PluginWindowTest : public MainFormTest
{
protected:
    PluginWindowTest()
    {
        KeyboardStateSource = [this] { return keyboard; };
    }
    ~PluginWindowTest() override { KeyboardStateSource = nullptr; }

    void start(const std::string& sampleSection,
               const std::string& library = std::string(WUX_PLUGIN_DIR) + "/SampleWalk.plgn")
    {
        fs::copy_file(library, posix("prog") + "/SampleWalk.plgn");
        fs::copy_file(WUX_PROBE_PATH, posix("prog") + "/wux_probe");
        for (const char* name : {"a1.txt", "a2.txt", "b.txt"})
            wux::test::createFile(path(std::string("a\\") + name), name);
        wux::test::makeFolder(path("b"));
        writeIni("[MainForm]\r\nShowTips=0\r\nGeneralCheckContainer=" + std::to_string(0x7A7D & ~0x4) +
                 "\r\n[BROWSER_LEFT]\r\nDirectory=" + path("a") +
                 "\r\n[BROWSER_RIGHT]\r\nDirectory=" + path("b") + "\r\n[Sample Walk]\r\n" + sampleSection);
        window.reset(static_cast<TMainForm*>(CreateMainWindows().release()));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->firstPaintPending(); }));
        ASSERT_EQ(window->pluginHost()->pluginList().size(), 1u);
        cursorOn(left(), "b.txt");
    }
    // Marks the items matching a mask through the Mark menu.
    void selectMask(const std::string& mask)
    {
        onQuery([mask](tools::TStandardQuery& dialog) {
            dialog.cbForSelectFiles()->setEditText(QString::fromStdString(mask));
            ok(dialog);
        });
        action("mnuSelGroup")->trigger();
    }
    void runByKey()
    {
        keyboard = Qt::ControlModifier | Qt::ShiftModifier;
        press(left(), Qt::Key_0, keyboard);
        keyboard = Qt::NoModifier;
    }
    // "name:status" of every item the list shows, "*" after a marked name.
    static std::string itemsOf(filelist::TstateOfBrowser& list)
    {
        std::string text;
        filelist::StateAccess access(list);
        for (std::int32_t folder = 1; folder <= list.folderCount; ++folder) {
            for (std::int32_t position = 1; position <= access.Folder(folder).count; ++position) {
                const filelist::TBrowserItem* item = access.ItemAt(folder, position);
                text += std::string(text.empty() ? "" : " ") + std::string(access.Name(*item)) +
                        ((item->flags & filelist::ViewBit(list)) ? "*" : "") + ":" +
                        std::to_string(item->status);
            }
        }
        return text;
    }
    std::string log() { return wux::test::readFileBytes(path("prog\\SampleWalk.log")); }
    std::string walkLog(const std::string& folder, int files)
    {
        std::string text = "parameters=12 language=\nsettings=" + iniPath +
                           "\ncounts=" + std::to_string(files) + " " + std::to_string(files) + " 0 0\n";
        for (const char* name : {"a1.txt", "a2.txt"}) {
            if (files-- > 0)
                text += "file=" + folder + "\\" + name + " 32 1\n";
        }
        return text + "end 2\n";
    }

    Qt::KeyboardModifiers keyboard = Qt::NoModifier;
};

struct WindowRunCase
{
    const char* name;
    const char* section; // of the sample plug-in in the settings file
    bool basket;         // the run starts in the Basket view
    const char* after;   // the shown list after the run
    const char* select;  // a Mark menu item then triggered
    const char* selected;
};

void PrintTo(const WindowRunCase& c, std::ostream* out)
{
    *out << c.name;
}

class PluginWindowRun : public PluginWindowTest, public ::testing::WithParamInterface<WindowRunCase>
{
};

TEST_P(PluginWindowRun, CtrlShiftDigitRunsAndResultsSelect)
{
    const WindowRunCase& c = GetParam();
    start(c.section);
    if (c.basket) {
        action("mnuSelAll")->trigger();
        window->mnuSendToBasketClick();
        left().SetBrowserMode(filelist::kViewBasket);
        action("mnuUnselAll")->trigger();
    }
    filelist::TstateOfBrowser& list = c.basket ? left().BasketView() : left().Listing();
    selectMask("a*");
    ASSERT_EQ(list.selectedCount, 2);

    runByKey();

    EXPECT_EQ(log(), walkLog(path("a"), 2));
    EXPECT_EQ(itemsOf(list), c.after);
    action(c.select)->trigger();
    EXPECT_EQ(itemsOf(list), c.selected);
    EXPECT_EQ(wux::test::listNames(path("a")), (std::vector<std::string>{"a1.txt", "a2.txt", "b.txt"}));
    EXPECT_FALSE(window->pluginRunning());
    EXPECT_FALSE(filelist::OperationBusy);
    EXPECT_TRUE(dialogs.texts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Runs, PluginWindowRun,
    ::testing::Values(WindowRunCase{"Panel", "", false, "a1.txt:64 a2.txt:64 b.txt:0", "SelectSuccessful",
                                    "a1.txt*:64 a2.txt*:64 b.txt:0"},
                      WindowRunCase{"PanelFailedStaysMarked", "Result=128\r\n", false,
                                    "a1.txt*:128 a2.txt*:128 b.txt:0", "SelectSuccessful",
                                    "a1.txt*:128 a2.txt*:128 b.txt:0"},
                      WindowRunCase{"Basket", "", true, "a1.txt:64 a2.txt:64 b.txt:0", "SelectSuccessful",
                                    "a1.txt*:64 a2.txt*:64 b.txt:0"},
                      WindowRunCase{"BasketFailed", "Result=130\r\n", true, "a1.txt:128 a2.txt:128 b.txt:0",
                                    "SelectFailed", "a1.txt*:128 a2.txt*:128 b.txt:0"},
                      WindowRunCase{"BasketUnchangedSelectsNothingElse", "Result=194\r\n", true,
                                    "a1.txt:192 a2.txt:192 b.txt:0", "SelectSuccessful",
                                    "a1.txt:192 a2.txt:192 b.txt:0"},
                      WindowRunCase{"RemovedFromTheBasket", "Result=98\r\n", true, "b.txt:0",
                                    "SelectSuccessful", "b.txt:0"}),
    [](const ::testing::TestParamInfo<WindowRunCase>& info) { return std::string(info.param.name); });

// Calls a function once, on the first queued call the application handles while a run is up: the
// moment a running plug-in's first request arrives.
class DuringRun : public QObject
{
public:
    explicit DuringRun(std::function<void()> what) : what_(std::move(what))
    {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (!done && receiver == qApp && event->type() == QEvent::MetaCall && filelist::OperationBusy) {
            done = true;
            what_();
        }
        return false;
    }
    bool done = false;

private:
    std::function<void()> what_;
};

TEST_F(PluginWindowTest, MenuCommandsAndButtonsAreRefusedWhileAPlugInRuns)
{
    start("");
    selectMask("a*");
    dialogs.answerFile(path("list.lst"));
    // Any query dialog a command would open is cancelled and counted.
    int queriesShown = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (tools::StandardQuery != nullptr && tools::StandardQuery->isVisible()) {
            ++queriesShown;
            tools::StandardQuery->reject();
        }
    });
    closer.start(5);
    const char* const items[] = {
        "mnuCopy",         "mnuRenMove",        "mnuDelete",          "mnuMkDir",
        "mnuSendToBasket", "mnuSaveBasketList", "mnuSelAll",          "mnuUnselAll",
        "mnuInvertSel",    "SelectSuccessful",  "mnuSortExt",         "mnuSortRevers",
        "mnuFull",         "actFinder",         "actLaunchOperation", "mnuExit"};
    const char* const buttons[] = {"btnCopy", "btnDelete", "btnMkDir", "btnRUpOneLevel", "btnInvertSel"};
    const std::uint32_t sortWord = left().Listing().sortWord;
    DuringRun attempt([&] {
        for (const char* name : items)
            action(name)->trigger();
        for (const char* name : buttons)
            child<QAbstractButton>(name)->click();
    });

    runByKey();

    EXPECT_TRUE(attempt.done);
    EXPECT_EQ(log(), walkLog(path("a"), 2)) << "the walk went on undisturbed";
    EXPECT_EQ(itemsOf(left().Listing()), "a1.txt:64 a2.txt:64 b.txt:0");
    EXPECT_EQ(left().Listing().sortWord, sortWord);
    EXPECT_EQ(queriesShown, 0);
    EXPECT_EQ(queries.size(), 1u) << "the mask selection's only";
    EXPECT_TRUE(dialogs.texts().empty());
    EXPECT_EQ(filelist::BasketState.itemCount, 0);
    EXPECT_FALSE(wux::test::exists(path("list.lst")));
    EXPECT_EQ(wux::test::listNames(path("a")), (std::vector<std::string>{"a1.txt", "a2.txt", "b.txt"}));
    EXPECT_TRUE(wux::test::listNames(path("b")).empty());
    EXPECT_EQ(CurrentMode, 1);
    EXPECT_EQ(folderOf(left()), path("a"));
    // Afterwards the commands work again.
    action("mnuSelAll")->trigger();
    EXPECT_EQ(left().Listing().selectedCount, 3);
}

TEST_F(PluginWindowTest, AMessageLeftForAPlugInAfterItsRunIsDroppedWithItsLibrary)
{
    start("", std::string(WUX_PLUGIN_VARIANT_DIR) + "/LeaveWindow.plgn");
    selectMask("a*");

    runByKey();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QTest::qWait(5);
    }

    const std::string text = log();
    const std::string marker = "left window ";
    const std::size_t at = text.find(marker);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.substr(0, at), walkLog(path("a"), 2));
    const WuxWindow plugin = std::stoul(text.substr(at + marker.size()));
    EXPECT_EQ(text.substr(at), marker + std::to_string(plugin) + "\n") << "no message reached the plug-in";
    EXPECT_FALSE(wuxIsWindow(plugin));
    EXPECT_EQ(itemsOf(left().Listing()), "a1.txt:64 a2.txt:64 b.txt:0");
    action("mnuSelAll")->trigger();
    EXPECT_EQ(left().Listing().selectedCount, 3);
}

} // namespace
} // namespace wux::mainwindow::test
