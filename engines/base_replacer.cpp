#include "engines/base_replacer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "engines/batch_table.h"
#include "platform/codepage.h"
#include "platform/fault_injection.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace wux::engines {

namespace {

// Chunk of the backup copy.
constexpr std::size_t kBackupChunk = 200000;

std::string withoutLineFeeds(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\n')
            out.push_back(c);
    return out;
}

// Deletes a file of ours, also when it carries the read-only attribute.
void removeOwnFile(std::string_view path)
{
    platform::setAttributes(path, platform::kAttrNormal);
    platform::deleteFile(path);
}

// True when both files can be read and hold the same bytes.
bool sameContent(std::string_view first, std::string_view second)
{
    platform::FileHandle a, b;
    const unsigned share = platform::kShareRead | platform::kShareWrite;
    std::uint64_t sizeA = 0, sizeB = 0;
    if (a.open(first, platform::kAccessRead, share, platform::Disposition::kOpenExisting) !=
            platform::kErrorSuccess ||
        b.open(second, platform::kAccessRead, share, platform::Disposition::kOpenExisting) !=
            platform::kErrorSuccess ||
        a.size(sizeA) != platform::kErrorSuccess || b.size(sizeB) != platform::kErrorSuccess ||
        sizeA != sizeB)
        return false;
    std::vector<char> bufferA(kBackupChunk), bufferB(kBackupChunk);
    for (std::uint64_t remaining = sizeA; remaining > 0;) {
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kBackupChunk));
        std::size_t doneA = 0, doneB = 0;
        if (a.read(bufferA.data(), chunk, doneA) != platform::kErrorSuccess || doneA != chunk ||
            b.read(bufferB.data(), chunk, doneB) != platform::kErrorSuccess || doneB != chunk ||
            std::memcmp(bufferA.data(), bufferB.data(), chunk) != 0)
            return false;
        remaining -= chunk;
    }
    return true;
}

} // namespace

// ---- Search block ----

ReplacerStructure BuildReplacerStructure(std::string_view find, std::string_view replace, bool caseSensitive,
                                         bool wholeWord, std::int32_t mode, bool oem)
{
    const bool insertText = mode == kModeInsertHead || mode == kModeInsertFoot;
    if (insertText) {
        caseSensitive = false;
        wholeWord = false;
    }
    // Delete, insert at head or foot and just find carry no replace text.
    if (insertText || mode == kModeDelete || mode == kModeJustFind)
        replace = {};
    const bool folded = !caseSensitive && !insertText;
    // The two case forms, each character in its lower or upper case where that takes as many bytes, so
    // that both keep the find text's byte positions; case-folded first, then converted to the DOS code
    // page (one byte per character there).
    std::string first, second;
    if (folded) {
        first = platform::simpleLower(find, true);
        second = platform::simpleUpper(find, true);
    } else {
        first = std::string(find);
    }
    std::string oemReplace;
    if (oem) {
        const std::string typed = platform::toCp437(find);
        auto converted = [&typed](std::string_view form) {
            std::string bytes = platform::toCp437(form);
            if (bytes.size() != typed.size())
                return typed;
            // A case form that the code page lacks stands as typed.
            for (std::size_t i = 0; i < bytes.size(); ++i)
                if (bytes[i] == '?' && typed[i] != '?')
                    bytes[i] = typed[i];
            return bytes;
        };
        first = folded ? converted(platform::simpleLower(find, false)) : typed;
        if (folded)
            second = converted(platform::simpleUpper(find, false));
        oemReplace = platform::toCp437(replace);
        replace = oemReplace;
    }
    const std::size_t n = first.size();
    const std::size_t m = replace.size();
    if (n > std::numeric_limits<std::uint32_t>::max() / 4 ||
        m > std::numeric_limits<std::uint32_t>::max() / 4)
        return {};
    const ReplacerStructure block = platform::movableAlloc(
        2 * n + m + kReplacerTextOffset + kReplacerSpareSize, platform::MovableFlags::ZeroInit);
    platform::MovableLock lock(block);
    if (!lock)
        return block;
    auto* bytes = lock.as<std::uint8_t>();
    bytes[kReplacerCaseOffset] = caseSensitive ? 1 : 0;
    bytes[kReplacerWholeWordOffset] = wholeWord ? 1 : 0;
    storeLe32(bytes + kReplacerFindLengthOffset, static_cast<std::uint32_t>(n));
    storeLe32(bytes + kReplacerReplaceLengthOffset, static_cast<std::uint32_t>(m));
    char* text = reinterpret_cast<char*>(bytes + kReplacerTextOffset);
    if (n > 0)
        std::memcpy(text, first.data(), n);
    if (folded && n > 0)
        std::memcpy(text + n, second.data(), n);
    if (m > 0)
        std::memcpy(text + 2 * n, replace.data(), m);
    return block;
}

std::optional<ReplacerStructureView> parseReplacerStructure(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kReplacerTextOffset)
        return std::nullopt;
    const std::uint64_t n = loadLe32(bytes.data() + kReplacerFindLengthOffset);
    const std::uint64_t m = loadLe32(bytes.data() + kReplacerReplaceLengthOffset);
    if (kReplacerTextOffset + 2 * n + m > bytes.size())
        return std::nullopt;
    ReplacerStructureView view;
    view.caseSensitive = bytes[kReplacerCaseOffset] != 0;
    view.wholeWord = bytes[kReplacerWholeWordOffset] != 0;
    const char* text = reinterpret_cast<const char*>(bytes.data() + kReplacerTextOffset);
    view.find.assign(text, n);
    view.findUpper = view.caseSensitive ? view.find : std::string(text + n, n);
    view.replace.assign(text + 2 * n, m);
    return view;
}

std::optional<ReplacerStructureView> readReplacerStructureBlock(ReplacerStructure block)
{
    platform::MovableLock lock(block);
    if (!lock)
        return std::nullopt;
    return parseReplacerStructure({lock.as<const std::uint8_t>(), platform::movableSize(block)});
}

// ---- Names ----

std::string StripExtension(std::string_view Name)
{
    const std::size_t dot = Name.rfind('.');
    return std::string(dot == std::string_view::npos ? Name : Name.substr(0, dot));
}

std::string temporaryName(std::string_view path, std::int32_t number)
{
    return platform::temporaryPathOf(path, static_cast<std::uint32_t>(number));
}

std::string firstFreeName(std::string_view base)
{
    std::string name(base);
    for (std::int64_t k = 0; platform::pathExists(name); ++k)
        name = std::string(base) + std::to_string(k);
    return name;
}

bool isMissingFileError(platform::WinError error)
{
    return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound ||
           error == platform::kErrorInvalidName || error == platform::kErrorFilenameExcedRange;
}

std::string rewriteTarget(std::string_view path)
{
    // Only a path whose attributes can be read and show a link leads elsewhere.
    std::string posix;
    platform::PathEntry entry;
    if (platform::injectedFault(path, platform::kFaultAttributes) != platform::kErrorSuccess ||
        platform::toPosixPath(path, posix, entry) != platform::kErrorSuccess ||
        !entry.exists || !S_ISLNK(entry.st.st_mode))
        return std::string(path);
    char* real = ::realpath(posix.c_str(), nullptr);
    if (real == nullptr)
        return std::string(path);
    const std::string target = platform::toWindowsPath(real);
    std::free(real);
    return target.empty() ? std::string(path) : target;
}

void MoveToFolder(std::string_view Folder, std::string_view NameSource, std::string_view FilePath)
{
    if (Folder.empty() || NameSource.empty())
        return;
    std::string folderPart, name;
    platform::splitWindowsPath(NameSource, folderPart, name);
    const std::string base = StripExtension(name);
    const std::string extension = name.substr(base.size());
    std::string target = std::string(Folder) + base + extension;
    for (std::int64_t k = 0;; ++k) {
        if (!platform::pathExists(target)) {
            const platform::WinError error = platform::moveFile(FilePath, target);
            // A name that appeared meanwhile: try the next number; any other failure is not reported.
            if (error != platform::kErrorAlreadyExists && error != platform::kErrorFileExists)
                return;
        }
        if (k == std::numeric_limits<std::int32_t>::max())
            return;
        target = std::string(Folder) + base + "(" + std::to_string(k) + ")" + extension;
    }
}

// ---- TBaseReplacer ----

TBaseReplacer::TBaseReplacer(platform::WuxThread* Owner) : owner_(Owner) {}

bool TBaseReplacer::IsTerminated() const
{
    return owner_ != nullptr && owner_->Terminated();
}

bool TBaseReplacer::ReadReplacerStructure(ReplacerStructure Handle, std::string& Find, std::uint32_t& Flags,
                                          std::string& Replace) const
{
    Find.clear();
    Replace.clear();
    Flags = 0;
    const std::optional<ReplacerStructureView> view = readReplacerStructureBlock(Handle);
    if (!view)
        return false;
    Flags = (view->caseSensitive ? 1u : 0u) | (view->wholeWord ? 4u : 0u);
    Find = withoutLineFeeds(view->find);
    Replace = withoutLineFeeds(view->replace);
    return true;
}

bool TBaseReplacer::ReadTableRow(platform::MovableHandle Handle, std::int32_t Index, std::uint32_t& Flags,
                                 std::u16string& Replace, std::u16string& Find) const
{
    Flags = 0;
    Replace.clear();
    Find.clear();
    platform::MovableLock lock(Handle);
    if (!lock)
        return false;
    const std::optional<TableRow> row =
        tableRowAt({lock.as<const std::uint8_t>(), platform::movableSize(Handle)}, Index);
    if (!row)
        return false;
    Flags = row->caseSensitive ? 1u : 0u;
    Find = platform::utf8ToUtf16(withoutLineFeeds(row->find));
    Replace = platform::utf8ToUtf16(withoutLineFeeds(row->replace));
    return true;
}

TReplaceResult TBaseReplacer::OpenSourceAndTemp(platform::FileHandle& Source, platform::FileHandle& Temp,
                                                std::string_view Path, std::int32_t& TempNumber)
{
    const TReplaceResult opened = OpenSource(Source, Path);
    if (opened != kReplaceFound)
        return opened;
    if (CreateTemp(Temp, Path, TempNumber))
        return kReplaceFound;
    Source.close();
    return kReplaceFailed;
}

TReplaceResult TBaseReplacer::OpenSource(platform::FileHandle& Source, std::string_view Path)
{
    std::string opened;
    return openSource(Source, Path, opened, false);
}

TReplaceResult TBaseReplacer::OpenSourceToRewrite(platform::FileHandle& Source, std::string_view PathGiven,
                                                  std::string& Path)
{
    return openSource(Source, PathGiven, Path, true);
}

TReplaceResult TBaseReplacer::openSource(platform::FileHandle& Source, std::string_view PathGiven,
                                         std::string& Path, bool rewrite)
{
    fileSize_ = 0;
    sizeAfter_ = -1;
    sourceOpened_ = false;
    tempCreated_ = false;
    tempName_.clear();
    failure_ = platform::kErrorSuccess;
    Path = std::string(PathGiven);
    // A name that is no symbolic link opens in its folder, not following a link.
    if (openInHeldFolder(Source, PathGiven))
        return takeSourceInfo(Source);
    platform::LinkOwnership link;
    std::string name;
    const platform::WinError looked = holdFolderOf(PathGiven, name) ? platform::linkOwnershipIn(held_, name, link)
                                                                     : platform::linkOwnership(PathGiven, link);
    if (looked == platform::kErrorSuccess && link.isLink) {
        // A link that someone else made (another user's, in a shared folder) is never followed: the
        // file it leads to is not one the user chose, and it is neither read nor written. The user's
        // own link is followed by the system, as any program of the user follows it.
        if (!link.ownedByUser) {
            failure_ = platform::kErrorAccessDenied;
            return kReplaceFailed;
        }
        if (rewrite)
            return openLinkTarget(Source, PathGiven, Path);
    }
    return openByPath(Source, Path);
}

TReplaceResult TBaseReplacer::openLinkTarget(platform::FileHandle& Source, std::string_view PathGiven,
                                             std::string& Path)
{
    // The link is followed once, by the open; the file reached is then rewritten in its own folder,
    // held open, and replaced there only while that folder's name still holds it (the swap looks).
    inFolder_ = false;
    if (const platform::WinError error = Source.open(PathGiven, platform::kAccessRead,
                                                     platform::kShareRead | platform::kShareWrite,
                                                     platform::Disposition::kOpenExisting)) {
        failure_ = error;
        return isMissingFileError(error) ? kReplaceFileMissing : kReplaceFailed;
    }
    Path = rewriteTarget(PathGiven);
    std::string name;
    platform::FileInfo there;
    if (Path == PathGiven || !holdFolderOf(Path, name) ||
        platform::getFileInfoIn(held_, name, there) != platform::kErrorSuccess ||
        there.id.device != Source.fileId().device || there.id.inode != Source.fileId().inode) {
        // The link no longer leads where the open went: nothing is written.
        Source.close();
        failure_ = platform::kErrorFileInvalid;
        return kReplaceFailed;
    }
    inFolder_ = true;
    openedPath_ = Path;
    heldName_ = std::move(name);
    return takeSourceInfo(Source);
}

bool TBaseReplacer::holdFolderOf(std::string_view Path, std::string& name)
{
    std::string folder;
    platform::splitWindowsPath(Path, folder, name);
    if (folder.empty() || name.empty())
        return false;
    if ((!held_.isOpen() || held_.path() != folder) && held_.open(folder) != platform::kErrorSuccess) {
        held_.close();
        return false;
    }
    return true;
}

platform::WinError TBaseReplacer::attributesOf(std::string_view Path, std::uint32_t& attributes)
{
    std::string name;
    if (holdFolderOf(Path, name))
        return platform::getAttributesIn(held_, name, attributes);
    return platform::getAttributes(Path, attributes);
}

bool TBaseReplacer::openInHeldFolder(platform::FileHandle& Source, std::string_view Path)
{
    inFolder_ = false;
    std::string name;
    if (!holdFolderOf(Path, name))
        return false;
    if (Source.openIn(held_, name, platform::kAccessRead, platform::kShareRead | platform::kShareWrite, false) !=
        platform::kErrorSuccess)
        return false;
    inFolder_ = true;
    openedPath_ = std::string(Path);
    heldName_ = std::move(name);
    return true;
}

TReplaceResult TBaseReplacer::openByPath(platform::FileHandle& Source, std::string_view Path)
{
    inFolder_ = false;
    if (const platform::WinError opened = Source.open(Path, platform::kAccessRead,
                                                      platform::kShareRead | platform::kShareWrite,
                                                      platform::Disposition::kOpenExisting)) {
        failure_ = opened;
        // A missing file is told from one that cannot be read by its attributes.
        std::uint32_t attributes = 0;
        if (const platform::WinError error = platform::getAttributes(Path, attributes))
            return isMissingFileError(error) ? kReplaceFileMissing : kReplaceFailed;
        return kReplaceFailed;
    }
    return takeSourceInfo(Source);
}

TReplaceResult TBaseReplacer::takeSourceInfo(platform::FileHandle& Source)
{
    // The attributes, the size, the times, the owner and the mode as the open found them, once: the
    // commit step takes them from here.
    if (const platform::WinError error = Source.getInfoAtOpen(sourceInfo_)) {
        failure_ = error;
        Source.close();
        inFolder_ = false;
        return isMissingFileError(error) ? kReplaceFileMissing : kReplaceFailed;
    }
    fileSize_ = static_cast<std::int64_t>(sourceInfo_.size);
    sourceOpened_ = true;
    return kReplaceFound;
}

bool TBaseReplacer::CreateTemp(platform::FileHandle& Temp, std::string_view Path, std::int32_t& TempNumber)
{
    // The program's own temporary file: hidden, without permission bits until the commit step gives
    // it the source's, and held with its writer's locks from before its name can be seen, so that the
    // next run in the folder can tell it from a living writer's when this one dies.
    constexpr unsigned kShare = platform::kShareRead | platform::kShareWrite;
    std::string tempPath;
    const bool inFolder = inHeldFolder(Path);
    const platform::WinError error = inFolder ? platform::createTemporaryIn(held_, heldName_, Temp, tempPath, kShare)
                                              : platform::createTemporaryBeside(Path, Temp, tempPath, kShare);
    if (error != platform::kErrorSuccess) {
        failure_ = error;
        return false;
    }
    TempNumber = static_cast<std::int32_t>(platform::temporaryNumberOf(tempPath));
    if (inFolder) {
        std::string folder;
        platform::splitWindowsPath(tempPath, folder, tempName_);
    }
    tempCreated_ = true;
    removeLeftovers(Path, Temp);
    return true;
}

void TBaseReplacer::removeOwnTemporary(std::string_view tempPath)
{
    std::string folder, name;
    platform::splitWindowsPath(tempPath, folder, name);
    if (held_.isOpen() && held_.path() == folder)
        platform::removeTemporary(held_, tempPath);
    else
        platform::removeTemporary(tempPath);
}

void TBaseReplacer::removeLeftovers(std::string_view Path, const platform::FileHandle& living)
{
    std::string folder, name;
    platform::splitWindowsPath(Path, folder, name);
    if (!cleanedFolders_.insert(folder).second)
        return;
    if (inHeldFolder(Path))
        platform::removeLeftoverTemporaries(held_, living);
    else
        platform::removeLeftoverTemporaries(folder, living);
}

TReplaceResult TBaseReplacer::CommitFile(platform::FileHandle& Source, platform::FileHandle& Temp, bool Ok,
                                         std::string_view Path, std::int32_t TempNumber)
{
    const bool changed = matchCount_ > 0;
    bool ok = Ok;
    if (!tempCreated_) {
        // No match came, so no temporary file was made: the file stays as it is.
        Source.close();
        Temp.close();
        sizeAfter_ = ok && !changed ? fileSize_ : -1;
        if (!outputFolder_.empty())
            MoveToFolder(outputFolder_, Path, Path);
        return ok && !changed ? kReplaceNothingFound : kReplaceFailed;
    }
    tempCreated_ = false;
    const std::string tempPath = temporaryName(Path, TempNumber);
    if (ok && changed) {
        // The rewritten file takes the source's creation time, its mode bits and (as root) its owner,
        // as the open source showed them, and is flushed with them. The bits and the owner are set
        // only where the new file did not get them when it was made.
        const platform::FileInfo& info = sourceInfo_;
        platform::FileInfo made;
        ok = Temp.setTimes(&info.times.creation, nullptr, nullptr) == platform::kErrorSuccess &&
             Temp.getInfoAtOpen(made) == platform::kErrorSuccess;
        if (ok && ((made.mode & 07777) != (info.mode & 07777) || made.owner != info.owner || made.group != info.group))
            ok = Temp.setOwnerAndMode(info.owner, info.group, info.mode) == platform::kErrorSuccess;
        if (ok)
            ok = Temp.flush() == platform::kErrorSuccess;
    }
    if (ok && changed && inHeldFolder(Path) && !tempName_.empty()) {
        // In the folder held open: the checks go through the open handles, the rename and the flush
        // through the folder. A name that no longer holds the file that was read (made a link, or
        // another file put there meanwhile) is not replaced: the file fails. The backup is a copy
        // made first: the file stays in place until the one rename.
        std::optional<std::string> backup;
        if (createBackUpCopy_ || !backupFolder_.empty()) {
            backup = copyToBackup(Path, std::string(Path) + ".bak", -1);
            ok = backup.has_value();
        }
        if (!ok)
            failure_ = backupError_;
        const platform::WinError swapped =
            ok ? platform::putRewriteInPlace(held_, Temp, tempName_, Source, heldName_) : platform::kErrorSuccess;
        if (ok && swapped == platform::kErrorSuccess) {
            sizeAfter_ = outputSize_;
            if (backup && !backupFolder_.empty())
                MoveToFolder(backupFolder_, *backup, *backup);
            if (!outputFolder_.empty())
                MoveToFolder(outputFolder_, Path, Path);
            return kReplaceFound;
        }
        if (backup)
            removeOwnFile(*backup);
        if (swapped != platform::kErrorSuccess)
            failure_ = swapped;
        ok = false;
    }
    std::optional<std::string> backup;
    if (ok && changed && (createBackUpCopy_ || !backupFolder_.empty())) {
        // The backup is a copy: the source stays in place until the one rename below.
        backup = copyToBackup(Path, std::string(Path) + ".bak", -1);
        ok = backup.has_value();
        if (!ok)
            failure_ = backupError_;
    }
    if (ok && changed)
        ok = sourceStillInPlace(Source, Path);
    Source.close();
    if (Temp.close() != platform::kErrorSuccess && changed)
        ok = false;
    if (ok && changed)
        if (const platform::WinError error = platform::replaceFile(tempPath, Path)) {
            failure_ = error;
            ok = false;
        }
    if (!ok && backup) {
        removeOwnFile(*backup);
        backup.reset();
    }
    if (!ok || !changed)
        removeOwnTemporary(tempPath);

    const TReplaceResult result = !ok ? kReplaceFailed : changed ? kReplaceFound : kReplaceNothingFound;
    sizeAfter_ = result == kReplaceFound ? outputSize_ : result == kReplaceNothingFound ? fileSize_ : -1;
    if (backup && !backupFolder_.empty())
        MoveToFolder(backupFolder_, *backup, *backup);
    if (!outputFolder_.empty())
        MoveToFolder(outputFolder_, Path, Path);
    return result;
}

bool TBaseReplacer::sourceStillInPlace(const platform::FileHandle& Source, std::string_view Path)
{
    // Whatever another program wrote to the file meanwhile (lines appended to a log, say) would be
    // lost by the swap, and a name that holds another file now is not the one that was read.
    platform::FileInfo now;
    if (const platform::WinError error = Source.unchangedSinceOpen()) {
        failure_ = error;
        return false;
    }
    if (platform::getFileInfo(Path, now) != platform::kErrorSuccess || (now.attributes & platform::kAttrReparsePoint) ||
        now.id.device != Source.fileId().device || now.id.inode != Source.fileId().inode) {
        failure_ = platform::kErrorFileInvalid;
        return false;
    }
    return true;
}

bool TBaseReplacer::CreateBackUpCopy(std::string_view Path, std::int64_t Size)
{
    lastBackUpCopy_.reset();
    if (!createBackUpCopy_)
        return true;
    std::string base;
    if (!backupFolder_.empty()) {
        std::string folder, name;
        platform::splitWindowsPath(Path, folder, name);
        base = backupFolder_;
        if (base.back() != '\\' && base.back() != '/')
            base += '\\';
        base += name + ".bak";
    } else {
        base = std::string(Path) + ".bak";
    }
    lastBackUpCopy_ = copyToBackup(Path, base, Size);
    return lastBackUpCopy_.has_value();
}

void TBaseReplacer::DiscardBackUpCopy(std::string_view Path)
{
    // Only a backup that still equals the document goes: should the document have changed after all,
    // its backup is the only copy of the previous content.
    if (lastBackUpCopy_ && sameContent(Path, *lastBackUpCopy_))
        removeOwnFile(*lastBackUpCopy_);
    lastBackUpCopy_.reset();
}

std::optional<std::string> TBaseReplacer::copyToBackup(std::string_view Path, std::string_view backupBase,
                                                       std::int64_t size)
{
    platform::FileHandle source;
    if (source.open(Path, platform::kAccessRead, platform::kShareRead | platform::kShareWrite,
                    platform::Disposition::kOpenExisting) != platform::kErrorSuccess)
        return std::nullopt;
    if (size < 0) {
        std::uint64_t bytes = 0;
        if (source.size(bytes) != platform::kErrorSuccess)
            return std::nullopt;
        size = static_cast<std::int64_t>(bytes);
    }
    platform::FileInfo info;
    if (source.getInfoAtOpen(info) != platform::kErrorSuccess)
        return std::nullopt;

    // The copy is made under a temporary name in the backup's folder (in the folder held open when that
    // is it) and gets its name only when it is whole.
    std::string folder, baseName;
    platform::splitWindowsPath(backupBase, folder, baseName);
    const bool inFolder = held_.isOpen() && held_.path() == folder;
    platform::FileHandle target;
    std::string tempPath;
    backupError_ = inFolder ? platform::createTemporaryIn(held_, baseName, target, tempPath)
                            : platform::createTemporaryBeside(backupBase, target, tempPath);
    if (backupError_ != platform::kErrorSuccess)
        return std::nullopt;

    bool ok = true;
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(size, kBackupChunk)) + 1);
    std::int64_t remaining = size;
    while (ok && remaining > 0) {
        if (IsTerminated()) {
            ok = false;
            break;
        }
        const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(remaining, kBackupChunk));
        std::size_t done = 0;
        if (source.read(buffer.data(), chunk, done) != platform::kErrorSuccess || done != chunk) {
            ok = false;
            break;
        }
        if (target.write(buffer.data(), chunk, done) != platform::kErrorSuccess || done != chunk) {
            ok = false;
            break;
        }
        remaining -= static_cast<std::int64_t>(chunk);
    }
    source.close();
    // The original's times, bits and owner, flushed with the data before the name is given.
    ok = ok && target.setTimes(nullptr, &info.times.lastAccess, &info.times.lastWrite) == platform::kErrorSuccess &&
         target.setOwnerAndMode(info.owner, info.group, info.mode) == platform::kErrorSuccess &&
         target.flush() == platform::kErrorSuccess && target.close() == platform::kErrorSuccess;
    std::string name;
    for (int attempt = 0; ok; ++attempt) {
        name = firstFreeName(backupBase);
        std::string nameFolder, shortName;
        platform::splitWindowsPath(name, nameFolder, shortName);
        const platform::WinError error = inFolder ? platform::putTemporaryInPlace(target, held_, shortName, false)
                                                  : platform::putTemporaryInPlace(target, name, false);
        if (error == platform::kErrorSuccess)
            break;
        // A name that appeared meanwhile: the next free one.
        if ((error != platform::kErrorAlreadyExists && error != platform::kErrorFileExists) || attempt > 1000) {
            backupError_ = error;
            ok = false;
        }
    }
    if (!ok) {
        target.close();
        removeOwnTemporary(tempPath);
        return std::nullopt;
    }
    if (inFolder)
        held_.flush();
    return name;
}

} // namespace wux::engines
