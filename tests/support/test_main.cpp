// Entry point of every test executable: a pinned time zone and locale, Qt's offscreen
// platform and one QApplication for the whole run.
#include <clocale>
#include <cstdlib>
#include <ctime>

#include <QApplication>
#include <gtest/gtest.h>

#include "platform/dialogs.h"

int main(int argc, char** argv)
{
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("LC_ALL", "C", 1);
    setenv("LANG", "C", 1);
    std::setlocale(LC_ALL, "C");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    wux::platform::useQtDialogs();
    std::setlocale(LC_ALL, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
