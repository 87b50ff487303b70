#include "mainwindow/startup.h"

#include <QApplication>
#include <QDir>

#include "core/file_tests.h"
#include "core/settings_path.h"
#include "core/text_table.h"
#include "engines/rename_mask.h"
#include "filelist/drive_list.h"
#include "filelist/icon_reader.h"
#include "filelist/list_operations.h"
#include "filelist/view_process.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/main_form.h"
#include "mainwindow/options_dialog.h"
#include "mainwindow/settings.h"
#include "office/document_routes.h"
#include "platform/paths.h"
#include "platform/shell/device_change.h"
#include "tools/query_dialog.h"
#include "tools/run_window.h"
#include "tools/search_results.h"
#include "tools/tool_list.h"

namespace wux::mainwindow {

namespace {

// The settings' view of a program without a main window: nothing to place, no panels.
class NoMainWindow : public MainWindowHost
{
public:
    QWidget* hostWindow() override { return nullptr; }
    int modeActionCount() const override { return 5; }
    int splitterRatio() const override { return ratio_; }
    void setSplitterRatio(int ratio) override { ratio_ = ratio; }
    bool leftBrowserIsActive() const override { return false; }
    bool panelsSwapped() const override { return false; }
    void savePanelSettings() override {}
    void applyPanelLayout(std::uint32_t) override {}
    void alignToolPanelTop() override {}
    void refreshPanels() override {}
    void updatePanelGrids() override {}
    void applyLanguage() override {}

private:
    int ratio_ = 5000;
};

} // namespace

void RegisterModuleTexts()
{
    core::registerCoreTexts();
    filelist::RegisterDriveListTexts();
    filelist::registerFileOperationWindowTexts();
    tools::registerQueryDialogTexts();
    tools::registerRunWindowTexts();
    tools::registerSearchResultsTexts();
    RegisterBrowserTexts();
    registerMainFormTexts(); // the main window's menus, the tip of the day and the about box
    RegisterOptionsTexts();
}

std::string CommandLineFromArguments(int argc, const char* const* argv)
{
    std::string line;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i] ? argv[i] : "";
        if (i > 0)
            line += ' ';
        if (argument.empty() || argument.find(' ') != std::string_view::npos)
            line.append(1, '"').append(argument).append(1, '"');
        else
            line += argument;
    }
    return line;
}

bool ReadCommandLineToken(std::string& token, std::size_t& position, std::string_view text)
{
    const std::size_t length = text.size();
    const auto at = [&](std::size_t p) { return text[p - 1]; };
    token.clear();
    if (position == 0)
        position = 1;
    if (position > length || at(position) != '"') {
        while (position <= length && at(position) != ' ') {
            token += at(position);
            ++position;
        }
    } else {
        while (position < length) {
            ++position;
            if (at(position) == '"')
                break;
            token += at(position);
        }
        ++position;
    }
    while (position <= length) {
        if (at(position) != ' ')
            return true;
        ++position;
    }
    return false;
}

void ApplyCommandLine(std::string_view commandLine)
{
    if (commandLine.size() < 2)
        return;
    std::string token;
    std::size_t position = 1;
    if (ReadCommandLineToken(token, position, commandLine))
        QDir::setCurrent(QString::fromStdString(token));
}

std::string LanguageFilePath(const std::string& programFolder, const std::string& languageName)
{
    if (languageName.find_first_of("\\/:") != std::string::npos)
        return languageName;
    return core::withTrailingBackslash(programFolder) + languageName;
}

std::string HelpFilePath(const std::string& programFolder, const std::string& languageName)
{
    const std::string folder = core::withTrailingBackslash(programFolder);
    if (!languageName.empty()) {
        const std::string path = folder + languageName + ".chm";
        if (core::FileExists(path))
            return path;
    }
    return folder + "wux.chm";
}

void PrepareProgram(std::string_view commandLine)
{
    const std::string programFolder = core::ProgramFolder();
    tools::SetSettingsFileName(core::SettingsFilePath(programFolder));
    ApplyCommandLine(commandLine);
    // The general texts 1-152 were registered with the core's texts (RegisterModuleTexts).
    core::TClassTranslator& texts = core::classTranslator();
    texts.LanguageName = ReadProgramValue(kLanguageValue);
    if (!texts.LanguageName.empty())
        texts.LoadFromFile(platform::spelledOnDisk(LanguageFilePath(programFolder, texts.LanguageName)));
    tools::SetHelpFileName(HelpFilePath(programFolder, texts.LanguageName));

    filelist::SetNewNameBuilder(engines::BuildNewName);
    office::registerOfficeServices();
    filelist::InitIconReader();
    platform::shell::DeviceChangeNotifier::instance();
    installFontSubstitutions();
}

int RunProgram(QApplication& app, int argc, const char* const* argv, const MainWindowFactory& createWindows)
{
    RegisterModuleTexts();
    PrepareProgram(CommandLineFromArguments(argc, argv));
    std::unique_ptr<QObject> windows = createWindows ? createWindows() : nullptr;
    if (!windows) {
        NoMainWindow host;
        LoadAllSettings(host);
        return 0;
    }
    return app.exec();
}

} // namespace wux::mainwindow
