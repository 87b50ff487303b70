// A worker that is never started: its stop flag is what the engines and replacers poll.
#pragma once

#include "platform/thread.h"

namespace wux::test {

class IdleOwner : public platform::WuxThread
{
protected:
    void Execute() override {}
};

} // namespace wux::test
