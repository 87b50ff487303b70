#include "platform/shell/device_change.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include "platform/drives.h"

namespace wux::platform::shell {
namespace {

QPointer<DeviceChangeNotifier>& theNotifier()
{
    static QPointer<DeviceChangeNotifier> notifier;
    return notifier;
}

} // namespace

DeviceChangeNotifier& DeviceChangeNotifier::instance()
{
    QPointer<DeviceChangeNotifier>& notifier = theNotifier();
    if (!notifier)
        notifier = new DeviceChangeNotifier(QCoreApplication::instance());
    return *notifier;
}

DeviceChangeNotifier::DeviceChangeNotifier(QObject* parent) : QObject(parent)
{
    fd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    lastTable_ = readMountTable();
    // The mount table signals a change as a priority event; reading it again from the start arms the
    // next one.
    notifier_ = new QSocketNotifier(static_cast<qintptr>(fd_), QSocketNotifier::Exception, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceChangeNotifier::checkMountTable);
}

DeviceChangeNotifier::~DeviceChangeNotifier()
{
    delete notifier_;
    if (fd_ >= 0)
        ::close(fd_);
}

std::string DeviceChangeNotifier::readMountTable() const
{
    std::string table;
    if (fd_ < 0)
        return table;
    char buffer[16384];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, sizeof(buffer), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        table.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
    return table;
}

void DeviceChangeNotifier::checkMountTable()
{
    std::string table = readMountTable();
    if (table == lastTable_)
        return;
    lastTable_ = std::move(table);
    notifyDeviceChange();
}

void DeviceChangeNotifier::notifyDeviceChange()
{
    reloadDriveMap();
    Q_EMIT deviceChanged();
    for (QWidget* widget : QApplication::topLevelWidgets())
        QCoreApplication::postEvent(widget, new QEvent(kDeviceChangeEvent));
}

} // namespace wux::platform::shell
