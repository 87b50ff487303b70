#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "filelist/list_operations.h"
#include "list_builder.h"

namespace wux::filelist {
namespace {

using test::dir;
using test::file;
using test::ItemData;
using Names = std::vector<std::string>;

Names sorted(const std::vector<ItemData>& items, std::uint32_t sortWord)
{
    TstateOfBrowser state;
    test::makeList(state, items);
    test::ListGuard guard{state};
    SortFolder(1, sortWord, state);
    return test::namesOf(state);
}

TEST(Sorting, SortWordsOnOneFolder)
{
    const std::vector<ItemData> items = {file("b.txt", 30, 300), file("a.zip", 10, 100),
                                         file("a.txt", 20, 200), dir("z"), dir("c.d")};
    struct Case
    {
        std::uint32_t word;
        Names expected;
    };
    const Case cases[] = {
        {8, {"c.d", "z", "a.txt", "a.zip", "b.txt"}},
        {8 | 0x2000, {"c.d", "z", "b.txt", "a.zip", "a.txt"}},
        {1, {"c.d", "z", "a.txt", "b.txt", "a.zip"}},
        {1 | 0x2000, {"c.d", "z", "a.zip", "b.txt", "a.txt"}},
        {0x42, {"c.d", "z", "a.zip", "a.txt", "b.txt"}},
        {0x42 | 0x2000, {"c.d", "z", "b.txt", "a.txt", "a.zip"}},
        {0x43, {"c.d", "z", "a.zip", "a.txt", "b.txt"}},
        {0x43 | 0x2000, {"c.d", "z", "b.txt", "a.txt", "a.zip"}},
        {16384, {"a.txt", "a.zip", "b.txt", "c.d", "z"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sorted(items, c.word), c.expected) << "sort word " << c.word;
}

TEST(Sorting, FoldersNamesAndUnusedKeys)
{
    const struct
    {
        std::vector<ItemData> items;
        std::uint32_t word;
        Names expected;
    } cases[] = {
        // A folder between files in full-name order; folders stay first and ascending when descending.
        {{file("c.txt"), dir("b"), file("a.txt")}, 16384, {"a.txt", "b", "c.txt"}},
        {{dir("a"), file("x"), dir("B")}, 8 | 0x2000, {"a", "B", "x"}},
        // Names ignore case with the bytes as tie break.
        {{file("b.doc"), file("a.zip"), file("B.txt")}, 8, {"a.zip", "B.txt", "b.doc"}},
        {{file("x.TXT"), file("x.doc"), file("x.txt")}, 1, {"x.doc", "x.TXT", "x.txt"}},
        // Keys 4-7 compare as equal: everything ties and the later read goes first.
        {{file("a"), file("b"), file("c")}, 07777, {"c", "b", "a"}},
        // A leading dot is no extension: ".b" sorts by its whole name.
        {{file("x.a"), file(".b"), file("a.c")}, 8, {".b", "a.c", "x.a"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sorted(c.items, c.word), c.expected) << c.word;
}

// The display order of folder 1 as item numbers (1-based reading order).
std::vector<std::uint32_t> orderOf(TstateOfBrowser& state)
{
    std::vector<std::uint32_t> entries;
    StateAccess access(state);
    for (std::int32_t i = 0; i < access.Folder(1).count; ++i)
        entries.push_back(access.order[i]);
    return entries;
}

TEST(Sorting, EqualKeysPutTheLaterReadFirstAscendingAndLastDescending)
{
    // Equal base name, extension, size and time (as in a result list of several folders).
    const std::vector<ItemData> items = {file("same.txt", 5, 7), file("other", 9), file("same.txt", 5, 7),
                                         file("same.txt", 5, 7)};
    struct Case
    {
        std::uint32_t word;
        std::vector<std::uint32_t> ascending;
        std::vector<std::uint32_t> descending;
    };
    const Case cases[] = {
        {8, {2, 4, 3, 1}, {1, 3, 4, 2}},    // "other" has the smaller base name
        {0x42, {4, 3, 1, 2}, {2, 1, 3, 4}}, // and the larger size
        {0x43, {2, 4, 3, 1}, {1, 3, 4, 2}}, // and the older time
    };
    for (const Case& c : cases) {
        TstateOfBrowser state;
        test::makeList(state, items);
        test::ListGuard guard{state};
        SortFolder(1, c.word, state);
        EXPECT_EQ(orderOf(state), c.ascending) << c.word;
        SortFolder(1, c.word | 0x2000, state);
        EXPECT_EQ(orderOf(state), c.descending) << c.word;
    }
    // Full names: equal names keep their reading order.
    TstateOfBrowser state;
    test::makeList(state, items);
    test::ListGuard guard{state};
    SortFolder(1, 16384, state);
    EXPECT_EQ(orderOf(state), (std::vector<std::uint32_t>{2, 1, 3, 4}));
}

TEST(Sorting, InsertingAppendedItemsMatchesAFullSort)
{
    std::mt19937 random(7);
    for (const int total : {40, 200}) {
        std::vector<ItemData> items;
        for (int i = 0; i < total; ++i) {
            std::string name = "n";
            name.append(std::to_string(random() % 50)).append(".e").append(std::to_string(random() % 3));
            items.push_back(file(name, random() % 4, random() % 3));
        }
        for (const std::uint32_t word : {8u, 0x42u, 0x2043u, 16384u}) {
            TstateOfBrowser full;
            test::makeList(full, items);
            test::ListGuard fullGuard{full};
            SortFolder(1, word, full);

            TstateOfBrowser stepwise;
            test::makeList(stepwise, items);
            test::ListGuard stepGuard{stepwise};
            SortItems(0, 0, total - 30, stepwise, word);         // the first part
            SortItems(0, total - 30, total - 5, stepwise, word); // a tail inserted one by one
            SortItems(0, total - 5, total, stepwise, word);
            EXPECT_EQ(test::namesOf(stepwise), test::namesOf(full)) << word;

            TstateOfBrowser merged;
            test::makeList(merged, items);
            test::ListGuard mergeGuard{merged};
            SortItems(0, 0, 10, merged, word);
            SortItems(0, 10, total, merged, word); // a long tail: sorted and merged
            EXPECT_EQ(test::namesOf(merged), test::namesOf(full)) << word;
        }
    }
}

TEST(Sorting, SortAllFoldersUsesTheListsWord)
{
    TstateOfBrowser state;
    CreateBrowserState(state, 2, 4, "*.*", 100);
    test::ListGuard guard{state};
    test::addFolder(state, "c:\\b", {file("2"), file("1")});
    test::addFolder(state, "c:\\a", {file("y"), file("x")});
    state.sortWord = 8;
    SortAllFolders(state);
    EXPECT_EQ(test::namesOf(state, 1), (Names{"1", "2"}));
    EXPECT_EQ(test::namesOf(state, 2), (Names{"x", "y"}));
}

TEST(Sorting, NothingToDoForEmptyRanges)
{
    TstateOfBrowser state;
    test::makeList(state, {file("b"), file("a")});
    test::ListGuard guard{state};
    SortItems(0, 2, 2, state, 8);
    SortItems(0, 0, 0, state, 8);
    SortFolder(5, 8, state);
    EXPECT_EQ(test::namesOf(state), (Names{"b", "a"}));
}

} // namespace
} // namespace wux::filelist
