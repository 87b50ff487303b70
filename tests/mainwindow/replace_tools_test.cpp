// The Replacer and the Batch Replacer as tools of the real main window: their modes, keys and a run
// started with the launch key.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTimer>

#include "filelist/file_operations.h"
#include "main_form_fixture.h"
#include "tools/batch_replacer_form.h"
#include "tools/replacer_form.h"
#include "tools/run_window.h"
#include "tools/tool_list.h"

namespace wux::mainwindow::test {
namespace {

// Closes the run window once its run has ended.
void closeRunWindowWhenDone(bool& seen)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &seen] {
        auto* view = qobject_cast<tools::TViewRenReplacer*>(QApplication::activeModalWidget());
        if (view == nullptr || !view->finished() || !view->pnlFilesComment()->text().startsWith("Operation"))
            return;
        timer->stop();
        timer->deleteLater();
        seen = true;
        view->reject();
    });
    timer->start();
}

TEST_F(MainFormTest, ReplacerAndBatchReplacerAreModesFourAndFive)
{
    wux::test::makeFolder(path("a"));
    wux::test::createFile(path("a\\one.txt"), "a cat");
    startIn(path("a"), path("a"));
    auto* replacer = dynamic_cast<tools::TReplacerForm*>(tools::ToolForm(4));
    auto* batch = dynamic_cast<tools::TBatchReplacerForm*>(tools::ToolForm(5));
    ASSERT_NE(replacer, nullptr);
    ASSERT_NE(batch, nullptr);
    EXPECT_EQ(action("actReplacer")->text().toStdString(), "Replacer");
    EXPECT_EQ(action("actBatchReplacer")->text().toStdString(), "Batch Replacer");
    EXPECT_EQ(action("actBatchReplacer")->toolTip().toStdString(), "Replace strings in files");

    // Ctrl+5 and Ctrl+4 switch to the tools.
    window->SetActiveForm(&left());
    QTest::keyClick(window.get(), Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(CurrentMode, 5);
    EXPECT_TRUE(batch->isVisible());
    QTest::keyClick(window.get(), Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(CurrentMode, 4);
    EXPECT_TRUE(replacer->isVisible());
    EXPECT_FALSE(batch->isVisible());

    // A file selected in the panel and a find text typed: the launch key runs the Replacer.
    filelist::TstateOfBrowser& listing = left().Listing();
    filelist::SelectFolderItems(1, listing, false, filelist::kActionMark);
    filelist::RecalcSelection(listing);
    window->UpdateLaunchAction();
    EXPECT_FALSE(action("actLaunchOperation")->isEnabled());
    replacer->findChild<QPlainTextEdit*>("memFind")->setPlainText("cat");
    EXPECT_TRUE(action("actLaunchOperation")->isEnabled());
    replacer->findChild<QPlainTextEdit*>("mmReplace")->setPlainText("dog");
    replacer->findChild<QCheckBox*>("chkBkCopy")->setChecked(false);
    bool seen = false;
    closeRunWindowWhenDone(seen);
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(seen);
    EXPECT_EQ(wux::test::readFileBytes(path("a\\one.txt")), "a dog");
    EXPECT_FALSE(filelist::OperationBusy);
}

} // namespace
} // namespace wux::mainwindow::test
