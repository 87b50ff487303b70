// The favourite folders: the popup's items over loaded lists and additions, the naming dialog, and
// the clicks that send the panel whose bar dropped the popup down.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "main_form_fixture.h"
#include "mainwindow/drive_bar.h"
#include "mainwindow/favorites.h"
#include "platform/ini_file.h"
#include "tools/tool_list.h"

namespace wux::mainwindow::test {
namespace {

using wux::test::makeFolder;

class FavoritesTest : public MainFormTest
{
protected:
    // The popup as the user sees it: captions, "-" for a separator, hidden items left out.
    std::vector<std::string> popup()
    {
        std::vector<std::string> shown;
        for (QAction* item : window->FavoritesMenu()->actions()) {
            if (item->isVisible())
                shown.push_back(item->isSeparator() ? "-" : item->text().toStdString());
        }
        return shown;
    }
    QAction* favorite(const std::string& caption, int nth = 0)
    {
        for (QAction* item : window->FavoritesMenu()->actions()) {
            if (item->text().toStdString() == caption && nth-- == 0)
                return item;
        }
        ADD_FAILURE() << caption;
        return nullptr;
    }
    // Answers the next naming dialog: records its texts, types a name (unless empty) and clicks OK.
    void onFavorites(const std::string& name)
    {
        auto* timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, name] {
            auto* dialog = qobject_cast<TfrmFavorites*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            timer->stop();
            timer->deleteLater();
            proposed = dialog->edName()->text().toStdString();
            location = dialog->edLocation()->text().toStdString();
            centre = dialog->geometry().center() - window->geometry().center();
            if (!name.empty())
                dialog->edName()->setText(QString::fromStdString(name));
            QTest::mouseClick(dialog->btnOk(), Qt::LeftButton);
        });
        timer->start();
    }
    // Restarts the window over favourite lists stored in the settings file.
    void restartWith(const std::vector<std::string>& names, const std::vector<std::string>& folders)
    {
        closeWindow();
        platform::StringList nameList;
        platform::StringList folderList;
        for (const std::string& name : names)
            nameList.add(name);
        for (const std::string& folder : folders)
            folderList.add(folder);
        platform::IniFile ini = tools::SettingsIni();
        ini.writeBinaryStream(kFavoritesSection, "F_NAMES", nameList.text());
        ini.writeBinaryStream(kFavoritesSection, "F_DIRECTORIES", folderList.text());
        open();
    }
    std::string proposed;
    std::string location;
    QPoint centre;
};

const std::vector<std::string> kFixed = {"Desktop", "My Documents", "Favorites"};

std::vector<std::string> fixedThen(std::vector<std::string> rest)
{
    std::vector<std::string> all = kFixed;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

TEST_F(FavoritesTest, MenuOverLoadedListsAdditionsAndDuplicates)
{
    makeFolder(path("work"));
    makeFolder(path("work\\music"));
    makeFolder(path("docs"));
    startIn(path("work\\music"), path("docs"));
    // A hand-edited file: a name without a folder.
    restartWith({"Work", "Docs", "Orphan"}, {path("work\\"), path("docs")});
    // The lists from the settings reach the menu at once; the favourites folder is unknown here.
    EXPECT_EQ(popup(), fixedThen({"-", "Work", "Docs", "Orphan", "-", "Add to Favorites..."}));
    EXPECT_FALSE(favorite("Favorites")->isEnabled());
    window->SetActiveForm(&left());
    favorite("Orphan")->trigger();
    EXPECT_EQ(folderOf(left()), path("work\\music")) << "a name without a folder does nothing";

    // Additions: the folder's last name is proposed; the same name twice keeps both items.
    struct Row
    {
        std::string typed; // empty: the proposal is kept
        std::string proposed;
        std::vector<std::string> menu;
    };
    const Row rows[] = {
        {"", "music", fixedThen({"-", "Work", "Docs", "Orphan", "music", "-", "Add to Favorites..."})},
        {"Work", "music",
         fixedThen({"-", "Work", "Docs", "Orphan", "music", "Work", "-", "Add to Favorites..."})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        window->SetActiveForm(&left());
        onFavorites(row.typed);
        favorite("Add to Favorites...")->trigger();
        EXPECT_EQ(proposed, row.proposed);
        EXPECT_EQ(location, path("work\\music"));
        // Centred over the main window (within the window frame's few pixels).
        EXPECT_LE(std::abs(centre.x()) + std::abs(centre.y()), 4);
        EXPECT_EQ(popup(), row.menu);
    }
    EXPECT_EQ(FavoriteDirectories().count(), 4);
    EXPECT_EQ(FavoriteDirectories().at(3), path("work\\music"));

    // Clicks: the first "Work" wins for both; a trailing "\" is dropped.
    struct Click
    {
        std::string caption;
        int nth;
        std::string folder;
    };
    const Click clicks[] = {{"Docs", 0, path("docs")},
                            {"Work", 1, path("work")},
                            {"music", 0, path("work\\music")},
                            {"Work", 0, path("work")}};
    window->SetActiveForm(&left());
    for (const Click& click : clicks) {
        SCOPED_TRACE(click.caption);
        SetPopupSource(*window->FavoritesMenu(), nullptr);
        favorite(click.caption, click.nth)->trigger();
        EXPECT_EQ(folderOf(left()), click.folder);
    }
}

TEST_F(FavoritesTest, DriveRootProposesItsWholePathAndThePopupServesItsOpener)
{
    makeFolder(path("one"));
    makeFolder(path("two"));
    startIn(path("two"), path("two"));
    restartWith({"One"}, {path("one")});

    // The dialog's texts, and a root's name.
    TfrmFavorites dialog(window.get());
    EXPECT_EQ(dialog.lblName()->text().toStdString(),
              "Please specify name for your favorite directory. (This name will be shown in the list of "
              "popup menu)");
    EXPECT_EQ(dialog.lblLocation()->text().toStdString(), "Location");
    EXPECT_EQ(dialog.btnOk()->text().toStdString(), "&Ok");
    EXPECT_EQ(dialog.btnCancel()->text().toStdString(), "&Cancel");
    for (const auto& [where, name] : std::vector<std::pair<QString, QString>>{
             {"c:\\", "c:\\"}, {"c:\\a\\b", "b"}, {"\\\\server\\share", "share"}, {"", ""}})
        EXPECT_EQ(proposedFavoriteName(where), name) << where.toStdString();

    // The right panel's bar dropped the popup down while the left panel is active.
    window->SetActiveForm(&left());
    auto* rightButton = right().pnlDisks()->findChild<QToolButton*>("btnFavorites");
    ASSERT_NE(rightButton, nullptr);
    SetPopupSource(*window->FavoritesMenu(), rightButton);
    favorite("One")->trigger();
    EXPECT_EQ(folderOf(right()), path("one"));
    EXPECT_EQ(folderOf(left()), path("two"));
    // The shared bar belongs to no panel: the active one goes.
    auto* sharedButton = child<QWidget>("pnlWithImgDrives")->findChild<QToolButton*>("btnFavorites");
    ASSERT_NE(sharedButton, nullptr);
    SetPopupSource(*window->FavoritesMenu(), sharedButton);
    favorite("One")->trigger();
    EXPECT_EQ(folderOf(left()), path("one"));
}

// A location typed the Linux way is kept in the system's form; one that no drive holds is said and
// the dialog stays for another; a hand-edited file's Linux form is opened too.
TEST_F(FavoritesTest, ALocationTypedTheLinuxWayIsKeptInTheSystemsForm)
{
    makeFolder(path("work\\Music"));
    makeFolder(path("docs"));
    startIn(path("docs"), path("docs"));
    bool stayedOpen = false;
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [this, timer, &stayedOpen] {
        auto* dialog = qobject_cast<TfrmFavorites*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        timer->stop();
        timer->deleteLater();
        dialog->edName()->setText("Tunes");
        dialog->edLocation()->setText(QString::fromStdString(drive.base() + "/elsewhere"));
        QTest::mouseClick(dialog->btnOk(), Qt::LeftButton);
        stayedOpen = dialog->isVisible();
        dialog->edLocation()->setText(QString::fromStdString(posix("work/music") + "/"));
        QTest::mouseClick(dialog->btnOk(), Qt::LeftButton);
    });
    timer->start();
    window->SetActiveForm(&left());
    favorite("Add to Favorites...")->trigger();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialogs.texts(),
              std::vector<std::string>{drive.base() + "/elsewhere\r\nThe system cannot find the drive specified."});
    ASSERT_EQ(FavoriteDirectories().count(), 1);
    EXPECT_EQ(FavoriteDirectories().at(0), path("work\\Music"));
    favorite("Tunes")->trigger();
    EXPECT_EQ(folderOf(left()), path("work\\Music"));

    restartWith({"Hand"}, {posix("docs") + "/"});
    window->SetActiveForm(&left());
    favorite("Hand")->trigger();
    EXPECT_EQ(folderOf(left()), path("docs"));
}

} // namespace
} // namespace wux::mainwindow::test
