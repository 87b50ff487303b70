// The main window's keyboard map as a table (key, modifiers, window state -> action), the digit keys
// whatever the layout, and the dispatcher on the real window: Shift+Delete with the option word
// restored, a run that swallows every key, and the menu keys that run once.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include "filelist/file_operations.h"
#include "main_form_fixture.h"
#include "mainwindow/keyboard_map.h"
#include "mainwindow/quick_search.h"

namespace wux::mainwindow::test {
using wux::test::createFile;
using wux::test::exists;
using wux::test::makeFolder;
using wux::test::readFileBytes;

namespace {

constexpr int A = kKeyAlt;
constexpr int C = kKeyCtrl;
constexpr int S = kKeyShift;

KeyboardState panel()
{
    KeyboardState state;
    state.panelActive = true;
    state.panelVisible = true;
    return state;
}
KeyboardState with(KeyboardState state, void (*change)(KeyboardState&))
{
    change(state);
    return state;
}

TEST(KeyboardMapTest, EveryStepOfTheMap)
{
    using K = KeyAction;
    const KeyboardState open = with(panel(), [](KeyboardState& s) { s.quickSearchOpen = true; });
    const KeyboardState busy = with(panel(), [](KeyboardState& s) { s.operationBusy = true; });
    const KeyboardState tool = with(panel(), [](KeyboardState& s) { s.panelActive = false; });
    const KeyboardState toolAlone = with(tool, [](KeyboardState& s) { s.panelVisible = false; });
    const KeyboardState hidden = with(panel(), [](KeyboardState& s) { s.panelVisible = false; });
    const KeyboardState alt = with(panel(), [](KeyboardState& s) { s.options = kOptionQuickSearchAlt; });
    const KeyboardState ctrlAlt =
        with(panel(), [](KeyboardState& s) { s.options = kOptionQuickSearchCtrlAlt; });
    const KeyboardState plugIns = with(panel(), [](KeyboardState& s) { s.plugInCount = 3; });
    struct Row
    {
        const char* name;
        KeyStroke stroke;
        KeyboardState state;
        KeyOutcome outcome;
    };
    const Row rows[] = {
        // A run swallows everything, even Alt+F4.
        {"busy F5", {Qt::Key_F5, 0}, busy, {true, false, K::None, 0}},
        {"busy Alt+F4", {Qt::Key_F4, A}, busy, {true, false, K::None, 0}},
        {"busy Ctrl+A", {Qt::Key_A, C}, busy, {true, false, K::None, 0}},
        {"Alt+F4", {Qt::Key_F4, A}, tool, {true, false, K::ExitApplication, 0}},
        {"Ctrl+A panel", {Qt::Key_A, C}, panel(), {true, false, K::SelectAll, 0}},
        {"Ctrl+A tool", {Qt::Key_A, C}, tool, {}},
        {"Ctrl+O tool", {Qt::Key_O, C}, tool, {true, false, K::Options, 0}},
        {"Ctrl+Shift+A is no Ctrl+A", {Qt::Key_A, C + S}, panel(), {}},
        // From a tool only Alt+L, and only with the panel beside it shown.
        {"Alt+L tool", {Qt::Key_L, A}, tool, {true, false, K::FocusVisiblePanel, 0}},
        {"Alt+L tool, no panel", {Qt::Key_L, A}, toolAlone, {}},
        {"Alt+L panel", {Qt::Key_L, A}, panel(), {}},
        {"F5 tool", {Qt::Key_F5, 0}, tool, {}},
        {"F5 hidden panel", {Qt::Key_F5, 0}, hidden, {}},
        // Plug-ins by their digit.
        {"Ctrl+Shift+2 of 3", {Qt::Key_At, C + S, 2}, plugIns, {true, false, K::PlugIn, 2}},
        {"Ctrl+Shift+3 of 3", {Qt::Key_NumberSign, C + S, 3}, plugIns, {}},
        {"Ctrl+Shift+0 none", {Qt::Key_ParenRight, C + S, 0}, panel(), {}},
        // Function keys.
        {"F5", {Qt::Key_F5, 0}, panel(), {true, false, K::Copy, 0}},
        {"Shift+F5", {Qt::Key_F5, S}, panel(), {true, false, K::Copy, 1}},
        {"F6", {Qt::Key_F6, 0}, panel(), {true, false, K::Move, 0}},
        {"Shift+F6", {Qt::Key_F6, S}, panel(), {true, false, K::Move, 1}},
        {"F7", {Qt::Key_F7, 0}, panel(), {true, false, K::MakeFolder, 0}},
        {"F8", {Qt::Key_F8, 0}, panel(), {true, false, K::Delete, 0}},
        {"Delete", {Qt::Key_Delete, 0}, panel(), {true, false, K::Delete, 0}},
        {"Shift+Delete", {Qt::Key_Delete, S}, panel(), {true, false, K::Delete, 1}},
        {"Shift+F8", {Qt::Key_F8, S}, panel(), {true, false, K::Delete, 1}},
        {"Shift+F4", {Qt::Key_F4, S}, panel(), {true, false, K::NewFileForEdit, 0}},
        {"F4 to the panel", {Qt::Key_F4, 0}, panel(), {}},
        {"F3 to the menus", {Qt::Key_F3, 0}, panel(), {}},
        {"letter", {Qt::Key_X, 0}, panel(), {}},
        {"Ctrl+F1", {Qt::Key_F1, C}, panel(), {true, false, K::ModeBrief, 0}},
        {"Ctrl+F2", {Qt::Key_F2, C}, panel(), {true, false, K::ModeFull, 0}},
        {"Ctrl+F3 name", {Qt::Key_F3, C}, panel(), {true, false, K::SortBy, 0}},
        {"Ctrl+F4 extension", {Qt::Key_F4, C}, panel(), {true, false, K::SortBy, 1}},
        {"Ctrl+F5 date", {Qt::Key_F5, C}, panel(), {true, false, K::SortBy, 3}},
        {"Ctrl+F6 size", {Qt::Key_F6, C}, panel(), {true, false, K::SortBy, 2}},
        {"Ctrl+F10 to the key-down", {Qt::Key_F10, C}, panel(), {}},
        {"Ctrl+Shift+F5", {Qt::Key_F5, C + S}, panel(), {}},
        {"Alt+Enter", {Qt::Key_Return, A}, panel(), {true, false, K::ItemProperties, 0}},
        {"Alt+F1 to the key-down", {Qt::Key_F1, A}, alt, {}},
        {"Alt+F7 to the menus", {Qt::Key_F7, A}, alt, {}},
        // Quick search opens by the option bits.
        {"Alt+b, no option", {Qt::Key_B, A}, panel(), {}},
        {"Alt+b", {Qt::Key_B, A}, alt, {true, true, K::QuickSearchType, 0}},
        {"Alt+Shift+b", {Qt::Key_B, A + S}, alt, {true, true, K::QuickSearchType, 0}},
        {"Ctrl+Alt+b with the Alt bit", {Qt::Key_B, A + C}, alt, {}},
        {"Ctrl+Alt+b", {Qt::Key_B, A + C}, ctrlAlt, {true, true, K::QuickSearchType, 0}},
        {"Alt+b with the Ctrl+Alt bit", {Qt::Key_B, A}, ctrlAlt, {}},
        {"Alt alone", {Qt::Key_Alt, A}, alt, {}},
        {"Alt+b while open",
         {Qt::Key_B, A},
         with(open, [](KeyboardState& s) { s.options = 0x100; }),
         {true, false, K::QuickSearchType, 0}},
        // With the line open.
        {"open: letter", {Qt::Key_B, 0}, open, {true, false, K::QuickSearchType, 0}},
        {"open: Down", {Qt::Key_Down, 0}, open, {true, false, K::QuickSearchNext, 0}},
        {"open: Up", {Qt::Key_Up, 0}, open, {true, false, K::QuickSearchPrevious, 0}},
        {"open: Escape", {Qt::Key_Escape, 0}, open, {true, false, K::QuickSearchClose, 0}},
        {"open: Left", {Qt::Key_Left, 0}, open, {true, false, K::QuickSearchClose, 0}},
        {"open: Right", {Qt::Key_Right, 0}, open, {true, false, K::QuickSearchClose, 0}},
        {"open: Enter", {Qt::Key_Return, 0}, open, {true, false, K::QuickSearchClose, 1}},
        {"open: Tab", {Qt::Key_Tab, 0}, open, {false, false, K::QuickSearchClose, 0}},
        {"open: F8 deletes once", {Qt::Key_F8, 0}, open, {true, false, K::Delete, 0}},
        {"open: Ctrl+Delete", {Qt::Key_Delete, C}, open, {false, false, K::QuickSearchToGrid, 0}},
        {"open: F3", {Qt::Key_F3, 0}, open, {true, false, K::QuickSearchGridKey, Qt::Key_F3}},
        {"open: F4", {Qt::Key_F4, 0}, open, {true, false, K::QuickSearchGridKey, Qt::Key_F4}},
        {"open: Caps Lock", {Qt::Key_CapsLock, 0}, open, {}},
        {"open: Shift", {Qt::Key_Shift, S}, open, {true, false, K::None, 0}},
        {"open: Ctrl+F5 sorts", {Qt::Key_F5, C}, open, {true, false, K::SortBy, 3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const KeyOutcome got = mapShortcut(row.stroke, row.state);
        EXPECT_EQ(got.handled, row.outcome.handled);
        EXPECT_EQ(got.openQuickSearch, row.outcome.openQuickSearch);
        EXPECT_EQ(static_cast<int>(got.action), static_cast<int>(row.outcome.action));
        EXPECT_EQ(got.argument, row.outcome.argument);
    }
}

TEST(KeyboardMapTest, DigitsWhateverTheLayout)
{
    struct Row
    {
        int key;
        std::uint32_t virtualKey;
        std::uint32_t scanCode;
        int digit;
    };
    const Row rows[] = {
        {Qt::Key_0, 0, 0, 0},           {Qt::Key_7, 0, 0, 7},          {Qt::Key_Exclam, 0x21, 10, 1},
        {Qt::Key_ParenRight, 0, 19, 0}, {Qt::Key_Eacute, 0xe9, 11, 2}, {Qt::Key_Exclam, 0, 0, 1},
        {Qt::Key_ParenLeft, 0, 0, 9},   {Qt::Key_A, 0x61, 38, -1},     {Qt::Key_Plus, 0, 0, -1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(digitOfKey(row.key, row.virtualKey, row.scanCode), row.digit) << row.key;
}

class KeyboardTest : public MainFormTest
{
protected:
    KeyboardTest()
    {
        KeyboardStateSource = [this] { return keyboard; };
    }
    ~KeyboardTest() override { KeyboardStateSource = nullptr; }

    // A key pressed in the panel's grid with the keyboard's state as given.
    void key(TBrowserForm& panel, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        keyboard = modifiers & ~Qt::KeypadModifier;
        press(panel, k, modifiers);
        keyboard = Qt::NoModifier;
    }
    KeyboardDispatcher& dispatcher() { return *window->findChild<KeyboardDispatcher*>(); }

    Qt::KeyboardModifiers keyboard = Qt::NoModifier;
};

TEST_F(KeyboardTest, ShiftDeleteGoesToTheTrashAndRestoresTheOptionWord)
{
    createFile(path("a\\one.txt"), "1");
    createFile(path("a\\two.txt"), "2");
    startIn(path("a"), path("a"));
    const std::uint32_t before = filelist::GeneralCheckContainer;
    ASSERT_EQ(before & kOptionRecycleBin, 0u);

    cursorOn(left(), "one.txt");
    onQuery(ok);
    key(left(), Qt::Key_Delete, Qt::ShiftModifier);
    ASSERT_EQ(queries.size(), 1u) << "one question for one key";
    EXPECT_EQ(queries[0].prompt, "Do you wish to delete file \"one.txt\"?");
    EXPECT_FALSE(exists(path("a\\one.txt")));
    EXPECT_EQ(readFileBytes(posix("data-home") + "/Trash/files/one.txt"), "1");
    EXPECT_EQ(filelist::GeneralCheckContainer.load(), before);

    // F8 without Shift deletes for good.
    cursorOn(left(), "two.txt");
    onQuery(ok);
    key(left(), Qt::Key_F8);
    EXPECT_EQ(queries.size(), 2u);
    EXPECT_FALSE(exists(path("a\\two.txt")));
    EXPECT_FALSE(wux::test::exists(posix("data-home") + "/Trash/files/two.txt"));
    EXPECT_EQ(filelist::GeneralCheckContainer.load(), before);
}

TEST_F(KeyboardTest, ARunSwallowsEveryKeyAndMenuKeysRunOnce)
{
    createFile(path("a\\one.txt"), "1");
    makeFolder(path("b"));
    startIn(path("a"), path("b"));
    cursorOn(left(), "one.txt");

    filelist::OperationBusy = true;
    for (const Qt::Key k : {Qt::Key_F5, Qt::Key_F7, Qt::Key_2})
        key(left(), k, k == Qt::Key_2 ? Qt::ControlModifier : Qt::NoModifier);
    key(left(), Qt::Key_F4, Qt::AltModifier);
    filelist::OperationBusy = false;
    EXPECT_TRUE(queries.empty());
    EXPECT_EQ(CurrentMode, 1);

    // F5 asks once and copies once; Ctrl+2 (a menu key) switches the mode.
    onQuery(ok);
    key(left(), Qt::Key_F5);
    EXPECT_EQ(queries.size(), 1u);
    EXPECT_EQ(readFileBytes(path("b\\one.txt")), "1");
    window->SetActiveForm(&left());
    key(left(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(CurrentMode, 2);
    key(left(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(CurrentMode, 1);
}

TEST_F(KeyboardTest, GreyAsteriskAndTheInvertItemInvertTheMarksOnce)
{
    createFile(path("a\\one.txt"), "1");
    createFile(path("a\\two.txt"), "2");
    startIn(path("a"), path("a"));
    cursorOn(left(), "one.txt");
    key(left(), Qt::Key_Insert);
    ASSERT_EQ(left().Listing().selectedFiles, 1);
    key(left(), Qt::Key_Asterisk, Qt::KeypadModifier); // the Mark menu's key: once, not again and again
    EXPECT_EQ(left().Listing().selectedFiles, 1);
    EXPECT_TRUE(filelist::IsItemSelected(1, filelist::FindItemPosition(1, "two.txt", left().Listing(), true),
                                         left().Listing()));
    action("mnuInvertSel")->trigger();
    EXPECT_TRUE(filelist::IsItemSelected(1, filelist::FindItemPosition(1, "one.txt", left().Listing(), true),
                                         left().Listing()));
    EXPECT_EQ(left().Listing().selectedFiles, 1);
}

TEST_F(KeyboardTest, TheMarkKeysStayWithATextBoxOfATool)
{
    createFile(path("a\\one.txt"), "1");
    startIn(path("a"), path("a"));
    key(left(), Qt::Key_2, Qt::ControlModifier);
    QLineEdit* box = window->findChild<QComboBox*>("cmbSearchFor")->lineEdit();
    box->setFocus();
    box->setText("x");
    QApplication::processEvents();
    ASSERT_NE(window->ActiveForm(), static_cast<QWidget*>(&left()));
    QTest::keyClick(box, Qt::Key_Asterisk, Qt::KeypadModifier); // typed, not Invert selection
    keyboard = Qt::ControlModifier;
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier); // the text selected, not every file marked
    keyboard = Qt::NoModifier;
    EXPECT_EQ(box->text().toStdString(), "x*");
    EXPECT_EQ(box->selectedText().toStdString(), "x*");
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(left().Listing().selectedCount, 0);
    EXPECT_EQ(right().Listing().selectedCount, 0);
}

} // namespace
} // namespace wux::mainwindow::test

namespace wux::mainwindow::test {
namespace {

TEST_F(KeyboardTest, QuickSearchOpensTypesRefusesWrapsAndCloses)
{
    for (const char* name : {"alpha.txt", "beta.txt", "bravo.txt", "charlie.txt"})
        createFile(path(std::string("a\\") + name), "x");
    makeFolder(path("a\\bdir"));
    createFile(path("a\\bdir\\inner.txt"), "x");
    startIn(path("a"), path("a"));
    QuickSearchLine& line = dispatcher().quickSearch();
    auto* edSearch = child<QLineEdit>("edSearch");
    auto* menus = child<QWidget>("tbMenu");
    cursorOn(left(), "alpha.txt");

    // The options say Ctrl+Alt+letter: Alt+b alone does nothing.
    filelist::GeneralCheckContainer = kOptionQuickSearchCtrlAlt;
    key(left(), Qt::Key_B, Qt::AltModifier);
    EXPECT_FALSE(line.isOpen());
    key(left(), Qt::Key_B, Qt::AltModifier | Qt::ControlModifier);
    ASSERT_TRUE(line.isOpen());
    EXPECT_EQ(edSearch->text().toStdString(), "b");
    EXPECT_TRUE(edSearch->hasFocus());
    for (QAction* action : menus->actions())
        EXPECT_FALSE(action->isEnabled()) << "menu letters are off while the line is open";
    const QRect host(child<QWidget>("pnlLeft")->mapTo(window.get(), QPoint(0, 0)),
                     child<QWidget>("pnlLeft")->size());
    const QRect frame(child<QWidget>("pnlSearch")->mapTo(window.get(), QPoint(0, 0)),
                      child<QWidget>("pnlSearch")->size());
    EXPECT_EQ(frame.left(), host.left());
    EXPECT_EQ(frame.bottom(), host.bottom());

    // Each character that no name continues is refused.
    struct Step
    {
        Qt::Key key;
        std::string text;
        std::string cursor;
    };
    const Step steps[] = {
        {Qt::Key_R, "br", "bravo.txt"},   {Qt::Key_X, "br", "bravo.txt"},   {Qt::Key_Backspace, "b", "bdir"},
        {Qt::Key_E, "be", "beta.txt"},    {Qt::Key_Backspace, "b", "bdir"}, {Qt::Key_Down, "b", "beta.txt"},
        {Qt::Key_Down, "b", "bravo.txt"}, {Qt::Key_Down, "b", "bdir"},      {Qt::Key_Up, "b", "bravo.txt"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.text + " " + step.cursor);
        keyboard = Qt::NoModifier;
        QTest::keyClick(edSearch, step.key);
        EXPECT_EQ(edSearch->text().toStdString(), step.text);
        EXPECT_EQ(cursorName(left()), step.cursor);
    }

    // Escape, Left, Right and Tab close the line and give the grid the keyboard; Enter also opens.
    for (const Qt::Key closing : {Qt::Key_Escape, Qt::Key_Left, Qt::Key_Right, Qt::Key_Tab}) {
        SCOPED_TRACE(closing);
        key(left(), Qt::Key_B, Qt::AltModifier | Qt::ControlModifier);
        ASSERT_TRUE(line.isOpen());
        QTest::keyClick(edSearch, closing);
        EXPECT_FALSE(line.isOpen());
        // Tab goes on to the grid, which hands the keyboard to the other panel.
        EXPECT_TRUE((closing == Qt::Key_Tab ? right() : left()).sgBrowser()->hasFocus());
        window->SetActiveForm(&left());
        for (QAction* action : menus->actions())
            EXPECT_TRUE(action->isEnabled());
    }
    key(left(), Qt::Key_B, Qt::AltModifier | Qt::ControlModifier);
    QTest::keyClick(edSearch, Qt::Key_D);
    EXPECT_EQ(cursorName(left()), "bdir");
    QTest::keyClick(edSearch, Qt::Key_Return);
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(folderOf(left()), path("a\\bdir"));
}

TEST_F(KeyboardTest, SelectionByMaskWithItsHistoryAndFilesOnly)
{
    for (const char* name : {"one.txt", "two.txt", "three.doc"})
        createFile(path(std::string("a\\") + name), "x");
    makeFolder(path("a\\sub.txt"));
    startIn(path("a"), path("a"));
    filelist::GeneralCheckContainer = filelist::GeneralCheckContainer & ~kOptionFilesOnlyMaskSelection;
    cursorOn(left(), "one.txt");
    QComboBox* shown = nullptr;
    std::vector<std::string> offered;
    auto answer = [&](const std::string& mask) {
        return [&, mask](tools::TStandardQuery& dialog) {
            shown = dialog.cbForSelectFiles();
            offered.clear();
            for (int i = 0; i < shown->count(); ++i)
                offered.push_back(shown->itemText(i).toStdString());
            offered.push_back("[" + shown->currentText().toStdString() + "]");
            shown->setEditText(QString::fromStdString(mask));
            ok(dialog);
        };
    };
    struct Row
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::string mask; // empty: no question
        std::vector<std::string> offered;
        std::int32_t selected;
    };
    const Qt::KeyboardModifiers pad = Qt::KeypadModifier;
    const Row rows[] = {
        // The folder sub.txt matches too while files-only is off.
        {Qt::Key_Plus, pad, "*.txt", {"[*.*]"}, 3},
        {Qt::Key_Minus, pad, "t*", {"*.txt", "[*.txt]"}, 2},
        // Only ";" holds no mask: everything.
        {Qt::Key_Plus, pad, ";", {"t*", "*.txt", "[t*]"}, 4},
        {Qt::Key_Plus, pad | Qt::ControlModifier, "", {}, 4},
        {Qt::Key_Minus, pad | Qt::ControlModifier, "", {}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mask);
        queries.clear();
        offered.clear();
        if (!row.mask.empty())
            onQuery(answer(row.mask));
        key(left(), row.key, row.modifiers);
        EXPECT_EQ(queries.size(), row.mask.empty() ? 0u : 1u);
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(left().Listing().selectedCount, row.selected);
    }
    // Files only: Ctrl+keypad "+" leaves the folder.
    filelist::GeneralCheckContainer = filelist::GeneralCheckContainer | kOptionFilesOnlyMaskSelection;
    key(left(), Qt::Key_Plus, pad | Qt::ControlModifier);
    EXPECT_EQ(left().Listing().selectedCount, 3);
}

TEST_F(KeyboardTest, PanelFiltersAreListedAndTheirHistorySaved)
{
    for (const char* name : {"one.txt", "two.doc"})
        createFile(path(std::string("a\\") + name), "x");
    startIn(path("a"), path("a"));
    cursorOn(left(), "one.txt");
    std::string shownText;
    onQuery([&](tools::TStandardQuery& dialog) {
        shownText = dialog.cbForSelectFiles()->currentText().toStdString();
        dialog.cbForSelectFiles()->setEditText("*.doc");
        ok(dialog);
    });
    key(left(), Qt::Key_F12, Qt::ControlModifier);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].prompt, "Enter file types");
    EXPECT_EQ(shownText, "*.*");
    EXPECT_EQ(left().Listing().maskText, "*.doc");
    cursorOn(left(), "one.txt");
    EXPECT_EQ(cursorName(left()), "two.doc") << "one.txt is no longer listed";
    EXPECT_EQ(iniBytes().find("BROWSER_FILTRES"), std::string::npos) << "written with the other settings";
    platform::StringList saved;
    FilterHistory().FillStrings(saved);
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.at(0), "*.doc");

    // Ctrl+F10 lists every file again; a second Ctrl+F10 asks nothing.
    key(left(), Qt::Key_F10, Qt::ControlModifier);
    EXPECT_EQ(left().Listing().maskText, "*.*");
    cursorOn(left(), "one.txt");
    EXPECT_EQ(cursorName(left()), "one.txt");
    key(left(), Qt::Key_F10, Qt::ControlModifier);
    EXPECT_EQ(queries.size(), 1u);
}

} // namespace
} // namespace wux::mainwindow::test

namespace wux::mainwindow::test {
namespace {

TEST_F(KeyboardTest, SelectByResultMarksTheItemsOfOneStatus)
{
    const std::pair<const char*, std::uint32_t> files[] = {
        {"done.txt", 64}, {"failed.txt", 128}, {"same.txt", 192}, {"untouched.txt", 0}, {"done2.txt", 64}};
    for (const auto& [name, status] : files)
        createFile(path(std::string("a\\") + name), "x");
    startIn(path("a"), path("a"));
    cursorOn(left(), "done.txt");
    filelist::TstateOfBrowser& list = left().Listing();
    {
        filelist::StateAccess access(list);
        for (const auto& [name, status] : files) {
            const std::int32_t position = filelist::FindItemPosition(1, name, list, true);
            ASSERT_GT(position, 0) << name;
            access.ItemAt(1, position)->status = status;
        }
    }
    struct Row
    {
        const char* item;
        std::int32_t selected;
    };
    const Row rows[] = {{"SelectSuccessful", 2}, {"SelectFailed", 1}, {"SelectUnchanged", 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.item);
        filelist::SelectFolderItems(1, list, true, filelist::kActionUnmark);
        action(row.item)->trigger();
        EXPECT_EQ(list.selectedCount, row.selected);
    }
}

} // namespace
} // namespace wux::mainwindow::test

#include "ui_TMainForm.h"

namespace wux::mainwindow::test {
namespace {

TEST_F(KeyboardTest, CtrlF1CtrlF2AndTheViewButtonsSwitchBriefAndFull)
{
    makeFolder(path("a"));
    startIn(path("a"), path("a"));
    window->SetActiveForm(&left());
    const std::pair<std::function<void()>, std::int32_t> steps[] = {
        {[&] { key(left(), Qt::Key_F2, Qt::ControlModifier); }, filelist::kViewFull},
        {[&] { key(left(), Qt::Key_F1, Qt::ControlModifier); }, filelist::kViewBrief},
        {[&] { window->ui().btnSetModeFull->click(); }, filelist::kViewFull},
        {[&] { window->ui().btnSetModeBrief->click(); }, filelist::kViewBrief},
    };
    for (const auto& [step, mode] : steps) {
        step();
        EXPECT_EQ(left().BrowserMode(), mode);
    }
}

// In the Basket view Brief and Full lay the list out again, from the keys, the buttons and the menu:
// Brief one column of names, Full the five columns.
TEST_F(KeyboardTest, BriefAndFullLayTheBasketOutAgain)
{
    createFile(path("a\\one.txt"), "1");
    createFile(path("a\\two.txt"), "2");
    startIn(path("a"), path("a"));
    cursorOn(left(), "one.txt");
    left().btnSendTobasketClick();
    window->SetActiveForm(&left());
    left().SetBrowserMode(filelist::kViewBasket);
    ASSERT_EQ(left().BrowserMode(), filelist::kViewBasket);
    const std::pair<std::function<void()>, int> steps[] = {
        {[&] { key(left(), Qt::Key_F1, Qt::ControlModifier); }, 1},
        {[&] { key(left(), Qt::Key_F2, Qt::ControlModifier); }, 5},
        {[&] { window->ui().btnSetModeBrief->click(); }, 1},
        {[&] { window->ui().btnSetModeFull->click(); }, 5},
        {[&] { window->ui().mnuBrief->trigger(); }, 1},
        {[&] { window->ui().mnuFull->trigger(); }, 5},
    };
    int step = 0;
    for (const auto& [act, columns] : steps) {
        SCOPED_TRACE(step++);
        act();
        EXPECT_EQ(left().BrowserMode(), filelist::kViewBasket);
        EXPECT_EQ(left().BasketMode(), columns == 1 ? 1 : 2);
        EXPECT_EQ(left().sgBrowser()->ColCount(), columns);
    }
}

} // namespace
} // namespace wux::mainwindow::test
