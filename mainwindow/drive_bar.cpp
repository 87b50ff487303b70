#include "mainwindow/drive_bar.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QPainter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

#include "controls/image_list.h"
#include "controls/speed_button_new.h"
#include "filelist/drive_list.h"
#include "platform/drives.h"
#include "platform/shell/image_list.h"

namespace wux::mainwindow {

namespace {

constexpr int kFavoritesToolbarWidth = 32;
constexpr int kFavoritesButtonWidth = 31;
constexpr int kFavoritesButtonHeight = 20;
constexpr int kTrailingPanelHeight = 20;
constexpr int kButtonGroup = 1;
constexpr int kGlyphSize = 16;

int tagOf(const QWidget* widget)
{
    const QVariant tag = widget->property("tag");
    return tag.isValid() ? tag.toInt() : 0;
}

// The favourites button: the popup is shared by several bars, so the button records itself as the
// popup's opener when it is pressed, before the popup drops down (and holds the popup until it closes).
class FavoritesButton : public QToolButton
{
public:
    using QToolButton::QToolButton;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (QMenu* popup = menu())
            SetPopupSource(*popup, this);
        QToolButton::mousePressEvent(event);
    }
};

QString letterText(char letter)
{
    return QString(QChar(static_cast<unsigned char>(letter)));
}

} // namespace

QString DriveBoxItemText(const filelist::TDriveRecord& drive)
{
    return QStringLiteral("[-") + letterText(drive.letter) + QStringLiteral("-]  ") +
           QString::fromStdString(drive.Name());
}

QString DriveChoiceItemText(const filelist::TDriveRecord& drive)
{
    return QStringLiteral("[-") + letterText(drive.letter) + QStringLiteral("-]");
}

QString DriveKindGlyphName(const filelist::TDriveRecord& drive)
{
    if (drive.letter == '*')
        return QStringLiteral("DRIVEBSK");
    if (drive.letter == '\\')
        return QStringLiteral("DRIVENET");
    switch (drive.type) {
    case platform::kDriveRemovable:
        return QStringLiteral("DRIVEA");
    case platform::kDriveRemote:
        return QStringLiteral("DRIVERMT");
    case platform::kDriveCdrom:
        return QStringLiteral("DRIVECD");
    default:
        return QStringLiteral("DRIVEHRD");
    }
}

QPixmap DriveKindGlyph(const QString& name)
{
    for (const char* suffix : {".bmp", ".png"}) {
        const QString resource = QStringLiteral(":/images/") + name + QLatin1String(suffix);
        if (QFile::exists(resource)) {
            QPixmap pixmap(resource);
            if (!pixmap.isNull())
                return pixmap;
        }
    }
    QStyle::StandardPixmap kind = QStyle::SP_DriveHDIcon;
    if (name == QLatin1String("DRIVEBSK"))
        kind = QStyle::SP_TrashIcon;
    else if (name == QLatin1String("DRIVENET") || name == QLatin1String("DRIVERMT"))
        kind = QStyle::SP_DriveNetIcon;
    else if (name == QLatin1String("DRIVEA"))
        kind = QStyle::SP_DriveFDIcon;
    else if (name == QLatin1String("DRIVECD"))
        kind = QStyle::SP_DriveCDIcon;
    return QApplication::style()->standardIcon(kind).pixmap(kGlyphSize, kGlyphSize);
}

// ---- TDriveBar -------------------------------------------------------------------------------

TDriveBar::TDriveBar(QWidget* parent) : QWidget(parent) {}

TDriveBar::~TDriveBar() = default;

std::vector<controls::TSpeedButtonNew*> TDriveBar::DriveButtons() const
{
    std::vector<controls::TSpeedButtonNew*> buttons;
    for (QWidget* component : components_)
        if (auto* button = qobject_cast<controls::TSpeedButtonNew*>(component))
            buttons.push_back(button);
    return buttons;
}

controls::TSpeedButtonNew* TDriveBar::DriveButton(int index) const
{
    const std::vector<controls::TSpeedButtonNew*> buttons = DriveButtons();
    return index >= 0 && index < int(buttons.size()) ? buttons[std::size_t(index)] : nullptr;
}

QToolBar* TDriveBar::FavoritesToolbar() const
{
    return components_.empty() ? nullptr : qobject_cast<QToolBar*>(components_.back());
}

void TDriveBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ArrangeDriveBar(*this);
    if (OnResize)
        OnResize();
}

// ---- The shared popup's opener ---------------------------------------------------------------

void SetPopupSource(QMenu& menu, QObject* source)
{
    menu.setProperty("popupSource", QVariant::fromValue(QPointer<QObject>(source)));
}

QObject* PopupSource(const QMenu& menu)
{
    return menu.property("popupSource").value<QPointer<QObject>>().data();
}

// ---- Building and arranging ------------------------------------------------------------------

void BuildDriveButtons(TDriveBar& bar, int currentIndex, controls::TImageList* images, QMenu* favoritesMenu,
                       const std::function<void(int tag)>& onClick)
{
    std::vector<QWidget*>& owned = bar.components_;
    // The favourites toolbar is always the last component.
    if (!owned.empty() && qobject_cast<QToolBar*>(owned.back()) != nullptr) {
        delete owned.back();
        owned.pop_back();
    }
    const int drives = int(filelist::DriveList.size());
    // Surplus buttons go from the front of the bar.
    while (int(owned.size()) > drives) {
        delete owned.front();
        owned.erase(owned.begin());
    }
    for (int i = int(owned.size()); i < drives; ++i) {
        auto* button = new controls::TSpeedButtonNew(&bar);
        button->setGeometry(0, 1, kDriveButtonWidth, kDriveButtonHeight);
        button->setFlat(true);
        button->setGroupIndex(kButtonGroup);
        owned.push_back(button);
    }

    for (int i = 0; i < drives; ++i) {
        auto* button = static_cast<controls::TSpeedButtonNew*>(owned[std::size_t(i)]);
        const filelist::TDriveRecord& drive = *filelist::DriveList[std::size_t(i)];
        button->setTag(i);
        button->setProperty("tag", i);
        button->disconnect(button, &QToolButton::clicked, nullptr, nullptr);
        if (onClick)
            QObject::connect(button, &QToolButton::clicked, button,
                             [onClick, button] { onClick(button->Tag()); });
        button->setToolTip(QString::fromStdString(drive.Name()).left(int(filelist::kDriveNameSize)));
        button->setText(letterText(drive.letter));

        std::int32_t icon = -1;
        if (drive.letter == '\\')
            icon = platform::shell::networkIconIndex();
        else if (drive.letter != '*')
            icon = platform::shell::pathIconIndex(std::string(1, drive.letter) + ":\\");
        if (icon >= 0) {
            button->setGlyph(platform::shell::systemIcon(icon).pixmap(kGlyphSize, kGlyphSize));
            button->SetSystemImage([](int index) { return platform::shell::systemIcon(index); }, icon);
        } else {
            button->SetSystemImage({}, -1);
            button->setGlyph(DriveKindGlyph(DriveKindGlyphName(drive)));
        }
    }
    // Down last, so that the current button raises the others of its group.
    for (int i = 0; i < drives; ++i)
        if (i != currentIndex)
            static_cast<controls::TSpeedButtonNew*>(owned[std::size_t(i)])->setDown(false);
    if (currentIndex >= 0 && currentIndex < drives)
        static_cast<controls::TSpeedButtonNew*>(owned[std::size_t(currentIndex)])->setDown(true);

    auto* toolbar = new QToolBar(&bar);
    toolbar->setObjectName(QStringLiteral("tbFavorites"));
    toolbar->setGeometry(0, 0, kFavoritesToolbarWidth, kDriveButtonHeight);
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setContentsMargins(1, 0, 0, 0);
    toolbar->setStyleSheet(QStringLiteral("QToolBar { border: 0px; padding: 0px; spacing: 0px; }"));
    auto* favorites = new FavoritesButton(toolbar);
    favorites->setObjectName(QStringLiteral("btnFavorites"));
    favorites->setAutoRaise(true);
    favorites->setFixedSize(kFavoritesButtonWidth, kFavoritesButtonHeight);
    if (images != nullptr && images->Count() > 0)
        favorites->setIcon(QIcon(images->image(0)));
    else
        favorites->setIcon(QApplication::style()->standardIcon(QStyle::SP_DirIcon));
    if (favoritesMenu != nullptr) {
        favorites->setMenu(favoritesMenu);
        favorites->setPopupMode(QToolButton::InstantPopup);
    }
    toolbar->addWidget(favorites);
    owned.push_back(toolbar);
    ArrangeDriveBar(bar);
}

void ArrangeDriveBar(TDriveBar& bar)
{
    const int barWidth = bar.width();
    int x = 0;
    int y = 1;
    bool first = true;
    for (QWidget* component : bar.Components()) {
        if (!first && component->width() + x - 10 > barWidth) {
            y += kDriveBarRowHeight;
            x = 0;
        }
        component->move(x, y);
        first = false;
        component->show();
        x += kDriveBarStep;
    }
    const bool combined = (bar.layoutWord & 0x8) != 0;
    for (QObject* child : bar.children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control == nullptr || control->isWindow() || tagOf(control) != -1)
            continue;
        if (!combined && x + control->width() > barWidth) {
            y += kDriveBarRowHeight;
            x = 0;
        }
        control->setGeometry(x, y, control->width(), kTrailingPanelHeight);
        if (!combined)
            x += control->width();
    }
    bar.setFixedHeight(y + kDriveBarRowHeight);
}

} // namespace wux::mainwindow
