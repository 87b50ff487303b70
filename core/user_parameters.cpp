#include "core/user_parameters.h"

#include "platform/ini_file.h"

namespace wux::core {

EParameterAbsent::EParameterAbsent(std::string_view paramName)
    : std::runtime_error("Parameter " + std::string(paramName) + " is absent in the list! (userparameters)")
{
}

TUserParameters::TUserParameters(std::string name) : name_(std::move(name)) {}

void TUserParameters::LoadFromIni(const platform::IniFile& ini)
{
    ini.readSectionValues(name_, stored_);
}

platform::WinError TUserParameters::SaveToIni(platform::IniFile& ini) const
{
    platform::WinError first = platform::kErrorSuccess;
    const platform::WinError written = ini.update([&](platform::IniDocument& document) {
        for (int i = 0; i < stored_.count(); ++i) {
            if (stored_.at(i).find('=') == std::string::npos)
                continue;
            const platform::WinError error =
                document.writeString(name_, stored_.name(i), stored_.valueFromIndex(i));
            if (error != platform::kErrorSuccess && first == platform::kErrorSuccess)
                first = error;
        }
        return platform::kErrorSuccess;
    });
    return written != platform::kErrorSuccess ? written : first;
}

void TUserParameters::Remove(std::string_view paramName)
{
    const int index = stored_.indexOfName(paramName);
    if (index >= 0)
        stored_.remove(index);
}

void TUserParameters::AddDefault(std::string_view paramName, std::string_view value)
{
    if (stored_.indexOfName(paramName) < 0)
        stored_.add(std::string(paramName) + "=" + std::string(value));
}

void TUserParameters::SetValue(std::string_view paramName, std::string_view value)
{
    stored_.setValue(paramName, value);
}

void TUserParameters::SetInternalValue(std::string_view paramName, std::string_view value)
{
    internal_.setValue(paramName, value);
}

std::string TUserParameters::GetValue(std::string_view paramName) const
{
    int index = stored_.indexOfName(paramName);
    if (index >= 0)
        return stored_.valueFromIndex(index);
    index = internal_.indexOfName(paramName);
    if (index >= 0)
        return internal_.valueFromIndex(index);
    throw EParameterAbsent(paramName);
}

} // namespace wux::core
