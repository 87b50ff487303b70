// TUserParameters: a named set of text parameters ("name=value" lines) in two halves: a stored half read
// from and written to the ini section of the set's name, and an internal half that lives only in memory
// and carries the values of one run.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/string_list.h"

namespace wux::platform {
class IniFile;
}

namespace wux::core {

// Boolean parameter values.
inline constexpr const char* kParameterFalse = "0";
inline constexpr const char* kParameterTrue = "-1";

// Raised by TUserParameters::GetValue for a name that is in neither half.
class EParameterAbsent : public std::runtime_error
{
public:
    explicit EParameterAbsent(std::string_view paramName);
};

class TUserParameters
{
public:
    explicit TUserParameters(std::string name);

    // The set's name, also the ini section of the stored half.
    const std::string& Name() const { return name_; }

    // Replaces the stored half by every key of section Name, in file order.
    void LoadFromIni(const platform::IniFile& ini);
    // Writes every line of the stored half into section Name, in list order; other keys of the section
    // stay as they are. Returns the first error (the other lines are still written).
    platform::WinError SaveToIni(platform::IniFile& ini) const;

    // Deletes the stored line of that name (names compared ignoring case); nothing when absent.
    void Remove(std::string_view paramName);
    // Adds paramName=value to the stored half only when no line of that name is there.
    void AddDefault(std::string_view paramName, std::string_view value);
    // Stored half: an existing line gets the value (an empty value removes the line); an absent name is
    // appended as paramName=value.
    void SetValue(std::string_view paramName, std::string_view value);
    // The same on the internal half.
    void SetInternalValue(std::string_view paramName, std::string_view value);
    // The value of the stored line of that name, else of the internal one; EParameterAbsent when
    // neither half has it.
    std::string GetValue(std::string_view paramName) const;

    const platform::StringList& storedList() const { return stored_; }
    const platform::StringList& internalList() const { return internal_; }

private:
    std::string name_;
    platform::StringList internal_;
    platform::StringList stored_;
};

} // namespace wux::core
