// The spreadsheet source of batch tables: reads the find/replace rows of ".xls", ".xlsx" and ".csv"
// files through the spreadsheet wrapper (TExcelObject) for the batch-table loader of the engines.
#pragma once

#include <memory>
#include <string_view>

#include "engines/batch_table.h"
#include "office/excel_object.h"

namespace wux::office {

// A hidden spreadsheet application with the file opened as a new workbook; null when the application
// is not available or the file cannot be opened (nothing is left open then).
std::unique_ptr<TExcelObject> OpenTableSpreadsheet(std::string_view FileName);
// Frees the table: its workbook is closed without saving and the application quits when it holds no
// workbooks.
void CloseTableSpreadsheet(std::unique_ptr<TExcelObject>& Table);

// Reads the rows of the active sheet of a spreadsheet (find, replace, option letters in columns 1-3)
// until the first row that ends the table; each row's flag is YesText when its case option is set,
// else NoText. True once the file was opened, also when no row was read. False, with the three lists
// emptied, when the application is not available, the file cannot be opened or reading a row fails.
bool LoadTableFromSpreadsheet(std::string_view FileName, engines::TableCells& Flags,
                              engines::TableCells& Finds, engines::TableCells& Replaces);

// Registers LoadTableFromSpreadsheet as the batch-table loader's spreadsheet source (called at start-up).
void registerSpreadsheetTableLoader();

} // namespace wux::office
