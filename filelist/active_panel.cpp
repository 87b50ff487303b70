#include "filelist/active_panel.h"

#include <utility>

namespace wux::filelist {

namespace {

ActivePanelSource& activePanelSource()
{
    static ActivePanelSource source;
    return source;
}

} // namespace

void SetActivePanelSource(ActivePanelSource source)
{
    activePanelSource() = std::move(source);
}

IBrowserPanel* GetActivePanel()
{
    const ActivePanelSource& source = activePanelSource();
    return source ? source() : nullptr;
}

std::string PanelFolderPath(IBrowserPanel& panel)
{
    std::string path;
    FolderPathOf(1, panel.Listing(), path);
    return path;
}

} // namespace wux::filelist
