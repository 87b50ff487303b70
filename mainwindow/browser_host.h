// What a browser panel needs of the window that hosts it (the main window). The panel calls these
// and nothing else of its host; the main window implements them, tests use a double.
#pragma once

#include <string>

class QMenu;
class QString;
class QWidget;

namespace wux::controls {
class TImageList;
}

namespace wux::mainwindow {

class TBrowserForm;

class IBrowserHost
{
public:
    virtual ~IBrowserHost() = default;

    // `ActiveForm`: the form that last took the focus (a panel or the current tool form); nullptr
    // before any did. The panel sets itself when it takes the focus.
    virtual QWidget* ActiveForm() const = 0;
    virtual void SetActiveForm(QWidget* form) = 0;

    // Asks the current tool whether it can start and enables the launch action accordingly.
    virtual void UpdateLaunchAction() = 0;
    // Lines the tool forms up with the grid area of the panel that stays visible.
    virtual void AlignToolPanelTop() = 0;

    // The main window's own drive controls, which follow the active panel:
    // - the shared drive bar's button of that index goes down;
    virtual void PressSharedDriveButton(int driveIndex) = 0;
    // - every shared drive button takes the Down state of the panel's button of the same index;
    virtual void SyncSharedDriveButtons(const TBrowserForm& panel) = 0;
    // - `pnlInfo` shows the drive line (width: the text's width), and the shared bar is re-aligned;
    virtual void ShowDriveInfo(const QString& text, int width) = 0;
    // - the view buttons: the main window's jump buttons are enabled in the brief and full views;
    //   `btnSetModeBrief` / `btnSetModeFull` are down for the brief / full layouts.
    virtual void UpdateViewButtons(bool jumpButtonsEnabled, bool briefDown, bool fullDown) = 0;

    // Sends the active list's selection to the Basket (file operation 8, without a dialog).
    virtual void SendSelectionToBasket() = 0;

    // Images: the header's sort arrows (`UpDownImages`), the program's list icons drawn for negative
    // icon indexes (`ImageListBrowser`) and the drive bars' favourites image (`ImageListBrowser2`).
    // Any may be nullptr.
    virtual controls::TImageList* UpDownImages() const = 0;
    virtual controls::TImageList* ImageListBrowser() const = 0;
    virtual controls::TImageList* ImageListBrowser2() const = 0;
    // `popFavoritesFolders`, dropped down by the drive bars' favourites button (nullptr: none).
    virtual QMenu* FavoritesMenu() const = 0;

    // The main window's caption (the title of the panel's message boxes).
    virtual std::string MainCaption() const = 0;
};

} // namespace wux::mainwindow
