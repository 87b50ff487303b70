// TImageList: a list of equally sized images drawn by index (the sort arrows of a header, the
// program's own bitmaps). Components keep a QPointer to it, so a freed list is seen as none.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QVector>

class QPainter;

namespace wux::controls {

class TImageList : public QObject
{
    Q_OBJECT
public:
    explicit TImageList(QObject* parent = nullptr) : QObject(parent) {}
    TImageList(int width, int height, QObject* parent = nullptr)
        : QObject(parent), width_(width), height_(height)
    {
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const { return int(images_.size()); }
    // Adds an image (scaled to the list's size when it differs) and returns its index.
    int Add(const QPixmap& image);
    QPixmap image(int index) const; // null outside the list
    // Draws image index at (x, y); nothing outside the list.
    void Draw(QPainter& painter, int x, int y, int index) const;

private:
    int width_ = 16;
    int height_ = 16;
    QVector<QPixmap> images_;
};

} // namespace wux::controls
