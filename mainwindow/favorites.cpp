#include "mainwindow/favorites.h"

#include "ui_TfrmFavorites.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPointer>
#include <QShowEvent>

#include "core/system_error.h"
#include "core/text_table.h"
#include "filelist/active_panel.h"
#include "filelist/browser_state.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/drive_bar.h"
#include "mainwindow/main_form.h"
#include "mainwindow/settings.h"
#include "platform/file_types.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "ui_TMainForm.h"

namespace wux::mainwindow {

namespace {

constexpr int kTextFavoriteName = 1900;
constexpr int kTextFavoriteLocation = 1901;
constexpr int kTextFavoriteCancel = 1902;
constexpr int kTextFavoriteOk = 1903;
// The popup's fixed items: three folders, the hidden separator and "Add to Favorites...".
constexpr int kFixedItems = 5;

QString text(int id)
{
    return platform::toQString(core::uiText(id));
}

} // namespace

void registerFavoritesTexts()
{
    core::registerDefaultTexts({
        {kTextFavoriteName, "Please specify name for your favorite directory. (This name will be shown in "
                            "the list of popup menu)"},
        {kTextFavoriteLocation, "Location"},
        {kTextFavoriteCancel, "&Cancel"},
        {kTextFavoriteOk, "&Ok"},
    });
}

// ---- TfrmFavorites ----

TfrmFavorites::TfrmFavorites(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TfrmFavorites>())
{
    ui_->setupUi(this);
    ui_->lblName->setText(text(kTextFavoriteName));
    ui_->lblLocation->setText(text(kTextFavoriteLocation));
    ui_->btnCancel->setText(text(kTextFavoriteCancel));
    ui_->btnOk->setText(text(kTextFavoriteOk));
    connect(ui_->btnOk, &QPushButton::clicked, this, &TfrmFavorites::btnOkClick);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmFavorites::~TfrmFavorites() = default;

QLabel* TfrmFavorites::lblName() const
{
    return ui_->lblName;
}
QLineEdit* TfrmFavorites::edName() const
{
    return ui_->edName;
}
QLabel* TfrmFavorites::lblLocation() const
{
    return ui_->lblLocation;
}
QLineEdit* TfrmFavorites::edLocation() const
{
    return ui_->edLocation;
}
QPushButton* TfrmFavorites::btnOk() const
{
    return ui_->btnOk;
}
QPushButton* TfrmFavorites::btnCancel() const
{
    return ui_->btnCancel;
}

QString proposedFavoriteName(const QString& location)
{
    const QString last = location.mid(location.lastIndexOf(QLatin1Char('\\')) + 1);
    return last.isEmpty() ? location : last;
}

void TfrmFavorites::showEvent(QShowEvent* event)
{
    // Centred over the main window.
    QWidget* main = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (main != nullptr)
        move(main->geometry().center() - rect().center());
    ui_->edName->setText(proposedFavoriteName(ui_->edLocation->text()));
    QDialog::showEvent(event);
}

void TfrmFavorites::btnOkClick()
{
    // The location may have been typed, the Linux way too; it is kept in the system's form.
    const std::string typed = platform::toUtf8(ui_->edLocation->text());
    std::string location;
    if (const platform::WinError error = platform::pathFromOutside(typed, location, platform::TypedName::kExisting)) {
        std::string reason;
        core::ShowSystemError(true, error, platform::toUtf8(windowTitle()), typed, reason);
        ui_->edLocation->setFocus();
        return;
    }
    if (location.size() > 1 && location.back() == '\\' && !platform::isDriveRoot(location))
        location.pop_back();
    FavoriteNames().add(platform::toUtf8(ui_->edName->text()));
    FavoriteDirectories().add(location);
    accept();
}

// ---- The popup ----

void RebuildFavoritesMenu(QMenu& menu, const std::function<void(QAction*)>& handler)
{
    const platform::StringList& names = FavoriteNames();
    if (names.count() == 0)
        return;
    if (menu.actions().size() == kFixedItems) {
        auto* separator = new QAction(&menu);
        separator->setSeparator(true);
        menu.insertAction(menu.actions().at(3), separator);
    }
    for (int i = 0; i < names.count(); ++i) {
        const QList<QAction*> items = menu.actions();
        QAction* item = nullptr;
        if (items.size() > i + 6) {
            item = items.at(i + 4);
        } else {
            item = new QAction(&menu);
            menu.insertAction(items.at(items.size() - 2), item);
            QObject::connect(item, &QAction::triggered, &menu, [handler, item] { handler(item); });
        }
        const QString name = platform::toQString(names.at(i));
        item->setText(name);
        item->setData(name);
        item->setProperty("tag", -1);
    }
}

TBrowserForm* FavoritesTarget(TMainForm& window, QMenu& menu)
{
    // The drive bar's favourites button that dropped the popup down tells its panel.
    for (QObject* owner = PopupSource(menu); owner != nullptr;
         owner = owner->parent()) {
        if (auto* panel = qobject_cast<TBrowserForm*>(owner))
            return panel;
    }
    TBrowserForm* browser = nullptr;
    return window.GetActiveBrowser(browser) ? browser : nullptr;
}

void OpenFavorite(TBrowserForm& panel, const QAction& item)
{
    const int index = FavoriteNames().indexOf(platform::toUtf8(item.data().toString()));
    // A hand-edited file may hold fewer folders than names: such a name does nothing.
    if (index < 0 || index >= FavoriteDirectories().count())
        return;
    const std::string& stored = FavoriteDirectories().at(index);
    std::string folder;
    if (const platform::WinError error = platform::pathFromOutside(stored, folder, platform::TypedName::kExisting)) {
        std::string reason;
        core::ShowSystemError(true, error, panel.MainCaption(), stored, reason);
        return;
    }
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    SendPanelToFolder(panel, folder);
}

void SendPanelToFolder(TBrowserForm& panel, const std::string& folder)
{
    // A folder that is gone, a file or a place no drive holds leaves the panel where it is, with the
    // system's reason.
    std::uint32_t attributes = 0;
    platform::WinError error = platform::getAttributes(folder, attributes);
    if (error == platform::kErrorSuccess && (attributes & platform::kAttrDirectory) == 0)
        error = platform::kErrorDirectory;
    if (error != platform::kErrorSuccess) {
        std::string text;
        core::ShowSystemError(true, error, panel.MainCaption(), folder, text);
        return;
    }
    panel.ChangeDirectory(folder, std::string());
}

void mnuAddToFavoritesClick(TMainForm& window)
{
    TBrowserForm* panel = nullptr;
    if (!window.GetActiveBrowser(panel) || panel->BrowserMode() == filelist::kViewTree ||
        panel->BrowserMode() == filelist::kViewBasket)
        return;
    const std::string folder = filelist::FolderPathAsStored(1, panel->Listing());
    std::uint32_t attributes = 0;
    if (folder.empty() || platform::getAttributes(folder, attributes) != platform::kErrorSuccess ||
        (attributes & platform::kAttrDirectory) == 0)
        return;
    TfrmFavorites dialog(&window);
    dialog.edLocation()->setText(platform::toQString(folder));
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (QMenu* menu = window.FavoritesMenu())
        RebuildFavoritesMenu(*menu, [&window](QAction* item) { window.mnuSetDesktopFolderClick(item); });
}

void InstallFavorites(TMainForm& window, QMenu& menu)
{
    Ui::TMainForm& ui = window.ui();
    // The favourites folder has no place on this desktop.
    ui.mnuSetFavoritesFolder->setEnabled(false);
    ui.N1->setVisible(true);
    ui.mnuAddToFavorites->setVisible(true);
    QObject::connect(ui.mnuAddToFavorites, &QAction::triggered, &window,
                     [&window] { mnuAddToFavoritesClick(window); });
    QPointer<TMainForm> guarded(&window);
    RebuildFavoritesMenu(menu, [guarded](QAction* item) {
        if (guarded != nullptr)
            guarded->mnuSetDesktopFolderClick(item);
    });
}

} // namespace wux::mainwindow
