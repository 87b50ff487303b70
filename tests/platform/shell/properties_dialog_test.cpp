#include "platform/shell/properties_dialog.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "platform/files.h"
#include "platform/filetime.h"
#include "qt_printers.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform::shell {
namespace {

QString labelText(QWidget* dialog, const char* name)
{
    auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

bool rowShown(QWidget* dialog, const char* name)
{
    auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
    return label && !label->isHidden();
}

FileTime at(int year, int month, int day, int hour, int minute)
{
    return *calendarToFileTime(CalendarTime{year, month, day, hour, minute, 0, 0, 0});
}

QString currentUser()
{
    passwd* entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(::geteuid());
}

TEST(PropertiesTexts, SizesAndPermissions)
{
    EXPECT_EQ(propertiesSizeText(0), "0 bytes");
    EXPECT_EQ(propertiesSizeText(1023), "1 023 bytes");
    EXPECT_EQ(propertiesSizeText(1024), "1.00 kB (1 024 bytes)");
    EXPECT_EQ(propertiesSizeText(1200), "1.17 kB (1 200 bytes)");
    EXPECT_EQ(propertiesSizeText(5u * 1024 * 1024), "5.00 MB (5 242 880 bytes)");
    EXPECT_EQ(propertiesSizeText(1767), "1.73 kB (1 767 bytes)");

    struct Case
    {
        std::uint32_t mode;
        const char* text;
    };
    const Case cases[] = {
        {S_IFREG | 0644, "rw-r--r-- (0644)"},
        {S_IFDIR | 0750, "rwxr-x--- (0750)"},
        {04755, "rwsr-xr-x (4755)"},
        {02644, "rw-r-Sr-- (2644)"},
        {S_IFDIR | 01777, "rwxrwxrwt (1777)"},
        {01600, "rw------T (1600)"},
        {0, "--------- (0000)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(permissionsText(c.mode), c.text) << c.mode;
}

class PropertiesDialogTest : public test::TempDriveTest
{
protected:
    void TearDown() override
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<TPropertiesDialog*>(widget))
                delete widget;
        }
    }
};

TEST_F(PropertiesDialogTest, AFileShowsItsFacts)
{
    test::createFile(path("docs\\report.txt"), std::string(1200, 'x'), test::kNoTime, 0640);
    const FileTime written = at(2026, 3, 4, 5, 6);
    const FileTime read = at(2026, 11, 30, 23, 59);
    ASSERT_EQ(setFileTimes(path("docs\\report.txt"), nullptr, &read, &written), kErrorSuccess);

    TPropertiesDialog* dialog = showPropertiesDialog(path("docs\\report.txt"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(dialog->windowTitle(), "report.txt Properties");
    EXPECT_EQ(dialog->findChild<QLineEdit*>("edName")->text(), "report.txt");
    EXPECT_EQ(labelText(dialog, "lblType"), "plain text document");
    EXPECT_EQ(labelText(dialog, "lblLocation"), "c:\\docs");
    EXPECT_EQ(labelText(dialog, "lblSize"), "1.17 kB (1 200 bytes)");
    EXPECT_EQ(labelText(dialog, "lblModified"), "4 Mar 2026 05:06");
    EXPECT_EQ(labelText(dialog, "lblAccessed"), "30 Nov 2026 23:59");
    EXPECT_FALSE(labelText(dialog, "lblCreated").isEmpty());
    EXPECT_EQ(labelText(dialog, "lblPermissions"), "rw-r----- (0640)");
    EXPECT_EQ(labelText(dialog, "lblOwner"), currentUser());
    EXPECT_TRUE(rowShown(dialog, "lblSize"));
    EXPECT_FALSE(dialog->findChild<QLabel*>("imgIcon")->pixmap().isNull());

    // OK closes and frees it.
    QPointer<TPropertiesDialog> watch(dialog);
    QTest::mouseClick(dialog->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

TEST_F(PropertiesDialogTest, FoldersDrivesAndReservedCharacters)
{
    test::makeFolder(path("docs"), 0755);
    test::createFile(posix("a:b.txt"), "x");

    TPropertiesDialog folder;
    ASSERT_EQ(folder.load(path("docs")), kErrorSuccess);
    EXPECT_EQ(labelText(&folder, "lblType"), "folder");
    EXPECT_EQ(labelText(&folder, "lblLocation"), "c:\\");
    EXPECT_EQ(labelText(&folder, "lblPermissions"), "rwxr-xr-x (0755)");
    EXPECT_FALSE(rowShown(&folder, "lblSize"));
    // A group without a name shows its number.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(posix("docs").c_str(), 0, 54321), 0);
        ASSERT_EQ(folder.load(path("docs")), kErrorSuccess);
        EXPECT_EQ(labelText(&folder, "lblGroup"), "54321");
    }

    TPropertiesDialog root;
    ASSERT_EQ(root.load("c:\\"), kErrorSuccess);
    EXPECT_EQ(root.findChild<QLineEdit*>("edName")->text(), "c:\\");
    EXPECT_FALSE(rowShown(&root, "lblLocation"));

    // A Linux name with a character that Windows names cannot hold is shown as it is.
    TPropertiesDialog odd;
    ASSERT_EQ(odd.load(path("a\xEF\x80\xBA"
                            "b.txt")),
              kErrorSuccess);
    EXPECT_EQ(odd.findChild<QLineEdit*>("edName")->text(), "a:b.txt");
    EXPECT_EQ(labelText(&odd, "lblSize"), "1 bytes");
}

TEST_F(PropertiesDialogTest, AMissingPathShowsNothing)
{
    const int before = QApplication::topLevelWidgets().size();
    EXPECT_EQ(showPropertiesDialog(path("gone.txt")), nullptr);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);

    TPropertiesDialog dialog;
    EXPECT_EQ(dialog.load(path("gone\\x.txt")), kErrorPathNotFound);
    EXPECT_TRUE(dialog.path().empty());
}

} // namespace
} // namespace wux::platform::shell
