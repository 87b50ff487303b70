#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "basket_fixture.h"
#include "filelist/operation_cursor.h"
#include "platform/dialogs.h"

namespace wux::filelist {
namespace {

using test::dir;
using test::file;
using Names = std::vector<std::string>;

class OperationCursorTest : public test::BasketFixture
{
protected:
    void SetUp() override
    {
        BasketFixture::SetUp();
        SetActivePanelSource([this] { return &panel; });
    }

    void TearDown() override
    {
        if (PluginStructure.state != nullptr)
            EndStateHandOver();
        PluginStructure = TPluginStructure();
        if (listing.text != nullptr) {
            ReleaseStateItemIds(listing);
            FreeBrowserState(listing);
        }
        BasketFixture::TearDown();
    }

    // The panel's listing: "c:\data" with a folder and two files, sorted folders first.
    void makeListing()
    {
        test::makeList(listing, {file("b.txt", 20), dir("sub"), file("a.txt", 10)});
        SortAllFolders(listing);
    }

    // The names the cursor hands out until the end, with the result flags given to each.
    Names walk(std::int32_t mode = kNextNormal, std::uint32_t resultFlags = 0)
    {
        Names names;
        while (TOperationFileInfo* info = NextOperationFile(mode)) {
            names.emplace_back(info->name);
            if (resultFlags != 0) {
                TOperationFileResult result;
                result.flags = resultFlags;
                SetOperationFileResult(&result);
            }
        }
        return names;
    }

    // The next file as "folder|name|attributes (hex)|number".
    static std::string nextInfo()
    {
        const TOperationFileInfo* info = NextOperationFile(kNextNormal);
        if (info == nullptr)
            return "end";
        char attributes[16];
        std::snprintf(attributes, sizeof attributes, "%x", info->attributes);
        return std::string(info->folderPath) + "|" + info->name + "|" + attributes + "|" +
               std::to_string(info->number);
    }

    // Puts files into the Basket folder "c:\b" and attaches both views.
    void fillBasket(const std::vector<test::ItemData>& items)
    {
        TstateOfBrowser source;
        test::makeList(source, items, 1, "c:\\b");
        test::ListGuard guard{source};
        const std::int32_t folder = FindOrAddFolder("c:\\b", BasketState);
        for (std::int32_t p = 1; p <= static_cast<std::int32_t>(items.size()); ++p)
            InsertItemFromState(1, p, folder, BasketState, source);
        AttachStateToPanel(kRightBasketView, false, BasketState);
        AttachStateToPanel(kLeftBasketView, false, BasketState);
    }

    // Marks a name in a Basket view.
    static void markInView(TstateOfBrowser& view, std::string_view name)
    {
        test::setFlags(view, name, ViewBit(view));
    }

    TstateOfBrowser listing;
    test::FakePanel panel{listing, LeftBasketState};
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService dialogScope{dialogs};
};

struct CheckCase
{
    const char* title;
    std::uint32_t flags;
    Names marked;
    std::int32_t cursorRow; // row 1 is the ".." row
    bool accepted;
    std::string message;
    Names markedAfter;
    std::uint8_t autoSelected;
};

void PrintTo(const CheckCase& c, std::ostream* out)
{
    *out << c.title;
}

class SelectionCheck : public OperationCursorTest, public ::testing::WithParamInterface<CheckCase>
{
};

TEST_P(SelectionCheck, AcceptsOrSaysWhy)
{
    const CheckCase& c = GetParam();
    makeListing();
    for (const std::string& name : c.marked)
        test::setFlags(listing, name, kMarkOwn);
    panel.cursorRow = c.cursorRow;

    EXPECT_EQ(PrepareOperationSource(c.flags), c.accepted);
    EXPECT_EQ(PluginStructure.autoSelected, c.autoSelected);
    if (c.message.empty()) {
        EXPECT_TRUE(dialogs.records().empty());
    } else {
        ASSERT_EQ(dialogs.records().size(), 1u);
        EXPECT_EQ(dialogs.records()[0].request.text, c.message);
        EXPECT_EQ(dialogs.records()[0].request.caption, "Wuxtool");
        EXPECT_EQ(dialogs.records()[0].request.icon, platform::MsgIcon::Information);
    }
    Names walked;
    if (c.accepted) {
        EXPECT_EQ(listing.busy, 1);
        walked = walk();
        EndStateHandOver();
    }
    EXPECT_EQ(listing.busy, 0);
    Names markedAfter;
    for (const std::string& name : test::namesOf(listing)) {
        if (test::itemAt(listing, 1, test::positionOf(listing, name)).flags & kMarkOwn)
            markedAfter.push_back(name);
    }
    EXPECT_EQ(markedAfter, c.markedAfter);
    if (c.accepted) {
        EXPECT_EQ(walked, c.markedAfter);
    }
}

const char* const kNeedFile = "You must select file(s). (Not folder(s))!";
const char* const kNeedFolder = "You must select folder(s). (Not file(s))!";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionCheck,
    ::testing::Values(
        CheckCase{"NoCheckWithNothingMarked", kCheckNothing, {}, 3, true, "", {}, 0},
        CheckCase{"FileUnderCursorIsMarked", kCheckNeedsFile, {}, 3, true, "", {"a.txt"}, 1},
        CheckCase{"FolderUnderCursorIsNoFile", kCheckNeedsFile, {}, 2, false, kNeedFile, {}, 1},
        CheckCase{"OnlyFilesWhereAFolderIsNeeded", kCheckNeedsFolder, {"a.txt"}, 2, false, kNeedFolder, {"a.txt"}, 0},
        CheckCase{"NothingUnderTheCursor", 8, {}, 1, false, "No files selected!", {}, 1},
        CheckCase{"FileAndFolder", kCheckNeedsFile | kCheckNeedsFolder, {"sub", "b.txt"}, 1, true, "", {"sub", "b.txt"}, 0},
        CheckCase{"FolderWhereAFolderIsNeeded", kCheckNeedsFolder, {}, 2, true, "", {"sub"}, 1}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.title); });
// clang-format on

TEST_F(OperationCursorTest, WithoutAnActivePanelNothingIsPrepared)
{
    makeListing();
    SetActivePanelSource(nullptr);
    EXPECT_FALSE(PrepareOperationSource(kCheckNothing));
    EXPECT_TRUE(dialogs.records().empty());
    EXPECT_EQ(NextOperationFile(kNextNormal), nullptr);
}

TEST_F(OperationCursorTest, WalksMarkedItemsOfExpandedFoldersOnly)
{
    CreateBrowserState(listing, 2, 4, "*.*", 100);
    test::addFolder(listing, "c:\\t", {dir("d"), file("f1", 1), file("f2", 2)});
    test::addFolder(listing, "c:\\t\\d", {file("g1"), file("g2")}, 2);
    test::setFlags(listing, "f1", kMarkOwn, 1);
    test::setFlags(listing, "d", kMarkOwn, 1);
    test::setFlags(listing, "g2", kMarkOwn, 2);
    {
        StateAccess access(listing);
        access.Folder(2).flags &= ~kFolderExpanded;
        access.items[1].number = 7; // f1
    }
    panel.viewMode = kViewTree;
    ASSERT_TRUE(PrepareOperationSource(8));
    EXPECT_EQ(PluginStructure.sourcePath, "");
    EXPECT_EQ(nextInfo(), "c:\\t|d|10|1");
    EXPECT_EQ(nextInfo(), "c:\\t|f1|20|7");
    EXPECT_EQ(NextOperationFile(kNextNormal), nullptr);
    EXPECT_EQ(NextOperationFile(kNextNormal), nullptr);

    // Expanded, its marked item is walked too; a reset starts at the first item again.
    {
        StateAccess access(listing);
        access.Folder(2).flags |= kFolderExpanded;
    }
    ResetOperationCursor();
    EXPECT_EQ(walk(), (Names{"d", "f1", "g2"}));
    EXPECT_EQ(PluginStructure.previousFolder, 2);
    EndStateHandOver();
}

TEST_F(OperationCursorTest, TheSourcePathIsThePanelsFolderInBriefAndFullViews)
{
    makeListing();
    test::setFlags(listing, "a.txt", kMarkOwn);
    for (const std::int32_t view : {kViewBrief, kViewFull}) {
        panel.viewMode = view;
        ASSERT_TRUE(PrepareOperationSource(kCheckNothing));
        EXPECT_EQ(PluginStructure.sourcePath, "c:\\data"); // as spelled: the path the operations use
        EndStateHandOver();
    }
}

TEST_F(OperationCursorTest, ResultsOnAPanelListSetMarksAndStatusOnly)
{
    makeListing();
    test::setFlags(listing, "a.txt", kMarkOwn);
    test::setFlags(listing, "b.txt", kMarkOwn);
    {
        StateAccess access(listing);
        for (std::int32_t i = 0; i < listing.itemCount; ++i)
            access.items[i].status = kStatusFailed; // from an earlier run
    }
    ASSERT_TRUE(PrepareOperationSource(kCheckNeedsFile));
    EXPECT_EQ(test::itemAt(listing, 1, test::positionOf(listing, "sub")).status, 0u);

    SetOperationFileResult(nullptr);                    // not started: nothing
    ASSERT_NE(NextOperationFile(kNextNormal), nullptr); // a.txt
    TOperationFileResult done;
    done.flags = kResultUnmark | kStatusSuccessful;
    SetOperationFileResult(&done);
    SetOperationFileResult(&done);                      // no longer marked: ignored
    ASSERT_NE(NextOperationFile(kNextNormal), nullptr); // b.txt
    TOperationFileResult failed;
    failed.flags = kStatusFailed | kResultAttributes | kResultSize | kResultNewName | kResultRemove;
    failed.attributes = 1;
    failed.size = 99;
    failed.newName = "renamed";
    SetOperationFileResult(&failed);
    EXPECT_EQ(NextOperationFile(kNextNormal), nullptr);
    SetOperationFileResult(&done); // past the end: nothing
    EXPECT_EQ(PluginStructure.recalculateAll, 0);
    EndStateHandOver();

    const TBrowserItem a = test::itemAt(listing, 1, test::positionOf(listing, "a.txt"));
    const TBrowserItem b = test::itemAt(listing, 1, test::positionOf(listing, "b.txt"));
    EXPECT_EQ(std::tuple(a.flags & kMarkOwn, a.status), std::tuple(0u, kStatusSuccessful));
    EXPECT_EQ(std::tuple(b.flags & (kMarkOwn | kRemovalPending), b.status, b.size, b.attributes),
              std::tuple(kMarkOwn, kStatusFailed, std::uint64_t{20}, 0x20u));
    // The successful files can be selected again by their tag.
    SelectByTag(1, kStatusSuccessful, true, listing);
    EXPECT_NE(test::itemAt(listing, 1, test::positionOf(listing, "a.txt")).flags & kMarkOwn, 0u);
}

TEST_F(OperationCursorTest, AResultWithoutStatusClearsTheTag)
{
    makeListing();
    test::setFlags(listing, "a.txt", kMarkOwn);
    ASSERT_TRUE(PrepareOperationSource(kCheckNothing));
    ASSERT_NE(NextOperationFile(kNextNormal), nullptr);
    TOperationFileResult result;
    result.flags = kStatusUnchanged;
    SetOperationFileResult(&result);
    EXPECT_EQ(test::itemAt(listing, 1, test::positionOf(listing, "a.txt")).status, kStatusUnchanged);
    result.flags = 0;
    SetOperationFileResult(&result);
    EXPECT_EQ(test::itemAt(listing, 1, test::positionOf(listing, "a.txt")).status, 0u);
    EndStateHandOver();
}

TEST_F(OperationCursorTest, TheListStaysLockedForTheRun)
{
    makeListing();
    test::setFlags(listing, "a.txt", kMarkOwn);
    ASSERT_TRUE(PrepareOperationSource(kCheckNothing));
    const auto locks = [this] {
        return std::vector<std::size_t>{
            static_cast<std::size_t>(listing.text->LockCount()), platform::movableLockCount(listing.items),
            platform::movableLockCount(listing.order), platform::movableLockCount(listing.folders)};
    };
    EXPECT_EQ(locks(), (std::vector<std::size_t>{1, 1, 1, 1}));
    EXPECT_EQ(PluginStructure.exchangeSize, 1000);
    EndStateHandOver();
    EXPECT_EQ(locks(), (std::vector<std::size_t>{0, 0, 0, 0}));
    EXPECT_FALSE(static_cast<bool>(PluginStructure.exchange));
    EXPECT_EQ(PluginStructure.state, nullptr);
}

TEST_F(OperationCursorTest, PluginModePutsTheTextsIntoTheExchangeBlock)
{
    makeListing();
    test::setFlags(listing, "b.txt", kMarkOwn);
    ASSERT_TRUE(PrepareOperationSource(kCheckNothing));
    TOperationFileInfo* info = NextOperationFile(kNextPlugin);
    ASSERT_NE(info, nullptr);
    const char* block = PluginStructure.exchangePointer;
    EXPECT_EQ(info->folderPath, block);
    EXPECT_EQ(std::memcmp(block, "c:\\data\0b.txt\0", 14), 0);
    EXPECT_EQ(info->name, block + 8);
    EXPECT_EQ(info->attributes, 0x20u);
    EndStateHandOver();
}

TEST_F(OperationCursorTest, PluginModeGrowsTheExchangeBlockForLongPaths)
{
    const std::string path = "c:\\" + std::string(1500, 'p');
    const std::string name(300, 'n');
    test::makeList(listing, {file(name)}, 1, path);
    test::setFlags(listing, name, kMarkOwn);
    ASSERT_TRUE(PrepareOperationSource(kCheckNothing));
    TOperationFileInfo* info = NextOperationFile(kNextPlugin);
    ASSERT_NE(info, nullptr);
    EXPECT_GE(PluginStructure.exchangeSize, 1500 + 3 + 300 + 2);
    EXPECT_EQ(info->folderPath, PluginStructure.exchangePointer);
    EXPECT_EQ(std::string(info->folderPath), path);
    EXPECT_EQ(std::string(info->name), name);
    EndStateHandOver();
}

TEST_F(OperationCursorTest, TheBasketIsWalkedWithTheViewsMarkBit)
{
    makeListing();
    fillBasket({file("a.txt"), file("b.txt"), file("c.txt")});
    markInView(LeftBasketState, "a.txt");
    markInView(RightBasketState, "b.txt");
    markInView(listing, "a.txt"); // the panel's own list is not walked in Basket view
    panel.viewMode = kViewBasket;
    ASSERT_TRUE(PrepareOperationSource(8));
    EXPECT_EQ(BasketState.mode, 5u);
    EXPECT_EQ(PluginStructure.state, &BasketState);
    EXPECT_EQ(walk(), (Names{"a.txt"}));
    EndStateHandOver();

    TstateOfBrowser otherListing;
    test::FakePanel right{otherListing, RightBasketState};
    right.viewMode = kViewBasket;
    SetActivePanelSource([&right] { return &right; });
    ASSERT_TRUE(PrepareOperationSource(8));
    EXPECT_EQ(BasketState.mode, 9u);
    EXPECT_EQ(walk(), (Names{"b.txt"}));
    EndStateHandOver();
}

TEST_F(OperationCursorTest, BasketResultsUpdateTheEntryAndRemoveItAfterTheHandOver)
{
    makeListing();
    fillBasket({file("a.txt", 1), file("b.txt", 2), file("c.txt", 3)});
    markInView(LeftBasketState, "a.txt");
    markInView(LeftBasketState, "b.txt");
    markInView(RightBasketState, "c.txt");
    panel.viewMode = kViewBasket;
    ASSERT_TRUE(PrepareOperationSource(8));

    ASSERT_NE(NextOperationFile(kNextNormal), nullptr); // a.txt
    TOperationFileResult remove;
    remove.flags = kResultRemove | kStatusSuccessful;
    SetOperationFileResult(&remove);
    EXPECT_EQ(PluginStructure.recalculateAll, 1);

    ASSERT_NE(NextOperationFile(kNextNormal), nullptr); // b.txt
    TOperationFileResult update;
    update.flags = kResultNewName | kResultAttributes | kResultLastWrite | kResultSize | kResultUnmark |
                   kStatusSuccessful;
    update.newName = "zz.doc";
    update.attributes = 0x21;
    update.size = 12345;
    update.lastWrite = 132223104000000000ULL;
    SetOperationFileResult(&update);
    EXPECT_EQ(NextOperationFile(kNextNormal), nullptr);
    EndStateHandOver();

    EXPECT_EQ(test::namesOf(BasketState), (Names{"c.txt", "zz.doc"}));
    const TBrowserItem renamed = test::itemAt(BasketState, 1, 2);
    EXPECT_EQ(std::tuple(renamed.attributes, renamed.size, renamed.lastWrite, renamed.status,
                         renamed.extensionOffset - renamed.nameOffset, renamed.flags & kMarkLeftBasket),
              std::tuple(0x21u, std::uint64_t{12345}, platform::FileTime{132223104000000000ULL},
                         kStatusSuccessful, 3u, 0u));
    for (TstateOfBrowser* view : {&LeftBasketState, &RightBasketState})
        EXPECT_EQ(std::tuple(view->itemCount, view->totalBytes), std::tuple(2, std::uint64_t{3 + 12345}));
    EXPECT_EQ(std::tuple(LeftBasketState.selectedCount, RightBasketState.selectedCount), std::tuple(0, 1));
    EXPECT_EQ(BasketState.busy, 0);
}

TEST_F(OperationCursorTest, ARenameInTheBasketKeepsTheDuplicateTestRight)
{
    makeListing();
    fillBasket({file("a.txt"), file("b.txt"), file("c.txt")});
    markInView(LeftBasketState, "a.txt");
    panel.viewMode = kViewBasket;
    ASSERT_TRUE(PrepareOperationSource(8));
    ASSERT_NE(NextOperationFile(kNextNormal), nullptr);
    TOperationFileResult rename;
    rename.flags = kResultNewName;
    rename.newName = "zz.txt";
    SetOperationFileResult(&rename);
    EndStateHandOver();

    EXPECT_EQ(test::namesOf(BasketState), (Names{"b.txt", "c.txt", "zz.txt"}));
    EXPECT_EQ(test::namesOf(LeftBasketState), (Names{"b.txt", "c.txt", "zz.txt"}));
    EXPECT_EQ(test::namesOf(RightBasketState), (Names{"zz.txt", "c.txt", "b.txt"}));
    TstateOfBrowser again;
    test::makeList(again, {file("zz.txt"), file("a.txt"), file("ZZ.TXT")}, 1, "c:\\b");
    test::ListGuard guard{again};
    EXPECT_FALSE(InsertItemFromState(1, 1, 1, BasketState, again));
    EXPECT_TRUE(InsertItemFromState(1, 2, 1, BasketState, again));
    EXPECT_TRUE(InsertItemFromState(1, 3, 1, BasketState, again)); // another file than "zz.txt"
    EXPECT_EQ(test::namesOf(BasketState), (Names{"a.txt", "b.txt", "c.txt", "ZZ.TXT", "zz.txt"}));
}

TEST_F(OperationCursorTest, BadNewNamesAreIgnoredWhileTheOtherChangesApply)
{
    makeListing();
    fillBasket({file("a.txt", 5)});
    panel.viewMode = kViewBasket;
    std::uint64_t size = 70;
    for (const char* newName : {static_cast<const char*>(nullptr), "", "sub\\x.txt", "sub/x.txt"}) {
        SCOPED_TRACE(newName == nullptr ? "null" : newName);
        markInView(LeftBasketState, "a.txt");
        ASSERT_TRUE(PrepareOperationSource(kCheckNothing));
        ASSERT_NE(NextOperationFile(kNextNormal), nullptr);
        TOperationFileResult result;
        result.flags = kResultNewName | kResultSize | kStatusFailed;
        result.newName = newName;
        result.size = ++size;
        SetOperationFileResult(&result);
        EndStateHandOver();
        EXPECT_EQ(test::namesOf(BasketState), (Names{"a.txt"}));
        EXPECT_EQ(test::itemAt(BasketState, 1, 1).size, size);
        EXPECT_EQ(test::itemAt(BasketState, 1, 1).status, kStatusFailed);
    }
}

} // namespace
} // namespace wux::filelist
