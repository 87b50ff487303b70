// The stand-in "Excel.Application" automation server over workbooks (.xlsx, .xlsm) and comma-separated
// tables (.csv).
//
// It implements the members the spreadsheet wrapper, its search walk and the batch-table loader call:
// the application (DisplayAlerts, AskToUpdateLinks, Visible, Workbooks, ActiveWorkbook, ActiveSheet,
// ActiveCell, Cells, Worksheets, Quit), Workbooks (Count, Add, Open, Item), the workbook (Worksheets,
// ActiveSheet, Name, FullName, Saved, Activate, Save, SaveCopyAs, Close), Worksheets (Count, Item), the
// worksheet (Name, Index, Visible, ProtectContents, Activate, Cells, UsedRange) and ranges (Item, Value,
// Text, Formula, FormulaR1C1, Row, Column, Count, Rows, Columns, Activate, Find, Interior.Color and
// Font.Bold/Italic/Color/Size/Name/UnderLine). Files it cannot read (legacy binary workbooks, encrypted
// or damaged packages) fail at Add and Open and are never changed. Workbooks.Add makes a new workbook
// from the file's content: the file itself stays closed and is written only by SaveCopyAs. The active
// sheet and cell are kept in memory only: the saved view is the file's own.
//
// Worksheet.Index counts the worksheets (chart sheets are not among them), so the index it gives
// selects the same sheet through Worksheets.Item. Hidden worksheets are in Worksheets and can be
// activated. "Nothing" (Find without a hit, ActiveSheet without a workbook) is a null object.
#pragma once

#include <string_view>

#include "platform/automation/dispatch.h"

namespace wux::platform::automation {

inline constexpr std::string_view kExcelApplicationProgId = "Excel.Application";

// A new application object (what createObject("Excel.Application") returns).
DispatchRef createExcelApplication();

} // namespace wux::platform::automation
