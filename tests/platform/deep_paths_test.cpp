// Entries below a folder tree deeper than the system's limit of a path (4,096 bytes): every file call
// reaches them, whatever the length of their whole path.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "support/deep_tree.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

using test::DeepTree;
using test::existsDeep;
using test::listDeep;
using test::readDeep;

class DeepPathsTest : public test::TempDriveTest
{
protected:
    void SetUp() override { test::writeDeep(posix("t"), tree.components(22, "deep.txt"), "deep bytes"); }

    // A drive path inside the deepest folder.
    std::string deep(std::string_view name = {}) const { return tree.windowsPath(path("t"), 22, name); }
    std::vector<std::string> deepNames() const { return listDeep(posix("t"), tree.components(22)); }

    DeepTree tree;
};

TEST_F(DeepPathsTest, TheTreeIsDeeperThanTheLimitOfAPath)
{
    EXPECT_GT(posix("t").size() + 201 * 22 + 9, 4096u);
    struct stat st = {};
    EXPECT_NE(::lstat((posix("t") + "/" + tree.windowsPath("", 22, "deep.txt").substr(1)).c_str(), &st), 0);
}

TEST_F(DeepPathsTest, InformationListingAndReading)
{
    FileInfo info;
    ASSERT_EQ(getFileInfo(deep("deep.txt"), info), kErrorSuccess);
    EXPECT_EQ(info.size, 10u);
    EXPECT_EQ(info.attributes, kAttrArchive);
    EXPECT_TRUE(pathExists(deep("deep.txt")));
    EXPECT_FALSE(pathExists(deep("none.txt")));

    FileId folderId;
    ASSERT_EQ(getFileId(deep(), folderId), kErrorSuccess);
    EXPECT_TRUE(isSameFolder(deep(), folderId));
    for (const bool walk : {false, true}) {
        FolderListing listing;
        FindData data;
        ASSERT_EQ(walk ? listing.findFirstInWalk(deep("*.*"), &folderId, data)
                       : listing.findFirst(deep("*.*"), data),
                  kErrorSuccess);
        std::vector<std::string> names{data.name};
        while (listing.findNext(data) == kErrorSuccess)
            names.push_back(data.name);
        EXPECT_EQ(names, (std::vector<std::string>{".", "..", "deep.txt"})) << walk;
    }

    FileHandle file;
    ASSERT_EQ(file.open(deep("deep.txt"), kAccessRead, kShareRead, Disposition::kOpenExisting),
              kErrorSuccess);
    char bytes[32] = {};
    std::size_t got = 0;
    ASSERT_EQ(file.read(bytes, sizeof bytes, got), kErrorSuccess);
    EXPECT_EQ(std::string(bytes, got), "deep bytes");
    std::string whole;
    ASSERT_EQ(readWholeFile(deep("deep.txt"), whole), kErrorSuccess);
    EXPECT_EQ(whole, "deep bytes");
}

TEST_F(DeepPathsTest, WritingRenamingAndRemoving)
{
    // A new file and a temporary one beside it.
    FileHandle file;
    ASSERT_EQ(file.open(deep("new.txt"), kAccessWrite, 0, Disposition::kCreateNew), kErrorSuccess);
    std::size_t put = 0;
    ASSERT_EQ(file.write("new", 3, put), kErrorSuccess);
    ASSERT_EQ(file.close(), kErrorSuccess);
    FileHandle temp;
    std::string tempPath;
    ASSERT_EQ(createTemporaryBeside(deep("new.txt"), temp, tempPath), kErrorSuccess);
    ASSERT_EQ(temp.close(), kErrorSuccess);
    ASSERT_EQ(setAttributes(tempPath, kAttrNormal), kErrorSuccess); // (made without permission bits)
    ASSERT_EQ(replaceFile(tempPath, deep("new.txt")), kErrorSuccess);
    EXPECT_EQ(readDeep(posix("t"), tree.components(22, "new.txt")), "");
    ASSERT_EQ(atomicRewrite(deep("new.txt"), "rewritten"), kErrorSuccess);
    EXPECT_EQ(readDeep(posix("t"), tree.components(22, "new.txt")), "rewritten");

    // Attributes and times.
    ASSERT_EQ(setAttributes(deep("deep.txt"), kAttrReadOnly), kErrorSuccess);
    std::uint32_t attributes = 0;
    ASSERT_EQ(getAttributes(deep("deep.txt"), attributes), kErrorSuccess);
    EXPECT_EQ(attributes, kAttrReadOnly | kAttrArchive);
    EXPECT_EQ(deleteFile(deep("deep.txt")), kErrorAccessDenied);
    ASSERT_EQ(setAttributes(deep("deep.txt"), kAttrNormal), kErrorSuccess);
    const FileTime when = 133000000000000000;
    ASSERT_EQ(setFileTimes(deep("deep.txt"), nullptr, &when, &when), kErrorSuccess);
    FileTimes times;
    ASSERT_EQ(getFileTimes(deep("deep.txt"), times), kErrorSuccess);
    EXPECT_EQ(times.lastWrite, when);

    // Folders, renames and copies.
    ASSERT_EQ(createFolder(deep("sub")), kErrorSuccess);
    EXPECT_EQ(createFolder(deep("sub")), kErrorAlreadyExists);
    ASSERT_EQ(moveFile(deep("deep.txt"), deep("sub\\moved.txt")), kErrorSuccess);
    ASSERT_EQ(copyFile(deep("sub\\moved.txt"), deep("copy.txt"), true), kErrorSuccess);
    EXPECT_EQ(readDeep(posix("t"), tree.components(22, "copy.txt")), "deep bytes");
    EXPECT_EQ(listDeep(posix("t"), tree.components(22, "sub")), std::vector<std::string>{"moved.txt"});
    EXPECT_EQ(removeFolder(deep("sub")), kErrorDirNotEmpty);
    ASSERT_EQ(deleteFile(deep("sub\\moved.txt")), kErrorSuccess);
    ASSERT_EQ(removeFolder(deep("sub")), kErrorSuccess);
    ASSERT_EQ(deleteFile(deep("copy.txt")), kErrorSuccess);
    EXPECT_EQ(deepNames(), std::vector<std::string>{"new.txt"});
}

} // namespace
} // namespace wux::platform
