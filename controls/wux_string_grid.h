// TWUXStringGrid: the owner-drawn list grid of the browser panels and the search results. Beyond the
// draw grid it reports focus changes together with the other widget, keeps the context menu that is
// open over it, and chooses the order of its own key navigation against OnKeyDown.
#pragma once

#include "controls/draw_grid.h"

#include <QMenu>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <utility>

namespace wux::controls {

class TWUXStringGrid;

// Sender and the other widget: for OnSetFocus the widget that lost the focus, for OnKillFocus the
// widget that receives it (either may be null).
using TWUXSGEvent = std::function<void(TWUXStringGrid* Sender, QWidget* FocusedWnd)>;

class TWUXStringGrid : public DrawGrid
{
    Q_OBJECT
    Q_PROPERTY(bool BeforeKeyDown READ BeforeKeyDown WRITE setBeforeKeyDown)
public:
    explicit TWUXStringGrid(QWidget* parent = nullptr);
    // Leaves the application's focus reports first: the widget's own destructor takes the focus away
    // from a grid that holds it, and that report must not reach a half-destroyed grid.
    ~TWUXStringGrid() override;

    // True: OnKeyDown runs first and the grid does not move its cursor itself; False (default):
    // the grid navigates, then OnKeyDown runs.
    bool BeforeKeyDown() const { return beforeKeyDown_; }
    void setBeforeKeyDown(bool value) { beforeKeyDown_ = value; }

    // The context menu currently shown over the grid (set by the code that shows it, cleared after).
    QMenu* ICM() const { return icm_; }
    void setICM(QMenu* menu) { icm_ = menu; }

    // Texts of the cells (drawn with DefaultDrawing).
    QString Cells(int ACol, int ARow) const;
    void setCells(int ACol, int ARow, const QString& text);

    TWUXSGEvent OnSetFocus;
    TWUXSGEvent OnKillFocus;

    void KeyDown(int& key, Qt::KeyboardModifiers modifiers) override;

protected:
    void drawCellContent(QPainter& painter, int ACol, int ARow, const QRect& rect,
                         GridDrawState state) override;

private:
    void focusChanged(QWidget* old, QWidget* now);

    bool beforeKeyDown_ = false;
    QPointer<QMenu> icm_;
    std::map<std::pair<int, int>, QString> cells_;
};

} // namespace wux::controls
