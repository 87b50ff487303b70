#include "mainwindow/quick_search.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QMenuBar>

#include <algorithm>

#include "controls/wux_string_grid.h"
#include "filelist/browser_state.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/main_form.h"
#include "platform/text.h"
#include "ui_TMainForm.h"

namespace wux::mainwindow {

QString quickSearchText(int key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    if (key == Qt::Key_Backspace)
        return QStringLiteral("\b");
    const bool printable =
        !text.isEmpty() && std::none_of(text.begin(), text.end(), [](QChar ch) { return !ch.isPrint(); });
    if (printable)
        return text;
    // A key of the Latin-1 range stands for its character.
    if ((key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) || (key >= Qt::Key_nobreakspace && key <= 0xFF)) {
        const QChar ch(key);
        return QString((modifiers & Qt::ShiftModifier) ? ch.toUpper() : ch.toLower());
    }
    return QString();
}

QuickSearchLine::QuickSearchLine(TMainForm& window)
    : QObject(&window), window_(window), line_(window.ui().edSearch), frame_(window.ui().pnlSearch)
{
    line_->installEventFilter(this);
    connect(line_, &QLineEdit::textChanged, this, &QuickSearchLine::textChanged);
}

bool QuickSearchLine::isOpen() const
{
    return frame_->isVisible();
}

TBrowserForm* QuickSearchLine::panel() const
{
    // The focus in the line is no panel's: the line keeps the panel it was opened on.
    if (owner_ != nullptr && isOpen())
        return owner_;
    return activePanel();
}

TBrowserForm* QuickSearchLine::activePanel() const
{
    TBrowserForm* browser = nullptr;
    if (!window_.GetActiveBrowser(browser) || browser == nullptr ||
        window_.ActiveForm() != static_cast<QWidget*>(browser))
        return nullptr;
    return browser;
}

void QuickSearchLine::open()
{
    TBrowserForm* browser = activePanel();
    if (browser == nullptr)
        return;
    owner_ = browser;
    // The line's bottom on the bottom of the panel's host, at its left edge.
    QWidget* host = browser->parentWidget() != nullptr ? browser->parentWidget() : browser;
    QWidget* parent = frame_->parentWidget();
    const QPoint bottomLeft = host->mapTo(parent, QPoint(0, host->height()));
    frame_->move(bottomLeft.x(), bottomLeft.y() - frame_->height());
    line_->clear();
    frame_->show();
    frame_->raise();
    line_->setFocus();
}

void QuickSearchLine::close(bool openItem)
{
    // The grid takes the focus before the line is hidden: hiding the line with the focus in it would
    // hand the focus to the next control of the window (the other panel, a tool).
    TBrowserForm* browser = panel();
    if (browser != nullptr && browser->sgBrowser() != nullptr)
        browser->sgBrowser()->setFocus();
    frame_->hide();
    owner_ = nullptr;
    if (browser == nullptr)
        return;
    if (openItem) {
        int key = Qt::Key_Return;
        browser->sgBrowserKeyDown(key, Qt::NoModifier);
    }
}

void QuickSearchLine::searchNext(bool backward)
{
    if (TBrowserForm* browser = panel())
        browser->QuickSearch(platform::toUtf8(line_->text()), backward);
}

void QuickSearchLine::typeText(const QString& text)
{
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\b')) {
            line_->backspace();
            continue;
        }
        if (ch.unicode() < 32)
            continue;
        if (TBrowserForm* browser = panel()) {
            const QString wanted = line_->text().left(line_->cursorPosition()) + ch;
            if (browser->FindRowOfName(platform::toUtf8(wanted)) == 0)
                continue;
        }
        line_->insert(QString(ch));
    }
}

void QuickSearchLine::textChanged(const QString& text)
{
    TBrowserForm* browser = panel();
    if (browser == nullptr)
        return;
    const std::int32_t found = browser->FindRowOfName(platform::toUtf8(text));
    if (found <= 0)
        return;
    std::int32_t index = found - 1;
    const std::int32_t mode = browser->BrowserMode();
    if ((mode == filelist::kViewBrief || mode == filelist::kViewFull) &&
        filelist::GetFolderDepth(1, browser->Listing()) != 0)
        index = found;
    if (browser->isVisible())
        browser->PositionCursor(index, -1, -1);
    if (mode == filelist::kViewBasket && browser->BasketMode() == 1)
        browser->UpdateStatusLine(browser->Cursor());
}

void QuickSearchLine::entered()
{
    // Letters must not reach the menus' accelerators while the line has the keyboard.
    for (QAction* action : window_.ui().tbMenu->actions()) {
        if (action->isEnabled()) {
            action->setEnabled(false);
            disabled_.emplace_back(action);
        }
    }
}

void QuickSearchLine::exited()
{
    for (const QPointer<QAction>& action : disabled_) {
        if (action != nullptr)
            action->setEnabled(true);
    }
    disabled_.clear();
    frame_->hide();
}

bool QuickSearchLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == line_) {
        if (event->type() == QEvent::FocusIn)
            entered();
        else if (event->type() == QEvent::FocusOut)
            exited();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace wux::mainwindow
