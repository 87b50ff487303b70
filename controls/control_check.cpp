#include "controls/control_check.h"

#include "controls/grid_cell_painter.h"
#include "controls/image_list.h"
#include "controls/speed_button_new.h"
#include "controls/text_recorder.h"
#include "controls/vyk_header.h"
#include "controls/wux_string_grid.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>

#include <algorithm>
#include <map>
#include <set>

namespace wux::controls {

namespace {

// A column with at least this many elided cells on screen and fewer whole texts than kWholeTextsFewest
// (the ".." row of a folder is short) shows no text the user can read.
constexpr int kElidedListLeast = 3;
constexpr int kWholeTextsFewest = 2;

QString nameOf(const QWidget& widget)
{
    if (!widget.objectName().isEmpty())
        return widget.objectName();
    QString name = QString::fromLatin1(widget.metaObject()->className());
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
}

QString sizeText(QSize size)
{
    return QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
}

QString rectText(const QRect& rect)
{
    return QString::number(rect.x()) + QLatin1Char(',') + QString::number(rect.y()) + QLatin1Char(' ') +
           sizeText(rect.size());
}

// The widgets of the window itself (no other top-level windows), those a shown window shows.
std::vector<const QWidget*> shownWidgets(const QWidget& window)
{
    std::vector<const QWidget*> widgets{&window};
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->window() == window.window() && widget->isVisibleTo(&window))
            widgets.push_back(widget);
    }
    return widgets;
}

bool isScrollViewport(const QWidget& widget)
{
    const auto* area = qobject_cast<const QAbstractScrollArea*>(widget.parentWidget());
    return area != nullptr && area->viewport() == &widget;
}

// The part of the widget (in its own coordinates) that its parents up to the window leave visible; a
// scroll area's viewport does not cut, since its contents scroll into view.
QRect visiblePart(const QWidget& widget, const QWidget& window)
{
    QRect visible = widget.rect();
    QPoint offset(0, 0);
    const QWidget* child = &widget;
    for (const QWidget* parent = widget.parentWidget(); parent != nullptr && child != &window;
         child = parent, parent = parent->parentWidget()) {
        offset += child->pos();
        if (isScrollViewport(*parent))
            break;
        visible &= parent->rect().translated(-offset);
    }
    return visible;
}

QSize textSize(const QFont& font, const QString& text)
{
    return QFontMetrics(font).size(Qt::TextShowMnemonic, text);
}

struct Need
{
    QString text;
    QSize needed; // the room the text needs
    QRect given;  // the room the control gives it (its own coordinates)
};

void checkButtonOption(const QAbstractButton& button, QStyle::SubElement contents, int iconRoom,
                       const QStyleOptionButton& option, std::vector<Need>& needs)
{
    const QRect room = button.style()->subElementRect(contents, &option, &button);
    QSize needed = textSize(button.font(), button.text());
    if (!button.icon().isNull()) {
        needed.rwidth() += button.iconSize().width() + iconRoom;
        needed.setHeight(std::max(needed.height(), button.iconSize().height()));
    }
    needs.push_back({button.text(), needed, room});
}

QStyleOptionButton buttonOption(const QAbstractButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    if (const auto* push = qobject_cast<const QPushButton*>(&button)) {
        if (push->isFlat())
            option.features |= QStyleOptionButton::Flat;
        if (push->menu() != nullptr)
            option.features |= QStyleOptionButton::HasMenu;
        if (push->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (push->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
    }
    return option;
}

// The size a plain-text label needs to show its text whole, as it paints it.
QSize plainLabelNeeds(const QLabel& label)
{
    const QFontMetrics metrics(label.font());
    QSize needed = metrics.size(label.buddy() != nullptr ? int(Qt::TextShowMnemonic) : 0, label.text());
    int indent = label.indent();
    if (indent < 0 && label.frameWidth() > 0)
        indent = metrics.horizontalAdvance(QLatin1Char('x')) / 2 - label.margin();
    const Qt::Alignment align = label.alignment();
    if (indent > 0 && (align & (Qt::AlignLeft | Qt::AlignRight)))
        needed.rwidth() += indent;
    if (indent > 0 && (align & (Qt::AlignTop | Qt::AlignBottom)))
        needed.rheight() += indent;
    const QMargins frame = label.contentsMargins();
    return needed + QSize(frame.left() + frame.right() + 2 * label.margin(),
                          frame.top() + frame.bottom() + 2 * label.margin());
}

// The room each text of one control needs and gets; empty for a control without a text to check.
std::vector<Need> textNeeds(const QWidget& widget)
{
    std::vector<Need> needs;
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (label->text().isEmpty())
            return needs;
        if (label->wordWrap()) {
            needs.push_back({label->text(), QSize(0, label->heightForWidth(label->width())), label->rect()});
        } else if (label->textFormat() == Qt::RichText ||
                   (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()))) {
            needs.push_back({label->text(), label->sizeHint(), label->rect()});
        } else {
            // Plain text is painted in the contents rect less the margin and, beside the aligned
            // edge, the indent (half an "x" inside a frame); the size hint counts a whole "x".
            needs.push_back({label->text(), plainLabelNeeds(*label), label->rect()});
        }
    } else if (const auto* speed = qobject_cast<const TSpeedButtonNew*>(&widget)) {
        if (speed->text().isEmpty())
            return needs;
        // The narrowest width it gives without its margins, which are the look's and not the text's.
        constexpr int kLookMargins = 2 * 4;
        const int width = speed->captionFitWidth() - kLookMargins;
        needs.push_back({speed->text(), QSize(width, QFontMetrics(speed->font()).height()), speed->rect()});
    } else if (const auto* tool = qobject_cast<const QToolButton*>(&widget)) {
        if (tool->text().isEmpty() || tool->toolButtonStyle() == Qt::ToolButtonIconOnly ||
            (tool->toolButtonStyle() == Qt::ToolButtonFollowStyle && !tool->icon().isNull()))
            return needs;
        needs.push_back({tool->text(), tool->sizeHint(), tool->rect()});
    } else if (const auto* check = qobject_cast<const QCheckBox*>(&widget)) {
        if (!check->text().isEmpty())
            checkButtonOption(*check, QStyle::SE_CheckBoxContents, 4, buttonOption(*check), needs);
    } else if (const auto* radio = qobject_cast<const QRadioButton*>(&widget)) {
        if (!radio->text().isEmpty())
            checkButtonOption(*radio, QStyle::SE_RadioButtonContents, 4, buttonOption(*radio), needs);
    } else if (const auto* push = qobject_cast<const QPushButton*>(&widget)) {
        if (push->text().isEmpty())
            return needs;
        const QStyleOptionButton option = buttonOption(*push);
        checkButtonOption(*push, QStyle::SE_PushButtonContents, 4, option, needs);
        if (push->menu() != nullptr)
            needs.back().needed.rwidth() +=
                push->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, push);
    } else if (const auto* header = qobject_cast<const TVYKHeader*>(&widget)) {
        // Titles start 3 pixels in (after the sort glyph of the down item) and are clipped 1 pixel
        // inside the cell.
        const int count = std::min(header->ColCount(), header->HeaderItems().Count());
        int x = 0;
        for (int col = 0; col < count; ++col) {
            const TVYKHeaderItem& item = header->HeaderItems().Items(col);
            const int width = header->ColWidths(col);
            if (!item.Text().isEmpty() && width > 0) {
                const int glyph = item.Down() && header->Images() != nullptr ? header->Images()->Width() : 0;
                const QSize text = textSize(header->font(), item.Text());
                needs.push_back({item.Text(), QSize(3 + glyph + text.width() + 1, 0), QRect(x, 0, width, 1)});
            }
            x += width;
        }
    } else if (const auto* owned = qobject_cast<const DrawGrid*>(&widget); owned && owned->OnOwnerTitle) {
        int x = 0;
        for (int col = 0; col < owned->ColCount(); ++col) {
            const int width = owned->ColWidths(col);
            const DrawGrid::OwnerTitle title = owned->OnOwnerTitle(col);
            if (!title.text.isEmpty() && width > 0)
                needs.push_back({title.text, QSize(title.width, 0), QRect(x, 0, width, 1)});
            x += width;
        }
    } else if (const auto* grid = qobject_cast<const TWUXStringGrid*>(&widget)) {
        // Fixed cells hold the titles: their text starts 5 pixels in, inside a 1-pixel edge.
        int x = 0;
        for (int col = 0; col < grid->ColCount(); ++col) {
            const int width = grid->ColWidths(col);
            const int rows = col < grid->FixedCols() ? grid->RowCount() : grid->FixedRows();
            for (int row = 0; row < rows && width > 0; ++row) {
                QString text = grid->Cells(col, row);
                takeColourMark(text);
                if (!text.isEmpty())
                    needs.push_back({text, QSize(5 + textSize(grid->font(), text).width() + 1, 0),
                                     QRect(x, 0, width, 1)});
            }
            x += width;
        }
    }
    return needs;
}

} // namespace

QString controlPath(const QWidget& widget, const QWidget& window)
{
    QString path = nameOf(widget);
    for (const QWidget* parent = widget.parentWidget(); parent != nullptr && &widget != &window;
         parent = parent->parentWidget()) {
        if (parent == &window)
            break;
        path = nameOf(*parent) + QLatin1Char('/') + path;
    }
    return path;
}

std::vector<QString> findCutTexts(const QWidget& window)
{
    std::vector<QString> faults;
    for (const QWidget* widget : shownWidgets(window)) {
        const std::vector<Need> needs = textNeeds(*widget);
        if (needs.empty())
            continue;
        const QRect visible = visiblePart(*widget, window);
        const bool grid = qobject_cast<const DrawGrid*>(widget) != nullptr;
        for (const Need& need : needs) {
            // A grid's column is measured by its width only: it scrolls sideways.
            const QRect given = grid ? need.given : need.given & visible;
            const bool wide = need.needed.width() > given.width();
            const bool high = !grid && need.needed.height() > given.height();
            if (!wide && !high)
                continue;
            QString text = need.text;
            text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
            faults.push_back(QStringLiteral("cut text: %1 \"%2\" needs %3, has %4")
                                 .arg(controlPath(*widget, window), text,
                                      grid ? QString::number(need.needed.width()) : sizeText(need.needed),
                                      grid ? QString::number(given.width()) : sizeText(given.size())));
        }
    }
    for (QString& fault : findElidedLists(window))
        faults.push_back(std::move(fault));
    return faults;
}

std::vector<QString> findElidedLists(const QWidget& window)
{
    std::vector<QString> faults;
    for (const QWidget* widget : shownWidgets(window)) {
        const auto* grid = qobject_cast<const DrawGrid*>(widget);
        if (grid == nullptr || qobject_cast<const TVYKHeader*>(widget) != nullptr)
            continue;
        // What the cells show now, each text at the cell it starts in.
        QWidget* viewport = grid->viewport();
        TextRecorder recorder(viewport->size());
        viewport->render(&recorder);
        const QRect client = viewport->rect();
        int rows = 0;
        for (int row = grid->FixedRows(); row < grid->RowCount(); ++row) {
            const QRect cell = grid->CellRect(0, row);
            if (!cell.isEmpty() && client.intersects(cell))
                ++rows;
        }
        std::map<int, std::set<int>> shortened; // column: rows whose text is elided or cut
        std::map<int, QString> example;         // column: the whole text of one of them
        for (const PaintedText& painted : recorder.texts()) {
            const QPoint start(int(painted.left + 0.5), int(painted.baseline));
            int col = -1;
            int row = -1;
            grid->MouseToCell(start.x(), start.y(), col, row);
            if (col < 0 || row < grid->FixedRows())
                continue;
            const QRect cell = grid->CellRect(col, row);
            const bool elided = painted.text.endsWith(QChar(0x2026));
            const bool cut = painted.right > cell.right() + 1.5;
            if (!elided && !cut)
                continue;
            shortened[col].insert(row);
            if (!example.count(col)) {
                const QString whole = grid->ElidedCellText(col, row);
                example[col] = whole.isEmpty() ? painted.text : whole;
            }
        }
        for (const auto& [col, cells] : shortened) {
            const int count = int(cells.size());
            if (count < kElidedListLeast || count + kWholeTextsFewest <= rows)
                continue;
            faults.push_back(QStringLiteral("elided list: %1 column %2 shows %3 of its %4 rows elided or cut, "
                                            "\"%5\" needs %6, has %7")
                                 .arg(controlPath(*widget, window))
                                 .arg(col)
                                 .arg(count)
                                 .arg(rows)
                                 .arg(example[col])
                                 .arg(textSize(grid->font(), example[col]).width())
                                 .arg(grid->ColWidths(col)));
        }
    }
    return faults;
}

std::vector<QString> findOverlaps(const QWidget& window, const std::function<bool(const QWidget&)>& floats)
{
    std::vector<QString> faults;
    for (const QWidget* parent : shownWidgets(window)) {
        // Composite controls place their own parts.
        if (qobject_cast<const QAbstractScrollArea*>(parent) != nullptr ||
            qobject_cast<const QComboBox*>(parent) != nullptr ||
            qobject_cast<const QAbstractSpinBox*>(parent) != nullptr ||
            qobject_cast<const QLineEdit*>(parent) != nullptr)
            continue;
        std::vector<const QWidget*> children;
        for (const QObject* object : parent->children()) {
            const auto* child = qobject_cast<const QWidget*>(object);
            if (child != nullptr && !child->isWindow() && child->isVisibleTo(&window) &&
                !child->geometry().isEmpty() && !(floats && floats(*child)))
                children.push_back(child);
        }
        for (std::size_t i = 0; i < children.size(); ++i) {
            for (std::size_t j = i + 1; j < children.size(); ++j) {
                if (!children[i]->geometry().intersects(children[j]->geometry()))
                    continue;
                faults.push_back(
                    QStringLiteral("overlap: %1 (%2) and %3 (%4)")
                        .arg(controlPath(*children[i], window), rectText(children[i]->geometry()),
                             controlPath(*children[j], window), rectText(children[j]->geometry())));
            }
        }
    }
    return faults;
}

} // namespace wux::controls
