#include "controls/grid_cell_painter.h"

#include "controls/system_colors.h"
#include "controls/wux_string_grid.h"
#include "core/gui_helpers.h"

#include <QApplication>
#include <QPainter>
#include <qdrawutil.h>

namespace wux::controls {

namespace {

constexpr int kMaxAlignedColumns = 16;

} // namespace

GridCellContext gridCellContext(const DrawGrid& grid, int ACol)
{
    GridCellContext ctx;
    ctx.font = grid.font();
    ctx.tag = grid.Tag();
    ctx.focused = grid.hasFocus();
    ctx.currentRow = grid.Row();
    ctx.defaultRowHeight = grid.DefaultRowHeight();
    ctx.colWidth = (ACol >= 0 && ACol < grid.ColCount()) ? grid.ColWidths(ACol) : 0;
    ctx.owner = &grid;
    return ctx;
}

int gridCellAlignment(unsigned alignBits, int col)
{
    if (col < 0 || col >= kMaxAlignedColumns)
        return 0;
    return int((alignBits >> (2 * col)) & 3u);
}

int takeColourMark(QString& text)
{
    if (text.isEmpty())
        return -1;
    const char16_t last = text.back().unicode();
    if (last >= 5)
        return -1;
    text.chop(1);
    return int(last);
}

QString FitCellText(const QFontMetrics& metrics, const QString& text, int width, Qt::TextElideMode mode)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    if (width <= 0)
        return QString();
    return metrics.elidedText(text, mode, width);
}

QString FitPathText(const QFontMetrics& metrics, const QString& path, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const QString shortened = QString::fromStdString(core::FitPathToWidth(path.toStdString(), metrics, width));
    return FitCellText(metrics, shortened, width, Qt::ElideMiddle);
}

void drawGridCell(QPainter& painter, const GridCellContext& grid, int ACol, int ARow, unsigned AlignBits,
                  GridDrawState State, const QRect& Rect, QString text)
{
    const QPalette pal = QApplication::palette();
    painter.save();
    painter.setFont(grid.font);
    const bool fixed = State & gdFixed;
    const int mark = takeColourMark(text);
    QColor brush;
    QColor pen;
    if (fixed) {
        pen = sysColor(SysColor::BtnText, pal);
        brush = ((grid.tag & 2) && grid.focused && ARow == 0) ? sysColor(SysColor::ActiveBorder, pal)
                                                              : sysColor(SysColor::InactiveBorder, pal);
    } else if ((grid.tag & 1) && ARow == grid.currentRow) {
        if (grid.focused) {
            pen = sysColor(SysColor::CaptionText, pal);
            brush = sysColor(SysColor::ActiveCaption, pal);
        } else {
            pen = sysColor(SysColor::InactiveCaptionText, pal);
            brush = sysColor(SysColor::InactiveCaption, pal);
        }
    } else {
        brush = sysColor(SysColor::Window, pal);
        pen = sysColor(SysColor::WindowText, pal);
        if (mark == 1)
            pen = QColor::fromRgb(kMarkRed);
        else if (mark == 2)
            pen = QColor::fromRgb(kMarkGreen);
    }

    int x = Rect.left() + 3;
    int alignment = 0;
    if (fixed) {
        x += 2;
    } else {
        alignment = gridCellAlignment(AlignBits, ACol);
    }
    const QFontMetrics fm(grid.font);
    const QString whole = text;
    if (alignment == 2)
        text = FitPathText(fm, text, grid.colWidth - 11);
    int tgWidth = 0;
    int tgHeight = 0;
    core::GetTextSize(grid.font, "Tg", tgWidth, tgHeight);
    const int y = Rect.top() + (grid.defaultRowHeight - tgHeight) / 2;

    painter.setClipRect(Rect);
    painter.fillRect(Rect, brush);
    painter.setPen(pen);
    QString shown;
    if (alignment == 1) {
        const int right = Rect.left() + Rect.width() - 8; // the text ends here
        shown = FitCellText(fm, text, right - x);
        painter.drawText(QRect(Rect.left() - 4096, y, right - Rect.left() + 4096, fm.height()),
                         Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, shown);
    } else {
        shown = alignment == 2 ? text : FitCellText(fm, text, Rect.right() - x + 1);
        painter.drawText(QRect(x, y, std::max(0, Rect.right() - x + 1) + 4096, fm.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
    }
    if (grid.owner != nullptr && shown != whole)
        grid.owner->noteElidedCellText(ACol, ARow, whole);
    if (fixed)
        qDrawShadeRect(&painter, Rect, pal, true, 1, 0);
    painter.restore();
}

void DrawGridCell(QPainter& painter, const TWUXStringGrid& grid, int ACol, int ARow, unsigned AlignBits,
                  GridDrawState State, const QRect& Rect)
{
    drawGridCell(painter, gridCellContext(grid, ACol), ACol, ARow, AlignBits, State, Rect,
                 grid.Cells(ACol, ARow));
}

} // namespace wux::controls
