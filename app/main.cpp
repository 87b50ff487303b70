#include <QApplication>

#include "mainwindow/startup.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wuxtool"));
    // The main window and the about box are made by the factory given here; without one the program
    // prepares itself, loads its settings and ends.
    return wux::mainwindow::RunProgram(app, argc, argv, nullptr);
}
