#include "core/system_error.h"

#include "core/text_table.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

namespace wux::core {

namespace {

void showWarning(std::string_view Caption, std::string_view Prefix, std::string_view Text)
{
    std::string body;
    if (!Prefix.empty()) {
        body.assign(Prefix);
        body += "\r\n";
    }
    body += Text;
    platform::showMessageBox(body, Caption, platform::MsgButtons::Ok, platform::MsgIcon::Warning);
}

} // namespace

void ShowSystemError(bool ShowBox, std::uint32_t Code, std::string_view Caption, std::string_view Prefix,
                     std::string& Text)
{
    Text = platform::errorText(Code);
    if (Text.size() > kSystemMessageMaxLength)
        Text.resize(kSystemMessageMaxLength);
    if (ShowBox)
        showWarning(Caption, Prefix, Text);
}

void ShowStartFailure(std::uint32_t Code, std::string_view What)
{
    if (Code == 0)
        return;
    std::string text;
    ShowSystemError(true, Code, uiText(36), What, text);
}

void ShowStartFailureReason(std::string_view Reason, std::string_view What)
{
    showWarning(uiText(36), What, Reason);
}

} // namespace wux::core
