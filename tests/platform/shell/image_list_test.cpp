#include "platform/shell/image_list.h"

#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_types.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform::shell {
namespace {

class ImageListTest : public test::TempDriveTest
{
protected:
    SystemImageList list;
};

TEST_F(ImageListTest, FolderIconsAreFixedAndNeverIndexZero)
{
    const std::int32_t folder = list.folderIconIndex(IconState::kNormal);
    const std::int32_t open = list.folderIconIndex(IconState::kOpen);
    EXPECT_GT(folder, 0);
    EXPECT_GT(open, 0);
    EXPECT_NE(folder, open);
    EXPECT_EQ(list.iconKey(0), "application/octet-stream");
    EXPECT_EQ(list.iconKey(folder), "folder");
    EXPECT_EQ(list.iconKey(open), "folder-open");
    std::string type;
    EXPECT_EQ(list.fileIconIndex("docs", kAttrDirectory, IconState::kNormal, &type), folder);
    EXPECT_EQ(type, "folder");
    EXPECT_EQ(list.fileIconIndex("docs.txt", kAttrDirectory | kAttrHidden, IconState::kOpen, nullptr), open);
}

TEST_F(ImageListTest, FilesByNameAndAttributes)
{
    struct Case
    {
        const char* name;
        const char* key;
        const char* type;
    };
    const Case cases[] = {
        {"notes.txt", "text/plain", "plain text document"},
        {"NOTES.TXT", "text/plain", "plain text document"},
        {".txt", "text/plain", "plain text document"}, // an extension alone
        {"main.cpp", "text/x-c++src", "C++ source code"},
        {"Makefile", "text/x-makefile", "Makefile build file"},
        {"data.qqq", "application/octet-stream", "QQQ file"},
        {"somefile", "application/octet-stream", "unknown"},
    };
    for (const Case& c : cases) {
        std::string type;
        const std::int32_t index = list.fileIconIndex(c.name, kAttrArchive, IconState::kNormal, &type);
        EXPECT_EQ(list.iconKey(index), c.key) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        // The open icon of a file is its icon.
        EXPECT_EQ(list.fileIconIndex(c.name, kAttrArchive, IconState::kOpen, nullptr), index) << c.name;
    }
    EXPECT_EQ(list.fileIconIndex("data.qqq", kAttrNormal, IconState::kNormal, nullptr), 0);
}

TEST_F(ImageListTest, IndexesAreStableAndTheListOnlyGrows)
{
    const std::int32_t text = list.fileIconIndex("a.txt", 0, IconState::kNormal, nullptr);
    const std::int32_t count = list.iconCount();
    EXPECT_EQ(list.fileIconIndex("b.txt", 0, IconState::kNormal, nullptr), text);
    EXPECT_EQ(list.iconCount(), count);
    const std::int32_t source = list.fileIconIndex("c.cpp", 0, IconState::kNormal, nullptr);
    EXPECT_EQ(source, count);
    EXPECT_EQ(list.iconCount(), count + 1);
    EXPECT_EQ(list.fileIconIndex("a.txt", 0, IconState::kNormal, nullptr), text);
}

TEST_F(ImageListTest, PathsAreQueriedOnDisk)
{
    test::createFile(path("notes.txt"), "hello\n");
    test::createFile(path("run"), "#!/bin/sh\necho hi\n", test::kNoTime, 0755);
    test::makeFolder(path("docs"));
    ASSERT_EQ(::mkfifo(posix("pipe").c_str(), 0644), 0);

    std::string type;
    EXPECT_EQ(list.iconKey(list.pathIconIndex(path("notes.txt"), IconState::kNormal, &type)), "text/plain");
    EXPECT_EQ(type, "plain text document");
    // Found by content where the name says nothing.
    EXPECT_EQ(list.iconKey(list.pathIconIndex(path("run"), IconState::kNormal, &type)),
              "application/x-shellscript");
    EXPECT_EQ(list.pathIconIndex(path("docs"), IconState::kNormal, &type),
              list.folderIconIndex(IconState::kNormal));
    EXPECT_EQ(type, "folder");
    EXPECT_EQ(list.pathIconIndex(path("docs"), IconState::kOpen, nullptr),
              list.folderIconIndex(IconState::kOpen));
    // A FIFO is typed without being opened (opening it would block).
    EXPECT_EQ(list.iconKey(list.pathIconIndex(path("pipe"), IconState::kNormal, nullptr)), "inode/fifo");
    EXPECT_EQ(list.iconKey(list.pathIconIndex("c:\\", IconState::kNormal, nullptr)), "drive-fixed");

    type = "kept";
    EXPECT_EQ(list.pathIconIndex(path("missing.txt"), IconState::kNormal, &type), -1);
    EXPECT_EQ(list.pathIconIndex(path("missing\\x.txt"), IconState::kNormal, &type), -1);
    EXPECT_EQ(list.pathIconIndex("q:\\", IconState::kNormal, &type), -1);
    EXPECT_EQ(type, "kept");
}

// Each kind of file shows its own icon from the icon theme that the set-up installs, also where the
// desktop names no theme: a folder, a text, an office document, an image, an archive and a program.
TEST_F(ImageListTest, EachKindOfFileHasItsOwnThemeIcon)
{
    if (!QFileInfo::exists(QStringLiteral("/usr/share/icons/Adwaita/index.theme")))
        GTEST_SKIP() << "the icon theme of the set-up is not installed";
    test::makeFolder(path("docs"));
    test::createFile(path("notes.txt"), "hello\n");
    test::createFile(path("report.docx"), "PK");
    test::createFile(path("picture.png"), "\x89PNG\r\n\x1a\n");
    test::createFile(path("archive.zip"), "PK\x03\x04");
    // An ELF executable's header: class 64-bit, little-endian, type 2 (executable).
    std::string elf = std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(9, '\0') + std::string("\x02\0\x3e\0", 4);
    elf.resize(64, '\0');
    test::createFile(path("program"), elf, test::kNoTime, 0755);

    std::vector<std::pair<std::string, QImage>> images;
    for (const char* name : {"docs", "notes.txt", "report.docx", "picture.png", "archive.zip", "program"}) {
        const std::int32_t index = list.pathIconIndex(path(name), IconState::kNormal, nullptr);
        ASSERT_GE(index, 0) << name;
        const QIcon icon = list.icon(index);
        ASSERT_FALSE(icon.isNull()) << name << " " << list.iconKey(index);
        images.emplace_back(std::string(name) + " (" + list.iconKey(index) + ")",
                            icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32));
    }
    for (std::size_t i = 0; i < images.size(); ++i)
        for (std::size_t j = i + 1; j < images.size(); ++j)
            EXPECT_NE(images[i].second, images[j].second) << images[i].first << " and " << images[j].first;
}

TEST_F(ImageListTest, DriveIconsByKind)
{
    ASSERT_TRUE(drive.addDrive('d', kDriveRemovable));
    ASSERT_TRUE(drive.addDrive('e', kDriveCdrom));
    ASSERT_TRUE(drive.addDrive('f', kDriveRemote));
    EXPECT_EQ(list.iconKey(list.pathIconIndex("d:", IconState::kNormal, nullptr)), "drive-removable");
    EXPECT_EQ(list.iconKey(list.pathIconIndex("E:\\", IconState::kNormal, nullptr)), "drive-cdrom");
    EXPECT_EQ(list.iconKey(list.pathIconIndex("f:\\", IconState::kNormal, nullptr)), "drive-remote");
    EXPECT_EQ(list.iconKey(list.networkIconIndex()), "network");
    EXPECT_EQ(list.networkIconIndex(), list.networkIconIndex());
}

TEST_F(ImageListTest, EveryIndexHasAnIconOnTheGuiThreadOnly)
{
    list.fileIconIndex("a.txt", 0, IconState::kNormal, nullptr);
    list.networkIconIndex();
    list.pathIconIndex("c:\\", IconState::kNormal, nullptr);
    for (std::int32_t index = 0; index < list.iconCount(); ++index)
        EXPECT_FALSE(list.icon(index).isNull()) << list.iconKey(index);
    EXPECT_TRUE(list.icon(-1).isNull());
    EXPECT_TRUE(list.icon(list.iconCount()).isNull());

    bool nullOnWorker = false;
    std::thread worker([&] { nullOnWorker = list.icon(0).isNull(); });
    worker.join();
    EXPECT_TRUE(nullOnWorker);
}

TEST_F(ImageListTest, LookUpsFromManyThreadsAgree)
{
    const std::vector<std::string> names = {"a.txt", "b.cpp", "c.html", "d.png", "e.pdf", "f.zip", "g.qqq"};
    constexpr int kThreads = 4;
    std::vector<std::vector<std::int32_t>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                for (std::size_t i = 0; i < names.size(); ++i) {
                    const std::size_t n = (i + static_cast<std::size_t>(t)) % names.size();
                    const std::int32_t index = list.fileIconIndex(names[n], 0, IconState::kNormal, nullptr);
                    if (round == 0)
                        seen[t].push_back(index);
                    else if (seen[t][i] != index)
                        seen[t][i] = -100;
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::size_t n = (i + static_cast<std::size_t>(t)) % names.size();
            EXPECT_EQ(seen[t][i], list.fileIconIndex(names[n], 0, IconState::kNormal, nullptr)) << names[n];
        }
    }
    // Each type registered once: 3 built-in icons + 6 types (the unknown type is index 0).
    EXPECT_EQ(list.iconCount(), 3 + 6);
}

class CountingIcons : public IconService
{
public:
    std::int32_t fileIconIndex(std::string_view, std::uint32_t, IconState, std::string* typeName) override
    {
        ++fileCalls;
        if (typeName)
            *typeName = "counted";
        return 7;
    }
    std::int32_t pathIconIndex(std::string_view, IconState, std::string*) override { return 8; }
    std::int32_t folderIconIndex(IconState) override { return 9; }
    std::int32_t networkIconIndex() override { return 10; }
    QIcon icon(std::int32_t) override { return QIcon(); }
    std::int32_t iconCount() override { return 11; }

    int fileCalls = 0;
};

TEST(IconService, AnInstalledServiceAnswersTheLookUps)
{
    CountingIcons fake;
    {
        ScopedIconService scope(fake);
        std::string type;
        EXPECT_EQ(fileIconIndex("a.txt", 0, IconState::kNormal, &type), 7);
        EXPECT_EQ(type, "counted");
        EXPECT_EQ(pathIconIndex("c:\\a.txt"), 8);
        EXPECT_EQ(folderIconIndex(), 9);
        EXPECT_EQ(fake.fileCalls, 1);
    }
    EXPECT_NE(&iconService(), &fake);
    EXPECT_GT(folderIconIndex(), 0);
}

} // namespace
} // namespace wux::platform::shell
