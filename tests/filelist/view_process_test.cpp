// The progress window of the file operations: its texts and layout, the one-gauge layout, its place
// over the main window, the gauges and name labels, the ways it stops the worker (Cancel, Escape, the
// close box, the worker's close command), minimising, and the worker's calls through
// FileOperationWindows.
#include "filelist/view_process.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/text_table.h"
#include "filelist/copy_confirmation_form.h"
#include "platform/thread.h"

namespace wux::filelist {
namespace {

// A worker whose work is a function of the test.
class ScriptedWorker : public platform::WuxThread
{
public:
    explicit ScriptedWorker(std::function<void(ScriptedWorker&)> work) : work_(std::move(work)) {}
    ~ScriptedWorker() override
    {
        Terminate();
        WaitFor();
    }

protected:
    void Execute() override { work_(*this); }

private:
    std::function<void(ScriptedWorker&)> work_;
};

// Serves the GUI thread's events until pred holds (false when it never does).
bool spinUntil(const std::function<bool()>& pred)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Waits on the worker until pred holds or a stop is asked for.
void workerWait(ScriptedWorker& self, const std::function<bool()>& pred)
{
    while (!pred() && !self.Terminated())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

class ViewProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        registerFileOperationWindowTexts();
    }
    void TearDown() override { core::classTranslator().ResetTranslations(); }

    template <class T> static T* part(QWidget& view, const char* name) { return view.findChild<T*>(name); }
};

TEST_F(ViewProcessTest, CreatedWithItsTextsAndLayout)
{
    EXPECT_EQ(core::classTranslator().GetDefaultText(1301), "To");
    EXPECT_EQ(core::classTranslator().GetDefaultText(1302), "Cancel");
    core::classTranslator().SetTranslation(1300, "Von");
    core::classTranslator().SetTranslation(1302, "Abbrechen");
    TViewProcess view;
    EXPECT_EQ(view.objectName(), "TViewProcess");
    EXPECT_EQ(view.size(), QSize(408, 144));
    EXPECT_EQ(view.minimumSize(), view.maximumSize());
    EXPECT_EQ(part<QLabel>(view, "lblCurrentFile")->text(), "Von");
    EXPECT_EQ(part<QLabel>(view, "lblCopyTo")->text(), "To");
    auto* cancel = part<QPushButton>(view, "btnCancel");
    EXPECT_EQ(cancel->text(), "Abbrechen");
    EXPECT_FALSE(cancel->focusPolicy() & Qt::TabFocus);
    for (const auto& [name, place] :
         {std::pair("btnCancel", QRect(167, 112, 75, 25)), std::pair("gCurrent", QRect(16, 56, 377, 20)),
          std::pair("gProgress", QRect(16, 80, 377, 20))})
        EXPECT_EQ(part<QWidget>(view, name)->geometry(), place) << name;
    EXPECT_EQ(part<QLabel>(view, "lblCurrentFile")->pos(), QPoint(4, 24));
    EXPECT_EQ(part<QLabel>(view, "lblCopyTo")->pos(), QPoint(4, 40));
    EXPECT_EQ(part<QLabel>(view, "lblOperation")->y(), 4);
    EXPECT_EQ(part<QLabel>(view, "lblOperation")->width(), 408);
    EXPECT_EQ(part<QProgressBar>(view, "gProgress")->palette().color(QPalette::Highlight), QColor(Qt::blue));
    EXPECT_TRUE(part<QLabel>(view, "lblOperation")->alignment() & Qt::AlignHCenter);
}

TEST_F(ViewProcessTest, PreparedForEachKind)
{
    struct Case
    {
        TFileOperationKind kind;
        QString title;
        bool oneGauge;
    };
    const std::vector<Case> cases = {
        {TFileOperationKind::Copy, "Copy", false},
        {TFileOperationKind::Move, "Move", false},
        {TFileOperationKind::Delete, "Delete", true},
        {TFileOperationKind::SendToBasket, "Send to basket", true},
        {TFileOperationKind::RemoveFromBasket, "Remove from basket", true},
    };
    const QRect mainFrame(100, 50, 800, 600);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        TViewProcess view;
        view.UpdateGauges(30, 40);
        view.PrepareForOperation(c.kind, "Wuxtool", mainFrame);
        EXPECT_EQ(view.windowTitle(), "Wuxtool");
        EXPECT_EQ(part<QLabel>(view, "lblOperation")->text(), c.title);
        EXPECT_EQ(part<QProgressBar>(view, "gCurrent")->value(), 0);
        EXPECT_EQ(part<QProgressBar>(view, "gProgress")->value(), 0);
        EXPECT_EQ(part<QLabel>(view, "lblCurrentFile")->text(), "");
        EXPECT_EQ(part<QLabel>(view, "lblCopyTo")->text(), "");
        const int height = c.oneGauge ? 120 : 144;
        EXPECT_EQ(view.size(), QSize(408, height));
        EXPECT_EQ(part<QLabel>(view, "lblCurrentFile")->y(), c.oneGauge ? 40 : 24);
        EXPECT_EQ(part<QLabel>(view, "lblCopyTo")->isHidden(), c.oneGauge);
        EXPECT_EQ(part<QProgressBar>(view, "gCurrent")->isHidden(), c.oneGauge);
        EXPECT_FALSE(part<QProgressBar>(view, "gProgress")->isHidden());
        EXPECT_EQ(part<QProgressBar>(view, "gProgress")->y(), c.oneGauge ? 56 : 80);
        EXPECT_EQ(part<QPushButton>(view, "btnCancel")->y(), c.oneGauge ? 88 : 112);
        // Centred on the main window, a third of the free height down (measured with the frame).
        view.show();
        const QRect frame = view.frameGeometry();
        EXPECT_EQ(frame.topLeft(), QPoint(100 + (800 - frame.width()) / 2, 50 + (600 - frame.height()) / 3));
        view.hide();
    }
}

TEST_F(ViewProcessTest, PlacedOverASmallMainWindowWithTruncatedDivision)
{
    TViewProcess view;
    view.PlaceOver(QRect(10, 10, 300, 100));
    view.show();
    const QRect frame = view.frameGeometry();
    // Negative free space: the division truncates towards zero ((300 - 408) / 2 = -54 without a frame).
    const int freeWidth = 300 - frame.width();
    const int freeHeight = 100 - frame.height();
    ASSERT_LT(freeWidth, 0);
    ASSERT_LT(freeHeight, 0);
    EXPECT_EQ(frame.topLeft(), QPoint(10 + static_cast<int>(std::trunc(freeWidth / 2.0)),
                                      10 + static_cast<int>(std::trunc(freeHeight / 3.0))));
}

TEST_F(ViewProcessTest, GaugesShowTheFigures)
{
    TViewProcess view;
    auto* overall = part<QProgressBar>(view, "gProgress");
    auto* current = part<QProgressBar>(view, "gCurrent");
    int overallChanges = 0;
    QObject::connect(overall, &QProgressBar::valueChanged, [&] { ++overallChanges; });
    view.UpdateGauges(37, 100);
    EXPECT_EQ(overall->value(), 37);
    EXPECT_EQ(current->value(), 100);
    EXPECT_EQ(overall->text(), "37%");
    view.UpdateGauges(37, 5);
    EXPECT_EQ(overallChanges, 1);
    EXPECT_EQ(current->value(), 5);
}

TEST_F(ViewProcessTest, ProgressPercentFiguresAndTheOneGaugeLayoutAppliedOnce)
{
    TViewProcess view;
    view.SetOneGaugeLayout();
    view.SetOneGaugeLayout();
    EXPECT_EQ(view.height(), 120);
    EXPECT_EQ(part<QProgressBar>(view, "gProgress")->y(), 56);
    EXPECT_EQ(ProgressPercent(0, 0), 100);
    EXPECT_EQ(ProgressPercent(0, 10), 0);
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 66);
    EXPECT_EQ(ProgressPercent(10, 10), 100);
    // Sizes beyond 32 bits and products beyond 64 bits.
    EXPECT_EQ(ProgressPercent(5'000'000'000ULL, 10'000'000'000ULL), 50);
    EXPECT_EQ(ProgressPercent(0xFFFF'FFFF'FFFF'FFFFULL / 2, 0xFFFF'FFFF'FFFF'FFFFULL), 49);
}

TEST_F(ViewProcessTest, NamesBehindTheKindsPrefix)
{
    struct Case
    {
        TFileOperationKind kind;
        QString first;
        QString second;
    };
    const std::vector<Case> cases = {
        // As spelled on the disk, never in a made-up case.
        {TFileOperationKind::Copy, "From:  c:\\docs\\a.b.c.d.log", "To:  d:\\BACKUP\\README"},
        {TFileOperationKind::Move, "From:  c:\\docs\\a.b.c.d.log", "To:  d:\\BACKUP\\README"},
        {TFileOperationKind::Delete, "Delete:  c:\\docs\\a.b.c.d.log", ""},
        {TFileOperationKind::SendToBasket, "Send:  c:\\docs\\a.b.c.d.log", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first.toStdString());
        TViewProcess view;
        view.PrepareForOperation(c.kind, "Wuxtool", QRect(0, 0, 800, 600));
        view.ShowNames("c:\\docs\\a.b.c.d.log", "d:\\BACKUP\\README");
        EXPECT_EQ(part<QLabel>(view, "lblCurrentFile")->text(), c.first);
        EXPECT_EQ(part<QLabel>(view, "lblCopyTo")->text(), c.second);
    }
}

// A path too long for the gauge's width loses its folders first, then the middle of its name: the
// prefix, the end of the name and its extension stay, and the line is never cut at its end.
TEST_F(ViewProcessTest, LongNamesAreShortenedToTheGaugeWidthKeepingTheirEnd)
{
    std::string deep = "c:";
    for (int i = 0; i < 30; ++i)
        deep += "\\Folder " + std::to_string(i);
    deep += "\\Last.txt";
    const std::string longName =
        "c:\\Mail archive\\Mail 00001 of the long correspondence with every customer of the year 2026 "
        "about the deliveries of the spring.txt";
    TViewProcess view;
    view.PrepareForOperation(TFileOperationKind::Copy, "Wuxtool", QRect(0, 0, 800, 600));
    const QFontMetrics metrics(part<QLabel>(view, "lblCurrentFile")->font());
    const int gauge = part<QWidget>(view, "gProgress")->width();
    view.ShowNames(deep, longName);
    const QString first = part<QLabel>(view, "lblCurrentFile")->text();
    const QString second = part<QLabel>(view, "lblCopyTo")->text();
    EXPECT_TRUE(first.startsWith("From:  c:\\...\\")) << first.toStdString();
    EXPECT_TRUE(first.endsWith("\\Last.txt")) << first.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(first), gauge);
    EXPECT_TRUE(second.startsWith("To:  ")) << second.toStdString();
    EXPECT_TRUE(second.contains(QChar(0x2026))) << second.toStdString();
    EXPECT_TRUE(second.endsWith("spring.txt")) << second.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(second), gauge);
}

TEST_F(ViewProcessTest, CancelStopsTheWorkerWhileServingItsCalls)
{
    std::atomic<int> served{0};
    ScriptedWorker worker([&](ScriptedWorker& self) {
        while (!self.Terminated()) {
            platform::synchronize([&] { ++served; });
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    TViewProcess view;
    int busyCleared = 0;
    view.clearBusyFlag = [&] { ++busyCleared; };
    view.setWorker(&worker);
    worker.Start();
    view.show();
    ASSERT_TRUE(spinUntil([&] { return served.load() > 0; }));
    QTest::mouseClick(part<QPushButton>(view, "btnCancel"), Qt::LeftButton);
    EXPECT_TRUE(worker.Terminated());
    EXPECT_TRUE(worker.Finished());
    EXPECT_FALSE(view.isVisible());
    EXPECT_EQ(busyCleared, 1);
}

TEST_F(ViewProcessTest, EscapeAndTheCloseBoxStopTheWorkerLikeCancel)
{
    for (bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Escape" : "close box");
        ScriptedWorker worker([](ScriptedWorker& self) {
            while (!self.Terminated())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        TViewProcess view;
        view.setWorker(&worker);
        worker.Start();
        view.show();
        if (escape)
            QTest::keyClick(&view, Qt::Key_Escape);
        else
            EXPECT_TRUE(view.close());
        EXPECT_TRUE(worker.Finished());
        EXPECT_FALSE(view.isVisible());
    }
    // A window without a worker closes.
    TViewProcess view;
    view.show();
    QTest::mouseClick(part<QPushButton>(view, "btnCancel"), Qt::LeftButton);
    EXPECT_FALSE(view.isVisible());
}

TEST_F(ViewProcessTest, WorkerReportsThroughTheWindowsAndClosesThemAtItsEnd)
{
    TViewProcess view;
    TCopyConfirmationForm form(&view);
    FileOperationWindows ui(view, form, nullptr);
    view.PrepareForOperation(TFileOperationKind::Move, "Wuxtool", QRect(0, 0, 800, 600));
    bool sawShown = false;
    ScriptedWorker worker([&](ScriptedWorker& self) {
        workerWait(self, [&] { return ui.ProgressWindowShown(); });
        sawShown = ui.ProgressWindowShown();
        ui.ShowNames("c:\\SRC\\A.TXT", "d:\\dst\\a.txt");
        ui.ShowProgress(40, 100);
        ui.PostCloseCommand();
    });
    view.setWorker(&worker);
    EXPECT_FALSE(ui.ProgressWindowShown());
    worker.Start();
    view.exec(); // returns on the worker's close command
    EXPECT_TRUE(worker.Finished());
    EXPECT_TRUE(sawShown);
    EXPECT_EQ(part<QLabel>(view, "lblCurrentFile")->text(), "From:  c:\\SRC\\A.TXT");
    EXPECT_EQ(part<QLabel>(view, "lblCopyTo")->text(), "To:  d:\\dst\\a.txt");
    EXPECT_EQ(part<QProgressBar>(view, "gProgress")->value(), 40);
    EXPECT_EQ(part<QProgressBar>(view, "gCurrent")->value(), 100);
}

TEST_F(ViewProcessTest, WorkerAsksUnderTheProgressWindowAndGetsTheAnswer)
{
    QWidget mainWindow;
    mainWindow.resize(900, 700);
    TViewProcess view(&mainWindow);
    TCopyConfirmationForm form(&view);
    FileOperationWindows ui(view, form, &mainWindow);
    view.PrepareForOperation(TFileOperationKind::Copy, "Wuxtool", QRect(0, 0, 900, 700));

    std::vector<ConfirmationAnswer> answers;
    ScriptedWorker worker([&](ScriptedWorker& self) {
        workerWait(self, [&] { return ui.ProgressWindowShown(); });
        ConfirmationQuestion question;
        question.kind = ConfirmationKind::Overwrite;
        question.Name1 = "d:\\BACKUP\\A.TXT";
        question.Info1 = "   10 bytes, x";
        question.Name2 = "c:\\data\\a.txt";
        question.Info2 = "   20 bytes, y";
        answers.push_back(ui.Ask(question));
        question.kind = ConfirmationKind::DirectoryNotEmpty;
        answers.push_back(ui.Ask(question));
        ui.PostCloseCommand();
    });
    view.setWorker(&worker);

    // Answers the questions as they come: the first with "Yes all older", the second with Escape.
    std::vector<QString> messages;
    std::vector<QRect> frames;
    QRect progressFrame;
    QTimer answerer;
    answerer.setInterval(5);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (!form.isVisible())
            return;
        messages.push_back(form.findChild<QLabel*>("lblInformation")->text());
        frames.push_back(form.frameGeometry());
        progressFrame = view.frameGeometry();
        if (messages.size() == 1)
            QTest::mouseClick(form.findChild<QPushButton*>("btnYesAllOlder"), Qt::LeftButton);
        else
            QTest::keyClick(form.findChild<QPushButton*>("btnYes"), Qt::Key_Escape);
    });
    answerer.start();
    worker.Start();
    view.exec();
    answerer.stop();

    ASSERT_EQ(answers.size(), 2U);
    EXPECT_EQ(answers[0], ConfirmationAnswer::YesAllOlder);
    EXPECT_EQ(answers[1], ConfirmationAnswer::Cancel);
    ASSERT_EQ(messages.size(), 2U);
    EXPECT_EQ(
        messages[0],
        " Overwrite: d:\\BACKUP\\A.TXT\n   10 bytes, x\n\n with file: c:\\data\\a.txt ?\n   20 bytes, y");
    EXPECT_TRUE(messages[1].startsWith("The directory d:\\BACKUP\\A.TXT is not empty!"));
    for (const QRect& frame : frames) {
        EXPECT_EQ(frame.y(), progressFrame.y() + progressFrame.height() + 10);
        EXPECT_EQ(frame.x(), progressFrame.x() + progressFrame.width() / 2 - frame.width() / 2);
    }
}

TEST_F(ViewProcessTest, MinimisingMinimisesTheWholeApplication)
{
    QWidget mainWindow;
    mainWindow.resize(600, 400);
    mainWindow.show();
    TViewProcess view(&mainWindow);
    view.show();
    view.setWindowState(view.windowState() | Qt::WindowMinimized);
    EXPECT_TRUE(mainWindow.isMinimized());
    EXPECT_TRUE(view.isMinimized());
}

} // namespace
} // namespace wux::filelist
