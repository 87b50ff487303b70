#include "mainwindow/mark_commands.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "controls/speed_button_new.h"
#include "controls/wux_string_grid.h"
#include "core/mask_list.h"
#include "core/ring_list.h"
#include "core/text_table.h"
#include "filelist/browser_state.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/keyboard_map.h"
#include "mainwindow/main_commands.h"
#include "mainwindow/main_form.h"
#include "mainwindow/settings.h"
#include "platform/ini_file.h"
#include "platform/string_list.h"
#include "platform/text.h"
#include "tools/query_dialog.h"
#include "tools/tool_list.h"
#include "ui_TMainForm.h"

namespace wux::mainwindow {

namespace {

constexpr int kTextSelectFiles = 20;
constexpr int kTextUnselectFiles = 21;
constexpr int kTextEnterFileTypes = 22;

// The active panel when it is the active form, visible; nullptr otherwise.
TBrowserForm* activeVisiblePanel(TMainForm& window)
{
    TBrowserForm* browser = nullptr;
    if (!window.GetActiveBrowser(browser) || window.ActiveForm() != static_cast<QWidget*>(browser))
        return nullptr;
    return browser;
}

filelist::TstateOfBrowser& shownList(TBrowserForm& panel)
{
    return panel.BrowserMode() == filelist::kViewBasket ? panel.BasketView() : panel.Listing();
}

// After a change of marks: the grid, the totals, the status line, the launch button.
void marksChanged(TMainForm& window, TBrowserForm& panel, filelist::TstateOfBrowser& list)
{
    filelist::RecalcSelection(list);
    panel.Repaint();
    panel.UpdateStatusLine(panel.Cursor());
    window.UpdateLaunchAction();
}

// A query dialog with a drop-down box filled from a history, newest first, showing shown.
std::string askWithHistory(TMainForm& window, int label, core::TVYK_RingList& history, const QString& shown,
                           bool& accepted)
{
    tools::TStandardQuery query(&window);
    query.lblInfo()->setText(platform::toQString(core::uiText(label)));
    query.ShowHistoryBox(history);
    QComboBox* box = query.cbForSelectFiles();
    box->setEditText(shown);
    accepted = query.exec() == QDialog::Accepted;
    return accepted ? platform::toUtf8(box->currentText()) : std::string();
}

void focusGrid(TBrowserForm& panel)
{
    if (panel.sgBrowser() != nullptr)
        panel.sgBrowser()->setFocus();
}

// Rebuilds the listing's mask list from its mask text and lists again.
void applyMask(TMainForm& window, TBrowserForm& panel, const std::string& mask)
{
    filelist::TstateOfBrowser& listing = panel.Listing();
    listing.maskText = mask;
    core::FreeMaskList(listing.maskList);
    listing.maskList = core::TMaskList();
    core::ParseMaskList(listing.maskText, listing.maskList);
    window.RefreshPanels();
}

} // namespace

bool SelectGroup(TMainForm& window, bool select, bool all)
{
    TBrowserForm* panel = activeVisiblePanel(window);
    if (panel == nullptr || panel->BrowserMode() == filelist::kViewTree)
        return false;
    filelist::TstateOfBrowser& list = shownList(*panel);
    if (all) {
        const bool withFolders = !filelist::HasGeneralOption(kOptionFilesOnlyMaskSelection);
        for (std::int32_t folder = 1; folder <= list.folderCount; ++folder)
            filelist::SelectFolderItems(folder, list, withFolders, select ? 2 : 4);
    } else {
        core::TVYK_RingList& history = MaskSelectionHistory();
        platform::StringList newestFirst;
        history.FillStrings(newestFirst);
        const QString first =
            newestFirst.count() > 0 ? platform::toQString(newestFirst.at(0)) : QStringLiteral("*.*");
        bool accepted = false;
        const std::string mask =
            askWithHistory(window, select ? kTextSelectFiles : kTextUnselectFiles, history, first, accepted);
        if (accepted) {
            history.Add(mask);
            for (std::int32_t folder = 1; folder <= list.folderCount; ++folder)
                filelist::SelectByMask(folder, mask, select, list);
        }
    }
    marksChanged(window, *panel, list);
    return true;
}

void SelectByResult(TMainForm& window, std::uint32_t status)
{
    TBrowserForm* panel = nullptr;
    if (!window.GetActiveBrowser(panel))
        return;
    filelist::TstateOfBrowser& list = shownList(*panel);
    for (std::int32_t folder = 1; folder <= list.folderCount; ++folder)
        filelist::SelectByTag(folder, status, true, list);
    marksChanged(window, *panel, list);
}

void mnuAllFilesClick(TMainForm& window)
{
    TBrowserForm* panel = nullptr;
    if (!window.GetActiveBrowser(panel))
        return;
    // The item's mark follows the listing's mask (a click has just toggled it).
    window.GeneralMenuChange();
    if (window.ui().mnuAllFiles->isChecked())
        return;
    applyMask(window, *panel, "*.*");
}

bool AskPanelFilter(TMainForm& window)
{
    TBrowserForm* panel = nullptr;
    if (!window.GetActiveBrowser(panel))
        return false;
    core::TVYK_RingList& history = FilterHistory();
    bool accepted = false;
    const std::string mask = askWithHistory(window, kTextEnterFileTypes, history,
                                            platform::toQString(panel->Listing().maskText), accepted);
    if (accepted) {
        history.Add(mask); // written with the other settings
        applyMask(window, *panel, mask);
    }
    return true;
}

void wireMarkCommands(TMainForm& window)
{
    Ui::TMainForm& ui = window.ui();
    TMainForm* w = &window;
    auto viaKeyDown = [w](int key, Qt::KeyboardModifiers modifiers) {
        TBrowserForm* panel = nullptr;
        if (!w->GetActiveBrowser(panel))
            return;
        focusGrid(*panel);
        if (auto* keys = w->findChild<KeyboardDispatcher*>())
            keys->FormKeyDown(key, modifiers);
    };
    QObject::connect(ui.mnuSelGroup, &QAction::triggered, w,
                     unlessBusy([viaKeyDown] { viaKeyDown(Qt::Key_Plus, Qt::KeypadModifier); }));
    QObject::connect(ui.mnuUnselGr, &QAction::triggered, w,
                     unlessBusy([viaKeyDown] { viaKeyDown(Qt::Key_Minus, Qt::KeypadModifier); }));
    QObject::connect(ui.mnuSelAll, &QAction::triggered, w, unlessBusy([viaKeyDown] {
                         viaKeyDown(Qt::Key_Plus, Qt::KeypadModifier | Qt::ControlModifier);
                     }));
    QObject::connect(ui.mnuUnselAll, &QAction::triggered, w, unlessBusy([viaKeyDown] {
                         viaKeyDown(Qt::Key_Minus, Qt::KeypadModifier | Qt::ControlModifier);
                     }));
    auto invert = [w] {
        TBrowserForm* panel = nullptr;
        if (!w->GetActiveBrowser(panel) || panel->sgBrowser() == nullptr)
            return;
        // The panel's own key handling, not a key event: a sent key would come back through the
        // keyboard's dispatcher as the menu key that brought us here.
        int key = Qt::Key_Asterisk;
        panel->sgBrowserKeyDown(key, Qt::KeypadModifier);
    };
    QObject::connect(ui.mnuInvertSel, &QAction::triggered, w, unlessBusy(invert));
    QObject::connect(ui.btnInvertSel, &QToolButton::clicked, w, unlessBusy(invert));
    QObject::connect(ui.SelectSuccessful, &QAction::triggered, w,
                     unlessBusy([w] { SelectByResult(*w, kResultSuccessful); }));
    QObject::connect(ui.SelectUnchanged, &QAction::triggered, w,
                     unlessBusy([w] { SelectByResult(*w, kResultUnchanged); }));
    QObject::connect(ui.SelectFailed, &QAction::triggered, w,
                     unlessBusy([w] { SelectByResult(*w, kResultFailed); }));
    QObject::connect(ui.mnuAllFiles, &QAction::triggered, w, unlessBusy([w] { mnuAllFilesClick(*w); }));
    QObject::connect(ui.mnuCustom, &QAction::triggered, w,
                     unlessBusy([viaKeyDown] { viaKeyDown(Qt::Key_F12, Qt::ControlModifier); }));
}

} // namespace wux::mainwindow
