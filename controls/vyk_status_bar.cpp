#include "controls/vyk_status_bar.h"

#include "controls/grid_cell_painter.h"
#include "controls/system_colors.h"

#include <QEvent>
#include <QFontDatabase>
#include <QPainter>
#include <QSizeGrip>
#include <qdrawutil.h>

#include <stdexcept>

namespace wux::controls {

namespace {

constexpr int kBarHeight = 19;
constexpr int kTextIndent = 4;

} // namespace

void TStatusPanel::setAlignment(Qt::Alignment value)
{
    alignment_ = value;
    bar_->panelsChanged();
}

void TStatusPanel::setBevel(TVYKStatusPanelBevel value)
{
    bevel_ = value;
    bar_->panelsChanged();
}

void TStatusPanel::setStyle(TStatusPanelStyle value)
{
    style_ = value;
    bar_->panelsChanged();
}

void TStatusPanel::setText(const QString& value)
{
    if (text_ == value)
        return;
    text_ = value;
    bar_->panelsChanged();
}

void TStatusPanel::setWidth(int value)
{
    if (width_ == value)
        return;
    width_ = value;
    bar_->panelsChanged();
}

std::vector<QRect> statusPanelRects(const std::vector<int>& widths, int barWidth, int height)
{
    std::vector<QRect> rects;
    int left = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        int right = left + std::max(0, widths[i]);
        if (i + 1 == widths.size())
            right = std::max(left, barWidth);
        rects.emplace_back(QPoint(left, 0), QPoint(right - 1, height - 1));
        left = right;
    }
    return rects;
}

TVYKStatusBar::TVYKStatusBar(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    setFixedHeight(kBarHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    grip_ = new QSizeGrip(this);
    grip_->resize(grip_->sizeHint());
    grip_->hide();
}

TVYKStatusBar::~TVYKStatusBar() = default;

void TVYKStatusBar::setBevel(TVYKStatusPanelBevel value)
{
    bevel_ = value;
    update();
}

void TVYKStatusBar::setSimplePanel(bool value)
{
    if (simplePanel_ == value)
        return;
    simplePanel_ = value;
    update();
}

void TVYKStatusBar::setSimpleText(const QString& value)
{
    simpleText_ = value;
    if (simplePanel_)
        update();
}

void TVYKStatusBar::setSizeGrip(bool value)
{
    sizeGrip_ = value;
    placeGrip();
    update();
}

bool TVYKStatusBar::sizeGripShown() const
{
    return !grip_->isHidden();
}

void TVYKStatusBar::placeGrip()
{
    const QSize g = grip_->sizeHint();
    grip_->setGeometry(width() - g.width(), height() - g.height(), g.width(), g.height());
    bool corner = sizeGrip_;
    if (corner && !isWindow()) {
        const QWidget* top = window();
        const QPoint end = mapTo(top, QPoint(width(), height()));
        corner = end.x() >= top->width() - 1 && end.y() >= top->height() - 1;
    }
    if (corner == grip_->isHidden()) {
        grip_->setVisible(corner);
        update();
    }
}

TStatusPanel& TVYKStatusBar::Panels(int index)
{
    if (index < 0 || index >= panelCount())
        throw std::out_of_range("List index out of bounds");
    return *panels_[std::size_t(index)];
}

TStatusPanel& TVYKStatusBar::addPanel()
{
    panels_.push_back(std::unique_ptr<TStatusPanel>(new TStatusPanel(this)));
    panelsChanged();
    return *panels_.back();
}

void TVYKStatusBar::clearPanels()
{
    panels_.clear();
    panelsChanged();
}

void TVYKStatusBar::panelsChanged()
{
    if (!simplePanel_)
        update();
}

int TVYKStatusBar::partsWidth() const
{
    const int gripWidth = sizeGripShown() ? grip_->sizeHint().width() : 0;
    return std::max(0, width() - gripWidth);
}

std::vector<StatusPart> TVYKStatusBar::displayedParts() const
{
    std::vector<StatusPart> parts;
    const int h = height();
    if (simplePanel_ || panels_.empty()) {
        StatusPart part;
        part.rect = QRect(0, 0, std::max(0, partsWidth()), h);
        part.text = simplePanel_ ? simpleText_ : QString();
        part.bevel = bevel_;
        parts.push_back(part);
        return parts;
    }
    std::vector<int> widths;
    for (const auto& p : panels_)
        widths.push_back(p->Width());
    const std::vector<QRect> rects = statusPanelRects(widths, partsWidth(), h);
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        StatusPart part;
        part.rect = rects[i];
        part.text = panels_[i]->Style() == TStatusPanelStyle::psText ? panels_[i]->Text() : QString();
        part.bevel = panels_[i]->Bevel();
        part.alignment = panels_[i]->Alignment();
        part.panelIndex = int(i);
        parts.push_back(part);
    }
    return parts;
}

void TVYKStatusBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    const QPalette& pal = palette();
    p.fillRect(rect(), sysColor(SysColor::BtnFace, pal));
    for (const StatusPart& part : displayedParts()) {
        // Parts stand 2 pixels below the bar's top edge, with a 2-pixel gap between them.
        QRect r = part.rect.adjusted(0, 2, -2, 0);
        if (r.width() <= 0)
            continue;
        if (part.bevel == TVYKStatusPanelBevel::SP_BEVEL_LOWERED)
            qDrawShadePanel(&p, r, pal, true, 1);
        else if (part.bevel == TVYKStatusPanelBevel::SP_BEVEL_RAISED)
            qDrawShadePanel(&p, r, pal, false, 1);
        const QRect inner = r.adjusted(1, 1, -1, -1);
        if (part.panelIndex >= 0 &&
            panels_[std::size_t(part.panelIndex)]->Style() == TStatusPanelStyle::psOwnerDraw) {
            if (OnDrawPanel) {
                p.save();
                p.setClipRect(inner);
                OnDrawPanel(const_cast<TVYKStatusBar*>(this), *panels_[std::size_t(part.panelIndex)], p,
                            inner);
                p.restore();
            }
            continue;
        }
        if (part.text.isEmpty())
            continue;
        p.setPen(sysColor(SysColor::BtnText, pal));
        const QRect textRect = inner.adjusted(kTextIndent - 1, 0, -(kTextIndent - 1), 0);
        Qt::Alignment align = Qt::AlignVCenter;
        if (part.alignment & Qt::AlignRight)
            align |= Qt::AlignRight;
        else if (part.alignment & Qt::AlignHCenter)
            align |= Qt::AlignHCenter;
        else
            align |= Qt::AlignLeft;
        p.save();
        p.setClipRect(inner);
        p.drawText(textRect, int(align) | Qt::TextSingleLine,
                   FitCellText(p.fontMetrics(), part.text, textRect.width()));
        p.restore();
    }
}

void TVYKStatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeGrip();
    if (OnResize)
        OnResize(this);
    Q_EMIT resized();
}

void TVYKStatusBar::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    placeGrip();
}

void TVYKStatusBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The window's own resizes move its corner away from the bar or onto it.
    QWidget* top = window();
    if (top != this && top != watchedWindow_) {
        if (watchedWindow_)
            watchedWindow_->removeEventFilter(this);
        top->installEventFilter(this);
        watchedWindow_ = top;
    }
    placeGrip();
}

bool TVYKStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedWindow_ && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        placeGrip();
    return QWidget::eventFilter(watched, event);
}

} // namespace wux::controls
