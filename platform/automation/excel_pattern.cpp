#include "platform/automation/excel_pattern.h"

#include <QChar>

namespace wux::platform::automation {

CellPattern::CellPattern(std::u16string_view pattern, bool matchCase, bool wholeCell) : matchCase_(matchCase)
{
    auto addStar = [this] {
        if (items_.empty() || items_.back().kind != Item::kStar)
            items_.push_back(Item{Item::kStar});
    };
    if (!wholeCell)
        addStar();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char16_t c = pattern[i];
        if (c == u'*') {
            addStar();
            continue;
        }
        if (c == u'?') {
            items_.push_back(Item{Item::kAny});
            continue;
        }
        if (c == u'~' && i + 1 < pattern.size())
            c = pattern[++i];
        items_.push_back(Item{Item::kChar, c, static_cast<char16_t>(QChar::toUpper(char32_t(c))),
                              static_cast<char16_t>(QChar::toLower(char32_t(c)))});
    }
    if (!wholeCell)
        addStar();
}

bool CellPattern::same(const Item& item, char16_t c) const
{
    if (item.kind == Item::kAny)
        return true;
    if (c == item.c)
        return true;
    return !matchCase_ && (c == item.upper || c == item.lower);
}

bool CellPattern::matches(std::u16string_view text) const
{
    // Greedy matching that backtracks to the last star only: linear for one star, O(n*m) at worst.
    std::size_t t = 0, p = 0;
    std::size_t starItem = std::u16string_view::npos, starText = 0;
    while (t < text.size()) {
        if (p < items_.size() && items_[p].kind == Item::kStar) {
            starItem = p++;
            starText = t;
        } else if (p < items_.size() && same(items_[p], text[t])) {
            ++p;
            ++t;
        } else if (starItem != std::u16string_view::npos) {
            p = starItem + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < items_.size() && items_[p].kind == Item::kStar)
        ++p;
    return p == items_.size();
}

} // namespace wux::platform::automation
