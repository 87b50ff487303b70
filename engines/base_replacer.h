// What every replacer shares: the per-file result codes, the replace modes, the search block of a
// Replacer run, the word delimiters of every whole-word test, and the base class with the file steps
// around a change (source and temporary file, commit with or without a ".bak" copy, the backup copy of
// a document before it is saved).
//
// Search block (ReplacerStructure), one movable block of 2n + m + 22 bytes, little-endian:
//   0  1  case-sensitive (1/0)        1  1  whole word (1/0)        2  2  unused
//   4  4  n, the find length          8  4  m, the replace length
//  12  n  find text (lower-cased when not case-sensitive, except in modes 4 and 64)
//  12+n n  the find text upper-cased (only when it was lower-cased)
// Both case forms keep the find text's byte positions: a character whose other case takes another
// number of bytes stands as typed in them (the plain-file matcher takes every case form of each
// character from the first form; see byte_pattern.h).
//  12+2n m replace text               12+2n+m 10 spare
//
// Commit: the new content is in a hidden temporary file beside the source ("." + its name + ".wux" + 8
// hex digits, created new without permission bits and locked by its writer; the first one of a run in a
// folder removes what dead runs left there). When something changed, the temporary file gets the
// source's mode bits, a ".bak" copy is made when backups are on (the source stays in place; the copy is
// written under a temporary name of the same form and takes its ".bak" name only when complete and
// flushed), and one atomic rename puts the temporary file over the source. Any failure leaves the
// source byte-identical and removes the temporary file and any ".bak" made for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/file_handle.h"
#include "platform/folder_listing.h"
#include "platform/movable_memory.h"
#include "platform/text.h"

namespace wux::platform {
class WuxThread;
}

namespace wux::engines {

// ---- Results and modes ----

// A replacer's per-file result (single bits).
enum TReplaceResult : std::int32_t
{
    kReplaceFailed = 1,            // failed or stopped; the file keeps its previous content
    kReplaceFound = 2,             // matches found (file changed; mode 128: only searched)
    kReplaceFileMissing = 4,       // the file does not exist
    kReplaceNothingFound = 8,      // no match; the file is unchanged
    kReplaceModeNotSupported = 16, // the mode does not apply to this kind of document
    kReplaceDocumentLocked = 64,   // the document is held by another program or protected
};

// Replace modes (TypeOfReplacing).
enum ReplaceMode : std::int32_t
{
    kModeReplace = 1,
    kModeDelete = 2,
    kModeInsertHead = 4,
    kModeInsertAfter = 8,
    kModeInsertBefore = 16,
    kModeInsertBetween = 32,
    kModeInsertFoot = 64,
    kModeJustFind = 128,
    kModeBatchTable = 256,
};

// ---- Word delimiters ----

// The 34 characters that end or start a word (the platform's table). Tab, "_", digits, letters and every
// byte of 0x80 or more are word characters.
inline constexpr const char (&WordDelimiters)[34] = platform::kWordDelimiters;

// True when the byte is one of WordDelimiters.
constexpr bool isWordDelimiter(std::uint8_t byte) noexcept
{
    return platform::isWordDelimiterChar(byte);
}

// ---- Search block ----

inline constexpr std::size_t kReplacerCaseOffset = 0;
inline constexpr std::size_t kReplacerWholeWordOffset = 1;
inline constexpr std::size_t kReplacerFindLengthOffset = 4;
inline constexpr std::size_t kReplacerReplaceLengthOffset = 8;
inline constexpr std::size_t kReplacerTextOffset = 12;
inline constexpr std::size_t kReplacerSpareSize = 10;

// The head of the search block as it lies in memory on a little-endian machine (read and write it with
// loadLe32 / storeLe32 of batch_table.h).
struct ReplacerStructureHead
{
    std::uint8_t caseSensitive;
    std::uint8_t wholeWord;
    std::uint8_t unused[2];
    std::uint32_t findLength;
    std::uint32_t replaceLength;
};
static_assert(sizeof(ReplacerStructureHead) == kReplacerTextOffset);
static_assert(offsetof(ReplacerStructureHead, caseSensitive) == kReplacerCaseOffset);
static_assert(offsetof(ReplacerStructureHead, wholeWord) == kReplacerWholeWordOffset);
static_assert(offsetof(ReplacerStructureHead, findLength) == kReplacerFindLengthOffset);
static_assert(offsetof(ReplacerStructureHead, replaceLength) == kReplacerReplaceLengthOffset);

// The search block of a Replacer run (a movable block; the null handle is "none").
using ReplacerStructure = platform::MovableHandle;

// The contents of a search block, read with bounds checks.
struct ReplacerStructureView
{
    bool caseSensitive = false;
    bool wholeWord = false;
    std::string find;      // as stored (lower-cased when not case-sensitive)
    std::string findUpper; // the upper-case copy when not case-sensitive; else equal to find
    std::string replace;
};

// Builds the search block of a run: the find text is lower-cased with an upper-case copy when not
// case-sensitive (except in modes 4 and 64, where it is the text to insert and both flags are 0), each
// character by Unicode simple case mapping where its other case takes as many bytes; the replace text is
// left empty in modes 2, 4, 64 and 128. With oem, the case forms are made first and then converted to
// the DOS code page (CP437), one byte per character (a case form CP437 lacks stands as typed). The null
// handle when memory is exhausted.
ReplacerStructure BuildReplacerStructure(std::string_view find, std::string_view replace, bool caseSensitive,
                                         bool wholeWord, std::int32_t mode, bool oem = false);
// Reads a locked search block's bytes; none when they are shorter than the lengths they give.
std::optional<ReplacerStructureView> parseReplacerStructure(std::span<const std::uint8_t> bytes);
// The same for a block handle (locked while it is read); none for the null handle.
std::optional<ReplacerStructureView> readReplacerStructureBlock(ReplacerStructure block);

// ---- Names ----

// Name up to, not including, its last "."; Name itself when it has none.
std::string StripExtension(std::string_view Name);
// The path of the temporary file number `number` of path: in its folder, "." + its name + ".wux" + the
// number in 8 hex digits (the form of the program's own temporary files, see platform/files.h).
std::string temporaryName(std::string_view path, std::int32_t number);
// base, or when something exists there, base + the first free number from 0.
std::string firstFreeName(std::string_view base);
// True for the errors that say a path names nothing (the file is missing: result 4).
bool isMissingFileError(platform::WinError error);
// The file that a rewrite of path replaces: the target of a symbolic link (so that the link stays a
// link), else path itself.
std::string rewriteTarget(std::string_view path);
// Moves FilePath into Folder (taken as it is, no separator added) under the file name of NameSource,
// as "base(k).ext" with the first free k from 0 when that name is taken. Nothing happens when Folder
// or NameSource is empty; a failure is not reported.
void MoveToFolder(std::string_view Folder, std::string_view NameSource, std::string_view FilePath);

// ---- The base of every replacer ----

class TBaseReplacer
{
public:
    explicit TBaseReplacer(platform::WuxThread* Owner);
    virtual ~TBaseReplacer() = default;
    TBaseReplacer(const TBaseReplacer&) = delete;
    TBaseReplacer& operator=(const TBaseReplacer&) = delete;

    // Keep the previous content as a ".bak" file when a file is changed (true at creation).
    bool createBackUpCopyFlag() const { return createBackUpCopy_; }
    void setCreateBackUpCopy(bool on) { createBackUpCopy_ = on; }
    // When not empty, every file handled by the commit step is moved into it afterwards.
    const std::string& outputFolder() const { return outputFolder_; }
    void setOutputFolder(std::string folder) { outputFolder_ = std::move(folder); }
    // When not empty, ".bak" files go there (and are made even when the flag is off).
    const std::string& backupFolder() const { return backupFolder_; }
    void setBackupFolder(std::string folder) { backupFolder_ = std::move(folder); }

    platform::WuxThread* owner() const { return owner_; }
    // Size of the file in hand when it was opened (before the change).
    std::int64_t fileSize() const { return fileSize_; }
    // Matches found (changes applied) in the file in hand.
    std::int32_t matchCount() const { return matchCount_; }
    // True when the last file pass opened its file (its size is then fileSize()).
    bool sourceOpened() const { return sourceOpened_; }
    // The file's size after the last file pass: the new content's after a change, the unchanged
    // file's otherwise; -1 after a failure.
    std::int64_t sizeAfter() const { return sizeAfter_; }
    // The system's error that failed the last file pass, or 0 (the reason shown with "failed"): 5 for
    // another user's symbolic link that was not followed, 32 when another program wrote to the file
    // while it was replaced, the error of an open, a creation or the swap.
    platform::WinError failureError() const { return failure_; }
    // Why the last backup copy could not be made: the system error of its creation (206 when the
    // ".bak" name does not fit the file system: such a name is never cut), or 0.
    platform::WinError backupError() const { return backupError_; }

    // True when the owner thread has been asked to stop.
    bool IsTerminated() const;

    // Reads the search block: Flags = 1 case-sensitive + 4 whole word; Find and Replace without their
    // LF bytes. False (texts empty, Flags 0) when the block is missing or malformed.
    bool ReadReplacerStructure(ReplacerStructure Handle, std::string& Find, std::uint32_t& Flags,
                               std::string& Replace) const;
    // Reads row Index (from 1) of a table block: Flags = 1 when case-sensitive; the texts without LF
    // bytes, widened from UTF-8. False (texts empty) when the block ends before that row does.
    bool ReadTableRow(platform::MovableHandle Handle, std::int32_t Index, std::uint32_t& Flags,
                      std::u16string& Replace, std::u16string& Find) const;

    // Opens Path for reading and a new temporary file beside it for reading and writing. 2 when both
    // are open, 4 when Path does not exist, 1 otherwise (no handle left open). Sets the file size.
    TReplaceResult OpenSourceAndTemp(platform::FileHandle& Source, platform::FileHandle& Temp,
                                     std::string_view Path, std::int32_t& TempNumber);
    // The two steps of OpenSourceAndTemp: opens Path for reading and takes its status (the size, and
    // what the commit step gives the new file); then, when the content changes, creates the temporary
    // file (false when it cannot be made). The file is opened by its name in its folder, which the
    // replacer holds open from one file to the next (no lookup of the path); where that cannot be
    // done, by its path. A symbolic link is followed only when the user the program runs as owns the
    // link itself (the user made it, so its target is the user's choice): another user's link (made
    // in a shared folder, say) fails the file with 5, "Access is denied.", and its target is neither
    // read nor written.
    TReplaceResult OpenSource(platform::FileHandle& Source, std::string_view Path);
    // OpenSource for a rewrite of PathGiven: Path receives the file that is rewritten (rewriteTarget:
    // the target of the user's own symbolic link, else PathGiven itself). The target is rewritten in
    // its own folder, held open, and only while its name there still holds the file the link led to.
    TReplaceResult OpenSourceToRewrite(platform::FileHandle& Source, std::string_view PathGiven,
                                       std::string& Path);
    bool CreateTemp(platform::FileHandle& Temp, std::string_view Path, std::int32_t& TempNumber);
    // Closes both handles and puts the temporary file in Path's place (when Ok and something matched)
    // or deletes it. 2 changed, 8 nothing matched, 1 failed (Path keeps its content). A file that
    // another program wrote to or changed since it was opened (lines appended, say) fails with 32 and
    // keeps what it holds, the other program's lines too. Without a
    // temporary file (none was needed yet) the file stays: 8, or 1 when not Ok.
    TReplaceResult CommitFile(platform::FileHandle& Source, platform::FileHandle& Temp, bool Ok,
                              std::string_view Path, std::int32_t TempNumber);
    // The attributes of Path (platform::getAttributes), read through its folder when that is the
    // folder the replacer holds open (the folder of the file before is held for the next).
    platform::WinError attributesOf(std::string_view Path, std::uint32_t& attributes);
    // Copies Path (Size bytes) to its ".bak" name before a document is saved; true when the copy is
    // complete or no backup is wanted. A partial copy is deleted.
    bool CreateBackUpCopy(std::string_view Path, std::int64_t Size);
    // After a failed save of Path: deletes the ".bak" file made by the last CreateBackUpCopy when Path
    // still holds the same bytes, so no backup of a change that never happened is left behind.
    void DiscardBackUpCopy(std::string_view Path);

    // Test seam: called with the bytes read so far after each block of a file pass.
    void setBlockObserver(std::function<void(std::int64_t)> observer)
    {
        blockObserver_ = std::move(observer);
    }

protected:
    void notifyBlockDone(std::int64_t bytesDone)
    {
        if (blockObserver_)
            blockObserver_(bytesDone);
    }

    bool createBackUpCopy_ = true;
    platform::WinError backupError_ = 0;
    std::string outputFolder_;
    std::string backupFolder_;
    platform::WuxThread* owner_ = nullptr;
    std::int64_t fileSize_ = 0;
    std::int32_t matchCount_ = 0;
    // The size of the content written for the commit step.
    std::int64_t outputSize_ = 0;
    std::int64_t sizeAfter_ = -1;
    bool sourceOpened_ = false;
    platform::WinError failure_ = 0;

private:
    // OpenSource and OpenSourceToRewrite (rewrite).
    TReplaceResult openSource(platform::FileHandle& Source, std::string_view PathGiven, std::string& Path,
                              bool rewrite);
    // Opens the file that the user's own link PathGiven leads to, and holds the target's folder for
    // the rewrite (Path receives the target's path).
    TReplaceResult openLinkTarget(platform::FileHandle& Source, std::string_view PathGiven, std::string& Path);
    // Opens Path by its name in its folder held open (the folder is opened when it is not the one
    // held); a symbolic link is not followed. False when that cannot be done.
    bool openInHeldFolder(platform::FileHandle& Source, std::string_view Path);
    // Splits Path and holds its folder open (false when it cannot be held); name receives its name.
    bool holdFolderOf(std::string_view Path, std::string& name);
    TReplaceResult openByPath(platform::FileHandle& Source, std::string_view Path);
    // Before a swap by path: true while Path still names the open source and the source is as it was
    // read (failure_ says why not).
    bool sourceStillInPlace(const platform::FileHandle& Source, std::string_view Path);
    TReplaceResult takeSourceInfo(platform::FileHandle& Source);
    // Removes the temporary files that dead runs left in the folder of Path, once a run (living: a
    // temporary file of this one there, open).
    void removeLeftovers(std::string_view Path, const platform::FileHandle& living);
    std::set<std::string> cleanedFolders_; // the folders whose leftovers are gone
    // Removes a temporary file of this replacer that will not be used (through the folder held open
    // when it lies there), whatever its permission bits.
    void removeOwnTemporary(std::string_view tempPath);
    // True when the file in hand, Path, was opened in the held folder.
    bool inHeldFolder(std::string_view Path) const { return inFolder_ && Path == openedPath_; }

    platform::FileInfo sourceInfo_; // the open source's status
    bool tempCreated_ = false;
    platform::HeldFolder held_;  // the folder of the last file, held open for the next
    bool inFolder_ = false;      // the file in hand was opened in held_ ...
    std::string openedPath_;     // ... under this path
    std::string heldName_;       // its name there
    std::string tempName_;       // the name there of its temporary file (when made in held_)
    // Copies Path to the first free name of backupBase, with Path's times, mode bits and (as root)
    // owner: written under a temporary name beside it, without permission bits, and renamed to that
    // name (never over anything) only when it is complete and flushed; on failure or stop nothing is
    // left behind. The name made, or none.
    std::optional<std::string> copyToBackup(std::string_view Path, std::string_view backupBase,
                                            std::int64_t size);

    std::function<void(std::int64_t)> blockObserver_;
    std::optional<std::string> lastBackUpCopy_; // the ".bak" made by the last CreateBackUpCopy
};

} // namespace wux::engines
