#include "journey.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "controls/vyk_status_bar.h"
#include "controls/wux_string_grid.h"
#include "core/settings_path.h"
#include "filelist/list_operations.h"
#include "mainwindow/settings_fixture.h"
#include "mainwindow/startup.h"
#include "tools/query_dialog.h"

namespace wux::e2e {

EnvVar::EnvVar(const char* name, const std::string& value) : name_(name)
{
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    setenv(name, value.c_str(), 1);
}

EnvVar::~EnvVar()
{
    had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_);
}

Journey::Journey()
{
    makeFolder(programFolder);
    core::setProgramFolder(programFolder);
    mainwindow::test::resetSettings();
    mainwindow::DriveDirectories.clear();
}

Journey::~Journey()
{
    tools::ClearToolList();
    tools::SetSettingsFileName("");
    tools::SetHelpFileName("");
    core::setProgramFolder("");
    mainwindow::test::resetSettings();
}

void Journey::settings(const std::string& left, const std::string& right, const std::string& more)
{
    createFile(iniPath, "[MainForm]\r\nShowTips=0\r\n" + more + "[BROWSER_LEFT]\r\nDirectory=" + left +
                            "\r\n[BROWSER_RIGHT]\r\nDirectory=" + right + "\r\n");
}

int Journey::run(const std::function<void()>& journey)
{
    const char* const argv[] = {"wux"};
    return mainwindow::RunProgram(*qApp, 1, argv, [&]() -> std::unique_ptr<QObject> {
        std::unique_ptr<QObject> windows = mainwindow::CreateMainWindows();
        window = qobject_cast<TMainForm*>(windows.get());
        if (window == nullptr)
            return windows;
        QTimer::singleShot(0, window, [this, journey] {
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window));
            QTest::qWait(20); // the deferred start after the first paint
            journey();
            // A journey that did not quit (a failed check) has the loop ended for it.
            QTimer::singleShot(200, window, [] { QCoreApplication::exit(99); });
        });
        return windows;
    });
}

// ---- The user's hands ----

namespace {

QWidget* target(QWidget* window)
{
    // An open popup has the keyboard.
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    if (QWidget* focus = QApplication::focusWidget())
        return focus;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return window;
}

// The window manager's part: a shown dialog, a main window whose dialog has closed and a window clicked
// into are active before the keys and clicks arrive.
void activate(QWidget* window)
{
    if (!window->isActiveWindow()) {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    }
    // The focus comes with the activation, a little after it on a busy machine: keys go where the
    // window's focus is, never to the window that was active before.
    (void)QTest::qWaitFor(
        [window] {
            QWidget* focus = QApplication::focusWidget();
            return focus != nullptr ? focus->window() == window : window->focusWidget() == nullptr;
        },
        2000);
}

const std::pair<Qt::KeyboardModifier, Qt::Key> kModifierKeys[] = {{Qt::ControlModifier, Qt::Key_Control},
                                                                  {Qt::AltModifier, Qt::Key_Alt},
                                                                  {Qt::ShiftModifier, Qt::Key_Shift}};

} // namespace

static QString xKeyText(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        // A letter with Ctrl is its control character (Ctrl+Alt+T gives "\x14").
        if (modifiers.testFlag(Qt::ControlModifier))
            return QString(QChar(key - Qt::Key_A + 1));
        return QString(QChar(modifiers.testFlag(Qt::ShiftModifier) ? key : key - Qt::Key_A + 'a'));
    }
    const char ascii = QTest::keyToAscii(key);
    return ascii != 0 ? QString(QChar::fromLatin1(ascii)) : QString();
}

void Journey::key(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (QApplication::activePopupWidget() == nullptr)
        activate(modal ? modal : window);
    // The modifier keys go down first, as the keyboard sends them, so that the keyboard's state agrees.
    Qt::KeyboardModifiers held;
    for (const auto& [modifier, modifierKey] : kModifierKeys)
        if (modifiers.testFlag(modifier)) {
            held |= modifier;
            QTest::keyPress(target(window), modifierKey, held);
        }
    // The key's text as the X server gives it.
    if (QWidget* to = target(window))
        QTest::sendKeyEvent(QTest::Click, to, key, xKeyText(key, modifiers), modifiers);
    for (const auto& [modifier, modifierKey] : kModifierKeys)
        if (held.testFlag(modifier)) {
            held &= ~modifier;
            if (QWidget* to = target(window))
                QTest::keyRelease(to, modifierKey, held);
        }
    QApplication::processEvents();
}

void Journey::keys(std::initializer_list<Qt::Key> list)
{
    for (Qt::Key k : list)
        key(k);
}

void Journey::type(const QString& text)
{
    // As with a key: a shown dialog is active before the typing reaches it.
    QWidget* modal = QApplication::activeModalWidget();
    if (QApplication::activePopupWidget() == nullptr)
        activate(modal ? modal : window);
    QTest::keyClicks(target(window), text);
    QApplication::processEvents();
}

void Journey::click(QWidget* widget, Qt::KeyboardModifiers modifiers, QPoint at)
{
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isVisible()) << widget->objectName().toStdString();
    if (QApplication::activeModalWidget() == nullptr || widget->window() == QApplication::activeModalWidget())
        activate(widget->window());
    // The click goes to the widget under the pointer, as the window system delivers it.
    QPoint point = at.isNull() ? widget->rect().center() : at;
    if (at.isNull() && (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)))
        point = QPoint(7, widget->height() / 2); // on the box, not on the empty space beside its text
    if (QWidget* inner = widget->childAt(point)) {
        point = inner->mapFrom(widget, point);
        widget = inner;
    }
    QTest::mouseClick(widget, Qt::LeftButton, modifiers, point);
    QApplication::processEvents();
}

void Journey::menu(const char* menuName, const char* itemName)
{
    auto* bar = child<QMenuBar>("tbMenu");
    auto* popup = child<QMenu>(menuName);
    ASSERT_TRUE(bar && popup);
    click(bar, Qt::NoModifier, bar->actionGeometry(popup->menuAction()).center());
    ASSERT_TRUE(QTest::qWaitFor([popup] { return popup->isVisible(); }, 1000)) << menuName;
    QAction* item = popup->findChild<QAction*>(QString::fromLatin1(itemName));
    if (item == nullptr)
        item = window->findChild<QAction*>(QString::fromLatin1(itemName));
    ASSERT_TRUE(item != nullptr && popup->actions().contains(item)) << itemName;
    EXPECT_TRUE(item->isEnabled()) << itemName;
    QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier, popup->actionGeometry(item).center());
    QApplication::processEvents();
}

void Journey::openOptionsPage(QWidget& options, const char* pageName)
{
    auto* tree = options.findChild<QTreeWidget*>("tvOptions");
    auto* pages = options.findChild<QStackedWidget*>("OptionsPages");
    ASSERT_TRUE(tree && pages);
    const int page = pages->indexOf(options.findChild<QWidget*>(pageName));
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tree->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toInt() == page)
            click(tree->viewport(), Qt::NoModifier, tree->visualItemRect(item).center());
    }
    EXPECT_EQ(pages->currentIndex(), page) << pageName;
}

void Journey::focus(TBrowserForm& panel)
{
    controls::TWUXStringGrid* grid = panel.sgBrowser();
    const QRect cell = grid->CellRect(grid->Col(), grid->Row());
    click(grid->viewport(), Qt::NoModifier, cell.isEmpty() ? QPoint(2, 2) : cell.center());
    EXPECT_EQ(window->ActiveForm(), &panel);
}

void Journey::cursorTo(TBrowserForm& panel, const std::string& name)
{
    if (window->ActiveForm() != &panel)
        focus(panel);
    key(Qt::Key_Home);
    for (int step = 0; step < 200 && cursorName(panel) != name; ++step) {
        const std::int32_t before = panel.Cursor();
        key(Qt::Key_Down);
        if (panel.Cursor() == before)
            break;
    }
    ASSERT_EQ(cursorName(panel), name);
}

void Journey::answerQuery(const std::string& text, bool ok)
{
    when<tools::TStandardQuery>([this, text, ok](tools::TStandardQuery& dialog) {
        prompts.push_back(dialog.lblInfo()->text().toStdString());
        if (!text.empty()) {
            dialog.edInfo()->setFocus();
            QTest::keyClick(dialog.edInfo(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(dialog.edInfo(), QString::fromStdString(text));
        }
        QTest::mouseClick(ok ? dialog.btnOK() : dialog.btnCancel(), Qt::LeftButton);
    });
}

// ---- What the user sees ----

std::string Journey::rows(TBrowserForm& panel)
{
    std::string shown;
    filelist::TstateOfBrowser& list = panel.Listing();
    for (std::int32_t row = 0; row < list.rowCount; ++row) {
        std::string name;
        panel.GetItemNameAt(row, name);
        shown += (row ? "|" : "") + (name.empty() ? std::string("[..]") : name);
    }
    return shown;
}

std::string Journey::basketRows(TBrowserForm& panel)
{
    std::string shown;
    for (std::int32_t row = 1; row <= panel.BasketRows(); ++row) {
        std::int32_t folder = 0;
        std::int32_t position = 0;
        filelist::RowToItem(row, panel.BasketMode() == 2, folder, panel.BasketView(), position);
        std::string text;
        if (position == 0)
            text = "<" + filelist::FolderPathAsStored(folder, panel.BasketView()) + ">";
        else
            filelist::GetCellText(filelist::kColumnStoredName, folder, position, text, panel.BasketView());
        shown += (row > 1 ? "|" : "") + text;
    }
    return shown;
}

std::string Journey::marked(TBrowserForm& panel)
{
    std::string shown;
    filelist::TstateOfBrowser& list = panel.Listing();
    for (std::int32_t row = 0; row < list.rowCount; ++row) {
        std::string name;
        panel.GetItemNameAt(row, name);
        if (!name.empty() &&
            filelist::IsItemSelected(1, filelist::FindItemPosition(1, name, list, true), list))
            shown += (shown.empty() ? "" : "|") + name;
    }
    return shown;
}

std::string Journey::cursorName(TBrowserForm& panel)
{
    std::string name;
    panel.GetItemNameAt(panel.Cursor(), name);
    return name;
}

std::string Journey::status(TBrowserForm& panel)
{
    controls::TVYKStatusBar* bar = panel.sbFilesComment();
    if (bar->SimplePanel())
        return bar->SimpleText().toStdString();
    std::string text;
    for (int i = 0; i < bar->panelCount(); ++i)
        text += (i ? "|" : "") + bar->Panels(i).Text().toStdString();
    return text;
}

std::string Journey::folder(TBrowserForm& panel)
{
    return filelist::FolderPathAsStored(1, panel.Listing());
}

std::string Journey::onDisk(const std::string& relative, char letter)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(drive.posix(relative, letter)))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : "|") + name;
    return joined;
}

} // namespace wux::e2e
