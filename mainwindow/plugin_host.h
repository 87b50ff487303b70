// The plug-in host: discovery of the "*.plgn" libraries in the program's folder, their items in the
// Plug-ins menu, the title cache, a plug-in run and the requests a running plug-in sends.
//
// Before a library is loaded into the program (discovery of an uncached title, and each run) the probe
// program loads it in a process of its own; a library whose probe crashes, hangs or lacks a required
// export is refused and never loaded here. A crash inside StartPlugin itself cannot be contained.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plugins/wux_plugin.h"

class QAction;
class QMenu;

namespace wux::mainwindow {

// What the host needs of the main window.
class IPluginHostWindow
{
public:
    virtual ~IPluginHostWindow() = default;
    virtual void RefreshPanels() = 0;
    virtual void hideQuickSearch() = 0;
    virtual bool pluginRunning() const = 0;
    virtual void setPluginRunning(bool running) = 0;
    // The message windows of the application and of the main window.
    virtual WuxWindow appWindowHandle() const = 0;
    virtual WuxWindow mainWindowHandle() const = 0;
};

// At most this many plug-ins get menu items.
inline constexpr int kMaxPlugins = 10;
// The highest interface version that runs.
inline constexpr std::int32_t kPluginMagicNumber = WUX_PLUGIN_MAGIC_NUMBER;
// The menu's fixed items before the first plug-in.
inline constexpr int kFixedPluginMenuItems = 3;
// Registry key of the title cache (under the current user), followed by the plug-in's file name.
inline constexpr std::string_view kPluginTitleKey = "Software\\Tessanto\\Wexra\\Utilities";

// The cached title of a plug-in file name; "" when there is none.
std::string ReadPluginTitle(std::string_view fileName);
void WritePluginTitle(std::string_view fileName, std::string_view title);

// What the probe found out about a library.
struct PluginProbe
{
    enum class Outcome
    {
        kLoaded,
        kNotLoadable, // not a library, another machine's, a missing dependency
        kCrashed,
        kHung,
        kNoProbe, // the probe program could not be started
    };
    Outcome outcome = Outcome::kNotLoadable;
    std::vector<std::string> exports;
    bool hasTitle = false;
    std::string title; // "" also for a null title
    std::int32_t magic = 0;
    std::uint32_t info = 0;

    bool hasExport(std::string_view name) const;
};

// Runs the probe program on a library, waiting at most timeoutMs for it.
PluginProbe probePlugin(const std::string& probePath, const std::string& libraryPath, int timeoutMs);

class PluginHost
{
public:
    struct Options
    {
        std::string folder;    // POSIX folder searched for "*.plgn" (the program's folder)
        std::string probePath; // the probe program
        int probeTimeoutMs = 3000;
    };

    PluginHost(IPluginHostWindow& window, Options options);
    ~PluginHost();

    // Fills the plug-in list and the menu; only the first call does anything.
    void LoadPlugins(QMenu* menu);
    // Adds one plug-in while the list holds fewer than kMaxPlugins entries.
    void AddPluginItem(QMenu* menu, const std::string& folder, const std::string& fileName);
    // Runs the plug-in of a menu item.
    void PlugClick(QAction* item);
    // Runs plug-in number index (the keyboard's Ctrl+Shift+digit); ignored beyond the list.
    void RunPlugin(int index);
    // A request of a running plug-in (the main window's message 0x429).
    void WMPluginRequest(WuxWParam wParam, WuxLParam lParam);

    const std::vector<std::string>& pluginList() const { return list_; }

private:
    IPluginHostWindow& window_;
    Options options_;
    bool loaded_ = false;
    bool runActive_ = false; // a run holds a prepared operation cursor
    QMenu* menu_ = nullptr;
    std::vector<std::string> list_;
    TOperationCounts counts_{};
};

} // namespace wux::mainwindow

namespace wux::mainwindow {
// Registers a message window whose requests (0x429) go to the host's WMPluginRequest.
WuxWindow createPluginRequestWindow(PluginHost& host);
} // namespace wux::mainwindow
