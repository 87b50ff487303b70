// The file layer where a user could lose a file: drive roots reached through "..", links handed to
// the Trash, moves into a folder's own subfolder under another spelling, replaces between two names of
// one file.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

class FilesReviewTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        const char* data = std::getenv("XDG_DATA_HOME");
        hadDataHome_ = data != nullptr;
        if (hadDataHome_)
            dataHome_ = data;
        ::setenv("XDG_DATA_HOME", (drive.base() + "/data-home").c_str(), 1);
    }
    void TearDown() override
    {
        if (hadDataHome_)
            ::setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    ScopedFaultClear clearFaultsAfterTest;

private:
    bool hadDataHome_ = false;
    std::string dataHome_;
};

// A drive root spelled with ".." is still the drive root: it is never moved, removed or trashed.
TEST_F(FilesReviewTest, DriveRootSpelledWithDotDotIsNeverMovedRemovedOrTrashed)
{
    ASSERT_TRUE(drive.addDrive('d'));
    test::makeFolder(posix("sub"));
    test::createFile(posix("sub/keep.txt"), "keep");
    const std::string root = path("sub\\..");
    EXPECT_EQ(moveFile(root, drive.path("moved", 'd')), kErrorAccessDenied);
    EXPECT_EQ(moveToTrash(root), kErrorAccessDenied);
    EXPECT_EQ(test::readFileBytes(posix("sub/keep.txt")), "keep");
    EXPECT_FALSE(test::exists(drive.posix("moved", 'd')));

    // An empty drive root is not removed either.
    EXPECT_EQ(removeFolder(drive.path("", 'd')), kErrorAccessDenied);
    EXPECT_EQ(removeFolder(drive.path("x\\..", 'd')), kErrorAccessDenied);
    EXPECT_TRUE(test::exists(drive.root('d')));
}

// A symbolic link goes to the Trash as a link; its target stays where it is.
TEST_F(FilesReviewTest, TrashTakesALinkNotItsTarget)
{
    test::createFile(posix("data/target.txt"), "target");
    test::makeFolder(posix("data/folder"));
    ASSERT_EQ(::symlink(posix("data/target.txt").c_str(), posix("link.txt").c_str()), 0);
    ASSERT_EQ(::symlink(posix("data/folder").c_str(), posix("dirlink").c_str()), 0);
    std::string inTrash;
    ASSERT_EQ(moveToTrash(path("link.txt"), &inTrash), 0u);
    EXPECT_FALSE(test::exists(posix("link.txt")));
    EXPECT_EQ(test::readFileBytes(posix("data/target.txt")), "target");
    EXPECT_TRUE(S_ISLNK(test::modeOf(inTrash)));
    ASSERT_EQ(moveToTrash(path("dirlink"), &inTrash), 0u);
    EXPECT_FALSE(test::exists(posix("dirlink")));
    EXPECT_TRUE(S_ISDIR(test::modeOf(posix("data/folder"))));
    EXPECT_TRUE(S_ISLNK(test::modeOf(inTrash)));
}

// A folder moved into its own subfolder through a link whose target lies deeper inside it.
TEST_F(FilesReviewTest, FolderIntoItsOwnSubfolderThroughALink)
{
    test::createFile(posix("tree/sub/deep/a.txt"), "alpha");
    ASSERT_EQ(::symlink(posix("tree/sub").c_str(), posix("alias").c_str()), 0);
    EXPECT_EQ(moveFile(path("tree"), path("alias\\deep\\tree")), kErrorInvalidParameter);
    EXPECT_EQ(moveFile(path("tree"), path("alias\\tree")), kErrorInvalidParameter);
    EXPECT_TRUE(isSameOrInside(path("tree"), path("alias\\deep\\new\\x")));
    EXPECT_TRUE(isSameOrInside(path("tree"), path("other\\..\\tree")));
    EXPECT_FALSE(isSameOrInside(path("tree"), path("alias2")));
    EXPECT_FALSE(isSameOrInside(path("tree\\sub"), path("tree")));
    EXPECT_EQ(test::readFileBytes(posix("tree/sub/deep/a.txt")), "alpha");
}

// Replacing a file by another name of the same file (a hard link) must not report a replace that
// did not happen.
TEST_F(FilesReviewTest, ReplaceBetweenTwoNamesOfOneFile)
{
    test::createFile(posix("a.txt"), "alpha");
    ASSERT_EQ(::link(posix("a.txt").c_str(), posix("b.txt").c_str()), 0);
    EXPECT_EQ(replaceFile(path("a.txt"), path("b.txt")), kErrorSuccess);
    EXPECT_FALSE(test::exists(posix("a.txt")));
    EXPECT_EQ(test::readFileBytes(posix("b.txt")), "alpha");
}

// A rewritten file put in place over a symbolic link: the link stays and its target gets the new
// content (as the atomic rewrite does), instead of the link being replaced by a stray copy.
TEST_F(FilesReviewTest, ReplaceOverALinkReplacesItsTarget)
{
    test::createFile(posix("data/real.txt"), "old", 0, 0640);
    ASSERT_EQ(::symlink(posix("data/real.txt").c_str(), posix("link.txt").c_str()), 0);
    test::createFile(posix("data/new.tmp"), "new");
    EXPECT_EQ(replaceFile(path("data\\new.tmp"), path("link.txt")), kErrorSuccess);
    EXPECT_TRUE(S_ISLNK(test::modeOf(posix("link.txt"))));
    EXPECT_EQ(test::readFileBytes(posix("data/real.txt")), "new");
    EXPECT_FALSE(test::exists(posix("data/new.tmp")));
}

// A Linux name that holds a private-use character of the mapping itself (as names written through
// character-mapping network shares do) is its own file: listing shows it apart from the name with the
// reserved character, and deleting or renaming it never touches that other file.
TEST_F(FilesReviewTest, LiteralPrivateUseCharactersAreNotTakenForReservedOnes)
{
    const std::string literal = "x\xEF\x80\xAA.txt";       // x U+F02A .txt on disk
    const std::string literalEscape = "y\xEF\x83\xAF.txt"; // y U+F0EF .txt on disk
    test::createFile(posix("x*.txt"), "star");
    test::createFile(posix(literal), "literal");
    test::createFile(posix(literalEscape), "escape");
    for (const std::string& name :
         {std::string("x*.txt"), literal, literalEscape, std::string("a\xEF\x80")}) {
        std::string back;
        ASSERT_TRUE(decodeName(encodeName(name), back)) << name;
        EXPECT_EQ(back, name);
    }
    EXPECT_EQ(encodeName("x*.txt"), "x\xEF\x80\xAA.txt");
    EXPECT_EQ(encodeName(literal), "x\xEF\x83\xAF\x80\xAA.txt");
    EXPECT_EQ(displayPath(encodeName(literal)), literal);
    EXPECT_EQ(displayPath(encodeName("x*.txt")), "x*.txt");

    FolderListing listing;
    FindData data;
    std::vector<std::string> shown;
    ASSERT_EQ(listing.findFirst(path("x*.*"), data), 0u);
    do
        shown.push_back(data.name);
    while (listing.findNext(data) == 0u);
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{"x\xEF\x80\xAA.txt", "x\xEF\x83\xAF\x80\xAA.txt"}));

    EXPECT_EQ(moveFile(path(encodeName(literalEscape)), path("moved.txt")), 0u);
    EXPECT_EQ(test::readFileBytes(posix("moved.txt")), "escape");
    EXPECT_EQ(deleteFile(path(encodeName(literal))), 0u);
    EXPECT_FALSE(test::exists(posix(literal)));
    EXPECT_EQ(test::readFileBytes(posix("x*.txt")), "star");
}

// The folder scans' comparison gives exactly what comparing folded names gives, ASCII fast path or not.
TEST(FoldedNameEqualsTest, AgreesWithFoldingBothNames)
{
    const char* names[] = {"readme.txt",
                           "README.TXT",
                           "ReadMe.txt",
                           "readme.tx",
                           "readme.txt1",
                           "\xE2\x84\xAA"
                           "ey", // KELVIN SIGN + "ey" folds to "key"
                           "key",
                           "KEY",
                           "\xC3\x84rger.txt",
                           "\xC3\xA4rger.TXT",
                           "\xC5\xBFun",
                           "sun",
                           "a\xEF\x80\xAA",
                           "A\xEF\x80\xAA",
                           "",
                           "\xFF\xFE"};
    for (const char* a : names) {
        for (const char* b : names) {
            const std::string key = foldCase(b);
            EXPECT_EQ(foldedNameEquals(a, key), foldCase(a) == key) << a << " / " << b;
        }
    }
    EXPECT_TRUE(foldedNameEquals("\xE2\x84\xAA"
                                 "ey",
                                 foldCase("KEY")));
    EXPECT_TRUE(foldedNameEquals("ReadMe.TXT", foldCase("readme.txt")));
}

} // namespace
} // namespace wux::platform
