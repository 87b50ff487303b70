#include "platform/dialogs.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "platform/thread.h"

namespace wux::platform {
namespace {

class FunctionThread : public WuxThread
{
public:
    explicit FunctionThread(std::function<void(FunctionThread&)> work) : work_(std::move(work)) {}
    ~FunctionThread() override
    {
        Terminate();
        WaitFor();
    }

protected:
    void Execute() override { work_(*this); }

private:
    std::function<void(FunctionThread&)> work_;
};

int number(MsgResult result)
{
    return static_cast<int>(result);
}

TEST(Dialogs, ButtonSetsAnswerWithTheSystemsNumbers)
{
    EXPECT_EQ(number(MsgResult::Ok), 1);
    EXPECT_EQ(number(MsgResult::Cancel), 2);
    EXPECT_EQ(number(MsgResult::Abort), 3);
    EXPECT_EQ(number(MsgResult::Retry), 4);
    EXPECT_EQ(number(MsgResult::Ignore), 5);
    EXPECT_EQ(number(MsgResult::Yes), 6);
    EXPECT_EQ(number(MsgResult::No), 7);

    struct Case
    {
        MsgButtons set;
        int systemNumber;
        std::vector<int> answers;
        int close;
    };
    const Case cases[] = {
        {MsgButtons::Ok, 0, {1}, 1},
        {MsgButtons::OkCancel, 1, {1, 2}, 2},
        {MsgButtons::AbortRetryIgnore, 2, {3, 4, 5}, 3},
        {MsgButtons::YesNoCancel, 3, {6, 7, 2}, 2},
        {MsgButtons::YesNo, 4, {6, 7}, 7},
        {MsgButtons::RetryCancel, 5, {4, 2}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.systemNumber);
        EXPECT_EQ(static_cast<int>(c.set), c.systemNumber);
        std::vector<int> answers;
        for (MsgResult r : messageBoxButtons(c.set)) {
            answers.push_back(number(r));
        }
        EXPECT_EQ(answers, c.answers);
        EXPECT_EQ(number(closeAnswer(c.set)), c.close);
        for (std::size_t i = 0; i < c.answers.size(); ++i) {
            EXPECT_EQ(number(defaultAnswer(c.set, static_cast<int>(i) + 1)), c.answers[i]);
        }
        EXPECT_EQ(number(defaultAnswer(c.set, 4)), c.answers[0])
            << "a default beyond the set is the first button";
        EXPECT_EQ(number(defaultAnswer(c.set, 0)), c.answers[0]);
    }
    EXPECT_EQ(static_cast<int>(MsgIcon::Error), 0x10);
    EXPECT_EQ(static_cast<int>(MsgIcon::Question), 0x20);
    EXPECT_EQ(static_cast<int>(MsgIcon::Warning), 0x30);
    EXPECT_EQ(static_cast<int>(MsgIcon::Information), 0x40);
}

TEST(Dialogs, ScriptedServiceAnswersInOrderAndRecords)
{
    ScriptedDialogService script;
    ScopedDialogService installed(script);
    script.answer({MsgResult::No, MsgResult::Retry});

    EXPECT_EQ(showMessageBox("Abort operation?", "Wuxtool", MsgButtons::YesNoCancel, MsgIcon::Question),
              MsgResult::No);
    EXPECT_EQ(showMessageBox("Error file copy 3", "Wuxtool", MsgButtons::AbortRetryIgnore, MsgIcon::Error),
              MsgResult::Retry);
    // Nothing scripted: the default button answers, as Enter would.
    EXPECT_EQ(showMessageBox("Overwrite?", "", MsgButtons::YesNoCancel, MsgIcon::Warning, 2), MsgResult::No);
    EXPECT_EQ(script.unscriptedCount(), 1u);

    EXPECT_EQ(script.texts(),
              (std::vector<std::string>{"Abort operation?", "Error file copy 3", "Overwrite?"}));
    EXPECT_EQ(script.captions(), (std::vector<std::string>{"Wuxtool", "Wuxtool", ""}));
    ASSERT_EQ(script.records().size(), 3u);
    EXPECT_EQ(script.records()[0].request.icon, MsgIcon::Question);
    EXPECT_EQ(script.records()[1].request.buttons, MsgButtons::AbortRetryIgnore);
    EXPECT_EQ(script.records()[2].request.defaultButton, 2);
    EXPECT_EQ(script.records()[2].answer, MsgResult::No);
    EXPECT_TRUE(script.records()[0].onGuiThread);

    script.answer(MsgResult::Yes);
    EXPECT_THROW(showMessageBox("Done", "", MsgButtons::Ok), std::logic_error)
        << "an answer that the box does not offer is a fault of the test";

    // Font dialogs: a scripted font is chosen; a cancel or nothing scripted keeps the font.
    script.answerFont(QFont("Mono", 12));
    script.answerFont(std::nullopt);
    QFont font("Serif");
    EXPECT_TRUE(script.fontDialog({QFont("Sans")}, font));
    EXPECT_EQ(font.family(), "Mono");
    EXPECT_FALSE(script.fontDialog({}, font));
    EXPECT_FALSE(script.fontDialog({}, font));
    EXPECT_EQ(font.family(), "Mono");
    ASSERT_EQ(script.fontRequests().size(), 3u);
    EXPECT_EQ(script.fontRequests()[0].initial.family(), "Sans");
}

TEST(Dialogs, ScopedServiceRestoresThePreviousOne)
{
    DialogService& original = dialogService();
    ScriptedDialogService outer;
    {
        ScopedDialogService installOuter(outer);
        EXPECT_EQ(&dialogService(), &outer);
        ScriptedDialogService inner;
        {
            ScopedDialogService installInner(inner);
            EXPECT_EQ(&dialogService(), &inner);
        }
        EXPECT_EQ(&dialogService(), &outer);
    }
    EXPECT_EQ(&dialogService(), &original);
    EXPECT_NE(dynamic_cast<QtDialogService*>(&original), nullptr);
}

// A program that shows no windows (the engines' command-line drivers) never called useQtDialogs.
TEST(Dialogs, WithoutWindowsABoxIsAnsweredAsClosedAndWrittenToTheErrorOutput)
{
    internal::setWindowServices(nullptr, nullptr);
    struct Restore
    {
        ~Restore() { useQtDialogs(); }
    } restore;
    EXPECT_EQ(dynamic_cast<QtDialogService*>(&dialogService()), nullptr);
    const struct
    {
        MsgButtons buttons;
        MsgResult answer;
    } cases[] = {
        {MsgButtons::Ok, MsgResult::Ok},          {MsgButtons::OkCancel, MsgResult::Cancel},
        {MsgButtons::YesNo, MsgResult::No},       {MsgButtons::YesNoCancel, MsgResult::Cancel},
        {MsgButtons::AbortRetryIgnore, MsgResult::Abort},
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(showMessageBox("Error file copy 2\r\nAccess denied", "Error", c.buttons, MsgIcon::Error, 1),
                  c.answer);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Error file copy 2\r\nAccess denied\n");
    }
    ::testing::internal::CaptureStderr();
    showMessageBox("No caption", "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "No caption\n");
    EXPECT_EQ(dialogService().fileDialog({}), "");
    QFont font;
    EXPECT_FALSE(dialogService().fontDialog({}, font));
    EXPECT_FALSE(beginWaitCursor());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Dialogs, WithWindowsTheWaitCursorNestsAndOnlyOnTheGuiThread)
{
    ASSERT_TRUE(beginWaitCursor());
    ASSERT_TRUE(beginWaitCursor());
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    endWaitCursor();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    endWaitCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    bool onWorker = true;
    FunctionThread thread([&](FunctionThread&) { onWorker = beginWaitCursor(); });
    thread.Start();
    thread.WaitFor();
    EXPECT_FALSE(onWorker);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Dialogs, WorkersMessageBoxIsShownByTheGuiThreadAndItsAnswerArrives)
{
    for (const bool servedByEventLoop : {false, true}) {
        SCOPED_TRACE(servedByEventLoop ? "event loop" : "WaitFor");
        ScriptedDialogService script;
        ScopedDialogService installed(script);
        script.answer({MsgResult::Retry, MsgResult::Ignore});
        FunctionThread thread([](FunctionThread& self) {
            const MsgResult first = showMessageBox("Error file copy 2\r\nAccess denied", "Error",
                                                   MsgButtons::AbortRetryIgnore, MsgIcon::Error);
            const MsgResult second =
                showMessageBox("Skip?", "Error", MsgButtons::AbortRetryIgnore, MsgIcon::Error);
            self.setReturnValue(number(first) * 10 + number(second));
        });
        thread.Start();
        if (servedByEventLoop) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return thread.Finished(); }, 60000));
        }
        EXPECT_EQ(thread.WaitFor(), 45);
        ASSERT_EQ(script.records().size(), 2u);
        EXPECT_TRUE(script.records()[0].onGuiThread);
        EXPECT_TRUE(script.records()[1].onGuiThread);
        EXPECT_EQ(script.records()[0].request.text, "Error file copy 2\r\nAccess denied");
        EXPECT_EQ(script.records()[0].request.icon, MsgIcon::Error);
    }
}

TEST(Dialogs, ScriptingFaultOnAWorkerArrivesInTheWorker)
{
    ScriptedDialogService script;
    ScopedDialogService installed(script);
    script.answer(MsgResult::Yes);
    FunctionThread thread([](FunctionThread&) { showMessageBox("Retry?", "", MsgButtons::RetryCancel); });
    thread.Start();
    thread.WaitFor();
    EXPECT_TRUE(thread.failed());
    EXPECT_NE(thread.failureMessage().find("is not a button of the message box \"Retry?\""),
              std::string::npos);
}

// What the user saw in a real message box, and what the box answered.
struct Seen
{
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    Qt::TextFormat format = Qt::AutoText;
};

// Shows Request through the Qt service; once the box is on screen, records it and lets Act answer.
MsgResult showAndAnswer(const MessageBoxRequest& request, Seen& seen,
                        const std::function<void(QMessageBox*)>& act)
{
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box != nullptr && box->isVisible()) {
                poll.stop();
                seen.text = box->text();
                seen.title = box->windowTitle();
                seen.icon = box->icon();
                seen.buttons = box->standardButtons();
                seen.defaultButton =
                    box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
                seen.format = box->textFormat();
                act(box);
                return;
            }
        }
    });
    poll.start();
    QtDialogService service;
    return service.messageBox(request);
}

TEST(Dialogs, QtServiceShowsTheBoxAndReturnsTheChosenButton)
{
    struct Case
    {
        MsgButtons set;
        QMessageBox::StandardButtons shown;
        std::vector<QMessageBox::StandardButton> order;
    };
    const Case cases[] = {
        {MsgButtons::Ok, QMessageBox::Ok, {QMessageBox::Ok}},
        {MsgButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, {QMessageBox::Ok, QMessageBox::Cancel}},
        {MsgButtons::AbortRetryIgnore,
         QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
         {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore}},
        {MsgButtons::YesNoCancel,
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}},
        {MsgButtons::YesNo, QMessageBox::Yes | QMessageBox::No, {QMessageBox::Yes, QMessageBox::No}},
        {MsgButtons::RetryCancel,
         QMessageBox::Retry | QMessageBox::Cancel,
         {QMessageBox::Retry, QMessageBox::Cancel}},
    };
    for (const Case& c : cases) {
        const std::vector<MsgResult> answers = messageBoxButtons(c.set);
        for (std::size_t i = 0; i < c.order.size(); ++i) {
            SCOPED_TRACE(std::to_string(static_cast<int>(c.set)) + " button " + std::to_string(i + 1));
            MessageBoxRequest request;
            request.text = "line one\r\nline two";
            request.caption = "Wuxtool";
            request.buttons = c.set;
            request.icon = MsgIcon::Question;
            request.defaultButton = static_cast<int>(i) + 1;
            Seen seen;
            // Enter answers with the default button.
            const MsgResult byEnter =
                showAndAnswer(request, seen, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
            EXPECT_EQ(byEnter, answers[i]);
            EXPECT_EQ(seen.buttons, c.shown);
            EXPECT_EQ(seen.defaultButton, c.order[i]);
            EXPECT_EQ(seen.text, QString("line one\nline two"));
            EXPECT_EQ(seen.title, QString("Wuxtool"));
            EXPECT_EQ(seen.icon, QMessageBox::Question);
            // A click answers with the clicked button.
            const QMessageBox::StandardButton target = c.order[i];
            request.defaultButton = 1;
            const MsgResult byClick =
                showAndAnswer(request, seen, [target](QMessageBox* box) { box->button(target)->click(); });
            EXPECT_EQ(byClick, answers[i]);
        }
        SCOPED_TRACE(std::to_string(static_cast<int>(c.set)) + " escape");
        MessageBoxRequest request;
        request.buttons = c.set;
        Seen seen;
        const MsgResult byEscape =
            showAndAnswer(request, seen, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        EXPECT_EQ(byEscape, closeAnswer(c.set));
    }
}

TEST(Dialogs, QtServiceShowsTextsAsTheyAre)
{
    const struct
    {
        MsgIcon icon;
        QMessageBox::Icon shown;
    } icons[] = {{MsgIcon::None, QMessageBox::NoIcon},
                 {MsgIcon::Error, QMessageBox::Critical},
                 {MsgIcon::Question, QMessageBox::Question},
                 {MsgIcon::Warning, QMessageBox::Warning},
                 {MsgIcon::Information, QMessageBox::Information}};
    for (const auto& icon : icons) {
        MessageBoxRequest request;
        // Markup-like file names stay text; a name's encoded "?" (U+F03F) shows as "?"; CR alone breaks.
        request.text = "File <b>a</b>&b\xEF\x80\xBF.txt\rnot found";
        request.caption = "error!";
        request.icon = icon.icon;
        Seen seen;
        showAndAnswer(request, seen, [](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
        EXPECT_EQ(seen.format, Qt::PlainText);
        EXPECT_EQ(seen.text, QString("File <b>a</b>&b?.txt\nnot found"));
        EXPECT_EQ(seen.title, QString("error!"));
        EXPECT_EQ(seen.icon, icon.shown);
    }
}

} // namespace
} // namespace wux::platform
