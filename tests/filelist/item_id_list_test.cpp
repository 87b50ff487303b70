#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filelist/item_id_list.h"
#include "support/temp_drive.h"

namespace wux::filelist {
namespace {

using Elements = std::vector<std::string>;

TEST(ItemIdList, SizeJoinCloneAndParent)
{
    ItemIdList first({"ab", "c"});
    ItemIdList second({"defg"});
    EXPECT_EQ(first.byteSize(), 4u + 3u); // each element: its bytes + a 2-byte size field
    EXPECT_EQ(itemIdListSize(&second), 6u);
    EXPECT_EQ(itemIdListSize(nullptr), 0u);

    ItemIdList* joined = joinItemIdLists(&first, &second);
    EXPECT_EQ(joined->elements(), (Elements{"ab", "c", "defg"}));
    EXPECT_EQ(joined->byteSize(), 13u);
    ItemIdList* copy = cloneItemIdList(joined);
    EXPECT_EQ(*copy, *joined);
    EXPECT_TRUE(copy->removeLast());
    EXPECT_EQ(copy->elements(), (Elements{"ab", "c"}));
    EXPECT_EQ(joined->elementCount(), 3u); // the copy is a list of its own
    ItemIdList* alone = joinItemIdLists(nullptr, &second);
    EXPECT_EQ(*alone, second);
    EXPECT_EQ(cloneItemIdList(nullptr), nullptr);
    ItemIdList empty;
    EXPECT_FALSE(empty.removeLast());
    releaseItemIdList(joined);
    releaseItemIdList(copy);
    releaseItemIdList(alone);
    releaseItemIdList(nullptr);
}

TEST(ItemIdList, TheSystemsNetworkNeighbourhoodListsRemoteDrives)
{
    setShellNamespace(nullptr);
    test::TempDrive drive("c");
    ItemIdList network;
    EXPECT_FALSE(shellNamespace().networkFolder(network)); // no network file system: no folder

    drive.addDrive('n', platform::kDriveRemote);
    ShellNamespace& shell = shellNamespace();
    ASSERT_TRUE(shell.networkFolder(network));
    std::string name;
    ASSERT_TRUE(shell.displayName(network, name));
    EXPECT_FALSE(name.empty());
    std::vector<ItemIdList> entries;
    ASSERT_TRUE(shell.enumerate(network, entries));
    ASSERT_EQ(entries.size(), 1u);
    ItemIdList* share = joinItemIdLists(&network, &entries[0]);
    ShellItemInfo info;
    ASSERT_TRUE(shell.itemInfo(*share, info));
    EXPECT_TRUE(info.isFolder);
    EXPECT_EQ(info.displayName, "n"); // the last part of the drive's root folder
    std::string path;
    ASSERT_TRUE(shell.fileSystemPath(*share, path));
    EXPECT_EQ(path, "n:");
    EXPECT_FALSE(shell.fileSystemPath(network, path));
    EXPECT_FALSE(shell.enumerate(*share, entries));
    releaseItemIdList(share);
    EXPECT_FALSE(shell.displayName(ItemIdList({"other"}), name));
}

} // namespace
} // namespace wux::filelist
