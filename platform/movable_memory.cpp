#include "platform/movable_memory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

namespace wux::platform {
namespace {

// Debug builds fill bytes that nobody asked to be zeroed with this.
[[maybe_unused]] constexpr unsigned char kUninitialisedFill = 0xCD;

struct Block
{
    // Never empty, so that a lock of an empty block still yields an address. Its size is
    // max(size, 1); bytes past `size` are zero.
    std::vector<std::byte> bytes;
    std::size_t size = 0;
    std::uint32_t lockCount = 0;
    std::uint32_t generation = 1;
    bool live = false;
    // Storage that a re-allocation moved away from while the block was locked; freed when the
    // lock count falls to 0.
    std::vector<std::vector<std::byte>> retired;
};

struct Table
{
    std::mutex mutex;
    std::deque<Block> blocks; // a deque never moves its elements
    std::vector<std::uint32_t> freeSlots;
};

Table& table()
{
    static Table instance;
    return instance;
}

// A handle holds the slot index + 1 in its low half and the slot's generation in its high half.
MovableHandle makeHandle(std::uint32_t index, std::uint32_t generation)
{
    return MovableHandle::fromValue((std::uint64_t{generation} << 32) | (std::uint64_t{index} + 1));
}

void misuse([[maybe_unused]] const char* call, [[maybe_unused]] MovableHandle handle)
{
#ifndef NDEBUG
    std::fprintf(stderr, "movable memory: %s with a freed or unknown handle 0x%llx\n", call,
                 static_cast<unsigned long long>(handle.value()));
    std::fflush(stderr);
    std::abort();
#endif
}

// The live block that Handle names, or nullptr (quietly for the null handle, with the misuse
// report for any other). Called with the table locked.
Block* find(Table& t, MovableHandle handle, const char* call)
{
    if (!handle) {
        return nullptr;
    }
    const std::uint64_t low = handle.value() & 0xFFFFFFFFu;
    const auto generation = static_cast<std::uint32_t>(handle.value() >> 32);
    if (low == 0 || low > t.blocks.size()) {
        misuse(call, handle);
        return nullptr;
    }
    Block& block = t.blocks[static_cast<std::size_t>(low - 1)];
    if (!block.live || block.generation != generation) {
        misuse(call, handle);
        return nullptr;
    }
    return &block;
}

void fillNew([[maybe_unused]] std::byte* from, [[maybe_unused]] std::size_t count, MovableFlags flags)
{
    // The bytes are zero already (vector growth value-initialises them).
    if (flags == MovableFlags::ZeroInit) {
        return;
    }
#ifndef NDEBUG
    std::memset(from, kUninitialisedFill, count);
#endif
}

// Resizes Block's storage to Size bytes, keeping its contents. Throws std::bad_alloc or
// std::length_error with the block unchanged.
void resizeBlock(Block& block, std::size_t size, MovableFlags flags)
{
    const std::size_t stored = std::max<std::size_t>(size, 1);
    if (stored > block.bytes.capacity()) {
        // Grow geometrically into fresh storage; the old one is dropped, or kept while locked.
        std::vector<std::byte> fresh;
        const std::size_t capacity = block.bytes.capacity();
        fresh.reserve(std::max(stored, capacity <= fresh.max_size() / 2 ? capacity * 2 : stored));
        fresh.assign(block.bytes.begin(), block.bytes.end());
        fresh.resize(stored);
        if (block.lockCount > 0) {
            block.retired.reserve(block.retired.size() + 1);
            block.retired.push_back(std::move(block.bytes));
        }
        block.bytes = std::move(fresh);
    } else {
        // Within the capacity the block stays where it is; growth value-initialises the tail.
        block.bytes.resize(stored);
    }
    if (size == 0) {
        block.bytes[0] = std::byte{0}; // the one stored byte of an empty block lies past its end
    }
    if (size > block.size) {
        fillNew(block.bytes.data() + block.size, size - block.size, flags);
    }
    block.size = size;
}

} // namespace

MovableHandle movableAlloc(std::size_t size, MovableFlags flags)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    try {
        std::vector<std::byte> bytes(std::max<std::size_t>(size, 1));
        fillNew(bytes.data(), size, flags);
        std::uint32_t index;
        if (!t.freeSlots.empty()) {
            index = t.freeSlots.back();
            t.freeSlots.pop_back();
        } else {
            if (t.blocks.size() >= 0xFFFFFFFEu) {
                return {};
            }
            t.blocks.emplace_back();
            index = static_cast<std::uint32_t>(t.blocks.size() - 1);
        }
        Block& block = t.blocks[index];
        block.bytes = std::move(bytes);
        block.size = size;
        block.lockCount = 0;
        block.live = true;
        return makeHandle(index, block.generation);
    } catch (const std::exception&) {
        return {};
    }
}

void* movableLock(MovableHandle handle)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Block* block = find(t, handle, "lock");
    if (block == nullptr) {
        return nullptr;
    }
    ++block->lockCount;
    return block->bytes.data();
}

bool movableUnlock(MovableHandle handle)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Block* block = find(t, handle, "unlock");
    if (block == nullptr || block->lockCount == 0) {
        return false;
    }
    if (--block->lockCount == 0) {
        block->retired.clear();
        block->retired.shrink_to_fit();
    }
    return true;
}

std::uint32_t movableLockCount(MovableHandle handle)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const Block* block = find(t, handle, "lock count");
    return block == nullptr ? 0 : block->lockCount;
}

bool movableReAlloc(MovableHandle handle, std::size_t size, MovableFlags flags)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Block* block = find(t, handle, "re-allocation");
    if (block == nullptr) {
        return false;
    }
    try {
        resizeBlock(*block, size, flags);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

std::size_t movableSize(MovableHandle handle)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const Block* block = find(t, handle, "size");
    return block == nullptr ? 0 : block->size;
}

bool movableFree(MovableHandle handle)
{
    if (!handle) {
        return true;
    }
    Table& t = table();
    std::vector<std::byte> released;
    std::vector<std::vector<std::byte>> retired;
    {
        std::lock_guard lock(t.mutex);
        Block* block = find(t, handle, "free");
        if (block == nullptr) {
            return false;
        }
        released.swap(block->bytes);
        retired.swap(block->retired);
        block->size = 0;
        block->lockCount = 0;
        block->live = false;
        ++block->generation; // every copy of the handle is stale from now on
        t.freeSlots.push_back(static_cast<std::uint32_t>((handle.value() & 0xFFFFFFFFu) - 1));
    }
    return true; // the storage is released outside the lock
}

bool movableIsValid(MovableHandle handle)
{
    if (!handle) {
        return false;
    }
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const std::uint64_t low = handle.value() & 0xFFFFFFFFu;
    if (low == 0 || low > t.blocks.size()) {
        return false;
    }
    const Block& block = t.blocks[static_cast<std::size_t>(low - 1)];
    return block.live && block.generation == static_cast<std::uint32_t>(handle.value() >> 32);
}

} // namespace wux::platform
