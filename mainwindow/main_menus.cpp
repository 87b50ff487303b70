#include "mainwindow/main_menus.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include <QMenuBar>

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QObject>
#include <QWidget>

#include "controls/speed_button_new.h"
#include "controls/wux_string_grid.h"
#include "core/hourglass.h"
#include "core/text_table.h"
#include "filelist/browser_state.h"
#include "filelist/list_operations.h"
#include "mainwindow/about.h"
#include "mainwindow/basket_lists.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/favorites.h"
#include "mainwindow/main_form.h"
#include "mainwindow/options_dialog.h"
#include "mainwindow/settings.h"
#include "mainwindow/tips.h"
#include "platform/help.h"
#include "platform/shell/special_folders.h"
#include "platform/text.h"
#include "tools/tool_host.h"
#include "tools/tool_list.h"
#include "ui_TMainForm.h"

namespace wux::mainwindow {

namespace {

using T = TextTarget;

} // namespace

QString uiQText(int id)
{
    return platform::toQString(core::uiText(id));
}

void registerMainWindowTexts()
{
    core::registerDefaultTexts({
        {408, "Brief"},
        {409, "Full"},
        {410, "Tree"},
        {411, "Options"},
        {412, "Invert selection"},
        {413, "Clear Basket"},
        {414, "F3 View"},
        {415, "F4 Edit"},
        {416, "F5 Copy"},
        {417, "F6 RenMov"},
        {418, "F7 MkDir"},
        {419, "F8 Delete"},
        {420, "Exit"},
        {421, "Exit"},
        {422, "Search:"},
        {423, "Tools"},
        {424, "&Files"},
        {425, "Start operation..."},
        {426, "Reread source"},
        {427, "Add network drive..."},
        {428, "Disconnect network drive..."},
        {429, "Properties..."},
        {430, "Exit"},
        {431, "&View"},
        {432, "Operations"},
        {436, "Options..."},
        {437, "&Mark"},
        {438, "Select Group..."},
        {439, "Unselect Group..."},
        {440, "Select All"},
        {441, "Unselect All"},
        {442, "Invert Selection"},
        {443, "Select Successful"},
        {444, "Select Unchanged"},
        {445, "Select Failed"},
        {446, "Sho&w"},
        {447, "Brief"},
        {448, "Full"},
        {449, "Tree"},
        {450, "All files"},
        {451, "Custom..."},
        {452, "Name"},
        {453, "Extension"},
        {454, "Date"},
        {455, "Size"},
        {456, "Reverse order"},
        {457, "&Help"},
        {458, "Contents"},
        {460, "Feedback and Technical support"},
        {461, "Tip Of The Day..."},
        {464, "About"},
        {465, "Tutorials"},
        {466, "Pl&ug-ins"},
        {467, "Get new plug-ins"},
        {468, "What is plug-in"},
        {469, "Add to Favorites..."},
    });
}

const std::vector<TextBinding>& mainWindowTextBindings()
{
    static const std::vector<TextBinding> bindings = {
        {408, "btnSetModeBrief", T::Hint},
        {409, "btnSetModeFull", T::Hint},
        {411, "btnOptions", T::Hint},
        {412, "btnInvertSel", T::Hint},
        {413, "btnClearBasket", T::Hint},
        {413, "mnuClearBasket", T::Caption},
        {414, "btnViewF3", T::Caption},
        {415, "btnEdit", T::Caption},
        {416, "btnCopy", T::Caption},
        {417, "btnRenMove", T::Caption},
        {418, "btnMkDir", T::Caption},
        {419, "btnDelete", T::Caption},
        {414, "mnuView", T::StrippedCaption},
        {415, "mnuEdit", T::StrippedCaption},
        {416, "mnuCopy", T::StrippedCaption},
        {417, "mnuRenMove", T::StrippedCaption},
        {418, "mnuMkDir", T::StrippedCaption},
        {419, "mnuDelete", T::StrippedCaption},
        {420, "btnExit", T::Hint},
        {421, "btnExit", T::Caption},
        {422, "lblSearch", T::Caption},
        {423, "mnuToolsToolbar", T::Caption},
        {424, "mnuMFile", T::Caption},
        {425, "actLaunchOperation", T::Caption},
        {426, "mnuRereadSource", T::Caption},
        {427, "mnuConDrive", T::Caption},
        {428, "mnuDisConDrive", T::Caption},
        {429, "mnuProperties", T::Caption},
        {430, "mnuExit", T::Caption},
        {431, "mnuMView", T::Caption},
        {432, "mnuOperations", T::Caption},
        {436, "actOptions", T::Caption},
        {437, "mnuMMark", T::Caption},
        {438, "mnuSelGroup", T::Caption},
        {439, "mnuUnselGr", T::Caption},
        {440, "mnuSelAll", T::Caption},
        {441, "mnuUnselAll", T::Caption},
        {442, "mnuInvertSel", T::Caption},
        {443, "SelectSuccessful", T::Caption},
        {444, "SelectUnchanged", T::Caption},
        {445, "SelectFailed", T::Caption},
        {446, "mnuMShow", T::Caption},
        {447, "mnuBrief", T::Caption},
        {448, "mnuFull", T::Caption},
        {450, "mnuAllFiles", T::Caption},
        {451, "mnuCustom", T::Caption},
        {452, "mnuSortName", T::Caption},
        {453, "mnuSortExt", T::Caption},
        {454, "mnuSortDate", T::Caption},
        {455, "mnuSortSize", T::Caption},
        {456, "mnuSortRevers", T::Caption},
        {457, "mnuMHelp", T::Caption},
        {458, "actHelpContents", T::Caption},
        {460, "mnuFeedbackAndTechnicalSupport", T::Caption},
        {461, "mnuItemShowTips", T::Caption},
        {464, "mnuAbout", T::Caption},
        {465, "mnuTutorials", T::Caption},
        {466, "mnuMPlugins", T::Caption},
        {467, "mnuGetnewplugins", T::Caption},
        {468, "mnuWhatisplugin", T::Caption},
        {469, "mnuAddToFavorites", T::Caption},
        {700, "actBrowser", T::Caption},
        {701, "actBrowser", T::Hint},
        {702, "mnuSendToBasket", T::Caption},
    };
    return bindings;
}

namespace {

// A form of its own inside the main window, or a window of its own: its components share names with
// the main window's (btnEdit, btnDelete, lblSearch) and take their texts from their own numbers.
bool isOtherForm(const QObject* object)
{
    return qobject_cast<const TBrowserForm*>(object) != nullptr ||
           dynamic_cast<const tools::IToolForm*>(object) != nullptr ||
           qobject_cast<const QDialog*>(object) != nullptr;
}

// The component of that name that belongs to root itself, searched breadth first.
QObject* ownComponent(QObject* root, QLatin1String name)
{
    if (root->objectName() == name)
        return root;
    std::vector<QObject*> level{root};
    while (!level.empty()) {
        std::vector<QObject*> next;
        for (QObject* parent : level) {
            for (QObject* child : parent->children()) {
                if (isOtherForm(child))
                    continue;
                if (child->objectName() == name)
                    return child;
                next.push_back(child);
            }
        }
        level = std::move(next);
    }
    return nullptr;
}

} // namespace

bool applyText(QObject* root, const TextBinding& binding)
{
    QObject* component = ownComponent(root, QLatin1String(binding.component));
    if (component == nullptr) {
        return false;
    }
    std::string text = core::uiText(binding.id);
    if (binding.target == T::StrippedCaption) {
        text = StripFirstWord(text);
    }
    const QString value = platform::toQString(text);
    const bool caption = binding.target != T::Hint;
    const bool hint = binding.target == T::Hint || binding.target == T::CaptionAndHint;
    if (auto* menu = qobject_cast<QMenu*>(component)) {
        if (caption) {
            menu->setTitle(value);
        }
        if (hint) {
            menu->setToolTip(value);
        }
    } else if (auto* action = qobject_cast<QAction*>(component)) {
        if (caption) {
            action->setText(value);
        }
        if (hint) {
            action->setToolTip(value);
            action->setStatusTip(value);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(component)) {
        if (caption) {
            button->setText(value);
        }
        if (hint) {
            button->setToolTip(value);
        }
    } else if (auto* label = qobject_cast<QLabel*>(component)) {
        if (caption) {
            label->setText(value);
        }
        if (hint) {
            label->setToolTip(value);
        }
    } else if (auto* widget = qobject_cast<QWidget*>(component)) {
        if (hint) {
            widget->setToolTip(value);
        }
    }
    return true;
}

std::string StripFirstWord(std::string_view text)
{
    if (text.size() >= 2) {
        const std::size_t blank = text.substr(0, text.size() - 1).find(' ');
        if (blank != std::string_view::npos) {
            return std::string(text.substr(blank + 1));
        }
    }
    return std::string(text);
}

std::vector<int> pnlToolsResize(int panelWidth, const std::vector<RowButton>& buttons)
{
    std::vector<int> widths;
    widths.reserve(buttons.size());
    int named = 0;
    int unnamedWidth = 0;
    for (const RowButton& button : buttons) {
        widths.push_back(button.width);
        if (button.named) {
            ++named;
        } else {
            unnamedWidth += button.width;
        }
    }
    if (named == 0) {
        return widths;
    }
    const int share = (panelWidth - unnamedWidth) / named;
    int last = -1;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i].named) {
            widths[i] = share;
            last = static_cast<int>(i);
        }
    }
    const int total = std::accumulate(widths.begin(), widths.end(), 0);
    widths[static_cast<std::size_t>(last)] = panelWidth - total + share;
    return widths;
}

// ---- The main window's menus and toolbars ----

namespace {

constexpr int kTextSaveBasketList = 703;
constexpr int kTextLoadBasketList = 704;
constexpr std::uint32_t kSortDescending = 0x2000;

// Sort column of the sort items by Tag: 1 name, 2 extension, 3 date, 4 size, 5 reverse (-1).
int sortColumnOfTag(int tag)
{
    switch (tag) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 3:
        return 3;
    case 4:
        return 2;
    default:
        return -1;
    }
}

} // namespace

void TMainForm::ApplyLanguage()
{
    for (const TextBinding& binding : mainWindowTextBindings()) {
        applyText(this, binding);
    }
    for (TBrowserForm* panel : {leftBrowser_.data(), rightBrowser_.data()}) {
        if (panel != nullptr) {
            panel->ApplyLanguage();
        }
    }
    tools::RetranslateTools();
    ui_->mnuSaveBasketList->setText(uiQText(kTextSaveBasketList));
    ui_->mnuLoadBasketList->setText(uiQText(kTextLoadBasketList));
    FitMenuToolbar();
    if (leftBrowser_ != nullptr) {
        leftBrowser_->UpdateBasketInfo();
    }
}

void TMainForm::FitMenuToolbar()
{
    RebuildDriveControls(leftBrowser_);
    RebuildDriveControls(rightBrowser_);
    ui_->tbMenu->adjustSize();
    ui_->tbMenu->setFixedWidth(ui_->tbMenu->sizeHint().width() + 5);
    // The mode buttons share their band's width equally: the band is never narrower than the widest
    // caption needs for each of them (it wraps to a row of its own instead).
    int widest = 0;
    int count = 0;
    for (const auto* button :
         ui_->pnlTools->findChildren<controls::TSpeedButtonNew*>(Qt::FindDirectChildrenOnly)) {
        if (!button->objectName().isEmpty()) {
            widest = std::max(widest, button->captionFitWidth());
            ++count;
        }
    }
    ui_->pnlTools->setMinimumWidth(widest * count);
}

void TMainForm::btnSetModeBriefClick(int tag)
{
    TBrowserForm* browser = nullptr;
    if (!GetActiveBrowser(browser)) {
        return;
    }
    if (browser->BrowserMode() != filelist::kViewBasket) {
        browser->SetBrowserMode(tag);
    } else if (tag != 3) {
        browser->SetBasketMode(tag);
        browser->UpdateGrid();
        browser->UpdateHeader();
        browser->Repaint();
        browser->UpdateViewButtons();
        focusGrid(*browser);
    }
}

void TMainForm::mnuSortNameClick(int tag)
{
    TBrowserForm* browser = nullptr;
    if (GetActiveBrowser(browser)) {
        browser->SetKindOfSort(sortColumnOfTag(tag));
    }
}

void TMainForm::GeneralMenuChange()
{
    TBrowserForm* browser = nullptr;
    if (!GetActiveBrowser(browser)) {
        ui_->mnuProperties->setEnabled(false);
        return;
    }
    std::int32_t folder = 0;
    std::int32_t position = 0;
    ui_->mnuProperties->setEnabled(browser->CursorToItem(folder, position));
    const bool allFiles = browser->Listing().maskText == "*.*";
    ui_->mnuAllFiles->setChecked(allFiles);
    ui_->mnuCustom->setChecked(!allFiles);
    const std::uint32_t sortWord = shownList(*browser).sortWord;
    QAction* const sortItems[] = {ui_->mnuSortName, ui_->mnuSortExt, ui_->mnuSortSize, ui_->mnuSortDate};
    for (std::uint32_t key = 0; key < 4; ++key) {
        sortItems[key]->setChecked((sortWord & 7) == key);
    }
    ui_->mnuSortRevers->setChecked((sortWord & kSortDescending) != 0);
    ui_->mnuBrief->setChecked(ui_->btnSetModeBrief->Down());
    ui_->mnuFull->setChecked(ui_->btnSetModeFull->Down());
}

void TMainForm::mnuMainToolbarClick()
{
    ui_->pnlTbMain->setVisible(ui_->pnlTbMain->isHidden());
    const bool shown = !ui_->pnlTbMain->isHidden();
    ui_->mnuMainToolbar->setChecked(shown);
    Layout &= ~kLayoutMainToolbar;
    if (shown) {
        Layout |= kLayoutMainToolbar;
    }
}

void TMainForm::mnuToolsToolbarClick()
{
    ui_->pnlTools->setVisible(ui_->pnlTools->isHidden());
    ui_->mnuToolsToolbar->setChecked(!ui_->pnlTools->isHidden());
}

void TMainForm::pnlToolsResize(QWidget* panel)
{
    std::vector<controls::TSpeedButtonNew*> buttons;
    for (QObject* child : panel->children()) {
        if (auto* button = qobject_cast<controls::TSpeedButtonNew*>(child)) {
            buttons.push_back(button);
        }
    }
    std::stable_sort(buttons.begin(), buttons.end(),
                     [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
    std::vector<RowButton> row;
    for (const controls::TSpeedButtonNew* button : buttons) {
        row.push_back({!button->objectName().isEmpty(), button->width()});
    }
    const std::vector<int> widths = mainwindow::pnlToolsResize(panel->width(), row);
    int x = 0;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        buttons[i]->setGeometry(x, buttons[i]->y(), widths[i], buttons[i]->height());
        x += widths[i];
    }
}

void TMainForm::mnuRereadSourceClick()
{
    RefreshPanels();
}

void TMainForm::mnuPropertiesClick()
{
    TBrowserForm* browser = nullptr;
    if (GetActiveBrowser(browser)) {
        focusGrid(*browser);
        int key = Qt::Key_Return;
        browser->sgBrowserKeyDown(key, Qt::AltModifier);
    }
}

void TMainForm::mnuSendToBasketClick()
{
    TBrowserForm* browser = nullptr;
    if (GetActiveBrowser(browser)) {
        browser->btnSendTobasketClick();
    }
}

void TMainForm::btnClearBasketClick()
{
    ClearBasket();
    RefreshPanels();
}

void TMainForm::mnuSaveBasketListClick()
{
    SaveBasketListWithDialog(this, MainCaption());
}

void TMainForm::mnuLoadBasketListClick()
{
    if (LoadBasketListWithDialog(this, MainCaption())) {
        RefreshPanels();
    }
}

void TMainForm::btnRJumpToRootClick()
{
    TBrowserForm* browser = nullptr;
    if (GetActiveBrowser(browser)) {
        browser->JumpToRoot();
    }
}

void TMainForm::btnRUpOneLevelClick()
{
    TBrowserForm* browser = nullptr;
    if (GetActiveBrowser(browser)) {
        browser->btnRUpOneLevelClick();
    }
}

void TMainForm::actOptionsExecute()
{
    hideQuickSearch();
    ShowOptionsDialog(*this, this);
}

void TMainForm::actHelpExecute()
{
    if (!tools::ToolHelp(CurrentMode)) {
        tools::showToolHelp("BROWSER.htm");
    }
}

void TMainForm::actHelpContentsExecute()
{
    tools::showToolHelp("CONTENTS.htm");
}

void TMainForm::mnuItemShowTipsClick()
{
    showTipOfTheDay(ShowTips, this);
}

void TMainForm::mnuAboutClick()
{
    if (frmAbout != nullptr) {
        frmAbout->exec();
        return;
    }
    TfrmAbout about(this);
    about.exec();
}

void TMainForm::mnuSetDesktopFolderClick(QAction* item)
{
    TBrowserForm* browser = FavoritesTarget(*this, *popFavoritesFolders_);
    if (browser == nullptr) {
        return;
    }
    platform::shell::SpecialFolder folder = platform::shell::SpecialFolder::kDesktopDirectory;
    switch (item->property("tag").toInt()) {
    case 1:
        break;
    case 2:
        folder = platform::shell::SpecialFolder::kPersonal;
        break;
    case 3:
        folder = platform::shell::SpecialFolder::kFavorites;
        break;
    default:
        OpenFavorite(*browser, *item);
        return;
    }
    std::string path = platform::shell::specialFolderPath(folder);
    if (path.empty()) {
        return;
    }
    if (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    SendPanelToFolder(*browser, path);
}

} // namespace wux::mainwindow
