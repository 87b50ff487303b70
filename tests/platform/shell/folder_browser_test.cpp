#include "platform/shell/folder_browser.h"

#include <gtest/gtest.h>

#include <QWidget>

#include "qt_printers.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform::shell {
namespace {

class FolderBrowserTest : public test::TempDriveTest
{
protected:
    ScriptedFolderBrowser browser;
    ScopedFolderBrowser scope{browser};
};

TEST_F(FolderBrowserTest, TheChosenFolderComesBackAsADrivePath)
{
    test::makeFolder(path("start"));
    test::makeFolder(path("chosen folder"));
    browser.answer(QString::fromStdString(posix("chosen folder")));
    browser.answer(QString::fromStdString(drive.root()));
    QWidget owner;

    EXPECT_EQ(browseForFolder(&owner, "Pick one", path("START\\")), "c:\\chosen folder\\");
    EXPECT_EQ(browseForFolder(nullptr, "Again", path("")), "c:\\");

    ASSERT_EQ(browser.requests().size(), 2u);
    EXPECT_EQ(browser.requests()[0].owner, &owner);
    EXPECT_EQ(browser.requests()[0].title, "Pick one");
    EXPECT_EQ(browser.requests()[0].initialFolder, QString::fromStdString(posix("start")));
    EXPECT_EQ(browser.requests()[1].initialFolder, QString::fromStdString(drive.root()));
}

TEST_F(FolderBrowserTest, CancelAndFoldersOnNoDriveGiveNothing)
{
    browser.answer(QString());
    browser.answer(QString::fromStdString(drive.base() + "/outside"));
    EXPECT_EQ(browseForFolder(nullptr, "t", path("")), "");
    EXPECT_EQ(browseForFolder(nullptr, "t", "z:\\unmapped"), "");
    // An empty queue cancels.
    EXPECT_EQ(browseForFolder(nullptr, "t", ""), "");
    ASSERT_EQ(browser.requests().size(), 3u);
    EXPECT_EQ(browser.requests()[1].initialFolder, QString());
    EXPECT_EQ(browser.requests()[2].initialFolder, QString());
}

TEST(FolderBrowser, TheQtDialogIsTheDefault)
{
    EXPECT_NE(dynamic_cast<QtFolderBrowser*>(&folderBrowser()), nullptr);
}

} // namespace
} // namespace wux::platform::shell
