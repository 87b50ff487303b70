// Device changes: the system's notice that drives or media came or went.
//
// The notifier watches the process's mount table (/proc/self/mountinfo, whose readers get a priority
// event when it changes). On a change it
//  1. re-reads the drive map (drives.h),
//  2. emits deviceChanged(),
//  3. posts a QEvent of type kDeviceChangeEvent to every top-level widget, as the system broadcasts its
//     device-change message (0x219) to every top-level window.
// Posting happens on the GUI thread, where the notifier lives; the event carries nothing else, the
// receivers ask the drive map what changed.
#pragma once

#include <QEvent>
#include <QObject>
#include <string>

class QSocketNotifier;

namespace wux::platform::shell {

// The system's device-change message number.
inline constexpr int kDeviceChangeMessage = 0x219;

// The event type of a device change. The program's own messages (the user message base 0x400 plus
// an offset) are QEvent::User + offset; the system's messages below that base sit above every such
// offset, at QEvent::User + 0x1000 + message.
inline constexpr QEvent::Type kDeviceChangeEvent = static_cast<QEvent::Type>(QEvent::User + 0x1000 + 0x219);

class DeviceChangeNotifier : public QObject
{
    Q_OBJECT

public:
    // The process-wide notifier, made on first use (GUI thread only; a QApplication must exist). It
    // belongs to the application object and starts watching at once.
    static DeviceChangeNotifier& instance();

    // True when the mount table is being watched.
    bool isWatching() const { return fd_ >= 0; }

    // Runs the steps of a change (see above) now. The watch calls it; tests call it to simulate one.
    void notifyDeviceChange();

    // Checks the mount table now and runs the steps when it differs from the last text read.
    void checkMountTable();

Q_SIGNALS:
    void deviceChanged();

private:
    explicit DeviceChangeNotifier(QObject* parent);
    ~DeviceChangeNotifier() override;

    std::string readMountTable() const;

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::string lastTable_;
};

// DeviceChangeNotifier::instance().
inline DeviceChangeNotifier& deviceChangeNotifier()
{
    return DeviceChangeNotifier::instance();
}

} // namespace wux::platform::shell
