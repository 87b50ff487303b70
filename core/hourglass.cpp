#include "core/hourglass.h"

#include "platform/dialogs.h"

namespace wux::core {

HourglassCursor::HourglassCursor() : active_(platform::beginWaitCursor()) {}

HourglassCursor::~HourglassCursor()
{
    if (active_)
        platform::endWaitCursor();
}

} // namespace wux::core
