#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "support/file_builders.h"
#include "support/other_user.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

class FileInfoTest : public test::TempDriveTest
{
};

TEST_F(FileInfoTest, AttributesOfEveryKindOfEntry)
{
    test::createFile(posix("plain.txt"), "x");
    test::createFile(posix(".hidden"), "x");
    test::createFile(posix("ro.txt"), "x", test::kNoTime, 0444);
    test::createFile(posix("group-ro.txt"), "x", test::kNoTime, 0644);
    test::makeFolder(posix("folder"));
    test::makeFolder(posix(".hiddenfolder"));
    test::makeFolder(posix("rofolder"), 0555);
    ASSERT_EQ(::mkfifo(posix("fifo").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("plain.txt", posix("link-file").c_str()), 0);
    ASSERT_EQ(::symlink("folder", posix("link-folder").c_str()), 0);
    ASSERT_EQ(::symlink("ro.txt", posix("link-ro").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", posix("link-dangling").c_str()), 0);
    const struct
    {
        const char* name;
        std::uint32_t attributes;
    } cases[] = {
        {"plain.txt", kAttrArchive},
        {".hidden", kAttrHidden | kAttrArchive},
        {"ro.txt", kAttrReadOnly | kAttrArchive},
        {"group-ro.txt", kAttrArchive},
        {"folder", kAttrDirectory},
        {".hiddenfolder", kAttrDirectory | kAttrHidden},
        {"rofolder", kAttrDirectory | kAttrReadOnly},
        {"fifo", kAttrNormal},
        {"link-file", kAttrArchive | kAttrReparsePoint},
        {"link-folder", kAttrDirectory | kAttrReparsePoint},
        {"link-ro", kAttrReadOnly | kAttrArchive | kAttrReparsePoint},
        {"link-dangling", kAttrReparsePoint},
    };
    for (const auto& c : cases) {
        std::uint32_t attributes = 0;
        EXPECT_EQ(getAttributes(path(c.name), attributes), 0u) << c.name;
        EXPECT_EQ(attributes, c.attributes) << c.name;
    }
    std::uint32_t attributes = 0;
    EXPECT_EQ(getAttributes(path("missing"), attributes), kErrorFileNotFound);
    EXPECT_EQ(attributes, kInvalidAttributes);
    EXPECT_EQ(getAttributes(path("missing\\deeper"), attributes), kErrorPathNotFound);
    EXPECT_EQ(getAttributes("", attributes), kErrorPathNotFound);
    // A drive root is a plain folder, even when its folder's name begins with ".".
    test::makeFolder(drive.base() + "/.root");
    drive.mapDrive('d', drive.base() + "/.root");
    EXPECT_EQ(getAttributes("d:\\", attributes), 0u);
    EXPECT_EQ(attributes, kAttrDirectory);
}

TEST_F(FileInfoTest, SettingAttributesChangesOnlyTheOwnersWritePermission)
{
    test::createFile(posix("f.txt"), "x", test::kNoTime, 0664);
    EXPECT_EQ(setAttributes(path("f.txt"), kAttrReadOnly | kAttrHidden), 0u);
    EXPECT_EQ(test::modeOf(posix("f.txt")) & 07777, 0464u);
    std::uint32_t attributes = 0;
    EXPECT_EQ(getAttributes(path("f.txt"), attributes), 0u);
    EXPECT_EQ(attributes, kAttrReadOnly | kAttrArchive);
    EXPECT_EQ(setAttributes(path("f.txt"), kAttrNormal), 0u);
    EXPECT_EQ(test::modeOf(posix("f.txt")) & 07777, 0664u);
    // Bits that cannot be stored are accepted and change nothing.
    for (std::uint32_t bits :
         {kAttrHidden, kAttrSystem, kAttrArchive, kAttrNormal, kAttrHidden | kAttrSystem}) {
        EXPECT_EQ(setAttributes(path("f.txt"), bits), 0u) << bits;
        EXPECT_EQ(test::modeOf(posix("f.txt")) & 07777, 0664u) << bits;
        EXPECT_TRUE(test::exists(posix("f.txt")));
    }
    EXPECT_EQ(setAttributes(path("missing.txt"), kAttrNormal), kErrorFileNotFound);
    ScopedFaultClear clear;
    injectFault(path("f.txt"), kErrorAccessDenied, kFaultAttributes);
    EXPECT_EQ(setAttributes(path("f.txt"), kAttrReadOnly), kErrorAccessDenied);
    EXPECT_EQ(test::modeOf(posix("f.txt")) & 07777, 0664u);
}

TEST_F(FileInfoTest, TimesAsFileTime)
{
    const FileTime written = fileTimeFromUnix(1234567890, 123456700);
    test::createFile(posix("t.txt"), "x", written);
    FileTimes times;
    ASSERT_EQ(getFileTimes(path("t.txt"), times), 0u);
    EXPECT_EQ(times.lastWrite, written);
    EXPECT_EQ(times.lastAccess, written);
    struct statx sx = {};
    ASSERT_EQ(::statx(AT_FDCWD, posix("t.txt").c_str(), 0, STATX_BTIME, &sx), 0);
    if (sx.stx_mask & STATX_BTIME)
        EXPECT_EQ(times.creation, fileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec));
    else
        EXPECT_EQ(times.creation, written);

    // Setting a creation time succeeds and changes nothing.
    const FileTime creation = fileTimeFromUnix(100);
    EXPECT_EQ(setFileTimes(path("t.txt"), &creation, nullptr, nullptr), 0u);
    FileTimes after;
    ASSERT_EQ(getFileTimes(path("t.txt"), after), 0u);
    EXPECT_EQ(after.lastWrite, written);
    EXPECT_EQ(after.lastAccess, written);
    EXPECT_EQ(after.creation, times.creation);

    const FileTime newWrite = fileTimeFromUnix(1500000000, 500);
    EXPECT_EQ(setFileTimes(path("t.txt"), nullptr, nullptr, &newWrite), 0u);
    ASSERT_EQ(getFileTimes(path("t.txt"), after), 0u);
    EXPECT_EQ(after.lastWrite, newWrite);
    EXPECT_EQ(after.lastAccess, written);
    EXPECT_EQ(setFileTimes(path("missing"), nullptr, nullptr, &newWrite), kErrorFileNotFound);
}

TEST_F(FileInfoTest, SizesAre64Bit)
{
    FileHandle file;
    ASSERT_EQ(file.open(path("big.bin"), kAccessWrite, kShareNone, Disposition::kCreateNew), 0u);
    const std::uint64_t fiveGiB = 5ULL << 30;
    ASSERT_EQ(file.seek(static_cast<std::int64_t>(fiveGiB), SeekOrigin::kBegin), 0u);
    ASSERT_EQ(file.setEndOfFile(), 0u);
    std::uint64_t size = 0;
    EXPECT_EQ(file.size(size), 0u);
    EXPECT_EQ(size, fiveGiB);
    file.close();
    FileInfo info;
    ASSERT_EQ(getFileInfo(path("big.bin"), info), 0u);
    EXPECT_EQ(info.size, fiveGiB);
    FindData data;
    FolderListing listing;
    ASSERT_EQ(listing.findFirst(path("big.bin"), data), 0u);
    EXPECT_EQ(data.size, fiveGiB);
}

TEST_F(FileInfoTest, IdentityDecidesSameFile)
{
    test::createFile(posix("a/file.txt"), "same");
    test::createFile(posix("a/copy.txt"), "same");
    ASSERT_EQ(::link(posix("a/file.txt").c_str(), posix("hardlink.txt").c_str()), 0);
    ASSERT_EQ(::symlink("a/file.txt", posix("symlink.txt").c_str()), 0);
    drive.mapDrive('d', posix("a"));
    EXPECT_TRUE(sameFile(path("a\\file.txt"), path("a\\.\\file.txt")));
    EXPECT_FALSE(sameFile(path("a\\file.txt"), path("A\\FILE.TXT")));
    EXPECT_TRUE(sameFile(path("a\\file.txt"), path("hardlink.txt")));
    EXPECT_TRUE(sameFile(path("a\\file.txt"), path("symlink.txt")));
    EXPECT_TRUE(sameFile(path("a\\file.txt"), "d:\\file.txt"));
    EXPECT_FALSE(sameFile(path("a\\file.txt"), path("a\\copy.txt")));
    EXPECT_FALSE(sameFile(path("a\\file.txt"), path("a\\missing.txt")));
    EXPECT_FALSE(sameFile(path("a\\missing.txt"), path("a\\missing.txt")));
    FileId id;
    ASSERT_EQ(getFileId(path("a\\file.txt"), id), 0u);
    struct stat st = {};
    ASSERT_EQ(::stat(posix("a/file.txt").c_str(), &st), 0);
    EXPECT_EQ(id.device, static_cast<std::uint64_t>(st.st_dev));
    EXPECT_EQ(id.inode, static_cast<std::uint64_t>(st.st_ino));
    FileInfo info;
    ASSERT_EQ(getFileInfo(path("hardlink.txt"), info), 0u);
    EXPECT_EQ(info.linkCount, 2u);
    EXPECT_EQ(info.mode & 07777, 0644u);
    EXPECT_TRUE(pathExists(path("symlink.txt")));
    EXPECT_FALSE(pathExists(path("nothing")));
}

// Whether an entry is a symbolic link and whether the user owns the link itself, never its target: by
// the entry's name in a folder held open and by its path alike.
TEST_F(FileInfoTest, LinkOwnershipIsTheLinksOwnNotItsTargets)
{
    test::createFile(posix("d/file.txt"), "x");
    ASSERT_EQ(::symlink("file.txt", posix("d/own").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", posix("d/dangling").c_str()), 0);
    const bool otherUser = test::canActAsOtherUser();
    if (otherUser) {
        ASSERT_EQ(::symlink("file.txt", posix("d/theirs").c_str()), 0);
        ASSERT_EQ(::lchown(posix("d/theirs").c_str(), test::otherUserId(), static_cast<gid_t>(-1)), 0);
        // Their file behind the user's own link is still the user's link.
        test::createFile(posix("d/their.txt"), "y");
        ASSERT_EQ(::chown(posix("d/their.txt").c_str(), test::otherUserId(), static_cast<gid_t>(-1)), 0);
        ASSERT_EQ(::symlink("their.txt", posix("d/own2").c_str()), 0);
    }
    struct Case
    {
        const char* name;
        WinError error;
        bool isLink;
        bool owned;
    };
    const Case cases[] = {
        {"file.txt", kErrorSuccess, false, false}, {"own", kErrorSuccess, true, true},
        {"dangling", kErrorSuccess, true, true},   {"missing", kErrorFileNotFound, false, false},
        {"theirs", kErrorSuccess, true, false},    {"own2", kErrorSuccess, true, true},
    };
    HeldFolder folder;
    ASSERT_EQ(folder.open(path("d")), kErrorSuccess);
    for (const Case& c : cases) {
        if (!otherUser && (std::string(c.name) == "theirs" || std::string(c.name) == "own2"))
            continue;
        for (const bool held : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (held ? " in the held folder" : " by its path"));
            LinkOwnership link{true, true};
            EXPECT_EQ(held ? linkOwnershipIn(folder, c.name, link) : linkOwnership(path("d\\") + c.name, link),
                      c.error);
            EXPECT_EQ(link.isLink, c.isLink);
            EXPECT_EQ(link.ownedByUser, c.owned);
        }
    }
    LinkOwnership link;
    EXPECT_EQ(linkOwnership(path("nofolder\\x"), link), kErrorPathNotFound);
    folder.close();
    EXPECT_EQ(linkOwnershipIn(folder, "own", link), kErrorInvalidHandle);
}

} // namespace
} // namespace wux::platform
