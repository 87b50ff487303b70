// TSpeedButtonNew: a speed button (flat, grouped with exclusive Down, a glyph strip of up to four
// images, caption and glyph layout) whose glyph can be an icon of the system image list.
//  - Down is the checked state; GroupIndex 0 buttons never stay down. Buttons of one parent with the
//    same non-zero GroupIndex are exclusive; AllowAllUp lets the down button of a group come up.
//  - Glyph: a strip of NumGlyphs images (up, disabled, clicked, down); the transparent colour is the
//    bitmap's bottom-left pixel. An empty Glyph means no glyph at all, system icon included.
//  - SetSystemImage: the glyph position shows that icon instead of the bitmap (the bitmap still
//    decides the glyph's size and whether anything is drawn).
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QToolButton>

#include <array>
#include <functional>

namespace wux::controls {

// The system image list as the speed button sees it: the icon at an index.
using SystemImageList = std::function<QIcon(int index)>;

enum class TButtonLayout
{
    blGlyphLeft,
    blGlyphRight,
    blGlyphTop,
    blGlyphBottom
};

// Where the glyph and the caption stand inside a button's client area (before the pressed offset).
struct ButtonLayoutResult
{
    QPoint glyphPos;
    QPoint textPos;
    friend bool operator==(const ButtonLayoutResult&, const ButtonLayoutResult&) = default;
};
ButtonLayoutResult calcButtonLayout(QSize client, QSize glyph, QSize text, TButtonLayout layout, int margin,
                                    int spacing);

class TSpeedButtonNew : public QToolButton
{
    Q_OBJECT
    Q_PROPERTY(bool AllowAllUp READ AllowAllUp WRITE setAllowAllUp)
    Q_PROPERTY(bool Flat READ Flat WRITE setFlat)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE setGroupIndex)
    Q_PROPERTY(int Margin READ Margin WRITE setMargin)
    Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE setNumGlyphs)
    Q_PROPERTY(int Spacing READ Spacing WRITE setSpacing)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(int Tag READ Tag WRITE setTag)
public:
    // The glyph states, also the image indexes in the strip.
    enum TButtonState
    {
        bsUp = 0,
        bsDisabled = 1,
        bsDown = 2,
        bsExclusive = 3
    };

    explicit TSpeedButtonNew(QWidget* parent = nullptr);
    ~TSpeedButtonNew() override;

    // Live buttons of the program.
    static int liveCount();

    bool AllowAllUp() const { return allowAllUp_; }
    void setAllowAllUp(bool value); // for the whole group
    bool Down() const { return isChecked(); }
    void setDown(bool value) { setChecked(value); } // the program's Down (checked), not the pressed look
    bool Flat() const { return autoRaise(); }
    void setFlat(bool value);
    QPixmap Glyph() const { return glyph_; }
    void setGlyph(const QPixmap& bitmap);
    int GroupIndex() const { return groupIndex_; }
    void setGroupIndex(int value);
    TButtonLayout Layout() const { return layout_; }
    void setLayout(TButtonLayout value);
    int Margin() const { return margin_; }
    void setMargin(int value);
    int NumGlyphs() const { return numGlyphs_; }
    void setNumGlyphs(int value); // 1 .. 4
    int Spacing() const { return spacing_; }
    void setSpacing(int value);
    bool Transparent() const { return transparent_; }
    void setTransparent(bool value);
    int Tag() const { return tag_; }
    void setTag(int value) { tag_ = value; }

    // From now on the glyph is the icon at index of the list.
    void SetSystemImage(SystemImageList imageList, int iconIndex);
    bool hasSystemImage() const { return static_cast<bool>(systemImages_); }
    int systemImageIndex() const { return systemIndex_; }

    // The glyph state the button paints now, and the image it paints for a state (null without a
    // glyph); exposed so that owners and tests can see what is drawn.
    TButtonState paintState() const;
    QPixmap glyphImage(TButtonState state) const;
    // What is drawn at the glyph position: "icon", "bitmap" or "" (nothing).
    QString glyphKind() const;
    // The narrowest width that shows the glyph and the whole caption side by side (the frame, the
    // spacing between them and a margin of 4 on either side included).
    int captionFitWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void nextCheckState() override;
    void checkStateSet() override;

private:
    QSize glyphSize() const;
    void raiseGroupSiblings();
    void invalidateGlyphs();

    bool allowAllUp_ = false;
    QPixmap glyph_;
    int groupIndex_ = 0;
    TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
    int margin_ = -1;
    int numGlyphs_ = 1;
    int spacing_ = 4;
    bool transparent_ = true;
    int tag_ = 0;
    bool mouseInControl_ = false;
    SystemImageList systemImages_;
    int systemIndex_ = -1;
    mutable std::array<QPixmap, 4> glyphCache_;
    mutable std::array<bool, 4> glyphCached_{};
};

} // namespace wux::controls
