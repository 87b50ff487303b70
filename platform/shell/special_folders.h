// The user's special folders, as the shell names them.
//
//  - application data: $XDG_CONFIG_HOME when it is an absolute path, else ~/.config;
//  - desktop directory: the XDG desktop folder (XDG_DESKTOP_DIR of "user-dirs.dirs" in the
//    configuration folder, else ~/Desktop);
//  - personal (the user's documents): $HOME (when absolute, else the account's home folder);
//  - favourites: there is no such folder here; it is never known.
//
// The home folder is $HOME when it is an absolute path, else the account's home folder. The folders
// are read from the environment at each call and are not created; a caller that needs one to exist
// checks or creates it.
#pragma once

#include <string>

namespace wux::platform::shell {

enum class SpecialFolder
{
    kApplicationData,  // the system's folder identifier 26
    kDesktopDirectory, // 16
    kPersonal,         // 5
    kFavorites,        // 6
};

// The POSIX path of a special folder, without a trailing "/" ("/" itself stays); "" when it is not
// known.
std::string specialFolderPosixPath(SpecialFolder folder);

// The drive path of a special folder ("c:\home\ann\.config"; a drive root is "x:\"); "" when it is not
// known or no drive holds it.
std::string specialFolderPath(SpecialFolder folder);

} // namespace wux::platform::shell
