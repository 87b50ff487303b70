#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/user_parameters.h"
#include "platform/ini_file.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::core {
namespace {

using Lines = std::vector<std::string>;

void addWordDefaults(TUserParameters& parameters)
{
    parameters.AddDefault("MSWORD_USEWILDCARDS", "0");
    parameters.AddDefault("MSWORD_WHOLEWORD", "0");
    parameters.AddDefault("MSWORD_REPLACE_IN_MAINDOCUMENT", "-1");
    parameters.AddDefault("MSWORD_REPLACE_IN_HEADERSFOOTERS", "-1");
    parameters.AddDefault("MSWORD_REPLACE_IN_FOOTNOTES", "-1");
    parameters.AddDefault("MSWORD_REPLACE_IN_HYPERLINKS", "-1");
}

class UserParameters : public test::TempDriveTest
{
protected:
    std::string iniPath() const { return path("wux.ini"); }
};

TEST_F(UserParameters, MissingSectionThenDefaults)
{
    TUserParameters parameters("Replacer");
    EXPECT_EQ(parameters.Name(), "Replacer");
    parameters.LoadFromIni(platform::IniFile(iniPath()));
    EXPECT_TRUE(parameters.storedList().empty());
    addWordDefaults(parameters);
    EXPECT_EQ(parameters.storedList().lines(),
              (Lines{"MSWORD_USEWILDCARDS=0", "MSWORD_WHOLEWORD=0", "MSWORD_REPLACE_IN_MAINDOCUMENT=-1",
                     "MSWORD_REPLACE_IN_HEADERSFOOTERS=-1", "MSWORD_REPLACE_IN_FOOTNOTES=-1",
                     "MSWORD_REPLACE_IN_HYPERLINKS=-1"}));
}

TEST_F(UserParameters, DefaultsNeverOverwriteLoadedValues)
{
    test::createFile(posix("wux.ini"), "[Replacer]\r\nmsword_wholeword=-1\r\nOther=x\r\n");
    TUserParameters parameters("Replacer");
    parameters.LoadFromIni(platform::IniFile(iniPath()));
    addWordDefaults(parameters);
    EXPECT_EQ(parameters.GetValue("MSWORD_WHOLEWORD"), "-1");
    EXPECT_EQ(parameters.GetValue("Other"), "x");
    EXPECT_EQ(parameters.storedList().count(), 7);
    EXPECT_EQ(parameters.storedList().at(0), "msword_wholeword=-1");
}

TEST_F(UserParameters, LoadingReplacesTheStoredHalf)
{
    test::createFile(posix("wux.ini"),
                     "[Batch Replacer]\r\nLIST_FIND_STR=41\r\nInitialDir=c:\\t\\\r\nA=1\r\n");
    TUserParameters parameters("Batch Replacer");
    parameters.SetValue("Gone", "1");
    parameters.SetInternalValue("Kept", "2");
    parameters.LoadFromIni(platform::IniFile(iniPath()));
    parameters.Remove("LIST_FIND_STR");
    parameters.Remove("LIST_REPLACE_STR");
    parameters.Remove("initialdir");
    EXPECT_EQ(parameters.storedList().lines(), (Lines{"A=1"}));
    EXPECT_EQ(parameters.GetValue("Kept"), "2");
}

TEST_F(UserParameters, SavingWritesEachStoredLineAndLeavesOtherKeys)
{
    test::createFile(posix("wux.ini"), "[Batch Replacer]\r\nLIST_FIND_STR=41\r\nA=old\r\n");
    platform::IniFile ini(iniPath());
    TUserParameters parameters("Batch Replacer");
    parameters.LoadFromIni(ini);
    parameters.Remove("LIST_FIND_STR");
    parameters.SetValue("A", "new");
    parameters.SetValue("B", "");
    parameters.SetInternalValue("CreateBackUpCopy", "-1");
    ASSERT_EQ(parameters.SaveToIni(ini), 0u);
    EXPECT_EQ(test::readFileBytes(posix("wux.ini")),
              "[Batch Replacer]\r\nLIST_FIND_STR=41\r\nA=new\r\nB=\r\n");
}

TEST(UserParametersValues, StoredHalfFirstEmptyValuesAndReplacingInPlace)
{
    TUserParameters parameters("Replacer");
    parameters.SetInternalValue("TypeOfReplacing", "1");
    parameters.SetValue("TypeOfReplacing", "2");
    EXPECT_EQ(parameters.GetValue("typeofreplacing"), "2");
    parameters.SetInternalValue("CreateBackUpCopy", "0");
    EXPECT_EQ(parameters.GetValue("CreateBackUpCopy"), "0");
    // An empty value removes an existing line.
    parameters.SetValue("TypeOfReplacing", "");
    parameters.SetValue("MSWORD_WHOLEWORD", "-1");
    parameters.SetValue("MSWORD_WHOLEWORD", "");
    EXPECT_TRUE(parameters.storedList().empty());
    try {
        parameters.GetValue("MSWORD_WHOLEWORD");
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Parameter MSWORD_WHOLEWORD is absent in the list! (userparameters)");
    }
    parameters.SetInternalValue("MSWORD_WHOLEWORD", "0");
    EXPECT_EQ(parameters.GetValue("MSWORD_WHOLEWORD"), "0");
    // An empty value for an absent name appends it.
    parameters.SetValue("X", "");
    parameters.SetInternalValue("Y", "");
    EXPECT_EQ(parameters.storedList().lines(), (Lines{"X="}));
    EXPECT_EQ(parameters.internalList().lines(),
              (Lines{"TypeOfReplacing=1", "CreateBackUpCopy=0", "MSWORD_WHOLEWORD=0", "Y="}));
    EXPECT_EQ(parameters.GetValue("X"), "");
    EXPECT_EQ(parameters.GetValue("Y"), "");
    // Defaults never replace; a set value replaces in place.
    parameters.AddDefault("A", "1");
    parameters.AddDefault("B", "2");
    parameters.SetValue("a", "3");
    parameters.AddDefault("B", "9");
    EXPECT_EQ(parameters.storedList().lines(), (Lines{"X=", "A=3", "B=2"}));
    parameters.Remove("nothing");
    EXPECT_THROW(parameters.GetValue("nothing"), EParameterAbsent);
}

} // namespace
} // namespace wux::core
