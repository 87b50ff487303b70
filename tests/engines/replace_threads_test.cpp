#include "engines/replace_threads.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QEventLoop>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "filelist/operation_cursor.h"
#include "platform/files.h"
#include "platform/movable_memory.h"
#include "support/file_builders.h"
#include "support/other_user.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

using filelist::TOperationFileInfo;
using filelist::TOperationFileResult;
using test::createFile;
using test::exists;
using test::listNames;
using test::makeFolder;
using test::readFileBytes;

// ---- The run window's side, as a test double ----

// One file handed out by the window: folder path and name.
struct Entry
{
    std::string folder;
    std::string name;
};

// Hands out files from a list, records every event in the order the thread calls them, and checks
// that every event arrives on the GUI thread.
class FakeRunWindow
{
public:
    explicit FakeRunWindow(std::vector<Entry> entries) : entries_(std::move(entries)) {}

    void getNext(platform::WuxThread&, TOperationFileInfo*& info)
    {
        EXPECT_TRUE(platform::isGuiThread());
        log.push_back("next");
        if (next_ >= entries_.size()) {
            info = nullptr;
            return;
        }
        const Entry& entry = entries_[next_++];
        info_.name = entry.name.c_str();
        info_.folderPath = entry.folder.c_str();
        info_.attributes = 0x20;
        info_.number = static_cast<std::int32_t>(next_);
        info = &info_;
    }

    void fileDone(platform::WuxThread& sender, TOperationFileResult& result)
    {
        EXPECT_TRUE(platform::isGuiThread());
        log.push_back("done " + std::string(info_.name));
        flags.push_back(result.flags);
        sizes.push_back(result.size);
        if (stopAfterDone == static_cast<int>(flags.size()))
            sender.Terminate();
        if (throwInDone == static_cast<int>(flags.size()))
            throw std::runtime_error("file done failed");
    }

    void progress(platform::WuxThread&, TReplaceResult result, std::int32_t stage, std::int32_t matches,
                  std::int64_t before, std::int64_t after)
    {
        EXPECT_TRUE(platform::isGuiThread());
        log.push_back("progress " + std::string(info_.name));
        results.push_back(result);
        stages.push_back(stage);
        matchCounts.push_back(matches);
        sizesBefore.push_back(before);
        sizesAfter.push_back(after);
        if (throwInProgress == static_cast<int>(results.size()))
            throw std::runtime_error("progress failed");
    }

    template <class Thread> void connect(Thread& thread)
    {
        thread.OnGetNextFile = [this](platform::WuxThread& s, TOperationFileInfo*& i) { getNext(s, i); };
        thread.OnFileDone = [this](platform::WuxThread& s, TOperationFileResult& r) { fileDone(s, r); };
        thread.OnProgress = [this](platform::WuxThread& s, TReplaceResult r, std::int32_t st, std::int32_t m,
                                   std::int64_t b, std::int64_t a, platform::WinError f) {
            failures.push_back(f);
            progress(s, r, st, m, b, a);
        };
    }

    // Starts the thread and runs the event loop until its termination event.
    void run(platform::WuxThread& thread)
    {
        QEventLoop loop;
        thread.OnTerminate = [this, &loop](platform::WuxThread&) {
            log.push_back("terminate");
            loop.quit();
        };
        thread.Start();
        loop.exec();
        returnValue = thread.WaitFor();
    }

    std::vector<std::string> log;
    std::vector<std::uint32_t> flags;
    std::vector<std::uint64_t> sizes;
    std::vector<std::int32_t> results, stages, matchCounts;
    std::vector<std::int64_t> sizesBefore, sizesAfter;
    std::vector<platform::WinError> failures;
    int stopAfterDone = -1;
    int throwInDone = -1;     // the file (from 1) whose OnFileDone throws
    int throwInProgress = -1; // the file (from 1) whose OnProgress throws
    int returnValue = -1;

private:
    std::vector<Entry> entries_;
    std::size_t next_ = 0;
    TOperationFileInfo info_{};
};

// ---- A document replacer double ----

struct DocumentCall
{
    std::int32_t kind;
    std::string path;
    std::vector<std::uint8_t> table; // the table block handed over before the call
};

struct DocumentScript
{
    TReplaceResult result = kReplaceFound;
    std::int32_t stage = 2;
    std::int32_t matches = 3;
    std::int64_t size = 1234;
    bool deleteFile = false;
};

class FakeDocumentReplacer : public IDocumentReplacer
{
public:
    FakeDocumentReplacer(const DocumentReplacerRequest& request, std::vector<DocumentCall>& calls,
                         const std::map<std::int32_t, DocumentScript>& scripts)
        : request_(request), calls_(calls), scripts_(scripts)
    {
    }
    TReplaceResult ProcessFile(std::string_view Path) override
    {
        EXPECT_FALSE(platform::isGuiThread());
        calls_.push_back({request_.kind, std::string(Path), tableBlockBytes(table_)});
        const auto it = scripts_.find(request_.kind);
        script_ = it != scripts_.end() ? it->second : DocumentScript();
        if (script_.deleteFile)
            platform::deleteFile(Path);
        return script_.result;
    }
    std::int64_t fileSize() const override { return script_.size; }
    std::int32_t matchCount() const override { return script_.matches; }
    std::int32_t stage() const override { return script_.stage; }
    void setTableBlock(platform::MovableHandle Block) override { table_ = Block; }

private:
    DocumentReplacerRequest request_;
    std::vector<DocumentCall>& calls_;
    const std::map<std::int32_t, DocumentScript>& scripts_;
    DocumentScript script_;
    platform::MovableHandle table_;
};

class ReplaceThreadTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        setDocumentReplacerFactory([this](const DocumentReplacerRequest& request) {
            requests.push_back(request);
            return std::make_unique<FakeDocumentReplacer>(request, calls, scripts);
        });
    }
    void TearDown() override
    {
        setDocumentReplacerFactory(nullptr);
        if (platform::movableIsValid(search))
            platform::movableFree(search);
    }

    // Runs a Replacer thread over the window's files with a case-sensitive search block.
    void runReplacer(FakeRunWindow& window, TReplacer& thread, std::string_view find,
                     std::string_view replace, std::int32_t mode = kModeReplace, bool caseSensitive = true)
    {
        if (platform::movableIsValid(search))
            platform::movableFree(search);
        search = BuildReplacerStructure(find, replace, caseSensitive, false, mode);
        thread.TypeOfReplacing = mode;
        thread.searchBlock = search;
        window.connect(thread);
        window.run(thread);
    }

    // Gives a Batch Replacer thread its table; the caller runs it and frees the block.
    static void setTable(TBatchReplacer& thread, const TableCells& flags, const TableCells& finds,
                         const TableCells& replaces)
    {
        ASSERT_EQ(CheckAndBuildTableBlock(thread.tableBlock, flags, finds, replaces), -1);
        thread.rowCount = static_cast<std::int32_t>(finds.size());
        thread.Flags = flags;
        thread.Finds = finds;
        thread.Replaces = replaces;
    }

    Entry entry(const std::string& relative)
    {
        const std::string full = path(relative);
        const std::size_t slash = full.rfind('\\');
        return Entry{full.substr(0, slash), full.substr(slash + 1)};
    }

    std::vector<DocumentReplacerRequest> requests;
    std::vector<DocumentCall> calls;
    std::map<std::int32_t, DocumentScript> scripts;
    ReplacerStructure search;
};

// ---- ClassifyFile ----

TEST(ClassifyFileTest, KindsByTheWholePathIgnoringCase)
{
    const std::pair<std::int32_t, std::vector<const char*>> cases[] = {
        {1,
         {"c:\\a\\report.DOC", "c:\\a\\x.dot", "c:\\a\\x.rtf", "c:\\a\\x.wps", "c:\\a\\x.mcw",
          "c:\\a\\x.docx", "c:\\a\\x.adt"}},
        {2, {"c:\\a\\x.xls", "c:\\a\\x.XLSX"}},
        {3, {"c:\\a\\x.ppt", "c:\\a\\x.mht", "c:\\a\\x.pps", "c:\\a\\deck.pptx"}},
        {4, {"c:\\a\\x.odt"}},
        {5,
         {"c:\\a\\notes.txt", "c:\\dir.doc\\file.txt", "c:\\a\\x.doc.bak", "c:\\a\\docx", "", "*",
          "c:\\a\\x."}}};
    // Every path is held against the four kinds' mask lists and nothing beyond them (the sanitizer build
    // sees a read past the last list).
    for (const auto& [kind, paths] : cases)
        for (const char* path : paths)
            EXPECT_EQ(ClassifyFile(path), kind) << path;
}

TEST(ResultFlagsTest, BothThreadsTables)
{
    const struct
    {
        std::int32_t result;
        std::uint32_t replacer;
        std::uint32_t batch;
        bool sizeAgain;
    } cases[] = {
        {1, 0x82, 0x82, false}, {2, 0x52, 0x52, true},  {4, 0xA2, 0xA0, false},
        {8, 0xD2, 0xD2, true},  {16, 0x12, 0xD2, true}, {64, 0x12, 0x12, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replacerResultFlags(c.result), c.replacer) << c.result;
        EXPECT_EQ(batchResultFlags(c.result), c.batch) << c.result;
        EXPECT_EQ(resultReadsSizeAgain(c.result), c.sizeAgain) << c.result;
    }
}

// ---- TReplacer ----

TEST_F(ReplaceThreadTest, ReplacerRunOverATreeReportsEachFileInOrder)
{
    createFile(path("t\\a.txt"), "one foo two foo");
    createFile(path("t\\b.txt"), "nothing here");
    createFile(path("t\\sub\\d.docx"), "doc");
    createFile(path("t\\e.xls"), "sheet");
    createFile(path("t\\f.odt"), "odt");
    makeFolder(path("t\\folder"));
    scripts[kKindWordProcessor] = {kReplaceDocumentLocked, 5, 0, 3};
    scripts[kKindSpreadsheet] = {kReplaceModeNotSupported, 6, 0, 5};
    scripts[kKindOpenDocumentText] = {kReplaceFailed, 3, 0, 3};
    FakeRunWindow window({entry("t\\a.txt"), entry("t\\b.txt"), entry("t\\missing.txt"),
                          entry("t\\sub\\d.docx"), entry("t\\e.xls"), entry("t\\f.odt"), entry("t\\folder")});
    TReplacer thread;
    thread.backupFlag = false;
    runReplacer(window, thread, "foo", "barbaz", kModeReplace, false);

    EXPECT_EQ(window.returnValue, kRunDone);
    EXPECT_EQ(thread.endState, kRunDone);
    EXPECT_FALSE(thread.failed());
    const std::vector<std::string> names = {"a.txt", "b.txt", "missing.txt", "d.docx",
                                            "e.xls", "f.odt", "folder"};
    std::vector<std::string> expectedLog = {"next"};
    for (const std::string& name : names) {
        expectedLog.push_back("done " + name);
        expectedLog.push_back("progress " + name);
        expectedLog.push_back("next");
    }
    expectedLog.push_back("terminate");
    EXPECT_EQ(window.log, expectedLog);

    EXPECT_EQ(window.flags, (std::vector<std::uint32_t>{0x52, 0xD2, 0xA2, 0x12, 0x12, 0x82, 0x82}));
    EXPECT_EQ(window.results, (std::vector<std::int32_t>{2, 8, 4, 64, 16, 1, 1}));
    EXPECT_EQ(window.stages, (std::vector<std::int32_t>{0, 0, 0, 5, 6, 3, 0}));
    EXPECT_EQ(window.matchCounts, (std::vector<std::int32_t>{2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(window.sizesBefore[0], 15);
    EXPECT_EQ(window.sizesAfter[0], 21);
    EXPECT_EQ(window.sizes[0], 21u);
    EXPECT_EQ(window.sizesBefore[1], 12);
    EXPECT_EQ(window.sizesAfter[1], 12);
    EXPECT_EQ(window.sizesBefore[3], 3); // the document replacer's size
    EXPECT_EQ(window.sizesAfter[3], 3);  // read again from the disk
    EXPECT_EQ(window.sizesAfter[4], 5);
    EXPECT_EQ(readFileBytes(path("t\\a.txt")), "one barbaz two barbaz");
    EXPECT_EQ(readFileBytes(path("t\\b.txt")), "nothing here");

    // The document kinds went to their replacers with the run's settings; the plain files did not.
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, kKindWordProcessor);
    EXPECT_EQ(calls[0].path, path("t\\sub\\d.docx"));
    EXPECT_EQ(calls[1].kind, kKindSpreadsheet);
    EXPECT_EQ(calls[2].kind, kKindOpenDocumentText);
    ASSERT_EQ(requests.size(), 4u);
    for (const DocumentReplacerRequest& request : requests) {
        EXPECT_EQ(request.mode, kModeReplace);
        EXPECT_EQ(request.owner, &thread);
    }
}

TEST_F(ReplaceThreadTest, ReplacerModesReachTheirOperations)
{
    const struct
    {
        std::int32_t mode;
        const char* find;
        const char* replace;
        std::int32_t firstPart;
        const char* expected;
        std::int32_t result;
    } cases[] = {
        {kModeReplace, "b", "X", 0, "aXc", 2},
        {kModeDelete, "b", "", 0, "ac", 2},
        {kModeInsertAfter, "b", "X", 0, "abXc", 2},
        {kModeInsertBefore, "b", "X", 0, "aXbc", 2},
        {kModeInsertBetween, "ac", "X", 1, "aXc", 2},
        {kModeInsertHead, "X", "", 0, "Xabc", 2},
        {kModeInsertFoot, "X", "", 0, "abcX", 2},
        {kModeJustFind, "b", "", 0, "abc", 2},
        {1000, "b", "X", 0, "abc", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        createFile(path("m.txt"), "abc");
        FakeRunWindow window({entry("m.txt")});
        TReplacer thread;
        thread.sizeOfFirstPart = c.firstPart;
        runReplacer(window, thread, c.find, c.replace, c.mode);
        ASSERT_EQ(window.results.size(), 1u);
        EXPECT_EQ(window.results[0], c.result);
        EXPECT_EQ(readFileBytes(path("m.txt")), c.expected);
    }
}

// With the DOS character set, the case forms are made first and then converted: "Été" finds "été",
// "ÉTÉ" and "Été" in a CP437 file ("é" 0x82, "É" 0x90), also as whole words; other bytes stay.
TEST_F(ReplaceThreadTest, DosCharacterSetIgnoresTheCaseOfEveryLetter)
{
    const struct
    {
        bool wholeWord;
        const char* input;
        const char* expected;
    } cases[] = {
        {false, "\x82t\x82 \x90T\x90 \x90t\x82 \x82T", "x x x \x82T"},
        {true, "\x82t\x82s \x90T\x90. _\x90t\x82", "\x82t\x82s x. _\x90t\x82"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wholeWord);
        createFile(path("dos.txt"), c.input);
        FakeRunWindow window({entry("dos.txt")});
        TReplacer thread;
        if (platform::movableIsValid(search))
            platform::movableFree(search);
        search = BuildReplacerStructure("\xC3\x89t\xC3\xA9", "x", false, c.wholeWord, kModeReplace, true);
        thread.TypeOfReplacing = kModeReplace;
        thread.searchBlock = search;
        thread.oemTexts = true;
        window.connect(thread);
        window.run(thread);
        ASSERT_EQ(window.results.size(), 1u);
        EXPECT_EQ(window.results[0], kReplaceFound);
        EXPECT_EQ(readFileBytes(path("dos.txt")), c.expected);
    }
}

TEST_F(ReplaceThreadTest, FullPathsBeyond255Characters)
{
    const std::string folder =
        std::string(100, 'a') + "\\" + std::string(100, 'b') + "\\" + std::string(100, 'c');
    createFile(path(folder + "\\long.txt"), "foo");
    FakeRunWindow window({entry(folder + "\\long.txt")});
    TReplacer thread;
    runReplacer(window, thread, "foo", "bar");
    EXPECT_GT(thread.filePath.size(), 300u);
    EXPECT_EQ(window.results, (std::vector<std::int32_t>{kReplaceFound}));
    EXPECT_EQ(readFileBytes(path(folder + "\\long.txt")), "bar");
}

TEST_F(ReplaceThreadTest, EmptySelectionEndsAtOnce)
{
    FakeRunWindow window({});
    TReplacer thread;
    thread.TypeOfReplacing = kModeReplace;
    window.connect(thread);
    window.run(thread);
    EXPECT_EQ(window.log, (std::vector<std::string>{"next", "terminate"}));
    EXPECT_EQ(window.returnValue, kRunDone);
    EXPECT_TRUE(calls.empty());
}

TEST_F(ReplaceThreadTest, StopFetchesOneMoreFileInAReplacerRunAndNoneInABatchRun)
{
    createFile(path("a.txt"), "x");
    createFile(path("b.txt"), "x");
    createFile(path("c.txt"), "x");
    {
        FakeRunWindow window({entry("a.txt"), entry("b.txt"), entry("c.txt")});
        window.stopAfterDone = 1;
        TReplacer thread;
        runReplacer(window, thread, "x", "y");
        EXPECT_EQ(window.log,
                  (std::vector<std::string>{"next", "done a.txt", "progress a.txt", "next", "terminate"}));
        EXPECT_EQ(window.returnValue, kRunStopped);
        EXPECT_EQ(readFileBytes(path("b.txt")), "x");
    }
    createFile(path("a.txt"), "x");
    {
        FakeRunWindow window({entry("a.txt"), entry("b.txt"), entry("c.txt")});
        window.stopAfterDone = 1;
        TBatchReplacer thread;
        setTable(thread, {NoText()}, {"x"}, {"y"});
        window.connect(thread);
        window.run(thread);
        EXPECT_EQ(window.log,
                  (std::vector<std::string>{"next", "done a.txt", "progress a.txt", "terminate"}));
        EXPECT_EQ(window.returnValue, kRunStopped);
        EXPECT_EQ(readFileBytes(path("a.txt")), "y");
        EXPECT_EQ(readFileBytes(path("b.txt")), "x");
        platform::movableFree(thread.tableBlock);
    }
}

TEST_F(ReplaceThreadTest, AHandlerThatThrowsEndsTheRunWithItsMessage)
{
    // In both runs, a handler that throws in OnFileDone or in OnProgress.
    for (const bool batch : {false, true})
        for (const bool inDone : {true, false}) {
            SCOPED_TRACE(std::string(batch ? "batch" : "replacer") + (inDone ? ", done" : ", progress"));
            createFile(path("a.txt"), "x");
            createFile(path("b.txt"), "x");
            FakeRunWindow window({entry("a.txt"), entry("b.txt")});
            (inDone ? window.throwInDone : window.throwInProgress) = 1;
            std::unique_ptr<TReplaceRunThread> thread;
            if (batch) {
                auto batchThread = std::make_unique<TBatchReplacer>();
                setTable(*batchThread, {NoText()}, {"x"}, {"y"});
                thread = std::move(batchThread);
            } else {
                auto replacer = std::make_unique<TReplacer>();
                replacer->TypeOfReplacing = kModeReplace;
                if (!platform::movableIsValid(search))
                    search = BuildReplacerStructure("x", "y", true, false, kModeReplace);
                replacer->searchBlock = search;
                thread = std::move(replacer);
            }
            window.connect(*thread);
            window.run(*thread);
            EXPECT_TRUE(thread->failed());
            EXPECT_EQ(thread->failureMessage(), inDone ? "file done failed" : "progress failed");
            std::vector<std::string> log = {"next", "done a.txt", "progress a.txt", "terminate"};
            if (inDone)
                log.erase(log.begin() + 2);
            EXPECT_EQ(window.log, log);
            // The file in hand was done; the run ended before the next one.
            EXPECT_EQ(readFileBytes(path("a.txt")), "y");
            EXPECT_EQ(readFileBytes(path("b.txt")), "x");
            if (batch)
                platform::movableFree(static_cast<TBatchReplacer&>(*thread).tableBlock);
        }
}

TEST_F(ReplaceThreadTest, WithoutNextFileHandlerTheRunFailsWithItsMessage)
{
    TReplacer thread;
    FakeRunWindow window({});
    window.run(thread);
    EXPECT_TRUE(thread.failed());
    EXPECT_EQ(thread.failureMessage(), "Please specify function");
    EXPECT_EQ(window.log, (std::vector<std::string>{"terminate"}));
}

TEST_F(ReplaceThreadTest, WithoutDocumentReplacersADocumentIsLeftAlone)
{
    setDocumentReplacerFactory(nullptr);
    createFile(path("deck.pptx"), "PK-package");
    FakeRunWindow window({entry("deck.pptx")});
    TReplacer thread;
    runReplacer(window, thread, "P", "Q");
    EXPECT_EQ(window.results, (std::vector<std::int32_t>{kReplaceModeNotSupported}));
    EXPECT_EQ(readFileBytes(path("deck.pptx")), "PK-package");
}

TEST_F(ReplaceThreadTest, ASizeThatCannotBeReadIsNeverStored)
{
    createFile(path("gone.doc"), "doc");
    scripts[kKindWordProcessor] = {kReplaceFound, 2, 1, 3, true};
    FakeRunWindow window({entry("gone.doc")});
    TReplacer thread;
    thread.fileResult.size = 77;
    runReplacer(window, thread, "a", "b");
    EXPECT_EQ(window.flags, (std::vector<std::uint32_t>{0x42}));
    EXPECT_EQ(window.sizes, (std::vector<std::uint64_t>{77}));
    EXPECT_EQ(window.sizesAfter, (std::vector<std::int64_t>{-1}));
}

// ---- TBatchReplacer ----

class BatchThreadTest : public ReplaceThreadTest
{
protected:
    void runBatch(FakeRunWindow& window, TBatchReplacer& thread, const TableCells& flags,
                  const TableCells& finds, const TableCells& replaces)
    {
        setTable(thread, flags, finds, replaces);
        window.connect(thread);
        window.run(thread);
        platform::movableFree(thread.tableBlock);
        thread.tableBlock = TableBlock();
    }
};

TEST_F(BatchThreadTest, BatchRunSkipsFoldersAndMapsResults)
{
    createFile(path("t\\a.txt"), "cat and dog");
    createFile(path("t\\b.txt"), "nothing");
    createFile(path("t\\c.doc"), "doc");
    createFile(path("t\\d.xlsx"), "sheet");
    makeFolder(path("t\\sub"));
    scripts[kKindWordProcessor] = {kReplaceModeNotSupported, 6, 0, 3};
    scripts[kKindSpreadsheet] = {kReplaceDocumentLocked, 5, 0, 5};
    FakeRunWindow window({entry("t\\a.txt"), entry("t\\sub"), entry("t\\b.txt"), entry("t\\missing.txt"),
                          entry("t\\c.doc"), entry("t\\d.xlsx")});
    TBatchReplacer thread;
    runBatch(window, thread, {NoText(), NoText()}, {"cat", "dog"}, {"lion", "wolf"});

    EXPECT_EQ(window.returnValue, kRunDone);
    // The folder is fetched and skipped: no report.
    std::vector<std::string> expectedLog = {"next", "done a.txt", "progress a.txt", "next"};
    for (const char* name : {"b.txt", "missing.txt", "c.doc", "d.xlsx"})
        expectedLog.insert(expectedLog.end(),
                           {"next", std::string("done ") + name, std::string("progress ") + name});
    expectedLog.insert(expectedLog.end(), {"next", "terminate"});
    EXPECT_EQ(window.log, expectedLog);
    EXPECT_EQ(window.flags, (std::vector<std::uint32_t>{0x52, 0xD2, 0xA0, 0xD2, 0x12}));
    EXPECT_EQ(window.results, (std::vector<std::int32_t>{2, 8, 4, 16, 64}));
    EXPECT_EQ(window.matchCounts, (std::vector<std::int32_t>{2, 0, 0, 0, 0}));
    EXPECT_EQ(window.sizesBefore, (std::vector<std::int64_t>{11, 7, -1, 3, 5}));
    EXPECT_EQ(window.sizesAfter[0], 13);
    EXPECT_EQ(window.sizes[0], 13u);
    EXPECT_EQ(readFileBytes(path("t\\a.txt")), "lion and wolf");
    EXPECT_TRUE(exists(path("t\\sub")));
    ASSERT_EQ(requests.size(), 4u);
    for (const DocumentReplacerRequest& request : requests) {
        EXPECT_EQ(request.mode, kModeBatchTable);
        EXPECT_EQ(request.rowCount, 2);
    }
    EXPECT_TRUE(thread.Flags.empty());
    EXPECT_TRUE(thread.Finds.empty());
    EXPECT_TRUE(thread.Replaces.empty());
}

// A Replacer run and a Batch Replacer run over a folder shared by everybody where another user made
// "x.txt" a link to the running user's private file and "y.docx" one to a private document: each link is
// reported failed with the system's reason ("Access is denied.", 5), the document is never handed to
// its replacer, the private files keep their bytes, and the run goes on to the next file.
TEST_F(BatchThreadTest, AnotherUsersLinkIsReportedFailedWithItsReasonInBothRuns)
{
    if (!test::canActAsOtherUser())
        GTEST_SKIP() << "needs root and the user nobody";
    test::makeSharedFolder(posix("shared"), drive.base());
    createFile(path("home\\conf.txt"), "setting=cat\n", test::kNoTime, 0600);
    const std::string target = posix("home/conf.txt");
    const std::string link = posix("shared/x.txt");
    createFile(path("home\\report.docx"), "doc", test::kNoTime, 0600);
    const std::string document = posix("home/report.docx");
    ASSERT_TRUE(test::runAsOtherUser([&] {
        return ::symlink(target.c_str(), link.c_str()) == 0 &&
               ::symlink(document.c_str(), posix("shared/y.docx").c_str()) == 0;
    }));
    for (const bool batch : {false, true}) {
        SCOPED_TRACE(batch ? "batch" : "replacer");
        createFile(path("shared\\a.txt"), "a cat");
        FakeRunWindow window({entry("shared\\x.txt"), entry("shared\\y.docx"), entry("shared\\a.txt")});
        if (batch) {
            TBatchReplacer thread;
            runBatch(window, thread, {NoText()}, {"cat"}, {"dog"});
        } else {
            TReplacer thread;
            runReplacer(window, thread, "cat", "dog");
        }
        EXPECT_EQ(window.results, (std::vector<std::int32_t>{kReplaceFailed, kReplaceFailed, kReplaceFound}));
        EXPECT_EQ(window.failures, (std::vector<platform::WinError>{platform::kErrorAccessDenied,
                                                                     platform::kErrorAccessDenied, 0}));
        EXPECT_EQ(window.flags, (std::vector<std::uint32_t>{0x82, 0x82, 0x52}));
        EXPECT_TRUE(calls.empty()) << "a document behind another user's link reached its replacer";
        EXPECT_EQ(readFileBytes(target), "setting=cat\n");
        EXPECT_EQ(readFileBytes(path("shared\\a.txt")), "a dog");
        EXPECT_TRUE(S_ISLNK(test::modeOf(link)));
        EXPECT_EQ(listNames(posix("home")), (std::vector<std::string>{"conf.txt", "report.docx"}));
        ::unlink(posix("shared/a.txt").c_str());
    }
}

TEST_F(BatchThreadTest, MarkersAreExpandedPerFileWithTheCounter)
{
    createFile(path("my.dir#1\\report.txt"), "X");
    createFile(path("my.dir#1\\arch.tar.gz"), "X");
    createFile(path("my.dir#1\\plain"), "X");
    FakeRunWindow window(
        {entry("my.dir#1\\report.txt"), entry("my.dir#1\\arch.tar.gz"), entry("my.dir#1\\plain")});
    TBatchReplacer thread;
    runBatch(window, thread, {NoText()}, {"x"}, {"#fn#|#FE#|#c#|#Fp#"});
    EXPECT_TRUE(thread.markersPresent);
    EXPECT_EQ(thread.fileCounter, 3);
    EXPECT_EQ(readFileBytes(path("my.dir#1\\report.txt")), "report|txt|0|" + path("my.dir#1\\"));
    EXPECT_EQ(readFileBytes(path("my.dir#1\\arch.tar.gz")), "arch.tar|gz|1|" + path("my.dir#1\\"));
    EXPECT_EQ(readFileBytes(path("my.dir#1\\plain")), "plain||2|" + path("my.dir#1\\"));
}

TEST_F(BatchThreadTest, DocumentsReceiveTheExpandedTable)
{
    createFile(path("a.doc"), "doc");
    createFile(path("b.doc"), "doc");
    FakeRunWindow window({entry("a.doc"), entry("b.doc")});
    TBatchReplacer thread;
    runBatch(window, thread, {YesText()}, {"x"}, {"#C#-#FN#"});
    ASSERT_EQ(calls.size(), 2u);
    const std::optional<TableRow> first = tableRowAt(calls[0].table, 1);
    const std::optional<TableRow> second = tableRowAt(calls[1].table, 1);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->replace, "0-a");
    EXPECT_EQ(second->replace, "1-b");
    EXPECT_TRUE(first->caseSensitive);
}

TEST_F(BatchThreadTest, AFileWhoseTableCannotBeRebuiltFailsUntouched)
{
    // "##FN##" is "#", the name, "#": a byte code for the name 65, malformed for the name zz.
    createFile(path("65.txt"), "x");
    createFile(path("zz.txt"), "x");
    FakeRunWindow window({entry("65.txt"), entry("zz.txt")});
    TBatchReplacer thread;
    runBatch(window, thread, {NoText()}, {"x"}, {"##FN##"});
    EXPECT_EQ(window.results, (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(window.flags, (std::vector<std::uint32_t>{0x52, 0x82}));
    EXPECT_EQ(readFileBytes(path("65.txt")), "A");
    EXPECT_EQ(readFileBytes(path("zz.txt")), "x");
}

TEST_F(BatchThreadTest, TablesWithoutMarkersAreNotRebuilt)
{
    createFile(path("a.txt"), "#C# x");
    FakeRunWindow window({entry("a.txt")});
    TBatchReplacer thread;
    runBatch(window, thread, {NoText()}, {"x"}, {"y##"});
    EXPECT_FALSE(thread.markersPresent);
    EXPECT_EQ(thread.fileCounter, 0);
    EXPECT_EQ(readFileBytes(path("a.txt")), "#C# y#");
}

TEST(MarkerTableTest, CountsTheGivenFinds)
{
    EXPECT_FALSE(platform::movableIsValid(BuildMarkerTable("", "", "", "", "a", "b", "c", "d")));
    TableBlock block = BuildMarkerTable("#fn#", "#fe#", "", "", "name", "ext", "x", "y");
    ASSERT_TRUE(platform::movableIsValid(block));
    const std::vector<std::uint8_t> bytes = tableBlockBytes(block);
    ASSERT_TRUE(tableRowAt(bytes, 2));
    EXPECT_EQ(tableRowAt(bytes, 1)->replace, "name");
    EXPECT_EQ(tableRowAt(bytes, 2)->replace, "ext");
    EXPECT_FALSE(tableRowAt(bytes, 1)->caseSensitive);
    EXPECT_FALSE(tableRowAt(bytes, 3));
    platform::movableFree(block);
}

} // namespace
} // namespace wux::engines
