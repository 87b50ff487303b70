// The main window's toolbar band: the mode buttons show their whole captions at any window width,
// in the menu's row when there is room and in a row of their own when there is not.
#include "main_form_fixture.h"

#include <QMenuBar>

#include "controls/speed_button_new.h"

namespace wux::mainwindow::test {
namespace {

TEST_F(MainFormTest, ModeButtonsShowTheirCaptionsAtEveryWidth)
{
    startIn(path(""), path(""));
    auto* tools = child<QWidget>("pnlTools");
    auto* menu = child<QMenuBar>("tbMenu");
    const struct
    {
        int width;
        bool ownRow;
    } cases[] = {{700, true}, {800, true}, {1270, false}};
    for (const auto& c : cases) {
        window->resize(c.width, 600);
        QApplication::processEvents();
        QApplication::processEvents();
        SCOPED_TRACE(c.width);
        EXPECT_EQ(tools->y() > menu->y(), c.ownRow);
        EXPECT_LE(tools->mapTo(window.get(), QPoint(tools->width(), 0)).x(), window->width());
        int named = 0;
        for (auto* button : tools->findChildren<controls::TSpeedButtonNew*>(Qt::FindDirectChildrenOnly)) {
            ++named;
            EXPECT_GE(button->width(), button->captionFitWidth()) << button->text().toStdString();
            EXPECT_LE(button->x() + button->width(), tools->width()) << button->text().toStdString();
        }
        EXPECT_EQ(named, 5);
        // The panels start below the whole band.
        EXPECT_GE(left().mapTo(window.get(), QPoint(0, 0)).y(),
                  child<QWidget>("ControlBarMain")->geometry().bottom());
    }
}

} // namespace
} // namespace wux::mainwindow::test
