#include "mainwindow/choice_drive.h"

#include "ui_TChoiceDrive.h"

#include <QKeyEvent>

#include <utility>

#include "core/text_table.h"
#include "filelist/drive_list.h"
#include "mainwindow/drive_bar.h"

namespace wux::mainwindow {

namespace {

enum ChoiceDriveText
{
    kTextCaption = 1500,
    kTextNotFound = 1501,
    kTextChooseAnother = 1502,
    kTextCancel = 1503,
    kTextOk = 1504,
};

ChooseDriveHook& chooseDriveHook()
{
    static ChooseDriveHook hook;
    return hook;
}

QString text(int id)
{
    return QString::fromStdString(core::uiText(id));
}

} // namespace

TChoiceDrive::TChoiceDrive(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TChoiceDrive>())
{
    ui_->setupUi(this);
    for (const auto& drive : filelist::DriveList)
        ui_->cmbDrives->addItem(DriveChoiceItemText(*drive));
    setWindowTitle(text(kTextCaption));
    ui_->Label1->setText(text(kTextNotFound));
    ui_->Label2->setText(text(kTextChooseAnother));
    ui_->btnCancel->setText(text(kTextCancel));
    ui_->btnOK->setText(text(kTextOk));
    connect(ui_->btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

TChoiceDrive::~TChoiceDrive() = default;

QComboBox* TChoiceDrive::cmbDrives() const
{
    return ui_->cmbDrives;
}

bool TChoiceDrive::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TChoiceDrive::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ChooseDrive(QWidget* owner, int& index)
{
    if (const ChooseDriveHook& hook = chooseDriveHook())
        return hook(index);
    TChoiceDrive dialog(owner != nullptr ? owner->window() : nullptr);
    if (index >= 0 && index < dialog.cmbDrives()->count())
        dialog.cmbDrives()->setCurrentIndex(index);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    index = dialog.cmbDrives()->currentIndex();
    return true;
}

ChooseDriveHook SetChooseDriveHook(ChooseDriveHook hook)
{
    return std::exchange(chooseDriveHook(), std::move(hook));
}

} // namespace wux::mainwindow
