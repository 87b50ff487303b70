#include "office/spreadsheet_table.h"

#include <string>

#include "platform/text.h"

namespace wux::office {

std::unique_ptr<TExcelObject> OpenTableSpreadsheet(std::string_view FileName)
{
    std::unique_ptr<TExcelObject> table;
    try {
        table = std::make_unique<TExcelObject>();
        if (!table->applicationPresent()) {
            CloseTableSpreadsheet(table);
            return nullptr;
        }
        table->SetVisible(false);
        table->Open(std::string(FileName));
    } catch (...) {
        CloseTableSpreadsheet(table);
        return nullptr;
    }
    return table;
}

void CloseTableSpreadsheet(std::unique_ptr<TExcelObject>& Table)
{
    Table.reset();
}

bool LoadTableFromSpreadsheet(std::string_view FileName, engines::TableCells& Flags,
                              engines::TableCells& Finds, engines::TableCells& Replaces)
{
    Flags.clear();
    Finds.clear();
    Replaces.clear();
    std::unique_ptr<TExcelObject> table = OpenTableSpreadsheet(FileName);
    if (!table)
        return false;
    bool ok = true;
    try {
        table->First();
        std::u16string find, replace;
        engines::CellFormat findFormat, replaceFormat;
        while (table->ReadRow(find, replace, findFormat, replaceFormat)) {
            Flags.push_back(findFormat.caseSensitive == engines::kOptionOn ? engines::YesText()
                                                                           : engines::NoText());
            Finds.push_back(platform::utf16ToUtf8(find));
            Replaces.push_back(platform::utf16ToUtf8(replace));
        }
    } catch (...) {
        ok = false;
    }
    CloseTableSpreadsheet(table);
    if (!ok) {
        // Nothing of a half-read table is used.
        Flags.clear();
        Finds.clear();
        Replaces.clear();
    }
    return ok;
}

void registerSpreadsheetTableLoader()
{
    engines::setSpreadsheetTableLoader(&LoadTableFromSpreadsheet);
}

} // namespace wux::office
