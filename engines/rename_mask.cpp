#include "engines/rename_mask.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace wux::engines {

namespace {

// Case of the pieces, switched by "U", "L" and "n" inside a directive.
enum class PieceCase
{
    Unchanged,
    Upper,
    Lower
};

// Numbers of a range are kept well inside 64 bits however many digits are typed.
constexpr std::int64_t kRangeNumberLimit = 1'000'000'000'000LL;

// The local time of the file, converted only when a date or time letter asks for it.
class LazyLocalTime
{
public:
    explicit LazyLocalTime(platform::FileTime utc) : utc_(utc) {}
    explicit LazyLocalTime(const platform::CalendarTime& local) : local_(local) {}

    const platform::CalendarTime& get()
    {
        if (!local_) {
            // A time without a calendar form shows as the first representable moment.
            local_ = platform::fileTimeToLocalCalendar(utc_).value_or(platform::CalendarTime{});
        }
        return *local_;
    }

private:
    platform::FileTime utc_ = 0;
    std::optional<platform::CalendarTime> local_;
};

void appendPadded(std::string& out, std::int64_t value, int width)
{
    const std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        out.append(static_cast<std::size_t>(width) - digits.size(), '0');
    out += digits;
}

// Number of whole characters of a UTF-8 text.
std::int64_t characterCount(std::string_view text)
{
    std::int64_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += platform::decodeUtf8(text, pos).length)
        ++count;
    return count;
}

// Byte offset of the character with the 0-based number index (text.size() when index reaches the end).
std::size_t byteOffsetOfCharacter(std::string_view text, std::int64_t index)
{
    std::size_t pos = 0;
    for (; index > 0 && pos < text.size(); --index)
        pos += platform::decodeUtf8(text, pos).length;
    return pos;
}

// The characters of part selected by the range (first, second); second 0 stands for the length.
std::string_view selectRange(std::string_view part, std::int64_t first, std::int64_t second)
{
    const std::int64_t length = characterCount(part);
    if (second == 0)
        second = length;
    std::int64_t start = 0;
    std::int64_t count = 0;
    if (first > 0) {
        if (first > length)
            return {};
        start = first;
        count = second >= 1 ? second : -second - first + 1;
    } else if (first < 0) {
        start = std::max<std::int64_t>(1, length + first + 1);
        count = second >= 1 ? second : second - first + 1;
    } else {
        // A range that begins at character 0 selects nothing.
        return {};
    }
    if (count <= 0 || start > length)
        return {};
    const std::int64_t last = std::min(length, start + count - 1);
    const std::size_t begin = byteOffsetOfCharacter(part, start - 1);
    const std::size_t end = begin + byteOffsetOfCharacter(part.substr(begin), last - start + 1);
    return part.substr(begin, end - begin);
}

// The state of one directive between "[" and "]".
struct Directive
{
    std::string values; // counter and date/time texts in the order of their letters
    bool name = false;
    bool extension = false;
    bool folder = false;
    bool firstNegative = false;
    bool haveFirst = false;
    std::int64_t first = 0;
    char separator = 0; // 0 none, ',' count, '-' end position
    std::int64_t second = 0;

    bool rangeInForce() const { return haveFirst && separator != 0; }
};

void addDigit(std::int64_t& number, char digit)
{
    number = std::min(kRangeNumberLimit, number * 10 + (digit - '0'));
}

// The parts of a file's identity that directives bring in.
struct FileParts
{
    std::string_view fullName;
    std::string_view name;
    std::string_view extension;
    std::string_view folder;
};

FileParts splitFile(std::string_view folderPath, std::string_view fileName)
{
    FileParts parts;
    parts.fullName = fileName;
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) {
        parts.name = fileName;
    } else {
        parts.name = fileName.substr(0, dot);
        parts.extension = fileName.substr(dot + 1);
    }
    std::string_view folder = folderPath;
    if (!folder.empty() && folder.back() == '\\')
        folder.remove_suffix(1);
    const std::size_t slash = folder.rfind('\\');
    parts.folder = slash == std::string_view::npos ? folder : folder.substr(slash + 1);
    return parts;
}

std::string applyPieceCase(std::string_view piece, PieceCase pieceCase)
{
    switch (pieceCase) {
    case PieceCase::Upper:
        return platform::displayUpper(piece);
    case PieceCase::Lower:
        return platform::displayLower(piece);
    case PieceCase::Unchanged:
        break;
    }
    return std::string(piece);
}

// Replaces every occurrence of find in text by replace, ignoring case as the other matchers do (each
// character of find in every case form, Unicode simple case folding, whatever the forms' byte lengths);
// the search goes on behind each replacement.
std::string replaceNoCase(const std::string& text, std::string_view find, std::string_view replace)
{
    if (find.empty())
        return text;
    std::vector<platform::Utf8CaseForms> characters;
    for (std::size_t at = 0; at < find.size(); at += characters.back().length)
        characters.push_back(platform::utf8CaseForms(find, at));
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        for (const platform::Utf8CaseForms& character : characters) {
            const std::size_t taken = end < text.size() ? character.matchAt(text, end) : 0;
            if (taken == 0) {
                end = std::string::npos;
                break;
            }
            end += taken;
        }
        if (end != std::string::npos) {
            out += replace;
            pos = end;
        } else {
            const std::size_t length = std::max<std::size_t>(1, platform::decodeUtf8(text, pos).length);
            out.append(text, pos, length);
            pos += length;
        }
    }
    return out;
}

std::string applyCaseMode(std::string text, std::int32_t caseMode)
{
    switch (caseMode) {
    case kCaseLower:
        return platform::displayLower(text);
    case kCaseUpper:
        return platform::displayUpper(text);
    case kCaseFirstLetter:
        return platform::displayCapitalise(text);
    case kCaseEachWord:
        return platform::displayCapitaliseWords(text, " ", true);
    default:
        return text;
    }
}

std::string build(const TRenamerFileStructure& request, std::string_view folderPath,
                  std::string_view fileName, LazyLocalTime& time)
{
    const FileParts parts = splitFile(folderPath, fileName);
    const std::string_view mask = request.mask;

    std::string result;
    std::size_t total = 0;
    bool full = false;
    PieceCase pieceCase = PieceCase::Unchanged;

    auto emit = [&](std::string_view piece) {
        const std::string converted = applyPieceCase(piece, pieceCase);
        total += converted.size();
        if (total > kMaxNewNameLength) {
            full = true;
            return;
        }
        result += converted;
    };

    bool inDirective = false;
    Directive directive;
    std::size_t pos = 0;
    while (pos < mask.size() && !full) {
        const char c = mask[pos];
        if (!inDirective) {
            if (c == '[') {
                inDirective = true;
                directive = Directive{};
                ++pos;
                continue;
            }
            // A literal: one whole character forms a piece.
            const std::size_t length = platform::decodeUtf8(mask, pos).length;
            emit(mask.substr(pos, length));
            pos += length;
            continue;
        }
        ++pos;
        switch (c) {
        case 'C': {
            const std::int64_t value =
                (static_cast<std::int64_t>(request.runningNumber) - 1) * request.step + request.start;
            directive.values += counterText(value, request.digits);
            break;
        }
        case 'Y':
            appendPadded(directive.values, time.get().year, 2);
            break;
        case 'M':
            appendPadded(directive.values, time.get().month, 2);
            break;
        case 'D':
            appendPadded(directive.values, time.get().day, 2);
            break;
        case 'h':
            appendPadded(directive.values, time.get().hour, 2);
            break;
        case 'm':
            appendPadded(directive.values, time.get().minute, 2);
            break;
        case 's':
            appendPadded(directive.values, time.get().second, 2);
            break;
        case 'N':
            directive.name = true;
            break;
        case 'E':
            directive.extension = true;
            break;
        case 'F':
            directive.folder = true;
            break;
        case 'U':
            pieceCase = PieceCase::Upper;
            break;
        case 'L':
            pieceCase = PieceCase::Lower;
            break;
        case 'n':
            pieceCase = PieceCase::Unchanged;
            break;
        case '-':
            if (directive.separator == 0) {
                if (directive.haveFirst)
                    directive.separator = '-';
                else
                    directive.firstNegative = true;
            }
            break;
        case ',':
            if (directive.separator == 0 && directive.haveFirst)
                directive.separator = ',';
            break;
        case ']': {
            std::string_view part;
            bool havePart = true;
            if (directive.folder)
                part = parts.folder;
            else if (directive.name)
                part = parts.name;
            else if (directive.extension)
                part = parts.extension;
            else if (directive.rangeInForce())
                part = parts.fullName;
            else
                havePart = false;
            std::string piece = std::move(directive.values);
            if (havePart) {
                if (directive.rangeInForce()) {
                    const std::int64_t first = directive.firstNegative ? -directive.first : directive.first;
                    const std::int64_t second =
                        directive.separator == '-' ? -directive.second : directive.second;
                    piece += selectRange(part, first, second);
                } else {
                    piece += part;
                }
            }
            emit(piece);
            inDirective = false;
            break;
        }
        default:
            if (c >= '0' && c <= '9') {
                if (directive.separator == 0) {
                    addDigit(directive.first, c);
                    directive.haveFirst = true;
                } else {
                    addDigit(directive.second, c);
                }
            }
            // "[" and every other character inside a directive are ignored.
            break;
        }
    }
    // A directive still open at the end of the mask is dropped.

    if (!result.empty() && result.back() == '.')
        result.pop_back();
    if (request.replaceOn && !request.find.empty())
        result = replaceNoCase(result, request.find, request.replace);
    return applyCaseMode(std::move(result), request.caseMode);
}

} // namespace

TRenamerFileStructure& renamerFileStructure()
{
    static TRenamerFileStructure request;
    return request;
}

std::string counterText(std::int64_t value, std::int32_t digits)
{
    const int width = std::clamp<std::int32_t>(digits, 1, 10);
    std::string out;
    if (value < 0) {
        out += '-';
        // The magnitude of any 32-bit based counter fits; negate through unsigned to stay defined.
        const std::uint64_t magnitude = 0 - static_cast<std::uint64_t>(value);
        const std::string text = std::to_string(magnitude);
        if (static_cast<int>(text.size()) + 1 < width)
            out.append(static_cast<std::size_t>(width) - 1 - text.size(), '0');
        out += text;
        return out;
    }
    appendPadded(out, value, width);
    return out;
}

std::string buildNewName(const TRenamerFileStructure& request, std::string_view folderPath,
                         std::string_view fileName, const platform::CalendarTime& localTime)
{
    LazyLocalTime time(localTime);
    return build(request, folderPath, fileName, time);
}

std::string BuildNewName(std::string_view FolderPath, std::string_view FileName, platform::FileTime LastWrite)
{
    LazyLocalTime time(LastWrite);
    return build(renamerFileStructure(), FolderPath, FileName, time);
}

} // namespace wux::engines
