#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

#include "controls/wux_string_grid.h"
#include "core/text_table.h"
#include "filelist/item_actions.h"
#include "list_builder.h"
#include "platform/dialogs.h"
#include "platform/fault_injection.h"
#include "platform/shell/context_menu.h"
#include "platform/shell/program_starter.h"
#include "platform/shell/properties_dialog.h"
#include "support/env_guard.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::filelist {
namespace {

using platform::shell::RecordingProgramStarter;
using test::dir;
using test::file;

// Answers the next popup menu with key presses once it is shown; notes whether the grid holds the
// menu meanwhile.
void pressInNextMenu(std::vector<Qt::Key> keys, controls::TWUXStringGrid* grid, bool* menuNoted)
{
    QTimer::singleShot(0, [keys, grid, menuNoted] {
        QWidget* popup = QApplication::activePopupWidget();
        if (popup == nullptr) {
            pressInNextMenu(keys, grid, menuNoted);
            return;
        }
        *menuNoted = grid->ICM() != nullptr;
        for (Qt::Key key : keys)
            QTest::keyClick(popup, key);
    });
}

class ItemActionsTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        savedViewer_ = ViewerProgram;
        savedEditor_ = EditorProgram;
        ViewerProgram = "myviewer";
        EditorProgram = "myeditor";
        // The configured programs are there to be started.
        for (const char* program : {"bin/myviewer", "bin/myeditor"})
            wux::test::createFile(posix(program), "#!/bin/sh\n", wux::test::kNoTime, 0755);
        env.set("PATH", posix("bin"));
        wux::test::createFile(path("docs\\a.txt"), "alpha");
        wux::test::createFile(path("docs\\run.sh"), "#!/bin/sh\nexit 0\n", wux::test::kNoTime, 0755);
        wux::test::makeFolder(path("docs\\sub"));
        test::makeList(listing, {file("a.txt"), dir("sub"), file("gone.txt"), file("run.sh")}, 1,
                       path("docs"));
    }

    void TearDown() override
    {
        ViewerProgram = savedViewer_;
        EditorProgram = savedEditor_;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<platform::shell::TPropertiesDialog*>(widget))
                delete widget;
        }
    }

    std::int32_t at(std::string_view name) { return test::positionOf(listing, name); }
    QString posixText(std::string_view relative) { return QString::fromStdString(posix(relative)); }

    // The one start that was recorded.
    const RecordingProgramStarter::Call& onlyCall()
    {
        EXPECT_EQ(starter.calls().size(), 1u);
        static const RecordingProgramStarter::Call none;
        return starter.calls().empty() ? none : starter.calls().front();
    }

    // The one recorded start as "start <program> <arguments> in <folder>" or "open <posix path>",
    // "docs" standing for the POSIX path of c:\docs.
    std::string onlyCallText()
    {
        const RecordingProgramStarter::Call& call = onlyCall();
        const QString docs = posixText("docs");
        QString text = call.kind == RecordingProgramStarter::Kind::kOpenUrl
                           ? "open " + call.url.toLocalFile()
                           : "start " + call.program + " " + call.arguments.join(' ') + " in " +
                                 QDir::cleanPath(call.workingFolder);
        return text.replace(docs, "docs").toStdString();
    }

    void expectFileNotFound(platform::MsgIcon icon)
    {
        ASSERT_EQ(dialogs.records().size(), 1u);
        EXPECT_EQ(dialogs.records()[0].request.text, "File not found");
        EXPECT_EQ(dialogs.records()[0].request.caption, "error!");
        EXPECT_EQ(dialogs.records()[0].request.icon, icon);
    }

    TstateOfBrowser listing;
    test::ListGuard guard{listing};
    RecordingProgramStarter starter;
    platform::shell::ScopedProgramStarter starterScope{starter};
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService dialogScope{dialogs};
    wux::test::EnvGuard env;

private:
    std::string savedViewer_;
    std::string savedEditor_;
};

TEST_F(ItemActionsTest, OpenItemStartsTheViewerOrTheEditorOnTheFile)
{
    for (const bool useEditor : {false, true}) {
        starter.clear();
        OpenItem(1, at("a.txt"), listing, useEditor);
        EXPECT_EQ(onlyCallText(),
                  useEditor ? "start myeditor docs/a.txt in docs" : "start myviewer docs/a.txt in docs");
    }
    EXPECT_TRUE(dialogs.records().empty());
    // A folder opens in the file window; a flat view takes the folder from the saved block.
    starter.clear();
    OpenItem(1, at("sub"), listing, false);
    EXPECT_EQ(onlyCallText(), "open docs/sub");
    starter.clear();
    BeginFlatView(listing, listing.itemCount);
    OpenItem(1, at("a.txt"), listing, false);
    EXPECT_EQ(onlyCallText(), "start myviewer docs/a.txt in docs");
    EndFlatView(listing);
}

TEST_F(ItemActionsTest, OpenItemOfAMissingFileOnlySaysSo)
{
    OpenItem(1, at("gone.txt"), listing, true);
    expectFileNotFound(platform::MsgIcon::None);
    EXPECT_TRUE(starter.calls().empty());
    OpenItem(1, 0, listing, false); // the ".." row
    EXPECT_EQ(dialogs.records().size(), 1u);
    EXPECT_TRUE(starter.calls().empty());
}

TEST_F(ItemActionsTest, RunItemRunsProgramsOpensFilesAndLeavesFoldersToTheCaller)
{
    EXPECT_FALSE(RunItem(1, at("sub"), listing));
    EXPECT_FALSE(RunItem(1, 0, listing));
    EXPECT_TRUE(starter.calls().empty());

    EXPECT_TRUE(RunItem(1, at("a.txt"), listing));
    EXPECT_EQ(onlyCallText(), "open docs/a.txt");
    starter.clear();
    EXPECT_TRUE(RunItem(1, at("run.sh"), listing));
    EXPECT_EQ(onlyCallText(), "start docs/run.sh  in docs");

    starter.clear();
    EXPECT_TRUE(RunItem(1, at("gone.txt"), listing));
    expectFileNotFound(platform::MsgIcon::None);
    EXPECT_TRUE(starter.calls().empty());
}

TEST_F(ItemActionsTest, RunItemOfAShellItemExecutesItsPath)
{
    class Namespace : public ShellNamespace
    {
    public:
        explicit Namespace(std::string target) : target_(std::move(target)) {}
        bool networkFolder(ItemIdList&) override { return false; }
        bool displayName(const ItemIdList&, std::string&) override { return false; }
        bool itemInfo(const ItemIdList&, ShellItemInfo&) override { return false; }
        bool fileSystemPath(const ItemIdList& absolute, std::string& path) override
        {
            if (absolute != ItemIdList({"net", "a"}))
                return false;
            path = target_;
            return true;
        }
        bool enumerate(const ItemIdList&, std::vector<ItemIdList>&) override { return false; }

    private:
        std::string target_;
    } shell(path("docs\\a.txt"));
    setShellNamespace(&shell);
    TstateOfBrowser network;
    test::makeList(network, {file("a")}, 0, "Network");
    test::ListGuard networkGuard{network};
    {
        StateAccess access(network);
        access.Folder(1).itemIds = new ItemIdList({"net"});
        access.Folder(1).flags |= kFolderOwnsItemIds | kFolderOutsideFileSystem;
        access.items[0].itemIds = new ItemIdList({"a"});
        access.items[0].flags |= kItemOwnsItemIds;
    }
    EXPECT_TRUE(RunItem(1, 1, network));
    EXPECT_EQ(onlyCallText(), "open docs/a.txt");
    starter.clear();
    OpenItem(1, 1, network, false);
    EXPECT_EQ(onlyCallText(), "start myviewer docs/a.txt in docs");
    // Nothing can be created in a folder outside the file system.
    EXPECT_FALSE(EditFile("new.txt", network));
    EXPECT_FALSE(CreateSubfolder("new", network));
    EXPECT_EQ(starter.calls().size(), 1u);
    setShellNamespace(nullptr);
}

TEST_F(ItemActionsTest, EditFileCreatesAMissingFileAndNeverEmptiesAnExistingOne)
{
    EXPECT_TRUE(EditFile("new.txt", listing));
    EXPECT_TRUE(wux::test::exists(path("docs\\new.txt")));
    EXPECT_EQ(wux::test::readFileBytes(path("docs\\new.txt")), "");
    EXPECT_EQ(onlyCallText(), "start myeditor docs/new.txt in docs");

    starter.clear();
    EXPECT_TRUE(EditFile("a.txt", listing));
    EXPECT_EQ(wux::test::readFileBytes(path("docs\\a.txt")), "alpha");
    EXPECT_EQ(onlyCallText(), "start myeditor docs/a.txt in docs");

    starter.clear();
    EXPECT_FALSE(EditFile("nowhere\\x.txt", listing));
    EXPECT_TRUE(starter.calls().empty());
    EXPECT_FALSE(wux::test::exists(path("docs\\nowhere")));
}

TEST_F(ItemActionsTest, CreateSubfolderSaysWhetherTheFolderWasMade)
{
    EXPECT_TRUE(CreateSubfolder("made", listing));
    EXPECT_TRUE(wux::test::exists(path("docs\\made")));
    platform::WinError reason = 0;
    EXPECT_FALSE(CreateSubfolder("made", listing, &reason));
    EXPECT_EQ(reason, platform::kErrorAlreadyExists);
    EXPECT_FALSE(CreateSubfolder("a.txt", listing, &reason));
    EXPECT_EQ(reason, platform::kErrorAlreadyExists);
    // The folders on the way are made too; the entry that holds them is told.
    std::string item;
    EXPECT_TRUE(CreateSubfolder("no\\such", listing, &reason, &item));
    EXPECT_TRUE(wux::test::exists(path("docs\\no\\such")));
    EXPECT_EQ(item, "no");
    EXPECT_EQ(wux::test::readFileBytes(path("docs\\a.txt")), "alpha");
    // One that cannot be made takes back those it made on its way.
    platform::injectFault(path("docs\\x\\y"), platform::kErrorAccessDenied, platform::kFaultCreateFolder);
    EXPECT_FALSE(CreateSubfolder("x/y/z", listing, &reason));
    EXPECT_EQ(reason, platform::kErrorAccessDenied);
    EXPECT_FALSE(wux::test::exists(path("docs\\x")));
    platform::clearFaults();
}

TEST_F(ItemActionsTest, PropertiesShowTheItemsDialog)
{
    QWidget owner;
    ShowPropertiesDialog(1, at("a.txt"), listing, &owner);
    platform::shell::TPropertiesDialog* shown = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<platform::shell::TPropertiesDialog*>(widget))
            shown = dialog;
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->path(), path("docs\\a.txt"));
    delete shown;
}

TEST_F(ItemActionsTest, TheContextMenuRunsTheChosenVerb)
{
    controls::TWUXStringGrid grid;
    bool menuNoted = false;
    bool ownEntryRan = false;
    const auto addEntries = [&ownEntryRan](platform::shell::ShellContextMenu& menu) {
        menu.addEntry("Send to Basket", "basket", [&ownEntryRan] { ownEntryRan = true; });
    };
    const auto press = [&grid, &menuNoted](std::vector<Qt::Key> keys) {
        pressInNextMenu(std::move(keys), &grid, &menuNoted);
    };
    press({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    EXPECT_EQ(ShowShellContextMenu(&grid, 1, at("a.txt"), listing, QPoint(5, 5), addEntries), "basket");
    EXPECT_TRUE(ownEntryRan);
    EXPECT_TRUE(menuNoted);
    EXPECT_EQ(grid.ICM(), nullptr);

    press({Qt::Key_Down, Qt::Key_Return});
    EXPECT_EQ(ShowShellContextMenu(&grid, 1, at("a.txt"), listing, QPoint(5, 5)), "open");
    EXPECT_EQ(onlyCallText(), "open docs/a.txt");

    press({Qt::Key_Escape});
    EXPECT_EQ(ShowShellContextMenu(&grid, 1, at("sub"), listing, QPoint(5, 5)), "");
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(ItemActionsTest, TheContextMenuOfAMissingFileSaysFileNotFound)
{
    QWidget owner;
    EXPECT_EQ(ShowShellContextMenu(&owner, 1, at("gone.txt"), listing, QPoint(5, 5)), "");
    expectFileNotFound(platform::MsgIcon::Information);
    EXPECT_EQ(ShowShellContextMenu(&owner, 1, 0, listing, QPoint(5, 5)), "");
    EXPECT_EQ(dialogs.records().size(), 1u);
}

} // namespace
} // namespace wux::filelist
