// Type-safe formatting of the program's message templates ("%s of %s k in %d of %d files selected").
//
// Conversions: %s a text, %d a signed decimal, %u an unsigned decimal, %x / %X hexadecimal (lower /
// upper case digits), %% a percent sign. Between "%" and the conversion letter: the flags "-" (left
// aligned) and "0" (pad numbers with zeros), then a decimal width of at most kMaxFormatWidth.
//
// Templates come from language files, so they are checked against the arguments: a template that does
// not fit them (too few or too many arguments, a text for a number or a number for a text, a negative
// value for %u or %x, an unknown conversion such as %n or %p, a lone "%" at the end, a width above the
// limit) gives no result and the caller uses its built-in English template instead (formatOr).
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace wux::platform {

// The largest width a template may ask for.
inline constexpr int kMaxFormatWidth = 1024;

// One argument of a template: a text or a 64-bit integer (signed or unsigned).
class FormatArg
{
public:
    using Value = std::variant<std::string, std::int64_t, std::uint64_t>;

    FormatArg(std::string_view text) : value_(std::string(text)) {}
    FormatArg(std::string text) noexcept : value_(std::move(text)) {}
    FormatArg(const char* text) : value_(std::string(text ? text : "")) {}
    template <std::signed_integral T> FormatArg(T number) noexcept : value_(static_cast<std::int64_t>(number))
    {
    }
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>) FormatArg(T number)
    noexcept : value_(static_cast<std::uint64_t>(number)) {}
    FormatArg(bool) = delete;
    FormatArg(char) = delete;

    const Value& value() const noexcept { return value_; }

private:
    Value value_;
};

// Why a template did not fit its arguments.
enum class FormatError
{
    None,
    TooFewArguments,   // a conversion without an argument left
    TooManyArguments,  // arguments left over after the template
    WrongKind,         // a text for a number, a number for a text, a negative value for %u or %x
    UnknownConversion, // a conversion letter other than s d u x X %, or a lone "%" at the end
    WidthTooLarge,     // a width above kMaxFormatWidth
};

// The formatted text, or none when the template does not fit the arguments (the reason in *error).
std::optional<std::string> formatText(std::string_view templ, std::span<const FormatArg> args,
                                      FormatError* error = nullptr);

// formatText with the arguments listed in the call.
inline std::optional<std::string> tryFormat(std::string_view templ, std::initializer_list<FormatArg> args)
{
    return formatText(templ, std::span<const FormatArg>(args.begin(), args.size()));
}

// templ formatted, or, when it does not fit the arguments, the built-in English template formatted
// (or, should that not fit either, the English template as it is). Always a text.
std::string formatOr(std::string_view templ, std::string_view englishTempl, std::span<const FormatArg> args);
inline std::string formatOr(std::string_view templ, std::string_view englishTempl,
                            std::initializer_list<FormatArg> args)
{
    return formatOr(templ, englishTempl, std::span<const FormatArg>(args.begin(), args.size()));
}

// A byte count in decimal with a blank between groups of three digits, whatever the locale
// (1234567 gives "1 234 567"). From 1,000,000,000 on: the billions as they are, a blank, and the
// remainder as nine digits in groups of three (1,000,001,234 gives "1 000 001 234").
std::string formatByteCount(std::uint64_t size);

} // namespace wux::platform
