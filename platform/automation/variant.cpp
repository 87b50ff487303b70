#include "platform/automation/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/automation/dispatch.h"
#include "platform/text.h"

namespace wux::platform::automation {

AutomationError::AutomationError(std::int32_t code, std::string source, std::string message)
    : std::runtime_error(message), code_(code), source_(std::move(source)), message_(std::move(message))
{
}

namespace {

[[noreturn]] void typeMismatch()
{
    throw AutomationError(kErrorTypeMismatch, "Automation", "Type mismatch.");
}
[[noreturn]] void overflow()
{
    throw AutomationError(kErrorOverflow, "Automation", "Overflow.");
}

// Parses a C-locale number with optional surrounding blanks; false when the text is not one.
bool parseNumber(std::u16string_view text, double& value)
{
    std::string narrow;
    for (char16_t c : text) {
        if (c > 0x7F)
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    std::size_t first = narrow.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    std::size_t last = narrow.find_last_not_of(" \t");
    std::string_view body(narrow.data() + first, last - first + 1);
    if (!body.empty() && body.front() == '+')
        body.remove_prefix(1);
    if (body.empty())
        return false;
    auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    return ec == std::errc() && ptr == body.data() + body.size() && std::isfinite(value);
}

bool equalsAsciiNoCase(std::u16string_view text, std::string_view word)
{
    if (text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char16_t>(c + 32);
        if (c != static_cast<unsigned char>(word[i]))
            return false;
    }
    return true;
}

std::u16string ascii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

std::string formatReal(double value, int digits = 15)
{
    if (value == 0)
        return "0";
    char buffer[64];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    std::string out(buffer, ec == std::errc() ? ptr : buffer);
    for (char& c : out)
        if (c == 'e')
            c = 'E';
    return out;
}

// Civil date of a day count since 1970-01-01 (Howard Hinnant's algorithm).
void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += (m <= 2);
}

std::string formatDate(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3e6)
        overflow();
    double whole = std::trunc(days);
    double fraction = std::fabs(days - whole);
    long long seconds = std::llround(fraction * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += days < 0 ? -1 : 1;
    }
    const bool hasDate = whole != 0;
    const bool hasTime = seconds != 0;
    char buffer[64];
    std::string out;
    if (hasDate || !hasTime) {
        std::int64_t y = 0;
        unsigned m = 0, d = 0;
        civilFromDays(static_cast<std::int64_t>(whole) - 25569, y, m, d);
        std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
        out = buffer;
    }
    if (hasTime) {
        std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60,
                      seconds % 60);
        if (!out.empty())
            out += ' ';
        out += buffer;
    }
    return out;
}

std::string formatCurrency(std::int64_t scaled)
{
    const bool negative = scaled < 0;
    unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
    std::string out = std::to_string(magnitude / 10000);
    unsigned long long fraction = magnitude % 10000;
    if (fraction != 0) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%04llu", fraction);
        std::string digits(buffer);
        while (!digits.empty() && digits.back() == '0')
            digits.pop_back();
        out += '.';
        out += digits;
    }
    return negative ? "-" + out : out;
}

std::int32_t roundToInt32(double value)
{
    if (!std::isfinite(value))
        overflow();
    double rounded = std::nearbyint(value); // half to even in the default rounding mode
    if (rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        overflow();
    return static_cast<std::int32_t>(rounded);
}

} // namespace

Variant::Variant(bool value) : type_(VarType::kBool), integer_(value ? -1 : 0) {}
Variant::Variant(std::int32_t value) : type_(VarType::kI4), integer_(value) {}
Variant::Variant(double value) : type_(VarType::kR8), real_(value) {}
Variant::Variant(std::u16string value) : type_(VarType::kBStr), text_(std::move(value)) {}
Variant::Variant(std::u16string_view value) : type_(VarType::kBStr), text_(value) {}
Variant::Variant(const char16_t* value) : type_(VarType::kBStr), text_(value ? value : u"") {}
Variant::Variant(DispatchRef value) : type_(VarType::kDispatch), dispatch_(std::move(value)) {}

Variant Variant::null()
{
    Variant v;
    v.type_ = VarType::kNull;
    return v;
}

Variant Variant::missing()
{
    Variant v;
    v.type_ = VarType::kMissing;
    v.integer_ = kErrorParamNotFound;
    return v;
}

Variant Variant::fromInt(VarType type, std::int64_t value)
{
    Variant v;
    switch (type) {
    case VarType::kI1:
        value = static_cast<std::int8_t>(value);
        break;
    case VarType::kUI1:
        value = static_cast<std::uint8_t>(value);
        break;
    case VarType::kI2:
        value = static_cast<std::int16_t>(value);
        break;
    case VarType::kUI2:
        value = static_cast<std::uint16_t>(value);
        break;
    case VarType::kI4:
        value = static_cast<std::int32_t>(value);
        break;
    case VarType::kUI4:
        value = static_cast<std::uint32_t>(value);
        break;
    case VarType::kI8:
        break;
    default:
        typeMismatch();
    }
    v.type_ = type;
    v.integer_ = value;
    return v;
}

Variant Variant::fromR4(float value)
{
    Variant v;
    v.type_ = VarType::kR4;
    v.real_ = value;
    return v;
}

Variant Variant::fromCurrency(std::int64_t scaledBy10000)
{
    Variant v;
    v.type_ = VarType::kCy;
    v.integer_ = scaledBy10000;
    return v;
}

Variant Variant::fromDate(double days)
{
    Variant v;
    v.type_ = VarType::kDate;
    v.real_ = days;
    return v;
}

Variant Variant::fromError(std::int32_t scode)
{
    Variant v;
    v.type_ = VarType::kError;
    v.integer_ = scode;
    return v;
}

Variant Variant::fromArray(std::vector<Variant> items)
{
    Variant v;
    v.type_ = VarType::kArray;
    v.array_ = std::make_shared<const std::vector<Variant>>(std::move(items));
    return v;
}

Variant Variant::fromUtf8(std::string_view text)
{
    return Variant(utf8ToUtf16(text));
}

bool Variant::isNothing() const noexcept
{
    return type_ == VarType::kEmpty || (type_ == VarType::kDispatch && !dispatch_);
}

bool Variant::isInteger() const noexcept
{
    switch (type_) {
    case VarType::kI1:
    case VarType::kUI1:
    case VarType::kI2:
    case VarType::kUI2:
    case VarType::kI4:
    case VarType::kUI4:
    case VarType::kI8:
        return true;
    default:
        return false;
    }
}

bool Variant::isNumber() const noexcept
{
    return isInteger() || type_ == VarType::kR4 || type_ == VarType::kR8 || type_ == VarType::kCy ||
           type_ == VarType::kDate;
}

const std::vector<Variant>& Variant::items() const
{
    static const std::vector<Variant> none;
    return array_ ? *array_ : none;
}

bool toBool(const Variant& value)
{
    switch (value.type()) {
    case VarType::kEmpty:
        return false;
    case VarType::kBool:
        return value.boolValue();
    case VarType::kR4:
    case VarType::kR8:
    case VarType::kDate:
        return value.realValue() != 0;
    case VarType::kCy:
        return value.integerValue() != 0;
    case VarType::kBStr: {
        if (equalsAsciiNoCase(value.text(), "true"))
            return true;
        if (equalsAsciiNoCase(value.text(), "false"))
            return false;
        double number = 0;
        if (parseNumber(value.text(), number))
            return number != 0;
        typeMismatch();
    }
    default:
        if (value.isInteger())
            return value.integerValue() != 0;
        typeMismatch();
    }
}

std::int32_t toInt32(const Variant& value)
{
    switch (value.type()) {
    case VarType::kEmpty:
        return 0;
    case VarType::kBool:
        return value.boolValue() ? -1 : 0;
    case VarType::kR4:
    case VarType::kR8:
    case VarType::kDate:
        return roundToInt32(value.realValue());
    case VarType::kCy:
        return roundToInt32(static_cast<double>(value.integerValue()) / 10000.0);
    case VarType::kBStr: {
        double number = 0;
        if (!parseNumber(value.text(), number))
            typeMismatch();
        return roundToInt32(number);
    }
    default:
        if (value.isInteger()) {
            const std::int64_t v = value.integerValue();
            if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
                overflow();
            return static_cast<std::int32_t>(v);
        }
        typeMismatch();
    }
}

double toDouble(const Variant& value)
{
    switch (value.type()) {
    case VarType::kEmpty:
        return 0;
    case VarType::kBool:
        return value.boolValue() ? -1 : 0;
    case VarType::kR4:
    case VarType::kR8:
    case VarType::kDate:
        return value.realValue();
    case VarType::kCy:
        return static_cast<double>(value.integerValue()) / 10000.0;
    case VarType::kBStr: {
        double number = 0;
        if (!parseNumber(value.text(), number))
            typeMismatch();
        return number;
    }
    default:
        if (value.isInteger())
            return static_cast<double>(value.integerValue());
        typeMismatch();
    }
}

std::u16string variantToText(const Variant& value)
{
    switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
        return {};
    case VarType::kBool:
        return value.boolValue() ? u"True" : u"False";
    case VarType::kR4:
        return ascii(formatReal(value.realValue(), 7));
    case VarType::kR8:
        return ascii(formatReal(value.realValue()));
    case VarType::kCy:
        return ascii(formatCurrency(value.integerValue()));
    case VarType::kDate:
        return ascii(formatDate(value.realValue()));
    case VarType::kBStr:
        return value.text();
    default:
        if (value.isInteger())
            return ascii(std::to_string(value.integerValue()));
        typeMismatch();
    }
}

std::string variantToUtf8(const Variant& value)
{
    return utf16ToUtf8(variantToText(value));
}

} // namespace wux::platform::automation
