// The program's clock: the current UTC time as a FILETIME, replaceable by a fixed time in tests.
#pragma once

#include "platform/filetime.h"

namespace wux::platform {

// The current UTC time (100 ns since 1601-01-01), or the fixed time set by setFixedClock.
FileTime currentFileTime() noexcept;
// From now on currentFileTime returns time (for tests; thread-safe).
void setFixedClock(FileTime time) noexcept;
// currentFileTime reads the system clock again.
void resetClock() noexcept;

// Sets a fixed clock for its lifetime and resets the clock when it ends (for tests).
class ScopedFixedClock
{
public:
    explicit ScopedFixedClock(FileTime time) noexcept { setFixedClock(time); }
    ~ScopedFixedClock() { resetClock(); }
    ScopedFixedClock(const ScopedFixedClock&) = delete;
    ScopedFixedClock& operator=(const ScopedFixedClock&) = delete;
};

} // namespace wux::platform
