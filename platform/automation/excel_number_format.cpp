#include "platform/automation/excel_number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/automation/variant.h"

namespace wux::platform::automation {

namespace {

enum class Tok
{
    kLiteral,
    kZero,
    kHash,
    kQuestion,
    kPoint,
    kComma,
    kPercent,
    kExponent,
    kAt,
    kGeneral,
    kYear,
    kMonth,
    kDay,
    kHour,
    kMinute,
    kSecond,
    kFracSecond,
    kAmPm,
    kElapsedH,
    kElapsedM,
    kElapsedS,
    kSlash,
};

struct Token
{
    Tok kind = Tok::kLiteral;
    std::u16string text; // literal text, AM/PM spelling, or the raw characters
    int count = 0;       // run length (dates), exponent digits
    bool plus = false;   // exponent E+
};

struct Section
{
    std::vector<Token> tokens;
    bool unsupported = false;
    bool hasDate = false;
    bool hasDigits = false;
    bool hasGeneral = false;
};

char16_t lower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool startsWithNoCase(std::u16string_view text, std::size_t at, std::string_view word)
{
    if (text.size() - at < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(text[at + i]) != static_cast<char16_t>(word[i]))
            return false;
    return true;
}

std::u16string ascii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

std::vector<std::u16string_view> splitSections(std::u16string_view code)
{
    std::vector<std::u16string_view> out;
    std::size_t start = 0;
    bool quoted = false;
    bool bracket = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char16_t c = code[i];
        if (quoted) {
            if (c == u'"')
                quoted = false;
        } else if (bracket) {
            if (c == u']')
                bracket = false;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'[') {
            bracket = true;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u';') {
            out.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(code.substr(start));
    return out;
}

void addLiteral(Section& s, std::u16string text)
{
    if (!s.tokens.empty() && s.tokens.back().kind == Tok::kLiteral)
        s.tokens.back().text += text;
    else
        s.tokens.push_back(Token{Tok::kLiteral, std::move(text)});
}

bool isColourName(std::u16string_view content)
{
    static const char* const kNames[] = {"black",   "blue", "cyan",  "green",
                                         "magenta", "red",  "white", "yellow"};
    for (const char* name : kNames)
        if (content.size() == std::strlen(name) && startsWithNoCase(content, 0, name))
            return true;
    if (startsWithNoCase(content, 0, "color") && content.size() > 5) {
        for (std::size_t i = 5; i < content.size(); ++i)
            if (content[i] < u'0' || content[i] > u'9')
                return false;
        return true;
    }
    return false;
}

bool isRunOf(std::u16string_view content, char16_t letter)
{
    if (content.empty())
        return false;
    for (char16_t c : content)
        if (lower(c) != letter)
            return false;
    return true;
}

void parseBracket(Section& s, std::u16string_view content)
{
    if (content.empty())
        return;
    if (isColourName(content))
        return;
    if (content[0] == u'$') {
        const std::size_t dash = content.find(u'-');
        addLiteral(s, std::u16string(
                          content.substr(1, dash == std::u16string_view::npos ? content.npos : dash - 1)));
        return;
    }
    if (isRunOf(content, u'h')) {
        s.tokens.push_back(Token{Tok::kElapsedH, {}, static_cast<int>(content.size())});
        s.hasDate = true;
        return;
    }
    if (isRunOf(content, u'm')) {
        s.tokens.push_back(Token{Tok::kElapsedM, {}, static_cast<int>(content.size())});
        s.hasDate = true;
        return;
    }
    if (isRunOf(content, u's')) {
        s.tokens.push_back(Token{Tok::kElapsedS, {}, static_cast<int>(content.size())});
        s.hasDate = true;
        return;
    }
    // Conditions and other tags this engine does not know.
    s.unsupported = true;
}

Section parseSection(std::u16string_view text)
{
    Section s;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        const char16_t lc = lower(c);
        auto run = [&](char16_t letter) {
            std::size_t j = i;
            while (j < n && lower(text[j]) == letter)
                ++j;
            const int count = static_cast<int>(j - i);
            i = j - 1;
            return count;
        };
        if (c == u'"') {
            const std::size_t end = text.find(u'"', i + 1);
            const std::size_t stop = end == std::u16string_view::npos ? n : end;
            addLiteral(s, std::u16string(text.substr(i + 1, stop - i - 1)));
            i = stop;
        } else if (c == u'\\') {
            if (i + 1 < n)
                addLiteral(s, std::u16string(1, text[++i]));
        } else if (c == u'_') {
            if (i + 1 < n)
                ++i;
            addLiteral(s, u" ");
        } else if (c == u'*') {
            if (i + 1 < n)
                ++i;
        } else if (c == u'[') {
            const std::size_t end = text.find(u']', i + 1);
            const std::size_t stop = end == std::u16string_view::npos ? n : end;
            parseBracket(s, text.substr(i + 1, stop - i - 1));
            i = stop;
        } else if (c == u'0' || c == u'#' || c == u'?') {
            s.tokens.push_back(Token{c == u'0' ? Tok::kZero : (c == u'#' ? Tok::kHash : Tok::kQuestion),
                                     std::u16string(1, c)});
            s.hasDigits = true;
        } else if (c == u'.') {
            // After seconds, ".0", ".00" or ".000" are fractions of a second.
            Tok prev = Tok::kLiteral;
            for (auto it = s.tokens.rbegin(); it != s.tokens.rend(); ++it)
                if (it->kind != Tok::kLiteral) {
                    prev = it->kind;
                    break;
                }
            if ((prev == Tok::kSecond || prev == Tok::kElapsedS) && i + 1 < n && text[i + 1] == u'0') {
                std::size_t j = i + 1;
                while (j < n && text[j] == u'0')
                    ++j;
                s.tokens.push_back(
                    Token{Tok::kFracSecond, {}, static_cast<int>(std::min<std::size_t>(j - i - 1, 3))});
                i = j - 1;
            } else {
                s.tokens.push_back(Token{Tok::kPoint, u"."});
            }
        } else if (c == u',') {
            s.tokens.push_back(Token{Tok::kComma, u","});
        } else if (c == u'%') {
            s.tokens.push_back(Token{Tok::kPercent, u"%"});
        } else if (lc == u'e' && i + 1 < n && (text[i + 1] == u'+' || text[i + 1] == u'-')) {
            Token t{Tok::kExponent, {}, 0, text[i + 1] == u'+'};
            std::size_t j = i + 2;
            while (j < n && (text[j] == u'0' || text[j] == u'#' || text[j] == u'?'))
                ++j;
            t.count = static_cast<int>(j - i - 2);
            s.tokens.push_back(t);
            i = j - 1;
        } else if (c == u'@') {
            s.tokens.push_back(Token{Tok::kAt, u"@"});
        } else if (lc == u'g' && startsWithNoCase(text, i, "general")) {
            s.tokens.push_back(Token{Tok::kGeneral, {}});
            s.hasGeneral = true;
            i += 6;
        } else if (lc == u'a' && startsWithNoCase(text, i, "am/pm")) {
            s.tokens.push_back(Token{Tok::kAmPm, std::u16string(text.substr(i, 5))});
            s.hasDate = true;
            i += 4;
        } else if (lc == u'a' && startsWithNoCase(text, i, "a/p")) {
            s.tokens.push_back(Token{Tok::kAmPm, std::u16string(text.substr(i, 3))});
            s.hasDate = true;
            i += 2;
        } else if (lc == u'y' || lc == u'm' || lc == u'd' || lc == u'h' || lc == u's') {
            const Tok kind = lc == u'y'   ? Tok::kYear
                             : lc == u'm' ? Tok::kMonth
                             : lc == u'd' ? Tok::kDay
                             : lc == u'h' ? Tok::kHour
                                          : Tok::kSecond;
            s.tokens.push_back(Token{kind, {}, run(lc)});
            s.hasDate = true;
        } else if (c == u'/') {
            s.tokens.push_back(Token{Tok::kSlash, u"/"});
        } else {
            addLiteral(s, std::u16string(1, c));
        }
    }
    // "m" right after hours or right before seconds means minutes.
    for (std::size_t k = 0; k < s.tokens.size(); ++k) {
        if (s.tokens[k].kind != Tok::kMonth)
            continue;
        bool minute = false;
        for (std::size_t j = k; j-- > 0;) {
            const Tok t = s.tokens[j].kind;
            if (t == Tok::kLiteral)
                continue;
            minute = t == Tok::kHour || t == Tok::kElapsedH;
            break;
        }
        for (std::size_t j = k + 1; !minute && j < s.tokens.size(); ++j) {
            const Tok t = s.tokens[j].kind;
            if (t == Tok::kLiteral)
                continue;
            minute = t == Tok::kSecond || t == Tok::kElapsedS;
            break;
        }
        if (minute)
            s.tokens[k].kind = Tok::kMinute;
    }
    if (!s.hasDate && s.hasDigits)
        for (const Token& t : s.tokens)
            if (t.kind == Tok::kSlash)
                s.unsupported = true; // fractions
    return s;
}

// The integer and fraction digits of x >= 0 rounded half up to `decimals` places, from its 15
// significant digits (so 2.675 with two decimals gives 2.68, and large numbers end in zeros).
void decimalDigits(double x, int decimals, std::string& intDigits, std::string& fracDigits)
{
    intDigits.clear();
    fracDigits.clear();
    if (x == 0 || !std::isfinite(x)) {
        fracDigits.assign(static_cast<std::size_t>(decimals), '0');
        return;
    }
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.14e", x);
    std::string digits(1, buffer[0]);
    digits.append(buffer + 2, 14);
    const int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
    const int point = exponent + 1;
    std::string ip, fp;
    if (point <= 0) {
        fp = std::string(static_cast<std::size_t>(-point), '0') + digits;
    } else if (point >= 15) {
        ip = digits + std::string(static_cast<std::size_t>(point - 15), '0');
    } else {
        ip = digits.substr(0, static_cast<std::size_t>(point));
        fp = digits.substr(static_cast<std::size_t>(point));
    }
    const auto d = static_cast<std::size_t>(decimals);
    if (fp.size() > d) {
        const bool up = fp[d] >= '5';
        fp.resize(d);
        if (up) {
            std::string all = ip + fp;
            std::size_t k = all.size();
            while (k > 0 && all[k - 1] == '9')
                all[--k] = '0';
            if (k == 0)
                all.insert(all.begin(), '1');
            else
                ++all[k - 1];
            ip = all.substr(0, all.size() - d);
            fp = all.substr(all.size() - d);
        }
    }
    fp.resize(d, '0');
    const std::size_t nonZero = ip.find_first_not_of('0');
    intDigits = nonZero == std::string::npos ? std::string() : ip.substr(nonZero);
    fracDigits = fp;
}

bool isDigitToken(Tok t)
{
    return t == Tok::kZero || t == Tok::kHash || t == Tok::kQuestion;
}

// Renders a number section for x >= 0; nothing when the scaled value is not finite.
std::optional<std::u16string> renderNumber(const Section& s, double x)
{
    const std::vector<Token>& tokens = s.tokens;
    std::size_t pointAt = tokens.size(), expAt = tokens.size();
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == Tok::kPoint && pointAt == tokens.size() && expAt == tokens.size())
            pointAt = i;
        if (tokens[i].kind == Tok::kExponent && expAt == tokens.size())
            expAt = i;
    }
    const std::size_t intEnd = std::min(pointAt, expAt);
    // Integer placeholders, grouping and scaling commas.
    int intPlaceholders = 0;
    bool hasHashInt = false;
    std::size_t lastIntDigit = tokens.size();
    for (std::size_t i = 0; i < intEnd; ++i)
        if (isDigitToken(tokens[i].kind)) {
            ++intPlaceholders;
            hasHashInt = hasHashInt || tokens[i].kind == Tok::kHash;
            lastIntDigit = i;
        }
    bool grouping = false;
    std::vector<bool> skip(tokens.size(), false);
    bool seenDigit = false;
    for (std::size_t i = 0; i < intEnd; ++i) {
        if (isDigitToken(tokens[i].kind))
            seenDigit = true;
        if (tokens[i].kind != Tok::kComma)
            continue;
        skip[i] = true;
        if (seenDigit && lastIntDigit != tokens.size() && i < lastIntDigit)
            grouping = true;
        else if (seenDigit && i > lastIntDigit)
            x /= 1000;
    }
    int decimals = 0;
    const std::size_t fracEnd = expAt;
    for (std::size_t i = pointAt + 1; i < fracEnd && pointAt < tokens.size(); ++i)
        if (isDigitToken(tokens[i].kind))
            ++decimals;
    for (const Token& t : tokens)
        if (t.kind == Tok::kPercent)
            x *= 100;
    if (!std::isfinite(x))
        return std::nullopt;

    int exponentValue = 0;
    std::string intDigits, fracDigits;
    if (expAt < tokens.size()) {
        const int p = std::max(intPlaceholders, 1);
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (x != 0) {
                char buffer[48];
                std::snprintf(buffer, sizeof buffer, "%.14e", x);
                int e10 = std::atoi(std::strchr(buffer, 'e') + 1) + attempt;
                if (hasHashInt && p > 1)
                    exponentValue = static_cast<int>(std::floor(static_cast<double>(e10) / p)) * p;
                else
                    exponentValue = e10 - (p - 1);
            }
            decimalDigits(x / std::pow(10.0, exponentValue), decimals, intDigits, fracDigits);
            if (static_cast<int>(intDigits.size()) <= p)
                break;
        }
    } else {
        decimalDigits(x, decimals, intDigits, fracDigits);
    }

    // Integer part: placeholders filled from the right.
    std::vector<std::string> assigned(tokens.size());
    {
        int remaining = static_cast<int>(intDigits.size());
        int placeholderFromRight = 0;
        for (std::size_t i = intEnd; i-- > 0;) {
            if (!isDigitToken(tokens[i].kind))
                continue;
            ++placeholderFromRight;
            std::string out;
            if (placeholderFromRight == intPlaceholders && remaining > 1) {
                out = intDigits.substr(0, static_cast<std::size_t>(remaining));
                remaining = 0;
            } else if (remaining > 0) {
                out = intDigits.substr(static_cast<std::size_t>(remaining - 1), 1);
                --remaining;
            } else if (tokens[i].kind == Tok::kZero) {
                out = "0";
            } else if (tokens[i].kind == Tok::kQuestion) {
                out = " ";
            }
            assigned[i] = out;
        }
        if (intPlaceholders == 0 && !intDigits.empty() && intEnd <= tokens.size()) {
            // No integer placeholder: the integer digits stand before the point.
            assigned.push_back(intDigits);
        }
    }
    // Fraction part: filled from the left; trailing zeros of # and ? placeholders dropped or blanked.
    if (pointAt < tokens.size()) {
        std::vector<std::size_t> places;
        for (std::size_t i = pointAt + 1; i < fracEnd; ++i)
            if (isDigitToken(tokens[i].kind))
                places.push_back(i);
        std::size_t keep = places.size();
        while (keep > 0 && tokens[places[keep - 1]].kind != Tok::kZero && fracDigits[keep - 1] == '0')
            --keep;
        for (std::size_t k = 0; k < places.size(); ++k) {
            if (k < keep)
                assigned[places[k]] = std::string(1, fracDigits[k]);
            else
                assigned[places[k]] = tokens[places[k]].kind == Tok::kQuestion ? " " : "";
        }
    }

    std::u16string out;
    bool intEmitted = false;
    auto emitInteger = [&]() {
        if (intEmitted)
            return;
        intEmitted = true;
        std::string digits;
        for (std::size_t i = 0; i < intEnd; ++i)
            if (isDigitToken(tokens[i].kind))
                digits += assigned[i];
        if (intPlaceholders == 0 && assigned.size() > tokens.size())
            digits += assigned.back();
        if (grouping) {
            std::string grouped;
            int count = 0;
            for (std::size_t k = digits.size(); k-- > 0;) {
                const bool isDigit = digits[k] >= '0' && digits[k] <= '9';
                if (isDigit && count > 0 && count % 3 == 0)
                    grouped.insert(grouped.begin(), ',');
                grouped.insert(grouped.begin(), digits[k]);
                if (isDigit)
                    ++count;
            }
            digits = grouped;
        }
        out += ascii(digits);
    };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (i < intEnd && (isDigitToken(t.kind) || (grouping && t.kind == Tok::kComma))) {
            if (grouping || intPlaceholders == 0) {
                emitInteger();
            } else {
                out += ascii(assigned[i]);
            }
            continue;
        }
        if (i == intEnd && intPlaceholders == 0)
            emitInteger();
        if (skip[i])
            continue;
        switch (t.kind) {
        case Tok::kZero:
        case Tok::kHash:
        case Tok::kQuestion:
            out += ascii(assigned[i]);
            break;
        case Tok::kPoint:
            out += u'.';
            break;
        case Tok::kPercent:
            out += u'%';
            break;
        case Tok::kExponent: {
            out += u'E';
            if (exponentValue < 0)
                out += u'-';
            else if (t.plus)
                out += u'+';
            std::string e = std::to_string(std::abs(exponentValue));
            if (static_cast<int>(e.size()) < t.count)
                e.insert(0, static_cast<std::size_t>(t.count) - e.size(), '0');
            out += ascii(e);
            break;
        }
        case Tok::kLiteral:
            out += t.text;
            break;
        case Tok::kGeneral:
            break;
        default:
            out += t.text;
            break;
        }
    }
    if (intPlaceholders == 0 && !intEmitted)
        emitInteger();
    return out;
}

// Civil date of a day count since 1970-01-01.
void civilFromDays(long long z, long long& y, int& m, int& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y += (m <= 2);
}

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::u16string pad(long long value, int width)
{
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return ascii(text);
}

std::u16string renderDate(const Section& s, double value, bool date1904, bool& ok)
{
    ok = false;
    if (value < 0 || value >= (date1904 ? 2957004.0 : 2958466.0))
        return {};
    int fraction = 0;
    bool ampm = false;
    for (const Token& t : s.tokens) {
        if (t.kind == Tok::kFracSecond)
            fraction = std::max(fraction, t.count);
        if (t.kind == Tok::kAmPm)
            ampm = true;
    }
    long long scale = 1;
    for (int i = 0; i < fraction; ++i)
        scale *= 10;
    const long long units = std::llround(value * 86400.0 * static_cast<double>(scale));
    const long long totalSeconds = units / scale;
    const long long fracUnits = units % scale;
    const long long dayNumber = totalSeconds / 86400;
    const long long secondOfDay = totalSeconds % 86400;
    const int hour = static_cast<int>(secondOfDay / 3600);
    const int minute = static_cast<int>((secondOfDay / 60) % 60);
    const int second = static_cast<int>(secondOfDay % 60);

    long long year = 1900;
    int month = 1, day = 0, weekday = 0;
    if (date1904) {
        civilFromDays(dayNumber - 24107, year, month, day);
        weekday = static_cast<int>((((dayNumber - 24107) % 7) + 7 + 4) % 7);
    } else if (dayNumber == 0) {
        weekday = 6;
    } else if (dayNumber == 60) {
        month = 2;
        day = 29;
        weekday = 3;
    } else if (dayNumber < 60) {
        civilFromDays(dayNumber - 25568, year, month, day);
        weekday = static_cast<int>((dayNumber + 6) % 7);
    } else {
        civilFromDays(dayNumber - 25569, year, month, day);
        weekday = static_cast<int>((((dayNumber - 25569) % 7) + 7 + 4) % 7);
    }

    std::u16string out;
    for (const Token& t : s.tokens) {
        switch (t.kind) {
        case Tok::kYear:
            out += t.count <= 2 ? pad(year % 100, 2) : pad(year, 4);
            break;
        case Tok::kMonth:
            if (t.count <= 2)
                out += pad(month, t.count);
            else if (t.count == 3)
                out += ascii(std::string_view(kMonths[month - 1], 3));
            else if (t.count == 5)
                out += ascii(std::string_view(kMonths[month - 1], 1));
            else
                out += ascii(kMonths[month - 1]);
            break;
        case Tok::kDay:
            if (t.count <= 2)
                out += pad(day, t.count);
            else if (t.count == 3)
                out += ascii(std::string_view(kDays[weekday], 3));
            else
                out += ascii(kDays[weekday]);
            break;
        case Tok::kHour: {
            int h = hour;
            if (ampm)
                h = h % 12 == 0 ? 12 : h % 12;
            out += pad(h, std::min(t.count, 2));
            break;
        }
        case Tok::kMinute:
            out += pad(minute, std::min(t.count, 2));
            break;
        case Tok::kSecond:
            out += pad(second, std::min(t.count, 2));
            break;
        case Tok::kFracSecond: {
            std::u16string digits = pad(fracUnits, fraction);
            out += u'.';
            out += digits.substr(0, static_cast<std::size_t>(t.count));
            break;
        }
        case Tok::kElapsedH:
            out += pad(totalSeconds / 3600, t.count);
            break;
        case Tok::kElapsedM:
            out += pad(totalSeconds / 60, t.count);
            break;
        case Tok::kElapsedS:
            out += pad(totalSeconds, t.count);
            break;
        case Tok::kAmPm: {
            const bool pm = hour >= 12;
            if (t.text.size() == 5) {
                // "AM/PM" spelled in either case: the marker follows the case of its first letter.
                const bool upper = t.text[0] == u'A';
                out += upper ? (pm ? u"PM" : u"AM") : (pm ? u"pm" : u"am");
            } else {
                out += pm ? t.text[2] : t.text[0];
            }
            break;
        }
        case Tok::kPoint:
            out += u'.';
            break;
        case Tok::kLiteral:
        default:
            out += t.text;
            break;
        }
    }
    ok = true;
    return out;
}

} // namespace

std::u16string generalNumberText(double value)
{
    return variantToText(Variant(value));
}

std::u16string builtInNumberFormat(int id)
{
    switch (id) {
    case 1:
        return u"0";
    case 2:
        return u"0.00";
    case 3:
        return u"#,##0";
    case 4:
        return u"#,##0.00";
    case 5:
        return u"\"$\"#,##0_);\\(\"$\"#,##0\\)";
    case 6:
        return u"\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)";
    case 7:
        return u"\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)";
    case 8:
        return u"\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)";
    case 9:
        return u"0%";
    case 10:
        return u"0.00%";
    case 11:
        return u"0.00E+00";
    case 12:
        return u"# ?/?";
    case 13:
        return u"# ?\?/?\?";
    case 14:
        return u"m/d/yyyy";
    case 15:
        return u"d-mmm-yy";
    case 16:
        return u"d-mmm";
    case 17:
        return u"mmm-yy";
    case 18:
        return u"h:mm AM/PM";
    case 19:
        return u"h:mm:ss AM/PM";
    case 20:
        return u"h:mm";
    case 21:
        return u"h:mm:ss";
    case 22:
        return u"m/d/yyyy h:mm";
    case 37:
        return u"#,##0 ;(#,##0)";
    case 38:
        return u"#,##0 ;[Red](#,##0)";
    case 39:
        return u"#,##0.00;(#,##0.00)";
    case 40:
        return u"#,##0.00;[Red](#,##0.00)";
    case 41:
        return u"_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)";
    case 42:
        return u"_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)";
    case 43:
        return u"_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"?\?_);_(@_)";
    case 44:
        return u"_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"?\?_);_(@_)";
    case 45:
        return u"mm:ss";
    case 46:
        return u"[h]:mm:ss";
    case 47:
        return u"mm:ss.0";
    case 48:
        return u"##0.0E+0";
    case 49:
        return u"@";
    default:
        return {};
    }
}

std::u16string formatNumberText(double value, std::u16string_view formatCode, bool date1904)
{
    if (!std::isfinite(value) || formatCode.empty())
        return generalNumberText(value);
    std::vector<std::u16string_view> texts = splitSections(formatCode);
    const std::size_t count = std::min<std::size_t>(texts.size(), 3);
    std::vector<Section> sections;
    for (std::size_t i = 0; i < count; ++i) {
        sections.push_back(parseSection(texts[i]));
        if (sections.back().unsupported)
            return generalNumberText(value);
    }
    std::size_t index = 0;
    bool autoSign = true;
    if (count == 2 && value < 0) {
        index = 1;
        autoSign = false;
    } else if (count >= 3 && value != 0) {
        index = value > 0 ? 0 : 1;
        autoSign = false;
    } else if (count >= 3) {
        index = 2;
        autoSign = false;
    }
    if (count >= 2 && index == 0)
        autoSign = false; // value >= 0 here
    const Section& s = sections[index];
    const bool negative = value < 0 && autoSign;
    const double x = std::fabs(value);
    std::u16string out;
    if (s.hasDate) {
        bool ok = false;
        out = renderDate(s, value, date1904, ok);
        if (!ok)
            return generalNumberText(value);
        return out;
    }
    if (s.hasDigits) {
        std::optional<std::u16string> rendered = renderNumber(s, x);
        if (!rendered)
            return generalNumberText(value);
        out = std::move(*rendered);
        bool nonZero = false;
        for (char16_t c : out)
            if (c >= u'1' && c <= u'9')
                nonZero = true;
        if (negative && nonZero)
            out.insert(out.begin(), u'-');
        return out;
    }
    for (const Token& t : s.tokens) {
        if (t.kind == Tok::kGeneral || t.kind == Tok::kAt)
            out += generalNumberText(x);
        else if (t.kind == Tok::kLiteral || t.kind == Tok::kPoint || t.kind == Tok::kPercent ||
                 t.kind == Tok::kComma || t.kind == Tok::kSlash)
            out += t.text;
    }
    if (negative && !out.empty())
        out.insert(out.begin(), u'-');
    return out;
}

std::u16string formatStringText(std::u16string_view text, std::u16string_view formatCode)
{
    std::vector<std::u16string_view> texts = splitSections(formatCode);
    std::u16string_view chosen;
    if (texts.size() >= 4) {
        chosen = texts[3];
    } else if (texts.size() == 1 && texts[0].find(u'@') != std::u16string_view::npos) {
        chosen = texts[0];
    } else {
        return std::u16string(text);
    }
    const Section s = parseSection(chosen);
    std::u16string out;
    for (const Token& t : s.tokens) {
        if (t.kind == Tok::kAt)
            out += text;
        else if (t.kind == Tok::kLiteral)
            out += t.text;
    }
    return out;
}

} // namespace wux::platform::automation
