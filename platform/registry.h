// The registry: a small store of keys with string values, kept in the user's configuration folder as
// the ini file "$XDG_CONFIG_HOME/wux/registry.ini" ("~/.config/wux/registry.ini" when the variable is
// unset, empty or not absolute), one section per key (its full path, e.g.
// "HKEY_CURRENT_USER\Software\Maker\Program"), one "name=value" line per value ("=value" is the key's
// default value). The store goes through the platform's ini class (write-through, atomic rewrites), so it
// is reached through the drive map like every file; where no drive holds the configuration folder the
// store reads as empty and cannot be written (3). The folders of the store are created by its first
// write.
//
// - Keys of the local machine live in the same user-writable store as those of the current user.
// - A key exists when its section exists or a section of one of its subkeys does; a root always exists.
// - The subkeys of HKEY_CLASSES_ROOT whose names begin with "." are also the file-name extensions of
//   the shared MIME database (each "." + suffix once); such a key exists without being stored.
// - Key and value names are compared ignoring case (the platform's equality of names).
// - Values are read back exactly as written: a value that the ini reading rules would change (blanks
//   around it, surrounding double quotes) is stored inside one pair of quotes. A value or name holding
//   a line break, a value name holding "=", beginning with "[" or ";" or with blanks around it, and a key
//   path with an empty component ("a\\b") or a component with blanks around it are refused with 87.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace wux::platform {

class StringList;

// The handle value is deleted: the open key was deleted by someone else.
inline constexpr WinError kErrorKeyDeleted = 1018;

enum class RegistryRoot
{
    kClassesRoot,  // "HKEY_CLASSES_ROOT"
    kCurrentUser,  // "HKEY_CURRENT_USER"
    kLocalMachine, // "HKEY_LOCAL_MACHINE"
};

// "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
std::string_view registryRootName(RegistryRoot root);
// The POSIX path of the store from the environment at the time of the call.
std::string registryStorePath();

// One open key at a time under a root, as the class library's registry object. Every key path is
// taken from the root key, whether or not a key is open (a leading and a trailing "\" are ignored;
// "" is the root itself): this differs from the class library, where a path without a leading "\"
// continues the open key's path.
class Registry
{
public:
    explicit Registry(RegistryRoot root = RegistryRoot::kCurrentUser);

    RegistryRoot rootKey() const { return root_; }
    // Closes the open key and changes the root.
    void setRootKey(RegistryRoot root);

    // Opens the key for reading and writing; canCreate: creates it (with its parents) when missing.
    // Errors: 2 (missing and not created), 87, the store's read and write errors.
    WinError openKey(std::string_view path, bool canCreate);
    // Opens an existing key for reading only. Errors: 2, 87, the store's read errors.
    WinError openKeyReadOnly(std::string_view path);
    void closeKey();
    bool isOpen() const { return open_; }
    // The open key's path below the root ("" for the root itself).
    const std::string& currentPath() const { return path_; }

    bool keyExists(std::string_view path) const;
    // Creates a key (and its parents) when missing. Errors: 87, the store's errors.
    WinError createKey(std::string_view path);
    // Deletes a key with every subkey and value. Errors: 2 (missing), 5 (a root, or a key that only the
    // MIME database gives), 87, the store's errors. An open key that was deleted reads as missing and
    // refuses writes with 1018.
    WinError deleteKey(std::string_view path);

    // Values of the open key; the name "" is the default value. Errors: 2 (no such value or key), 6 (no
    // key open), the store's read errors.
    WinError readString(std::string_view name, std::string& value) const;
    // Errors: 5 (opened read-only), 6 (no key open), 87, 1018, the store's errors.
    WinError writeString(std::string_view name, std::string_view value);
    bool valueExists(std::string_view name) const;
    // Errors: 2 (no such value), 5 (read-only), 6, the store's errors.
    WinError deleteValue(std::string_view name);
    // Replaces names by the names of the open key's direct subkeys, in the platform's case-insensitive
    // order, each once. Errors: 6, the store's read errors.
    WinError getKeyNames(StringList& names) const;

private:
    WinError open(std::string_view path, bool canCreate, bool readOnly);

    RegistryRoot root_;
    bool open_ = false;
    bool readOnly_ = false;
    std::string path_;
    std::vector<std::string> components_;
};

} // namespace wux::platform
