#include "workbooks.h"

namespace wux::office::test {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::Variant;

std::string buildBook(const BookSpec& book)
{
    wux::test::XlsxContent content;
    content.sheets = book.sheets;
    for (const std::string& s : book.strings)
        content.strings.push_back("<t xml:space=\"preserve\">" + s + "</t>");
    content.activeTab = book.activeTab;
    content.calcChain = book.calcChain;
    return wux::test::buildXlsx(content);
}

BookReader::BookReader(const std::string& windowsPath)
{
    app_ = automation::createObject("Excel.Application");
    book_ = asDispatch(asDispatch(app_->get("Workbooks"))->call("Add", {Variant::fromUtf8(windowsPath)}));
}

BookReader::~BookReader()
{
    try {
        book_->call("Close", {Variant(false)});
        app_->call("Quit");
    } catch (...) {
    }
}

std::int32_t BookReader::sheetCount() const
{
    return automation::toInt32(asDispatch(book_->get("Worksheets"))->get("Count"));
}

automation::DispatchRef BookReader::cell(int sheet, int row, int column) const
{
    const auto ws = asDispatch(asDispatch(book_->get("Worksheets"))->get("Item", {Variant(sheet)}));
    return asDispatch(asDispatch(ws->get("Cells"))->get("Item", {Variant(row), Variant(column)}));
}

std::string BookReader::value(int sheet, int row, int column) const
{
    const Variant v = cell(sheet, row, column)->get("Value");
    if (v.type() == automation::VarType::kError)
        return "#ERR";
    return automation::variantToUtf8(v);
}

automation::VarType BookReader::type(int sheet, int row, int column) const
{
    return cell(sheet, row, column)->get("Value").type();
}

std::string BookReader::text(int sheet, int row, int column) const
{
    return automation::variantToUtf8(cell(sheet, row, column)->get("Text"));
}

std::string BookReader::formula(int sheet, int row, int column) const
{
    return automation::variantToUtf8(cell(sheet, row, column)->get("FormulaR1C1"));
}

} // namespace wux::office::test
