// Target names of the file operations: the name mask that turns a source name into its target name,
// and the automatic renaming of a target that already exists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wux::filelist {

// The target name of Name under Mask ("*.bak", "?_*", "*.*.old"); an empty Mask gives Name.
// "*" copies the whole current part (the base name before the last dot, after a "." in the mask the
// extension), "?" the character of the current part at the same position, "." starts the extension
// part, any other character is copied.
std::string ApplyNameMask(std::string_view Mask, std::string_view Name);

// name with "[number]" put before its extension ("report.txt", 2: "report[2].txt"); a name without an
// extension (a dot at its start does not begin one) gets it at its end ("README[1]", ".profile[1]").
std::string NumberedName(std::string_view name, std::uint32_t number);

// True when the text holds "*" or "?".
bool HasWildcard(std::string_view text);

} // namespace wux::filelist
