// System errors shown to the user: the system's message text of an error number, and the warning box
// that the file steps (and the main window) show for a failed system call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wux::core {

// The longest message text taken from the system's message table.
inline constexpr std::size_t kSystemMessageMaxLength = 1024;

// Text := the system's message text for error Code (at most 1024 characters). When ShowBox: a warning
// message box (OK button) titled Caption shows Prefix, a line break and Text, or Text alone when Prefix
// is empty. May be called on any thread: on a worker the box is shown by the GUI thread through the
// synchronised-call queue.
void ShowSystemError(bool ShowBox, std::uint32_t Code, std::string_view Caption, std::string_view Prefix,
                     std::string& Text);

// A program, file, page or address that could not be started or opened (Code not 0): the box above,
// titled with text 36 ("error!"), showing What and the system's reason. Code 0 shows nothing.
void ShowStartFailure(std::uint32_t Code, std::string_view What);
// The same box with the reason given as a text (a failure that no error number names).
void ShowStartFailureReason(std::string_view Reason, std::string_view What);

} // namespace wux::core
