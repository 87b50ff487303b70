// The name-mask parser and matcher: every part of a mask text becomes a pattern, and the matcher agrees
// with a plain reference matcher of the same rules on every name (for patterns of whole characters).
//
// Input: two fields separated by a NUL byte: the mask text and the name.
#include <cstdint>
#include <string>
#include <vector>

#include "core/mask_list.h"
#include "fuzz_support.h"
#include "platform/text.h"

using namespace wux;

namespace {

std::size_t characterLength(std::string_view name, std::size_t pos)
{
    return static_cast<unsigned char>(name[pos]) < 0x80 ? 1 : platform::decodeUtf8(name, pos).length;
}

// The rules by their definition, memoised: "*" any run (also none), "?" one character, other characters
// equal when their simple case foldings are; when the name is used up, the rest of the pattern may hold only "*" and ".".
class Reference
{
public:
    Reference(std::string_view pattern, std::string_view name)
        : pattern_(pattern), name_(name), memo_((pattern.size() + 1) * (name.size() + 1), -1)
    {
    }
    bool matches() { return at(0, 0); }

private:
    bool at(std::size_t p, std::size_t n)
    {
        signed char& memo = memo_[p * (name_.size() + 1) + n];
        if (memo < 0)
            memo = compute(p, n) ? 1 : 0;
        return memo == 1;
    }
    bool compute(std::size_t p, std::size_t n)
    {
        if (n >= name_.size()) {
            for (; p < pattern_.size(); ++p)
                if (pattern_[p] != '*' && pattern_[p] != '.')
                    return false;
            return true;
        }
        if (p == pattern_.size())
            return false;
        const char c = pattern_[p];
        if (c == '*')
            return at(p + 1, n) || at(p, std::min(name_.size(), n + characterLength(name_, n)));
        if (c == '?')
            return at(p + 1, std::min(name_.size(), n + characterLength(name_, n)));
        const platform::Utf8Char want = platform::decodeUtf8(pattern_, p);
        const platform::Utf8Char have = platform::decodeUtf8(name_, n);
        if (!want.valid) // a byte that is not UTF-8 stands for itself
            return c == name_[n] && at(p + 1, n + 1);
        return have.valid && platform::foldCodePoint(want.codePoint) == platform::foldCodePoint(have.codePoint) &&
               at(p + want.length, n + have.length);
    }

    std::string_view pattern_;
    std::string_view name_;
    std::vector<signed char> memo_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto fields = fuzz::splitFields(fuzz::asText(data, size), 2);
    const std::string_view maskText = fields[0];
    const std::string_view name = fields[1];

    core::TMaskList list;
    core::ParseMaskList(maskText, list);
    std::size_t parts = 0;
    for (const core::TPartFilterItem& item : list) {
        fuzz::check(item.length >= 1 && item.upper.size() == static_cast<std::size_t>(item.length) &&
                        item.lower.size() == item.upper.size(),
                    "pattern forms");
        fuzz::check(item.upper.find(';') == std::string::npos, "a pattern holds the separator");
        parts += item.upper.size();
    }
    fuzz::check(parts <= maskText.size(), "patterns longer than their mask");

    bool any = false;
    for (const core::TPartFilterItem& item : list) {
        const bool matched = core::MatchMask(name, item);
        any = any || matched;
        // Masks come from text fields and settings as UTF-8; a pattern holding a broken character can
        // align a byte match inside a name's character, which no typed mask does, and is left out.
        if (item.upper.size() <= 512 && name.size() <= 512 && platform::isValidUtf8(item.upper))
            fuzz::check(matched == Reference(item.upper, name).matches(),
                        "the matcher differs from its rules");
    }
    fuzz::check(core::MatchMaskList(name, list, true) == (list.empty() || any), "MatchMaskList");
    fuzz::check(core::MatchMaskList(name, list, false) == any, "MatchMaskList without patterns");
    core::FreeMaskList(list);
    fuzz::check(list.empty(), "FreeMaskList");
    return 0;
}
