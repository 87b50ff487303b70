// TViewProcess: the modal progress window of a file operation (the operation's title, the current
// source and target names, a gauge for the current file and one for the whole run, and Cancel), and
// FileOperationWindows, through which the engine's worker thread reaches this window and the
// question dialog.
//
// Stopping: Cancel, Escape, the close box and the close command that the worker posts when it ends
// all set the worker's terminate flag, wait for it (serving its synchronised calls meanwhile) and
// close the window. Minimising the window minimises the whole application.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include <QDialog>
#include <QEvent>
#include <QPointer>

#include "filelist/file_operation_ui.h"

class QRect;

namespace Ui {
class TViewProcess;
}

namespace wux::platform {
class WuxThread;
}

namespace wux::filelist {

class TCopyConfirmationForm;

// The message of a move of a folder into a folder inside it.
inline constexpr int kTextMoveIntoItself = 1303;
// Registers the progress window's texts 1300 "From", 1301 "To", 1302 "Cancel", and 1303.
void registerFileOperationWindowTexts();

class TViewProcess : public QDialog
{
    Q_OBJECT

public:
    explicit TViewProcess(QWidget* parent = nullptr);
    ~TViewProcess() override;

    // The window as the engine sets it before showing: the caption, the operation's title in
    // lblOperation, the one-gauge layout for delete, send to and remove from the Basket, the position
    // over the main window's frame, both gauges at 0 and both name labels empty.
    void PrepareForOperation(TFileOperationKind kind, const QString& caption, const QRect& mainFrame);
    // lblCurrentFile takes lblCopyTo's place, lblCopyTo and gCurrent are hidden, gProgress takes
    // gCurrent's place, and btnCancel and the window move up by as much. Once only.
    void SetOneGaugeLayout();
    // Centred horizontally on the main window's frame, a third of the free height from its top.
    void PlaceOver(const QRect& mainFrame);

    // gProgress := overallPercent, gCurrent := filePercent, each only when it changed.
    void UpdateGauges(std::int32_t overallPercent, std::int32_t filePercent);
    // The name labels (see IFileOperationUi::ShowNames).
    void ShowNames(std::string_view sourcePath, std::string_view targetPath);

    TFileOperationKind kind() const { return kind_; }

    // The worker that Cancel and the close command stop (not owned; may be nullptr).
    void setWorker(platform::WuxThread* worker) { worker_ = worker; }
    // Called when Cancel (or Escape, or the close command) has stopped the run: clears the busy flag.
    std::function<void()> clearBusyFlag;

    // True once the window has been shown (readable from any thread).
    bool WasShown() const { return shown_.load(); }

    // The event type of the close command, and posting it (from any thread).
    static QEvent::Type CloseCommandEvent();
    void PostCloseCommand();

    void btnCancelClick();

public Q_SLOTS:
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void stopWorker();

    std::unique_ptr<Ui::TViewProcess> ui_;
    TFileOperationKind kind_ = TFileOperationKind::Copy;
    bool oneGauge_ = false;
    platform::WuxThread* worker_ = nullptr;
    std::atomic<bool> shown_{false};
};

// The engine's view of the two windows (IFileOperationUi): gauges, labels and questions run on the
// GUI thread through synchronised calls; questions are asked under the progress window, with the
// names as spelled on the disk and shortened to 7/9 of the main window's client width. Create the
// question dialog as a child of the progress window, so that it stays above it.
class FileOperationWindows final : public IFileOperationUi
{
public:
    // mainWindow: the window whose client width bounds the question's names (nullptr: the screen's).
    FileOperationWindows(TViewProcess& view, TCopyConfirmationForm& form, QWidget* mainWindow);

    bool ProgressWindowShown() const override;
    void ShowProgress(std::int32_t overallPercent, std::int32_t filePercent) override;
    void ShowNames(std::string_view sourcePath, std::string_view targetPath) override;
    ConfirmationAnswer Ask(const ConfirmationQuestion& question) override;
    void PostCloseCommand() override;

private:
    TViewProcess& view_;
    TCopyConfirmationForm& form_;
    QPointer<QWidget> mainWindow_;
};

} // namespace wux::filelist
