#include "platform/string_list.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace wux::platform {
namespace {

std::vector<std::string> linesOf(const StringList& list)
{
    return list.lines();
}

StringList listOf(std::initializer_list<const char*> lines)
{
    StringList list;
    for (const char* line : lines)
        list.add(line);
    return list;
}

TEST(StringListTest, AddInsertRemoveIndexCountClear)
{
    StringList list;
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.add("b"), 0);
    EXPECT_EQ(list.add("d"), 1);
    list.insert(0, "a");
    list.insert(2, "c");
    list.insert(4, "e");
    EXPECT_EQ(linesOf(list), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(list.count(), 5);
    EXPECT_EQ(list[3], "d");
    list.remove(1);
    list.set(0, "A");
    EXPECT_EQ(linesOf(list), (std::vector<std::string>{"A", "c", "d", "e"}));
    EXPECT_THROW(list.at(4), std::out_of_range);
    EXPECT_THROW(list.at(-1), std::out_of_range);
    EXPECT_THROW(list.remove(4), std::out_of_range);
    EXPECT_THROW(list.insert(6, "x"), std::out_of_range);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.text(), "");
}

TEST(StringListTest, TextEndsEveryLineWithCrLf)
{
    EXPECT_EQ(listOf({"a", "", "b c"}).text(), "a\r\n\r\nb c\r\n");
    EXPECT_EQ(listOf({""}).text(), "\r\n");
}

TEST(StringListTest, SetTextSplitsAtEveryLineEnd)
{
    struct Case
    {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\n", {"a"}},
        {"a\r", {"a"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\nb\n\n", {"a", "", "b", ""}},
        {std::string("x\0y\nz", 5), {std::string("x\0y", 3), "z"}},
    };
    for (const Case& c : cases) {
        StringList list;
        list.add("old");
        list.setText(c.bytes);
        EXPECT_EQ(linesOf(list), c.lines) << "bytes: " << c.bytes;
    }
}

TEST(StringListTest, TextRoundTripsThroughSetText)
{
    const StringList list = listOf({"first", "", "Ünïcode = ✓", "last"});
    StringList copy;
    copy.setText(list.text());
    EXPECT_EQ(copy, list);
}

TEST(StringListTest, NamesAndValues)
{
    const StringList list = listOf({"plain", "Key=v1", "=nameless", "other=a=b", "key=second", "empty="});
    EXPECT_EQ(list.name(0), "");
    EXPECT_EQ(list.valueFromIndex(0), "");
    EXPECT_EQ(list.name(1), "Key");
    EXPECT_EQ(list.name(2), "");
    EXPECT_EQ(list.valueFromIndex(2), "nameless");
    EXPECT_EQ(list.name(3), "other");
    EXPECT_EQ(list.valueFromIndex(3), "a=b");
    EXPECT_EQ(list.indexOfName("KEY"), 1);
    EXPECT_EQ(list.value("kEy"), "v1");
    EXPECT_EQ(list.indexOfName("plain"), -1);
    EXPECT_EQ(list.value("plain"), "");
    EXPECT_EQ(list.indexOfName(""), 2);
    EXPECT_EQ(list.indexOfName("empty"), 5);
    EXPECT_EQ(list.value("missing"), "");
}

TEST(StringListTest, NamesIgnoreCaseBeyondAscii)
{
    const StringList list = listOf({"ÄPFEL=1"});
    EXPECT_EQ(list.indexOfName("äpfel"), 0);
}

TEST(StringListTest, SetValue)
{
    struct Case
    {
        const char* name;
        const char* value;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"B", "new", {"a=1", "b=new", "c=3", "b=4"}}, // first line of the name, the name keeps its spelling
        {"b", "", {"a=1", "c=3", "b=4"}},             // empty removes the first line of the name
        {"d", "x", {"a=1", "b=2", "c=3", "b=4", "d=x"}},
        {"d", "", {"a=1", "b=2", "c=3", "b=4", "d="}}, // absent and empty: "name=" is appended
    };
    for (const Case& c : cases) {
        StringList list = listOf({"a=1", "b=2", "c=3", "b=4"});
        list.setValue(c.name, c.value);
        EXPECT_EQ(linesOf(list), c.lines) << c.name << "=" << c.value;
    }
}

TEST(StringListTest, SetValueFromIndex)
{
    StringList list = listOf({"a=1", "plain", "c=3"});
    list.setValueFromIndex(0, "one");
    list.setValueFromIndex(1, "v");
    EXPECT_EQ(linesOf(list), (std::vector<std::string>{"a=one", "=v", "c=3"}));
    list.setValueFromIndex(2, "");
    EXPECT_EQ(linesOf(list), (std::vector<std::string>{"a=one", "=v"}));
}

TEST(StringListTest, IndexOfIgnoresCase)
{
    const StringList list = listOf({"Alpha", "beta", "BETA"});
    EXPECT_EQ(list.indexOf("ALPHA"), 0);
    EXPECT_EQ(list.indexOf("Beta"), 1);
    EXPECT_EQ(list.indexOf("gamma"), -1);
}

TEST(StringListTest, SortedModeKeepsCaseInsensitiveOrder)
{
    StringList list = listOf({".txt", ".C", ".Doc", ".c", ".a"});
    list.setSorted(true);
    // Case variants are ordered by their bytes: upper case first.
    EXPECT_EQ(linesOf(list), (std::vector<std::string>{".a", ".C", ".c", ".Doc", ".txt"}));
    EXPECT_EQ(list.add(".B"), 1);
    EXPECT_EQ(list.add(".zip"), 6);
    EXPECT_EQ(list.add(".c"), 4); // after the equal line
    EXPECT_EQ(linesOf(list),
              (std::vector<std::string>{".a", ".B", ".C", ".c", ".c", ".Doc", ".txt", ".zip"}));
    EXPECT_THROW(list.insert(0, "x"), std::logic_error);
    list.set(0, ".y");
    EXPECT_EQ(list[6], ".y");
    list.setText(".q\r\n.P\r\n");
    EXPECT_EQ(linesOf(list), (std::vector<std::string>{".P", ".q"}));
}

TEST(StringListTest, FindIsCaseInsensitiveBinarySearch)
{
    StringList list = listOf({".doc", ".C", ".TXT", ".c", ".Zip", ".bmp"});
    list.setSorted(true);
    struct Case
    {
        const char* key;
        bool found;
        int index;
    };
    const Case cases[] = {
        {".txt", true, 4}, {".TXT", true, 4}, {".c", true, 1},   {".C", true, 1},   {".ZIP", true, 5},
        {".a", false, 0},  {".cc", false, 3}, {".zz", false, 6}, {".BMP", true, 0},
    };
    for (const Case& c : cases) {
        int index = -1;
        EXPECT_EQ(list.find(c.key, index), c.found) << c.key;
        EXPECT_EQ(index, c.index) << c.key;
    }
    EXPECT_EQ(list.indexOf(".Doc"), 3);
    EXPECT_EQ(list.indexOf(".xls"), -1);
}

TEST(StringListTest, FindOrdersNonAsciiByFoldedCharacters)
{
    StringList list = listOf({"ÖL", "öl2", "Zebra", "apfel"});
    list.sort();
    int index = -1;
    EXPECT_TRUE(list.find("öl", index));
    EXPECT_EQ(list[index], "ÖL");
    EXPECT_TRUE(list.find("APFEL", index));
    EXPECT_EQ(index, 0);
}

TEST(StringListTest, SortedSetValueKeepsOrder)
{
    StringList list;
    list.setSorted(true);
    list.setValue("b", "2");
    list.setValue("a", "1");
    list.setValue("B", "3");
    EXPECT_EQ(linesOf(list), (std::vector<std::string>{"a=1", "b=3"}));
}

} // namespace
} // namespace wux::platform
