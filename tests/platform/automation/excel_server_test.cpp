#include <gtest/gtest.h>

#include <map>

#include "platform/automation/dispatch.h"
#include "platform/automation/excel_server.h"
#include "platform/automation/excel_workbook.h"
#include "platform/fault_injection.h"
#include "platform/text.h"
#include "support/dispatch_calls.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::platform::automation {
namespace {

const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

using SheetContent = test::XlsxSheet;
using test::buildXlsx;
using test::XlsxContent;

// The main test workbook: every kind of cell on "Values", the active sheet not the first.
XlsxContent mainBook()
{
    XlsxContent content;
    content.strings = {"<t>Hello</t>",
                       "<r><rPr><b/></rPr><t>Rich </t></r><r><t xml:space=\"preserve\">text</t></r>"
                       "<rPh sb=\"0\" eb=\"1\"><t>PHONETIC</t></rPh>",
                       "<t>line_x000D_break</t>", "<t>shared twice</t>", "<t>prot</t>"};
    SheetContent values;
    values.name = "Values";
    values.data = "<row r=\"1\" spans=\"1:8\">"
                  "<c r=\"A1\" t=\"s\"><v>0</v></c>"
                  "<c r=\"B1\" s=\"1\"><v>12.5</v></c>"
                  "<c r=\"C1\" t=\"b\"><v>1</v></c>"
                  "<c r=\"D1\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>"
                  "<c r=\"E1\" t=\"inlineStr\"><is><t>inline text</t></is></c>"
                  "<c r=\"F1\" s=\"1\"><f>B1*2</f><v>25</v></c>"
                  "<c r=\"G1\" t=\"str\"><f>A1&amp;\"x\"</f><v>Hellox</v></c>"
                  "<c r=\"H1\"><f>NOW()</f></c>"
                  "</row>"
                  "<row r=\"2\">"
                  "<c r=\"A2\" t=\"s\"><v>1</v></c>"
                  "<c r=\"B2\" s=\"2\"><v>45306</v></c>"
                  "<c r=\"C2\" t=\"d\"><v>2024-01-15T12:00:00</v></c>"
                  "<c r=\"D2\" s=\"3\"><v>1234.5678</v></c>"
                  "<c r=\"E2\" t=\"s\"><v>2</v></c>"
                  "<c r=\"F2\" s=\"4\"/>"
                  "<c r=\"G2\" s=\"5\"><v>7</v></c>"
                  "</row>"
                  "<row r=\"3\"><c><v>1</v></c><c><v>2</v></c></row>"
                  "<row><c r=\"B4\" t=\"s\"><v>3</v></c><c t=\"s\"><v>3</v></c></row>";
    SheetContent second;
    second.name = "Second";
    second.state = "hidden";
    second.data = "<row r=\"1\"><c r=\"A1\"><v>5</v></c></row>";
    SheetContent chart;
    chart.name = "Chart1";
    chart.chart = true;
    SheetContent protectedSheet;
    protectedSheet.name = "Locked";
    protectedSheet.data =
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>4</v></c><c r=\"B1\" s=\"6\" t=\"s\"><v>4</v></c></row>";
    protectedSheet.after = "<sheetProtection sheet=\"1\" objects=\"1\" scenarios=\"1\"/>";
    content.sheets = {second, chart, values, protectedSheet};
    content.activeTab = 2;
    content.sheets[2].activeCell = "C2";
    return content;
}

using test::obj;
using test::text;
using test::u;

class ExcelServerTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        app = createObject("Excel.Application");
        app->put("DisplayAlerts", Variant(false));
        app->put("AskToUpdateLinks", Variant(false));
        app->put("Visible", Variant(false));
    }

    std::string write(const std::string& name, const std::string& bytes)
    {
        test::createFile(path(name), bytes);
        return path(name);
    }

    DispatchRef add(const std::string& windowsPath)
    {
        return obj(obj(app->get("Workbooks"))->call("Add", {u(windowsPath)}));
    }

    DispatchRef cell(const DispatchRef& cells, int row, int column)
    {
        return obj(cells->get("Item", {Variant(row), Variant(column)}));
    }

    DispatchRef appCell(int row, int column) { return cell(obj(app->get("Cells")), row, column); }

    DispatchRef sheet(const DispatchRef& book, const Variant& which)
    {
        return obj(obj(book->get("Worksheets"))->get("Item", {which}));
    }

    // Cells.Find as the search walk calls it.
    Variant find(const DispatchRef& cells, const std::string& what, const DispatchRef& after, bool matchCase)
    {
        return cells->call("Find", {u(what), Variant(after), Variant(-4163), Variant(2), Variant(1),
                                    Variant(1), Variant(matchCase), Variant(false)});
    }

    // The cells the search walk visits on a sheet, in its order ((1,1) last).
    std::vector<std::string> walk(const DispatchRef& ws, const std::string& what, bool matchCase = false)
    {
        std::vector<std::string> out;
        DispatchRef cells = obj(ws->get("Cells"));
        int row = 1, column = 1;
        for (;;) {
            Variant found = find(cells, what, cell(cells, row, column), matchCase);
            if (found.isNothing())
                break;
            DispatchRef f = obj(found);
            const int r = toInt32(f->get("Row")), c = toInt32(f->get("Column"));
            if (r == 1 && c == 1) {
                out.push_back(cellRefText(r, c));
                break;
            }
            if (r < row || (r == row && c <= column))
                break;
            out.push_back(cellRefText(r, c));
            row = r;
            column = c;
        }
        return out;
    }

    DispatchRef app;
};

TEST_F(ExcelServerTest, ReadsEveryKindOfCellValueAndText)
{
    const std::string file = write("book.xlsx", buildXlsx(mainBook()));
    DispatchRef book = add(file);
    DispatchRef values = sheet(book, u("values"));
    DispatchRef cells = obj(values->get("Cells"));
    struct Expect
    {
        const char* ref;
        VarType type;
        const char* value; // variantToText of Value ("" for Empty)
        const char* shown; // Text
    };
    const Expect expects[] = {
        {"A1", VarType::kBStr, "Hello", "Hello"},
        {"B1", VarType::kR8, "12.5", "12.50"},
        {"C1", VarType::kBool, "True", "TRUE"},
        {"D1", VarType::kError, nullptr, "#DIV/0!"},
        {"E1", VarType::kBStr, "inline text", "inline text"},
        {"F1", VarType::kR8, "25", "25.00"},
        {"G1", VarType::kBStr, "Hellox", "Hellox"},
        {"H1", VarType::kEmpty, "", ""},
        {"A2", VarType::kBStr, "Rich text", "Rich text"},
        {"B2", VarType::kR8, "45306", "1/15/2024"},
        {"C2", VarType::kR8, "45306.5", "45306.5"},
        {"D2", VarType::kR8, "1234.5678", "1,234.568"},
        {"E2", VarType::kBStr, "line\rbreak", "line\rbreak"},
        {"F2", VarType::kEmpty, "", ""},
        {"G2", VarType::kR8, "7", "7"},
        {"A3", VarType::kR8, "1", "1"},
        {"B3", VarType::kR8, "2", "2"},
        {"B4", VarType::kBStr, "shared twice", "shared twice"},
        {"C4", VarType::kBStr, "shared twice", "shared twice"},
        {"Z99", VarType::kEmpty, "", ""},
    };
    for (const Expect& e : expects) {
        std::int32_t r = 0, c = 0;
        ASSERT_TRUE(parseCellRef(e.ref, r, c));
        DispatchRef x = cell(cells, r, c);
        const Variant value = x->get("Value");
        EXPECT_EQ(value.type(), e.type) << e.ref;
        if (e.value) {
            EXPECT_EQ(text(value), e.value) << e.ref;
        }
        EXPECT_EQ(text(x->get("Text")), e.shown) << e.ref;
        EXPECT_EQ(toInt32(x->get("Row")), r);
        EXPECT_EQ(toInt32(x->get("Column")), c);
    }
    EXPECT_EQ(cell(cells, 1, 4)->get("Value").integerValue(), static_cast<std::int32_t>(0x800A07D7));
    EXPECT_EQ(text(cell(cells, 1, 6)->get("FormulaR1C1")), "=B1*2");
    EXPECT_EQ(text(cell(cells, 1, 1)->get("Formula")), "Hello");
    EXPECT_THROW(cells->get("Item", {Variant(0), Variant(1)}), AutomationError);
    EXPECT_THROW(cells->get("Item", {Variant(1), Variant(16385)}), AutomationError);
    EXPECT_NO_THROW(cells->get("Item", {Variant(1048576), Variant(16384)}));
}

TEST_F(ExcelServerTest, AddShowsTheFilesActiveSheetAndCell)
{
    const std::string file = write("book.xlsx", buildXlsx(mainBook()));
    DispatchRef workbooks = obj(app->get("Workbooks"));
    EXPECT_EQ(toInt32(workbooks->get("Count")), 0);
    EXPECT_TRUE(app->get("ActiveSheet").isNothing());
    EXPECT_THROW(app->get("Cells"), AutomationError);
    DispatchRef book = add(file);
    EXPECT_EQ(toInt32(workbooks->get("Count")), 1);
    EXPECT_EQ(text(book->get("Name")), "book1");

    // Chart sheets are not worksheets; the active tab (2) is the worksheet "Values", the second one.
    DispatchRef sheets = obj(book->get("Worksheets"));
    EXPECT_EQ(toInt32(sheets->get("Count")), 3);
    DispatchRef active = obj(app->get("ActiveSheet"));
    EXPECT_EQ(text(active->get("Name")), "Values");
    EXPECT_EQ(toInt32(active->get("Index")), 2);
    EXPECT_EQ(text(obj(app->get("Worksheets"))->get("Item", {active->get("Index")}).dispatch()->get("Name")),
              "Values");
    DispatchRef activeCell = obj(app->get("ActiveCell"));
    EXPECT_EQ(toInt32(activeCell->get("Row")), 2);
    EXPECT_EQ(toInt32(activeCell->get("Column")), 3);
    EXPECT_EQ(text(appCell(1, 1)->get("Value")), "Hello");

    // Sheets by index and name; hidden and protected ones.
    EXPECT_EQ(text(sheet(book, Variant(1))->get("Name")), "Second");
    EXPECT_EQ(toInt32(sheet(book, Variant(1))->get("Visible")), 0);
    EXPECT_EQ(toInt32(sheet(book, Variant(2))->get("Visible")), -1);
    EXPECT_FALSE(toBool(sheet(book, Variant(2))->get("ProtectContents")));
    EXPECT_TRUE(toBool(sheet(book, u("LOCKED"))->get("ProtectContents")));
    for (const Variant& bad : {Variant(0), Variant(4), u("Chart1"), u("nope")}) {
        try {
            sheet(book, bad);
            ADD_FAILURE() << "no error";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.code(), static_cast<std::int32_t>(0x8002000B));
        }
    }

    // Activation: a hidden sheet can be activated, the cell only on the active sheet.
    DispatchRef hidden = sheet(book, Variant(1));
    EXPECT_THROW(cell(obj(hidden->get("Cells")), 1, 1)->call("Activate"), AutomationError);
    hidden->call("Activate");
    EXPECT_EQ(text(obj(app->get("ActiveSheet"))->get("Name")), "Second");
    cell(obj(hidden->get("Cells")), 1, 1)->call("Activate");
    EXPECT_EQ(toInt32(obj(app->get("ActiveCell"))->get("Row")), 1);
    EXPECT_EQ(toInt32(appCell(1, 1)->get("Value")), 5);
    // Member names ignore case.
    EXPECT_EQ(toInt32(obj(app->get("workbooks"))->get("COUNT")), 1);
}

TEST_F(ExcelServerTest, ActiveTabOnAChartSheetHasNoCells)
{
    XlsxContent content = mainBook();
    content.activeTab = 1;
    DispatchRef book = add(write("chart.xlsx", buildXlsx(content)));
    EXPECT_TRUE(app->get("ActiveSheet").isNothing());
    EXPECT_TRUE(app->get("ActiveCell").isNothing());
    EXPECT_THROW(app->get("Cells"), AutomationError);
    sheet(book, Variant(3))->call("Activate");
    EXPECT_EQ(text(appCell(1, 1)->get("Value")), "prot");
}

TEST_F(ExcelServerTest, FormatsFontsAndFills)
{
    DispatchRef book = add(write("book.xlsx", buildXlsx(mainBook())));
    DispatchRef styled = appCell(2, 6);
    DispatchRef font = obj(styled->get("Font"));
    EXPECT_TRUE(toBool(font->get("Bold")));
    EXPECT_EQ(toInt32(font->get("Bold")), -1);
    EXPECT_TRUE(toBool(font->get("Italic")));
    EXPECT_EQ(toInt32(font->get("Color")), 255);
    EXPECT_EQ(toDouble(font->get("Size")), 14.0);
    EXPECT_EQ(text(font->get("Name")), "Arial");
    EXPECT_EQ(toInt32(font->get("UnderLine")), 2);
    EXPECT_EQ(toInt32(obj(styled->get("Interior"))->get("Color")), 0x00FFFF);

    DispatchRef plain = appCell(1, 1);
    EXPECT_FALSE(toBool(obj(plain->get("Font"))->get("Bold")));
    EXPECT_EQ(toInt32(obj(plain->get("Font"))->get("UnderLine")), -4142);
    EXPECT_EQ(toDouble(obj(plain->get("Font"))->get("Size")), 11.0);
    EXPECT_EQ(toInt32(obj(plain->get("Interior"))->get("Color")), 16777215);
    EXPECT_EQ(toInt32(obj(appCell(50, 50)->get("Interior"))->get("Color")), 16777215);
}

// Cells outside the sheet, a search of an unknown kind and a range of a closed workbook raise: the
// server never answers with a cell that is not there.
TEST_F(ExcelServerTest, CellsOutsideTheSheetUnknownSearchesAndClosedBooksRaise)
{
    DispatchRef book = add(write("book.xlsx", buildXlsx(mainBook())));
    DispatchRef cells = obj(sheet(book, u("Values"))->get("Cells"));
    const std::pair<int, int> outside[] = {{0, 1}, {1, 0}, {-1, 1}, {1, -1}, {1048577, 1}, {1, 16385}};
    for (const auto& [row, column] : outside)
        EXPECT_THROW(cell(cells, row, column), AutomationError) << row << "," << column;
    EXPECT_THROW(cells->get("Item", {Variant(0)}), AutomationError);
    EXPECT_EQ(toInt32(cell(cells, 1048576, 16384)->get("Row")), 1048576);
    EXPECT_EQ(toInt32(obj(cells->get("Item", {Variant(2)}))->get("Column")), 2);
    EXPECT_THROW(cells->call("Find", {u("Hello"), Variant(cell(cells, 1, 1)), Variant(-4100)}),
                 AutomationError);
    EXPECT_THROW(cells->call("Find", {u("Hello"), Variant(cell(cells, 1, 1)), Variant(0)}), AutomationError);
    DispatchRef workbooks = obj(app->get("Workbooks"));
    for (const Variant& which : {Variant(0), Variant(2), Variant(-1), u("other.xlsx")})
        EXPECT_THROW(workbooks->get("Item", {which}), AutomationError);
    EXPECT_NO_THROW(workbooks->get("Item", {Variant(1)}));
    EXPECT_THROW(workbooks->call("Add"), AutomationError);
    DispatchRef a1 = cell(cells, 1, 1);
    book->call("Close", {Variant(false)});
    EXPECT_THROW(a1->get("Value"), AutomationError);
    EXPECT_THROW(cells->get("Item", {Variant(1), Variant(1)}), AutomationError);
    EXPECT_THROW(a1->put("Value", u("x")), AutomationError);
}

TEST_F(ExcelServerTest, FindVisitsCandidatesRowByRowWithCellA1Last)
{
    XlsxContent content;
    content.strings = {"<t>cat</t>", "<t>Cat food</t>", "<t>dog</t>", "<t>concat</t>", "<t>a*b?</t>"};
    SheetContent s;
    s.name = "S";
    s.data = "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" t=\"s\"><v>2</v></c></row>"
             "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>3</v></c><c r=\"D2\"><v>12.5</v></c>"
             "<c r=\"E2\" t=\"b\"><v>1</v></c><c r=\"F2\" t=\"e\"><v>#N/A</v></c></row>"
             "<row r=\"5\"><c r=\"A5\" t=\"s\"><v>1</v></c><c r=\"B5\" t=\"str\"><f>A5</f><v>cat</v></c>"
             "<c r=\"C5\" t=\"s\"><v>4</v></c></row>";
    content.sheets = {s};
    DispatchRef book = add(write("find.xlsx", buildXlsx(content)));
    DispatchRef ws = sheet(book, Variant(1));
    using V = std::vector<std::string>;
    EXPECT_EQ(walk(ws, "cat"), (V{"B2", "A5", "B5", "A1"}));
    EXPECT_EQ(walk(ws, "Cat", true), (V{"A5"}));
    EXPECT_EQ(walk(ws, "c?t"), (V{"B2", "A5", "B5", "A1"}));
    EXPECT_EQ(walk(ws, "d*g"), (V{"C1"}));
    EXPECT_EQ(walk(ws, "2.5"), (V{"D2"}));
    EXPECT_EQ(walk(ws, "~*b~?"), (V{"C5"}));
    // Booleans, errors and empty cells are never candidates.
    EXPECT_EQ(walk(ws, "True"), V{});
    EXPECT_EQ(walk(ws, "N/A"), V{});
    EXPECT_EQ(walk(ws, "zebra"), V{});

    DispatchRef cells = obj(ws->get("Cells"));
    // Wrapping: after the last candidate comes the first; After itself is found last.
    EXPECT_EQ(toInt32(obj(find(cells, "cat", cell(cells, 5, 2), false))->get("Row")), 1);
    EXPECT_EQ(toInt32(obj(find(cells, "dog", cell(cells, 1, 3), false))->get("Column")), 3);
    // Whole cell, column order and backwards.
    Variant whole = cells->call("Find", {u("cat"), Variant(cell(cells, 1, 1)), Variant(-4163), Variant(1)});
    EXPECT_EQ(toInt32(obj(whole)->get("Row")), 5);
    EXPECT_EQ(toInt32(obj(whole)->get("Column")), 2);
    Variant byColumns =
        cells->call("Find", {u("cat"), Variant(cell(cells, 1, 1)), Variant(-4163), Variant(2), Variant(2)});
    EXPECT_EQ(toInt32(obj(byColumns)->get("Row")), 5);
    EXPECT_EQ(toInt32(obj(byColumns)->get("Column")), 1);
    Variant back = cells->call(
        "Find", {u("cat"), Variant(cell(cells, 1, 1)), Variant(-4163), Variant(2), Variant(1), Variant(2)});
    EXPECT_EQ(toInt32(obj(back)->get("Column")), 2);
    EXPECT_EQ(toInt32(obj(back)->get("Row")), 5);
    // Formulas are searched with LookIn -4123.
    Variant formula = cells->call("Find", {u("=A5"), Variant(cell(cells, 1, 1)), Variant(-4123)});
    EXPECT_EQ(toInt32(obj(formula)->get("Column")), 2);
    // After must be a cell of this sheet.
    DispatchRef other = obj(add(write("other.xlsx", buildXlsx(content)))->get("Worksheets"));
    DispatchRef foreign = cell(obj(obj(other->get("Item", {Variant(1)}))->get("Cells")), 1, 1);
    EXPECT_THROW(find(cells, "cat", foreign, false), AutomationError);
    EXPECT_THROW(cells->call("Find", {u("cat"), u("A1")}), AutomationError);
}

class SavedBook : public ExcelServerTest
{
protected:
    // Adds the main workbook, lets change() edit it through the Values sheet's cells, saves it over the
    // source with SaveCopyAs, closes it and returns the Values sheet of the saved file added again.
    template <class F> DispatchRef roundTrip(const XlsxContent& content, F change)
    {
        source = write("book.xlsx", buildXlsx(content));
        before = test::storedEntries(posix("book.xlsx"));
        DispatchRef book = add(source);
        change(obj(sheet(book, u("Values"))->get("Cells")));
        book->call("SaveCopyAs", {u(source)});
        book->call("Close", {Variant(false)});
        after = test::storedEntries(posix("book.xlsx"));
        return obj(sheet(add(source), u("Values"))->get("Cells"));
    }
    std::string part(const std::string& name) { return test::readZip(posix("book.xlsx"))[name]; }
    // The entries whose raw bytes changed.
    std::vector<std::string> changedEntries()
    {
        std::vector<std::string> out;
        for (const auto& [name, bytes] : after)
            if (!before.count(name) || before[name] != bytes)
                out.push_back(name);
        for (const auto& [name, bytes] : before)
            if (!after.count(name))
                out.push_back("-" + name);
        return out;
    }
    std::string source;
    std::map<std::string, std::string> before, after;
};

TEST_F(SavedBook, EnteringConstantsChangesOnlyThoseCells)
{
    DispatchRef cells = roundTrip(mainBook(), [&](const DispatchRef& c) {
        cell(c, 1, 1)->put("FormulaR1C1", u("Hello world"));    // shared string: a new one
        cell(c, 1, 2)->put("FormulaR1C1", u("13.75"));          // numeric: stays a number
        cell(c, 2, 4)->put("FormulaR1C1", u("12 apples"));      // numeric, not a number: a text
        cell(c, 1, 5)->put("FormulaR1C1", u("inline changed")); // inline string: now shared
        cell(c, 4, 2)->put("FormulaR1C1", u("=SUM(A1)"));       // stored as a text
        cell(c, 3, 1)->put("FormulaR1C1", u(""));               // cleared
        cell(c, 2, 6)->put("FormulaR1C1", u("\x01"
                                            "ctl_x0041_")); // styled empty cell
    });
    EXPECT_EQ(text(cell(cells, 1, 1)->get("Value")), "Hello world");
    EXPECT_EQ(cell(cells, 1, 2)->get("Value").type(), VarType::kR8);
    EXPECT_EQ(text(cell(cells, 1, 2)->get("Text")), "13.75");
    EXPECT_EQ(cell(cells, 2, 4)->get("Value").type(), VarType::kBStr);
    EXPECT_EQ(text(cell(cells, 2, 4)->get("Value")), "12 apples");
    EXPECT_EQ(text(cell(cells, 1, 5)->get("Value")), "inline changed");
    EXPECT_EQ(text(cell(cells, 4, 2)->get("Value")), "=SUM(A1)");
    EXPECT_TRUE(cell(cells, 3, 1)->get("Value").isEmpty());
    EXPECT_EQ(text(cell(cells, 2, 6)->get("Value")), "\x01"
                                                     "ctl_x0041_");
    // The other cell sharing the string of B4 keeps it.
    EXPECT_EQ(text(cell(cells, 4, 3)->get("Value")), "shared twice");
    // Untouched cells keep their values, formulas and formats.
    EXPECT_EQ(text(cell(cells, 1, 6)->get("FormulaR1C1")), "=B1*2");
    EXPECT_EQ(text(cell(cells, 2, 2)->get("Text")), "1/15/2024");
    EXPECT_EQ(text(cell(cells, 1, 3)->get("Text")), "TRUE");
    EXPECT_TRUE(toBool(obj(cell(cells, 2, 6)->get("Font"))->get("Bold")));

    const std::string sheetXml = part("xl/worksheets/sheet2.xml");
    EXPECT_NE(sheetXml.find("<c r=\"B1\" s=\"1\"><v>13.75</v></c>"), std::string::npos) << sheetXml;
    EXPECT_NE(sheetXml.find("<row r=\"3\"><c/><c><v>2</v></c></row>"), std::string::npos) << sheetXml;
    EXPECT_NE(sheetXml.find("<c r=\"F2\" s=\"4\" t=\"s\"><v>"), std::string::npos) << sheetXml;
    EXPECT_NE(sheetXml.find("<c r=\"G1\" t=\"str\"><f>A1&amp;\"x\"</f><v>Hellox</v></c>"), std::string::npos);
    const std::string sst = part("xl/sharedStrings.xml");
    // Existing entries are never edited; new ones are appended, escapes where XML cannot hold a character.
    // "Hello" is no cell's any more: the last new one takes its place.
    EXPECT_EQ(sst.find("<si><t>Hello</t></si>"), std::string::npos) << sst;
    EXPECT_NE(sst.find("<si><t>Hello world</t></si>"), std::string::npos) << sst;
    EXPECT_NE(
        sst.find("<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"10\" "
                 "uniqueCount=\"9\"><si><t>_x0001_ctl_x005F_x0041_</t></si>"),
        std::string::npos)
        << sst;
    // No formula was removed: no recalculation asked, and every other entry is byte-identical.
    EXPECT_EQ(part("xl/workbook.xml").find("fullCalcOnLoad"), std::string::npos);
    EXPECT_EQ(changedEntries(),
              (std::vector<std::string>{"xl/sharedStrings.xml", "xl/worksheets/sheet2.xml"}));
    EXPECT_EQ(test::zipNames(posix("book.xlsx")).size(), before.size());
}

TEST_F(SavedBook, RemovingAFormulaDropsTheCalculationChain)
{
    XlsxContent content = mainBook();
    content.calcChain = true;
    DispatchRef cells = roundTrip(content, [&](const DispatchRef& c) {
        EXPECT_EQ(text(cell(c, 1, 6)->get("Value")), "25");
        cell(c, 1, 6)->put("FormulaR1C1", u("25"));
        cell(c, 1, 7)->put("FormulaR1C1", u("Hellox"));
    });
    EXPECT_EQ(text(cell(cells, 1, 6)->get("FormulaR1C1")), "25");
    EXPECT_EQ(text(cell(cells, 1, 6)->get("Text")), "25.00");
    EXPECT_EQ(text(cell(cells, 1, 7)->get("FormulaR1C1")), "Hellox");
    EXPECT_EQ(cell(cells, 1, 7)->get("Value").type(), VarType::kBStr);
    const std::map<std::string, std::string> entries = test::readZip(posix("book.xlsx"));
    EXPECT_EQ(entries.count("xl/calcChain.xml"), 0u);
    EXPECT_EQ(entries.at("xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
    EXPECT_EQ(entries.at("[Content_Types].xml").find("calcChain"), std::string::npos);
    EXPECT_NE(entries.at("xl/workbook.xml").find("<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\"/>"),
              std::string::npos);
    EXPECT_NE(entries.at("xl/worksheets/sheet2.xml").find("<c r=\"F1\" s=\"1\"><v>25</v></c>"),
              std::string::npos);
    EXPECT_EQ(after.at("xl/media/image1.png"), before.at("xl/media/image1.png"));
    EXPECT_EQ(after.at("docProps/app.xml"), before.at("docProps/app.xml"));
}

TEST_F(SavedBook, NewCellsGoInRowAndColumnOrder)
{
    DispatchRef cells = roundTrip(mainBook(), [&](const DispatchRef& c) {
        cell(c, 3, 5)->put("FormulaR1C1", u("row three"));
        cell(c, 10, 2)->put("Value", Variant(3.5));
        cell(c, 1, 9)->put("Value", Variant(true));
        cell(c, 4, 1)->put("FormulaR1C1", u("first"));
    });
    EXPECT_EQ(text(cell(cells, 3, 5)->get("Value")), "row three");
    EXPECT_EQ(toDouble(cell(cells, 10, 2)->get("Value")), 3.5);
    EXPECT_EQ(cell(cells, 1, 9)->get("Value").type(), VarType::kBool);
    EXPECT_EQ(text(cell(cells, 4, 1)->get("Value")), "first");
    EXPECT_EQ(text(cell(cells, 3, 2)->get("Value")), "2");
    EXPECT_EQ(text(cell(cells, 4, 3)->get("Value")), "shared twice");
    const std::string xml = part("xl/worksheets/sheet2.xml");
    EXPECT_NE(xml.find("<row r=\"3\"><c r=\"A3\"><v>1</v></c><c r=\"B3\"><v>2</v></c><c r=\"E3\" t=\"s\">"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<row r=\"4\"><c r=\"A4\" t=\"s\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("</row><row r=\"10\"><c r=\"B10\"><v>3.5</v></c></row></sheetData>"),
              std::string::npos);
    EXPECT_NE(xml.find("<dimension ref=\"A1:I10\"/>"), std::string::npos) << xml;
}

TEST_F(SavedBook, TableHeadersKeepTheirColumnNames)
{
    XlsxContent content = mainBook();
    content.sheets[2].after = "<tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>";
    content.extra = {
        {"xl/worksheets/_rels/sheet2.xml.rels",
         "<Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
         "Id=\"rId1\" Type=\"" +
             std::string(kRel) + "/table\" Target=\"../tables/table1.xml\"/></Relationships>"},
        {"xl/tables/table1.xml",
         std::string(kHead) + "<table xmlns=\"" + kMain +
             "\" id=\"1\" name=\"T\" displayName=\"T\" ref=\"A1:B3\"><autoFilter "
             "ref=\"A1:B3\"/><tableColumns "
             "count=\"2\"><tableColumn id=\"1\" name=\"Hello\"/><tableColumn id=\"2\" name=\"12.5\"/>"
             "</tableColumns></table>"}};
    roundTrip(content, [&](const DispatchRef& c) {
        cell(c, 1, 1)->put("FormulaR1C1", u("Hello & bye"));
        cell(c, 1, 2)->put("FormulaR1C1", u("13"));
        cell(c, 2, 1)->put("FormulaR1C1", u("body cell"));
        cell(c, 1, 3)->put("FormulaR1C1", u("outside"));
    });
    const std::string table = part("xl/tables/table1.xml");
    EXPECT_NE(
        table.find("<tableColumn id=\"1\" name=\"Hello &amp; bye\"/><tableColumn id=\"2\" name=\"13\"/>"),
        std::string::npos)
        << table;
}

TEST_F(ExcelServerTest, CellsThatCannotBeChangedRaiseAndStayUnchanged)
{
    XlsxContent content = mainBook();
    content.sheets[2].data +=
        "<row r=\"6\"><c r=\"A6\"><f t=\"shared\" ref=\"A6:A7\" si=\"0\">B6</f><v>1</v></c></row>"
        "<row r=\"7\"><c r=\"A7\"><f t=\"shared\" si=\"0\"/><v>2</v></c>"
        "<c r=\"B7\"><f t=\"array\" ref=\"B7:C7\">B1:C1</f><v>3</v></c><c r=\"C7\"><v>4</v></c></row>";
    const std::string bytes = buildXlsx(content);
    const std::string file = write("book.xlsx", bytes);
    DispatchRef book = add(file);
    DispatchRef cells = obj(sheet(book, u("Values"))->get("Cells"));
    EXPECT_THROW(cell(cells, 6, 1)->put("FormulaR1C1", u("x")), AutomationError);
    EXPECT_THROW(cell(cells, 7, 2)->put("FormulaR1C1", u("x")), AutomationError);
    EXPECT_THROW(cell(cells, 7, 3)->put("FormulaR1C1", u("x")), AutomationError);
    EXPECT_EQ(text(cell(cells, 6, 1)->get("FormulaR1C1")), "=B6");
    cell(cells, 7, 1)->put("FormulaR1C1", u("2"));
    EXPECT_EQ(text(cell(cells, 7, 1)->get("FormulaR1C1")), "2");

    DispatchRef locked = obj(sheet(book, u("Locked"))->get("Cells"));
    try {
        cell(locked, 1, 1)->put("FormulaR1C1", u("x"));
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_NE(e.message().find("protected"), std::string::npos);
    }
    EXPECT_THROW(cell(locked, 5, 5)->put("FormulaR1C1", u("x")), AutomationError);
    cell(locked, 1, 2)->put("FormulaR1C1", u("unlocked cell")); // its style unlocks it
    EXPECT_EQ(text(cell(locked, 1, 2)->get("Value")), "unlocked cell");
    EXPECT_EQ(text(cell(locked, 1, 1)->get("Value")), "prot");
    EXPECT_THROW(cell(cells, 1, 1)->put("Value", Variant::fromError(0x800A07D7)), AutomationError);
    EXPECT_THROW(cell(cells, 1, 1)->put("Value", Variant(std::u16string(32768, u'x'))), AutomationError);
    book->call("Close", {Variant(false), Variant::missing(), Variant::missing()});
    EXPECT_EQ(test::readFileBytes(file), bytes);
}

TEST_F(ExcelServerTest, WithoutSharedStringsTextsAreInline)
{
    XlsxContent content;
    content.sharedStrings = false;
    SheetContent s;
    s.name = "Values";
    s.data = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>old</t></is></c></row>";
    content.sheets = {s};
    const std::string bytes = buildXlsx(content);
    const std::string file = write("inline.xlsx", bytes);
    DispatchRef book = add(file);
    cell(obj(sheet(book, Variant(1))->get("Cells")), 1, 1)->put("FormulaR1C1", u(" new "));
    book->call("SaveCopyAs", {u(path("copy.xlsx"))});
    const std::string xml = test::readZip(posix("copy.xlsx"))["xl/worksheets/sheet1.xml"];
    EXPECT_NE(xml.find("<c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> new </t></is></c>"),
              std::string::npos)
        << xml;
    // SaveCopyAs to another name leaves the source as it was.
    EXPECT_EQ(test::readFileBytes(file), bytes);
}

TEST_F(ExcelServerTest, CloseSaveAndQuit)
{
    const std::string file = write("book.xlsx", buildXlsx(mainBook()));
    const std::string original = test::readFileBytes(file);
    DispatchRef workbooks = obj(app->get("Workbooks"));
    DispatchRef first = add(file);
    DispatchRef second = add(file);
    EXPECT_EQ(text(second->get("Name")), "book2");
    EXPECT_EQ(toInt32(workbooks->get("Count")), 2);
    DispatchRef a1 = appCell(1, 1);
    a1->put("FormulaR1C1", u("changed"));
    EXPECT_FALSE(toBool(second->get("Saved")));
    second->call("Close", {Variant(false)});
    EXPECT_EQ(toInt32(workbooks->get("Count")), 1);
    EXPECT_EQ(test::readFileBytes(file), original);
    try {
        a1->get("Value");
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), kErrorObjectDeleted);
    }
    // The first workbook is active again.
    EXPECT_EQ(text(obj(app->get("ActiveWorkbook"))->get("Name")), "book1");
    // A workbook made by Add has no file of its own.
    EXPECT_THROW(first->call("Save"), AutomationError);

    // Open works on the file itself: Save writes it back.
    DispatchRef opened = obj(workbooks->call("Open", {u(file)}));
    EXPECT_EQ(text(opened->get("Name")), "book.xlsx");
    EXPECT_EQ(text(opened->get("FullName")), file);
    cell(obj(sheet(opened, u("Values"))->get("Cells")), 1, 1)->put("Value", u("saved"));
    EXPECT_FALSE(toBool(opened->get("Saved")));
    opened->call("Save");
    EXPECT_TRUE(toBool(opened->get("Saved")));
    EXPECT_NE(test::readFileBytes(file), original);
    // Opening an open file gives its workbook.
    EXPECT_EQ(text(obj(workbooks->call("Open", {u(file)}))->get("Name")), "book.xlsx");
    EXPECT_EQ(toInt32(workbooks->get("Count")), 2);

    // Open with the read-only argument: Save refuses.
    opened->call("Close", {Variant(false)});
    const Variant m = Variant::missing();
    DispatchRef readOnly = obj(
        workbooks->call("Open", {u(file), Variant(0), Variant(true), m, m, m, m, m, m, m, m, m, m, m, m}));
    cell(obj(sheet(readOnly, u("Values"))->get("Cells")), 1, 1)->put("Value", u("not saved"));
    const std::string saved = test::readFileBytes(file);
    EXPECT_THROW(readOnly->call("Save"), AutomationError);
    EXPECT_THROW(readOnly->call("Close", {Variant(true)}), AutomationError);
    readOnly->call("Close", {Variant(false)});
    EXPECT_EQ(test::readFileBytes(file), saved);
    opened = obj(workbooks->call("Open", {u(file)}));

    DispatchRef used = obj(sheet(opened, u("Values"))->get("UsedRange"));
    EXPECT_EQ(toInt32(used->get("Row")), 1);
    EXPECT_EQ(toInt32(obj(used->get("Rows"))->get("Count")), 4);
    EXPECT_EQ(toInt32(obj(used->get("Columns"))->get("Count")), 8);

    EXPECT_FALSE(toBool(app->get("Visible")));
    app->put("Visible", Variant(-1));
    EXPECT_TRUE(toBool(app->get("Visible")));
    app->call("Quit");
    try {
        app->get("Workbooks");
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), kErrorServerUnavailable);
    }
    EXPECT_THROW(first->get("Name"), AutomationError);
}

TEST_F(ExcelServerTest, ZipBombsAreRefused)
{
    XlsxContent content = mainBook();
    content.sheets[2].data += "<row r=\"20\"><c r=\"A20\" t=\"inlineStr\"><is><t>" +
                              std::string(200000, 'x') + "</t></is></c></row>";
    const std::string file = write("bomb.xlsx", buildXlsx(content));
    PackageLimits limits;
    limits.maxPartSize = 100000;
    EXPECT_THROW(SpreadsheetDocument::load(file, limits), AutomationError);
    limits = PackageLimits();
    limits.maxTotalSize = 100000;
    EXPECT_THROW(SpreadsheetDocument::load(file, limits), AutomationError);
    EXPECT_NO_THROW(SpreadsheetDocument::load(file));

    limits = PackageLimits();
    limits.maxPartSize = 10;
    EXPECT_THROW(
        SpreadsheetDocument::load(write("big.csv", test::buildCsv({{"0123456789", "x"}}, ',', "\n")), limits),
        AutomationError);

    // A cell with elements nested deeper than the bound is refused when the workbook is read, before a
    // tree that deep is built (taking it apart would overflow the stack).
    std::string deep;
    for (int i = 0; i < 200000; ++i)
        deep += "<x>";
    for (int i = 0; i < 200000; ++i)
        deep += "</x>";
    XlsxContent nested;
    SheetContent s;
    s.name = "N";
    s.data = "<row r=\"1\"><c r=\"A1\"><v>4</v>" + deep + "</c></row>";
    nested.sheets = {s};
    try {
        add(write("deep.xlsx", buildXlsx(nested)));
        ADD_FAILURE() << "a workbook nested 200,000 deep was read";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.message(), "The document part xl/worksheets/sheet1.xml is nested too deeply.");
    }
}

TEST_F(ExcelServerTest, DateSystemOf1904)
{
    XlsxContent content;
    content.workbookPr = " date1904=\"1\"";
    SheetContent s;
    s.name = "D";
    // Rows out of order are read in order.
    s.data = "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row>"
             "<row r=\"1\"><c r=\"A1\" s=\"2\"><v>0</v></c><c r=\"B1\" t=\"d\"><v>1904-01-02</v></c></row>";
    content.sheets = {s};
    add(write("d.xlsx", buildXlsx(content)));
    EXPECT_EQ(text(appCell(1, 1)->get("Text")), "1/1/1904");
    EXPECT_EQ(toDouble(appCell(1, 2)->get("Value")), 1.0);
    EXPECT_EQ(text(appCell(2, 1)->get("Value")), "2");
}

TEST_F(ExcelServerTest, CsvTablesAreTextsAndKeepTheirForm)
{
    const std::string bytes = "find;replace;opts\r\n\"007\";\"a \"\"quoted\"\" ; text\";c-w\r\n12.50;;\r\n"
                              "\"multi\nline\";x;\r\nlast;row";
    const std::string file = write("table.csv", bytes);
    DispatchRef book = add(file);
    EXPECT_EQ(text(book->get("Name")), "table1");
    DispatchRef ws = obj(app->get("ActiveSheet"));
    EXPECT_EQ(text(ws->get("Name")), "table");
    EXPECT_EQ(toInt32(obj(book->get("Worksheets"))->get("Count")), 1);
    struct Expect
    {
        int row, column;
        VarType type;
        const char* value;
    };
    const Expect expects[] = {
        {1, 1, VarType::kBStr, "find"},
        {2, 1, VarType::kBStr, "007"},
        {2, 2, VarType::kBStr, "a \"quoted\" ; text"},
        {2, 3, VarType::kBStr, "c-w"},
        {3, 1, VarType::kBStr, "12.50"},
        {3, 2, VarType::kEmpty, ""},
        {3, 3, VarType::kEmpty, ""},
        {4, 1, VarType::kBStr, "multi\nline"},
        {5, 2, VarType::kBStr, "row"},
        {6, 1, VarType::kEmpty, ""},
    };
    for (const Expect& e : expects) {
        DispatchRef c = appCell(e.row, e.column);
        EXPECT_EQ(c->get("Value").type(), e.type) << e.row << "," << e.column;
        EXPECT_EQ(text(c->get("Value")), e.value);
        EXPECT_EQ(text(c->get("Text")), e.value);
        EXPECT_EQ(toInt32(obj(c->get("Interior"))->get("Color")), 16777215);
        EXPECT_FALSE(toBool(obj(c->get("Font"))->get("Bold")));
    }
    EXPECT_EQ(walk(ws, "2.5"), std::vector<std::string>{"A3"});

    // Saving: unchanged records stay byte for byte, changed ones keep separator, quoting and line end.
    appCell(3, 2)->put("FormulaR1C1", u("new;value"));
    appCell(5, 1)->put("FormulaR1C1", u("end"));
    book->call("SaveCopyAs", {u(path("copy.csv"))});
    EXPECT_EQ(test::readFileBytes(path("copy.csv")),
              "find;replace;opts\r\n\"007\";\"a \"\"quoted\"\" ; text\";c-w\r\n12.50;\"new;value\";\r\n"
              "\"multi\nline\";x;\r\nend;row");
    book->call("Close", {Variant(false)});
    EXPECT_EQ(test::readFileBytes(file), bytes);
}

TEST_F(ExcelServerTest, CsvEncodings)
{
    add(write("bom.csv", "\xEF\xBB\xBF\xC3\xA4pfel,x\n"));
    EXPECT_EQ(text(appCell(1, 1)->get("Value")), "\xC3\xA4pfel");
    add(write("ansi.csv", "\xE4pfel;\x80\n"));
    EXPECT_EQ(text(appCell(1, 1)->get("Value")), "\xC3\xA4pfel");
    EXPECT_EQ(text(appCell(1, 2)->get("Value")), "\xE2\x82\xAC");
    EXPECT_EQ(toInt32(obj(app->get("Workbooks"))->get("Count")), 2);
    // A folder named like a table is not a file.
    test::makeFolder(path("dir.csv"));
    EXPECT_THROW(add(path("dir.csv")), AutomationError);
}

TEST_F(ExcelServerTest, FailedSavesAndReadsChangeNothing)
{
    ScopedFaultClear faults;
    const std::string file = write("book.xlsx", buildXlsx(mainBook()));
    const std::string original = test::readFileBytes(file);
    DispatchRef book = add(file);
    appCell(1, 1)->put("FormulaR1C1", u("changed"));
    injectFault(file, 112, kFaultWrite);
    EXPECT_THROW(book->call("SaveCopyAs", {u(file)}), AutomationError);
    clearFaults();
    EXPECT_EQ(test::readFileBytes(file), original);
    EXPECT_EQ(test::listNames(drive.root()), std::vector<std::string>{"book.xlsx"});
    // The workbook is still usable: the next save succeeds.
    book->call("SaveCopyAs", {u(file)});
    EXPECT_NE(test::readFileBytes(file), original);

    injectFault(file, 32, kFaultOpen);
    EXPECT_THROW(add(file), AutomationError);
    const std::string csv = write("t.csv", test::buildCsv({{"a", "b"}}));
    injectFault(csv, 32, kFaultOpen);
    EXPECT_THROW(add(csv), AutomationError);
}

TEST_F(ExcelServerTest, PrefixedElementsAndWorkbookProtection)
{
    XlsxContent content;
    content.workbookProtection = "<workbookProtection lockStructure=\"1\"/>";
    SheetContent s;
    s.name = "P";
    content.sheets = {s};
    content.strings = {"<t>old</t>"};
    auto entries = test::xlsxEntries(content);
    for (auto& [name, bytes] : entries)
        if (name == "xl/worksheets/sheet1.xml")
            bytes = std::string(kHead) + "<x:worksheet xmlns:x=\"" + kMain +
                    "\"><x:sheetData><x:row r=\"2\"><x:c r=\"B2\" t=\"s\"><x:v>0</x:v></x:c></x:row>"
                    "</x:sheetData></x:worksheet>";
    const std::string file = write("p.xlsx", test::buildZip(entries));
    DispatchRef book = add(file);
    EXPECT_EQ(text(appCell(2, 2)->get("Value")), "old");
    appCell(2, 2)->put("FormulaR1C1", u("new"));
    appCell(1, 3)->put("FormulaR1C1", u("C1"));
    appCell(2, 1)->put("FormulaR1C1", u("A2"));
    book->call("SaveCopyAs", {u(file)});
    // "old" is no cell's any more: the last string ("A2") takes its place.
    const std::string xml = test::readZip(posix("p.xlsx"))["xl/worksheets/sheet1.xml"];
    EXPECT_NE(
        xml.find("<x:sheetData><x:row r=\"1\"><x:c r=\"C1\" t=\"s\"><x:v>2</x:v></x:c></x:row>"
                 "<x:row r=\"2\"><x:c r=\"A2\" t=\"s\"><x:v>0</x:v></x:c><x:c r=\"B2\" t=\"s\"><x:v>1</x:v>"
                 "</x:c></x:row></x:sheetData>"),
        std::string::npos)
        << xml;
    EXPECT_EQ(test::readZip(posix("p.xlsx"))["xl/sharedStrings.xml"].find(">old<"), std::string::npos);
    EXPECT_TRUE(toBool(app->get("DisplayAlerts")) == false);
    EXPECT_TRUE(toBool(app->get("AskToUpdateLinks")) == false);
}

} // namespace
} // namespace wux::platform::automation
