#include "controls/auto_select.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace wux::controls {

namespace {

constexpr const char* kKeepSelection = "wuxKeepSelection";

// The edit line that shows the text of a focused control.
QLineEdit* editLineOf(QObject* watched)
{
    if (auto* edit = qobject_cast<QLineEdit*>(watched))
        return edit;
    if (auto* combo = qobject_cast<QComboBox*>(watched))
        return combo->isEditable() ? combo->lineEdit() : nullptr;
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(watched))
        return spin->findChild<QLineEdit*>();
    return nullptr;
}

class AutoSelect : public QObject
{
public:
    explicit AutoSelect(QObject& owner) : QObject(&owner) { qApp->installEventFilter(this); }
    ~AutoSelect() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::FocusIn && type != QEvent::FocusOut)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        QLineEdit* edit = editLineOf(watched);
        if (edit == nullptr || edit->isReadOnly())
            return false;
        if (type == QEvent::FocusOut) {
            watched->setProperty(kKeepSelection,
                                 reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason);
            return false;
        }
        const bool keep = watched->property(kKeepSelection).toBool();
        watched->setProperty(kKeepSelection, false);
        if (keep || reason == Qt::MouseFocusReason)
            return false;
        // The window coming back gives the focus to a box whose selection the program set meanwhile
        // (after a message): that selection stands.
        if (reason == Qt::ActiveWindowFocusReason && edit->hasSelectedText())
            return false;
        edit->selectAll();
        // The control's own focus handling may set its text again (a history box), which leaves the
        // cursor at the end with nothing selected: select once more afterwards, unless the user has
        // typed meanwhile or the program has placed the cursor or a selection of its own.
        const QString text = edit->text();
        QPointer<QObject> control(watched);
        QPointer<QLineEdit> line(edit);
        QTimer::singleShot(0, edit, [control, line, text] {
            if (control != nullptr && line != nullptr && line->text() == text && !line->hasSelectedText() &&
                line->cursorPosition() == text.size() &&
                (QApplication::focusWidget() == control || QApplication::focusWidget() == line))
                line->selectAll();
        });
        return false;
    }
};

} // namespace

void InstallAutoSelect(QObject& owner)
{
    static QPointer<QObject> installed;
    if (installed != nullptr)
        return;
    installed = new AutoSelect(owner);
}

} // namespace wux::controls
