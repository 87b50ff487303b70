#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "platform/file_internal.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/env_guard.h"
#include "support/file_builders.h"
#include "support/other_user.h"
#include "support/temp_drive.h"
#include <algorithm>
#include <string>
#include <vector>

namespace wux::platform {
namespace {

class FileOpsTest : public test::TempDriveTest
{
protected:
    ScopedFaultClear clearFaultsAfterTest;
};

TEST_F(FileOpsTest, CreateFolderMakesOneLevel)
{
    test::createFile(posix("file"));
    test::makeFolder(posix("Existing"));
    // A parent that is a link to nothing: the folder cannot be made under it.
    ASSERT_EQ(::symlink(posix("nowhere").c_str(), posix("dangling").c_str()), 0);
    const struct
    {
        const char* name;
        WinError expected;
    } cases[] = {
        {"new", 0},
        {"new", kErrorAlreadyExists},
        {"file", kErrorAlreadyExists},
        {"FILE", 0}, // another name than "file"
        {"Existing", kErrorAlreadyExists},
        {"existing", 0},
        {"missing\\child", kErrorPathNotFound},
        {"file\\child", kErrorPathNotFound},
        {"dangling\\child", kErrorPathNotFound},
        {"missing\\deeper\\child", kErrorPathNotFound},
        {"bad|name", kErrorInvalidName},
    };
    for (const auto& c : cases)
        EXPECT_EQ(createFolder(path(c.name)), c.expected) << c.name;
    EXPECT_EQ(test::modeOf(posix("new")) & S_IFMT, static_cast<mode_t>(S_IFDIR));
    EXPECT_EQ(test::modeOf(posix("FILE")) & S_IFMT, static_cast<mode_t>(S_IFDIR));
    EXPECT_EQ(test::modeOf(posix("file")) & S_IFMT, static_cast<mode_t>(S_IFREG));
    EXPECT_FALSE(test::exists(posix("missing")));
    EXPECT_FALSE(test::exists(posix("nowhere")));
    EXPECT_EQ(createFolder("c:\\"), kErrorAlreadyExists);
    EXPECT_EQ(createFolder(""), kErrorPathNotFound);
    injectFault(path("x"), kErrorAccessDenied, kFaultCreateFolder);
    EXPECT_EQ(createFolder(path("x")), kErrorAccessDenied);
    EXPECT_FALSE(test::exists(posix("x")));
}

TEST_F(FileOpsTest, RemoveFolder)
{
    test::createFile(posix("full/f.txt"), "keep");
    test::makeFolder(posix("empty"));
    test::createFile(posix("target/inside.txt"), "inside");
    ASSERT_EQ(::symlink("target", posix("link").c_str()), 0);
    test::createFile(posix("plain.txt"));
    ASSERT_EQ(::symlink("plain.txt", posix("filelink").c_str()), 0);
    EXPECT_EQ(removeFolder(path("full")), kErrorDirNotEmpty);
    EXPECT_EQ(test::readFileBytes(posix("full/f.txt")), "keep");
    EXPECT_EQ(removeFolder(path("EMPTY")), kErrorFileNotFound);
    EXPECT_TRUE(test::exists(posix("empty")));
    EXPECT_EQ(removeFolder(path("empty")), 0u);
    EXPECT_FALSE(test::exists(posix("empty")));
    EXPECT_EQ(removeFolder(path("plain.txt")), kErrorDirectory);
    EXPECT_EQ(removeFolder(path("filelink")), kErrorDirectory);
    EXPECT_EQ(removeFolder(path("missing")), kErrorFileNotFound);
    // A link to a folder goes as a link; its target stays whole.
    EXPECT_EQ(removeFolder(path("link")), 0u);
    EXPECT_FALSE(test::exists(posix("link")));
    EXPECT_EQ(test::readFileBytes(posix("target/inside.txt")), "inside");
    test::makeFolder(posix("ro"), 0555);
    EXPECT_EQ(removeFolder(path("ro")), kErrorAccessDenied);
    injectFault(path("target"), kErrorAccessDenied, kFaultDelete);
    test::makeFolder(posix("target2"));
    EXPECT_EQ(removeFolder(path("target2")), kErrorAccessDenied);
    EXPECT_TRUE(test::exists(posix("target2")));
}

TEST_F(FileOpsTest, DeleteFile)
{
    test::createFile(posix("a.txt"), "a");
    test::createFile(posix("ro.txt"), "ro", test::kNoTime, 0444);
    test::makeFolder(posix("folder"));
    test::createFile(posix("target.txt"), "target");
    ASSERT_EQ(::symlink("target.txt", posix("link").c_str()), 0);
    ASSERT_EQ(::symlink("folder", posix("folderlink").c_str()), 0);
    EXPECT_EQ(deleteFile(path("A.TXT")), kErrorFileNotFound);
    EXPECT_EQ(test::readFileBytes(posix("a.txt")), "a");
    EXPECT_EQ(deleteFile(path("a.txt")), 0u);
    EXPECT_FALSE(test::exists(posix("a.txt")));
    EXPECT_EQ(deleteFile(path("ro.txt")), kErrorAccessDenied);
    EXPECT_EQ(test::readFileBytes(posix("ro.txt")), "ro");
    EXPECT_EQ(deleteFile(path("folder")), kErrorAccessDenied);
    EXPECT_TRUE(test::exists(posix("folder")));
    EXPECT_EQ(deleteFile(path("link")), 0u);
    EXPECT_FALSE(test::exists(posix("link")));
    EXPECT_EQ(test::readFileBytes(posix("target.txt")), "target");
    EXPECT_EQ(deleteFile(path("folderlink")), 0u);
    EXPECT_TRUE(test::exists(posix("folder")));
    EXPECT_EQ(deleteFile(path("missing")), kErrorFileNotFound);
    EXPECT_EQ(deleteFile(path("missing\\x")), kErrorPathNotFound);
    EXPECT_EQ(deleteFile(""), kErrorPathNotFound);

    FileHandle holder;
    ASSERT_EQ(
        holder.open(path("target.txt"), kAccessRead, kShareRead | kShareWrite, Disposition::kOpenExisting),
        0u);
    EXPECT_EQ(deleteFile(path("target.txt")), kErrorSharingViolation);
    EXPECT_EQ(test::readFileBytes(posix("target.txt")), "target");
    holder.close();
    ASSERT_EQ(holder.open(path("target.txt"), kAccessRead, kShareAll, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(deleteFile(path("target.txt")), 0u);
    holder.close();

    test::createFile(posix("guarded.txt"), "g");
    injectFault(path("guarded.txt"), kErrorAccessDenied, kFaultDelete);
    EXPECT_EQ(deleteFile(path("guarded.txt")), kErrorAccessDenied);
    EXPECT_EQ(test::readFileBytes(posix("guarded.txt")), "g");
}

TEST_F(FileOpsTest, MoveNeverOverwrites)
{
    test::createFile(posix("a.txt"), "a");
    test::createFile(posix("b.txt"), "b");
    test::createFile(posix("dir/Upper.TXT"), "u");
    EXPECT_EQ(moveFile(path("a.txt"), path("b.txt")), kErrorAlreadyExists);
    EXPECT_EQ(moveFile(path("a.txt"), path("dir\\Upper.TXT")), kErrorAlreadyExists);
    EXPECT_EQ(test::readFileBytes(posix("a.txt")), "a");
    EXPECT_EQ(test::readFileBytes(posix("b.txt")), "b");
    EXPECT_EQ(test::listNames(posix("dir")), std::vector<std::string>{"Upper.TXT"});
    EXPECT_EQ(moveFile(path("a.txt"), path("dir\\a2.txt")), 0u);
    EXPECT_FALSE(test::exists(posix("a.txt")));
    EXPECT_EQ(test::readFileBytes(posix("dir/a2.txt")), "a");
    EXPECT_EQ(moveFile(path("missing"), path("x")), kErrorFileNotFound);
    EXPECT_EQ(moveFile(path("b.txt"), path("nofolder\\b.txt")), kErrorPathNotFound);
    EXPECT_EQ(moveFile(path("b.txt"), path("bad*name")), kErrorInvalidName);
    EXPECT_EQ(moveFile(path("b.txt"), path("b.txt")), 0u);
    EXPECT_EQ(test::readFileBytes(posix("b.txt")), "b");
    // Hard links of one file are still two names: never replaced.
    ASSERT_EQ(::link(posix("b.txt").c_str(), posix("b-link.txt").c_str()), 0);
    EXPECT_EQ(moveFile(path("b.txt"), path("b-link.txt")), kErrorAlreadyExists);
    EXPECT_TRUE(test::exists(posix("b.txt")));
}

TEST_F(FileOpsTest, NamesThatDifferOnlyInCaseAreOtherFiles)
{
    test::createFile(posix("a/README"), "upper README");
    test::createFile(posix("a/Readme"), "mixed Readme");
    test::createFile(posix("a/x.txt"), "x");
    test::makeFolder(posix("b"));
    // Moved one after the other into one folder: the second is not taken for the first.
    EXPECT_EQ(moveFile(path("a\\README"), path("b\\README")), 0u);
    EXPECT_EQ(moveFile(path("a\\Readme"), path("b\\Readme")), 0u);
    // A rename to a name another entry has in another letter case.
    EXPECT_EQ(moveFile(path("a\\x.txt"), path("b\\readme")), 0u);
    EXPECT_EQ(test::listNames(posix("a")), std::vector<std::string>{});
    EXPECT_EQ(test::listNames(posix("b")), (std::vector<std::string>{"README", "Readme", "readme"}));
    EXPECT_EQ(test::readFileBytes(posix("b/README")), "upper README");
    EXPECT_EQ(test::readFileBytes(posix("b/Readme")), "mixed Readme");
    EXPECT_EQ(test::readFileBytes(posix("b/readme")), "x");
    // Only a name of exactly that spelling is taken; nothing is read through another spelling.
    EXPECT_EQ(moveFile(path("b\\readme"), path("b\\Readme")), kErrorAlreadyExists);
    EXPECT_EQ(replaceFile(path("b\\readme"), path("b\\READme")), 0u);
    EXPECT_EQ(test::listNames(posix("b")), (std::vector<std::string>{"README", "READme", "Readme"}));
    EXPECT_EQ(test::readFileBytes(posix("b/README")), "upper README");
    std::string bytes;
    EXPECT_EQ(readWholeFile(path("b\\readme"), bytes), kErrorFileNotFound);
    EXPECT_EQ(copyFile(path("b\\README"), path("b\\ReadMe"), true), 0u);
    EXPECT_EQ(test::readFileBytes(posix("b/ReadMe")), "upper README");
    EXPECT_EQ(test::readFileBytes(posix("b/Readme")), "mixed Readme");
    EXPECT_EQ(deleteFile(path("b\\readme")), kErrorFileNotFound);
    EXPECT_EQ(test::listNames(posix("b")).size(), 4u);
}

TEST_F(FileOpsTest, CaseOnlyRename)
{
    test::createFile(posix("readme.txt"), "r");
    test::makeFolder(posix("folder"));
    EXPECT_EQ(moveFile(path("readme.txt"), path("README.TXT")), 0u);
    EXPECT_EQ(moveFile(path("folder"), path("Folder")), 0u);
    EXPECT_EQ(test::listNames(drive.root()), (std::vector<std::string>{"Folder", "README.TXT"}));
    EXPECT_EQ(test::readFileBytes(posix("README.TXT")), "r");
}

TEST_F(FileOpsTest, FolderCannotMoveIntoItself)
{
    test::createFile(posix("tree/sub/deep/f.txt"), "f");
    EXPECT_EQ(moveFile(path("tree"), path("tree\\inside")), kErrorInvalidParameter);
    EXPECT_EQ(moveFile(path("tree"), path("tree\\sub\\deep\\inside")), kErrorInvalidParameter);
    EXPECT_EQ(test::readFileBytes(posix("tree/sub/deep/f.txt")), "f");
    EXPECT_EQ(moveFile(path("tree\\sub"), path("sub-moved")), 0u);
    EXPECT_EQ(test::readFileBytes(posix("sub-moved/deep/f.txt")), "f");
    EXPECT_EQ(moveFile("c:\\", path("elsewhere")), kErrorAccessDenied);
}

TEST_F(FileOpsTest, MoveOfAFileOpenWithoutDeleteSharingFails)
{
    test::createFile(posix("open.txt"), "o");
    FileHandle holder;
    ASSERT_EQ(holder.open(path("open.txt"), kAccessRead, kShareRead, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(moveFile(path("open.txt"), path("moved.txt")), kErrorSharingViolation);
    EXPECT_TRUE(test::exists(posix("open.txt")));
    holder.close();
    EXPECT_EQ(moveFile(path("open.txt"), path("moved.txt")), 0u);
}

TEST_F(FileOpsTest, MoveAcrossFileSystems)
{
    if (!drive.addDrive('d', kDriveFixed, true))
        GTEST_SKIP() << "no second file system";
    const FileTime time = fileTimeFromUnix(1200000000, 12345600);
    test::createFile(posix("data.bin"), std::string(3'000'000, 'x') + "end", time, 0640);
    ASSERT_EQ(moveFile(path("data.bin"), "d:\\data.bin"), 0u);
    EXPECT_FALSE(test::exists(posix("data.bin")));
    const std::string target = drive.posix("data.bin", 'd');
    EXPECT_EQ(test::readFileBytes(target), std::string(3'000'000, 'x') + "end");
    EXPECT_EQ(test::modeOf(target) & 07777, 0640u);
    EXPECT_EQ(test::lastWriteOf(target), time);
    EXPECT_EQ(test::listNames(drive.root('d')), std::vector<std::string>{"data.bin"});

    // An existing target stays, and so does the source.
    test::createFile(posix("again.bin"), "source");
    test::createFile(target + "-2", "target");
    EXPECT_EQ(moveFile(path("again.bin"), "d:\\data.bin-2"), kErrorAlreadyExists);
    EXPECT_EQ(test::readFileBytes(posix("again.bin")), "source");
    EXPECT_EQ(test::readFileBytes(target + "-2"), "target");

    // A failed copy removes its partial target and keeps the source.
    injectFault("d:\\full", kErrorDiskFull, kFaultWrite);
    EXPECT_EQ(moveFile(path("again.bin"), "d:\\full.bin"), kErrorDiskFull);
    EXPECT_EQ(test::readFileBytes(posix("again.bin")), "source");
    EXPECT_EQ(test::listNames(drive.root('d')), (std::vector<std::string>{"data.bin", "data.bin-2"}));

    // A folder does not move across file systems.
    test::createFile(posix("folder/f.txt"), "f");
    EXPECT_EQ(moveFile(path("folder"), "d:\\folder"), kErrorNotSameDevice);
    EXPECT_EQ(test::readFileBytes(posix("folder/f.txt")), "f");
    EXPECT_FALSE(test::exists(drive.posix("folder", 'd')));

    // A symbolic link moves as a link.
    ASSERT_EQ(::symlink("folder/f.txt", posix("link").c_str()), 0);
    EXPECT_EQ(moveFile(path("link"), "d:\\link"), 0u);
    EXPECT_EQ(test::modeOf(drive.posix("link", 'd')) & S_IFMT, static_cast<mode_t>(S_IFLNK));
    EXPECT_FALSE(test::exists(posix("link")));

    // The one explicit replace does not cross file systems either.
    test::createFile(posix("r.txt"), "r");
    EXPECT_EQ(replaceFile(path("r.txt"), "d:\\data.bin"), kErrorNotSameDevice);
    EXPECT_EQ(test::readFileBytes(posix("r.txt")), "r");
}

TEST_F(FileOpsTest, ReplaceFileIsTheOneOverwritingMove)
{
    test::createFile(posix("new.txt"), "new");
    test::createFile(posix("old.txt"), "old");
    test::makeFolder(posix("folder"));
    EXPECT_EQ(replaceFile(path("new.txt"), path("old.txt")), 0u);
    EXPECT_EQ(test::listNames(drive.root()), (std::vector<std::string>{"folder", "old.txt"}));
    EXPECT_EQ(test::readFileBytes(posix("old.txt")), "new");
    test::createFile(posix("x.txt"), "x");
    EXPECT_EQ(replaceFile(path("x.txt"), path("folder")), kErrorAccessDenied);
    EXPECT_EQ(replaceFile(path("missing"), path("old.txt")), kErrorFileNotFound);
    FileHandle holder;
    ASSERT_EQ(holder.open(path("old.txt"), kAccessRead, kShareRead, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(replaceFile(path("x.txt"), path("old.txt")), kErrorSharingViolation);
    EXPECT_EQ(test::readFileBytes(posix("old.txt")), "new");
}

TEST_F(FileOpsTest, CopyFileKeepsDataTimesAndMode)
{
    const FileTime time = fileTimeFromUnix(1100000000, 500);
    test::createFile(posix("src.txt"), "source data", time, 0604);
    EXPECT_EQ(copyFile(path("src.txt"), path("dst.txt"), true), 0u);
    EXPECT_EQ(test::readFileBytes(posix("dst.txt")), "source data");
    EXPECT_EQ(test::lastWriteOf(posix("dst.txt")), time);
    EXPECT_EQ(test::modeOf(posix("dst.txt")) & 07777, 0604u);
    test::createFile(posix("dst.txt"), "other");
    EXPECT_EQ(copyFile(path("src.txt"), path("dst.txt"), true), kErrorFileExists);
    EXPECT_EQ(test::readFileBytes(posix("dst.txt")), "other");
    EXPECT_EQ(copyFile(path("src.txt"), path("dst.txt"), false), 0u);
    EXPECT_EQ(test::readFileBytes(posix("dst.txt")), "source data");
    EXPECT_EQ(copyFile(path("src.txt"), path("src.txt"), false), kErrorSharingViolation);
    test::createFile(posix("ro.txt"), "ro", test::kNoTime, 0444);
    EXPECT_EQ(copyFile(path("src.txt"), path("ro.txt"), false), kErrorAccessDenied);
    EXPECT_EQ(test::readFileBytes(posix("ro.txt")), "ro");
    EXPECT_EQ(copyFile(path("missing"), path("x.txt"), false), kErrorFileNotFound);
    // A failed copy leaves no target and no temporary file.
    injectFault(path("fail"), kErrorDiskFull, kFaultWrite);
    EXPECT_EQ(copyFile(path("src.txt"), path("fail.txt"), false), kErrorDiskFull);
    EXPECT_EQ(test::listNames(drive.root()), (std::vector<std::string>{"dst.txt", "ro.txt", "src.txt"}));
}

TEST_F(FileOpsTest, CopyModeBitsAndOwner)
{
    test::createFile(posix("from"), "", test::kNoTime, 0751);
    test::createFile(posix("to"), "", test::kNoTime, 0600);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(posix("from").c_str(), 1234, 2345), 0);
    }
    EXPECT_EQ(copyModeBits(path("from"), path("to")), 0u);
    struct stat st = {};
    ASSERT_EQ(::stat(posix("to").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    if (::geteuid() == 0) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 2345u);
    }
    EXPECT_EQ(copyModeBits(path("missing"), path("to")), kErrorFileNotFound);
}

TEST_F(FileOpsTest, ReadWholeFile)
{
    std::string big(200'000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    test::createFile(posix("big.bin"), big);
    std::string bytes;
    EXPECT_EQ(readWholeFile(path("big.bin"), bytes), 0u);
    EXPECT_EQ(bytes, big);
    EXPECT_EQ(readWholeFile(path("missing"), bytes), kErrorFileNotFound);
    EXPECT_TRUE(bytes.empty());
    injectFault(path("big.bin"), kErrorSharingViolation, kFaultOpen);
    EXPECT_EQ(readWholeFile(path("big.bin"), bytes), kErrorSharingViolation);
}

TEST_F(FileOpsTest, AtomicRewriteReplacesInOneStep)
{
    test::createFile(posix("f.txt"), "old content", test::kNoTime, 0640);
    struct stat before = {};
    ASSERT_EQ(::stat(posix("f.txt").c_str(), &before), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(posix("f.txt").c_str(), 1234, 2345), 0);
    }
    EXPECT_EQ(atomicRewrite(path("f.txt"), "new"), 0u);
    EXPECT_EQ(test::readFileBytes(posix("f.txt")), "new");
    struct stat after = {};
    ASSERT_EQ(::stat(posix("f.txt").c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino); // a new file was renamed over the old one
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    if (::geteuid() == 0) {
        EXPECT_EQ(after.st_uid, 1234u);
        EXPECT_EQ(after.st_gid, 2345u);
    }
    EXPECT_EQ(test::listNames(drive.root()), std::vector<std::string>{"f.txt"});
    // A missing file is created; a link keeps being a link.
    EXPECT_EQ(atomicRewrite(path("created.txt"), "c"), 0u);
    EXPECT_EQ(test::readFileBytes(posix("created.txt")), "c");
    ASSERT_EQ(::symlink("f.txt", posix("link").c_str()), 0);
    EXPECT_EQ(atomicRewrite(path("link"), "through link"), 0u);
    EXPECT_EQ(test::modeOf(posix("link")) & S_IFMT, static_cast<mode_t>(S_IFLNK));
    EXPECT_EQ(test::readFileBytes(posix("f.txt")), "through link");
    // A link that another user owns (made in a folder shared with everybody) is not followed.
    if (test::canActAsOtherUser()) {
        ASSERT_EQ(::symlink("f.txt", posix("theirs").c_str()), 0);
        ASSERT_EQ(::lchown(posix("theirs").c_str(), test::otherUserId(), static_cast<gid_t>(-1)), 0);
        EXPECT_EQ(atomicRewrite(path("theirs"), "through their link"), kErrorAccessDenied);
        EXPECT_EQ(test::readFileBytes(posix("f.txt")), "through link");
        EXPECT_EQ(test::listNames(drive.root()), (std::vector<std::string>{"created.txt", "f.txt", "link", "theirs"}));
    }
    EXPECT_EQ(atomicRewrite(path("nofolder\\x.txt"), "x"), kErrorPathNotFound);
    EXPECT_EQ(atomicRewrite("", "x"), kErrorPathNotFound);
}

TEST_F(FileOpsTest, AtomicRewriteFailuresLoseNothing)
{
    test::createFile(posix("w/f.txt"), "original");
    test::createFile(posix("w/ro.txt"), "read-only", test::kNoTime, 0444);
    test::makeFolder(posix("w/folder"));
    const std::vector<std::string> namesBefore = test::listNames(posix("w"));
    injectFault(path("w\\f.txt"), kErrorDiskFull, kFaultWrite);
    EXPECT_EQ(atomicRewrite(path("w\\f.txt"), "replacement"), kErrorDiskFull);
    clearFaults();
    injectFault(path("w\\f.txt"), kErrorAccessDenied, kFaultRename);
    EXPECT_EQ(atomicRewrite(path("w\\f.txt"), "replacement"), kErrorAccessDenied);
    clearFaults();
    injectFault(path("w\\f.txt"), kErrorSharingViolation, kFaultOpen);
    EXPECT_EQ(atomicRewrite(path("w\\f.txt"), "replacement"), kErrorSharingViolation);
    clearFaults();
    EXPECT_EQ(atomicRewrite(path("w\\ro.txt"), "replacement"), kErrorAccessDenied);
    EXPECT_EQ(atomicRewrite(path("w\\folder"), "replacement"), kErrorAccessDenied);
    FileHandle holder;
    ASSERT_EQ(holder.open(path("w\\f.txt"), kAccessRead, kShareRead, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(atomicRewrite(path("w\\f.txt"), "replacement"), kErrorSharingViolation);
    holder.close();
    EXPECT_EQ(test::readFileBytes(posix("w/f.txt")), "original");
    EXPECT_EQ(test::readFileBytes(posix("w/ro.txt")), "read-only");
    EXPECT_EQ(test::listNames(posix("w")), namesBefore); // no temporary file left behind
}

// A write that the system refuses part-way (a full disk; here the file-size limit of the process with its
// signal ignored) ends the copy to another file system and the rewrite of a settings file with the
// error, the temporary file removed and the original kept, instead of writing on for ever. In a child
// process of its own, since the limit holds for the whole process; an alarm ends a write that never ends.
TEST_F(FileOpsTest, AWriteRefusedPartWayEndsWithAnError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto writeBeyondTheLimit = [this] {
        test::createFile(posix("w/big.bin"), std::string(300'000, 'b'));
        test::createFile(posix("w/f.ini"), "original");
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100'000, 100'000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::alarm(30);
        const WinError copied = copyFile(path("w\\big.bin"), path("w\\copy.bin"), false);
        const WinError rewritten = atomicRewrite(path("w\\f.ini"), std::string(300'000, 'r'));
        const bool kept = test::readFileBytes(posix("w/f.ini")) == "original" &&
                          test::listNames(posix("w")) == std::vector<std::string>{"big.bin", "f.ini"};
        std::fprintf(stderr, "copy %u, rewrite %u, %s\n", unsigned(copied), unsigned(rewritten),
                     kept ? "nothing left behind" : "files changed");
        std::error_code ec;
        std::filesystem::remove_all(drive.base(), ec);
        std::_Exit(0);
    };
    EXPECT_EXIT(writeBeyondTheLimit(), ::testing::ExitedWithCode(0),
                "copy 112, rewrite 112, nothing left behind");
}

// The Trash of a data folder of the test's own.
class TrashTest : public FileOpsTest
{
protected:
    void SetUp() override { env.set("XDG_DATA_HOME", drive.base() + "/data-home"); }
    test::EnvGuard env;
};

TEST_F(TrashTest, MovesToTheTrashOfTheMissingDataFolder)
{
    test::createFile(posix("doomed*.txt"), "keep me");
    test::createFile(posix("doomedX.txt"), "other");
    const std::string windowsName = path("doomed\xEF\x80\xAA.txt");
    std::string inTrash;
    ASSERT_EQ(moveToTrash(windowsName, &inTrash), 0u);
    EXPECT_FALSE(test::exists(posix("doomed*.txt")));
    EXPECT_TRUE(test::exists(posix("doomedX.txt"))); // never expanded as a wildcard
    EXPECT_EQ(inTrash.rfind(drive.base() + "/data-home/Trash/files/", 0), 0u) << inTrash;
    EXPECT_EQ(test::readFileBytes(inTrash), "keep me");
    EXPECT_EQ(test::listNames(drive.base() + "/data-home/Trash/info").size(), 1u);

    test::createFile(posix("folder/inner.txt"), "inner");
    EXPECT_EQ(moveToTrash(path("folder")), 0u);
    EXPECT_FALSE(test::exists(posix("folder")));
}

TEST_F(TrashTest, FailureIsReportedAndNothingIsDeleted)
{
    test::createFile(posix("stay.txt"), "stay");
    injectFault(path("stay.txt"), kErrorAccessDenied, kFaultDelete);
    EXPECT_EQ(moveToTrash(path("stay.txt")), kErrorAccessDenied);
    EXPECT_EQ(test::readFileBytes(posix("stay.txt")), "stay");
    clearFaults();
    EXPECT_EQ(moveToTrash(path("missing.txt")), kErrorFileNotFound);
    EXPECT_EQ(moveToTrash(""), kErrorPathNotFound);
    EXPECT_EQ(moveToTrash("c:\\"), kErrorAccessDenied);
    FileHandle holder;
    ASSERT_EQ(holder.open(path("stay.txt"), kAccessRead, kShareRead, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(moveToTrash(path("stay.txt")), kErrorSharingViolation);
    holder.close();
    EXPECT_EQ(test::readFileBytes(posix("stay.txt")), "stay");
}

TEST(TrashLocationTest, OnlyAbsolutePathsInATrashFilesFolderCount)
{
    const std::string uid = std::to_string(::getuid());
    const struct
    {
        std::string path;
        bool expected;
    } cases[] = {
        {"/home/ann/.local/share/Trash/files/doc.txt", true},
        {"/media/stick/.Trash-" + uid + "/files/doc.txt", true},
        {"/media/stick/.Trash/" + uid + "/files/doc.txt", true},
        {"files/doc.txt", false}, // relative: put into the current folder
        {"/home/ann/files/doc.txt", false},
        {"/media/stick/.Trash-99999999/files/doc.txt", false},
        {"/home/ann/.local/share/Trash/files/", false},
        {"/home/ann/.local/share/Trash/files/../../x", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(internal::isTrashLocation(c.path), c.expected) << c.path;
}

// The file layer where a user could lose a file: drive roots reached through "..", links handed to
// the Trash, moves into a folder's own subfolder under another spelling, replaces between two names of
// one file.

// A drive root spelled with ".." is still the drive root: it is never moved, removed or trashed.
TEST_F(TrashTest, DriveRootSpelledWithDotDotIsNeverMovedRemovedOrTrashed)
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
TEST_F(TrashTest, TrashTakesALinkNotItsTarget)
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
TEST_F(FileOpsTest, FolderIntoItsOwnSubfolderThroughALink)
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
TEST_F(FileOpsTest, ReplaceBetweenTwoNamesOfOneFile)
{
    test::createFile(posix("a.txt"), "alpha");
    ASSERT_EQ(::link(posix("a.txt").c_str(), posix("b.txt").c_str()), 0);
    EXPECT_EQ(replaceFile(path("a.txt"), path("b.txt")), kErrorSuccess);
    EXPECT_FALSE(test::exists(posix("a.txt")));
    EXPECT_EQ(test::readFileBytes(posix("b.txt")), "alpha");
}

// A rewritten file put in place over a symbolic link: the link stays and its target gets the new
// content (as the atomic rewrite does), instead of the link being replaced by a stray copy.
TEST_F(FileOpsTest, ReplaceOverALinkReplacesItsTarget)
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
TEST_F(FileOpsTest, LiteralPrivateUseCharactersAreNotTakenForReservedOnes)
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
