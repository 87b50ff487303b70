#include "filelist/file_operations.h"

#include <QApplication>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "core/system_error.h"
#include "core/text_table.h"
#include "filelist/active_panel.h"
#include "filelist/basket.h"
#include "filelist/copy_confirmation_form.h"
#include "filelist/folder_reader.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "filelist/name_mask.h"
#include "filelist/operation_cursor.h"
#include "filelist/view_process.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wux::filelist {

namespace {

constexpr int kTextCopyToItself = 54;
constexpr int kTextDirectoryNotDeleted = 71;
constexpr int kTextSeveralToOneFile = 125;
constexpr int kTextInvalidTarget = 126;

// Read flags of a folder sent to the Basket: its files only.
constexpr std::uint32_t kSendReadFlags = 10;

bool isRealDirectory(std::uint32_t attributes)
{
    return (attributes & platform::kAttrDirectory) && !(attributes & platform::kAttrReparsePoint);
}

// A path without its trailing "\" (a drive root keeps it).
std::string withoutTrailingBackslash(std::string_view path)
{
    std::string text(path);
    while (text.size() > 1 && text.back() == '\\' && !platform::isDriveRoot(text))
        text.pop_back();
    return text;
}

bool isDirectoryPath(std::string_view path)
{
    std::uint32_t attributes = 0;
    return platform::getAttributes(withoutTrailingBackslash(path), attributes) == platform::kErrorSuccess &&
           (attributes & platform::kAttrDirectory);
}

std::uint32_t resultFlags(TFileOperationKind kind)
{
    switch (kind) {
    case TFileOperationKind::Copy:
    case TFileOperationKind::SendToBasket:
        return kResultUnmark;
    case TFileOperationKind::Delete:
    case TFileOperationKind::Move:
    case TFileOperationKind::RemoveFromBasket:
        break;
    }
    return kResultUnmark | kResultRemove;
}

// The item under the cursor, copied out of the list.
struct CursorItem
{
    std::string name;
    std::string folder;
    std::uint32_t attributes = 0;
    std::int32_t number = 1;
    std::int32_t cursorFolder = 0;
    std::int32_t cursorPosition = 0;
};

} // namespace

bool ParseOperationTarget(std::string_view Target, std::string_view sourceDir, std::int32_t selectedCount,
                          std::string_view caption, TOperationTarget& target)
{
    target = {};
    // Typed text: it may be written the Linux way, and its folders spelled in another letter case.
    std::string typed;
    if (const platform::WinError error = platform::pathFromOutside(Target, typed)) {
        std::string reason;
        core::ShowSystemError(true, error, caption, Target, reason);
        return false;
    }
    Target = typed;
    const std::size_t slash = Target.rfind('\\');
    const bool hadBackslash = slash != std::string_view::npos;
    target.Name = std::string(hadBackslash ? Target.substr(slash + 1) : Target);
    target.Dir = hadBackslash ? std::string(Target.substr(0, slash + 1)) : std::string();

    bool valid = true;
    std::string& dir = target.Dir;
    if (!dir.empty()) {
        if (dir[0] == '\\' && (dir.size() < 2 || dir[1] != '\\')) {
            // "\folder\": the root of the source folder's drive.
            if (platform::driveLetterOf(sourceDir) != 0)
                dir = std::string(sourceDir.substr(0, 2)) + dir;
            else
                valid = false;
        } else if (dir.size() < 2 || (dir[1] != ':' && dir[1] != '\\')) {
            if (!sourceDir.empty())
                dir = withoutTrailingBackslash(sourceDir) + "\\" + dir;
            else
                valid = false;
        }
        if (valid) {
            dir = platform::spelledOnDisk(dir);
            if (dir.back() != '\\')
                dir += '\\';
            valid = isDirectoryPath(dir);
        }
    }
    if (!valid) {
        platform::showMessageBox(core::formatUiText(kTextInvalidTarget, {dir}), caption,
                                 platform::MsgButtons::Ok, platform::MsgIcon::Warning);
        return false;
    }
    // A last name that stands for a folder is the folder the items go into; any other is the new
    // name as typed (never another file's name of another spelling).
    if (!dir.empty() && !target.Name.empty() && !HasWildcard(target.Name)) {
        const std::string folder = platform::spelledOnDisk(dir + target.Name);
        if (isDirectoryPath(folder)) {
            dir = folder + "\\";
            target.Name.clear();
        }
    }
    if (selectedCount < 2) {
        target.renameInPlace = !hadBackslash;
    } else if (!target.Name.empty() && !HasWildcard(target.Name)) {
        platform::showMessageBox(core::uiText(kTextSeveralToOneFile), caption, platform::MsgButtons::Ok,
                                 platform::MsgIcon::Warning);
        return false;
    }
    return true;
}

// ---- The worker ----

TOperations::TOperations(TFileOperationRun& run, IFileOperationUi& ui) : run_(run), ui_(ui) {}

TOperations::~TOperations()
{
    Terminate();
    WaitFor();
}

void TOperations::stopRun()
{
    Proceed = false;
    Terminate();
}

void TOperations::UpdateGauges()
{
    const bool byBytes =
        run_.Kind == TFileOperationKind::Copy || (run_.Kind == TFileOperationKind::Move && !SameDrive);
    std::int32_t overall = 0;
    if (byBytes) {
        overall = ProgressPercent(run_.BytesDone.load(), run_.BytesTotal.load());
    } else {
        const std::int32_t done = std::max(run_.FilesDone.load(), 0);
        const std::int32_t total = std::max(run_.FilesTotal.load(), 0);
        overall = ProgressPercent(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(total));
    }
    overall = std::clamp(overall, 0, 100);
    const std::int32_t file = std::clamp(FilePercent, 0, 100);
    if (overall == OverallPercent && file == shownFilePercent_)
        return;
    OverallPercent = overall;
    shownFilePercent_ = file;
    ui_.ShowProgress(overall, file);
}

void TOperations::UpdateNames()
{
    ui_.ShowNames(SourcePath, TargetPath);
}

void TOperations::Execute()
{
    // Whatever happens, the progress window gets its close command and the busy flag is cleared.
    struct Ending
    {
        IFileOperationUi& ui;
        std::unique_ptr<char[]>& buffer;
        ~Ending()
        {
            buffer.reset();
            OperationBusy = false;
            ui.PostCloseCommand();
        }
    } ending{ui_, buffer_};

    while (!ui_.ProgressWindowShown() && !Terminated())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    buffer_ = std::make_unique<char[]>(kCopyBufferSize);
    run_.BytesDone = 0;
    if (!Terminated())
        executeItems();
}

void TOperations::executeItems()
{
    const TFileOperationKind kind = run_.Kind;
    while (!stopped()) {
        CursorItem item;
        bool found = false;
        platform::synchronize([&] {
            const TOperationFileInfo* info = NextOperationFile(kNextNormal);
            if (info == nullptr)
                return;
            found = true;
            item.name = info->name;
            item.folder = info->folderPath;
            item.attributes = info->attributes;
            item.number = info->number;
            item.cursorFolder = PluginStructure.folder;
            item.cursorPosition = PluginStructure.position;
        });
        if (!found)
            break;

        Proceed = true;
        if (kind != TFileOperationKind::RemoveFromBasket) {
            TargetName = ApplyNameMask(Mask, item.name);
            SourcePath = platform::joinWindowsPath(item.folder, item.name);
            TargetPath = TargetDir.empty() ? platform::joinWindowsPath(item.folder, TargetName)
                                           : TargetDir + TargetName;
            std::uint32_t attributes = item.attributes;
            std::uint32_t onDisk = 0;
            if (platform::getAttributes(SourcePath, onDisk) == platform::kErrorSuccess)
                attributes = onDisk;
            if (!isRealDirectory(attributes)) {
                switch (kind) {
                case TFileOperationKind::Copy:
                    CopyOneFile();
                    break;
                case TFileOperationKind::Delete:
                    DeleteOneFile();
                    break;
                case TFileOperationKind::Move:
                    if (SameDrive) {
                        MoveOneFile();
                    } else if (CopyOneFile()) {
                        DeleteOneFile();
                    }
                    break;
                case TFileOperationKind::SendToBasket:
                    platform::synchronize([&] {
                        if (run_.basketCopy == nullptr || PluginStructure.state == nullptr)
                            return;
                        const std::int32_t folder = FindOrAddFolder(item.folder, *run_.basketCopy);
                        if (folder > 0)
                            InsertItemFromState(item.cursorFolder, item.cursorPosition, folder,
                                                *run_.basketCopy, *PluginStructure.state);
                    });
                    break;
                case TFileOperationKind::RemoveFromBasket:
                    break;
                }
                run_.FilesDone += 1;
                UpdateGauges();
            } else if (kind == TFileOperationKind::Copy || kind == TFileOperationKind::Move) {
                const bool inside = isInsideSource(SourcePath, TargetPath);
                if (kind == TFileOperationKind::Move && SameDrive) {
                    if (!inside && isDirectoryPath(TargetPath)) {
                        // Merged into the folder of that name.
                        run_.FilesTotal += item.number;
                        walkDirectory(SourcePath + "\\", TargetPath + "\\");
                    } else {
                        MoveOneFile();
                        if (crossDeviceDirectory_) {
                            run_.FilesTotal += item.number;
                            walkDirectory(SourcePath + "\\", TargetPath + "\\");
                        }
                    }
                    run_.FilesDone += 1;
                    UpdateGauges();
                } else if (inside) {
                    platform::showMessageBox(core::uiText(kTextCopyToItself), run_.mainCaption,
                                             platform::MsgButtons::Ok, platform::MsgIcon::Information);
                    stopRun();
                } else {
                    walkDirectory(SourcePath + "\\", TargetPath + "\\");
                }
            } else {
                walkDirectory(SourcePath + "\\", TargetPath + "\\");
            }
        }

        TOperationFileResult result;
        result.flags = resultFlags(kind);
        // A Basket entry goes only when its file is really gone.
        if ((kind == TFileOperationKind::Delete || kind == TFileOperationKind::Move) &&
            platform::pathExists(platform::joinWindowsPath(item.folder, item.name)))
            result.flags &= ~kResultRemove;
        platform::synchronize([&] { SetOperationFileResult(&result); });
    }
    if (kind == TFileOperationKind::SendToBasket || kind == TFileOperationKind::RemoveFromBasket) {
        run_.FilesDone = run_.FilesTotal.load();
        UpdateGauges();
    }
}

bool TOperations::isInsideSource(const std::string& source, const std::string& target) const
{
    if (source == target)
        return true;
    if (target.size() > source.size() && target[source.size()] == '\\' &&
        std::string_view(target).substr(0, source.size()) == source)
        return true;
    // The same folder under another spelling (a link, another drive letter or a drive whose root lies
    // inside it, "..").
    return platform::isSameOrInside(source, target);
}

bool TOperations::stillTheListedFolder(const std::string& directory, const platform::FileId& id)
{
    while (!platform::isSameFolder(directory, id)) {
        if (!askAboutSwappedFolder(directory))
            return false;
    }
    return true;
}

bool TOperations::askAboutSwappedFolder(const std::string& directory)
{
    // Never taken silently: the files in it would be left out of a copy, move or delete.
    const TFileOperationKind kind = run_.Kind;
    if (kind != TFileOperationKind::Copy && kind != TFileOperationKind::Move && kind != TFileOperationKind::Delete)
        return false;
    SourcePath = directory;
    return Ask(kind == TFileOperationKind::Delete ? QuestionGroup::Delete : QuestionGroup::Copy, 1,
               platform::kErrorFileInvalid) == StepAnswer::Retry;
}

bool TOperations::makeTargetDirectory(const std::string& directory, bool& made)
{
    made = false;
    for (;;) {
        if (stopped())
            return false;
        if (isDirectoryPath(directory))
            return true;
        const platform::WinError error = platform::createFolder(directory);
        if (error == platform::kErrorSuccess) {
            cleanFolders_.insert(directory); // (nothing was left in a folder this run made)
            made = true;
        }
        if (error == platform::kErrorSuccess ||
            (error == platform::kErrorAlreadyExists && isDirectoryPath(directory)))
            continue;
        // Also a file of that name: asking beats trying for ever.
        questionPath_ = directory;
        if (Ask(QuestionGroup::Directory, 5, error) != StepAnswer::Retry)
            return false;
    }
}

bool TOperations::sendDirectoryToBasket(const std::string& sourceDir)
{
    UpdateNames();
    TstateOfBrowser* copy = run_.basketCopy;
    if (copy == nullptr)
        return false;
    const std::string path = withoutTrailingBackslash(sourceDir);
    const bool present = FolderInsertPosition(path, *copy) == -1;
    const std::int32_t folder = FindOrAddFolder(path, *copy);
    if (folder < 1)
        return false;
    if (present)
        ClearFolderItems(folder, *copy);
    ReadFolder(folder, kSendReadFlags, *copy);
    SortFolder(folder, kBasketSortWord, *copy);
    UpdateGauges();
    return true;
}

void TOperations::walkDirectory(const std::string& sourceDir, const std::string& targetDir,
                                const platform::FileId* expected)
{
    const TFileOperationKind kind = run_.Kind;
    const std::string directory = withoutTrailingBackslash(sourceDir);
    // The folder entered is the current item: the progress window names it while its questions are
    // asked (not empty, cannot be made, cannot be read) and until its first file takes its place.
    if (kind == TFileOperationKind::Copy || kind == TFileOperationKind::Move || kind == TFileOperationKind::Delete)
        UpdateNames();
    // A folder swapped for a link (or another folder) since its parent was listed is left alone.
    if (expected != nullptr && !stillTheListedFolder(directory, *expected))
        return;
    // A target folder made here that nothing went into goes again when the source cannot be listed.
    bool targetMade = false;
    const auto dropEmptyTarget = [&] {
        if (targetMade)
            platform::removeFolder(withoutTrailingBackslash(targetDir)); // (fails when not empty)
    };
    if (kind == TFileOperationKind::Copy || kind == TFileOperationKind::Move) {
        if (!makeTargetDirectory(withoutTrailingBackslash(targetDir), targetMade))
            return;
    } else if (kind == TFileOperationKind::SendToBasket) {
        sendDirectoryToBasket(sourceDir);
    }

    // The entries first, so that the walk never meets what it has just written or removed. The listing
    // is of the folder itself, never of a link put in its place; its entries keep their identities, so
    // that a sub-folder is entered only while it is the one listed.
    std::vector<platform::FindData> entries;
    platform::FileId folderId;
    for (;;) {
        entries.clear();
        platform::FolderListing listing;
        // Names first: a file's status is taken where it is opened, so the listing reads only the
        // folders' and links' (and a name of a temporary file's, which is nobody's while written).
        listing.setNamesFirst(true);
        platform::FindData data;
        platform::WinError error = listing.findFirstInWalk(sourceDir + "*.*", expected, data);
        if (error == platform::kErrorFileInvalid) {
            if (expected == nullptr || !askAboutSwappedFolder(directory)) {
                dropEmptyTarget();
                return;
            }
            continue;
        }
        folderId = listing.folderId();
        if (error == platform::kErrorSuccess) {
            do {
                if (data.name == "." || data.name == "..")
                    continue;
                if (data.statusPending && platform::isTemporaryName(data.name) &&
                    listing.fillStatus(data) != platform::kErrorSuccess)
                    continue;
                entries.push_back(data);
            } while ((error = listing.findNext(data)) == platform::kErrorSuccess);
            if (error == platform::kErrorNoMoreFiles)
                error = platform::kErrorSuccess;
        } else if (error == platform::kErrorFileNotFound) {
            error = platform::kErrorSuccess; // an empty drive root
        }
        if (error == platform::kErrorSuccess || kind == TFileOperationKind::SendToBasket ||
            kind == TFileOperationKind::RemoveFromBasket)
            break;
        // A folder that cannot be read is never taken as empty: its files would be silently left out
        // of a copy, and a move or delete could not account for them.
        SourcePath = directory;
        if (Ask(kind == TFileOperationKind::Delete ? QuestionGroup::Delete : QuestionGroup::Copy, 1, error) !=
            StepAnswer::Retry) {
            dropEmptyTarget();
            return;
        }
    }

    bool addedInside = false;
    if (kind == TFileOperationKind::Delete && !entries.empty() &&
        !(run_.OperationFlags & (kOpDeleteNonEmpty | kOpInsideAllowed))) {
        if (run_.OperationFlags & kOpKeepNonEmpty)
            return;
        questionPath_ = directory;
        if (Ask(QuestionGroup::Directory, 0, 0) != StepAnswer::Retry)
            return;
        run_.OperationFlags |= kOpInsideAllowed;
        addedInside = true;
    }

    // The copied folder keeps the source's times, as a copied file does: as they are before a move
    // empties the source.
    platform::FileTimes folderTimes;
    const bool keepTimes = (kind == TFileOperationKind::Copy || kind == TFileOperationKind::Move) &&
                           platform::getFileTimes(directory, folderTimes) == platform::kErrorSuccess;
    // A copy reaches the files relative to the folder listed and to the target folder, held open (no
    // path looked up from the root for each file) while it copies the files of this folder only, so
    // that a deep tree holds nothing open for the folders above. A folder that cannot be held is
    // reached by its path, after the check below.
    const bool copies = kind == TFileOperationKind::Copy || (kind == TFileOperationKind::Move && !SameDrive);
    platform::HeldFolder heldSource;
    platform::HeldFolder heldTarget;
    // Every step below acts on a path inside this folder: while the folder is not the one listed (it
    // or a folder above it was swapped for a link), the rest of it is left alone.
    bool unchanged = true;
    for (const platform::FindData& entry : entries) {
        if (stopped())
            break;
        if (!stillTheListedFolder(directory, folderId)) {
            unchanged = false;
            break;
        }
        SourcePath = sourceDir + entry.name;
        TargetPath = targetDir + entry.name;
        Proceed = true;
        if (platform::isWalkableFolder(entry)) {
            heldSource.close();
            heldTarget.close();
            walkDirectory(SourcePath + "\\", TargetPath + "\\", &entry.id);
            continue;
        }
        if (copies && !heldSource.isOpen() && heldSource.open(directory, &folderId) == platform::kErrorSuccess)
            heldTarget.open(withoutTrailingBackslash(targetDir));
        const bool plainFile =
            (entry.attributes & platform::kAttrArchive) && !(entry.attributes & platform::kAttrReparsePoint);
        sourceFolder_ = plainFile && heldSource.isOpen() ? &heldSource : nullptr;
        targetFolder_ = heldTarget.isOpen() ? &heldTarget : nullptr;
        entryName_ = entry.name;
        switch (kind) {
        case TFileOperationKind::Copy:
            CopyOneFile();
            break;
        case TFileOperationKind::Delete:
            DeleteOneFile();
            break;
        case TFileOperationKind::Move:
            if (SameDrive) {
                MoveOneFile();
            } else if (CopyOneFile()) {
                DeleteOneFile();
            }
            break;
        case TFileOperationKind::SendToBasket:
        case TFileOperationKind::RemoveFromBasket:
            break;
        }
        sourceFolder_ = nullptr;
        targetFolder_ = nullptr;
        run_.FilesDone += 1;
        UpdateGauges();
    }

    if (addedInside)
        run_.OperationFlags &= ~kOpInsideAllowed;
    // (set once every entry is in, since each new entry changes a folder's last-write time; best
    // effort, as cp -a does it)
    if (keepTimes && !stopped() && unchanged)
        platform::setFileTimes(withoutTrailingBackslash(targetDir), nullptr, &folderTimes.lastAccess,
                               &folderTimes.lastWrite);
    if ((kind == TFileOperationKind::Delete || kind == TFileOperationKind::Move) && !stopped() && unchanged &&
        platform::isSameFolder(directory, folderId)) {
        platform::setAttributes(directory, platform::kAttrNormal);
        if (platform::removeFolder(directory) != platform::kErrorSuccess)
            platform::showMessageBox(core::formatUiText(kTextDirectoryNotDeleted, {directory}),
                                     run_.mainCaption, platform::MsgButtons::Ok, platform::MsgIcon::Error);
    }
}

// ---- The run on the GUI side ----

FileOperationSession::FileOperationSession(TFileOperationKind kind, std::string mainCaption)
{
    run.Kind = kind;
    run.mainCaption = std::move(mainCaption);
}

FileOperationSession::~FileOperationSession()
{
    if (hasBasketCopy_)
        FreeBrowserState(basketCopy_);
}

bool FileOperationSession::Prepare(std::string_view Target)
{
    TPluginStructure& cursor = PluginStructure;
    if (cursor.state == nullptr)
        return false;
    TstateOfBrowser& state = *cursor.state;
    run.FilesDone = 0;
    run.OperationFlags = 0;
    const TFileOperationKind kind = run.Kind;
    if (kind == TFileOperationKind::Copy || kind == TFileOperationKind::Move) {
        if (!ParseOperationTarget(Target, cursor.sourcePath, state.selectedCount, run.mainCaption, target))
            return false;
        if (target.renameInPlace) {
            std::string first;
            FirstSelectedName(state, first);
            cursorName = ApplyNameMask(target.Name, first);
        }
    } else {
        target = {};
    }

    const bool cursorShown = QGuiApplication::instance() != nullptr && platform::isGuiThread();
    if (cursorShown)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    std::int32_t count = 0;
    const std::uint64_t bytes = SumSelectedSizes(count, state, kind != TFileOperationKind::RemoveFromBasket);
    if (cursorShown)
        QGuiApplication::restoreOverrideCursor();
    run.FilesTotal = count;
    run.BytesTotal = bytes;

    sameDrive = false;
    if (kind == TFileOperationKind::Move) {
        const char sourceDrive = platform::driveLetterOf(cursor.sourcePath);
        sameDrive =
            target.Dir.empty() || (sourceDrive != 0 && sourceDrive == platform::driveLetterOf(target.Dir));
        if (sameDrive)
            run.FilesTotal = state.selectedCount;
    } else if (kind == TFileOperationKind::RemoveFromBasket) {
        run.FilesTotal = state.selectedCount;
    } else if (kind == TFileOperationKind::SendToBasket) {
        CloneBrowserState(basketCopy_, BasketState);
        hasBasketCopy_ = true;
        run.basketCopy = &basketCopy_;
    }
    return true;
}

std::unique_ptr<TOperations> FileOperationSession::CreateWorker(IFileOperationUi& ui)
{
    auto worker = std::make_unique<TOperations>(run, ui);
    worker->SameDrive = sameDrive;
    worker->TargetDir = target.Dir;
    worker->Mask = target.Name;
    const std::uint32_t options = GeneralCheckContainer.load();
    if (!(options & kOptionConfirmReadOnly))
        run.OperationFlags |= kOpReadOnlyGoOn;
    if (!(options & kOptionConfirmHiddenSystem))
        run.OperationFlags |= kOpHiddenGoOn;
    if (options & kOptionDeleteNonEmptyDirsSilently)
        run.OperationFlags |= kOpDeleteNonEmpty;
    worker->OverwriteMode = (options & kOptionConfirmOverwrite) ? kOverwriteAsk : kOverwriteReplace;
    worker->setPriority(platform::ThreadPriority::Normal);
    OperationBusy = true;
    return worker;
}

void FileOperationSession::Finish()
{
    if (hasBasketCopy_) {
        FreeBrowserState(BasketState);
        BasketState = basketCopy_;
        basketCopy_ = TstateOfBrowser();
        hasBasketCopy_ = false;
        run.basketCopy = nullptr;
        RecalcAllPanels();
    }
    if (target.renameInPlace && PluginStructure.state != nullptr)
        PluginStructure.state->cursorName = cursorName;
}

void StartFileOperation(std::string_view Target, TFileOperationKind Kind, QWidget* mainWindow)
{
    QWidget* main = mainWindow != nullptr ? mainWindow : QApplication::activeWindow();
    std::string caption;
    if (IBrowserPanel* panel = GetActivePanel())
        caption = panel->MainCaption();
    else if (main != nullptr)
        caption = platform::toUtf8(main->windowTitle());

    const QString savedTitle = QGuiApplication::applicationDisplayName();
    FileOperationSession session(Kind, caption);
    if (!session.Prepare(Target))
        return;

    QRect frame;
    if (main != nullptr) {
        frame = main->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        frame = screen->availableGeometry();
    }
    {
        TViewProcess view(main);
        TCopyConfirmationForm form(&view);
        FileOperationWindows ui(view, form, main);
        view.PrepareForOperation(Kind, platform::toQString(caption), frame);
        std::unique_ptr<TOperations> worker = session.CreateWorker(ui);
        view.setWorker(worker.get());
        view.clearBusyFlag = [] { OperationBusy = false; };
        worker->Start();
        view.exec();
        QGuiApplication::setApplicationDisplayName(savedTitle);
        worker->WaitFor();
        view.setWorker(nullptr);
        worker.reset();
    }
    session.Finish();
    if (main != nullptr)
        main->setEnabled(true);
}

} // namespace wux::filelist
