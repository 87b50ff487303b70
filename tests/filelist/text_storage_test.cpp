#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "filelist/text_storage.h"

namespace wux::filelist {
namespace {

TEST(TextStorage, CreateZeroGivesHundredBytes)
{
    TTextStorage storage(0);
    EXPECT_EQ(storage.Capacity(), 100u);
    EXPECT_EQ(storage.Used(), 0u);
    EXPECT_FALSE(storage.Locked());
    TTextStorage negative(-5);
    EXPECT_EQ(negative.Capacity(), 100u);
}

TEST(TextStorage, AddReturnsOffsetsAndStoresZeroTerminatedTexts)
{
    TTextStorage storage(50);
    const auto a = storage.Add("alpha");
    const auto empty = storage.Add("");
    const auto b = storage.Add("beta");
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(empty, 6u);
    EXPECT_EQ(b, 7u);
    EXPECT_EQ(storage.Used(), 12u);
    EXPECT_EQ(storage.GetText(a), "alpha");
    EXPECT_EQ(storage.GetText(empty), "");
    EXPECT_EQ(storage.GetText(b), "beta");
    EXPECT_EQ(storage.GetText(500), "");
}

TEST(TextStorage, GrowthWhileLockedKeepsLockAndEveryOffset)
{
    TTextStorage storage(10);
    ASSERT_TRUE(storage.Lock());
    const auto first = storage.Add("12345");
    const std::string big(100, 'x');
    const auto second = storage.Add(big);
    // Grown by the text's length + 6,000 bytes.
    EXPECT_EQ(storage.Capacity(), 10u + 100u + 6000u);
    EXPECT_TRUE(storage.Locked());
    EXPECT_EQ(storage.LockCount(), 1);
    ASSERT_NE(storage.TextPtr(first), nullptr);
    EXPECT_STREQ(storage.TextPtr(first), "12345");
    EXPECT_EQ(std::string(storage.TextPtr(second)), big);
    EXPECT_TRUE(storage.Unlock());
    EXPECT_EQ(storage.TextPtr(first), nullptr);
}

TEST(TextStorage, NestedLocksAndUnmatchedUnlock)
{
    TTextStorage storage(0);
    EXPECT_FALSE(storage.Unlock());
    EXPECT_TRUE(storage.Lock());
    EXPECT_TRUE(storage.Lock());
    EXPECT_TRUE(storage.Unlock());
    EXPECT_TRUE(storage.Locked());
    EXPECT_TRUE(storage.Unlock());
    EXPECT_FALSE(storage.Locked());
    EXPECT_FALSE(storage.Unlock());
    EXPECT_EQ(storage.LockCount(), 0);
}

TEST(TextStorage, AssignCopiesUsedBytesOnlyWhenTheyFit)
{
    TTextStorage source(0);
    source.Add("one");
    source.Add("two");
    TTextStorage target(source.Used());
    target.Add("zz");
    target.Assign(source);
    EXPECT_EQ(target.Used(), source.Used());
    EXPECT_EQ(target.GetText(4), "two");

    TTextStorage small(3);
    small.Add("ab");
    small.Assign(source); // capacity 3 < 8 used: nothing copied
    EXPECT_EQ(small.Used(), 3u);
    EXPECT_EQ(small.GetText(0), "ab");
}

TEST(TextStorage, SetUsedTruncatesToASavedLength)
{
    TTextStorage storage(0);
    storage.Add("keep");
    const auto saved = storage.Used();
    storage.Add("drop");
    storage.SetUsed(saved);
    const auto next = storage.Add("new");
    EXPECT_EQ(next, saved);
    EXPECT_EQ(storage.GetText(next), "new");
    storage.Clear();
    EXPECT_EQ(storage.Used(), 0u);
}

} // namespace
} // namespace wux::filelist
