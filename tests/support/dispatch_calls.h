// Short forms of the calls the automation servers' tests make on every line.
#pragma once

#include <string>
#include <string_view>

#include "platform/automation/dispatch.h"

namespace wux::test {

// The object a call answered with (raises when it is none).
inline platform::automation::DispatchRef obj(const platform::automation::Variant& v)
{
    return platform::automation::asDispatch(v);
}

inline platform::automation::Variant u(std::string_view utf8)
{
    return platform::automation::Variant::fromUtf8(utf8);
}

// Any value as the text a script would see.
inline std::string text(const platform::automation::Variant& v)
{
    return platform::automation::variantToUtf8(v);
}

} // namespace wux::test
