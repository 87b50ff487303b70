#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "platform/files.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

class FolderListingTest : public test::TempDriveTest
{
protected:
    // The names of a listing in the order given; the error of findFirst in `error`.
    std::vector<std::string> names(std::string_view pattern, WinError* error = nullptr)
    {
        std::vector<std::string> out;
        FolderListing listing;
        FindData data;
        const WinError first = listing.findFirst(pattern, data);
        if (error != nullptr)
            *error = first;
        if (first != 0)
            return out;
        do
            out.push_back(data.name);
        while (listing.findNext(data) == 0);
        return out;
    }
    static std::vector<std::string> sorted(std::vector<std::string> v)
    {
        std::sort(v.begin(), v.end());
        return v;
    }
};

TEST_F(FolderListingTest, DotsFirstThenEveryEntryWithItsData)
{
    const FileTime time = fileTimeFromUnix(1300000000);
    test::createFile(posix("dir/a.txt"), "12345", time);
    test::createFile(posix("dir/noext"), "", time, 0444);
    test::createFile(posix("dir/.hidden"), "h");
    test::makeFolder(posix("dir/sub"));
    FolderListing listing;
    FindData data;
    ASSERT_EQ(listing.findFirst(path("dir\\*.*"), data), 0u);
    EXPECT_EQ(data.name, ".");
    EXPECT_EQ(data.attributes, kAttrDirectory);
    ASSERT_EQ(listing.findNext(data), 0u);
    EXPECT_EQ(data.name, "..");
    EXPECT_EQ(data.attributes, kAttrDirectory);
    std::map<std::string, FindData> entries;
    while (listing.findNext(data) == 0)
        entries[data.name] = data;
    EXPECT_EQ(listing.findNext(data), kErrorNoMoreFiles);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries["a.txt"].attributes, kAttrArchive);
    EXPECT_EQ(entries["a.txt"].size, 5u);
    EXPECT_EQ(entries["a.txt"].lastWriteTime, time);
    EXPECT_EQ(entries["a.txt"].lastAccessTime, time);
    EXPECT_NE(entries["a.txt"].creationTime, 0u);
    EXPECT_EQ(entries["noext"].attributes, kAttrArchive | kAttrReadOnly);
    EXPECT_EQ(entries[".hidden"].attributes, kAttrArchive | kAttrHidden);
    EXPECT_EQ(entries["sub"].attributes, kAttrDirectory);
    listing.close();
    EXPECT_EQ(listing.findNext(data), kErrorInvalidHandle);
}

TEST_F(FolderListingTest, NoDotsAtADriveRoot)
{
    test::createFile(posix("x.txt"));
    EXPECT_EQ(names("c:\\*.*"), std::vector<std::string>{"x.txt"});
    EXPECT_EQ(names("C:\\*"), std::vector<std::string>{"x.txt"});
    drive.mapDrive('d', posix(""));
    EXPECT_EQ(names("d:\\*.*"), std::vector<std::string>{"x.txt"});
    WinError error = 0;
    EXPECT_TRUE(names("c:\\*.bin", &error).empty());
    EXPECT_EQ(error, kErrorFileNotFound);
}

TEST_F(FolderListingTest, MasksMatchIgnoringCase)
{
    for (const char* name : {"A.TXT", "b.txt", "c.doc", "noext", ".profile", "ab.txt.bak", "Ünï.TXT"})
        test::createFile(posix(std::string("m/") + name));
    const struct
    {
        const char* mask;
        std::vector<std::string> expected;
    } cases[] = {
        {"*.*", {".", "..", ".profile", "A.TXT", "b.txt", "ab.txt.bak", "c.doc", "noext", "Ünï.TXT"}},
        {"*", {".", "..", ".profile", "A.TXT", "b.txt", "ab.txt.bak", "c.doc", "noext", "Ünï.TXT"}},
        {"*.txt", {"A.TXT", "b.txt", "Ünï.TXT"}},
        {"?.txt", {"A.TXT", "b.txt"}},
        {"???.txt", {"Ünï.TXT"}},
        {"*.TXT*", {"A.TXT", "b.txt", "ab.txt.bak", "Ünï.TXT"}},
        {"ünï*", {"Ünï.TXT"}},
        {"noext", {"noext"}},
        {"NOEXT", {"noext"}},
        {"*ext", {"noext"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sorted(names(path(std::string("m\\") + c.mask))), sorted(c.expected)) << c.mask;
    EXPECT_TRUE(matchesFindMask("anything", "*.*"));
    EXPECT_TRUE(matchesFindMask("a.b.c", "*.c"));
    EXPECT_FALSE(matchesFindMask("abc", "ab"));
    EXPECT_FALSE(matchesFindMask("", "?"));
    EXPECT_TRUE(matchesFindMask("x", "*?*"));
}

TEST_F(FolderListingTest, WildcardsInTheFolderPartAreLiteral)
{
    test::createFile(drive.root() + "/a*b/inside.txt");
    test::createFile(posix("axb/other.txt"));
    const std::string literalFolder = "c:\\a\xEF\x80\xAA"
                                      "b";
    EXPECT_EQ(names(literalFolder + "\\*.*"), (std::vector<std::string>{".", "..", "inside.txt"}));
    WinError error = 0;
    EXPECT_TRUE(names("c:\\a*b\\*.*", &error).empty());
    EXPECT_EQ(error, kErrorInvalidName);
    EXPECT_TRUE(names("c:\\a?b\\*.*", &error).empty());
    EXPECT_EQ(error, kErrorInvalidName);
    EXPECT_TRUE(names("c:\\axb\\a<*", &error).empty());
    EXPECT_EQ(error, kErrorInvalidName);
    // Reserved characters of Linux names are listed in their private-use form.
    test::createFile(drive.root() + "/r/what?.txt");
    EXPECT_EQ(names(path("r\\*.*")), (std::vector<std::string>{".", "..", "what\xEF\x80\xBF.txt"}));
    EXPECT_EQ(names(path("r\\*\xEF\x80\xBF.txt")), (std::vector<std::string>{"what\xEF\x80\xBF.txt"}));
}

TEST_F(FolderListingTest, FolderErrors)
{
    ScopedFaultClear clear;
    test::createFile(posix("file.txt"));
    test::makeFolder(posix("locked"));
    WinError error = 0;
    const struct
    {
        std::string pattern;
        WinError expected;
    } cases[] = {
        {path("missing\\*.*"), kErrorPathNotFound},
        {path("missing\\deeper\\*.*"), kErrorPathNotFound},
        {path("file.txt\\*.*"), kErrorPathNotFound},
        {"q:\\*.*", kErrorPathNotFound},
        {"", kErrorPathNotFound},
        {"\\\\server\\share\\*.*", kErrorPathNotFound},
        {path("locked\\"), kErrorFileNotFound},
        {path("nothing.txt"), kErrorFileNotFound},
    };
    for (const auto& c : cases) {
        names(c.pattern, &error);
        EXPECT_EQ(error, c.expected) << c.pattern;
    }
    injectFault(path("locked"), kErrorAccessDenied, kFaultList);
    names(path("locked\\*.*"), &error);
    EXPECT_EQ(error, kErrorAccessDenied);
    names(path("file.txt"), &error);
    EXPECT_EQ(error, 0u);
}

TEST_F(FolderListingTest, OneNameWithoutWildcards)
{
    test::createFile(posix("d/Real.Name"), "abc");
    FolderListing listing;
    FindData data;
    ASSERT_EQ(listing.findFirst(path("D\\real.name"), data), 0u);
    EXPECT_EQ(data.name, "Real.Name");
    EXPECT_EQ(data.size, 3u);
    EXPECT_EQ(listing.findNext(data), kErrorNoMoreFiles);
}

TEST_F(FolderListingTest, LinksAreListedWithTheirTargetsData)
{
    test::createFile(posix("l/target.txt"), "1234");
    ASSERT_EQ(::symlink("target.txt", posix("l/link").c_str()), 0);
    ASSERT_EQ(::symlink("gone", posix("l/dangling").c_str()), 0);
    FolderListing listing;
    FindData data;
    std::map<std::string, FindData> entries;
    ASSERT_EQ(listing.findFirst(path("l\\*.*"), data), 0u);
    do
        entries[data.name] = data;
    while (listing.findNext(data) == 0);
    EXPECT_EQ(entries["link"].attributes, kAttrArchive | kAttrReparsePoint);
    EXPECT_EQ(entries["link"].size, 4u);
    EXPECT_EQ(entries["dangling"].attributes, kAttrReparsePoint);
}

} // namespace
} // namespace wux::platform
