#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "filelist/browser_state.h"
#include "filelist/list_operations.h"
#include "list_builder.h"

namespace wux::filelist {
namespace {

using test::dir;
using test::file;
using Names = std::vector<std::string>;

std::string storedPath(TstateOfBrowser& state, std::int32_t folder)
{
    return FolderPathAsStored(folder, state);
}

TEST(BrowserState, CreateSetsDefaultsAndParsesTheMasks)
{
    TstateOfBrowser state;
    state.cursorName = "old";
    CreateBrowserState(state, 1, 300, "*.txt; *.doc", 10000);
    test::ListGuard guard{state};
    EXPECT_EQ(std::tuple(state.sortWord, state.itemCapacity, state.folderCapacity, state.itemCount,
                         state.folderCount, state.mode, state.filter.enabled, state.cursorName,
                         state.text->Capacity()),
              std::tuple(8u, 300, 1, 0, 0, 0u, 0, std::string(), 10000u));
    ASSERT_EQ(state.maskList.size(), 2u);
    EXPECT_EQ(state.maskList[0].upper, "*.TXT");
    EXPECT_EQ(state.maskText, "*.txt; *.doc");
}

TEST(BrowserState, ExtensionOffsets)
{
    struct Case
    {
        const char* name;
        bool directory;
        const char* extension;
    };
    const Case cases[] = {{".profile", false, ""}, {"a.b.c", false, "c"}, {"x.y", true, ""},
                          {"plain", false, ""},    {"end.", false, ""},   {"..x", false, "x"}};
    for (const Case& c : cases) {
        const std::string name = c.name;
        const std::uint32_t offset = ExtensionOffsetOf(name, 100, c.directory);
        EXPECT_EQ(name.substr(offset - 100), c.extension) << c.name;
    }
}

TEST(BrowserState, FoldersByPathWithTheDriveLetterInEitherCase)
{
    TstateOfBrowser state;
    CreateBrowserState(state, 1, 10, "*.*", 10);
    test::ListGuard guard{state};
    EXPECT_EQ(FindOrAddFolder("C:\\B\\", state), 1);
    EXPECT_EQ(FindOrAddFolder("c:\\a", state), 2);
    EXPECT_EQ(FindOrAddFolder("C:\\a\\", state), 2);
    EXPECT_EQ(FindOrAddFolder("c:\\B", state), 1);
    // Names that differ only in case are other folders.
    EXPECT_EQ(FindOrAddFolder("c:\\A", state), 3);
    EXPECT_EQ(FindOrAddFolder("c:\\b\\", state), 4);
    EXPECT_EQ(FindOrAddFolder("", state), -1);
    EXPECT_EQ(FindOrAddFolder("\\", state), -1);
    EXPECT_EQ(state.folderCount, 4);
    EXPECT_GE(state.folderCapacity, 4); // grown from 1
    EXPECT_EQ(storedPath(state, 1), "C:\\B");
    EXPECT_EQ(storedPath(state, 4), "c:\\b");
    EXPECT_EQ(GetFolderDepth(2, state), 1);
    std::string path;
    FolderPathOf(1, state, path);
    EXPECT_EQ(path, "C:\\B"); // as spelled
    FolderPathOf(7, state, path);
    EXPECT_EQ(path, "");

    EXPECT_EQ(FolderInsertPosition("c:\\A", state), -1);
    EXPECT_EQ(FolderInsertPosition("c:\\0", state), 1);
    EXPECT_EQ(FolderInsertPosition("c:\\aa\\", state), 3);
    EXPECT_EQ(FolderInsertPosition("c:\\c", state), 5);
    EXPECT_EQ(FolderInsertPosition("", state), -1);
    // The order of compareNoCase: "A" < "a" < "B" < "b".
    StateAccess access(state);
    EXPECT_EQ(std::vector<std::uint32_t>(access.folderOrder, access.folderOrder + 4),
              (std::vector<std::uint32_t>{3, 2, 1, 4}));
}

TEST(BrowserState, CommitKeepsFoldersWithItemsOnly)
{
    TstateOfBrowser state;
    CreateBrowserState(state, 1, 10, "*.*", 10);
    test::ListGuard guard{state};
    FindOrAddFolder("c:\\m", state);
    const std::uint32_t used = state.text->Used();
    AddFolderRecord("c:\\empty", state);
    EXPECT_EQ(state.folderCount, 1);
    EXPECT_FALSE(CommitFolderRecord(1, state));
    EXPECT_EQ(state.folderCount, 1);
    EXPECT_EQ(state.text->Used(), used); // its path text dropped again

    const std::int32_t position = FolderInsertPosition("c:\\a", state);
    ASSERT_EQ(position, 1);
    AddFolderRecord("c:\\a", state);
    {
        StateAccess access(state);
        TBrowserFolder& record = access.Folder(2);
        EXPECT_EQ(record.flags, kFolderExpanded);
        EXPECT_EQ(record.itemIdDepth, -1);
        EXPECT_EQ(record.depth, 1);
        record.count = 1; // as a reader would have filled it
        state.itemCount = 1;
    }
    EXPECT_TRUE(CommitFolderRecord(position, state));
    EXPECT_EQ(state.folderCount, 2);
    StateAccess access(state);
    EXPECT_EQ(access.folderOrder[0], 2u);
    EXPECT_EQ(access.folderOrder[1], 1u);
}

TEST(BrowserState, ItemsInStorageOrder)
{
    TstateOfBrowser state;
    test::makeList(state, {file("b"), file("a")});
    test::ListGuard guard{state};
    SortFolder(1, 8, state);
    std::string name;
    GetItemName(1, 1, state, name);
    EXPECT_EQ(name, "b"); // storage order, not display order
    GetItemName(1, 3, state, name);
    EXPECT_EQ(name, "");
    GetItemName(2, 1, state, name);
    EXPECT_EQ(name, "");
    MarkItemForRemoval(1, 2, state);
    MarkItemForRemoval(1, 5, state);
    EXPECT_NE(test::itemAt(state, 1, 1).flags & kRemovalPending, 0u); // "a" shows first
    EXPECT_EQ(test::itemAt(state, 1, 2).flags & kRemovalPending, 0u);
}

TEST(BrowserState, CloneCopiesEverything)
{
    TstateOfBrowser source;
    CreateBrowserState(source, 2, 4, "*.c", 50);
    test::ListGuard sourceGuard{source};
    test::addFolder(source, "c:\\x", {file("one", 1), file("two", 2)});
    test::addFolder(source, "c:\\a", {file("three", 3)});
    source.driveIndex = 3;
    source.sortWord = 0x42;
    source.mode = 2;
    SortAllFolders(source);
    TstateOfBrowser copy;
    CloneBrowserState(copy, source);
    test::ListGuard copyGuard{copy};
    EXPECT_EQ(std::tuple(copy.folderCapacity, copy.itemCapacity, copy.folderCount, copy.itemCount,
                         copy.driveIndex, copy.sortWord, copy.mode, copy.maskText),
              std::tuple(12, 13, 2, 3, 3, 0x42u, 2u, std::string("*.c")));
    EXPECT_EQ(test::namesOf(copy, 1), test::namesOf(source, 1));
    EXPECT_EQ(storedPath(copy, 2), "c:\\a");
    EXPECT_EQ(FindOrAddFolder("C:\\a", copy), 2);
    // Its own blocks: changing the copy leaves the source alone.
    test::setFlags(copy, "one", kMarkOwn);
    EXPECT_FALSE(IsItemSelected(1, 1, source));
}

TEST(BrowserState, CopySelectedTakesMarkedItemsOfExpandedFolders)
{
    TstateOfBrowser source;
    CreateBrowserState(source, 3, 4, "*.*", 50);
    test::ListGuard sourceGuard{source};
    test::addFolder(source, "c:\\b", {file("b1"), file("b2"), file("b3")});
    test::addFolder(source, "c:\\a", {file("a1"), file("a2")});
    test::addFolder(source, "c:\\z", {file("z1")});
    test::setFlags(source, "b1", kMarkOwn, 1);
    test::setFlags(source, "b3", kMarkOwn, 1);
    test::setFlags(source, "a2", kMarkOwn, 2);
    test::setFlags(source, "z1", kMarkOwn, 3);
    {
        StateAccess access(source);
        access.Folder(3).flags &= ~kFolderExpanded; // collapsed: its mark is not taken
    }
    source.sortWord = 16384;
    TstateOfBrowser target;
    ASSERT_TRUE(CopySelectedToState(target, source));
    test::ListGuard targetGuard{target};
    EXPECT_EQ(std::tuple(source.selectedCount, target.itemCount, target.folderCount, target.sortWord),
              std::tuple(3, 3, 3, 16384u));
    SortAllFolders(target);
    EXPECT_EQ(test::namesOf(target, 1), (Names{"b1", "b3"}));
    EXPECT_EQ(test::namesOf(target, 2), (Names{"a2"}));
    EXPECT_EQ(test::namesOf(target, 3), Names{});
    // The number field names the source item (1-based index in the item block).
    EXPECT_EQ(test::fieldOf(target, &TBrowserItem::number, 1), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(test::fieldOf(target, &TBrowserItem::number, 2), std::vector<std::int32_t>{5});
    std::string path;
    FolderPathOf(2, target, path);
    EXPECT_EQ(path, "c:\\a");
}

TEST(BrowserState, CopySelectedOfShellItemsOnlyGivesNothing)
{
    TstateOfBrowser source;
    test::makeList(source, {file("s")});
    test::ListGuard guard{source};
    ItemIdList shellItem({"s"});
    {
        StateAccess access(source);
        access.ItemAt(1, 1)->itemIds = &shellItem;
        access.ItemAt(1, 1)->flags |= kMarkOwn; // as if marked by hand
    }
    TstateOfBrowser target;
    EXPECT_FALSE(CopySelectedToState(target, source));
    EXPECT_EQ(target.text, nullptr);
    {
        StateAccess access(source);
        access.ItemAt(1, 1)->itemIds = nullptr;
        access.ItemAt(1, 1)->flags = 0;
    }
    EXPECT_FALSE(CopySelectedToState(target, source)); // nothing marked at all
}

TEST(BrowserState, FlatViewCoversAllItemsAndRestoresTheFolders)
{
    TstateOfBrowser state;
    CreateBrowserState(state, 2, 4, "*.*", 50);
    test::ListGuard guard{state};
    test::addFolder(state, "c:\\b", {file("b1"), file("b2")});
    test::addFolder(state, "c:\\a", {file("a1")});
    BeginFlatView(state, state.itemCount);
    EXPECT_EQ(state.folderCount, 1);
    EXPECT_EQ(state.savedFolderCount, 2);
    SortFolder(1, 16384, state);
    EXPECT_EQ(test::namesOf(state, 1), (Names{"a1", "b1", "b2"}));
    EXPECT_EQ(CountExpandedItems(state), 3);
    EndFlatView(state);
    EXPECT_EQ(state.folderCount, 2);
    EXPECT_FALSE(state.savedFolders);
    EXPECT_EQ(storedPath(state, 2), "c:\\a");
    EXPECT_EQ(test::namesOf(state, 1).size(), 2u);
}

TEST(BrowserState, CountExpandedItemsSkipsCollapsedFolders)
{
    TstateOfBrowser state;
    CreateBrowserState(state, 2, 4, "*.*", 50);
    test::ListGuard guard{state};
    test::addFolder(state, "c:\\b", {file("b1"), file("b2")});
    test::addFolder(state, "c:\\a", {file("a1")});
    EXPECT_EQ(CountExpandedItems(state), 3);
    {
        StateAccess access(state);
        access.Folder(1).flags &= ~kFolderExpanded;
    }
    EXPECT_EQ(CountExpandedItems(state), 1);
    EXPECT_FALSE(IsItemSelected(3, 1, state));
}

} // namespace
} // namespace wux::filelist
