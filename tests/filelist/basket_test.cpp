#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "basket_fixture.h"
#include "filelist/basket.h"
#include "filelist/item_id_list.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::filelist {
namespace {

using test::file;
using Names = std::vector<std::string>;

struct FolderData
{
    std::string path;
    std::vector<test::ItemData> items;
};

// A source list with these folders (folder numbers in the given order).
void makeSource(TstateOfBrowser& source, const std::vector<FolderData>& folders)
{
    CreateBrowserState(source, 1, 4, "*.*", 100);
    for (const FolderData& folder : folders)
        test::addFolder(source, folder.path, folder.items);
}

class BasketTest : public test::BasketFixture
{
protected:
    void TearDown() override
    {
        if (source.text != nullptr) {
            ReleaseStateItemIds(source);
            FreeBrowserState(source);
        }
        BasketFixture::TearDown();
    }

    // Puts every item of every source folder into the Basket folder of its path.
    void fillBasket(const std::vector<FolderData>& folders)
    {
        makeSource(source, folders);
        for (std::int32_t f = 1; f <= source.folderCount; ++f) {
            const std::int32_t target = FindOrAddFolder(FolderPathAsStored(f, source), BasketState);
            for (std::int32_t p = 1; p <= static_cast<std::int32_t>(folders[f - 1].items.size()); ++p)
                InsertItemFromState(f, p, target, BasketState, source);
        }
    }

    void reattach()
    {
        AttachStateToPanel(kRightBasketView, false, BasketState);
        AttachStateToPanel(kLeftBasketView, false, BasketState);
    }

    // Sets flag bits of the Basket item of that name in the folder of that path.
    void setBasketFlags(std::string_view path, std::string_view name, std::uint32_t bits)
    {
        test::setFlags(BasketState, name, bits, basketFolder(path));
    }

    TstateOfBrowser source;
};

TEST_F(BasketTest, MarkedItemsOfTwoFoldersGoIntoTwoFoldersOrderedByPath)
{
    makeSource(source, {{"c:\\work\\b", {file("z.txt", 3), file("a.TXT", 1), file("m.doc", 2)}},
                        {"c:\\work\\a", {file("q.bin", 5)}}});
    test::setFlags(source, "z.txt", kMarkOwn, 1);
    test::setFlags(source, "a.TXT", kMarkOwn, 1);
    test::setFlags(source, "q.bin", kMarkOwn, 2);
    AddSelectedToBasket(source);

    EXPECT_EQ(contents(BasketState), "c:\\work\\a: q.bin | c:\\work\\b: a.TXT z.txt");
    expectConsistent(BasketState);
    // The marks moved: the source is unmarked, the Basket entries are not marked (option 0x4000 off).
    for (const auto& name : {"z.txt", "a.TXT"})
        EXPECT_EQ(test::itemAt(source, 1, test::positionOf(source, name, 1)).flags & kMarkBothViews, 0u);
    const TBrowserItem q = test::itemAt(BasketState, basketFolder("c:\\work\\a"), 1);
    EXPECT_EQ(std::tuple(q.flags, q.size, q.iconIndex), std::tuple(0u, std::uint64_t{5}, -1));
    EXPECT_EQ(source.busy, 0);
}

TEST_F(BasketTest, AFlatSourceGivesEachItemTheFolderItCameFrom)
{
    makeSource(source, {{"c:\\x", {file("1"), file("2")}}, {"c:\\y", {file("3")}}});
    BeginFlatView(source, source.itemCount);
    SortAllFolders(source);
    test::setFlags(source, "2", kMarkOwn);
    test::setFlags(source, "3", kMarkOwn);
    AddSelectedToBasket(source);
    EndFlatView(source);
    EXPECT_EQ(contents(BasketState), "c:\\x: 2 | c:\\y: 3");
}

TEST_F(BasketTest, InsertingIntoAnEarlierFolderShiftsTheLaterRecords)
{
    fillBasket({{"c:\\b", {file("z.txt"), file("a.txt")}}, {"c:\\a", {file("q.bin"), file("c.bin")}}});
    const std::int32_t b = basketFolder("c:\\b");
    const std::int32_t a = basketFolder("c:\\a");
    std::uint32_t firstOfA = 0;
    {
        StateAccess access(BasketState);
        firstOfA = access.Folder(a).firstItem;
        ASSERT_EQ(access.Folder(b).firstItem, 0u);
        ASSERT_EQ(firstOfA, 2u);
    }
    // A third item of the first stored folder, between its two names.
    TstateOfBrowser extra;
    test::makeList(extra, {file("m.txt", 9)});
    test::ListGuard guard{extra};
    EXPECT_TRUE(InsertItemFromState(1, 1, b, BasketState, extra));

    EXPECT_EQ(contents(BasketState), "c:\\a: c.bin q.bin | c:\\b: a.txt m.txt z.txt");
    {
        StateAccess access(BasketState);
        EXPECT_EQ(access.Folder(a).firstItem, firstOfA + 1);
        EXPECT_EQ(access.Name(access.items[2]), "m.txt"); // right after the folder's last item
    }
    expectConsistent(BasketState);
    EXPECT_EQ(BasketState.itemCount, 5);
}

TEST_F(BasketTest, TheItemBlockGrowsByTwentyWhenFull)
{
    std::vector<test::ItemData> items;
    for (int n = 0; n < 305; ++n)
        items.push_back(file("f" + std::to_string(1000 + n)));
    fillBasket({{"c:\\many", items}});
    EXPECT_EQ(BasketState.itemCount, 305);
    EXPECT_EQ(BasketState.itemCapacity, 320);
    const Names names = test::namesOf(BasketState, 1);
    EXPECT_EQ(names.front(), "f1000");
    EXPECT_EQ(names.back(), "f1304");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

struct DuplicateCase
{
    std::uint32_t options;
    std::uint32_t marksAfterSecondSend;
};

void PrintTo(const DuplicateCase& c, std::ostream* out)
{
    *out << "options 0x" << std::hex << c.options << " marks 0x" << c.marksAfterSecondSend << std::dec;
}

class BasketDuplicates : public BasketTest, public ::testing::WithParamInterface<DuplicateCase>
{
};

TEST_P(BasketDuplicates, SendingTheSameFileTwiceAddsItOnce)
{
    GeneralCheckContainer = GetParam().options;
    makeSource(source, {{"c:\\d", {file("Report.TXT"), file("other")}}});
    const std::int32_t target = FindOrAddFolder("c:\\d", BasketState);
    EXPECT_TRUE(InsertItemFromState(1, 1, target, BasketState, source));
    // The user unmarks it in both views; then it is sent again, and a file whose name differs only in
    // case with it: that is another file.
    setBasketFlags("c:\\d", "Report.TXT", 0);
    {
        StateAccess access(BasketState);
        access.items[0].flags &= ~kMarkBothViews;
    }
    TstateOfBrowser again;
    test::makeList(again, {file("Report.TXT"), file("report.txt")}, 1, "c:\\d");
    test::ListGuard guard{again};
    EXPECT_FALSE(InsertItemFromState(1, 1, target, BasketState, again));
    EXPECT_EQ(BasketState.itemCount, 1);
    EXPECT_EQ(test::namesOf(BasketState, target), (Names{"Report.TXT"}));
    EXPECT_EQ(test::itemAt(BasketState, target, 1).flags & kMarkBothViews, GetParam().marksAfterSecondSend);
    EXPECT_TRUE(InsertItemFromState(1, 2, target, BasketState, again));
    EXPECT_EQ(test::namesOf(BasketState, target), (Names{"Report.TXT", "report.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Options, BasketDuplicates,
                         ::testing::Values(DuplicateCase{0, 0},
                                           DuplicateCase{kOptionSelectOnBasketSend, kMarkBothViews}));

TEST_F(BasketTest, OnlyTheMeasuredBitAndACopiedItemIdListReachTheBasket)
{
    GeneralCheckContainer = kOptionSelectOnBasketSend;
    makeSource(source, {{"c:\\s", {test::dir("sub")}}});
    ItemIdList* ids = new ItemIdList({"share", "sub"});
    {
        StateAccess access(source);
        TBrowserItem& item = access.items[0];
        item.itemIds = ids;
        item.flags = kItemOwnsItemIds | kItemExpanded | 7 | kSizeCounted | kRemovalPending | kMarkOwn;
        item.size = 4096;
        item.number = 17;
        item.status = kStatusFailed;
        item.iconIndex = 5;
    }
    const std::int32_t target = FindOrAddFolder("c:\\s", BasketState);
    ASSERT_TRUE(InsertItemFromState(1, 1, target, BasketState, source));
    const TBrowserItem copy = test::itemAt(BasketState, target, 1);
    EXPECT_EQ(copy.flags, kSizeCounted | kMarkBothViews | kItemOwnsItemIds);
    ASSERT_NE(copy.itemIds, nullptr);
    EXPECT_NE(copy.itemIds, ids);
    EXPECT_EQ(*copy.itemIds, *ids);
    EXPECT_EQ(
        std::tuple(copy.size, copy.number, copy.status, copy.iconIndex, copy.openIconIndex, copy.folder),
        std::tuple(std::uint64_t{4096}, 17, 0u, -1, -1, target));
    // Both lists release their own list (the sanitizer build catches a double release).
}

TEST_F(BasketTest, ViewsMarkIndependentlyAndSortWithTheirOwnWords)
{
    fillBasket({{"c:\\v", {file("b.txt"), test::dir("zdir"), file("a.doc"), file("c.txt")}}});
    reattach();
    // The Basket itself keeps full-name order; the left view puts folders first; the right one is
    // descending.
    EXPECT_EQ(test::namesOf(BasketState), (Names{"a.doc", "b.txt", "c.txt", "zdir"}));
    EXPECT_EQ(test::namesOf(LeftBasketState), (Names{"zdir", "a.doc", "b.txt", "c.txt"}));
    EXPECT_EQ(test::namesOf(RightBasketState), (Names{"zdir", "c.txt", "b.txt", "a.doc"}));

    SelectItem(1, 3, LeftBasketState, kActionMark, false); // row 3 = position 2 ("a.doc")
    RecalcSelection(LeftBasketState);
    RecalcSelection(RightBasketState);
    EXPECT_EQ(LeftBasketState.selectedCount, 1);
    EXPECT_EQ(RightBasketState.selectedCount, 0);
    EXPECT_TRUE(IsItemSelected(1, 2, LeftBasketState));
    EXPECT_EQ(test::itemAt(BasketState, 1, 1).flags & kMarkBothViews, kMarkLeftBasket);
    EXPECT_EQ(LeftBasketState.mode, 5u);
    EXPECT_EQ(RightBasketState.mode, 9u);
}

TEST_F(BasketTest, AFlatViewIsFlatAgainAfterReattaching)
{
    fillBasket({{"c:\\x", {file("1"), file("2")}}, {"c:\\y", {file("3")}}});
    reattach();
    BeginFlatView(LeftBasketState, LeftBasketState.itemCount);
    TstateOfBrowser extra;
    test::makeList(extra, {file("4")}, 1, "c:\\z");
    test::ListGuard guard{extra};
    AddSelectedToBasket(extra); // nothing marked: nothing added
    EXPECT_EQ(BasketState.itemCount, 3);
    test::setFlags(extra, "4", kMarkOwn);
    AddSelectedToBasket(extra);
    EXPECT_EQ(BasketState.itemCount, 4);
    reattach();
    EXPECT_TRUE(static_cast<bool>(LeftBasketState.savedFolders));
    EXPECT_EQ(LeftBasketState.folderCount, 1);
    EXPECT_EQ(LeftBasketState.savedFolderCount, 3);
    EXPECT_EQ(test::namesOf(LeftBasketState), (Names{"1", "2", "3", "4"}));
    EXPECT_FALSE(static_cast<bool>(RightBasketState.savedFolders));
    EXPECT_EQ(RightBasketState.folderCount, 3);
}

TEST_F(BasketTest, DroppingPendingItemsDropsEmptiedFoldersAndRenumbersTheRest)
{
    fillBasket({{"c:\\a", {file("x"), file("y")}},
                {"c:\\b", {file("p"), file("q")}},
                {"c:\\c", {file("r"), file("s")}}});
    setBasketFlags("c:\\b", "p", kRemovalPending);
    setBasketFlags("c:\\b", "q", kRemovalPending);
    setBasketFlags("c:\\c", "s", kRemovalPending);
    setBasketFlags("c:\\a", "x", kRemovalPending);
    DropPendingItems(BasketState);

    EXPECT_EQ(std::tuple(BasketState.folderCount, BasketState.itemCount, basketFolder("c:\\c")),
              std::tuple(2, 2, 2));
    EXPECT_EQ(contents(BasketState), "c:\\a: y | c:\\c: r");
    EXPECT_EQ(test::itemAt(BasketState, 2, 1).folder, 2);
    expectConsistent(BasketState);
    setBasketFlags("c:\\c", "r", kRemovalPending); // a last folder that lost all its items goes too
    DropPendingItems(BasketState);
    EXPECT_EQ(contents(BasketState), "c:\\a: y");
    EXPECT_EQ(BasketState.itemCount, 1);
}

TEST_F(BasketTest, DropFolderLowersLaterFolderNumbers)
{
    fillBasket({{"c:\\m", {file("1")}}, {"c:\\a", {}}, {"c:\\z", {file("2")}}});
    ASSERT_EQ(BasketState.folderCount, 3);
    const std::int32_t empty = basketFolder("c:\\a");
    ASSERT_EQ(empty, 2);
    DropFolder(empty, BasketState);
    EXPECT_EQ(folderPaths(BasketState), (Names{"c:\\m", "c:\\z"}));
    EXPECT_EQ(basketFolder("c:\\z"), 2);
    EXPECT_EQ(test::itemAt(BasketState, 2, 1).folder, 2);
    expectConsistent(BasketState);
}

TEST_F(BasketTest, ClearFolderItemsCutsTheFolderOut)
{
    fillBasket(
        {{"c:\\a", {file("1"), file("2")}}, {"c:\\b", {file("3"), file("4")}}, {"c:\\c", {file("5")}}});
    ClearFolderItems(basketFolder("c:\\b"), BasketState);
    EXPECT_EQ(BasketState.itemCount, 3);
    EXPECT_EQ(contents(BasketState), "c:\\a: 1 2 | c:\\b: | c:\\c: 5");
    expectConsistent(BasketState);
}

TEST_F(BasketTest, RemovePendingFolderItemsKeepsTheRestOfTheBlockIntact)
{
    fillBasket({{"c:\\a", {file("1"), file("2"), file("3")}}, {"c:\\b", {file("4")}}});
    setBasketFlags("c:\\a", "2", kRemovalPending);
    RemovePendingFolderItems(basketFolder("c:\\a"), BasketState);
    SortFolder(basketFolder("c:\\a"), kSortMerge, BasketState);
    EXPECT_EQ(contents(BasketState), "c:\\a: 1 3 | c:\\b: 4");
    expectConsistent(BasketState);
}

TEST_F(BasketTest, CompactStateTextKeepsOnlyLiveTexts)
{
    fillBasket({{"c:\\a", {file("keep.txt"), file("gone.bin")}}, {"c:\\bb", {file("x.tar.gz")}}});
    setBasketFlags("c:\\a", "gone.bin", kRemovalPending);
    DropPendingItems(BasketState);
    const std::uint32_t before = BasketState.text->Used();
    CompactStateText(BasketState);
    // "c:\a", "keep.txt", "c:\bb", "x.tar.gz", each with its zero.
    EXPECT_EQ(BasketState.text->Used(), 5u + 9u + 6u + 9u);
    EXPECT_LT(BasketState.text->Used(), before);
    EXPECT_EQ(contents(BasketState), "c:\\a: keep.txt | c:\\bb: x.tar.gz");
    EXPECT_EQ(basketFolder("c:\\bb"), 2);
    const TBrowserItem item = test::itemAt(BasketState, 2, 1);
    EXPECT_EQ(item.extensionOffset - item.nameOffset, 6u); // after "x.tar."
}

TEST_F(BasketTest, RecalcAllPanelsSettlesRemovalsInBothViews)
{
    fillBasket({{"c:\\a", {file("x", 10), file("y", 20)}}, {"c:\\b", {file("z", 40)}}});
    reattach();
    SelectItem(1, 2, LeftBasketState, kActionMark, false);  // "x" in the left view
    SelectItem(1, 3, RightBasketState, kActionMark, false); // "x" in the right view (descending)
    setBasketFlags("c:\\b", "z", kRemovalPending);
    RecalcAllPanels();
    EXPECT_EQ(BasketState.folderCount, 1);
    for (TstateOfBrowser* view : {&LeftBasketState, &RightBasketState}) {
        EXPECT_EQ(std::tuple(view->itemCount, view->folderCount, view->selectedCount, view->selectedBytes,
                             view->totalBytes, view->text),
                  std::tuple(2, 1, 1, std::uint64_t{10}, std::uint64_t{30}, BasketState.text));
    }
}

TEST_F(BasketTest, AppendItemFromStateSortsNowOrLeavesItLast)
{
    makeSource(source, {{"c:\\src", {file("b", 1), file("a", 2), file("c", 3)}}});
    test::setFlags(source, "b", kMarkOwn | kRemovalPending);
    {
        StateAccess access(source);
        access.items[0].number = 4;
    }
    TstateOfBrowser found;
    CreateBrowserState(found, 1, 1, "*.*", 10);
    test::ListGuard guard{found};
    found.sortWord = kSortMerge;
    const std::int32_t folder = FindOrAddFolder("c:\\src", found);
    AppendItemFromState(1, 1, folder, true, found, source);
    AppendItemFromState(1, 2, folder, true, found, source);
    EXPECT_EQ(test::namesOf(found, folder), (Names{"a", "b"}));
    AppendItemFromState(1, 3, folder, false, found, source);
    AppendItemFromState(1, 2, folder, false, found, source); // no duplicate test
    EXPECT_EQ(test::namesOf(found, folder), (Names{"a", "b", "c", "a"}));
    const TBrowserItem b = test::itemAt(found, folder, 2);
    EXPECT_EQ(std::tuple(b.flags, b.number, b.iconIndex), std::tuple(0u, 4, -1));
}

TEST_F(BasketTest, FirstSelectedNameSkipsCollapsedFolders)
{
    makeSource(source, {{"c:\\one", {file("a"), file("b")}}, {"c:\\two", {file("c")}}});
    std::string name = "old";
    FirstSelectedName(source, name);
    EXPECT_EQ(name, "");
    test::setFlags(source, "c", kMarkOwn, 2);
    test::setFlags(source, "b", kMarkOwn, 1);
    FirstSelectedName(source, name);
    EXPECT_EQ(name, "b");
    {
        StateAccess access(source);
        access.Folder(1).flags &= ~kFolderExpanded;
    }
    FirstSelectedName(source, name);
    EXPECT_EQ(name, "c");
}

class BasketDiskTest : public test::BasketFixture
{
protected:
    wux::test::TempDrive drive{"c"};
};

TEST_F(BasketDiskTest, InsertFileIntoFolderReadsTheFileFromDisk)
{
    constexpr platform::FileTime kTime = 132223104000000000ULL; // 2020-01-01
    wux::test::createFile(drive.path("docs\\r.txt"), "12345", kTime);
    wux::test::createFile(drive.path("docs\\a.txt"), "1");
    const std::string folderPath = drive.path("docs");
    const std::int32_t folder = FindOrAddFolder(folderPath, BasketState);
    EXPECT_TRUE(InsertFileIntoFolder(folderPath, "r.txt", folder, BasketState));
    EXPECT_TRUE(InsertFileIntoFolder(folderPath + "\\", "a.txt", folder, BasketState));
    EXPECT_FALSE(InsertFileIntoFolder(folderPath, "gone.txt", folder, BasketState));
    EXPECT_EQ(test::namesOf(BasketState, folder), (Names{"a.txt", "r.txt"}));
    const TBrowserItem r = test::itemAt(BasketState, folder, 2);
    EXPECT_EQ(r.size, 5u);
    EXPECT_EQ(r.lastWrite, kTime);
    EXPECT_EQ(r.attributes, 0x20u);
    EXPECT_EQ(r.number, 0);
    EXPECT_EQ(r.flags, 0u);
    EXPECT_EQ(r.extensionOffset - r.nameOffset, 2u);

    GeneralCheckContainer = kOptionSelectOnBasketSend;
    EXPECT_FALSE(InsertFileIntoFolder(folderPath, "r.txt", folder, BasketState));
    EXPECT_EQ(test::itemAt(BasketState, folder, 2).flags, kMarkBothViews);
    EXPECT_EQ(BasketState.itemCount, 2);
    // Another spelling is another file: none here, so nothing comes in; once there, it does.
    EXPECT_FALSE(InsertFileIntoFolder(folderPath, "R.TXT", folder, BasketState));
    EXPECT_EQ(BasketState.itemCount, 2);
    wux::test::createFile(drive.path("docs\\R.TXT"), "upper");
    EXPECT_TRUE(InsertFileIntoFolder(folderPath, "R.TXT", folder, BasketState));
    EXPECT_EQ(test::namesOf(BasketState, folder), (Names{"a.txt", "R.TXT", "r.txt"}));
    EXPECT_EQ(test::itemAt(BasketState, folder, 2).size, 5u);
}

} // namespace
} // namespace wux::filelist
