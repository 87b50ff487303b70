#include "platform/shell/network_neighbourhood.h"

#include <gtest/gtest.h>

#include "platform/drives.h"
#include "support/temp_drive.h"

namespace wux::platform::shell {
namespace {

TEST(NetworkNeighbourhood, WithoutNetworkDrivesThereIsNone)
{
    test::TempDrive drive("cd");
    EXPECT_TRUE(networkShares().empty());
    EXPECT_FALSE(hasNetworkNeighbourhood());
    EXPECT_FALSE(findNetworkShare('c'));
}

TEST(NetworkNeighbourhood, ListsTheRemoteDrivesInLetterOrder)
{
    test::TempDrive drive("c");
    ASSERT_TRUE(drive.addDrive('g', kDriveRemote));
    ASSERT_TRUE(drive.addDrive('e', kDriveRemote));
    ASSERT_TRUE(drive.addDrive('d', kDriveRemovable));

    const std::vector<NetworkShare> shares = networkShares();
    ASSERT_EQ(shares.size(), 2u);
    EXPECT_EQ(shares[0].letter, 'e');
    EXPECT_EQ(shares[0].root, drive.root('e'));
    EXPECT_EQ(shares[0].displayName, "e"); // no file-system label: the mount point's last part
    EXPECT_EQ(shares[1].letter, 'g');
    EXPECT_TRUE(hasNetworkNeighbourhood());
    ASSERT_TRUE(findNetworkShare('G'));
    EXPECT_EQ(findNetworkShare('G')->root, drive.root('g'));
    EXPECT_FALSE(findNetworkShare('d'));
}

TEST(NetworkNeighbourhood, TestsInstallTheirOwnShares)
{
    test::TempDrive drive("c");
    const std::vector<NetworkShare> fake = {{'n', "export", "/net/export", "server:/export"},
                                            {'z', "last", "/net/last", "server:/last"}};
    {
        ScopedNetworkShares scope(fake);
        EXPECT_EQ(networkShares(), fake);
        EXPECT_TRUE(hasNetworkNeighbourhood());
        ASSERT_TRUE(findNetworkShare('N'));
        EXPECT_EQ(findNetworkShare('N')->source, "server:/export");
        ASSERT_TRUE(findNetworkShare('Z'));
        {
            ScopedNetworkShares none(std::vector<NetworkShare>{});
            EXPECT_FALSE(hasNetworkNeighbourhood());
        }
        EXPECT_EQ(networkShares(), fake);
    }
    EXPECT_FALSE(hasNetworkNeighbourhood());
}

} // namespace
} // namespace wux::platform::shell
