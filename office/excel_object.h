// TExcelObject: drives the spreadsheet application through its automation server "Excel.Application"
// with late-bound calls. It is the table reader behind the batch-table loader (rows of find text,
// replace text and option letters read from the active sheet of a workbook made from a file) and the
// application object of the spreadsheet replacer, whose walk over all worksheets (SearchAndReplace)
// finds candidate cells with the application's own cell search and changes them with the wildcard text
// engine.
//
// A workbook is always made from the file (Workbooks.Add): the file itself stays closed and is written
// only by SaveCopyAs. Closing never saves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engines/table_reader.h"
#include "platform/automation/dispatch.h"

namespace wux::platform {
class WuxThread;
}

namespace wux::office {

inline constexpr std::string_view kExcelApplicationClass = "Excel.Application";

// Steps written into the table's step field while a row is read.
enum ExcelReadStep : std::int32_t
{
    kStepRowBegun = 60,
    kStepValuesRead = 61,
    kStepFindAccepted = 62,
    kStepInteriorColor = 63,
    kStepFontBoldItalicColor = 64,
    kStepFontSize = 65,
    kStepFontNameUnderline = 66,
    kStepFormatDone = 67,
    kStepFindConverted = 68,
};

// The status value ReadCell hands back.
inline constexpr std::int32_t kReadCellStatus = 2;

class TExcelObject : public engines::TAbstractTable
{
public:
    // Connects to a new application object (the caller tests applicationPresent()); replace mode 1.
    TExcelObject();
    // Closes a held workbook without saving and quits the application when no workbook is left in it.
    ~TExcelObject() override;

    // Creates the application object; a failure leaves the application absent. When created:
    // DisplayAlerts and AskToUpdateLinks := False.
    void ConnectExcel();
    // With QuitWhenIdle (and an application present): closes the workbook and quits the application
    // when it holds no workbooks (errors swallowed). Always releases both references.
    void ReleaseExcel(bool QuitWhenIdle);
    // The application's Workbooks.Count.
    std::int32_t WorkbookCount();

    bool GetVisible() override;
    void SetVisible(bool Value) override;
    // Makes a new workbook from the file (Workbooks.Add); the match count starts at 0. Raises when the
    // file cannot be read. A workbook still held is closed first, without saving.
    void Open(const std::string& FileName) override;
    // Closes the held workbook without saving; nothing when none is held.
    void Close() override;
    // True when the held workbook's file has a password to modify (the workbook's WriteReserved).
    bool WriteReserved();
    // Saves the held workbook as a copy under FileName (over the source when it is the source's name)
    // and closes it without saving; nothing when none is held. Raises when the save fails (the workbook
    // is then still held).
    void SaveCopyAs(std::string_view FileName);

    // Reads the current row of the active sheet: find (column 1), replace (column 2), the option letters
    // (column 3) into FindFormat. False, with nothing else changed, when the row ends the table (a find
    // cell that is neither text nor a number, a replace cell that is neither empty, text nor a number).
    // Numbers are taken as displayed. Automation errors reach the caller; step() tells where.
    bool ReadRow(std::u16string& Find, std::u16string& Replace, engines::CellFormat& FindFormat,
                 engines::CellFormat& ReplaceFormat) override;
    // Reads the value and format of cell (current row, 1) into a record of its own; Row := the current
    // row, Status := 2. The row is not advanced.
    void ReadCell(std::int32_t& Row, std::int32_t& Status) override;
    // The interior colour and font of cell (current row, Column) into Format (fields 1-7).
    void ReadCellFormat(std::int32_t Column, engines::CellFormat& Format);

    // ---- Search and replace over every worksheet of the held workbook (excel_search.cpp) ----

    // The whole walk: remembers the user's active sheet and cell, searches every worksheet in order
    // (protected ones are skipped), and activates the remembered sheet and cell again. Hits are added to
    // the match count; cells with hits are changed by the replace mode (not in mode 128). An automation
    // error in a sheet's walk is raised to the caller once the view is restored.
    void SearchAndReplace(const std::u16string& Find, const std::u16string& Ending, std::uint32_t Flags,
                          const std::u16string& Replace);
    void SearchAllSheets();
    void SearchSheet(std::int32_t Index);
    void ProcessCell(const platform::automation::DispatchRef& Cell);

    // ---- State ----

    const platform::automation::DispatchRef& applicationObject() const { return application_; }
    const platform::automation::DispatchRef& workbookObject() const { return workbook_; }
    bool hasWorkbook() const { return workbook_ != nullptr; }
    std::int32_t matchCount() const { return matchCount_; }
    std::int32_t replaceMode() const { return replaceMode_; }
    void setReplaceMode(std::int32_t mode) { replaceMode_ = mode; }
    // The run's thread, whose stop request ends the walk over the sheets and cells (none: never).
    void setOwner(const platform::WuxThread* owner) { owner_ = owner; }
    // What ReadCell read last.
    const platform::automation::Variant& cellValue() const { return cellValue_; }
    const engines::CellFormat& cellFormat() const { return cellFormat_; }

private:
    const platform::automation::DispatchRef& requireApplication() const;
    // A cell of the active sheet of the application.
    platform::automation::DispatchRef activeCell(std::int32_t row, std::int32_t column) const;
    // The worksheets of the held workbook (of the active workbook when none is held).
    platform::automation::DispatchRef worksheets() const;

    platform::automation::DispatchRef application_;
    platform::automation::DispatchRef workbook_;
    std::int32_t matchCount_ = 0;
    std::int32_t replaceMode_ = 1;
    const platform::WuxThread* owner_ = nullptr;

    // The texts of the search in progress (SearchAndReplace).
    std::u16string find_;
    std::u16string ending_;
    std::u16string replace_;
    std::uint32_t flags_ = 0;

    platform::automation::Variant cellValue_;
    engines::CellFormat cellFormat_;
};

} // namespace wux::office
