// Case-insensitive name look-ups for runs that work on many entries of the same folders.
//
// The path layer matches a name that does not exist as spelled against the folder's other names
// ignoring case, and a move refuses a new name that another entry holds in another letter case.
// Without an index each of these reads the whole folder (a run over a folder of n entries reads n²
// names). While a CaseIndexScope lives on a thread, those look-ups on that thread use an index of
// each folder's names instead: the folder is read once and then kept current from the system's
// change notifications (inotify), so changes by this run and by anyone else on the same machine
// are seen before the next look-up. A scope watches a bounded number of folders: past it, the one
// used least recently is forgotten, so a run reads each folder once per stay however many came
// before. Folders on network file systems (whose remote changes are not
// notified), folders that cannot be watched, and threads without a scope are read for every
// look-up as before.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct stat;

namespace wux::platform {

class CaseIndexScope
{
public:
    CaseIndexScope();
    ~CaseIndexScope();
    CaseIndexScope(const CaseIndexScope&) = delete;
    CaseIndexScope& operator=(const CaseIndexScope&) = delete;
};

namespace internal {

// Whether the folder (a POSIX path) holds an entry other than `except` whose name equals name
// ignoring case (Unicode simple folding).
bool otherEntryMatchesNoCase(const std::string& folder, std::string_view name, std::string_view except);
// The one entry of the folder whose name equals name ignoring case; "" when none or several.
// folderStat: what the caller has just found at the folder's path (saves another look).
std::string uniqueMatchNoCase(const std::string& folder, std::string_view name,
                              const struct ::stat* folderStat = nullptr);
// How many folders the look-ups above have read on this thread so far.
std::size_t folderReadsOnThisThread();

} // namespace internal
} // namespace wux::platform
