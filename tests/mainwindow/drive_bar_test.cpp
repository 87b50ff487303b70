// The drive bars and the drive choice dialog.
#include "panel_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>

#include "controls/speed_button_new.h"
#include "mainwindow/drive_bar.h"

namespace wux::mainwindow::panel_test {
namespace {

std::vector<std::string> captions(const TDriveBar& bar)
{
    std::vector<std::string> texts;
    for (controls::TSpeedButtonNew* button : bar.DriveButtons())
        texts.push_back(button->text().toStdString() + "/" + std::to_string(button->Tag()) +
                        (button->Down() ? "*" : ""));
    return texts;
}

TEST_F(PanelTest, DriveButtonsAreRebuiltForFewerAndMoreDrives)
{
    TDriveBar bar;
    bar.resize(600, 30);
    std::vector<int> clicks;
    const auto onClick = [&](int tag) { clicks.push_back(tag); };
    BuildDriveButtons(bar, 1, nullptr, nullptr, onClick);
    EXPECT_EQ(captions(bar), (std::vector<std::string>{"c/0", "d/1*", "e/2", "*/3"}));
    ASSERT_NE(bar.FavoritesToolbar(), nullptr);
    EXPECT_EQ(bar.Components().size(), 5u);
    controls::TSpeedButtonNew* firstBefore = bar.DriveButton(0);
    controls::TSpeedButtonNew* lastBefore = bar.DriveButton(3);

    // Two drives fewer: the surplus buttons go from the front, the others are labelled again.
    filelist::DriveList.erase(filelist::DriveList.begin() + 1, filelist::DriveList.begin() + 3);
    BuildDriveButtons(bar, 0, nullptr, nullptr, onClick);
    EXPECT_EQ(captions(bar), (std::vector<std::string>{"c/0*", "*/1"}));
    EXPECT_EQ(bar.DriveButton(1), lastBefore);
    EXPECT_NE(bar.DriveButton(0), firstBefore);
    EXPECT_EQ(bar.Components().size(), 3u);
    EXPECT_EQ(bar.findChildren<QToolBar*>().size(), 1);

    // More drives: new buttons at the end.
    filelist::BuildDriveList(filelist::DriveList, filelist::kDriveListBasket);
    BuildDriveButtons(bar, 3, nullptr, nullptr, onClick);
    EXPECT_EQ(captions(bar), (std::vector<std::string>{"c/0", "d/1", "e/2", "*/3*"}));
    QTest::mouseClick(bar.DriveButton(2), Qt::LeftButton);
    EXPECT_EQ(clicks, std::vector<int>{2});
    EXPECT_TRUE(bar.DriveButton(2)->Down());
    EXPECT_FALSE(bar.DriveButton(3)->Down());
    // Hints carry the display names; the Basket and the drive without a medium get kind bitmaps.
    EXPECT_EQ(bar.DriveButton(3)->toolTip().toStdString(), filelist::DriveList[3]->Name());
    EXPECT_EQ(bar.DriveButton(3)->glyphKind().toStdString(), "bitmap");
    EXPECT_EQ(bar.DriveButton(2)->glyphKind().toStdString(), "bitmap");
    EXPECT_EQ(bar.DriveButton(0)->glyphKind().toStdString(), "icon");
}

struct WrapCase
{
    int width;
    std::uint32_t layout;
    std::vector<QPoint> positions; // the 4 buttons, the favourites toolbar, then the 2 panels
    int height;
};

void PrintTo(const WrapCase& c, std::ostream* os)
{
    *os << "width " << c.width << " layout 0x" << std::hex << c.layout;
}

class DriveBarWrapTest : public PanelTest, public ::testing::WithParamInterface<WrapCase>
{
};

TEST_P(DriveBarWrapTest, WrapsIntoRowsOf22Pixels)
{
    TDriveBar bar;
    auto* info = new QLabel(&bar);
    info->setProperty("tag", -1);
    info->resize(100, 10);
    auto* jumps = new QWidget(&bar);
    jumps->setProperty("tag", -1);
    jumps->resize(46, 10);
    bar.layoutWord = GetParam().layout;
    bar.resize(GetParam().width, 30);
    BuildDriveButtons(bar, 0, nullptr, nullptr, {});
    ArrangeDriveBar(bar);
    std::vector<QPoint> positions;
    for (QWidget* component : bar.Components())
        positions.push_back(component->pos());
    positions.push_back(info->pos());
    positions.push_back(jumps->pos());
    EXPECT_EQ(positions, GetParam().positions);
    EXPECT_EQ(bar.height(), GetParam().height);
    EXPECT_EQ(info->height(), 20);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, DriveBarWrapTest,
    ::testing::Values(
        // Everything in one row: buttons every 40 pixels, then the panels side by side.
        WrapCase{400, 0, {{0, 1}, {40, 1}, {80, 1}, {120, 1}, {160, 1}, {200, 1}, {300, 1}}, 23},
        // 100 pixels: two buttons a row (a component starts a row when width + x - 10 > 100).
        WrapCase{100, 0, {{0, 1}, {40, 1}, {0, 23}, {40, 23}, {0, 45}, {0, 67}, {0, 89}}, 111},
        // With the drive box shown the panels stay on the last row, at the same x.
        WrapCase{100, 0x8, {{0, 1}, {40, 1}, {0, 23}, {40, 23}, {0, 45}, {40, 45}, {40, 45}}, 67}));

TEST_F(PanelTest, DriveChoiceDialogListsDrivesAndAnswers)
{
    TChoiceDrive dialog;
    EXPECT_EQ(dialog.windowTitle().toStdString(), "ERROR!");
    EXPECT_EQ(dialog.findChild<QLabel*>("Label1")->text().toStdString(), "Drive not found!");
    EXPECT_EQ(dialog.findChild<QLabel*>("Label2")->text().toStdString(), "Please choose another:");
    EXPECT_EQ(dialog.findChild<QPushButton*>("btnCancel")->text().toStdString(), "Cancel");
    core::classTranslator().SetTranslation(1504, "Gut");
    EXPECT_EQ(TChoiceDrive().findChild<QPushButton*>("btnOK")->text().toStdString(), "Gut");
    core::classTranslator().ResetTranslations();
    ASSERT_EQ(dialog.cmbDrives()->count(), 4);
    EXPECT_EQ(dialog.cmbDrives()->itemText(0).toStdString(), "[-c-]");
    EXPECT_EQ(dialog.cmbDrives()->itemText(3).toStdString(), "[-*-]");

    struct Answer
    {
        const char* how;
        bool accepted;
        int chosen;
    };
    for (const Answer answer :
         {Answer{"ok", true, 1}, Answer{"cancel", false, 2}, Answer{"escape", false, 2}}) {
        int index = 2;
        QTimer::singleShot(0, [how = std::string(answer.how)] {
            auto* shown = qobject_cast<TChoiceDrive*>(QApplication::activeModalWidget());
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->cmbDrives()->currentIndex(), 2);
            if (how == "ok") {
                shown->cmbDrives()->setCurrentIndex(1);
                QTest::mouseClick(shown->findChild<QPushButton*>("btnOK"), Qt::LeftButton);
            } else if (how == "cancel") {
                QTest::mouseClick(shown->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
            } else {
                QTest::keyClick(shown->cmbDrives(), Qt::Key_Escape);
            }
        });
        EXPECT_EQ(ChooseDrive(nullptr, index), answer.accepted) << answer.how;
        EXPECT_EQ(index, answer.chosen) << answer.how;
    }
}

} // namespace
} // namespace wux::mainwindow::panel_test
