// The control checks: a text its control cuts is reported with the control's name, one that fits is
// not; overlapping visible siblings are reported, adjacent, hidden, nested or floating ones are not.
#include "controls/control_check.h"
#include "controls/grid_cell_painter.h"
#include "controls/wux_string_grid.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace wux::controls {
namespace {

std::string joined(const std::vector<QString>& lines)
{
    std::string text;
    for (const QString& line : lines)
        text += line.toStdString() + "\n";
    return text;
}

const QString kText = QStringLiteral("Recurse subdirectories");

int textWidth(const QWidget& widget, const QString& text)
{
    return QFontMetrics(widget.font()).size(Qt::TextShowMnemonic, text).width();
}

// The width a check box or radio button gives beside its text: the indicator, its spacing and the
// style's margin.
int indicatorRoom(const QAbstractButton& button, QStyle::SubElement contents)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.width() - button.style()->subElementRect(contents, &option, &button).width();
}

struct CutCase
{
    const char* name;
    // Makes the control inside parent, sized as the case says.
    std::function<QWidget*(QWidget& parent)> make;
    bool cut;
};

void PrintTo(const CutCase& c, std::ostream* os)
{
    *os << c.name;
}

class CutText : public ::testing::TestWithParam<CutCase>
{
};

TEST_P(CutText, IsReportedExactlyWhenTheControlCannotShowIt)
{
    QWidget window;
    window.resize(600, 300);
    QWidget* control = GetParam().make(window);
    control->setObjectName(QStringLiteral("probe"));
    window.show();
    const std::vector<QString> faults = findCutTexts(window);
    if (GetParam().cut) {
        ASSERT_EQ(faults.size(), 1u) << joined(faults);
        EXPECT_TRUE(faults[0].startsWith(QStringLiteral("cut text: "))) << faults[0].toStdString();
        EXPECT_TRUE(faults[0].contains(QStringLiteral("probe"))) << faults[0].toStdString();
    } else {
        EXPECT_TRUE(faults.empty()) << joined(faults);
    }
}

QLabel* label(QWidget& parent, int extraWidth)
{
    auto* label = new QLabel(kText, &parent);
    label->resize(label->sizeHint().width() + extraWidth, label->sizeHint().height());
    return label;
}

template <typename Button> Button* indicatorButton(QWidget& parent, QStyle::SubElement contents, int extra)
{
    auto* button = new Button(kText, &parent);
    button->resize(indicatorRoom(*button, contents) + textWidth(*button, kText) + extra,
                   button->sizeHint().height());
    return button;
}

// A label in a sunken frame: the frame and half an "x" of indent before the text, as it paints.
QLabel* framedLabel(QWidget& parent, int extra)
{
    auto* label = new QLabel(QStringLiteral("[c]  62 319 376 of 264 212 084 k free"), &parent);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    const QFontMetrics metrics(label->font());
    const int indent = metrics.horizontalAdvance(QLatin1Char('x')) / 2;
    label->resize(2 * label->frameWidth() + indent + metrics.horizontalAdvance(label->text()) + extra, 22);
    return label;
}

QPushButton* pushButton(QWidget& parent, int extra)
{
    auto* button = new QPushButton(QStringLiteral("&Start Replace"), &parent);
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const int frame = button->width() - contents.width(); // the style's bevel on both sides
    button->resize(textWidth(*button, button->text()) + frame + extra, 30);
    return button;
}

INSTANTIATE_TEST_SUITE_P(
    Controls, CutText,
    ::testing::Values(
        CutCase{"LabelWideEnough", [](QWidget& p) { return label(p, 0); }, false},
        CutCase{"LabelOnePixelShort", [](QWidget& p) { return label(p, -1); }, true},
        CutCase{"FramedLabelWideEnough", [](QWidget& p) { return framedLabel(p, 0); }, false},
        CutCase{"FramedLabelOnePixelShort", [](QWidget& p) { return framedLabel(p, -1); }, true},
        CutCase{"LabelTooLow",
                [](QWidget& p) {
                    QLabel* l = label(p, 0);
                    l->resize(l->width(), l->height() - 4);
                    return l;
                },
                true},
        CutCase{"LabelCutByItsParent",
                [](QWidget& p) {
                    auto* panel = new QWidget(&p);
                    QLabel* l = label(*panel, 0);
                    panel->resize(l->width() - 10, l->height());
                    l->setObjectName(QStringLiteral("probe"));
                    return static_cast<QWidget*>(panel);
                },
                true},
        CutCase{"CheckBoxWithRoomForItsIndicator",
                [](QWidget& p) { return indicatorButton<QCheckBox>(p, QStyle::SE_CheckBoxContents, 0); },
                false},
        CutCase{"CheckBoxAsWideAsItsTextOnly",
                [](QWidget& p) {
                    auto* box = new QCheckBox(kText, &p);
                    box->resize(textWidth(*box, kText), box->sizeHint().height());
                    return box;
                },
                true},
        CutCase{
            "RadioButtonWideEnough",
            [](QWidget& p) { return indicatorButton<QRadioButton>(p, QStyle::SE_RadioButtonContents, 0); },
            false},
        CutCase{
            "RadioButtonOnePixelShort",
            [](QWidget& p) { return indicatorButton<QRadioButton>(p, QStyle::SE_RadioButtonContents, -1); },
            true},
        CutCase{"PushButtonWideEnough", [](QWidget& p) { return pushButton(p, 0); }, false},
        CutCase{"PushButtonOnePixelShort", [](QWidget& p) { return pushButton(p, -1); }, true},
        CutCase{"EmptyLabel", [](QWidget& p) { return new QLabel(&p); }, false}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return std::string(info.param.name); });

TEST(CutText, HiddenControlsAreNotChecked)
{
    QWidget window;
    QLabel* shown = label(window, -5);
    shown->hide();
    window.show();
    EXPECT_TRUE(findCutTexts(window).empty());
}

TEST(CutText, GridTitlesNarrowerThanTheirColumnAreReported)
{
    QWidget window;
    auto* grid = new TWUXStringGrid(&window);
    grid->setObjectName(QStringLiteral("sgInfo"));
    grid->resize(400, 200);
    grid->setColCount(2);
    grid->setRowCount(3);
    grid->setFixedRows(1);
    grid->setCells(0, 0, QStringLiteral("Name"));
    grid->setCells(1, 0, QStringLiteral("Changed size"));
    grid->setCells(1, 1, QStringLiteral("a much longer cell text that is not a title"));
    const int fits = 5 + textWidth(*grid, QStringLiteral("Changed size")) + 1;
    grid->setColWidths(0, 100);
    grid->setColWidths(1, fits);
    window.show();
    EXPECT_TRUE(findCutTexts(window).empty()) << joined(findCutTexts(window));

    grid->setColWidths(1, fits - 1);
    const std::vector<QString> faults = findCutTexts(window);
    ASSERT_EQ(faults.size(), 1u) << joined(faults);
    EXPECT_EQ(faults[0],
              QStringLiteral("cut text: sgInfo \"Changed size\" needs %1, has %2").arg(fits).arg(fits - 1));
}

TEST(CutText, OwnerPaintedTitlesAreMeasuredAsTheirOwnerSays)
{
    QWidget window;
    auto* grid = new DrawGrid(&window);
    grid->setObjectName(QStringLiteral("sgTitle"));
    grid->resize(300, 30);
    grid->setColCount(2);
    grid->setColWidths(0, 60);
    grid->setColWidths(1, 40);
    // The owner says the first title needs 60 pixels, the second 41.
    grid->OnOwnerTitle = [](int col) {
        return col == 0 ? DrawGrid::OwnerTitle{QStringLiteral("Name"), 60}
                        : DrawGrid::OwnerTitle{QStringLiteral("Attr"), 41};
    };
    window.show();
    const std::vector<QString> faults = findCutTexts(window);
    ASSERT_EQ(faults.size(), 1u) << joined(faults);
    EXPECT_EQ(faults[0], QStringLiteral("cut text: sgTitle \"Attr\" needs 41, has 40"));
}

// A list whose painter elided the texts of half its rows on screen or more shows too few of them whole:
// measured on the whole texts, not on what the painter left of them.
TEST(ElidedList, ColumnsShowingTooFewWholeTextsAreReported)
{
    QWidget window;
    auto* grid = new TWUXStringGrid(&window);
    grid->setObjectName(QStringLiteral("sgFiles"));
    grid->resize(400, 200);
    grid->setColCount(2);
    grid->setRowCount(6);
    grid->setFixedRows(1);
    grid->setFixedCols(0);
    grid->setDefaultDrawing(false);
    bool cutting = false; // a painter that cuts its texts at the cell's edge instead of eliding them
    grid->OnDrawCell = [grid, &cutting](QPainter& canvas, int col, int row, const QRect& rect,
                                        GridDrawState state) {
        if (cutting && row > 0)
            canvas.drawText(rect.topLeft() + QPoint(3, 15), grid->Cells(col, row));
        else
            DrawGridCell(canvas, *grid, col, row, 0, state, rect);
    };
    grid->setCells(0, 0, QStringLiteral("Name"));
    grid->setCells(1, 0, QStringLiteral("Size"));
    const QString names[] = {QStringLiteral("Quarterly report.docx"), QStringLiteral("Order 4101.txt"),
                             QStringLiteral("Minutes of the board.odt"), QStringLiteral("Budget 2026.xlsx"),
                             QStringLiteral("Notes.txt")};
    for (int row = 1; row <= 5; ++row) {
        grid->setCells(0, row, names[row - 1]);
        grid->setCells(1, row, QStringLiteral("12"));
    }
    window.show();
    struct Case
    {
        int width;
        bool reported;
        bool cutting = false;
    };
    const int whole = textWidth(*grid, QStringLiteral("Minutes of the board.odt")) + 12;
    const int notesOnly = textWidth(*grid, QStringLiteral("Notes.txt")) + 12;
    const int twoOfFive = textWidth(*grid, QStringLiteral("Budget 2026.xlsx")) + 12;
    for (const Case c : {Case{whole, false}, Case{notesOnly, true}, Case{twoOfFive, false}, Case{50, true},
                         Case{50, true, true}, Case{whole, false, true}}) {
        cutting = c.cutting;
        grid->setColWidths(0, c.width);
        grid->grab(); // paints the cells as the picture does
        const std::vector<QString> faults = findElidedLists(window);
        if (!c.reported) {
            EXPECT_TRUE(faults.empty()) << c.width << "\n" << joined(faults);
            continue;
        }
        ASSERT_EQ(faults.size(), 1u) << c.width << "\n" << joined(faults);
        EXPECT_TRUE(faults[0].startsWith(QStringLiteral("elided list: sgFiles column 0 shows "))) << faults[0].toStdString();
        EXPECT_TRUE(faults[0].contains(QStringLiteral(" of its 5 rows elided or cut"))) << faults[0].toStdString();
        EXPECT_TRUE(faults[0].contains(QStringLiteral("\"Quarterly report.docx\" needs %1, has %2")
                                           .arg(textWidth(*grid, QStringLiteral("Quarterly report.docx")))
                                           .arg(c.width)))
            << faults[0].toStdString();
        EXPECT_EQ(joined(findCutTexts(window)), joined(faults));
    }
}

struct OverlapCase
{
    const char* name;
    QRect first;
    QRect second;
    bool secondHidden;
    bool secondFloats;
    bool overlap;
};

void PrintTo(const OverlapCase& c, std::ostream* os)
{
    *os << c.name;
}

class Overlap : public ::testing::TestWithParam<OverlapCase>
{
};

TEST_P(Overlap, IsReportedForVisibleSiblingsThatIntersect)
{
    const OverlapCase& c = GetParam();
    QWidget window;
    window.resize(400, 300);
    auto* first = new QCheckBox(QStringLiteral("A"), &window);
    first->setObjectName(QStringLiteral("chkFirst"));
    first->setGeometry(c.first);
    auto* second = new QPushButton(QStringLiteral("B"), &window);
    second->setObjectName(QStringLiteral("btnSecond"));
    second->setGeometry(c.second);
    second->setVisible(!c.secondHidden);
    // A child inside the first control never counts against it.
    auto* inner = new QLabel(QStringLiteral("x"), first);
    inner->setGeometry(0, 0, 5, 5);
    window.show();
    const std::vector<QString> faults =
        findOverlaps(window, [&](const QWidget& w) { return c.secondFloats && &w == second; });
    if (c.overlap) {
        ASSERT_EQ(faults.size(), 1u) << joined(faults);
        EXPECT_EQ(faults[0], QStringLiteral("overlap: chkFirst (%1,%2 %3x%4) and btnSecond (%5,%6 %7x%8)")
                                 .arg(c.first.x())
                                 .arg(c.first.y())
                                 .arg(c.first.width())
                                 .arg(c.first.height())
                                 .arg(c.second.x())
                                 .arg(c.second.y())
                                 .arg(c.second.width())
                                 .arg(c.second.height()));
    } else {
        EXPECT_TRUE(faults.empty()) << joined(faults);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Siblings, Overlap,
    ::testing::Values(
        OverlapCase{"Intersecting", {10, 10, 100, 20}, {100, 15, 80, 25}, false, false, true},
        OverlapCase{"OnePixelApart", {10, 10, 100, 20}, {110, 10, 80, 20}, false, false, false},
        OverlapCase{"OneBelowTheOther", {10, 10, 100, 20}, {10, 30, 100, 20}, false, false, false},
        OverlapCase{"SecondHidden", {10, 10, 100, 20}, {50, 10, 80, 20}, true, false, false},
        OverlapCase{"SecondFloatsByDesign", {10, 10, 100, 20}, {50, 10, 80, 20}, false, true, false}),
    [](const ::testing::TestParamInfo<OverlapCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace wux::controls
