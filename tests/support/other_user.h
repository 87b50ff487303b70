// Another local user for tests of shared folders: the suite runs as root, and a child process that
// drops to the user "nobody" plays the other user (a link made in a sticky folder, say).
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace wux::test {

// True when the process can act as another user (it runs as root and "nobody" exists).
bool canActAsOtherUser();
// The user id of "nobody" (-1 when there is none).
uid_t otherUserId();
// Runs action in a child process as "nobody" (its groups too); true when the child could drop to that
// user and action returned true.
bool runAsOtherUser(const std::function<bool()>& action);
// A folder shared by everybody, as /tmp is: mode 1777, with the folders above it (up to and including
// reachableFrom) made searchable by others.
void makeSharedFolder(const std::string& posixFolder, const std::string& reachableFrom);

} // namespace wux::test
