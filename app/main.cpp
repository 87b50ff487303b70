#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wuxtool"));
    // The main window is not built yet: the program starts and ends cleanly.
    return 0;
}
