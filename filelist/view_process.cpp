#include "filelist/view_process.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMargins>
#include <QPalette>
#include <QRect>
#include <QScreen>
#include <QWindowStateChangeEvent>

#include "controls/grid_cell_painter.h"
#include "core/display_helpers.h"
#include "core/gui_helpers.h"
#include "core/text_table.h"
#include "filelist/copy_confirmation_form.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "ui_TViewProcess.h"

namespace wux::filelist {

namespace {

constexpr int kTextFrom = 1300;
constexpr int kTextTo = 1301;
constexpr int kTextCancel = 1302;

// The operation's title.
int titleId(TFileOperationKind kind)
{
    switch (kind) {
    case TFileOperationKind::Copy:
        return 127;
    case TFileOperationKind::Delete:
        return 129;
    case TFileOperationKind::Move:
        return 128;
    case TFileOperationKind::SendToBasket:
        return 130;
    case TFileOperationKind::RemoveFromBasket:
        return 131;
    }
    return 127;
}

// The text before the source path: "Delete:  ", "Send:  ", "Remove:  " or "From:  ".
int sourcePrefixId(TFileOperationKind kind)
{
    switch (kind) {
    case TFileOperationKind::Delete:
        return 124;
    case TFileOperationKind::SendToBasket:
        return 121;
    case TFileOperationKind::RemoveFromBasket:
        return 120;
    case TFileOperationKind::Copy:
    case TFileOperationKind::Move:
        break;
    }
    return 122;
}

bool hasTarget(TFileOperationKind kind)
{
    return kind == TFileOperationKind::Copy || kind == TFileOperationKind::Move;
}

} // namespace

void registerFileOperationWindowTexts()
{
    core::registerDefaultTexts({{kTextFrom, "From"},
                                {kTextTo, "To"},
                                {kTextCancel, "Cancel"},
                                {kTextMoveIntoItself, "You cannot move a folder into itself!"}});
}

TViewProcess::TViewProcess(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TViewProcess>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(FileOperationDialogFont());
    setFixedSize(size());
    for (QWidget* gauge : {static_cast<QWidget*>(ui_->gCurrent), static_cast<QWidget*>(ui_->gProgress)}) {
        QPalette palette = gauge->palette();
        palette.setColor(QPalette::Highlight, Qt::blue);
        gauge->setPalette(palette);
    }
    ui_->lblCurrentFile->setText(platform::toQString(core::uiText(kTextFrom)));
    ui_->lblCopyTo->setText(platform::toQString(core::uiText(kTextTo)));
    ui_->btnCancel->setText(platform::toQString(core::uiText(kTextCancel)));
    connect(ui_->btnCancel, &QPushButton::clicked, this, &TViewProcess::btnCancelClick);
}

TViewProcess::~TViewProcess() = default;

void TViewProcess::PrepareForOperation(TFileOperationKind kind, const QString& caption,
                                       const QRect& mainFrame)
{
    kind_ = kind;
    ui_->lblOperation->setText(platform::toQString(core::uiText(titleId(kind))));
    setWindowTitle(caption);
    if (!hasTarget(kind))
        SetOneGaugeLayout();
    PlaceOver(mainFrame);
    ui_->gCurrent->setValue(0);
    ui_->gProgress->setValue(0);
    ui_->lblCurrentFile->clear();
    ui_->lblCopyTo->clear();
}

void TViewProcess::SetOneGaugeLayout()
{
    if (oneGauge_)
        return;
    oneGauge_ = true;
    const int distance = ui_->gProgress->y() - ui_->gCurrent->y();
    ui_->lblCurrentFile->move(ui_->lblCurrentFile->x(), ui_->lblCopyTo->y());
    ui_->lblCopyTo->hide();
    ui_->gCurrent->hide();
    ui_->gProgress->move(ui_->gProgress->x(), ui_->gCurrent->y());
    ui_->btnCancel->move(ui_->btnCancel->x(), ui_->btnCancel->y() - distance);
    setFixedSize(width(), height() - distance);
}

void TViewProcess::PlaceOver(const QRect& mainFrame)
{
    const QMargins margins = FrameMarginsOf(*this);
    const int frameWidth = width() + margins.left() + margins.right();
    const int frameHeight = height() + margins.top() + margins.bottom();
    move(mainFrame.x() + (mainFrame.width() - frameWidth) / 2,
         mainFrame.y() + (mainFrame.height() - frameHeight) / 3);
}

void TViewProcess::UpdateGauges(std::int32_t overallPercent, std::int32_t filePercent)
{
    if (ui_->gProgress->value() != overallPercent)
        ui_->gProgress->setValue(overallPercent);
    if (ui_->gCurrent->value() != filePercent)
        ui_->gCurrent->setValue(filePercent);
}

void TViewProcess::ShowNames(std::string_view sourcePath, std::string_view targetPath)
{
    // A name that does not fit is elided in its middle, as the questions show it: the end of the name
    // and its extension stay.
    const int width = ui_->gProgress->width();
    const QFontMetrics metrics(ui_->lblCurrentFile->font());
    const auto line = [&](const std::string& prefix, std::string_view path) {
        const QString shownPrefix = platform::toQString(prefix);
        return shownPrefix + controls::FitPathText(metrics, platform::toQString(std::string(path)),
                                                   width - metrics.horizontalAdvance(shownPrefix));
    };
    ui_->lblCurrentFile->setText(line(core::uiText(sourcePrefixId(kind_)), sourcePath));
    if (hasTarget(kind_))
        ui_->lblCopyTo->setText(line(core::uiText(123), targetPath));
}

QEvent::Type TViewProcess::CloseCommandEvent()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void TViewProcess::PostCloseCommand()
{
    QCoreApplication::postEvent(this, new QEvent(CloseCommandEvent()));
}

void TViewProcess::btnCancelClick()
{
    reject();
}

void TViewProcess::stopWorker()
{
    if (worker_ != nullptr) {
        worker_->Terminate();
        worker_->WaitFor();
    }
}

void TViewProcess::reject()
{
    // Cancel, Escape, the close box and the close command.
    stopWorker();
    if (clearBusyFlag)
        clearBusyFlag();
    QDialog::reject();
}

bool TViewProcess::event(QEvent* event)
{
    if (event->type() == CloseCommandEvent()) {
        close();
        return true;
    }
    return QDialog::event(event);
}

void TViewProcess::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if (isMinimized() && !(change->oldState() & Qt::WindowMinimized)) {
            // Minimising the progress window minimises the whole application.
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget* window : windows) {
                if (window != this && window->isVisible() && !window->isMinimized())
                    window->showMinimized();
            }
        }
    }
    QDialog::changeEvent(event);
}

void TViewProcess::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    shown_.store(true);
}

FileOperationWindows::FileOperationWindows(TViewProcess& view, TCopyConfirmationForm& form,
                                           QWidget* mainWindow)
    : view_(view), form_(form), mainWindow_(mainWindow)
{
}

bool FileOperationWindows::ProgressWindowShown() const
{
    return view_.WasShown();
}

void FileOperationWindows::ShowProgress(std::int32_t overallPercent, std::int32_t filePercent)
{
    platform::synchronize([&] { view_.UpdateGauges(overallPercent, filePercent); });
}

void FileOperationWindows::ShowNames(std::string_view sourcePath, std::string_view targetPath)
{
    platform::synchronize([&] { view_.ShowNames(sourcePath, targetPath); });
}

ConfirmationAnswer FileOperationWindows::Ask(const ConfirmationQuestion& question)
{
    ConfirmationAnswer answer = ConfirmationAnswer::Cancel;
    platform::synchronize([&] {
        if (mainWindow_ != nullptr) {
            form_.mainClientWidth = mainWindow_->width();
        } else {
            const QScreen* screen = view_.screen() ? view_.screen() : QGuiApplication::primaryScreen();
            form_.mainClientWidth = screen != nullptr ? screen->availableGeometry().width() : 0;
        }
        form_.PlaceUnder(view_.frameGeometry());
        answer = form_.Ask(question);
    });
    return answer;
}

void FileOperationWindows::PostCloseCommand()
{
    view_.PostCloseCommand();
}

} // namespace wux::filelist
