// Replacing an existing file in one step (the overwrite of a copy or move), the checks made before it,
// and the temporary files under which copies are written: hidden from listings while they are written,
// and removed once their writer is gone.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "support/file_builders.h"
#include "support/leftovers.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

using Names = std::vector<std::string>;

class ReplaceTest : public test::TempDriveTest
{
protected:
    ScopedFaultClear clearFaultsAfterTest;

    ino_t inodeOf(const std::string& posixPath) const
    {
        struct stat st = {};
        return ::lstat(posixPath.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    std::string linkText(const std::string& posixPath) const
    {
        char text[4096] = {};
        const ssize_t n = ::readlink(posixPath.c_str(), text, sizeof text - 1);
        return n < 0 ? std::string("(no link)") : std::string(text, static_cast<std::size_t>(n));
    }
    // The names a listing of c:\folder shows, without "." and "..".
    Names listed(std::string_view folder) const
    {
        Names names;
        FolderListing listing;
        FindData data;
        for (WinError error = listing.findFirst(path(std::string(folder) + "\\*.*"), data); error == 0;
             error = listing.findNext(data)) {
            if (data.name != "." && data.name != "..")
                names.push_back(data.name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

// What stands in the way of a replace is found before anything changes: a folder, a file held
// without delete sharing here or by another process, a fault on the old file's removal. A read-only
// file, a link and a missing name are no obstacle, and the check changes nothing.
TEST_F(ReplaceTest, CheckBeforeReplacingChangesNothing)
{
    test::createFile(posix("plain.txt"), "plain");
    test::createFile(posix("readonly.txt"), "ro", test::kNoTime, 0444);
    test::makeFolder(posix("folder"));
    test::createFile(posix("held.txt"), "held");
    test::createFile(posix("faulty.txt"), "faulty");
    ASSERT_EQ(::symlink("plain.txt", posix("link").c_str()), 0);
    FileHandle holder;
    ASSERT_EQ(holder.open(path("held.txt"), kAccessRead, kShareRead | kShareWrite, Disposition::kOpenExisting),
              0u);
    injectFault(path("faulty.txt"), kErrorAccessDenied, kFaultDelete);
    const struct
    {
        const char* name;
        WinError expected;
    } cases[] = {
        {"plain.txt", 0},         {"readonly.txt", 0},
        {"link", 0},              {"missing.txt", 0},
        {"folder", 5},            {"held.txt", kErrorSharingViolation},
        {"faulty.txt", 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkReplaceable(path(c.name)), c.expected) << c.name;
    EXPECT_EQ(test::modeOf(posix("readonly.txt")) & 07777, 0444u);
    EXPECT_EQ(test::readFileBytes(posix("held.txt")), "held");
    EXPECT_EQ(linkText(posix("link")), "plain.txt");
    EXPECT_EQ(test::listNames(drive.root()),
              (Names{"faulty.txt", "folder", "held.txt", "link", "plain.txt", "readonly.txt"}));
}

// The source takes the target's name in one rename: the old entry (a file, a read-only file, a link,
// never what the link points to) is gone only when the new one is in place; a folder or a file held
// without delete sharing keeps both as they were.
TEST_F(ReplaceTest, MoveReplacingPutsTheSourceInPlaceInOneStep)
{
    enum class Target
    {
        File,
        ReadOnlyFile,
        LinkToAFile,
        Folder
    };
    const struct
    {
        const char* title;
        Target target;
        WinError expected;
    } cases[] = {
        {"file", Target::File, 0},
        {"read-only file", Target::ReadOnlyFile, 0},
        {"link to a file", Target::LinkToAFile, 0},
        {"folder", Target::Folder, kErrorAccessDenied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        std::filesystem::remove_all(posix("dst"));
        test::makeFolder(posix("dst"));
        test::createFile(posix("pointee.txt"), "pointee");
        test::createFile(posix("src.txt"), "new");
        switch (c.target) {
        case Target::File:
            test::createFile(posix("dst/a.txt"), "old");
            break;
        case Target::ReadOnlyFile:
            test::createFile(posix("dst/a.txt"), "old", test::kNoTime, 0444);
            break;
        case Target::LinkToAFile:
            ASSERT_EQ(::symlink(posix("pointee.txt").c_str(), posix("dst/a.txt").c_str()), 0);
            break;
        case Target::Folder:
            test::makeFolder(posix("dst/a.txt"));
            break;
        }
        const ino_t source = inodeOf(posix("src.txt"));
        EXPECT_EQ(moveFileReplacing(path("src.txt"), path("dst\\a.txt")), c.expected);
        EXPECT_EQ(test::readFileBytes(posix("pointee.txt")), "pointee");
        if (c.expected == 0) {
            EXPECT_EQ(inodeOf(posix("dst/a.txt")), source);
            EXPECT_EQ(test::readFileBytes(posix("dst/a.txt")), "new");
            EXPECT_FALSE(test::exists(posix("src.txt")));
        } else {
            EXPECT_EQ(test::readFileBytes(posix("src.txt")), "new");
        }
        EXPECT_EQ(test::listNames(posix("dst")), Names{"a.txt"});
    }

    test::createFile(posix("src.txt"), "new");
    test::createFile(posix("dst2/a.txt"), "held");
    FileHandle holder;
    ASSERT_EQ(holder.open(path("dst2\\a.txt"), kAccessRead, kShareRead, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(moveFileReplacing(path("src.txt"), path("dst2\\a.txt")), kErrorSharingViolation);
    EXPECT_EQ(test::readFileBytes(posix("dst2/a.txt")), "held");
    EXPECT_EQ(test::readFileBytes(posix("src.txt")), "new");
    // Without replacing, an existing name is refused as ever.
    holder.close();
    EXPECT_EQ(moveFile(path("src.txt"), path("dst2\\a.txt")), kErrorAlreadyExists);
    EXPECT_EQ(moveFileReplacing(path("src.txt"), path("dst2\\a.txt")), 0u);
    EXPECT_EQ(test::readFileBytes(posix("dst2/a.txt")), "new");
}

// Onto another file system the copy is written beside the target and replaces it only when complete:
// a copy that fails leaves the old target's bytes and no temporary file. A source that cannot be
// removed afterwards fails the move with the system's error and stays beside its complete copy.
TEST_F(ReplaceTest, AcrossFileSystems)
{
    if (!drive.addDrive('d', kDriveFixed, true))
        GTEST_SKIP() << "no second file system";
    const std::string data(3'000'000, 'n');
    test::createFile(posix("big.bin"), data);
    test::createFile(drive.posix("big.bin", 'd'), "old target bytes");
    injectFault("d:\\big.bin", kErrorDiskFull, kFaultWrite);
    EXPECT_EQ(moveFileReplacing(path("big.bin"), "d:\\big.bin"), kErrorDiskFull);
    EXPECT_EQ(test::readFileBytes(drive.posix("big.bin", 'd')), "old target bytes");
    EXPECT_EQ(test::listNames(drive.root('d')), Names{"big.bin"});
    EXPECT_EQ(test::readFileBytes(posix("big.bin")), data);

    clearFaults();
    EXPECT_EQ(moveFileReplacing(path("big.bin"), "d:\\big.bin"), 0u);
    EXPECT_EQ(test::readFileBytes(drive.posix("big.bin", 'd')), data);
    EXPECT_EQ(test::listNames(drive.root('d')), Names{"big.bin"});
    EXPECT_FALSE(test::exists(posix("big.bin")));

    // The source cannot be removed: both copies stay, and the move says why.
    for (const bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "replacing" : "new name");
        clearFaults();
        test::createFile(posix("stays.txt"), "stays");
        if (replacing)
            test::createFile(drive.posix("stays.txt", 'd'), "old");
        else
            ::unlink(drive.posix("stays.txt", 'd').c_str());
        injectFault(path("stays.txt"), kErrorAccessDenied, kFaultDelete);
        EXPECT_EQ(replacing ? moveFileReplacing(path("stays.txt"), "d:\\stays.txt")
                            : moveFile(path("stays.txt"), "d:\\stays.txt"),
                  kErrorAccessDenied);
        EXPECT_EQ(test::readFileBytes(posix("stays.txt")), "stays");
        EXPECT_EQ(test::readFileBytes(drive.posix("stays.txt", 'd')), "stays");
        EXPECT_EQ(test::listNames(drive.root('d')), (Names{"big.bin", "stays.txt"}));
    }

    // A link over an existing name, as a link.
    clearFaults();
    ASSERT_EQ(::symlink("big.bin", posix("link").c_str()), 0);
    EXPECT_EQ(moveFileReplacing(path("link"), "d:\\stays.txt"), 0u);
    EXPECT_EQ(linkText(drive.posix("stays.txt", 'd')), "big.bin");
    EXPECT_FALSE(test::exists(posix("link")));
    EXPECT_EQ(test::listNames(drive.root('d')), (Names{"big.bin", "stays.txt"}));
}

TEST_F(ReplaceTest, LinkCopiesReplaceOnlyWhenAsked)
{
    test::createFile(posix("pointee.txt"), "pointee");
    ASSERT_EQ(::symlink("pointee.txt", posix("link").c_str()), 0);
    test::createFile(posix("taken.txt"), "taken");
    EXPECT_EQ(copySymbolicLink(path("link"), path("taken.txt"), false), kErrorAlreadyExists);
    EXPECT_EQ(test::readFileBytes(posix("taken.txt")), "taken");
    EXPECT_EQ(copySymbolicLink(path("link"), path("taken.txt"), true), 0u);
    EXPECT_EQ(linkText(posix("taken.txt")), "pointee.txt");
    test::makeFolder(posix("folder"));
    EXPECT_EQ(copySymbolicLink(path("link"), path("folder"), true), kErrorAccessDenied);
    EXPECT_EQ(copySymbolicLink(path("link"), path("new"), false), 0u);
    EXPECT_EQ(linkText(posix("new")), "pointee.txt");
    EXPECT_EQ(test::readFileBytes(posix("pointee.txt")), "pointee");
    EXPECT_EQ(test::listNames(drive.root()), (Names{"folder", "link", "new", "pointee.txt", "taken.txt"}));
}

// A temporary file is made without permission bits and with the locks of its writer; no listing shows
// it, and it is removed only when it is ours in every respect, its writer is gone and it has been left
// alone for a few seconds. A user's file of the same form is listed and kept, whatever its bits.
TEST_F(ReplaceTest, LeftoverTemporaryFilesOfADeadWriterAreRemovedAndNothingElse)
{
    test::makeFolder(posix("dst"));
    FileHandle living;
    std::string livingPath;
    ASSERT_EQ(createTemporaryBeside(path("dst\\a.txt"), living, livingPath), 0u);
    const std::string livingName = livingPath.substr(livingPath.rfind('\\') + 1);
    EXPECT_TRUE(livingName.starts_with(".a.txt.wux")) << livingName;
    EXPECT_EQ(livingName.size(), std::string(".a.txt.wux12345678").size());
    EXPECT_TRUE(isTemporaryName(livingName));
    EXPECT_EQ(test::modeOf(posix("dst/" + livingName)) & 07777, 0u);

    // The temporary files of the program that a child made, by their names in the folder.
    const auto madeBy = [&](const char* prefix) {
        for (const std::string& name : test::listNames(posix("dst")))
            if (name.starts_with(prefix))
                return posix("dst/" + name);
        return std::string();
    };
    // A writer killed in the middle of its copy (its locks die with it).
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FileHandle handle;
        std::string temp;
        std::size_t done = 0;
        if (createTemporaryBeside(path("dst\\b.txt"), handle, temp) == 0)
            handle.write("half", 4, done);
        ::kill(::getpid(), SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string killed = madeBy(".b.txt.wux");
    ASSERT_FALSE(killed.empty());
    EXPECT_EQ(test::modeOf(killed) & 07777, 0u);

    // A writer that is still at work: another process's temporary file with its locks held.
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ::close(done[1]); // (so that the read ends should the test end early)
        FileHandle handle;
        std::string temp;
        createTemporaryBeside(path("dst\\c.txt"), handle, temp);
        (void)!::write(ready[1], "r", 1);
        char c;
        (void)!::read(done[0], &c, 1); // until the test is done
        ::_exit(0);
    }
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    const std::string busy = madeBy(".c.txt.wux");
    ASSERT_FALSE(busy.empty());

    // A complete copy with its source's bits, left by a run killed just before its last rename.
    const std::string complete = test::posixOf(test::makeLeftoverTemporary(path("dst\\h.txt"), "whole", 0644));

    // Look-alikes that are a user's files: of the very form (also without permission bits), or near it.
    struct
    {
        const char* name;
        mode_t mode;
    } const users[] = {
        {".d.txt.wux12345678", 0},    // no permission bits: as the program's own while written
        {".d.txt.wux0badf00d", 0644}, // permission bits
        {".d.txt.wux1234567g", 0},    // not hexadecimal
        {".d.txt.wux1234567", 0},     // seven digits
        {".d.txt.wux12345678.x", 0},  // something after
        {"d.txt.wux12345678", 0},     // not hidden
        {".wux12345678", 0},          // no name before
        {".d.txt.WUX12345678", 0},    // other letters
    };
    for (const auto& u : users) {
        test::createFile(posix(std::string("dst/") + u.name), "user data");
        ASSERT_EQ(::chmod(posix(std::string("dst/") + u.name).c_str(), u.mode), 0);
    }
    // A temporary file of ours with a second name, and a folder and a link of the form.
    const std::string linked = test::posixOf(test::makeLeftoverTemporary(path("dst\\e.txt"), "linked"));
    ASSERT_EQ(::link(linked.c_str(), posix("dst/e-other-name").c_str()), 0);
    test::makeFolder(posix("dst/.f.txt.wux0000bbbb"));
    ASSERT_EQ(::chmod(posix("dst/.f.txt.wux0000bbbb").c_str(), 0), 0);
    ASSERT_EQ(::symlink("nowhere", posix("dst/.g.txt.wux0000cccc").c_str()), 0);

    // No listing shows the program's temporary files, living or dead; every look-alike is listed.
    Names userNames = {".d.txt.WUX12345678", ".d.txt.wux0badf00d", ".d.txt.wux12345678", ".d.txt.wux1234567",
                       ".d.txt.wux12345678.x", ".d.txt.wux1234567g", ".f.txt.wux0000bbbb", ".g.txt.wux0000cccc",
                       ".wux12345678", "d.txt.wux12345678", "e-other-name",
                       linked.substr(linked.rfind('/') + 1)};
    std::sort(userNames.begin(), userNames.end());
    EXPECT_EQ(listed("dst"), userNames);
    for (const std::string& own : {killed, complete}) {
        FolderListing single;
        FindData data;
        EXPECT_EQ(single.findFirst(path("dst\\" + own.substr(own.rfind('/') + 1)), data), kErrorFileNotFound);
    }
    FolderListing single;
    FindData data;
    ASSERT_EQ(single.findFirst(path("dst\\.d.txt.wux12345678"), data), kErrorSuccess);
    EXPECT_EQ(data.size, 9u);

    // Nothing is removed without a living temporary file whose locks the system shows, nor while the
    // leftovers are younger than a few seconds.
    FileHandle closed;
    {
        test::AnyAgeLeftovers anyAge;
        EXPECT_EQ(removeLeftoverTemporaries(path("dst"), closed), 0u);
    }
    EXPECT_EQ(removeLeftoverTemporaries(path("dst"), living), 0u);
    EXPECT_TRUE(test::exists(killed));
    EXPECT_TRUE(test::exists(complete));

    {
        test::AnyAgeLeftovers anyAge;
        EXPECT_EQ(removeLeftoverTemporaries(path("dst"), living), 2u);
    }
    EXPECT_FALSE(test::exists(killed));
    EXPECT_FALSE(test::exists(complete));
    EXPECT_TRUE(test::exists(busy));
    EXPECT_TRUE(test::exists(posix("dst/" + livingName)));
    for (const auto& u : users)
        EXPECT_EQ(test::readFileBytes(posix(std::string("dst/") + u.name)), "user data") << u.name;
    EXPECT_EQ(test::readFileBytes(posix("dst/e-other-name")), "linked");
    EXPECT_TRUE(test::exists(linked));
    EXPECT_TRUE(test::exists(posix("dst/.f.txt.wux0000bbbb")));
    EXPECT_TRUE(test::exists(posix("dst/.g.txt.wux0000cccc")));

    (void)!::write(done[1], "x", 1);
    ::waitpid(writer, &status, 0);
    for (const int fd : {ready[0], ready[1], done[0], done[1]})
        ::close(fd);

    // A temporary file that will not be used goes whatever its bits; nothing else goes that way.
    living.close();
    EXPECT_EQ(removeTemporary(livingPath), 0u);
    EXPECT_FALSE(test::exists(posix("dst/" + livingName)));
    EXPECT_EQ(removeTemporary(path("dst\\e-other-name")), kErrorInvalidParameter);
    EXPECT_TRUE(test::exists(posix("dst/e-other-name")));
}

// A temporary file holds its writer's locks as soon as its name can be seen: a clean-up that runs while
// other writers make theirs never takes one of them, however young files are allowed to be.
TEST_F(ReplaceTest, ATemporaryFileIsLockedBeforeItsNameIsSeen)
{
    test::makeFolder(posix("dst"));
    FileHandle living;
    std::string livingPath;
    ASSERT_EQ(createTemporaryBeside(path("dst\\keep.txt"), living, livingPath), 0u);
    test::AnyAgeLeftovers anyAge;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        // Makes and drops temporary files until killed, each held open while the next is made.
        FileHandle handles[2];
        bool first = true;
        for (unsigned i = 0;; ++i) {
            std::string temp;
            FileHandle& handle = handles[i % 2];
            const WinError error = createTemporaryBeside(path("dst\\x.txt"), handle, temp);
            if (error != 0)
                ::_exit(2);
            if (first)
                (void)!::write(ready[1], "r", 1);
            first = false;
            // Removed while still open: its name is gone only if the clean-up took it.
            FileHandle& previous = handles[(i + 1) % 2];
            if (previous.isOpen()) {
                if (removeTemporary(previous.path()) != 0)
                    ::_exit(3);
                previous.close();
            }
        }
    }
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    for (int round = 0; round < 300; ++round)
        removeLeftoverTemporaries(path("dst"), living);
    ::kill(writer, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    // No file of the writer went missing under it.
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer stopped with " << WEXITSTATUS(status);
    ::close(ready[0]);
    ::close(ready[1]);
}

} // namespace
} // namespace wux::platform
