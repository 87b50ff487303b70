// TVYKStatusBar: the status line under a list. A list of panels or one simple part, with bevels,
// alignment, owner-drawn panels and a size grip. SimpleText is stored always and shown only while
// SimplePanel is on (on at creation); the bar's own Bevel frames the simple part (and the single
// empty part of a bar without panels).
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QSizeGrip;

namespace wux::controls {

enum class TVYKStatusPanelBevel
{
    SP_BEVEL_NONE,
    SP_BEVEL_LOWERED,
    SP_BEVEL_RAISED
};
enum class TStatusPanelStyle
{
    psText,
    psOwnerDraw
};

class TVYKStatusBar;

class TStatusPanel
{
public:
    Qt::Alignment Alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment value);
    TVYKStatusPanelBevel Bevel() const { return bevel_; }
    void setBevel(TVYKStatusPanelBevel value);
    TStatusPanelStyle Style() const { return style_; }
    void setStyle(TStatusPanelStyle value);
    QString Text() const { return text_; }
    void setText(const QString& value);
    int Width() const { return width_; }
    void setWidth(int value);

private:
    friend class TVYKStatusBar;
    explicit TStatusPanel(TVYKStatusBar* bar) : bar_(bar) {}

    TVYKStatusBar* bar_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    TVYKStatusPanelBevel bevel_ = TVYKStatusPanelBevel::SP_BEVEL_LOWERED;
    TStatusPanelStyle style_ = TStatusPanelStyle::psText;
    QString text_;
    int width_ = 50;
};

// One part as it is on screen.
struct StatusPart
{
    QRect rect;
    QString text;
    TVYKStatusPanelBevel bevel = TVYKStatusPanelBevel::SP_BEVEL_LOWERED;
    Qt::Alignment alignment = Qt::AlignLeft;
    int panelIndex = -1; // -1 for the simple part or the single empty part
};

// The part rectangles of a bar of the given width: each panel as wide as its Width, the last one to
// the end of the bar.
std::vector<QRect> statusPanelRects(const std::vector<int>& widths, int barWidth, int height);

class TVYKStatusBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool SimplePanel READ SimplePanel WRITE setSimplePanel)
    Q_PROPERTY(QString SimpleText READ SimpleText WRITE setSimpleText)
    Q_PROPERTY(bool SizeGrip READ SizeGrip WRITE setSizeGrip)
public:
    explicit TVYKStatusBar(QWidget* parent = nullptr);
    ~TVYKStatusBar() override;

    TVYKStatusPanelBevel Bevel() const { return bevel_; }
    void setBevel(TVYKStatusPanelBevel value);
    bool SimplePanel() const { return simplePanel_; }
    void setSimplePanel(bool value);
    QString SimpleText() const { return simpleText_; }
    void setSimpleText(const QString& value);
    bool SizeGrip() const { return sizeGrip_; }
    void setSizeGrip(bool value);
    // The grip is shown only while SizeGrip is on and the bar stands in its window's bottom-right
    // corner: a grip in the middle of a window would resize it from no corner.
    bool sizeGripShown() const;

    // Panels.
    int panelCount() const { return int(panels_.size()); }
    TStatusPanel& Panels(int index); // std::out_of_range outside the panels
    TStatusPanel& addPanel();
    void clearPanels();

    // What the bar shows now.
    std::vector<StatusPart> displayedParts() const;

    std::function<void(TVYKStatusBar* sender)> OnResize;
    std::function<void(TVYKStatusBar* sender, TStatusPanel& panel, QPainter& canvas, const QRect& rect)>
        OnDrawPanel;

Q_SIGNALS:
    void resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TStatusPanel;
    void panelsChanged();
    int partsWidth() const;
    void placeGrip();

    TVYKStatusPanelBevel bevel_ = TVYKStatusPanelBevel::SP_BEVEL_LOWERED;
    bool simplePanel_ = true;
    QString simpleText_;
    bool sizeGrip_ = true;
    std::vector<std::unique_ptr<TStatusPanel>> panels_;
    QSizeGrip* grip_ = nullptr;
    QPointer<QObject> watchedWindow_;
};

} // namespace wux::controls
