// A critical section: a lock that one thread at a time holds. Like the system's critical
// sections it may be entered again by the thread that holds it (each Enter needs its Leave), so
// code that holds it and calls into code that takes it too (a repaint during a sort) does not
// deadlock on itself.
#pragma once

#include <mutex>

namespace wux::platform {

class CriticalSection
{
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    bool TryEnter() { return mutex_.try_lock(); }

    // For std::lock_guard, std::unique_lock and std::scoped_lock.
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }

private:
    std::recursive_mutex mutex_;
};

// Holds a critical section for the length of a scope.
class CriticalSectionLock
{
public:
    explicit CriticalSectionLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~CriticalSectionLock() { section_.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& section_;
};

} // namespace wux::platform
