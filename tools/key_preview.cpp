#include "tools/key_preview.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace wux::tools {

DialogKeyPreview::DialogKeyPreview(QWidget* window, Handler handler)
    : QObject(window), window_(window), handler_(std::move(handler))
{
    QCoreApplication::instance()->installEventFilter(this);
}

DialogKeyPreview::~DialogKeyPreview()
{
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeEventFilter(this);
}

bool DialogKeyPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == window_ && window_->isVisible() &&
        handler_(*static_cast<QKeyEvent*>(event)))
        return true;
    return QObject::eventFilter(watched, event);
}

} // namespace wux::tools
