#include "platform/movable_memory.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace wux::platform {
namespace {

std::vector<unsigned char> contents(MovableHandle handle)
{
    MovableLock lock(handle);
    const auto* bytes = lock.as<unsigned char>();
    return {bytes, bytes + movableSize(handle)};
}

void fill(MovableHandle handle, unsigned char first)
{
    MovableLock lock(handle);
    auto* bytes = lock.as<unsigned char>();
    for (std::size_t i = 0; i < movableSize(handle); ++i) {
        bytes[i] = static_cast<unsigned char>(first + i);
    }
}

std::vector<unsigned char> sequence(std::size_t count, unsigned char first)
{
    std::vector<unsigned char> result(count);
    for (std::size_t i = 0; i < count; ++i) {
        result[i] = static_cast<unsigned char>(first + i);
    }
    return result;
}

TEST(MovableMemory, ZeroInitAllocationIsZeroAndUnlocked)
{
    const MovableHandle handle = movableAlloc(1000, MovableFlags::ZeroInit);
    ASSERT_TRUE(handle);
    EXPECT_EQ(movableSize(handle), 1000u);
    EXPECT_EQ(movableLockCount(handle), 0u);
    EXPECT_EQ(contents(handle), std::vector<unsigned char>(1000, 0));
    EXPECT_TRUE(movableFree(handle));
}

#ifndef NDEBUG
TEST(MovableMemory, DebugBuildsMarkBytesThatWereNotAskedToBeZero)
{
    const MovableHandle handle = movableAlloc(16);
    EXPECT_EQ(contents(handle), std::vector<unsigned char>(16, 0xCD));
    ASSERT_TRUE(movableReAlloc(handle, 20));
    EXPECT_EQ(contents(handle), std::vector<unsigned char>(20, 0xCD));
    movableFree(handle);
}
#endif

TEST(MovableMemory, LocksNestAndEachUnlockUndoesOne)
{
    const MovableHandle handle = movableAlloc(8, MovableFlags::ZeroInit);
    void* first = movableLock(handle);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(movableLock(handle), first);
    EXPECT_EQ(movableLockCount(handle), 2u);
    EXPECT_TRUE(movableUnlock(handle));
    EXPECT_EQ(movableLockCount(handle), 1u);
    EXPECT_TRUE(movableUnlock(handle));
    EXPECT_EQ(movableLockCount(handle), 0u);
    EXPECT_FALSE(movableUnlock(handle)) << "an unlock without a lock changes nothing";
    EXPECT_EQ(movableLockCount(handle), 0u);
    movableFree(handle);
}

TEST(MovableMemory, ScopedLockUnlocksAtTheEndOfItsScope)
{
    const MovableHandle handle = movableAlloc(4, MovableFlags::ZeroInit);
    {
        MovableLock lock(handle);
        ASSERT_TRUE(lock);
        lock.as<std::uint32_t>()[0] = 0x01020304;
        EXPECT_EQ(movableLockCount(handle), 1u);
    }
    EXPECT_EQ(movableLockCount(handle), 0u);
    EXPECT_EQ(contents(handle), (std::vector<unsigned char>{4, 3, 2, 1}));
    movableFree(handle);
}

TEST(MovableMemory, ReAllocationKeepsContentsHandleAndLockCount)
{
    struct Case
    {
        std::size_t from;
        std::size_t to;
    };
    const Case cases[] = {{10, 10}, {10, 11}, {10, 4}, {1, 100000}, {100000, 7}, {64, 65}, {0, 5}, {5, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        const MovableHandle handle = movableAlloc(c.from, MovableFlags::ZeroInit);
        fill(handle, 1);
        const MovableHandle copy = handle; // a second list sharing the block
        ASSERT_NE(movableLock(handle), nullptr);
        ASSERT_TRUE(movableReAlloc(handle, c.to, MovableFlags::ZeroInit));
        EXPECT_EQ(movableLockCount(copy), 1u);
        EXPECT_EQ(movableSize(copy), c.to);
        std::vector<unsigned char> expected = sequence(std::min(c.from, c.to), 1);
        expected.resize(c.to, 0);
        EXPECT_EQ(contents(copy), expected);
        EXPECT_TRUE(movableUnlock(copy));
        EXPECT_TRUE(movableFree(copy));
    }
}

TEST(MovableMemory, GrowingAfterShrinkingGivesZeroesNotTheOldBytes)
{
    const std::size_t sizes[][3] = {{10, 0, 5}, {100, 3, 50}, {4096, 1, 4096}};
    for (const auto& s : sizes) {
        const MovableHandle handle = movableAlloc(s[0], MovableFlags::ZeroInit);
        fill(handle, 0x41);
        ASSERT_TRUE(movableReAlloc(handle, s[1]));
        ASSERT_TRUE(movableReAlloc(handle, s[2], MovableFlags::ZeroInit));
        std::vector<unsigned char> expected = sequence(s[1], 0x41);
        expected.resize(s[2], 0);
        EXPECT_EQ(contents(handle), expected) << s[0] << " -> " << s[1] << " -> " << s[2];
        movableFree(handle);
    }
}

TEST(MovableMemory, EmptyBlockStillGivesAnAddress)
{
    const MovableHandle handle = movableAlloc(0);
    ASSERT_TRUE(handle);
    EXPECT_EQ(movableSize(handle), 0u);
    EXPECT_NE(movableLock(handle), nullptr);
    EXPECT_TRUE(movableUnlock(handle));
    movableFree(handle);
}

TEST(MovableMemory, PointerTakenBeforeAMoveStaysReadableWhileLocked)
{
    const MovableHandle handle = movableAlloc(64, MovableFlags::ZeroInit);
    fill(handle, 7);
    const auto* before = movableLockAs<unsigned char>(handle);            // a reader on another thread
    ASSERT_TRUE(movableReAlloc(handle, 1 << 20, MovableFlags::ZeroInit)); // grows far beyond the capacity
    const auto* after = movableLockAs<unsigned char>(handle);
    ASSERT_NE(before, after) << "the block was expected to move";
    EXPECT_EQ(std::vector<unsigned char>(before, before + 64), sequence(64, 7));
    EXPECT_EQ(std::vector<unsigned char>(after, after + 64), sequence(64, 7));
    movableUnlock(handle);
    movableUnlock(handle);
    movableFree(handle);
}

TEST(MovableMemory, NullHandleFailsQuietly)
{
    const MovableHandle none;
    EXPECT_FALSE(none);
    EXPECT_EQ(movableLock(none), nullptr);
    EXPECT_FALSE(movableUnlock(none));
    EXPECT_EQ(movableLockCount(none), 0u);
    EXPECT_EQ(movableSize(none), 0u);
    EXPECT_FALSE(movableReAlloc(none, 10));
    EXPECT_TRUE(movableFree(none)) << "freeing no block is no error";
    EXPECT_FALSE(movableIsValid(none));
    MovableLock lock(none);
    EXPECT_FALSE(lock);
}

TEST(MovableMemory, ImpossibleSizesFailAndKeepTheBlock)
{
    constexpr std::size_t kHuge = std::numeric_limits<std::size_t>::max();
    EXPECT_FALSE(movableAlloc(kHuge));
    const MovableHandle handle = movableAlloc(3, MovableFlags::ZeroInit);
    fill(handle, 9);
    EXPECT_FALSE(movableReAlloc(handle, kHuge));
    EXPECT_EQ(contents(handle), sequence(3, 9));
    movableFree(handle);
}

TEST(MovableMemory, AFreedHandleStaysInvalidWhenItsSlotIsReused)
{
    const MovableHandle old = movableAlloc(4, MovableFlags::ZeroInit);
    ASSERT_TRUE(movableFree(old));
    const MovableHandle fresh = movableAlloc(4, MovableFlags::ZeroInit);
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, old);
    EXPECT_FALSE(movableIsValid(old));
    EXPECT_TRUE(movableIsValid(fresh));
    EXPECT_FALSE(movableIsValid(MovableHandle::fromValue(std::uint64_t{1} << 32))); // slot 0
    EXPECT_FALSE(movableIsValid(MovableHandle::fromValue(0xFFFFFFFFu)));            // beyond the table
    movableFree(fresh);
}

// A double free or any use of a freed (or never issued) handle stops a debug build with a message
// naming the call; a release build answers like for the null handle and touches no memory.
TEST(MovableMemoryDeathTest, StaleHandlesAreCaught)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case
    {
        const char* call;
        std::function<bool(MovableHandle)> use; // true when the call failed as it must
    };
    const Case cases[] = {
        {"free", [](MovableHandle h) { return !movableFree(h); }},
        {"lock", [](MovableHandle h) { return movableLock(h) == nullptr; }},
        {"unlock", [](MovableHandle h) { return !movableUnlock(h); }},
        {"lock count", [](MovableHandle h) { return movableLockCount(h) == 0; }},
        {"size", [](MovableHandle h) { return movableSize(h) == 0; }},
        {"re-allocation", [](MovableHandle h) { return !movableReAlloc(h, 100); }},
    };
    const MovableHandle unknown = MovableHandle::fromValue(0x0000000700FFFFF0ull);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const MovableHandle freed = movableAlloc(16, MovableFlags::ZeroInit);
        ASSERT_TRUE(movableFree(freed));
        const std::string message =
            std::string("movable memory: ") + c.call + " with a freed or unknown handle";
        [[maybe_unused]] bool failed = false;
        EXPECT_DEBUG_DEATH(failed = c.use(freed), message);
#ifdef NDEBUG
        EXPECT_TRUE(failed);
#endif
        EXPECT_DEBUG_DEATH(failed = c.use(unknown), message);
#ifdef NDEBUG
        EXPECT_TRUE(failed);
#endif
        // The freed block's slot now holds another block, which the old handle must not reach.
        const MovableHandle reused = movableAlloc(16, MovableFlags::ZeroInit);
        EXPECT_DEBUG_DEATH(failed = c.use(freed), message);
#ifdef NDEBUG
        EXPECT_TRUE(failed);
#endif
        EXPECT_EQ(movableSize(reused), 16u);
        EXPECT_EQ(movableLockCount(reused), 0u);
        EXPECT_TRUE(movableFree(reused));
    }
}

TEST(MovableMemory, ThreadsLockTheSameBlockAndAllocateAtOnce)
{
    const MovableHandle shared = movableAlloc(sizeof(std::uint32_t), MovableFlags::ZeroInit);
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([shared, t] {
            for (int i = 0; i < kRounds; ++i) {
                ASSERT_NE(movableLock(shared), nullptr);
                const MovableHandle own =
                    movableAlloc(static_cast<std::size_t>(i % 50), MovableFlags::ZeroInit);
                ASSERT_TRUE(
                    movableReAlloc(own, static_cast<std::size_t>(i % 70 + 1), MovableFlags::ZeroInit));
                {
                    MovableLock lock(own);
                    lock.as<unsigned char>()[0] = static_cast<unsigned char>(t);
                }
                ASSERT_TRUE(movableFree(own));
                ASSERT_TRUE(movableUnlock(shared));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(movableLockCount(shared), 0u);
    EXPECT_TRUE(movableFree(shared));
}

} // namespace
} // namespace wux::platform
