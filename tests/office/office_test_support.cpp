#include "office_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engines/batch_table.h"
#include "platform/text.h"

namespace wux::office::test {

namespace automation = platform::automation;
using automation::asDispatch;
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

} // namespace wux::office::test
