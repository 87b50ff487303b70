// The properties dialog of a file or folder: its icon and name, type, location (the folder, as a drive
// path), size, creation, modification and access times, POSIX permissions, owner and group. Read-only;
// shown without blocking the program (as the system's property sheets), freed when closed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <QDialog>

#include "platform/errors.h"

namespace Ui {
class TPropertiesDialog;
}

namespace wux::platform::shell {

class TPropertiesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TPropertiesDialog(QWidget* parent = nullptr);
    ~TPropertiesDialog() override;

    // Fills the dialog with the facts of a file, folder or drive root (a drive path). Errors: those of
    // reading the file's information (2, 3, ...); the dialog is then left as it was.
    WinError load(std::string_view windowsPath);

    // The path shown (as given to load).
    const std::string& path() const { return path_; }

private:
    std::unique_ptr<Ui::TPropertiesDialog> ui_;
    std::string path_;
};

// Shows the properties of a file, folder or drive root (a drive path) in a new dialog owned by parent,
// without waiting for it; the dialog frees itself when closed. Returns the dialog, or nullptr (and
// shows nothing) when the path cannot be read.
TPropertiesDialog* showPropertiesDialog(std::string_view windowsPath, QWidget* parent = nullptr);

// The texts the dialog shows, for a size in bytes: "512 bytes", "1.17 kB (1,200 bytes)" (in the
// locale's number format).
QString propertiesSizeText(std::uint64_t size);
// "rwxr-x--- (0750)" for the permission bits of a POSIX mode (set-user-id, set-group-id and sticky
// shown as s/S, s/S and t/T, as ls shows them).
QString permissionsText(std::uint32_t mode);

} // namespace wux::platform::shell
