#include "core/hourglass.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

#include "platform/thread.h"

namespace wux::core {

HourglassCursor::HourglassCursor()
    : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr &&
              platform::isGuiThread())
{
    if (active_)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

HourglassCursor::~HourglassCursor()
{
    if (active_)
        QGuiApplication::restoreOverrideCursor();
}

} // namespace wux::core
