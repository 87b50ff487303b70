// The rename-mask engine: builds a file's new name from the Renamer's mask (literal characters and
// bracketed directives for a counter, the last-write date and time, the name, extension or folder name,
// character ranges of them and case switches), followed by a find/replace and a final case mode.
//
// Names are UTF-8. Ranges count whole characters; the case switches and case modes use the display
// case mapping of whole characters; the find/replace ignores the case of every letter (Unicode simple
// case folding, as the content search does); the length cap of 260 counts bytes and drops whole pieces,
// so no character is ever cut.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/filetime.h"

namespace wux::engines {

// The most bytes a built name may reach before the remaining pieces are dropped.
inline constexpr std::size_t kMaxNewNameLength = 260;

// Final case change of a built name.
enum RenameCaseMode : std::int32_t
{
    kCaseUnchanged = 1,
    kCaseLower = 2,
    kCaseUpper = 3,
    kCaseFirstLetter = 4,
    kCaseEachWord = 5,
};

// The rename request that the Renamer window fills for a preview and that a rename run reads.
struct TRenamerFileStructure
{
    // 1-based number of the file in hand; set by the caller before each BuildNewName.
    std::int32_t runningNumber = 0;
    // Counter start ("Start at:").
    std::int32_t start = 0;
    // Counter width, 1-10.
    std::int32_t digits = 0;
    // Counter step ("Step by:").
    std::int32_t step = 0;
    // Name mask, ".", extension mask, as one text.
    std::string mask;
    // True when the find text is not empty.
    bool replaceOn = false;
    // Text to replace in the built name (case-insensitive).
    std::string find;
    // Replacement text.
    std::string replace;
    // One of RenameCaseMode; any other value leaves the case unchanged.
    std::int32_t caseMode = 0;
};

// The process-wide rename request, written by the Renamer window and read by BuildNewName and the
// rename thread.
TRenamerFileStructure& renamerFileStructure();

// The new file name (no folder) of the file FileName in the folder FolderPath (with or without a
// trailing "\"), last written at LastWrite (UTC), from the process-wide rename request.
std::string BuildNewName(std::string_view FolderPath, std::string_view FileName,
                         platform::FileTime LastWrite);

// The same from an explicit request and the file's last-write time already in local calendar form.
std::string buildNewName(const TRenamerFileStructure& request, std::string_view folderPath,
                         std::string_view fileName, const platform::CalendarTime& localTime);

// The counter text of a value: decimal, "0" put after the sign (if any) up to digits characters in all
// (digits is taken within 1-10).
std::string counterText(std::int64_t value, std::int32_t digits);

} // namespace wux::engines
