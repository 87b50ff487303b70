// The engine with its real windows, offscreen: the progress window over the main window, the question
// dialog answered by the user's click or key, and the dialog's width for the fixed lines of a message.
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

#include "file_operations_fixture.h"
#include "filelist/copy_confirmation_form.h"
#include "filelist/view_process.h"

namespace wux::filelist::test {
namespace {

using wux::test::createFile;
using wux::test::exists;
using wux::test::readFileBytes;

template <typename T> T* openWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<T*>(widget); window != nullptr && window->isVisible())
            return window;
    }
    return nullptr;
}

class FileOperationWindowsTest : public FileOperationsTest
{
protected:
    void SetUp() override
    {
        FileOperationsTest::SetUp();
        core::registerCoreTexts();
        registerFileOperationWindowTexts();
        mainWindow.setWindowTitle("Wuxtool");
        mainWindow.setGeometry(50, 50, 900, 600);
        mainWindow.show();
    }

    // Runs StartFileOperation as the main window does; `onQuestion` is called for each question shown.
    void start(TFileOperationKind kind, const std::string& target,
               const std::function<void(TCopyConfirmationForm&)>& onQuestion)
    {
        ASSERT_TRUE(PrepareOperationSource(8));
        QTimer watcher;
        watcher.setInterval(5);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (TViewProcess* view = openWindow<TViewProcess>()) {
                viewCaption = view->windowTitle();
                viewTitle = view->findChild<QLabel*>("lblOperation")->text();
                gCurrentShown = view->findChild<QProgressBar*>("gCurrent")->isVisible();
            }
            if (TCopyConfirmationForm* form = openWindow<TCopyConfirmationForm>()) {
                questionTitles.push_back(form->windowTitle());
                onQuestion(*form);
            }
        });
        watcher.start();
        StartFileOperation(target, kind, &mainWindow);
        watcher.stop();
        EndStateHandOver();
    }

    QWidget mainWindow;
    QString viewCaption;
    QString viewTitle;
    bool gCurrentShown = false;
    std::vector<QString> questionTitles;
    std::vector<int> results;
};

TEST_F(FileOperationWindowsTest, CopyAsksThroughTheDialogAndAutorenames)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionConfirmOverwrite;
    createFile(posix("src/a.txt"), "new");
    createFile(posix("dst/a.txt"), "old");
    openFolder("src");
    select({"a.txt"});
    start(TFileOperationKind::Copy, path("dst\\"), [this](TCopyConfirmationForm& form) {
        QTest::mouseClick(form.findChild<QPushButton*>("btnAutorename"), Qt::LeftButton);
        results.push_back(form.result());
    });
    EXPECT_EQ(viewCaption, "Wuxtool");
    EXPECT_EQ(viewTitle, "Copy");
    EXPECT_TRUE(gCurrentShown);
    ASSERT_EQ(questionTitles.size(), 1U);
    EXPECT_EQ(questionTitles[0], "Overwrite confirmation");
    EXPECT_EQ(results, std::vector<int>{4});
    EXPECT_EQ(readFileBytes(posix("dst/a.txt")), "old");
    EXPECT_EQ(readFileBytes(posix("dst/a[1].txt")), "new");
    EXPECT_FALSE(OperationBusy.load());
    EXPECT_EQ(openWindow<TViewProcess>(), nullptr);
}

// A copy under a bare name ends with the panel's cursor on the new name.
TEST_F(FileOperationWindowsTest, ACopyInPlaceLeavesTheCursorOnTheNewName)
{
    createFile(posix("src/a.txt"), "alpha");
    openFolder("src");
    select({"a.txt"});
    listing.cursorName = "unset";
    start(TFileOperationKind::Copy, "b.txt", [](TCopyConfirmationForm&) {});
    EXPECT_EQ(listing.cursorName, "b.txt");
    EXPECT_EQ(readFileBytes(posix("src/b.txt")), "alpha");
    EXPECT_TRUE(questionTitles.empty());
}

TEST_F(FileOperationWindowsTest, EscapeInTheNonEmptyFolderQuestionStopsTheDelete)
{
    GeneralCheckContainer = kOptionShowHidden;
    createFile(posix("d/t1/x.txt"), "x");
    createFile(posix("d/t2/y.txt"), "y");
    openFolder("d");
    select({"t1", "t2"});
    start(TFileOperationKind::Delete, "", [this](TCopyConfirmationForm& form) {
        QTest::keyClick(&form, Qt::Key_Escape);
        results.push_back(form.result());
    });
    EXPECT_EQ(viewTitle, "Delete");
    EXPECT_FALSE(gCurrentShown);
    ASSERT_EQ(questionTitles.size(), 1U);
    EXPECT_EQ(questionTitles[0], "Warning!");
    EXPECT_EQ(results, std::vector<int>{2});
    EXPECT_EQ(readFileBytes(posix("d/t1/x.txt")), "x");
    EXPECT_EQ(readFileBytes(posix("d/t2/y.txt")), "y");
}

TEST_F(FileOperationWindowsTest, RetryAnswerOfAFailedStep)
{
    GeneralCheckContainer = kOptionShowHidden;
    createFile(posix("src/a.txt"), "abc");
    createFile(posix("dst/keep.txt"), "k");
    platform::injectFault(path("src\\a.txt"), platform::kErrorSharingViolation, platform::kFaultOpen);
    openFolder("src");
    select({"a.txt"});
    start(TFileOperationKind::Copy, path("dst\\"), [this](TCopyConfirmationForm& form) {
        // The first showing: Retry after the file was let go; the retry then succeeds.
        platform::clearFaults();
        QTest::mouseClick(form.findChild<QPushButton*>("btnYes"), Qt::LeftButton);
        results.push_back(form.result());
    });
    ASSERT_EQ(questionTitles.size(), 1U);
    EXPECT_EQ(questionTitles[0], "Error file copy 1");
    EXPECT_EQ(results, std::vector<int>{6});
    EXPECT_EQ(readFileBytes(posix("dst/a.txt")), "abc");
}

TEST_F(FileOperationWindowsTest, CancelInTheMiddleOfALargeFileLeavesNoPartialTarget)
{
    GeneralCheckContainer = kOptionShowHidden;
    const std::string data(12 * kCopyBufferSize, 'q');
    createFile(posix("src/large.bin"), data);
    createFile(posix("dst/keep.txt"), "k");
    openFolder("src");
    select({"large.bin"});
    ASSERT_TRUE(PrepareOperationSource(8));
    // Cancel is clicked as soon as the current file's gauge shows a part of the file.
    QMetaObject::Connection watch;
    QTimer finder;
    finder.setInterval(1);
    bool clicked = false;
    QObject::connect(&finder, &QTimer::timeout, [&] {
        TViewProcess* view = openWindow<TViewProcess>();
        if (view == nullptr || watch)
            return;
        auto* gauge = view->findChild<QProgressBar*>("gCurrent");
        watch = QObject::connect(gauge, &QProgressBar::valueChanged, view, [view, &clicked](int value) {
            if (value > 0 && value < 100 && !clicked) {
                clicked = true;
                QTimer::singleShot(0, view, [view] {
                    QTest::mouseClick(view->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
                });
            }
        });
    });
    finder.start();
    StartFileOperation(path("dst\\"), TFileOperationKind::Copy, &mainWindow);
    finder.stop();
    EndStateHandOver();
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(exists(posix("dst/large.bin")));
    EXPECT_EQ(wux::test::listNames(posix("dst")), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(readFileBytes(posix("src/large.bin")).size(), data.size());
    EXPECT_FALSE(OperationBusy.load());
}

TEST(CopyConfirmationWidth, NoLineOfTheMessageIsCut)
{
    core::registerCoreTexts();
    TCopyConfirmationForm form;
    form.mainClientWidth = 1000;
    form.Kind = ConfirmationKind::DirectoryNotEmpty;
    form.Name1 = "c:\\A";
    form.ArrangeForShowing();
    const QLabel* label = form.findChild<QLabel*>("lblInformation");
    const QFontMetrics metrics(label->font());
    const int line =
        metrics.horizontalAdvance(" Do you want to delete it with all its files and subdirectories?");
    EXPECT_GE(form.width(), line + 5);
    EXPECT_GE(label->width(), line);
    // The button panel stays centred.
    const QWidget* panel = form.findChild<QWidget*>("pnlButtons");
    EXPECT_EQ(panel->x(), (form.width() - panel->width()) / 2);
}

} // namespace
} // namespace wux::filelist::test
