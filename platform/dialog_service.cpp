// The dialog service's dispatch and the answers of a box, without any window: the Qt service and the
// wait cursor are plugged in by programs with windows (useQtDialogs), so that tools that only run the
// engines need no GUI library.
#include <atomic>
#include <cstdio>
#include <string>

#include "platform/dialogs.h"
#include "platform/thread.h"

namespace wux::platform {
namespace {

std::atomic<DialogService*> installedService{nullptr};
std::atomic<DialogService*> defaultService{nullptr};
std::atomic<void (*)(bool)> waitCursorSwitch{nullptr};

// No windows: a box is answered as if the user closed it, and said on the error output.
class HeadlessDialogService : public DialogService
{
public:
    bool fontDialog(const FontDialogRequest&, QFont&) override { return false; }
    MsgResult messageBox(const MessageBoxRequest& request) override
    {
        std::fprintf(stderr, "%s%s%s\n", request.caption.c_str(), request.caption.empty() ? "" : ": ",
                     request.text.c_str());
        return closeAnswer(request.buttons);
    }
    std::string fileDialog(const FileDialogRequest&) override { return {}; }
};

DialogService& headlessService()
{
    static HeadlessDialogService instance;
    return instance;
}

} // namespace

namespace internal {

void setWindowServices(DialogService* service, void (*waitCursor)(bool on))
{
    defaultService.store(service);
    waitCursorSwitch.store(waitCursor);
}

} // namespace internal

bool beginWaitCursor()
{
    void (*const waitCursor)(bool) = waitCursorSwitch.load();
    if (waitCursor == nullptr || !isGuiThread())
        return false;
    waitCursor(true);
    return true;
}

void endWaitCursor()
{
    if (void (*const waitCursor)(bool) = waitCursorSwitch.load())
        waitCursor(false);
}

std::vector<MsgResult> messageBoxButtons(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return {MsgResult::Ok};
    case MsgButtons::OkCancel:
        return {MsgResult::Ok, MsgResult::Cancel};
    case MsgButtons::AbortRetryIgnore:
        return {MsgResult::Abort, MsgResult::Retry, MsgResult::Ignore};
    case MsgButtons::YesNoCancel:
        return {MsgResult::Yes, MsgResult::No, MsgResult::Cancel};
    case MsgButtons::YesNo:
        return {MsgResult::Yes, MsgResult::No};
    case MsgButtons::RetryCancel:
        return {MsgResult::Retry, MsgResult::Cancel};
    }
    return {MsgResult::Ok};
}

MsgResult defaultAnswer(MsgButtons buttons, int defaultButton)
{
    const std::vector<MsgResult> answers = messageBoxButtons(buttons);
    if (defaultButton < 1 || static_cast<std::size_t>(defaultButton) > answers.size()) {
        return answers.front();
    }
    return answers[static_cast<std::size_t>(defaultButton) - 1];
}

MsgResult closeAnswer(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::YesNo:
        return MsgResult::No;
    case MsgButtons::AbortRetryIgnore:
        return MsgResult::Abort;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
    case MsgButtons::RetryCancel:
        return MsgResult::Cancel;
    }
    return MsgResult::Cancel;
}

DialogService& dialogService()
{
    DialogService* service = installedService.load();
    if (service == nullptr)
        service = defaultService.load();
    return service != nullptr ? *service : headlessService();
}

DialogService* installDialogService(DialogService* service)
{
    DialogService* previous = installedService.exchange(service);
    return previous;
}

MsgResult showMessageBox(const MessageBoxRequest& request)
{
    if (isGuiThread()) {
        return dialogService().messageBox(request);
    }
    MsgResult result = closeAnswer(request.buttons);
    synchronize([&] { result = dialogService().messageBox(request); });
    return result;
}

MsgResult showMessageBox(std::string_view text, std::string_view caption, MsgButtons buttons, MsgIcon icon,
                         int defaultButton)
{
    MessageBoxRequest request;
    request.text = std::string(text);
    request.caption = std::string(caption);
    request.buttons = buttons;
    request.icon = icon;
    request.defaultButton = defaultButton;
    return showMessageBox(request);
}

} // namespace wux::platform
