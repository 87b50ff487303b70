// The dialog service: every message box of the program (and, as they are added, its file, folder
// and font dialogs) goes through one interface, so that tests can install a scripted service that
// answers and records instead of showing windows.
//
// Message boxes take the system's button sets, icons and default button and answer with the
// system's result numbers. showMessageBox may be called on any thread: on a worker the box is
// shown by the GUI thread through the synchronised-call queue (thread.h) and the answer comes
// back to the worker.
#pragma once

#include <cstddef>
#include <deque>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QFont>

class QWidget;

namespace wux::platform {

// Button sets, numbered as the system numbers them.
enum class MsgButtons : int
{
    Ok = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
};

// Icons, numbered as the system numbers them. Warning is also the exclamation icon, Error the
// stop/hand icon.
enum class MsgIcon : int
{
    None = 0,
    Error = 0x10,
    Question = 0x20,
    Warning = 0x30,
    Information = 0x40,
};

// Answers, numbered as the system numbers them.
enum class MsgResult : int
{
    Ok = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7,
};

// The font dialog: the user picks a font, starting from initial.
struct FontDialogRequest
{
    QFont initial;
    // The window the dialog belongs to; nullptr: the application's active window.
    QWidget* parent = nullptr;
};

struct MessageBoxRequest
{
    std::string text;    // UTF-8; line breaks as CR LF, LF or CR
    std::string caption; // UTF-8; empty: no title
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    // Which button of the set has the focus and answers Enter: 1 the first, 2 the second, 3 the
    // third (in the order of the set's name); a number beyond the set means the first.
    int defaultButton = 1;
    // The window the box belongs to; nullptr: the application's active window.
    QWidget* parent = nullptr;
};

// The standard file dialogs: open (the file must exist) and save (asks before overwriting an
// existing file).
enum class FileDialogKind : int
{
    Open = 0,
    Save = 1,
};

struct FileDialogRequest
{
    FileDialogKind kind = FileDialogKind::Open;
    std::string title;  // UTF-8; empty: the dialog's own title
    std::string filter; // Qt's filter syntax, "All files (*)"; names match it ignoring case
    // The folder the dialog starts in (a drive path); empty: the dialog's own choice.
    std::string folder;
    // The file name proposed in the dialog; empty: none.
    std::string fileName;
    // Save: the extension (without the dot) added to a chosen name that has none; empty: none.
    std::string defaultSuffix;
    // The window the dialog belongs to; nullptr: the application's active window.
    QWidget* parent = nullptr;
};

// The buttons of a set, in the order the set names them (OkCancel: Ok, Cancel).
std::vector<MsgResult> messageBoxButtons(MsgButtons buttons);

// The answer that the default button gives (defaultButton as in MessageBoxRequest).
MsgResult defaultAnswer(MsgButtons buttons, int defaultButton);

// The answer of a box that the user closes without choosing a button (Escape, the title-bar close
// button): Ok for the Ok set, Cancel for the sets with a Cancel button, No for YesNo and Abort for
// AbortRetryIgnore.
MsgResult closeAnswer(MsgButtons buttons);

class DialogService
{
public:
    virtual ~DialogService() = default;

    // Shows the font dialog modally: true and the chosen font on OK, false when the user cancels.
    // Called on the GUI thread only.
    virtual bool fontDialog(const FontDialogRequest& request, QFont& chosen) = 0;

    // Shows the box modally and returns the answer. Called on the GUI thread only.
    virtual MsgResult messageBox(const MessageBoxRequest& request) = 0;

    // Shows a file dialog modally and returns the chosen file as a drive path ("c:\\dir\\name"), or
    // "" when the user cancels or the file lies on no drive. Called on the GUI thread only.
    virtual std::string fileDialog(const FileDialogRequest& request) = 0;

    // Folder and font dialogs join here.
};

// The service that shows real windows (QMessageBox).
class QtDialogService : public DialogService
{
public:
    bool fontDialog(const FontDialogRequest& request, QFont& chosen) override;
    MsgResult messageBox(const MessageBoxRequest& request) override;
    std::string fileDialog(const FileDialogRequest& request) override;
};

// Programs with windows call this once, after making their QApplication: message boxes and file and
// font dialogs then show real windows (the Qt service serves when no other is installed), and the wait
// cursor can be shown. A program that never calls it (a command-line tool) answers every box as if it
// was closed, writing its caption and text to the error output, cancels every file and font dialog
// and shows no cursor; it then needs no GUI library at all.
void useQtDialogs();

// The wait cursor, nested: true when this call set it, and then endWaitCursor takes it back. Only on
// the GUI thread of a program with windows; elsewhere nothing is shown and the answer is false.
bool beginWaitCursor();
void endWaitCursor();

// The installed service: the Qt service (after useQtDialogs) unless a test installed another.
DialogService& dialogService();

// Installs Service (nullptr: the Qt service again) and returns the one it replaces. The caller
// keeps ownership and keeps it alive while installed. Install on the GUI thread while no worker
// shows boxes.
DialogService* installDialogService(DialogService* service);

// Installs a service for the length of a scope.
class ScopedDialogService
{
public:
    explicit ScopedDialogService(DialogService& service) : previous_(installDialogService(&service)) {}
    ~ScopedDialogService() { installDialogService(previous_); }
    ScopedDialogService(const ScopedDialogService&) = delete;
    ScopedDialogService& operator=(const ScopedDialogService&) = delete;

private:
    DialogService* previous_;
};

// Shows a message box through the installed service, from any thread (see above). On a worker it
// throws SynchronizeAbandoned (thread.h) when the application is quitting, and whatever the
// service throws arrives in the worker.
MsgResult showMessageBox(const MessageBoxRequest& request);
MsgResult showMessageBox(std::string_view text, std::string_view caption, MsgButtons buttons = MsgButtons::Ok,
                         MsgIcon icon = MsgIcon::None, int defaultButton = 1);

namespace internal {
// Installs the default service and the wait cursor's switch (useQtDialogs does).
void setWindowServices(DialogService* defaultService, void (*waitCursor)(bool on));
} // namespace internal

// A service for tests: answers message boxes from a queue of scripted answers and records every
// box it was asked to show; file dialogs likewise from a queue of drive paths ("" or an empty queue:
// the user cancels).
//  - With an empty queue a box is answered with its default button's answer (as if the user
//    pressed Enter), and counted in unscriptedCount().
//  - A scripted answer that is not one of the box's buttons is a fault of the test: the call
//    throws std::logic_error (on a worker the exception arrives in the worker).
class ScriptedDialogService : public DialogService
{
public:
    struct Record
    {
        MessageBoxRequest request;
        MsgResult answer;
        bool onGuiThread;
    };

    void answer(MsgResult result) { answers_.push_back(result); }
    void answer(std::initializer_list<MsgResult> results) { answers_.insert(answers_.end(), results); }

    void answerFile(std::string drivePath) { fileAnswers_.push_back(std::move(drivePath)); }
    const std::vector<FileDialogRequest>& fileRequests() const { return fileRequests_; }

    const std::vector<Record>& records() const { return records_; }
    // The texts and captions of the boxes shown, in order.
    std::vector<std::string> texts() const;
    std::vector<std::string> captions() const;
    std::size_t pendingAnswers() const { return answers_.size(); }
    std::size_t unscriptedCount() const { return unscripted_; }
    void clear();

    // Font dialogs: answered from a queue (nullopt or an empty queue: the user cancels).
    void answerFont(std::optional<QFont> font) { fontAnswers_.push_back(std::move(font)); }
    const std::vector<FontDialogRequest>& fontRequests() const { return fontRequests_; }
    bool fontDialog(const FontDialogRequest& request, QFont& chosen) override;

    MsgResult messageBox(const MessageBoxRequest& request) override;
    std::string fileDialog(const FileDialogRequest& request) override;

private:
    std::deque<MsgResult> answers_;
    std::deque<std::string> fileAnswers_;
    std::vector<FileDialogRequest> fileRequests_;
    std::vector<Record> records_;
    std::size_t unscripted_ = 0;
    std::deque<std::optional<QFont>> fontAnswers_;
    std::vector<FontDialogRequest> fontRequests_;
};

} // namespace wux::platform
