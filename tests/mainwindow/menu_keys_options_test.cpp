// The real main window: the keys its menus show, the panel filter's history kept for the settings'
// save, and the quick-search choice of the options dialog.
#include "main_form_fixture.h"

#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>

#include "filelist/general_options.h"
#include "mainwindow/keyboard_map.h"
#include "mainwindow/options_dialog.h"
#include "mainwindow/quick_search.h"
#include "platform/ini_file.h"

namespace wux::mainwindow::test {
namespace {

using wux::test::makeFolder;
using wux::test::readFileBytes;

// Runs act on the options dialog once opening (a key press) has shown it (act closes it); false when it
// never came up.
bool withOptionsDialog(const std::function<void()>& opening, const std::function<void(TOptions&)>& act)
{
    bool shown = false;
    QTimer driver;
    driver.setInterval(5);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<TOptions*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        driver.stop();
        shown = true;
        act(*dialog);
    });
    driver.start();
    opening();
    return shown;
}

// Brings a page of the options dialog up with a click on its node in the page tree.
void clickPage(TOptions& dialog, const char* pageName)
{
    auto* tree = dialog.findChild<QTreeWidget*>("tvOptions");
    auto* pages = dialog.findChild<QStackedWidget*>("OptionsPages");
    const int page = pages->indexOf(dialog.findChild<QWidget*>(pageName));
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = tree->topLevelItem(i);
        if (node->data(0, Qt::UserRole).toInt() == page) {
            tree->scrollToItem(node);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        }
    }
    EXPECT_EQ(pages->currentIndex(), page) << pageName;
}

// Clicks a check box where its box is drawn.
void clickBox(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
}

// The items of a menu and of its submenus, the menus' own items included.
void collectItems(QMenu* menu, QList<QAction*>& items)
{
    items.push_back(menu->menuAction());
    for (QAction* item : menu->actions()) {
        items.push_back(item);
        if (item->menu() != nullptr)
            collectItems(item->menu(), items);
    }
}

TEST_F(MainFormTest, EveryMenuItemShowsTheKeyStoredWithIt)
{
    makeFolder(path("a"));
    startIn(path("a"), path("a"));
    QList<QAction*> items;
    for (QAction* title : child<QMenuBar>("tbMenu")->actions())
        if (title->menu() != nullptr)
            collectItems(title->menu(), items);
    struct Key
    {
        const char* item; // a menu by its name, an item by its own
        QList<QKeySequence> keys;
    };
    const auto pad = [](Qt::KeyboardModifiers modifiers, Qt::Key key) {
        return QKeySequence(QKeyCombination(modifiers | Qt::KeypadModifier, key));
    };
    const Key keys[] = {
        {"mnuMFile", {QKeySequence(Qt::ALT | Qt::Key_M)}},
        {"mnuProperties", {QKeySequence(Qt::ALT | Qt::Key_Return)}},
        {"mnuExit", {QKeySequence(Qt::ALT | Qt::Key_F4)}},
        {"actOptions", {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {"mnuBrief", {QKeySequence(Qt::CTRL | Qt::Key_F1)}},
        {"mnuFull", {QKeySequence(Qt::CTRL | Qt::Key_F2)}},
        {"mnuSortName", {QKeySequence(Qt::CTRL | Qt::Key_F3)}},
        {"mnuSortExt", {QKeySequence(Qt::CTRL | Qt::Key_F4)}},
        {"mnuSortDate", {QKeySequence(Qt::CTRL | Qt::Key_F5)}},
        {"mnuSortSize", {QKeySequence(Qt::CTRL | Qt::Key_F6)}},
        {"mnuAllFiles", {QKeySequence(Qt::CTRL | Qt::Key_F10)}},
        {"mnuCustom", {QKeySequence(Qt::CTRL | Qt::Key_F12)}},
        {"mnuView", {QKeySequence(Qt::Key_F3)}},
        {"mnuEdit", {QKeySequence(Qt::Key_F4)}},
        {"mnuCopy", {QKeySequence(Qt::Key_F5)}},
        {"mnuRenMove", {QKeySequence(Qt::Key_F6)}},
        {"mnuMkDir", {QKeySequence(Qt::Key_F7)}},
        {"mnuDelete", {QKeySequence(Qt::Key_F8)}},
        {"mnuSelAll", {QKeySequence(Qt::CTRL | Qt::Key_A)}},
        // The Mark items and the commands the window makes at its creation.
        {"mnuSelGroup", {pad(Qt::NoModifier, Qt::Key_Plus)}},
        {"mnuUnselGr", {pad(Qt::NoModifier, Qt::Key_Minus)}},
        {"mnuInvertSel", {pad(Qt::NoModifier, Qt::Key_Asterisk)}},
        {"mnuUnselAll", {pad(Qt::ControlModifier, Qt::Key_Minus)}},
        {"actLaunchOperation", {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {"actHelp", {QKeySequence(Qt::Key_F1)}},
        {"actHelpContents", {QKeySequence(Qt::SHIFT | Qt::Key_F1)}},
        {"actBrowser", {QKeySequence(Qt::CTRL | Qt::Key_1)}},
        {"actFinder", {QKeySequence(Qt::CTRL | Qt::Key_2), QKeySequence(Qt::ALT | Qt::Key_F7)}},
        {"actRenamer", {QKeySequence(Qt::CTRL | Qt::Key_3)}},
        {"actReplacer", {QKeySequence(Qt::CTRL | Qt::Key_4)}},
        {"actBatchReplacer", {QKeySequence(Qt::CTRL | Qt::Key_5)}},
    };
    for (const Key& k : keys) {
        QAction* item = nullptr;
        if (auto* menu = window->findChild<QMenu*>(QString::fromLatin1(k.item)))
            item = menu->menuAction();
        else
            item = window->findChild<QAction*>(QString::fromLatin1(k.item));
        ASSERT_NE(item, nullptr) << k.item;
        EXPECT_TRUE(items.contains(item)) << k.item << " is on no menu";
        EXPECT_EQ(QKeySequence::listToString(item->shortcuts()).toStdString(),
                  QKeySequence::listToString(k.keys).toStdString())
            << k.item;
    }
    EXPECT_EQ(action("actOptions")->text().toStdString(), "Options...");
}

// The main window with the panel's filter history empty and "Save settings on exit" as given.
class FilterHistoryTest : public MainFormTest
{
protected:
    void start(bool saveOnExit)
    {
        makeFolder(path("a"));
        wux::test::createFile(path("a\\x.txt"), "x");
        wux::test::createFile(path("a\\y.log"), "y");
        const std::uint32_t options =
            (0x7A7D & ~0x4u & ~kOptionSaveOnExit) | (saveOnExit ? kOptionSaveOnExit : 0);
        writeIni("[MainForm]\r\nShowTips=0\r\nGeneralCheckContainer=" + std::to_string(options) +
                 "\r\n[BROWSER_LEFT]\r\nDirectory=" + path("a") +
                 "\r\n[BROWSER_RIGHT]\r\nDirectory=" + path("a") + "\r\n");
        open();
        cursorOn(left(), "x.txt");
    }
};

TEST_F(FilterHistoryTest, CtrlF12WritesItsMaskOnlyWithTheOtherSettings)
{
    for (const bool saveOnExit : {false, true}) {
        start(saveOnExit);
        const std::string before = readFileBytes(iniPath);
        onQuery([](tools::TStandardQuery& dialog) {
            QLineEdit* edit = dialog.cbForSelectFiles()->lineEdit();
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, "*.txt");
            QTest::keyClick(edit, Qt::Key_Return);
        });
        press(left(), Qt::Key_F12, Qt::ControlModifier);
        ASSERT_EQ(queries.size(), 1u);
        EXPECT_EQ(left().Listing().maskText, "*.txt");
        EXPECT_EQ(readFileBytes(iniPath), before) << "nothing is written while the program runs";
        closeWindow();
        const std::string filters = platform::IniFile(iniPath).readString("MainForm", "BROWSER_FILTRES", "");
        if (saveOnExit)
            EXPECT_NE(filters.find("2A2E747874"), std::string::npos) << filters; // "*.txt"
        else
            EXPECT_EQ(readFileBytes(iniPath), before) << "the option is off: the file stays as it was";
        queries.clear();
    }
}

TEST_F(MainFormTest, AStoredWordWithBothQuickSearchKeysShowsAndKeepsCtrlAltLetter)
{
    makeFolder(path("a"));
    const std::uint32_t options = (0x7A7D & ~0x4u) | kOptionQuickSearchAlt | kOptionQuickSearchCtrlAlt;
    writeIni("[MainForm]\r\nShowTips=0\r\nGeneralCheckContainer=" + std::to_string(options) +
             "\r\n[BROWSER_LEFT]\r\nDirectory=" + path("a") +
             "\r\n[BROWSER_RIGHT]\r\nDirectory=" + path("a") + "\r\n");
    open();
    const bool shown =
        withOptionsDialog([this] { press(left(), Qt::Key_O, Qt::ControlModifier); },
                          [](TOptions& dialog) {
                              auto* ctrlAlt = dialog.findChild<QRadioButton*>("rbtCtrlAltLetter");
                              auto* alt = dialog.findChild<QRadioButton*>("rbtAltLetter");
                              EXPECT_TRUE(ctrlAlt->isChecked());
                              EXPECT_FALSE(alt->isChecked());
                              // A change elsewhere on the page, taken back, makes OK apply the page as shown.
                              clickPage(dialog, "tsOperation");
                              auto* space = dialog.findChild<QCheckBox*>("chkSelectoinWithSpace");
                              EXPECT_TRUE(space->isVisible());
                              clickBox(space);
                              clickBox(space);
                              QTest::mouseClick(dialog.findChild<QPushButton*>("btnOk"), Qt::LeftButton);
                          });
    EXPECT_TRUE(shown);
    EXPECT_EQ(filelist::GeneralCheckContainer.load(), options & ~kOptionQuickSearchAlt);
}

// A stored layout that shows both the shared drive bar and each panel's own keeps both through the
// options dialog's OK, with no change and with a change elsewhere; the bars stay on screen.
TEST_F(MainFormTest, OkInTheOptionsKeepsBothDriveBarsOfAStoredLayout)
{
    makeFolder(path("a"));
    const std::uint32_t both = kDefaultLayout | kLayoutPanelDriveBars | kLayoutSharedDriveBar;
    struct Case
    {
        const char* what;
        bool changeElsewhere; // the status line box ticked off and on again, which enables Apply
    };
    for (const Case c : {Case{"no change", false}, Case{"a change taken back", true}}) {
        SCOPED_TRACE(c.what);
        closeWindow();
        startIn(path("a"), path("a"), "Layout=" + std::to_string(both) + "\r\n");
        ASSERT_EQ(Layout, both);
        const bool shown = withOptionsDialog(
            [this] { press(left(), Qt::Key_O, Qt::ControlModifier); },
            [&c](TOptions& dialog) {
                EXPECT_TRUE(dialog.findChild<QCheckBox*>("chkShowDriveButtons")->isChecked());
                EXPECT_TRUE(dialog.findChild<QCheckBox*>("chkShowDriveButtonsAboveBothWindow")->isChecked());
                if (c.changeElsewhere) {
                    clickBox(dialog.findChild<QCheckBox*>("chkShowStatusLine"));
                    clickBox(dialog.findChild<QCheckBox*>("chkShowStatusLine"));
                }
                QTest::mouseClick(dialog.findChild<QPushButton*>("btnOk"), Qt::LeftButton);
            });
        QApplication::processEvents();
        EXPECT_TRUE(shown);
        EXPECT_EQ(Layout, both) << std::hex << Layout;
        EXPECT_TRUE(child("pnlTop")->isVisible());
        EXPECT_TRUE(left().findChild<QWidget*>("pnlDisks")->isVisible());
        EXPECT_TRUE(right().findChild<QWidget*>("pnlDisks")->isVisible());
    }
}

// Quick search in a folder below the root (its first row is "[..]"): the letters move the cursor, and a
// line emptied again leaves it where the last match put it.
class QuickSearchInASubfolder : public MainFormTest
{
protected:
    QuickSearchInASubfolder()
    {
        KeyboardStateSource = [this] { return keyboard; };
    }
    ~QuickSearchInASubfolder() override { KeyboardStateSource = nullptr; }
    Qt::KeyboardModifiers keyboard = Qt::NoModifier;
};

TEST_F(QuickSearchInASubfolder, AnEmptiedLineLeavesTheCursorOnTheLastMatch)
{
    for (const char* name : {"alpha.txt", "bravo.txt", "charlie.txt"})
        wux::test::createFile(path(std::string("a\\sub\\") + name), "x");
    startIn(path("a\\sub"), path("a"));
    filelist::GeneralCheckContainer = kOptionQuickSearchCtrlAlt;
    cursorOn(left(), "charlie.txt");
    auto* edSearch = child<QLineEdit>("edSearch");
    keyboard = Qt::AltModifier | Qt::ControlModifier;
    press(left(), Qt::Key_B, keyboard);
    keyboard = Qt::NoModifier;
    if (edSearch->text().isEmpty() && edSearch->hasFocus())
        QTest::keyClicks(edSearch, "b");
    ASSERT_EQ(edSearch->text().toStdString(), "b");
    EXPECT_EQ(cursorName(left()), "bravo.txt");
    QTest::keyClick(edSearch, Qt::Key_Backspace);
    EXPECT_EQ(edSearch->text().toStdString(), "");
    EXPECT_EQ(cursorName(left()), "bravo.txt");
    EXPECT_NE(left().Cursor(), 0) << "not on [..]";
}

} // namespace
} // namespace wux::mainwindow::test
