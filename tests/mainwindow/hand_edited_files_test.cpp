// A settings file edited by hand, met by the real main window: values at the ends of the integer range.
#include "main_form_fixture.h"

#include <QGuiApplication>
#include <QScreen>

#include <climits>

#include "mainwindow/tips.h"
#include "platform/ini_file.h"

namespace wux::mainwindow::test {
namespace {

using wux::test::createFile;
using wux::test::makeFolder;

class HandEditedTest : public MainFormTest
{
protected:
    // The main window as the start-up makes it, over folder a.
    void startWith(const std::string& mainForm)
    {
        makeFolder(path("a"));
        writeIni("[MainForm]\r\nGeneralCheckContainer=" + std::to_string(0x7A7D & ~0x4) + "\r\n" + mainForm +
                 "[BROWSER_LEFT]\r\nDirectory=" + path("a") +
                 "\r\n[BROWSER_RIGHT]\r\nDirectory=" + path("a") + "\r\n");
        window.reset(static_cast<TMainForm*>(CreateMainWindows().release()));
        ASSERT_NE(window, nullptr);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
};

// The tip window the start-up opens: what it showed first, then after each of the clicks, closed with
// its box ticked.
std::vector<QString> tipsAtStart(const std::vector<const char*>& clicks, std::function<void()> start)
{
    std::vector<QString> shown;
    QTimer driver;
    driver.setInterval(5);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* tip = qobject_cast<TDidYouKnow*>(QApplication::activeModalWidget());
        if (tip == nullptr || !tip->isVisible())
            return;
        driver.stop();
        shown.push_back(tip->currentTip());
        for (const char* button : clicks) {
            QTest::mouseClick(tip->findChild<QPushButton*>(button), Qt::LeftButton);
            shown.push_back(tip->currentTip());
        }
        EXPECT_TRUE(tip->findChild<QCheckBox*>("chkShowTip")->isChecked());
        QTest::mouseClick(tip->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    });
    driver.start();
    start();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !shown.empty() && QApplication::activeModalWidget() == nullptr; }, 2000));
    return shown;
}

TEST_F(HandEditedTest, ShowTipsAtTheEndsOfTheIntegerRangeStaysThere)
{
    struct Case
    {
        std::string stored;
        const char* tipFile; // nullptr: none
        std::vector<const char*> clicks;
        std::vector<QString> shown;
        int after;
    };
    const Case cases[] = {
        {"2147483647", "one\r\ntwo\r\n", {"btnNext"}, {"one", "two"}, 2},
        {"2147483647", nullptr, {"btnNext", "btnNext"}, {"", "", ""}, INT_MAX},
        {"-2147483648", nullptr, {"btnPrevious"}, {"", ""}, INT_MIN + 1},
        {"-2147483648", "one\r\ntwo\r\n", {"btnPrevious"}, {"two", "one"}, 1},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(posix("prog") + "/.tip");
        if (c.tipFile != nullptr)
            createFile(path("prog\\.tip"), c.tipFile);
        const auto shown = tipsAtStart(c.clicks, [&] { startWith("ShowTips=" + c.stored + "\r\n"); });
        EXPECT_EQ(shown, c.shown) << c.stored;
        EXPECT_EQ(ShowTips, c.after) << c.stored;
        closeWindow();
        EXPECT_EQ(platform::IniFile(iniPath).readString("MainForm", "ShowTips", ""), std::to_string(c.after))
            << c.stored;
    }
}

TEST_F(HandEditedTest, AWindowRectangleAtTheEndsOfTheIntegerRangeLandsOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const char* stored :
         {"Left=2147483647\r\nTop=10\r\nWidth=2147483647\r\nHeight=400\r\n",
          "Left=-2147483648\r\nTop=2147483647\r\nWidth=500\r\nHeight=2147483647\r\n",
          "Left=2147483647\r\nTop=2147483647\r\nWidth=-2147483648\r\nHeight=-2147483648\r\n"}) {
        startWith(std::string("ShowTips=0\r\n") + stored);
        const QRect shown = window->geometry();
        const QRect onScreen = screen.intersected(shown);
        EXPECT_TRUE(onScreen.width() >= 32 && onScreen.height() >= 32)
            << stored << " gave " << shown.x() << "," << shown.y() << " " << shown.width() << "x"
            << shown.height();
        EXPECT_LE(shown.width(), screen.width()) << stored;
        EXPECT_LE(shown.height(), screen.height()) << stored;
        EXPECT_GE(shown.width(), std::min(320, screen.width())) << stored;
        EXPECT_GE(shown.height(), std::min(240, screen.height())) << stored;
        closeWindow();
    }
}

} // namespace
} // namespace wux::mainwindow::test
