// TVYKHeader: the one-row column header above a list grid. It paints the column titles, shows the
// sort column (sunken, with image 0 ascending / 1 descending) and direction, lets the user pick the
// sort column by clicking and resize columns by dragging their borders, keeps the widths as
// proportions in ColumnWidth (field i, bits 9i .. 9i+8, = column i's width in 1/480 of the header's
// width; the last column is not stored; 0 = no stored widths), and copies every width to MainTable.
// Built on DrawGrid: one fixed row (row 0 is the header line), no fixed columns, no scroll bars.
#pragma once

#include "controls/draw_grid.h"
#include "controls/image_list.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace wux::controls {

inline constexpr int kColumnWidthUnits = 480;
inline constexpr int kColumnWidthFieldBits = 9;
inline constexpr int kColumnWidthFields = 7; // fields that fit into 64 bits

// Field i of a packed ColumnWidth (0 for i outside 0 .. 6).
int columnWidthField(std::int64_t columnWidth, int index);
// Packs the widths of every column but the last: field i := widths[i] × 480 div clientWidth. A client
// width of 0 or less gives 0. Fields are clamped as clampColumnWidth does.
std::int64_t packColumnWidths(const std::vector<int>& widths, int clientWidth);
// A stored ColumnWidth made valid: each field at most 480 and the fields together at most 480 (the
// last column never gets a negative width); fields that do not fit into 64 bits are dropped.
std::int64_t clampColumnWidth(std::int64_t columnWidth);
// The widths UpdateItemWidths lays out for columnCount columns of a header width pixels wide and a
// client width: every column but the last field i × width div 480 (brief: width div count), the
// last the client width less the others (never below 0).
std::vector<int> headerColumnWidths(std::int64_t columnWidth, int columnCount, int width, int clientWidth,
                                    bool brief);

// What a column asks for while no widths are stored: at least least pixels (its title), wanted pixels
// for its values, shorter pixels (when above 0) for a shorter form of its values that it shows when
// there is no room for the whole (a date without its time), and share: a part of the client width in
// 1/480 that it gets at least while the others have their least widths. Where room is short, the
// columns are narrowed in the order of yield, lowest first.
struct ColumnWant
{
    int least = 0;
    int wanted = 0;
    int shorter = 0;
    int share = 0;
    int yield = 0;
};

// Columns laid out from what they ask for in a client width, the widths adding up to it: every column
// the largest of its least, wanted and share width, the first also the rest. When that is too wide,
// the columns with a shorter form take it, then the columns are narrowed one after the other in the
// order of their yield, each down to its least width, as far as the room asks; when even the least
// widths do not fit, each gets its share of the client width in proportion to its least width.
std::vector<int> defaultColumnWidths(const std::vector<ColumnWant>& wants, int clientWidth);

class TVYKHeader;
class TVYKHeaderItems;

class TVYKHeaderItem
{
public:
    QString Text() const { return text_; }
    void setText(const QString& value);
    // Pixel width. Writing, when it differs from the stored width or the header's column width,
    // stores it and sets the header's column width and, in hmFull, MainTable's.
    int Width() const { return width_; }
    void setWidth(int value);
    Qt::Alignment Alignment() const { return alignment_; } // kept and copied, not painted
    void setAlignment(Qt::Alignment value) { alignment_ = value; }
    bool AllowDownState() const { return allowDownState_; }
    void setAllowDownState(bool value) { allowDownState_ = value; }
    // Down (only with AllowDownState): True raises every other item and makes this the SortIndex.
    bool Down() const { return down_; }
    void setDown(bool value);
    int Index() const;
    // Copies Text, Width, Alignment and AllowDownState.
    void Assign(const TVYKHeaderItem& source);

private:
    friend class TVYKHeaderItems;
    explicit TVYKHeaderItem(TVYKHeaderItems* collection) : collection_(collection) {}

    TVYKHeaderItems* collection_;
    QString text_;
    int width_ = 50;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    bool allowDownState_ = true;
    bool down_ = false;
};

class TVYKHeaderItems
{
public:
    explicit TVYKHeaderItems(TVYKHeader* header = nullptr) : header_(header) {}

    TVYKHeader* Header() const { return header_; }
    int SortIndex() const { return sortIndex_; }
    bool Descending() const { return descending_; }
    void setDescending(bool value);

    int Count() const { return int(items_.size()); }
    TVYKHeaderItem& Items(int index); // std::out_of_range outside the items
    const TVYKHeaderItem& Items(int index) const;
    // A new item at the end; it goes down at once when its index equals SortIndex.
    TVYKHeaderItem& Add();
    void Clear();
    // Copies the other collection's items.
    void Assign(const TVYKHeaderItems& source);
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();

private:
    friend class TVYKHeaderItem;
    friend class TVYKHeader;
    void Changed();

    TVYKHeader* header_;
    std::vector<std::unique_ptr<TVYKHeaderItem>> items_;
    int sortIndex_ = -1;
    bool descending_ = false;
    int updateCount_ = 0;
    bool changedInUpdate_ = false;
};

enum class THeaderMode
{
    hmBrief,
    hmFull
};

class TVYKHeader : public DrawGrid
{
    Q_OBJECT
public:
    explicit TVYKHeader(QWidget* parent = nullptr);
    ~TVYKHeader() override;

    // Sort word: bits 0-2 the sort column, 0x2000 descending. Writing puts item (value and 7) down
    // (when it exists) and takes the direction.
    unsigned KindOfSort() const { return kindOfSort_; }
    void setKindOfSort(unsigned value);
    // Packed proportions; writing only stores (made valid by clampColumnWidth).
    std::int64_t ColumnWidth() const { return columnWidth_; }
    void setColumnWidth(std::int64_t value) { columnWidth_ = clampColumnWidth(value); }
    THeaderMode HeaderMode() const { return headerMode_; }
    void setHeaderMode(THeaderMode value);
    DrawGrid* MainTable() const { return mainTable_; }
    void setMainTable(DrawGrid* grid) { mainTable_ = grid; }
    TImageList* Images() const { return images_; }
    void setImages(TImageList* images);
    TVYKHeaderItems& HeaderItems() { return items_; }
    const TVYKHeaderItems& HeaderItems() const { return items_; }
    void setHeaderItems(const TVYKHeaderItems& items) { items_.Assign(items); }

    // Lays the item widths out from ColumnWidth and fires OnResizeHeaders; with ColumnWidth 0 from
    // DefaultItemWidths (as defaultColumnWidths lays them out), or nothing when it is not set. Nothing
    // with fewer items than columns. Also run after each resize of the header.
    void UpdateItemWidths();

    // What the columns ask for while no widths are stored (ColumnWidth 0), given the column count.
    std::function<std::vector<ColumnWant>(int columnCount)> DefaultItemWidths;

    std::function<void(TVYKHeader* sender)> OnchangeKindOfSort;
    std::function<void(TVYKHeader* sender)> OnResizeHeaders;

protected:
    void drawCell(QPainter& painter, int ACol, int ARow, const QRect& rect, GridDrawState state) override;
    void afterMouseUp(Qt::MouseButton button, const QPoint& pos) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    unsigned kindOfSort_ = 0;
    std::int64_t columnWidth_ = 0;
    THeaderMode headerMode_ = THeaderMode::hmFull;
    QPointer<DrawGrid> mainTable_;
    QPointer<TImageList> images_;
    TVYKHeaderItems items_{this};
};

} // namespace wux::controls
