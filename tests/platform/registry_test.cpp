#include "platform/registry.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/string_list.h"
#include "platform/text.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

// Sets an environment variable for the length of a test and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
    void set(const char* value)
    {
        if (value)
            setenv(name_, value, 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class RegistryTest : public test::TempDriveTest
{
protected:
    ScopedFaultClear faults;
    ScopedEnv config{"XDG_CONFIG_HOME", posix("config").c_str()};
    std::string store = path("config\\wux\\registry.ini");

    std::string storeBytes() const
    {
        return test::exists(store) ? test::readFileBytes(store) : std::string();
    }
};

const char* const kProgramKey = "Software\\Tessanto\\Wexra\\MainProgram";

TEST(RegistryStorePathTest, FollowsTheXdgConfigFolder)
{
    ScopedEnv home("HOME", "/home/tester");
    ScopedEnv config("XDG_CONFIG_HOME", "/tmp/cfg/");
    EXPECT_EQ(registryStorePath(), "/tmp/cfg/wux/registry.ini");
    config.set(nullptr);
    EXPECT_EQ(registryStorePath(), "/home/tester/.config/wux/registry.ini");
    config.set("");
    EXPECT_EQ(registryStorePath(), "/home/tester/.config/wux/registry.ini");
    config.set("relative/cfg"); // not absolute: ignored
    EXPECT_EQ(registryStorePath(), "/home/tester/.config/wux/registry.ini");
}

TEST_F(RegistryTest, ProgramValueOfTheLocalMachine)
{
    Registry reader(RegistryRoot::kLocalMachine);
    EXPECT_EQ(reader.openKeyReadOnly(kProgramKey), kErrorFileNotFound);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(test::exists(posix("config"))); // nothing written by reading

    Registry writer(RegistryRoot::kLocalMachine);
    ASSERT_EQ(writer.openKey(kProgramKey, true), kErrorSuccess);
    EXPECT_EQ(writer.currentPath(), kProgramKey);
    EXPECT_EQ(storeBytes(), "[HKEY_LOCAL_MACHINE\\Software\\Tessanto\\Wexra\\MainProgram]\r\n");
    ASSERT_EQ(writer.writeString("LanguageId", "deutsch.lng"), kErrorSuccess);
    EXPECT_EQ(storeBytes(),
              "[HKEY_LOCAL_MACHINE\\Software\\Tessanto\\Wexra\\MainProgram]\r\nLanguageId=deutsch.lng\r\n");

    // Paths and names ignore case; a leading and a trailing backslash are ignored.
    ASSERT_EQ(reader.openKeyReadOnly("\\SOFTWARE\\tessanto\\Wexra\\mainprogram\\"), kErrorSuccess);
    std::string value;
    EXPECT_EQ(reader.readString("languageid", value), kErrorSuccess);
    EXPECT_EQ(value, "deutsch.lng");
    EXPECT_EQ(reader.writeString("LanguageId", "x"), kErrorAccessDenied);
    EXPECT_EQ(reader.deleteValue("LanguageId"), kErrorAccessDenied);
    EXPECT_EQ(reader.readString("Other", value), kErrorFileNotFound);
    EXPECT_FALSE(reader.valueExists("Other"));
    EXPECT_TRUE(reader.valueExists("LanguageId"));

    // The current user's keys are others, in the same store.
    Registry user(RegistryRoot::kCurrentUser);
    EXPECT_EQ(user.openKeyReadOnly(kProgramKey), kErrorFileNotFound);
    reader.closeKey();
    EXPECT_EQ(reader.readString("LanguageId", value), kErrorInvalidHandle);
    EXPECT_EQ(reader.writeString("LanguageId", value), kErrorInvalidHandle);
}

TEST_F(RegistryTest, DefaultValueOfAPluginKey)
{
    const std::string utilities = "Software\\Tessanto\\Wexra\\Utilities";
    Registry reg(RegistryRoot::kCurrentUser);
    ASSERT_EQ(reg.openKey(utilities, true), kErrorSuccess);
    ASSERT_EQ(reg.createKey(utilities + "\\plug[1].so"), kErrorSuccess);
    ASSERT_EQ(reg.openKey(utilities + "\\plug[1].so", true), kErrorSuccess);
    ASSERT_EQ(reg.writeString("", "My Tool"), kErrorSuccess);
    EXPECT_EQ(storeBytes(),
              "[HKEY_CURRENT_USER\\Software\\Tessanto\\Wexra\\Utilities]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Tessanto\\Wexra\\Utilities\\plug[1].so]\r\n=My Tool\r\n");
    Registry reader;
    ASSERT_EQ(reader.openKeyReadOnly(utilities + "\\PLUG[1].SO"), kErrorSuccess);
    std::string title;
    EXPECT_EQ(reader.readString("", title), kErrorSuccess);
    EXPECT_EQ(title, "My Tool");
}

TEST_F(RegistryTest, ValuesReadBackExactlyAsWritten)
{
    Registry reg;
    ASSERT_EQ(reg.openKey("Values", true), kErrorSuccess);
    const std::string values[] = {"  padded ", "\"quoted\"",           "\"", "\"\"", "", "a=b ; c", "Ünïcødé",
                                  "\"half",    std::string(50000, 'v')};
    for (const std::string& v : values) {
        ASSERT_EQ(reg.writeString("v", v), kErrorSuccess) << v;
        std::string read = "unchanged";
        EXPECT_EQ(reg.readString("v", read), kErrorSuccess);
        EXPECT_EQ(read, v);
    }
    const std::string before = storeBytes();
    EXPECT_EQ(reg.writeString("v", "two\nlines"), kErrorInvalidParameter);
    for (const char* name : {"a=b", "[x", ";x", " x", "x\r"})
        EXPECT_EQ(reg.writeString(name, "1"), kErrorInvalidParameter) << name;
    for (const char* key : {"a\\\\b", "\\\\a", "a\\ b", "a\nb"})
        EXPECT_EQ(reg.openKey(key, true), kErrorInvalidParameter) << key;
    EXPECT_EQ(storeBytes(), before);
}

TEST_F(RegistryTest, SubkeysAreEnumeratedOnceInCaseInsensitiveOrder)
{
    Registry reg;
    for (const char* key : {"A\\b2\\C", "A\\B1", "A\\B1\\D", "a\\B3", "A\\b1\\E", "Other"})
        ASSERT_EQ(reg.createKey(key), kErrorSuccess) << key;
    Registry machine(RegistryRoot::kLocalMachine);
    ASSERT_EQ(machine.createKey("A\\Machine"), kErrorSuccess);

    StringList names;
    ASSERT_EQ(reg.openKeyReadOnly("a"), kErrorSuccess);
    ASSERT_EQ(reg.getKeyNames(names), kErrorSuccess);
    EXPECT_EQ(names.lines(), (std::vector<std::string>{"B1", "b2", "B3"}));
    ASSERT_EQ(reg.openKeyReadOnly(""), kErrorSuccess);
    ASSERT_EQ(reg.getKeyNames(names), kErrorSuccess);
    EXPECT_EQ(names.lines(), (std::vector<std::string>{"A", "Other"}));
    ASSERT_EQ(reg.openKeyReadOnly("A\\b2\\C"), kErrorSuccess);
    ASSERT_EQ(reg.getKeyNames(names), kErrorSuccess);
    EXPECT_EQ(names.count(), 0);
    reg.closeKey();
    EXPECT_EQ(reg.getKeyNames(names), kErrorInvalidHandle);

    // A key whose only section is a subkey's exists too.
    EXPECT_TRUE(reg.keyExists("A\\B2"));
    EXPECT_TRUE(reg.keyExists(""));
    EXPECT_FALSE(reg.keyExists("A\\B4"));
    EXPECT_FALSE(reg.keyExists("A\\Machine"));
    EXPECT_EQ(reg.openKey("a\\B2", false), kErrorSuccess);
    EXPECT_EQ(reg.openKey("a\\B4", false), kErrorFileNotFound);
}

TEST_F(RegistryTest, DeletingValuesAndKeys)
{
    Registry reg;
    ASSERT_EQ(reg.openKey("K\\Sub\\Deep", true), kErrorSuccess);
    ASSERT_EQ(reg.writeString("d", "1"), kErrorSuccess);
    ASSERT_EQ(reg.openKey("K", true), kErrorSuccess);
    ASSERT_EQ(reg.writeString("a", "1"), kErrorSuccess);
    ASSERT_EQ(reg.writeString("b", "2"), kErrorSuccess);
    ASSERT_EQ(reg.openKey("Keep", true), kErrorSuccess);
    ASSERT_EQ(reg.writeString("k", "3"), kErrorSuccess);

    ASSERT_EQ(reg.openKey("K", false), kErrorSuccess);
    EXPECT_EQ(reg.deleteValue("A"), kErrorSuccess);
    EXPECT_EQ(reg.deleteValue("a"), kErrorFileNotFound);
    EXPECT_FALSE(reg.valueExists("a"));
    EXPECT_TRUE(reg.valueExists("b"));

    EXPECT_EQ(reg.deleteKey("k"), kErrorSuccess); // with every subkey
    EXPECT_EQ(storeBytes(), "[HKEY_CURRENT_USER\\Keep]\r\nk=3\r\n");
    EXPECT_EQ(reg.deleteKey("K"), kErrorFileNotFound);
    EXPECT_EQ(reg.deleteKey(""), kErrorAccessDenied);
    EXPECT_FALSE(reg.keyExists("K\\Sub"));
    // The open key was deleted: it reads as missing and takes no writes.
    std::string value;
    EXPECT_EQ(reg.readString("b", value), kErrorFileNotFound);
    EXPECT_EQ(reg.writeString("b", "x"), kErrorKeyDeleted);
    EXPECT_EQ(storeBytes(), "[HKEY_CURRENT_USER\\Keep]\r\nk=3\r\n");
}

TEST_F(RegistryTest, ClassesRootListsTheMimeDatabaseExtensions)
{
    Registry classes(RegistryRoot::kClassesRoot);
    ASSERT_EQ(classes.createKey("Folder\\shell"), kErrorSuccess);
    ASSERT_EQ(classes.createKey(".wuxtest"), kErrorSuccess);
    ASSERT_EQ(classes.openKeyReadOnly(""), kErrorSuccess);
    StringList names;
    ASSERT_EQ(classes.getKeyNames(names), kErrorSuccess);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), LessNoCase()));
    for (const char* name : {".txt", ".png", ".html", "Folder", ".wuxtest"})
        EXPECT_GE(names.indexOf(name), 0) << name;
    int dotted = 0;
    for (const std::string& name : names) {
        dotted += name.front() == '.' ? 1 : 0;
        EXPECT_EQ(names.indexOf(name), &name - &names.lines().front()) << "twice: " << name;
    }
    EXPECT_GT(dotted, 100);

    EXPECT_TRUE(classes.keyExists(".TXT"));
    EXPECT_FALSE(classes.keyExists(".no-such-extension"));
    EXPECT_EQ(classes.openKeyReadOnly(".txt"), kErrorSuccess);
    EXPECT_EQ(classes.deleteKey(".txt"), kErrorAccessDenied);
    // Only the root of the classes has them.
    Registry user(RegistryRoot::kCurrentUser);
    EXPECT_FALSE(user.keyExists(".txt"));
}

TEST_F(RegistryTest, AStoreThatCannotBeReadOrWritten)
{
    Registry reg;
    ASSERT_EQ(reg.openKey("K", true), kErrorSuccess);
    ASSERT_EQ(reg.writeString("v", "1"), kErrorSuccess);
    const std::string before = storeBytes();

    injectFault(store, kErrorDiskFull, kFaultWrite);
    EXPECT_EQ(reg.writeString("v", "2"), kErrorDiskFull);
    EXPECT_EQ(reg.createKey("New"), kErrorDiskFull);
    EXPECT_EQ(reg.deleteKey("K"), kErrorDiskFull);
    clearFaults();
    EXPECT_EQ(storeBytes(), before);

    injectFault(store, kErrorAccessDenied, kFaultOpen);
    std::string value;
    EXPECT_EQ(reg.readString("v", value), kErrorAccessDenied);
    EXPECT_EQ(reg.writeString("v", "2"), kErrorAccessDenied);
    Registry other;
    EXPECT_EQ(other.openKeyReadOnly("K"), kErrorAccessDenied);
    EXPECT_FALSE(other.keyExists("K"));
    clearFaults();
    EXPECT_EQ(storeBytes(), before);
    EXPECT_EQ(reg.readString("v", value), kErrorSuccess);
    EXPECT_EQ(value, "1");
}

TEST_F(RegistryTest, AStoreOutsideEveryDrive)
{
    config.set("/wux-no-drive-holds-this");
    Registry reg;
    EXPECT_EQ(reg.openKeyReadOnly("K"), kErrorFileNotFound);
    EXPECT_EQ(reg.openKey("K", true), kErrorPathNotFound);
    EXPECT_FALSE(test::exists("/wux-no-drive-holds-this"));
}

} // namespace
} // namespace wux::platform
