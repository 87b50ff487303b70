#include "controls/draw_grid.h"

#include "controls/system_colors.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <stdexcept>

namespace wux::controls {

namespace {

constexpr int kSizingZone = 3;

[[noreturn]] void indexOutOfRange()
{
    throw std::out_of_range("Grid index out of range");
}

} // namespace

int gridPageStep(int lastFullVisibleRow, int topRow)
{
    return std::max(1, lastFullVisibleRow - topRow) + 1;
}

GridNavMove gridKeyMove(const GridNavState& s, int key, Qt::KeyboardModifiers modifiers)
{
    GridNavMove m{s.leftCol, s.topRow, s.col, s.row, false};
    const int factor = s.rightToLeft ? -1 : 1;
    if (!(modifiers & Qt::ControlModifier)) {
        const int page = gridPageStep(s.lastFullVisibleRow, s.topRow);
        switch (key) {
        case Qt::Key_Up:
            m.row -= 1;
            break;
        case Qt::Key_Down:
            m.row += 1;
            break;
        case Qt::Key_Left:
            if (s.rowSelect)
                m.row -= factor;
            else
                m.col -= factor;
            break;
        case Qt::Key_Right:
            if (s.rowSelect)
                m.row += factor;
            else
                m.col += factor;
            break;
        case Qt::Key_PageUp:
            m.row -= page;
            m.topRow -= page;
            break;
        case Qt::Key_PageDown:
            m.row += page;
            m.topRow += page;
            break;
        case Qt::Key_Home:
            if (s.rowSelect)
                m.row = s.fixedRows;
            else
                m.col = s.fixedCols;
            break;
        case Qt::Key_End:
            if (s.rowSelect)
                m.row = s.rowCount - 1;
            else
                m.col = s.colCount - 1;
            break;
        case Qt::Key_F2:
            m.editor = true;
            break;
        default:
            break;
        }
    }
    m.leftCol = std::clamp(m.leftCol, s.fixedCols, std::max(s.fixedCols, s.maxLeftCol));
    m.topRow = std::clamp(m.topRow, s.fixedRows, std::max(s.fixedRows, s.maxTopRow));
    m.col = std::clamp(m.col, s.fixedCols, std::max(s.fixedCols, s.colCount - 1));
    m.row = std::clamp(m.row, s.fixedRows, std::max(s.fixedRows, s.rowCount - 1));
    return m;
}

DrawGrid::DrawGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    colWidths_.assign(colCount_, defaultColWidth_);
    rowHeights_.assign(rowCount_, defaultRowHeight_);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    setScrollBars(scrollBars_);
    updateScrollRange();
}

DrawGrid::~DrawGrid() = default;

// ---- sizes ------------------------------------------------------------------------------------

void DrawGrid::changeSize(int newColCount, int newRowCount)
{
    colCount_ = newColCount;
    rowCount_ = newRowCount;
    colWidths_.resize(colCount_, defaultColWidth_);
    rowHeights_.resize(rowCount_, defaultRowHeight_);
    // The current cell, the anchor and the top-left stay inside the grid.
    col_ = std::clamp(col_, fixedCols_, colCount_ - 1);
    row_ = std::clamp(row_, fixedRows_, rowCount_ - 1);
    anchorCol_ = std::clamp(anchorCol_, fixedCols_, colCount_ - 1);
    anchorRow_ = std::clamp(anchorRow_, fixedRows_, rowCount_ - 1);
    const int oldTop = topRow_;
    const int oldLeft = leftCol_;
    topRow_ = std::clamp(topRow_, fixedRows_, std::max(fixedRows_, maxTopRow()));
    leftCol_ = std::clamp(leftCol_, fixedCols_, std::max(fixedCols_, maxLeftCol()));
    updateScrollRange();
    if (oldTop != topRow_ || oldLeft != leftCol_)
        topLeftChanged();
    viewport()->update();
}

void DrawGrid::setColCount(int value)
{
    value = std::max(1, value);
    if (value == colCount_)
        return;
    if (value <= fixedCols_)
        fixedCols_ = value - 1;
    changeSize(value, rowCount_);
}

void DrawGrid::setRowCount(int value)
{
    value = std::max(1, value);
    if (value == rowCount_)
        return;
    if (value <= fixedRows_)
        fixedRows_ = value - 1;
    changeSize(colCount_, value);
}

void DrawGrid::setFixedCols(int value)
{
    if (value < 0 || value >= colCount_)
        throw std::out_of_range("Fixed column count must be less than column count");
    fixedCols_ = value;
    initialize();
}

void DrawGrid::setFixedRows(int value)
{
    if (value < 0 || value >= rowCount_)
        throw std::out_of_range("Fixed row count must be less than row count");
    fixedRows_ = value;
    initialize();
}

void DrawGrid::initialize()
{
    // A new fixed count puts the top-left and the current cell at the first non-fixed cell.
    const int oldTop = topRow_;
    const int oldLeft = leftCol_;
    leftCol_ = fixedCols_;
    topRow_ = fixedRows_;
    col_ = anchorCol_ = fixedCols_;
    row_ = anchorRow_ = fixedRows_;
    updateScrollRange();
    viewport()->update();
    if (oldTop != topRow_ || oldLeft != leftCol_)
        topLeftChanged();
}

void DrawGrid::setDefaultColWidth(int value)
{
    defaultColWidth_ = std::max(0, value);
    std::fill(colWidths_.begin(), colWidths_.end(), defaultColWidth_);
    updateScrollRange();
    viewport()->update();
    colWidthsChanged();
}

void DrawGrid::setDefaultRowHeight(int value)
{
    defaultRowHeight_ = std::max(0, value);
    std::fill(rowHeights_.begin(), rowHeights_.end(), defaultRowHeight_);
    updateScrollRange();
    viewport()->update();
}

int DrawGrid::ColWidths(int index) const
{
    if (index < 0 || index >= colCount_)
        indexOutOfRange();
    return colWidths_[index];
}

void DrawGrid::setColWidths(int index, int value)
{
    if (index < 0 || index >= colCount_)
        indexOutOfRange();
    value = std::max(0, value);
    if (colWidths_[index] == value)
        return;
    colWidths_[index] = value;
    updateScrollRange();
    viewport()->update();
    colWidthsChanged();
}

int DrawGrid::RowHeights(int index) const
{
    if (index < 0 || index >= rowCount_)
        indexOutOfRange();
    return rowHeights_[index];
}

void DrawGrid::setRowHeights(int index, int value)
{
    if (index < 0 || index >= rowCount_)
        indexOutOfRange();
    rowHeights_[index] = std::max(0, value);
    updateScrollRange();
    viewport()->update();
}

void DrawGrid::setGridLineWidth(int value)
{
    gridLineWidth_ = std::max(0, value);
    updateScrollRange();
    viewport()->update();
}

void DrawGrid::setOptions(GridOptions value)
{
    options_ = value;
    if (options_ & goRowSelect)
        anchorCol_ = col_;
    if (!(options_ & goEditing))
        editorMode_ = false;
    updateScrollRange();
    viewport()->update();
}

void DrawGrid::setScrollBars(ScrollStyle value)
{
    scrollBars_ = value;
    const bool horz = value == ScrollStyle::ssHorizontal || value == ScrollStyle::ssBoth;
    const bool vert = value == ScrollStyle::ssVertical || value == ScrollStyle::ssBoth;
    setHorizontalScrollBarPolicy(horz ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(vert ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    updateScrollRange();
}

void DrawGrid::setDefaultDrawing(bool value)
{
    defaultDrawing_ = value;
    viewport()->update();
}

QColor DrawGrid::Color() const
{
    return color_.isValid() ? color_ : sysColor(SysColor::Window, palette());
}

void DrawGrid::setColor(const QColor& value)
{
    color_ = value;
    viewport()->update();
}

QColor DrawGrid::FixedColor() const
{
    return fixedColor_.isValid() ? fixedColor_ : sysColor(SysColor::BtnFace, palette());
}

void DrawGrid::setFixedColor(const QColor& value)
{
    fixedColor_ = value;
    viewport()->update();
}

void DrawGrid::setEditorMode(bool value)
{
    editorMode_ = value && (options_ & goEditing);
}

// ---- geometry ---------------------------------------------------------------------------------

int DrawGrid::horzLineWidth() const
{
    return (options_ & (goFixedVertLine | goVertLine)) ? gridLineWidth_ : 0;
}

int DrawGrid::vertLineWidth() const
{
    return (options_ & (goFixedHorzLine | goHorzLine)) ? gridLineWidth_ : 0;
}

int DrawGrid::lastFullVisible(bool vertical) const
{
    const auto& extents = vertical ? rowHeights_ : colWidths_;
    const int fixedCount = vertical ? fixedRows_ : fixedCols_;
    const int first = vertical ? topRow_ : leftCol_;
    const int count = vertical ? rowCount_ : colCount_;
    const int lw = vertical ? vertLineWidth() : horzLineWidth();
    const int extent = vertical ? viewport()->height() : viewport()->width();
    int boundary = 0;
    for (int i = 0; i < fixedCount; ++i)
        boundary += extents[i] + lw;
    int last = first;
    for (int i = first; i < count; ++i) {
        boundary += extents[i] + lw;
        if (boundary > extent + lw)
            break;
        last = i;
    }
    return last;
}

int DrawGrid::maxFirstCellFor(bool vertical, int lastCell) const
{
    const auto& extents = vertical ? rowHeights_ : colWidths_;
    const int fixedCount = vertical ? fixedRows_ : fixedCols_;
    const int lw = vertical ? vertLineWidth() : horzLineWidth();
    const int extent = vertical ? viewport()->height() : viewport()->width();
    int fixedBoundary = 0;
    for (int i = 0; i < fixedCount; ++i)
        fixedBoundary += extents[i] + lw;
    int result = lastCell;
    int line = extent + lw;
    for (int i = lastCell; i >= fixedCount; --i) {
        line -= extents[i] + lw;
        if (line < fixedBoundary)
            break;
        result = i;
    }
    return std::max(result, fixedCount);
}

int DrawGrid::lastFullVisibleRow() const
{
    return lastFullVisible(true);
}

int DrawGrid::lastFullVisibleCol() const
{
    return lastFullVisible(false);
}

int DrawGrid::maxTopRow() const
{
    return maxFirstCellFor(true, rowCount_ - 1);
}

int DrawGrid::maxLeftCol() const
{
    return maxFirstCellFor(false, colCount_ - 1);
}

int DrawGrid::VisibleRowCount() const
{
    return lastFullVisibleRow() - topRow_ + 1;
}

int DrawGrid::VisibleColCount() const
{
    return lastFullVisibleCol() - leftCol_ + 1;
}

int DrawGrid::columnLeft(int ACol) const
{
    const int lw = horzLineWidth();
    int x = 0;
    if (ACol < fixedCols_) {
        for (int i = 0; i < ACol; ++i)
            x += colWidths_[i] + lw;
        return x;
    }
    if (ACol < leftCol_)
        return -1;
    for (int i = 0; i < fixedCols_; ++i)
        x += colWidths_[i] + lw;
    for (int i = leftCol_; i < ACol; ++i) {
        x += colWidths_[i] + lw;
        if (x >= viewport()->width())
            return -1;
    }
    return x < viewport()->width() ? x : -1;
}

int DrawGrid::rowTop(int ARow) const
{
    const int lw = vertLineWidth();
    int y = 0;
    if (ARow < fixedRows_) {
        for (int i = 0; i < ARow; ++i)
            y += rowHeights_[i] + lw;
        return y;
    }
    if (ARow < topRow_)
        return -1;
    for (int i = 0; i < fixedRows_; ++i)
        y += rowHeights_[i] + lw;
    for (int i = topRow_; i < ARow; ++i) {
        y += rowHeights_[i] + lw;
        if (y >= viewport()->height())
            return -1;
    }
    return y < viewport()->height() ? y : -1;
}

QRect DrawGrid::CellRect(int ACol, int ARow) const
{
    if (ACol < 0 || ARow < 0 || ACol >= colCount_ || ARow >= rowCount_)
        return {};
    const int x = columnLeft(ACol);
    const int y = rowTop(ARow);
    if (x < 0 || y < 0)
        return {};
    return QRect(x, y, colWidths_[ACol], rowHeights_[ARow]);
}

void DrawGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) const
{
    ACol = -1;
    ARow = -1;
    const auto find = [this](bool vertical, int pos) {
        const auto& extents = vertical ? rowHeights_ : colWidths_;
        const int fixedCount = vertical ? fixedRows_ : fixedCols_;
        const int first = vertical ? topRow_ : leftCol_;
        const int count = vertical ? rowCount_ : colCount_;
        const int lw = vertical ? vertLineWidth() : horzLineWidth();
        const int extent = vertical ? viewport()->height() : viewport()->width();
        if (pos < 0 || pos >= extent)
            return -1;
        int start = 0;
        for (int i = 0; i < fixedCount; ++i) {
            const int end = start + extents[i] + lw;
            if (pos < end)
                return i;
            start = end;
        }
        for (int i = first; i < count; ++i) {
            const int end = start + extents[i] + lw;
            if (pos < end)
                return i;
            start = end;
            if (start >= extent)
                break;
        }
        return -1;
    };
    const int c = find(false, X);
    const int r = find(true, Y);
    if (c >= 0 && r >= 0) {
        ACol = c;
        ARow = r;
    }
}

GridRect DrawGrid::Selection() const
{
    GridRect r;
    r.left = std::min(col_, anchorCol_);
    r.right = std::max(col_, anchorCol_);
    r.top = std::min(row_, anchorRow_);
    r.bottom = std::max(row_, anchorRow_);
    if (options_ & goRowSelect) {
        r.left = fixedCols_;
        r.right = colCount_ - 1;
    }
    return r;
}

void DrawGrid::InvalidateCell(int ACol, int ARow)
{
    const QRect r = CellRect(ACol, ARow);
    if (!r.isEmpty())
        viewport()->update(r.adjusted(0, 0, horzLineWidth(), vertLineWidth()));
}

void DrawGrid::InvalidateRow(int ARow)
{
    const int y = (ARow >= 0 && ARow < rowCount_) ? rowTop(ARow) : -1;
    if (y >= 0)
        viewport()->update(0, y, viewport()->width(), rowHeights_[ARow] + vertLineWidth());
}

void DrawGrid::InvalidateCol(int ACol)
{
    const int x = (ACol >= 0 && ACol < colCount_) ? columnLeft(ACol) : -1;
    if (x >= 0)
        viewport()->update(x, 0, colWidths_[ACol] + horzLineWidth(), viewport()->height());
}

void DrawGrid::InvalidateGrid()
{
    viewport()->update();
}

// ---- scrolling and the current cell -----------------------------------------------------------

void DrawGrid::updateScrollRange()
{
    updatingScroll_ = true;
    QScrollBar* vbar = verticalScrollBar();
    QScrollBar* hbar = horizontalScrollBar();
    const int maxTop = std::max(fixedRows_, maxTopRow());
    const int maxLeft = std::max(fixedCols_, maxLeftCol());
    vbar->setRange(fixedRows_, maxTop);
    vbar->setPageStep(std::max(1, lastFullVisibleRow() - topRow_ + 1));
    vbar->setValue(std::clamp(topRow_, fixedRows_, maxTop));
    hbar->setRange(fixedCols_, maxLeft);
    hbar->setPageStep(std::max(1, lastFullVisibleCol() - leftCol_ + 1));
    hbar->setValue(std::clamp(leftCol_, fixedCols_, maxLeft));
    updatingScroll_ = false;
}

void DrawGrid::scrollContentsBy(int dx, int dy)
{
    if (updatingScroll_)
        return;
    int left = leftCol_;
    int top = topRow_;
    if (dx != 0)
        left = horizontalScrollBar()->value();
    if (dy != 0)
        top = verticalScrollBar()->value();
    moveTopLeft(left, top);
}

void DrawGrid::moveTopLeft(int left, int top)
{
    if (left == leftCol_ && top == topRow_)
        return;
    leftCol_ = left;
    topRow_ = top;
    updateScrollRange();
    viewport()->update();
    topLeftChanged();
}

void DrawGrid::topLeftChanged()
{
    if (OnTopLeftChanged)
        OnTopLeftChanged();
}

void DrawGrid::colWidthsChanged()
{
    if (OnColWidthsChanged)
        OnColWidthsChanged();
}

void DrawGrid::setTopRow(int value)
{
    value = std::clamp(value, fixedRows_, rowCount_ - 1);
    if (value != topRow_)
        moveTopLeft(leftCol_, value);
}

void DrawGrid::setLeftCol(int value)
{
    value = std::clamp(value, fixedCols_, colCount_ - 1);
    if (value != leftCol_)
        moveTopLeft(value, topRow_);
}

void DrawGrid::checkCell(int ACol, int ARow) const
{
    if (ACol < 0 || ARow < 0 || ACol >= colCount_ || ARow >= rowCount_)
        indexOutOfRange();
}

void DrawGrid::setRow(int value)
{
    if (value != row_)
        FocusCell(col_, value, true);
}

void DrawGrid::setCol(int value)
{
    if (value != col_)
        FocusCell(value, row_, true);
}

void DrawGrid::FocusCell(int ACol, int ARow, bool MoveAnchor)
{
    moveCurrent(ACol, ARow, MoveAnchor, true);
}

bool DrawGrid::selectCell(int ACol, int ARow)
{
    bool canSelect = true;
    if (OnSelectCell)
        OnSelectCell(ACol, ARow, canSelect);
    return canSelect;
}

void DrawGrid::moveCurrent(int ACol, int ARow, bool moveAnchor, bool show)
{
    checkCell(ACol, ARow);
    if (!selectCell(ACol, ARow))
        return;
    // The handler may have changed the grid's size.
    if (ACol >= colCount_ || ARow >= rowCount_)
        return;
    col_ = ACol;
    row_ = ARow;
    if (moveAnchor || !(options_ & goRangeSelect)) {
        anchorCol_ = col_;
        anchorRow_ = row_;
    }
    if (options_ & goRowSelect)
        anchorCol_ = col_;
    if (show)
        clampInView(col_, row_);
    viewport()->update();
    if (OnClick)
        OnClick();
}

void DrawGrid::clampInView(int ACol, int ARow)
{
    const int lastRow = lastFullVisibleRow();
    const int lastCol = lastFullVisibleCol();
    if (ACol > lastCol || ARow > lastRow || ACol < leftCol_ || ARow < topRow_) {
        int left = leftCol_;
        int top = topRow_;
        if (ACol < leftCol_)
            left = ACol;
        else if (ACol > lastCol)
            left = maxFirstCellFor(false, ACol);
        if (ARow < topRow_)
            top = ARow;
        else if (ARow > lastRow)
            top = maxFirstCellFor(true, ARow);
        left = std::max(left, fixedCols_);
        top = std::max(top, fixedRows_);
        moveTopLeft(left, top);
    }
}

// ---- keyboard ---------------------------------------------------------------------------------

GridNavState DrawGrid::navState() const
{
    GridNavState s;
    s.colCount = colCount_;
    s.rowCount = rowCount_;
    s.fixedCols = fixedCols_;
    s.fixedRows = fixedRows_;
    s.col = col_;
    s.row = row_;
    s.leftCol = leftCol_;
    s.topRow = topRow_;
    s.lastFullVisibleRow = lastFullVisibleRow();
    s.maxLeftCol = maxLeftCol();
    s.maxTopRow = maxTopRow();
    s.rowSelect = options_ & goRowSelect;
    s.rightToLeft = layoutDirection() == Qt::RightToLeft;
    return s;
}

bool DrawGrid::canGridAcceptKey(int, Qt::KeyboardModifiers) const
{
    return true;
}

void DrawGrid::applyNavMove(const GridNavMove& move, Qt::KeyboardModifiers modifiers)
{
    if (move.editor)
        setEditorMode(true);
    if (move.leftCol != leftCol_ || move.topRow != topRow_)
        moveTopLeft(move.leftCol, move.topRow);
    if (move.col != col_ || move.row != row_)
        FocusCell(move.col, move.row, !(modifiers & Qt::ShiftModifier));
}

void DrawGrid::KeyDown(int& key, Qt::KeyboardModifiers modifiers)
{
    if (!canGridAcceptKey(key, modifiers))
        key = 0;
    applyNavMove(gridKeyMove(navState(), key, modifiers), modifiers);
    if (OnKeyDown)
        OnKeyDown(key, modifiers);
}

namespace {

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_F2:
        return true;
    default:
        return false;
    }
}

} // namespace

void DrawGrid::keyPressEvent(QKeyEvent* event)
{
    int key = event->key();
    const bool navigation = isNavigationKey(key) && !(event->modifiers() & Qt::ControlModifier);
    KeyDown(key, event->modifiers());
    if (key == 0 || navigation)
        event->accept();
    else
        event->ignore(); // not the grid's: the window sees it (Enter, Escape of dialogs)
}

// ---- mouse ------------------------------------------------------------------------------------

int DrawGrid::sizingColumnAt(const QPoint& pos) const
{
    if (!(options_ & goColSizing) || fixedRows_ == 0)
        return -1;
    int fixedHeight = 0;
    for (int i = 0; i < fixedRows_; ++i)
        fixedHeight += rowHeights_[i] + vertLineWidth();
    if (pos.y() < 0 || pos.y() >= fixedHeight)
        return -1;
    const int lw = horzLineWidth();
    int x = 0;
    const auto check = [&](int i) {
        x += colWidths_[i];
        const int line = x + lw / 2;
        x += lw;
        return std::abs(pos.x() - line) <= kSizingZone;
    };
    int found = -1;
    for (int i = 0; i < fixedCols_; ++i)
        if (check(i))
            found = i;
    for (int i = leftCol_; i < colCount_ && x < viewport()->width() + kSizingZone; ++i)
        if (check(i) && i >= fixedCols_)
            found = i;
    return found;
}

void DrawGrid::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const int sizing = sizingColumnAt(pos);
        if (sizing >= 0) {
            sizingCol_ = sizing;
            sizingStartX_ = pos.x();
            sizingStartWidth_ = colWidths_[sizing];
        } else {
            int c = -1;
            int r = -1;
            MouseToCell(pos.x(), pos.y(), c, r);
            if (c >= fixedCols_ && r >= fixedRows_) {
                selecting_ = true;
                const bool extend = (event->modifiers() & Qt::ShiftModifier) && (options_ & goRangeSelect);
                moveCurrent(c, r, !extend, true);
            }
        }
    }
    if (OnMouseDown)
        OnMouseDown(event->button(), event->modifiers(), false, pos.x(), pos.y());
    event->accept();
}

void DrawGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && OnDblClick)
        OnDblClick();
    if (OnMouseDown)
        OnMouseDown(event->button(), event->modifiers(), true, pos.x(), pos.y());
    event->accept();
}

void DrawGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (sizingCol_ >= 0) {
        const int width = std::max(0, sizingStartWidth_ + pos.x() - sizingStartX_);
        setColWidths(sizingCol_, width);
    } else if (selecting_ && (event->buttons() & Qt::LeftButton)) {
        int c = -1;
        int r = -1;
        MouseToCell(pos.x(), pos.y(), c, r);
        if (c >= fixedCols_ && r >= fixedRows_ && (c != col_ || r != row_))
            moveCurrent(c, r, !(options_ & goRangeSelect), true);
    } else if (event->buttons() == Qt::NoButton) {
        viewport()->setCursor(sizingColumnAt(pos) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
    }
    if (OnMouseMove)
        OnMouseMove(event->buttons(), event->modifiers(), pos.x(), pos.y());
}

void DrawGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (sizingCol_ >= 0) {
            const int width = std::max(0, sizingStartWidth_ + pos.x() - sizingStartX_);
            setColWidths(sizingCol_, width);
            sizingCol_ = -1;
        }
        if (selecting_) {
            selecting_ = false;
            if (OnClick)
                OnClick();
        }
    }
    afterMouseUp(event->button(), pos);
    if (OnMouseUp)
        OnMouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
}

void DrawGrid::afterMouseUp(Qt::MouseButton, const QPoint&) {}

void DrawGrid::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    event->accept();
    if (delta == 0)
        return;
    if (OnMouseWheel && OnMouseWheel(delta, event->modifiers(), event->position().toPoint()))
        return;
    if (delta < 0) {
        if (row_ < rowCount_ - 1)
            setRow(row_ + 1);
    } else if (row_ > fixedRows_) {
        setRow(row_ - 1);
    }
}

void DrawGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    // A larger client area shows the last cells without empty space after them.
    const int top = std::clamp(topRow_, fixedRows_, std::max(fixedRows_, maxTopRow()));
    const int left = std::clamp(leftCol_, fixedCols_, std::max(fixedCols_, maxLeftCol()));
    if (top != topRow_ || left != leftCol_)
        moveTopLeft(left, top);
    else
        updateScrollRange();
}

void DrawGrid::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::LayoutDirectionChange || event->type() == QEvent::FontChange)
        viewport()->update();
}

// ---- painting ---------------------------------------------------------------------------------

void DrawGrid::drawCellContent(QPainter&, int, int, const QRect&, GridDrawState) {}

QString DrawGrid::ElidedCellText(int ACol, int ARow) const
{
    const auto found = elidedCells_.find({ACol, ARow});
    return found == elidedCells_.end() ? QString() : found->second;
}

void DrawGrid::noteElidedCellText(int ACol, int ARow, const QString& wholeText) const
{
    if (wholeText.isEmpty())
        elidedCells_.erase({ACol, ARow});
    else
        elidedCells_[{ACol, ARow}] = wholeText;
}

bool DrawGrid::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // The whole text of an elided cell under the mouse.
        const auto* help = static_cast<QHelpEvent*>(event);
        int col = -1;
        int row = -1;
        MouseToCell(help->pos().x(), help->pos().y(), col, row);
        const QString whole = col >= 0 && row >= 0 ? ElidedCellText(col, row) : QString();
        if (whole.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), whole, viewport(), CellRect(col, row));
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void DrawGrid::drawCell(QPainter& painter, int ACol, int ARow, const QRect& rect, GridDrawState state)
{
    elidedCells_.erase({ACol, ARow});
    if (defaultDrawing_) {
        QColor brush = Color();
        QColor pen = sysColor(SysColor::WindowText, palette());
        if (state & gdFixed) {
            brush = FixedColor();
            pen = sysColor(SysColor::BtnText, palette());
        } else if ((state & gdSelected) &&
                   (!(state & gdFocused) || (options_ & (goDrawFocusSelected | goRowSelect)))) {
            brush = sysColor(SysColor::Highlight, palette());
            pen = sysColor(SysColor::HighlightText, palette());
        }
        painter.fillRect(rect, brush);
        painter.setPen(pen);
        drawCellContent(painter, ACol, ARow, rect, state);
    }
    if (OnDrawCell) {
        painter.save();
        OnDrawCell(painter, ACol, ARow, rect, state);
        painter.restore();
    }
    if (defaultDrawing_ && (state & gdFocused) && !(options_ & goRowSelect)) {
        QPen dotted(sysColor(SysColor::WindowText, palette()), 1, Qt::DotLine);
        painter.setPen(dotted);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
}

void DrawGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.setFont(font());
    const QRect client = viewport()->rect();
    painter.fillRect(event->rect(), Color());
    const int hlw = horzLineWidth();
    const int vlw = vertLineWidth();
    const GridRect sel = Selection();
    const bool focused = hasFocus();

    // The rows and columns on screen: the fixed ones, then from the top-left on.
    std::vector<std::pair<int, int>> cols; // index, x
    std::vector<std::pair<int, int>> rows; // index, y
    int x = 0;
    for (int c = 0; c < fixedCols_ && x < client.width(); ++c) {
        cols.emplace_back(c, x);
        x += colWidths_[c] + hlw;
    }
    for (int c = leftCol_; c < colCount_ && x < client.width(); ++c) {
        cols.emplace_back(c, x);
        x += colWidths_[c] + hlw;
    }
    int y = 0;
    for (int r = 0; r < fixedRows_ && y < client.height(); ++r) {
        rows.emplace_back(r, y);
        y += rowHeights_[r] + vlw;
    }
    for (int r = topRow_; r < rowCount_ && y < client.height(); ++r) {
        rows.emplace_back(r, y);
        y += rowHeights_[r] + vlw;
    }

    for (const auto& [r, ry] : rows) {
        const int h = rowHeights_[r];
        if (ry > event->rect().bottom() || ry + h + vlw < event->rect().top())
            continue;
        for (const auto& [c, cx] : cols) {
            const int w = colWidths_[c];
            const QRect cell(cx, ry, w, h);
            if (!cell.adjusted(0, 0, hlw, vlw).intersects(event->rect()))
                continue;
            GridDrawState state = 0;
            if (c < fixedCols_ || r < fixedRows_) {
                state |= gdFixed;
            } else {
                if (focused && c == col_ && r == row_)
                    state |= gdFocused;
                if (c >= sel.left && c <= sel.right && r >= sel.top && r <= sel.bottom)
                    state |= gdSelected;
            }
            painter.save();
            painter.setClipRect(cell);
            drawCell(painter, c, r, cell, state);
            painter.restore();
        }
    }

    // Grid lines after the cells they follow.
    if (gridLineWidth_ > 0) {
        const QColor lineColor = sysColor(SysColor::BtnShadow, palette());
        for (const auto& [c, cx] : cols) {
            const bool fixedCol = c < fixedCols_;
            const int lx = cx + colWidths_[c];
            // Fixed cells take the fixed line option, the others the normal one.
            for (const auto& [r, ry] : rows) {
                const bool fixedCell = fixedCol || r < fixedRows_;
                if (fixedCell ? (options_ & goFixedVertLine) : (options_ & goVertLine))
                    painter.fillRect(lx, ry, hlw, rowHeights_[r] + vlw, lineColor);
            }
        }
        for (const auto& [r, ry] : rows) {
            const bool fixedRow = r < fixedRows_;
            const int ly = ry + rowHeights_[r];
            for (const auto& [c, cx] : cols) {
                const bool fixedCell = fixedRow || c < fixedCols_;
                if (fixedCell ? (options_ & goFixedHorzLine) : (options_ & goHorzLine))
                    painter.fillRect(cx, ly, colWidths_[c] + hlw, vlw, lineColor);
            }
        }
    }
}

} // namespace wux::controls
