// The steps of the file-operation worker on one file: copy, settle an existing target, delete, move, and
// the questions on the way.
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/display_helpers.h"
#include "core/system_error.h"
#include "core/text_table.h"
#include "filelist/file_operations.h"
#include "filelist/general_options.h"
#include "filelist/name_mask.h"
#include "filelist/view_process.h"
#include "platform/dialogs.h"
#include "platform/fault_injection.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wux::filelist {

namespace {

constexpr int kTextCopyToItself = 54;
constexpr int kTextHiddenOrSystem = 59;
constexpr int kTextReadOnly = 60;
constexpr int kTextCannotDelete = 67;
constexpr int kTextCopyErrorCaption = 68;
constexpr int kTextDeleteErrorCaption = 69;
constexpr int kTextBytes = 72;

constexpr std::uint32_t kHiddenOrSystem = platform::kAttrHidden | platform::kAttrSystem;

// A failed system call of a step: a warning box titled with the step's text and the code, the system's
// message text as its body.
void showStepError(std::string_view step, platform::WinError code)
{
    std::string text;
    core::ShowSystemError(true, code, std::string(step) + std::to_string(code), "", text);
}

std::string systemText(platform::WinError code)
{
    std::string text;
    core::ShowSystemError(false, code, "", "", text);
    return text;
}

std::string sizeAndDate(const platform::FileInfo& info)
{
    return "   " + core::FormatSize(info.size) + core::uiText(kTextBytes) +
           core::FileTimeToText(info.times.lastWrite);
}

} // namespace

TOperations::StepAnswer TOperations::Ask(QuestionGroup Kind, std::int32_t QuestionCode,
                                         std::uint32_t ErrorCode)
{
    this->QuestionCode = QuestionCode;
    this->ErrorCode = ErrorCode;
    ConfirmationQuestion question;
    enum class Handling
    {
        Overwrite,
        Attribute,
        NotEmpty,
        Failure
    } handling = Handling::Failure;
    if (QuestionCode == 0 && Kind == QuestionGroup::Directory) {
        handling = Handling::NotEmpty;
        question.kind = ConfirmationKind::DirectoryNotEmpty;
        question.Name1 = questionPath_;
    } else if (QuestionCode == 0 && ErrorCode == 2) {
        handling = Handling::Overwrite;
        question.kind = ConfirmationKind::Overwrite;
        question.Name1 = TargetPath;
        question.Info1 = TargetInfoText;
        question.Name2 = SourcePath;
        question.Info2 = SourceInfoText;
    } else if (QuestionCode == 0) {
        handling = Handling::Attribute;
        question.kind = ConfirmationKind::Attribute;
        question.Name1 = questionPath_;
        question.Info1 = core::uiText(ErrorCode == 0 ? kTextHiddenOrSystem : kTextReadOnly);
        question.DeleteWording = Kind == QuestionGroup::Delete;
    } else if (Kind == QuestionGroup::Directory) {
        question.kind = ConfirmationKind::DirectoryNotCreated;
        question.Name1 = questionPath_;
        question.Info1 = systemText(ErrorCode);
    } else {
        question.kind = ConfirmationKind::StepFailed;
        question.caption =
            core::uiText(Kind == QuestionGroup::Delete ? kTextDeleteErrorCaption : kTextCopyErrorCaption) +
            std::to_string(QuestionCode);
        question.Name1 = SourcePath;
        question.Info1 = Kind == QuestionGroup::Delete && QuestionCode == 3 ? core::uiText(kTextCannotDelete)
                                                                            : systemText(ErrorCode);
    }

    const ConfirmationAnswer answer = ui_.Ask(question);
    StepAnswer result = StepAnswer::Stop;
    switch (answer) {
    case ConfirmationAnswer::Yes:
        result = StepAnswer::Retry;
        if (handling == Handling::Overwrite)
            FileOverwriteMode = kOverwriteReplace;
        break;
    case ConfirmationAnswer::YesToAll:
        result = StepAnswer::Retry;
        if (handling == Handling::Overwrite) {
            OverwriteMode = FileOverwriteMode = kOverwriteReplace;
        } else if (handling == Handling::Attribute) {
            run_.OperationFlags |= ErrorCode == 0 ? kOpHiddenGoOn : kOpReadOnlyGoOn;
        } else if (handling == Handling::NotEmpty) {
            run_.OperationFlags |= kOpDeleteNonEmpty;
        } else {
            result = StepAnswer::Stop;
        }
        break;
    case ConfirmationAnswer::YesAllOlder:
        if (handling == Handling::Overwrite) {
            result = StepAnswer::Retry;
            run_.OperationFlags |= kOpOnlyOlder;
            OverwriteMode = FileOverwriteMode = kOverwriteReplace;
        }
        break;
    case ConfirmationAnswer::No:
        result = StepAnswer::Skip;
        if (handling == Handling::Overwrite)
            FileOverwriteMode = kOverwriteSkip;
        break;
    case ConfirmationAnswer::NoToAll:
        result = StepAnswer::Skip;
        if (handling == Handling::Overwrite) {
            OverwriteMode = FileOverwriteMode = kOverwriteSkip;
        } else if (handling == Handling::Attribute) {
            run_.OperationFlags |= ErrorCode == 0 ? kOpHiddenSkip : kOpReadOnlySkip;
        } else if (handling == Handling::NotEmpty) {
            run_.OperationFlags |= kOpKeepNonEmpty;
        } else {
            result = StepAnswer::Stop;
        }
        break;
    case ConfirmationAnswer::Autorename:
        if (handling == Handling::Overwrite) {
            result = StepAnswer::Retry;
            FileOverwriteMode = kOverwriteAutorename;
        }
        break;
    case ConfirmationAnswer::AutorenameAll:
        if (handling == Handling::Overwrite) {
            result = StepAnswer::Retry;
            OverwriteMode = FileOverwriteMode = kOverwriteAutorename;
        }
        break;
    case ConfirmationAnswer::Cancel:
        break;
    }
    Proceed = result == StepAnswer::Retry;
    if (result == StepAnswer::Stop)
        stopRun();
    return result;
}

bool TOperations::attributeQuestion(std::uint32_t attributes, const std::string& path, bool deleting)
{
    const QuestionGroup group = deleting ? QuestionGroup::Delete : QuestionGroup::Copy;
    if (attributes & kHiddenOrSystem) {
        if (!(run_.OperationFlags & kOpHiddenGoOn)) {
            if (run_.OperationFlags & kOpHiddenSkip) {
                Proceed = false;
                return false;
            }
            questionPath_ = path;
            if (Ask(group, 0, 0) != StepAnswer::Retry)
                return false;
        }
    }
    // A symbolic link has no permissions of its own: the read-only bit is its target's.
    if ((attributes & platform::kAttrReadOnly) && !(attributes & platform::kAttrReparsePoint)) {
        if (!(run_.OperationFlags & kOpReadOnlyGoOn)) {
            if (run_.OperationFlags & kOpReadOnlySkip) {
                Proceed = false;
                return false;
            }
            questionPath_ = path;
            if (Ask(group, 0, 1) != StepAnswer::Retry)
                return false;
        }
    }
    Proceed = true;
    return true;
}

void TOperations::ResolveExistingTarget(bool targetMissing)
{
    replaceTarget_ = false;
    if (targetMissing || !platform::pathExists(TargetPath))
        return;
    FileOverwriteMode = OverwriteMode;
    const std::uint32_t flags = run_.OperationFlags;
    if (FileOverwriteMode == kOverwriteAsk ||
        (FileOverwriteMode == kOverwriteReplace && (flags & kOpOnlyOlder))) {
        TargetInfo = {};
        platform::getFileInfo(TargetPath, TargetInfo);
    }
    if (FileOverwriteMode == kOverwriteAsk) {
        TargetInfoText = sizeAndDate(TargetInfo);
        SourceInfoText = sizeAndDate(SourceInfo);
        if (Ask(QuestionGroup::Copy, 0, 2) != StepAnswer::Retry)
            return;
    }
    switch (FileOverwriteMode) {
    case kOverwriteReplace: {
        if ((run_.OperationFlags & kOpOnlyOlder) && SourceInfo.times.lastWrite < TargetInfo.times.lastWrite) {
            Proceed = false;
            return;
        }
        std::uint32_t attributes = 0;
        platform::getAttributes(TargetPath, attributes);
        if (!attributeQuestion(attributes, TargetPath, false))
            return;
        // The old file stays until its replacement is complete and then gives way to it in one step;
        // what would keep it from giving way is asked about now, as its removal would be.
        for (;;) {
            const platform::WinError error = platform::checkReplaceable(TargetPath);
            if (error == platform::kErrorSuccess)
                break;
            if (Ask(QuestionGroup::Copy, 3, error) != StepAnswer::Retry)
                return;
        }
        replaceTarget_ = true;
        Proceed = true;
        return;
    }
    case kOverwriteAutorename: {
        std::string folder;
        std::string name;
        platform::splitWindowsPath(TargetPath, folder, name);
        for (std::uint32_t number = 1;; ++number) {
            const std::string candidate = platform::joinWindowsPath(folder, NumberedName(name, number));
            if (!platform::pathExists(candidate)) {
                TargetPath = candidate;
                break;
            }
        }
        UpdateNames();
        Proceed = true;
        return;
    }
    default:
        Proceed = false;
        return;
    }
}

bool TOperations::copySymbolicLink()
{
    SourceInfo = {};
    platform::getFileInfo(SourcePath, SourceInfo);
    ResolveExistingTarget();
    bool done = false;
    while (Proceed && !stopped()) {
        const platform::WinError error = platform::copySymbolicLink(SourcePath, TargetPath, replaceTarget_);
        if (error == platform::kErrorSuccess) {
            done = true;
            break;
        }
        if (Ask(QuestionGroup::Copy, 4, error) != StepAnswer::Retry)
            break;
    }
    run_.BytesDone += SourceInfo.size;
    FilePercent = 100;
    UpdateGauges();
    return done;
}

bool TOperations::CopyOneFile()
{
    UpdateGauges();
    UpdateNames();
    Proceed = true;
    FilePercent = 0;
    if (SourcePath.empty() || TargetPath.empty())
        return false;
    // The source opened at once tells whether the target is the source itself and the bytes it stands
    // for; a link, or a source that cannot be opened, is looked at by its name.
    platform::FileHandle source;
    platform::WinError opened = openSource(source);
    platform::FileInfo sourceNow;
    bool sourceSeen = false;
    if (opened == platform::kErrorSuccess && !source.openedThroughLink()) {
        sourceSeen = source.getInfoAtOpen(sourceNow) == platform::kErrorSuccess;
    } else {
        source.close();
        sourceSeen = platform::getFileInfo(SourcePath, sourceNow) == platform::kErrorSuccess;
    }
    // (a target that cannot be looked at is missing: even a dangling link can)
    platform::FileId targetId;
    platform::WinError targetLook = 1;
    if (sourceSeen && targetFolder_ != nullptr) {
        platform::FileInfo targetNow;
        targetLook = platform::getFileInfoIn(*targetFolder_, entryName_, targetNow);
        targetId = targetNow.id;
    } else if (sourceSeen) {
        targetLook = platform::getFileId(TargetPath, targetId);
    }
    const bool targetMissing =
        targetLook == platform::kErrorFileNotFound || targetLook == platform::kErrorPathNotFound;
    if (SourcePath == TargetPath ||
        (targetLook == platform::kErrorSuccess && targetId == sourceNow.id)) {
        source.close();
        platform::showMessageBox(core::uiText(kTextCopyToItself), run_.mainCaption, platform::MsgButtons::Ok,
                                 platform::MsgIcon::Information);
        stopRun();
        return false;
    }
    if (sourceSeen && (sourceNow.attributes & platform::kAttrReparsePoint))
        return copySymbolicLink();

    // The bytes this file stands for in the totals, counted whole whatever happens to it.
    std::uint64_t expected = sourceSeen ? sourceNow.size : 0;
    std::uint64_t copied = 0;
    const auto countRest = [&] {
        if (expected > copied)
            run_.BytesDone += expected - copied;
    };

    while (!source.isOpen()) {
        if (opened != platform::kErrorSuccess && Ask(QuestionGroup::Copy, 1, opened) != StepAnswer::Retry) {
            countRest();
            return false;
        }
        opened = openSource(source);
    }
    for (;;) {
        const platform::WinError error = source.getInfoAtOpen(SourceInfo);
        if (error == platform::kErrorSuccess)
            break;
        if (Ask(QuestionGroup::Copy, 2, error) != StepAnswer::Retry) {
            countRest();
            return false;
        }
    }
    expected = SourceInfo.size; // (the open file's times are the source's: no second look by name)

    ResolveExistingTarget(targetMissing);
    if (!Proceed || stopped()) {
        countRest();
        return false;
    }

    // The data goes to a hidden temporary file beside the target, which takes the target's name only
    // when it is complete: a copy that fails or is killed half-way never leaves a truncated file under
    // a name that a later run would take for a finished copy.
    // The target folder that the walk holds, while the target is a name in it (also a new "[N]" name).
    std::string targetFolder;
    std::string targetName;
    platform::splitWindowsPath(TargetPath, targetFolder, targetName);
    const platform::HeldFolder* into =
        targetFolder_ != nullptr && targetFolder_->path() == targetFolder ? targetFolder_ : nullptr;
    const auto putInPlace = [&](const platform::FileHandle& temp, bool replace) {
        return into != nullptr ? platform::putTemporaryInPlace(temp, *into, targetName, replace)
                               : platform::putTemporaryInPlace(temp, TargetPath, replace);
    };
    platform::FileHandle target;
    std::string tempPath;
    for (;;) {
        const platform::WinError error = into != nullptr
                                             ? platform::createTemporaryIn(*into, targetName, target, tempPath)
                                             : platform::createTemporaryBeside(TargetPath, target, tempPath);
        if (error == platform::kErrorSuccess)
            break;
        if (Ask(QuestionGroup::Copy, 4, error) != StepAnswer::Retry) {
            countRest();
            return false;
        }
    }
    removeLeftovers(target);

    bool ok = true;
    bool inKernel = !kernelCopyRefused_; // the data goes from file to file inside the system while it can
    for (;;) {
        if (stopped()) {
            ok = false;
            break;
        }
        std::size_t got = 0;
        platform::WinError error = platform::kErrorNotSupported;
        if (inKernel) {
            bool readSide = false;
            error = target.copyFrom(source, kCopyBufferSize, got, readSide);
            if (error == platform::kErrorNotSupported) {
                inKernel = false;
                kernelCopyRefused_ = true;
            } else if (error != platform::kErrorSuccess) {
                showStepError(readSide ? "READ FROM FILE: Error " : "WRITE TO FILE: Error ", error);
                ok = false;
                break;
            }
        }
        if (!inKernel) {
            error = source.read(buffer_.get(), kCopyBufferSize, got);
            if (error != platform::kErrorSuccess) {
                showStepError("READ FROM FILE: Error ", error);
                ok = false;
                break;
            }
        }
        if (got == 0)
            break;
        if (!inKernel) {
            std::size_t put = 0;
            error = target.write(buffer_.get(), got, put);
            if (error == platform::kErrorSuccess && put != got)
                error = platform::kErrorDiskFull;
            if (error != platform::kErrorSuccess) {
                showStepError("WRITE TO FILE: Error ", error);
                ok = false;
                break;
            }
        }
        copied += got;
        run_.BytesDone += got;
        std::int32_t percent = ProgressPercent(copied, expected);
        if (percent > 100)
            percent = 100;
        if (percent != FilePercent || percent == 100) {
            FilePercent = percent;
            UpdateGauges();
        }
    }
    countRest();

    if (ok && moves()) {
        // The source goes once this returns: the copy must be on the disk, not only in its cache.
        const platform::WinError error = target.flush();
        if (error != platform::kErrorSuccess) {
            showStepError("WRITE TO FILE: Error ", error);
            ok = false;
        }
    }
    if (ok) {
        const platform::WinError error = target.setTimes(
            &SourceInfo.times.creation, &SourceInfo.times.lastAccess, &SourceInfo.times.lastWrite);
        if (error != platform::kErrorSuccess) {
            showStepError("SetFileTime: Error ", error);
            ok = false;
        }
    }
    if (ok) {
        // The source's owner and mode bits, write permission as its read-only attribute says.
        std::uint32_t mode = SourceInfo.mode & 07777;
        if (SourceInfo.attributes & platform::kAttrReadOnly)
            mode &= ~std::uint32_t(S_IWUSR);
        else
            mode |= S_IWUSR;
        const platform::WinError error = target.setOwnerAndMode(SourceInfo.owner, SourceInfo.group, mode);
        if (error != platform::kErrorSuccess) {
            showStepError("SetFileAttributes: Error ", error);
            ok = false;
        }
    }
    if (ok) {
        // Nobody else may hold the copy when it takes its name: asked through its own handle.
        const platform::WinError error = target.othersAllow(platform::kShareDelete);
        if (error != platform::kErrorSuccess) {
            showStepError("MoveFile: Error", error);
            ok = false;
        }
    }
    if (ok) {
        const platform::WinError error = target.close();
        if (error != platform::kErrorSuccess) {
            showStepError("CloseHandle Write: Error ", error);
            ok = false;
        }
    }
    if (ok && replaceTarget_) {
        // The old file gives way to its complete replacement only now, in one step.
        for (;;) {
            const platform::WinError error = putInPlace(target, true);
            if (error == platform::kErrorSuccess)
                break;
            if (Ask(QuestionGroup::Copy, 3, error) != StepAnswer::Retry) {
                ok = false;
                break;
            }
        }
    } else if (ok) {
        // Never over a file that appeared under the target's name meanwhile.
        const platform::WinError error = putInPlace(target, false);
        if (error != platform::kErrorSuccess) {
            showStepError("MoveFile: Error", error);
            ok = false;
        }
    }
    {
        const platform::WinError error = source.close();
        if (error != platform::kErrorSuccess)
            showStepError("CloseHandle Read: Error ", error);
    }
    if (!ok) {
        // Never leave a partial or unfinished copy behind.
        target.close();
        if (into != nullptr)
            platform::removeTemporary(*into, tempPath);
        else
            platform::removeTemporary(tempPath);
        return false;
    }
    if (FilePercent != 100) {
        FilePercent = 100;
        UpdateGauges();
    }
    return true;
}

platform::WinError TOperations::openSource(platform::FileHandle& source)
{
    constexpr unsigned kShare = platform::kShareRead | platform::kShareWrite;
    if (sourceFolder_ != nullptr) {
        const platform::WinError error =
            source.openIn(*sourceFolder_, entryName_, platform::kAccessRead, kShare, false);
        if (error != platform::kErrorFileInvalid)
            return error;
    }
    return source.open(SourcePath, platform::kAccessRead, kShare, platform::Disposition::kOpenExisting);
}

void TOperations::removeLeftovers(const platform::FileHandle& living)
{
    std::string folder;
    std::string name;
    platform::splitWindowsPath(TargetPath, folder, name);
    if (cleanFolders_.insert(folder).second)
        platform::removeLeftoverTemporaries(folder, living);
}

void TOperations::DeleteOneFile()
{
    const bool deleting = run_.Kind == TFileOperationKind::Delete;
    if (deleting)
        UpdateNames();
    Proceed = true;
    bool attributesSettled = false;
    while (Proceed && !stopped()) {
        std::uint32_t attributes = 0;
        platform::WinError error = platform::getAttributes(SourcePath, attributes);
        if (error != platform::kErrorSuccess) {
            attributesSettled = true;
            if (Ask(QuestionGroup::Delete, 1, error) != StepAnswer::Retry)
                break;
            continue;
        }
        if (!attributesSettled) {
            attributesSettled = true;
            if (!attributeQuestion(attributes, SourcePath, true))
                break;
        }
        // A link is removed as a link: its target's permissions are never touched.
        if (!(attributes & platform::kAttrReparsePoint)) {
            error = platform::setAttributes(SourcePath, platform::kAttrNormal);
            if (error != platform::kErrorSuccess) {
                if (Ask(QuestionGroup::Delete, 2, error) != StepAnswer::Retry)
                    break;
                continue;
            }
        }
        // Only a delete goes to the Trash: the source of a move between drives has its copy already.
        if (deleting && HasGeneralOption(kOptionDeleteToRecycleBin)) {
            error = platform::moveToTrash(SourcePath);
            if (error != platform::kErrorSuccess) {
                if (Ask(QuestionGroup::Delete, 3, error) != StepAnswer::Retry)
                    break;
                continue;
            }
        } else {
            error = platform::deleteFile(SourcePath);
            if (error != platform::kErrorSuccess) {
                if (Ask(QuestionGroup::Delete, 4, error) != StepAnswer::Retry)
                    break;
                continue;
            }
        }
        break;
    }
    if (deleting)
        UpdateGauges();
}

void TOperations::MoveOneFile()
{
    UpdateNames();
    Proceed = true;
    crossDeviceDirectory_ = false;
    replaceTarget_ = false;
    std::uint32_t sourceAttributes = 0;
    platform::getAttributes(SourcePath, sourceAttributes);
    const bool directory =
        (sourceAttributes & platform::kAttrDirectory) && !(sourceAttributes & platform::kAttrReparsePoint);
    // The source itself under another spelling (a case-only rename) is a plain rename.
    if (SourcePath != TargetPath && !directory && platform::pathExists(TargetPath) &&
        !platform::sameFile(SourcePath, TargetPath)) {
        platform::FileHandle source;
        bool opened = true;
        if (!(sourceAttributes & platform::kAttrReparsePoint)) {
            for (;;) {
                const platform::WinError error = source.open(SourcePath, platform::kAccessRead,
                                                             platform::kShareRead | platform::kShareWrite,
                                                             platform::Disposition::kOpenExisting);
                if (error == platform::kErrorSuccess)
                    break;
                if (Ask(QuestionGroup::Copy, 1, error) != StepAnswer::Retry) {
                    opened = false;
                    break;
                }
            }
        }
        if (opened && source.isOpen()) {
            for (;;) {
                const platform::WinError error = source.getInfo(SourceInfo);
                if (error == platform::kErrorSuccess)
                    break;
                if (Ask(QuestionGroup::Copy, 2, error) != StepAnswer::Retry) {
                    opened = false;
                    break;
                }
            }
        } else if (opened) {
            SourceInfo = {};
            platform::getFileInfo(SourcePath, SourceInfo);
        }
        if (opened)
            ResolveExistingTarget();
        source.close();
        if (!opened || !Proceed) {
            Proceed = false;
            UpdateGauges();
            return;
        }
    }
    const platform::WinError error = replaceTarget_ ? platform::moveFileReplacing(SourcePath, TargetPath)
                                                    : platform::moveFile(SourcePath, TargetPath);
    if (error == platform::kErrorNotSameDevice && directory) {
        // A folder cannot be renamed onto another file system: the caller moves it entry by entry.
        crossDeviceDirectory_ = true;
    } else if (error == platform::kErrorInvalidParameter && directory) {
        // Into a folder inside it: said as it is, and the run stops as a copy into itself does.
        platform::showMessageBox(core::uiText(kTextMoveIntoItself), run_.mainCaption, platform::MsgButtons::Ok,
                                 platform::MsgIcon::Information);
        stopRun();
    } else if (error != platform::kErrorSuccess) {
        showStepError("MoveFile: Error", error);
        Proceed = false;
    }
    UpdateGauges();
}

} // namespace wux::filelist
