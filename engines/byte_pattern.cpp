#include "engines/byte_pattern.h"

#include <algorithm>

#include "platform/text.h"

namespace wux::engines {

namespace {

using Alternatives = std::vector<std::vector<std::uint8_t>>;

// Leads to the first node of the next character (patched once the character's nodes are made).
constexpr std::int32_t kNextCharacter = -2;

void addAlternative(Alternatives& alternatives, std::vector<std::uint8_t> bytes)
{
    if (std::find(alternatives.begin(), alternatives.end(), bytes) == alternatives.end())
        alternatives.push_back(std::move(bytes));
}

std::vector<std::uint8_t> utf16Of(char32_t codePoint)
{
    std::vector<std::uint8_t> out;
    auto unit = [&out](std::uint32_t value) {
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    if (codePoint >= 0x10000 && codePoint <= 0x10FFFF) {
        unit(0xD800 + ((codePoint - 0x10000) >> 10));
        unit(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    } else {
        unit(static_cast<std::uint32_t>(codePoint));
    }
    return out;
}

} // namespace

BytePattern BytePattern::exact(std::string_view bytes)
{
    BytePattern pattern;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        pattern.addCharacter(i, {{static_cast<std::uint8_t>(bytes[i])}});
    return pattern;
}

BytePattern BytePattern::bytePairs(std::string_view first, std::string_view second)
{
    BytePattern pattern;
    for (std::size_t i = 0; i < first.size(); ++i) {
        Alternatives alternatives{{static_cast<std::uint8_t>(first[i])}};
        if (i < second.size())
            addAlternative(alternatives, {static_cast<std::uint8_t>(second[i])});
        pattern.addCharacter(i, alternatives);
    }
    return pattern;
}

BytePattern BytePattern::utf8IgnoringCase(std::string_view text)
{
    BytePattern pattern;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const platform::Utf8CaseForms forms = platform::utf8CaseForms(text, pos);
        Alternatives alternatives;
        for (std::size_t k = 0; k < forms.count; ++k) {
            const std::string_view form = forms.form(k);
            addAlternative(alternatives, {form.begin(), form.end()});
        }
        pattern.addCharacter(pos, alternatives);
        pos += forms.length;
    }
    return pattern;
}

BytePattern BytePattern::utf16IgnoringCase(std::string_view bytes)
{
    BytePattern pattern;
    auto unitAt = [&bytes](std::size_t pos) {
        return static_cast<char32_t>(static_cast<std::uint8_t>(bytes[pos]) |
                                     static_cast<std::uint8_t>(bytes[pos + 1]) << 8);
    };
    std::size_t pos = 0;
    while (pos + 1 < bytes.size()) {
        char32_t codePoint = unitAt(pos);
        std::size_t length = 2;
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF && pos + 3 < bytes.size()) {
            const char32_t low = unitAt(pos + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
                length = 4;
            }
        }
        Alternatives alternatives;
        const platform::CaseVariants variants = platform::caseVariants(codePoint);
        for (std::size_t k = 0; k < variants.count; ++k)
            addAlternative(alternatives, utf16Of(variants.chars[k]));
        pattern.addCharacter(pos, alternatives);
        pos += length;
    }
    if (pos < bytes.size())
        pattern.addCharacter(pos, {{static_cast<std::uint8_t>(bytes[pos])}});
    return pattern;
}

void BytePattern::addCharacter(std::size_t textOffset, const Alternatives& alternatives)
{
    const auto root = static_cast<std::int32_t>(nodes_.size());
    starts_.emplace_back(textOffset, root);
    nodes_.emplace_back();
    std::size_t most = 0;
    std::size_t fewest = 0;
    bool first = true;
    for (const std::vector<std::uint8_t>& bytes : alternatives) {
        if (bytes.empty())
            continue;
        std::int32_t at = root;
        bool added = true;
        for (std::size_t j = 0; j < bytes.size() && added; ++j) {
            const bool last = j + 1 == bytes.size();
            PatternNode& node = nodes_[static_cast<std::size_t>(at)];
            std::size_t k = 0;
            while (k < node.count && node.bytes[k] != bytes[j])
                ++k;
            if (k < node.count) {
                // A shared leading byte (the sequences never end inside one another).
                if (last || node.next[k] == kNextCharacter) {
                    added = false;
                    break;
                }
                at = node.next[k];
                continue;
            }
            if (node.count == kMaxPatternBranches) {
                added = false;
                break;
            }
            node.bytes[k] = bytes[j];
            ++node.count;
            if (last) {
                node.next[k] = kNextCharacter;
            } else {
                const auto child = static_cast<std::int32_t>(nodes_.size());
                node.next[k] = child;
                nodes_.emplace_back(); // may move the nodes: `node` is not used again
                at = child;
            }
        }
        if (!added)
            continue;
        most = std::max(most, bytes.size());
        fewest = first ? bytes.size() : std::min(fewest, bytes.size());
        first = false;
    }
    const auto nextRoot = static_cast<std::int32_t>(nodes_.size());
    for (std::size_t n = static_cast<std::size_t>(root); n < nodes_.size(); ++n)
        for (std::size_t k = 0; k < nodes_[n].count; ++k)
            if (nodes_[n].next[k] == kNextCharacter)
                nodes_[n].next[k] = nextRoot;
    longest_ += most;
    shortest_ += fewest;
}

std::int32_t BytePattern::nodeAtOffset(std::size_t offset) const
{
    const auto it = std::lower_bound(starts_.begin(), starts_.end(), offset,
                                     [](const auto& start, std::size_t value) { return start.first < value; });
    return it == starts_.end() ? end() : it->second;
}

std::size_t BytePattern::matchAt(const std::uint8_t* data, std::size_t size) const
{
    if (nodes_.empty())
        return 0;
    std::int32_t node = 0;
    const std::int32_t last = end();
    for (std::size_t i = 0; i < size; ++i) {
        node = step(node, data[i]);
        if (node < 0)
            return 0;
        if (node == last)
            return i + 1;
    }
    return 0;
}

} // namespace wux::engines
