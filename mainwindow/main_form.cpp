#include "mainwindow/main_form.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>

#include <stdexcept>

#include "controls/auto_select.h"
#include "controls/control_bar_layout.h"
#include "controls/focus_return.h"
#include "controls/image_list.h"
#include "controls/speed_button_new.h"
#include "controls/wux_splitter_mouse.h"
#include "controls/wux_string_grid.h"
#include "core/hourglass.h"
#include "core/settings_path.h"
#include "core/system_error.h"
#include "core/text_table.h"
#include "core/web_pages.h"
#include "filelist/basket.h"
#include "filelist/drive_list.h"
#include "filelist/file_operations.h"
#include "filelist/list_operations.h"
#include "filelist/operation_cursor.h"
#include "mainwindow/about.h"
#include "mainwindow/basket_lists.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/drive_bar.h"
#include "mainwindow/favorites.h"
#include "mainwindow/keyboard_map.h"
#include "mainwindow/main_commands.h"
#include "mainwindow/main_menus.h"
#include "mainwindow/quick_search.h"
#include "mainwindow/tips.h"
#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/shell/device_change.h"
#include "platform/shell/program_starter.h"
#include "platform/shell/special_folders.h"
#include "platform/text.h"
#include "tools/batch_replacer_form.h"
#include "tools/finder_form.h"
#include "tools/renamer_form.h"
#include "tools/replacer_form.h"
#include "tools/tool_host.h"
#include "tools/tool_list.h"
#include "ui_TMainForm.h"

namespace wux::mainwindow {

namespace {

constexpr int kTextPanelNotCreated = 433;
constexpr int kTextSaveBasketList = 703;
constexpr int kTextLoadBasketList = 704;

// Glyph names of the mode actions (by Tag): the button strip, and with "1" the menu form.
const char* modeGlyph(int tag)
{
    switch (tag) {
    case 1:
        return "BRWBTN";
    case 2:
        return "FNDBTN";
    default:
        return "TOOLS";
    }
}

QPixmap glyph(const QString& name)
{
    return QPixmap(QStringLiteral(":/images/%1.png").arg(name));
}

// The icon of a checkable menu item. Beside an icon the styles draw no check box, at most a faint frame
// round it, so the checked form of the icon carries the mark: the glyph with a tick over its lower right
// part, in the text's colour on a rim of the base colour, plain on any row and in any style.
QIcon markableIcon(const QPixmap& picture)
{
    QIcon icon(picture);
    QPixmap marked = picture;
    {
        QPainter painter(&marked);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal width = marked.deviceIndependentSize().width();
        const qreal height = marked.deviceIndependentSize().height();
        QPainterPath tick;
        tick.moveTo(width * 0.38, height * 0.6);
        tick.lineTo(width * 0.6, height * 0.84);
        tick.lineTo(width * 0.94, height * 0.3);
        const QPalette palette = QApplication::palette();
        painter.strokePath(tick, QPen(palette.color(QPalette::Base), width * 0.3, Qt::SolidLine, Qt::RoundCap,
                                      Qt::RoundJoin));
        painter.strokePath(tick, QPen(palette.color(QPalette::Text), width * 0.15, Qt::SolidLine, Qt::RoundCap,
                                      Qt::RoundJoin));
    }
    icon.addPixmap(marked, QIcon::Normal, QIcon::On);
    return icon;
}

// The toolbar band takes the control bar's rows: the menu, the main toolbar and the mode buttons stand
// in one row while they fit and wrap into a second one in a narrow window.
void useControlBarLayout(QWidget& bar)
{
    QLayout* row = bar.layout();
    auto* bands = new controls::TControlBarLayout;
    bands->setContentsMargins(row->contentsMargins());
    bands->setSpacing(row->spacing());
    while (QLayoutItem* item = row->takeAt(0))
        bands->addItem(item);
    delete row;
    bar.setLayout(bands);
}

int tagOf(const QObject* object)
{
    return object->property("tag").toInt();
}

void detachBasketView(filelist::TstateOfBrowser& view)
{
    if (view.savedFolders) {
        filelist::EndFlatView(view);
    }
    if (platform::movableIsValid(view.order)) {
        platform::movableFree(view.order);
    }
    view = filelist::TstateOfBrowser();
}

void freeList(filelist::TstateOfBrowser& list)
{
    if (platform::movableIsValid(list.folders)) {
        filelist::ReleaseStateItemIds(list);
        filelist::FreeBrowserState(list);
    }
    list = filelist::TstateOfBrowser();
}

} // namespace

void registerMainFormTexts()
{
    registerMainWindowTexts();
    core::registerDefaultTexts({{kTextPanelNotCreated, "A file panel could not be created:\r\n%s"}});
    registerTipTexts();
    registerAboutTexts();
    registerFavoritesTexts();
}

std::unique_ptr<QObject> CreateMainWindows()
{
    std::unique_ptr<TMainForm> window;
    try {
        window = std::make_unique<TMainForm>();
    } catch (const std::exception& error) {
        platform::showMessageBox(error.what(), "Wuxtool", platform::MsgButtons::Ok, platform::MsgIcon::Error);
        return nullptr;
    }
    window->show();
    frmAbout = new TfrmAbout(window.get());
    return window;
}

// ---- Creation ----

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), ui_(std::make_unique<Ui::TMainForm>())
{
    initMainWindowResources();
    ui_->setupUi(this);
    setWindowIcon(QIcon(glyph(QStringLiteral("MAINICON"))));
    ui_->pnlSearch->hide();
    ui_->pnlSearch->raise();
    useControlBarLayout(*ui_->ControlBarMain);

    // The two popup menus: the toolbars' and the favourites' (dropped down by the drive bars).
    popToolbars_ = new QMenu(this);
    popToolbars_->setObjectName(QStringLiteral("popToolbars"));
    popToolbars_->addActions({ui_->mnuMainToolbar, ui_->mnuToolsToolbar});
    popFavoritesFolders_ = new QMenu(this);
    popFavoritesFolders_->setObjectName(QStringLiteral("popFavoritesFolders"));
    popFavoritesFolders_->addActions({ui_->mnuSetDesktopFolder, ui_->mnuSetMyDocumentsFolder,
                                      ui_->mnuSetFavoritesFolder, ui_->N1, ui_->mnuAddToFavorites});

    actionModes_ = new QActionGroup(this);
    actionModes_->setObjectName(QStringLiteral("ActionModes"));
    actionModes_->setExclusive(true);
    for (QAction* action :
         {ui_->actBrowser, ui_->actFinder, ui_->actRenamer, ui_->actReplacer, ui_->actBatchReplacer})
        actionModes_->addAction(action);
    ui_->actFinder->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_2), QKeySequence(Qt::ALT | Qt::Key_F7)});

    upDownImages_ = new controls::TImageList(16, 16, this);
    upDownImages_->Add(glyph(QStringLiteral("SORTUP")));
    upDownImages_->Add(glyph(QStringLiteral("SORTDOWN")));
    imageListBrowser_ = new controls::TImageList(16, 16, this);
    imageListBrowser2_ = new controls::TImageList(16, 16, this);
    imageListBrowser2_->Add(glyph(QStringLiteral("FAVORITES")));

    ui_->pnlWithImgDrives->OnResize = [this] {
        AlignToolPanelTop();
        ui_->pnlTop->setFixedHeight(ui_->pnlWithImgDrives->height() + 6);
    };
    wireActions();

    // The settings file is read once for everything the window, its tools and panels load from it.
    platform::IniSession settings(tools::SettingsFileName());
    // 1. Settings; 2. the Basket; 3. no run; 4. the drive list.
    LoadAllSettings(*this);
    filelist::CreateBasketState(filelist::BasketState);
    filelist::OperationBusy = false;
    filelist::BuildDriveList(filelist::DriveList, filelist::kDriveListNetwork | filelist::kDriveListBasket);
    pluginRunning_ = false;
    // 7.-10. The tools, their panel's size, the glyphs of the modes, the tools' settings.
    createTools();
    tools::SetToolConstraints();
    loadGlyphs();
    tools::LoadAllToolSettings();
    // 11. The panels.
    createPanels();
    settings.commit();
    filelist::SetActivePanelSource([this]() -> filelist::IBrowserPanel* {
        TBrowserForm* browser = nullptr;
        return GetActiveBrowser(browser) ? browser : nullptr;
    });
    tools::setToolHost(this);
    tools::setToolPanelsHost(this);
    // 12.-14.
    firstPaintPending_ = true;
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &TMainForm::applicationStateChanged);
    installShortcuts();
    new KeyboardDispatcher(*this);
    controls::InstallAutoSelect(*this);
    controls::InstallFocusReturn(*this);
    InstallFavorites(*this, *popFavoritesFolders_);
    platform::shell::deviceChangeNotifier();
    // A file handed to the desktop that no application then opened is reported as any failed start.
    platform::shell::setOpenFailureReport([](const std::string& what, const std::string& reason) {
        core::ShowStartFailureReason(reason, what);
    });
}

TMainForm::~TMainForm()
{
    FormDestroy();
    wuxDestroyWindow(mainWindow_);
    wuxDestroyWindow(appWindow_);
}

void TMainForm::hideQuickSearch()
{
    if (auto* keyboard = findChild<KeyboardDispatcher*>()) {
        if (keyboard->quickSearch().isOpen()) {
            keyboard->quickSearch().close(false);
        }
    }
}

void TMainForm::createTools()
{
    // The tool forms, one per mode action after the first (Finder, Renamer, Replacer, Batch Replacer).
    struct ToolEntry
    {
        QAction* action;
        int titleId;
        tools::ToolFormFactory factory;
    };
    const ToolEntry entries[] = {
        {ui_->actFinder, 800, [](QWidget* parent) { return new tools::TFinderForm(parent); }},
        {ui_->actRenamer, 1800, [](QWidget* parent) { return new tools::TRenamerForm(parent); }},
        {ui_->actReplacer, tools::kReplacerTitleId,
         [](QWidget* parent) { return new tools::TReplacerForm(parent); }},
        {ui_->actBatchReplacer, tools::kBatchReplacerTitleId,
         [](QWidget* parent) { return new tools::TBatchReplacerForm(parent); }},
    };
    for (const ToolEntry& entry : entries) {
        if (entry.factory) {
            tools::TTool::Create(ui_->pnlToolForms, entry.factory, entry.titleId, entry.action);
        }
    }
}

void TMainForm::createPanels()
{
    platform::IniFile ini = tools::SettingsIni();
    struct Side
    {
        QWidget* host;
        const char* name;
        const char* section;
        QPointer<TBrowserForm>* panel;
    };
    const Side sides[] = {{ui_->pnlLeft, "LeftBrowser", "BROWSER_LEFT", &leftBrowser_},
                          {ui_->pnlRight, "RightBrowser", "BROWSER_RIGHT", &rightBrowser_}};
    for (const Side& side : sides) {
        auto* layout = new QVBoxLayout(side.host);
        layout->setContentsMargins(0, 0, 0, 0);
        TBrowserForm* panel = nullptr;
        try {
            panel = new TBrowserForm(*this, QString::fromLatin1(side.name), side.host);
        } catch (const std::exception& error) {
            throw std::runtime_error(core::formatUiText(kTextPanelNotCreated, {std::string(error.what())}));
        }
        layout->addWidget(panel);
        *side.panel = panel;
        try {
            panel->LoadSettings(ini, side.section);
        } catch (const std::exception&) {
            // An unusable section: the panel starts with the defaults.
            panel->InitPanel(std::string(), "*.*", 0);
        }
    }
}

void TMainForm::loadGlyphs()
{
    // The View menu lists the modes above its own items; each mode button takes its glyph strip.
    const QList<QAction*> modes = actionModes_->actions();
    const std::vector<controls::TSpeedButtonNew*> buttons = {ui_->btnMdBrowser, ui_->btnTool1, ui_->btnTool2,
                                                             ui_->btnTool3, ui_->btnTool4};
    QAction* first = ui_->mnuMView->actions().isEmpty() ? nullptr : ui_->mnuMView->actions().first();
    for (qsizetype i = modes.size() - 1; i >= 0; --i) {
        QAction* action = modes[i];
        const QString name = QString::fromLatin1(modeGlyph(tagOf(action)));
        action->setIcon(QIcon(glyph(name + QLatin1Char('1'))));
        ui_->mnuMView->insertAction(first, action);
        first = action;
        if (static_cast<std::size_t>(i) < buttons.size()) {
            controls::TSpeedButtonNew* button = buttons[static_cast<std::size_t>(i)];
            button->setNumGlyphs(3);
            button->setGlyph(glyph(name));
            button->setDefaultAction(action);
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
    }
}

void TMainForm::installShortcuts()
{
    // The Mark and Operations items get their keys here; F3-F8 act through them.
    ui_->mnuSelGroup->setShortcut(QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus)));
    ui_->mnuUnselGr->setShortcut(QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus)));
    ui_->mnuInvertSel->setShortcut(QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key_Asterisk)));
    ui_->mnuSelAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    ui_->mnuUnselAll->setShortcut(
        QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus)));
    const std::pair<QAction*, Qt::Key> operations[] = {
        {ui_->mnuView, Qt::Key_F3},    {ui_->mnuEdit, Qt::Key_F4},  {ui_->mnuCopy, Qt::Key_F5},
        {ui_->mnuRenMove, Qt::Key_F6}, {ui_->mnuMkDir, Qt::Key_F7}, {ui_->mnuDelete, Qt::Key_F8}};
    for (const auto& [action, key] : operations) {
        action->setShortcut(QKeySequence(key));
        action->setShortcutContext(Qt::WindowShortcut);
    }
    // The Files menu keeps the key stored with it (it runs nothing).
    ui_->mnuMFile->menuAction()->setShortcut(QKeySequence(Qt::ALT | Qt::Key_M));
    // The keyboard's dispatcher fires every menu key (keyboard_map.h); the items only show them.
    for (QAction* action : {ui_->mnuMFile->menuAction(), ui_->mnuSelGroup, ui_->mnuUnselGr, ui_->mnuInvertSel,
                            ui_->mnuSelAll, ui_->mnuUnselAll})
        action->setShortcutContext(Qt::WidgetShortcut);
}

void TMainForm::wireActions()
{
    for (QAction* action : actionModes_->actions()) {
        connect(action, &QAction::triggered, this, unlessBusy([this, action] { actBrowserExecute(action); }));
    }
    connect(ui_->actLaunchOperation, &QAction::triggered, this,
            unlessBusy([this] { actLaunchOperationExecute(); }));
    connect(ui_->actHelp, &QAction::triggered, this, &TMainForm::actHelpExecute);
    connect(ui_->actHelpContents, &QAction::triggered, this, &TMainForm::actHelpContentsExecute);
    connect(ui_->actOptions, &QAction::triggered, this, &TMainForm::actOptionsExecute);

    // Function keys and the Operations menu.
    for (QAction* item :
         {ui_->mnuView, ui_->mnuEdit, ui_->mnuCopy, ui_->mnuRenMove, ui_->mnuDelete, ui_->mnuExit})
        connect(item, &QAction::triggered, this,
                unlessBusy([this, item] { bottomButtonsClick(tagOf(item)); }));
    for (controls::TSpeedButtonNew* button :
         {ui_->btnViewF3, ui_->btnEdit, ui_->btnCopy, ui_->btnRenMove, ui_->btnDelete, ui_->btnExit})
        connect(button, &QToolButton::clicked, this,
                unlessBusy([this, button] { bottomButtonsClick(button->Tag()); }));
    connect(ui_->mnuMkDir, &QAction::triggered, this, unlessBusy([this] { btnMkDirClick(); }));
    connect(ui_->btnMkDir, &QToolButton::clicked, this, unlessBusy([this] { btnMkDirClick(); }));

    // View, sort, toolbars.
    for (QAction* item : {ui_->mnuBrief, ui_->mnuFull})
        connect(item, &QAction::triggered, this,
                unlessBusy([this, item] { btnSetModeBriefClick(tagOf(item)); }));
    for (controls::TSpeedButtonNew* button : {ui_->btnSetModeBrief, ui_->btnSetModeFull})
        connect(button, &QToolButton::clicked, this,
                unlessBusy([this, button] { btnSetModeBriefClick(button->Tag()); }));
    for (QAction* item :
         {ui_->mnuSortName, ui_->mnuSortExt, ui_->mnuSortDate, ui_->mnuSortSize, ui_->mnuSortRevers})
        connect(item, &QAction::triggered, this, unlessBusy([this, item] { mnuSortNameClick(tagOf(item)); }));
    for (QMenu* menu : ui_->tbMenu->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::GeneralMenuChange);
    connect(ui_->mnuMainToolbar, &QAction::triggered, this, &TMainForm::mnuMainToolbarClick);
    connect(ui_->mnuToolsToolbar, &QAction::triggered, this, &TMainForm::mnuToolsToolbarClick);
    ui_->mnuToolsToolbar->setChecked(true);
    connect(ui_->ControlBarMain, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popToolbars_->popup(ui_->ControlBarMain->mapToGlobal(at)); });
    ui_->pnlTools->installEventFilter(this);
    ui_->pnlOperations->installEventFilter(this);

    // Files menu and toolbar buttons.
    const std::pair<QObject*, void (TMainForm::*)()> files[] = {
        {ui_->mnuRereadSource, &TMainForm::mnuRereadSourceClick},
        {ui_->mnuProperties, &TMainForm::mnuPropertiesClick},
        {ui_->mnuSendToBasket, &TMainForm::mnuSendToBasketClick},
        {ui_->mnuClearBasket, &TMainForm::btnClearBasketClick},
        {ui_->btnClearBasket, &TMainForm::btnClearBasketClick},
        {ui_->mnuSaveBasketList, &TMainForm::mnuSaveBasketListClick},
        {ui_->mnuLoadBasketList, &TMainForm::mnuLoadBasketListClick},
        {ui_->btnRJumpToRoot, &TMainForm::btnRJumpToRootClick},
        {ui_->btnRUpOneLevel, &TMainForm::btnRUpOneLevelClick}};
    for (const auto& [sender, command] : files) {
        auto run = unlessBusy([this, command = command] { (this->*command)(); });
        if (auto* item = qobject_cast<QAction*>(sender))
            connect(item, &QAction::triggered, this, run);
        else
            connect(static_cast<QToolButton*>(sender), &QToolButton::clicked, this, run);
    }
    connect(ui_->btnOptions, &QToolButton::clicked, this, &TMainForm::actOptionsExecute);

    // Help.
    connect(ui_->mnuItemShowTips, &QAction::triggered, this, &TMainForm::mnuItemShowTipsClick);
    connect(ui_->mnuAbout, &QAction::triggered, this, &TMainForm::mnuAboutClick);
    const std::pair<QAction*, int> pages[] = {{ui_->mnuFeedbackAndTechnicalSupport, core::kPageSupport},
                                              {ui_->mnuGetnewplugins, core::kPagePlugins},
                                              {ui_->mnuTutorials, core::kPageTutorials},
                                              {ui_->mnuHomePage, core::kPageHome}};
    for (const auto& [item, code] : pages) {
        const int page = code;
        connect(item, &QAction::triggered, this, [page] { core::OpenWebPage(page); });
        // A page without an address would open nothing: the item is not offered.
        item->setVisible(!core::webPageAddress(page).empty());
    }
    connect(ui_->mnuWhatisplugin, &QAction::triggered, this, [] { tools::showToolHelp("PLUGINS.htm"); });

    // Favourites.
    for (QAction* item : {ui_->mnuSetDesktopFolder, ui_->mnuSetMyDocumentsFolder, ui_->mnuSetFavoritesFolder})
        connect(item, &QAction::triggered, this, [this, item] { mnuSetDesktopFolderClick(item); });
}

// ---- Active panel, launch action, refresh ----

TBrowserForm* TMainForm::LeftBrowser() const
{
    return leftBrowser_;
}

TBrowserForm* TMainForm::RightBrowser() const
{
    return rightBrowser_;
}

bool TMainForm::activeFormIsPanel() const
{
    return activeForm_ != nullptr &&
           (activeForm_ == leftBrowser_.data() || activeForm_ == rightBrowser_.data());
}

bool TMainForm::GetActiveBrowser(TBrowserForm*& browser) const
{
    if (activeForm_ != nullptr && activeForm_ == leftBrowser_.data()) {
        browser = leftBrowser_;
    } else if (activeForm_ != nullptr && activeForm_ == rightBrowser_.data()) {
        browser = rightBrowser_;
    } else {
        browser = ToolsInRightSide ? leftBrowser_ : rightBrowser_;
    }
    return browser != nullptr && !browser->isHidden();
}

filelist::TstateOfBrowser& TMainForm::shownList(TBrowserForm& panel) const
{
    return panel.BrowserMode() == filelist::kViewBasket ? panel.BasketView() : panel.Listing();
}

void TMainForm::UpdateLaunchAction()
{
    TBrowserForm* browser = nullptr;
    if (!GetActiveBrowser(browser)) {
        return;
    }
    ui_->actLaunchOperation->setEnabled(tools::CanLaunchTool(CurrentMode, &shownList(*browser)));
}

void TMainForm::actLaunchOperationExecute()
{
    tools::LaunchToolOperation(CurrentMode);
}

void TMainForm::EnableMainControls(bool Enable)
{
    for (QWidget* bar : {static_cast<QWidget*>(ui_->tbMenu), ui_->pnlTbMain}) {
        bar->setEnabled(Enable);
    }
    for (QAction* action : actionModes_->actions()) {
        action->setEnabled(Enable);
    }
    TBrowserForm* browser = nullptr;
    if (Enable && GetActiveBrowser(browser)) {
        browser->UpdateViewButtons();
    }
}

void TMainForm::RefreshPanels()
{
    if (pluginRunning_) {
        return;
    }
    hideQuickSearch();
    if (leftBrowser_ == nullptr || rightBrowser_ == nullptr || rightBrowser_->Listing().busy != 0 ||
        leftBrowser_->Listing().busy != 0 || filelist::OperationBusy) {
        return;
    }
    core::HourglassCursor hourglass;
    if (filelist::RefreshDriveList(filelist::DriveList,
                                   filelist::kDriveListNetwork | filelist::kDriveListBasket)) {
        RebuildDriveControls(leftBrowser_);
        RebuildDriveControls(rightBrowser_);
    }
    rightBrowser_->Refresh();
    leftBrowser_->Refresh();
    rightBrowser_->Repaint();
    leftBrowser_->Repaint();
}

void TMainForm::RebuildDriveControls(TBrowserForm* browser)
{
    if (browser == nullptr) {
        return;
    }
    browser->RebuildDriveControls();
    TBrowserForm* active = nullptr;
    GetActiveBrowser(active);
    if (active != browser) {
        return;
    }
    TDriveBar& shared = *ui_->pnlWithImgDrives;
    shared.layoutWord = Layout;
    BuildDriveButtons(shared, filelist::FindDriveIndex(browser->DriveLetter(), filelist::DriveList),
                      imageListBrowser2_, popFavoritesFolders_, unlessBusy<int>([this](int tag) {
                          TBrowserForm* target = nullptr;
                          if (GetActiveBrowser(target)) {
                              target->btnSetDrive(tag);
                          }
                      }));
    ArrangeDriveBar(shared);
    ui_->pnlTop->setFixedHeight(shared.height() + 6);
}

// ---- Mode switch ----

void TMainForm::actBrowserExecute(QAction* action)
{
    action->setChecked(true);
    SetMode(tagOf(action));
}

void TMainForm::ApplyToolPanelConstraints()
{
    const tools::TSizeConstraints& limits = tools::ToolConstraints();
    QWidget* util = ui_->pnlUtil;
    util->setMaximumHeight(limits.MaxHeight > 0 ? limits.MaxHeight : QWIDGETSIZE_MAX);
    util->setMinimumWidth(limits.MinWidth);
    util->setMaximumWidth(limits.MinWidth > 0 ? limits.MinWidth : QWIDGETSIZE_MAX);
    // The forms as they stand now (title strips and texts may have changed since the limits were
    // taken): the panel is never lower than a form's layout needs, so no control gets squashed.
    int height = limits.MinHeight;
    for (const std::unique_ptr<tools::TTool>& tool : tools::ToolList()) {
        if (QWidget* form = tool->Form.data(); form != nullptr && form->layout() != nullptr) {
            form->ensurePolished();
            height = std::max(height, form->layout()->minimumSize().height());
        }
    }
    util->setMinimumHeight(ui_->pnlFree->height() + height);
}

void TMainForm::placeToolPanel(bool rightSide)
{
    auto* layout = static_cast<QHBoxLayout*>(ui_->pnlBody->layout());
    layout->removeWidget(ui_->pnlUtil);
    layout->insertWidget(rightSide ? 1 : 0, ui_->pnlUtil);
}

void TMainForm::SetMode(int mode)
{
    hideQuickSearch();
    if (mode == CurrentMode) {
        return;
    }
    const bool focusOnPanel = activeFormIsPanel();
    if (CurrentMode == 1) {
        ToolsInRightSide = activeForm_ != nullptr && activeForm_ == leftBrowser_.data();
    }
    ui_->pnlBody->setUpdatesEnabled(false);
    if (mode != 1) {
        ApplyToolPanelConstraints();
        placeToolPanel(ToolsInRightSide);
        if (!focusOnPanel) {
            activeForm_ = tools::ToolForm(mode);
        }
    } else {
        activeForm_ =
            ToolsInRightSide ? static_cast<QWidget*>(leftBrowser_) : static_cast<QWidget*>(rightBrowser_);
    }
    CurrentMode = mode;
    // The mode's action and button show the mode on screen, however the switch came.
    for (QAction* action : actionModes_->actions()) {
        if (tagOf(action) == mode) {
            action->setChecked(true);
        }
    }
    tools::ShowTool(mode);
    ui_->pnlRight->setVisible(mode == 1 || !ToolsInRightSide);
    ui_->pnlLeft->setVisible(mode == 1 || ToolsInRightSide);
    if (rightBrowser_ != nullptr) {
        rightBrowser_->setVisible(!ui_->pnlRight->isHidden());
    }
    if (leftBrowser_ != nullptr) {
        leftBrowser_->setVisible(!ui_->pnlLeft->isHidden());
    }
    ui_->pnlUtil->setVisible(mode != 1);
    ui_->pnlBody->setUpdatesEnabled(true);
    AlignToolPanelTop();
    FormResize();
    QCoreApplication::postEvent(this, new QEvent(MSG_FOCUS_ACTIVE_FORM));
    UpdateLaunchAction();
}

void TMainForm::FormResize()
{
    if (CurrentMode != 1) {
        return;
    }
    ui_->SplitterMain->applyRatio();
}

void TMainForm::AlignToolPanelTop()
{
    mainwindow::AlignToolPanelTop(this);
    if (CurrentMode != 1 && !ui_->pnlUtil->isHidden()) {
        ApplyToolPanelConstraints();
    }
}

// ---- Showing, first paint, messages ----

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous() || shownOnce_) {
        return;
    }
    shownOnce_ = true;
    FormShow();
    QTimer::singleShot(0, this, &TMainForm::DeferredStartup);
}

void TMainForm::FormShow()
{
    ApplyLanguage();
    for (TBrowserForm* panel : {rightBrowser_.data(), leftBrowser_.data()}) {
        if (panel != nullptr) {
            panel->AdjustBarHeights();
        }
    }
    const std::pair<controls::TSpeedButtonNew*, const char*> buttons[] = {{ui_->btnSetModeBrief, "BRIEFMODE"},
                                                                          {ui_->btnSetModeFull, "FULLMODE"},
                                                                          {ui_->btnInvertSel, "SELALL"},
                                                                          {ui_->btnClearBasket, "BSKCLEAR"},
                                                                          {ui_->btnOptions, "BTNOPTN"}};
    for (const auto& [button, name] : buttons) {
        button->setNumGlyphs(3);
        button->setGlyph(glyph(QString::fromLatin1(name)));
    }
    const std::pair<QAction*, const char*> items[] = {{ui_->mnuBrief, "BRIEFMODE1"},
                                                      {ui_->mnuFull, "FULLMODE1"},
                                                      {ui_->mnuClearBasket, "BSKCLEAR1"},
                                                      {ui_->actOptions, "BTNOPTN1"}};
    for (const auto& [item, name] : items) {
        const QPixmap picture = glyph(QString::fromLatin1(name));
        item->setIcon(item->isCheckable() ? markableIcon(picture) : QIcon(picture));
    }
    ApplyScreenLayout(*this);
    const QList<QAction*> modes = actionModes_->actions();
    if (SavedMode >= 1 && SavedMode <= modes.size()) {
        modes[SavedMode - 1]->trigger();
    }
    if (ToolsInRightSide) {
        setTabOrder(ui_->pnlLeft, ui_->pnlRight);
    } else {
        setTabOrder(ui_->pnlRight, ui_->pnlLeft);
    }
}

void TMainForm::DeferredStartup()
{
    if (!firstPaintPending_) {
        return;
    }
    firstPaintPending_ = false;
    // The plug-ins of the program's folder, with the probe program that lies beside them.
    std::string programFolder;
    if (platform::toPosixPath(core::ProgramFolder(), programFolder) != platform::kErrorSuccess)
        programFolder = QCoreApplication::applicationDirPath().toStdString();
    pluginHost_ = std::make_unique<PluginHost>(
        *this, PluginHost::Options{programFolder, programFolder + "/wux_probe", 3000});
    appWindow_ = wuxCreateWindow(
        [](WuxWindow, uint32_t, WuxWParam, WuxLParam, void*) -> intptr_t { return 0; }, nullptr);
    mainWindow_ = createPluginRequestWindow(*pluginHost_);
    pluginHost_->LoadPlugins(ui_->mnuMPlugins);
    if (auto* keyboard = findChild<KeyboardDispatcher*>()) {
        keyboard->PlugInCount = [this] { return static_cast<int>(pluginHost_->pluginList().size()); };
        keyboard->RunPlugIn = [this](int index) { pluginHost_->RunPlugin(index); };
    }
    UpdateLaunchAction();
    for (TBrowserForm* panel : {leftBrowser_.data(), rightBrowser_.data()}) {
        if (panel != nullptr) {
            filelist::RecalcSelection(panel->Listing());
            panel->UpdateStatusLine(0);
        }
    }
    QCoreApplication::postEvent(this, new QEvent(MSG_SHOW_TIP));
}

bool TMainForm::event(QEvent* event)
{
    if (event->type() == MSG_FOCUS_ACTIVE_FORM) {
        if (activeFormIsPanel()) {
            focusGrid(*static_cast<TBrowserForm*>(activeForm_.data()));
        } else if (activeForm_ != nullptr) {
            activeForm_->setFocus();
        }
        return true;
    }
    if (event->type() == MSG_SHOW_TIP) {
        if (ShowTips != 0) {
            mnuItemShowTipsClick();
        }
        return true;
    }
    if (event->type() == platform::shell::kDeviceChangeEvent) {
        QMainWindow::event(event);
        RefreshPanels();
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::changeEvent(QEvent* event)
{
    // Minimise and restore: the plug-in host's taskbar step has nothing to do here.
    QMainWindow::changeEvent(event);
}

void TMainForm::applicationStateChanged(Qt::ApplicationState state)
{
    if (state != Qt::ApplicationActive) {
        return;
    }
    if (!activatedOnce_) {
        activatedOnce_ = true;
        return;
    }
    RefreshPanels();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && (watched == ui_->pnlTools || watched == ui_->pnlOperations)) {
        pnlToolsResize(static_cast<QWidget*>(watched));
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::focusNextPrevChild(bool next)
{
    // Tab goes round the panels' lists and the shown tool's own controls, in the window's tab order;
    // the bars' buttons, the drive boxes and the column titles are passed over.
    QWidget* start = QApplication::focusWidget();
    if (start == nullptr || start->window() != this)
        return QMainWindow::focusNextPrevChild(next);
    QWidget* tool = CurrentMode != 1 ? tools::ToolForm(CurrentMode) : nullptr;
    const auto takesTab = [this, tool](QWidget* widget) {
        if (!widget->isVisibleTo(this) || !widget->isEnabled() || (widget->focusPolicy() & Qt::TabFocus) == 0 ||
            widget->focusProxy() != nullptr)
            return false;
        for (TBrowserForm* panel : {leftBrowser_.data(), rightBrowser_.data()})
            if (panel != nullptr && widget == panel->sgBrowser())
                return true;
        return tool != nullptr && tool->isAncestorOf(widget);
    };
    QWidget* widget = start;
    do {
        widget = next ? widget->nextInFocusChain() : widget->previousInFocusChain();
        if (takesTab(widget)) {
            widget->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    } while (widget != start);
    return true;
}

void TMainForm::focusGrid(TBrowserForm& panel)
{
    if (panel.sgBrowser() != nullptr) {
        panel.sgBrowser()->setFocus();
    }
}

// ---- Shutdown ----

void TMainForm::stopIconThreads()
{
    if (rightBrowser_ != nullptr) {
        rightBrowser_->StopWorker();
    }
    if (leftBrowser_ != nullptr) {
        leftBrowser_->StopWorker();
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    stopIconThreads();
    QMainWindow::closeEvent(event);
}

void TMainForm::ExitApplication()
{
    if (EndMessageLoop) {
        EndMessageLoop();
    } else {
        QCoreApplication::exit(0);
    }
}

void TMainForm::FormDestroy()
{
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    // Exit and Alt+F4 come here without the close step: no listing is freed under a running thread.
    stopIconThreads();
    SaveSettingsOnExit(*this);
    if (tools::toolHost() == this) {
        tools::setToolHost(nullptr);
    }
    if (tools::toolPanelsHost() == this) {
        tools::setToolPanelsHost(nullptr);
    }
    filelist::SetActivePanelSource(nullptr);
    frmAbout = nullptr;
    delete leftBrowser_.data();
    delete rightBrowser_.data();
    tools::ClearToolList();
    detachBasketView(filelist::LeftBasketState);
    detachBasketView(filelist::RightBasketState);
    freeList(filelist::BasketState);
    freeList(LeftBrowserState);
    freeList(RightBrowserState);
}

// ---- Hosts ----

void TMainForm::PressSharedDriveButton(int driveIndex)
{
    if (controls::TSpeedButtonNew* button = ui_->pnlWithImgDrives->DriveButton(driveIndex)) {
        button->setDown(true);
    }
}

void TMainForm::SyncSharedDriveButtons(const TBrowserForm& panel)
{
    if (panel.pnlDisks() == nullptr) {
        return;
    }
    const auto shared = ui_->pnlWithImgDrives->DriveButtons();
    for (std::size_t i = 0; i < shared.size(); ++i) {
        const controls::TSpeedButtonNew* own = panel.pnlDisks()->DriveButton(static_cast<int>(i));
        if (own != nullptr && own->Down()) {
            shared[i]->setDown(true);
        }
    }
}

void TMainForm::ShowDriveInfo(const QString& text, int width)
{
    ui_->pnlInfo->setText(text);
    ui_->pnlInfo->setFixedWidth(width);
    ArrangeDriveBar(*ui_->pnlWithImgDrives);
}

void TMainForm::UpdateViewButtons(bool jumpButtonsEnabled, bool briefDown, bool fullDown)
{
    ui_->btnRJumpToRoot->setEnabled(jumpButtonsEnabled);
    ui_->btnRUpOneLevel->setEnabled(jumpButtonsEnabled);
    ui_->btnSetModeBrief->setDown(briefDown);
    ui_->btnSetModeFull->setDown(fullDown);
}

QMenu* TMainForm::FavoritesMenu() const
{
    return popFavoritesFolders_;
}

std::string TMainForm::MainCaption() const
{
    return platform::toUtf8(windowTitle());
}

QRect TMainForm::MainBounds() const
{
    return frameGeometry();
}

filelist::IBrowserPanel* TMainForm::PanelBesideTools()
{
    return ToolsInRightSide ? static_cast<TBrowserForm*>(leftBrowser_)
                            : static_cast<TBrowserForm*>(rightBrowser_);
}

bool TMainForm::GoToFile(const std::string& Folder, const std::string& Name)
{
    TBrowserForm* browser = nullptr;
    if (!GetActiveBrowser(browser) || browser == nullptr)
        return false;
    browser->ChangeDirectory(Folder, Name);
    browser->sgBrowser()->setFocus();
    return true;
}

void TMainForm::ShowBasketInActivePanel()
{
    TBrowserForm* browser = nullptr;
    if (!GetActiveBrowser(browser) || browser == nullptr)
        return;
    browser->SelectDrive(filelist::FindDriveIndex('*', filelist::DriveList));
    browser->JumpToRoot();
}

int TMainForm::ControlBarMainHeight() const
{
    return ui_->ControlBarMain->isHidden() ? 0 : ui_->ControlBarMain->height();
}

int TMainForm::modeActionCount() const
{
    return static_cast<int>(actionModes_->actions().size());
}

int TMainForm::splitterRatio() const
{
    return ui_->SplitterMain->Ratio();
}

void TMainForm::setSplitterRatio(int ratio)
{
    ui_->SplitterMain->setRatio(ratio);
}

bool TMainForm::leftBrowserIsActive() const
{
    return activeForm_ != nullptr && activeForm_ == leftBrowser_.data();
}

bool TMainForm::panelsSwapped() const
{
    return ui_->pnlRight->x() < ui_->pnlLeft->x();
}

void TMainForm::savePanelSettings()
{
    platform::IniFile ini = tools::SettingsIni();
    if (leftBrowser_ != nullptr) {
        leftBrowser_->SaveSettings(ini, "BROWSER_LEFT");
    }
    if (rightBrowser_ != nullptr) {
        rightBrowser_->SaveSettings(ini, "BROWSER_RIGHT");
    }
}

void TMainForm::applyPanelLayout(std::uint32_t layout)
{
    ui_->pnlWithImgDrives->layoutWord = layout;
    for (TBrowserForm* panel : {leftBrowser_.data(), rightBrowser_.data()}) {
        if (panel != nullptr) {
            panel->ApplyLayout(layout);
        }
    }
}

void TMainForm::updatePanelGrids()
{
    for (TBrowserForm* panel : {leftBrowser_.data(), rightBrowser_.data()}) {
        if (panel != nullptr && !panel->isHidden()) {
            panel->UpdateGrid();
        }
    }
}

} // namespace wux::mainwindow
