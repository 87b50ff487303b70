#include "controls/wux_string_grid.h"

#include <QApplication>
#include <QPainter>

namespace wux::controls {

TWUXStringGrid::TWUXStringGrid(QWidget* parent) : DrawGrid(parent)
{
    connect(qApp, &QApplication::focusChanged, this, &TWUXStringGrid::focusChanged);
}

TWUXStringGrid::~TWUXStringGrid()
{
    disconnect(qApp, &QApplication::focusChanged, this, &TWUXStringGrid::focusChanged);
}

void TWUXStringGrid::focusChanged(QWidget* old, QWidget* now)
{
    const auto mine = [this](QWidget* w) { return w == this || w == viewport(); };
    // The grid's own handling (repainting the focused cell) runs first.
    if (mine(old) != mine(now))
        viewport()->update();
    if (mine(old) && !mine(now) && OnKillFocus)
        OnKillFocus(this, now);
    if (mine(now) && !mine(old) && OnSetFocus)
        OnSetFocus(this, old);
}

QString TWUXStringGrid::Cells(int ACol, int ARow) const
{
    const auto it = cells_.find({ACol, ARow});
    return it == cells_.end() ? QString() : it->second;
}

void TWUXStringGrid::setCells(int ACol, int ARow, const QString& text)
{
    if (text.isEmpty())
        cells_.erase({ACol, ARow});
    else
        cells_[{ACol, ARow}] = text;
    InvalidateCell(ACol, ARow);
}

void TWUXStringGrid::drawCellContent(QPainter& painter, int ACol, int ARow, const QRect& rect, GridDrawState)
{
    const QString text = Cells(ACol, ARow);
    if (!text.isEmpty())
        painter.drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

void TWUXStringGrid::KeyDown(int& key, Qt::KeyboardModifiers modifiers)
{
    if (beforeKeyDown_ && OnKeyDown)
        OnKeyDown(key, modifiers);
    if (!canGridAcceptKey(key, modifiers))
        key = 0;
    const GridNavMove move = gridKeyMove(navState(), key, modifiers);
    if (!beforeKeyDown_) {
        applyNavMove(move, modifiers);
        if (OnKeyDown)
            OnKeyDown(key, modifiers);
    } else if (move.editor) {
        setEditorMode(true);
    }
}

} // namespace wux::controls
