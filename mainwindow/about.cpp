#include "mainwindow/about.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

#include "core/text_table.h"
#include "core/web_pages.h"
#include "mainwindow/main_menus.h"
#include "platform/text.h"
#include "ui_TfrmAbout.h"

// The images are compiled into this library; a static library needs them registered by hand (at
// global scope, where the resource's initialiser lives).
static void registerMainWindowImages()
{
    Q_INIT_RESOURCE(mainwindow);
}

namespace wux::mainwindow {

namespace {

const QColor kLinkColor(0, 0, 255);
const QColor kLinkHoverColor(0, 255, 255);

} // namespace

void initMainWindowResources()
{
    static const bool registered = [] {
        registerMainWindowImages();
        return true;
    }();
    (void)registered;
}

void registerAboutTexts()
{
    core::registerDefaultTexts({
        {kTextAboutCaption, "About"},
        {kTextAboutSupport, "FeedBack and Technical Support"},
        {kTextAboutContact, "Contact us..."},
    });
}

int linkPageCode(int tag)
{
    switch (tag) {
    case 1:
        return core::kPageHome;
    case 2:
        return core::kPageSupport;
    case 3:
        return core::kPageContact;
    default:
        return 0;
    }
}

// ---- TLinkLabel ----

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setColor(kLinkColor);
}

void TLinkLabel::setColor(const QColor& color)
{
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, color);
    setPalette(colors);
}

void TLinkLabel::enterEvent(QEnterEvent* event)
{
    setColor(kLinkHoverColor);
    QLabel::enterEvent(event);
}

void TLinkLabel::leaveEvent(QEvent* event)
{
    setColor(kLinkColor);
    QLabel::leaveEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

// ---- TfrmAbout ----

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TfrmAbout>())
{
    initMainWindowResources();
    ui_->setupUi(this);
    setFixedSize(size());
    ui_->BrandIcon->setPixmap(QPixmap(QStringLiteral(":/images/MAINICON.png")));
    ui_->lblProduct->setText(QStringLiteral("Wuxtool %1").arg(QStringLiteral(WUX_VERSION)));
    ui_->lblWebSite->setProperty("tag", 1);
    ui_->lblTechnSupp->setProperty("tag", 2);
    ui_->lblContactUs->setProperty("tag", 3);
    const QString home = QString::fromStdString(core::webPageAddress(core::kPageHome));
    ui_->lblWebSite->setText(home);
    for (TLinkLabel* link : {ui_->lblWebSite, ui_->lblTechnSupp, ui_->lblContactUs}) {
        // A link without an address would do nothing: it is not offered.
        link->setVisible(!core::webPageAddress(linkPageCode(link->tag())).empty());
        connect(link, &TLinkLabel::clicked, this, [this, link] { lblTechnSuppClick(link->tag()); });
    }
    connect(ui_->btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::lblTechnSuppClick(int tag)
{
    const int code = linkPageCode(tag);
    if (code != 0) {
        core::OpenWebPage(code);
    }
}

void TfrmAbout::showEvent(QShowEvent* event)
{
    setWindowTitle(uiQText(kTextAboutCaption));
    ui_->lblTechnSupp->setText(uiQText(kTextAboutSupport));
    ui_->lblContactUs->setText(uiQText(kTextAboutContact));
    ui_->btnOk->setText(uiQText(kTextOk));
    QDialog::showEvent(event);
}

} // namespace wux::mainwindow
