// The maker's web pages opened from the help menu and the about box.
#pragma once

#include <string>

namespace wux::core {

// Page codes.
enum WebPage : int
{
    kPageSupport = 20,
    kPageHome = 21,
    kPagePlugins = 22,
    kPageContact = 24,
    kPageTutorials = 25,
};

// The address of a page code: the program's home page (set when the program is built) for the five
// codes above; "" for other codes and when the build set no address.
std::string webPageAddress(int code);

// Opens the page of a code in the default browser; an empty address does nothing.
void OpenWebPage(int code);

} // namespace wux::core
