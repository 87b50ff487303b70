// The favourite folders: the dialog that names a new one (TfrmFavorites), the favourites popup's
// items after the fixed ones, and the popup's click handler shared by the drive bars that drop it down.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QLabel;

namespace Ui {
class TfrmFavorites;
}

namespace wux::mainwindow {

class TMainForm;
class TBrowserForm;

// Registers the English defaults of the dialog's texts 1900-1903.
void registerFavoritesTexts();

class TfrmFavorites : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFavorites(QWidget* parent = nullptr);
    ~TfrmFavorites() override;

    QLabel* lblName() const;
    QLineEdit* edName() const;
    QLabel* lblLocation() const;
    QLineEdit* edLocation() const;
    QPushButton* btnOk() const;
    QPushButton* btnCancel() const;

    // Adds the name and the location to the favourite lists and closes with OK.
    void btnOkClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TfrmFavorites> ui_;
};

// The proposed name of a favourite: the location's last component, or the whole location for a root.
QString proposedFavoriteName(const QString& location);

// Brings the popup's favourite items up to date with FavoriteNames: the separator after the three
// fixed items once there is a favourite, then one item per favourite, reusing the items there are
// (items are never removed). Each item keeps its favourite's name in its data.
void RebuildFavoritesMenu(QMenu& menu, const std::function<void(QAction*)>& handler);

// The panel a popup item acts on: the panel whose drive bar dropped the popup down, else the active
// panel; nullptr when there is none.
TBrowserForm* FavoritesTarget(TMainForm& window, QMenu& menu);

// Goes to the folder of a favourite item (looked up by its name in FavoriteNames, first match first).
void OpenFavorite(TBrowserForm& panel, const QAction& item);

// Sends the panel to a folder; one that is not a reachable folder leaves the panel where it is and
// shows the system's reason.
void SendPanelToFolder(TBrowserForm& panel, const std::string& folder);

// Adds the active panel's folder as a favourite through TfrmFavorites.
void mnuAddToFavoritesClick(TMainForm& window);

// Builds the popup's favourites from the loaded lists, offers "Add to Favorites..." and wires it.
void InstallFavorites(TMainForm& window, QMenu& menu);

} // namespace wux::mainwindow
