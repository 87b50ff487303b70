#include "controls/control_bar_layout.h"

#include <QWidget>

#include <algorithm>

namespace wux::controls {

std::vector<QRect> TControlBarLayout::arrange(const std::vector<Band>& bands, int width, int spacing)
{
    std::vector<QRect> places(bands.size());
    std::size_t rowStart = 0;
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    // The last band of the row [rowStart, end) takes the rest of the row; the row's bands its height.
    auto closeRow = [&](std::size_t end) {
        if (end == rowStart)
            return;
        QRect& last = places[end - 1];
        const int rest = width - last.x();
        last.setWidth(std::max(last.width(), std::min(rest, bands[end - 1].maximumWidth)));
        for (std::size_t i = rowStart; i < end; ++i)
            places[i].setHeight(rowHeight);
        y += rowHeight + spacing;
        rowStart = end;
        x = 0;
        rowHeight = 0;
    };
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const QSize minimum = bands[i].minimum;
        if (i > rowStart && x + minimum.width() > width)
            closeRow(i);
        places[i] = QRect(x, y, minimum.width(), minimum.height());
        rowHeight = std::max(rowHeight, minimum.height());
        x += minimum.width() + spacing;
    }
    closeRow(bands.size());
    return places;
}

TControlBarLayout::TControlBarLayout(QWidget* parent) : QLayout(parent) {}

TControlBarLayout::~TControlBarLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TControlBarLayout::addItem(QLayoutItem* item)
{
    items_.append(item);
    invalidate();
}

int TControlBarLayout::count() const
{
    return static_cast<int>(items_.size());
}

QLayoutItem* TControlBarLayout::itemAt(int index) const
{
    return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* TControlBarLayout::takeAt(int index)
{
    if (index < 0 || index >= items_.size())
        return nullptr;
    QLayoutItem* item = items_.takeAt(index);
    invalidate();
    return item;
}

Qt::Orientations TControlBarLayout::expandingDirections() const
{
    return Qt::Horizontal;
}

bool TControlBarLayout::hasHeightForWidth() const
{
    return true;
}

std::vector<TControlBarLayout::Band> TControlBarLayout::visibleBands(std::vector<QLayoutItem*>& items) const
{
    std::vector<Band> bands;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        items.push_back(item);
        const QSize minimum = item->minimumSize().expandedTo(QSize(0, item->sizeHint().height()));
        bands.push_back({minimum.boundedTo(item->maximumSize()), item->maximumSize().width()});
    }
    return bands;
}

int TControlBarLayout::heightForWidth(int width) const
{
    std::vector<QLayoutItem*> items;
    const std::vector<Band> bands = visibleBands(items);
    const QMargins margins = contentsMargins();
    const std::vector<QRect> places = arrange(bands, width - margins.left() - margins.right(), spacing());
    int bottom = 0;
    for (const QRect& place : places)
        bottom = std::max(bottom, place.bottom() + 1);
    return bottom + margins.top() + margins.bottom();
}

QSize TControlBarLayout::sizeHint() const
{
    std::vector<QLayoutItem*> items;
    const std::vector<Band> bands = visibleBands(items);
    int width = 0;
    for (const Band& band : bands)
        width += band.minimum.width() + spacing();
    const QMargins margins = contentsMargins();
    width = std::max(0, width - spacing()) + margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

QSize TControlBarLayout::minimumSize() const
{
    std::vector<QLayoutItem*> items;
    int width = 0;
    for (const Band& band : visibleBands(items))
        width = std::max(width, band.minimum.width());
    const QMargins margins = contentsMargins();
    width += margins.left() + margins.right();
    // As high as the rows need at the bar's present width.
    const int barWidth = placedWidth_ >= 0 ? placedWidth_ : sizeHint().width();
    return {width, heightForWidth(std::max(width, barWidth))};
}

void TControlBarLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    std::vector<QLayoutItem*> items;
    const std::vector<Band> bands = visibleBands(items);
    const QRect inner = rect.marginsRemoved(contentsMargins());
    const std::vector<QRect> places = arrange(bands, inner.width(), spacing());
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i]->setGeometry(places[i].translated(inner.topLeft()));
    if (placedWidth_ != rect.width()) {
        const bool heightChanges =
            placedWidth_ < 0 || heightForWidth(placedWidth_) != heightForWidth(rect.width());
        placedWidth_ = rect.width();
        // The rows' height follows the width: the bar's owner lays out again with the new height.
        if (heightChanges)
            invalidate();
    }
}

} // namespace wux::controls
