#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "filelist/drive_list.h"
#include "platform/text.h"
#include "support/temp_drive.h"

namespace wux::filelist {
namespace {

std::string letters(const TDriveList& list)
{
    std::string text;
    for (const auto& record : list)
        text += record->letter;
    return text;
}

// A namespace whose network folder has a name of its own.
class NamedNetwork : public ShellNamespace
{
public:
    bool networkFolder(ItemIdList& list) override
    {
        list = ItemIdList({"fake"});
        return true;
    }
    bool displayName(const ItemIdList& absolute, std::string& name) override
    {
        if (absolute.elementCount() != 1)
            return false;
        name = "Fake Net";
        return true;
    }
    bool itemInfo(const ItemIdList&, ShellItemInfo&) override { return false; }
    bool fileSystemPath(const ItemIdList&, std::string&) override { return false; }
    bool enumerate(const ItemIdList&, std::vector<ItemIdList>&) override { return false; }
};

class DriveListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterDriveListTexts();
        drive.addDrive('e', platform::kDriveCdrom);
        drive.addDrive('f', platform::kDriveRemote);
        drive.addDrive('g', platform::kDriveRemovable);
    }
    void TearDown() override
    {
        DriveList.clear();
        setShellNamespace(nullptr);
    }
    test::TempDrive drive{"cd"};
};

TEST_F(DriveListTest, OrderNamesAndOptions)
{
    TDriveList list;
    BuildDriveList(list, kDriveListNetwork | kDriveListBasket);
    ASSERT_EQ(letters(list), "cdefg\\*");
    struct Expected
    {
        std::int32_t type;
        const char* name;
        std::uint8_t real;
    };
    const Expected expected[] = {{3, "c", 1},         {3, "d", 1},       {5, "CD-ROM", 1}, {4, "f", 1},
                                 {2, "REMOVABLE", 1}, {4, "Network", 0}, {4, "BASKET", 0}};
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i]->type, expected[i].type) << i;
        EXPECT_EQ(list[i]->Name(), expected[i].name) << i;
        EXPECT_EQ(list[i]->realDrive, expected[i].real) << i;
    }
    EXPECT_NE(list[5]->itemIds, nullptr);
    EXPECT_EQ(list[0]->itemIds, nullptr);
    EXPECT_EQ(list[6]->itemIds, nullptr);

    BuildDriveList(list, kDriveListNetwork | kDriveListBasket | kDriveListNoCdrom);
    EXPECT_EQ(letters(list), "cdfg\\*");
    BuildDriveList(list, 0);
    EXPECT_EQ(letters(list), "cdefg");
}

TEST_F(DriveListTest, NoNetworkRecordWithoutANetworkFolder)
{
    test::TempDrive local("c");
    TDriveList list;
    BuildDriveList(list, kDriveListNetwork | kDriveListBasket);
    EXPECT_EQ(letters(list), "c*");
}

TEST_F(DriveListTest, NetworkNameComesFromTheShell)
{
    NamedNetwork shell;
    setShellNamespace(&shell);
    TDriveList list;
    BuildDriveList(list, kDriveListNetwork);
    ASSERT_EQ(letters(list), "cdefg\\");
    EXPECT_EQ(list.back()->Name(), "Fake Net");
    ASSERT_NE(list.back()->itemIds, nullptr);
    EXPECT_EQ(list.back()->itemIds->elements(), std::vector<std::string>{"fake"});
}

TEST_F(DriveListTest, FindDriveIndexAndFirstReadyFixedDrive)
{
    BuildDriveList(DriveList, kDriveListNetwork | kDriveListBasket);
    EXPECT_EQ(FindDriveIndex('C', DriveList), 0);
    EXPECT_EQ(FindDriveIndex('d', DriveList), 1);
    EXPECT_EQ(FindDriveIndex('\\', DriveList), 5);
    EXPECT_EQ(FindDriveIndex('*', DriveList), 6);
    EXPECT_EQ(FindDriveIndex('Q', DriveList), 0); // no drive q: the first ready fixed drive
    EXPECT_TRUE(IsDriveReady('C'));
    EXPECT_TRUE(IsDriveReady('*'));
    EXPECT_TRUE(IsDriveReady('\\'));
    EXPECT_FALSE(IsDriveReady('q'));

    // Drive c goes away: d is the first ready fixed drive; without any, -1.
    std::filesystem::remove_all(drive.root('c'));
    EXPECT_FALSE(IsDriveReady('c'));
    EXPECT_EQ(FirstReadyFixedDrive(DriveList), 1);
    EXPECT_EQ(FindDriveIndex('q', DriveList), 1);
    std::filesystem::remove_all(drive.root('d'));
    EXPECT_EQ(FirstReadyFixedDrive(DriveList), -1);
    EXPECT_EQ(FindDriveIndex('q', DriveList), -1);
    EXPECT_FALSE(IsDriveReady('q'));
    EXPECT_EQ(FirstReadyFixedDrive(TDriveList()), -1);
}

TEST_F(DriveListTest, RefreshRebuildsOnlyWhenTheDrivesChanged)
{
    TDriveList list;
    BuildDriveList(list, 3);
    const TDriveRecord* first = list[0].get();
    EXPECT_FALSE(RefreshDriveList(list, 3));
    EXPECT_EQ(list[0].get(), first);

    ASSERT_TRUE(drive.addDrive('h'));
    EXPECT_TRUE(RefreshDriveList(list, 3));
    EXPECT_EQ(letters(list), "cdefgh\\*");
    EXPECT_FALSE(RefreshDriveList(list, 3));

    {
        test::TempDrive fewer("cd");
        EXPECT_TRUE(RefreshDriveList(list, 3)); // drives went away
        EXPECT_EQ(letters(list), "cd*");
        EXPECT_FALSE(RefreshDriveList(list, 3));
    }
    // Built without CD-ROM drives, the missing e is no change.
    BuildDriveList(list, 7);
    EXPECT_FALSE(RefreshDriveList(list, 7));
}

TEST(DriveRecord, NamesAreCopiedWithBounds)
{
    TDriveRecord record;
    std::string label;
    for (int i = 0; i < 200; ++i)
        label += "\xC3\xA9"; // 400 bytes of two-byte characters
    record.SetName(label);
    const std::string name = record.Name();
    EXPECT_LE(name.size(), kDriveNameSize - 1);
    EXPECT_EQ(name.size(), 258u);
    EXPECT_TRUE(platform::isValidUtf8(name));
    record.SetName(label, 255);
    EXPECT_EQ(record.Name().size(), 254u);
    record.SetName("short");
    EXPECT_EQ(record.Name(), "short");
}

} // namespace
} // namespace wux::filelist
