// TMainForm: the program's main window. A menu bar and the main toolbar on top (ControlBarMain), the
// shared drive bar (pnlTop), the left and right panel hosts around SplitterMain, the tool panel pnlUtil
// that takes the place of one panel in a tool mode, and the function-key bar pnlOperations.
//
// The window hosts the two browser panels (IBrowserHost), the tool windows (tools::IToolHost) and the
// settings (MainWindowHost), and tells the file lists which panel is the active one. Its own messages
// are posted events: User + 0x0E focuses the active form after a mode switch, User + 0x10 shows the
// tip of the day after the first paint; the system's device change re-reads both panels.
//
// Shutdown: closing the window stops both panels' icon threads (right first); the Exit command and
// Alt+F4 end the message loop without that step. The destructor stops any icon thread that still runs,
// saves all settings when the save-on-exit option is set, and frees the Basket and the listings.
#pragma once

#include <QEvent>
#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "mainwindow/browser_host.h"
#include "mainwindow/plugin_host.h"
#include "mainwindow/settings.h"
#include "tools/search_results.h"
#include "tools/tool_host.h"

class QAction;
class QActionGroup;
class QMenu;

namespace Ui {
class TMainForm;
}

namespace wux::filelist {
struct TstateOfBrowser;
}

namespace wux::controls {
class TImageList;
class TSpeedButtonNew;
} // namespace wux::controls

namespace wux::mainwindow {

class TBrowserForm;
class TfrmAbout;

// The main window's own messages.
inline constexpr QEvent::Type MSG_FOCUS_ACTIVE_FORM = static_cast<QEvent::Type>(QEvent::User + 0x0E);
inline constexpr QEvent::Type MSG_SHOW_TIP = static_cast<QEvent::Type>(QEvent::User + 0x10);

// Registers the texts of the main window, the tip window and the about box.
void registerMainFormTexts();

// What ends the message loop for the Exit command and Alt+F4; empty: QCoreApplication::exit(0). Tests
// put a recorder here (a loop that was told to end cannot run a dialog again).
inline std::function<void()> EndMessageLoop;

// The about box, created once by the start-up (nullptr before and after the main window).
inline TfrmAbout* frmAbout = nullptr;

// The start-up's windows: the main window (shown) and then the about box, which it owns. When the main
// window cannot be made, a message box says why and the result is nullptr.
std::unique_ptr<QObject> CreateMainWindows();

class TMainForm : public QMainWindow,
                  public MainWindowHost,
                  public IBrowserHost,
                  public tools::IToolHost,
                  public tools::IToolPanelsHost,
                  public IPluginHostWindow
{
    Q_OBJECT
public:
    // Creation: settings, Basket, drive list, tools, glyphs, panels, shortcuts. Throws
    // std::runtime_error (with a text for the user) when a browser panel cannot be created.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // ---- Panels and modes ----
    TBrowserForm* LeftBrowser() const;
    TBrowserForm* RightBrowser() const;
    // Browser := the active panel, or the one that stays visible in a tool mode; returns its visibility.
    bool GetActiveBrowser(TBrowserForm*& browser) const;
    void SetMode(int mode);
    void actBrowserExecute(QAction* action);
    void actLaunchOperationExecute();
    void RefreshPanels() override;
    void DeferredStartup();

    // ---- IPluginHostWindow ----
    void hideQuickSearch() override;
    bool pluginRunning() const override { return pluginRunning_; }
    void setPluginRunning(bool running) override { pluginRunning_ = running; }
    WuxWindow appWindowHandle() const override { return appWindow_; }
    WuxWindow mainWindowHandle() const override { return mainWindow_; }
    PluginHost* pluginHost() const { return pluginHost_.get(); }
    bool firstPaintPending() const { return firstPaintPending_; }
    // The Exit command and Alt+F4: the message loop ends (the close step does not run).
    void ExitApplication();
    // Ends the window's life as the message loop's end does: the destroy step (once).
    void FormDestroy();

    // ---- File commands ----
    void bottomButtonsClick(int tag);
    void CopyMoveSelected(std::int32_t kind, bool inPlace);
    void DeleteSelected();
    void btnMkDirClick();
    void NewFileForEdit();

    // ---- Menus, toolbars, language ----
    void ApplyLanguage();
    void FitMenuToolbar();
    void RebuildDriveControls(TBrowserForm* browser);
    void btnSetModeBriefClick(int tag);
    void mnuSortNameClick(int tag);
    void GeneralMenuChange();
    void mnuMainToolbarClick();
    void mnuToolsToolbarClick();
    void pnlToolsResize(QWidget* panel);
    void mnuRereadSourceClick();
    void mnuPropertiesClick();
    void mnuSendToBasketClick();
    void btnClearBasketClick();
    void mnuSaveBasketListClick();
    void mnuLoadBasketListClick();
    void btnRJumpToRootClick();
    void btnRUpOneLevelClick();
    void actOptionsExecute();
    void actHelpExecute();
    void actHelpContentsExecute();
    void mnuItemShowTipsClick();
    void mnuAboutClick();
    void mnuSetDesktopFolderClick(QAction* item);

    // ---- IBrowserHost ----
    QWidget* ActiveForm() const override { return activeForm_; }
    void SetActiveForm(QWidget* form) override { activeForm_ = form; }
    void UpdateLaunchAction() override;
    void AlignToolPanelTop() override;
    void PressSharedDriveButton(int driveIndex) override;
    void SyncSharedDriveButtons(const TBrowserForm& panel) override;
    void ShowDriveInfo(const QString& text, int width) override;
    void UpdateViewButtons(bool jumpButtonsEnabled, bool briefDown, bool fullDown) override;
    void SendSelectionToBasket() override;
    controls::TImageList* UpDownImages() const override { return upDownImages_; }
    controls::TImageList* ImageListBrowser() const override { return imageListBrowser_; }
    controls::TImageList* ImageListBrowser2() const override { return imageListBrowser2_; }
    QMenu* FavoritesMenu() const override;
    std::string MainCaption() const override;

    // ---- tools::IToolHost ----
    QRect MainBounds() const override;
    int ControlBarMainHeight() const override;
    void EnableMainControls(bool Enable) override;
    QWidget* MainWidget() const override { return const_cast<TMainForm*>(this); }

    // ---- tools::IToolPanelsHost (RefreshPanels, UpdateLaunchAction and SetActiveForm as above) ----
    filelist::IBrowserPanel* PanelBesideTools() override;
    bool GoToFile(const std::string& Folder, const std::string& Name) override;
    void ShowBasketInActivePanel() override;
    core::TVYK_RingList& SelectionMaskHistory() override { return MaskSelectionHistory(); }
    controls::TImageList* HeaderImages() override { return upDownImages_; }

    // ---- MainWindowHost ----
    QWidget* hostWindow() override { return this; }
    int modeActionCount() const override;
    int splitterRatio() const override;
    void setSplitterRatio(int ratio) override;
    bool leftBrowserIsActive() const override;
    bool panelsSwapped() const override;
    void savePanelSettings() override;
    void applyPanelLayout(std::uint32_t layout) override;
    void alignToolPanelTop() override { AlignToolPanelTop(); }
    void refreshPanels() override { RefreshPanels(); }
    void updatePanelGrids() override;
    void applyLanguage() override { ApplyLanguage(); }

    // The form description's components.
    Ui::TMainForm& ui() const { return *ui_; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void FormShow();
    void FormResize();
    void ApplyToolPanelConstraints();
    void createTools();
    void createPanels();
    void wireActions();
    void installShortcuts();
    void loadGlyphs();
    void placeToolPanel(bool rightSide);
    void applicationStateChanged(Qt::ApplicationState state);
    void stopIconThreads();
    bool activeFormIsPanel() const;
    filelist::TstateOfBrowser& shownList(TBrowserForm& panel) const;
    void focusGrid(TBrowserForm& panel);
    void layoutSpeedButtons(QWidget* panel);

    std::unique_ptr<Ui::TMainForm> ui_;
    QActionGroup* actionModes_ = nullptr;
    QMenu* popToolbars_ = nullptr;
    QMenu* popFavoritesFolders_ = nullptr;
    QPointer<TBrowserForm> leftBrowser_;
    QPointer<TBrowserForm> rightBrowser_;
    QPointer<QWidget> activeForm_;
    controls::TImageList* upDownImages_ = nullptr;
    controls::TImageList* imageListBrowser_ = nullptr;
    controls::TImageList* imageListBrowser2_ = nullptr;
    bool pluginRunning_ = false;
    std::unique_ptr<PluginHost> pluginHost_;
    WuxWindow appWindow_ = 0;
    WuxWindow mainWindow_ = 0;
    bool firstPaintPending_ = false;
    bool shownOnce_ = false;
    bool activatedOnce_ = false;
    bool destroyed_ = false;
};

} // namespace wux::mainwindow
