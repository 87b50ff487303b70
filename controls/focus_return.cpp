#include "controls/focus_return.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace wux::controls {

namespace {

class FocusReturn : public QObject
{
public:
    explicit FocusReturn(QObject& owner) : QObject(&owner) { qApp->installEventFilter(this); }
    ~FocusReturn() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::Show && type != QEvent::Hide) || event->spontaneous() ||
            !watched->isWidgetType())
            return false;
        auto* dialog = static_cast<QWidget*>(watched);
        if (!dialog->isWindow() || !dialog->isModal())
            return false;
        std::erase_if(held_, [](const Held& held) { return held.dialog == nullptr; });
        const auto found = std::find_if(held_.begin(), held_.end(),
                                        [dialog](const Held& held) { return held.dialog == dialog; });
        if (type == QEvent::Show) {
            if (found == held_.end())
                held_.push_back(heldBefore(*dialog));
            return false;
        }
        if (found != held_.end()) {
            const Held held = *found;
            held_.erase(found);
            giveBack(held);
        }
        return false;
    }

private:
    // The window and control that have the keyboard as a modal window opens.
    struct Held
    {
        QPointer<QWidget> dialog;
        QPointer<QWidget> window;
        QPointer<QWidget> focus;
        QPointer<QWidget> windowFocus; // the window's own focus control as the dialog opened
    };

    // The owner: the window the dialog was opened over (its parent's window), else the active window,
    // else the dialog opened before it that is still shown. The window system may not have made the
    // owner active yet (a question right after its progress window came up): the control is the one
    // the owner keeps for its keyboard.
    Held heldBefore(QWidget& dialog) const
    {
        Held held;
        held.dialog = &dialog;
        QWidget* window = dialog.parentWidget() != nullptr ? dialog.parentWidget()->window() : nullptr;
        if (window == nullptr || window == &dialog)
            window = QApplication::activeWindow();
        if (window == nullptr || window == &dialog) {
            window = nullptr;
            for (auto before = held_.rbegin(); before != held_.rend() && window == nullptr; ++before)
                if (before->dialog != nullptr && before->dialog->isVisible())
                    window = before->dialog;
        }
        held.window = window;
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr || focus->window() != window)
            focus = window != nullptr ? window->focusWidget() : nullptr;
        held.focus = focus;
        held.windowFocus = window != nullptr ? window->focusWidget() : nullptr;
        return held;
    }

    static void giveBack(const Held& held)
    {
        QWidget* window = held.window;
        if (window == nullptr || !window->isVisible())
            return;
        // A control gone or hidden meanwhile (a page rebuilt for another language): the window's own
        // choice, or its first control that takes the keyboard.
        QWidget* focus = held.focus;
        // A control the program gave the focus to meanwhile (a panel that shows a found file) keeps it.
        if (QWidget* chosen = window->focusWidget();
            chosen != nullptr && chosen != held.focus && chosen != held.windowFocus && chosen->isVisible())
            focus = chosen;
        if (focus == nullptr || !focus->isVisible() || !focus->isEnabled() || focus->window() != window)
            focus = window->focusWidget();
        if (focus != nullptr && (!focus->isVisible() || !focus->isEnabled()))
            focus = nullptr;
        for (QWidget* next = window->nextInFocusChain(); focus == nullptr && next != window;
             next = next->nextInFocusChain()) {
            if ((next->focusPolicy() & Qt::TabFocus) != 0 && next->isVisible() && next->isEnabled())
                focus = next;
        }
        window->activateWindow();
        if (focus != nullptr)
            focus->setFocus(Qt::ActiveWindowFocusReason);
        // The window system may still hand the activation elsewhere as the dialog goes: once it has,
        // the window asks again, unless another dialog has come up meanwhile. The control the
        // program has focused since stays.
        QPointer<QWidget> owner(window);
        QTimer::singleShot(0, window, [owner] {
            QWidget* modal = QApplication::activeModalWidget();
            if (owner != nullptr && owner->isVisible() && QApplication::activeWindow() != owner &&
                (modal == nullptr || modal == owner))
                owner->activateWindow();
        });
    }

    std::vector<Held> held_;
};

} // namespace

void InstallFocusReturn(QObject& owner)
{
    static QPointer<QObject> installed;
    if (installed != nullptr)
        return;
    installed = new FocusReturn(owner);
}

} // namespace wux::controls
