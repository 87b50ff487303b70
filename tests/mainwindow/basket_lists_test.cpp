// Basket list files: round trips, malformed lists, failed saves and the dialogs.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/text_table.h"
#include "filelist/basket.h"
#include "filelist/basket_fixture.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "mainwindow/basket_lists.h"
#include "platform/dialogs.h"
#include "platform/fault_injection.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::mainwindow {
namespace {

using filelist::BasketState;
using filelist::LeftBasketState;
using filelist::RightBasketState;

class BasketListTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        savedOptions_ = filelist::GeneralCheckContainer.load();
        filelist::GeneralCheckContainer = filelist::kDefaultGeneralCheckContainer;
        filelist::CreateBasketState(BasketState);
        filelist::AttachStateToPanel(filelist::kLeftBasketView, true, BasketState);
        filelist::AttachStateToPanel(filelist::kRightBasketView, true, BasketState);
        test::createFile(path("data\\b.txt"), "bb");
        test::createFile(path("data\\A.txt"), "a");
        test::createFile(path("data\\sub\\z.bin"), "zzz");
        test::createFile(path("root.txt"), "r");
        test::createFile(path("deep\\" + std::string(40, 'd') + "\\" + std::string(200, 'n') + ".txt"), "x");
    }

    void TearDown() override
    {
        filelist::test::detachBasketView(LeftBasketState);
        filelist::test::detachBasketView(RightBasketState);
        filelist::ReleaseStateItemIds(BasketState);
        filelist::FreeBrowserState(BasketState);
        BasketState = filelist::TstateOfBrowser();
        filelist::GeneralCheckContainer = savedOptions_;
        platform::clearFaults();
    }

    std::vector<std::string> basketLines()
    {
        platform::StringList list;
        SaveBasketToStrings(list);
        return list.lines();
    }

    platform::StringList listOf(std::initializer_list<std::string> lines)
    {
        platform::StringList list;
        for (const std::string& line : lines)
            list.add(line);
        return list;
    }

private:
    std::uint32_t savedOptions_ = 0;
};

TEST_F(BasketListTest, SavedListLoadsBackToTheSameFileByteForByte)
{
    // An empty Basket writes an empty file, which loads back empty.
    ASSERT_EQ(SaveBasketListFile(path("empty.lst")), 0u);
    EXPECT_EQ(test::readFileBytes(path("empty.lst")), "");
    LoadBasketFromStrings(listOf({path("root.txt")}));
    ASSERT_EQ(LoadBasketListFile(path("empty.lst")), 0u);
    EXPECT_EQ(BasketState.itemCount, 0);
    EXPECT_EQ(BasketState.folderCount, 0);
    const std::string longName =
        path("deep\\" + std::string(40, 'd') + "\\" + std::string(200, 'n') + ".txt");
    EXPECT_EQ(LoadBasketFromStrings(listOf({path("data\\sub\\z.bin"), path("data\\b.txt"), path("root.txt"),
                                            path("data\\A.txt"), longName})),
              0);
    // Folders in the order the list gave them, each folder's items by full name.
    const std::vector<std::string> expected = {path("data\\sub\\z.bin"), path("data\\A.txt"),
                                               path("data\\b.txt"), path("root.txt"), longName};
    EXPECT_EQ(basketLines(), expected);
    EXPECT_EQ(BasketState.itemCount, 5);
    EXPECT_EQ(BasketState.busy, 0);
    // With option 0x4000 the loaded files are marked in both views.
    EXPECT_EQ(LeftBasketState.selectedCount, 5);
    EXPECT_EQ(RightBasketState.selectedCount, 5);

    ASSERT_EQ(SaveBasketListFile(path("list1.txt")), 0u);
    std::string text;
    for (const std::string& line : expected)
        text += line + "\r\n";
    EXPECT_EQ(test::readFileBytes(path("list1.txt")), text);

    ClearBasket();
    EXPECT_EQ(BasketState.itemCount, 0);
    ASSERT_EQ(LoadBasketListFile(path("list1.txt")), 0u);
    ASSERT_EQ(SaveBasketListFile(path("list2.txt")), 0u);
    EXPECT_EQ(test::readFileBytes(path("list2.txt")), text);
}

TEST_F(BasketListTest, UnusableLinesAreSkippedAndTheRestLoads)
{
    const std::string lines[] = {
        "",                                   // empty
        "no backslash at all",                // no folder
        path("data\\"),                       // empty name
        "\\name.txt",                         // empty folder
        path("data\\missing.txt"),            // no such file
        path("nowhere\\b.txt"),               // no such folder
        std::string("c:\\da\0ta\\b.txt", 14), // binary garbage
        "relative\\b.txt",
        path("data\\b.txt"),
        path("data\\b.txt"), // a duplicate is inserted once
    };
    platform::StringList list;
    for (const std::string& line : lines)
        list.add(line);
    EXPECT_EQ(LoadBasketFromStrings(list), 8);
    EXPECT_EQ(basketLines(), (std::vector<std::string>{path("data\\b.txt")}));
    EXPECT_EQ(BasketState.folderCount, 1); // no empty folder left behind
}

TEST_F(BasketListTest, LineEndsOfEveryKindAreRead)
{
    test::createFile(path("mixed.lst"), path("data\\b.txt") + "\r\n" + path("data\\A.txt") + "\n" +
                                            path("root.txt") + "\r" + path("data\\sub\\z.bin"));
    ASSERT_EQ(LoadBasketListFile(path("mixed.lst")), 0u);
    EXPECT_EQ(BasketState.itemCount, 4);
    // A binary file loads nothing and changes no file.
    std::string binary(300, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7);
    test::createFile(path("binary.bin"), binary);
    ASSERT_EQ(LoadBasketListFile(path("binary.bin")), 0u);
    EXPECT_EQ(BasketState.itemCount, 0);
    EXPECT_EQ(test::readFileBytes(path("binary.bin")), binary);
}

TEST_F(BasketListTest, FailedSaveKeepsTheOldFileAndSaysSo)
{
    LoadBasketFromStrings(listOf({path("root.txt")}));
    test::createFile(path("keep.lst"), "old content\r\n");
    platform::injectFault(path("keep.lst"), 112, platform::kFaultWrite);
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService scoped(dialogs);
    dialogs.answerFile(path("keep.lst"));
    EXPECT_FALSE(SaveBasketListWithDialog(nullptr, "Wuxtool"));
    EXPECT_EQ(test::readFileBytes(path("keep.lst")), "old content\r\n");
    ASSERT_EQ(dialogs.records().size(), 1u);
    EXPECT_EQ(dialogs.records()[0].request.caption, "Wuxtool");
    EXPECT_NE(dialogs.records()[0].request.text.find(path("keep.lst")), std::string::npos);
    EXPECT_EQ(dialogs.records()[0].request.icon, platform::MsgIcon::Warning);
    EXPECT_EQ(BasketState.busy, 0);
    EXPECT_EQ(dialogs.fileRequests()[0].kind, platform::FileDialogKind::Save);
    EXPECT_EQ(dialogs.fileRequests()[0].title, core::uiText(703));
}

TEST_F(BasketListTest, DialogsLoadAndSaveAndCancelChangesNothing)
{
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService scoped(dialogs);
    LoadBasketFromStrings(listOf({path("root.txt")}));
    // Cancelled: no file, Basket unchanged.
    EXPECT_FALSE(SaveBasketListWithDialog(nullptr, "Wuxtool"));
    EXPECT_FALSE(LoadBasketListWithDialog(nullptr, "Wuxtool"));
    EXPECT_EQ(basketLines(), (std::vector<std::string>{path("root.txt")}));
    EXPECT_FALSE(test::exists(path("saved.lst")));

    dialogs.answerFile(path("saved.lst"));
    EXPECT_TRUE(SaveBasketListWithDialog(nullptr, "Wuxtool"));
    EXPECT_EQ(test::readFileBytes(path("saved.lst")), path("root.txt") + "\r\n");
    test::createFile(path("other.lst"), path("data\\A.txt") + "\r\n");
    dialogs.answerFile(path("other.lst"));
    EXPECT_TRUE(LoadBasketListWithDialog(nullptr, "Wuxtool"));
    EXPECT_EQ(basketLines(), (std::vector<std::string>{path("data\\A.txt")}));
    // An unreadable list: a message, and the Basket as it was.
    dialogs.answerFile(path("gone.lst"));
    EXPECT_FALSE(LoadBasketListWithDialog(nullptr, "Wuxtool"));
    EXPECT_EQ(basketLines(), (std::vector<std::string>{path("data\\A.txt")}));
    ASSERT_EQ(dialogs.records().size(), 1u);
    EXPECT_EQ(dialogs.fileRequests().back().kind, platform::FileDialogKind::Open);
    EXPECT_EQ(dialogs.fileRequests().back().title, core::uiText(704));
}

} // namespace
} // namespace wux::mainwindow
