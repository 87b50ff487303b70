// The quick-search line of the main window (pnlSearch with edSearch): it floats over the bottom of
// the active panel's host, and each accepted character moves the panel's cursor to the first name that
// begins with the line's text. A character that no name continues is refused.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QAction;
class QLineEdit;
class QWidget;

namespace wux::mainwindow {

class TMainForm;
class TBrowserForm;

// The characters a key types into the line: its text, or, where the system gives a control character
// for a letter held with Ctrl (Ctrl+Alt+T arrives as "\x14"), the key's own character (capital with
// Shift). Backspace gives "\b".
QString quickSearchText(int key, Qt::KeyboardModifiers modifiers, const QString& text);

class QuickSearchLine : public QObject
{
    Q_OBJECT
public:
    explicit QuickSearchLine(TMainForm& window);

    bool isOpen() const;
    // Shows the line over the bottom of the active panel's host and gives it the focus.
    void open();
    // Gives the focus back to the grid of the panel the line was opened on, then hides the line;
    // openItem also opens that panel's cursor item.
    void close(bool openItem);
    // Moves the cursor to the next (or, backward, the previous) name that begins with the line's text.
    void searchNext(bool backward);
    // Types characters into the line as keys would: a character of code 32 or above is dropped when
    // no name of the panel begins with the line's text followed by it; a backspace erases one.
    void typeText(const QString& text);
    // The panel the line searches: while it is open, the panel it was opened on; otherwise the active
    // panel. nullptr when there is none.
    TBrowserForm* panel() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TBrowserForm* activePanel() const;
    void textChanged(const QString& text);
    void entered();
    void exited();

    TMainForm& window_;
    QLineEdit* line_;
    QWidget* frame_;
    QPointer<TBrowserForm> owner_;
    std::vector<QPointer<QAction>> disabled_;
};

} // namespace wux::mainwindow
