// Movable memory blocks: byte blocks addressed through handles that stay valid while the block
// grows, shrinks or moves. A block is read and written through the pointer that a lock returns;
// locks nest (a count), and the pointer is only good until the matching unlock or the next
// re-allocation. File lists keep fixed-size records in these blocks and several lists may hold
// copies of one handle (the Basket views share the Basket's blocks).
//
// All functions are thread-safe: the handle table is guarded by one mutex, so a worker and the
// GUI thread may lock the same block at once. The contents are not guarded; callers that write a
// block from one thread while another reads it need their own lock (see critical_section.h).
//
// A handle that was freed, or was never handed out, is a programming error: debug builds stop
// with an assertion message naming the call; release builds treat it like the null handle
// (nullptr, 0 or false) and never touch memory. The null handle itself is no error: every call
// accepts it and fails quietly (freeing it does nothing), so "free the block when there is one"
// needs no test.
//
// Growth is amortised (capacity doubles), so growing a block by small steps costs linear time.
// When a re-allocation has to move a block that is locked at the time, the old storage is kept
// until the block's lock count falls to 0: a reader on another thread that still holds the old
// pointer reads the old contents instead of freed memory. What is written through such a stale
// pointer is lost, so writers re-lock after every re-allocation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wux::platform {

// A handle of a movable block. The null handle (default) names no block.
class MovableHandle
{
public:
    constexpr MovableHandle() = default;
    static constexpr MovableHandle fromValue(std::uint64_t value)
    {
        MovableHandle handle;
        handle.value_ = value;
        return handle;
    }
    constexpr std::uint64_t value() const { return value_; }
    constexpr explicit operator bool() const { return value_ != 0; }
    friend constexpr bool operator==(MovableHandle, MovableHandle) = default;

private:
    std::uint64_t value_ = 0;
};

enum class MovableFlags : unsigned
{
    None = 0,
    // The new bytes (all of a new block, the added tail of a grown block) are zero. Without it
    // their contents are unspecified: debug builds fill them with 0xCD so that code relying on
    // zeroes it did not ask for shows up in tests.
    ZeroInit = 1,
};

// Allocates a block of Size bytes (0 is allowed). The null handle when memory is exhausted or
// Size is beyond what can be allocated.
MovableHandle movableAlloc(std::size_t size, MovableFlags flags = MovableFlags::None);

// Lock count + 1; the address of the block's first byte (16-byte aligned; never null for a
// valid handle, even for an empty block). nullptr for the null or an invalid handle.
void* movableLock(MovableHandle handle);

template <class T> T* movableLockAs(MovableHandle handle)
{
    return static_cast<T*>(movableLock(handle));
}

// Lock count - 1. True when the block was locked; false (nothing changed) when it was not locked
// or the handle is null or invalid.
bool movableUnlock(MovableHandle handle);

// The number of locks not yet undone; 0 for the null or an invalid handle.
std::uint32_t movableLockCount(MovableHandle handle);

// Changes the block's size to Size bytes, keeping min(old, new size) bytes of its contents; the
// added tail is zero with ZeroInit. The handle and the lock count stay as they were; the block
// may move, so a locked caller takes the new address from movableLock (and undoes that lock).
// False, with the block unchanged, for the null or an invalid handle or when memory is exhausted.
bool movableReAlloc(MovableHandle handle, std::size_t size, MovableFlags flags = MovableFlags::None);

// The block's size in bytes; 0 for the null or an invalid handle.
std::size_t movableSize(MovableHandle handle);

// Frees the block, locked or not; every copy of the handle becomes invalid. True when a block was
// freed or the handle is null; false for an invalid handle (a double free).
bool movableFree(MovableHandle handle);

// True when the handle names a live block (false for the null handle). Never asserts: for code
// that must find out whether a handle it was given is still good.
bool movableIsValid(MovableHandle handle);

// Locks a block for the length of a scope.
class MovableLock
{
public:
    explicit MovableLock(MovableHandle handle) : handle_(handle), data_(movableLock(handle)) {}
    ~MovableLock()
    {
        if (data_ != nullptr) {
            movableUnlock(handle_);
        }
    }
    MovableLock(const MovableLock&) = delete;
    MovableLock& operator=(const MovableLock&) = delete;

    // nullptr when the handle was null or invalid.
    void* data() const { return data_; }
    template <class T> T* as() const { return static_cast<T*>(data_); }
    explicit operator bool() const { return data_ != nullptr; }

private:
    MovableHandle handle_;
    void* data_;
};

} // namespace wux::platform
