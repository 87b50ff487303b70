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

// A name that fits is shown whole; the dialog grows for one that does not (up to its widest), and what
// still does not fit is elided in the middle, keeping the name's start and its extension.
TEST_F(CommandPromptTest, NamesAreWholeOrElidedInTheMiddle)
{
    const QFontMetrics metrics(font);
    const std::string longName = std::string(300, 'w') + ".docx";
    const std::string report = "Quarterly report.docx";
    const int reportWidth = metrics.horizontalAdvance(QString::fromStdString(report));
    const int deleteFixed = metrics.horizontalAdvance("Do you wish to delete file \"\"?");
    struct Case
    {
        Prompt prompt;
        std::string name;
        const char* before; // the prompt's text before the name
        const char* after;  // and after it
        int reserve;
        int expectedWidth; // the dialog's width
    };
    const Case cases[] = {
        // Room enough: whole, the dialog as it was.
        {deletePrompt(false, {1, false, report}, deleteFixed + 65 + reportWidth, font), report,
         "Do you wish to delete file \"", "\"?", 65, deleteFixed + 65 + reportWidth},
        // Twenty pixels short: the dialog grows by them and the name stays whole.
        {deletePrompt(false, {1, false, report}, deleteFixed + 65 + reportWidth - 20, font), report,
         "Do you wish to delete file \"", "\"?", 65, deleteFixed + 65 + reportWidth},
        {copyMovePrompt(1, {1, false, longName}, 355, font), longName, "Copy file \"", "\" to", 25,
         kWidestPromptDialog},
        {copyMovePrompt(1, {1, false, longName}, 900, font), longName, "Copy file \"", "\" to", 25, 900},
        {deletePrompt(false, {1, false, longName}, 355, font), longName, "Do you wish to delete file \"",
         "\"?", 65, kWidestPromptDialog},
        {deletePrompt(true, {1, true, longName}, 355, font), longName, "Do you wish to remove directory [",
         "] from basket?", 65, kWidestPromptDialog},
    };
    for (const Case& c : cases) {
        const std::string& text = c.prompt.text;
        const std::string before = c.before;
        const std::string after = c.after;
        ASSERT_EQ(text.substr(0, before.size()), before) << text;
        ASSERT_EQ(text.substr(text.size() - after.size()), after) << text;
        const QString shown =
            QString::fromStdString(text.substr(before.size(), text.size() - before.size() - after.size()));
        EXPECT_EQ(c.prompt.dialogWidth, c.expectedWidth) << text;
        const int room = c.prompt.dialogWidth - metrics.horizontalAdvance(QString::fromStdString(before + after)) -
                         c.reserve;
        EXPECT_GE(room, kMinimumNameRoom) << text;
        EXPECT_LE(metrics.horizontalAdvance(shown), room) << text;
        const QString name = QString::fromStdString(c.name);
        if (metrics.horizontalAdvance(name) <= room) {
            EXPECT_EQ(shown, name);
            continue;
        }
        const qsizetype dot = shown.indexOf(QChar(0x2026));
        ASSERT_GT(dot, 0) << text;
        EXPECT_TRUE(name.startsWith(shown.left(dot))) << text;
        EXPECT_TRUE(name.endsWith(shown.mid(dot + 1))) << text;
        EXPECT_TRUE(shown.endsWith(QStringLiteral("w.docx"))) << text;
    }
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
