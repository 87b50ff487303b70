#include "mainwindow/settings.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/ini_file.h"
#include "settings_fixture.h"

namespace wux::mainwindow::test {
namespace {

QRect screenGeometry()
{
    return QGuiApplication::primaryScreen()->geometry();
}

std::string joinLines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

TEST_F(SettingsTest, FirstStartWithoutAFileGivesTheDefaultsAndWritesNothing)
{
    host.ratio = 4321;
    LoadAllSettings(host);

    const QRect screen = screenGeometry();
    const QSize size(std::min(700, screen.width()), std::min(550, screen.height()));
    EXPECT_EQ(host.window.geometry(),
              QRect(screen.x() + (screen.width() - size.width()) / 2,
                    screen.y() + (screen.height() - size.height()) / 2, size.width(), size.height()));
    EXPECT_EQ(host.window.windowState(), Qt::WindowNoState);
    EXPECT_EQ(Layout, 0xF1u);
    EXPECT_EQ(filelist::GeneralCheckContainer.load(), 0x7A7Du);
    EXPECT_EQ(filelist::ViewerProgram, "notepad.exe");
    EXPECT_EQ(filelist::EditorProgram, "notepad.exe");
    EXPECT_TRUE(ToolsInRightSide);
    EXPECT_EQ(SavedMode, 1);
    EXPECT_EQ(CurrentMode, 0);
    EXPECT_EQ(ShowTips, 1);
    EXPECT_FALSE(MustSwapPanels);
    EXPECT_EQ(host.ratio, 4321); // the splitter keeps its own ratio
    EXPECT_EQ(MainColors, (std::array<QColor, 5>{QColor(0, 0, 0), QColor(255, 255, 255), QColor(255, 0, 0),
                                                 QColor(0, 0, 128), QColor(255, 255, 255)}));
    EXPECT_EQ(BrowserFont().family().toStdString(), "MS Sans Serif");
    EXPECT_EQ(BrowserFont().pointSize(), 8);
    EXPECT_TRUE(BrowserFont().bold());
    EXPECT_EQ(fntCaption(BrowserFont()), "MS Sans Serif, 8, B");
    EXPECT_EQ(MaskSelectionHistory().Strings().count(), 0);
    EXPECT_EQ(FavoriteNames().count(), 0);
    EXPECT_EQ(iniBytes(), "<missing>");
}

TEST_F(SettingsTest, SavingTheFirstStartWritesEveryKeyOnceInOrder)
{
    LoadAllSettings(host);
    CurrentMode = 1;
    host.window.setGeometry(12, 34, 640, 480);

    ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    EXPECT_EQ(iniBytes(), joinLines({"[MainForm]",
                                     "Top=34",
                                     "Left=12",
                                     "Width=640",
                                     "Height=480",
                                     "ToolsInRightSide=0",
                                     "CurrentMode=1",
                                     "Status=1",
                                     "Layout=241",
                                     "Viewer=notepad.exe",
                                     "Editor=notepad.exe",
                                     "MustSwapPanels=0",
                                     "VerticalSplitter=5000",
                                     "GeneralCheckContainer=31357",
                                     "ShowTips=1",
                                     "MASK_SELECTION=300D0A",
                                     "BROWSER_FILTRES=300D0A",
                                     "MainColor1=0",
                                     "MainColor2=0",
                                     "MainColor3=0",
                                     "MainColor4=0",
                                     "MainColor5=0",
                                     "",
                                     "[Browser]",
                                     "FilesFontName=MS Sans Serif",
                                     "FilesFontSize=8",
                                     "FilesFontStyle=1",
                                     "",
                                     "[Favorites]",
                                     "F_NAMES=",
                                     "F_DIRECTORIES="}));
    EXPECT_EQ(languageValue(), "");
    EXPECT_TRUE(dialogs.records().empty());
}

// A file with every key away from its default, written by hand: spacing, comments, a quoted value, a
// plug-in's section and the panels' sections.
const std::string kHandWritten = joinLines({
    "; settings of a user",
    "[PluginX]",
    "Token = \"  keep me  \"",
    "[MainForm]",
    "Status=1",
    "Top = 30",
    "Left=40",
    "Width=640",
    "Height=480",
    "ToolsInRightSide=0",
    "CurrentMode=3",
    "Layout=0x2FF",
    "Viewer=\" /usr/bin/less \"",
    "Editor = kate",
    "MustSwapPanels=1",
    "VerticalSplitter=3300",
    "GeneralCheckContainer=4",
    "ShowTips=0",
    "MASK_SELECTION=2A2E7478740D0A2A2E646F630D0A310D0A",
    "BROWSER_FILTRES=2a2e630d0a310d0a",
    "MainColor1=1",
    "MainColor2=11",
    "MainColor3=4",
    "MainColor4=10",
    "MainColor5=3",
    "",
    "[BROWSER_LEFT]",
    "Directory=c:\\tmp",
    "[Browser]",
    "FilesFontName=DejaVu Sans",
    "FilesFontSize=11",
    "FilesFontStyle=6",
    "[Favorites]",
    "F_NAMES=686F6D650D0A776F726B0D0A",
    "F_DIRECTORIES=633A5C686F6D650D0A633A5C776F726B0D0A",
    "; trailing comment",
});

TEST_F(SettingsTest, EveryKeyLoadsAndAnUnchangedSaveKeepsTheFileByteForByte)
{
    wux::test::createFile(iniPath, kHandWritten);
    LoadAllSettings(host);

    EXPECT_EQ(host.window.geometry(), QRect(40, 30, 640, 480));
    EXPECT_FALSE(ToolsInRightSide);
    EXPECT_EQ(SavedMode, 3);
    EXPECT_EQ(CurrentMode, 0);
    EXPECT_EQ(Layout, 0x2FFu);
    EXPECT_EQ(filelist::ViewerProgram, " /usr/bin/less ");
    EXPECT_EQ(filelist::EditorProgram, "kate");
    EXPECT_TRUE(MustSwapPanels);
    EXPECT_EQ(host.ratio, 3300);
    EXPECT_EQ(filelist::GeneralCheckContainer.load(), 4u);
    EXPECT_EQ(ShowTips, 0);
    EXPECT_EQ(MainColorIndexes, (std::array<int, 5>{1, 11, 4, 10, 3}));
    EXPECT_EQ(MainColors, (std::array<QColor, 5>{QColor(0, 0, 0), QColor(0, 255, 255), QColor(0, 128, 0),
                                                 QColor(0, 0, 255), QColor(255, 255, 0)}));
    EXPECT_EQ(fntCaption(BrowserFont()), "DejaVu Sans, 11, IU");
    platform::StringList masks;
    MaskSelectionHistory().FillStrings(masks);
    EXPECT_EQ(masks.text(), "*.txt\r\n*.doc\r\n");
    platform::StringList filters;
    FilterHistory().FillStrings(filters);
    EXPECT_EQ(filters.text(), "*.c\r\n");
    EXPECT_EQ(FavoriteNames().text(), "home\r\nwork\r\n");
    EXPECT_EQ(FavoriteDirectories().text(), "c:\\home\r\nc:\\work\r\n");

    // The main window switched to the saved mode; nothing else changed.
    CurrentMode = SavedMode;
    host.swapped = true;
    ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    EXPECT_EQ(iniBytes(), kHandWritten);
}

TEST_F(SettingsTest, ChangedValuesRewriteOnlyTheirOwnLines)
{
    wux::test::createFile(iniPath, kHandWritten);
    LoadAllSettings(host);
    CurrentMode = 3;
    host.swapped = true;
    Layout = 0xF1;
    filelist::ViewerProgram = "\"quoted\"";
    BrowserFont().setItalic(false);
    MaskSelectionHistory().Add("*.h");
    FavoriteNames().add("third");

    ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    std::string expected = kHandWritten;
    const auto replace = [&](const std::string& from, const std::string& to) {
        const std::size_t at = expected.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        expected.replace(at, from.size(), to);
    };
    replace("Layout=0x2FF", "Layout=241");
    replace("Viewer=\" /usr/bin/less \"", "Viewer=\"\"quoted\"\"");
    replace("FilesFontStyle=6", "FilesFontStyle=4");
    replace("MASK_SELECTION=2A2E7478740D0A2A2E646F630D0A310D0A",
            "MASK_SELECTION=2A2E7478740D0A2A2E646F630D0A2A2E680D0A330D0A");
    replace("F_NAMES=686F6D650D0A776F726B0D0A", "F_NAMES=686F6D650D0A776F726B0D0A74686972640D0A");
    EXPECT_EQ(iniBytes(), expected);

    // Every value reads back as written.
    resetSettings();
    LoadAllSettings(host);
    EXPECT_EQ(filelist::ViewerProgram, "\"quoted\"");
    EXPECT_EQ(FontStylesToInt(BrowserFont()), 4);
    EXPECT_EQ(MaskSelectionHistory().Current(), 3);
}

struct ModeCase
{
    const char* name;
    int modeOnScreen;
    bool toolsRightBefore;
    bool leftActive;
    const char* expectedSide;
};

void PrintTo(const ModeCase& c, std::ostream* os)
{
    *os << c.name;
}

class SettingsModeTest : public SettingsTest, public ::testing::WithParamInterface<ModeCase>
{
};

TEST_P(SettingsModeTest, TheToolSideFollowsTheActivePanelOnlyInTheBrowserMode)
{
    const ModeCase& c = GetParam();
    CurrentMode = c.modeOnScreen;
    ToolsInRightSide = c.toolsRightBefore;
    host.leftActive = c.leftActive;
    ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    const platform::IniFile ini(iniPath);
    EXPECT_EQ(ini.readString("MainForm", "ToolsInRightSide", "?"), c.expectedSide);
    EXPECT_EQ(ini.readInteger("MainForm", "CurrentMode", -1), c.modeOnScreen);
}

INSTANTIATE_TEST_SUITE_P(Modes, SettingsModeTest,
                         ::testing::Values(ModeCase{"browser_left_active", 1, false, true, "1"},
                                           ModeCase{"browser_right_active", 1, true, false, "0"},
                                           ModeCase{"renamer_keeps_right", 3, true, false, "1"},
                                           ModeCase{"finder_keeps_left", 2, false, true, "0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, StoredModeOutsideTheActionsStartsTheBrowser)
{
    for (const char* stored : {"9", "0", "-1", "6", "x", "5"}) {
        wux::test::createFile(iniPath, std::string("[MainForm]\r\nCurrentMode=") + stored + "\r\n");
        LoadAllSettings(host);
        EXPECT_EQ(SavedMode, std::string(stored) == "5" ? 5 : 1) << stored;
    }
}

struct StateCase
{
    const char* name;
    int storedStatus;
    Qt::WindowStates loaded;
};

void PrintTo(const StateCase& c, std::ostream* os)
{
    *os << c.name;
}

class WindowStateTest : public SettingsTest, public ::testing::WithParamInterface<StateCase>
{
};

TEST_P(WindowStateTest, LoadsTheStateAndSavesGeometryOnlyInTheNormalState)
{
    const StateCase& c = GetParam();
    const std::string file = "[MainForm]\r\nTop=30\r\nLeft=40\r\nWidth=500\r\nHeight=400\r\nStatus=" +
                             std::to_string(c.storedStatus) + "\r\n";
    wux::test::createFile(iniPath, file);
    LoadAllSettings(host);
    EXPECT_EQ(host.window.windowState(), c.loaded);
    EXPECT_EQ(host.window.geometry(), QRect(40, 30, 500, 400));

    // Saved in the state it has now, after the user moved it while it was normal.
    host.window.setWindowState(Qt::WindowNoState);
    host.window.setGeometry(50, 60, 520, 420);
    host.window.setWindowState(c.loaded);
    ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    const platform::IniFile ini(iniPath);
    const bool normal = c.loaded == Qt::WindowNoState;
    const int status = (c.loaded & Qt::WindowMinimized) ? 2 : (c.loaded & Qt::WindowMaximized) ? 3 : 1;
    EXPECT_EQ(ini.readInteger("MainForm", "Status", -1), status);
    EXPECT_EQ(ini.readInteger("MainForm", "Top", -1), normal ? 60 : 30);
    EXPECT_EQ(ini.readInteger("MainForm", "Left", -1), normal ? 50 : 40);
    EXPECT_EQ(ini.readInteger("MainForm", "Width", -1), normal ? 520 : 500);
    EXPECT_EQ(ini.readInteger("MainForm", "Height", -1), normal ? 420 : 400);
}

INSTANTIATE_TEST_SUITE_P(States, WindowStateTest,
                         ::testing::Values(StateCase{"normal", 1, Qt::WindowNoState},
                                           StateCase{"unknown_is_normal", 7, Qt::WindowNoState},
                                           StateCase{"minimized", 2, Qt::WindowMinimized},
                                           StateCase{"maximized", 3, Qt::WindowMaximized}),
                         [](const auto& info) { return std::string(info.param.name); });

// Values a hand-edited file can hold, each made usable.
struct HostileCase
{
    const char* name;
    const char* lines;
    std::function<void(const FakeHost&)> check;
};

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

class HostileValueTest : public SettingsTest, public ::testing::WithParamInterface<HostileCase>
{
};

TEST_P(HostileValueTest, IsMadeUsable)
{
    wux::test::createFile(iniPath, GetParam().lines);
    LoadAllSettings(host);
    GetParam().check(host);
}

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

INSTANTIATE_TEST_SUITE_P(
    Values, HostileValueTest,
    ::testing::Values(
        HostileCase{"splitter_below_zero", "[MainForm]\nVerticalSplitter=-5\n",
                    [](const FakeHost& h) { EXPECT_EQ(h.ratio, 0); }},
        HostileCase{"splitter_above_all", "[MainForm]\nVerticalSplitter=20000\n",
                    [](const FakeHost& h) { EXPECT_EQ(h.ratio, 10000); }},
        HostileCase{"splitter_not_a_number", "[MainForm]\nVerticalSplitter=half\n",
                    [](const FakeHost& h) { EXPECT_EQ(h.ratio, 5000); }},
        HostileCase{"tiny_window", "[MainForm]\nLeft=10\nTop=10\nWidth=5\nHeight=-40\n",
                    [](const FakeHost& h) {
                        EXPECT_EQ(h.window.geometry(),
                                  QRect(10, 10, kMinimumWindowWidth, kMinimumWindowHeight));
                    }},
        HostileCase{"window_off_every_screen", "[MainForm]\nLeft=-5000\nTop=9000\nWidth=400\nHeight=300\n",
                    [](const FakeHost& h) {
                        EXPECT_EQ(h.window.geometry(),
                                  QRect(available().left(), available().bottom() + 1 - 300, 400, 300));
                    }},
        HostileCase{"window_right_of_every_screen", "[MainForm]\nLeft=2990\nTop=10\nWidth=400\nHeight=300\n",
                    [](const FakeHost& h) {
                        EXPECT_EQ(h.window.geometry(), QRect(available().right() + 1 - 400, 10, 400, 300));
                    }},
        HostileCase{"window_partly_on_screen_stays", "[MainForm]\nLeft=600\nTop=-20\nWidth=400\nHeight=300\n",
                    [](const FakeHost& h) { EXPECT_EQ(h.window.geometry(), QRect(600, -20, 400, 300)); }},
        HostileCase{"font_size_zero", "[Browser]\nFilesFontSize=0\n",
                    [](const FakeHost&) { EXPECT_EQ(BrowserFont().pointSize(), 8); }},
        HostileCase{"font_size_negative", "[Browser]\nFilesFontSize=-12\n",
                    [](const FakeHost&) { EXPECT_EQ(BrowserFont().pointSize(), 8); }},
        HostileCase{"font_size_huge", "[Browser]\nFilesFontSize=73\n",
                    [](const FakeHost&) { EXPECT_EQ(BrowserFont().pointSize(), 8); }},
        HostileCase{"font_size_largest", "[Browser]\nFilesFontSize=72\n",
                    [](const FakeHost&) { EXPECT_EQ(BrowserFont().pointSize(), 72); }},
        HostileCase{
            "font_name_empty", "[Browser]\nFilesFontName=\nFilesFontStyle=0\n",
            [](const FakeHost&) { EXPECT_EQ(fntCaption(BrowserFont()), "MS Sans Serif, 8, Normal"); }},
        HostileCase{"font_style_all_bits", "[Browser]\nFilesFontStyle=-1\n",
                    [](const FakeHost&) { EXPECT_EQ(FontStylesToInt(BrowserFont()), 15); }},
        HostileCase{"colour_index_out_of_list", "[MainForm]\nMainColor2=12\nMainColor3=-1\n",
                    [](const FakeHost&) {
                        EXPECT_EQ(MainColors[1], QColor(0, 0, 0));
                        EXPECT_EQ(MainColors[2], QColor(0, 0, 0));
                        EXPECT_EQ(MainColorIndexes[1], 12);
                    }},
        HostileCase{"words_that_are_no_numbers",
                    "[MainForm]\nLayout=lots\nGeneralCheckContainer=\nShowTips=yes\n",
                    [](const FakeHost&) {
                        EXPECT_EQ(Layout, 0xF1u);
                        EXPECT_EQ(filelist::GeneralCheckContainer.load(), 0x7A7Du);
                        EXPECT_EQ(ShowTips, 1);
                    }},
        HostileCase{"tool_side_low_byte", "[MainForm]\nToolsInRightSide=256\n",
                    [](const FakeHost&) { EXPECT_FALSE(ToolsInRightSide); }},
        HostileCase{"ring_without_position", "[MainForm]\nMASK_SELECTION=610D0A620D0A\n",
                    [](const FakeHost&) {
                        platform::StringList list;
                        MaskSelectionHistory().FillStrings(list);
                        EXPECT_EQ(list.text(), "b\r\na\r\n");
                    }},
        HostileCase{"binary_garbage", "\x01\x02[Main\xFF\nTop\n===\n[MainForm\nStatus=abc\n",
                    [](const FakeHost& h) {
                        EXPECT_EQ(h.window.windowState(), Qt::WindowNoState);
                        EXPECT_EQ(Layout, 0xF1u);
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, AnUnreadableFileGivesTheFirstStartDefaults)
{
    wux::test::createFile(iniPath, "[MainForm]\r\nLayout=1\r\nCurrentMode=3\r\n");
    platform::injectFault(iniPath, platform::kErrorAccessDenied, platform::kFaultOpen);
    LoadAllSettings(host);
    EXPECT_EQ(Layout, 0xF1u);
    EXPECT_EQ(SavedMode, 1);
}

TEST_F(SettingsTest, AFailedSaveShowsOneWarningAndLeavesTheFileAsItWas)
{
    wux::test::createFile(iniPath, kHandWritten);
    LoadAllSettings(host);
    Layout = 0x3;
    CurrentMode = 1;
    platform::injectFault(iniPath, platform::kErrorAccessDenied, platform::kFaultWrite);

    EXPECT_EQ(SaveAllSettings(host), platform::kErrorAccessDenied);
    ASSERT_EQ(dialogs.records().size(), 1u);
    const platform::MessageBoxRequest& box = dialogs.records()[0].request;
    EXPECT_EQ(box.icon, platform::MsgIcon::Warning);
    EXPECT_EQ(box.buttons, platform::MsgButtons::Ok);
    EXPECT_EQ(box.caption, "Warning!");
    EXPECT_EQ(box.text, iniPath + "\r\n" + platform::errorText(platform::kErrorAccessDenied));
    platform::clearFaults();
    EXPECT_EQ(iniBytes(), kHandWritten);
}

// A tool form that writes its section and notes what the file held then.
class SectionTool : public QWidget, public tools::IToolForm
{
public:
    explicit SectionTool(QWidget* parent, std::vector<std::string>* log) : QWidget(parent), log_(log) {}
    void InitTool() override {}
    void RegisterDefaultTexts(int) override {}
    void Translate(int) override {}
    void LoadSettings() override {}
    void SaveSettings() override
    {
        log_->push_back("tool");
        tools::SettingsIni().writeString("Finder", "Key", "v");
    }
    bool CanStart(filelist::TstateOfBrowser*) override { return false; }
    void StartOperation() override {}
    void ShowHelp() override {}
    void ShowTitle(bool) override {}
    core::TUserParameters* GetParameters() override { return nullptr; }

private:
    std::vector<std::string>* log_;
};

TEST_F(SettingsTest, ToolsAndPanelsSaveFirstAndTheLanguageGoesToTheRegistryLast)
{
    std::vector<std::string> log;
    QWidget panel;
    tools::TTool::Create(
        &panel, [&](QWidget* parent) { return new SectionTool(parent, &log); }, 800, nullptr);
    core::classTranslator().LanguageName = "deutsch.lng";
    CurrentMode = 1;

    ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    EXPECT_EQ(log, std::vector<std::string>{"tool"});
    EXPECT_EQ(host.calls, std::vector<std::string>{"savePanelSettings"});
    const std::string bytes = iniBytes();
    EXPECT_EQ(bytes.rfind("[Finder]\r\nKey=v\r\n\r\n[MainForm]\r\n", 0), 0u) << bytes;
    EXPECT_EQ(languageValue(), "deutsch.lng");
}

TEST_F(SettingsTest, ExitSavesOnlyWithTheSaveOnExitOption)
{
    filelist::GeneralCheckContainer = 0x7A7D & ~kOptionSaveOnExit;
    core::classTranslator().LanguageName = "x.lng";
    SaveSettingsOnExit(host);
    EXPECT_EQ(iniBytes(), "<missing>");
    EXPECT_EQ(languageValue(), "<missing>");
    EXPECT_TRUE(host.calls.empty());

    filelist::GeneralCheckContainer = kOptionSaveOnExit;
    SaveSettingsOnExit(host);
    EXPECT_EQ(platform::IniFile(iniPath).readInteger("MainForm", "GeneralCheckContainer", -1), 0x800);
    EXPECT_EQ(languageValue(), "x.lng");
}

TEST(ColorListTest, EveryIndexForEverySlot)
{
    const std::uint32_t defaults[5] = {0x000000, 0xFFFFFF, 0x0000FF, 0x800000, 0xFFFFFF};
    const std::uint32_t list[12] = {0,        0x000000, 0xFFFFFF, 0x00FFFF, 0x008000, 0x800000,
                                    0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0xFF0000, 0xFFFF00};
    for (int slot = 1; slot <= 5; ++slot) {
        EXPECT_EQ(ColorOfIndex(0, slot), defaults[slot - 1]) << slot;
        for (int index = 1; index < 12; ++index)
            EXPECT_EQ(ColorOfIndex(index, slot), list[index]) << slot << " " << index;
        EXPECT_EQ(ColorOfIndex(12, slot), 0u);
        EXPECT_EQ(ColorOfIndex(-1, slot), 0u);
    }
    EXPECT_EQ(colorFromBgr(0x800000), QColor(0, 0, 128));
    EXPECT_EQ(colorFromBgr(0x00FFFF), QColor(255, 255, 0));
    EXPECT_EQ(colorFromBgr(0x123456), QColor(0x56, 0x34, 0x12));
}

TEST(FontStyleTest, BitsRoundTripAndCaption)
{
    const char* const captions[16] = {"Normal", "B",  "I",  "BI",  "U",  "BU",  "IU",  "BIU",
                                      "S",      "BS", "IS", "BIS", "US", "BUS", "IUS", "BIUS"};
    for (int bits = 0; bits < 16; ++bits) {
        QFont font(QStringLiteral("Some Face"));
        font.setPointSize(10);
        IntToFontStyles(bits, font);
        EXPECT_EQ(FontStylesToInt(font), bits);
        EXPECT_EQ(fntCaption(font), std::string("Some Face, 10, ") + captions[bits]);
    }
}

TEST(ScreenLayoutTest, MainWindowPartsFollowTheirBits)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    std::map<std::string, QWidget*> parts;
    for (const char* name : {"pnlTbMain", "pnlOperations", "pnlRightJumpButtons", "pnlInfo", "pnlTop"}) {
        parts[name] = new QWidget(&window);
        parts[name]->setObjectName(name);
        layout->addWidget(parts[name]);
    }
    auto* item = new QAction(&window);
    item->setObjectName("mnuMainToolbar");
    window.show();

    struct Case
    {
        std::uint32_t layout;
        std::vector<bool> visible; // pnlTbMain, pnlOperations, pnlRightJumpButtons, pnlInfo, pnlTop
    };
    for (const Case& c :
         {Case{0xF1, {true, false, true, true, true}}, Case{0x0, {false, false, true, true, false}},
          Case{0x2 | 0x8, {false, true, false, false, false}},
          Case{0x3FF, {true, true, false, false, true}}}) {
        ApplyMainWindowLayout(&window, c.layout);
        const std::vector<bool> visible{parts["pnlTbMain"]->isVisible(), parts["pnlOperations"]->isVisible(),
                                        parts["pnlRightJumpButtons"]->isVisible(),
                                        parts["pnlInfo"]->isVisible(), parts["pnlTop"]->isVisible()};
        EXPECT_EQ(visible, c.visible) << c.layout;
        EXPECT_EQ(item->isChecked(), (c.layout & 1) != 0) << c.layout;
    }
}

TEST_F(SettingsTest, ApplyScreenLayoutDrivesWindowToolsAndPanelsInOrder)
{
    Layout = 0x1D;
    ApplyScreenLayout(host);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"applyMainWindowLayout 29", "applyPanelLayout 29",
                                                    "alignToolPanelTop"}));
}

TEST_F(SettingsTest, ToolPanelTopFollowsTheVisiblePanelsGrid)
{
    QWidget& window = host.window;
    auto* strip = new QWidget(&window);
    strip->setObjectName("pnlFree");
    for (const char* name : {"LeftBrowser", "RightBrowser"}) {
        auto* panel = new QWidget(&window);
        panel->setObjectName(name);
        auto* top = new QWidget(panel);
        top->setGeometry(0, 0, 100, std::string(name) == "LeftBrowser" ? 40 : 70);
        auto* view = new QWidget(panel);
        view->setObjectName("pnlView");
        view->move(0, std::string(name) == "LeftBrowser" ? 40 : 70);
    }
    CurrentMode = 3;
    ToolsInRightSide = true;
    AlignToolPanelTop(&window);
    EXPECT_EQ(strip->height(), 40);
    ToolsInRightSide = false;
    AlignToolPanelTop(&window);
    EXPECT_EQ(strip->height(), 70);
    CurrentMode = 1;
    ToolsInRightSide = true;
    AlignToolPanelTop(&window);
    EXPECT_EQ(strip->height(), 70);
}

} // namespace
} // namespace wux::mainwindow::test
