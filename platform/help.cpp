#include "platform/help.h"

#include <QUrl>

#include <sys/stat.h>

#include "platform/paths.h"
#include "platform/shell/program_starter.h"

namespace wux::platform {

namespace {

std::string lastRequest;
int requestCount = 0;

// The POSIX path of a regular file named page inside the folder helpPath; "" when there is none.
std::string pageInFolder(std::string_view helpPath, std::string_view topicPage)
{
    if (helpPath.empty() || topicPage.empty() || topicPage.find('\\') != std::string_view::npos ||
        topicPage.find('/') != std::string_view::npos)
        return {};
    std::string folder;
    PathEntry entry;
    // The help folder and the topic pages are the installation's, named by the program: they may be
    // spelled in another letter case on the disk.
    if (toPosixPath(spelledOnDisk(helpPath), folder, entry) != 0 || !entry.exists ||
        !S_ISDIR(entry.st.st_mode))
        return {};
    std::string page(helpPath);
    if (page.back() != '\\')
        page += '\\';
    page += topicPage;
    std::string posix;
    PathEntry pageEntry;
    if (toPosixPath(spelledOnDisk(page), posix, pageEntry) != 0 || !pageEntry.exists)
        return {};
    struct stat target = {};
    if (::stat(posix.c_str(), &target) != 0 || !S_ISREG(target.st_mode))
        return {};
    return posix;
}

} // namespace

bool showHelpTopic(std::string_view helpPath, std::string_view topicPage, std::string* failedPage)
{
    lastRequest = std::string(helpPath) + "::/" + std::string(topicPage);
    ++requestCount;
    const std::string page = pageInFolder(helpPath, topicPage);
    if (page.empty())
        return false;
    if (shell::programStarter().openUrl(QUrl::fromLocalFile(QString::fromStdString(page))))
        return true;
    if (failedPage != nullptr) {
        failedPage->assign(helpPath);
        if (failedPage->back() != '\\')
            failedPage->push_back('\\');
        failedPage->append(topicPage);
    }
    return false;
}

std::string lastHelpRequest()
{
    return lastRequest;
}

int helpRequestCount()
{
    return requestCount;
}

} // namespace wux::platform
