#include <gtest/gtest.h>

#include <QCursor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <string>
#include <vector>

#include "core/gui_helpers.h"
#include "core/hourglass.h"
#include "platform/shell/folder_browser.h"
#include "platform/text.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::core {
namespace {

int widthOf(const QFontMetrics& metrics, const std::string& text)
{
    return metrics.horizontalAdvance(platform::toQString(text));
}

class TextFitting : public ::testing::Test
{
protected:
    QFont font{QStringLiteral("Sans"), 10};
    QFontMetrics metrics{font};
};

TEST_F(TextFitting, FitPathToWidthShortensStepByStep)
{
    const std::vector<std::string> steps = {"C:\\Program Files\\App\\file.txt", "C:\\...\\App\\file.txt",
                                            "C:\\...\\file.txt", "...\\file.txt", "file.txt"};
    for (std::size_t i = 1; i < steps.size(); ++i)
        ASSERT_LT(widthOf(metrics, steps[i]), widthOf(metrics, steps[i - 1])) << steps[i];
    for (const std::string& step : steps)
        EXPECT_EQ(FitPathToWidth(steps[0], metrics, widthOf(metrics, step)), step);
    EXPECT_EQ(FitPathToWidth(steps[0], metrics, widthOf(metrics, steps[1]) - 1), steps[2]);
    EXPECT_EQ(FitPathToWidth(steps[0], metrics, 0), "file.txt");
    EXPECT_EQ(FitPathToWidth(steps[0], font, 100000), steps[0]);
}

TEST_F(TextFitting, FitPathToWidthWithShortFolders)
{
    const std::vector<std::string> steps = {"d:\\a\\b\\c\\name", "d:\\...\\b\\c\\name", "d:\\...\\c\\name",
                                            "d:\\...\\name",     "...\\name",           "name"};
    const std::string path = steps[0];
    // "...\" is wider than "a\", so the first step may widen the text; each later step narrows it.
    for (std::size_t i = 2; i < steps.size(); ++i) {
        const int width = widthOf(metrics, steps[i]);
        if (width < widthOf(metrics, path)) {
            EXPECT_EQ(FitPathToWidth(path, metrics, width), steps[i]);
        }
    }
    EXPECT_EQ(FitPathToWidth(path, metrics, 1), "name");
}

TEST_F(TextFitting, FitPathToWidthOtherForms)
{
    const struct
    {
        const char* path;
        int width;
        const char* shown;
    } cases[] = {
        {"ab", 0, "ab"},
        {"", 0, ""},
        {"c:\\file.txt", 1, "file.txt"},
        {"folder\\sub\\file.txt", 1, "file.txt"},
        {"folder\\sub\\file.txt", widthOf(metrics, "...\\sub\\file.txt"), "...\\sub\\file.txt"},
        {"averyveryverylongname.txt", 1, "averyveryverylongname.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitPathToWidth(c.path, metrics, c.width), c.shown) << c.path << " " << c.width;
}

TEST_F(TextFitting, FitTextToWidthCutsWholeCharacters)
{
    const std::string text = "Hello world";
    EXPECT_EQ(FitTextToWidth(metrics, text, widthOf(metrics, text)), text);
    EXPECT_EQ(FitTextToWidth(font, text, 100000), text);
    EXPECT_EQ(FitTextToWidth(metrics, text, widthOf(metrics, "Hello w")), "Hello w..");
    EXPECT_EQ(FitTextToWidth(metrics, text, widthOf(metrics, "Hello w") - 1).substr(0, 6), "Hello ");
    EXPECT_EQ(FitTextToWidth(metrics, text, 0), "..");
    EXPECT_EQ(FitTextToWidth(metrics, "", 0), "");

    // A character outside the basic plane is never split.
    const std::string emoji = "a\xF0\x9F\x98\x80"
                              "b";
    const std::string cut = FitTextToWidth(metrics, emoji, widthOf(metrics, "a") + 1);
    EXPECT_TRUE(cut == "a.." || cut == "a\xF0\x9F\x98\x80..") << cut;
    EXPECT_TRUE(platform::isValidUtf8(cut));
}

TEST_F(TextFitting, ReservedCharactersAreShownAsThemselves)
{
    const std::string name = "a\xEF\x80\xAA"
                             "b"; // "a*b" as the system sees a Linux name
    EXPECT_EQ(FitTextToWidth(metrics, name, 100000), "a*b");
    EXPECT_EQ(FitPathToWidth("c:\\x\\" + name, metrics, 100000), "c:\\x\\a*b");
}

TEST_F(TextFitting, Measuring)
{
    int width = -1;
    int height = -1;
    GetTextSize(font, "Tg", width, height);
    EXPECT_EQ(width, metrics.horizontalAdvance(QStringLiteral("Tg")));
    EXPECT_EQ(height, metrics.height());
    EXPECT_EQ(GetFontHeight(font), metrics.height());
    GetTextSize(font, "", width, height);
    EXPECT_EQ(width, 0);
    QFont bigger = font;
    bigger.setPointSize(30);
    EXPECT_GT(GetFontHeight(bigger), GetFontHeight(font));
}

TEST(DrawLine, DrawsFromTheFirstPointToTheSecond)
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(Qt::black);
        DrawLine(painter, 1, 5, 8, 5);
    }
    EXPECT_EQ(image.pixelColor(1, 5), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(7, 5), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(1, 4), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(0, 5), QColor(Qt::white));
}

TEST(HourglassCursor, ShowsTheWaitCursorForItsScope)
{
    {
        HourglassCursor busy;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

class BrowseForFolderTest : public test::TempDriveTest
{
protected:
    void answer(const std::string& posixFolder) { browser.answer(platform::toQString(posixFolder)); }
    QString seenTitle() const { return browser.requests().back().title; }
    QString seenInitial() const { return browser.requests().back().initialFolder; }
    platform::shell::ScriptedFolderBrowser browser;
    platform::shell::ScopedFolderBrowser scoped{browser};
};

TEST_F(BrowseForFolderTest, ChosenFolderWithOneTrailingBackslashOrNothing)
{
    test::makeFolder(posix("start"));
    test::makeFolder(posix("chosen"));
    answer(posix("chosen"));
    EXPECT_EQ(BrowseForFolder(nullptr, "Pick one", path("start\\")), path("chosen\\"));
    EXPECT_EQ(seenTitle(), QStringLiteral("Pick one"));
    EXPECT_EQ(seenInitial(), platform::toQString(posix("start")));
    answer(drive.root());
    EXPECT_EQ(BrowseForFolder(nullptr, "t", path("")), "c:\\");
    // Cancel, or a folder on no drive.
    answer("");
    EXPECT_EQ(BrowseForFolder(nullptr, "t", path("")), "");
    answer("/nonexistent-wux-folder");
    EXPECT_EQ(BrowseForFolder(nullptr, "t", "z:\\unmapped"), "");
    EXPECT_EQ(seenInitial(), QString());
}

} // namespace
} // namespace wux::core
