// Copy, move, delete and send to the Basket over a folder tree deeper than the system's limit of a path:
// every file is reached, none is left out or left behind.
#include <algorithm>
#include <string>
#include <vector>

#include "file_operations_fixture.h"
#include "support/deep_tree.h"

namespace wux::filelist::test {
namespace {

using wux::test::DeepTree;
using wux::test::existsDeep;
using wux::test::listNames;
using wux::test::readDeep;
using Names = std::vector<std::string>;

// The files of the tree: one at its top, one half-way, one in its deepest folder.
struct DeepFile
{
    int level;
    const char* name;
    const char* bytes;
};
const DeepFile kFiles[] = {{0, "top.txt", "top"}, {11, "mid.txt", "middle"}, {22, "deep.txt", "the deepest"}};
// And a symbolic link beside the deepest file.
const DeepFile kLink = {22, "link", ""};

class DeepTreeTest : public FileOperationsTest
{
protected:
    // c:\s\tree with the files above.
    void makeTree()
    {
        wux::test::removeTreeAt(posix("s"));
        for (const DeepFile& file : kFiles)
            wux::test::writeDeep(posix("s"), inTree(file), file.bytes);
        wux::test::linkDeep(posix("s"), inTree(kLink), "deep.txt");
        dialogs.clear();
        ui.questions.clear();
    }
    // The components of a file of the tree below the folder holding "tree".
    std::vector<std::string> inTree(const DeepFile& file) const
    {
        std::vector<std::string> components = tree.components(file.level, file.name);
        components.insert(components.begin(), "tree");
        return components;
    }
    DeepTree tree;
};

TEST_F(DeepTreeTest, CopyAndMoveCarryEveryFile)
{
    struct Case
    {
        const char* title;
        TFileOperationKind kind;
        char letter;        // the target drive
        bool foreign;       // on another file system
        std::int32_t files; // counted in the progress (a move on the drive renames the folder itself)
    };
    const Case cases[] = {
        {"copy", TFileOperationKind::Copy, 'c', false, 4},
        {"move on the drive", TFileOperationKind::Move, 'c', false, 1},
        {"move to another drive", TFileOperationKind::Move, 'd', false, 4},
        {"move to another file system", TFileOperationKind::Move, 'e', true, 4},
    };
    for (const Case& c : cases) {
        if (c.letter != 'c' && !drive.addDrive(c.letter, platform::kDriveFixed, c.foreign)) {
            std::printf("no other file system for: %s\n", c.title);
            continue;
        }
        const std::string target = drive.root(c.letter) + "/dst";
        wux::test::removeTreeAt(target);
        wux::test::makeDeepFolders(drive.root(c.letter), {"dst"});
        makeTree();
        openFolder("s");
        select({"tree"});
        ASSERT_TRUE(run(c.kind, path("dst\\", c.letter))) << c.title;
        for (const DeepFile& file : kFiles) {
            EXPECT_EQ(readDeep(target, inTree(file)), file.bytes) << c.title << ": " << file.name;
            EXPECT_EQ(existsDeep(posix("s"), inTree(file)), c.kind == TFileOperationKind::Copy)
                << c.title << ": " << file.name;
        }
        EXPECT_EQ(wux::test::readDeepLink(target, inTree(kLink)), "deep.txt") << c.title;
        if (c.kind == TFileOperationKind::Move) {
            EXPECT_EQ(listNames(posix("s")), Names{}) << c.title;
        }
        EXPECT_EQ(ui.questions.size(), 0u) << c.title;
        EXPECT_TRUE(boxes().empty()) << c.title << ": " << boxes().size() << " boxes";
        EXPECT_EQ(filesTotal, c.files) << c.title;
        EXPECT_EQ(filesDone, c.files) << c.title;
    }
}

TEST_F(DeepTreeTest, DeleteRemovesEveryFileAndFolder)
{
    GeneralCheckContainer = kOptionShowHidden | kOptionDeleteNonEmptyDirsSilently;
    makeTree();
    openFolder("s");
    select({"tree"});
    ASSERT_TRUE(run(TFileOperationKind::Delete));
    EXPECT_EQ(listNames(posix("s")), Names{});
    EXPECT_EQ(ui.questions.size(), 0u);
    EXPECT_TRUE(boxes().empty()) << boxes().size() << " boxes";
    EXPECT_EQ(filesDone, 4);
}

TEST_F(DeepTreeTest, SendToBasketListsEveryFile)
{
    makeTree();
    openFolder("s");
    select({"tree"});
    ASSERT_TRUE(run(TFileOperationKind::SendToBasket));
    Names expected;
    for (const DeepFile& file : kFiles)
        expected.push_back(tree.windowsPath(path("s\\tree"), file.level, file.name));
    expected.push_back(tree.windowsPath(path("s\\tree"), kLink.level, kLink.name));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(basketNames(), expected);
    EXPECT_TRUE(boxes().empty()) << boxes().size() << " boxes";
}

} // namespace
} // namespace wux::filelist::test
