// Dialog-level key preview: a window sees every key pressed in it before the control with the focus
// does, and a key it handles never reaches the control. Qt delivers keys to the focused control first,
// so the preview watches the application's key presses and takes those meant for its window (its own
// widgets, not the popups they open).
#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

namespace wux::tools {

class DialogKeyPreview : public QObject
{
public:
    // handler answers true for a key it has handled. The preview is a child of window and works
    // while window is visible.
    using Handler = std::function<bool(QKeyEvent& event)>;
    DialogKeyPreview(QWidget* window, Handler handler);
    ~DialogKeyPreview() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    Handler handler_;
};

} // namespace wux::tools
