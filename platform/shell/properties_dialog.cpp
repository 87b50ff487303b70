#include "platform/shell/properties_dialog.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include <QLocale>

#include "platform/file_types.h"
#include "platform/files.h"
#include "platform/filetime.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "platform/shell/image_list.h"
#include "platform/text.h"
#include "ui_TPropertiesDialog.h"

namespace wux::platform::shell {
namespace {

QString timeText(FileTime time)
{
    const std::optional<CalendarTime> local = fileTimeToLocalCalendar(time);
    if (!local)
        return QString();
    return toQString(shortDateText(*local) + " " + shortTimeText(*local));
}

QString userName(std::uint32_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

QString groupName(std::uint32_t gid)
{
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(static_cast<gid_t>(gid), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}

} // namespace

QString propertiesSizeText(std::uint64_t size)
{
    const QLocale locale;
    // Digits grouped as everywhere else in the program.
    const QString bytes = toQString(formatByteCount(size)) + QStringLiteral(" bytes");
    if (size < 1024)
        return bytes;
    return locale.formattedDataSize(static_cast<qint64>(size), 2, QLocale::DataSizeTraditionalFormat) +
           QStringLiteral(" (") + bytes + QStringLiteral(")");
}

QString permissionsText(std::uint32_t mode)
{
    QString text(9, QLatin1Char('-'));
    const char* const letters = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) {
        if ((mode & (0400u >> i)) != 0)
            text[i] = QLatin1Char(letters[i]);
    }
    const auto special = [&](int position, std::uint32_t bit, char set, char setWithoutExecute) {
        if ((mode & bit) != 0)
            text[position] = QLatin1Char(text[position] == QLatin1Char('x') ? set : setWithoutExecute);
    };
    special(2, S_ISUID, 's', 'S');
    special(5, S_ISGID, 's', 'S');
    special(8, S_ISVTX, 't', 'T');
    return text + QStringLiteral(" (%1)").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

TPropertiesDialog::TPropertiesDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TPropertiesDialog>())
{
    ui_->setupUi(this);
}

TPropertiesDialog::~TPropertiesDialog() = default;

WinError TPropertiesDialog::load(std::string_view windowsPath)
{
    FileInfo info;
    const WinError error = getFileInfo(windowsPath, info);
    if (error != kErrorSuccess)
        return error;
    path_ = std::string(windowsPath);

    // The names as they are spelled on the disk.
    std::string posix;
    std::string shown;
    if (toPosixPath(windowsPath, posix) == kErrorSuccess)
        shown = toWindowsPath(posix);
    if (shown.empty())
        shown = path_;
    std::string folder;
    std::string name;
    if (isDriveRoot(shown)) {
        name = std::string(1, driveLetterOf(shown)) + ":\\";
    } else {
        splitWindowsPath(shown, folder, name);
    }
    const QString shownName = toQString(displayPath(name));
    setWindowTitle(shownName + QStringLiteral(" Properties"));
    ui_->edName->setText(shownName);
    ui_->edName->setCursorPosition(0);

    std::string typeName;
    const std::int32_t icon = pathIconIndex(windowsPath, IconState::kNormal, &typeName);
    if (icon >= 0) {
        const QIcon image = systemIcon(icon);
        ui_->imgIcon->setPixmap(image.pixmap(32, 32));
    } else {
        ui_->imgIcon->clear();
    }
    ui_->lblType->setText(toQString(typeName));
    ui_->lblLocation->setText(toQString(displayPath(folder)));

    const bool isFolder = (info.attributes & kAttrDirectory) != 0;
    ui_->lblSize->setText(isFolder ? QString() : propertiesSizeText(info.size));
    ui_->layFacts->setRowVisible(ui_->lblSize, !isFolder);
    ui_->layFacts->setRowVisible(ui_->lblLocation, !folder.empty());

    ui_->lblCreated->setText(timeText(info.times.creation));
    ui_->lblModified->setText(timeText(info.times.lastWrite));
    ui_->lblAccessed->setText(timeText(info.times.lastAccess));
    ui_->lblPermissions->setText(permissionsText(info.mode));
    ui_->lblOwner->setText(userName(info.owner));
    ui_->lblGroup->setText(groupName(info.group));
    return kErrorSuccess;
}

TPropertiesDialog* showPropertiesDialog(std::string_view windowsPath, QWidget* parent)
{
    auto* dialog = new TPropertiesDialog(parent);
    if (dialog->load(windowsPath) != kErrorSuccess) {
        delete dialog;
        return nullptr;
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

} // namespace wux::platform::shell
