// The prompts and proposed inputs of the copy, move and delete dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>

#include "core/text_table.h"
#include "mainwindow/main_commands.h"

namespace wux::mainwindow {
namespace {

class CommandPromptTest : public ::testing::Test
{
protected:
    void SetUp() override { core::registerCoreTexts(); }
    QFont font = QApplication::font();
};

TEST_F(CommandPromptTest, CopyMoveAndDeletePromptsName)
{
    struct Case
    {
        std::int32_t kind; // 1 copy, 4 move, 2 delete, 16 remove from the Basket
        SelectionSummary selection;
        const char* expected;
    };
    const Case cases[] = {
        {1, {3, false, ""}, "Copy 3 files to"},
        {4, {2, true, ""}, "Rename or move 2 files to"},
        {1, {1, false, "a.txt"}, "Copy file \"a.txt\" to"},
        {4, {1, true, "Docs"}, "Rename or move directory [Docs] to"},
        {2, {1, false, "a.txt"}, "Do you wish to delete file \"a.txt\"?"},
        {2, {5, false, ""}, "Do you wish to delete 5 files?"},
        {16, {1, true, "x"}, "Do you wish to remove directory [x] from basket?"},
        {16, {12, false, ""}, "Do you wish to remove 12 files from basket?"},
        {1, {1, false, "100%s %d.txt"}, "Copy file \"100%s %d.txt\" to"},
    };
    for (const Case& c : cases) {
        const Prompt prompt = c.kind == 1 || c.kind == 4 ? copyMovePrompt(c.kind, c.selection, 355, font)
                                                         : deletePrompt(c.kind == 16, c.selection, 355, font);
        EXPECT_EQ(prompt.text, c.expected);
        EXPECT_GE(prompt.dialogWidth, 355);
    }
}

TEST_F(CommandPromptTest, LongNamesAreShortenedToTheRoomLeft)
{
    const std::string name(300, 'w');
    const QFontMetrics metrics(font);
    struct Case
    {
        Prompt prompt;
        std::size_t nameStart;
        std::size_t nameEnd; // characters after the name
        const char* unformatted;
        int reserve;
    };
    const Case cases[] = {
        {copyMovePrompt(1, {1, false, name}, 355, font), 11, 4, "Copy file \"%s\" to", 25},
        {copyMovePrompt(1, {1, false, name}, 900, font), 11, 4, "Copy file \"%s\" to", 25},
        {deletePrompt(false, {1, false, name}, 355, font), 28, 2, "Do you wish to delete file \"%s\"?", 65},
        {deletePrompt(true, {1, true, name}, 355, font), 33, 14,
         "Do you wish to remove directory [%s] from basket?", 65},
    };
    for (const Case& c : cases) {
        const std::string& text = c.prompt.text;
        const std::string shown = text.substr(c.nameStart, text.size() - c.nameStart - c.nameEnd);
        ASSERT_GE(shown.size(), 3u) << text;
        EXPECT_EQ(shown.substr(shown.size() - 2), "..") << text;
        const int room = c.prompt.dialogWidth - metrics.horizontalAdvance(c.unformatted) - c.reserve;
        EXPECT_GE(room, kMinimumNameRoom) << text;
        EXPECT_LE(metrics.horizontalAdvance(QString::fromStdString(shown.substr(0, shown.size() - 2))), room)
            << text;
        EXPECT_GT(metrics.horizontalAdvance(QString::fromStdString(shown.substr(0, shown.size() - 2) + "w")),
                  room)
            << text;
    }
    EXPECT_EQ(cases[1].prompt.dialogWidth, 900);
}

TEST_F(CommandPromptTest, ProposedInputs)
{
    struct Case
    {
        bool inPlace;
        bool basket;
        SelectionSummary selection;
        const char* expected;
    };
    const Case cases[] = {
        {false, false, {1, false, "a.txt"}, "d:\\target\\a.txt"},
        {false, false, {1, true, "dir"}, "d:\\target\\*.*"},
        {false, false, {4, false, ""}, "d:\\target\\*.*"},
        {true, false, {1, false, "a.txt"}, "a.txt"},
        {true, false, {1, true, "dir"}, "dir"},
        {true, false, {3, false, ""}, "*.*"},
        {false, true, {1, false, "a.txt"}, ""},
        {true, true, {1, false, "a.txt"}, "a.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(copyMoveInput(c.inPlace, c.basket, c.selection, "d:\\target"), c.expected);
}

} // namespace
} // namespace wux::mainwindow
