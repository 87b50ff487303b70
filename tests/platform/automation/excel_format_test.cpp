#include <gtest/gtest.h>

#include "platform/automation/excel_csv.h"
#include "platform/automation/excel_number_format.h"
#include "platform/automation/excel_pattern.h"
#include "platform/automation/variant.h"
#include "platform/text.h"

namespace wux::platform::automation {
namespace {

std::u16string w(std::string_view utf8)
{
    return utf8ToUtf16(utf8);
}

struct NumberCase
{
    double value;
    const char* format;
    const char* shown;
    bool date1904 = false;
};

TEST(ExcelNumberFormat, ShowsNumbersAsTheirFormatsSay)
{
    const NumberCase cases[] = {
        {12.5, "0.00", "12.50"},
        {12.5, "", "12.5"},
        {1234.5, "General", "1234.5"},
        {0.1 + 0.2, "General", "0.3"},
        {1e20, "General", "1E+20"},
        {1234567.891, "#,##0.00", "1,234,567.89"},
        {-1234.5, "#,##0", "-1,235"},
        {999.999, "#,##0.00", "1,000.00"},
        {2.675, "0.00", "2.68"},
        {123456789012345678.0, "0", "123456789012346000"},
        {0.256, "0%", "26%"},
        {0.25, "0.00%", "25.00%"},
        {12345.678, "0.00E+00", "1.23E+04"},
        {0.00012, "0.00E+00", "1.20E-04"},
        {9.999, "0.0E+0", "1.0E+1"},
        {12345, "##0.0E+0", "12.3E+3"},
        {5, "000", "005"},
        {1.5, "#.##", "1.5"},
        {1, "#.##", "1."},
        {0.5, "#.##", ".5"},
        {12.5, ".00", "12.50"},
        {1.5, "0.0?", "1.5 "},
        {-5, "0;(0)", "(5)"},
        {5, "0;(0)", "5"},
        {0, "0;(0);\"zero\"", "zero"},
        {-0.001, "0.00", "0.00"},
        {1234, "\"$\"#,##0", "$1,234"},
        {-1234, "[Red]\"$\"#,##0", "-$1,234"},
        {1500000, "#,##0,,\"M\"", "2M"},
        {1234.5678, "[$\xE2\x82\xAC-407] #,##0.00", "\xE2\x82\xAC 1,234.57"},
        {3, "0_);(0)", "3 "},
        {1234, "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)", " 1,234 "},
        {-1234, "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)", " (1,234)"},
        {0, "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)", " - "},
        {1234567, "000-0000", "123-4567"},
        {42, "@", "42"},
        {42, "General\" kg\"", "42 kg"},
        {0.5, "# ?/?", "0.5"},
        {100, "[>50]0;0", "100"},
        // Dates and times.
        {45306, "m/d/yyyy", "1/15/2024"},
        {45306, "dd.mm.yy", "15.01.24"},
        {45306.5, "yyyy-mm-dd hh:mm:ss", "2024-01-15 12:00:00"},
        {45306.75, "h:mm AM/PM", "6:00 PM"},
        {45306.25, "h:mm a/p", "6:00 a"},
        {45306, "dddd, mmmm d, yyyy", "Monday, January 15, 2024"},
        {45306, "ddd d-mmm-yy", "Mon 15-Jan-24"},
        {45306, "mmmmm", "J"},
        {1.5, "[h]:mm", "36:00"},
        {0.5 / 24, "[mm]:ss", "30:00"},
        {1.0 / 86400, "hh:mm:ss.0", "00:00:01.0"},
        {60, "yyyy-mm-dd", "1900-02-29"},
        {61, "yyyy-mm-dd", "1900-03-01"},
        {1, "yyyy-mm-dd dddd", "1900-01-01 Sunday"},
        {-1, "yyyy-mm-dd", "-1"},
        {0, "yyyy-mm-dd", "1904-01-01", true},
    };
    for (const NumberCase& c : cases)
        EXPECT_EQ(utf16ToUtf8(formatNumberText(c.value, w(c.format), c.date1904)), c.shown)
            << c.value << " with " << c.format;
}

TEST(ExcelNumberFormat, ArbitraryFormatCodesNeverFail)
{
    // Format codes come from files: any code shows something (or nothing) and never fails.
    const std::u16string alphabet = u"0#?.,%E+-e@\"\\_*[]$;/:ymdhsAMP/apG General red>=<12 ";
    const double values[] = {0, 1, -1, 0.5, 12345.678, -9.99e-9, 1.7e308, -1.7e308, 45306.75, 3e6, 1e-320};
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int i = 0; i < 3000; ++i) {
        std::u16string code;
        const unsigned length = next() % 24;
        for (unsigned k = 0; k < length; ++k)
            code += alphabet[next() % alphabet.size()];
        for (double value : values) {
            EXPECT_NO_THROW(formatNumberText(value, code)) << utf16ToUtf8(code);
            EXPECT_NO_THROW(formatNumberText(value, code, true)) << utf16ToUtf8(code);
        }
        EXPECT_NO_THROW(formatStringText(u"text", code)) << utf16ToUtf8(code);
    }
    EXPECT_EQ(formatNumberText(1.7e308, u"0%"), u"1.7E+308");
    EXPECT_EQ(formatNumberText(1.7e308, u"0.00E+00"), u"1.70E+308");
}

TEST(ExcelNumberFormat, BuiltInFormatsAndTexts)
{
    EXPECT_EQ(builtInNumberFormat(0), u"");
    EXPECT_EQ(builtInNumberFormat(2), u"0.00");
    EXPECT_EQ(builtInNumberFormat(14), u"m/d/yyyy");
    EXPECT_EQ(builtInNumberFormat(15), u"d-mmm-yy");
    EXPECT_EQ(builtInNumberFormat(49), u"@");
    EXPECT_EQ(builtInNumberFormat(300), u"");
    EXPECT_EQ(formatNumberText(0.5, builtInNumberFormat(10)), u"50.00%");
    EXPECT_EQ(formatNumberText(-3.5, builtInNumberFormat(7)), u"($3.50)");

    EXPECT_EQ(formatStringText(u"abc", u"\"x\"@\"y\""), u"xabcy");
    EXPECT_EQ(formatStringText(u"abc", u"0;0;0;\"T:\"@"), u"T:abc");
    EXPECT_EQ(formatStringText(u"abc", u"0.00"), u"abc");
    EXPECT_EQ(formatStringText(u"abc", u"@"), u"abc");
}

struct PatternCase
{
    const char* pattern;
    const char* text;
    bool matchCase;
    bool whole;
    bool matches;
};

TEST(ExcelCellPattern, MatchesWildcardsAnywhereOrWhole)
{
    const PatternCase cases[] = {
        {"b?d", "a bed here", false, false, true},
        {"b?d", "bd", false, false, false},
        {"a*c", "xxabbbcxx", false, false, true},
        {"a*c", "ca", false, false, false},
        {"ABC", "xabcx", false, false, true},
        {"ABC", "xabcx", true, false, false},
        {"ABC", "xABCx", true, false, true},
        {"~?", "what?", false, false, true},
        {"~?", "what", false, false, false},
        {"a~*", "a*", false, false, true},
        {"a~*", "ab", false, false, false},
        {"a~~", "a~", false, false, true},
        {"a~", "a~", false, false, true},
        {"a~", "ab", false, false, false},
        {"12.5", "12.5", false, true, true},
        {"2.5", "12.5", false, true, false},
        {"2.5", "12.5", false, false, true},
        {"*", "", false, true, true},
        {"", "anything", false, false, true},
        {"[*]", "x[abc]y", false, false, true},
        {"\xC3\x84pfel", "\xC3\xA4pfel", false, false, true},
        {"\xC3\x84pfel", "\xC3\xA4pfel", true, false, false},
    };
    for (const PatternCase& c : cases) {
        const CellPattern pattern(w(c.pattern), c.matchCase, c.whole);
        EXPECT_EQ(pattern.matches(w(c.text)), c.matches) << c.pattern << " in " << c.text;
    }
}

std::vector<std::vector<std::string>> fieldsOf(const CsvTable& table)
{
    std::vector<std::vector<std::string>> out;
    for (const CsvRecord& r : table.records) {
        out.emplace_back();
        for (const std::u16string& f : r.fields)
            out.back().push_back(utf16ToUtf8(f));
    }
    return out;
}

using Rows = std::vector<std::vector<std::string>>;

TEST(ExcelCsv, ReadsQuotingSeparatorsLineEndsAndEncodings)
{
    struct Case
    {
        std::string bytes;
        char separator;
        CsvEncoding encoding;
        Rows rows;
    };
    const Case cases[] = {
        {"a,b\r\n\"x,y\",\"he said \"\"hi\"\"\"\r\n,\r\n", ',', CsvEncoding::kUtf8,
         Rows{{"a", "b"}, {"x,y", "he said \"hi\""}, {"", ""}}},
        {"a;b\n1;2", ';', CsvEncoding::kUtf8, Rows{{"a", "b"}, {"1", "2"}}},
        {"a;b,c\n", ',', CsvEncoding::kUtf8, Rows{{"a;b", "c"}}},
        {"\"two\nlines\",007\rnext\r", ',', CsvEncoding::kUtf8, Rows{{"two\nlines", "007"}, {"next"}}},
        {"\xEF\xBB\xBF\xC3\xA9t\xC3\xA9,x\r\n", ',', CsvEncoding::kUtf8Bom, Rows{{"\xC3\xA9t\xC3\xA9", "x"}}},
        {"caf\xE9,\x80\n", ',', CsvEncoding::kWindows1252, Rows{{"caf\xC3\xA9", "\xE2\x82\xAC"}}},
        {"\n\nx\n", ',', CsvEncoding::kUtf8, Rows{{""}, {""}, {"x"}}},
        {"", ',', CsvEncoding::kUtf8, Rows{}},
        {"\"unterminated,x", ',', CsvEncoding::kUtf8, Rows{{"unterminated,x"}}},
    };
    for (const Case& c : cases) {
        const CsvTable table = parseCsv(c.bytes);
        EXPECT_EQ(table.separator, c.separator) << c.bytes;
        EXPECT_EQ(table.encoding, c.encoding) << c.bytes;
        EXPECT_EQ(fieldsOf(table), c.rows) << c.bytes;
        // Unchanged tables are written back byte for byte.
        EXPECT_EQ(writeCsv(table), c.bytes);
    }
}

TEST(ExcelCsv, WritesOnlyChangedRecordsAgain)
{
    CsvTable table = parseCsv("\"a\";b;c\r\nkeep ;\"me\" ;x\r\nlast;1");
    table.setField(0, 1, u"new;value");
    EXPECT_EQ(writeCsv(table), "\"a\";\"new;value\";c\r\nkeep ;\"me\" ;x\r\nlast;1");
    table.setField(3, 2, u"q\"uote");
    EXPECT_EQ(writeCsv(table), "\"a\";\"new;value\";c\r\nkeep ;\"me\" ;x\r\nlast;1\r\n;;\"q\"\"uote\"");

    CsvTable ansi = parseCsv("caf\xE9\n");
    ansi.setField(0, 0, u"\u20ACuro");
    EXPECT_EQ(writeCsv(ansi), "\x80uro\n");
    ansi.setField(0, 0, u"\u4E2D");
    EXPECT_THROW(writeCsv(ansi), AutomationError);

    CsvTable bom = parseCsv("\xEF\xBB\xBFx\n");
    bom.setField(0, 0, u"\u4E2D");
    EXPECT_EQ(writeCsv(bom), "\xEF\xBB\xBF\xE4\xB8\xAD\n");
}

TEST(ExcelCsv, RefusesTablesLargerThanASheet)
{
    EXPECT_THROW(parseCsv(std::string(16384, ',')), AutomationError);
    EXPECT_NO_THROW(parseCsv(std::string(16383, ',')));
    CsvTable table;
    EXPECT_THROW(table.setField(1048576, 0, u"x"), AutomationError);
}

} // namespace
} // namespace wux::platform::automation
