// Case-insensitive name look-ups for runs that look up many paths from outside the listings.
//
// A path typed by the user or stored (settings, favourites, Basket lists) may name an entry in
// another letter case: spelledOnDisk matches such a name against its folder's names ignoring case.
// Without an index each look-up reads the whole folder (n look-ups in a folder of n entries read n²
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

// The one entry of the folder whose name equals name ignoring case; "" when none or several.
// folderStat: what the caller has just found at the folder's path (saves another look).
std::string uniqueMatchNoCase(const std::string& folder, std::string_view name,
                              const struct ::stat* folderStat = nullptr);
// How many folders the look-ups above have read on this thread so far.
std::size_t folderReadsOnThisThread();

} // namespace internal
} // namespace wux::platform
