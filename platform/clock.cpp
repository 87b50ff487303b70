#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace wux::platform {

namespace {

std::atomic<bool> g_fixed{false};
std::atomic<FileTime> g_fixedTime{0};

} // namespace

FileTime currentFileTime() noexcept
{
    if (g_fixed.load(std::memory_order_acquire)) {
        return g_fixedTime.load(std::memory_order_relaxed);
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return fileTimeFromUnix(static_cast<std::int64_t>(now.tv_sec), static_cast<std::int64_t>(now.tv_nsec));
}

void setFixedClock(FileTime time) noexcept
{
    g_fixedTime.store(time, std::memory_order_relaxed);
    g_fixed.store(true, std::memory_order_release);
}

void resetClock() noexcept
{
    g_fixed.store(false, std::memory_order_release);
}

} // namespace wux::platform
