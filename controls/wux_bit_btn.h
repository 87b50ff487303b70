// TWUXBitBtn: a push button (icon = glyph) that can show another font while the mouse is over it.
// With UseNewStyle the button's font is saved on mouse entry and replaced by NewFont; on leaving the
// saved font comes back (a font set meanwhile is lost). Do not give it a style sheet with a font.
#pragma once

#include <QFont>
#include <QPushButton>

namespace wux::controls {

class TWUXBitBtn : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(bool UseNewStyle READ UseNewStyle WRITE setUseNewStyle)
    Q_PROPERTY(QFont NewFont READ NewFont WRITE setNewFont)
public:
    explicit TWUXBitBtn(QWidget* parent = nullptr);
    explicit TWUXBitBtn(const QString& text, QWidget* parent = nullptr);

    bool UseNewStyle() const { return useNewStyle_; }
    void setUseNewStyle(bool value) { useNewStyle_ = value; }
    QFont NewFont() const { return newFont_; }
    void setNewFont(const QFont& font) { newFont_ = font; } // copies the given font

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool useNewStyle_ = false;
    QFont newFont_;
    QFont savedFont_;
    bool savedFontResolved_ = false;
};

} // namespace wux::controls
