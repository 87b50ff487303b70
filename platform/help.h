// The help viewer: opens a topic page of the program's help file.
//
// No help files are shipped; the program only fixes the help-file path and the names of its topic pages
// ("BROWSER.htm", "SEARCH_REPLACE_RESULTS.htm"). Every request is recorded as the help path + "::/" +
// page, the form in which the help file addresses its topics. When the help path names a folder (a
// drive path) that holds the page as a file, that page is opened with the desktop (the web browser);
// otherwise nothing opens, and nothing is reported: a missing help file is not an error.
#pragma once

#include <string>
#include <string_view>

namespace wux::platform {

// Records helpPath + "::/" + topicPage and opens the page when helpPath is a folder holding it.
// Returns true when the page was handed to the desktop. When there is a page but the desktop cannot
// open it, failedPage (when given) receives its drive path. GUI thread only.
bool showHelpTopic(std::string_view helpPath, std::string_view topicPage, std::string* failedPage = nullptr);

// The last request (helpPath + "::/" + topicPage), "" before the first one, and the number of requests
// made so far (for tests and diagnostics).
std::string lastHelpRequest();
int helpRequestCount();

} // namespace wux::platform
