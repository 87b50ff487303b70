#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filelist/folder_reader.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "list_builder.h"

namespace wux::filelist {
namespace {

using test::dir;
using test::file;

TEST(CarryOver, CopiesStateByNameBetweenSortedFolders)
{
    TstateOfBrowser old;
    test::makeList(old, {file("b", 2), file("c", 3), dir("m"), file("a", 1)});
    test::ListGuard oldGuard{old};
    TstateOfBrowser fresh;
    test::makeList(fresh, {file("d", 40), file("b", 20), dir("m"), file("a", 10)});
    test::ListGuard freshGuard{fresh};
    {
        StateAccess access(old);
        TBrowserItem* b = access.ItemAt(1, 1);
        b->flags = kMarkOwn | kRemovalPending;
        b->status = kStatusFailed;
        b->iconIndex = 11;
        b->openIconIndex = 12;
        TBrowserItem* m = access.ItemAt(1, 3);
        m->flags = kSizeCounted | kMarkLeftBasket;
        m->size = 999;
        access.ItemAt(1, 2)->flags = kMarkOwn; // c is gone in the new listing
    }
    SortFolder(1, kSortMerge, old);
    SortFolder(1, kSortMerge, fresh);
    CarryOverSelection(old, fresh, 1, 1);
    const TBrowserItem b = test::itemAt(fresh, 1, test::positionOf(fresh, "b"));
    EXPECT_EQ(b.flags, kMarkOwn | kRemovalPending);
    EXPECT_EQ(b.status, kStatusFailed);
    EXPECT_EQ(b.iconIndex, 11);
    EXPECT_EQ(b.openIconIndex, 12);
    EXPECT_EQ(b.size, 20u); // not measured: the new size stays
    const TBrowserItem m = test::itemAt(fresh, 1, test::positionOf(fresh, "m"));
    EXPECT_EQ(m.size, 999u);
    EXPECT_EQ(m.flags, kSizeCounted | kMarkLeftBasket);
    EXPECT_EQ(test::itemAt(fresh, 1, test::positionOf(fresh, "d")).flags, 0u);
    EXPECT_EQ(test::itemAt(fresh, 1, test::positionOf(fresh, "a")).flags, 0u);
    CarryOverSelection(old, fresh, 2, 1); // no such folder: nothing
}

TEST(CarryOver, CopyFolderRecordAddsThePathAndTakesOverTheList)
{
    TstateOfBrowser source;
    test::makeList(source, {file("x")}, 3, "c:\\a\\b\\c");
    test::ListGuard sourceGuard{source};
    {
        StateAccess access(source);
        access.Folder(1).itemIds = new ItemIdList({"n"});
        access.Folder(1).flags |= kFolderOwnsItemIds;
        access.Folder(1).itemIdDepth = 2;
    }
    TstateOfBrowser target;
    CreateBrowserState(target, 1, 1, "*.*", 1);
    test::ListGuard targetGuard{target};
    CopyFolderRecord(2, target, 1, source); // beyond the capacity: the block grows
    target.folderCount = 2;
    EXPECT_EQ(FolderPathAsStored(2, target), "c:\\a\\b\\c");
    EXPECT_EQ(GetFolderDepth(2, target), 3);
    StateAccess to(target);
    EXPECT_EQ(to.Folder(2).itemIdDepth, 2);
    EXPECT_EQ(to.Folder(2).count, 1);
    EXPECT_NE(to.Folder(2).flags & kFolderOwnsItemIds, 0u);
    StateAccess from(source);
    EXPECT_EQ(from.Folder(1).flags & kFolderOwnsItemIds, 0u);
    EXPECT_EQ(from.Folder(1).itemIds, to.Folder(2).itemIds);
}

TEST(CarryOver, CollapseTreeClearsNestedExpansions)
{
    TstateOfBrowser state;
    CreateBrowserState(state, 3, 6, "*.*", 100);
    test::ListGuard guard{state};
    test::addFolder(state, "c:\\r", {file("f"), dir("a")});
    const auto a = test::addFolder(state, "c:\\r\\a", {dir("b"), file("g")});
    const auto b = test::addFolder(state, "c:\\r\\a\\b", {file("h")});
    test::setFlags(state, "a", static_cast<std::uint32_t>(a) | kItemExpanded, 1);
    test::setFlags(state, "b", static_cast<std::uint32_t>(b) | kItemExpanded, a);
    CollapseTree(a, state);
    StateAccess access(state);
    EXPECT_EQ(access.Folder(a).flags & kFolderExpanded, 0u);
    EXPECT_EQ(access.Folder(b).flags & kFolderExpanded, 0u);
    EXPECT_EQ(access.ItemAt(a, 1)->flags & kItemExpanded, 0u);
    EXPECT_EQ(access.ItemAt(a, 1)->flags & kItemChildFolderMask, static_cast<std::uint32_t>(b));
    EXPECT_NE(access.Folder(1).flags & kFolderExpanded, 0u);
}

TEST(CarryOver, FilterTestOfOneEntry)
{
    const std::uint32_t saved = GeneralCheckContainer.load();
    GeneralCheckContainer = 0;
    core::TMaskList masks;
    core::ParseMaskList("*.txt", masks);
    TBrowserFilter filter;
    platform::FindData entry;
    entry.name = "a.TXT";
    entry.attributes = 0x20;
    entry.size = 3 << 20;
    EXPECT_TRUE(ItemMatchesFilter(0, filter, masks, entry));
    entry.name = "a.doc";
    EXPECT_FALSE(ItemMatchesFilter(0, filter, masks, entry));
    entry.attributes = kDirectoryAttribute;
    EXPECT_TRUE(ItemMatchesFilter(kReadMasksFilesOnly, filter, masks, entry));
    EXPECT_FALSE(ItemMatchesFilter(kReadMasksFilesOnly | kReadNoFolders, filter, masks, entry));
    entry.attributes = 0x20 | 0x4; // system entries count as hidden
    entry.name = "b.txt";
    EXPECT_FALSE(ItemMatchesFilter(0, filter, masks, entry));
    GeneralCheckContainer = kOptionShowHidden;
    EXPECT_TRUE(ItemMatchesFilter(0, filter, masks, entry));
    filter.enabled = 1;
    filter.sizeTest = 1 | (3 << 2);
    filter.size = 3;
    EXPECT_TRUE(ItemMatchesFilter(0, filter, masks, entry));
    filter.size = 2;
    EXPECT_FALSE(ItemMatchesFilter(0, filter, masks, entry));
    GeneralCheckContainer = saved;
}

} // namespace
} // namespace wux::filelist
