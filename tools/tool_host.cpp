#include "tools/tool_host.h"

#include "platform/help.h"

namespace wux::tools {

namespace {

IToolHost* installedHost = nullptr;

} // namespace

IToolHost* setToolHost(IToolHost* host)
{
    IToolHost* previous = installedHost;
    installedHost = host;
    return previous;
}

IToolHost* toolHost()
{
    return installedHost;
}

std::string hostCaption()
{
    return installedHost != nullptr ? installedHost->MainCaption() : std::string();
}

void showHostHelp(const std::string& topicPage)
{
    if (installedHost != nullptr)
        platform::showHelpTopic(installedHost->HelpFilePath(), topicPage);
}

} // namespace wux::tools
