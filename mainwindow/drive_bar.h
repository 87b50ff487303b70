// The drive bars (a panel's `pnlDisks`, the main window's `pnlWithImgDrives`): one flat speed button
// per drive of the drive list, then a small toolbar with the favourites button, laid out in rows of
// 22 pixels; and the drive box text of a drive.
//
// A bar's "owned components" (its buttons and the favourites toolbar) are kept in the bar's own list
// in creation order. Other children whose "tag" property is -1 (a panel's `pnlSizeInfo` and
// `pnlTwoButtons`, the main window's `pnlRightJumpButtons` and `pnlInfo`) are laid out after them;
// any other child is left where it is.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QMenu;
class QToolBar;

namespace wux::controls {
class TImageList;
class TSpeedButtonNew;
} // namespace wux::controls

namespace wux::filelist {
struct TDriveRecord;
}

namespace wux::mainwindow {

// Pixel sizes of the drive bar.
inline constexpr int kDriveButtonWidth = 37;
inline constexpr int kDriveButtonHeight = 22;
inline constexpr int kDriveBarStep = 40; // x distance between components
inline constexpr int kDriveBarRowHeight = 22;

// The drive box item of a drive: "[-" + letter + "-]  " + display name.
QString DriveBoxItemText(const filelist::TDriveRecord& drive);
// The drive choice item of a drive: "[-" + letter + "-]".
QString DriveChoiceItemText(const filelist::TDriveRecord& drive);

// The glyph of a drive kind from the program's own images: "DRIVEBSK" (the Basket), "DRIVENET",
// "DRIVEA", "DRIVERMT", "DRIVECD", "DRIVEHRD". Taken from the resource ":/images/<name>.bmp" (or .png)
// when the program has one, else drawn from the style's standard icon of that kind.
QPixmap DriveKindGlyph(const QString& name);
// The kind bitmap's name of a drive record that has no shell icon.
QString DriveKindGlyphName(const filelist::TDriveRecord& drive);

class TDriveBar : public QWidget
{
    Q_OBJECT
public:
    explicit TDriveBar(QWidget* parent = nullptr);
    ~TDriveBar() override;

    // The owned components in order: the drive buttons, then the favourites toolbar.
    const std::vector<QWidget*>& Components() const { return components_; }
    // The drive buttons (the owned components but the last).
    std::vector<controls::TSpeedButtonNew*> DriveButtons() const;
    // The button of a drive index; nullptr when there is none.
    controls::TSpeedButtonNew* DriveButton(int index) const;
    // The favourites toolbar (nullptr before the first build).
    QToolBar* FavoritesToolbar() const;

    // The screen-layout word the arrangement reads (bit 0x8: the trailing panels stay on the last row).
    std::uint32_t layoutWord = 0;

    // Run after each arrangement on a resize (the owner's resize handler).
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend void BuildDriveButtons(TDriveBar&, int, controls::TImageList*, QMenu*,
                                  const std::function<void(int)>&);
    std::vector<QWidget*> components_;
};

// (Re)builds a bar's buttons for the drive list: surplus buttons are freed from the front, missing
// ones appended; button i is down when i == currentIndex, has Tag i, the drive letter as caption,
// the display name as hint and the drive's icon; a click calls onClick(Tag). The favourites toolbar
// is built again at the end (its button shows image 0 of images and drops favoritesMenu down).
void BuildDriveButtons(TDriveBar& bar, int currentIndex, controls::TImageList* images, QMenu* favoritesMenu,
                       const std::function<void(int tag)>& onClick);

// Lays the bar's components out in rows and sets its height.
void ArrangeDriveBar(TDriveBar& bar);

// The control that dropped a shared popup down, recorded when it opens it; a control deleted since
// (the drive bars are rebuilt) reads as none.
void SetPopupSource(QMenu& menu, QObject* source);
QObject* PopupSource(const QMenu& menu);

} // namespace wux::mainwindow
