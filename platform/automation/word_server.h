// The stand-in "Word.Application" automation server over word-processing documents (.docx).
//
// It implements the members the word-processor wrapper calls: the application and its documents,
// the document's first window with its panes, view and selection, Find.Execute in the word
// processor's search syntax, protection, sections with their header and footer parts, footnotes and
// endnotes, and saving through the package layer. Files it cannot read (legacy binary documents, .rtf,
// encrypted packages) fail at Open and are never changed. Revision tracking is not applied: edits are
// made directly.
#pragma once

#include <string_view>

#include "platform/automation/dispatch.h"

namespace wux::platform::automation {

inline constexpr std::string_view kWordApplicationProgId = "Word.Application";

// A new application object (what createObject("Word.Application") returns).
DispatchRef createWordApplication();

} // namespace wux::platform::automation
