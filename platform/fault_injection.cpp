#include "platform/fault_injection.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace wux::platform {
namespace {

struct Fault
{
    std::string prefix; // normalised
    WinError code;
    unsigned operations;
};

std::atomic<bool> gAnyFault{false};
std::mutex gFaultMutex;
std::vector<Fault> gFaults;

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
    gAnyFault.store(true, std::memory_order_release);
}

void clearFaults()
{
    std::lock_guard lock(gFaultMutex);
    gFaults.clear();
    gAnyFault.store(false, std::memory_order_release);
}

WinError injectedFault(std::string_view windowsPath, unsigned operation)
{
    if (!gAnyFault.load(std::memory_order_acquire))
        return kErrorSuccess;
    const std::string path = normalise(windowsPath);
    std::lock_guard lock(gFaultMutex);
    for (const Fault& fault : gFaults) {
        if ((fault.operations & operation) != 0 && path.compare(0, fault.prefix.size(), fault.prefix) == 0)
            return fault.code;
    }
    return kErrorSuccess;
}

} // namespace wux::platform
