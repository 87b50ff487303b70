#include "platform/fault_injection.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace wux::platform {
namespace {

struct Fault
{
    std::string prefix; // normalised
    WinError code;
    unsigned operations;
};

struct Hold
{
    std::string prefix; // normalised
    unsigned operations;
    std::thread::id owner;
};

// Set while any fault or hold is injected.
std::atomic<bool> gAnyFault{false};
std::mutex gFaultMutex;
std::vector<Fault> gFaults;
std::vector<Hold> gHolds;
std::condition_variable gHoldsChanged;
int gHeld = 0;

void updateAnyFault()
{
    gAnyFault.store(!gFaults.empty() || !gHolds.empty(), std::memory_order_release);
}

std::string normalise(std::string_view path)
{
    std::string out(path);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c == '/')
            c = '\\';
    }
    return out;
}

} // namespace

void injectFault(std::string windowsPathPrefix, WinError code, unsigned operations)
{
    std::lock_guard lock(gFaultMutex);
    gFaults.push_back({normalise(windowsPathPrefix), code, operations});
    updateAnyFault();
}

void clearFaults()
{
    std::lock_guard lock(gFaultMutex);
    gFaults.clear();
    updateAnyFault();
}

void injectHold(std::string windowsPathPrefix, unsigned operations)
{
    std::lock_guard lock(gFaultMutex);
    gHolds.push_back({normalise(windowsPathPrefix), operations, std::this_thread::get_id()});
    updateAnyFault();
}

int heldThreads()
{
    std::lock_guard lock(gFaultMutex);
    return gHeld;
}

void releaseHolds()
{
    {
        std::lock_guard lock(gFaultMutex);
        gHolds.clear();
        updateAnyFault();
    }
    gHoldsChanged.notify_all();
}

WinError injectedFault(std::string_view windowsPath, unsigned operation)
{
    if (!gAnyFault.load(std::memory_order_acquire))
        return kErrorSuccess;
    const std::string path = normalise(windowsPath);
    std::unique_lock lock(gFaultMutex);
    const auto holds = [&] {
        for (const Hold& hold : gHolds)
            if ((hold.operations & operation) != 0 && hold.owner != std::this_thread::get_id() &&
                path.compare(0, hold.prefix.size(), hold.prefix) == 0)
                return true;
        return false;
    };
    if (holds()) {
        ++gHeld;
        gHoldsChanged.wait(lock, [&] { return !holds(); });
        --gHeld;
    }
    for (const Fault& fault : gFaults) {
        if ((fault.operations & operation) != 0 && path.compare(0, fault.prefix.size(), fault.prefix) == 0)
            return fault.code;
    }
    return kErrorSuccess;
}

} // namespace wux::platform
