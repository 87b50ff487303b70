// DrawGridCell: the shared cell painter of the program's string grids whose own drawing is off
// (batch table, run results and status). It can paint into any grid: the grid's side is given as a
// GridCellContext (gridCellContext builds it for a DrawGrid).
//  - Fixed cells: button text on the active border colour (the grid's Tag has bit 1, the grid has the
//    focus and the row is 0) or the inactive border colour; an etched edge around the cell.
//  - The grid's current row when Tag has bit 0: caption text on the active caption colour (focused)
//    or the inactive caption colours. Other cells: window text on the window colour, or the text's
//    colour mark.
//  - Colour mark: a last character below code 5 is not drawn; 1 paints red, 2 green.
//  - Alignment of non-fixed cells: 2 bits per column in AlignBits (column c: bits 2c, 2c+1): 0 left,
//    1 right at right - 8, 2 a path fitted to width - 11 (FitPathText).
//  - A left or right-aligned text wider than the room its cell leaves is drawn elided (FitCellText):
//    a number never shows with digits cut off.
#pragma once

#include "controls/draw_grid.h"

#include <QFont>
#include <QRect>
#include <QString>

class QFontMetrics;
class QPainter;

namespace wux::controls {

class TWUXStringGrid;

struct GridCellContext
{
    QFont font;
    int tag = 0;
    bool focused = false;
    int currentRow = -1;
    int defaultRowHeight = 24;
    int colWidth = 64; // the painted column's width
    const DrawGrid* owner = nullptr; // notes the whole text of a cell it elides (its tooltip)
};

// The context of a DrawGrid for a cell of column ACol.
GridCellContext gridCellContext(const DrawGrid& grid, int ACol);

// The alignment of column col: (alignBits shr (2 × col)) and 3; 0 for columns outside 0 .. 15.
int gridCellAlignment(unsigned alignBits, int col);
// Takes the colour mark off text: returns the code of its last character when that is below 5 (the
// character is removed), -1 when there is none (an empty text has none).
int takeColourMark(QString& text);

// A text as a cell shows it in width pixels: the text itself when it fits, else elided with "…" as
// mode says (at the end by default), or nothing when not even "…" fits. A value that does not fit is
// never shown cut off, where it could read as another value ("979" for "2 979").
QString FitCellText(const QFontMetrics& metrics, const QString& text, int width,
                    Qt::TextElideMode mode = Qt::ElideRight);

// A path as a line or cell of width pixels shows it: whole when it fits; else with its folders
// shortened to "..." from the top down (core::FitPathToWidth); else, what is left still too wide,
// elided in the middle, so that the end of the name and its extension stay.
QString FitPathText(const QFontMetrics& metrics, const QString& path, int width);

// Paints one cell with text (the cell's text, colour mark included).
void drawGridCell(QPainter& painter, const GridCellContext& grid, int ACol, int ARow, unsigned AlignBits,
                  GridDrawState State, const QRect& Rect, QString text);
// The same for a string grid, with the text of its cell.
void DrawGridCell(QPainter& painter, const TWUXStringGrid& grid, int ACol, int ARow, unsigned AlignBits,
                  GridDrawState State, const QRect& Rect);

} // namespace wux::controls
