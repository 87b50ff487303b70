#include "support/other_user.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace wux::test {

namespace {

const passwd* nobody()
{
    return ::getpwnam("nobody");
}

} // namespace

bool canActAsOtherUser()
{
    return ::geteuid() == 0 && nobody() != nullptr;
}

uid_t otherUserId()
{
    const passwd* user = nobody();
    return user != nullptr ? user->pw_uid : static_cast<uid_t>(-1);
}

bool runAsOtherUser(const std::function<bool()>& action)
{
    const passwd* user = nobody();
    if (user == nullptr)
        return false;
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0 || ::geteuid() != uid)
            ::_exit(2);
        ::_exit(action() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void makeSharedFolder(const std::string& posixFolder, const std::string& reachableFrom)
{
    ::mkdir(posixFolder.c_str(), 0777);
    ASSERT_EQ(::chmod(posixFolder.c_str(), 01777), 0) << posixFolder;
    // Every folder above it, up to reachableFrom, lets others pass.
    std::string above = posixFolder;
    while (above.size() > reachableFrom.size()) {
        above.erase(above.rfind('/'));
        struct stat st = {};
        ASSERT_EQ(::stat(above.c_str(), &st), 0) << above;
        ASSERT_EQ(::chmod(above.c_str(), (st.st_mode & 07777) | 0011), 0) << above;
    }
}

} // namespace wux::test
