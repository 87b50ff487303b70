#include "platform/shell/program_starter.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <fstream>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "platform/errors.h"
#include "platform/file_types.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wux::platform::shell {
namespace {

std::atomic<ProgramStarter*> gInstalledStarter{nullptr};

DesktopProgramStarter& desktopStarter()
{
    static DesktopProgramStarter starter;
    return starter;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The text without blanks around it and without one pair of surrounding double quotes.
std::string_view unquoted(std::string_view text)
{
    text = trimmed(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = trimmed(text.substr(1, text.size() - 2));
    return text;
}

bool isDrivePath(std::string_view text)
{
    const auto letter = static_cast<unsigned char>(text.empty() ? 0 : text[0]);
    const bool isLetter = (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z');
    return text.size() >= 2 && isLetter && text[1] == ':' &&
           (text.size() == 2 || text[2] == '\\' || text[2] == '/');
}

QString posixText(const std::string& posix)
{
    return QFile::decodeName(QByteArray(posix.data(), static_cast<qsizetype>(posix.size())));
}

// The POSIX folder of a working folder; "" for an empty one or one that no drive holds.
QString workingFolderOf(std::string_view windowsFolder)
{
    const std::string_view folder = unquoted(windowsFolder);
    std::string posix;
    if (folder.empty() || toPosixPath(folder, posix) != kErrorSuccess)
        return QString();
    return posixText(posix);
}

// The error of a path that toPosixPath could convert but that does not exist.
WinError existingPosixPath(std::string_view windowsPath, std::string& posix, FileInfo& info)
{
    const WinError error = toPosixPath(windowsPath, posix);
    if (error != kErrorSuccess)
        return error;
    return getFileInfo(windowsPath, info);
}

// A regular file with an execute bit that begins as something the system can run: a binary (ELF) or
// a script ("#!").
bool isRunnableProgram(const std::string& posix, const FileInfo& info)
{
    if (!S_ISREG(info.mode) || (info.mode & (S_IXUSR | S_IXGRP | S_IXOTH)) == 0)
        return false;
    std::ifstream in(posix, std::ios::binary);
    char head[4] = {};
    in.read(head, sizeof(head));
    const std::streamsize got = in.gcount();
    if (got >= 2 && head[0] == '#' && head[1] == '!')
        return true;
    return got == 4 && head[0] == '\x7f' && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
}

WinError openLocal(const std::string& posix)
{
    return programStarter().openUrl(QUrl::fromLocalFile(posixText(posix))) ? kErrorSuccess
                                                                           : kErrorNoAssociation;
}

OpenFailureReport& openFailureReport()
{
    static OpenFailureReport report;
    return report;
}

// The desktop opener's exit status that says it knows no way to open the file.
constexpr int kOpenerNoMethod = 3;

void reportOpenFailure(const QString& posixFile, int exitCode, const QString& opener)
{
    const std::string what = toWindowsPath(toUtf8(posixFile));
    const std::string reason =
        exitCode == kOpenerNoMethod
            ? errorText(kErrorNoAssociation)
            : toUtf8(opener) + " could not open the file (exit status " + std::to_string(exitCode) + ").";
    if (const OpenFailureReport& report = openFailureReport())
        report(what, reason);
    else
        std::fprintf(stderr, "%s: %s\n", what.c_str(), reason.c_str());
}

// Hands a local file to the desktop's opener and watches it. The process object has no owner and is
// deleted only once the opener has ended: ending this program meanwhile leaves the opener (and the
// application it starts) running. Its output goes where this program's goes.
bool openWithOpener(const QString& opener, const QString& posixFile)
{
    auto* process = new QProcess();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProgram(opener);
    process->setArguments({posixFile});
    QObject::connect(process, &QProcess::finished, process,
                     [process, opener, posixFile](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status == QProcess::NormalExit && exitCode != 0)
                             reportOpenFailure(posixFile, exitCode, QFileInfo(opener).fileName());
                     });
    process->start();
    if (process->waitForStarted())
        return true;
    delete process;
    return false;
}

} // namespace

bool DesktopProgramStarter::openUrl(const QUrl& url)
{
    const QCoreApplication* application = QCoreApplication::instance();
    if (url.isLocalFile() && application != nullptr && application->thread() == QThread::currentThread()) {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (!opener.isEmpty())
            return openWithOpener(opener, url.toLocalFile());
    }
    return QDesktopServices::openUrl(url);
}

void setOpenFailureReport(OpenFailureReport report)
{
    openFailureReport() = std::move(report);
}

bool DesktopProgramStarter::startDetached(const QString& program, const QStringList& arguments,
                                          const QString& workingFolder)
{
    return QProcess::startDetached(program, arguments, workingFolder);
}

bool RecordingProgramStarter::openUrl(const QUrl& url)
{
    Call call;
    call.kind = Kind::kOpenUrl;
    call.url = url;
    calls_.push_back(call);
    return succeed;
}

bool RecordingProgramStarter::startDetached(const QString& program, const QStringList& arguments,
                                            const QString& workingFolder)
{
    Call call;
    call.kind = Kind::kStart;
    call.program = program;
    call.arguments = arguments;
    call.workingFolder = workingFolder;
    calls_.push_back(call);
    return succeed;
}

ProgramStarter& programStarter()
{
    if (ProgramStarter* starter = gInstalledStarter.load())
        return *starter;
    return desktopStarter();
}

ProgramStarter* installProgramStarter(ProgramStarter* starter)
{
    ProgramStarter* previous = gInstalledStarter.exchange(starter);
    return previous ? previous : &desktopStarter();
}

QStringList commandArguments(std::string_view parameters)
{
    QStringList arguments = QProcess::splitCommand(toQString(parameters));
    for (QString& argument : arguments) {
        const std::string text = toUtf8(argument);
        std::string posix;
        if (isDrivePath(text) && toPosixPath(text, posix) == kErrorSuccess)
            argument = posixText(posix);
    }
    return arguments;
}

WinError openWithDesktop(std::string_view windowsPath)
{
    std::string posix;
    FileInfo info;
    const WinError error = existingPosixPath(unquoted(windowsPath), posix, info);
    if (error != kErrorSuccess)
        return error;
    return openLocal(posix);
}

WinError executeFile(std::string_view windowsPath, std::string_view workingFolder)
{
    std::string posix;
    FileInfo info;
    const WinError error = existingPosixPath(unquoted(windowsPath), posix, info);
    if (error != kErrorSuccess)
        return error;
    if (!isRunnableProgram(posix, info))
        return openLocal(posix);
    return programStarter().startDetached(posixText(posix), QStringList(), workingFolderOf(workingFolder))
               ? kErrorSuccess
               : kErrorGenFailure;
}

WinError startProgram(std::string_view program, std::string_view parameters, std::string_view workingFolder)
{
    const std::string_view name = unquoted(program);
    if (name.empty())
        return kErrorFileNotFound;
    const QStringList arguments = commandArguments(parameters);

    QString programPath;
    if (isDrivePath(name)) {
        std::string posix;
        const WinError error = toPosixPath(name, posix);
        if (error != kErrorSuccess)
            return error;
        programPath = posixText(posix);
    } else {
        programPath = toQString(name);
    }
    if (QStandardPaths::findExecutable(programPath).isEmpty()) {
        // No such program here (the stored default names the system's own editor of another
        // system): the files go to the desktop's default application.
        WinError result = kErrorFileNotFound;
        for (const QString& argument : arguments) {
            if (!argument.startsWith(QLatin1Char('/')) || !QFileInfo(argument).isFile())
                continue;
            const WinError opened =
                programStarter().openUrl(QUrl::fromLocalFile(argument)) ? kErrorSuccess : kErrorNoAssociation;
            if (result != kErrorSuccess)
                result = opened;
        }
        return result;
    }
    return programStarter().startDetached(programPath, arguments, workingFolderOf(workingFolder))
               ? kErrorSuccess
               : kErrorFileNotFound;
}

WinError openWebAddress(std::string_view address)
{
    const QUrl url = QUrl::fromUserInput(toQString(trimmed(address)));
    if (!url.isValid() || url.isEmpty())
        return kErrorInvalidParameter;
    return programStarter().openUrl(url) ? kErrorSuccess : kErrorGenFailure;
}

} // namespace wux::platform::shell
