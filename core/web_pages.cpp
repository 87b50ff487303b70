#include "core/web_pages.h"

#include "core/system_error.h"
#include "platform/shell/program_starter.h"

namespace wux::core {

std::string webPageAddress(int code)
{
    switch (code) {
    case kPageSupport:
    case kPageHome:
    case kPagePlugins:
    case kPageContact:
    case kPageTutorials:
        return WUX_HOME_PAGE;
    default:
        return std::string();
    }
}

void OpenWebPage(int code)
{
    const std::string address = webPageAddress(code);
    if (address.empty())
        return;
    ShowStartFailure(platform::shell::openWebAddress(address), address);
}

} // namespace wux::core
