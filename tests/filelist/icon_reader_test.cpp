#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "basket_fixture.h"
#include "filelist/icon_reader.h"
#include "platform/shell/image_list.h"
#include "platform/text.h"

namespace wux::filelist {
namespace {

using platform::shell::IconState;
using test::dir;
using test::file;
using Icons = std::vector<std::int32_t>;

constexpr std::int32_t kFolderIcon = 3;
constexpr std::int32_t kOpenFolderIcon = 4;
constexpr std::int32_t kRealIcon = 42;
constexpr std::int32_t kRealOpenIcon = 43;

// Icons by extension name for the look-ups by name; every readable path gets 42 (43 open), the paths
// in `unreadable` fail.
class FakeIcons : public platform::shell::IconService
{
public:
    std::int32_t fileIconIndex(std::string_view name, std::uint32_t, IconState, std::string*) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        byName.emplace_back(name);
        const auto found = extensionIcons.find(std::string(name));
        return found == extensionIcons.end() ? 0 : found->second;
    }
    std::int32_t pathIconIndex(std::string_view path, IconState state, std::string*) override
    {
        int call = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            paths.emplace_back(path);
            call = static_cast<int>(paths.size());
        }
        if (onPath)
            onPath(call);
        if (std::find(unreadable.begin(), unreadable.end(), std::string(path)) != unreadable.end())
            return -1;
        return state == IconState::kOpen ? kRealOpenIcon : kRealIcon;
    }
    std::int32_t folderIconIndex(IconState state) override
    {
        return state == IconState::kOpen ? kOpenFolderIcon : kFolderIcon;
    }
    std::int32_t networkIconIndex() override { return 5; }
    QIcon icon(std::int32_t) override { return QIcon(); }
    std::int32_t iconCount() override { return 50; }

    std::size_t pathCount()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return paths.size();
    }

    std::map<std::string, std::int32_t> extensionIcons{{".txt", 11}, {".DOC", 12}, {".pdf", 13}};
    std::vector<std::string> unreadable;
    std::vector<std::string> byName;
    std::vector<std::string> paths;
    std::function<void(int)> onPath; // called on the reader's thread

private:
    std::mutex mutex_;
};

class IconReaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedList_ = ExtensionList;
        savedCache_ = ExtensionIconCache;
        savedFolder_ = DefaultFolderIcon;
        savedOpen_ = OpenFolderIcon;
        ExtensionList.clear();
        for (const char* extension : {".txt", ".DOC", ".pdf", ".xyz"})
            ExtensionList.add(extension);
        ExtensionList.sort();
        ExtensionIconCache.assign(static_cast<std::size_t>(ExtensionList.count()), -1);
        LoadDefaultIcons();
    }

    void TearDown() override
    {
        StopIconReader(reader);
        if (list.text != nullptr)
            FreeBrowserState(list);
        ExtensionList = savedList_;
        ExtensionIconCache = savedCache_;
        DefaultFolderIcon = savedFolder_;
        OpenFolderIcon = savedOpen_;
    }

    std::int32_t icon(std::string_view name, std::int32_t folder = 1)
    {
        return ItemIconIndex(folder, test::positionOf(list, name, folder), list, &panel, reader);
    }

    // The icons shown for these names (each looked up in turn).
    std::vector<std::int32_t> iconsOf(std::initializer_list<std::string_view> names, std::int32_t folder = 1)
    {
        std::vector<std::int32_t> out;
        for (std::string_view name : names)
            out.push_back(icon(name, folder));
        return out;
    }
    std::vector<std::int32_t> stored(std::int32_t folder = 1)
    {
        return test::fieldOf(list, &TBrowserItem::iconIndex, folder);
    }

    FakeIcons icons;
    platform::shell::ScopedIconService iconScope{icons};
    TstateOfBrowser list;
    TstateOfBrowser unused;
    test::FakePanel panel{list, unused};
    std::unique_ptr<ThreadForReadIcons> reader;

private:
    platform::StringList savedList_;
    std::vector<std::int32_t> savedCache_;
    std::int32_t savedFolder_ = -1;
    std::int32_t savedOpen_ = -1;
};

TEST_F(IconReaderTest, InterimIconsAskTheShellOncePerExtension)
{
    std::vector<test::ItemData> items;
    for (int n = 0; n < 3000; ++n) {
        static const char* const kExtensions[] = {".txt", ".doc", ".PDF"};
        items.push_back(file("f" + std::to_string(n) + kExtensions[n % 3]));
    }
    items.push_back(file("odd.unknown"));
    items.push_back(file("noext"));
    items.push_back(dir("sub"));
    test::makeList(list, items, 1, "c:\\many");
    for (std::int32_t position = 1; position <= list.itemCount; ++position)
        ItemIconIndex(1, position, list, &panel, reader);
    EXPECT_EQ(icons.byName.size(), 3u);
    EXPECT_EQ(iconsOf({"f0.txt", "f1.doc", "f2.PDF", "odd.unknown", "noext", "sub"}),
              (Icons{11, 12, 13, kNoFileIcon, kNoFileIcon, kFolderIcon}));
    EXPECT_EQ(ItemIconIndex(1, 0, list, &panel, reader), -1);
    EXPECT_EQ(ItemIconIndex(1, list.itemCount + 1, list, &panel, reader), -1); // beyond the folder
    EXPECT_EQ(icons.byName.size(), 3u);
    ASSERT_NE(reader, nullptr);
}

TEST_F(IconReaderTest, TheReaderStoresTheRealIconsAndRepaintsOnce)
{
    test::makeList(list, {file("a.txt"), file("gone.txt"), dir("sub"), dir("lost"), file("noext")}, 1,
                   "c:\\d");
    icons.unreadable = {"c:\\d\\gone.txt", "c:\\d\\lost"};
    EXPECT_EQ(icon("a.txt"), 11);
    ASSERT_NE(reader, nullptr);
    ThreadForReadIcons* first = reader.get();
    reader->WaitFor();
    EXPECT_EQ(panel.repaints, 1);
    EXPECT_EQ(icons.pathCount(), 5u);
    EXPECT_EQ(iconsOf({"a.txt", "gone.txt", "sub", "lost", "noext"}),
              (Icons{kRealIcon, kNoFileIcon, kRealIcon, -kFolderIcon, kRealIcon}));
    EXPECT_EQ(reader.get(), first); // known icons start nothing
    EXPECT_EQ(test::itemAt(list, 1, 1).iconIndex, kRealIcon);
    EXPECT_EQ(test::fieldOf(list, &TBrowserItem::openIconIndex), (Icons{-1, -1, -1, -1, -1}));
}

TEST_F(IconReaderTest, ExpandedTreeFoldersGetTheirOpenIconAndCollapsedFoldersAreSkipped)
{
    CreateBrowserState(list, 2, 4, "*.*", 100);
    test::addFolder(list, "c:\\t", {dir("open"), file("x.txt")});
    test::addFolder(list, "c:\\t\\open", {file("inner.txt")}, 2);
    test::addFolder(list, "c:\\hidden", {file("never.txt")});
    test::setFlags(list, "open", kItemExpanded | 2, 1);
    {
        StateAccess access(list);
        access.Folder(3).flags &= ~kFolderExpanded;
    }
    EXPECT_EQ(icon("open"), kFolderIcon); // its open icon is not known yet
    reader->WaitFor();
    EXPECT_EQ(test::itemAt(list, 1, 1).openIconIndex, kRealOpenIcon);
    EXPECT_EQ(stored(), (Icons{-1, kRealIcon}));
    EXPECT_EQ(icon("open"), kRealOpenIcon);
    EXPECT_EQ(icon("inner.txt", 2), kRealIcon);
    EXPECT_EQ(test::itemAt(list, 3, 1).iconIndex, -1);
    EXPECT_EQ(std::count(icons.paths.begin(), icons.paths.end(), "c:\\hidden\\never.txt"), 0);
}

TEST_F(IconReaderTest, AFlatViewReadsEachItemInItsOwnFolder)
{
    CreateBrowserState(list, 2, 4, "*.*", 100);
    test::addFolder(list, "c:\\one", {file("a.txt")});
    test::addFolder(list, "c:\\two", {file("b.txt")});
    BeginFlatView(list, list.itemCount);
    SortAllFolders(list);
    icon("a.txt");
    reader->WaitFor();
    std::vector<std::string> asked = icons.paths;
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"c:\\one\\a.txt", "c:\\two\\b.txt"}));
    EXPECT_EQ(icon("b.txt"), kRealIcon);
    EndFlatView(list);
}

TEST_F(IconReaderTest, ItemIdEntriesAskTheShellForTheJoinedList)
{
    class Namespace : public ShellNamespace
    {
    public:
        bool networkFolder(ItemIdList&) override { return false; }
        bool displayName(const ItemIdList&, std::string&) override { return false; }
        bool itemInfo(const ItemIdList& absolute, ShellItemInfo& info) override
        {
            std::lock_guard<std::mutex> lock(mutex);
            asked.push_back(absolute);
            info.iconIndex = absolute.elementCount() == 2 ? 77 : -1;
            return true;
        }
        bool fileSystemPath(const ItemIdList&, std::string&) override { return false; }
        bool enumerate(const ItemIdList&, std::vector<ItemIdList>&) override { return false; }
        std::mutex mutex;
        std::vector<ItemIdList> asked;
    } shell;
    setShellNamespace(&shell);
    test::makeList(list, {dir("share"), dir("bad")}, 0, "Network");
    {
        StateAccess access(list);
        access.Folder(1).itemIds = new ItemIdList({"net"});
        access.Folder(1).flags |= kFolderOwnsItemIds;
        access.items[0].itemIds = new ItemIdList({"share"});
        access.items[1].itemIds = new ItemIdList({"bad", "deeper"});
        access.items[0].flags |= kItemOwnsItemIds;
        access.items[1].flags |= kItemOwnsItemIds;
    }
    icon("share");
    reader->WaitFor();
    setShellNamespace(nullptr);
    EXPECT_EQ(stored(), (Icons{77, -kFolderIcon}));
    ASSERT_EQ(shell.asked.size(), 2u);
    EXPECT_EQ(shell.asked[0], ItemIdList({"net", "share"}));
    EXPECT_EQ(icons.pathCount(), 0u);
    ReleaseStateItemIds(list);
}

TEST_F(IconReaderTest, StoppingAReaderThatWaitsOnTheGuiThreadEndsCleanly)
{
    test::makeList(list, {file("a.txt"), file("b.txt")}, 1, "c:\\w");
    icon("a.txt");
    ASSERT_NE(reader, nullptr);
    // The reader's first synchronised call waits, since this thread serves nothing meanwhile.
    while (platform::pendingSynchronizeCount() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    StopIconReader(reader);
    EXPECT_EQ(reader, nullptr);
    EXPECT_EQ(panel.repaints, 0);
    EXPECT_EQ(stored(), (Icons{-1, -1}));
    EXPECT_EQ(platform::pendingSynchronizeCount(), 0u);
}

TEST_F(IconReaderTest, AReaderStoppedHalfwayIsReplacedOnlyAfterThePanelClearedIt)
{
    std::vector<test::ItemData> items;
    for (int n = 0; n < 20; ++n)
        items.push_back(file("f" + std::to_string(100 + n) + ".txt"));
    test::makeList(list, items, 1, "c:\\h");
    ThreadForReadIcons* running = nullptr;
    icons.onPath = [&running](int call) {
        if (call == 5)
            running->Terminate();
    };
    icon("f100.txt");
    running = reader.get();
    reader->WaitFor();
    EXPECT_EQ(panel.repaints, 0);
    const std::int32_t unread = test::positionOf(list, "f119.txt");
    EXPECT_EQ(test::itemAt(list, 1, unread).iconIndex, -1);
    EXPECT_EQ(test::itemAt(list, 1, 1).iconIndex, kRealIcon);
    // The panel still holds its reader: no second one.
    EXPECT_EQ(icon("f119.txt"), 11);
    EXPECT_EQ(reader.get(), running);
    StopIconReader(reader);
    icons.onPath = nullptr;
    EXPECT_EQ(icon("f119.txt"), 11);
    ASSERT_NE(reader, nullptr);
    reader->WaitFor();
    EXPECT_EQ(test::itemAt(list, 1, unread).iconIndex, kRealIcon);
    EXPECT_EQ(panel.repaints, 1);
}

TEST_F(IconReaderTest, ItemIconIndexNowComputesAtOnceWithoutAThread)
{
    test::makeList(list, {file("a.txt"), file("b.xyz"), file("c.none"), dir("sub")}, 1, "c:\\n");
    icons.extensionIcons[".xyz"] = -1;
    EXPECT_EQ(ItemIconIndexNow(1, 0, list), kOpenFolderIcon);
    ASSERT_EQ(test::namesOf(list), (std::vector<std::string>{"a.txt", "b.xyz", "c.none", "sub"}));
    Icons now;
    for (std::int32_t position = 1; position <= 4; ++position)
        now.push_back(ItemIconIndexNow(1, position, list));
    EXPECT_EQ(now, (Icons{11, kNoFileIcon, kNoFileIcon, kFolderIcon}));
    EXPECT_EQ(stored(), (Icons{11, -1, -1, -1}));
    // An extension the shell gave nothing for is asked again next time.
    EXPECT_EQ(ExtensionIconIndex("xyz"), -1);
    EXPECT_EQ(std::count(icons.byName.begin(), icons.byName.end(), ".xyz"), 2);
    EXPECT_EQ(ExtensionIconIndex("TXT"), 11);
    EXPECT_EQ(std::count(icons.byName.begin(), icons.byName.end(), ".txt"), 1);
    EXPECT_EQ(reader, nullptr);
}

TEST(IconReaderModule, TheExtensionListHoldsTheRegisteredExtensionsSorted)
{
    platform::StringList list;
    const std::vector<std::int32_t> savedCache = ExtensionIconCache;
    LoadExtensionList(list);
    EXPECT_GT(list.count(), 10);
    int index = 0;
    EXPECT_TRUE(list.find(".txt", index));
    for (const std::string& name : list)
        EXPECT_EQ(name.front(), '.') << name;
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), platform::LessNoCase()));
    EXPECT_EQ(ExtensionIconCache.size(), static_cast<std::size_t>(list.count()));
    EXPECT_TRUE(std::all_of(ExtensionIconCache.begin(), ExtensionIconCache.end(),
                            [](std::int32_t v) { return v == -1; }));
    ExtensionIconCache = savedCache;
}

} // namespace
} // namespace wux::filelist
