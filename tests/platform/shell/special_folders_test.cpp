#include "platform/shell/special_folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "support/env_guard.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform::shell {
namespace {

class SpecialFoldersTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        home = posix("home/ann");
        test::makeFolder(home);
        env.set("HOME", home);
        env.set("XDG_CONFIG_HOME", std::nullopt);
    }

    test::EnvGuard env;
    std::string home;
};

TEST_F(SpecialFoldersTest, ApplicationDataFollowsXdgConfigHome)
{
    struct Case
    {
        std::optional<std::string> config;
        std::string expected;
    };
    const Case cases[] = {
        {std::nullopt, home + "/.config"},
        {std::string(), home + "/.config"},
        {std::string("relative/config"), home + "/.config"},
        {posix("cfg"), posix("cfg")},
        {posix("cfg") + "//", posix("cfg")},
    };
    for (const Case& c : cases) {
        env.set("XDG_CONFIG_HOME", c.config);
        EXPECT_EQ(specialFolderPosixPath(SpecialFolder::kApplicationData), c.expected)
            << c.config.value_or("unset");
    }
}

TEST_F(SpecialFoldersTest, PersonalIsTheHomeFolder)
{
    EXPECT_EQ(specialFolderPosixPath(SpecialFolder::kPersonal), home);
    env.set("HOME", home + "/");
    EXPECT_EQ(specialFolderPosixPath(SpecialFolder::kPersonal), home);
}

TEST_F(SpecialFoldersTest, FavoritesAreNeverKnown)
{
    EXPECT_EQ(specialFolderPosixPath(SpecialFolder::kFavorites), "");
    EXPECT_EQ(specialFolderPath(SpecialFolder::kFavorites), "");
}

TEST_F(SpecialFoldersTest, DesktopFromUserDirsInTheConfigFolder)
{
    struct Case
    {
        const char* file; // nullptr: no user-dirs.dirs
        std::string expected;
    };
    const Case cases[] = {
        {nullptr, home + "/Desktop"},
        {"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", home + "/Schreibtisch"},
        {"# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
         "XDG_DESKTOP_DIR=\"$HOME/\"\n",
         home},
        {"XDG_DESKTOP_DIR=\"/srv/desk\"\r\n", "/srv/desk"},
        {"XDG_DESKTOP_DIR=\"relative\"\n", home + "/Desktop"},
        {"XDG_DESKTOP_DIR=$HOME/unquoted\n", home + "/Desktop"},
        {"XDG_DESKTOP_DIR=\"$HOMEWORK\"\n", home + "/Desktop"},
        {"XDG_DESKTOP_DIR=\"$HOME/a\"\nXDG_DESKTOP_DIR=\"$HOME/b\"\n", home + "/b"},
    };
    const std::string config = posix("cfg");
    test::makeFolder(config);
    env.set("XDG_CONFIG_HOME", config);
    for (const Case& c : cases) {
        ::unlink((config + "/user-dirs.dirs").c_str());
        if (c.file)
            test::createFile(config + "/user-dirs.dirs", c.file);
        EXPECT_EQ(specialFolderPosixPath(SpecialFolder::kDesktopDirectory), c.expected)
            << (c.file ? c.file : "no file");
    }
}

TEST_F(SpecialFoldersTest, DrivePathsThroughTheDriveMap)
{
    EXPECT_EQ(specialFolderPath(SpecialFolder::kPersonal), "c:\\home\\ann");
    EXPECT_EQ(specialFolderPath(SpecialFolder::kApplicationData), "c:\\home\\ann\\.config");
    EXPECT_EQ(specialFolderPath(SpecialFolder::kDesktopDirectory), "c:\\home\\ann\\Desktop");

    env.set("HOME", drive.root());
    EXPECT_EQ(specialFolderPath(SpecialFolder::kPersonal), "c:\\");

    // A folder that no drive holds has no drive path.
    env.set("HOME", drive.base() + "/elsewhere");
    EXPECT_EQ(specialFolderPath(SpecialFolder::kPersonal), "");
}

} // namespace
} // namespace wux::platform::shell
