#include "controls/wux_bit_btn.h"

namespace wux::controls {

TWUXBitBtn::TWUXBitBtn(QWidget* parent) : QPushButton(parent), newFont_(font()) {}

TWUXBitBtn::TWUXBitBtn(const QString& text, QWidget* parent) : QPushButton(text, parent), newFont_(font()) {}

void TWUXBitBtn::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    if (useNewStyle_) {
        savedFont_ = font();
        // A font inherited from the parent stays inherited when it comes back.
        savedFontResolved_ = testAttribute(Qt::WA_SetFont);
        setFont(newFont_);
    }
}

void TWUXBitBtn::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    if (useNewStyle_) {
        if (savedFontResolved_) {
            setFont(savedFont_);
        } else {
            setFont(QFont()); // an empty font takes the parent's again
        }
    }
}

} // namespace wux::controls
