// Opening files, folders and web addresses with the desktop, and starting programs.
//
// Every start goes through the installed ProgramStarter, whose two primitives are "open this address
// with the desktop" (QDesktopServices) and "start this program detached" (QProcess). Tests install a
// RecordingProgramStarter, which records the calls instead of starting anything.
//
// The functions below take the system's drive paths and command lines and turn them into POSIX paths
// and argument lists:
//  - a parameter line is split into arguments as a shell would (blanks separate, double quotes group,
//    "" inside quotes is one quote: QProcess::splitCommand); each argument that is a drive path
//    ("c:\dir\name", also quoted) becomes its POSIX path, every other argument is passed unchanged;
//  - a working folder is given as a drive path, quoted or not, with or without a trailing "\";
//  - a program is a drive path or a bare name looked up on the PATH.
// Failures return the system's error numbers and show nothing: 2 the program or file was not found,
// 3 a path holds no drive or folder, 31 the system could not start a program, 1155 the desktop has no
// application that opens the file.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QString>
#include <QStringList>
#include <QUrl>

#include "platform/errors.h"

namespace wux::platform::shell {

// The program name that stands for the system's own text editor (the default viewer and editor).
inline constexpr std::string_view kDefaultTextEditor = "notepad.exe";

class ProgramStarter
{
public:
    virtual ~ProgramStarter() = default;
    // Opens an address with the desktop: a local file with its default application, a local folder
    // in the file window, a web address in the browser. False when the desktop could not.
    virtual bool openUrl(const QUrl& url) = 0;
    // Starts a program (a POSIX path or a name found on the PATH) detached from this process. False
    // when it could not be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments,
                               const QString& workingFolder) = 0;
};

// The desktop's and the system's own starter (the default). A local file goes to the desktop's opener
// ("xdg-open", when it is on the PATH), which is watched until it ends: an opener that fails (no
// application for the file's type, or the application could not be started) is reported through the
// open failure report. The opener outlives this program.
class DesktopProgramStarter : public ProgramStarter
{
public:
    bool openUrl(const QUrl& url) override;
    bool startDetached(const QString& program, const QStringList& arguments,
                       const QString& workingFolder) override;
};

// A starter for tests: records every call and answers with `succeed`.
class RecordingProgramStarter : public ProgramStarter
{
public:
    enum class Kind
    {
        kOpenUrl,
        kStart,
    };
    struct Call
    {
        Kind kind = Kind::kOpenUrl;
        QUrl url;              // kOpenUrl
        QString program;       // kStart
        QStringList arguments; // kStart
        QString workingFolder; // kStart
    };

    bool openUrl(const QUrl& url) override;
    bool startDetached(const QString& program, const QStringList& arguments,
                       const QString& workingFolder) override;

    const std::vector<Call>& calls() const { return calls_; }
    void clear() { calls_.clear(); }
    // The answer of every call (true: started).
    bool succeed = true;

private:
    std::vector<Call> calls_;
};

// A file that the desktop's opener took but could not open: what (the file as a drive path) and the
// reason (the system's text of error 1155 when the opener knows no application for the file's type,
// otherwise the opener's exit status). Called on the GUI thread once the opener has ended.
using OpenFailureReport = std::function<void(const std::string& what, const std::string& reason)>;
// Installs the report (empty: the failures go to the error output).
void setOpenFailureReport(OpenFailureReport report);

// The installed starter: the desktop's unless a test installed another.
ProgramStarter& programStarter();
// Installs a starter (nullptr: the desktop's again) and returns the one it replaces. The caller keeps
// ownership and keeps it alive while installed.
ProgramStarter* installProgramStarter(ProgramStarter* starter);

class ScopedProgramStarter
{
public:
    explicit ScopedProgramStarter(ProgramStarter& starter) : previous_(installProgramStarter(&starter)) {}
    ~ScopedProgramStarter() { installProgramStarter(previous_); }
    ScopedProgramStarter(const ScopedProgramStarter&) = delete;
    ScopedProgramStarter& operator=(const ScopedProgramStarter&) = delete;

private:
    ProgramStarter* previous_;
};

// The arguments of a parameter line, drive paths turned into POSIX paths (see above).
QStringList commandArguments(std::string_view parameters);

// The verb "open" on a file or folder (a drive path, quoted or not): a file with its default
// application, a folder in the desktop's file window. Errors: 2, 3 (missing), 1155.
WinError openWithDesktop(std::string_view windowsPath);

// The default verb on a file (a drive path): a program (an executable file that the system can run:
// a binary or a script beginning with "#!") is started in workingFolder; any other file is opened with
// its default application, a folder in the file window. Errors: 2, 3 (missing), 31 (a program), 1155.
WinError executeFile(std::string_view windowsPath, std::string_view workingFolder);

// Starts a program with a parameter line in a working folder (both as above; an empty working folder
// keeps the program's). When no such program can be found (not on the PATH, as the default text editor
// "notepad.exe" never is, or no executable file at its path), every file named by the parameters is
// opened with the desktop's default application instead. Errors: 2 (no file to open, or the program
// could not be started), 3, 1155.
WinError startProgram(std::string_view program, std::string_view parameters, std::string_view workingFolder);

// Opens a web address in the browser ("www.example.com" is taken as an http address). Errors: 87 (not
// an address), 31.
WinError openWebAddress(std::string_view address);

} // namespace wux::platform::shell
