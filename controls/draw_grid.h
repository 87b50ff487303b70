// DrawGrid: the owner-drawn cell grid every list of the program is built on (browser panels, search
// results, column headers, tool grids). It keeps the grid semantics of the class library the program
// was designed on, which QTableView does not give:
//  - ColCount/RowCount (at least 1), FixedCols/FixedRows, per-column widths and per-row heights with
//    defaults, grid lines of GridLineWidth drawn after the cells they follow;
//  - TopRow/LeftCol count in cells (the scroll bars scroll whole cells), Row/Col the current cell,
//    an anchor for range selection, Selection;
//  - every move of the current cell asks OnSelectCell first, with the requested cell; a veto leaves
//    the current cell where it was (the owner may record the requested cell in the handler);
//  - the keyboard navigation of the program's string grid (gridKeyMove below) and the left-button
//    cell moves happen before OnKeyDown / OnMouseDown are called;
//  - the wheel moves the current row unless OnMouseWheel handles it.
// Events are single handlers (std::function), called on the GUI thread.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QRect>
#include <QString>

#include <functional>
#include <map>
#include <vector>

class QPainter;

namespace wux::controls {

// Grid options.
enum GridOption : unsigned
{
    goFixedVertLine = 1u << 0,
    goFixedHorzLine = 1u << 1,
    goVertLine = 1u << 2,
    goHorzLine = 1u << 3,
    goRangeSelect = 1u << 4,
    goDrawFocusSelected = 1u << 5,
    goRowSizing = 1u << 6,
    goColSizing = 1u << 7,
    goEditing = 1u << 10,
    goTabs = 1u << 11,
    goRowSelect = 1u << 12,
    goThumbTracking = 1u << 14,
};
using GridOptions = unsigned;

// State of a cell handed to the cell painter.
enum GridDrawStateFlag : unsigned
{
    gdSelected = 1u << 0,
    gdFocused = 1u << 1,
    gdFixed = 1u << 2,
};
using GridDrawState = unsigned;

enum class ScrollStyle
{
    ssNone,
    ssHorizontal,
    ssVertical,
    ssBoth
};

// A range of cells, inclusive on every side.
struct GridRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const GridRect&, const GridRect&) = default;
};

// What the key navigation needs to know about a grid.
struct GridNavState
{
    int colCount = 1;
    int rowCount = 1;
    int fixedCols = 0;
    int fixedRows = 0;
    int col = 0;
    int row = 0;
    int leftCol = 0;
    int topRow = 0;
    int lastFullVisibleRow = 0; // the last row fully inside the client area (at least topRow)
    int maxLeftCol = 0;         // the largest left column that still fills the page
    int maxTopRow = 0;          // the largest top row that still fills the page
    bool rowSelect = false;     // whole rows are selected
    bool rightToLeft = false;
};

// Where a key takes the grid: the new top-left and current cell, and whether F2 asked for the
// cell editor. Values equal to the state's mean "not moved".
struct GridNavMove
{
    int leftCol = 0;
    int topRow = 0;
    int col = 0;
    int row = 0;
    bool editor = false;
    friend bool operator==(const GridNavMove&, const GridNavMove&) = default;
};

// The rows a Page Up / Page Down moves the current row and the top row: PageHeight + 1, PageHeight
// being the last fully visible row minus the top row, at least 1.
int gridPageStep(int lastFullVisibleRow, int topRow);

// The string grid's key navigation (Qt key codes): Up/Down a row, Left/Right a column (a row with
// whole-row selection; mirrored right-to-left), Page Up/Down a page step of both the current row and
// the top row, Home/End the first non-fixed / last column (row with whole-row selection), F2 the
// editor. Control combinations and Tab are not navigated. The top-left is clamped to
// [fixed .. max top-left], the current cell to [fixed .. count - 1].
GridNavMove gridKeyMove(const GridNavState& state, int key, Qt::KeyboardModifiers modifiers);

class DrawGrid : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE setTag)
public:
    explicit DrawGrid(QWidget* parent = nullptr);
    ~DrawGrid() override;

    // Sizes. Counts below 1 become 1; fixed counts are kept below the counts.
    int ColCount() const { return colCount_; }
    void setColCount(int value);
    int RowCount() const { return rowCount_; }
    void setRowCount(int value);
    // A fixed count must leave one non-fixed column/row: std::out_of_range otherwise.
    int FixedCols() const { return fixedCols_; }
    void setFixedCols(int value);
    int FixedRows() const { return fixedRows_; }
    void setFixedRows(int value);
    int DefaultColWidth() const { return defaultColWidth_; }
    void setDefaultColWidth(int value); // resets every column width
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void setDefaultRowHeight(int value); // resets every row height
    // Width of a column / height of a row; an index outside the counts throws std::out_of_range.
    int ColWidths(int index) const;
    void setColWidths(int index, int value);
    int RowHeights(int index) const;
    void setRowHeights(int index, int value);
    int GridLineWidth() const { return gridLineWidth_; }
    void setGridLineWidth(int value);

    GridOptions Options() const { return options_; }
    void setOptions(GridOptions value);
    ScrollStyle ScrollBars() const { return scrollBars_; }
    void setScrollBars(ScrollStyle value);
    // True: the grid fills each cell (fixed colour, highlight or Color) before OnDrawCell.
    bool DefaultDrawing() const { return defaultDrawing_; }
    void setDefaultDrawing(bool value);
    QColor Color() const;
    void setColor(const QColor& value);
    QColor FixedColor() const;
    void setFixedColor(const QColor& value);
    int Tag() const { return tag_; }
    void setTag(int value) { tag_ = value; }
    bool EditorMode() const { return editorMode_; }
    void setEditorMode(bool value);

    // Scroll position in cells.
    int TopRow() const { return topRow_; }
    void setTopRow(int value);
    int LeftCol() const { return leftCol_; }
    void setLeftCol(int value);
    // The current cell. Writing asks OnSelectCell (FocusCell with the anchor moved); a value outside
    // the counts throws std::out_of_range.
    int Row() const { return row_; }
    void setRow(int value);
    int Col() const { return col_; }
    void setCol(int value);
    GridRect Selection() const;
    // Rows / columns wholly visible below / right of the fixed ones.
    int VisibleRowCount() const;
    int VisibleColCount() const;
    int lastFullVisibleRow() const;
    int lastFullVisibleCol() const;
    int maxTopRow() const;
    int maxLeftCol() const;

    // Makes (ACol, ARow) the current cell when OnSelectCell accepts it, moving the selection anchor
    // there when MoveAnchor (or without range selection), and scrolls it into view. A cell outside
    // the counts throws std::out_of_range ("Grid index out of range").
    void FocusCell(int ACol, int ARow, bool MoveAnchor = true);
    // The cell under a viewport point; -1, -1 when there is none.
    void MouseToCell(int X, int Y, int& ACol, int& ARow) const;
    // A cell's rectangle in viewport coordinates; empty when it is not visible.
    QRect CellRect(int ACol, int ARow) const;
    void InvalidateCell(int ACol, int ARow);
    // The whole text of a cell whose painter elided it or showed a shorter form of it (the cell's
    // tooltip), "" when the cell shows its text whole. Painters note it as they paint; each paint of a
    // cell forgets the earlier note.
    QString ElidedCellText(int ACol, int ARow) const;
    void noteElidedCellText(int ACol, int ARow, const QString& wholeText) const;
    void InvalidateRow(int ARow);
    void InvalidateCol(int ACol);
    void InvalidateGrid();

    // The grid's key handling for one key down: navigation (gridKeyMove) first, then OnKeyDown.
    // Key 0 means handled. Owners call it to "send the grid a key".
    virtual void KeyDown(int& key, Qt::KeyboardModifiers modifiers);
    GridNavState navState() const;

    // Events.
    std::function<void(QPainter& canvas, int ACol, int ARow, const QRect& rect, GridDrawState state)>
        OnDrawCell;
    std::function<void(int ACol, int ARow, bool& CanSelect)> OnSelectCell;
    std::function<void()> OnTopLeftChanged;
    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void(int& key, Qt::KeyboardModifiers modifiers)> OnKeyDown;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool doubleClick, int X,
                       int Y)>
        OnMouseDown;
    std::function<void(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int X, int Y)> OnMouseMove;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int X, int Y)> OnMouseUp;
    // Returns true when it handled the wheel; otherwise the current row moves by one.
    std::function<bool(int delta, Qt::KeyboardModifiers modifiers, const QPoint& pos)> OnMouseWheel;
    std::function<void()> OnColWidthsChanged;
    // The title an owner paints into column ACol itself (OnDrawCell): its text and the width it
    // needs (margins and glyph included); an empty text for none. Read by the layout checks
    // (control_check.h), which compare the width with the column's.
    struct OwnerTitle
    {
        QString text;
        int width = 0;
    };
    std::function<OwnerTitle(int ACol)> OnOwnerTitle;

protected:
    // Paints one cell: with DefaultDrawing the background, then drawCellContent, then OnDrawCell.
    virtual void drawCell(QPainter& painter, int ACol, int ARow, const QRect& rect, GridDrawState state);
    // Default text of a cell painted with DefaultDrawing (none in a draw grid).
    virtual void drawCellContent(QPainter& painter, int ACol, int ARow, const QRect& rect,
                                 GridDrawState state);
    virtual bool selectCell(int ACol, int ARow);
    virtual bool canGridAcceptKey(int key, Qt::KeyboardModifiers modifiers) const;
    // Applies a navigation result: top-left and current cell where they changed.
    void applyNavMove(const GridNavMove& move, Qt::KeyboardModifiers modifiers);
    void moveTopLeft(int left, int top);
    void moveCurrent(int ACol, int ARow, bool moveAnchor, bool show);
    void clampInView(int ACol, int ARow);
    virtual void topLeftChanged();
    virtual void colWidthsChanged();
    // Hook run after a mouse release's own handling, before OnMouseUp.
    virtual void afterMouseUp(Qt::MouseButton button, const QPoint& pos);

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

    int horzLineWidth() const;
    int vertLineWidth() const;
    void updateScrollRange();
    // The column whose right border is under x in a fixed row (column sizing), -1 when none.
    int sizingColumnAt(const QPoint& pos) const;
    int columnLeft(int ACol) const; // viewport x of a visible column, -1 when not visible
    int rowTop(int ARow) const;     // viewport y of a visible row, -1 when not visible

private:
    void changeSize(int newColCount, int newRowCount);
    void initialize();
    void checkCell(int ACol, int ARow) const;
    int lastFullVisible(bool vertical) const;
    int maxFirstCellFor(bool vertical, int lastCell) const;

    int colCount_ = 5;
    int rowCount_ = 5;
    int fixedCols_ = 1;
    int fixedRows_ = 1;
    int defaultColWidth_ = 64;
    int defaultRowHeight_ = 24;
    std::vector<int> colWidths_;
    std::vector<int> rowHeights_;
    int gridLineWidth_ = 1;
    GridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    ScrollStyle scrollBars_ = ScrollStyle::ssBoth;
    bool defaultDrawing_ = true;
    QColor color_;
    QColor fixedColor_;
    int tag_ = 0;
    bool editorMode_ = false;
    int topRow_ = 1;
    int leftCol_ = 1;
    int row_ = 1;
    int col_ = 1;
    int anchorRow_ = 1;
    int anchorCol_ = 1;
    bool updatingScroll_ = false;
    bool selecting_ = false;
    int sizingCol_ = -1;
    int sizingStartX_ = 0;
    int sizingStartWidth_ = 0;
    mutable std::map<std::pair<int, int>, QString> elidedCells_;
};

} // namespace wux::controls
