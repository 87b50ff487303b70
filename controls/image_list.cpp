#include "controls/image_list.h"

#include <QPainter>

namespace wux::controls {

int TImageList::Add(const QPixmap& image)
{
    QPixmap p = image;
    if (!p.isNull() && p.size() != QSize(width_, height_))
        p = p.scaled(width_, height_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    images_.push_back(p);
    return int(images_.size()) - 1;
}

QPixmap TImageList::image(int index) const
{
    if (index < 0 || index >= images_.size())
        return {};
    return images_[index];
}

void TImageList::Draw(QPainter& painter, int x, int y, int index) const
{
    const QPixmap p = image(index);
    if (!p.isNull())
        painter.drawPixmap(x, y, p);
}

} // namespace wux::controls
