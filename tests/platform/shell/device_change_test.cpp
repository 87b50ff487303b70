#include "platform/shell/device_change.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstdlib>
#include <string>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QWidget>

#include "platform/drives.h"
#include "support/env_guard.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform::shell {
namespace {

class DeviceChangeWindow : public QWidget
{
public:
    int notices = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == kDeviceChangeEvent)
            ++notices;
        return QWidget::event(event);
    }
};

TEST(DeviceChange, TheEventTypeSitsAboveTheProgramsOwnMessages)
{
    EXPECT_EQ(static_cast<int>(kDeviceChangeEvent), QEvent::User + 0x1000 + 0x219);
    EXPECT_LE(static_cast<int>(kDeviceChangeEvent), QEvent::MaxUser);
}

TEST(DeviceChange, ANoticeReReadsTheDriveMapAndTellsEveryWindow)
{
    test::TempDrive drive("c");
    test::makeFolder(drive.base() + "/net");
    DeviceChangeNotifier& notifier = DeviceChangeNotifier::instance();
    EXPECT_EQ(&notifier, &deviceChangeNotifier());
    QSignalSpy spy(&notifier, &DeviceChangeNotifier::deviceChanged);
    DeviceChangeWindow first;
    DeviceChangeWindow second;

    // A drive appears; the map is not re-read until the notice.
    test::EnvGuard env;
    env.set("WUX_DRIVES", "c=" + drive.root() + ";f=" + drive.base() + "/net:remote");
    EXPECT_FALSE(findDrive('f'));

    notifier.notifyDeviceChange();
    EXPECT_EQ(spy.count(), 1);
    ASSERT_TRUE(findDrive('f'));
    EXPECT_EQ(findDrive('f')->type, kDriveRemote);
    // The windows get it posted, as the system's broadcast.
    EXPECT_EQ(first.notices, 0);
    QCoreApplication::sendPostedEvents(nullptr, kDeviceChangeEvent);
    EXPECT_EQ(first.notices, 1);
    EXPECT_EQ(second.notices, 1);
}

TEST(DeviceChange, AnUnchangedMountTableIsNoChange)
{
    DeviceChangeNotifier& notifier = DeviceChangeNotifier::instance();
    ASSERT_TRUE(notifier.isWatching());
    QSignalSpy spy(&notifier, &DeviceChangeNotifier::deviceChanged);
    // Other tests running at the same time mount and unmount file systems: the check is repeated
    // until two looks in a row see the same table, which must then be no change.
    for (int attempt = 0; attempt < 50; ++attempt) {
        notifier.checkMountTable(); // take in whatever changed before
        spy.clear();
        notifier.checkMountTable();
        if (spy.count() == 0)
            break;
    }
    EXPECT_EQ(spy.count(), 0);
}

// Mounts a small file system on a folder of its own (where the process may mount) and unmounts it.
class TestMount
{
public:
    explicit TestMount(std::string folder) : folder_(std::move(folder))
    {
        mounted_ = ::mount("wux-test", folder_.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TestMount() { unmount(); }
    bool mounted() const { return mounted_; }
    void unmount()
    {
        if (mounted_)
            ::umount(folder_.c_str());
        mounted_ = false;
    }

private:
    std::string folder_;
    bool mounted_ = false;
};

TEST(DeviceChange, MountingAndUnmountingAreNoticed)
{
    test::TempDrive drive("c");
    test::makeFolder(drive.posix("mnt"));
    DeviceChangeNotifier& notifier = DeviceChangeNotifier::instance();
    ASSERT_TRUE(notifier.isWatching());
    notifier.checkMountTable();
    QSignalSpy spy(&notifier, &DeviceChangeNotifier::deviceChanged);

    TestMount mount(drive.posix("mnt"));
    if (!mount.mounted())
        GTEST_SKIP() << "this process may not mount file systems";
    EXPECT_TRUE(spy.wait(10000));
    spy.clear();
    mount.unmount();
    EXPECT_TRUE(spy.wait(10000));
}

} // namespace
} // namespace wux::platform::shell
