// The plug-in host.
#include "mainwindow/plugin_host.h"

#include <dlfcn.h>

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMenu>
#include <QProcess>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <system_error>

#include "core/text_table.h"
#include "filelist/active_panel.h"
#include "filelist/file_operations.h"
#include "filelist/list_operations.h"
#include "filelist/operation_cursor.h"
#include "platform/dialogs.h"
#include "platform/messages/wux_messages_host.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tools/tool_list.h"

namespace wux::mainwindow {

// The records a plug-in exchanges are the operation cursor's own.
static_assert(sizeof(::TOperationFileInfo) == sizeof(filelist::TOperationFileInfo));
static_assert(offsetof(::TOperationFileInfo, folderPath) ==
              offsetof(filelist::TOperationFileInfo, folderPath));
static_assert(offsetof(::TOperationFileInfo, attributes) ==
              offsetof(filelist::TOperationFileInfo, attributes));
static_assert(offsetof(::TOperationFileInfo, number) == offsetof(filelist::TOperationFileInfo, number));
static_assert(sizeof(::TOperationFileResult) == sizeof(filelist::TOperationFileResult));
static_assert(offsetof(::TOperationFileResult, newName) == offsetof(filelist::TOperationFileResult, newName));
static_assert(offsetof(::TOperationFileResult, attributes) ==
              offsetof(filelist::TOperationFileResult, attributes));
static_assert(offsetof(::TOperationFileResult, size) == offsetof(filelist::TOperationFileResult, size));
static_assert(offsetof(::TOperationFileResult, lastWrite) ==
              offsetof(filelist::TOperationFileResult, lastWrite));
static_assert(WUX_RESULT_UNMARK == filelist::kResultUnmark && WUX_RESULT_REMOVE == filelist::kResultRemove);
static_assert(WUX_PLUGIN_NO_SELECTION == filelist::kCheckNothing &&
              WUX_PLUGIN_NEEDS_FILE == filelist::kCheckNeedsFile &&
              WUX_PLUGIN_NEEDS_FOLDER == filelist::kCheckNeedsFolder);

namespace {

constexpr int kTextError = 36;
constexpr int kTextTooNew = 150;
constexpr int kTextNotLoaded = 151;
constexpr const char* kRequiredExports[] = {"StartPlugin", "getMagicNumber", "getPluginInfo",
                                            "PluginParameters"};

std::string titleKey(std::string_view fileName)
{
    return std::string(kPluginTitleKey) + "\\" + std::string(fileName);
}

bool hasRequiredExports(const PluginProbe& probe)
{
    return std::all_of(std::begin(kRequiredExports), std::end(kRequiredExports),
                       [&](const char* name) { return probe.hasExport(name); });
}

// Splits "a,b,c".
std::vector<std::string> splitList(std::string_view text)
{
    std::vector<std::string> parts;
    while (!text.empty()) {
        std::size_t comma = text.find(',');
        parts.emplace_back(text.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return parts;
}

intptr_t requestWindowProc(WuxWindow, uint32_t message, WuxWParam wParam, WuxLParam lParam, void* context)
{
    if (message == WUX_MSG_PLUGIN_REQUEST)
        static_cast<PluginHost*>(context)->WMPluginRequest(wParam, lParam);
    return 0;
}

} // namespace

std::string ReadPluginTitle(std::string_view fileName)
{
    platform::Registry registry(platform::RegistryRoot::kCurrentUser);
    std::string title;
    if (registry.openKeyReadOnly(titleKey(fileName)) == platform::kErrorSuccess)
        registry.readString("", title);
    return title;
}

void WritePluginTitle(std::string_view fileName, std::string_view title)
{
    platform::Registry registry(platform::RegistryRoot::kCurrentUser);
    if (registry.openKey(titleKey(fileName), true) == platform::kErrorSuccess)
        registry.writeString("", title);
}

bool PluginProbe::hasExport(std::string_view name) const
{
    return std::find(exports.begin(), exports.end(), name) != exports.end();
}

PluginProbe probePlugin(const std::string& probePath, const std::string& libraryPath, int timeoutMs)
{
    PluginProbe probe;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(platform::toQString(probePath), {platform::toQString(libraryPath)});
    if (!process.waitForStarted(timeoutMs)) {
        probe.outcome = PluginProbe::Outcome::kNoProbe;
        return probe;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        probe.outcome = PluginProbe::Outcome::kHung;
        return probe;
    }
    if (process.exitStatus() == QProcess::CrashExit || (process.exitCode() != 0 && process.exitCode() != 2)) {
        probe.outcome = PluginProbe::Outcome::kCrashed;
        return probe;
    }
    if (process.exitCode() == 2) {
        probe.outcome = PluginProbe::Outcome::kNotLoadable;
        return probe;
    }
    probe.outcome = PluginProbe::Outcome::kLoaded;
    const QByteArray output = process.readAllStandardOutput();
    for (const QByteArray& line : output.split('\n')) {
        const std::string text = line.toStdString();
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string name = text.substr(0, equals);
        const std::string value = text.substr(equals + 1);
        if (name == "exports") {
            probe.exports = splitList(value);
        } else if (name == "title") {
            probe.hasTitle = true;
            probe.title = value;
        } else if (name == "title-null") {
            probe.hasTitle = true; // a null title reads as ""
        } else if (name == "magic") {
            probe.magic = static_cast<std::int32_t>(std::strtol(value.c_str(), nullptr, 10));
        } else if (name == "info") {
            probe.info = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
        }
    }
    return probe;
}

PluginHost::PluginHost(IPluginHostWindow& window, Options options)
    : window_(window), options_(std::move(options))
{
}

PluginHost::~PluginHost() = default;

WuxWindow createPluginRequestWindow(PluginHost& host)
{
    return wuxCreateWindow(requestWindowProc, &host);
}

void PluginHost::LoadPlugins(QMenu* menu)
{
    if (loaded_)
        return;
    loaded_ = true;
    menu_ = menu;
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(options_.folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".plgn") == 0 && !entry.is_directory(error))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::string folder = options_.folder;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    for (const std::string& name : names)
        AddPluginItem(menu, folder, name);
}

void PluginHost::AddPluginItem(QMenu* menu, const std::string& folder, const std::string& fileName)
{
    if (static_cast<int>(list_.size()) >= kMaxPlugins)
        return;
    std::string title = ReadPluginTitle(fileName);
    if (title.empty()) {
        const PluginProbe probe = probePlugin(options_.probePath, folder + fileName, options_.probeTimeoutMs);
        if (probe.outcome != PluginProbe::Outcome::kLoaded || !probe.hasExport("GetPluginTitle"))
            return;
        title = probe.title;
        WritePluginTitle(fileName, title);
    }
    auto* item = new QAction(platform::toQString(title + "..."), menu);
    const int digit = static_cast<int>(list_.size());
    item->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | static_cast<Qt::Key>(Qt::Key_0 + digit)));
    list_.push_back(folder + fileName);
    QObject::connect(item, &QAction::triggered, item, [this, item] { PlugClick(item); });
    menu->addAction(item);
}

void PluginHost::PlugClick(QAction* item)
{
    if (menu_ == nullptr || item == nullptr)
        return;
    RunPlugin(static_cast<int>(menu_->actions().indexOf(item)) - kFixedPluginMenuItems);
}

void PluginHost::RunPlugin(int index)
{
    if (index < 0 || index >= static_cast<int>(list_.size()))
        return;
    QCoreApplication::processEvents();
    // A click while a plug-in or another run is up (the plug-in's window lets messages through) is
    // refused like any command that needs the operation cursor; the running plug-in keeps its flag.
    if (window_.pluginRunning() || filelist::OperationBusy)
        return;
    window_.hideQuickSearch();
    window_.setPluginRunning(false);
    std::string suffix = ".";
    std::string reason;
    bool running = false;
    const std::string path = list_[static_cast<std::size_t>(index)];

    const PluginProbe probe = probePlugin(options_.probePath, path, options_.probeTimeoutMs);
    if (probe.outcome == PluginProbe::Outcome::kCrashed)
        reason = "The plug-in crashed while it was loaded.";
    else if (probe.outcome == PluginProbe::Outcome::kHung)
        reason = "The plug-in did not answer while it was loaded.";
    else if (probe.outcome == PluginProbe::Outcome::kNoProbe)
        reason = "The plug-in could not be checked.";

    void* module = nullptr;
    if (probe.outcome == PluginProbe::Outcome::kLoaded && hasRequiredExports(probe))
        module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module != nullptr) {
        auto start = reinterpret_cast<WuxStartPlugin>(dlsym(module, "StartPlugin"));
        auto magic = reinterpret_cast<WuxGetMagicNumber>(dlsym(module, "getMagicNumber"));
        auto info = reinterpret_cast<WuxGetPluginInfo>(dlsym(module, "getPluginInfo"));
        auto parameters = reinterpret_cast<WuxPluginParameters>(dlsym(module, "PluginParameters"));
        running = start != nullptr && magic != nullptr && info != nullptr && parameters != nullptr;
        window_.setPluginRunning(running);
        if (running && magic() > kPluginMagicNumber) {
            running = false;
            window_.setPluginRunning(false);
            suffix = core::uiText(kTextTooNew);
        }
        if (running) {
            const std::uint32_t flags = info();
            filelist::IBrowserPanel* source = filelist::GetActivePanel();
            if (filelist::PrepareOperationSource(flags)) {
                runActive_ = true;
                // Commands that need the operation cursor are refused while the plug-in works.
                filelist::OperationBusy = true;
                parameters(WUX_PARAMETER_LANGUAGE, core::classTranslator().LanguageName.c_str());
                parameters(WUX_PARAMETER_SETTINGS, tools::SettingsFileName().c_str());
                // The taskbar window has no counterpart here.
                const bool done = start(window_.appWindowHandle(), window_.mainWindowHandle()) != 0;
                runActive_ = false;
                filelist::OperationBusy = false;
                if (!done && filelist::PluginStructure.autoSelected != 0 && source != nullptr)
                    source->SelectCursorItem(filelist::kActionUnmark);
                filelist::EndStateHandOver();
            }
        }
        // A window the plug-in left behind, with messages still queued for it, would call into the
        // library after it is gone: it goes first.
        wuxDestroyWindowsOfLibrary(module);
        dlclose(module);
    }
    if (!running) {
        std::string text = core::uiText(kTextNotLoaded) + suffix;
        if (!reason.empty())
            text += "\r\n" + reason;
        platform::showMessageBox(text, core::uiText(kTextError), platform::MsgButtons::Ok,
                                 platform::MsgIcon::Information);
    }
    window_.setPluginRunning(false);
    window_.RefreshPanels();
}

void PluginHost::WMPluginRequest(WuxWParam wParam, WuxLParam lParam)
{
    // Requests count only while a run holds the prepared cursor.
    if (!runActive_)
        return;
    const auto plugin = static_cast<WuxWindow>(lParam);
    switch (wParam & 0xFFFF) {
    case WUX_REQUEST_NEXT_FILE: {
        filelist::TOperationFileInfo* info = filelist::NextOperationFile(filelist::kNextPlugin);
        wuxPostMessage(plugin, WUX_MSG_PLUGIN_REPLY, WUX_REQUEST_NEXT_FILE,
                       reinterpret_cast<WuxLParam>(info));
        break;
    }
    case WUX_REQUEST_SET_RESULT:
        if (lParam != 0)
            filelist::SetOperationFileResult(reinterpret_cast<const filelist::TOperationFileResult*>(lParam));
        break;
    case WUX_REQUEST_COUNTS: {
        counts_ = {};
        if (const filelist::TstateOfBrowser* state = filelist::PluginStructure.state) {
            counts_.selectedItems = static_cast<std::uint32_t>(state->selectedCount);
            counts_.selectedFiles = static_cast<std::uint32_t>(state->selectedFiles);
        }
        wuxPostMessage(plugin, WUX_MSG_PLUGIN_REPLY, WUX_REQUEST_COUNTS,
                       reinterpret_cast<WuxLParam>(&counts_));
        break;
    }
    case WUX_REQUEST_RESTART:
        filelist::ResetOperationCursor();
        break;
    case WUX_REQUEST_SETTINGS:
        wuxSendMessage(plugin, WUX_MSG_PLUGIN_REPLY, WUX_REQUEST_SETTINGS,
                       reinterpret_cast<WuxLParam>(tools::SettingsFileName().c_str()));
        break;
    default:
        break;
    }
}

} // namespace wux::mainwindow
