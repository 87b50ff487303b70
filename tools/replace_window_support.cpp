#include "tools/replace_window_support.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>

#include "controls/system_colors.h"
#include "core/text_table.h"
#include "engines/replace_threads.h"
#include "filelist/file_operations.h"
#include "filelist/operation_cursor.h"
#include "platform/dialogs.h"
#include "tools/run_window.h"
#include "tools/search_results.h"
#include "tools/tool_host.h"
#include "tools/tool_list.h"

namespace wux::tools {

namespace {

constexpr int kTextNoFilesSelected = 39;

class LabelClickFilter : public QObject
{
public:
    LabelClickFilter(QLabel& label, std::function<void()> onClick)
        : QObject(&label), onClick_(std::move(onClick))
    {
        label.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && onClick_)
            onClick_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onClick_;
};

} // namespace

std::string settingsFilePath()
{
    return SettingsFileName();
}

void openHelpTopic(std::string_view topic)
{
    showToolHelp(std::string(topic) + ".htm");
}

void updateLaunchAction()
{
    if (IToolPanelsHost* host = toolPanelsHost())
        host->UpdateLaunchAction();
}

void setActiveForm(QWidget* form)
{
    if (IToolPanelsHost* host = toolPanelsHost())
        host->SetActiveForm(form);
}

void paintToolCaption(QLabel& caption, bool active)
{
    QPalette palette = caption.palette();
    palette.setColor(QPalette::Window, controls::sysColor(active ? controls::SysColor::ActiveCaption
                                                                 : controls::SysColor::InactiveCaption));
    palette.setColor(QPalette::WindowText,
                     controls::sysColor(active ? controls::SysColor::CaptionText
                                               : controls::SysColor::InactiveCaptionText));
    caption.setPalette(palette);
    caption.setAutoFillBackground(true);
    // Every tool's title strip alike: bold and centred.
    if (!caption.font().bold()) {
        QFont font = caption.font();
        font.setBold(true);
        caption.setFont(font);
    }
    caption.setAlignment(Qt::AlignCenter);
}

void onLabelClick(QLabel& label, std::function<void()> onClick)
{
    new LabelClickFilter(label, std::move(onClick));
}

int fixedToolWidth(const QWidget& form)
{
    return form.minimumSizeHint().width();
}

namespace {

// A glyph of the program's pictures when it has one, else the style's standard icon.
void setGlyph(QAbstractButton& button, const char* name, QStyle::StandardPixmap fallback)
{
    const QString file = QStringLiteral(":/glyphs/%1.png").arg(QLatin1String(name));
    button.setIcon(QFile::exists(file) ? QIcon(file) : button.style()->standardIcon(fallback));
}

} // namespace

void setStartGlyph(QAbstractButton& button)
{
    setGlyph(button, "BTNSTART", QStyle::SP_MediaPlay);
}

void setHelpGlyph(QAbstractButton& button)
{
    setGlyph(button, "BTNHLP", QStyle::SP_DialogHelpButton);
}

std::string chooseTableFile(bool save, const std::string& folder, const std::string& fileName)
{
    platform::FileDialogRequest request;
    request.kind = save ? platform::FileDialogKind::Save : platform::FileDialogKind::Open;
    request.filter = save ? "Table file (*.rtbl)" : "Table file (*.rtbl *.xls *.xlsx *.csv)";
    request.folder = folder;
    request.fileName = fileName;
    request.defaultSuffix = "rtbl";
    return platform::dialogService().fileDialog(request);
}

void showNoFilesSelected()
{
    platform::showMessageBox(core::uiText(kTextNoFilesSelected), "");
}

void runReplaceThread(engines::TReplaceRunThread& thread, const std::string& captionSuffix)
{
    IToolHost* host = toolHost();
    TViewRenReplacer view(host != nullptr ? host->MainWidget() : nullptr);
    view.connectReplaceThread(thread);
    view.setWindowTitle(view.windowTitle() + QString::fromStdString(captionSuffix));
    view.Init(kRunReplace);
    thread.setPriority(platform::ThreadPriority::Normal);
    thread.Start();
    filelist::OperationBusy = true;
    view.exec();
}

void endRun()
{
    filelist::OperationBusy = false;
    filelist::EndStateHandOver();
    if (IToolPanelsHost* host = toolPanelsHost())
        host->RefreshPanels();
}

} // namespace wux::tools
