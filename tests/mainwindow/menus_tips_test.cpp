// The main window's texts, the toolbar width rule, the tip window and the about box.
#include <gtest/gtest.h>

#include <map>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "core/text_table.h"
#include "core/web_pages.h"
#include "mainwindow/about.h"
#include "mainwindow/main_menus.h"
#include "mainwindow/tips.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::mainwindow {
namespace {

TEST(StripFirstWord, CutsAtTheFirstBlankBeforeTheLastCharacter)
{
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"F3 View", "View"}, {"F6 RenMov", "RenMov"}, {"Exit", "Exit"}, {"A B C", "B C"}, {"AB ", "AB "},
        {" X", "X"}, {"", ""}, {"F8  Delete", " Delete"}};
    // clang-format on
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(StripFirstWord(text), expected) << '"' << text << '"';
}

TEST(PnlToolsResize, NamedButtonsShareTheWidthAndTheLastTakesTheRest)
{
    struct Case
    {
        int width;
        std::vector<RowButton> buttons;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {100, {{true, 10}, {true, 10}, {true, 10}}, {33, 33, 34}},
        {100, {{false, 20}, {true, 1}, {true, 1}}, {20, 40, 40}},
        {101, {{true, 5}, {false, 30}, {true, 5}, {false, 10}}, {30, 30, 31, 10}},
        {50, {{false, 20}, {false, 7}}, {20, 7}}, // no named button: nothing changes
        {0, {}, {}},
        {7, {{true, 3}, {true, 3}, {true, 3}}, {2, 2, 3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pnlToolsResize(c.width, c.buttons), c.expected) << "width " << c.width;
}

TEST(MainWindowTexts, EachKindOfComponentTakesItsTextFromTheTable)
{
    registerMainWindowTexts();
    core::classTranslator().ResetTranslations();
    core::classTranslator().SetTranslation(416, "F5 Kopieren");
    QWidget root;
    auto* copyButton = new QPushButton(&root);
    copyButton->setObjectName("btnCopy");
    auto* menu = new QMenu(&root);
    menu->setObjectName("mnuMFile");
    auto* copyItem = new QAction(menu);
    copyItem->setObjectName("mnuCopy");
    auto* brief = new QPushButton(&root);
    brief->setObjectName("btnSetModeBrief");
    auto* search = new QLabel(&root);
    search->setObjectName("lblSearch");

    int applied = 0;
    for (const TextBinding& binding : mainWindowTextBindings())
        applied += applyText(&root, binding) ? 1 : 0;
    EXPECT_EQ(applied, 5);
    EXPECT_EQ(copyButton->text(), "F5 Kopieren");
    EXPECT_EQ(copyItem->text(), "Kopieren");
    EXPECT_EQ(menu->title(), "&Files");
    EXPECT_EQ(brief->toolTip(), "Brief");
    EXPECT_TRUE(brief->text().isEmpty());
    EXPECT_EQ(search->text(), "Search:");
    core::classTranslator().ResetTranslations();
    EXPECT_EQ(core::uiText(417), "F6 RenMov");
    EXPECT_EQ(core::uiText(435), "");
}

TEST(MainWindowTexts, GoToTheWindowsOwnControlsNotToToolControlsOfTheSameName)
{
    // The tool forms sit deep inside the window, before the window's own quick-search line, and have
    // controls of the same names.
    registerMainWindowTexts();
    core::classTranslator().ResetTranslations();
    QWidget root;
    auto* body = new QWidget(&root);
    auto* tool = new QWidget(new QWidget(body));
    tool->setObjectName("TRenamerForm");
    auto* toolLabel = new QLabel("Search for:", tool);
    toolLabel->setObjectName("lblSearch");
    auto* toolEdit = new QPushButton("Edit", tool);
    toolEdit->setObjectName("btnEdit");
    auto* keys = new QWidget(&root);
    auto* edit = new QPushButton(keys);
    edit->setObjectName("btnEdit");
    auto* line = new QWidget(&root);
    auto* search = new QLabel(line);
    search->setObjectName("lblSearch");

    for (const TextBinding& binding : mainWindowTextBindings())
        applyText(&root, binding);
    EXPECT_EQ(search->text(), "Search:");
    EXPECT_EQ(edit->text(), "F4 Edit");
    EXPECT_EQ(toolLabel->text(), "Search for:");
    EXPECT_EQ(toolEdit->text(), "Edit");
}

TEST(TipIndex, OutOfRangeWrapsAndAnEmptyListKeepsTheIndex)
{
    const std::tuple<int, int, int> cases[] = {{0, 3, 0},  {2, 3, 2},  {3, 3, 0}, {9, 3, 0},
                                               {-1, 3, 2}, {-7, 3, 2}, {5, 0, 5}, {-1, 0, -1}};
    for (const auto& [index, count, expected] : cases)
        EXPECT_EQ(normalizedTipIndex(index, count), expected) << index << " of " << count;
}

// Every character is 10 pixels wide (the blank too).
int tenPerCharacter(const QString& text)
{
    return 10 * static_cast<int>(text.size());
}

TEST(TipLayout, LinesAreJustifiedExceptTheLast)
{
    // Box 128: usable width 100. "aaa bbb ccc" is 110 wide with single blanks.
    const auto words = layoutTip("aaa bbb ccc dd", 128, 20, tenPerCharacter);
    ASSERT_EQ(words.size(), 4u);
    // First line: "aaa bbb" fits (70 <= 100) and "ccc" does not (70 + 30 + 10 > 100): justified with
    // the gap (100 - 70 + 10) / 1 = 40, so "bbb" ends exactly at the margin.
    EXPECT_EQ(words[0], (TipWord{"aaa", 12, 0}));
    EXPECT_EQ(words[1], (TipWord{"bbb", 12 + 30 + 40, 0}));
    EXPECT_EQ(words[1].x + 30, 12 + 100);
    // Last line: single blanks, left-aligned.
    EXPECT_EQ(words[2], (TipWord{"ccc", 12, 20}));
    EXPECT_EQ(words[3], (TipWord{"dd", 12 + 30 + 10, 20}));
}

TEST(TipLayout, AOneWordLineTakesTheNextWordPastTheMargin)
{
    // Usable width 100: "aaaaaaaa" (80) alone; "bbbbb" (50) does not fit but the line holds one word.
    const auto words = layoutTip("aaaaaaaa bbbbb cc", 128, 17, tenPerCharacter);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0], (TipWord{"aaaaaaaa", 12, 0}));
    EXPECT_EQ(words[1], (TipWord{"bbbbb", 12 + 80 + 10, 0}));
    EXPECT_EQ(words[2], (TipWord{"cc", 12, 17}));
}

TEST(TipLayout, RightEdgesOfJustifiedLinesAlign)
{
    const QString tip = "one two three four five six seven eight nine ten eleven twelve thirteen fourteen";
    const auto words = layoutTip(tip, 228, 20, tenPerCharacter);
    std::map<int, int> rightEdge;
    for (const TipWord& word : words)
        rightEdge[word.y] = std::max(rightEdge[word.y], word.x + tenPerCharacter(word.text));
    ASSERT_GE(rightEdge.size(), 3u);
    const int lastY = rightEdge.rbegin()->first;
    for (const auto& [y, edge] : rightEdge) {
        if (y != lastY) {
            EXPECT_GE(edge, 12 + 200 - 2) << "line at " << y; // whole-pixel gaps lose at most k - 2
        }
        EXPECT_LE(edge, 12 + 200) << "line at " << y;
    }
    QStringList joined;
    for (const TipWord& word : words)
        joined << word.text;
    EXPECT_EQ(joined.join(' '), tip);
    EXPECT_TRUE(layoutTip("", 228, 20, tenPerCharacter).empty());
}

class TipWindowTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        registerTipTexts();
        tipFile = path("program\\.tip");
        test::createFile(tipFile, "first tip\r\nsecond tip\nthird tip\rfourth tip");
    }

    // Opens the window, runs actions on it and closes it with the box as given.
    std::vector<QString> run(std::int32_t& showTips, const std::vector<int>& clicks, bool ticked,
                             std::string file = {})
    {
        TDidYouKnow window(showTips, file.empty() ? tipFile : file);
        window.show();
        std::vector<QString> shown{window.currentTip()};
        for (int tag : clicks) {
            QPushButton* button = window.findChild<QPushButton*>(tag > 0 ? "btnNext" : "btnPrevious");
            QTest::mouseClick(button, Qt::LeftButton);
            shown.push_back(window.currentTip());
        }
        window.findChild<QCheckBox*>("chkShowTip")->setChecked(ticked);
        QTest::mouseClick(window.findChild<QPushButton*>("Button1"), Qt::LeftButton);
        EXPECT_FALSE(window.isVisible());
        return shown;
    }

    std::string tipFile;
};

TEST_F(TipWindowTest, ShowTipsOneOpensOnTheSecondTipAndNextTwiceStoresFour)
{
    std::int32_t showTips = 1;
    const auto shown = run(showTips, {1, 1}, true);
    EXPECT_EQ(shown, (std::vector<QString>{"second tip", "third tip", "fourth tip"}));
    EXPECT_EQ(showTips, 4);
}

TEST_F(TipWindowTest, IndexArithmetic)
{
    struct Case
    {
        std::int32_t showTips;
        std::vector<int> clicks;
        bool ticked;
        QString first;
        QString last;
        std::int32_t stored;
    };
    const Case cases[] = {
        {0, {}, false, "first tip", "first tip", 0},   // opened from the menu, box unticked
        {0, {1}, true, "first tip", "second tip", 2},  // ticked in the window
        {2, {}, false, "third tip", "third tip", 0},   // unticked: not at the next start
        {4, {-1}, true, "first tip", "fourth tip", 4}, // 4 wraps to 0, Previous to the last
        {3, {1}, true, "fourth tip", "first tip", 1},  // Next on the last shows the first
        {-1, {}, true, "fourth tip", "fourth tip", 4}, // negative: the last tip
        {-5, {1, 1}, true, "fourth tip", "second tip", 2},
    };
    for (const Case& c : cases) {
        std::int32_t showTips = c.showTips;
        const auto shown = run(showTips, c.clicks, c.ticked);
        EXPECT_EQ(shown.front(), c.first) << "ShowTips " << c.showTips;
        EXPECT_EQ(shown.back(), c.last) << "ShowTips " << c.showTips;
        EXPECT_EQ(showTips, c.stored) << "ShowTips " << c.showTips;
    }
}

TEST_F(TipWindowTest, MissingTipFileGivesAnEmptyWindowWithoutError)
{
    std::int32_t showTips = 1;
    const auto shown = run(showTips, {1, 1}, true, path("program\\missing.tip"));
    EXPECT_EQ(shown, (std::vector<QString>{"", "", ""}));
    EXPECT_EQ(showTips, 4); // the buttons change only the index
    EXPECT_EQ(tipFilePath("c:\\prog", ""), "c:\\prog\\.tip");
    EXPECT_EQ(tipFilePath("c:\\prog\\", "german.lng"), "c:\\prog\\german.lng.tip");
}

TEST_F(TipWindowTest, EscapeClosesAndTextsComeFromTheTable)
{
    core::classTranslator().SetTranslation(kTextTipNext, "&Weiter");
    std::int32_t showTips = 2;
    {
        TDidYouKnow window(showTips, tipFile);
        window.show();
        EXPECT_EQ(window.windowTitle(), "The Tip of The Day");
        EXPECT_EQ(window.findChild<QPushButton*>("btnNext")->text(), "&Weiter");
        EXPECT_EQ(window.findChild<QLabel*>("Label1")->text(), "Did you know...");
        EXPECT_TRUE(window.findChild<QCheckBox*>("chkShowTip")->isChecked());
        QTest::keyClick(window.findChild<QCheckBox*>("chkShowTip"), Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible());
    }
    core::classTranslator().ResetTranslations();
    EXPECT_EQ(showTips, 3); // Escape closes with the box ticked: the tip on screen + 1
}

TEST(AboutBox, LinksOpenTheirPagesAndTextsAreApplied)
{
    EXPECT_EQ(linkPageCode(1), core::kPageHome);
    EXPECT_EQ(linkPageCode(2), core::kPageSupport);
    EXPECT_EQ(linkPageCode(3), core::kPageContact);
    EXPECT_EQ(linkPageCode(0), 0);
    EXPECT_EQ(linkPageCode(4), 0);
    registerAboutTexts();
    core::registerCoreTexts();
    TfrmAbout about;
    about.show();
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.findChild<QPushButton*>("btnOk")->text(), "OK");
    EXPECT_EQ(about.findChild<QLabel*>("lblTechnSupp")->text(), "FeedBack and Technical Support");
    EXPECT_EQ(about.findChild<QLabel*>("lblContactUs")->text(), "Contact us...");
    EXPECT_FALSE(about.findChild<QLabel*>("BrandIcon")->pixmap().isNull());
    auto* link = about.findChild<TLinkLabel*>("lblContactUs");
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(link, &enter);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 255, 255));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(link, &leave);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QTest::mouseClick(about.findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
}

} // namespace
} // namespace wux::mainwindow
