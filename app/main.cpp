#include <QApplication>

#include "mainwindow/main_form.h"
#include "mainwindow/startup.h"
#include "platform/dialogs.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    wux::platform::useQtDialogs();
    QApplication::setApplicationName(QStringLiteral("Wuxtool"));
    // The main window and the about box; a main window that cannot be made ends the program (its
    // message box has said why).
    bool started = true;
    const int result = wux::mainwindow::RunProgram(app, argc, argv, [&started] {
        std::unique_ptr<QObject> windows = wux::mainwindow::CreateMainWindows();
        started = windows != nullptr;
        return windows;
    });
    return started ? result : 1;
}
