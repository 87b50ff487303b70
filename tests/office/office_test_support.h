// Shared pieces of the office tests: an idle owner thread, a parameter set as the Replacer window
// fills it, and reading a document back through the word-processor server.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_parameters.h"
#include "engines/batch_table.h"
#include "platform/automation/dispatch.h"
#include "platform/movable_memory.h"
#include "platform/thread.h"
#include "support/idle_owner.h"
#include "support/temp_drive.h"

namespace wux::office::test {

using wux::test::IdleOwner;

// The parameter set of a Replacer run: the backup flag and the six word-processor options at their
// window defaults.
core::TUserParameters replacerParameters(bool backup = true);

// The main text of a document (paragraphs ending in "\r") as the server reads it, UTF-8.
std::string mainText(std::string_view windowsPath);

// The text of every text shape of a presentation, slide by slide ("" for a text shape without text),
// read through the presentation server.
std::vector<std::string> presentationTexts(const std::string& windowsPath);

// The texts of the searched paragraphs of a stored OpenDocument text, in document order.
std::vector<std::string> documentParagraphs(const std::string& posixPath);

// One row of a table block written byte by byte.
struct RawRow
{
    bool caseSensitive;
    std::string find;
    std::string replace;
    std::uint32_t insertMode;
};

// A table block written byte by byte (rows the compiler never makes, such as an empty find text); the
// caller frees it.
platform::MovableHandle rawTableBlock(const std::vector<RawRow>& rows);

// A test on drive c: with an idle owner, the Replacer's parameters, and search and table blocks that are
// freed when it ends.
class BlockTest : public wux::test::TempDriveTest
{
protected:
    ~BlockTest() override;
    platform::MovableHandle searchBlock(std::string_view find, std::string_view replace, std::int32_t mode,
                                        bool caseSensitive = false, bool wholeWord = false, bool oem = false);
    // A compiled table block (its check must pass).
    platform::MovableHandle tableBlock(const engines::TableCells& flags, const engines::TableCells& finds,
                                       const engines::TableCells& replaces);
    platform::MovableHandle rawTableBlock(const std::vector<RawRow>& rows);

    IdleOwner owner;
    core::TUserParameters parameters = replacerParameters(true);

private:
    std::vector<platform::MovableHandle> blocks_;
};

// A value as the call logs show it: "~" missing, "E" empty, "T"/"F", 'text', integers, a scripted
// object's label, "[a,b]" arrays; any other type "?<type>".
std::string describe(const platform::automation::Variant& value);
// The arguments of a call, comma-separated.
std::string describe(const platform::automation::Args& args);

// A recording stand-in object for the call tests: the test's answer function handles every get, put
// (the value as the one argument) and method call of the members the wrappers use. Each object carries
// its kind, up to two indexes and a label (the kind unless the answer sets another).
class ScriptedObject : public platform::automation::Dispatch
{
public:
    enum class Access
    {
        kGet,
        kPut,
        kCall,
    };
    using Answer = std::function<platform::automation::Variant(ScriptedObject& self, Access access,
                                                               const std::string& member,
                                                               const platform::automation::Args& args)>;

    ScriptedObject(std::string kind, std::shared_ptr<const Answer> answer, int index = 0, int second = 0);
    // A new object of the same script.
    platform::automation::Variant child(std::string kind, int index = 0, int second = 0) const;

    const std::string kind;
    const int index;
    const int second;
    std::string label;

protected:
    const platform::automation::MemberTable& members() const override;

private:
    std::shared_ptr<const Answer> answer_;
};

} // namespace wux::office::test
