#include "mainwindow/main_commands.h"

#include <QFontMetrics>

#include "core/gui_helpers.h"
#include "core/text_table.h"
#include "platform/text.h"

namespace wux::mainwindow {

namespace {

constexpr int kTextCopyPrefix = 42;
constexpr int kTextMovePrefix = 43;
constexpr int kTextDirectory = 44;
constexpr int kTextFile = 45;
constexpr int kTextFiles = 46;
constexpr int kTextTo = 47;
constexpr int kTextDeletePrefix = 49;
constexpr int kTextRemovePrefix = 50;
constexpr int kTextFromBasket = 51;
constexpr int kCopyNameReserve = 25;
constexpr int kDeleteNameReserve = 65;

int objectTextId(const SelectionSummary& selection)
{
    if (selection.count > 1) {
        return kTextFiles;
    }
    return selection.singleIsFolder ? kTextDirectory : kTextFile;
}

// prefix + the object part (count or shortened name) + suffix.
Prompt composePrompt(const std::string& prefix, const SelectionSummary& selection, const std::string& suffix,
                     int reserve, int dialogWidth, const QFont& font)
{
    const int objectId = objectTextId(selection);
    if (objectId == kTextFiles) {
        return {prefix + core::formatUiText(kTextFiles, {selection.count}) + suffix, dialogWidth};
    }
    const std::string unformatted = prefix + core::uiText(objectId) + suffix;
    int room = dialogWidth - QFontMetrics(font).horizontalAdvance(platform::toQString(unformatted)) - reserve;
    if (room < kMinimumNameRoom) {
        dialogWidth += kMinimumNameRoom - room;
        room = kMinimumNameRoom;
    }
    const std::string name = core::FitTextToWidth(font, selection.singleName, room);
    return {prefix + core::formatUiText(objectId, {name}) + suffix, dialogWidth};
}

} // namespace

Prompt copyMovePrompt(std::int32_t kind, const SelectionSummary& selection, int dialogWidth,
                      const QFont& font)
{
    return composePrompt(core::uiText(kind == 4 ? kTextMovePrefix : kTextCopyPrefix), selection,
                         core::uiText(kTextTo), kCopyNameReserve, dialogWidth, font);
}

Prompt deletePrompt(bool basket, const SelectionSummary& selection, int dialogWidth, const QFont& font)
{
    return composePrompt(core::uiText(basket ? kTextRemovePrefix : kTextDeletePrefix), selection,
                         basket ? core::uiText(kTextFromBasket) : std::string("?"), kDeleteNameReserve,
                         dialogWidth, font);
}

std::string copyMoveInput(bool inPlace, bool sourceIsBasket, const SelectionSummary& selection,
                          std::string_view targetFolder)
{
    const std::string namePart = selection.count == 1 ? selection.singleName : std::string("*.*");
    if (inPlace) {
        return namePart;
    }
    if (sourceIsBasket) {
        return {};
    }
    const bool singleFile = selection.count == 1 && !selection.singleIsFolder;
    return std::string(targetFolder) + "\\" + (singleFile ? selection.singleName : std::string("*.*"));
}

} // namespace wux::mainwindow
