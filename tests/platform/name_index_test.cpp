#include "platform/name_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

struct Move
{
    const char* from;
    const char* to;
    WinError expected;
};

// The moves of a run that renames within folders, clashes in letter case included.
const std::vector<Move> kMoves = {
    {"a.txt", "b.txt", kErrorAlreadyExists}, // exact name taken
    {"a.txt", "B.TXT", kErrorAlreadyExists}, // taken in another case
    {"a.txt", "dir\\upper.txt", kErrorAlreadyExists},
    {"a.txt", "A.TXT", 0},                          // case-only rename of itself
    {"A.TXT", "c.txt", 0},                          // frees "a.txt" ...
    {"b.txt", "a.TXT", 0},                          // ... which another file may now take
    {"c.txt", "B.txt", 0},                          // "b.txt" was freed by the move before
    {"B.txt", "dir\\new.txt", 0},                   // into another folder
    {"a.TXT", "dir\\NEW.TXT", kErrorAlreadyExists}, // the index of the other folder saw it arrive
    {"dir\\new.txt", "moved-back.txt", 0},
    {"a.TXT", "dir\\new.txt", 0}, // and saw it leave
    {"moved-back.txt", "bad*name", kErrorInvalidName},
    {"moved-back.txt", "dir\\..\\MOVED-BACK.TXT", 0},
};

class CaseIndexTest : public test::TempDriveTest
{
protected:
    std::vector<std::string> runMoves(bool withIndex)
    {
        test::createFile(posix("a.txt"), "a");
        test::createFile(posix("b.txt"), "b");
        test::createFile(posix("dir/Upper.TXT"), "u");
        std::vector<std::string> outcome;
        CaseIndexScope* scope = withIndex ? new CaseIndexScope : nullptr;
        for (const Move& move : kMoves) {
            EXPECT_EQ(moveFile(path(move.from), path(move.to)), move.expected)
                << move.from << " -> " << move.to << (withIndex ? " (indexed)" : "");
        }
        delete scope;
        outcome = test::listNames(drive.root());
        for (const std::string& name : test::listNames(posix("dir")))
            outcome.push_back("dir/" + name);
        return outcome;
    }
};

TEST_F(CaseIndexTest, MovesGiveTheSameResultsWithAndWithoutTheIndex)
{
    const std::vector<std::string> plain = runMoves(false);
    EXPECT_EQ(plain, (std::vector<std::string>{"MOVED-BACK.TXT", "dir", "dir/Upper.TXT", "dir/new.txt"}));
    for (const std::string& name : plain) {
        if (name != "dir" && name.rfind("dir/", 0) != 0) {
            ASSERT_EQ(::unlink(posix(name).c_str()), 0);
        }
    }
    ASSERT_EQ(::unlink(posix("dir/Upper.TXT").c_str()), 0);
    ASSERT_EQ(::unlink(posix("dir/new.txt").c_str()), 0);
    EXPECT_EQ(runMoves(true), plain);
    EXPECT_EQ(test::readFileBytes(posix("MOVED-BACK.TXT")), "a");
    EXPECT_EQ(test::readFileBytes(posix("dir/new.txt")), "b");
}

// The open descriptors of the process.
std::size_t openDescriptors()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                  std::filesystem::directory_iterator()));
}

TEST_F(CaseIndexTest, ChangesByOthersAreSeen)
{
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        test::createFile(posix(name), name);
    const std::size_t descriptors = openDescriptors();
    auto scope = std::make_unique<CaseIndexScope>();
    ASSERT_EQ(moveFile(path("one.txt"), path("first.txt")), 0u); // the folder is indexed

    // Another program adds a name and removes one.
    test::createFile(posix("Clash.txt"), "theirs");
    ASSERT_EQ(::unlink(posix("three.txt").c_str()), 0);
    EXPECT_EQ(moveFile(path("two.txt"), path("CLASH.TXT")), kErrorAlreadyExists);
    EXPECT_EQ(moveFile(path("first.txt"), path("THREE.txt")), 0u);
    EXPECT_EQ(test::listNames(drive.root()), (std::vector<std::string>{"Clash.txt", "THREE.txt", "two.txt"}));
    EXPECT_EQ(test::readFileBytes(posix("Clash.txt")), "theirs");

    // A folder removed and made again under the same path is another folder.
    test::makeFolder(posix("sub"));
    ASSERT_EQ(moveFile(path("two.txt"), path("sub\\two.txt")), 0u);
    ASSERT_EQ(moveFile(path("sub\\two.txt"), path("two.txt")), 0u);
    ASSERT_EQ(::rmdir(posix("sub").c_str()), 0);
    test::createFile(posix("sub/TWO.TXT"), "new folder");
    EXPECT_EQ(moveFile(path("two.txt"), path("sub\\two.txt")), kErrorAlreadyExists);
    // The end of the scope ends its watches.
    scope.reset();
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST_F(CaseIndexTest, LookUpsOfMissingNamesSeeEveryChange)
{
    test::createFile(posix("Data.TXT"), "d");
    CaseIndexScope scope;
    std::string resolved;
    ASSERT_EQ(toPosixPath(path("data.txt"), resolved), 0u);
    EXPECT_EQ(resolved, posix("Data.TXT"));

    // Names made by this thread and by others are seen; two matches mean none.
    FileHandle created;
    ASSERT_EQ(created.open(path("Report.md"), kAccessWrite, kShareNone, Disposition::kCreateNew), 0u);
    created.close();
    ASSERT_EQ(toPosixPath(path("REPORT.MD"), resolved), 0u);
    EXPECT_EQ(resolved, posix("Report.md"));
    test::createFile(posix("DATA.txt"), "other");
    ASSERT_EQ(toPosixPath(path("data.txt"), resolved), 0u);
    EXPECT_EQ(resolved, posix("data.txt"));
    ASSERT_EQ(::unlink(posix("Data.TXT").c_str()), 0);
    ASSERT_EQ(toPosixPath(path("data.txt"), resolved), 0u);
    EXPECT_EQ(resolved, posix("DATA.txt"));
    EXPECT_EQ(test::readFileBytes(resolved), "other");
}

TEST_F(CaseIndexTest, ManyRenamesInOneFolderKeepEveryClashRule)
{
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i)
        test::createFile(posix("f" + std::to_string(i) + ".dat"), std::to_string(i));
    test::createFile(posix("PIC150.DAT"), "planted");
    CaseIndexScope scope;
    int refused = 0;
    for (int i = 0; i < kFiles; ++i) {
        const WinError error =
            moveFile(path("f" + std::to_string(i) + ".dat"), path("pic" + std::to_string(i) + ".dat"));
        if (error == kErrorAlreadyExists)
            ++refused;
        else
            EXPECT_EQ(error, 0u) << i;
    }
    EXPECT_EQ(refused, 1);
    EXPECT_TRUE(test::exists(posix("f150.dat")));
    EXPECT_EQ(test::readFileBytes(posix("PIC150.DAT")), "planted");
    EXPECT_EQ(test::readFileBytes(posix("pic299.dat")), "299");
}

TEST_F(CaseIndexTest, RunsOverMoreFoldersThanAreWatchedReadEachFolderOncePerStay)
{
    constexpr int kFolders = 1100; // more than one scope watches
    constexpr int kBigFiles = 400;
    for (int i = 0; i < kFolders; ++i)
        test::createFile(posix("d" + std::to_string(i) + "/x.txt"), "x");
    for (int i = 0; i < kBigFiles; ++i)
        test::createFile(posix("big/f" + std::to_string(i)), "f");
    test::createFile(posix("big/G7"), "planted");
    CaseIndexScope scope;
    const std::size_t before = internal::folderReadsOnThisThread();
    for (int i = 0; i < kFolders; ++i) {
        const std::string folder = "d" + std::to_string(i) + "\\";
        ASSERT_EQ(moveFile(path(folder + "x.txt"), path(folder + "y.txt")), 0u) << i;
    }
    int refused = 0;
    for (int i = 0; i < kBigFiles; ++i) {
        const WinError error =
            moveFile(path("big\\f" + std::to_string(i)), path("big\\g" + std::to_string(i)));
        refused += error == kErrorAlreadyExists;
        EXPECT_TRUE(error == 0u || (error == kErrorAlreadyExists && i == 7)) << i << ": " << error;
    }
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(internal::folderReadsOnThisThread() - before, std::size_t{kFolders + 1});

    // Changes by another program: in a folder still watched (no new read) and in the first folder,
    // which has left the index by now and is read once more.
    test::createFile(posix("big/Other"), "theirs");
    test::createFile(posix("d0/Clash.txt"), "theirs");
    const std::size_t afterRun = internal::folderReadsOnThisThread();
    EXPECT_EQ(moveFile(path("big\\g1"), path("big\\OTHER")), kErrorAlreadyExists);
    EXPECT_EQ(internal::folderReadsOnThisThread(), afterRun);
    EXPECT_EQ(moveFile(path("d0\\y.txt"), path("d0\\CLASH.TXT")), kErrorAlreadyExists);
    EXPECT_EQ(moveFile(path("d0\\y.txt"), path("d0\\z.txt")), 0u);
    EXPECT_EQ(internal::folderReadsOnThisThread(), afterRun + 1);
    EXPECT_EQ(test::listNames(posix("d0")), (std::vector<std::string>{"Clash.txt", "z.txt"}));
    EXPECT_EQ(test::readFileBytes(posix("d0/Clash.txt")), "theirs");
    EXPECT_EQ(test::readFileBytes(posix("big/G7")), "planted");
    EXPECT_EQ(test::readFileBytes(posix("big/f7")), "f");
}

TEST_F(CaseIndexTest, NewNamesInTheSameFolderAreCheckedLikeAnyOther)
{
    test::createFile(posix("keep.txt"), "k");
    EXPECT_EQ(moveFile(path("keep.txt"), path(std::string(256, 'n'))), kErrorFilenameExcedRange);
    EXPECT_EQ(moveFile(path("keep.txt"), path("a\x01"
                                              "b")),
              kErrorInvalidName);
    EXPECT_EQ(moveFile(path("keep.txt"), path(".")), kErrorAlreadyExists);
    EXPECT_EQ(test::listNames(drive.root()), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(moveFile(path("keep.txt"), path(std::string(255, 'n'))), 0u);
}

} // namespace
} // namespace wux::platform
