// The files of a copied folder: the walk reaches them relative to the source folder it listed and the
// target folder it made, with the same answers as for a file copied by its path: a failure at any step
// keeps the old target and leaves no temporary file, a name taken meanwhile is never overwritten, held
// files are asked about, a file swapped for a link is copied as a link, and names are exact.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "file_operations_fixture.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "support/leftovers.h"

namespace wux::filelist::test {
namespace {

using wux::test::createFile;
using wux::test::listNames;
using wux::test::makeFolder;
using wux::test::readFileBytes;
using A = ConfirmationAnswer;
using Names = std::vector<std::string>;

constexpr platform::FileTime kTime = 132'000'000'000'000'000ull;
constexpr platform::FileTime kHour = 3600ull * 10'000'000;

class CopyInFolderTest : public FileOperationsTest
{
protected:
    void SetUp() override
    {
        FileOperationsTest::SetUp();
        GeneralCheckContainer = kOptionShowHidden | kOptionConfirmOverwrite;
    }

    // Copies the folder src\dir into dst\ (a fresh start of the questions and boxes).
    void copyDir(const std::vector<A>& answers)
    {
        ui.questions.clear();
        ui.answers.clear();
        ui.unscripted = 0;
        dialogs.clear();
        openFolder("src");
        select({"dir"});
        answer(answers);
        ASSERT_TRUE(run(TFileOperationKind::Copy, path("dst\\")));
    }

    // The captions of the questions asked.
    Names captions() const
    {
        Names out;
        for (const ConfirmationQuestion& q : ui.questions)
            out.push_back(q.kind == ConfirmationKind::Overwrite ? "overwrite" : q.caption);
        return out;
    }
};

// A fault at each step of a file's copy, with and without an old target: the old target keeps its
// bytes, no temporary file is left, and the other file of the folder is copied.
TEST_F(CopyInFolderTest, AFailureAtEachStepKeepsTheOldTargetAndLeavesNoTemporaryFile)
{
    struct Case
    {
        const char* title;
        const char* fault; // a path prefix relative to c:
        platform::WinError code;
        unsigned operations;
        Names questions; // without the overwrite question of an old target
        Names boxes;
    };
    const Case cases[] = {
        {"source cannot be opened", "src\\dir\\a.txt", platform::kErrorAccessDenied, platform::kFaultOpen,
         {"Error file copy 1"}, {}},
        {"temporary file cannot be made", "dst\\dir\\.a.txt", platform::kErrorAccessDenied,
         platform::kFaultOpen, {"Error file copy 4"}, {}},
        {"disk full", "dst\\dir\\.a.txt", platform::kErrorDiskFull, platform::kFaultWrite, {},
         {"WRITE TO FILE: Error 112"}},
        {"times cannot be set", "dst\\dir\\.a.txt", platform::kErrorAccessDenied, platform::kFaultAttributes,
         {}, {"SetFileTime: Error 5"}},
    };
    for (const bool oldTarget : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.title) + (oldTarget ? ", over an old target" : ", no old target"));
            platform::clearFaults();
            std::filesystem::remove_all(posix("dst"));
            createFile(posix("src/dir/a.txt"), "new bytes", kTime);
            createFile(posix("src/dir/b.txt"), "bee", kTime);
            makeFolder(posix("dst/dir"));
            if (oldTarget)
                createFile(posix("dst/dir/a.txt"), "old bytes", kTime + kHour);
            platform::injectFault(path(c.fault), c.code, c.operations);
            Names expected = c.questions;
            std::vector<A> answers(c.questions.size(), A::No);
            if (oldTarget && c.questions != Names{"Error file copy 1"}) {
                expected.insert(expected.begin(), "overwrite");
                answers.insert(answers.begin(), A::Yes);
            }
            copyDir(answers);
            EXPECT_EQ(captions(), expected);
            EXPECT_EQ(ui.unscripted, 0);
            EXPECT_EQ(dialogs.captions(), c.boxes);
            EXPECT_EQ(listNames(posix("dst/dir")), oldTarget ? (Names{"a.txt", "b.txt"}) : Names{"b.txt"});
            if (oldTarget) {
                EXPECT_EQ(readFileBytes(posix("dst/dir/a.txt")), "old bytes");
            }
            EXPECT_EQ(readFileBytes(posix("dst/dir/b.txt")), "bee");
            EXPECT_EQ(readFileBytes(posix("src/dir/a.txt")), "new bytes");
        }
    }
}

// What happens to the target's name while the file is copied: a file that takes the name is never
// overwritten (the copy goes, with the rename's box); an old target that another handle holds without
// delete sharing when the copy is complete is asked about, and No keeps it; a failed rename is asked
// about over an old target and shown otherwise.
TEST_F(CopyInFolderTest, TheTargetNameAtTheEndOfTheCopy)
{
    struct Case
    {
        const char* title;
        bool oldTarget;
        bool intruder; // a file takes the name once the data is copied
        bool hold;     // the old target is held once the data is copied
        bool renameFault;
        Names questions;
        Names boxes;
        const char* bytesAfter;
    };
    const Case cases[] = {
        {"a file takes the name meanwhile", false, true, false, false, {}, {"MoveFile: Error183"}, "intruder"},
        {"the old target is held at the end", true, false, true, false, {"overwrite", "Error file copy 3"}, {},
         "old bytes"},
        {"the rename fails over an old target", true, false, false, true, {"overwrite", "Error file copy 3"},
         {}, "old bytes"},
        {"the rename fails", false, false, false, true, {}, {"MoveFile: Error32"}, nullptr},
        {"nothing in the way", true, false, false, false, {"overwrite"}, {}, "new bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        platform::clearFaults();
        std::filesystem::remove_all(posix("dst"));
        createFile(posix("src/dir/a.txt"), "new bytes", kTime);
        makeFolder(posix("dst/dir"));
        if (c.oldTarget)
            createFile(posix("dst/dir/a.txt"), "old bytes", kTime + kHour);
        if (c.renameFault)
            platform::injectFault(path("dst\\dir\\a.txt"), platform::kErrorSharingViolation,
                                  platform::kFaultRename);
        platform::FileHandle holder;
        ui.onProgress = [&](std::int32_t, std::int32_t file) {
            if (file != 100 || holder.isOpen())
                return;
            if (c.intruder)
                createFile(posix("dst/dir/a.txt"), "intruder");
            if (c.hold || c.intruder) {
                ASSERT_EQ(holder.open(path("dst\\dir\\a.txt"), platform::kAccessRead, platform::kShareRead,
                                      platform::Disposition::kOpenExisting),
                          0U);
            }
        };
        copyDir({A::Yes, A::No});
        ui.onProgress = nullptr;
        holder.close();
        EXPECT_EQ(captions(), c.questions);
        if (!c.boxes.empty())
            EXPECT_EQ(dialogs.captions(), c.boxes);
        else
            EXPECT_TRUE(dialogs.records().empty());
        if (c.bytesAfter == nullptr) {
            EXPECT_EQ(listNames(posix("dst/dir")), Names{});
        } else {
            EXPECT_EQ(listNames(posix("dst/dir")), Names{"a.txt"});
            EXPECT_EQ(readFileBytes(posix("dst/dir/a.txt")), c.bytesAfter);
        }
    }
}

// A source or an old target that another handle holds gets the question an open or a replace by path
// gets.
TEST_F(CopyInFolderTest, HeldFilesAreAskedAbout)
{
    struct Case
    {
        const char* title;
        const char* held;
        unsigned share;
        std::vector<A> answers;
        Names questions;
    };
    const Case cases[] = {
        {"the source, shared with nobody", "src\\dir\\a.txt", platform::kShareNone, {A::Yes, A::No},
         {"Error file copy 1", "Error file copy 1"}},
        {"the old target, without delete sharing", "dst\\dir\\a.txt", platform::kShareRead,
         {A::Yes, A::Yes, A::No}, {"overwrite", "Error file copy 3", "Error file copy 3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        std::filesystem::remove_all(posix("dst"));
        createFile(posix("src/dir/a.txt"), "new bytes", kTime);
        createFile(posix("dst/dir/a.txt"), "old bytes", kTime + kHour);
        platform::FileHandle holder;
        ASSERT_EQ(holder.open(path(c.held), platform::kAccessRead, c.share, platform::Disposition::kOpenExisting),
                  0U);
        copyDir(c.answers); // (Yes to a failure is Retry: the file is still held)
        EXPECT_EQ(captions(), c.questions);
        ASSERT_FALSE(ui.questions.empty());
        EXPECT_EQ(ui.questions.back().Info1, platform::errorText(platform::kErrorSharingViolation));
        EXPECT_EQ(readFileBytes(posix("dst/dir/a.txt")), "old bytes");
        EXPECT_EQ(listNames(posix("dst/dir")), Names{"a.txt"});
    }
}

// A file that another program swaps for a link after the walk listed it is copied as a link, as when
// it is copied by its path; the file the link points to is not copied in its place.
TEST_F(CopyInFolderTest, AFileSwappedForALinkAfterTheListingIsCopiedAsALink)
{
    createFile(posix("src/dir/a.txt"), "alpha", kTime);
    createFile(posix("src/dir/b.txt"), "beta", kTime);
    createFile(posix("outside.txt"), "outside");
    makeFolder(posix("dst"));
    std::string swapped;
    ui.onProgress = [&](std::int32_t, std::int32_t file) {
        if (file != 100 || !swapped.empty() || current == nullptr)
            return;
        swapped = current->SourcePath.ends_with("a.txt") ? "b.txt" : "a.txt";
        std::filesystem::remove(posix("src/dir/" + swapped));
        std::filesystem::create_symlink(posix("outside.txt"), posix("src/dir/" + swapped));
    };
    copyDir({});
    ui.onProgress = nullptr;
    ASSERT_FALSE(swapped.empty());
    EXPECT_EQ(captions(), Names{});
    EXPECT_EQ(listNames(posix("dst/dir")), (Names{"a.txt", "b.txt"}));
    EXPECT_TRUE(std::filesystem::is_symlink(posix("dst/dir/" + swapped)));
    EXPECT_EQ(std::filesystem::read_symlink(posix("dst/dir/" + swapped)), posix("outside.txt"));
}

// Names are exact: a name of another letter case in the target folder is another file; a taken name
// renamed automatically gets its "[N]" name in the same folder.
TEST_F(CopyInFolderTest, ExactNamesAndAutomaticNewNames)
{
    createFile(posix("src/dir/a.txt"), "lower", kTime);
    createFile(posix("src/dir/b.txt"), "new b", kTime);
    createFile(posix("dst/dir/A.TXT"), "upper", kTime);
    createFile(posix("dst/dir/b.txt"), "old b", kTime);
    copyDir({A::Autorename});
    EXPECT_EQ(captions(), Names{"overwrite"});
    EXPECT_EQ(listNames(posix("dst/dir")), (Names{"A.TXT", "a.txt", "b.txt", "b[1].txt"}));
    EXPECT_EQ(readFileBytes(posix("dst/dir/A.TXT")), "upper");
    EXPECT_EQ(readFileBytes(posix("dst/dir/a.txt")), "lower");
    EXPECT_EQ(readFileBytes(posix("dst/dir/b.txt")), "old b");
    EXPECT_EQ(readFileBytes(posix("dst/dir/b[1].txt")), "new b");
    EXPECT_TRUE(dialogs.records().empty());
}

} // namespace
} // namespace wux::filelist::test

namespace wux::filelist::test {
namespace {

// A temporary file that a killed run left in a copied folder is nobody's file: it is not copied; a
// user's file of the same form is copied, also one without permission bits. A copy into a folder removes
// the program's leftovers there, also a complete one of a copy killed just before its last rename, once
// they are a few seconds old.
TEST_F(CopyInFolderTest, ATemporaryFileOfAKilledRunIsNotCopiedAndLeftoversInTheTargetGo)
{
    createFile(posix("src/dir/a.txt"), "alpha", kTime);
    const std::string half = wux::test::makeLeftoverTemporary(path("src\\dir\\a.txt"), "half a copy");
    createFile(posix("src/dir/.b.txt.wux12345678"), "a user's file", kTime, 0600);
    createFile(posix("src/dir/.c.txt.wux0badf00d"), "a user's private file", kTime);
    ASSERT_EQ(::chmod(posix("src/dir/.c.txt.wux0badf00d").c_str(), 0), 0);
    makeFolder(posix("dst/dir"));
    const std::string young = wux::test::makeLeftoverTemporary(path("dst\\dir\\y.txt"), "young");
    copyDir({});
    EXPECT_EQ(captions(), Names{});
    // The young leftover stays; the user's files are copied with their bits.
    const Names names = listNames(posix("dst/dir"));
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], ".b.txt.wux12345678");
    EXPECT_EQ(names[1], ".c.txt.wux0badf00d");
    EXPECT_TRUE(names[2].starts_with(".y.txt.wux")) << names[2];
    EXPECT_EQ(names[3], "a.txt");
    EXPECT_TRUE(wux::test::exists(young));
    EXPECT_EQ(readFileBytes(posix("dst/dir/.b.txt.wux12345678")), "a user's file");
    EXPECT_EQ(readFileBytes(posix("dst/dir/.c.txt.wux0badf00d")), "a user's private file");
    EXPECT_EQ(wux::test::modeOf(posix("dst/dir/.c.txt.wux0badf00d")) & 07777, 0u);
    EXPECT_EQ(listNames(posix("src/dir")).size(), 4u);
    EXPECT_TRUE(wux::test::exists(half));

    // Older ones go with the next copy into the folder: the one killed half-way, and a complete one.
    const std::string complete = wux::test::makeLeftoverTemporary(path("dst\\dir\\z.txt"), "whole", 0644);
    wux::test::AnyAgeLeftovers anyAge;
    createFile(posix("src/dir/a.txt"), "alpha 2", kTime + kHour);
    copyDir({A::YesToAll});
    EXPECT_FALSE(wux::test::exists(young));
    EXPECT_FALSE(wux::test::exists(complete));
    EXPECT_EQ(listNames(posix("dst/dir")), (Names{".b.txt.wux12345678", ".c.txt.wux0badf00d", "a.txt"}));
    EXPECT_EQ(readFileBytes(posix("dst/dir/a.txt")), "alpha 2");
}

} // namespace
} // namespace wux::filelist::test

namespace wux::filelist::test {
namespace {

// Files now open in this process.
int openDescriptors()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// A tree much deeper than the number of files the program may have open is copied whole: the walk holds
// open only the folders whose files it copies, never one for each folder above.
TEST_F(CopyInFolderTest, ADeepTreeNeedsNoOpenFolderForEachLevel)
{
    constexpr int kLevels = 150;
    std::string relative = "src/dir";
    for (int level = 0; level < kLevels; ++level) {
        createFile(posix(relative + "/f.txt"), "level " + std::to_string(level), kTime);
        relative += "/d";
    }
    makeFolder(posix("dst"));
    struct rlimit saved = {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(openDescriptors() + 60);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    copyDir({});
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(captions(), Names{});
    EXPECT_TRUE(dialogs.records().empty());
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(posix("dst/dir")))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, kLevels);
    std::string deepest = "dst/dir";
    for (int level = 0; level + 1 < kLevels; ++level)
        deepest += "/d";
    EXPECT_EQ(readFileBytes(posix(deepest + "/f.txt")), "level " + std::to_string(kLevels - 1));
}

} // namespace
} // namespace wux::filelist::test
