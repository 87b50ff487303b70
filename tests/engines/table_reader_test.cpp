#include "engines/table_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace wux::engines {
namespace {

struct OptionCase
{
    const char16_t* options;
    std::int32_t caseSensitive;
    std::int32_t wholeWord;
    std::int32_t optionD;
};

void PrintTo(const OptionCase& c, std::ostream* out)
{
    *out << ::testing::PrintToString(std::u16string(c.options));
}

class OptionLetters : public ::testing::TestWithParam<OptionCase>
{
};

TEST_P(OptionLetters, SetTheThreeOptionFields)
{
    const OptionCase& c = GetParam();
    CellFormat format;
    format.caseSensitive = 7; // every field is set anew
    format.wholeWord = 7;
    format.optionD = 7;
    TAbstractTable::ParseSearchOptions(format, c.options);
    EXPECT_EQ(format.caseSensitive, c.caseSensitive);
    EXPECT_EQ(format.wholeWord, c.wholeWord);
    EXPECT_EQ(format.optionD, c.optionD);
}

INSTANTIATE_TEST_SUITE_P(Letters, OptionLetters,
                         ::testing::Values(OptionCase{u"", -1, -1, -1}, OptionCase{u"CW", 1, 1, -1},
                                           OptionCase{u"c-w", 1, 0, -1}, OptionCase{u"cwd", 1, 1, 1},
                                           OptionCase{u"-C-W-D", 0, 0, 0},
                                           // the "-" is spent on the character after it, whatever it is
                                           OptionCase{u"-x C", 1, -1, -1}, OptionCase{u"- C", 1, -1, -1},
                                           OptionCase{u"--C", 0, -1, -1},
                                           // the last occurrence wins
                                           OptionCase{u"C-C", 0, -1, -1}, OptionCase{u"-cC", 1, -1, -1},
                                           OptionCase{u"d,-D,d", -1, -1, 1},
                                           // a trailing "-" changes nothing; other letters are ignored
                                           OptionCase{u"W-", -1, 1, -1}, OptionCase{u"xyz 12", -1, -1, -1},
                                           OptionCase{u"\u00C7W", -1, 1, -1}));

// A table of rows held in memory, standing in for a document of another program.
class MemoryTable : public TAbstractTable
{
public:
    explicit MemoryTable(std::vector<std::u16string> finds) : finds_(std::move(finds))
    {
        applicationPresent_ = true;
    }
    bool GetVisible() override { return visible_; }
    void SetVisible(bool Value) override { visible_ = Value; }
    void Open(const std::string&) override {}
    void Close() override {}
    bool ReadRow(std::u16string& Find, std::u16string& Replace, CellFormat& FindFormat, CellFormat&) override
    {
        if (currentRow_ < 1 || static_cast<std::size_t>(currentRow_) > finds_.size())
            return false;
        step_ = 60;
        Find = finds_[static_cast<std::size_t>(currentRow_) - 1];
        Replace.clear();
        ParseSearchOptions(FindFormat, u"c");
        ++currentRow_;
        return true;
    }
    void ReadCell(std::int32_t& Row, std::int32_t& Status) override
    {
        Row = currentRow_;
        Status = 2;
    }

private:
    std::vector<std::u16string> finds_;
    bool visible_ = true;
};

TEST(TableReader, RowCursorStartsAtOneAndFirstGoesBack)
{
    MemoryTable table({u"a", u"b"});
    EXPECT_EQ(table.currentRow(), 1);
    EXPECT_TRUE(table.applicationPresent());
    std::u16string find, replace;
    CellFormat findFormat, replaceFormat;
    std::vector<std::u16string> read;
    while (table.ReadRow(find, replace, findFormat, replaceFormat))
        read.push_back(find);
    EXPECT_EQ(read, (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(table.currentRow(), 3);
    EXPECT_EQ(findFormat.caseSensitive, kOptionOn);
    table.First();
    EXPECT_EQ(table.currentRow(), 1);
    ASSERT_TRUE(table.ReadRow(find, replace, findFormat, replaceFormat));
    EXPECT_EQ(find, u"a");
}

} // namespace
} // namespace wux::engines
