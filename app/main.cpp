#include <QApplication>

#include <memory>

#include "mainwindow/about.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/main_form.h"
#include "mainwindow/startup.h"

namespace {

// The windows that live as long as the message loop: the main window, then the about box.
class ProgramWindows : public QObject
{
public:
    ProgramWindows()
    {
        mainForm_ = std::make_unique<wux::mainwindow::TMainForm>();
        about_ = std::make_unique<wux::mainwindow::TfrmAbout>(mainForm_.get());
        wux::mainwindow::frmAbout = about_.get();
        mainForm_->show();
    }
    ~ProgramWindows() override
    {
        wux::mainwindow::frmAbout = nullptr;
        about_.reset();
        mainForm_.reset();
    }

private:
    std::unique_ptr<wux::mainwindow::TMainForm> mainForm_;
    std::unique_ptr<wux::mainwindow::TfrmAbout> about_;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wuxtool"));
    return wux::mainwindow::RunProgram(app, argc, argv, [] { return std::make_unique<ProgramWindows>(); });
}
