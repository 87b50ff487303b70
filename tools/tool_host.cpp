#include "tools/tool_host.h"

#include "core/system_error.h"
#include "platform/errors.h"
#include "platform/help.h"
#include "tools/tool_list.h"

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

void showToolHelp(const std::string& topicPage)
{
    std::string failedPage;
    if (!platform::showHelpTopic(HelpFileName(), topicPage, &failedPage) && !failedPage.empty())
        core::ShowStartFailure(platform::kErrorNoAssociation, failedPage);
}

} // namespace wux::tools
