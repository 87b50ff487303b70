// What the file-operation engine (copy, move, delete, send to and remove from the Basket) asks of its
// windows: the progress window's gauges and name labels, the questions of the confirmation dialog, and
// the close command sent when the run ends. The engine runs on its own worker thread and talks to the
// windows only through IFileOperationUi, so its logic can be tested with a scripted implementation and
// the windows on their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wux::filelist {

// One file operation (one value per run).
enum class TFileOperationKind : std::int32_t
{
    Copy = 1,
    Delete = 2,
    Move = 4,
    SendToBasket = 8,
    RemoveFromBasket = 16,
};

// The question kinds of the confirmation dialog: what it asks, with which buttons, icon and message.
enum class ConfirmationKind : std::int32_t
{
    Overwrite = 1,           // overwrite an existing file
    StepFailed = 2,          // a step failed: Retry, Skip, Abort
    Attribute = 3,           // a hidden, system or read-only file
    DirectoryNotCreated = 5, // a directory cannot be created
    DirectoryNotEmpty = 6,   // a directory to delete is not empty
};

// The groups in which the engine's steps ask their questions (copy steps, directory steps, delete
// steps). A different numbering from ConfirmationKind: a group decides how an answer changes the
// run's flags, the kind decides what the dialog shows.
enum class QuestionGroup : std::int32_t
{
    Copy = 1,
    Directory = 2,
    Delete = 3,
};

// The dialog's answers (its modal results). In a StepFailed question Yes is "Retry", No is "Skip"
// and Cancel is "Abort". Escape and the window's close box answer Cancel in every kind.
enum class ConfirmationAnswer : std::int32_t
{
    Cancel = 2,
    AutorenameAll = 3,
    Autorename = 4,
    YesAllOlder = 5,
    Yes = 6,
    No = 7,
    NoToAll = 9,
    YesToAll = 10,
};

// One question as the engine fills it.
struct ConfirmationQuestion
{
    ConfirmationKind kind = ConfirmationKind::Overwrite;
    // The window title of a StepFailed question ("Error file copy " or "Error file delete " + the stage
    // code); the other kinds have their own titles.
    std::string caption;
    // Overwrite: the existing target. Attribute: the file that has the attribute. StepFailed: the
    // source file. Directory questions: the directory. Full paths; the windows show them as spelled
    // on the disk, shortened.
    std::string Name1;
    // Overwrite: the source file.
    std::string Name2;
    // Overwrite: size and date of the target. Attribute: the attribute text (texts 59, 60).
    // StepFailed and DirectoryNotCreated: the system's error text.
    std::string Info1;
    // Overwrite: size and date of the source.
    std::string Info2;
    // Attribute: ask "Delete anyway?" instead of "Overwrite?".
    bool DeleteWording = false;
};

// The windows as the engine sees them. Every call is made on the worker thread (a call made on the
// GUI thread runs at once); the implementation reaches the windows through synchronised calls, and
// PostCloseCommand only posts.
class IFileOperationUi
{
public:
    virtual ~IFileOperationUi() = default;

    // True once the progress window is on screen (the worker waits for it before it starts).
    virtual bool ProgressWindowShown() const = 0;
    // The overall gauge and the current file's gauge (0-100); each changes only when its value does.
    virtual void ShowProgress(std::int32_t overallPercent, std::int32_t filePercent) = 0;
    // The name labels: the source path behind the operation's prefix ("From:  ", "Delete:  ",
    // "Send:  "), and for copy and move the target path behind "To:  ", both shortened to the gauges'
    // width.
    virtual void ShowNames(std::string_view sourcePath, std::string_view targetPath) = 0;
    // Shows the question under the progress window and returns the user's answer.
    virtual ConfirmationAnswer Ask(const ConfirmationQuestion& question) = 0;
    // The run has ended: the progress window gets its close command (posted; never waits).
    virtual void PostCloseCommand() = 0;
};

// done * 100 / total, truncated; 100 when total is 0.
constexpr std::int32_t ProgressPercent(std::uint64_t done, std::uint64_t total)
{
    if (total == 0)
        return 100;
    return static_cast<std::int32_t>((static_cast<unsigned __int128>(done) * 100U) / total);
}

} // namespace wux::filelist
