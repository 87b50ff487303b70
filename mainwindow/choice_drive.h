// TChoiceDrive: the small modal dialog that asks for another drive when the one chosen is not ready.
// It lists every drive of the drive list as "[-x-]"; its user reads the chosen index after OK.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QKeyEvent;

namespace Ui {
class TChoiceDrive;
}

namespace wux::mainwindow {

class TChoiceDrive : public QDialog
{
    Q_OBJECT
public:
    explicit TChoiceDrive(QWidget* parent = nullptr);
    ~TChoiceDrive() override;

    // The drive box (a fixed list).
    QComboBox* cmbDrives() const;

protected:
    // The dialog sees keys before its controls: Escape closes it with Cancel and is consumed.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::TChoiceDrive> ui_;
};

// Asks for a drive: shows TChoiceDrive modally, centred on owner's window, with index preselected.
// True and the chosen index in index on OK; false (index unchanged) on Cancel.
bool ChooseDrive(QWidget* owner, int& index);

// Replaces the dialog of ChooseDrive (tests script the answers); an empty hook restores the dialog.
// Returns the hook it replaces.
using ChooseDriveHook = std::function<bool(int& index)>;
ChooseDriveHook SetChooseDriveHook(ChooseDriveHook hook);

} // namespace wux::mainwindow
