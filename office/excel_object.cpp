#include "office/excel_object.h"

#include <stdexcept>

#include "platform/text.h"

namespace wux::office {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::DispatchRef;
using automation::Variant;
using automation::VarType;

namespace {

// A number or date taken as the cell's displayed text: small, long, short and 64-bit integers, bytes,
// words, doubles, currency and dates (not single-precision reals nor unsigned long integers).
bool isDisplayedNumber(const Variant& value)
{
    switch (value.type()) {
    case VarType::kI2:
    case VarType::kI4:
    case VarType::kR8:
    case VarType::kCy:
    case VarType::kDate:
    case VarType::kI1:
    case VarType::kUI1:
    case VarType::kUI2:
    case VarType::kI8:
        return true;
    default:
        return false;
    }
}

// Workbook.Close with SaveChanges False and the two optional arguments left out.
void closeWithoutSaving(const DispatchRef& workbook)
{
    workbook->call("Close", {Variant(false), Variant::missing(), Variant::missing()});
}

} // namespace

TExcelObject::TExcelObject()
{
    ConnectExcel();
    replaceMode_ = 1;
}

TExcelObject::~TExcelObject()
{
    try {
        ReleaseExcel(true);
    } catch (...) {
    }
}

void TExcelObject::ConnectExcel()
{
    application_.reset();
    applicationPresent_ = false;
    try {
        application_ = automation::createObject(kExcelApplicationClass);
        if (!application_)
            return;
        application_->put("DisplayAlerts", Variant(false));
        application_->put("AskToUpdateLinks", Variant(false));
        applicationPresent_ = true;
    } catch (...) {
        // An application that cannot be had, or refuses its settings, counts as not installed.
        application_.reset();
        applicationPresent_ = false;
    }
}

void TExcelObject::ReleaseExcel(bool QuitWhenIdle)
{
    if (applicationPresent_ && application_ && QuitWhenIdle) {
        try {
            Close();
        } catch (...) {
        }
        try {
            if (WorkbookCount() == 0)
                application_->call("Quit");
        } catch (...) {
        }
    }
    workbook_.reset();
    application_.reset();
    applicationPresent_ = false;
}

const DispatchRef& TExcelObject::requireApplication() const
{
    if (!application_)
        throw std::runtime_error("The spreadsheet application is not connected.");
    return application_;
}

std::int32_t TExcelObject::WorkbookCount()
{
    const DispatchRef workbooks = asDispatch(requireApplication()->get("Workbooks"), "Workbooks");
    return automation::toInt32(workbooks->get("Count"));
}

bool TExcelObject::GetVisible()
{
    return automation::toBool(requireApplication()->get("Visible"));
}

void TExcelObject::SetVisible(bool Value)
{
    requireApplication()->put("Visible", Variant(Value));
}

void TExcelObject::Open(const std::string& FileName)
{
    matchCount_ = 0;
    const DispatchRef& application = requireApplication();
    // One workbook at a time: a workbook left from an earlier file would count as a user's workbook.
    if (workbook_) {
        try {
            Close();
        } catch (...) {
            workbook_.reset();
        }
    }
    const DispatchRef workbooks = asDispatch(application->get("Workbooks"), "Workbooks");
    const Variant added = workbooks->call("Add", {Variant::fromUtf8(FileName)});
    if (added.isNothing())
        throw std::runtime_error("The spreadsheet application made no workbook of the file.");
    workbook_ = asDispatch(added, "Workbook");
}

void TExcelObject::Close()
{
    if (!workbook_)
        return;
    const DispatchRef workbook = std::move(workbook_);
    workbook_.reset();
    closeWithoutSaving(workbook);
}

bool TExcelObject::WriteReserved()
{
    return workbook_ && automation::toBool(workbook_->get("WriteReserved"));
}

void TExcelObject::SaveCopyAs(std::string_view FileName)
{
    if (!workbook_)
        return;
    workbook_->call("SaveCopyAs", {Variant::fromUtf8(FileName)});
    Close();
}

DispatchRef TExcelObject::activeCell(std::int32_t row, std::int32_t column) const
{
    const DispatchRef cells = asDispatch(requireApplication()->get("Cells"), "Cells");
    return asDispatch(cells->get("Item", {Variant(row), Variant(column)}), "Cell");
}

bool TExcelObject::ReadRow(std::u16string& Find, std::u16string& Replace, engines::CellFormat& FindFormat,
                           engines::CellFormat& ReplaceFormat)
{
    const std::int32_t row = currentRow_;
    step_ = kStepRowBegun;
    const DispatchRef findCell = activeCell(row, 1);
    const DispatchRef replaceCell = activeCell(row, 2);
    const Variant findValue = findCell->get("Value");
    const Variant replaceValue = replaceCell->get("Value");
    const Variant optionValue = activeCell(row, 3)->get("Value");

    step_ = kStepValuesRead;
    std::u16string find;
    if (isDisplayedNumber(findValue))
        find = automation::variantToText(findCell->get("Text"));
    else if (findValue.type() == VarType::kBStr)
        find = findValue.text();
    else
        return false;

    step_ = kStepFindAccepted;
    std::u16string replace;
    if (replaceValue.isEmpty() || replaceValue.isNull())
        replace.clear();
    else if (isDisplayedNumber(replaceValue))
        replace = automation::variantToText(replaceCell->get("Text"));
    else if (replaceValue.type() == VarType::kBStr)
        replace = replaceValue.text();
    else
        return false;

    ReadCellFormat(1, FindFormat);
    ReadCellFormat(2, ReplaceFormat);
    FindFormat.caseSensitive = engines::kOptionNotGiven;
    FindFormat.wholeWord = engines::kOptionNotGiven;
    FindFormat.optionD = engines::kOptionNotGiven;
    if (optionValue.type() == VarType::kBStr)
        ParseSearchOptions(FindFormat, optionValue.text());

    currentRow_ = row + 1;
    Find = std::move(find);
    step_ = kStepFindConverted;
    Replace = std::move(replace);
    return true;
}

void TExcelObject::ReadCellFormat(std::int32_t Column, engines::CellFormat& Format)
{
    const DispatchRef cell = activeCell(currentRow_, Column);
    step_ = kStepInteriorColor;
    Format.interiorColor = automation::toInt32(asDispatch(cell->get("Interior"), "Interior")->get("Color"));
    step_ = kStepFontBoldItalicColor;
    const DispatchRef font = asDispatch(cell->get("Font"), "Font");
    Format.bold = automation::toInt32(font->get("Bold"));
    Format.italic = automation::toInt32(font->get("Italic"));
    Format.fontColor = automation::toInt32(font->get("Color"));
    step_ = kStepFontSize;
    Format.size = automation::toDouble(font->get("Size"));
    step_ = kStepFontNameUnderline;
    Format.fontName = automation::variantToText(font->get("Name"));
    Format.underline = automation::toInt32(font->get("UnderLine"));
    step_ = kStepFormatDone;
}

void TExcelObject::ReadCell(std::int32_t& Row, std::int32_t& Status)
{
    cellValue_ = activeCell(currentRow_, 1)->get("Value");
    ReadCellFormat(1, cellFormat_);
    Row = currentRow_;
    Status = kReadCellStatus;
}

DispatchRef TExcelObject::worksheets() const
{
    const DispatchRef& owner = workbook_ ? workbook_ : requireApplication();
    return asDispatch(owner->get("Worksheets"), "Worksheets");
}

} // namespace wux::office
