#include "platform/ini_file.h"

#include <sys/stat.h>

#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "platform/string_list.h"
#include "support/file_builders.h"
#include "support/open_counter.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// ---- The format in memory ----

const char* const kSample = "top=before\r\n"
                            "; comment\r\n"
                            "  [ Main ]  \r\n"
                            "Key = value  \r\n"
                            "quoted=\" spaced \"\r\n"
                            "single=\"\r\n"
                            "twice=\"\"x\"\"\r\n"
                            "empty=\r\n"
                            "dup=first\r\n"
                            "dup=second\r\n"
                            "noequals\r\n"
                            ";hidden=x\r\n"
                            "=nameless\r\n"
                            "[Other]\r\n"
                            "a=1\r\n"
                            "[MAIN]\r\n"
                            "dup=third\r\n"
                            "late=yes\r\n"
                            "[Ünï]\r\n"
                            "ß=s\r\n"
                            "[plug[1].so] \r\n"
                            "t=x\r\n";

TEST(IniDocumentTest, ReadsValuesByTheProfileRules)
{
    const IniDocument doc{std::string(kSample)};
    struct Case
    {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"Main", "Key", "value"},
        {"mAIN", "KEY", "value"},       // names ignore case
        {" Main ", " Key ", "value"},   // blanks around given names are ignored
        {"Main", "quoted", " spaced "}, // one pair of quotes removed, blanks inside kept
        {"Main", "single", "\""},       // a lone quote stays
        {"Main", "twice", "\"x\""},     // only one pair is removed
        {"Main", "empty", ""},          // present and empty is not absent
        {"Main", "dup", "first"},       // the first line of a key wins, also over a later occurrence
        {"Main", "late", "yes"},        // a repeated section adds its keys
        {"Main", "", "nameless"},       // an empty key name
        {"Main", "noequals", std::nullopt},
        {"Main", ";hidden", std::nullopt}, // comments are no keys
        {"Main", "a", std::nullopt},
        {"Other", "a", "1"},
        {"", "top", std::nullopt}, // keys before any section belong to no section
        {"Missing", "a", std::nullopt},
        {"plug[1].so", "t", "x"}, // a section name up to the last "]"
        {"ÜNÏ", "ß", "s"},        // non-ASCII names ignore case too
    };
    for (const Case& c : cases) {
        std::string value = "unchanged";
        const bool found = doc.findValue(c.section, c.key, value);
        EXPECT_EQ(found, c.value.has_value()) << c.section << "/" << c.key;
        if (c.value) {
            EXPECT_EQ(value, *c.value) << c.section << "/" << c.key;
        }
    }
    EXPECT_TRUE(doc.sectionExists("main"));
    EXPECT_FALSE(doc.sectionExists("top"));
    EXPECT_EQ(doc.sectionNames(), (std::vector<std::string>{"Main", "Other", "Ünï", "plug[1].so"}));
    EXPECT_EQ(doc.sectionValues("MAIN"), (KeyValues{{"Key", "value"},
                                                    {"quoted", " spaced "},
                                                    {"single", "\""},
                                                    {"twice", "\"x\""},
                                                    {"empty", ""},
                                                    {"dup", "first"},
                                                    {"", "nameless"},
                                                    {"late", "yes"}}));
    EXPECT_EQ(doc.sectionValues("none"), KeyValues{});
}

TEST(IniDocumentTest, EveryLineEndSplitsAndALastLineWithoutOneCounts)
{
    for (const std::string nl : {"\r\n", "\n", "\r"}) {
        const IniDocument doc("[s]" + nl + "a=1" + nl + nl + "[t]" + nl + "b=2");
        std::string a, b;
        EXPECT_TRUE(doc.findValue("s", "a", a));
        EXPECT_TRUE(doc.findValue("t", "b", b));
        EXPECT_EQ(a + b, "12");
    }
}

struct EditCase
{
    std::string before;
    std::string after;
};

// Applies one edit to each case's text and compares the bytes.
template <typename Edit> void expectEdits(const std::vector<EditCase>& cases, Edit edit)
{
    for (const EditCase& c : cases) {
        IniDocument doc(c.before);
        edit(doc);
        EXPECT_EQ(doc.bytes(), c.after) << "before: " << c.before;
        EXPECT_EQ(doc.modified(), c.before != c.after) << "before: " << c.before;
    }
}

TEST(IniDocumentTest, WritingAValue)
{
    expectEdits(
        {
            // A new file: the section and the key, CR LF.
            {"", "[S]\r\nk=v\r\n"},
            // An existing key: its line is rewritten, every other line kept byte for byte.
            {"; c\r\n[s]\r\n  K = old ; x\r\nz=1\r\n", "; c\r\n[s]\r\nk=v\r\nz=1\r\n"},
            // The same value: nothing changes.
            {"[s]\r\nk=v\r\n", "[s]\r\nk=v\r\n"},
            // The first of two lines of a key is the one rewritten.
            {"[s]\r\nk=1\r\nk=2\r\n", "[s]\r\nk=v\r\nk=2\r\n"},
            // A new key: after the section's last key, before trailing comments and blank lines.
            {"[s]\r\nx=1\r\n; note\r\n\r\n[t]\r\ny=2\r\n",
             "[s]\r\nx=1\r\nk=v\r\n; note\r\n\r\n[t]\r\ny=2\r\n"},
            // A section without keys: right after its header.
            {"[s]\r\n\r\n[t]\r\n", "[s]\r\nk=v\r\n\r\n[t]\r\n"},
            // A repeated section: into its last occurrence.
            {"[s]\r\na=1\r\n[t]\r\n[S]\r\nb=2\r\n[u]\r\n",
             "[s]\r\na=1\r\n[t]\r\n[S]\r\nb=2\r\nk=v\r\n[u]\r\n"},
            // A new section: at the end, after a blank line.
            {"[t]\r\nx=1\r\n", "[t]\r\nx=1\r\n\r\n[S]\r\nk=v\r\n"},
            {"[t]\r\nx=1\r\n\r\n", "[t]\r\nx=1\r\n\r\n[S]\r\nk=v\r\n"},
            // Keys before any section are not the section's.
            {"k=top\r\n", "k=top\r\n\r\n[S]\r\nk=v\r\n"},
            // The file's own line ends are used for added lines; untouched lines keep theirs.
            {"[s]\nx=1\n", "[s]\nx=1\nk=v\n"},
            {"[s]\rx=1\r", "[s]\rx=1\rk=v\r"},
            {"[t]\nx=1\n", "[t]\nx=1\n\n[S]\nk=v\n"},
            {"[s]\nx=1\r\ny=2\r", "[s]\nx=1\r\ny=2\rk=v\n"},
            {"[s]\r\nk=1\ny=2\r", "[s]\r\nk=v\ny=2\r"},
            // A last line without a line end is ended before a line is added after it.
            {"[s]\r\nx=1", "[s]\r\nx=1\r\nk=v\r\n"},
            {"[s]\nx=1", "[s]\nx=1\nk=v\n"},
            {"[t]\nx=1", "[t]\nx=1\n\n[S]\nk=v\n"},
            {"[s]\r\nk=1", "[s]\r\nk=v"},
            {"[s]", "[s]\r\nk=v\r\n"},
            // A byte-order mark stays in front.
            {"\xEF\xBB\xBF[s]\r\nk=1\r\n", "\xEF\xBB\xBF[s]\r\nk=v\r\n"},
            {"\xEF\xBB\xBF", "\xEF\xBB\xBF[S]\r\nk=v\r\n"},
        },
        [](IniDocument& doc) {
            const std::string section = doc.sectionExists("s") ? "s" : "S";
            EXPECT_EQ(doc.writeString(section, "k", "v"), kErrorSuccess);
        });
}

TEST(IniDocumentTest, ValuesAreStoredVerbatimAndReadTrimmed)
{
    struct Case
    {
        std::string written;
        std::string line;
        std::string read;
    };
    const std::string longValue(200000, 'x');
    const Case cases[] = {
        {"  padded  ", "k=  padded  ", "padded"},  {"\"quoted\"", "k=\"quoted\"", "quoted"},
        {"\" keep \"", "k=\" keep \"", " keep "},  {"a=b;c\"d", "k=a=b;c\"d", "a=b;c\"d"},
        {"Ünïcødé ✓", "k=Ünïcødé ✓", "Ünïcødé ✓"}, {"", "k=", ""},
        {longValue, "k=" + longValue, longValue},
    };
    for (const Case& c : cases) {
        IniDocument doc;
        ASSERT_EQ(doc.writeString("s", "k", c.written), kErrorSuccess);
        EXPECT_EQ(doc.bytes(), "[s]\r\n" + c.line + "\r\n");
        std::string value;
        EXPECT_TRUE(doc.findValue("s", "k", value));
        EXPECT_EQ(value, c.read);
    }
}

TEST(IniDocumentTest, NamesAndValuesTheFormatCannotHoldAreRefused)
{
    struct Case
    {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"a\rb", "k", "v"}, {"a\nb", "k", "v"}, {"s", "k=x", "v"},      {"s", "[k", "v"},
        {"s", ";k", "v"},   {"s", "k\r", "v"},  {"s", "k", "v\r\nx=1"}, {"s", "k", "v\n"},
    };
    for (const Case& c : cases) {
        IniDocument doc(std::string("[s]\r\nk=old\r\n"));
        EXPECT_EQ(doc.writeString(c.section, c.key, c.value), kErrorInvalidParameter) << c.section << c.key;
        EXPECT_EQ(doc.bytes(), "[s]\r\nk=old\r\n");
        EXPECT_FALSE(doc.modified());
    }
    IniDocument doc;
    EXPECT_EQ(doc.addSection("x\n"), kErrorInvalidParameter);
    EXPECT_EQ(doc.bytes(), "");
}

TEST(IniDocumentTest, DeletingAKeyRemovesEveryLineOfIt)
{
    expectEdits(
        {
            {"[s]\r\nk=1\r\nx=2\r\nK = 3\r\n[t]\r\nk=4\r\n[S]\r\nk=5\r\n",
             "[s]\r\nx=2\r\n[t]\r\nk=4\r\n[S]\r\n"},
            {"k=top\r\n[s]\nx=1\nk=2", "k=top\r\n[s]\nx=1\n"},
            {"[s]\r\nx=1\r\n", "[s]\r\nx=1\r\n"},
            {"", ""},
        },
        [](IniDocument& doc) { doc.deleteKey("s", "k"); });
}

TEST(IniDocumentTest, ErasingASectionRemovesEveryOccurrence)
{
    expectEdits(
        {
            {"k=top\r\n; head\r\n[s]\r\na=1\r\n; inside\r\n\r\n[t]\r\nb=2\r\n[S]\r\nc=3",
             "k=top\r\n; head\r\n[t]\r\nb=2\r\n"},
            {"\xEF\xBB\xBF[s]\r\na=1\r\n", "\xEF\xBB\xBF"},
            {"[t]\r\n", "[t]\r\n"},
        },
        [](IniDocument& doc) { doc.eraseSection("s"); });
}

TEST(IniDocumentTest, AddingAnEmptySection)
{
    expectEdits({{"", "[n]\r\n"}, {"[t]\nx=1", "[t]\nx=1\n\n[n]\n"}, {"[N]\r\n", "[N]\r\n"}},
                [](IniDocument& doc) { EXPECT_EQ(doc.addSection("n"), kErrorSuccess); });
}

TEST(IniHexTest, EncodesUpperCaseAndDecodesUpToTheFirstBadPair)
{
    EXPECT_EQ(bytesToHex(std::string("*.*\r\n", 5)), "2A2E2A0D0A");
    EXPECT_EQ(bytesToHex(std::string("\x00\xFF\x7F", 3)), "00FF7F");
    EXPECT_EQ(bytesToHex(""), "");
    struct Case
    {
        const char* hex;
        std::string bytes;
    };
    const Case cases[] = {
        {"2A2E2A0D0A", "*.*\r\n"},
        {"2a2e", "*."},
        {"41zz42", "A"},
        {"414", "A"},
        {"4G41", ""},
        {"", ""},
        {"00FF", std::string("\x00\xFF", 2)},
        {"41 42", "A"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hexToBytes(c.hex), c.bytes) << c.hex;
}

// ---- Files on disk ----

class IniFileTest : public test::TempDriveTest
{
protected:
    ScopedFaultClear faults;
    std::string file = path("cfg\\wux.ini");
    void SetUp() override { test::makeFolder(path("cfg")); }
};

TEST_F(IniFileTest, FirstWriteCreatesTheFileAndEveryWriteGoesThrough)
{
    IniFile ini(file);
    EXPECT_EQ(ini.readString("MainForm", "Viewer", "notepad.exe"), "notepad.exe");
    EXPECT_FALSE(test::exists(file)); // reads create nothing
    EXPECT_EQ(ini.eraseSection("MainForm"), kErrorSuccess);
    EXPECT_EQ(ini.deleteKey("MainForm", "Viewer"), kErrorSuccess);
    EXPECT_FALSE(test::exists(file));

    EXPECT_EQ(ini.writeString("MainForm", "Viewer", "kate"), kErrorSuccess);
    EXPECT_EQ(test::readFileBytes(file), "[MainForm]\r\nViewer=kate\r\n");

    // Another writer (a plug-in) changes the file between our writes: nothing of it is lost.
    test::createFile(file, "[MainForm]\r\nViewer=kate\r\n\r\n[Plugin]\r\nx=1\r\n");
    EXPECT_EQ(ini.readString("Plugin", "x", ""), "1");
    EXPECT_EQ(ini.writeInteger("MainForm", "Top", -20), kErrorSuccess);
    EXPECT_EQ(test::readFileBytes(file), "[MainForm]\r\nViewer=kate\r\nTop=-20\r\n\r\n[Plugin]\r\nx=1\r\n");

    // A second object on the same file sees every write at once.
    IniFile other(file);
    EXPECT_EQ(other.readInteger("mainform", "top", 0), -20);
    EXPECT_EQ(ini.deleteKey("Plugin", "x"), kErrorSuccess);
    EXPECT_FALSE(other.valueExists("Plugin", "x"));
    EXPECT_TRUE(other.sectionExists("plugin"));
    EXPECT_EQ(ini.eraseSection("Plugin"), kErrorSuccess);
    EXPECT_FALSE(other.sectionExists("Plugin"));
    EXPECT_EQ(test::readFileBytes(file), "[MainForm]\r\nViewer=kate\r\nTop=-20\r\n\r\n");
    EXPECT_EQ(test::listNames(posix("cfg")), std::vector<std::string>{"wux.ini"});
}

TEST_F(IniFileTest, WritesOfSeveralThreadsAreAllKept)
{
    constexpr int kThreads = 4;
    constexpr int kKeys = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([this, t] {
            IniFile ini(file);
            for (int k = 0; k < kKeys; ++k)
                EXPECT_EQ(ini.writeInteger("s", "k" + std::to_string(t) + "_" + std::to_string(k), k),
                          kErrorSuccess);
        });
    for (std::thread& thread : threads)
        thread.join();
    StringList lines;
    IniFile(file).readSectionValues("s", lines);
    EXPECT_EQ(lines.count(), kThreads * kKeys);
}

TEST_F(IniFileTest, LineEndsAndUnrelatedLinesOfAnExistingFileAreKept)
{
    const std::string before = "; settings\n[MainForm]\nTop=1\n# not a key\n\n[Browser]\nFilesFontSize=8";
    test::createFile(file, before);
    IniFile ini(file);
    EXPECT_EQ(ini.writeInteger("MainForm", "Top", 2), kErrorSuccess);
    EXPECT_EQ(ini.writeInteger("Browser", "FilesFontStyle", 1), kErrorSuccess);
    EXPECT_EQ(ini.writeString("Finder", "x", "y"), kErrorSuccess);
    EXPECT_EQ(test::readFileBytes(file),
              "; settings\n[MainForm]\nTop=2\n# not a key\n\n[Browser]\nFilesFontSize=8\n"
              "FilesFontStyle=1\n\n[Finder]\nx=y\n");
}

TEST_F(IniFileTest, IntegersAndBooleans)
{
    struct Case
    {
        const char* text;
        std::int32_t value; // with the default 99
    };
    const Case cases[] = {
        {"12", 12},
        {"-5", -5},
        {"+7", 7},
        {" 42 ", 42},
        {"\"7\"", 7},
        {"0x1F", 31},
        {"0XfF", 255},
        {"0x7A7D", 0x7A7D},
        {"0xFFFFFFFF", -1},
        {"0x100000000", 99},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", 99},
        {"-2147483649", 99},
        {"", 99},
        {"abc", 99},
        {"12abc", 99},
        {"1 2", 99},
        {"0x", 99},
        {"0xG", 99},
        {"-", 99},
        {"-0x10", 99},
        {"1.5", 99},
    };
    IniFile ini(file);
    for (const Case& c : cases) {
        ASSERT_EQ(ini.writeString("n", "v", c.text), kErrorSuccess);
        EXPECT_EQ(ini.readInteger("n", "v", 99), c.value) << c.text;
    }
    EXPECT_EQ(ini.readInteger("n", "absent", -3), -3);

    EXPECT_EQ(ini.writeInteger("n", "i", -2147483647 - 1), kErrorSuccess);
    EXPECT_EQ(ini.readString("n", "i", ""), "-2147483648");
    EXPECT_EQ(ini.writeBool("n", "t", true), kErrorSuccess);
    EXPECT_EQ(ini.writeBool("n", "f", false), kErrorSuccess);
    EXPECT_EQ(ini.readString("n", "t", ""), "1");
    EXPECT_EQ(ini.readString("n", "f", ""), "0");
    EXPECT_TRUE(ini.readBool("n", "t", false));
    EXPECT_FALSE(ini.readBool("n", "f", true));
    EXPECT_TRUE(ini.readBool("n", "absent", true));
    ASSERT_EQ(ini.writeString("n", "b", "-1"), kErrorSuccess);
    EXPECT_TRUE(ini.readBool("n", "b", false));
    ASSERT_EQ(ini.writeString("n", "b", "yes"), kErrorSuccess);
    EXPECT_TRUE(ini.readBool("n", "b", true));
    EXPECT_FALSE(ini.readBool("n", "b", false));
}

TEST_F(IniFileTest, StreamValuesAreUpperCaseHex)
{
    IniFile ini(file);
    // A ring holding only "*.*" with its slot number, as the recent lists store it.
    EXPECT_EQ(ini.writeBinaryStream("MainForm", "MASK_SELECTION", "*.*\r\n1\r\n"), kErrorSuccess);
    EXPECT_EQ(ini.writeBinaryStream("MainForm", "Empty", ""), kErrorSuccess);
    EXPECT_EQ(test::readFileBytes(file), "[MainForm]\r\nMASK_SELECTION=2A2E2A0D0A310D0A\r\nEmpty=\r\n");
    std::string bytes = "old";
    EXPECT_EQ(ini.readBinaryStream("MainForm", "MASK_SELECTION", bytes), 8u);
    EXPECT_EQ(bytes, "*.*\r\n1\r\n");
    EXPECT_EQ(ini.readBinaryStream("MainForm", "Empty", bytes), 0u);
    EXPECT_EQ(bytes, "");
    bytes = "old";
    EXPECT_EQ(ini.readBinaryStream("MainForm", "absent", bytes), 0u);
    EXPECT_EQ(bytes, "");
    ASSERT_EQ(ini.writeString("MainForm", "Bad", "3031XY3233"), kErrorSuccess);
    EXPECT_EQ(ini.readBinaryStream("MainForm", "Bad", bytes), 2u);
    EXPECT_EQ(bytes, "01");

    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<char>(i);
    EXPECT_EQ(ini.writeBinaryStream("b", "all", all), kErrorSuccess);
    EXPECT_EQ(ini.readBinaryStream("b", "all", bytes), 256u);
    EXPECT_EQ(bytes, all);
}

TEST_F(IniFileTest, SectionValuesInFileOrder)
{
    test::createFile(file,
                     "[Replacer]\r\nMSWORD_WHOLEWORD = -1\r\nx=\"q\"\r\n[Other]\r\ny=1\r\n[replacer]\r\n"
                     "MSWORD_WHOLEWORD=0\r\nlast=\r\n");
    IniFile ini(file);
    StringList lines;
    lines.add("stale");
    ini.readSectionValues("REPLACER", lines);
    EXPECT_EQ(lines.lines(), (std::vector<std::string>{"MSWORD_WHOLEWORD=-1", "x=q", "last="}));
    ini.readSectionValues("Missing", lines);
    EXPECT_EQ(lines.count(), 0);
}

TEST_F(IniFileTest, AFileThatCannotBeReadGivesDefaultsAndIsNeverWritten)
{
    const std::string before = "[s]\r\nk=v\r\n";
    test::createFile(file, before);
    injectFault(file, kErrorAccessDenied, kFaultOpen);
    IniFile ini(file);
    EXPECT_EQ(ini.readString("s", "k", "def"), "def");
    EXPECT_EQ(ini.readInteger("s", "k", 5), 5);
    EXPECT_FALSE(ini.sectionExists("s"));
    StringList lines;
    ini.readSectionValues("s", lines);
    EXPECT_EQ(lines.count(), 0);
    EXPECT_EQ(ini.writeString("s", "n", "1"), kErrorAccessDenied);
    EXPECT_EQ(ini.eraseSection("s"), kErrorAccessDenied);
    EXPECT_EQ(ini.deleteKey("s", "k"), kErrorAccessDenied);
    clearFaults();
    EXPECT_EQ(test::readFileBytes(file), before);
    EXPECT_EQ(ini.readString("s", "k", "def"), "v");
}

TEST_F(IniFileTest, AFailedWriteReportsTheErrorAndLeavesTheFileWhole)
{
    const std::string before = "[s]\r\nk=v\r\n";
    test::createFile(file, before);
    IniFile ini(file);
    injectFault(file, kErrorDiskFull, kFaultWrite);
    EXPECT_EQ(ini.writeString("s", "k", std::string(100000, 'z')), kErrorDiskFull);
    EXPECT_EQ(ini.writeBinaryStream("s", "b", "xyz"), kErrorDiskFull);
    EXPECT_EQ(ini.eraseSection("s"), kErrorDiskFull);
    EXPECT_EQ(ini.readString("s", "k", ""), "v"); // reads still work
    clearFaults();
    EXPECT_EQ(test::readFileBytes(file), before);
    EXPECT_EQ(test::listNames(posix("cfg")), std::vector<std::string>{"wux.ini"});

    // A value the format cannot hold: refused before anything is written.
    EXPECT_EQ(ini.writeString("s", "k", "two\nlines"), kErrorInvalidParameter);
    EXPECT_EQ(test::readFileBytes(file), before);
}

TEST_F(IniFileTest, AReadOnlyFileOrAMissingFolderIsReported)
{
    const std::string before = "[s]\r\nk=v\r\n";
    test::createFile(file, before, test::kNoTime, 0444);
    IniFile ini(file);
    EXPECT_EQ(ini.writeString("s", "k", "w"), kErrorAccessDenied);
    EXPECT_EQ(test::readFileBytes(file), before);
    EXPECT_EQ(ini.readString("s", "k", ""), "v");

    IniFile nowhere(path("missing\\wux.ini"));
    EXPECT_EQ(nowhere.readString("s", "k", "def"), "def");
    EXPECT_EQ(nowhere.writeString("s", "k", "v"), kErrorPathNotFound);
}

// ---- Changes read again only where they touch ----

TEST(IniDocumentTest, EditsLeaveTheDocumentAsAFreshReadingOfItsBytes)
{
    // Each step: the same edit on the edited document and on a fresh reading of its bytes must give the
    // same bytes, so the lines the edited document kept are those a reading finds.
    const char* const starts[] = {"",
                                  "\xEF\xBB\xBF",
                                  "[a]\r\nk=1",
                                  "[a]\rk=1\r\r[b]\rx=2\r",
                                  "; c\n[a]\nk=1\n\n[b]\nx=2\n",
                                  "top=1\r\n[a]\r\nk=1\r\n[a]\r\nk=2\r\n[b]",
                                  "\xEF\xBB\xBF[a]\n;=x\n  k  =  \" v \"  \n[b]\r\n\r\n"};
    const char* const sections[] = {"a", "b", "c", "A"};
    const char* const keys[] = {"k", "x", "new", "K", "y"};
    const char* const values[] = {"", "1", "long value with = sign", "\"q\""};
    std::mt19937 random(7);
    for (const char* start : starts) {
        IniDocument edited{std::string(start)};
        for (int step = 0; step < 60; ++step) {
            IniDocument fresh(edited.bytes());
            const int what = static_cast<int>(random() % 8);
            const char* section = sections[random() % std::size(sections)];
            const char* key = keys[random() % std::size(keys)];
            const char* value = values[random() % std::size(values)];
            if (what == 0) {
                edited.deleteKey(section, key);
                fresh.deleteKey(section, key);
            } else if (what == 1) {
                edited.addSection(section);
                fresh.addSection(section);
            } else {
                EXPECT_EQ(edited.writeString(section, key, value), fresh.writeString(section, key, value));
            }
            ASSERT_EQ(edited.bytes(), fresh.bytes()) << testing::PrintToString(std::string(start)) << " step "
                                                     << step;
            for (const std::string& name : IniDocument(edited.bytes()).sectionNames())
                ASSERT_EQ(edited.sectionValues(name), IniDocument(edited.bytes()).sectionValues(name)) << name;
        }
    }
}

TEST(IniDocumentTest, ALoneCrBeforeAnInsertedLineFeedJoinsIt)
{
    // A key added after a last line that ends in a lone CR in a file whose line end is LF.
    IniDocument document(std::string("[a]\nk=1\n[b]\r"));
    EXPECT_EQ(document.writeString("b", "x", "2"), kErrorSuccess);
    EXPECT_EQ(document.bytes(), "[a]\nk=1\n[b]\rx=2\n");
    std::string value;
    EXPECT_TRUE(document.findValue("b", "x", value));
    EXPECT_EQ(value, "2");
}

// ---- Sessions: one reading and one writing for many values ----

TEST_F(IniFileTest, ASessionReadsTheFileOnceAndWritesItOnce)
{
    std::string text = "; settings\r\n[MainForm]\r\nTop=1\r\nLeft=2\r\n\r\n[Browser]\r\nFilesFontSize=8\r\n";
    test::createFile(file, text);
    test::createFile(path("cfg\\plain.ini"), text);
    test::OpenCounter opens(posix("cfg"), "wux.ini");
    ASSERT_TRUE(opens.watching());

    const auto readAll = [](IniFile& ini) {
        std::string seen;
        for (int i = 0; i < 20; ++i)
            seen += std::to_string(ini.readInteger("MainForm", "Top", 0));
        seen += ini.readString("Browser", "FilesFontSize", "") + (ini.sectionExists("MainForm") ? "s" : "-") +
                (ini.valueExists("MainForm", "Left") ? "v" : "-");
        StringList lines;
        ini.readSectionValues("MainForm", lines);
        return seen + lines.text();
    };
    // The same reads and writes with and without a session give the same values and the same bytes.
    const auto work = [&](IniFile& ini) {
        std::string seen = readAll(ini);
        EXPECT_EQ(ini.writeInteger("MainForm", "Top", 5), kErrorSuccess);
        EXPECT_EQ(ini.writeString("Finder", "Mask", "*.txt"), kErrorSuccess);
        EXPECT_EQ(ini.deleteKey("MainForm", "Left"), kErrorSuccess);
        EXPECT_EQ(ini.writeBinaryStream("Favorites", "F_NAMES", "a\r\n"), kErrorSuccess);
        return seen + readAll(ini);
    };
    IniFile plain(path("cfg\\plain.ini"));
    const std::string seenPlain = work(plain);
    {
        IniSession session(file);
        IniFile ini(file);
        EXPECT_EQ(work(ini), seenPlain);
        {
            IniSession inner(file); // nested: the same text, nothing read or written
            EXPECT_EQ(IniFile(file).readInteger("MainForm", "Top", 0), 5);
            EXPECT_EQ(inner.commit(), kErrorSuccess);
        }
        EXPECT_EQ(opens.take(), 1);
        EXPECT_EQ(test::readFileBytes(file), text); // nothing written yet
        EXPECT_EQ(session.commit(), kErrorSuccess);
    }
    EXPECT_EQ(test::readFileBytes(file), test::readFileBytes(path("cfg\\plain.ini")));
    EXPECT_EQ(test::readFileBytes(file),
              "; settings\r\n[MainForm]\r\nTop=5\r\n\r\n[Browser]\r\nFilesFontSize=8\r\n\r\n[Finder]\r\n"
              "Mask=*.txt\r\n\r\n[Favorites]\r\nF_NAMES=610D0A\r\n");
    // After the session every read looks at the file again.
    test::createFile(file, "[MainForm]\r\nTop=9\r\n");
    opens.take();
    EXPECT_EQ(IniFile(file).readInteger("MainForm", "Top", 0), 9);
    EXPECT_EQ(opens.take(), 1);

    // A session that changes nothing writes nothing: the file keeps its bytes and its inode.
    struct stat before{};
    ASSERT_EQ(::stat(posix("cfg/wux.ini").c_str(), &before), 0);
    {
        IniSession session(file);
        EXPECT_EQ(IniFile(file).writeInteger("MainForm", "Top", 9), kErrorSuccess);
    }
    struct stat after{};
    ASSERT_EQ(::stat(posix("cfg/wux.ini").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(test::readFileBytes(file), "[MainForm]\r\nTop=9\r\n");
}

TEST_F(IniFileTest, ASessionOverAnUnreadableFileGivesDefaultsAndWritesNothing)
{
    const std::string before = "[s]\r\nk=v\r\n";
    test::createFile(file, before);
    injectFault(file, kErrorAccessDenied, kFaultOpen);
    IniSession session(file);
    clearFaults(); // the file could be read now, but the session holds what it found
    IniFile ini(file);
    EXPECT_EQ(session.loadError(), kErrorAccessDenied);
    EXPECT_EQ(ini.readString("s", "k", "def"), "def");
    EXPECT_EQ(ini.writeString("s", "n", "1"), kErrorAccessDenied);
    EXPECT_EQ(session.commit(), kErrorAccessDenied);
    EXPECT_EQ(test::readFileBytes(file), before);
}

// ---- Files in UTF-16 ----

std::string utf16File(std::u16string_view text, bool bigEndian, bool mark)
{
    std::string bytes;
    if (!encodeTextFile(utf16ToUtf8(text), bigEndian ? TextFileEncoding::kUtf16BigEndian
                                                      : TextFileEncoding::kUtf16LittleEndian,
                        mark, bytes))
        ADD_FAILURE() << "not encodable";
    return bytes;
}

TEST_F(IniFileTest, AUtf16FileIsReadAndWrittenBackInItsOwnEncoding)
{
    const std::u16string text = u"; Einstellungen\r\n[MainForm]\r\nViewer=kate\r\nTop=12\r\n[Browser]\r\n"
                                u"Directory=c:\\Über\r\n";
    for (const bool bigEndian : {false, true}) {
        for (const bool mark : {true, false}) {
            const std::string original = utf16File(text, bigEndian, mark);
            test::createFile(file, original);
            IniFile ini(file);
            EXPECT_EQ(ini.readString("MainForm", "Viewer", "notepad.exe"), "kate");
            EXPECT_EQ(ini.readInteger("MainForm", "Top", 0), 12);
            EXPECT_EQ(ini.readString("Browser", "Directory", ""), "c:\\Über");
            // Writing the values read changes nothing.
            EXPECT_EQ(ini.writeInteger("MainForm", "Top", 12), kErrorSuccess);
            EXPECT_EQ(test::readFileBytes(file), original);
            // A change keeps the encoding, the byte order, the mark and every other line.
            EXPECT_EQ(ini.writeInteger("MainForm", "Top", 13), kErrorSuccess);
            EXPECT_EQ(ini.writeString("Renamer", "Find", "été"), kErrorSuccess);
            EXPECT_EQ(test::readFileBytes(file),
                      utf16File(u"; Einstellungen\r\n[MainForm]\r\nViewer=kate\r\nTop=13\r\n[Browser]\r\n"
                                u"Directory=c:\\Über\r\n\r\n[Renamer]\r\nFind=été\r\n",
                                bigEndian, mark))
                << bigEndian << mark;
        }
    }
}

TEST_F(IniFileTest, AUtf16FileThatCannotComeBackAsItWasIsReadButNeverWritten)
{
    // An unpaired surrogate in a comment, and a file of an odd length.
    const std::string cases[] = {utf16File(u"[s]\r\nk=v\r\n", false, true) + std::string("\x00\xD8", 2) +
                                     utf16File(u"\r\n", false, false),
                                 utf16File(u"[s]\r\nk=v\r\n", false, true) + "x"};
    for (const std::string& before : cases) {
        test::createFile(file, before);
        IniFile ini(file);
        EXPECT_EQ(ini.readString("s", "k", "def"), "v");
        EXPECT_EQ(ini.writeString("s", "k", "w"), kErrorInvalidData);
        EXPECT_EQ(test::readFileBytes(file), before);
    }
}

} // namespace
} // namespace wux::platform
