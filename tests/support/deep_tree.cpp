#include "support/deep_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

namespace wux::test {
namespace {

// Opens the folder of the components before `count` below base; -1 when one is missing.
int openFolders(const std::string& base, const std::vector<std::string>& components, std::size_t count,
                bool create)
{
    if (create)
        ::mkdir(base.c_str(), 0755);
    int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t i = 0; fd >= 0 && i < count; ++i) {
        if (create)
            ::mkdirat(fd, components[i].c_str(), 0755);
        const int next = ::openat(fd, components[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

void removeBelow(int folder)
{
    ::fchmod(folder, 0755);
    const int listFd = ::dup(folder);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (dir == nullptr)
        return;
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        struct stat st = {};
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
            ::fchmodat(folder, name.c_str(), 0755, 0);
            const int sub = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) {
                removeBelow(sub);
                ::close(sub);
            }
            ::unlinkat(folder, name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(folder, name.c_str(), 0);
        }
    }
}

} // namespace

std::string deepFolderName(int level)
{
    std::string name = "level" + std::to_string(level);
    name.resize(200, static_cast<char>('a' + level % 26));
    return name;
}

std::vector<std::string> DeepTree::components(int level, std::string_view file) const
{
    std::vector<std::string> out;
    for (int i = 1; i <= level; ++i)
        out.push_back(deepFolderName(i));
    if (!file.empty())
        out.emplace_back(file);
    return out;
}

std::string DeepTree::windowsPath(std::string_view base, int level, std::string_view file) const
{
    std::string out(base);
    for (const std::string& name : components(level, file)) {
        if (out.empty() || out.back() != '\\')
            out += '\\';
        out += name;
    }
    return out;
}

void makeDeepFolders(const std::string& base, const std::vector<std::string>& components)
{
    const int fd = openFolders(base, components, components.size(), true);
    EXPECT_GE(fd, 0) << "cannot make the folders below " << base;
    if (fd >= 0)
        ::close(fd);
}

void writeDeep(const std::string& base, const std::vector<std::string>& components, std::string_view bytes)
{
    ASSERT_FALSE(components.empty());
    const int folder = openFolders(base, components, components.size() - 1, true);
    ASSERT_GE(folder, 0) << "cannot make the folders below " << base;
    const int fd =
        ::openat(folder, components.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ::close(folder);
    ASSERT_GE(fd, 0) << "cannot create " << components.back();
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

void linkDeep(const std::string& base, const std::vector<std::string>& components, const std::string& text)
{
    ASSERT_FALSE(components.empty());
    const int folder = openFolders(base, components, components.size() - 1, true);
    ASSERT_GE(folder, 0) << "cannot make the folders below " << base;
    EXPECT_EQ(::symlinkat(text.c_str(), folder, components.back().c_str()), 0);
    ::close(folder);
}

std::optional<std::string> readDeepLink(const std::string& base, const std::vector<std::string>& components)
{
    if (components.empty())
        return std::nullopt;
    const int folder = openFolders(base, components, components.size() - 1, false);
    if (folder < 0)
        return std::nullopt;
    char text[4096];
    const ssize_t n = ::readlinkat(folder, components.back().c_str(), text, sizeof text);
    ::close(folder);
    if (n < 0)
        return std::nullopt;
    return std::string(text, static_cast<std::size_t>(n));
}

std::optional<std::string> readDeep(const std::string& base, const std::vector<std::string>& components)
{
    if (components.empty())
        return std::nullopt;
    const int folder = openFolders(base, components, components.size() - 1, false);
    if (folder < 0)
        return std::nullopt;
    const int fd = ::openat(folder, components.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    ::close(folder);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return bytes;
}

bool existsDeep(const std::string& base, const std::vector<std::string>& components)
{
    if (components.empty())
        return ::access(base.c_str(), F_OK) == 0;
    const int folder = openFolders(base, components, components.size() - 1, false);
    if (folder < 0)
        return false;
    struct stat st = {};
    const bool found = ::fstatat(folder, components.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    ::close(folder);
    return found;
}

std::vector<std::string> listDeep(const std::string& base, const std::vector<std::string>& components)
{
    std::vector<std::string> names;
    const int folder = openFolders(base, components, components.size(), false);
    DIR* dir = folder >= 0 ? ::fdopendir(folder) : nullptr;
    if (dir == nullptr) {
        if (folder >= 0)
            ::close(folder);
        return names;
    }
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void removeTreeAt(const std::string& path)
{
    if (path.empty())
        return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlink(path.c_str());
        return;
    }
    removeBelow(fd);
    ::close(fd);
    ::rmdir(path.c_str());
}

} // namespace wux::test
