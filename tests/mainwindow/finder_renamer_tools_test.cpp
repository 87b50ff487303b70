// The Finder and the Renamer as tools of the real main window.
#include <gtest/gtest.h>

#include "filelist/basket.h"
#include "main_form_fixture.h"
#include "tools/finder_form.h"
#include "tools/renamer_form.h"
#include "tools/search_results.h"
#include "tools/tool_list.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>

namespace wux::mainwindow::test {
namespace {

TEST_F(MainFormTest, FinderAndRenamerAreModesTwoAndThree)
{
    wux::test::makeFolder(path("a"));
    wux::test::makeFolder(path("b"));
    wux::test::createFile(path("b\\hit.txt"), "x");
    startIn(path("a"), path("a"));
    EXPECT_NE(dynamic_cast<tools::TFinderForm*>(tools::ToolForm(2)), nullptr);
    EXPECT_NE(dynamic_cast<tools::TRenamerForm*>(tools::ToolForm(3)), nullptr);
    EXPECT_EQ(action("actFinder")->text().toStdString(), "Finder");
    EXPECT_EQ(action("actRenamer")->text().toStdString(), "Renamer");

    // The panel beside the tools is the one that stays visible; go to file moves the active panel.
    window->SetMode(3);
    tools::IToolPanelsHost& host = *tools::toolPanelsHost();
    EXPECT_EQ(host.PanelBesideTools(), ToolsInRightSide ? static_cast<filelist::IBrowserPanel*>(&left())
                                                        : static_cast<filelist::IBrowserPanel*>(&right()));
    window->SetMode(1);
    window->SetActiveForm(&left());
    ASSERT_TRUE(host.GoToFile(path("b"), "hit.txt"));
    EXPECT_EQ(folderOf(left()), path("b"));
    EXPECT_EQ(cursorName(left()), "hit.txt");
    host.ShowBasketInActivePanel();
    EXPECT_EQ(left().ViewMode(), filelist::kViewBasket);
}

// At the window's default size every control of every tool keeps at least its size hint's height: a
// form that needs more room makes the window taller, never squashes its controls.
TEST_F(MainFormTest, ToolFormsNeverSquashTheirControls)
{
    wux::test::makeFolder(path("a"));
    startIn(path("a"), path("a"));
    window->resize(700, 550);
    for (int mode = 2; mode <= 5; ++mode) {
        window->SetMode(mode);
        QApplication::processEvents();
        QApplication::processEvents();
        QWidget* form = tools::ToolForm(mode);
        ASSERT_NE(form, nullptr);
        int checked = 0;
        for (QWidget* control : form->findChildren<QWidget*>()) {
            const bool input = qobject_cast<QAbstractButton*>(control) || qobject_cast<QComboBox*>(control) ||
                               qobject_cast<QAbstractSpinBox*>(control) ||
                               (qobject_cast<QLineEdit*>(control) && !qobject_cast<QComboBox*>(control->parent()) &&
                                !qobject_cast<QAbstractSpinBox*>(control->parent()));
            if (!input || !control->isVisibleTo(window.get()))
                continue;
            ++checked;
            EXPECT_GE(control->height(), control->sizeHint().height())
                << "mode " << mode << ": " << control->objectName().toStdString() << " "
                << control->metaObject()->className();
        }
        EXPECT_GT(checked, 3) << "mode " << mode;
    }
}

// The four tools' title strips look alike: bold and centred.
TEST_F(MainFormTest, ToolTitleStripsShareOneStyle)
{
    wux::test::makeFolder(path("a"));
    startIn(path("a"), path("a"));
    int strips = 0;
    for (int mode = 2; mode <= 5; ++mode) {
        window->SetMode(mode);
        QApplication::processEvents();
        auto* strip = tools::ToolForm(mode)->findChild<QLabel*>(QStringLiteral("pnlNameTools"));
        ASSERT_NE(strip, nullptr) << mode;
        ++strips;
        EXPECT_TRUE(strip->font().bold()) << strip->text().toStdString();
        EXPECT_EQ(strip->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter) << strip->text().toStdString();
    }
    EXPECT_EQ(strips, 4);
}

} // namespace
} // namespace wux::mainwindow::test
