#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "core/display_helpers.h"
#include "core/text_table.h"
#include "filelist/drive_list.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "list_builder.h"

namespace wux::filelist {
namespace {

using test::dir;
using test::file;
using Names = std::vector<std::string>;

class TextsEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        core::registerCoreTexts();
        RegisterDriveListTexts();
    }
};
const auto* const kTexts = ::testing::AddGlobalTestEnvironment(new TextsEnvironment);

// Restores the options word when a test ends.
struct OptionsGuard
{
    std::uint32_t saved = GeneralCheckContainer.load();
    ~OptionsGuard() { GeneralCheckContainer.store(saved); }
};

TEST(Marking, ViewBitsRowsAndShellItems)
{
    TstateOfBrowser state;
    test::makeList(state, {file("a"), file("b")}, 0);
    test::ListGuard guard{state};
    // The view bit follows the mode word: 5 the left Basket view, 9 the right one.
    const struct
    {
        std::uint32_t mode;
        std::int32_t action;
        std::uint32_t bits;
        bool selected;
    } views[] = {{5, kActionMark, kMarkLeftBasket, true},
                 {9, kActionMark, kMarkBothViews, true},
                 {9, kActionUnmark, kMarkLeftBasket, false},
                 {5, -1, kMarkLeftBasket, true}};
    for (const auto& v : views) {
        state.mode = v.mode;
        if (v.action >= 0)
            SelectItem(1, 1, state, v.action, false);
        EXPECT_EQ(test::itemAt(state, 1, 1).flags & kMarkBothViews, v.bits) << v.mode;
        EXPECT_EQ(IsItemSelected(1, 1, state), v.selected) << v.mode;
    }

    // Rows of a folder with the ".." row (depth 1) and without it (depth 0).
    TstateOfBrowser deep;
    test::makeList(deep, {file("a"), file("b")}, 1);
    test::ListGuard deepGuard{deep};
    SelectItem(1, 1, deep, kActionMark, false); // the ".." row
    EXPECT_EQ(test::marks(deep), "..");
    SelectItem(1, 2, deep, kActionMark, false);
    EXPECT_EQ(test::marks(deep), "x.");
    SelectItem(1, 2, deep, kActionInvert, false);
    SelectItem(1, 9, deep, kActionMark, false); // beyond the folder
    SelectItem(2, 1, deep, kActionMark, false); // no such folder
    RecalcSelection(deep);
    EXPECT_EQ(deep.selectedCount, 0);
    TstateOfBrowser root;
    test::makeList(root, {file("a"), file("b")}, 0);
    test::ListGuard rootGuard{root};
    SelectItem(1, 1, root, kActionMark, false); // depth 0: row 1 is the first item
    SelectItem(1, 0, root, kActionMark, false);
    EXPECT_EQ(test::marks(root), "x.");

    // Shell items are never marked.
    TstateOfBrowser shell;
    test::makeList(shell, {file("a"), dir("b")}, 0);
    test::ListGuard shellGuard{shell};
    ItemIdList shellItem({"x"});
    StateAccess(shell).ItemAt(1, 1)->itemIds = &shellItem;
    SelectItem(1, 1, shell, kActionMark, false);
    SelectFolderItems(1, shell, true, kActionMark);
    SelectByMask(1, "*", true, shell);
    EXPECT_EQ(test::marks(shell), ".x");
    StateAccess(shell).ItemAt(1, 1)->itemIds = nullptr;
}

TEST(Marking, FolderItemsMaskAndTag)
{
    OptionsGuard options;
    TstateOfBrowser state;
    test::makeList(state, {file("a.txt"), file("b.doc"), dir("c.txt"), file("d.TXT")}, 0);
    test::ListGuard guard{state};
    const auto tag = [&](std::uint32_t a, std::uint32_t b, std::uint32_t d) {
        StateAccess access(state);
        access.ItemAt(1, 1)->status = a;
        access.ItemAt(1, 2)->status = b;
        access.ItemAt(1, 4)->status = d;
    };
    // Each step and the selection after it (files only for the mask while the option is set).
    const struct
    {
        std::function<void()> step;
        const char* marks;
    } steps[] = {
        {[&] { SelectFolderItems(1, state, false, kActionMark); }, "xx.x"},
        {[&] { SelectFolderItems(1, state, true, kActionInvert); }, "..x."},
        {[&] { SelectFolderItems(1, state, true, kActionUnmark); }, "...."},
        {[&] { GeneralCheckContainer = kOptionMaskSelectsFilesOnly; }, "...."},
        {[&] { SelectByMask(1, "*.txt; *.none", true, state); }, "x..x"},
        {[&] { GeneralCheckContainer = 0; }, "x..x"},
        {[&] { SelectByMask(1, "*.txt", true, state); }, "x.xx"},
        {[&] { SelectByMask(1, "a*", false, state); }, "..xx"},
        {[&] { SelectFolderItems(1, state, true, kActionUnmark); }, "...."},
        {[&] { tag(kStatusSuccessful, kStatusFailed, kStatusSuccessful); }, "...."},
        {[&] { SelectByTag(1, kStatusSuccessful, true, state); }, "x..x"},
        {[&] { SelectByTag(1, kStatusSuccessful, false, state); }, "...."},
        {[&] { SelectByTag(1, 0, true, state); }, "...."},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].step();
        EXPECT_EQ(test::marks(state), steps[i].marks) << "step " << i;
    }
    EXPECT_EQ(test::namesOf(state), (Names{"a.txt", "b.doc", "c.txt", "d.TXT"}));
    EXPECT_EQ(test::itemAt(state, 1, 1).status, 0u);
    EXPECT_EQ(test::itemAt(state, 1, 2).status, 0u);
}

TEST(Marking, MasksIgnoreTheCaseOfEveryLetter)
{
    OptionsGuard options;
    TstateOfBrowser state;
    test::makeList(state, {file("zeta.txt"), file("\xC3\xA9" "cole.doc"), file("\xC3\x89T\xC3\x89 2023.txt"),
                           file("\xC3\x9C" "ber.txt")},
                   0);
    test::ListGuard guard{state};
    SelectByMask(1, "\xC3\x89" "COLE.*; \xC3\xA9t\xC3\xA9*", true, state);
    EXPECT_EQ(test::marks(state), ".xx.");
    SelectByMask(1, "*\xC3\xBC" "BER*", true, state);
    EXPECT_EQ(test::marks(state), ".xxx");
    SelectByMask(1, "\xC3\x89*", false, state);
    EXPECT_EQ(test::marks(state), "...x");
    EXPECT_EQ(test::namesOf(state), (Names{"zeta.txt", "\xC3\xA9" "cole.doc", "\xC3\x89T\xC3\x89 2023.txt",
                                           "\xC3\x9C" "ber.txt"}));
}

TEST(Marking, UnselectFolderItemsClearsOnlyTheOwnMark)
{
    TstateOfBrowser state;
    test::makeList(state, {file("a"), file("b")}, 0);
    test::ListGuard guard{state};
    test::setFlags(state, "a", kMarkBothViews);
    test::setFlags(state, "b", kMarkOwn | kItemOwnsItemIds);
    {
        StateAccess access(state);
        access.ItemAt(1, 2)->itemIds = new ItemIdList({"b"});
    }
    UnselectFolderItems(1, 1, state);
    EXPECT_EQ(test::itemAt(state, 1, 1).flags & kMarkBothViews, kMarkLeftBasket);
    EXPECT_NE(test::itemAt(state, 1, 2).itemIds, nullptr);
    UnselectFolderItems(1, 4, state); // releases the list the item owns
    EXPECT_EQ(test::itemAt(state, 1, 2).itemIds, nullptr);
    EXPECT_EQ(test::itemAt(state, 1, 2).flags & kItemOwnsItemIds, 0u);
}

TEST(Totals, RecalcSelectionCountsFilesAndMeasuredFolders)
{
    TstateOfBrowser state;
    CreateBrowserState(state, 2, 4, "*.*", 100);
    test::ListGuard guard{state};
    test::addFolder(state, "c:\\a",
                    {file("f1", 100), file("f2", 50), dir("measured"), dir("plain"), dir("tree")});
    test::addFolder(state, "c:\\hidden", {file("g", 7)});
    {
        StateAccess access(state);
        access.Folder(2).flags &= ~kFolderExpanded; // a collapsed folder counts nothing
        access.ItemAt(2, 1)->flags |= kMarkOwn;
        TBrowserItem* measured = access.ItemAt(1, 3);
        measured->size = 1000;
        measured->flags |= kSizeCounted | kMarkOwn;
        TBrowserItem* tree = access.ItemAt(1, 5);
        tree->size = 9;
        tree->flags |= kSizeCounted | kItemExpanded; // expanded in the tree: its files count themselves
        access.ItemAt(1, 1)->flags |= kMarkOwn | kRemovalPending;
        access.ItemAt(1, 4)->flags |= kMarkOwn;
    }
    state.busy = 0;
    RecalcSelection(state);
    EXPECT_EQ(std::tuple(state.selectedCount, state.selectedFiles, state.selectedBytes, state.totalBytes,
                         state.fileCount, state.busy),
              std::tuple(3, 1, std::uint64_t{1100}, std::uint64_t{1150}, 2, 0));
    EXPECT_EQ(test::itemAt(state, 1, 1).flags & kRemovalPending, 0u);
}

TEST(Rows, RowToItemWithAndWithoutHeaders)
{
    TstateOfBrowser state;
    CreateBrowserState(state, 2, 4, "*.*", 100);
    test::ListGuard guard{state};
    const auto zeta = test::addFolder(state, "c:\\zeta", {file("z1"), file("z2"), file("z3")});
    const auto alpha = test::addFolder(state, "c:\\alpha", {file("a1"), file("a2")});
    struct Case
    {
        std::int32_t row;
        bool header;
        std::int32_t folder;
        std::int32_t position;
    };
    const Case cases[] = {
        {1, false, alpha, 1}, {2, false, alpha, 2}, {3, false, zeta, 1}, {5, false, zeta, 3},
        {6, false, 0, 0},     {0, false, 0, 0},     {1, true, alpha, 0}, {3, true, alpha, 2},
        {4, true, zeta, 0},   {7, true, zeta, 3},   {8, true, 0, 0},     {-3, true, 0, 0},
    };
    for (const Case& c : cases) {
        std::int32_t folder = -1;
        std::int32_t position = -1;
        RowToItem(c.row, c.header, folder, state, position);
        EXPECT_EQ(folder, c.folder) << c.row << " " << c.header;
        EXPECT_EQ(position, c.position) << c.row << " " << c.header;
    }
}

// Folder 1: "0.txt", dir "A" (expanded: folder 2 holding a1, a2), dir "B" (collapsed), "c.txt";
// sorted by full name so that files come between the folders.
void makeTree(TstateOfBrowser& state)
{
    CreateBrowserState(state, 3, 8, "*.*", 100);
    test::addFolder(state, "c:\\root", {dir("A"), file("0.txt"), dir("B"), file("c.txt")}, 1);
    const auto child = test::addFolder(state, "c:\\root\\A", {file("a1"), file("a2")}, 2);
    const auto grandChild = test::addFolder(state, "c:\\root\\B", {file("b1")}, 2);
    SortAllFolders(state); // sort word 8 for the children
    SortFolder(1, 16384, state);
    StateAccess access(state);
    access.ItemAt(1, 2)->flags |= static_cast<std::uint32_t>(child) | kItemExpanded;
    access.ItemAt(1, 3)->flags |= static_cast<std::uint32_t>(grandChild); // linked, not expanded
    access.Folder(grandChild).flags &= ~kFolderExpanded;
}

TEST(Rows, TreeRowsStepOverFilesAndDescendIntoExpandedFolders)
{
    TstateOfBrowser state;
    makeTree(state);
    test::ListGuard guard{state};
    ASSERT_EQ(test::namesOf(state), (Names{"0.txt", "A", "B", "c.txt"}));
    struct Case
    {
        std::int32_t row;
        std::int32_t folder;
        std::int32_t position;
    };
    const Case cases[] = {{1, 1, 1}, {2, 1, 2}, {3, 2, 1}, {4, 2, 2},
                          {5, 1, 3}, {6, 1, 4}, {7, 0, 0}, {0, 0, 0}};
    for (const Case& c : cases) {
        std::int32_t folder = -1;
        std::int32_t position = -1;
        TreeRowToItem(c.row, folder, position, state);
        EXPECT_EQ(folder, c.folder) << c.row;
        EXPECT_EQ(position, c.position) << c.row;
    }
    EXPECT_EQ(CountExpandedItems(state), 6);

    std::string text;
    std::int32_t depth = -1;
    GetTreeRowText(2, 0, text, state, depth);
    EXPECT_EQ(text, "c:\\root\\A\\");
    EXPECT_EQ(depth, 2);
    GetTreeRowText(2, 2, text, state, depth);
    EXPECT_EQ(text, "a2");
    GetTreeRowText(9, 1, text, state, depth);
    EXPECT_EQ(text, "");
}

TEST(CellTexts, EveryKind)
{
    TstateOfBrowser state;
    test::makeList(state,
                   {file("README.TXT", 1234567, 132000000000000000ull), dir("Sub.Dir"), file(".profile", 5),
                    file("Mixed.Case.Tar", 0)},
                   1, "C:\\DATA\\Work");
    test::ListGuard guard{state};
    {
        StateAccess access(state);
        access.ItemAt(1, 1)->attributes = 0x20 | 0x2 | 0x1 | 0x4;
        access.ItemAt(1, 4)->attributes = 0x80;
    }
    SetNewNameBuilder([](std::string_view folderPath, std::string_view name, platform::FileTime time) {
        return std::string(folderPath) + "|" + std::string(name) + "|" + std::to_string(time) + ".new";
    });
    auto cell = [&](std::int32_t kind, std::int32_t position) {
        std::string text = "stale";
        GetCellText(kind, 1, position, text, state);
        return text;
    };
    const struct
    {
        std::int32_t kind, position;
        std::string text;
    } cells[] = {
        // Names and paths as spelled on the disk.
        {0, 1, "README"},
        {8, 1, "README"},
        {0, 2, "[Sub.Dir]"},
        {0, 3, ".profile"},
        {0, 4, "Mixed.Case"},
        {1, 1, "TXT"},
        {1, 2, ""},
        {1, 3, ""},
        {1, 4, "Tar"},
        {2, 1, "1 234 567"},
        {2, 2, "<DIR>"},
        {3, 1, core::FileTimeToText(132000000000000000ull)},
        {4, 1, "ahrs"},
        {4, 4, "----"},
        {5, 1, "README.TXT"},
        {5, 2, "[Sub.Dir]"},
        {10, 1, "README.TXT"},
        {7, 1, "C:\\DATA\\Work"},
        {6, 1, "C:\\DATA\\Work|README.TXT|132000000000000000"},
        {9, 1, "new"},
        // The ".." row and positions beyond the folder.
        {0, 0, "[..]"},
        {5, 0, "[..]"},
        {2, 0, ""},
        {0, 5, ""},
        {11, 1, "C:\\DATA\\Work"}, // the location as stored
        {12, 1, core::FileTimeToDateText(132000000000000000ull)},
        {13, 1, core::FileTimeToCompactDateText(132000000000000000ull)},
        {14, 1, ""},
    };
    for (const auto& c : cells)
        EXPECT_EQ(cell(c.kind, c.position), c.text) << c.kind << " " << c.position;
    {
        StateAccess access(state);
        access.ItemAt(1, 2)->flags |= kSizeCounted;
        access.ItemAt(1, 2)->size = 2000;
    }
    EXPECT_EQ(cell(2, 2), "2 000");

    // Shell items show no size, date or attributes.
    ItemIdList shellItem({"s"});
    {
        StateAccess access(state);
        access.ItemAt(1, 1)->itemIds = &shellItem;
    }
    EXPECT_EQ(cell(2, 1) + cell(3, 1) + cell(4, 1), "");
    {
        StateAccess access(state);
        access.ItemAt(1, 1)->itemIds = nullptr;
    }
    SetNewNameBuilder(nullptr);
    EXPECT_EQ(cell(6, 1), "");
}

TEST(CellTexts, FlatViewTakesTheLocationFromTheSavedFolders)
{
    TstateOfBrowser state;
    CreateBrowserState(state, 2, 4, "*.*", 100);
    test::ListGuard guard{state};
    test::addFolder(state, "c:\\one", {file("a")});
    test::addFolder(state, "c:\\two", {file("b")});
    BeginFlatView(state, state.itemCount);
    SortFolder(1, 16384, state); // the flat folder's display order covers the whole item block
    std::string text;
    GetCellText(kColumnLocation, 1, 2, text, state);
    EXPECT_EQ(text, "c:\\two");
    GetCellText(kColumnStoredLocation, 1, 2, text, state); // as stored, for going there
    EXPECT_EQ(text, "c:\\two");
    GetCellText(kColumnStoredName, 1, 2, text, state);
    EXPECT_EQ(text, "b");
    EndFlatView(state);
}

TEST(Searching, QuickSearchWrapsAndTakesOneRound)
{
    TstateOfBrowser state;
    test::makeList(state, {file("ab1"), file("x"), file("AB2"), file("a")}, 0);
    test::ListGuard guard{state};
    EXPECT_EQ(FindItemByName(1, 4, "ab", state, false), 1); // from the last position: wraps to the first
    EXPECT_EQ(FindItemByName(1, 1, "ab", state, false), 3);
    EXPECT_EQ(FindItemByName(1, 1, "ab", state, true), 3);
    EXPECT_EQ(FindItemByName(1, 3, "ab", state, true), 1);
    EXPECT_EQ(FindItemByName(1, 1, "zz", state, false), 0);
    EXPECT_EQ(FindItemByName(1, 2, "", state, false), 3); // empty text: the next position
    EXPECT_EQ(FindItemByName(1, 4, "", state, false), 1);
    EXPECT_EQ(FindItemByName(1, 9, "ab", state, false), 0);
    EXPECT_EQ(FindItemByName(1, 1, "abc", state, false), 0); // shorter names never match
    // The start itself is compared last.
    EXPECT_EQ(FindItemByName(1, 2, "x", state, false), 2);
    // From the ".." row: every item once, the first (the last backwards) first.
    const struct
    {
        std::int32_t start;
        const char* text;
        bool backward;
        std::int32_t found;
    } fromParentRow[] = {{0, "ab", false, 1}, {-1, "ab", false, 1}, {0, "ab", true, 3}, {0, "a", true, 4},
                         {0, "", false, 1},   {0, "", true, 4},     {0, "x", false, 2}, {0, "zz", false, 0}};
    for (const auto& row : fromParentRow)
        EXPECT_EQ(FindItemByName(1, row.start, row.text, state, row.backward), row.found)
            << row.start << " " << row.text << " " << row.backward;

    TstateOfBrowser empty;
    test::makeList(empty, {}, 0);
    test::ListGuard emptyGuard{empty};
    EXPECT_EQ(FindItemByName(1, 1, "a", empty, false), 0);
}

TEST(Searching, FindItemPositionAndSubfolderPosition)
{
    TstateOfBrowser state;
    test::makeList(state, {file("Alpha"), file("al"), file("beta")}, 0);
    test::ListGuard guard{state};
    EXPECT_EQ(FindItemPosition(1, "AL", state, false), 1);
    EXPECT_EQ(FindItemPosition(1, "AL", state, true), 2);
    EXPECT_EQ(FindItemPosition(1, "alphA", state, true), 1);
    EXPECT_EQ(FindItemPosition(1, "gamma", state, false), 0);
    EXPECT_EQ(FindItemPosition(1, "", state, false), 0);

    TstateOfBrowser folders;
    test::makeList(folders, {file("a.txt"), dir("gamma"), dir("Alpha"), dir("beta"), file("0")}, 0);
    test::ListGuard foldersGuard{folders};
    SortFolder(1, 8, folders);
    ASSERT_EQ(test::namesOf(folders), (Names{"Alpha", "beta", "gamma", "0", "a.txt"}));
    EXPECT_EQ(FindSubfolderPosition("beta", folders), 2);
    EXPECT_EQ(FindSubfolderPosition("c", folders), 2);
    EXPECT_EQ(FindSubfolderPosition("zzz", folders), 3);
    EXPECT_EQ(FindSubfolderPosition("0", folders), 1); // before every folder: still 1
    TstateOfBrowser empty;
    test::makeList(empty, {}, 0);
    test::ListGuard emptyGuard{empty};
    EXPECT_EQ(FindSubfolderPosition("x", empty), 1);
}

TEST(Searching, CollectDuplicates)
{
    struct Case
    {
        std::uint32_t mode;
        std::vector<test::ItemData> items;
        std::vector<std::uint32_t> expected;
    };
    const Case cases[] = {
        {0, {file("a", 5), file("b", 5), file("c", 5), file("d", 7), file("e", 7)}, {1, 2, 3, 4, 5}},
        {0,
         {file("a", 5), file("b", 6), file("c", 6), file("d", 7), file("e", 8), file("f", 8)},
         {2, 3, 5, 6}},
        {1, {file("x", 1), file("X", 2), file("y", 3)}, {1, 2}},
        {3, {file("x", 1), file("X", 2), file("y", 3), file("Y", 3)}, {3, 4}},
        {0, {file("only", 1)}, {}},
    };
    for (const Case& c : cases) {
        TstateOfBrowser state;
        test::makeList(state, c.items, 0);
        test::ListGuard guard{state};
        const std::int32_t written = CollectDuplicates(c.mode, state);
        ASSERT_EQ(written, static_cast<std::int32_t>(c.expected.size())) << c.mode;
        StateAccess access(state);
        for (std::size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ(access.order[i], c.expected[i]) << c.mode << " " << i;
    }
}

} // namespace
} // namespace wux::filelist
