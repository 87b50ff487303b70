#include "engines/search_thread.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <QEventLoop>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/text_table.h"
#include "filelist/active_panel.h"
#include "filelist/browser_state.h"
#include "filelist/general_options.h"
#include "filelist/list_builder.h"
#include "filelist/list_operations.h"
#include "platform/text.h"
#include "support/deep_tree.h"
#include "support/file_builders.h"
#include "support/leftovers.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

using filelist::StateAccess;
using filelist::TBrowserItem;
using filelist::TstateOfBrowser;
using test::createFile;
using test::makeFolder;

// The results window as a test double: what the user would see in its status line and grid.
class FakeResultsView : public IFinderResultsView
{
public:
    void ShowStatusText(const std::string& text) override
    {
        EXPECT_TRUE(platform::isGuiThread());
        statusTexts.push_back(text);
        if (onStatus)
            onStatus(text);
    }
    bool FullView() const override { return fullView; }
    void SetResultRowCount(std::int32_t rows) override
    {
        EXPECT_TRUE(platform::isGuiThread());
        rowCounts.push_back(rows);
        gridRows = rows == 0 ? 3 : rows;
        if (onRows)
            onRows(rows);
    }

    bool fullView = true;
    std::vector<std::string> statusTexts;
    std::vector<std::int32_t> rowCounts;
    std::int32_t gridRows = -1;
    std::function<void(const std::string&)> onStatus;
    std::function<void(std::int32_t)> onRows;
};

// The operation cursor's active panel.
class FakePanel : public filelist::IBrowserPanel
{
public:
    explicit FakePanel(TstateOfBrowser& listing) : listing_(listing) {}
    std::int32_t ViewMode() const override { return filelist::kViewBrief; }
    TstateOfBrowser& Listing() override { return listing_; }
    TstateOfBrowser& BasketView() override { return filelist::LeftBasketState; }
    void SelectCursorItem(std::int32_t) override {}
    void Repaint() override {}
    std::string MainCaption() const override { return "Wuxtool"; }

private:
    TstateOfBrowser& listing_;
};

std::string utf16le(std::string_view utf8)
{
    std::string bytes;
    for (char16_t c : platform::utf8ToUtf16(utf8)) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

class FinderTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        savedOptions_ = filelist::GeneralCheckContainer.load();
        filelist::GeneralCheckContainer = filelist::kDefaultGeneralCheckContainer;
    }

    void TearDown() override
    {
        if (FinderStore.text != nullptr) {
            filelist::EndFlatView(FinderStore);
            filelist::FreeBrowserState(FinderStore);
        }
        FinderStore = TstateOfBrowser();
        ResultListState = nullptr;
        filelist::SetActivePanelSource(nullptr);
        filelist::GeneralCheckContainer = savedOptions_;
    }

    // The Finder window's preparation of the store.
    void createStore(const std::string& masks)
    {
        filelist::CreateBrowserState(FinderStore, 10, 300, masks, 10000);
        FinderStore.mode = 2;
        ResultListState = &FinderStore;
    }

    void run(TFinder& finder)
    {
        finder.view = &view;
        QEventLoop loop;
        finder.OnTerminate = [&](platform::WuxThread&) {
            EXPECT_TRUE(finder.finished);
            loop.quit();
        };
        finder.Start();
        loop.exec();
        finder.WaitFor();
        EXPECT_FALSE(finder.failed()) << finder.failureMessage();
    }

    void freeStore()
    {
        filelist::FreeBrowserState(FinderStore);
        FinderStore = TstateOfBrowser();
    }

    // Runs a finder over the paths with the masks (prepare sets it up further); the store stays.
    void find(const std::vector<std::string>& paths, const std::string& masks,
              const std::function<void(TFinder&)>& prepare = {})
    {
        createStore(masks);
        TFinder finder;
        finder.pathList = &paths;
        if (prepare)
            prepare(finder);
        run(finder);
    }

    // Searches folders with a content text; returns the hits.
    std::vector<std::string> searchText(const std::vector<std::string>& paths, std::string_view text,
                                        bool caseSensitive, bool phrase, bool all, std::size_t blockSize = 0)
    {
        createStore("*.*");
        TFinder finder;
        finder.pathList = &paths;
        finder.PrepareTextSearch(text, caseSensitive, phrase);
        finder.allTerms = all;
        if (blockSize)
            finder.setReadBlockSize(blockSize);
        run(finder);
        std::vector<std::string> found = hits();
        freeStore();
        return found;
    }

    // Every item of the store as "folder\name", sorted.
    std::vector<std::string> hits()
    {
        std::vector<std::string> result;
        StateAccess access(FinderStore);
        for (std::int32_t folder = 1; folder <= FinderStore.folderCount; ++folder)
            for (std::int32_t position = 1; position <= access.Folder(folder).count; ++position) {
                const TBrowserItem* item = access.ItemAt(folder, position);
                result.push_back(std::string(access.Path(access.Folder(folder))) + "\\" +
                                 std::string(access.Name(*item)));
            }
        std::sort(result.begin(), result.end());
        return result;
    }

    // The names of a folder of the store in display order.
    std::vector<std::string> folderNames(std::int32_t folder)
    {
        return filelist::test::namesOf(FinderStore, folder);
    }

    // A tree of many small folders with hits spread over them (below).
    std::vector<std::string> buildForest(const std::string& top, std::vector<std::string>& needles);

    FakeResultsView view;

private:
    std::uint32_t savedOptions_ = 0;
};

// ---- Patterns ----

TEST_F(FinderTest, PatternsOfTermsInThreeEncodings)
{
    TFinder finder;
    EXPECT_FALSE(finder.PrepareTextSearch("", false, false));
    EXPECT_FALSE(finder.PrepareTextSearch("   ", false, false));
    EXPECT_FALSE(finder.hasPatterns);
    ASSERT_TRUE(finder.PrepareTextSearch(" foo  bAr ", false, false));
    EXPECT_EQ(finder.patternCount, 6);
    EXPECT_TRUE(finder.ignoreCase);
    ASSERT_TRUE(finder.PrepareTextSearch("a b", true, true));
    EXPECT_EQ(finder.patternCount, 3);
    EXPECT_FALSE(finder.ignoreCase);
    // Layout: length, kind, offset of the first form; the forms follow.
    const std::vector<std::uint8_t> bytes = [&] {
        platform::MovableLock lock(finder.patternBlock);
        const auto* data = lock.as<const std::uint8_t>();
        return std::vector<std::uint8_t>(data, data + platform::movableSize(finder.patternBlock));
    }();
    const std::string expected = std::string("\x03\0\0\0\0\0\0\0\x0c\0\0\0a ba b", 18) +
                                 std::string("\x06\0\0\0\x01\0\0\0\x1e\0\0\0", 12) + utf16le("a b") +
                                 utf16le("a b") + std::string("\x03\0\0\0\x02\0\0\0\x36\0\0\0a ba b", 18);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
}

// ---- Masks, folders, filters ----

TEST_F(FinderTest, FoldersByMasksWithAndWithoutRecursion)
{
    createFile(path("t\\a.txt"), "1");
    createFile(path("t\\b.log"), "2");
    createFile(path("t\\sub\\c.txt"), "3");
    createFile(path("t\\sub\\deep\\d.TXT"), "4");
    makeFolder(path("t\\empty"));
    const std::vector<std::string> paths = {path("t\\")};
    find(paths, "*.txt");
    EXPECT_EQ(hits(), (std::vector<std::string>{path("t\\a.txt"), path("t\\sub\\c.txt"),
                                                path("t\\sub\\deep\\d.TXT")}));
    EXPECT_EQ(FinderStore.folderCount, 3);
    EXPECT_EQ(view.statusTexts.back(), "3 files in finder");
    EXPECT_EQ(view.rowCounts.back(), 6);                         // items and one header row per folder
    EXPECT_EQ(view.statusTexts.front().rfind(path("t"), 0), 0u); // a path in hand
    freeStore();
    view = FakeResultsView();
    view.fullView = false;
    find(paths, "*.txt", [](TFinder& finder) { finder.recurse = false; });
    EXPECT_EQ(hits(), (std::vector<std::string>{path("t\\a.txt")}));
    EXPECT_EQ(view.rowCounts.back(), 1);
}

TEST_F(FinderTest, StatusLineShowsPathsOfTheRunAndEndsWithTheCount)
{
    std::vector<std::string> tested;
    for (int i = 0; i < 40; ++i)
        createFile(path("t\\f" + std::to_string(i) + ".txt"), i % 3 == 0 ? "a needle" : "hay");
    createFile(path("t\\sub\\z.txt"), "needle");
    find({path("t")}, "*.txt",
         [](TFinder& finder) { ASSERT_TRUE(finder.PrepareTextSearch("needle", false, false)); });
    EXPECT_EQ(hits().size(), 15u);
    ASSERT_GE(view.statusTexts.size(), 2u);
    EXPECT_EQ(view.statusTexts.back(), "15 files in finder");
    // Before the count the status line showed paths of the run (the first one at once; newer
    // ones take the place of those still waiting), and nothing after it.
    for (std::size_t i = 0; i + 1 < view.statusTexts.size(); ++i)
        EXPECT_EQ(view.statusTexts[i].rfind(path("t"), 0), 0u) << view.statusTexts[i];
    const std::size_t shown = view.statusTexts.size();
    QTest::qWait(100);
    EXPECT_EQ(view.statusTexts.size(), shown);
}

TEST_F(FinderTest, NothingFoundGivesAnEmptyGridOfThreeRows)
{
    makeFolder(path("t"));
    find({path("t"), path("missing")}, "*.*");
    EXPECT_TRUE(hits().empty());
    EXPECT_EQ(view.statusTexts.back(), "0 files in finder");
    EXPECT_EQ(view.rowCounts.back(), 0);
    EXPECT_EQ(view.gridRows, 3);
}

TEST_F(FinderTest, FiltersOfSizeAndAttributes)
{
    createFile(path("t\\small.txt"), "12");
    createFile(path("t\\large.txt"), "123456");
    makeFolder(path("t\\dir"));
    const std::vector<std::string> paths = {path("t")};
    find(paths, "*.*", [](TFinder& finder) {
        FinderStore.filter.enabled = 1;
        FinderStore.filter.sizeTest = 3 + 4; // larger than, in bytes
        FinderStore.filter.size = 3;
        FinderStore.filter.attributesAbsent = filelist::kDirectoryAttribute;
        finder.recurse = false;
    });
    EXPECT_EQ(hits(), (std::vector<std::string>{path("t\\large.txt")}));
    freeStore();
    // The same with a text that both files hold: the filter decides before the content test.
    find(paths, "*.*", [](TFinder& finder) {
        FinderStore.filter.enabled = 1;
        FinderStore.filter.sizeTest = 3 + 4;
        FinderStore.filter.size = 3;
        ASSERT_TRUE(finder.PrepareTextSearch("2", false, false));
    });
    EXPECT_EQ(hits(), (std::vector<std::string>{path("t\\large.txt")}));
    freeStore();
    // A checked Directory box finds only folders.
    find(paths, "*.*", [](TFinder&) {
        FinderStore.filter.enabled = 1;
        FinderStore.filter.attributesPresent = filelist::kDirectoryAttribute;
    });
    EXPECT_EQ(hits(), (std::vector<std::string>{path("t\\dir")}));
}

// ---- Content ----

TEST_F(FinderTest, ContentInEachEncodingWithOrAndPhrase)
{
    createFile(path("c\\ansi.txt"), "hello foo world");
    createFile(path("c\\wide.txt"), utf16le("say bar now"));
    createFile(path("c\\both.txt"), "foo and bar");
    createFile(path("c\\mixed.txt"), "foo " + utf16le("bar"));
    createFile(path("c\\phrase.txt"), "a foo  bar b");
    createFile(path("c\\none.txt"), "nothing");
    createFile(path("c\\empty.txt"), "");
    makeFolder(path("c\\foo"));
    const std::vector<std::string> paths = {path("c")};
    auto in = [&](std::vector<std::string> names) {
        for (std::string& name : names)
            name = path("c\\" + name);
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(searchText(paths, "foo  bar", false, false, false),
              in({"ansi.txt", "wide.txt", "both.txt", "mixed.txt", "phrase.txt"}));
    EXPECT_EQ(searchText(paths, "foo  bar", false, false, true), in({"both.txt", "phrase.txt"}));
    EXPECT_EQ(searchText(paths, "foo  bar", false, true, false), in({"phrase.txt"}));
    // No term: no content test, every entry passing the other tests is listed (the folder too).
    EXPECT_EQ(searchText(paths, "   ", false, false, false).size(), 8u);
}

TEST_F(FinderTest, IgnoringCaseFindsEveryEncodingAndCaseSensitiveDoesNot)
{
    createFile(path("e\\ansi.txt"), "xx aBc yy");
    createFile(path("e\\wide.txt"), utf16le("xx AbC yy"));
    createFile(path("e\\utf8.txt"), "caf\xc3\xa9 ABC");
    createFile(path("e\\wideaccent.txt"), utf16le("\xc3\xa9t\xc3\xa9"));
    const std::vector<std::string> paths = {path("e")};
    EXPECT_EQ(searchText(paths, "abc", false, false, false).size(), 3u);
    EXPECT_EQ(searchText(paths, "abc", true, false, false), std::vector<std::string>{});
    EXPECT_EQ(searchText(paths, "aBc", true, false, false), (std::vector<std::string>{path("e\\ansi.txt")}));
    // A non-ASCII term in its 8-bit (UTF-8) form and as UTF-16.
    EXPECT_EQ(searchText(paths, "\xc3\xa9", true, false, false),
              (std::vector<std::string>{path("e\\utf8.txt"), path("e\\wideaccent.txt")}));
}

// Ignoring case, every letter of the term matches in each of its case forms, whatever their byte
// lengths, in UTF-8 and in UTF-16 files, also across read blocks of any size.
TEST_F(FinderTest, IgnoringCaseTakesEveryLetterInEachCaseForm)
{
    createFile(path("u\\lower.txt"), "xx \xC3\xA9t\xC3\xA9 yy");               // été
    createFile(path("u\\upper.txt"), "\xC3\x89T\xC3\x89");                     // ÉTÉ
    createFile(path("u\\wide.txt"), utf16le("a \xC3\x89t\xC3\xA9 b"));         // Été as UTF-16
    createFile(path("u\\plain.txt"), "ete ETE");
    createFile(path("u\\near.txt"), "\xC3\xA9te \xC3\x89T");                     // "éte ÉT"
    const std::vector<std::string> paths = {path("u")};
    auto in = [&](const std::string& folder, std::vector<std::string> names) {
        for (std::string& name : names)
            name = path(folder + "\\" + name);
        std::sort(names.begin(), names.end());
        return names;
    };
    for (std::size_t block : {0u, 1u, 2u, 3u}) {
        SCOPED_TRACE(block);
        EXPECT_EQ(searchText(paths, "\xC3\x89t\xC3\xA9", false, false, false, block),
                  in("u", {"lower.txt", "upper.txt", "wide.txt"}));
        EXPECT_EQ(searchText(paths, "\xC3\x89t\xC3\xA9", true, false, false, block), in("u", {"wide.txt"}));
    }

    // Case forms of other byte lengths: "ẞ" (3 bytes in UTF-8) folds to "ß" (2); the Kelvin sign
    // (3 bytes; one UTF-16 unit 0x212A) is a form of "k"; "ſ" (2 bytes) of "s". Dotless "ı" stays apart
    // from "I" (simple case folding).
    createFile(path("v\\sharp.txt"), "STRA\xE1\xBA\x9E" "E");
    createFile(path("v\\kelvin.txt"), "\xE2\x84\xAA" "m/h");
    createFile(path("v\\widekelvin.txt"), utf16le("\xE2\x84\xAA" "M/H"));
    createFile(path("v\\longs.txt"), "ma\xC3\x9F und Stra\xC5\xBF" "se");
    createFile(path("v\\dotless.txt"), "\xC4\xB1");
    createFile(path("v\\capital.txt"), "I");
    const std::vector<std::string> more = {path("v")};
    for (std::size_t block : {0u, 1u, 2u}) {
        SCOPED_TRACE(block);
        EXPECT_EQ(searchText(more, "stra\xC3\x9F" "e", false, false, false, block), in("v", {"sharp.txt"}));
        EXPECT_EQ(searchText(more, "km/h", false, false, false, block),
                  in("v", {"kelvin.txt", "widekelvin.txt"}));
        EXPECT_EQ(searchText(more, "STRASSE", false, false, false, block), in("v", {"longs.txt"}));
        EXPECT_EQ(searchText(more, "\xC4\xB1", false, false, false, block), in("v", {"dotless.txt"}));
        // AND: both terms in one encoding, one of them only through a form of another length.
        EXPECT_EQ(searchText(more, "\xE2\x84\xAA" "M/ H", false, false, true, block),
                  in("v", {"kelvin.txt", "widekelvin.txt"}));
    }
}

// Files read on several threads give the store of a run that reads them one after the other: the same
// hits, folders and order, in every encoding and across read blocks.
TEST_F(FinderTest, SeveralReadingThreadsGiveTheSameStore)
{
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < 30; ++i) {
            const std::string name = "m\\d" + std::to_string(f) + "\\" + std::string(1, char('z' - i % 26)) +
                                     std::to_string(i) + ".txt";
            std::string content = std::string(static_cast<std::size_t>(i * 37), 'x');
            if (i % 3 == 0)
                content += "Needle";
            else if (i % 7 == 0)
                content = utf16le(content + " nEEDLE ");
            else
                content += "needl";
            createFile(path(name), content);
        }
    }
    const std::vector<std::string> paths = {path("m")};
    std::vector<std::vector<std::string>> stores;
    for (std::size_t threads : {1u, 4u}) {
        for (std::size_t block : {0u, 5u}) {
            find(paths, "*.*", [&](TFinder& finder) {
                ASSERT_TRUE(finder.PrepareTextSearch("needle", false, false));
                finder.setContentThreads(threads);
                if (block)
                    finder.setReadBlockSize(block);
            });
            std::vector<std::string> store;
            for (std::int32_t folder = 1; folder <= FinderStore.folderCount; ++folder)
                for (const std::string& name : folderNames(folder))
                    store.push_back(std::to_string(folder) + ":" + name);
            stores.push_back(store);
            freeStore();
        }
    }
    ASSERT_EQ(stores[0].size(), 3u * 13u); // i % 3 == 0 (10) and i % 7 == 0 but not % 3 (3) per folder
    for (const auto& store : stores)
        EXPECT_EQ(store, stores[0]);
}

// A tree of many small folders (more than the walk lists ahead) with hits spread over them: 1 + 9 + 90
// folders and a few deeper ones, some without a hit, each with a few files. Returns the folders in the
// order of a depth-first walk that takes sub-folders in listing order.
std::vector<std::string> FinderTest::buildForest(const std::string& top, std::vector<std::string>& needles)
{
    auto files = [&](const std::string& folder, int seed) {
        for (int k = 0; k < 4; ++k) {
            const std::string name = folder + "\\f" + std::to_string(k) + (k == 3 ? ".log" : ".txt");
            const bool hit = (seed + k) % 3 == 0;
            std::string content = std::string(static_cast<std::size_t>(seed % 7 * 11 + k), 'x');
            if (hit)
                content += k == 1 ? utf16le(" NeedLe ") : " needle ";
            createFile(path(name), content);
            if (hit)
                needles.push_back(path(name));
        }
    };
    files(top, 5);
    for (int i = 0; i < 9; ++i) {
        const std::string d = top + "\\d" + std::to_string(i);
        files(d, i);
        for (int j = 0; j < 10; ++j) {
            const std::string sub = d + "\\s" + std::to_string(j);
            if (j == 9) {
                makeFolder(path(sub)); // nothing in it
                continue;
            }
            files(sub, i * 10 + j);
            if (j % 4 == 0)
                files(sub + "\\deep", i + j + 1);
        }
    }
    std::sort(needles.begin(), needles.end());
    std::vector<std::string> walk;
    const std::function<void(const std::string&)> visit = [&](const std::string& folder) {
        walk.push_back(folder);
        for (const auto& entry : std::filesystem::directory_iterator(posix(folder.substr(3))))
            if (entry.is_directory())
                visit(folder + "\\" + entry.path().filename().string());
    };
    visit(path(top));
    return walk;
}

// Every folder of the store by its number (the order the walk took them), with its items in display
// order (name, size, attributes, time), and the display order of the folders.
std::vector<std::string> storeLines()
{
    std::vector<std::string> lines;
    StateAccess access(FinderStore);
    for (std::int32_t folder = 1; folder <= FinderStore.folderCount; ++folder) {
        lines.push_back("folder " + std::string(access.Path(access.Folder(folder))) + " at " +
                        std::to_string(access.folderOrder[folder - 1]));
        for (std::int32_t position = 1; position <= access.Folder(folder).count; ++position) {
            const TBrowserItem* item = access.ItemAt(folder, position);
            lines.push_back(std::string(access.Name(*item)) + " " + std::to_string(item->size) + " " +
                            std::to_string(item->attributes) + " " + std::to_string(item->lastWrite));
        }
    }
    return lines;
}

// Many small folders on any number of threads give the store of one thread: the folders in the walk's
// order, the same items in the same order, the same closing text and row count; by name, by content
// and for duplicates. The row counts shown meanwhile only grow and end with the closing one.
TEST_F(FinderTest, ManySmallFoldersGiveTheStoreOfOneThreadOnAnyNumberOfThreads)
{
    std::vector<std::string> needles;
    const std::vector<std::string> walk = buildForest("w", needles);
    ASSERT_EQ(walk.size(), 1u + 9u + 90u + 27u);
    const std::vector<std::string> paths = {path("w")};
    enum Kind { kByName, kByContent, kDuplicates };
    for (const Kind kind : {kByName, kByContent, kDuplicates}) {
        std::vector<std::string> first;
        std::string firstStatus;
        // (threads, folders listed ahead): 0 ahead is the default; 1 and 2 keep the look-ahead full.
        const std::pair<std::size_t, std::size_t> runs[] = {{1, 0}, {2, 0}, {3, 0}, {8, 0}, {8, 1}, {3, 2}};
        for (const auto& [threads, ahead] : runs) {
            SCOPED_TRACE("kind " + std::to_string(kind) + ", threads " + std::to_string(threads) + ", ahead " +
                         std::to_string(ahead));
            view = FakeResultsView();
            find(paths, kind == kByContent ? "*.*" : "*.txt", [&](TFinder& finder) {
                finder.setContentThreads(threads);
                finder.setFoldersAhead(ahead);
                if (kind == kByContent) {
                    ASSERT_TRUE(finder.PrepareTextSearch("needle", false, false));
                }
                if (kind == kDuplicates) {
                    FinderStore.filter.findDuplicates = 1;
                    FinderStore.filter.duplicateMode = 3;
                }
            });
            const std::vector<std::string> lines = storeLines();
            if (kind == kByContent) {
                EXPECT_EQ(hits(), needles);
            }
            if (kind == kByName) {
                // Folders by number: the walk's order, every folder with a file of the mask (all of
                // them but the empty ones).
                std::vector<std::string> taken;
                for (const std::string& folder : walk)
                    if (folder.substr(folder.size() - 3) != "\\s9")
                        taken.push_back(folder);
                StateAccess access(FinderStore);
                std::vector<std::string> numbered;
                for (std::int32_t folder = 1; folder <= FinderStore.folderCount; ++folder)
                    numbered.emplace_back(access.Path(access.Folder(folder)));
                EXPECT_EQ(numbered, taken);
            }
            ASSERT_FALSE(view.statusTexts.empty());
            const std::string status = view.statusTexts.back();
            if (kind != kDuplicates) {
                EXPECT_EQ(status, std::to_string(FinderStore.fileCount) + " files in finder");
                EXPECT_EQ(view.rowCounts.back(), FinderStore.itemCount + FinderStore.folderCount);
                EXPECT_TRUE(std::is_sorted(view.rowCounts.begin(), view.rowCounts.end()));
            }
            if (threads == 1 && ahead == 0) {
                first = lines;
                firstStatus = status;
                EXPECT_GT(lines.size(), 100u);
            } else {
                EXPECT_EQ(lines, first);
                EXPECT_EQ(status, firstStatus);
            }
            if (kind == kDuplicates)
                filelist::EndFlatView(FinderStore);
            freeStore();
        }
    }
}

// A stop in the middle of a walk on several threads leaves the start of the whole run's store: the
// folders taken so far in the same order with the same items (the last one may lack the hits its
// content tests did not reach), and a closing count and row count that match it.
TEST_F(FinderTest, AStopMidWalkLeavesTheStartOfTheWholeRunsStore)
{
    std::vector<std::string> needles;
    buildForest("w", needles);
    const std::vector<std::string> paths = {path("w")};
    for (const bool content : {false, true}) {
        auto prepare = [&](TFinder& finder) {
            finder.setContentThreads(4);
            if (content) {
                ASSERT_TRUE(finder.PrepareTextSearch("needle", false, false));
            }
        };
        find(paths, "*.txt", prepare);
        std::vector<std::vector<std::string>> whole;
        for (std::int32_t folder = 1; folder <= FinderStore.folderCount; ++folder)
            whole.push_back(folderNames(folder));
        std::vector<std::string> wholePaths;
        {
            StateAccess access(FinderStore);
            for (std::int32_t folder = 1; folder <= FinderStore.folderCount; ++folder)
                wholePaths.emplace_back(access.Path(access.Folder(folder)));
        }
        freeStore();
        for (const int stopAt : {1, 3, 12}) {
            SCOPED_TRACE(std::string(content ? "content, " : "name, ") + "stop at listing " +
                         std::to_string(stopAt));
            view = FakeResultsView();
            std::atomic<int> listings{0};
            find(paths, "*.txt", [&](TFinder& finder) {
                prepare(finder);
                finder.setBeforeListing([&](const std::string&) {
                    if (++listings == stopAt)
                        finder.Terminate();
                });
            });
            const std::int32_t folders = FinderStore.folderCount;
            EXPECT_LE(folders, stopAt + 4); // at most the folders listed before the stop was seen
            ASSERT_LT(static_cast<std::size_t>(folders), whole.size());
            StateAccess access(FinderStore);
            std::int32_t files = 0;
            for (std::int32_t folder = 1; folder <= folders; ++folder) {
                EXPECT_EQ(std::string(access.Path(access.Folder(folder))), wholePaths[folder - 1]);
                const std::vector<std::string> names = folderNames(folder);
                files += static_cast<std::int32_t>(names.size());
                const std::vector<std::string>& all = whole[static_cast<std::size_t>(folder - 1)];
                if (folder < folders)
                    EXPECT_EQ(names, all);
                else
                    EXPECT_TRUE(std::includes(all.begin(), all.end(), names.begin(), names.end()));
            }
            EXPECT_EQ(FinderStore.itemCount, files);
            EXPECT_EQ(view.statusTexts.back(), std::to_string(files) + " files in finder");
            EXPECT_EQ(view.rowCounts.back(), files + folders);
            freeStore();
        }
    }
}

// A content search takes the status of its hits from the files it opens: each hit shows the size,
// time and attributes that a search by name shows for it (read-only, hidden, a link), and a file the
// program is still writing under a temporary name stays out of both, as it does of every listing.
TEST_F(FinderTest, ContentHitsShowTheStatusThatTheListingShows)
{
    filelist::GeneralCheckContainer = filelist::GeneralCheckContainer | filelist::kOptionShowHidden;
    createFile(path("h\\plain.txt"), "a needle");
    createFile(path("h\\readonly.txt"), "needle, read only");
    createFile(path("h\\.hidden.txt"), "hidden needle");
    createFile(path("h\\miss.txt"), "hay");
    wux::test::makeLeftoverTemporary(path("h\\draft.txt"), "needle being written");
    std::filesystem::permissions(posix("h/readonly.txt"), std::filesystem::perms::owner_read);
    std::filesystem::last_write_time(posix("h/plain.txt"),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(50));
    std::filesystem::create_symlink(posix("h/plain.txt"), posix("h/link.txt"));
    const std::vector<std::string> paths = {path("h")};
    find(paths, "*.*");
    std::vector<std::string> byName = storeLines();
    freeStore();
    byName.erase(std::remove_if(byName.begin(), byName.end(),
                                [](const std::string& line) { return line.rfind("miss.txt ", 0) == 0; }),
                 byName.end());
    ASSERT_EQ(byName.size(), 5u); // the folder and four files
    for (const std::size_t threads : {1u, 3u}) {
        find(paths, "*.*", [&](TFinder& finder) {
            finder.setContentThreads(threads);
            ASSERT_TRUE(finder.PrepareTextSearch("needle", false, false));
        });
        EXPECT_EQ(storeLines(), byName);
        const std::vector<std::string> names = folderNames(1);
        EXPECT_EQ(std::count_if(names.begin(), names.end(),
                                [](const std::string& name) { return name.starts_with(".draft.txt.wux"); }),
                  0);
        StateAccess access(FinderStore);
        for (std::int32_t position = 1; position <= access.Folder(1).count; ++position) {
            const TBrowserItem& item = *access.ItemAt(1, position);
            const std::string name(access.Name(item));
            EXPECT_EQ((item.attributes & platform::kAttrReadOnly) != 0, name == "readonly.txt") << name;
            EXPECT_EQ((item.attributes & platform::kAttrHidden) != 0, name == ".hidden.txt") << name;
            EXPECT_EQ((item.attributes & platform::kAttrReparsePoint) != 0, name == "link.txt") << name;
        }
        freeStore();
    }
}

TEST_F(FinderTest, OverlappingStartsAndMatchesAcrossBlocks)
{
    createFile(path("o\\overlap.txt"), "xaaab");
    createFile(path("o\\span.bin"), std::string(0x40000, 'a') + "b");
    createFile(path("o\\miss.bin"), std::string(0x40000, 'a') + "c");
    const std::vector<std::string> paths = {path("o")};
    const std::vector<std::string> expected = {path("o\\overlap.txt"), path("o\\span.bin")};
    EXPECT_EQ(searchText(paths, "aab", true, false, false), expected);
    // Small read blocks: every match spans blocks.
    createFile(path("p\\one.txt"), "xaaab");
    createFile(path("p\\two.txt"), "aaaaaab");
    createFile(path("p\\none.txt"), "aaba aa ab");
    const std::vector<std::string> small = {path("p")};
    const std::vector<std::string> smallExpected = {path("p\\one.txt"), path("p\\two.txt")};
    for (std::size_t block : {1u, 2u, 3u})
        EXPECT_EQ(searchText(small, "aaab", true, false, false, block), smallExpected) << block;
    EXPECT_EQ(searchText(small, "aaab ab", true, false, true, 2), smallExpected);
}

TEST_F(FinderTest, RareFirstBytesAfterLongRunsOfOtherBytesAcrossBlocks)
{
    const std::string fill(5000, 'x');
    createFile(path("r\\span.txt"), fill + "quark" + fill);
    createFile(path("r\\restart.txt"), fill + "qqua" + fill + "qquark");
    createFile(path("r\\end.txt"), fill + "quark");
    createFile(path("r\\cut.txt"), fill + "quar");
    createFile(path("r\\upper.txt"), fill + "QuArK" + fill);
    createFile(path("r\\wide.txt"), utf16le(fill + "QUARK" + fill));
    createFile(path("r\\apart.txt"), fill + "q" + fill + "uark");
    // The term at every offset of two sixteen-byte chunks.
    std::vector<std::string> shifted;
    for (int k = 0; k < 34; ++k) {
        shifted.push_back("shift" + std::to_string(k) + ".txt");
        createFile(path("r\\" + shifted.back()), fill + std::string(k, 'x') + "qUark" + fill);
    }
    const std::vector<std::string> paths = {path("r")};
    auto in = [&](std::vector<std::string> names) {
        for (std::string& name : names)
            name = path("r\\" + name);
        std::sort(names.begin(), names.end());
        return names;
    };
    for (std::size_t block :
         {std::size_t{1}, std::size_t{4}, std::size_t{4999}, std::size_t{5002}, std::size_t{0x40000}}) {
        SCOPED_TRACE(block);
        // One byte begins every form: the scan jumps straight to it.
        EXPECT_EQ(searchText(paths, "quark", true, false, false, block),
                  in({"span.txt", "restart.txt", "end.txt"}));
        // Both cases begin a form: the scan jumps to either.
        EXPECT_EQ(searchText(paths, "quark", false, false, false, block), in([&] {
                      std::vector<std::string> names = {"span.txt", "restart.txt", "end.txt", "upper.txt",
                                                        "wide.txt"};
                      names.insert(names.end(), shifted.begin(), shifted.end());
                      return names;
                  }()));
        // A term that begins with a byte of the filler, and an AND with a second rare term.
        EXPECT_EQ(searchText(paths, "xquark", true, false, false, block), in({"span.txt", "end.txt"}));
        EXPECT_EQ(searchText(paths, "QUARK qqu", false, false, true, block), in({"restart.txt"}));
        // A one-letter term (no second byte to look at) in either case.
        EXPECT_EQ(searchText(paths, "K", false, false, false, block).size(),
                  6u + shifted.size()); // all but cut.txt
    }
}

TEST_F(FinderTest, StopKeepsTheHitsSoFarAndEndsAContentTestAtTheNextBlock)
{
    createFile(path("s\\a.txt"), "needle");
    createFile(path("s\\sub\\big.txt"), std::string(0x50000, 'x') + "needle");
    createFile(path("s\\sub\\deeper\\c.txt"), "needle");
    const std::vector<std::string> paths = {path("s")};
    find(paths, "*.*", [this](TFinder& finder) {
        finder.PrepareTextSearch("needle", false, false);
        // One thread: the first folder is in the store before the second is listed.
        finder.setContentThreads(1);
        finder.setBeforeListing([this, &finder](const std::string& folder) {
            if (folder == path("s\\sub"))
                finder.Terminate();
        });
    });
    EXPECT_EQ(hits(), (std::vector<std::string>{path("s\\a.txt")}));
    EXPECT_EQ(view.statusTexts.back(), "1 files in finder");

    // A stop request ends a content test before its next block.
    TFinder stopped;
    ASSERT_TRUE(stopped.PrepareTextSearch("needle", false, false));
    EXPECT_TRUE(stopped.FileContainsText(path("s\\a.txt")));
    stopped.Terminate();
    EXPECT_FALSE(stopped.FileContainsText(path("s\\a.txt")));
}

// ---- Selection ----

TEST_F(FinderTest, SelectionModeSearchesFoldersThenSkipsCoveredFilesThenChecksTheRest)
{
    createFile(path("s\\d\\x.txt"), "x");
    createFile(path("s\\d\\y.log"), "y");
    createFile(path("s\\top.txt"), "t");
    createFile(path("s\\other.log"), "o");
    TstateOfBrowser listing;
    filelist::test::ListGuard guard{listing};
    filelist::CreateBrowserState(listing, 4, 10, "*.*", 1000);
    using filelist::test::dir;
    using filelist::test::file;
    filelist::test::addFolder(listing, path("s"), {dir("d"), file("top.txt", 1), file("other.log", 1)});
    const std::int32_t inner = filelist::test::addFolder(listing, path("s\\d"), {file("x.txt", 1)}, 2);
    filelist::test::setFlags(listing, "d", filelist::kMarkOwn);
    filelist::test::setFlags(listing, "top.txt", filelist::kMarkOwn);
    filelist::test::setFlags(listing, "other.log", filelist::kMarkOwn);
    filelist::test::setFlags(listing, "x.txt", filelist::kMarkOwn, inner);
    FakePanel panel(listing);
    filelist::SetActivePanelSource([&panel]() -> filelist::IBrowserPanel* { return &panel; });

    createStore("*.txt");
    TFinder finder;
    run(finder);
    EXPECT_EQ(hits(), (std::vector<std::string>{path("s\\d\\x.txt"), path("s\\top.txt")}));
    EXPECT_EQ(view.statusTexts.back(), "2 files in finder");
    // Every entry reached is unselected; the list is handed back.
    StateAccess access(listing);
    for (std::int32_t i = 0; i < listing.itemCount; ++i)
        EXPECT_EQ(access.items[i].flags & filelist::kMarkOwn, 0u) << access.Name(access.items[i]);
    EXPECT_EQ(listing.busy, 0);
}

TEST_F(FinderTest, SelectionModeWithoutAnActivePanelFindsNothing)
{
    createStore("*.*");
    TFinder finder;
    run(finder);
    EXPECT_TRUE(hits().empty());
    EXPECT_EQ(view.statusTexts.back(), "0 files in finder");
}

// ---- Duplicates ----

TEST_F(FinderTest, DuplicatesByNameBySizeAndByBoth)
{
    createFile(path("u\\a\\same.txt"), "abc");
    createFile(path("u\\b\\same.txt"), "abc");
    createFile(path("u\\b\\other.txt"), "xyz");
    createFile(path("u\\c\\unique.txt"), "12345");
    createFile(path("u\\c\\SAME.txt"), "1234");
    const struct
    {
        std::uint32_t mode;
        std::uint32_t sortWord;
        std::int32_t count;
    } cases[] = {{1, 0x88, 3}, {2, 0x42, 3}, {3, 0x42, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        view = FakeResultsView();
        createStore("*.*");
        FinderStore.filter.findDuplicates = 1;
        FinderStore.filter.duplicateMode = c.mode;
        TFinder finder;
        const std::vector<std::string> paths = {path("u")};
        finder.pathList = &paths;
        run(finder);
        EXPECT_EQ(finder.filterFlags, 2u);
        EXPECT_EQ(FinderStore.sortWord, c.sortWord);
        EXPECT_EQ(view.rowCounts, (std::vector<std::int32_t>{c.count})); // only at the end
        EXPECT_EQ(view.statusTexts.back(), std::to_string(c.count) + " files in finder");
        // The flat view lists the duplicates; folders never enter.
        const std::vector<std::string> names = folderNames(1);
        EXPECT_EQ(static_cast<std::int32_t>(names.size()), c.count);
        for (const std::string& name : names)
            EXPECT_NE(name, "unique.txt");
        filelist::EndFlatView(FinderStore);
        freeStore();
    }
}

// ---- Symbolic links ----

// A search never descends into a symbolic link: links to the folder itself, to its parent and to an
// outside folder list nothing twice and nothing outside; a link to a file is a file like any other.
TEST_F(FinderTest, LinksToFoldersAreNeverSearched)
{
    createFile(path("top\\a.txt"), "cat");
    createFile(path("top\\sub\\b.txt"), "cat");
    createFile(path("outside\\c.txt"), "cat");
    std::filesystem::create_directory_symlink(posix("top"), posix("top/loop"));
    std::filesystem::create_directory_symlink("..", posix("top/sub/up"));
    std::filesystem::create_directory_symlink(posix("outside"), posix("top/out"));
    std::filesystem::create_symlink(posix("outside/c.txt"), posix("top/file-link.txt"));
    const std::vector<std::string> paths = {path("top")};
    const std::vector<std::string> expected = {path("top\\a.txt"), path("top\\file-link.txt"),
                                               path("top\\sub\\b.txt")};
    EXPECT_EQ(searchText(paths, "cat", false, false, false), expected);
    find(paths, "*.txt");
    EXPECT_EQ(hits(), expected);
}

// Another program swaps a sub-folder that the search has not reached for a link to an outside folder
// after its parent was listed: the swapped entry is skipped, never followed, however many threads walk.
TEST_F(FinderTest, AFolderSwappedForALinkDuringTheSearchIsNeverFollowed)
{
    int round = 0;
    for (const std::size_t threads : {1u, 4u}) {
        for (const bool content : {false, true}) {
            SCOPED_TRACE(std::string(content ? "content search, " : "name search, ") + std::to_string(threads));
            const std::string top = "t" + std::to_string(++round);
            const std::string outside = top + "-outside";
            createFile(path(top + "\\a.txt"), "cat");
            createFile(path(top + "\\s1\\b.txt"), "cat");
            createFile(path(top + "\\s2\\c.txt"), "cat");
            createFile(path(outside + "\\d.txt"), "cat");
            makeFolder(path(top + "-parked"));
            std::atomic<bool> swapped{false};
            createStore("*.txt");
            TFinder finder;
            const std::vector<std::string> paths = {path(top)};
            finder.pathList = &paths;
            finder.setContentThreads(threads);
            // Just before the sub-folder is opened, after its parent's listing showed it.
            finder.setBeforeListing([&](const std::string& folder) {
                if (folder != path(top + "\\s2") || swapped.exchange(true))
                    return;
                std::filesystem::rename(posix(top + "/s2"), posix(top + "-parked/s2"));
                std::filesystem::create_directory_symlink(posix(outside), posix(top + "/s2"));
            });
            if (content) {
                ASSERT_TRUE(finder.PrepareTextSearch("cat", false, false));
            }
            run(finder);
            EXPECT_TRUE(swapped);
            EXPECT_EQ(hits(), (std::vector<std::string>{path(top + "\\a.txt"), path(top + "\\s1\\b.txt")}));
            freeStore();
        }
    }
}

// A tree deeper than the system's limit of a path: the walk reaches its deepest folder, by name and by
// content.
TEST_F(FinderTest, TreeDeeperThanThePathLimitIsSearchedWhole)
{
    const test::DeepTree tree;
    test::writeDeep(posix("t"), tree.components(0, "top.txt"), "a needle");
    test::writeDeep(posix("t"), tree.components(22, "deep.txt"), "the needle");
    test::writeDeep(posix("t"), tree.components(22, "hay.txt"), "hay");
    const std::vector<std::string> expected = {tree.windowsPath(path("t"), 22, "deep.txt"),
                                               tree.windowsPath(path("t"), 0, "top.txt")}; // (sorted)
    find({path("t")}, "*.txt",
         [](TFinder& finder) { ASSERT_TRUE(finder.PrepareTextSearch("needle", false, false)); });
    EXPECT_EQ(hits(), expected);
    freeStore();
    find({path("t")}, "*deep*;top*");
    EXPECT_EQ(hits(), expected);
}

} // namespace
} // namespace wux::engines
