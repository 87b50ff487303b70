#include "mainwindow/settings.h"

#include <QAction>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

#include "controls/wux_splitter_mouse.h"
#include "core/system_error.h"
#include "core/text_table.h"
#include "filelist/general_options.h"
#include "filelist/item_actions.h"
#include "platform/ini_file.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tools/tool_list.h"

namespace wux::mainwindow {

namespace {

constexpr std::uint32_t kSlotDefaults[kColorSlotCount] = {0x000000, 0xFFFFFF, 0x0000FF, 0x800000, 0xFFFFFF};
constexpr std::uint32_t kColorList[kColorListCount] = {0,        0x000000, 0xFFFFFF, 0x00FFFF,
                                                       0x008000, 0x800000, 0x808000, 0x808080,
                                                       0xC0C0C0, 0x0000FF, 0xFF0000, 0xFFFF00};
constexpr int kMaximumFontSize = 72;
// How much of a window must lie on a screen's available area for the user to reach it.
constexpr int kReachableEdge = 32;

struct SettingsGlobals
{
    QFont browserFont = defaultBrowserFont();
    core::TVYK_RingList maskSelection;
    core::TVYK_RingList filters;
    platform::StringList favoriteNames;
    platform::StringList favoriteDirectories;
};

SettingsGlobals& globals()
{
    static SettingsGlobals instance;
    return instance;
}

QRect primaryScreenGeometry()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 700, 550);
}

QRect primaryAvailableGeometry()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 700, 550);
}

// The rectangle of the stored values, brought into range before any arithmetic on them (a hand-edited
// file may hold the ends of the integer range): a position within the widget limits, a size no larger
// than the desktop.
QRect storedWindowRect(int left, int top, int width, int height)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->availableVirtualGeometry() : primaryAvailableGeometry();
    const int widest = std::max(desktop.width(), kMinimumWindowWidth);
    const int highest = std::max(desktop.height(), kMinimumWindowHeight);
    return QRect(std::clamp(left, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX),
                 std::clamp(top, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), std::clamp(width, 0, widest),
                 std::clamp(height, 0, highest));
}

// A stored geometry made usable: too small a window is raised to the minimum (never beyond the
// screen), a window the user cannot reach on any screen is moved onto the primary screen's free area.
QRect usableGeometry(QRect rect)
{
    const QRect available = primaryAvailableGeometry();
    rect.setWidth(std::max(rect.width(), std::min(kMinimumWindowWidth, available.width())));
    rect.setHeight(std::max(rect.height(), std::min(kMinimumWindowHeight, available.height())));
    bool reachable = false;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect on = rect.intersected(screen->availableGeometry());
        if (on.width() >= std::min(kReachableEdge, rect.width()) &&
            on.height() >= std::min(kReachableEdge, rect.height()))
            reachable = true;
    }
    if (!reachable && !available.isEmpty()) {
        const int x = std::clamp(rect.x(), available.left(),
                                 std::max(available.left(), available.right() + 1 - rect.width()));
        const int y = std::clamp(rect.y(), available.top(),
                                 std::max(available.top(), available.bottom() + 1 - rect.height()));
        rect.moveTo(x, y);
    }
    return rect;
}

// Writes the values of the general settings into a document. A key whose stored value already reads as
// the value to write keeps its bytes; the first error is kept and ends the writing.
class DocumentWriter
{
public:
    explicit DocumentWriter(platform::IniDocument& document) : document_(document) {}

    platform::WinError error() const { return error_; }

    void writeString(std::string_view section, std::string_view key, std::string_view value)
    {
        std::string stored;
        if (error_ != platform::kErrorSuccess ||
            (document_.findValue(section, key, stored) && stored == value))
            return;
        error_ = document_.writeString(section, key, platform::quotedIniValue(value));
    }

    void writeInteger(std::string_view section, std::string_view key, std::int32_t value)
    {
        std::string stored;
        std::int32_t number = 0;
        if (error_ != platform::kErrorSuccess ||
            (document_.findValue(section, key, stored) && platform::parseIniInteger(stored, number) &&
             number == value))
            return;
        error_ = document_.writeString(section, key, std::to_string(value));
    }

    void writeBool(std::string_view section, std::string_view key, bool value)
    {
        std::string stored;
        std::int32_t number = 0;
        if (error_ != platform::kErrorSuccess ||
            (document_.findValue(section, key, stored) && platform::parseIniInteger(stored, number) &&
             (number != 0) == value))
            return;
        error_ = document_.writeString(section, key, value ? "1" : "0");
    }

    // A stream value: the bytes as upper-case hexadecimal.
    void writeStream(std::string_view section, std::string_view key, std::string_view bytes)
    {
        const std::string hex = platform::bytesToHex(bytes);
        std::string stored;
        if (error_ != platform::kErrorSuccess ||
            (document_.findValue(section, key, stored) && platform::bytesToUpper(stored) == hex))
            return;
        error_ = document_.writeString(section, key, hex);
    }

private:
    platform::IniDocument& document_;
    platform::WinError error_ = platform::kErrorSuccess;
};

} // namespace

// ---- Colours ----

std::uint32_t ColorOfIndex(int index, int slot)
{
    if (index == 0)
        return slot >= 1 && slot <= kColorSlotCount ? kSlotDefaults[slot - 1] : 0;
    if (index > 0 && index < kColorListCount)
        return kColorList[index];
    return 0;
}

QColor colorFromBgr(std::uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QColor MainColor(int slot)
{
    if (slot < 1 || slot > kColorSlotCount)
        return QColor(0, 0, 0);
    return MainColors[static_cast<std::size_t>(slot - 1)];
}

// ---- List font ----

void IntToFontStyles(int value, QFont& font)
{
    font.setBold((value & kFontBold) != 0);
    font.setItalic((value & kFontItalic) != 0);
    font.setUnderline((value & kFontUnderline) != 0);
    font.setStrikeOut((value & kFontStrikeOut) != 0);
}

int FontStylesToInt(const QFont& font)
{
    return (font.bold() ? kFontBold : 0) | (font.italic() ? kFontItalic : 0) |
           (font.underline() ? kFontUnderline : 0) | (font.strikeOut() ? kFontStrikeOut : 0);
}

namespace {

int fontPointSize(const QFont& font)
{
    if (font.pointSize() > 0)
        return font.pointSize();
    if (font.pointSizeF() > 0)
        return static_cast<int>(font.pointSizeF() + 0.5);
    return kDefaultFontSize;
}

} // namespace

std::string fntCaption(const QFont& font)
{
    std::string styles;
    if (font.bold())
        styles += "B";
    if (font.italic())
        styles += "I";
    if (font.underline())
        styles += "U";
    if (font.strikeOut())
        styles += "S";
    if (styles.empty())
        styles = "Normal";
    return font.family().toStdString() + ", " + std::to_string(fontPointSize(font)) + ", " + styles;
}

QFont defaultBrowserFont()
{
    QFont font(QString::fromLatin1(kDefaultFontName));
    font.setPointSize(kDefaultFontSize);
    IntToFontStyles(kDefaultFontStyle, font);
    return font;
}

void installFontSubstitutions()
{
    const QString family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QFont::insertSubstitution(QString::fromLatin1(kDefaultFontName),
                              family.isEmpty() ? QStringLiteral("Sans Serif") : family);
}

QFont& BrowserFont()
{
    return globals().browserFont;
}

void LoadBrowserFont(const platform::IniFile& ini)
{
    std::string name = ini.readString(kBrowserSection, "FilesFontName", kDefaultFontName);
    if (name.empty())
        name = kDefaultFontName;
    int size = ini.readInteger(kBrowserSection, "FilesFontSize", kDefaultFontSize);
    if (size <= 0 || size > kMaximumFontSize)
        size = kDefaultFontSize;
    QFont font(QString::fromStdString(name));
    font.setPointSize(size);
    IntToFontStyles(ini.readInteger(kBrowserSection, "FilesFontStyle", kDefaultFontStyle), font);
    BrowserFont() = font;
}

// ---- Histories and favourites ----

core::TVYK_RingList& MaskSelectionHistory()
{
    return globals().maskSelection;
}

core::TVYK_RingList& FilterHistory()
{
    return globals().filters;
}

platform::StringList& FavoriteNames()
{
    return globals().favoriteNames;
}

platform::StringList& FavoriteDirectories()
{
    return globals().favoriteDirectories;
}

// ---- Main window layout ----

void MainWindowHost::applyMainWindowLayout(std::uint32_t layout)
{
    ApplyMainWindowLayout(hostWindow(), layout);
}

void ApplyMainWindowLayout(QWidget* mainWindow, std::uint32_t layout)
{
    if (!mainWindow)
        return;
    const auto show = [&](const char* name, bool visible) {
        if (QWidget* part = mainWindow->findChild<QWidget*>(QString::fromLatin1(name)))
            part->setVisible(visible);
    };
    show("pnlTbMain", (layout & kLayoutMainToolbar) != 0);
    if (QAction* item = mainWindow->findChild<QAction*>(QStringLiteral("mnuMainToolbar"))) {
        item->setCheckable(true);
        item->setChecked((layout & kLayoutMainToolbar) != 0);
    }
    show("pnlOperations", (layout & kLayoutFunctionKeys) != 0);
    show("pnlRightJumpButtons", (layout & kLayoutDriveCombo) == 0);
    show("pnlInfo", (layout & kLayoutDriveCombo) == 0);
    show("pnlTop", (layout & kLayoutSharedDriveBar) != 0);
}

void MainWindowHost::alignToolPanelTop()
{
    AlignToolPanelTop(hostWindow());
}

void AlignToolPanelTop(QWidget* mainWindow)
{
    if (!mainWindow || CurrentMode == 1)
        return;
    QWidget* strip = mainWindow->findChild<QWidget*>(QStringLiteral("pnlFree"));
    QWidget* left = mainWindow->findChild<QWidget*>(QStringLiteral("LeftBrowser"));
    QWidget* right = mainWindow->findChild<QWidget*>(QStringLiteral("RightBrowser"));
    if (!strip || !left || !right)
        return;
    QWidget* panel = ToolsInRightSide ? left : right;
    const QWidget* view = panel->findChild<QWidget*>(QStringLiteral("pnlView"));
    if (!view)
        return;
    strip->setFixedHeight(std::max(0, view->mapTo(panel, QPoint(0, 0)).y()));
}

void ApplyScreenLayout(MainWindowHost& host)
{
    host.applyMainWindowLayout(Layout);
    tools::ShowToolTitles(Layout);
    host.applyPanelLayout(Layout);
    host.alignToolPanelTop();
}

// ---- Loading and saving ----

QSize defaultWindowSize()
{
    const QRect screen = primaryScreenGeometry();
    return QSize(std::min(700, screen.width()), std::min(550, screen.height()));
}

void LoadAllSettings(MainWindowHost& host)
{
    const QRect screen = primaryScreenGeometry();
    const QSize size = defaultWindowSize();
    const platform::IniSession session(tools::SettingsFileName());
    const platform::IniFile ini = tools::SettingsIni();
    const char* const section = kMainFormSection;

    const int status = ini.readInteger(section, "Status", 0);
    const int top = ini.readInteger(section, "Top", screen.y() + (screen.height() - size.height()) / 2);
    const int left = ini.readInteger(section, "Left", screen.x() + (screen.width() - size.width()) / 2);
    const int width = ini.readInteger(section, "Width", size.width());
    const int height = ini.readInteger(section, "Height", size.height());
    if (QWidget* window = host.hostWindow()) {
        window->setGeometry(usableGeometry(storedWindowRect(left, top, width, height)));
        if (status == 2)
            window->setWindowState((window->windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
        else if (status == 3)
            window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    }

    CurrentMode = 0;
    ToolsInRightSide = (ini.readInteger(section, "ToolsInRightSide", 1) & 0xFF) != 0;
    SavedMode = ini.readInteger(section, "CurrentMode", 1);
    if (SavedMode <= 0 || SavedMode > host.modeActionCount())
        SavedMode = 1;
    Layout = static_cast<std::uint32_t>(
        ini.readInteger(section, "Layout", static_cast<std::int32_t>(kDefaultLayout)));
    filelist::ViewerProgram = ini.readString(section, "Viewer", "notepad.exe");
    filelist::EditorProgram = ini.readString(section, "Editor", "notepad.exe");
    MustSwapPanels = ini.readBool(section, "MustSwapPanels", false);
    host.setSplitterRatio(
        controls::clampRatio(ini.readInteger(section, "VerticalSplitter", host.splitterRatio())));
    filelist::GeneralCheckContainer = static_cast<std::uint32_t>(
        ini.readInteger(section, "GeneralCheckContainer",
                        static_cast<std::int32_t>(filelist::kDefaultGeneralCheckContainer)));
    ShowTips = ini.readInteger(section, "ShowTips", 1);

    MaskSelectionHistory().LoadFromIni(ini, section, "MASK_SELECTION");
    FilterHistory().LoadFromIni(ini, section, "BROWSER_FILTRES");

    for (int slot = 1; slot <= kColorSlotCount; ++slot) {
        const int index = ini.readInteger(section, "MainColor" + std::to_string(slot), 0);
        MainColorIndexes[static_cast<std::size_t>(slot - 1)] = index;
        MainColors[static_cast<std::size_t>(slot - 1)] = colorFromBgr(ColorOfIndex(index, slot));
    }

    core::ReadStringsFromIni(ini, FavoriteNames(), kFavoritesSection, "F_NAMES");
    core::ReadStringsFromIni(ini, FavoriteDirectories(), kFavoritesSection, "F_DIRECTORIES");

    LoadBrowserFont(ini);
}

platform::WinError WriteGeneralSettings(MainWindowHost& host, platform::IniDocument& document)
{
    DocumentWriter out(document);
    const char* const section = kMainFormSection;

    int status = 1;
    if (QWidget* window = host.hostWindow()) {
        const Qt::WindowStates state = window->windowState();
        if (state & Qt::WindowMinimized) {
            status = 2;
        } else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
            status = 3;
        } else {
            const QRect geometry = window->geometry();
            out.writeInteger(section, "Top", geometry.y());
            out.writeInteger(section, "Left", geometry.x());
            out.writeInteger(section, "Width", geometry.width());
            out.writeInteger(section, "Height", geometry.height());
        }
    }
    if (CurrentMode == 1)
        ToolsInRightSide = host.leftBrowserIsActive();
    MustSwapPanels = host.panelsSwapped();

    out.writeInteger(section, "ToolsInRightSide", ToolsInRightSide ? 1 : 0);
    out.writeInteger(section, "CurrentMode", CurrentMode);
    out.writeInteger(section, "Status", status);
    out.writeInteger(section, "Layout", static_cast<std::int32_t>(Layout));
    out.writeString(section, "Viewer", filelist::ViewerProgram);
    out.writeString(section, "Editor", filelist::EditorProgram);
    out.writeBool(section, "MustSwapPanels", MustSwapPanels);
    out.writeInteger(section, "VerticalSplitter", host.splitterRatio());
    out.writeInteger(section, "GeneralCheckContainer",
                     static_cast<std::int32_t>(filelist::GeneralCheckContainer.load()));
    out.writeInteger(section, "ShowTips", ShowTips);

    const QFont& font = BrowserFont();
    out.writeString(kBrowserSection, "FilesFontName", font.family().toStdString());
    out.writeInteger(kBrowserSection, "FilesFontSize", fontPointSize(font));
    out.writeInteger(kBrowserSection, "FilesFontStyle", FontStylesToInt(font));

    out.writeStream(section, "MASK_SELECTION", MaskSelectionHistory().StoredText());
    out.writeStream(section, "BROWSER_FILTRES", FilterHistory().StoredText());
    for (int slot = 1; slot <= kColorSlotCount; ++slot)
        out.writeInteger(section, "MainColor" + std::to_string(slot),
                         MainColorIndexes[static_cast<std::size_t>(slot - 1)]);
    out.writeStream(kFavoritesSection, "F_NAMES", FavoriteNames().text());
    out.writeStream(kFavoritesSection, "F_DIRECTORIES", FavoriteDirectories().text());
    return out.error();
}

platform::WinError SaveAllSettings(MainWindowHost& host)
{
    // Everything is written into one reading of the file, which is put in place once.
    platform::IniSession session(tools::SettingsFileName());
    tools::SaveAllToolSettings();
    host.savePanelSettings();
    platform::IniFile ini = tools::SettingsIni();
    platform::WinError error =
        ini.update([&](platform::IniDocument& document) { return WriteGeneralSettings(host, document); });
    const platform::WinError stored = session.commit();
    if (error == platform::kErrorSuccess)
        error = stored;
    WriteProgramValue(kLanguageValue, core::classTranslator().LanguageName);
    if (error != platform::kErrorSuccess) {
        std::string text;
        core::ShowSystemError(true, error, core::uiText(52), ini.fileName(), text);
    }
    return error;
}

void SaveSettingsOnExit(MainWindowHost& host)
{
    if (filelist::HasGeneralOption(kOptionSaveOnExit))
        SaveAllSettings(host);
}

// ---- Registry ----

void WriteProgramValue(std::string_view name, std::string_view value)
{
    platform::Registry registry(platform::RegistryRoot::kLocalMachine);
    if (registry.openKey(kProgramKey, true) == platform::kErrorSuccess)
        registry.writeString(name, value);
    registry.closeKey();
}

std::string ReadProgramValue(std::string_view name)
{
    platform::Registry registry(platform::RegistryRoot::kLocalMachine);
    std::string value;
    if (registry.openKeyReadOnly(kProgramKey) != platform::kErrorSuccess ||
        registry.readString(name, value) != platform::kErrorSuccess)
        value.clear();
    registry.closeKey();
    return value;
}

} // namespace wux::mainwindow
