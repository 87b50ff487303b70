#include "controls/wux_splitter_mouse.h"

#include <QSplitterHandle>

#include <algorithm>

namespace wux::controls {

int clampRatio(long long ratio)
{
    return int(std::clamp<long long>(ratio, 0, kRatioScale));
}

int splitterRatio(int pos, int parentWidth, int previousRatio)
{
    if (parentWidth <= 0)
        return previousRatio;
    return clampRatio(static_cast<long long>(pos) * kRatioScale / parentWidth);
}

int ratioLeftWidth(int ratio, int clientWidth)
{
    return int(ratio / double(kRatioScale) * clientWidth) + 2;
}

SplitterLayout splitterLayout(int ratio, int clientWidth, int rightWidth)
{
    SplitterLayout layout;
    layout.leftWidth = ratioLeftWidth(ratio, clientWidth);
    layout.rightWidth = rightWidth == 0 ? 1 : rightWidth;
    layout.splitterLeft = layout.leftWidth + 10;
    return layout;
}

TWUXSplitterMouse::TWUXSplitterMouse(QWidget* parent) : TWUXSplitterMouse(Qt::Horizontal, parent) {}

TWUXSplitterMouse::TWUXSplitterMouse(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
    setChildrenCollapsible(false);
    connect(this, &QSplitter::splitterMoved, this, &TWUXSplitterMouse::splitterMovedHandler);
}

void TWUXSplitterMouse::splitterMovedHandler(int, int index)
{
    // The handle's left edge over the width (a vertical splitter's handles all stand at 0).
    const QSplitterHandle* h = handle(index);
    const int left = h ? h->geometry().left() : 0;
    ratio_ = splitterRatio(left, width(), ratio_);
}

void TWUXSplitterMouse::applyRatio()
{
    if (orientation() != Qt::Horizontal || count() < 2)
        return;
    const int total = width() - handleWidth() * (count() - 1);
    if (total <= 0)
        return;
    const int left = std::min(ratioLeftWidth(ratio_, width()), total);
    QList<int> sizes = this->sizes();
    sizes[0] = left;
    sizes[1] = std::max(1, total - left);
    for (int i = 2; i < sizes.size(); ++i)
        sizes[i] = 0;
    setSizes(sizes);
}

} // namespace wux::controls
