// The program's general settings: the process-wide values every window reads (the options word lives in
// filelist/general_options.h, the viewer and editor in filelist/item_actions.h), their loading when the
// main window is created and the saving of all settings into "wux.ini", the colour list, the list font
// and the screen-layout word.
//
// What the settings need of the main window goes through MainWindowHost, which the main window
// implements. GUI thread only.
#pragma once

#include <QColor>
#include <QFont>
#include <QSize>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/ring_list.h"
#include "platform/errors.h"
#include "platform/string_list.h"

class QWidget;

namespace wux::platform {
class IniFile;
class IniDocument;
} // namespace wux::platform

namespace wux::mainwindow {

// ---- Section "MainForm" ----------------------------------------------------------------------------

inline constexpr const char* kMainFormSection = "MainForm";
inline constexpr const char* kBrowserSection = "Browser";
inline constexpr const char* kFavoritesSection = "Favorites";

// `Layout` bits: what the main window and the panels show.
inline constexpr std::uint32_t kLayoutMainToolbar = 0x1;        // pnlTbMain, mnuMainToolbar checked
inline constexpr std::uint32_t kLayoutFunctionKeys = 0x2;       // pnlOperations
inline constexpr std::uint32_t kLayoutPanelDriveBars = 0x4;     // each panel's pnlDisks
inline constexpr std::uint32_t kLayoutDriveCombo = 0x8;         // each panel's pnlBrowserToolbar
inline constexpr std::uint32_t kLayoutHeader = 0x10;            // each panel's sgTitle
inline constexpr std::uint32_t kLayoutCurrentDirectory = 0x20;  // address lines, tool titles
inline constexpr std::uint32_t kLayoutStatusLine = 0x40;        // each panel's status line
inline constexpr std::uint32_t kLayoutSharedDriveBar = 0x80;    // pnlTop; panels' SspRMain hidden
inline constexpr std::uint32_t kLayoutNoBasketLine = 0x100;     // panels' pnlBottomButtons hidden
inline constexpr std::uint32_t kLayoutFlatSendToBasket = 0x200; // btnSendTobasket flat
inline constexpr std::uint32_t kDefaultLayout = 0xF1;

// `GeneralCheckContainer` bits (the word itself: filelist::GeneralCheckContainer).
inline constexpr std::uint32_t kOptionSpaceMeasuresFolders = 0x1;
inline constexpr std::uint32_t kOptionNoNonEmptyFolderConfirmation = 0x2;
inline constexpr std::uint32_t kOptionRecycleBin = 0x4;
inline constexpr std::uint32_t kOptionFilesOnlyMaskSelection = 0x8;
inline constexpr std::uint32_t kOptionConfirmOverwrite = 0x10;
inline constexpr std::uint32_t kOptionConfirmHiddenSystem = 0x20;
inline constexpr std::uint32_t kOptionConfirmReadOnly = 0x40;
inline constexpr std::uint32_t kOptionShowHiddenFiles = 0x80;
inline constexpr std::uint32_t kOptionQuickSearchAlt = 0x100;
inline constexpr std::uint32_t kOptionQuickSearchCtrlAlt = 0x200;
inline constexpr std::uint32_t kOptionSaveOnExit = 0x800;
inline constexpr std::uint32_t kOptionRestoreRenamer = 0x1000;
inline constexpr std::uint32_t kOptionSelectSearchResults = 0x2000;
inline constexpr std::uint32_t kOptionSelectBasketSends = 0x4000;

// The screen-layout word.
inline std::uint32_t Layout = kDefaultLayout;
// The tool form stands where the right panel was.
inline bool ToolsInRightSide = true;
// The mode on screen (1 browser, 2 Finder, 3 Renamer, 4 Replacer, 5 Batch Replacer); 0 until the main
// window's first mode switch.
inline int CurrentMode = 0;
// The mode the main window starts in (the stored "CurrentMode", 1 when out of range).
inline int SavedMode = 1;
// The panels were saved in swapped places. Read and written; nothing swaps the panels.
inline bool MustSwapPanels = false;
// Non-zero: the tip of the day after start.
inline int ShowTips = 1;
// 1 after the options dialog applied changes, 0 after "&Save settings" (0 at start).
inline std::uint8_t OptionsApplied = 0;

// ---- Colours -----------------------------------------------------------------------------------------

// Colour slots: 1 list font, 2 list background, 3 marked items, 4 cursor background, 5 cursor font.
inline constexpr int kColorSlotCount = 5;
// Entries of the colour list (index 0 is the slot's own default); their names are texts 963-974.
inline constexpr int kColorListCount = 12;
inline constexpr int kColorNameBaseId = 963;

// The colour (0x00BBGGRR) of a colour-list index for a slot (1 .. 5); black for any other index.
std::uint32_t ColorOfIndex(int index, int slot);
// A 0x00BBGGRR colour as a QColor.
QColor colorFromBgr(std::uint32_t bgr);

// The colour-list index and the colour of each slot: element slot - 1.
inline std::array<int, kColorSlotCount> MainColorIndexes{0, 0, 0, 0, 0};
inline std::array<QColor, kColorSlotCount> MainColors{
    QColor(0, 0, 0), QColor(255, 255, 255), QColor(255, 0, 0), QColor(0, 0, 128), QColor(255, 255, 255)};
// MainColors[slot - 1]; black for a slot out of range.
QColor MainColor(int slot);

// ---- List font -----------------------------------------------------------------------------------------

inline constexpr const char* kDefaultFontName = "MS Sans Serif";
inline constexpr int kDefaultFontSize = 8;
inline constexpr int kDefaultFontStyle = 0x1;
// Font style bits: 0x1 bold, 0x2 italic, 0x4 underline, 0x8 strike-out.
inline constexpr int kFontBold = 0x1;
inline constexpr int kFontItalic = 0x2;
inline constexpr int kFontUnderline = 0x4;
inline constexpr int kFontStrikeOut = 0x8;

// Sets the font's bold, italic, underline and strike-out from the style bits.
void IntToFontStyles(int value, QFont& font);
// The style bits of a font.
int FontStylesToInt(const QFont& font);
// "Name, Size, Styles": the styles as "B", "I", "U", "S" in that order, or "Normal" (e.g. "MS Sans Serif, 8,
// B").
std::string fntCaption(const QFont& font);
// The default list font: "MS Sans Serif", 8 points, bold.
QFont defaultBrowserFont();
// Maps "MS Sans Serif" (the stored default) to the desktop's sans-serif font. Called at start-up.
void installFontSubstitutions();

// The font of both panels' lists.
QFont& BrowserFont();
// Reads the list font from section "Browser" (unusable values give the defaults).
void LoadBrowserFont(const platform::IniFile& ini);

// ---- Histories and favourites --------------------------------------------------------------------------

// The history of selection masks ("MASK_SELECTION") and of panel filters ("BROWSER_FILTRES").
core::TVYK_RingList& MaskSelectionHistory();
core::TVYK_RingList& FilterHistory();
// The favourite directories' titles and paths (section "Favorites").
platform::StringList& FavoriteNames();
platform::StringList& FavoriteDirectories();

// ---- What the settings need of the main window ---------------------------------------------------------

class MainWindowHost
{
public:
    virtual ~MainWindowHost() = default;

    // The main window: its geometry and window state are set by the loading and read by the saving.
    virtual QWidget* hostWindow() = 0;
    // The number of mode actions (the highest valid mode).
    virtual int modeActionCount() const = 0;
    // The ratio (1/10000 of the width) of the splitter between the panels.
    virtual int splitterRatio() const = 0;
    virtual void setSplitterRatio(int ratio) = 0;
    // `ActiveForm` is the left browser panel.
    virtual bool leftBrowserIsActive() const = 0;
    // The right panel's host stands left of the left panel's host.
    virtual bool panelsSwapped() const = 0;
    // Both panels write their sections ("BROWSER_LEFT", then "BROWSER_RIGHT").
    virtual void savePanelSettings() = 0;
    // The main window's own part of the layout word: pnlTbMain and mnuMainToolbar, pnlOperations,
    // pnlRightJumpButtons and pnlInfo, pnlTop (ApplyMainWindowLayout does it by object names).
    virtual void applyMainWindowLayout(std::uint32_t layout);
    // Both panels apply the layout word (TBrowserForm::ApplyLayout, left then right).
    virtual void applyPanelLayout(std::uint32_t layout) = 0;
    // In a tool mode, the strip above the tool forms takes the height of the visible panel's top part
    // (AlignToolPanelTop does it by object names).
    virtual void alignToolPanelTop();
    // Re-reads both panels (the main window's RefreshPanels).
    virtual void refreshPanels() = 0;
    // Both panels re-lay their grids (colours and font).
    virtual void updatePanelGrids() = 0;
    // The main window, the panels and the tools take the current language's texts.
    virtual void applyLanguage() = 0;
};

// Shows or hides the main window's own parts by object name: "pnlTbMain" (and the check mark of the
// action or menu item "mnuMainToolbar") by 0x1, "pnlOperations" by 0x2, "pnlRightJumpButtons" and
// "pnlInfo" unless 0x8, "pnlTop" by 0x80. Parts that do not exist are skipped.
void ApplyMainWindowLayout(QWidget* mainWindow, std::uint32_t layout);

// In a tool mode (CurrentMode is not 1) the height of "pnlFree" := the top of "pnlView" inside the panel
// that stays visible ("LeftBrowser" when ToolsInRightSide, else "RightBrowser"), so that the tool form
// starts level with the panel's grid. Nothing when a part does not exist.
void AlignToolPanelTop(QWidget* mainWindow);

// ---- Loading and saving --------------------------------------------------------------------------------

// The main window's size on a first start: 700 x 550, smaller on a smaller screen.
QSize defaultWindowSize();
// The smallest window the loading accepts from the file.
inline constexpr int kMinimumWindowWidth = 320;
inline constexpr int kMinimumWindowHeight = 240;

// Reads every general setting from the settings file (tools::SettingsFileName()) and sets the main
// window's geometry, state and splitter ratio. A missing or unreadable file gives the first-start
// defaults. CurrentMode := 0.
void LoadAllSettings(MainWindowHost& host);
// Saves all settings: every tool's section, both panels' sections, then the main window's keys, the list
// font, the histories, the colours and the favourites in one rewrite of the file, then the language to
// the registry. Keys and sections the program does not know are kept as they are; a key whose stored
// value already reads as the value to write is left untouched. On failure one warning box shows the
// file and the system's error text, and the error is returned.
platform::WinError SaveAllSettings(MainWindowHost& host);
// The main window's destruction: SaveAllSettings when the save-on-exit option (0x800) is set; nothing is
// written otherwise.
void SaveSettingsOnExit(MainWindowHost& host);
// The same on a document (no tools, panels, registry or boxes): the main window's keys and the rest.
platform::WinError WriteGeneralSettings(MainWindowHost& host, platform::IniDocument& document);

// Applies `Layout`: the main window's parts, the tools' titles, both panels, then AlignToolPanelTop.
void ApplyScreenLayout(MainWindowHost& host);

// The registry key of the program's own values (local machine) and the language value.
inline constexpr const char* kProgramKey = "Software\\Tessanto\\Wexra\\MainProgram";
inline constexpr const char* kLanguageValue = "LanguageId";
// Writes a string value under the program's key (created when missing); errors are swallowed.
void WriteProgramValue(std::string_view name, std::string_view value);
// Reads a string value of the program's key; "" when the key, the value or the store cannot be read.
std::string ReadProgramValue(std::string_view name);

} // namespace wux::mainwindow
