#include "platform/format.h"

#include <charconv>

namespace wux::platform {

namespace {

struct Spec
{
    bool left = false;
    bool zero = false;
    int width = 0;
    char conversion = 0;
};

void appendPadded(std::string& out, std::string_view body, std::string_view sign, const Spec& spec,
                  bool numeric)
{
    const std::size_t length = sign.size() + body.size();
    const std::size_t width = static_cast<std::size_t>(spec.width);
    const std::size_t pad = width > length ? width - length : 0;
    if (spec.left) {
        out += sign;
        out += body;
        out.append(pad, ' ');
    } else if (spec.zero && numeric) {
        out += sign;
        out.append(pad, '0');
        out += body;
    } else {
        out.append(pad, ' ');
        out += sign;
        out += body;
    }
}

// Formats one argument; false when its kind does not fit the conversion.
bool appendArgument(std::string& out, const Spec& spec, const FormatArg& arg)
{
    const FormatArg::Value& value = arg.value();
    if (spec.conversion == 's') {
        const auto* text = std::get_if<std::string>(&value);
        if (text == nullptr) {
            return false;
        }
        appendPadded(out, *text, {}, spec, false);
        return true;
    }
    if (std::holds_alternative<std::string>(value)) {
        return false;
    }
    bool negative = false;
    std::uint64_t magnitude = 0;
    if (const auto* s = std::get_if<std::int64_t>(&value)) {
        negative = *s < 0;
        magnitude = negative ? 0 - static_cast<std::uint64_t>(*s) : static_cast<std::uint64_t>(*s);
    } else {
        magnitude = std::get<std::uint64_t>(value);
    }
    if (negative && spec.conversion != 'd') {
        return false;
    }
    char digits[24];
    const int base = (spec.conversion == 'x' || spec.conversion == 'X') ? 16 : 10;
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude, base);
    if (spec.conversion == 'X') {
        for (char* p = digits; p != result.ptr; ++p) {
            if (*p >= 'a' && *p <= 'f') {
                *p = static_cast<char>(*p - 'a' + 'A');
            }
        }
    }
    appendPadded(out, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)),
                 negative ? "-" : "", spec, true);
    return true;
}

} // namespace

std::optional<std::string> formatText(std::string_view templ, std::span<const FormatArg> args,
                                      FormatError* error)
{
    const auto fail = [error](FormatError reason) -> std::optional<std::string> {
        if (error != nullptr) {
            *error = reason;
        }
        return std::nullopt;
    };
    std::string out;
    out.reserve(templ.size() + 16 * args.size());
    std::size_t next = 0;
    std::size_t pos = 0;
    while (pos < templ.size()) {
        const std::size_t percent = templ.find('%', pos);
        if (percent == std::string_view::npos) {
            out += templ.substr(pos);
            break;
        }
        out += templ.substr(pos, percent - pos);
        pos = percent + 1;
        Spec spec;
        for (; pos < templ.size() && (templ[pos] == '-' || templ[pos] == '0'); ++pos) {
            (templ[pos] == '-' ? spec.left : spec.zero) = true;
        }
        for (; pos < templ.size() && templ[pos] >= '0' && templ[pos] <= '9'; ++pos) {
            spec.width = spec.width * 10 + (templ[pos] - '0');
            if (spec.width > kMaxFormatWidth) {
                return fail(FormatError::WidthTooLarge);
            }
        }
        if (pos >= templ.size()) {
            return fail(FormatError::UnknownConversion);
        }
        spec.conversion = templ[pos++];
        switch (spec.conversion) {
        case '%':
            if (spec.left || spec.zero || spec.width != 0) {
                return fail(FormatError::UnknownConversion);
            }
            out += '%';
            continue;
        case 's':
        case 'd':
        case 'u':
        case 'x':
        case 'X':
            break;
        default:
            return fail(FormatError::UnknownConversion);
        }
        if (next >= args.size()) {
            return fail(FormatError::TooFewArguments);
        }
        if (!appendArgument(out, spec, args[next++])) {
            return fail(FormatError::WrongKind);
        }
    }
    if (next < args.size()) {
        return fail(FormatError::TooManyArguments);
    }
    if (error != nullptr) {
        *error = FormatError::None;
    }
    return out;
}

std::string formatOr(std::string_view templ, std::string_view englishTempl, std::span<const FormatArg> args)
{
    if (std::optional<std::string> text = formatText(templ, args)) {
        return std::move(*text);
    }
    if (std::optional<std::string> text = formatText(englishTempl, args)) {
        return std::move(*text);
    }
    return std::string(englishTempl);
}

namespace {

// Digits of value with a blank between groups of three.
std::string groupedDigits(std::uint64_t value, std::size_t minimumDigits)
{
    std::string digits = std::to_string(value);
    if (digits.size() < minimumDigits)
        digits.insert(0, minimumDigits - digits.size(), '0');
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0)
            out.push_back(' ');
        out.push_back(digits[i]);
    }
    return out;
}

} // namespace

std::string formatByteCount(std::uint64_t size)
{
    constexpr std::uint64_t kBillion = 1'000'000'000;
    if (size < kBillion)
        return groupedDigits(size, 1);
    return std::to_string(size / kBillion) + ' ' + groupedDigits(size % kBillion, 9);
}

} // namespace wux::platform
