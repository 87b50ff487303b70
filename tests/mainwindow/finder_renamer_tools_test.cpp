// The Finder and the Renamer as tools of the real main window.
#include <gtest/gtest.h>

#include "filelist/basket.h"
#include "main_form_fixture.h"
#include "tools/finder_form.h"
#include "tools/renamer_form.h"
#include "tools/search_results.h"
#include "tools/tool_list.h"

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

} // namespace
} // namespace wux::mainwindow::test
