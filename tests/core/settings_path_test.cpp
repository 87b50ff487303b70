#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/file_tests.h"
#include "core/settings_path.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::core {
namespace {

// Sets an environment variable for the length of a scope.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

class SettingsPath : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        test::makeFolder(posix("prog"));
        test::makeFolder(posix("home/.config"));
    }
    ScopedEnv config{"XDG_CONFIG_HOME", drive.posix("home/.config")};
    platform::ScopedFaultClear faults;
};

TEST_F(SettingsPath, BesideTheProgramUnlessDeniedThenApplicationData)
{
    // A missing file beside the program is created empty; an existing one is kept as it is.
    EXPECT_EQ(SettingsFilePath(path("prog")), path("prog\\wux.ini"));
    EXPECT_EQ(test::readFileBytes(posix("prog/wux.ini")), "");
    test::createFile(posix("prog/wux.ini"), "[MainForm]\r\nA=1\r\n");
    EXPECT_EQ(SettingsFilePath(path("prog\\")), path("prog\\wux.ini"));
    EXPECT_EQ(test::readFileBytes(posix("prog/wux.ini")), "[MainForm]\r\nA=1\r\n");

    // A denied file falls back; both files stay untouched.
    test::createFile(posix("home/.config/WUX/wux.ini"), "mine");
    platform::injectFault(path("prog\\wux.ini"), platform::kErrorAccessDenied, platform::kFaultOpen);
    EXPECT_EQ(SettingsFilePath(path("prog")), path("home\\.config\\WUX\\wux.ini"));
    EXPECT_EQ(test::readFileBytes(posix("prog/wux.ini")), "[MainForm]\r\nA=1\r\n");
    EXPECT_EQ(test::readFileBytes(posix("home/.config/WUX/wux.ini")), "mine");
    platform::clearFaults();

    // So does a read-only file.
    test::createFile(posix("prog/wux.ini"), "read-only", test::kNoTime, 0444);
    EXPECT_EQ(SettingsFilePath(path("prog")), path("home\\.config\\WUX\\wux.ini"));
    EXPECT_EQ(test::readFileBytes(posix("prog/wux.ini")), "read-only");
}

TEST_F(SettingsPath, DeniedProgramFolderFallsBackToApplicationData)
{
    platform::injectFault(path("prog"), platform::kErrorAccessDenied, platform::kFaultOpen);
    EXPECT_EQ(SettingsFilePath(path("prog")), path("home\\.config\\WUX\\wux.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(posix("home/.config/WUX")));
    EXPECT_FALSE(test::exists(posix("prog/wux.ini")));
}

TEST_F(SettingsPath, OtherErrorsKeepTheProgramFolder)
{
    test::createFile(posix("prog/wux.ini"), "open elsewhere");
    platform::FileHandle other;
    ASSERT_EQ(other.open(path("prog\\wux.ini"), platform::kAccessRead, platform::kShareAll,
                         platform::Disposition::kOpenExisting),
              0u);
    EXPECT_EQ(SettingsFilePath(path("prog")), path("prog\\wux.ini"));
    EXPECT_FALSE(test::exists(posix("home/.config/WUX")));
    other.close();
    EXPECT_EQ(test::readFileBytes(posix("prog/wux.ini")), "open elsewhere");
}

TEST_F(SettingsPath, FallbackNeedsAUsableApplicationDataFolder)
{
    platform::injectFault(path("prog"), platform::kErrorAccessDenied, platform::kFaultOpen);
    {
        // A file where the folder should be.
        test::createFile(posix("home/.config/WUX"), "not a folder");
        EXPECT_EQ(SettingsFilePath(path("prog")), path("prog\\wux.ini"));
    }
    {
        // No drive holds the application-data folder.
        ScopedEnv elsewhere("XDG_CONFIG_HOME", "/nonexistent-wux-config");
        EXPECT_EQ(SettingsFilePath(path("prog")), path("prog\\wux.ini"));
    }
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgramUnlessSet)
{
    EXPECT_EQ(withTrailingBackslash("c:\\a"), "c:\\a\\");
    EXPECT_EQ(withTrailingBackslash("c:\\"), "c:\\");
    EXPECT_EQ(withTrailingBackslash(""), "\\");
    const std::string exe = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(ProgramFolder(), platform::toWindowsPath(exe));
    setProgramFolder("d:\\programs\\wux\\");
    EXPECT_EQ(ProgramFolder(), "d:\\programs\\wux");
    setProgramFolder("");
    EXPECT_EQ(ProgramFolder(), platform::toWindowsPath(exe));
}

class FileTests : public test::TempDriveTest
{
protected:
    platform::ScopedFaultClear faults;
};

TEST_F(FileTests, ExistenceAndSize)
{
    test::createFile(posix("a.txt"), "12345");
    test::makeFolder(posix("dir"));
    EXPECT_TRUE(FileExists(path("a.txt")));
    EXPECT_FALSE(FileExists(path("A.TXT"))); // another name
    EXPECT_TRUE(FileExists(path("dir")));
    EXPECT_FALSE(FileExists(path("b.txt")));
    EXPECT_EQ(GetFileSize64(path("a.txt")), 5);
    EXPECT_EQ(GetFileSize64(path("b.txt")), -1);
    EXPECT_EQ(GetFileSize64(path("dir")), -1);
    test::createFile(posix("empty"), "");
    EXPECT_EQ(GetFileSize64(path("empty")), 0);
}

TEST_F(FileTests, OpenElsewhereDeniesExclusiveOpen)
{
    test::createFile(posix("a.txt"), "12345");
    platform::WinError error = 0;
    EXPECT_FALSE(CanOpenExclusive(path("missing"), &error));
    EXPECT_EQ(error, platform::kErrorFileNotFound);
    EXPECT_FALSE(test::exists(posix("missing")));
    {
        platform::FileHandle other;
        ASSERT_EQ(other.open(path("a.txt"), platform::kAccessReadWrite, platform::kShareNone,
                             platform::Disposition::kOpenExisting),
                  0u);
        EXPECT_EQ(GetFileSize64(path("a.txt")), -1);
        EXPECT_FALSE(CanOpenExclusive(path("a.txt"), &error));
        EXPECT_EQ(error, platform::kErrorSharingViolation);
    }
    EXPECT_EQ(GetFileSize64(path("a.txt")), 5);
    EXPECT_TRUE(CanOpenExclusive(path("a.txt"), &error));
    EXPECT_EQ(error, 0u);
    // Open for reading elsewhere: the size can be read, an exclusive open is denied.
    platform::FileHandle reader;
    ASSERT_EQ(reader.open(path("a.txt"), platform::kAccessRead, platform::kShareAll,
                          platform::Disposition::kOpenExisting),
              0u);
    EXPECT_FALSE(CanOpenExclusive(path("a.txt")));
    EXPECT_EQ(GetFileSize64(path("a.txt")), 5);
}

TEST_F(FileTests, CreateEmptiesOrCreates)
{
    test::createFile(posix("a.txt"), "12345");
    EXPECT_TRUE(CanCreateFile(path("a.txt")));
    EXPECT_EQ(test::readFileBytes(posix("a.txt")), "");
    EXPECT_TRUE(CanCreateFile(path("new.txt")));
    EXPECT_TRUE(test::exists(posix("new.txt")));
    platform::WinError error = 0;
    EXPECT_FALSE(CanCreateFile(path("no\\new.txt"), &error));
    EXPECT_EQ(error, platform::kErrorPathNotFound);
    platform::injectFault(path("denied"), platform::kErrorAccessDenied, platform::kFaultOpen);
    EXPECT_FALSE(CanCreateFile(path("denied"), &error));
    EXPECT_EQ(error, platform::kErrorAccessDenied);
    EXPECT_FALSE(test::exists(posix("denied")));
}

TEST_F(FileTests, CopyFileTimesKeepsTheTargetsWriteTime)
{
    const platform::FileTime sourceTime = platform::fileTimeFromUnix(1'000'000'000);
    const platform::FileTime targetTime = platform::fileTimeFromUnix(1'500'000'000);
    test::createFile(posix("source"), "s", sourceTime);
    test::createFile(posix("target"), "t", targetTime);
    platform::FileHandle source;
    platform::FileHandle target;
    ASSERT_EQ(source.open(path("source"), platform::kAccessRead, platform::kShareRead,
                          platform::Disposition::kOpenExisting),
              0u);
    ASSERT_EQ(target.open(path("target"), platform::kAccessReadWrite, platform::kShareNone,
                          platform::Disposition::kOpenExisting),
              0u);
    EXPECT_TRUE(CopyFileTimes(source, target));
    target.close();
    EXPECT_EQ(test::lastWriteOf(posix("target")), targetTime);
    platform::FileHandle closed;
    EXPECT_FALSE(CopyFileTimes(source, closed));
    EXPECT_FALSE(CopyFileTimes(closed, source));
}

} // namespace
} // namespace wux::core
