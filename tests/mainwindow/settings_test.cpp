#include "mainwindow/settings.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>

#include <string>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "settings_fixture.h"

namespace wux::mainwindow::test {
namespace {

std::string lines(std::initializer_list<std::string> list)
{
    std::string text;
    for (const std::string& line : list)
        text += line + "\r\n";
    return text;
}

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

TEST_F(SettingsTest, FirstStartGivesTheDefaultsAndItsSaveWritesEveryKeyOnce)
{
    host.ratio = 4321;
    LoadAllSettings(host);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize size(std::min(700, screen.width()), std::min(550, screen.height()));
    EXPECT_EQ(host.window.geometry(),
              QRect(screen.x() + (screen.width() - size.width()) / 2,
                    screen.y() + (screen.height() - size.height()) / 2, size.width(), size.height()));
    EXPECT_EQ(host.ratio, 4321); // the splitter keeps its own ratio
    EXPECT_EQ(MainColors, (std::array<QColor, 5>{QColor(0, 0, 0), QColor(255, 255, 255), QColor(255, 0, 0),
                                                 QColor(0, 0, 128), QColor(255, 255, 255)}));
    EXPECT_EQ(iniBytes(), "<missing>");

    CurrentMode = 1;
    host.ratio = 5000;
    host.window.setGeometry(12, 34, 640, 480);
    ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    // clang-format off
    EXPECT_EQ(iniBytes(), lines({
        "[MainForm]", "Top=34", "Left=12", "Width=640", "Height=480", "ToolsInRightSide=0", "CurrentMode=1",
        "Status=1", "Layout=241", "Viewer=notepad.exe", "Editor=notepad.exe", "MustSwapPanels=0",
        "VerticalSplitter=5000", "GeneralCheckContainer=31357", "ShowTips=1", "MASK_SELECTION=300D0A",
        "BROWSER_FILTRES=300D0A", "MainColor1=0", "MainColor2=0", "MainColor3=0", "MainColor4=0",
        "MainColor5=0", "", "[Browser]", "FilesFontName=MS Sans Serif", "FilesFontSize=8", "FilesFontStyle=1",
        "", "[Favorites]", "F_NAMES=", "F_DIRECTORIES="}));
    // clang-format on
    EXPECT_EQ(languageValue(), "");
    EXPECT_TRUE(dialogs.records().empty());
}

// Every key away from its default, written by hand: spacing, comments, quotes, lower-case hex, a
// plug-in's section and a panel's section.
// clang-format off
const std::string kHandWritten = lines({
    "; settings of a user", "[PluginX]", "Token = \"  keep me  \"", "[MainForm]", "Status=1", "Top = 30",
    "Left=40", "Width=640", "Height=480", "ToolsInRightSide=0", "CurrentMode=3", "Layout=0x2FF",
    "Viewer=\" /usr/bin/less \"", "Editor = kate", "MustSwapPanels=1", "VerticalSplitter=3300",
    "GeneralCheckContainer=4", "ShowTips=0", "MASK_SELECTION=2A2E7478740D0A2A2E646F630D0A310D0A",
    "BROWSER_FILTRES=2a2e630d0a310d0a", "MainColor1=1", "MainColor2=11", "MainColor3=4", "MainColor4=10",
    "MainColor5=3", "", "[BROWSER_LEFT]", "Directory=c:\\tmp", "[Browser]", "FilesFontName=DejaVu Sans",
    "FilesFontSize=11", "FilesFontStyle=6", "[Favorites]", "F_NAMES=686F6D650D0A776F726B0D0A",
    "F_DIRECTORIES=633A5C686F6D650D0A633A5C776F726B0D0A", "; end"});
// clang-format on

TEST_F(SettingsTest, EveryKeyLoadsAndSavingRewritesOnlyWhatChanged)
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
    EXPECT_EQ(MainColors[1], QColor(0, 255, 255));
    EXPECT_EQ(fntCaption(BrowserFont()), "DejaVu Sans, 11, IU");
    platform::StringList masks;
    MaskSelectionHistory().FillStrings(masks);
    EXPECT_EQ(masks.text(), "*.txt\r\n*.doc\r\n");
    EXPECT_EQ(FilterHistory().Strings().at(0), "*.c");
    EXPECT_EQ(FavoriteDirectories().text(), "c:\\home\r\nc:\\work\r\n");

    // The main window switched to the saved mode; nothing else changed: the file stays as it was.
    CurrentMode = SavedMode;
    host.swapped = true;
    ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    EXPECT_EQ(iniBytes(), kHandWritten);

    Layout = 0xF1;
    filelist::ViewerProgram = "\"quoted\"";
    BrowserFont().setItalic(false);
    MaskSelectionHistory().Add("*.h");
    FavoriteNames().add("third");
    ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    std::string expected = kHandWritten;
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"Layout=0x2FF", "Layout=241"},
             {"Viewer=\" /usr/bin/less \"", "Viewer=\"\"quoted\"\""},
             {"FilesFontStyle=6", "FilesFontStyle=4"},
             {"MASK_SELECTION=2A2E7478740D0A2A2E646F630D0A310D0A",
              "MASK_SELECTION=2A2E7478740D0A2A2E646F630D0A2A2E680D0A330D0A"},
             {"F_NAMES=686F6D650D0A776F726B0D0A", "F_NAMES=686F6D650D0A776F726B0D0A74686972640D0A"}})
        expected.replace(expected.find(from), from.size(), to);
    EXPECT_EQ(iniBytes(), expected);
    resetSettings();
    LoadAllSettings(host);
    EXPECT_EQ(filelist::ViewerProgram, "\"quoted\""); // read back as written
}

TEST_F(SettingsTest, WindowStateLoadsAndOnlyTheNormalStateSavesTheGeometry)
{
    for (const auto& [status, state] :
         std::vector<std::pair<int, Qt::WindowState>>{{1, Qt::WindowNoState},
                                                      {7, Qt::WindowNoState},
                                                      {2, Qt::WindowMinimized},
                                                      {3, Qt::WindowMaximized}}) {
        wux::test::createFile(iniPath,
                              "[MainForm]\r\nTop=30\r\nLeft=40\r\nWidth=500\r\nHeight=400\r\nStatus=" +
                                  std::to_string(status) + "\r\n");
        host.window.setWindowState(Qt::WindowNoState);
        LoadAllSettings(host);
        EXPECT_EQ(host.window.windowState(), state) << status;
        EXPECT_EQ(host.window.geometry(), QRect(40, 30, 500, 400)) << status;

        host.window.setWindowState(Qt::WindowNoState);
        host.window.setGeometry(50, 60, 520, 420);
        host.window.setWindowState(state);
        ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
        const platform::IniFile ini(iniPath);
        const bool normal = state == Qt::WindowNoState;
        EXPECT_EQ(ini.readInteger("MainForm", "Status", -1), normal ? 1 : status) << status;
        EXPECT_EQ(ini.readInteger("MainForm", "Top", -1), normal ? 60 : 30) << status;
        EXPECT_EQ(ini.readInteger("MainForm", "Height", -1), normal ? 420 : 400) << status;
    }
}

TEST_F(SettingsTest, TheToolSideFollowsTheActivePanelOnlyInTheBrowserMode)
{
    struct Case
    {
        int mode;
        bool rightBefore, leftActive;
        const char* saved;
    };
    for (const Case& c : {Case{1, false, true, "1"}, Case{1, true, false, "0"}, Case{3, true, false, "1"},
                          Case{2, false, true, "0"}}) {
        CurrentMode = c.mode;
        ToolsInRightSide = c.rightBefore;
        host.leftActive = c.leftActive;
        ASSERT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
        EXPECT_EQ(platform::IniFile(iniPath).readString("MainForm", "ToolsInRightSide", "?"), c.saved)
            << c.mode;
    }
    for (const char* stored : {"9", "0", "-1", "6", "x", "5"}) {
        wux::test::createFile(iniPath, std::string("[MainForm]\r\nCurrentMode=") + stored + "\r\n");
        LoadAllSettings(host);
        EXPECT_EQ(SavedMode, std::string(stored) == "5" ? 5 : 1) << stored;
    }
}

// What the loading made of a file: splitter ratio, window rectangle (relative to the right and bottom
// edges of the available area when they are negative), font, layout word, options word, tips, tool
// side, colour of slot 3.
std::string loaded(const FakeHost& host)
{
    const QRect r = host.window.geometry();
    const QRect a = available();
    const int x = r.x() > 1000 || r.right() == a.right() ? r.right() - a.right() - 1 : r.x();
    const int y = r.bottom() == a.bottom() ? r.bottom() - a.bottom() - 1 : r.y();
    return std::to_string(host.ratio) + " " + std::to_string(x) + "," + std::to_string(y) + "," +
           std::to_string(r.width()) + "x" + std::to_string(r.height()) + " " + fntCaption(BrowserFont()) +
           " " + std::to_string(Layout) + " " + std::to_string(filelist::GeneralCheckContainer) + " " +
           std::to_string(ShowTips) + (ToolsInRightSide ? " right " : " left ") +
           MainColors[2].name().toStdString();
}

TEST_F(SettingsTest, ValuesOfAHandEditedFileAreMadeUsable)
{
    const std::string rest = "MS Sans Serif, 8, B 241 31357 1 right #ff0000";
    for (const auto& [file, expected] : std::vector<std::pair<std::string, std::string>>{
             {"Left=10\nTop=10\nWidth=500\nHeight=400", "5000 10,10,500x400 " + rest},
             {"VerticalSplitter=-5\nLeft=10\nTop=10\nWidth=5\nHeight=-40", "0 10,10,320x240 " + rest},
             {"VerticalSplitter=20000\nLeft=-5000\nTop=9000\nWidth=400\nHeight=300",
              "10000 0,-1,400x300 " + rest},
             {"VerticalSplitter=x\nLeft=2990\nTop=10\nWidth=400\nHeight=300", "5000 -1,10,400x300 " + rest},
             {"Left=600\nTop=-20\nWidth=100\nHeight=300", "5000 600,-20,320x300 " + rest},
             {"Left=10\nTop=10\nWidth=500\nHeight=400\nLayout=lots\nGeneralCheckContainer=\nShowTips=yes\n"
              "ToolsInRightSide=256\nMainColor3=12\n[Browser]\nFilesFontSize=0\nFilesFontName="
              "\nFilesFontStyle=0",
              "5000 10,10,500x400 MS Sans Serif, 8, Normal 241 31357 1 left #000000"},
             {"Left=10\nTop=10\nWidth=500\nHeight=400\n[Browser]\nFilesFontSize=73",
              "5000 10,10,500x400 " + rest},
             {"Left=10\nTop=10\nWidth=500\nHeight=400\n[Browser]\nFilesFontSize=72\nFilesFontName=Mono",
              "5000 10,10,500x400 Mono, 72, B 241 31357 1 right #ff0000"},
             {"\x01[Main\xFF\nTop\n===\n[MainForm\nLeft=10\nTop=10\nWidth=500\nHeight=400\nStatus=abc",
              "5000 10,10,500x400 " + rest}}) {
        resetSettings();
        host.ratio = 5000;
        wux::test::createFile(iniPath, "[MainForm]\n" + file + "\n");
        LoadAllSettings(host);
        EXPECT_EQ(loaded(host), expected) << file;
    }
}

TEST_F(SettingsTest, AnUnreadableFileGivesTheDefaultsAndAFailedSaveWarnsOnceAndChangesNothing)
{
    wux::test::createFile(iniPath, kHandWritten);
    platform::injectFault(iniPath, platform::kErrorAccessDenied, platform::kFaultOpen);
    LoadAllSettings(host);
    EXPECT_EQ(Layout, 0xF1u);
    EXPECT_EQ(SavedMode, 1);

    platform::clearFaults();
    platform::injectFault(iniPath, platform::kErrorAccessDenied, platform::kFaultWrite);
    Layout = 0x3;
    EXPECT_EQ(SaveAllSettings(host), platform::kErrorAccessDenied);
    ASSERT_EQ(dialogs.records().size(), 1u);
    const platform::MessageBoxRequest& box = dialogs.records()[0].request;
    EXPECT_EQ(box.icon, platform::MsgIcon::Warning);
    EXPECT_EQ(box.caption, "Warning!");
    EXPECT_EQ(box.text, iniPath + "\r\n" + platform::errorText(platform::kErrorAccessDenied));
    platform::clearFaults();
    EXPECT_EQ(iniBytes(), kHandWritten);
}

TEST_F(SettingsTest, AUtf16FileIsLoadedAndSavedBackInUtf16)
{
    const auto utf16 = [](const std::string& text) {
        std::string bytes;
        EXPECT_TRUE(platform::encodeTextFile(text, platform::TextFileEncoding::kUtf16LittleEndian, true, bytes));
        return bytes;
    };
    const std::string text = "; mine\r\n[MainForm]\r\nLayout=3\r\nCurrentMode=2\r\nViewer=kwrite \xC3\xA9\r\n";
    wux::test::createFile(iniPath, utf16(text));
    LoadAllSettings(host);
    EXPECT_EQ(Layout, 3u);
    EXPECT_EQ(SavedMode, 2);
    EXPECT_EQ(filelist::ViewerProgram, "kwrite \xC3\xA9");
    EXPECT_EQ(SaveAllSettings(host), platform::kErrorSuccess);
    EXPECT_TRUE(dialogs.records().empty());
    const platform::DecodedTextFile saved = platform::decodeTextFile(iniBytes());
    EXPECT_EQ(saved.encoding, platform::TextFileEncoding::kUtf16LittleEndian);
    EXPECT_TRUE(saved.byteOrderMark);
    // The user's lines stay where they were; the keys the save adds come after them.
    EXPECT_EQ(saved.text.substr(0, text.size()),
              "; mine\r\n[MainForm]\r\nLayout=3\r\nCurrentMode=0\r\nViewer=kwrite \xC3\xA9\r\n");
    const platform::IniDocument document(saved.text);
    std::string value;
    EXPECT_TRUE(document.findValue("MainForm", "Layout", value));
    EXPECT_EQ(value, "3");
    EXPECT_TRUE(document.findValue("MainForm", "Viewer", value));
    EXPECT_EQ(value, "kwrite \xC3\xA9");

    // A UTF-16 file that would not come back as it was is read, kept, and the save says so.
    const std::string broken = utf16(text) + "x";
    wux::test::createFile(iniPath, broken);
    LoadAllSettings(host);
    EXPECT_EQ(Layout, 3u);
    EXPECT_EQ(SaveAllSettings(host), platform::kErrorInvalidData);
    ASSERT_EQ(dialogs.records().size(), 1u);
    EXPECT_EQ(dialogs.records()[0].request.text, iniPath + "\r\n" + platform::errorText(platform::kErrorInvalidData));
    EXPECT_EQ(iniBytes(), broken);
}

// A tool form that writes its own section.
class SectionTool : public QWidget, public tools::IToolForm
{
public:
    using QWidget::QWidget;
    void InitTool() override {}
    void RegisterDefaultTexts(int) override {}
    void Translate(int) override {}
    void LoadSettings() override {}
    void SaveSettings() override { tools::SettingsIni().writeString("Finder", "Key", "v"); }
    bool CanStart(filelist::TstateOfBrowser*) override { return false; }
    void StartOperation() override {}
    void ShowHelp() override {}
    void ShowTitle(bool) override {}
    core::TUserParameters* GetParameters() override { return nullptr; }
};

TEST_F(SettingsTest, ExitSavesOnlyWithItsOptionToolsFirstTheLanguageLast)
{
    QWidget panel;
    tools::TTool::Create(
        &panel, [](QWidget* parent) { return new SectionTool(parent); }, 800, nullptr);
    core::classTranslator().LanguageName = "deutsch.lng";
    filelist::GeneralCheckContainer = 0x7A7D & ~kOptionSaveOnExit;
    SaveSettingsOnExit(host);
    EXPECT_EQ(iniBytes(), "<missing>");
    EXPECT_EQ(languageValue(), "<missing>");
    EXPECT_TRUE(host.calls.empty());

    filelist::GeneralCheckContainer = kOptionSaveOnExit;
    SaveSettingsOnExit(host);
    EXPECT_EQ(host.calls, std::vector<std::string>{"savePanelSettings"});
    EXPECT_EQ(iniBytes().rfind("[Finder]\r\nKey=v\r\n\r\n[MainForm]\r\n", 0), 0u);
    EXPECT_EQ(platform::IniFile(iniPath).readInteger("MainForm", "GeneralCheckContainer", -1), 0x800);
    EXPECT_EQ(languageValue(), "deutsch.lng");
}

TEST(ConversionTest, ColourListAndFontStyles)
{
    const std::uint32_t list[12] = {0,        0x000000, 0xFFFFFF, 0x00FFFF, 0x008000, 0x800000,
                                    0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0xFF0000, 0xFFFF00};
    const std::uint32_t defaults[5] = {0x000000, 0xFFFFFF, 0x0000FF, 0x800000, 0xFFFFFF};
    for (int slot = 1; slot <= 5; ++slot) {
        EXPECT_EQ(ColorOfIndex(0, slot), defaults[slot - 1]);
        for (int index = 1; index < 12; ++index)
            EXPECT_EQ(ColorOfIndex(index, slot), list[index]) << index;
        EXPECT_EQ(ColorOfIndex(12, slot) + ColorOfIndex(-1, slot), 0u);
    }
    EXPECT_EQ(colorFromBgr(0x123456), QColor(0x56, 0x34, 0x12));

    const char* const captions[16] = {"Normal", "B",  "I",  "BI",  "U",  "BU",  "IU",  "BIU",
                                      "S",      "BS", "IS", "BIS", "US", "BUS", "IUS", "BIUS"};
    for (int bits = 0; bits < 16; ++bits) {
        QFont font(QStringLiteral("Face"));
        font.setPointSize(10);
        IntToFontStyles(bits, font);
        EXPECT_EQ(FontStylesToInt(font), bits);
        EXPECT_EQ(fntCaption(font), std::string("Face, 10, ") + captions[bits]);
    }
}

TEST_F(SettingsTest, ScreenLayoutReachesTheWindowsPartsTheToolsAndThePanels)
{
    const char* const names[] = {"pnlTbMain", "pnlOperations", "pnlRightJumpButtons", "pnlInfo", "pnlTop"};
    for (const char* name : names)
        (new QWidget(&host.window))->setObjectName(name);
    auto* item = new QAction(&host.window);
    item->setObjectName("mnuMainToolbar");
    host.window.show();
    for (const auto& [layout, visible] : std::vector<std::pair<std::uint32_t, std::string>>{
             {0xF1, "10111"}, {0x0, "00110"}, {0xA, "01000"}, {0x3FF, "11001"}}) {
        ApplyMainWindowLayout(&host.window, layout);
        std::string shown;
        for (const char* name : names)
            shown += host.window.findChild<QWidget*>(name)->isVisible() ? "1" : "0";
        EXPECT_EQ(shown, visible) << layout;
        EXPECT_EQ(item->isChecked(), (layout & 1) != 0);
    }
    Layout = 0x1D;
    ApplyScreenLayout(host);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"window 29", "panels 29", "alignToolPanelTop"}));
}

TEST_F(SettingsTest, ToolPanelTopFollowsTheVisiblePanelsGrid)
{
    auto* strip = new QWidget(&host.window);
    strip->setObjectName("pnlFree");
    for (const auto& [name, top] : {std::pair{"LeftBrowser", 40}, std::pair{"RightBrowser", 70}}) {
        auto* panel = new QWidget(&host.window);
        panel->setObjectName(name);
        auto* view = new QWidget(new QWidget(panel));
        view->setObjectName("pnlView");
        view->parentWidget()->move(0, top - 5);
        view->move(0, 5);
    }
    for (const auto& [mode, right, height] :
         {std::tuple{3, true, 40}, std::tuple{2, false, 70}, std::tuple{1, true, 70}}) {
        CurrentMode = mode;
        ToolsInRightSide = right;
        AlignToolPanelTop(&host.window);
        EXPECT_EQ(strip->height(), height) << mode;
    }
}

} // namespace
} // namespace wux::mainwindow::test
