#include "controls/vyk_header.h"

#include "controls/system_colors.h"
#include "core/gui_helpers.h"

#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>
#include <stdexcept>

namespace wux::controls {

namespace {

constexpr unsigned kSortColumnMask = 7;
constexpr unsigned kDescendingBit = 0x2000;
constexpr std::uint64_t kFieldMask = 0x1FF;

} // namespace

// ---- width packing ----------------------------------------------------------------------------

int columnWidthField(std::int64_t columnWidth, int index)
{
    if (index < 0 || index >= kColumnWidthFields)
        return 0;
    return int((static_cast<std::uint64_t>(columnWidth) >> (kColumnWidthFieldBits * index)) & kFieldMask);
}

std::int64_t clampColumnWidth(std::int64_t columnWidth)
{
    std::uint64_t result = 0;
    int sum = 0;
    for (int i = 0; i < kColumnWidthFields; ++i) {
        int field = std::min(columnWidthField(columnWidth, i), kColumnWidthUnits);
        field = std::min(field, kColumnWidthUnits - sum);
        sum += field;
        result |= static_cast<std::uint64_t>(field) << (kColumnWidthFieldBits * i);
    }
    return static_cast<std::int64_t>(result);
}

std::int64_t packColumnWidths(const std::vector<int>& widths, int clientWidth)
{
    if (clientWidth <= 0)
        return 0;
    std::uint64_t packed = 0;
    for (int i = 0; i < int(widths.size()) && i < kColumnWidthFields; ++i) {
        const std::int64_t field = std::min<std::int64_t>(std::int64_t(std::max(0, widths[std::size_t(i)])) *
                                                              kColumnWidthUnits / clientWidth,
                                                          std::int64_t(kFieldMask));
        packed |= static_cast<std::uint64_t>(field) << (kColumnWidthFieldBits * i);
    }
    return clampColumnWidth(static_cast<std::int64_t>(packed));
}

std::vector<int> headerColumnWidths(std::int64_t columnWidth, int columnCount, int width, int clientWidth,
                                    bool brief)
{
    std::vector<int> widths;
    if (columnCount <= 0)
        return widths;
    const int share = width / columnCount;
    int sum = 0;
    for (int i = 0; i < columnCount - 1; ++i) {
        const int w =
            brief ? share : int(std::int64_t(columnWidthField(columnWidth, i)) * width / kColumnWidthUnits);
        widths.push_back(w);
        sum += w;
    }
    widths.push_back(std::max(0, clientWidth - sum));
    return widths;
}

std::vector<int> defaultColumnWidths(const std::vector<ColumnWant>& wants, int clientWidth)
{
    std::vector<int> widths;
    if (wants.empty())
        return widths;
    clientWidth = std::max(0, clientWidth);
    std::vector<int> least;
    std::int64_t leastSum = 0;
    std::int64_t sum = 0;
    for (const ColumnWant& want : wants) {
        least.push_back(std::max(0, want.least));
        leastSum += least.back();
        const int share = int(std::int64_t(std::max(0, want.share)) * clientWidth / kColumnWidthUnits);
        widths.push_back(std::max({least.back(), want.wanted, share}));
        sum += widths.back();
    }
    if (leastSum > clientWidth) {
        // Not even the titles fit: each column its part of the width in proportion to its title.
        int given = 0;
        for (std::size_t i = 0; i + 1 < wants.size(); ++i) {
            widths[i] = leastSum > 0 ? int(std::int64_t(least[i]) * clientWidth / leastSum) : 0;
            given += widths[i];
        }
        widths.back() = clientWidth - given;
        return widths;
    }
    // Too wide: the shorter forms first, then the columns in the order of their yield.
    for (std::size_t i = 0; i < wants.size() && sum > clientWidth; ++i) {
        if (wants[i].shorter <= 0 || wants[i].shorter >= widths[i])
            continue;
        const int shorter = std::max(least[i], wants[i].shorter);
        sum -= widths[i] - shorter;
        widths[i] = shorter;
    }
    std::vector<std::size_t> order(wants.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&wants](std::size_t a, std::size_t b) { return wants[a].yield < wants[b].yield; });
    for (const std::size_t i : order) {
        if (sum <= clientWidth)
            break;
        const int less = int(std::min<std::int64_t>(sum - clientWidth, widths[i] - least[i]));
        widths[i] -= less;
        sum -= less;
    }
    // What is left over goes to the first column.
    widths.front() += int(clientWidth - sum);
    return widths;
}

// ---- items ------------------------------------------------------------------------------------

int TVYKHeaderItem::Index() const
{
    const auto& items = collection_->items_;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].get() == this)
            return int(i);
    return -1;
}

void TVYKHeaderItem::setText(const QString& value)
{
    text_ = value;
    collection_->Changed();
}

void TVYKHeaderItem::setWidth(int value)
{
    TVYKHeader* header = collection_->Header();
    if (!header) {
        width_ = value;
        return;
    }
    const int index = Index();
    const bool inHeader = index >= 0 && index < header->ColCount();
    if (value == width_ && (!inHeader || header->ColWidths(index) == value))
        return;
    width_ = value;
    if (inHeader)
        header->setColWidths(index, value);
    DrawGrid* table = header->MainTable();
    if (header->HeaderMode() == THeaderMode::hmFull && table && index >= 0 && index < table->ColCount())
        table->setColWidths(index, value);
    collection_->Changed();
}

void TVYKHeaderItem::setDown(bool value)
{
    if (!allowDownState_)
        return;
    if (value) {
        for (auto& item : collection_->items_)
            if (item.get() != this)
                item->down_ = false;
        collection_->sortIndex_ = Index();
    }
    down_ = value;
    collection_->Changed();
}

void TVYKHeaderItem::Assign(const TVYKHeaderItem& source)
{
    text_ = source.text_;
    setWidth(source.width_);
    alignment_ = source.alignment_;
    allowDownState_ = source.allowDownState_;
    collection_->Changed();
}

void TVYKHeaderItems::setDescending(bool value)
{
    descending_ = value;
    Changed();
}

TVYKHeaderItem& TVYKHeaderItems::Items(int index)
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds");
    return *items_[std::size_t(index)];
}

const TVYKHeaderItem& TVYKHeaderItems::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds");
    return *items_[std::size_t(index)];
}

TVYKHeaderItem& TVYKHeaderItems::Add()
{
    items_.push_back(std::unique_ptr<TVYKHeaderItem>(new TVYKHeaderItem(this)));
    TVYKHeaderItem& item = *items_.back();
    if (item.Index() == sortIndex_)
        item.setDown(true);
    Changed();
    return item;
}

void TVYKHeaderItems::Clear()
{
    items_.clear();
    Changed();
}

void TVYKHeaderItems::Assign(const TVYKHeaderItems& source)
{
    if (&source == this)
        return;
    BeginUpdate();
    items_.clear();
    for (const auto& item : source.items_)
        Add().Assign(*item);
    EndUpdate();
}

void TVYKHeaderItems::EndUpdate()
{
    if (updateCount_ > 0 && --updateCount_ == 0 && changedInUpdate_) {
        changedInUpdate_ = false;
        Changed();
    }
}

void TVYKHeaderItems::Changed()
{
    if (updateCount_ > 0) {
        changedInUpdate_ = true;
        return;
    }
    if (header_)
        header_->viewport()->update();
}

// ---- header -----------------------------------------------------------------------------------

TVYKHeader::TVYKHeader(QWidget* parent) : DrawGrid(parent)
{
    setFrameShape(QFrame::NoFrame);
    setScrollBars(ScrollStyle::ssNone);
    setFocusPolicy(Qt::NoFocus);
    setFixedCols(0);
    setRowCount(2);
    setFixedRows(1);
    setHeaderMode(THeaderMode::hmFull);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, sysColor(SysColor::MenuText));
    pal.setColor(QPalette::Text, sysColor(SysColor::MenuText));
    setPalette(pal);
}

TVYKHeader::~TVYKHeader()
{
    // The items refer to the header while they are freed.
    items_.items_.clear();
}

void TVYKHeader::setKindOfSort(unsigned value)
{
    kindOfSort_ = value;
    const int index = int(value & kSortColumnMask);
    if (index < items_.Count())
        items_.Items(index).setDown(true);
    items_.descending_ = (value & kDescendingBit) != 0;
    viewport()->update();
}

void TVYKHeader::setHeaderMode(THeaderMode value)
{
    headerMode_ = value;
    setOptions(value == THeaderMode::hmBrief ? GridOptions(goFixedVertLine)
                                             : GridOptions(goFixedVertLine | goColSizing));
}

void TVYKHeader::setImages(TImageList* images)
{
    images_ = images;
    viewport()->update();
}

void TVYKHeader::UpdateItemWidths()
{
    if (items_.Count() < ColCount() || ColCount() <= 0)
        return;
    const bool brief = headerMode_ == THeaderMode::hmBrief;
    std::vector<int> widths;
    if (columnWidth_ != 0 || (brief && DefaultItemWidths))
        widths = headerColumnWidths(columnWidth_, ColCount(), width(), viewport()->width(), brief);
    else if (DefaultItemWidths) {
        // Every column within the list's client area, which its scroll bar may make narrower.
        int client = viewport()->width();
        if (mainTable_ && !mainTable_->isHidden())
            client = std::min(client, mainTable_->viewport()->width());
        widths = defaultColumnWidths(DefaultItemWidths(ColCount()), client);
    }
    if (int(widths.size()) != ColCount())
        return;
    items_.BeginUpdate();
    for (int i = 0; i < ColCount(); ++i)
        items_.Items(i).setWidth(widths[std::size_t(i)]);
    items_.EndUpdate();
    if (OnResizeHeaders)
        OnResizeHeaders(this);
}

void TVYKHeader::resizeEvent(QResizeEvent* event)
{
    DrawGrid::resizeEvent(event);
    UpdateItemWidths();
}

void TVYKHeader::drawCell(QPainter& painter, int ACol, int ARow, const QRect& rect, GridDrawState)
{
    const QPalette& pal = palette();
    if (ARow != 0 || items_.Count() < ColCount() || ACol >= items_.Count()) {
        painter.fillRect(rect, sysColor(SysColor::BtnFace, pal));
        return;
    }
    const TVYKHeaderItem& item = items_.Items(ACol);
    painter.setFont(font());
    const QFontMetrics fm(font());
    int textX = rect.left() + 3;
    QColor brush;
    QPixmap image;
    int imageY = 0;
    painter.setClipping(false); // the raised edge reaches one pixel beyond the cell
    if (item.Down()) {
        brush = sysColor(SysColor::BtnHighlight, pal);
        painter.fillRect(rect, brush);
        qDrawShadePanel(&painter, rect, pal, true, 1);
        if (images_) {
            image = images_->image(items_.Descending() ? 1 : 0);
            imageY = (height() - images_->Height()) / 2;
            textX += images_->Width();
        }
    } else {
        brush = sysColor(SysColor::BtnFace, pal);
        const QRect wide = rect.adjusted(-1, -1, 1, 1);
        painter.fillRect(wide, brush);
        qDrawShadePanel(&painter, wide, pal, false, 1);
    }
    // Text: left-aligned, clipped to the cell less one pixel on every side, on the cell's colour;
    // the sort image is drawn over that background so that it stays visible.
    const QRect textRect = rect.adjusted(1, 1, -1, -1);
    painter.setClipRect(textRect);
    painter.fillRect(textRect, brush);
    if (!image.isNull())
        painter.drawPixmap(rect.left() + 1, imageY, image);
    int tgWidth = 0;
    int tgHeight = 0;
    core::GetTextSize(font(), "Tg", tgWidth, tgHeight);
    const int y = rect.top() + (height() - tgHeight) / 2;
    painter.setPen(pal.color(QPalette::WindowText));
    painter.drawText(QRect(textX, y, std::max(0, textRect.right() - textX + 1), fm.height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, item.Text());
}

void TVYKHeader::afterMouseUp(Qt::MouseButton, const QPoint& pos)
{
    if (mainTable_ && mainTable_->isVisible())
        mainTable_->setFocus(Qt::MouseFocusReason);
    const int columns = ColCount();
    bool resize = false;
    if (headerMode_ == THeaderMode::hmFull) {
        for (int i = 0; i < columns && i < items_.Count(); ++i)
            if (items_.Items(i).Width() != ColWidths(i))
                resize = true;
    }
    if (!resize) {
        int col = -1;
        int row = -1;
        MouseToCell(pos.x(), pos.y(), col, row);
        if (row == 0 && col >= 0 && col < columns && col < items_.Count()) {
            bool changed = false;
            if (col != items_.SortIndex()) {
                TVYKHeaderItem& item = items_.Items(col);
                if (item.AllowDownState()) {
                    item.setDown(true);
                    changed = true;
                }
            } else {
                items_.setDescending(!items_.Descending());
                changed = true;
            }
            if (changed && OnchangeKindOfSort)
                OnchangeKindOfSort(this);
        }
    } else {
        const int w = width();
        for (int i = 0; i < columns; ++i)
            if (ColWidths(i) >= w - 1)
                setColWidths(i, w - 5);
        int others = 0;
        std::vector<int> widths;
        for (int i = 0; i < columns - 1; ++i) {
            others += ColWidths(i);
            widths.push_back(ColWidths(i));
        }
        setColWidths(columns - 1, w - others);
        if (viewport()->width() > 0)
            columnWidth_ = packColumnWidths(widths, viewport()->width());
        items_.BeginUpdate();
        for (int i = 0; i < columns && i < items_.Count(); ++i)
            items_.Items(i).setWidth(ColWidths(i));
        items_.EndUpdate();
        if (OnResizeHeaders)
            OnResizeHeaders(this);
    }
    viewport()->update();
}

} // namespace wux::controls
