#include "office_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include <pugixml.hpp>

#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "platform/automation/odt_story.h"
#include "platform/automation/package.h"
#include "platform/automation/text_story.h"
#include "platform/text.h"
#include "support/packages.h"

namespace wux::office::test {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::DispatchRef;
using automation::Variant;

core::TUserParameters replacerParameters(bool backup)
{
    core::TUserParameters parameters("Replacer");
    parameters.AddDefault("MSWORD_USEWILDCARDS", "0");
    parameters.AddDefault("MSWORD_WHOLEWORD", "0");
    parameters.AddDefault("MSWORD_REPLACE_IN_MAINDOCUMENT", "-1");
    parameters.AddDefault("MSWORD_REPLACE_IN_HEADERSFOOTERS", "-1");
    parameters.AddDefault("MSWORD_REPLACE_IN_FOOTNOTES", "-1");
    parameters.AddDefault("MSWORD_REPLACE_IN_HYPERLINKS", "-1");
    parameters.SetInternalValue("CreateBackUpCopy", backup ? "-1" : "0");
    return parameters;
}

std::string mainText(std::string_view windowsPath)
{
    const auto app = automation::createObject("Word.Application");
    const auto docs = asDispatch(app->get("Documents"));
    const auto doc = asDispatch(docs->call(
        "Open", {Variant(platform::utf8ToUtf16(windowsPath)), Variant(false), Variant(true), Variant(false),
                 Variant(u""), Variant(u""), Variant(false), Variant(u""), Variant(u""), Variant(0)}));
    const auto window = asDispatch(asDispatch(doc->get("Windows"))->get("Item", {Variant(1)}));
    const auto sel = asDispatch(window->get("Selection"));
    sel->put("Start", Variant(0));
    sel->put("End", Variant(1 << 30));
    const std::string text = platform::utf16ToUtf8(automation::variantToText(sel->get("Text")));
    doc->call("Close", {Variant(0), Variant::missing(), Variant::missing()});
    app->call("Quit", {Variant(0), Variant::missing(), Variant::missing()});
    return text;
}

platform::MovableHandle rawTableBlock(const std::vector<RawRow>& rows)
{
    std::string bytes;
    for (const RawRow& row : rows) {
        std::uint8_t head[engines::kTableRowHeadSize] = {};
        head[engines::kTableRowCaseOffset] = row.caseSensitive ? 1 : 0;
        engines::storeLe32(head + engines::kTableRowFindLengthOffset,
                           static_cast<std::uint32_t>(row.find.size()));
        engines::storeLe32(head + engines::kTableRowReplaceLengthOffset,
                           static_cast<std::uint32_t>(row.replace.size()));
        engines::storeLe32(head + engines::kTableRowInsertModeOffset, row.insertMode);
        bytes.append(reinterpret_cast<const char*>(head), sizeof head);
        bytes += row.find + row.replace;
    }
    const platform::MovableHandle block =
        platform::movableAlloc(bytes.size(), platform::MovableFlags::ZeroInit);
    {
        platform::MovableLock lock(block);
        std::memcpy(lock.as<char>(), bytes.data(), bytes.size());
    }
    return block;
}

// The text of every text shape of a presentation, slide by slide ("" for a text shape without text),
// read through the server.
std::vector<std::string> presentationTexts(const std::string& windowsPath)
{
    std::vector<std::string> out;
    const DispatchRef app = automation::createObject("PowerPoint.Application");
    const DispatchRef pres =
        asDispatch(asDispatch(app->get("Presentations"))
                       ->call("Open", {Variant(platform::utf8ToUtf16(windowsPath)), Variant(true),
                                       Variant::missing(), Variant(false)}));
    const DispatchRef slides = asDispatch(pres->get("Slides"));
    for (int i = 1; i <= automation::toInt32(slides->get("Count")); ++i) {
        const DispatchRef shapes = asDispatch(asDispatch(slides->get("Item", {Variant(i)}))->get("Shapes"));
        for (int j = 1; j <= automation::toInt32(shapes->get("Count")); ++j) {
            try {
                const DispatchRef frame =
                    asDispatch(asDispatch(shapes->get("Item", {Variant(j)}))->get("TextFrame"));
                out.push_back(platform::utf16ToUtf8(
                    automation::variantToText(asDispatch(frame->get("TextRange"))->get("Text"))));
            } catch (const automation::AutomationError&) {
            }
        }
    }
    pres->call("Close");
    app->call("Quit");
    return out;
}

// The texts of the searched paragraphs of a stored file, in document order.
std::vector<std::string> documentParagraphs(const std::string& posixPath)
{
    const std::string content = wux::test::readZip(posixPath).at("content.xml");
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(content.data(), content.size(), automation::kXmlParseFlags));
    automation::OdtDialect dialect(doc.document_element());
    automation::TextStory story(dialect, nullptr);
    dialect.addParagraphs(story, "content.xml",
                          automation::child(automation::child(doc.document_element(), "body"), "text"));
    std::vector<std::string> out;
    for (const automation::Paragraph& p : story.paragraphs())
        out.push_back(platform::utf16ToUtf8(p.text));
    return out;
}

BlockTest::~BlockTest()
{
    for (platform::MovableHandle block : blocks_)
        platform::movableFree(block);
}

platform::MovableHandle BlockTest::searchBlock(std::string_view find, std::string_view replace,
                                               std::int32_t mode, bool caseSensitive, bool wholeWord,
                                               bool oem)
{
    blocks_.push_back(engines::BuildReplacerStructure(find, replace, caseSensitive, wholeWord, mode, oem));
    return blocks_.back();
}

platform::MovableHandle BlockTest::tableBlock(const engines::TableCells& flags,
                                              const engines::TableCells& finds,
                                              const engines::TableCells& replaces)
{
    platform::MovableHandle block{};
    EXPECT_EQ(engines::CheckAndBuildTableBlock(block, flags, finds, replaces), -1);
    blocks_.push_back(block);
    return block;
}

platform::MovableHandle BlockTest::rawTableBlock(const std::vector<RawRow>& rows)
{
    blocks_.push_back(test::rawTableBlock(rows));
    return blocks_.back();
}

std::string describe(const Variant& value)
{
    using automation::VarType;
    switch (value.type()) {
    case VarType::kMissing:
        return "~";
    case VarType::kEmpty:
        return "E";
    case VarType::kBool:
        return value.boolValue() ? "T" : "F";
    case VarType::kBStr:
        return "'" + platform::utf16ToUtf8(value.text()) + "'";
    case VarType::kI4:
        return std::to_string(value.integerValue());
    case VarType::kDispatch: {
        const auto scripted = std::dynamic_pointer_cast<ScriptedObject>(value.dispatch());
        return scripted ? scripted->label : "?dispatch";
    }
    case VarType::kArray: {
        std::string out = "[";
        for (std::size_t i = 0; i < value.items().size(); ++i)
            out += (i ? "," : "") + describe(value.items()[i]);
        return out + "]";
    }
    default:
        return "?" + std::to_string(static_cast<int>(value.type()));
    }
}

std::string describe(const automation::Args& args)
{
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i)
        out += (i ? "," : "") + describe(args[i]);
    return out;
}

ScriptedObject::ScriptedObject(std::string kind, std::shared_ptr<const Answer> answer, int index, int second)
    : kind(std::move(kind)), index(index), second(second), label(this->kind), answer_(std::move(answer))
{
}

Variant ScriptedObject::child(std::string kind, int index, int second) const
{
    return Variant(DispatchRef(std::make_shared<ScriptedObject>(std::move(kind), answer_, index, second)));
}

const automation::MemberTable& ScriptedObject::members() const
{
    static const automation::MemberTable table = [] {
        automation::MemberTable t;
        automation::MemberTableBuilder<ScriptedObject> b(t);
        for (const char* name :
             {// the word processor
              "Documents", "Options", "Selection", "Windows", "View", "ActivePane", "Panes", "Find",
              "Replacement", "Application", "Sections", "PageSetup", "FootNotes", "EndNotes", "Count",
              "Start", "End", "Text", "ProtectionType", "Type", "SplitSpecial",
              "DifferentFirstPageHeaderFooter", "OddAndEvenPagesHeaderFooter", "DisplayAlerts", "Visible",
              "Open", "Quit", "Close", "Save", "SaveAs", "Item", "ClearFormatting", "Execute", "InsertAfter",
              "InsertBefore", "EndKey", "GoTo", "ShowGrammaticalErrors", "ShowSpellingErrors",
              "DefaultHighlightColorIndex", "SeekView",
              // the presentation
              "Presentations", "Slides", "Shapes", "TextFrame", "HasText", "TextRange",
              // the OpenDocument suite
              "CreateInstance", "Bridge_GetStruct", "LoadComponentFromURL", "createSearchDescriptor",
              "setPropertyValue", "setSearchString", "findAll", "getCount", "getByIndex", "getString",
              "setString", "StoreToURL", "Dispose", "Name", "Value", "isReadonly",
              // the spreadsheet
              "Workbooks", "Cells", "Add", "AskToUpdateLinks", "Interior", "Font", "Color", "Bold", "Italic",
              "Size", "UnderLine", "Worksheets", "ProtectContents", "Activate", "Row", "Column",
              "FormulaR1C1", "WriteReserved"}) {
            const std::string n = name;
            b.get(
                n,
                [n](ScriptedObject& o, const automation::Args& a) {
                    return (*o.answer_)(o, Access::kGet, n, a);
                },
                0, 11);
            b.method(
                n,
                [n](ScriptedObject& o, const automation::Args& a) {
                    return (*o.answer_)(o, Access::kCall, n, a);
                },
                0, 11);
            b.put(n, [n](ScriptedObject& o, const Variant& v) {
                (*o.answer_)(o, Access::kPut, n, automation::Args(std::span<const Variant>(&v, 1)));
            });
        }
        return t;
    }();
    return table;
}

} // namespace wux::office::test
