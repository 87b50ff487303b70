// TWUXSplitterMouse: a splitter that remembers where its handle stands as a share of its width, in
// 1/10000 (Ratio), so that the main window can keep the two panels' proportions when it is resized.
// Qt's own proportional resizing is not used for that: the owner applies the ratio itself
// (applyRatio, or splitterLayout for its own geometry).
#pragma once

#include <QSplitter>

namespace wux::controls {

inline constexpr int kRatioScale = 10000;
inline constexpr int kDefaultRatio = 5000;

// Ratio of a handle at position pos in a parent of the given width: pos × 10000 div width; the
// previous ratio when the width is 0 or less. Clamped to 0 .. 10000.
int splitterRatio(int pos, int parentWidth, int previousRatio);
// A ratio read from the settings, clamped to 0 .. 10000.
int clampRatio(long long ratio);

// The main window's resize rule: the left panel is GetRatio × client width (truncated) + 2 wide, the
// right panel 1 wide when it was 0, the splitter's left edge the left panel's width + 10.
struct SplitterLayout
{
    int leftWidth = 0;
    int rightWidth = 0;
    int splitterLeft = 0;
    friend bool operator==(const SplitterLayout&, const SplitterLayout&) = default;
};
int ratioLeftWidth(int ratio, int clientWidth);
SplitterLayout splitterLayout(int ratio, int clientWidth, int rightWidth);

class TWUXSplitterMouse : public QSplitter
{
    Q_OBJECT
    Q_PROPERTY(int Ratio READ Ratio WRITE setRatio)
public:
    explicit TWUXSplitterMouse(QWidget* parent = nullptr);
    explicit TWUXSplitterMouse(Qt::Orientation orientation, QWidget* parent = nullptr);

    int Ratio() const { return ratio_; }
    void setRatio(long long value) { ratio_ = clampRatio(value); }
    double GetRatio() const { return ratio_ / double(kRatioScale); }

    // Gives the first widget the ratio's width (ratioLeftWidth) and the second the rest, without
    // changing Ratio. Only for a horizontal splitter of two widgets.
    void applyRatio();

private:
    void splitterMovedHandler(int pos, int index);

    int ratio_ = kDefaultRatio;
};

} // namespace wux::controls
