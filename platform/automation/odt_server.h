// The stand-in "com.sun.star.ServiceManager" automation server over OpenDocument text files (.odt).
//
// It implements the services the OpenDocument wrapper calls: the service manager (CreateInstance of the
// desktop, Bridge_GetStruct of a property value), the desktop's LoadComponentFromURL, and the
// document's search descriptor, findAll, StoreToURL and Dispose. The found ranges stay valid while
// other ranges of the document change. The body's paragraphs and headings are searched (those in
// lists, tables, sections, frames' text boxes and notes too); headers and footers (styles.xml) are not.
// Files it cannot read (legacy binary documents, encrypted packages, other OpenDocument kinds) fail at
// load and are never changed.
#pragma once

#include <string>
#include <string_view>

#include "platform/automation/dispatch.h"

namespace wux::platform::automation {

inline constexpr std::string_view kServiceManagerProgId = "com.sun.star.ServiceManager";

// A new service manager (what createObject("com.sun.star.ServiceManager") returns).
DispatchRef createServiceManager();

// The Windows path of a "file:" URL: "file:///" stripped ("file://host/..." gives "\\host\..."), "/" and
// "\" both separators, and only "%20" (blank) and "%25" ("%") decoded, the two escapes the wrapper
// makes. Raises AutomationError for other URLs.
std::string windowsPathOfUrl(std::u16string_view url);

} // namespace wux::platform::automation
