// TControlBarLayout: the bands of a control bar. The bands stand left to right in their order, each at
// its minimum width; a band that does not fit in what is left of its row starts the next row, and the
// last band of a row takes the rest of the row up to its maximum width. A row is as high as its highest
// band; hidden bands take no place. The bar asks for the height its rows need at its width, so a narrow
// window shows its bands in two rows instead of cutting them.
#pragma once

#include <QLayout>
#include <QList>
#include <QRect>
#include <QSize>

#include <vector>

namespace wux::controls {

class TControlBarLayout : public QLayout
{
public:
    struct Band
    {
        QSize minimum;    // the band's minimum size
        int maximumWidth; // how wide the last band of a row may grow
    };
    // The places of the bands in a bar of the given inner width, rows spacing apart (vertically and
    // horizontally), starting at (0, 0).
    static std::vector<QRect> arrange(const std::vector<Band>& bands, int width, int spacing);

    explicit TControlBarLayout(QWidget* parent = nullptr);
    ~TControlBarLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    std::vector<Band> visibleBands(std::vector<QLayoutItem*>& items) const;

    QList<QLayoutItem*> items_;
    int placedWidth_ = -1;
};

} // namespace wux::controls
