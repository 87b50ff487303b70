#include "office/excel_search.h"

#include <exception>

#include "engines/base_replacer.h"
#include "office/document_replacer.h"
#include "office/excel_object.h"
#include "office/wildcard_engine.h"

namespace wux::office {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::DispatchRef;
using automation::Variant;

namespace {

constexpr char16_t kEscape = u'~';
constexpr char16_t kAnyRun = u'*';

// Length of the pattern item at i: an escape and the character after it, or one character.
std::size_t itemLength(std::u16string_view pattern, std::size_t i)
{
    return pattern[i] == kEscape && i + 1 < pattern.size() ? 2 : 1;
}

// True when the pattern ends with a "~" that escapes nothing.
bool endsWithLoneEscape(std::u16string_view pattern)
{
    std::size_t i = 0;
    bool lone = false;
    while (i < pattern.size()) {
        lone = pattern[i] == kEscape && i + 1 == pattern.size();
        i += itemLength(pattern, i);
    }
    return lone;
}

} // namespace

std::u16string excelFindWhat(std::u16string_view Find, std::u16string_view Ending)
{
    std::u16string full(Find);
    if (!Ending.empty()) {
        if (endsWithLoneEscape(Find))
            full += kEscape;
        full += kAnyRun;
        full += Ending;
    }
    if (full.size() <= kMaxFindWhatLength)
        return full;
    // A prefix of whole items: a cell that matches the pattern also holds a match of the prefix.
    std::size_t end = 0;
    while (end < full.size()) {
        const std::size_t next = end + itemLength(full, end);
        if (next > kMaxFindWhatLength)
            break;
        end = next;
    }
    full.resize(end);
    return full;
}

void TExcelObject::SearchAndReplace(const std::u16string& Find, const std::u16string& Ending,
                                    std::uint32_t Flags, const std::u16string& Replace)
{
    find_ = Find;
    ending_ = Ending;
    flags_ = Flags;
    replace_ = Replace;
    if (find_.empty())
        return;

    // Where the user's view is; an error keeps what was read so far.
    std::int32_t sheetIndex = 1, row = 1, column = 1;
    if (application_) {
        try {
            sheetIndex = automation::toInt32(
                asDispatch(application_->get("ActiveSheet"), "ActiveSheet")->get("Index"));
            const DispatchRef cell = asDispatch(application_->get("ActiveCell"), "ActiveCell");
            row = automation::toInt32(cell->get("Row"));
            column = automation::toInt32(cell->get("Column"));
        } catch (...) {
        }
    }

    std::exception_ptr failure;
    try {
        SearchAllSheets();
    } catch (...) {
        failure = std::current_exception();
    }

    try {
        const DispatchRef sheet = asDispatch(worksheets()->get("Item", {Variant(sheetIndex)}), "Worksheet");
        sheet->call("Activate");
        const DispatchRef cells = asDispatch(sheet->get("Cells"), "Cells");
        asDispatch(cells->get("Item", {Variant(row), Variant(column)}), "Cell")->call("Activate");
    } catch (...) {
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TExcelObject::SearchAllSheets()
{
    const std::int32_t n = automation::toInt32(worksheets()->get("Count"));
    for (std::int32_t index = 1; index <= n; ++index) {
        checkStopRequest(owner_);
        SearchSheet(index);
    }
}

void TExcelObject::SearchSheet(std::int32_t Index)
{
    const DispatchRef sheet = asDispatch(worksheets()->get("Item", {Variant(Index)}), "Worksheet");
    // Protected sheets are left unchanged.
    if (automation::toBool(sheet->get("ProtectContents")))
        return;
    sheet->call("Activate");
    const DispatchRef cells = asDispatch(sheet->get("Cells"), "Cells");
    auto cellAt = [&cells](std::int32_t r, std::int32_t c) {
        return asDispatch(cells->get("Item", {Variant(r), Variant(c)}), "Cell");
    };
    cellAt(1, 1)->call("Activate");

    const Variant what(excelFindWhat(find_, ending_));
    const bool matchCase = (flags_ & kWildcardCaseSensitive) != 0;
    std::int32_t row = 1, column = 1;
    for (;;) {
        checkStopRequest(owner_);
        const Variant found = cells->call("Find", {what, Variant(cellAt(row, column)), Variant(kLookInValues),
                                                   Variant(kLookAtPart), Variant(kSearchByRows),
                                                   Variant(kSearchNext), Variant(matchCase), Variant(false)});
        if (found.isNothing())
            return;
        const DispatchRef cell = asDispatch(found, "Cell");
        const std::int32_t foundRow = automation::toInt32(cell->get("Row"));
        const std::int32_t foundColumn = automation::toInt32(cell->get("Column"));
        // The search starts after cell (1, 1), so that cell comes last.
        if (foundRow == 1 && foundColumn == 1) {
            ProcessCell(cell);
            return;
        }
        // Wrapped around.
        if (foundRow < row || (foundRow == row && foundColumn <= column))
            return;
        row = foundRow;
        column = foundColumn;
        ProcessCell(cell);
    }
}

void TExcelObject::ProcessCell(const DispatchRef& Cell)
{
    Cell->call("Activate");
    const std::u16string text = automation::variantToText(Cell->get("Value"));
    std::u16string result;
    const std::int32_t before = matchCount_;
    ReplaceInText(text, find_, result, nullptr, flags_, replace_, ending_, replaceMode_, matchCount_);
    // Only a cell with a hit is written, so a formula without a hit keeps its formula.
    if (matchCount_ != before && replaceMode_ != engines::kModeJustFind)
        Cell->put("FormulaR1C1", Variant(result));
}

} // namespace wux::office
