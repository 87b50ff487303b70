#include "controls/speed_button_new.h"

#include "controls/system_colors.h"

#include <QBitmap>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <qdrawutil.h>

#include <algorithm>
#include <atomic>

namespace wux::controls {

namespace {

std::atomic<int> gLiveButtons{0};

} // namespace

ButtonLayoutResult calcButtonLayout(QSize client, QSize glyph, QSize text, TButtonLayout layout, int margin,
                                    int spacing)
{
    const bool horizontal = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
    ButtonLayoutResult r;
    if (horizontal) {
        r.glyphPos.setY((client.height() - glyph.height() + 1) / 2);
        r.textPos.setY((client.height() - text.height() + 1) / 2);
    } else {
        r.glyphPos.setX((client.width() - glyph.width() + 1) / 2);
        r.textPos.setX((client.width() - text.width() + 1) / 2);
    }
    // Without a caption or without a glyph the spacing does not count.
    if (text.width() == 0 || glyph.width() == 0)
        spacing = 0;
    if (margin == -1) {
        if (spacing == -1) {
            const int total = horizontal ? glyph.width() + text.width() : glyph.height() + text.height();
            margin = ((horizontal ? client.width() : client.height()) - total) / 3;
            spacing = margin;
        } else {
            const int total = horizontal ? glyph.width() + spacing + text.width()
                                         : glyph.height() + spacing + text.height();
            margin = ((horizontal ? client.width() : client.height()) - total + 1) / 2;
        }
    } else if (spacing == -1) {
        const int rest = horizontal ? client.width() - (margin + glyph.width())
                                    : client.height() - (margin + glyph.height());
        const int textExtent = horizontal ? text.width() : text.height();
        spacing = (rest - textExtent) / 2;
    }
    switch (layout) {
    case TButtonLayout::blGlyphLeft:
        r.glyphPos.setX(margin);
        r.textPos.setX(r.glyphPos.x() + glyph.width() + spacing);
        break;
    case TButtonLayout::blGlyphRight:
        r.glyphPos.setX(client.width() - margin - glyph.width());
        r.textPos.setX(r.glyphPos.x() - spacing - text.width());
        break;
    case TButtonLayout::blGlyphTop:
        r.glyphPos.setY(margin);
        r.textPos.setY(r.glyphPos.y() + glyph.height() + spacing);
        break;
    case TButtonLayout::blGlyphBottom:
        r.glyphPos.setY(client.height() - margin - glyph.height());
        r.textPos.setY(r.glyphPos.y() - spacing - text.height());
        break;
    }
    return r;
}

TSpeedButtonNew::TSpeedButtonNew(QWidget* parent) : QToolButton(parent)
{
    ++gLiveButtons;
    resize(23, 22);
    setBackgroundRole(QPalette::Button);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
}

TSpeedButtonNew::~TSpeedButtonNew()
{
    --gLiveButtons;
}

int TSpeedButtonNew::liveCount()
{
    return gLiveButtons.load();
}

void TSpeedButtonNew::setAllowAllUp(bool value)
{
    allowAllUp_ = value;
    if (groupIndex_ == 0 || !parentWidget())
        return;
    for (auto* b : parentWidget()->findChildren<TSpeedButtonNew*>(Qt::FindDirectChildrenOnly))
        if (b != this && b->groupIndex_ == groupIndex_)
            b->allowAllUp_ = value;
}

void TSpeedButtonNew::setFlat(bool value)
{
    setAutoRaise(value);
    update();
}

void TSpeedButtonNew::setGlyph(const QPixmap& bitmap)
{
    glyph_ = bitmap;
    invalidateGlyphs();
    update();
}

void TSpeedButtonNew::setGroupIndex(int value)
{
    groupIndex_ = value;
    if (value == 0) {
        setChecked(false);
        setCheckable(false);
    } else {
        setCheckable(true);
        if (isChecked())
            raiseGroupSiblings();
    }
}

void TSpeedButtonNew::setLayout(TButtonLayout value)
{
    layout_ = value;
    update();
}

void TSpeedButtonNew::setMargin(int value)
{
    margin_ = std::max(-1, value);
    update();
}

void TSpeedButtonNew::setNumGlyphs(int value)
{
    numGlyphs_ = std::clamp(value, 1, 4);
    invalidateGlyphs();
    update();
}

void TSpeedButtonNew::setSpacing(int value)
{
    spacing_ = value;
    update();
}

void TSpeedButtonNew::setTransparent(bool value)
{
    transparent_ = value;
    update();
}

void TSpeedButtonNew::SetSystemImage(SystemImageList imageList, int iconIndex)
{
    systemImages_ = std::move(imageList);
    systemIndex_ = iconIndex;
    update();
}

void TSpeedButtonNew::invalidateGlyphs()
{
    glyphCached_.fill(false);
}

void TSpeedButtonNew::nextCheckState()
{
    // A button bound to an action runs it; the action's state comes back to the button.
    if (defaultAction() != nullptr) {
        QToolButton::nextCheckState();
        return;
    }
    if (groupIndex_ == 0)
        return;
    if (isChecked()) {
        if (allowAllUp_)
            setChecked(false);
    } else {
        setChecked(true);
        raiseGroupSiblings(); // a click sets the state without checkStateSet
    }
}

void TSpeedButtonNew::checkStateSet()
{
    QToolButton::checkStateSet();
    if (isChecked())
        raiseGroupSiblings();
}

void TSpeedButtonNew::raiseGroupSiblings()
{
    if (groupIndex_ == 0 || !parentWidget())
        return;
    for (auto* b : parentWidget()->findChildren<TSpeedButtonNew*>(Qt::FindDirectChildrenOnly))
        if (b != this && b->groupIndex_ == groupIndex_ && b->isChecked())
            b->setChecked(false);
}

void TSpeedButtonNew::enterEvent(QEnterEvent* event)
{
    QToolButton::enterEvent(event);
    mouseInControl_ = true;
    update();
}

void TSpeedButtonNew::leaveEvent(QEvent* event)
{
    QToolButton::leaveEvent(event);
    mouseInControl_ = false;
    update();
}

QSize TSpeedButtonNew::glyphSize() const
{
    if (glyph_.isNull() || glyph_.width() == 0)
        return {0, 0};
    return {glyph_.width() / numGlyphs_, glyph_.height()};
}

int TSpeedButtonNew::captionFitWidth() const
{
    constexpr int kFrame = 2;
    constexpr int kMargins = 2 * 4;
    const int glyph = glyphSize().width();
    const int caption = text().isEmpty() ? 0 : QFontMetrics(font()).horizontalAdvance(text());
    return kFrame + kMargins + glyph + (glyph > 0 && caption > 0 ? spacing_ : 0) + caption;
}

TSpeedButtonNew::TButtonState TSpeedButtonNew::paintState() const
{
    if (!isEnabled())
        return bsDisabled;
    if (isDown())
        return bsDown; // pressed by the mouse or the keyboard
    if (isChecked())
        return bsExclusive;
    return bsUp;
}

QPixmap TSpeedButtonNew::glyphImage(TButtonState state) const
{
    const QSize size = glyphSize();
    if (size.isEmpty())
        return {};
    const int index = int(state);
    if (glyphCached_[index])
        return glyphCache_[index];
    QPixmap result;
    if (index < numGlyphs_) {
        result = glyph_.copy(index * size.width(), 0, size.width(), size.height());
    } else {
        result = glyph_.copy(0, 0, size.width(), size.height());
    }
    // The bitmap's bottom-left pixel is the transparent colour.
    const QImage strip = glyph_.toImage();
    const QColor transparent = strip.pixelColor(0, strip.height() - 1);
    result.setMask(result.createMaskFromColor(transparent, Qt::MaskInColor));
    if (state == bsDisabled && index >= numGlyphs_) {
        QStyleOption option;
        option.initFrom(this);
        result = style()->generatedIconPixmap(QIcon::Disabled, result, &option);
    }
    glyphCache_[index] = result;
    glyphCached_[index] = true;
    return result;
}

QString TSpeedButtonNew::glyphKind() const
{
    if (glyphSize().isEmpty())
        return {};
    return systemImages_ ? QStringLiteral("icon") : QStringLiteral("bitmap");
}

void TSpeedButtonNew::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect client = rect();
    const QPalette& pal = palette();
    const TButtonState state = paintState();
    const bool pressedLook = state == bsDown || state == bsExclusive;

    if (!transparent_ || !autoRaise())
        p.fillRect(client, sysColor(SysColor::BtnFace, pal));
    if (state == bsExclusive && !isDown()) {
        // A button that stays down shows a dithered face.
        p.fillRect(client.adjusted(1, 1, -1, -1),
                   QBrush(sysColor(SysColor::BtnHighlight, pal), Qt::Dense4Pattern));
    }
    if (autoRaise()) {
        if (pressedLook)
            qDrawShadePanel(&p, client, pal, true, 1);
        else if (mouseInControl_ && isEnabled())
            qDrawShadePanel(&p, client, pal, false, 1);
    } else {
        qDrawWinButton(&p, client, pal, pressedLook);
    }

    const QSize gsize = glyphSize();
    const QString caption = text();
    const QFontMetrics fm(font());
    const QSize tsize = caption.isEmpty() ? QSize(0, 0) : QSize(fm.horizontalAdvance(caption), fm.height());
    const QRect inner = client.adjusted(1, 1, -1, -1);
    ButtonLayoutResult pos = calcButtonLayout(inner.size(), gsize, tsize, layout_, margin_, spacing_);
    const QPoint offset = inner.topLeft() + (pressedLook ? QPoint(1, 1) : QPoint(0, 0));

    if (!gsize.isEmpty()) {
        const QPoint at = pos.glyphPos + offset;
        if (systemImages_) {
            const QIcon icon = systemImages_(systemIndex_);
            QIcon::Mode mode = QIcon::Normal;
            if (!isEnabled())
                mode = QIcon::Disabled;
            else if (mouseInControl_)
                mode = QIcon::Active;
            icon.paint(&p, QRect(at, gsize), Qt::AlignCenter, mode);
        } else {
            p.drawPixmap(at, glyphImage(state));
        }
    }
    if (!caption.isEmpty()) {
        p.setFont(font());
        p.setPen(isEnabled() ? sysColor(SysColor::BtnText, pal)
                             : pal.color(QPalette::Disabled, QPalette::ButtonText));
        const QRect textRect(pos.textPos + offset, tsize);
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
                   caption);
    }
}

} // namespace wux::controls
