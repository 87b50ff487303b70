// Paths the user types into the main window's questions, the Linux way too: F5 and F6 to a folder
// written "/home/..." or "folder/", F7 of nested folders, a place no drive holds, a folder moved into
// itself.
#include "main_form_fixture.h"

#include "filelist/view_process.h"

namespace wux::mainwindow::test {
namespace {

using wux::test::createFile;
using wux::test::exists;
using wux::test::makeFolder;
using wux::test::readFileBytes;

class TypedPathsTest : public MainFormTest
{
protected:
    TypedPathsTest()
    {
        static const bool registered = (filelist::registerFileOperationWindowTexts(), true);
        (void)registered;
    }
    // The message boxes shown since the last call.
    std::vector<std::string> takeMessages()
    {
        std::vector<std::string> texts = dialogs.texts();
        dialogs.clear();
        return texts;
    }
};

TEST_F(TypedPathsTest, CopyAndMoveToFoldersTypedTheLinuxWay)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"})
        createFile(path(std::string("work\\") + name), name);
    makeFolder(path("work\\Invoices 2024"));
    makeFolder(path("Music"));
    makeFolder(path("backup"));
    startIn(path("work"), path("backup"));

    // F5 of one file to an absolute Linux folder with its trailing "/", spelled in another case.
    cursorOn(left(), "a.txt");
    onQuery(typeAndOk(posix("music") + "/"));
    press(left(), Qt::Key_F5);
    EXPECT_EQ(readFileBytes(path("Music\\a.txt")), "a.txt");
    EXPECT_EQ(readFileBytes(path("work\\a.txt")), "a.txt");

    // F6 of one file to "Invoices 2024/": into the folder, not over it.
    cursorOn(left(), "a.txt");
    onQuery(typeAndOk("Invoices 2024/"));
    press(left(), Qt::Key_F6);
    EXPECT_EQ(readFileBytes(path("work\\Invoices 2024\\a.txt")), "a.txt");
    EXPECT_FALSE(exists(path("work\\a.txt")));

    // F6 of the four others, marked with Insert, to the same folder.
    cursorOn(left(), "b.txt");
    for (int i = 0; i < 4; ++i)
        press(left(), Qt::Key_Insert);
    ASSERT_EQ(left().Listing().selectedCount, 4);
    onQuery(typeAndOk("Invoices 2024/"));
    press(left(), Qt::Key_F6);
    for (const char* name : {"b.txt", "c.txt", "d.txt", "e.txt"}) {
        EXPECT_EQ(readFileBytes(path(std::string("work\\Invoices 2024\\") + name)), name);
        EXPECT_FALSE(exists(path(std::string("work\\") + name))) << name;
    }
    EXPECT_EQ(takeMessages(), std::vector<std::string>{});

    // A Linux folder that no drive holds: said, and nothing moves.
    cursorOn(left(), "Invoices 2024");
    onQuery(typeAndOk(drive.base() + "/elsewhere/"));
    press(left(), Qt::Key_F5);
    EXPECT_EQ(takeMessages(), std::vector<std::string>{drive.base() +
                                                       "/elsewhere/\r\nThe system cannot find the drive specified."});
    EXPECT_FALSE(exists(drive.base() + "/elsewhere"));
}

TEST_F(TypedPathsTest, MakeFolderMakesNestedFoldersOrSaysWhyNot)
{
    makeFolder(path("work"));
    createFile(path("work\\taken.txt"), "keep");
    startIn(path("work"), path("work"));

    // Nested, the Linux way and the system's way; the cursor lands on the first new folder.
    onQuery(typeAndOk("2024/March/invoices"));
    press(left(), Qt::Key_F7);
    EXPECT_TRUE(exists(path("work\\2024\\March\\invoices")));
    EXPECT_EQ(cursorName(left()), "2024");
    onQuery(typeAndOk("2024\\April"));
    press(left(), Qt::Key_F7);
    EXPECT_TRUE(exists(path("work\\2024\\April")));
    onQuery(typeAndOk(posix("elsewhere/new")));
    press(left(), Qt::Key_F7);
    EXPECT_TRUE(exists(path("elsewhere\\new")));
    EXPECT_EQ(takeMessages(), std::vector<std::string>{});

    // Not made: the reason is given, and a folder made on the way goes again.
    const struct
    {
        std::string typed;
        std::string reason;
    } refused[] = {
        {"2024", "Cannot create a file when that file already exists."},
        {"taken.txt", "Cannot create a file when that file already exists."},
        {"taken.txt/below", "The directory name is invalid."},
        {drive.base() + "/elsewhere", "The system cannot find the drive specified."},
    };
    for (const auto& c : refused) {
        onQuery(typeAndOk(c.typed));
        press(left(), Qt::Key_F7);
        EXPECT_EQ(takeMessages(),
                  std::vector<std::string>{"Error: directory [" + c.typed + "]\r\nnot created!\r\n" + c.reason})
            << c.typed;
    }
    EXPECT_EQ(readFileBytes(path("work\\taken.txt")), "keep");
}

TEST_F(TypedPathsTest, AFolderMovedIntoItsOwnSubfolderIsRefusedInPlainWords)
{
    createFile(path("work\\project\\src\\main.c"), "int main;");
    startIn(path("work"), path("work"));
    cursorOn(left(), "project");
    onQuery(typeAndOk("project/src/"));
    press(left(), Qt::Key_F6);
    EXPECT_EQ(takeMessages(), std::vector<std::string>{"You cannot move a folder into itself!"});
    EXPECT_EQ(readFileBytes(path("work\\project\\src\\main.c")), "int main;");
    EXPECT_FALSE(exists(path("work\\project\\src\\project")));
}

} // namespace
} // namespace wux::mainwindow::test
