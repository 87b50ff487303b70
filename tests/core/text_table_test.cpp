#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "core/text_table.h"
#include "platform/fault_injection.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::core {
namespace {

TEST(TextTable, SlotsDefaultsAndTranslations)
{
    TClassTranslator table;
    for (int id : {0, 1, 2999, 3000, -1, -3000, 1 << 30})
        EXPECT_EQ(table.GetText(id), "") << id;
    table.SetText(7, "Seven");
    EXPECT_EQ(table.GetText(7), "Seven");
    table.SetTranslation(7, "Sieben");
    table.SetText(7, "Seven again"); // the language text wins over the default
    EXPECT_EQ(table.GetText(7), "Sieben");
    EXPECT_EQ(table.GetDefaultText(7), "Seven again");
    // Empty texts are set texts.
    table.SetText(5, "");
    EXPECT_EQ(table.GetText(5), "");
    table.SetText(12, "Twelve");
    table.SetTranslation(12, "");
    EXPECT_EQ(table.GetText(12), "");
    // Indexes outside the slots are refused.
    const std::uint32_t used = table.bytesUsed();
    table.SetText(-1, "negative");
    table.SetText(6000, "beyond");
    table.SetTranslation(-1, "negative language slot");
    table.SetTranslation(3000, "beyond");
    EXPECT_EQ(table.bytesUsed(), used);
    EXPECT_EQ(table.GetText(2999), "");
}

TEST(TextTable, PoolGrowsByTheTextPlusSixThousandBytes)
{
    TClassTranslator table(100, 3000);
    EXPECT_EQ(table.poolSize(), 100);
    EXPECT_EQ(table.bytesUsed(), 1u); // the empty text of slot 0
    table.SetText(1, std::string(98, 'a'));
    EXPECT_EQ(table.poolSize(), 100);
    table.SetText(2, "b");
    EXPECT_EQ(table.poolSize(), 100 + 1 + 6000);
    const std::string big(20000, 'x');
    table.SetText(3, big);
    EXPECT_EQ(table.poolSize(), 6101 + 20000 + 6000);
    EXPECT_EQ(table.GetText(1), std::string(98, 'a'));
    EXPECT_EQ(table.GetText(2), "b");
    EXPECT_EQ(table.GetText(3), big);
}

TEST(TextTable, ResetTranslationsKeepsOnlyTheDefaults)
{
    TClassTranslator table;
    table.SetText(1, "One");
    table.SetText(2, "Two");
    table.SetTranslation(1, "Eins");
    table.SetTranslation(3, "Drei");
    for (int i = 0; i < 50; ++i)
        table.SetTranslation(2, "Zwei, version " + std::to_string(i));
    const std::uint32_t before = table.bytesUsed();
    table.ResetTranslations();
    EXPECT_EQ(table.GetText(1), "One");
    EXPECT_EQ(table.GetText(2), "Two");
    EXPECT_EQ(table.GetText(3), "");
    EXPECT_LT(table.bytesUsed(), before);
    EXPECT_EQ(table.bytesUsed(), 1u + 4u + 4u);
    table.SetTranslation(2, "Zwei");
    EXPECT_EQ(table.GetText(2), "Zwei");
}

struct LanguageCase
{
    const char* name;
    std::string bytes;
    int id;
    std::string expected;
};

void PrintTo(const LanguageCase& c, std::ostream* out)
{
    *out << c.name << " (language " << c.id << ")";
}

class LanguageFileFormat : public ::testing::TestWithParam<LanguageCase>
{
};

TEST_P(LanguageFileFormat, StoresTheExpectedText)
{
    const LanguageCase& c = GetParam();
    TClassTranslator table;
    table.SetText(12, "default twelve");
    table.LoadFromBytes(c.bytes);
    EXPECT_EQ(table.GetText(c.id), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LanguageFileFormat,
    ::testing::Values(LanguageCase{"Simple", "12=Zwoelf", 12, "Zwoelf"},
                      LanguageCase{"EqualsInsideTheText", "12=a=b\r\n", 12, "a=b"},
                      LanguageCase{"DigitsSplitByOtherCharacters", "x1y2=z\r\n", 12, "z"},
                      LanguageCase{"BlankInsideTheId", "1 2= spaced \r\n", 12, " spaced "},
                      LanguageCase{"LineWithoutEqualsIgnored", "abc\r\n12\r\n", 12, "default twelve"},
                      LanguageCase{"LineWithoutEqualsDoesNotJoinTheNext", "1\r\n2=two\r\n", 12,
                                   "default twelve"},
                      LanguageCase{"EmptyTextHidesTheDefault", "12=\r\n", 12, ""},
                      LanguageCase{"FinalLineWithoutLineEnd", "1=one\r\n12=last", 12, "last"},
                      LanguageCase{"FinalLineOfOneCharacter", "12=x", 12, "x"},
                      LanguageCase{"LineBreakEscape", "12=Line\\nTwo", 12, "Line\r\nTwo"},
                      LanguageCase{"EscapedBackslashBeforeN", "12=a\\\\nb", 12, "a\\\r\nb"},
                      LanguageCase{"EscapeAtTheEnd", "12=end\\n\n", 12, "end\r\n"},
                      LanguageCase{"LoneBackslashKept", "12=a\\b\\", 12, "a\\b\\"},
                      LanguageCase{"LaterLineReplaces", "12=first\n12=second\n", 12, "second"},
                      LanguageCase{"LeadingZeros", "0012=z", 12, "z"},
                      LanguageCase{"CrOnly", "1=a\r12=b\r13=c", 12, "b"},
                      LanguageCase{"LfOnly", "1=a\n12=b\n13=c", 13, "c"},
                      LanguageCase{"Mixed", "1=a\r\n\r\n12=b\n\r13=c\r\n", 13, "c"},
                      LanguageCase{"LastIdOfTheTable", "2999=top", 2999, "top"},
                      LanguageCase{"ByteOrderMarkSkipped",
                                   "\xEF\xBB\xBF"
                                   "12=bom",
                                   12, "bom"},
                      LanguageCase{"Utf8Text", "12=gr\xC3\xBC\xC3\x9F", 12, "gr\xC3\xBC\xC3\x9F"}),
    [](const ::testing::TestParamInfo<LanguageCase>& info) { return std::string(info.param.name); });

TEST(LanguageFile, IdsOf3000AndAboveAreIgnored)
{
    TClassTranslator table;
    table.SetText(12, "twelve");
    const std::uint32_t used = table.bytesUsed();
    // 3000; an id whose digits run past any integer; 30012 must not wrap onto 12 or any other slot.
    table.LoadFromBytes("3000=no\r\n99999999999999999999999999999999=no\r\n30012=no\r\n-12=yes");
    EXPECT_EQ(table.GetText(12), "yes"); // "-" is skipped like any other character
    EXPECT_EQ(table.bytesUsed(), used + 4);
    for (int id = 0; id < 3000; ++id) {
        if (id != 12) {
            ASSERT_EQ(table.GetText(id), "") << id;
        }
    }
}

TEST(LanguageFile, ReaderAddsToEarlierTextsAndEmptyBytesStoreNothing)
{
    TClassTranslator table;
    table.LoadFromBytes("1=one\n2=two");
    table.LoadFromBytes("2=zwei");
    EXPECT_EQ(table.GetText(1), "one");
    EXPECT_EQ(table.GetText(2), "zwei");
    const std::uint32_t used = table.bytesUsed();
    table.LoadFromBytes("");
    table.LoadFromBytes("\r\n\n\r");
    EXPECT_EQ(table.bytesUsed(), used);
}

// A text as UTF-16 bytes, little or big endian, with or without the byte-order mark.
std::string utf16Bytes(std::u16string_view text, bool bigEndian, bool mark)
{
    std::string bytes;
    for (const char16_t unit : mark ? u"\uFEFF" + std::u16string(text) : std::u16string(text)) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(LanguageFile, AZeroByteInEightBitTextLosesOnlyItsLine)
{
    using namespace std::string_literals;
    const std::string cases[] = {
        "424=&Dateien\r\n431=&Ansicht\r\n7=a\0b\r\n"s,
        "7=a\0b\r\n424=&Dateien\r\n431=&Ansicht"s,
        "424=&Dateien\r\n7\0=ab\n431=&Ansicht\r\n"s,
        // Zeros every other byte for a stretch, but not for most of the file.
        "424=&Dateien\r\n431=&Ansicht\r\n7=a\0b\0c\0d\0\r\n"s,
    };
    for (const std::string& bytes : cases) {
        TClassTranslator table;
        table.SetText(7, "seven");
        table.LoadFromBytes(bytes);
        EXPECT_EQ(table.GetText(424) + "|" + table.GetText(431) + "|" + table.GetText(7),
                  "&Dateien|&Ansicht|seven")
            << testing::PrintToString(bytes);
    }
}

TEST(LanguageFile, Utf16IsReadByItsMarkOrByItsZeroBytes)
{
    const std::u16string text = u"424=&Dateiën\r\n431=&Ansicht\r\n440=Выделить всё\r\n";
    for (const bool bigEndian : {false, true}) {
        for (const bool mark : {false, true}) {
            TClassTranslator table;
            table.LoadFromBytes(utf16Bytes(text, bigEndian, mark));
            EXPECT_EQ(table.GetText(424) + "|" + table.GetText(431) + "|" + table.GetText(440),
                      "&Dateiën|&Ansicht|Выделить всё")
                << bigEndian << mark;
        }
    }
    // A U+0000 in UTF-16 text loses its line only.
    TClassTranslator table;
    using namespace std::string_literals;
    table.LoadFromBytes(utf16Bytes(u"1=one\r\n2=t\0wo\r\n3=three"s, false, true));
    EXPECT_EQ(table.GetText(1) + "|" + table.GetText(2) + "|" + table.GetText(3), "one||three");
}

class LanguageFileOnDisk : public test::TempDriveTest
{
};

TEST_F(LanguageFileOnDisk, LoadsAFileAndAMissingOrUnreadableOneChangesNothing)
{
    test::createFile(posix("lang/german.lng"), "1=Eins\r\n2=Zwei\r\n");
    TClassTranslator table;
    table.SetText(1, "One");
    EXPECT_TRUE(table.LoadFromFile(path("lang\\german.lng")));
    EXPECT_EQ(table.GetText(1), "Eins");
    EXPECT_EQ(table.GetText(2), "Zwei");
    table.SetTranslation(1, "Uno");
    EXPECT_FALSE(table.LoadFromFile(path("missing.lng")));
    EXPECT_FALSE(table.LoadFromFile(path("no folder\\missing.lng")));
    test::makeFolder(path("folder.lng"));
    EXPECT_FALSE(table.LoadFromFile(path("folder.lng")));

    test::createFile(path("locked.lng"), "1=Eins\r\n");
    platform::ScopedFaultClear clear;
    platform::injectFault(path("locked.lng"), platform::kErrorSharingViolation, platform::kFaultOpen);
    EXPECT_FALSE(table.LoadFromFile(path("locked.lng")));
    platform::clearFaults();
    platform::injectFault(path("locked.lng"), platform::kErrorReadFault, platform::kFaultRead);
    EXPECT_FALSE(table.LoadFromFile(path("locked.lng")));
    EXPECT_EQ(table.GetText(1), "Uno");
}

TEST(GeneralTexts, DefaultsOfTheGeneralTexts)
{
    TClassTranslator table;
    table.LoadDefaultMessages();
    EXPECT_EQ(table.GetText(1), "There are no items in the Basket.");
    EXPECT_EQ(table.GetText(26), "%s of %s k in %d of %d files selected");
    EXPECT_EQ(table.GetText(45), "file \"%s\"");
    EXPECT_EQ(table.GetText(63), " Overwrite: %s\r\n%s\r\n\r\n with file: %s ?\r\n%s");
    EXPECT_EQ(table.GetText(84), "Name");
    EXPECT_EQ(table.GetText(120), "Remove:  ");
    EXPECT_EQ(table.GetText(152), "Operation aborted!");
    int registered = 0;
    for (int id = 1; id <= 152; ++id) {
        if (!table.GetText(id).empty())
            ++registered;
    }
    EXPECT_EQ(registered, 118);
    // Numbers left to other modules or unused stay empty.
    for (int id : {2, 3, 4, 6, 7, 15, 16, 30, 31, 32, 33, 96, 106, 110, 119, 133, 145, 153})
        EXPECT_EQ(table.GetText(id), "") << id;
}

TEST(TextTable, FormatFallsBackToTheEnglishTemplate)
{
    TClassTranslator table;
    table.LoadDefaultMessages();
    EXPECT_EQ(table.Format(27, {"1 000", "2 000"}), "1 000 of 2 000 k free");
    table.SetTranslation(27, "%s von %s k frei");
    EXPECT_EQ(table.Format(27, {"1 000", "2 000"}), "1 000 von 2 000 k frei");
    table.SetTranslation(27, "%d %s%s%n frei");
    EXPECT_EQ(table.Format(27, {"1 000", "2 000"}), "1 000 of 2 000 k free");
    table.SetTranslation(46, "%s Dateien");
    EXPECT_EQ(table.Format(46, {5}), "5 files");
}

TEST(TextTable, ProcessTableAndCoreRegistration)
{
    TClassTranslator& table = classTranslator();
    EXPECT_EQ(&table, &classTranslator());
    registerCoreTexts();
    EXPECT_EQ(uiText(35), "<DIR>");
    EXPECT_EQ(formatUiText(44, {"c:\\x"}), "directory [c:\\x]");
    registerDefaultTexts({{2990, "module text"}, {2991, ""}});
    EXPECT_EQ(uiText(2990), "module text");
    EXPECT_EQ(table.GetDefaultText(2990), "module text");
}

} // namespace
} // namespace wux::core
