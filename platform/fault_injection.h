// Fault injection for tests: makes file-layer calls on a path prefix fail with a given Windows error.
// The check costs one atomic load while no fault is set.
#pragma once

#include <string>
#include <string_view>

#include "platform/errors.h"

namespace wux::platform {

// Operations a fault applies to (bit mask).
enum FaultOperation : unsigned
{
    kFaultOpen = 0x1,    // opening a file handle, reading a whole file
    kFaultRead = 0x2,    // reading through a handle
    kFaultWrite = 0x4,   // writing, setting the end of file, flushing, closing a written handle; the atomic rewrite
    kFaultRename = 0x8,  // move, rename, replace (source or target)
    kFaultDelete = 0x10, // deleting a file, removing a folder, trashing
    kFaultCreateFolder = 0x20,
    kFaultList = 0x40,       // listing a folder (the folder's path)
    kFaultAttributes = 0x80, // reading or setting attributes, times, mode bits
    kFaultAll = 0xFFFFFFFFu,
};

// From now on every operation in `operations` on a path starting with windowsPathPrefix (drive-letter
// path, compared ignoring case, "/" taken as "\") fails with code.
void injectFault(std::string windowsPathPrefix, WinError code, unsigned operations = kFaultAll);
// Removes every injected fault.
void clearFaults();
// The injected error for an operation on a path, or 0 (used by the file layer).
WinError injectedFault(std::string_view windowsPath, unsigned operation);

// Holds (for pictures of a run in progress): from now on a thread other than the caller's that reaches
// an operation in `operations` on a path starting with windowsPathPrefix stops there until the holds
// are released. The caller's own thread is never held.
void injectHold(std::string windowsPathPrefix, unsigned operations = kFaultAll);
// The number of threads stopped at a hold now.
int heldThreads();
// Lets every held thread go on and removes every hold.
void releaseHolds();

// Clears every fault when it ends (for tests).
class ScopedFaultClear
{
public:
    ScopedFaultClear() = default;
    ~ScopedFaultClear() { clearFaults(); }
    ScopedFaultClear(const ScopedFaultClear&) = delete;
    ScopedFaultClear& operator=(const ScopedFaultClear&) = delete;
};

} // namespace wux::platform
