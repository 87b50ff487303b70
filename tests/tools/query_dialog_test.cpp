#include "tools/query_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <string>

#include "platform/shell/folder_browser.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "tool_host_double.h"

namespace wux::tools {
namespace {

class QueryDialogTest : public test::TempDriveTest
{
protected:
    void SetUp() override { registerQueryDialogTexts(); }

    // Shows the dialog and waits until it has the keyboard.
    static void showActive(TStandardQuery& dialog)
    {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    test::ToolHostDouble host;
    platform::shell::ScriptedFolderBrowser browser;
    platform::shell::ScopedFolderBrowser browserScope{browser};
};

TEST_F(QueryDialogTest, CreatedWithItsTextsAndFixedLayout)
{
    EXPECT_EQ(StandardQuery, nullptr);
    {
        TStandardQuery dialog;
        EXPECT_EQ(StandardQuery, &dialog);
        EXPECT_EQ(dialog.windowTitle(), "Wuxtool");
        EXPECT_EQ(dialog.size(), QSize(355, 96));
        EXPECT_EQ(dialog.lblInfo()->text(), "Copy files to");
        EXPECT_EQ(dialog.btnOK()->text(), "OK");
        EXPECT_EQ(dialog.btnCancel()->text(), "Cancel");
        EXPECT_EQ(dialog.btnBrowse()->text(), "&Browse");
        EXPECT_EQ(dialog.chkSend()->text(), "Send to Bas&ket");
        struct Control
        {
            QWidget* widget;
            const char* name;
            QRect geometry;
            bool hidden;
        };
        const Control controls[] = {
            {dialog.edInfo(), "edInfo", {13, 32, 330, 21}, false},
            {dialog.cbForSelectFiles(), "cbForSelectFiles", {12, 32, 330, 21}, true},
            {dialog.btnBrowse(), "btnBrowse", {115, 64, 75, 25}, true},
            {dialog.chkSend(), "chkSend", {11, 60, 214, 17}, true},
            {dialog.btnOK(), "btnOK", {195, 64, 75, 25}, false},
            {dialog.btnCancel(), "btnCancel", {275, 64, 75, 25}, false},
        };
        for (const Control& c : controls) {
            EXPECT_EQ(c.widget->objectName(), c.name);
            EXPECT_EQ(c.widget->geometry(), c.geometry) << c.name;
            EXPECT_EQ(c.widget->isHidden(), c.hidden) << c.name;
        }
        EXPECT_EQ(dialog.lblInfo()->pos(), QPoint(8, 8));

        dialog.ShowBrowseButton();
        EXPECT_EQ(dialog.btnBrowse()->geometry(), QRect(195, 64, 75, 25));
        EXPECT_EQ(dialog.btnOK()->geometry(), QRect(115, 64, 75, 25));
        EXPECT_FALSE(dialog.btnBrowse()->isHidden());
    }
    EXPECT_EQ(StandardQuery, nullptr);
}

TEST_F(QueryDialogTest, ShownCentredOverTheMainWindow)
{
    host.bounds = QRect(100, 50, 900, 700);
    TStandardQuery dialog;
    dialog.show();
    const QRect frame = dialog.frameGeometry();
    EXPECT_EQ(frame.left(), 100 + (900 - frame.width()) / 2);
    EXPECT_EQ(frame.top(), 50 + (700 - frame.height()) / 2);
}

TEST_F(QueryDialogTest, SendBoxDisablesTheInputLine)
{
    TStandardQuery dialog;
    dialog.chkSend()->show();
    dialog.show();
    EXPECT_TRUE(dialog.edInfo()->isEnabled());
    QTest::mouseClick(dialog.chkSend(), Qt::LeftButton);
    EXPECT_TRUE(dialog.chkSend()->isChecked());
    EXPECT_FALSE(dialog.edInfo()->isEnabled());
    QTest::mouseClick(dialog.chkSend(), Qt::LeftButton);
    EXPECT_TRUE(dialog.edInfo()->isEnabled());
    dialog.chkSend()->setChecked(true); // a caller's preset works the same way
    EXPECT_FALSE(dialog.edInfo()->isEnabled());
}

TEST_F(QueryDialogTest, BrowseStartsAtTheFolderPartAndTakesAChosenFolder)
{
    test::makeFolder(path("dir"));
    test::makeFolder(path("target"));
    struct Case
    {
        std::string input;
        QString answer;      // the folder the user chooses ("" cancels)
        QString startFolder; // where the browser opened
        std::string line;    // the input line afterwards
        bool okFocused;
    };
    const Case cases[] = {
        {path("dir\\file.txt"), QString::fromStdString(posix("target")), QString::fromStdString(posix("dir")),
         path("target\\"), true},
        {"file.txt", "", "", "file.txt", false},
        {path("dir\\"), "", QString::fromStdString(posix("dir")), path("dir\\"), false},
        {path("dir\\x"), "/proc/definitely-not-on-a-drive-\x01", QString::fromStdString(posix("dir")),
         path("dir\\x"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        TStandardQuery dialog;
        dialog.ShowBrowseButton();
        dialog.edInfo()->setText(QString::fromStdString(c.input));
        showActive(dialog);
        dialog.edInfo()->setFocus();
        browser.answer(c.answer);
        const std::size_t before = browser.requests().size();
        QTest::mouseClick(dialog.btnBrowse(), Qt::LeftButton);
        ASSERT_EQ(browser.requests().size(), before + 1);
        const auto& request = browser.requests().back();
        EXPECT_EQ(request.owner, &dialog);
        EXPECT_EQ(request.title, "Wuxtool");
        EXPECT_EQ(QDir::cleanPath(request.initialFolder), QDir::cleanPath(c.startFolder));
        EXPECT_EQ(dialog.edInfo()->text().toStdString(), c.line);
        EXPECT_EQ(dialog.btnOK()->hasFocus(), c.okFocused);
        EXPECT_TRUE(dialog.isVisible());
    }
}

TEST_F(QueryDialogTest, EnterAndEscapeWithTheFocusOnEachControl)
{
    enum Focus
    {
        kEdit,
        kCombo,
        kBrowse,
        kCheck,
        kOk,
        kCancel
    };
    struct Case
    {
        Focus focus;
        Qt::Key key;
        bool closed;
        int result;
        bool browsed;
    };
    const Case cases[] = {
        {kEdit, Qt::Key_Return, true, QDialog::Accepted, false},
        {kEdit, Qt::Key_Enter, true, QDialog::Accepted, false},
        {kEdit, Qt::Key_Escape, true, QDialog::Rejected, false},
        {kCombo, Qt::Key_Return, true, QDialog::Accepted, false},
        {kCombo, Qt::Key_Escape, true, QDialog::Rejected, false},
        {kBrowse, Qt::Key_Return, false, -1, true},
        {kBrowse, Qt::Key_Escape, true, QDialog::Rejected, false},
        {kCheck, Qt::Key_Return, true, QDialog::Accepted, false},
        {kCheck, Qt::Key_Escape, true, QDialog::Rejected, false},
        {kOk, Qt::Key_Return, true, QDialog::Accepted, false},
        {kOk, Qt::Key_Escape, true, QDialog::Rejected, false},
        {kCancel, Qt::Key_Return, true, QDialog::Rejected, false},
        {kCancel, Qt::Key_Enter, true, QDialog::Rejected, false},
        {kCancel, Qt::Key_Escape, true, QDialog::Rejected, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "focus " << c.focus << " key " << c.key);
        TStandardQuery dialog;
        dialog.ShowBrowseButton();
        dialog.chkSend()->show();
        dialog.setResult(-1);
        if (c.focus == kCombo) {
            dialog.edInfo()->hide();
            dialog.cbForSelectFiles()->show();
            dialog.cbForSelectFiles()->addItems({"*.txt", "*.doc"});
        }
        showActive(dialog);
        QWidget* const targets[] = {dialog.edInfo(),    dialog.cbForSelectFiles(),
                                    dialog.btnBrowse(), dialog.chkSend(),
                                    dialog.btnOK(),     dialog.btnCancel()};
        QWidget* target = targets[c.focus];
        target->setFocus();
        ASSERT_TRUE(target->hasFocus());
        const std::size_t before = browser.requests().size();
        if (c.focus == kCombo) { // a typed mask stays as typed: nothing completes it from the list
            dialog.cbForSelectFiles()->setEditText("");
            QTest::keyClicks(QApplication::focusWidget(), "*.t");
            EXPECT_EQ(dialog.cbForSelectFiles()->currentText(), "*.t");
        }
        QTest::keyClick(QApplication::focusWidget(), c.key);
        EXPECT_EQ(dialog.isVisible(), !c.closed);
        EXPECT_EQ(dialog.result(), c.result);
        EXPECT_EQ(browser.requests().size() - before, c.browsed ? 1u : 0u);
        EXPECT_FALSE(dialog.chkSend()->isChecked()); // Enter never toggles the box
    }
}

} // namespace
} // namespace wux::tools
