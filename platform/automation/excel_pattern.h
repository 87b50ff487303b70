// The spreadsheet stand-in's cell search pattern: "?" any one character, "*" any run of characters,
// "~" takes the next character literally (a lone "~" at the end is a literal "~").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wux::platform::automation {

class CellPattern
{
public:
    // wholeCell: the pattern must cover the whole text; otherwise it may match anywhere in it.
    // Without matchCase a text character matches a pattern character equal to it, to its upper-case or
    // to its lower-case form (per UTF-16 code unit), as the replacers' text engine compares.
    CellPattern(std::u16string_view pattern, bool matchCase, bool wholeCell);
    bool matches(std::u16string_view text) const;

private:
    struct Item
    {
        enum Kind
        {
            kChar,
            kAny,
            kStar,
        } kind;
        char16_t c = 0;
        char16_t upper = 0;
        char16_t lower = 0;
    };
    bool same(const Item& item, char16_t c) const;
    std::vector<Item> items_;
    bool matchCase_;
};

} // namespace wux::platform::automation
