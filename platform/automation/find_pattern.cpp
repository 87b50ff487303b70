#include "platform/automation/find_pattern.h"

#include <QChar>

#include <limits>
#include <string>

#include "platform/automation/variant.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

constexpr int kUnbounded = std::numeric_limits<int>::max();
constexpr std::size_t kMaxSteps = 5'000'000;
constexpr int kMaxDepth = 20'000;

[[noreturn]] void invalid(const std::string& message)
{
    throw AutomationError(kErrorInvalidArgument, "Word.Application", message);
}

char16_t lowerUnit(char16_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    const char32_t lower = QChar::toLower(static_cast<char32_t>(c));
    return lower > 0xFFFF ? c : static_cast<char16_t>(lower);
}

char16_t upperUnit(char16_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    const char32_t upper = QChar::toUpper(static_cast<char32_t>(c));
    return upper > 0xFFFF ? c : static_cast<char16_t>(upper);
}

bool isWhiteUnit(char16_t c)
{
    return c == u' ' || c == u'\t' || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200A);
}

// A non-owning callable reference (no allocation per backtracking step).
class Continuation
{
public:
    template <class F>
    Continuation(const F& f)
        : object_(&f), call_([](const void* o, std::size_t pos) { return (*static_cast<const F*>(o))(pos); })
    {
    }
    bool operator()(std::size_t pos) const { return call_(object_, pos); }

private:
    const void* object_;
    bool (*call_)(const void*, std::size_t);
};

} // namespace

bool isWordBreakChar(char16_t c) noexcept
{
    switch (c) {
    case u'\t':
    case u'\v':
    case u'\f':
        return true;
    default:
        break;
    }
    return isWordDelimiterChar(c);
}

struct FindPattern::Node
{
    enum Kind
    {
        kChar,
        kAny,
        kAnyInLine, // "*": never a paragraph mark
        kDigit,
        kLetter,
        kWhite,
        kClass,
        kGroup,
        kWordStart,
        kWordEnd,
    } kind = kChar;
    char16_t ch = 0;
    std::vector<std::pair<char16_t, char16_t>> ranges;
    bool negate = false;
    std::vector<Node> children;
    int min = 1;
    int max = 1;
    bool lazy = false;
    bool quantified = false;
};

namespace {

using Node = FindPattern::Node;

// Parses a decimal code of up to maxDigits digits at text[i]; returns the value and advances i.
bool parseDecimal(std::u16string_view text, std::size_t& i, std::size_t maxDigits, unsigned& value)
{
    std::size_t digits = 0;
    value = 0;
    while (i < text.size() && digits < maxDigits && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i] - u'0');
        ++i;
        ++digits;
    }
    return digits > 0;
}

Node charNode(char16_t c)
{
    Node n;
    n.kind = Node::kChar;
    n.ch = c;
    return n;
}

Node kindNode(Node::Kind kind)
{
    Node n;
    n.kind = kind;
    return n;
}

std::string codeText(std::u16string_view text, std::size_t i)
{
    return utf16ToUtf8(text.substr(i, 2));
}

// A caret code of the literal syntax at text[i] == '^'.
Node literalCode(std::u16string_view text, std::size_t& i)
{
    const std::size_t at = i;
    ++i;
    if (i >= text.size())
        invalid("'^' is not a valid special character in the find text.");
    const char16_t d = text[i];
    if (d >= u'0' && d <= u'9') {
        unsigned value = 0;
        parseDecimal(text, i, d == u'0' ? 4 : 3, value);
        if (value == 0 || value > 0xFFFF)
            invalid("'" + codeText(text, at) + "' is not a valid special character in the find text.");
        return charNode(static_cast<char16_t>(value));
    }
    ++i;
    switch (d) {
    case u'p':
    case u'P':
        return charNode(u'\r');
    case u't':
    case u'T':
        return charNode(u'\t');
    case u'^':
        return charNode(u'^');
    case u'?':
        return kindNode(Node::kAny);
    case u'#':
        return kindNode(Node::kDigit);
    case u'$':
        return kindNode(Node::kLetter);
    case u'w':
    case u'W': {
        Node n = kindNode(Node::kWhite);
        n.max = kUnbounded;
        return n;
    }
    case u'l':
    case u'L':
        return charNode(u'\v');
    case u'm':
    case u'M':
        return charNode(u'\f');
    case u's':
    case u'S':
        return charNode(0xA0);
    case u'~':
        return charNode(0x1E);
    case u'-':
        return charNode(0x1F);
    case u'+':
        return charNode(0x2014);
    case u'=':
        return charNode(0x2013);
    case u'u':
    case u'U': {
        unsigned value = 0;
        if (!parseDecimal(text, i, 5, value) || value == 0 || value > 0xFFFF)
            invalid("'^u' is not a valid special character in the find text.");
        return charNode(static_cast<char16_t>(value));
    }
    default:
        invalid("'" + codeText(text, at) + "' is not a valid special character in the find text.");
    }
}

class WildcardParser
{
public:
    explicit WildcardParser(std::u16string_view text) : text_(text) {}

    std::vector<Node> parse()
    {
        std::vector<Node> nodes = sequence(false);
        if (i_ < text_.size())
            invalid("The find text is not a valid wildcard pattern.");
        return nodes;
    }

private:
    [[noreturn]] void bad() { invalid("The find text is not a valid wildcard pattern."); }

    std::vector<Node> sequence(bool inGroup)
    {
        std::vector<Node> nodes;
        while (i_ < text_.size()) {
            const char16_t c = text_[i_];
            if (c == u')') {
                if (!inGroup)
                    bad();
                return nodes;
            }
            ++i_;
            switch (c) {
            case u'?':
                nodes.push_back(kindNode(Node::kAny));
                break;
            case u'*': {
                Node n = kindNode(Node::kAnyInLine);
                n.min = 0;
                n.max = kUnbounded;
                n.lazy = true;
                n.quantified = true;
                nodes.push_back(n);
                break;
            }
            case u'[':
                nodes.push_back(charClass());
                break;
            case u'(': {
                Node g = kindNode(Node::kGroup);
                g.children = sequence(true);
                if (i_ >= text_.size() || text_[i_] != u')')
                    bad();
                ++i_;
                if (g.children.empty())
                    bad();
                nodes.push_back(std::move(g));
                break;
            }
            case u'@':
                quantify(nodes, 1, kUnbounded);
                break;
            case u'{': {
                unsigned low = 0, high = 0;
                if (!parseDecimal(text_, i_, 5, low))
                    bad();
                int max = static_cast<int>(low);
                if (i_ < text_.size() && text_[i_] == u',') {
                    ++i_;
                    if (parseDecimal(text_, i_, 5, high))
                        max = static_cast<int>(high);
                    else
                        max = kUnbounded;
                }
                if (i_ >= text_.size() || text_[i_] != u'}')
                    bad();
                ++i_;
                if (max < static_cast<int>(low) || max == 0)
                    bad();
                quantify(nodes, static_cast<int>(low), max);
                break;
            }
            case u'<':
                nodes.push_back(kindNode(Node::kWordStart));
                break;
            case u'>':
                nodes.push_back(kindNode(Node::kWordEnd));
                break;
            case u'\\':
                if (i_ >= text_.size())
                    bad();
                nodes.push_back(charNode(text_[i_++]));
                break;
            case u'^':
                nodes.push_back(charNode(caret()));
                break;
            case u']':
            case u'}':
                bad();
            default:
                nodes.push_back(charNode(c));
            }
        }
        return nodes;
    }

    char16_t caret()
    {
        if (i_ >= text_.size())
            bad();
        const char16_t d = text_[i_];
        if (d == u't' || d == u'T') {
            ++i_;
            return u'\t';
        }
        if (d == u'^') {
            ++i_;
            return u'^';
        }
        unsigned value = 0;
        if (!parseDecimal(text_, i_, d == u'0' ? 4 : 3, value) || value == 0 || value > 0xFFFF)
            bad();
        return static_cast<char16_t>(value);
    }

    void quantify(std::vector<Node>& nodes, int min, int max)
    {
        if (nodes.empty())
            bad();
        Node& n = nodes.back();
        if (n.quantified || n.kind == Node::kWordStart || n.kind == Node::kWordEnd)
            bad();
        n.min = min;
        n.max = max;
        n.quantified = true;
    }

    Node charClass()
    {
        Node n = kindNode(Node::kClass);
        if (i_ < text_.size() && text_[i_] == u'!') {
            n.negate = true;
            ++i_;
        }
        bool first = true;
        while (true) {
            if (i_ >= text_.size())
                bad();
            char16_t c = text_[i_];
            if (c == u']' && !first)
                break;
            ++i_;
            first = false;
            if (c == u'^')
                c = caret();
            else if (c == u'\\' && i_ < text_.size())
                c = text_[i_++];
            char16_t high = c;
            if (i_ + 1 < text_.size() && text_[i_] == u'-' && text_[i_ + 1] != u']') {
                ++i_;
                high = text_[i_++];
                if (high == u'^')
                    high = caret();
                if (high < c)
                    bad();
            }
            n.ranges.emplace_back(c, high);
        }
        ++i_; // ']'
        if (n.ranges.empty())
            bad();
        return n;
    }

    std::u16string_view text_;
    std::size_t i_ = 0;
};

void foldNodes(std::vector<Node>& nodes)
{
    for (Node& n : nodes) {
        if (n.kind == Node::kChar)
            n.ch = lowerUnit(n.ch);
        foldNodes(n.children);
    }
}

class Matcher
{
public:
    Matcher(const TextSource& text, std::size_t limit, bool matchCase)
        : text_(text), limit_(limit), length_(text.length()), matchCase_(matchCase)
    {
    }

    bool breakAt(std::size_t pos) const
    {
        return pos >= length_ || text_.isBarrier(pos) || isWordBreakChar(text_.at(pos));
    }
    bool breakBefore(std::size_t pos) const { return pos == 0 || breakAt(pos - 1); }

    void resetSteps() { steps_ = 0; }

    bool one(const Node& n, char16_t c) const
    {
        switch (n.kind) {
        case Node::kChar:
            return (matchCase_ ? c : lowerUnit(c)) == n.ch;
        case Node::kAny:
            return true;
        case Node::kAnyInLine:
            return c != u'\r';
        case Node::kDigit:
            return QChar::isDigit(static_cast<char32_t>(c));
        case Node::kLetter:
            return QChar::isLetter(static_cast<char32_t>(c));
        case Node::kWhite:
            return isWhiteUnit(c);
        case Node::kClass: {
            auto in = [&](char16_t x) {
                for (const auto& [lo, hi] : n.ranges)
                    if (x >= lo && x <= hi)
                        return true;
                return false;
            };
            bool hit = in(c);
            if (!hit && !matchCase_)
                hit = in(lowerUnit(c)) || in(upperUnit(c));
            return hit != n.negate;
        }
        default:
            return false;
        }
    }

    bool sequence(const std::vector<Node>& nodes, std::size_t i, std::size_t pos, const Continuation& k,
                  int depth)
    {
        if (++steps_ > kMaxSteps || depth > kMaxDepth)
            throw AutomationError(kErrorFail, "Word.Application", "The search pattern is too complex.");
        if (i == nodes.size())
            return k(pos);
        const Node& n = nodes[i];
        switch (n.kind) {
        case Node::kWordStart:
            return breakBefore(pos) && !breakAt(pos) && sequence(nodes, i + 1, pos, k, depth + 1);
        case Node::kWordEnd:
            return !breakBefore(pos) && breakAt(pos) && sequence(nodes, i + 1, pos, k, depth + 1);
        case Node::kGroup: {
            auto rest = [&](std::size_t p) { return sequence(nodes, i + 1, p, k, depth + 1); };
            return group(n, 0, pos, Continuation(rest), depth + 1);
        }
        default:
            break;
        }
        std::size_t count = 0;
        const std::size_t max = static_cast<std::size_t>(n.max);
        while (count < max && pos + count < limit_ && !text_.isBarrier(pos + count) &&
               one(n, text_.at(pos + count)))
            ++count;
        const std::size_t min = static_cast<std::size_t>(n.min);
        if (count < min)
            return false;
        if (n.lazy) {
            for (std::size_t c = min; c <= count; ++c)
                if (sequence(nodes, i + 1, pos + c, k, depth + 1))
                    return true;
        } else {
            for (std::size_t c = count + 1; c-- > min;)
                if (sequence(nodes, i + 1, pos + c, k, depth + 1))
                    return true;
        }
        return false;
    }

    bool group(const Node& n, int count, std::size_t pos, const Continuation& k, int depth)
    {
        if (count < n.max) {
            auto again = [&](std::size_t p) { return p > pos && group(n, count + 1, p, k, depth + 1); };
            if (sequence(n.children, 0, pos, Continuation(again), depth + 1))
                return true;
        }
        return count >= n.min && k(pos);
    }

private:
    const TextSource& text_;
    std::size_t limit_;
    std::size_t length_;
    bool matchCase_;
    std::size_t steps_ = 0;
};

} // namespace

FindPattern::FindPattern(std::u16string_view text, bool matchCase, bool wholeWord, bool wildcards)
    : matchCase_(matchCase), wholeWord_(wholeWord)
{
    if (wildcards) {
        nodes_ = WildcardParser(text).parse();
    } else {
        for (std::size_t i = 0; i < text.size();) {
            if (text[i] == u'^') {
                nodes_.push_back(literalCode(text, i));
            } else {
                nodes_.push_back(charNode(text[i]));
                ++i;
            }
        }
    }
    if (!matchCase_)
        foldNodes(nodes_);
}

FindPattern::~FindPattern() = default;
FindPattern::FindPattern(FindPattern&&) noexcept = default;
FindPattern& FindPattern::operator=(FindPattern&&) noexcept = default;

bool FindPattern::empty() const
{
    return nodes_.empty();
}

bool FindPattern::find(const TextSource& text, std::size_t from, std::size_t limit, std::size_t& hitStart,
                       std::size_t& hitEnd) const
{
    if (nodes_.empty())
        return false;
    limit = std::min(limit, text.length());
    Matcher matcher(text, limit, matchCase_);
    // A literal first character lets most positions be skipped at once.
    const bool literalFirst = nodes_.front().kind == Node::kChar && nodes_.front().min >= 1;
    const char16_t first = nodes_.front().ch;
    for (std::size_t start = from; start < limit; ++start) {
        if (literalFirst) {
            const char16_t c = text.at(start);
            if ((matchCase_ ? c : lowerUnit(c)) != first)
                continue;
        }
        matcher.resetSteps();
        std::size_t end = 0;
        auto accept = [&](std::size_t e) {
            if (e == start)
                return false;
            if (wholeWord_ && !(matcher.breakBefore(start) && matcher.breakAt(e)))
                return false;
            end = e;
            return true;
        };
        if (matcher.sequence(nodes_, 0, start, Continuation(accept), 0)) {
            hitStart = start;
            hitEnd = end;
            return true;
        }
    }
    return false;
}

} // namespace wux::platform::automation
