#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/text_table.h"
#include "filelist/drive_list.h"
#include "filelist/folder_reader.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "list_builder.h"
#include "platform/clock.h"
#include "platform/fault_injection.h"
#include "platform/filetime.h"
#include "platform/string_list.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::filelist {
namespace {

using Names = std::vector<std::string>;

constexpr platform::FileTime kDay = 24ull * 3600 * 10'000'000;
constexpr platform::FileTime kBase = 132'000'000'000'000'000ull; // a day in 2019

struct OptionsGuard
{
    std::uint32_t saved = GeneralCheckContainer.load();
    ~OptionsGuard() { GeneralCheckContainer.store(saved); }
};

class FolderReaderTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        GeneralCheckContainer = kDefaultGeneralCheckContainer; // hidden files not shown
        CreateBrowserState(state, 1, 3, "*.*", 10);
    }
    void TearDown() override
    {
        ReleaseStateItemIds(state);
        FreeBrowserState(state);
        platform::clearFaults();
    }
    // Points the list at a folder of drive c: and reads it with the flags and masks given.
    bool read(std::string_view relative, std::uint32_t flags = kReadMasksFilesOnly,
              std::string_view masks = "*.*")
    {
        ReleaseStateItemIds(state);
        FreeBrowserState(state);
        CreateBrowserState(state, 1, 3, masks, 10);
        state.filter = filter;
        if (!SetStateToPath(path(relative), state))
            return false;
        const bool ok = ReadFolder(1, flags, state);
        SortFolder(1, 16384, state);
        return ok;
    }
    Names names() { return test::namesOf(state); }

    OptionsGuard options;
    TBrowserFilter filter;
    TstateOfBrowser state;
};

TEST_F(FolderReaderTest, SetStateToPathCutsTheBackslashAndCountsDepth)
{
    wux::test::makeFolder(posix("A/B"));
    wux::test::createFile(posix("A/file.txt"), "x");
    ASSERT_TRUE(SetStateToPath("C:\\", state));
    EXPECT_EQ(FolderPathAsStored(1, state), "C:");
    EXPECT_EQ(GetFolderDepth(1, state), 0);
    EXPECT_EQ(state.folderCount, 1);
    EXPECT_EQ(state.itemCount, 0);
    ASSERT_TRUE(SetStateToPath("C:\\A\\B\\", state));
    EXPECT_EQ(FolderPathAsStored(1, state), "C:\\A\\B");
    EXPECT_EQ(GetFolderDepth(1, state), 2);
    // A file, a missing path and an empty path change nothing.
    EXPECT_FALSE(SetStateToPath("C:\\A\\file.txt", state));
    EXPECT_FALSE(SetStateToPath("C:\\missing", state));
    EXPECT_FALSE(SetStateToPath("", state));
    EXPECT_EQ(FolderPathAsStored(1, state), "C:\\A\\B");
}

TEST_F(FolderReaderTest, EmptyMissingAndUnreadableFolders)
{
    wux::test::makeFolder(posix("empty"));
    ASSERT_TRUE(read("empty"));
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_EQ(state.folderCount, 1);

    wux::test::makeFolder(posix("gone"));
    ASSERT_TRUE(SetStateToPath(path("gone"), state));
    std::filesystem::remove_all(posix("gone"));
    EXPECT_FALSE(ReadFolder(1, 1, state));

    wux::test::createFile(posix("locked/a.txt"), "a");
    platform::injectFault(path("locked"), platform::kErrorAccessDenied, platform::kFaultList);
    EXPECT_FALSE(read("locked"));
    platform::clearFaults();
    EXPECT_TRUE(read("locked"));
    EXPECT_EQ(names(), (Names{"a.txt"}));
}

TEST_F(FolderReaderTest, EntriesCarryTheirDataAndGrowTheBlocks)
{
    for (int i = 0; i < 30; ++i)
        wux::test::createFile(posix("many/f" + std::to_string(i) + ".dat"), std::string(i, 'x'), kBase + i);
    wux::test::makeFolder(posix("many/sub.d"));
    ASSERT_TRUE(read("many"));
    EXPECT_EQ(state.itemCount, 31);
    EXPECT_GE(state.itemCapacity, 31);
    const TBrowserItem item = test::itemAt(state, 1, test::positionOf(state, "f7.dat"));
    EXPECT_EQ(item.size, 7u);
    EXPECT_EQ(item.lastWrite, kBase + 7);
    EXPECT_EQ(item.attributes & 0x20, 0x20u);
    EXPECT_EQ(item.folder, 1);
    EXPECT_EQ(item.iconIndex, -1);
    EXPECT_EQ(item.flags, 0u);
    std::string text;
    GetCellText(kColumnExtension, 1, test::positionOf(state, "f7.dat"), text, state);
    EXPECT_EQ(text, "dat");
    GetCellText(kColumnExtension, 1, test::positionOf(state, "sub.d"), text, state);
    EXPECT_EQ(text, "");
}

TEST_F(FolderReaderTest, MasksWithReaderFlagsAndAttributeFilters)
{
    wux::test::createFile(posix("m/a.txt"), "", 0, 0444);
    wux::test::createFile(posix("m/b.doc"));
    wux::test::makeFolder(posix("m/x.txt"));
    wux::test::makeFolder(posix("m/docs"));
    const struct
    {
        std::uint32_t flags;
        const char* masks;
        std::uint32_t present, absent;
        Names names;
    } cases[] = {
        {1, "*.txt", 0, 0, {"a.txt", "docs", "x.txt"}},
        {0, "*.txt", 0, 0, {"a.txt", "x.txt"}},
        {2, "*.txt", 0, 0, {"a.txt"}},
        {3, "*.txt", 0, 0, {"a.txt"}},
        {0, "", 0, 0, {"a.txt", "b.doc", "docs", "x.txt"}},
        {0, "", 0x1, 0, {"a.txt"}},           // read-only present
        {0, "", 0, 0x10, {"a.txt", "b.doc"}}, // no folders
        {0, "", 0x20, 0x1, {"b.doc"}},
    };
    for (const auto& c : cases) {
        filter.enabled = c.present != 0 || c.absent != 0;
        filter.attributesPresent = c.present;
        filter.attributesAbsent = c.absent;
        ASSERT_TRUE(read("m", c.flags, c.masks));
        EXPECT_EQ(names(), c.names) << c.flags << " " << c.masks << " " << c.present << " " << c.absent;
    }
}

TEST_F(FolderReaderTest, HiddenEntriesOnlyWhenShown)
{
    wux::test::createFile(posix("h/.hidden"));
    wux::test::createFile(posix("h/seen"));
    wux::test::makeFolder(posix("h/.hdir"));
    wux::test::makeFolder(posix("h/sub"));
    ASSERT_TRUE(read("h"));
    EXPECT_EQ(names(), (Names{"seen", "sub"}));
    filter.enabled = 1; // whatever the filter says
    filter.attributesPresent = 0x2;
    ASSERT_TRUE(read("h"));
    EXPECT_EQ(names(), Names{});
    filter = TBrowserFilter();
    GeneralCheckContainer = kDefaultGeneralCheckContainer | kOptionShowHidden;
    ASSERT_TRUE(read("h"));
    EXPECT_EQ(names(), (Names{".hdir", ".hidden", "seen", "sub"}));
}

TEST_F(FolderReaderTest, SubfolderListTakesFoldersBeforeTheFilter)
{
    wux::test::createFile(posix("s/a.txt"));
    wux::test::makeFolder(posix("s/nomatch"));
    wux::test::makeFolder(posix("s/.secret"));
    FreeBrowserState(state);
    CreateBrowserState(state, 1, 3, "*.txt", 10);
    AddFolderRecord(path("s"), state);
    state.folderCount = 1;
    platform::StringList folders;
    ASSERT_TRUE(ReadFolderItems(1, 0, state, &folders));
    EXPECT_EQ(state.itemCount, 1);
    ASSERT_EQ(folders.count(), 1);
    EXPECT_EQ(folders[0], "nomatch");
    GeneralCheckContainer = kOptionShowHidden;
    state.itemCount = 0;
    platform::StringList all;
    ASSERT_TRUE(ReadFolderItems(1, 0, state, &all));
    EXPECT_EQ(all.count(), 2);
}

TEST_F(FolderReaderTest, SearchFillsAFolderRecordBeforeCommittingIt)
{
    wux::test::createFile(posix("found/b.txt"), "b");
    wux::test::createFile(posix("found/a.txt"), "a");
    wux::test::createFile(posix("found/c.doc"), "c");
    FreeBrowserState(state);
    CreateBrowserState(state, 1, 3, "*.txt", 10);
    FindOrAddFolder(path("zzz"), state); // a folder already in the store
    const std::int32_t position = FolderInsertPosition(path("found"), state);
    ASSERT_EQ(position, 1);
    const std::int32_t folder = state.folderCount + 1;
    AddFolderRecord(path("found"), state);
    ASSERT_TRUE(ReadFolderItems(folder, 0, state, nullptr));
    EXPECT_EQ(state.itemCount, 2);
    EXPECT_EQ(state.folderCount, 1); // not committed yet
    std::string name;
    GetItemName(folder, 1, state, name);
    EXPECT_FALSE(name.empty());
    MarkItemForRemoval(folder, 2, state);
    SortFolder(folder, 8, state);
    ASSERT_TRUE(CommitFolderRecord(position, state));
    EXPECT_EQ(test::namesOf(state, folder), (Names{"a.txt", "b.txt"}));
    std::int32_t row = 0;
    std::int32_t at = 0;
    RowToItem(1, false, row, state, at);
    EXPECT_EQ(row, folder);
}

TEST_F(FolderReaderTest, DateFilters)
{
    wux::test::createFile(posix("d/old"), "", kBase);
    wux::test::createFile(posix("d/mid"), "", kBase + 2 * kDay);
    wux::test::createFile(posix("d/new"), "", kBase + 4 * kDay);
    filter.enabled = 1;
    filter.dateMode = 1;
    filter.from = kBase + 2 * kDay; // both ends inclusive
    filter.to = kBase + 4 * kDay;
    ASSERT_TRUE(read("d"));
    EXPECT_EQ(names(), (Names{"mid", "new"}));

    platform::ScopedFixedClock clock(kBase + 4 * kDay + kDay / 2);
    filter.dateMode = 2;
    filter.unit = 1; // days
    filter.count = 1;
    ASSERT_TRUE(read("d"));
    EXPECT_EQ(names(), (Names{"new"}));
    filter.unit = 2; // weeks
    ASSERT_TRUE(read("d"));
    EXPECT_EQ(names(), (Names{"mid", "new", "old"}));
    filter.enabled = 0; // a disabled filter tests nothing
    filter.unit = 0;
    ASSERT_TRUE(read("d"));
    EXPECT_EQ(names().size(), 3u);
}

TEST_F(FolderReaderTest, SizeFiltersWithUnits)
{
    wux::test::createFile(posix("z/small"), std::string(1000, 's'));
    wux::test::createFile(posix("z/kb2"), std::string(2048 + 100, 'k'));
    wux::test::createFile(posix("z/mb1"), std::string((1 << 20) + 5, 'm'));
    wux::test::makeFolder(posix("z/folder"));
    struct Case
    {
        std::uint32_t test;
        std::uint64_t size;
        Names expected;
    };
    const Case cases[] = {
        {1, 1000, {"small"}},                                 // equal, bytes
        {2, 1000, {"folder"}},                                // smaller than 1000 bytes
        {3, 1000, {"kb2", "mb1"}},                            // larger
        {1 | (2 << 2), 2, {"kb2"}},                           // equal in KB (size shifted by 10)
        {2 | (2 << 2), 2, {"folder", "small"}},               // smaller than 2 KB
        {3 | (3 << 2), 0, {"mb1"}},                           // larger than 0 MB
        {1 | (3 << 2), 0, {"folder", "kb2", "small"}},        // 0 MB
        {0 | (3 << 2), 7, {"folder", "kb2", "mb1", "small"}}, // no kind: no test
    };
    for (const Case& c : cases) {
        filter = TBrowserFilter();
        filter.enabled = 1;
        filter.sizeTest = c.test;
        filter.size = c.size;
        ASSERT_TRUE(read("z"));
        EXPECT_EQ(names(), c.expected) << c.test;
    }
}

TEST_F(FolderReaderTest, ListsAttachedToTheBasketMarkNewEntriesInBothViews)
{
    wux::test::createFile(posix("b/a"));
    ASSERT_TRUE(SetStateToPath(path("b"), state));
    state.mode = 9;
    GeneralCheckContainer = kOptionSelectOnBasketSend;
    ASSERT_TRUE(ReadFolder(1, 1, state));
    EXPECT_EQ(test::itemAt(state, 1, 1).flags, kMarkBothViews);
    GeneralCheckContainer = 0;
    state.itemCount = 0;
    ASSERT_TRUE(ReadFolder(1, 1, state));
    EXPECT_EQ(test::itemAt(state, 1, 1).flags, 0u);
}

TEST_F(FolderReaderTest, TreeExpandCollapseAndRows)
{
    wux::test::createFile(posix("r/f.txt"));
    wux::test::createFile(posix("r/sub/s1"));
    wux::test::createFile(posix("r/sub/s2"));
    wux::test::createFile(posix("r/sub/deep/d1"));
    ASSERT_TRUE(read("r"));
    SortFolder(1, 8, state);
    ASSERT_EQ(names(), (Names{"sub", "f.txt"}));
    EXPECT_EQ(ToggleTreeFolder(1, 2, state), -1); // a file
    const std::int32_t sub = ToggleTreeFolder(1, 1, state);
    ASSERT_EQ(sub, 2);
    ASSERT_TRUE(ReadFolder(sub, 1, state));
    SortFolder(sub, 8, state);
    EXPECT_EQ(FolderPathAsStored(sub, state), path("r") + "\\sub");
    EXPECT_EQ(GetFolderDepth(sub, state), GetFolderDepth(1, state) + 1);
    EXPECT_EQ(test::itemAt(state, 1, 1).flags & (kItemExpanded | kItemChildFolderMask),
              kItemExpanded | static_cast<std::uint32_t>(sub));
    const std::int32_t deep = ToggleTreeFolder(sub, 1, state);
    ASSERT_EQ(deep, 3);
    ASSERT_TRUE(ReadFolder(deep, 1, state));
    EXPECT_EQ(CountExpandedItems(state), 6);
    std::int32_t folder = 0;
    std::int32_t position = 0;
    TreeRowToItem(3, folder, position, state);
    EXPECT_EQ(folder, deep);
    EXPECT_EQ(position, 1);
    TreeRowToItem(6, folder, position, state);
    EXPECT_EQ(folder, 1);
    EXPECT_EQ(position, 2);

    // Collapsing sub collapses deep too and unmarks sub's items.
    test::setFlags(state, "s1", kMarkOwn, sub);
    EXPECT_EQ(ToggleTreeFolder(1, 1, state), 0);
    EXPECT_EQ(CountExpandedItems(state), 2);
    EXPECT_FALSE(IsItemSelected(sub, test::positionOf(state, "s1", sub), state));
    TreeRowToItem(2, folder, position, state);
    EXPECT_EQ(folder, 1);
    EXPECT_EQ(position, 2);
    // Expanding again shows sub's items, deep stays collapsed.
    EXPECT_EQ(ToggleTreeFolder(1, 1, state), 0);
    EXPECT_EQ(CountExpandedItems(state), 5);
    EXPECT_EQ(state.folderCount, 3);
}

TEST_F(FolderReaderTest, GoToParentFolder)
{
    wux::test::makeFolder(posix("p/q/r"));
    wux::test::makeFolder(posix("p/a"));
    wux::test::makeFolder(posix("p/z"));
    ASSERT_TRUE(SetStateToPath(path("p\\q"), state));
    std::string left;
    GoToParentFolder(state, left);
    EXPECT_EQ(left, "q");
    EXPECT_EQ(FolderPathAsStored(1, state), path("p"));
    EXPECT_EQ(GetFolderDepth(1, state), 1);
    state.itemCount = 0;
    ASSERT_TRUE(ReadFolder(1, 1, state));
    SortFolder(1, 8, state);
    EXPECT_EQ(FindSubfolderPosition(left, state), 2);
    GoToParentFolder(state, left);
    EXPECT_EQ(left, "p");
    EXPECT_EQ(FolderPathAsStored(1, state), "c:");
    EXPECT_EQ(GetFolderDepth(1, state), 0);
    GoToParentFolder(state, left); // the root: nothing
    EXPECT_EQ(left, "");
    EXPECT_EQ(FolderPathAsStored(1, state), "c:");
}

TEST_F(FolderReaderTest, RereadKeepsMarksSizesTagsAndExpansions)
{
    wux::test::createFile(posix("w/a"), "a");
    wux::test::createFile(posix("w/b"), "bb");
    wux::test::createFile(posix("w/c"), "ccc");
    wux::test::createFile(posix("w/sub/s1"), "1");
    wux::test::createFile(posix("w/sub/s2"), "22");
    wux::test::createFile(posix("w/measured/m"), "mmmm");
    ASSERT_TRUE(read("w"));
    state.sortWord = 16384; // files and folders mixed: the walk must step over files
    SortFolder(1, state.sortWord, state);
    const std::int32_t sub = ToggleTreeFolder(1, test::positionOf(state, "sub"), state);
    ASSERT_GT(sub, 0);
    ASSERT_TRUE(ReadFolder(sub, 1, state));
    SortFolder(sub, state.sortWord, state);
    test::setFlags(state, "b", kMarkOwn);
    test::setFlags(state, "c", kMarkOwn);
    test::setFlags(state, "s2", kMarkOwn, sub);
    SelectItem(1, test::positionOf(state, "measured") + 1, state, kActionMark, true); // measures it
    {
        StateAccess access(state);
        access.ItemAt(1, test::positionOf(state, "b"))->status = kStatusSuccessful;
    }
    EXPECT_EQ(test::itemAt(state, 1, test::positionOf(state, "measured")).size, 4u);
    state.driveIndex = 2;
    state.rowCount = 17;
    state.cursorName = "b";

    std::filesystem::remove(posix("w/c"));
    wux::test::createFile(posix("w/d"), "dddd");
    ASSERT_TRUE(RereadState(state));
    EXPECT_EQ(names(), (Names{"a", "b", "d", "measured", "sub"}));
    EXPECT_EQ(state.driveIndex, 2);
    EXPECT_EQ(state.rowCount, 17);
    EXPECT_EQ(state.cursorName, "b");
    EXPECT_EQ(state.sortWord, 16384u);
    EXPECT_TRUE(IsItemSelected(1, test::positionOf(state, "b"), state));
    EXPECT_FALSE(IsItemSelected(1, test::positionOf(state, "d"), state));
    EXPECT_EQ(test::itemAt(state, 1, test::positionOf(state, "b")).status, kStatusSuccessful);
    const TBrowserItem measured = test::itemAt(state, 1, test::positionOf(state, "measured"));
    EXPECT_EQ(measured.size, 4u);
    EXPECT_NE(measured.flags & kSizeCounted, 0u);
    // The tree expansion was read again.
    const TBrowserItem subItem = test::itemAt(state, 1, test::positionOf(state, "sub"));
    ASSERT_NE(subItem.flags & kItemExpanded, 0u);
    const auto newSub = static_cast<std::int32_t>(subItem.flags & kItemChildFolderMask);
    ASSERT_EQ(state.folderCount, 2);
    EXPECT_EQ(test::namesOf(state, newSub), (Names{"s1", "s2"}));
    EXPECT_TRUE(IsItemSelected(newSub, 2, state));
    RecalcSelection(state);
    EXPECT_EQ(state.selectedCount, 3);
    EXPECT_EQ(state.fileCount, 5);

    // A folder that vanished: false and the old listing intact.
    std::filesystem::remove_all(posix("w"));
    EXPECT_FALSE(RereadState(state));
    EXPECT_EQ(names(), (Names{"a", "b", "d", "measured", "sub"}));
    EXPECT_EQ(state.folderCount, 2);
}

TEST_F(FolderReaderTest, SumSelectedSizesMeasuresMarkedFolders)
{
    wux::test::createFile(posix("u/f"), "12345");
    wux::test::createFile(posix("u/dir/x"), std::string(10, 'x'));
    wux::test::createFile(posix("u/dir/y/z"), std::string(20, 'z'));
    wux::test::createFile(posix("u/other"), "1");
    ASSERT_TRUE(read("u"));
    test::setFlags(state, "f", kMarkOwn);
    test::setFlags(state, "dir", kMarkOwn);
    std::int32_t count = 0;
    EXPECT_EQ(SumSelectedSizes(count, state, false), 5u);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(SumSelectedSizes(count, state, true), 35u);
    EXPECT_EQ(count, 3);
    const TBrowserItem dir = test::itemAt(state, 1, test::positionOf(state, "dir"));
    EXPECT_EQ(dir.number, 2);
    EXPECT_EQ(dir.size, 30u);
    EXPECT_NE(dir.flags & kSizeCounted, 0u);
    RecalcSelection(state);
    EXPECT_EQ(state.selectedBytes, 35u);
    EXPECT_EQ(state.totalBytes, 36u);
    EXPECT_EQ(state.fileCount, 2);
}

// A network neighbourhood with one share (drive f:) and one printer.
class FakeNetwork : public ShellNamespace
{
public:
    bool networkFolder(ItemIdList& list) override
    {
        list = ItemIdList({"net"});
        return true;
    }
    bool displayName(const ItemIdList& absolute, std::string& name) override
    {
        ShellItemInfo info;
        if (!itemInfo(absolute, info))
            return false;
        name = info.displayName;
        return true;
    }
    bool itemInfo(const ItemIdList& absolute, ShellItemInfo& info) override
    {
        const auto& e = absolute.elements();
        if (e.size() == 1 && e[0] == "net") {
            info = ShellItemInfo{"Neighbourhood", true, 3};
            return true;
        }
        if (e.size() == 2 && e[0] == "net" && e[1] == "share") {
            info = ShellItemInfo{"Share", true, 4};
            return true;
        }
        if (e.size() == 2 && e[0] == "net" && e[1] == "printer") {
            info = ShellItemInfo{"Printer", false, 5};
            return true;
        }
        return false;
    }
    bool fileSystemPath(const ItemIdList& absolute, std::string& path) override
    {
        const auto& e = absolute.elements();
        if (e.size() == 2 && e[1] == "share") {
            path = "f:\\";
            return true;
        }
        return false;
    }
    bool enumerate(const ItemIdList& folder, std::vector<ItemIdList>& entries) override
    {
        if (folder.elements() != std::vector<std::string>{"net"} || failEnumerate)
            return false;
        entries = {ItemIdList({"share"}), ItemIdList({"printer"})};
        return true;
    }
    bool failEnumerate = false;
};

TEST_F(FolderReaderTest, NetworkNeighbourhoodThroughTheShell)
{
    FakeNetwork shell;
    setShellNamespace(&shell);
    drive.addDrive('f', platform::kDriveRemote);
    wux::test::createFile(drive.posix("shared.txt", 'f'), "s");
    BuildDriveList(DriveList, kDriveListNetwork | kDriveListBasket);
    const std::int32_t network = FindDriveIndex('\\', DriveList);
    ASSERT_GE(network, 0);
    ASSERT_EQ(DriveList[static_cast<std::size_t>(network)]->letter, '\\');

    ASSERT_TRUE(SetStateToDrive(network, state));
    EXPECT_EQ(state.driveIndex, network);
    EXPECT_EQ(FolderPathAsStored(1, state), "Neighbourhood");
    ASSERT_TRUE(ReadFolder(1, 1, state));
    ASSERT_EQ(names(), (Names{"Share", "Printer"}));
    const TBrowserItem share = test::itemAt(state, 1, 1);
    EXPECT_EQ(share.attributes, kDirectoryAttribute);
    EXPECT_EQ(share.size, 0u);
    EXPECT_EQ(share.iconIndex, 4);
    const auto time = platform::fileTimeToCalendar(share.lastWrite);
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->year, 2001);
    EXPECT_EQ(time->month, 8);
    EXPECT_EQ(time->day, 31);
    EXPECT_EQ(time->hour, 13);
    EXPECT_EQ(test::itemAt(state, 1, 2).attributes, 0u);
    std::string text;
    GetCellText(kColumnDate, 1, 2, text, state);
    EXPECT_EQ(text, "");
    SelectItem(1, 1, state, kActionMark, false);
    EXPECT_FALSE(IsItemSelected(1, 1, state));

    // Going into the share: a file-system folder reached through the shell.
    TstateOfBrowser entered;
    CreateBrowserState(entered, 2, 3, "*.*", 10);
    test::ListGuard guard{entered};
    AddChildFolder(1, 1, state, kChildEnter, entered, 1);
    entered.folderCount = 1;
    EXPECT_EQ(FolderPathAsStored(1, entered), "f:");
    EXPECT_EQ(GetFolderDepth(1, entered), 1);
    ASSERT_TRUE(ReadFolder(1, 1, entered));
    EXPECT_EQ(test::namesOf(entered), (Names{"shared.txt"}));
    {
        StateAccess access(entered);
        EXPECT_EQ(access.Folder(1).itemIdDepth, 0);
        EXPECT_NE(access.Folder(1).flags & kFolderOwnsItemIds, 0u);
        EXPECT_EQ(access.Folder(1).flags & kFolderOutsideFileSystem, 0u);
    }
    // The parent's entries let their lists go.
    EXPECT_EQ(test::itemAt(state, 1, 1).itemIds, nullptr);

    // And up again to the neighbourhood.
    std::string left;
    GoToParentFolder(entered, left);
    EXPECT_EQ(left, "Share");
    EXPECT_EQ(FolderPathAsStored(1, entered), "Neighbourhood");
    EXPECT_EQ(GetFolderDepth(1, entered), 0);
    entered.itemCount = 0;
    ASSERT_TRUE(ReadFolder(1, 1, entered));
    EXPECT_EQ(test::namesOf(entered), (Names{"Share", "Printer"}));

    shell.failEnumerate = true;
    ReleaseStateItemIds(entered);
    entered.itemCount = 0;
    {
        StateAccess access(entered);
        access.Folder(1).itemIds = DriveList[static_cast<std::size_t>(network)]->itemIds;
    }
    EXPECT_FALSE(ReadFolder(1, 1, entered));
    {
        StateAccess access(entered);
        access.Folder(1).itemIds = nullptr;
    }

    setShellNamespace(nullptr);
    DriveList.clear();
}

TEST_F(FolderReaderTest, DrivesThatAreNotReady)
{
    BuildDriveList(DriveList, kDriveListBasket);
    EXPECT_FALSE(SetStateToDrive(-1, state));
    EXPECT_FALSE(SetStateToDrive(static_cast<std::int32_t>(DriveList.size()), state));
    ASSERT_TRUE(SetStateToDrive(0, state));
    EXPECT_EQ(FolderPathAsStored(1, state), "c:");
    EXPECT_EQ(GetFolderDepth(1, state), 0);
    std::filesystem::remove_all(drive.root('c'));
    EXPECT_FALSE(SetStateToDrive(0, state));
    DriveList.clear();
}

} // namespace
} // namespace wux::filelist
