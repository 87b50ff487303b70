// The main road: a newcomer starts the program, enters a folder, copies, moves and deletes with the
// function keys, makes a folder, quits, and finds everything as left at the next start.
#include "main_form_fixture.h"

#include "platform/ini_file.h"

namespace wux::mainwindow::test {
namespace {

using wux::test::createFile;
using wux::test::exists;
using wux::test::makeFolder;
using wux::test::readFileBytes;

TEST_F(MainFormTest, EnterCopyMoveDeleteMakeFolderQuitAndStartAgain)
{
    createFile(path("work\\report.txt"), "quarterly report");
    createFile(path("work\\notes.txt"), "notes");
    createFile(path("work\\old.log"), "old");
    makeFolder(path("backup"));
    startIn(path(""), path("backup"));
    EXPECT_EQ(CurrentMode, 1);
    EXPECT_EQ(window->ActiveForm(), &left());

    // Enter the folder.
    cursorOn(left(), "work");
    press(left(), Qt::Key_Return);
    ASSERT_EQ(folderOf(left()), path("work"));

    // F5: copy report.txt to the other panel.
    cursorOn(left(), "report.txt");
    onQuery(ok);
    press(left(), Qt::Key_F5);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].prompt, "Copy file \"report.txt\" to");
    EXPECT_EQ(queries[0].input, path("backup\\report.txt"));
    EXPECT_TRUE(queries[0].sendVisible);
    EXPECT_EQ(readFileBytes(path("backup\\report.txt")), "quarterly report");
    EXPECT_EQ(readFileBytes(path("work\\report.txt")), "quarterly report");
    EXPECT_EQ(right().Listing().itemCount, 1) << "the other panel shows the copy";
    EXPECT_EQ(left().Listing().selectedCount, 0);

    // F6: move notes.txt there.
    cursorOn(left(), "notes.txt");
    onQuery(ok);
    press(left(), Qt::Key_F6);
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[1].prompt, "Rename or move file \"notes.txt\" to");
    EXPECT_EQ(queries[1].input, path("backup\\notes.txt"));
    EXPECT_FALSE(exists(path("work\\notes.txt")));
    EXPECT_EQ(readFileBytes(path("backup\\notes.txt")), "notes");

    // F8: delete old.log after the confirmation; Cancel first changes nothing.
    cursorOn(left(), "old.log");
    onQuery(cancel);
    press(left(), Qt::Key_F8);
    EXPECT_TRUE(exists(path("work\\old.log")));
    EXPECT_EQ(left().Listing().selectedCount, 0) << "the automatic mark is taken back";
    onQuery(ok);
    press(left(), Qt::Key_F8);
    ASSERT_EQ(queries.size(), 4u);
    EXPECT_EQ(queries[3].caption, "Warning!");
    EXPECT_EQ(queries[3].prompt, "Do you wish to delete file \"old.log\"?");
    EXPECT_FALSE(queries[3].inputVisible);
    EXPECT_FALSE(queries[3].sendVisible);
    EXPECT_FALSE(exists(path("work\\old.log")));

    // F7: make a folder; the cursor lands on it.
    onQuery(typeAndOk("made by F7"));
    press(left(), Qt::Key_F7);
    ASSERT_EQ(queries.size(), 5u);
    EXPECT_EQ(queries[4].prompt, "New directory");
    EXPECT_TRUE(exists(path("work\\made by F7")));
    EXPECT_EQ(cursorName(left()), "made by F7");

    // Quit (close): the settings are saved.
    closeWindow();
    platform::IniFile ini(iniPath);
    EXPECT_EQ(ini.readString("BROWSER_LEFT", "Directory", ""), path("work"));
    EXPECT_EQ(ini.readString("BROWSER_RIGHT", "Directory", ""), path("backup"));
    EXPECT_EQ(ini.readInteger("MainForm", "CurrentMode", 0), 1);
    EXPECT_EQ(ini.readInteger("MainForm", "ToolsInRightSide", 0), 1);
    EXPECT_EQ(languageValue(), "");

    // Start again from the saved file.
    open();
    EXPECT_EQ(folderOf(left()), path("work"));
    EXPECT_EQ(folderOf(right()), path("backup"));
    EXPECT_EQ(left().Listing().itemCount, 2); // report.txt and the new folder
    EXPECT_EQ(window->ActiveForm(), &left());
}

} // namespace
} // namespace wux::mainwindow::test
