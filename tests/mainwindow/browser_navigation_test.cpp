// The browser panel's input and navigation: keys, mouse, marking, entering and leaving folders,
// re-reading, and choosing drives.
#include "panel_fixture.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QWheelEvent>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "filelist/file_operations.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"

namespace wux::mainwindow::panel_test {
namespace {

using wux::test::createFile;
using wux::test::makeFolder;

// ---- Brief view keys -------------------------------------------------------------------------

struct BriefKeyCase
{
    int start;
    int key;
    int expected;
};

void PrintTo(const BriefKeyCase& c, std::ostream* os)
{
    *os << "from " << c.start << " key " << QKeySequence(c.key).toString().toStdString() << " to "
        << c.expected;
}

class BriefKeysTest : public PanelTest, public ::testing::WithParamInterface<BriefKeyCase>
{
};

TEST_P(BriefKeysTest, MovesThroughColumnsOfTenRows)
{
    // 25 files in a drive root (no "[..]" row), laid out in 3 columns of 10 rows.
    for (int i = 1; i <= 25; ++i)
        createFile(drives.path(QString::asprintf("f%02d.txt", i).toStdString(), 'd'), "x");
    TBrowserForm& form = open(drives.path("", 'd'), 1, QSize(900, 300));
    for (int height = 120; height < 600 && grid().RowCount() != 10; ++height) {
        form.resize(900, height);
        QApplication::processEvents();
    }
    ASSERT_EQ(grid().RowCount(), 10);
    ASSERT_EQ(grid().ColCount(), 3);
    grid().setFocus();
    ASSERT_TRUE(form.PositionCursor(GetParam().start, -1, -1));
    press(GetParam().key);
    EXPECT_EQ(form.Cursor(), GetParam().expected);
    EXPECT_EQ(grid().Col() * 10 + grid().Row(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, BriefKeysTest,
    ::testing::Values(BriefKeyCase{9, Qt::Key_Down, 10}, BriefKeyCase{10, Qt::Key_Up, 9},
                      BriefKeyCase{15, Qt::Key_Down, 16}, BriefKeyCase{24, Qt::Key_Down, 24},
                      BriefKeyCase{22, Qt::Key_Right, 24}, BriefKeyCase{3, Qt::Key_Right, 13},
                      BriefKeyCase{12, Qt::Key_Left, 2}, BriefKeyCase{5, Qt::Key_Left, 0},
                      BriefKeyCase{5, Qt::Key_PageUp, 0}, BriefKeyCase{14, Qt::Key_PageUp, 5},
                      BriefKeyCase{14, Qt::Key_PageDown, 23}, BriefKeyCase{20, Qt::Key_PageDown, 24},
                      BriefKeyCase{7, Qt::Key_End, 24}, BriefKeyCase{17, Qt::Key_Home, 0}));

// ---- Marking ---------------------------------------------------------------------------------

struct MarkCase
{
    std::uint32_t options;
    int key;
    Qt::KeyboardModifiers modifiers;
    bool folderMarked;
    bool folderMeasured;
    int cursorAfter;
};

void PrintTo(const MarkCase& c, std::ostream* os)
{
    *os << std::hex << "options 0x" << c.options << " key " << c.key;
}

class MarkKeysTest : public PanelTest, public ::testing::WithParamInterface<MarkCase>
{
};

TEST_P(MarkKeysTest, MarksTheCursorItemOrInvertsAll)
{
    createFile(drives.path("m\\dir\\inside.bin"), std::string(3000, 'x'));
    createFile(drives.path("m\\file.txt"), "12345");
    filelist::GeneralCheckContainer = GetParam().options;
    TBrowserForm& form = open(drives.path("m"), 2);
    grid().setFocus();
    form.PositionCursor(1, -1, -1); // "[dir]"
    press(GetParam().key, GetParam().modifiers);
    EXPECT_EQ(filelist::IsItemSelected(1, 1, form.Listing()), GetParam().folderMarked);
    std::string size;
    filelist::GetCellText(filelist::kColumnSize, 1, 1, size, form.Listing());
    EXPECT_EQ(size == "3 000", GetParam().folderMeasured) << size;
    EXPECT_EQ(form.Cursor(), GetParam().cursorAfter);
    EXPECT_GT(host.launchUpdates, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, MarkKeysTest,
    ::testing::Values(MarkCase{0x1, Qt::Key_Space, Qt::NoModifier, true, true, 1},
                      MarkCase{0x0, Qt::Key_Space, Qt::NoModifier, true, false, 1},
                      MarkCase{0x1, Qt::Key_Insert, Qt::NoModifier, true, false, 2},
                      MarkCase{0x0, Qt::Key_Asterisk, Qt::KeypadModifier, true, false, 1},
                      MarkCase{0x8, Qt::Key_Asterisk, Qt::KeypadModifier, false, false, 1}));

// ---- Mouse -----------------------------------------------------------------------------------

void sendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

TEST_F(PanelTest, RightButtonMarksAndDragsTheSameAction)
{
    makeFiles("r", 5);
    TBrowserForm& form = open(drives.path("r"), 2, QSize(420, 500));
    grid().setFocus();
    QWidget* view = grid().viewport();
    const QPoint row1 = grid().CellRect(0, 1).center();
    sendMouse(view, QEvent::MouseButtonPress, row1, Qt::RightButton, Qt::RightButton);
    EXPECT_TRUE(filelist::IsItemSelected(1, 1, form.Listing()));
    EXPECT_EQ(form.UndoAction(), 2);
    EXPECT_TRUE(form.timerForCM()->isActive());
    for (int row = 2; row <= 3; ++row)
        sendMouse(view, QEvent::MouseMove, grid().CellRect(0, row).center(), Qt::NoButton, Qt::RightButton);
    EXPECT_FALSE(form.timerForCM()->isActive());
    sendMouse(view, QEvent::MouseButtonRelease, grid().CellRect(0, 3).center(), Qt::RightButton,
              Qt::NoButton);
    for (int position = 1; position <= 3; ++position)
        EXPECT_TRUE(filelist::IsItemSelected(1, position, form.Listing())) << position;
    EXPECT_FALSE(filelist::IsItemSelected(1, 4, form.Listing()));
    EXPECT_EQ(form.Cursor(), 3);

    // A press on a marked item unmarks it, and dragging then unmarks.
    sendMouse(view, QEvent::MouseButtonPress, grid().CellRect(0, 3).center(), Qt::RightButton,
              Qt::RightButton);
    EXPECT_EQ(form.UndoAction(), 4);
    sendMouse(view, QEvent::MouseMove, grid().CellRect(0, 2).center(), Qt::NoButton, Qt::RightButton);
    sendMouse(view, QEvent::MouseButtonRelease, grid().CellRect(0, 2).center(), Qt::RightButton,
              Qt::NoButton);
    EXPECT_TRUE(filelist::IsItemSelected(1, 1, form.Listing()));
    EXPECT_FALSE(filelist::IsItemSelected(1, 2, form.Listing()));
    EXPECT_FALSE(filelist::IsItemSelected(1, 3, form.Listing()));

    // Below the last item nothing changes and no menu is pending.
    const int selectedBefore = form.Listing().selectedCount;
    const QPoint below(5, grid().CellRect(0, 5).bottom() + 4);
    ASSERT_LT(below.y(), view->height());
    sendMouse(view, QEvent::MouseButtonPress, below, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(form.Listing().selectedCount, selectedBefore);
    EXPECT_FALSE(form.timerForCM()->isActive());
    sendMouse(view, QEvent::MouseButtonRelease, below, Qt::RightButton, Qt::NoButton);

    // While an operation walks the lists, neither marking nor opening by mouse changes them.
    sendMouse(view, QEvent::MouseButtonPress, grid().CellRect(0, 0).center(), Qt::LeftButton, Qt::LeftButton);
    sendMouse(view, QEvent::MouseButtonRelease, grid().CellRect(0, 0).center(), Qt::LeftButton, Qt::NoButton);
    filelist::OperationBusy = true;
    const int cursorBefore = form.Cursor();
    sendMouse(view, QEvent::MouseButtonPress, grid().CellRect(0, 4).center(), Qt::RightButton,
              Qt::RightButton);
    sendMouse(view, QEvent::MouseMove, grid().CellRect(0, 5).center(), Qt::NoButton, Qt::RightButton);
    sendMouse(view, QEvent::MouseButtonRelease, grid().CellRect(0, 5).center(), Qt::RightButton,
              Qt::NoButton);
    sendMouse(view, QEvent::MouseButtonDblClick, grid().CellRect(0, 0).center(), Qt::LeftButton,
              Qt::LeftButton);
    filelist::OperationBusy = false;
    EXPECT_EQ(form.Listing().selectedCount, selectedBefore);
    EXPECT_EQ(form.Cursor(), cursorBefore);
    EXPECT_EQ(form.AddressText().toStdString(), drives.path("r") + "\\*.*");
}

// A left-button drag does not move the cursor, and leaves nothing behind that the next refresh
// (after every file operation, and Ctrl+R) would move it to.
TEST_F(PanelTest, ALeftButtonDragLeavesTheCursorWhereARefreshFindsIt)
{
    for (const std::int32_t mode : {1, 2}) {
        SCOPED_TRACE(mode == 1 ? "Brief" : "Full");
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            createFile(drives.path(std::string("dr\\") + name), name);
        TBrowserForm& form = open(drives.path("dr"), mode);
        grid().setFocus();
        QWidget* view = grid().viewport();
        sendMouse(view, QEvent::MouseButtonPress, grid().CellRect(0, 1).center(), Qt::LeftButton,
                  Qt::LeftButton);
        sendMouse(view, QEvent::MouseMove, grid().CellRect(0, 2).center(), Qt::NoButton, Qt::LeftButton);
        sendMouse(view, QEvent::MouseButtonRelease, grid().CellRect(0, 2).center(), Qt::LeftButton,
                  Qt::NoButton);
        EXPECT_EQ(cursorName(), "a.txt");
        form.Refresh();
        EXPECT_EQ(cursorName(), "a.txt");
        EXPECT_EQ(form.Cursor(), 1);
        EXPECT_EQ(grid().Row(), 1);
    }
}

TEST_F(PanelTest, HeldRightButtonOpensTheMenuAndRestoresTheMark)
{
    makeFiles("h", 2);
    TBrowserForm& form = open(drives.path("h"), 2);
    grid().setFocus();
    QWidget* view = grid().viewport();
    bool menuShown = false;
    std::function<void()> closeMenu = [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuShown = true;
            EXPECT_TRUE(filelist::IsItemSelected(1, 2, form.Listing())); // marked while the menu is up
            popup->close();
        } else {
            QTimer::singleShot(10, closeMenu);
        }
    };
    QTimer::singleShot(0, closeMenu);
    sendMouse(view, QEvent::MouseButtonPress, grid().CellRect(0, 2).center(), Qt::RightButton,
              Qt::RightButton);
    QTest::qWait(700);
    EXPECT_TRUE(menuShown);
    EXPECT_FALSE(filelist::IsItemSelected(1, 2, form.Listing())); // as it was before the press
    sendMouse(view, QEvent::MouseButtonRelease, grid().CellRect(0, 2).center(), Qt::RightButton,
              Qt::NoButton);
}

TEST_F(PanelTest, WheelMovesTheCursorByOneRow)
{
    makeFiles("wh", 4);
    TBrowserForm& form = open(drives.path("wh"), 2);
    grid().setFocus();
    form.PositionCursor(1, -1, -1);
    const QPointF at = grid().viewport()->rect().center();
    QWheelEvent down(at, grid().viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid().viewport(), &down);
    QApplication::sendEvent(grid().viewport(), &down);
    EXPECT_EQ(form.Cursor(), 3);
    QWheelEvent up(at, grid().viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid().viewport(), &up);
    EXPECT_EQ(form.Cursor(), 2);
}

// ---- Folders ---------------------------------------------------------------------------------

TEST_F(PanelTest, EnterFolderUpOneLevelAndBackspace)
{
    makeFolder(drives.path("alpha"));
    createFile(drives.path("beta\\inner.txt"), "i");
    makeFolder(drives.path("gamma"));
    TBrowserForm& form = open(drives.path(""), 2);
    grid().setFocus();
    press(Qt::Key_Backspace); // nothing above a root
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
    form.PlaceCursorOnName("beta");
    form.PositionCursor(form.Cursor(), -1, -1);
    press(Qt::Key_Return);
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\beta\\*.*");
    EXPECT_EQ(form.Cursor(), 0);
    EXPECT_EQ(form.Listing().rowCount, 2); // "[..]" and inner.txt
    EXPECT_EQ(DriveDirectories.count(), 1);
    EXPECT_EQ(DriveDirectories[0], "c:\\beta");
    press(Qt::Key_Backspace);
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
    EXPECT_EQ(cursorName(), "beta");
    // A double click enters as Enter does; "[..]" by Enter.
    QTest::mouseDClick(grid().viewport(), Qt::LeftButton, Qt::NoModifier,
                       grid().CellRect(0, form.Cursor()).center());
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\beta\\*.*");
    form.PositionCursor(0, -1, -1);
    press(Qt::Key_Return);
    EXPECT_EQ(cursorName(), "beta");
}

// From its creation to its end this thread reads the file system as the user "nobody": root's right
// to pass any folder's permissions is dropped with it (for this thread only), so that root too meets
// a folder it cannot enter. The folder of the test's drives is opened to every user first, so that
// only the folders a test closes are closed. For a user other than root nothing changes.
class ReadAsNobody
{
public:
    explicit ReadAsNobody(const std::string& drivesFolder)
    {
        namespace fs = std::filesystem;
        fs::permissions(drivesFolder,
                        fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec,
                        fs::perm_options::add);
        if (::geteuid() == 0)
            ::setfsuid(kNobody);
    }
    ~ReadAsNobody()
    {
        if (::geteuid() == 0)
            ::setfsuid(0);
    }
    ReadAsNobody(const ReadAsNobody&) = delete;
    ReadAsNobody& operator=(const ReadAsNobody&) = delete;

private:
    static constexpr uid_t kNobody = 65534;
};

// Whether this thread can open the folder (a POSIX path).
bool canOpenFolder(const std::string& folder, int& error)
{
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    error = errno;
    if (handle < 0)
        return false;
    ::close(handle);
    return true;
}

TEST_F(PanelTest, AFolderThatCannotBeEnteredLeavesTheListing)
{
    makeFolder(drives.path("locked"));
    makeFiles("", 2);
    namespace fs = std::filesystem;
    fs::permissions(drives.posix("locked"), fs::perms::none);
    TBrowserForm& form = open(drives.path(""), 2);
    form.PlaceCursorOnName("locked");
    const std::int32_t cursor = form.Cursor();
    {
        ReadAsNobody nobody(drives.base());
        int error = 0;
        ASSERT_TRUE(canOpenFolder(drives.posix(""), error)) << "the drive's root: " << std::strerror(error);
        ASSERT_FALSE(canOpenFolder(drives.posix("locked"), error)) << "the folder can be entered";
        ASSERT_EQ(error, EACCES);
        EXPECT_FALSE(form.OpenCurrentItem(1, cursor + 1, 0));
    }
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
    EXPECT_EQ(form.Listing().rowCount, 3);
    EXPECT_EQ(cursorName(), "locked");
    fs::permissions(drives.posix("locked"), fs::perms::owner_all);
}

TEST_F(PanelTest, RefreshKeepsMarksWhileFilesComeAndGo)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        createFile(drives.path(std::string("re\\") + name), name);
    TBrowserForm& form = open(drives.path("re"), 2);
    grid().setFocus();
    form.PositionCursor(1, -1, -1);
    press(Qt::Key_Insert); // a.txt marked, cursor on b.txt
    form.PositionCursor(3, -1, -1);
    press(Qt::Key_Insert); // c.txt marked
    form.PositionCursor(2, -1, -1);
    std::filesystem::remove(drives.posix("re/c.txt"));
    createFile(drives.path("re\\0new.txt"), "n");
    form.Refresh();
    EXPECT_EQ(form.Listing().rowCount, 4);
    EXPECT_EQ(cursorName(), "b.txt");
    std::vector<std::string> marked;
    for (int position = 1; position <= 3; ++position)
        if (filelist::IsItemSelected(1, position, form.Listing())) {
            std::string name;
            filelist::GetCellText(filelist::kColumnStoredName, 1, position, name, form.Listing());
            marked.push_back(name);
        }
    EXPECT_EQ(marked, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(form.Listing().selectedFiles, 1);
}

TEST_F(PanelTest, RefreshOfADeletedFolderClimbsToItsNearestParent)
{
    makeFolder(drives.path("p\\q\\r"));
    makeFolder(drives.path("p\\z"));
    TBrowserForm& form = open(drives.path("p\\q\\r"), 2);
    std::filesystem::remove_all(drives.posix("p/q"));
    form.Refresh();
    EXPECT_EQ(form.AddressText().toStdString(), drives.path("p") + "\\*.*");
    EXPECT_EQ(form.Listing().rowCount, 2); // "[..]" and z
    // The whole tree gone: the root of the drive.
    std::filesystem::remove_all(drives.posix("p"));
    form.Refresh();
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
}

TEST_F(PanelTest, ChangeDirectorySelectsANameAndFallsBackToTheFirstRoot)
{
    makeFiles("cd", 3);
    makeFolder(drives.path("", 'd'));
    TBrowserForm& form = open(drives.path("", 'd'), 2);
    form.ChangeDirectory(drives.path("cd"), "f02.txt");
    EXPECT_EQ(form.Cursor(), 2);
    EXPECT_EQ(cursorName(), "f02.txt");
    EXPECT_EQ(host.sharedPressed.back(), filelist::FindDriveIndex('c', filelist::DriveList));
    form.ChangeDirectory(drives.path("", 'd'), "");
    form.ChangeDirectory(drives.path("missing"), "");
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
    EXPECT_EQ(form.DriveLetter(), 'c');
    form.ChangeDirectory("", "");
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
}

// The names a panel lists, in its order.
std::vector<std::string> listedNames(TBrowserForm& form)
{
    std::vector<std::string> names;
    for (std::int32_t position = 1; position <= form.Listing().itemCount; ++position) {
        std::string name;
        filelist::GetCellText(filelist::kColumnStoredName, 1, position, name, form.Listing());
        names.push_back(name);
    }
    return names;
}

// A folder on a drive that is gone, or on a drive whose root cannot be read: the first fixed drive's
// root, listed as it is.
TEST_F(PanelTest, AFolderOnADriveThatIsGoneShowsTheFallbackRootListed)
{
    makeFiles("", 2);
    makeFolder(drives.path("here", 'd'));
    namespace fs = std::filesystem;
    TBrowserForm& form = open(drives.path("here", 'd'), 2);
    const std::vector<std::string> rootOfC{"f01.txt", "f02.txt"};

    fs::remove_all(drives.posix("", 'd'));
    form.ChangeDirectory(drives.path("here", 'd'), "");
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
    EXPECT_EQ(form.DriveLetter(), 'c');
    EXPECT_EQ(listedNames(form), rootOfC);
    EXPECT_EQ(form.Listing().rowCount, 2);

    makeFolder(drives.path("here", 'd'));
    fs::permissions(drives.posix("", 'd'), fs::perms::none);
    {
        ReadAsNobody nobody(drives.base());
        form.ChangeDirectory(drives.path("here", 'd'), "");
        EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
        form.ChangeDirectory(drives.path("", 'd'), "");
    }
    fs::permissions(drives.posix("", 'd'), fs::perms::owner_all);
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
    EXPECT_EQ(listedNames(form), rootOfC);
    EXPECT_EQ(form.Listing().rowCount, 2);
}

// With no fixed drive ready at start, the panel opens the first drive that is ready.
TEST_F(PanelTest, WithoutAReadyFixedDriveThePanelStartsOnTheFirstReadyDrive)
{
    makeFiles("", 2);
    createFile(drives.path("x.txt", 'd'), "x");
    drives.mapDrive('c', drives.base() + "/c", platform::kDriveRemovable);
    drives.mapDrive('d', drives.base() + "/d", platform::kDriveRemovable);
    filelist::BuildDriveList(filelist::DriveList, filelist::kDriveListBasket);
    ASSERT_EQ(filelist::FirstReadyFixedDrive(filelist::DriveList), -1);
    TBrowserForm& form = open(drives.path("gone"), 2);
    EXPECT_EQ(form.DriveLetter(), 'c');
    EXPECT_EQ(form.AddressText().toStdString(), "c:\\*.*");
    EXPECT_EQ(listedNames(form), (std::vector<std::string>{"f01.txt", "f02.txt"}));
}

TEST_F(PanelTest, QuickSearchAndFindRowOfName)
{
    for (const char* name : {"apple", "banana", "avocado", "cherry"})
        createFile(drives.path(std::string("q\\") + name), "x");
    TBrowserForm& form = open(drives.path("q"), 2);
    form.PositionCursor(0, -1, -1);
    EXPECT_EQ(form.QuickSearch("a", false), 1);
    EXPECT_EQ(form.QuickSearch("a", false), 2);
    EXPECT_EQ(form.QuickSearch("a", false), 1); // wraps
    EXPECT_EQ(form.QuickSearch("a", true), 2);
    EXPECT_EQ(form.QuickSearch("x", false), 0);
    EXPECT_EQ(form.FindRowOfName("ch"), 4);
    EXPECT_EQ(form.FindRowOfName("zz"), 0);
}

TEST_F(PanelTest, TreeViewCountsExpandedRowsAndDrawsThem)
{
    createFile(drives.path("t\\inner\\deep.txt"), "d");
    createFile(drives.path("t\\z.txt"), "z");
    TBrowserForm& form = open(drives.path("t"), 3);
    EXPECT_EQ(form.TreeRows(), 2);
    EXPECT_EQ(grid().RowCount(), 2);
    EXPECT_EQ(filelist::ToggleTreeFolder(1, 1, form.Listing()), 2); // "inner" gets folder 2
    ASSERT_TRUE(filelist::ReadFolder(2, filelist::kReadMasksFilesOnly, form.Listing()));
    form.Refresh();
    EXPECT_EQ(form.TreeRows(), 3);
    EXPECT_FALSE(grid().viewport()->grab().isNull());
    EXPECT_TRUE(form.PositionCursor(2, -1, -1));
    EXPECT_FALSE(form.PositionCursor(5, -1, -1)); // beyond the rows: the cursor stays
    EXPECT_EQ(form.Cursor(), 2);
    // The tree has no jump buttons.
    form.UpdateViewButtons();
    EXPECT_FALSE(host.jumpEnabled);
}

TEST_F(PanelTest, BasketViewKeysMarkOpenAndMove)
{
    makeFiles("bk", 3);
    TBrowserForm& form = open(drives.path("bk"), 2);
    filelist::GeneralCheckContainer = 0; // sent items are not marked
    filelist::SelectFolderItems(1, form.Listing(), true, filelist::kActionMark);
    filelist::AddSelectedToBasket(form.Listing());
    filelist::AttachStateToPanel(filelist::kLeftBasketView, false, filelist::BasketState);
    form.SetBrowserMode(4);
    ASSERT_EQ(form.BasketRows(), 4); // a header row and 3 files
    grid().setFocus();
    form.PositionCursor(1, -1, -1);
    press(Qt::Key_Insert); // marks f01, moves on
    EXPECT_TRUE(filelist::IsItemSelected(1, 1, form.BasketView()));
    EXPECT_EQ(form.Cursor(), 2);
    press(Qt::Key_Down);
    press(Qt::Key_Space);
    EXPECT_TRUE(filelist::IsItemSelected(1, 3, form.BasketView()));
    EXPECT_EQ(form.Cursor(), 3);
    press(Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_EQ(form.BasketView().selectedFiles, 1);
    EXPECT_TRUE(filelist::IsItemSelected(1, 2, form.BasketView()));
    // The header row opens nothing; Enter on a file runs it through the desktop (not here: a box
    // would say the file is gone).
    form.PositionCursor(0, -1, -1);
    press(Qt::Key_Return);
    EXPECT_EQ(form.BrowserMode(), 4);
    // The brief Basket layout: one flat list without header rows.
    form.SetBasketMode(1);
    form.UpdateGrid();
    EXPECT_EQ(form.BasketRows(), 3);
    EXPECT_EQ(grid().ColCount(), 1);
}

// ---- Drives ----------------------------------------------------------------------------------

std::int32_t driveIndex(char letter)
{
    for (std::size_t i = 0; i < filelist::DriveList.size(); ++i)
        if (filelist::DriveList[i]->letter == letter)
            return std::int32_t(i);
    return -1;
}

TEST_F(PanelTest, DrivesRememberTheirDirectories)
{
    makeFolder(drives.path("data"));
    makeFolder(drives.path("x", 'd'));
    TBrowserForm& form = open(drives.path("data"), 2);
    form.SelectDrive(driveIndex('d'));
    EXPECT_EQ(form.AddressText().toStdString(), "d:\\*.*");
    EXPECT_EQ(form.cmbDrives()->currentIndex(), driveIndex('d'));
    EXPECT_TRUE(form.pnlDisks()->DriveButton(driveIndex('d'))->Down());
    form.ChangeDirectory(drives.path("x", 'd'), "");
    form.SelectDrive(driveIndex('c'));
    EXPECT_EQ(form.AddressText().toStdString(), drives.path("data") + "\\*.*");
    form.SelectDrive(driveIndex('d'));
    EXPECT_EQ(form.AddressText().toStdString(), drives.path("x", 'd') + "\\*.*");
    // A remembered directory that is gone: the drive's root.
    form.SelectDrive(driveIndex('c'));
    std::filesystem::remove(drives.posix("x", 'd'));
    form.SelectDrive(driveIndex('d'));
    EXPECT_EQ(form.AddressText().toStdString(), "d:\\*.*");
    // The Basket and back to the view before it.
    form.btnSetDrive(driveIndex('*'));
    EXPECT_EQ(form.BrowserMode(), 4);
    EXPECT_EQ(form.AddressText().toStdString(), "BASKET");
    form.SelectDrive(driveIndex('c'));
    EXPECT_EQ(form.BrowserMode(), 2);
    EXPECT_EQ(form.AddressText().toStdString(), drives.path("data") + "\\*.*");
}

struct ChoiceCase
{
    const char* name;
    std::vector<int> answers; // per dialog: an index for OK, -1 for Cancel
    bool currentDriveGone;    // the panel's own drive is the one refused
    const char* address;
    int dialogs;
};

void PrintTo(const ChoiceCase& c, std::ostream* os)
{
    *os << c.name;
}

class DriveChoiceTest : public PanelTest, public ::testing::WithParamInterface<ChoiceCase>
{
};

TEST_P(DriveChoiceTest, EveryAnswerEndsOnAReadyDriveOrKeepsTheListing)
{
    makeFolder(drives.path("here", 'd'));
    TBrowserForm& form = open(drives.path("here", 'd'), 2);
    const ChoiceCase& c = GetParam();
    std::vector<int> answers;
    for (int answer : c.answers)
        answers.push_back(answer == 99 ? driveIndex('c') : answer);
    ScriptedDriveChoice choice(answers);
    if (c.currentDriveGone) {
        drives.mapDrive('d', drives.base() + "/gone");
        form.cmbDrives()->setCurrentIndex(driveIndex('d'));
        form.JumpToRoot();
    } else {
        form.SelectDrive(driveIndex('e'));
    }
    EXPECT_EQ(int(choice.asked.size()), c.dialogs);
    EXPECT_EQ(form.AddressText().toStdString(), std::string(c.address));
    EXPECT_EQ(form.cmbDrives()->currentIndex(), driveIndex(form.DriveLetter()));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DriveChoiceTest,
    ::testing::Values(ChoiceCase{"OkOnAnotherDrive", {99}, false, "c:\\*.*", 1},
                      ChoiceCase{"OkOnTheSameDriveThenCancel", {2, -1}, false, "d:\\here\\*.*", 2},
                      ChoiceCase{"CancelKeepsTheListing", {-1}, false, "d:\\here\\*.*", 1},
                      ChoiceCase{"CancelOnOwnDriveTakesTheFirstFixed", {-1}, true, "c:\\*.*", 1}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

TEST_F(PanelTest, CancelWithoutAnyOtherReadyDriveEndsTheQuestion)
{
    makeFolder(drives.path("stay"));
    TBrowserForm& form = open(drives.path("stay"), 2);
    ScriptedDriveChoice choice({-1, -1, -1});
    drives.mapDrive('c', drives.base() + "/gone-c");
    drives.mapDrive('d', drives.base() + "/gone-d");
    form.cmbDrives()->setCurrentIndex(driveIndex('c'));
    form.JumpToRoot();
    EXPECT_EQ(choice.asked.size(), 1u);
    EXPECT_EQ(form.Listing().rowCount, 1); // still the folder it showed ("[..]")
}

TEST_F(PanelTest, SendToBasketGoesThroughTheHost)
{
    makeFiles("b", 1);
    TBrowserForm& form = open(drives.path("b"), 2);
    QTest::mouseClick(form.btnSendTobasket(), Qt::LeftButton);
    EXPECT_EQ(host.basketSends, 1);
}

} // namespace
} // namespace wux::mainwindow::panel_test
