#include "platform/shell/special_folders.h"

#include <cstdlib>
#include <fstream>
#include <string_view>

#include <QDir>

#include "platform/paths.h"
#include "platform/text.h"

namespace wux::platform::shell {
namespace {

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return withoutTrailingSlashes(home);
    return withoutTrailingSlashes(toUtf8(QDir::homePath()));
}

std::string configFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return withoutTrailingSlashes(config);
    const std::string home = homeFolder();
    return home == "/" ? std::string("/.config") : home + "/.config";
}

// The value of XDG_DESKTOP_DIR in "user-dirs.dirs": "$HOME/..." or an absolute path in double quotes;
// "" when the file or the line is missing or the value has another form.
std::string desktopFromUserDirs(const std::string& home)
{
    std::ifstream in(configFolder() + "/user-dirs.dirs", std::ios::binary);
    std::string line;
    std::string found;
    while (std::getline(in, line)) {
        std::string_view text = line;
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        constexpr std::string_view kKey = "XDG_DESKTOP_DIR=";
        if (text.substr(0, kKey.size()) != kKey)
            continue;
        text.remove_prefix(kKey.size());
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
            text.remove_suffix(1);
        if (text.size() < 2 || text.front() != '"' || text.back() != '"')
            continue;
        text = text.substr(1, text.size() - 2);
        constexpr std::string_view kHome = "$HOME";
        std::string value;
        if (text.substr(0, kHome.size()) == kHome &&
            (text.size() == kHome.size() || text[kHome.size()] == '/')) {
            value = home + std::string(text.substr(kHome.size()));
        } else if (!text.empty() && text.front() == '/') {
            value = std::string(text);
        } else {
            continue;
        }
        // The last assignment counts, as when the file is read by a shell.
        found = withoutTrailingSlashes(value);
    }
    return found;
}

} // namespace

std::string specialFolderPosixPath(SpecialFolder folder)
{
    switch (folder) {
    case SpecialFolder::kApplicationData:
        return configFolder();
    case SpecialFolder::kDesktopDirectory: {
        const std::string home = homeFolder();
        std::string desktop = desktopFromUserDirs(home);
        if (desktop.empty())
            desktop = home == "/" ? std::string("/Desktop") : home + "/Desktop";
        return desktop;
    }
    case SpecialFolder::kPersonal:
        return homeFolder();
    case SpecialFolder::kFavorites:
        break;
    }
    return std::string();
}

std::string specialFolderPath(SpecialFolder folder)
{
    const std::string posix = specialFolderPosixPath(folder);
    if (posix.empty())
        return std::string();
    return toWindowsPath(posix);
}

} // namespace wux::platform::shell
