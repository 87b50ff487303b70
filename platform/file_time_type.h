// The FILETIME type of the system's records: 100-ns ticks since 1601-01-01 00:00 UTC, and its
// conversion to and from POSIX time.
#pragma once

#include <cstdint>

namespace wux::platform {

// 100-ns ticks since 1601-01-01 00:00 UTC.
using FileTime = std::uint64_t;

// Ticks of one second.
inline constexpr std::int64_t kFileTimeTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kFileTimeUnixEpochSeconds = 11'644'473'600;

// POSIX seconds and nanoseconds to a FILETIME (times before 1601 become 0).
constexpr FileTime fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds = 0) noexcept
{
    const std::int64_t s = seconds + kFileTimeUnixEpochSeconds;
    if (s < 0)
        return 0;
    return static_cast<FileTime>(s) * kFileTimeTicksPerSecond + static_cast<FileTime>(nanoseconds / 100);
}
// The POSIX seconds of a FILETIME (rounded down).
constexpr std::int64_t unixSecondsOf(FileTime time) noexcept
{
    return static_cast<std::int64_t>(time / kFileTimeTicksPerSecond) - kFileTimeUnixEpochSeconds;
}
// The nanoseconds within the second of a FILETIME.
constexpr std::int64_t unixNanosecondsOf(FileTime time) noexcept
{
    return static_cast<std::int64_t>(time % kFileTimeTicksPerSecond) * 100;
}

} // namespace wux::platform
