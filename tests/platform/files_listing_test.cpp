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
        {"NOEXT", {}}, // without wildcards: the one name as spelled
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
    EXPECT_EQ(listing.findFirst(path("D\\Real.Name"), data), kErrorPathNotFound);
    EXPECT_EQ(listing.findFirst(path("d\\real.name"), data), kErrorFileNotFound);
    ASSERT_EQ(listing.findFirst(path("d\\Real.Name"), data), 0u);
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

// Names first: a plain file comes with its name and the attributes its name and type tell, and its
// status only when asked for; folders and links come whole. Every entry's data after fillStatus is what
// the plain listing gives.
TEST_F(FolderListingTest, NamesFirstGivesPlainFilesWithoutTheirStatusUntilAsked)
{
    test::createFile(posix("n/plain.txt"), "12345", 132000000000000000ull);
    test::createFile(posix("n/.hidden"), "1", 0, 0444);
    test::makeFolder(posix("n/sub"));
    ASSERT_EQ(::symlink("plain.txt", posix("n/link").c_str()), 0);
    std::map<std::string, FindData> whole;
    {
        FolderListing listing;
        FindData data;
        ASSERT_EQ(listing.findFirst(path("n\\*.*"), data), 0u);
        do
            whole[data.name] = data;
        while (listing.findNext(data) == 0);
    }
    const std::map<std::string, std::pair<bool, std::uint32_t>> expected = {
        {".", {true, kAttrDirectory}},
        {"..", {true, kAttrDirectory}},
        {"plain.txt", {true, kAttrArchive}},
        {".hidden", {true, kAttrArchive | kAttrHidden}},
        {"sub", {false, kAttrDirectory}},
        {"link", {false, kAttrArchive | kAttrReparsePoint}},
    };
    FolderListing listing;
    listing.setNamesFirst(true);
    FindData data;
    std::size_t seen = 0;
    ASSERT_EQ(listing.findFirst(path("n\\*.*"), data), 0u);
    do {
        SCOPED_TRACE(data.name);
        ++seen;
        const auto it = expected.find(data.name);
        ASSERT_NE(it, expected.end());
        EXPECT_EQ(data.statusPending, it->second.first);
        EXPECT_EQ(data.attributes, it->second.second);
        ASSERT_EQ(listing.fillStatus(data), 0u);
        const FindData& full = whole[data.name];
        EXPECT_FALSE(data.statusPending);
        EXPECT_EQ(data.attributes, full.attributes);
        EXPECT_EQ(data.size, full.size);
        EXPECT_EQ(data.lastWriteTime, full.lastWriteTime);
        EXPECT_EQ(data.id, full.id);
        EXPECT_EQ(data.name, full.name);
    } while (listing.findNext(data) == 0);
    EXPECT_EQ(seen, expected.size());
    EXPECT_EQ(whole[".hidden"].attributes, kAttrArchive | kAttrHidden | kAttrReadOnly);
}

// A walk's listing is of the folder it was shown, never of a link or another folder put in its place;
// entries carry their own identity (a link's, not its target's).
TEST_F(FolderListingTest, WalkListingsActOnlyOnTheListedFolder)
{
    test::createFile(posix("w/sub/inner.txt"), "1");
    test::createFile(posix("w/outside/other.txt"), "2");
    ASSERT_EQ(::symlink(posix("w/outside").c_str(), posix("w/link").c_str()), 0);
    const auto idOf = [&](const std::string& relative) {
        struct stat st = {};
        EXPECT_EQ(::lstat(posix(relative).c_str(), &st), 0) << relative;
        return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    };
    std::map<std::string, FindData> entries;
    {
        FolderListing listing;
        FindData data;
        ASSERT_EQ(listing.findFirstInWalk(path("w\\*.*"), nullptr, data), 0u);
        EXPECT_EQ(listing.folderId(), idOf("w"));
        do
            entries[data.name] = data;
        while (listing.findNext(data) == 0);
    }
    EXPECT_EQ(entries["sub"].id, idOf("w/sub"));
    EXPECT_EQ(entries["link"].id, idOf("w/link"));
    EXPECT_TRUE(isWalkableFolder(entries["sub"]));
    EXPECT_FALSE(isWalkableFolder(entries["link"]));
    const FileId subId = entries["sub"].id;

    const auto first = [&](const std::string& folder, const FileId* expected) {
        FolderListing listing;
        FindData data;
        const WinError error = listing.findFirstInWalk(path(folder + "\\*.*"), expected, data);
        return error == 0 ? data.name : "error " + std::to_string(error);
    };
    const FileId otherId = idOf("w/outside");
    EXPECT_EQ(first("w\\sub", &subId), ".");
    EXPECT_EQ(first("w\\sub", &otherId), "error 1006");
    EXPECT_EQ(first("w\\link", nullptr), "error 1006");
    EXPECT_EQ(first("w\\link", &otherId), "error 1006");
    EXPECT_EQ(first("w\\missing", nullptr), "error 3");
    EXPECT_TRUE(isSameFolder(path("w\\sub"), subId));
    EXPECT_FALSE(isSameFolder(path("w\\link"), otherId));
    EXPECT_TRUE(isSameFolder(path("w\\outside"), otherId));
    EXPECT_FALSE(isSameFolder(path("w\\bad|name"), subId));

    // Swapped for a link to another folder, and for another folder of the same name.
    ASSERT_EQ(::rename(posix("w/sub").c_str(), posix("w/parked").c_str()), 0);
    ASSERT_EQ(::symlink(posix("w/outside").c_str(), posix("w/sub").c_str()), 0);
    EXPECT_EQ(first("w\\sub", &subId), "error 1006");
    EXPECT_FALSE(isSameFolder(path("w\\sub"), subId));
    ASSERT_EQ(::unlink(posix("w/sub").c_str()), 0);
    test::makeFolder(posix("w/sub"));
    EXPECT_EQ(first("w\\sub", &subId), "error 1006");
    EXPECT_FALSE(isSameFolder(path("w\\sub"), subId));
    // A folder above swapped: the path no longer leads to the listed folder.
    ASSERT_EQ(::rename(posix("w").c_str(), posix("w-moved").c_str()), 0);
    ASSERT_EQ(::symlink(posix("w-moved/outside").c_str(), posix("w").c_str()), 0);
    EXPECT_FALSE(isSameFolder(path("w\\parked"), subId));
    EXPECT_TRUE(isSameFolder(path("w-moved\\parked"), subId));
    EXPECT_EQ(
        errorText(kErrorFileInvalid),
        "The volume for a file has been externally altered so that the opened file is no longer valid.");
}

} // namespace
} // namespace wux::platform
