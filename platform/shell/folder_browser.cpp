#include "platform/shell/folder_browser.h"

#include <atomic>

#include <QFile>
#include <QFileDialog>

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wux::platform::shell {
namespace {

std::atomic<FolderBrowser*> gInstalledBrowser{nullptr};

QtFolderBrowser& qtBrowser()
{
    static QtFolderBrowser browser;
    return browser;
}

} // namespace

QString QtFolderBrowser::chooseFolder(QWidget* owner, const QString& title, const QString& initialFolder)
{
    return QFileDialog::getExistingDirectory(owner, title, initialFolder, QFileDialog::ShowDirsOnly);
}

QString ScriptedFolderBrowser::chooseFolder(QWidget* owner, const QString& title,
                                            const QString& initialFolder)
{
    requests_.push_back(Request{owner, title, initialFolder});
    if (answers_.empty())
        return QString();
    QString answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

FolderBrowser& folderBrowser()
{
    if (FolderBrowser* browser = gInstalledBrowser.load())
        return *browser;
    return qtBrowser();
}

FolderBrowser* installFolderBrowser(FolderBrowser* browser)
{
    FolderBrowser* previous = gInstalledBrowser.exchange(browser);
    return previous ? previous : &qtBrowser();
}

std::string browseForFolder(QWidget* owner, std::string_view title, std::string_view initialFolder)
{
    // The initial folder is typed text (a folder box), so its names may be spelled in any case.
    std::string initialPosix;
    if (!initialFolder.empty() && toPosixPath(spelledOnDisk(initialFolder), initialPosix) != kErrorSuccess)
        initialPosix.clear();
    const QString chosen = folderBrowser().chooseFolder(
        owner, toQString(title),
        QFile::decodeName(QByteArray(initialPosix.data(), static_cast<qsizetype>(initialPosix.size()))));
    if (chosen.isEmpty())
        return std::string();
    const QByteArray bytes = QFile::encodeName(chosen);
    std::string folder =
        toWindowsPath(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (folder.empty())
        return std::string();
    if (folder.back() != '\\')
        folder.push_back('\\');
    return folder;
}

} // namespace wux::platform::shell
