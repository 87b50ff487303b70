#include "engines/table_reader.h"

namespace wux::engines {

void TAbstractTable::First()
{
    currentRow_ = 1;
}

void TAbstractTable::ParseSearchOptions(CellFormat& Format, std::u16string_view Options)
{
    Format.caseSensitive = kOptionNotGiven;
    Format.wholeWord = kOptionNotGiven;
    Format.optionD = kOptionNotGiven;
    std::int32_t pending = kOptionOn;
    for (const char16_t c : Options) {
        if (c == u'-') {
            pending = kOptionOff;
            continue;
        }
        if (c == u'C' || c == u'c')
            Format.caseSensitive = pending;
        else if (c == u'W' || c == u'w')
            Format.wholeWord = pending;
        else if (c == u'D' || c == u'd')
            Format.optionD = pending;
        pending = kOptionOn;
    }
}

} // namespace wux::engines
