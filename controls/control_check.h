// Checks of a window's controls as a user sees them: a text that its control cuts, and controls that
// lie over each other. Run on a shown window (the screenshot driver runs them on every window).
#pragma once

#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace wux::controls {

// The texts under window that their visible control cannot show whole at the control's font:
// labels, push and tool buttons, check boxes and radio buttons (within the style's contents rect, so
// after the indicator and inside the bevel), the column titles of header grids and the fixed cells
// (titles) of string grids. A control that a parent cuts off counts with its visible part only (not
// inside a scroll area, whose contents scroll). One line per fault: where, what, needed and given size.
// The faults of findElidedLists too.
std::vector<QString> findCutTexts(const QWidget& window);

// The lists and grids under window that show none of a column's texts whole: a column whose cells, as
// painted now, show the texts of at least 3 rows on screen elided ("…") or cut at the cell's edge and
// at most one whole (the short ".." row). A shorter form by design (a date without its time, a path
// without its upper folders) is whole. The report names the whole text the painter noted
// (DrawGrid::ElidedCellText). One line per column.
std::vector<QString> findElidedLists(const QWidget& window);

// Pairs of visible sibling controls under window whose rectangles intersect. Not compared: a widget
// with its own children, the parts of a scroll area, of a combo box or of a spin box, and the widgets
// for which floats is true (they lie over their siblings by design). One line per pair.
std::vector<QString> findOverlaps(const QWidget& window,
                                  const std::function<bool(const QWidget&)>& floats = {});

// The widget's place for a report: its object names from the window down, "/"-separated (the class
// name for a widget without one).
QString controlPath(const QWidget& widget, const QWidget& window);

} // namespace wux::controls
