#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

class PathsTest : public test::TempDriveTest
{
protected:
    std::string posixPathOf(std::string_view windowsPath, WinError expected = 0)
    {
        std::string out = "unchanged";
        EXPECT_EQ(toPosixPath(windowsPath, out), expected) << windowsPath;
        if (expected != 0) {
            EXPECT_EQ(out, "") << windowsPath;
        }
        return out;
    }
};

TEST_F(PathsTest, SpellingsOfOnePath)
{
    test::makeFolder(posix("a/b"));
    const std::string root = drive.root();
    const struct
    {
        const char* windows;
        std::string posix;
    } cases[] = {
        {"c:\\a\\b", root + "/a/b"},
        {"C:\\a\\b\\", root + "/a/b"},
        {"c:/a//b", root + "/a/b"},
        {"c:\\a\\\\\\b", root + "/a/b"},
        {"c:", root},
        {"c:\\", root},
        {"C:/", root},
        {"c:a\\b", root + "/a/b"},
        {"c:\\a\\.\\b\\..\\b", root + "/a/b"},
        {"c:\\..\\..\\a", root + "/a"},
        {"c:\\a\\new.txt", root + "/a/new.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(posixPathOf(c.windows), c.posix) << c.windows;
}

TEST_F(PathsTest, BadPathsGiveErrorsNeverCrash)
{
    test::createFile(posix("file.txt"));
    const struct
    {
        std::string windows;
        WinError error;
    } cases[] = {
        {"", kErrorPathNotFound},
        {"relative\\name", kErrorPathNotFound},
        {"\\rooted\\without\\drive", kErrorPathNotFound},
        {"\\\\server\\share\\file", kErrorPathNotFound},
        {"//server/share/file", kErrorPathNotFound},
        {"q:\\unmapped", kErrorPathNotFound},
        {"1:\\x", kErrorPathNotFound},
        {"c:\\missing\\name", kErrorPathNotFound},
        {"c:\\file.txt\\below", kErrorPathNotFound},
        {"c:\\a*b", kErrorInvalidName},
        {"c:\\a?b", kErrorInvalidName},
        {"c:\\a<b", kErrorInvalidName},
        {"c:\\a>b", kErrorInvalidName},
        {"c:\\a|b", kErrorInvalidName},
        {"c:\\a\"b", kErrorInvalidName},
        {"c:\\a:b", kErrorInvalidName},
        {"c:\\a\x01"
         "b",
         kErrorInvalidName},
        {"c:\\a\x1f"
         "b",
         kErrorInvalidName},
        {std::string("c:\\a\0b", 6), kErrorInvalidName},
        {"c:\\" + std::string(256, 'n'), kErrorFilenameExcedRange},
        {"c:\\" + std::string(255, 'n'), 0},
    };
    for (const auto& c : cases)
        posixPathOf(c.windows, c.error);
}

TEST_F(PathsTest, NameTooLongForTheFileSystemIs206EverywhereItIsUsed)
{
    const std::string longName = "c:\\" + std::string(300, 'x');
    EXPECT_EQ(createFolder(longName), kErrorFilenameExcedRange);
    FileHandle file;
    EXPECT_EQ(file.open(longName, kAccessWrite, kShareNone, Disposition::kCreateAlways),
              kErrorFilenameExcedRange);
    // The limit counts the bytes on the disk: 300 bytes shown are 100 bytes there.
    std::string mapped = "c:\\";
    for (int i = 0; i < 100; ++i)
        mapped += "\xEF\x80\xAA"; // U+F02A, a '*' on the disk
    EXPECT_EQ(createFolder(mapped), 0u);
    EXPECT_TRUE(test::exists(posix(std::string(100, '*'))));
}

TEST_F(PathsTest, EveryNameIsTakenAsSpelled)
{
    test::createFile(posix("Docs/Report.TXT"), "r");
    test::createFile(posix("README"), "upper");
    test::createFile(posix("file.txt"), "f");
    const struct
    {
        const char* windows;
        WinError error;
        std::string posix;
    } cases[] = {
        {"c:\\Docs\\Report.TXT", 0, posix("Docs/Report.TXT")},
        // Another spelling of an existing entry is another name: never that entry.
        {"c:\\Docs\\report.txt", 0, posix("Docs/report.txt")},
        {"c:\\Readme", 0, posix("Readme")},
        {"c:\\Docs\\new.txt", 0, posix("Docs/new.txt")},
        // A folder of the path in another letter case, missing, or a file in a folder's place.
        {"c:\\DOCS\\Report.TXT", kErrorPathNotFound, ""},
        {"c:\\docs\\new.txt", kErrorPathNotFound, ""},
        {"c:\\none\\new.txt", kErrorPathNotFound, ""},
        {"c:\\file.txt\\new.txt", kErrorPathNotFound, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(posixPathOf(c.windows, c.error), c.posix) << c.windows;
    std::string bytes;
    EXPECT_EQ(readWholeFile("c:\\Readme", bytes), kErrorFileNotFound);
    EXPECT_FALSE(pathExists("c:\\docs\\report.txt"));
}

TEST_F(PathsTest, PathsFromOutsideTakeTheOneEntryThatMatchesIgnoringCase)
{
    test::createFile(posix("Docs/Report.TXT"), "r");
    test::createFile(posix("\xC3\x84rger.txt"), "a");
    test::createFile(posix("readme"), "lower");
    test::createFile(posix("README"), "upper");
    test::makeFolder(posix("dir"));
    test::makeFolder(posix("DIR"));
    const struct
    {
        const char* typed;
        const char* onDisk;
    } cases[] = {
        {"c:\\DOCS\\report.txt", "c:\\Docs\\Report.TXT"},
        {"C:/docs//REPORT.txt\\", "C:\\Docs\\Report.TXT"},
        {"c:\\docs", "c:\\Docs"},
        {"c:\\\xC3\xA4RGER.TXT", "c:\\\xC3\x84rger.txt"}, // non-ASCII letters fold too
        // A new name keeps its spelling in the folder found.
        {"c:\\DOCS\\New.txt", "c:\\Docs\\New.txt"},
        // As spelled when it exists so, or when none or several match: the path itself.
        {"c:\\Docs\\Report.TXT", "c:\\Docs\\Report.TXT"},
        {"c:\\readme", "c:\\readme"},
        {"c:\\README", "c:\\README"},
        {"c:\\ReadMe", "c:\\ReadMe"},
        {"c:\\Dir\\x", "c:\\Dir\\x"},
        {"c:\\none\\docs", "c:\\none\\docs"},
        {"c:\\", "c:\\"},
        {"q:\\docs", "q:\\docs"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(spelledOnDisk(c.typed), c.onDisk) << c.typed;
    std::string bytes;
    EXPECT_EQ(readWholeFile(spelledOnDisk("c:\\docs\\report.txt"), bytes), 0u);
    EXPECT_EQ(bytes, "r");
}

TEST_F(PathsTest, TypedPathsMayBeWrittenTheLinuxWay)
{
    test::makeFolder(posix("Docs/Invoices 2024"));
    test::makeFolder(posix("mnt/stick/photos"));
    drive.mapDrive('e', posix("mnt/stick"), kDriveRemovable);
    const std::string root = drive.root();
    const struct
    {
        std::string typed;
        std::string windows;
    } cases[] = {
        {root + "/Docs", "c:\\Docs"},
        {root + "/docs/invoices 2024/", "c:\\Docs\\Invoices 2024\\"}, // a trailing "/" names a folder
        {root + "//Docs/./x/../Invoices 2024", "c:\\Docs\\Invoices 2024"},
        {root + "/Docs\\Invoices 2024", "c:\\Docs\\Invoices 2024"},
        {root, "c:\\"},
        {root + "/", "c:\\"},
        {root + "/Docs/new.txt", "c:\\Docs\\new.txt"},
        {root + "/mnt/stick/photos", "e:\\photos"}, // the drive whose folder holds it most closely
        {root + "/mnt/stick", "e:\\"},
        {root + "/docs/*.TXT", "c:\\Docs\\*.TXT"}, // a mask stays a mask
        {root + "/Notes: 2024/a*b/c?.txt", "c:\\Notes\xEF\x80\xBA 2024\\a\xEF\x80\xAA" "b\\c?.txt"},
        // The system's way: separators either way, doubled once, spelled on the disk.
        {"c:/docs//invoices 2024/", "c:\\Docs\\Invoices 2024\\"},
        {"C:\\DOCS\\*.*", "C:\\Docs\\*.*"},
        {"c:", "c:"},
        // Relative, and rooted on the current drive: for the caller to place.
        {"Invoices 2024/", "Invoices 2024\\"},
        {"a/b", "a\\b"},
        {"a//b\\\\c", "a\\b\\c"},
        {"\\Docs/x", "\\Docs\\x"},
        {"\\\\server\\share", "\\\\server\\share"},
        {"new.txt", "new.txt"},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string windows = "unchanged";
        EXPECT_EQ(pathFromOutside(c.typed, windows), kErrorSuccess) << c.typed;
        EXPECT_EQ(windows, c.windows) << c.typed;
    }
    // The last name is the entry to write, as typed, unless it names one that exists or a folder.
    test::createFile(posix("Docs/Report.TXT"), "r");
    const struct
    {
        std::string typed;
        TypedName lastName;
        std::string windows;
    } lastNames[] = {
        {"c:\\docs\\REPORT.txt", TypedName::kAsTyped, "c:\\Docs\\REPORT.txt"},
        {root + "/docs/REPORT.txt", TypedName::kAsTyped, "c:\\Docs\\REPORT.txt"},
        {"c:\\docs\\REPORT.txt", TypedName::kExisting, "c:\\Docs\\Report.TXT"},
        {root + "/docs/REPORT.txt", TypedName::kExisting, "c:\\Docs\\Report.TXT"},
        {"c:\\Docs\\invoices 2024", TypedName::kAsTyped, "c:\\Docs\\invoices 2024"},
        {"c:\\Docs\\invoices 2024\\", TypedName::kAsTyped, "c:\\Docs\\Invoices 2024\\"},
    };
    for (const auto& c : lastNames) {
        std::string windows;
        EXPECT_EQ(pathFromOutside(c.typed, windows, c.lastName), kErrorSuccess) << c.typed;
        EXPECT_EQ(windows, c.windows) << c.typed;
    }
    // No drive holds it: said, and nothing to go on with.
    for (const std::string& outside : {drive.base(), std::string("/"), drive.base() + "/elsewhere/x/"}) {
        std::string windows = "unchanged";
        EXPECT_EQ(pathFromOutside(outside, windows), kErrorInvalidDrive) << outside;
        EXPECT_EQ(windows, "") << outside;
    }
}

TEST_F(PathsTest, ReservedCharactersMapToPrivateUseAndBackLosslessly)
{
    const std::string linuxName = "a\\b:c*d?e\"f<g>h|i\x01j\x1fk";
    const std::string shown = encodeName(linuxName);
    EXPECT_EQ(shown, "a\xEF\x81\x9C"
                     "b\xEF\x80\xBA"
                     "c\xEF\x80\xAA"
                     "d\xEF\x80\xBF"
                     "e\xEF\x80\xA2"
                     "f\xEF\x80\xBCg\xEF\x80\xBEh\xEF\x81\xBCi\xEF\x80\x81j\xEF\x80\x9F"
                     "k");
    std::string back;
    ASSERT_TRUE(decodeName(shown, back));
    EXPECT_EQ(back, linuxName);
    EXPECT_EQ(displayPath("c:\\" + shown), "c:\\" + linuxName);
    // Ordinary names and other private-use characters are untouched.
    EXPECT_EQ(encodeName("Plain näme.txt"), "Plain näme.txt");
    ASSERT_TRUE(decodeName("x\xEF\x81\x81y", back)); // U+F041 stands for no reserved byte
    EXPECT_EQ(back, "x\xEF\x81\x81y");
    EXPECT_FALSE(decodeName("a*b", back));
    EXPECT_FALSE(decodeName("a/b", back));

    // A Linux file with such a name is reachable and never read as a separator or a mask.
    const std::string linuxPath = drive.root() + "/" + linuxName; // posix() would split at the "\\"
    test::createFile(linuxPath, "data");
    const std::string windowsPath = toWindowsPath(linuxPath);
    EXPECT_EQ(windowsPath, "c:\\" + shown);
    EXPECT_EQ(posixPathOf(windowsPath), linuxPath);
    EXPECT_EQ(test::listNames(drive.root()), std::vector<std::string>{linuxName});
    std::string bytes;
    EXPECT_EQ(readWholeFile(windowsPath, bytes), 0u);
    EXPECT_EQ(bytes, "data");
}

TEST_F(PathsTest, LongestRootGivesTheDrive)
{
    test::makeFolder(posix("sub/x"));
    test::makeFolder(posix("subway"));
    drive.mapDrive('d', posix("sub"));
    drive.mapDrive('e', posix("sub")); // the same root twice: the first letter
    const struct
    {
        std::string posixPath;
        std::string windows;
    } cases[] = {
        {posix("sub/x/file"), "d:\\x\\file"},
        {posix("sub"), "d:\\"},
        {posix("sub/"), "d:\\"},
        {posix("subway"), "c:\\subway"},
        {drive.root() + "//a///b/", "c:\\a\\b"},
        {drive.root(), "c:\\"},
        {"/outside/of/every/drive", ""},
        {"relative/path", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toWindowsPath(c.posixPath), c.windows) << c.posixPath;
    drive.mapDrive('f', "/");
    EXPECT_EQ(toWindowsPath("/outside/of/every/drive"), "f:\\outside\\of\\every\\drive");
    EXPECT_EQ(toWindowsPath("/"), "f:\\");
}

TEST_F(PathsTest, NoLimitOf260)
{
    std::string windowsPath = "c:";
    std::string posixPath = drive.root();
    for (int i = 0; i < 30; ++i) {
        const std::string name = "folder-with-a-long-name-" + std::to_string(i);
        windowsPath += "\\" + name;
        posixPath += "/" + name;
        ASSERT_EQ(createFolder(windowsPath), 0u) << i;
    }
    windowsPath += "\\file.txt";
    ASSERT_GT(windowsPath.size(), 800u);
    EXPECT_EQ(atomicRewrite(windowsPath, "deep"), 0u);
    EXPECT_EQ(test::readFileBytes(posixPath + "/file.txt"), "deep");
    std::string bytes;
    EXPECT_EQ(readWholeFile(windowsPath, bytes), 0u);
    EXPECT_EQ(bytes, "deep");
    EXPECT_EQ(toWindowsPath(posixPath + "/file.txt"), windowsPath);
}

TEST_F(PathsTest, TheEntryFoundComesWithThePath)
{
    test::createFile(posix("Docs/Report.TXT"), "report");
    ASSERT_EQ(::symlink("Report.TXT", posix("Docs/link").c_str()), 0);
    const struct
    {
        const char* windows;
        std::string posix;
        mode_t type; // 0: nothing there
    } cases[] = {
        {"c:\\Docs\\Report.TXT", posix("Docs/Report.TXT"), S_IFREG},
        {"c:\\Docs\\report.txt", posix("Docs/report.txt"), 0},
        {"c:\\Docs\\link", posix("Docs/link"), S_IFLNK},
        {"c:\\Docs", posix("Docs"), S_IFDIR},
        {"c:\\", drive.root(), S_IFDIR},
        {"c:\\Docs\\new.txt", posix("Docs/new.txt"), 0},
    };
    for (const auto& c : cases) {
        std::string out;
        PathEntry entry;
        entry.error = -1;
        ASSERT_EQ(toPosixPath(c.windows, out, entry), 0u) << c.windows;
        EXPECT_EQ(out, c.posix) << c.windows;
        EXPECT_EQ(entry.exists, c.type != 0) << c.windows;
        if (c.type != 0) {
            EXPECT_EQ(entry.st.st_mode & S_IFMT, c.type) << c.windows;
            EXPECT_EQ(entry.error, 0) << c.windows;
        } else {
            EXPECT_EQ(entry.error, ENOENT) << c.windows;
        }
    }
    // A path that cannot be resolved leaves the entry alone.
    std::string out;
    PathEntry entry;
    entry.error = 7;
    EXPECT_EQ(toPosixPath("c:\\none\\x", out, entry), kErrorPathNotFound);
    EXPECT_EQ(entry.error, 7);
}

TEST(PathTextTest, SplitJoinAndDriveLetters)
{
    const struct
    {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {
        {"c:\\a\\b.txt", "c:\\a", "b.txt"},
        {"c:\\b.txt", "c:\\", "b.txt"},
        {"c:\\", "c:\\", ""},
        {"C:", "C:\\", ""},
        {"c:\\a\\b\\", "c:\\a", "b"},
        {"c:\\a\\\\b", "c:\\a", "b"},
        {"c:b", "c:\\", "b"},
        {"name", "", "name"},
        {"d:/x/y", "d:/x", "y"},
    };
    for (const auto& c : cases) {
        std::string folder, name;
        splitWindowsPath(c.path, folder, name);
        EXPECT_EQ(folder, c.folder) << c.path;
        EXPECT_EQ(name, c.name) << c.path;
    }
    EXPECT_EQ(joinWindowsPath("c:\\", "x"), "c:\\x");
    EXPECT_EQ(joinWindowsPath("c:\\a", "x"), "c:\\a\\x");
    EXPECT_EQ(driveLetterOf("D:\\x"), 'd');
    EXPECT_EQ(driveLetterOf("\\\\s\\x"), 0);
    EXPECT_EQ(driveLetterOf(""), 0);
    EXPECT_TRUE(isDriveRoot("c:"));
    EXPECT_TRUE(isDriveRoot("C:\\"));
    EXPECT_FALSE(isDriveRoot("c:\\x"));
}

} // namespace
} // namespace wux::platform
