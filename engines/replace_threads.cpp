#include "engines/replace_threads.h"

#include <array>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "core/display_helpers.h"
#include "core/file_tests.h"
#include "core/mask_list.h"
#include "engines/plain_replacer.h"
#include "platform/automation/dispatch.h"
#include "platform/files.h"

namespace wux::engines {

namespace {

using filelist::TOperationFileInfo;
using filelist::TOperationFileResult;

// ---- File kinds ----

struct KindMasks
{
    std::array<core::TMaskList, 4> lists;
    KindMasks()
    {
        core::ParseMaskList(kWordProcessorMasks, lists[0]);
        core::ParseMaskList(kSpreadsheetMasks, lists[1]);
        core::ParseMaskList(kPresentationMasks, lists[2]);
        core::ParseMaskList(kOpenDocumentTextMasks, lists[3]);
    }
};

const KindMasks& kindMasks()
{
    static const KindMasks masks;
    return masks;
}

// ---- Document replacer factory ----

std::mutex& factoryMutex()
{
    static std::mutex mutex;
    return mutex;
}

DocumentReplacerFactory& factorySlot()
{
    static DocumentReplacerFactory factory;
    return factory;
}

// The four document replacers of one run (entries may be null: no factory registered).
using DocumentReplacers = std::array<std::unique_ptr<IDocumentReplacer>, 4>;

DocumentReplacers makeDocumentReplacers(DocumentReplacerRequest request)
{
    DocumentReplacers replacers;
    for (std::int32_t kind = kKindWordProcessor; kind <= kKindOpenDocumentText; ++kind) {
        request.kind = kind;
        replacers[static_cast<std::size_t>(kind - 1)] = createDocumentReplacer(request);
    }
    return replacers;
}

// Initialises automation for the calling thread for the length of a scope.
class AutomationScope
{
public:
    AutomationScope() { platform::automation::coInitialize(); }
    ~AutomationScope() { platform::automation::coUninitialize(); }
    AutomationScope(const AutomationScope&) = delete;
    AutomationScope& operator=(const AutomationScope&) = delete;
};

// Puts the file's size into the result record and size after when it can be read; known: the size the
// plain-file replacer left the file with (-1: read it).
void takeSizeAfter(const std::string& path, std::int64_t& sizeAfter, TOperationFileResult& fileResult,
                   std::int64_t known = -1)
{
    sizeAfter = known >= 0 ? known : core::GetFileSize64(path);
    if (sizeAfter >= 0)
        fileResult.size = static_cast<std::uint64_t>(sizeAfter);
    else
        fileResult.flags &= ~filelist::kResultSize;
}

std::string pathOf(const TOperationFileInfo& info)
{
    std::string path = info.folderPath ? info.folderPath : "";
    path += '\\';
    if (info.name)
        path += info.name;
    return path;
}

// True when path is a symbolic link that another user made (in a shared folder, say): a document
// there is not handed to its replacer, which would open and save it through the link.
bool anotherUsersLink(const std::string& path)
{
    platform::LinkOwnership link;
    return platform::linkOwnership(path, link) == platform::kErrorSuccess && link.isLink && !link.ownedByUser;
}

// A block of rows written with their own case flags (the null handle when rows is empty).
TableBlock buildRowsBlock(const std::string_view* finds, const std::string_view* replaces, std::size_t rows,
                          bool caseSensitive)
{
    if (rows == 0)
        return TableBlock();
    TableBlock block = platform::movableAlloc(kTableRowHeadSize, platform::MovableFlags::ZeroInit);
    if (!platform::movableIsValid(block))
        return TableBlock();
    try {
        std::int32_t index = 0;
        for (std::size_t i = 0; i < rows; ++i)
            index = WriteTableRow(finds[i], replaces[i], block, caseSensitive, index);
    } catch (...) {
        platform::movableFree(block);
        return TableBlock();
    }
    return block;
}

// The marker finds, lower-cased: marker rows are not case-sensitive, so "#fn#" finds "#FN#" too.
constexpr std::array<std::string_view, 4> kMarkerFinds = {"#fn#", "#fe#", "#fp#", "#c#"};

} // namespace

std::int32_t ClassifyFile(std::string_view Path)
{
    const KindMasks& masks = kindMasks();
    std::int32_t kind = kKindPlain;
    for (std::size_t i = 0; i < masks.lists.size(); ++i)
        if (core::MatchMaskList(Path, masks.lists[i], false))
            kind = static_cast<std::int32_t>(i) + 1;
    return kind;
}

void setDocumentReplacerFactory(DocumentReplacerFactory factory)
{
    std::lock_guard lock(factoryMutex());
    factorySlot() = std::move(factory);
}

std::unique_ptr<IDocumentReplacer> createDocumentReplacer(const DocumentReplacerRequest& request)
{
    DocumentReplacerFactory factory;
    {
        std::lock_guard lock(factoryMutex());
        factory = factorySlot();
    }
    return factory ? factory(request) : nullptr;
}

std::uint32_t replacerResultFlags(std::int32_t result)
{
    switch (result) {
    case kReplaceFound:
        return 0x52;
    case kReplaceFileMissing:
        return 0xA2;
    case kReplaceNothingFound:
        return 0xD2;
    case kReplaceModeNotSupported:
    case kReplaceDocumentLocked:
        return 0x12;
    default:
        return 0x82;
    }
}

std::uint32_t batchResultFlags(std::int32_t result)
{
    switch (result) {
    case kReplaceFound:
        return 0x52;
    case kReplaceFileMissing:
        return 0xA0;
    case kReplaceNothingFound:
    case kReplaceModeNotSupported:
        return 0xD2;
    case kReplaceDocumentLocked:
        return 0x12;
    default:
        return 0x82;
    }
}

bool resultReadsSizeAgain(std::int32_t result)
{
    return result == kReplaceFound || result == kReplaceNothingFound || result == kReplaceModeNotSupported ||
           result == kReplaceDocumentLocked;
}

// ---- TReplacer ----

void TReplaceRunThread::throwQueuedFailure()
{
    if (queuedFailure_)
        std::rethrow_exception(std::exchange(queuedFailure_, nullptr));
}

void TReplaceRunThread::askNextFile(bool unlessTerminated)
{
    Synchronize([this, unlessTerminated] {
        throwQueuedFailure();
        if (unlessTerminated && Terminated())
            return;
        if (!OnGetNextFile)
            throw std::runtime_error(kNoNextFileHandlerMessage);
        OnGetNextFile(*this, fileInfo);
    });
}

void TReplaceRunThread::SyncGetNextFile()
{
    askNextFile(false);
}

void TReplaceRunThread::SyncGetNextFileUnlessTerminated()
{
    askNextFile(true);
}

void TReplaceRunThread::SyncFileDone()
{
    if (!OnFileDone)
        return;
    Queue([this, record = fileResult]() mutable {
        if (queuedFailure_)
            return;
        try {
            OnFileDone(*this, record);
        } catch (...) {
            queuedFailure_ = std::current_exception();
        }
    });
}

void TReplaceRunThread::SyncProgress()
{
    if (!OnProgress)
        return;
    Queue([this, code = static_cast<TReplaceResult>(result), stageNow = stage, count = matches,
           before = sizeBefore, after = sizeAfter, reason = result == kReplaceFailed ? failure : 0] {
        if (queuedFailure_)
            return;
        try {
            OnProgress(*this, code, stageNow, count, before, after, reason);
        } catch (...) {
            queuedFailure_ = std::current_exception();
        }
    });
}

TReplacer::TReplacer() = default;

TReplacer::~TReplacer()
{
    Terminate();
    WaitFor();
}

void TReplacer::Execute()
{
    endState = kRunRunning;
    AutomationScope automation;
    {
        TTextReplacer text(this, TypeOfReplacing, searchBlock, backupFlag);
        text.setSizeOfFirstPart(sizeOfFirstPart);
        text.setOemTexts(oemTexts);
        DocumentReplacerRequest request;
        request.owner = this;
        request.mode = TypeOfReplacing;
        request.block = searchBlock;
        request.sizeOfFirstPart = sizeOfFirstPart;
        request.backup = backupFlag;
        request.parameters = parameters;
        request.oemTexts = oemTexts;
        DocumentReplacers documents = makeDocumentReplacers(request);

        SyncGetNextFile();
        while (fileInfo != nullptr) {
            if (Terminated())
                break;
            filePath = pathOf(*fileInfo);
            stage = 0;
            result = kReplaceFailed;
            failure = 0;
            matches = 0;
            sizeBefore = 0;
            std::int64_t knownSize = -1;
            const std::int32_t kind = ClassifyFile(filePath);
            if (kind != kKindPlain) {
                IDocumentReplacer* document = documents[static_cast<std::size_t>(kind - 1)].get();
                if (anotherUsersLink(filePath)) {
                    failure = platform::kErrorAccessDenied;
                } else if (document == nullptr) {
                    result = kReplaceModeNotSupported;
                } else {
                    result = document->ProcessFile(filePath);
                    sizeBefore = document->fileSize();
                    matches = document->matchCount();
                    stage = document->stage();
                }
            } else {
                bool called = true;
                switch (TypeOfReplacing) {
                case kModeReplace:
                case kModeDelete:
                case kModeInsertAfter:
                    result = text.ReplaceInFile(filePath);
                    break;
                case kModeInsertHead:
                case kModeInsertFoot:
                    result = text.InsertHeadFoot(filePath);
                    break;
                case kModeInsertBefore:
                case kModeInsertBetween:
                    result = text.InsertBeforeBetween(filePath);
                    break;
                case kModeJustFind:
                    result = text.FindInFile(filePath);
                    break;
                default:
                    called = false;
                    break;
                }
                if (called) {
                    sizeBefore = text.fileSize();
                    matches = text.matchCount();
                    knownSize = text.sizeAfter();
                    failure = text.failureError();
                }
            }
            fileResult.flags = replacerResultFlags(result);
            if (resultReadsSizeAgain(result))
                takeSizeAfter(filePath, sizeAfter, fileResult, knownSize);
            SyncFileDone();
            SyncProgress();
            SyncGetNextFile();
        }
    }
    endState = Terminated() ? kRunStopped : kRunDone;
    setReturnValue(endState);
}

// ---- Marker tables ----

TableBlock BuildMarkerTable(std::string_view F1, std::string_view F2, std::string_view F3,
                            std::string_view F4, std::string_view R1, std::string_view R2,
                            std::string_view R3, std::string_view R4)
{
    const std::array<std::string_view, 4> finds = {F1, F2, F3, F4};
    const std::array<std::string_view, 4> replaces = {R1, R2, R3, R4};
    std::size_t count = 0;
    for (std::string_view find : finds)
        if (!find.empty())
            ++count;
    return buildRowsBlock(finds.data(), replaces.data(), count, false);
}

// ---- TBatchReplacer ----

TBatchReplacer::TBatchReplacer() = default;

TBatchReplacer::~TBatchReplacer()
{
    Terminate();
    WaitFor();
}

bool TBatchReplacer::HasFileMarkers() const
{
    const std::array<std::string_view, 4> replaces = {"#FN#", "#FE#", "#FP#", "#C#"};
    TableBlock identity = buildRowsBlock(kMarkerFinds.data(), replaces.data(), kMarkerFinds.size(), false);
    if (!platform::movableIsValid(identity))
        return false;
    bool found = false;
    {
        TTextReplacer replacer(nullptr, kModeBatchTable, identity, false);
        for (const std::string& cell : Replaces) {
            replacer.ReplaceTableInString(cell, identity, static_cast<std::int32_t>(kMarkerFinds.size()));
            if (replacer.matchCount() > 0) {
                found = true;
                break;
            }
        }
    }
    platform::movableFree(identity);
    return found;
}

bool TBatchReplacer::ExpandFileMarkers(std::string_view Path)
{
    // 1. Every "#" of the path doubled twice over: the cell syntax reads "##" as one "#", and the
    // path passes through it three times (escape table, marker table, the expanded table).
    std::string escaped(Path);
    {
        const std::string_view find = "#";
        const std::string_view replace = "########";
        TableBlock escape = buildRowsBlock(&find, &replace, 1, true);
        if (!platform::movableIsValid(escape))
            return false;
        {
            TTextReplacer replacer(nullptr, kModeBatchTable, escape, false);
            escaped = replacer.ReplaceTableInString(Path, escape, 1);
        }
        platform::movableFree(escape);
    }
    // 2. The marker values of this file: name and extension from the file name only.
    const std::size_t slash = escaped.rfind('\\');
    const std::string fileName = slash == std::string::npos ? escaped : escaped.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? std::string() : escaped.substr(0, slash + 1);
    const std::string name = core::NameWithoutExtension(fileName);
    const std::string extension = core::ExtensionOf(fileName);
    const std::string counter = std::to_string(fileCounter);
    TableBlock markers = BuildMarkerTable(kMarkerFinds[0], kMarkerFinds[1], kMarkerFinds[2], kMarkerFinds[3],
                                          name, extension, folder, counter);
    if (!platform::movableIsValid(markers))
        return false;
    // 3. Every replace cell expanded.
    TableCells expanded;
    expanded.reserve(Replaces.size());
    {
        TTextReplacer replacer(nullptr, kModeBatchTable, markers, false);
        for (const std::string& cell : Replaces)
            expanded.push_back(
                replacer.ReplaceTableInString(cell, markers, static_cast<std::int32_t>(kMarkerFinds.size())));
    }
    platform::movableFree(markers);
    // 4. The table of this file.
    TableBlock block;
    if (CheckAndBuildTableBlock(block, Flags, Finds, expanded) != -1 || !platform::movableIsValid(block)) {
        if (platform::movableIsValid(block))
            platform::movableFree(block);
        return false;
    }
    if (platform::movableIsValid(tableBlock))
        platform::movableFree(tableBlock);
    tableBlock = block;
    return true;
}

void TBatchReplacer::Execute()
{
    endState = kRunRunning;
    AutomationScope automation;
    fileCounter = 0;
    markersPresent = HasFileMarkers();
    {
        TTextReplacer text(this, kModeBatchTable, tableBlock, backupFlag);
        DocumentReplacerRequest request;
        request.owner = this;
        request.mode = kModeBatchTable;
        request.block = tableBlock;
        request.sizeOfFirstPart = 0;
        request.backup = backupFlag;
        request.parameters = parameters;
        request.rowCount = rowCount;
        DocumentReplacers documents = makeDocumentReplacers(request);

        SyncGetNextFile();
        while (fileInfo != nullptr) {
            if (Terminated())
                break;
            filePath = pathOf(*fileInfo);
            attributes = 0;
            const bool isFolder =
                text.attributesOf(filePath, attributes) == 0 && (attributes & platform::kAttrDirectory) != 0;
            if (!isFolder) {
                // A plain file's size is taken when the replacer opens it.
                const std::int32_t kind = ClassifyFile(filePath);
                const bool plainFile = kind == kKindPlain;
                sizeBefore = plainFile ? -1 : core::GetFileSize64(filePath);
                stage = 0;
                result = kReplaceFailed;
                failure = 0;
                matches = 0;
                std::int64_t knownSize = -1;
                bool tableReady = true;
                if (markersPresent) {
                    tableReady = ExpandFileMarkers(filePath);
                    ++fileCounter;
                }
                if (tableReady) {
                    if (kind != kKindPlain) {
                        IDocumentReplacer* document = documents[static_cast<std::size_t>(kind - 1)].get();
                        if (anotherUsersLink(filePath)) {
                            failure = platform::kErrorAccessDenied;
                        } else if (document == nullptr) {
                            result = kReplaceModeNotSupported;
                        } else {
                            if (markersPresent)
                                document->setTableBlock(tableBlock);
                            result = document->ProcessFile(filePath);
                            matches = document->matchCount();
                            stage = document->stage();
                        }
                    } else {
                        result = text.ReplaceTableInFile(filePath, tableBlock, rowCount);
                        failure = text.failureError();
                        matches = text.matchCount();
                        knownSize = text.sizeAfter();
                        sizeBefore = text.sourceOpened() ? text.fileSize() : -1;
                    }
                } else if (plainFile) {
                    sizeBefore = core::GetFileSize64(filePath);
                }
                fileResult.flags = batchResultFlags(result);
                if (resultReadsSizeAgain(result))
                    takeSizeAfter(filePath, sizeAfter, fileResult, knownSize);
                SyncFileDone();
                SyncProgress();
            }
            // The stop is looked at on the GUI thread, after the file's queued events, which may ask
            // for it.
            SyncGetNextFileUnlessTerminated();
        }
    }
    endState = Terminated() ? kRunStopped : kRunDone;
    setReturnValue(endState);
    try {
        TableCells().swap(Flags);
        TableCells().swap(Finds);
        TableCells().swap(Replaces);
    } catch (...) {
    }
}

} // namespace wux::engines
