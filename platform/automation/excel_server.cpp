#include "platform/automation/excel_server.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/excel_pattern.h"
#include "platform/automation/excel_workbook.h"
#include "platform/files.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

constexpr std::int32_t kErrorBadIndex = static_cast<std::int32_t>(0x8002000B);
constexpr std::int32_t kLookInValues = -4163;
constexpr std::int32_t kLookInFormulas = -4123;
constexpr std::int32_t kLookInComments = -4144;

[[noreturn]] void raise(std::int32_t code, const std::string& message)
{
    throw AutomationError(code, kExcelSource, message);
}

struct BookState
{
    std::unique_ptr<SpreadsheetDocument> doc;
    std::string path;          // the file the workbook was made from (Add) or opened as (Open)
    bool opened = false;       // made by Open: Save and Close(True) write to path
    bool readOnly = false;     // opened read-only: Save refuses
    std::uint64_t savedAt = 0; // the document's change count when it was last saved to path
    std::u16string name;
    int activeSheet = 0; // 0-based among the worksheets; -1 when a chart sheet is shown
    bool closed = false;
};
using BookPtr = std::shared_ptr<BookState>;

struct AppState
{
    bool displayAlerts = true;
    bool askToUpdateLinks = true;
    bool visible = false;
    bool quit = false;
    std::vector<BookPtr> books;
    BookPtr active;
    std::map<std::u16string, int> addCounters;
};
using AppPtr = std::shared_ptr<AppState>;

void closeBook(AppState& app, const BookPtr& book)
{
    book->closed = true;
    book->doc.reset();
    app.books.erase(std::remove(app.books.begin(), app.books.end(), book), app.books.end());
    if (app.active == book)
        app.active = app.books.empty() ? nullptr : app.books.back();
}

// Base of every object of this server: the application, and below a workbook, the workbook and sheet.
class ExcelObject : public Dispatch
{
public:
    ExcelObject(AppPtr app, BookPtr book = nullptr, int sheet = -1)
        : app_(std::move(app)), book_(std::move(book)), sheet_(sheet)
    {
    }
    std::string errorSource() const override { return kExcelSource; }

    AppState& app() const
    {
        if (app_->quit)
            raise(kErrorServerUnavailable, "The RPC server is unavailable.");
        return *app_;
    }
    BookState& book() const
    {
        app();
        if (!book_ || book_->closed)
            raise(kErrorObjectDeleted, "The workbook has been closed.");
        return *book_;
    }
    SpreadsheetSheet& sheet() const { return book().doc->worksheet(static_cast<std::size_t>(sheet_)); }
    const AppPtr& appPtr() const { return app_; }
    const BookPtr& bookPtr() const { return book_; }
    int sheetIndex() const { return sheet_; }

private:
    AppPtr app_;
    BookPtr book_;
    int sheet_;
};

template <class T, class... A> Variant make(A&&... args)
{
    return Variant(DispatchRef(std::make_shared<T>(std::forward<A>(args)...)));
}

Variant nothing()
{
    return Variant(DispatchRef());
}

// ---- Interior and Font ----

class Interior : public ExcelObject
{
public:
    Interior(AppPtr app, BookPtr book, int sheet, std::int32_t row, std::int32_t column)
        : ExcelObject(std::move(app), std::move(book), sheet), row_(row), column_(column)
    {
    }

protected:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Interior>(t).get("Color", [](Interior& i, const Args&) {
                return Variant(static_cast<double>(i.sheet().interiorColor(i.row_, i.column_)));
            });
            return t;
        }();
        return table;
    }

private:
    std::int32_t row_, column_;
};

class Font : public ExcelObject
{
public:
    Font(AppPtr app, BookPtr book, int sheet, std::int32_t row, std::int32_t column)
        : ExcelObject(std::move(app), std::move(book), sheet), row_(row), column_(column)
    {
    }
    CellFont font() const { return sheet().font(row_, column_); }

protected:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Font>(t)
                .get("Bold", [](Font& f, const Args&) { return Variant(f.font().bold); })
                .get("Italic", [](Font& f, const Args&) { return Variant(f.font().italic); })
                .get("Color",
                     [](Font& f, const Args&) { return Variant(static_cast<double>(f.font().color)); })
                .get("Size", [](Font& f, const Args&) { return Variant(f.font().size); })
                .get("Name", [](Font& f, const Args&) { return Variant(f.font().name); })
                .get("UnderLine", [](Font& f, const Args&) { return Variant(f.font().underline); });
            return t;
        }();
        return table;
    }

private:
    std::int32_t row_, column_;
};

// ---- Range ----

class Range : public ExcelObject
{
public:
    enum class Span
    {
        kCells,
        kRows,
        kColumns,
    };
    Range(AppPtr app, BookPtr book, int sheet, CellRect rect, Span span = Span::kCells)
        : ExcelObject(std::move(app), std::move(book), sheet), rect_(rect), span_(span)
    {
    }
    const CellRect& rect() const { return rect_; }

    Variant item(const Args& a) const
    {
        sheet();
        std::int64_t row = 0, column = 0;
        if (a.size() >= 2 && !a.missing(1)) {
            row = static_cast<std::int64_t>(rect_.top) + a.int32(0) - 1;
            column = static_cast<std::int64_t>(rect_.left) + a.int32(1) - 1;
        } else {
            const std::int64_t n = a.int32(0);
            const std::int64_t width = static_cast<std::int64_t>(rect_.right) - rect_.left + 1;
            if (n < 1)
                raise(kErrorInvalidArgument, "The cell lies outside the sheet.");
            row = rect_.top + (n - 1) / width;
            column = rect_.left + (n - 1) % width;
        }
        if (row < 1 || row > kSheetRows || column < 1 || column > kSheetColumns)
            raise(kErrorInvalidArgument, "The cell lies outside the sheet.");
        const auto r = static_cast<std::int32_t>(row), c = static_cast<std::int32_t>(column);
        return make<Range>(appPtr(), bookPtr(), sheetIndex(), CellRect{r, c, r, c});
    }

    void enter(const Variant& value) const
    {
        if (rect_.top != rect_.bottom || rect_.left != rect_.right)
            raise(kErrorNotImplemented, "Only one cell at a time can be changed.");
        sheet().enterValue(rect_.top, rect_.left, value);
    }

    Variant count() const
    {
        const std::int64_t rows = static_cast<std::int64_t>(rect_.bottom) - rect_.top + 1;
        const std::int64_t columns = static_cast<std::int64_t>(rect_.right) - rect_.left + 1;
        const std::int64_t n = span_ == Span::kRows      ? rows
                               : span_ == Span::kColumns ? columns
                                                         : rows * columns;
        if (n > 0x7FFFFFFF)
            raise(kErrorOverflow, "Overflow.");
        return Variant(static_cast<std::int32_t>(n));
    }

    void activate() const
    {
        BookState& b = book();
        if (b.activeSheet != sheetIndex())
            raise(kErrorException, "The cell cannot be activated: its sheet is not the active sheet.");
        SpreadsheetSheet& s = sheet();
        s.activeRow = rect_.top;
        s.activeColumn = rect_.left;
        app().active = bookPtr();
    }

    Variant find(const Args& a) const
    {
        SpreadsheetSheet& s = sheet();
        if (a.missing(0))
            raise(kErrorParamNotFound, "Parameter not found.");
        const std::u16string what = variantToText(a[0]);
        std::uint64_t after = cellKey(rect_.top, rect_.left);
        if (!a.missing(1) && !a[1].isNothing()) {
            const Variant& v = a[1];
            auto* cell = v.type() == VarType::kDispatch ? dynamic_cast<Range*>(v.dispatch().get()) : nullptr;
            if (!cell || cell->bookPtr() != bookPtr() || cell->sheetIndex() != sheetIndex() ||
                !rect_.contains(cell->rect().top, cell->rect().left))
                raise(kErrorInvalidArgument, "Cells.Find: After is not a cell of the range.");
            after = cellKey(cell->rect().top, cell->rect().left);
        }
        CellSearch how;
        const std::int32_t lookIn = a.int32(2, kLookInValues);
        if (lookIn == kLookInComments)
            return nothing();
        if (lookIn != kLookInValues && lookIn != kLookInFormulas)
            raise(kErrorInvalidArgument, "Cells.Find: unknown LookIn value.");
        how.formulas = lookIn == kLookInFormulas;
        const std::int32_t lookAt = a.int32(3, 2);
        if (lookAt != 1 && lookAt != 2)
            raise(kErrorInvalidArgument, "Cells.Find: unknown LookAt value.");
        const std::int32_t order = a.int32(4, 1);
        if (order != 1 && order != 2)
            raise(kErrorInvalidArgument, "Cells.Find: unknown SearchOrder value.");
        how.byColumns = order == 2;
        const std::int32_t direction = a.int32(5, 1);
        if (direction != 1 && direction != 2)
            raise(kErrorInvalidArgument, "Cells.Find: unknown SearchDirection value.");
        how.previous = direction == 2;
        const CellPattern pattern(what, a.boolean(6, false), lookAt == 1);
        const auto key = s.find(pattern, after, rect_, how);
        if (!key)
            return nothing();
        const std::int32_t r = keyRow(*key), c = keyColumn(*key);
        return make<Range>(appPtr(), bookPtr(), sheetIndex(), CellRect{r, c, r, c});
    }

protected:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Range>(t)
                .get(
                    "Item", [](Range& r, const Args& a) { return r.item(a); }, 1, 2)
                .get("Value",
                     [](Range& r, const Args&) { return r.sheet().value(r.rect_.top, r.rect_.left); })
                .put("Value", [](Range& r, const Variant& v) { r.enter(v); })
                .get("Text",
                     [](Range& r, const Args&) { return Variant(r.sheet().text(r.rect_.top, r.rect_.left)); })
                .get("Formula",
                     [](Range& r, const Args&) {
                         return Variant(r.sheet().formula(r.rect_.top, r.rect_.left));
                     })
                .put("Formula", [](Range& r, const Variant& v) { r.enter(v); })
                .get("FormulaR1C1",
                     [](Range& r, const Args&) {
                         return Variant(r.sheet().formula(r.rect_.top, r.rect_.left));
                     })
                .put("FormulaR1C1", [](Range& r, const Variant& v) { r.enter(v); })
                .get("Row",
                     [](Range& r, const Args&) {
                         r.sheet();
                         return Variant(r.rect_.top);
                     })
                .get("Column",
                     [](Range& r, const Args&) {
                         r.sheet();
                         return Variant(r.rect_.left);
                     })
                .get("Count", [](Range& r, const Args&) { return r.count(); })
                .get("Rows",
                     [](Range& r, const Args&) {
                         r.sheet();
                         return make<Range>(r.appPtr(), r.bookPtr(), r.sheetIndex(), r.rect_, Span::kRows);
                     })
                .get("Columns",
                     [](Range& r, const Args&) {
                         r.sheet();
                         return make<Range>(r.appPtr(), r.bookPtr(), r.sheetIndex(), r.rect_, Span::kColumns);
                     })
                .method("Activate",
                        [](Range& r, const Args&) {
                            r.activate();
                            return Variant(true);
                        })
                .method(
                    "Find", [](Range& r, const Args& a) { return r.find(a); }, 1, 9)
                .get("Interior",
                     [](Range& r, const Args&) {
                         r.sheet();
                         return make<Interior>(r.appPtr(), r.bookPtr(), r.sheetIndex(), r.rect_.top,
                                               r.rect_.left);
                     })
                .get("Font", [](Range& r, const Args&) {
                    r.sheet();
                    return make<Font>(r.appPtr(), r.bookPtr(), r.sheetIndex(), r.rect_.top, r.rect_.left);
                });
            return t;
        }();
        return table;
    }

private:
    CellRect rect_;
    Span span_;
};

Variant wholeSheet(const ExcelObject& from, int sheet)
{
    return make<Range>(from.appPtr(), from.bookPtr(), sheet, CellRect{});
}

// ---- Worksheet ----

class Worksheet : public ExcelObject
{
public:
    using ExcelObject::ExcelObject;

    void activate() const
    {
        sheet();
        book().activeSheet = sheetIndex();
        app().active = bookPtr();
    }

    Variant usedRange() const
    {
        const std::vector<std::uint64_t>& keys = sheet().cellKeys();
        if (keys.empty())
            return make<Range>(appPtr(), bookPtr(), sheetIndex(), CellRect{1, 1, 1, 1});
        CellRect rect{keyRow(keys.front()), kSheetColumns, keyRow(keys.back()), 1};
        for (std::uint64_t key : keys) {
            rect.left = std::min(rect.left, keyColumn(key));
            rect.right = std::max(rect.right, keyColumn(key));
        }
        return make<Range>(appPtr(), bookPtr(), sheetIndex(), rect);
    }

protected:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Worksheet>(t)
                .get("Name", [](Worksheet& w, const Args&) { return Variant(w.sheet().name()); })
                .get("Index",
                     [](Worksheet& w, const Args&) {
                         w.sheet();
                         return Variant(static_cast<std::int32_t>(w.sheetIndex() + 1));
                     })
                .get("ProtectContents",
                     [](Worksheet& w, const Args&) { return Variant(w.sheet().protectContents()); })
                .get("Visible",
                     [](Worksheet& w, const Args&) {
                         return Variant(static_cast<std::int32_t>(w.sheet().visibility()));
                     })
                .method("Activate",
                        [](Worksheet& w, const Args&) {
                            w.activate();
                            return Variant();
                        })
                .get("Cells",
                     [](Worksheet& w, const Args&) {
                         w.sheet();
                         return wholeSheet(w, w.sheetIndex());
                     })
                .get("UsedRange", [](Worksheet& w, const Args&) { return w.usedRange(); });
            return t;
        }();
        return table;
    }
};

// ---- Worksheets ----

class Worksheets : public ExcelObject
{
public:
    using ExcelObject::ExcelObject;

    Variant item(const Variant& which) const
    {
        const SpreadsheetDocument& doc = *book().doc;
        if (which.type() == VarType::kBStr) {
            const std::string name = utf16ToUtf8(which.text());
            for (std::size_t i = 0; i < doc.worksheetCount(); ++i)
                if (equalNoCase(utf16ToUtf8(doc.worksheet(i).name()), name))
                    return make<Worksheet>(appPtr(), bookPtr(), static_cast<int>(i));
            raise(kErrorBadIndex, "The index is out of range.");
        }
        const std::int32_t index = toInt32(which);
        if (index < 1 || static_cast<std::size_t>(index) > doc.worksheetCount())
            raise(kErrorBadIndex, "The index is out of range.");
        return make<Worksheet>(appPtr(), bookPtr(), index - 1);
    }

protected:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Worksheets>(t)
                .get("Count",
                     [](Worksheets& w, const Args&) {
                         return Variant(static_cast<std::int32_t>(w.book().doc->worksheetCount()));
                     })
                .get(
                    "Item", [](Worksheets& w, const Args& a) { return w.item(a[0]); }, 1, 1);
            return t;
        }();
        return table;
    }
};

Variant activeSheetOf(const ExcelObject& from, const BookPtr& book)
{
    if (!book || book->closed || book->activeSheet < 0)
        return nothing();
    return make<Worksheet>(from.appPtr(), book, book->activeSheet);
}

// ---- Workbook ----

class Workbook : public ExcelObject
{
public:
    using ExcelObject::ExcelObject;

    void close(const Args& a) const
    {
        BookState& b = book();
        if (a.boolean(0, false) && b.doc->changeCount() != b.savedAt) {
            if (!a.missing(1))
                b.doc->save(utf16ToUtf8(a.text(1)));
            else if (b.opened && !b.readOnly)
                b.doc->save(b.path);
            else
                raise(kErrorFail, "The workbook has no file to be saved to.");
        }
        closeBook(app(), bookPtr());
    }

protected:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Workbook>(t)
                .get("Worksheets",
                     [](Workbook& w, const Args&) {
                         w.book();
                         return make<Worksheets>(w.appPtr(), w.bookPtr());
                     })
                .get("ActiveSheet",
                     [](Workbook& w, const Args&) {
                         w.book();
                         return activeSheetOf(w, w.bookPtr());
                     })
                .get("Name", [](Workbook& w, const Args&) { return Variant(w.book().name); })
                .get("FullName",
                     [](Workbook& w, const Args&) {
                         const BookState& b = w.book();
                         return b.opened ? Variant::fromUtf8(b.path) : Variant(b.name);
                     })
                .get("WriteReserved",
                     [](Workbook& w, const Args&) { return Variant(w.book().doc->writeReserved()); })
                .get("Saved",
                     [](Workbook& w, const Args&) {
                         const BookState& b = w.book();
                         return Variant(b.doc->changeCount() == b.savedAt);
                     })
                .method("Activate",
                        [](Workbook& w, const Args&) {
                            w.book();
                            w.app().active = w.bookPtr();
                            return Variant();
                        })
                .method("Save",
                        [](Workbook& w, const Args&) {
                            BookState& b = w.book();
                            if (!b.opened)
                                raise(kErrorFail, "The workbook has no file to be saved to.");
                            if (b.readOnly)
                                raise(kErrorFail, "The workbook was opened read-only.");
                            b.doc->save(b.path);
                            b.savedAt = b.doc->changeCount();
                            return Variant();
                        })
                .method(
                    "SaveCopyAs",
                    [](Workbook& w, const Args& a) {
                        w.book().doc->save(utf16ToUtf8(a.text(0)));
                        return Variant();
                    },
                    1, 1)
                .method(
                    "Close",
                    [](Workbook& w, const Args& a) {
                        w.close(a);
                        return Variant();
                    },
                    0, 3);
            return t;
        }();
        return table;
    }
};

// ---- Workbooks ----

class Workbooks : public ExcelObject
{
public:
    using ExcelObject::ExcelObject;

    Variant add(const Args& a) const
    {
        AppState& state = app();
        if (a.missing(0) || a[0].type() != VarType::kBStr)
            raise(kErrorNotImplemented, "A workbook can only be made from a file.");
        auto book = std::make_shared<BookState>();
        book->path = utf16ToUtf8(a[0].text());
        book->doc = SpreadsheetDocument::load(book->path);
        std::u16string base = a[0].text();
        if (const std::size_t slash = base.find_last_of(u"\\/"); slash != std::u16string::npos)
            base.erase(0, slash + 1);
        if (const std::size_t dot = base.rfind(u'.'); dot != std::u16string::npos)
            base.erase(dot);
        const int number = ++state.addCounters[base];
        book->name = base + utf8ToUtf16(std::to_string(number));
        book->activeSheet = book->doc->initialSheet();
        state.books.push_back(book);
        state.active = book;
        return make<Workbook>(appPtr(), book);
    }

    Variant open(const Args& a) const
    {
        AppState& state = app();
        const std::u16string wide = a.text(0);
        const std::string path = utf16ToUtf8(wide);
        for (const BookPtr& b : state.books)
            if (b->opened && sameFile(b->path, path)) {
                state.active = b;
                return make<Workbook>(appPtr(), b);
            }
        auto book = std::make_shared<BookState>();
        book->path = path;
        book->opened = true;
        book->readOnly = a.boolean(2, false);
        book->doc = SpreadsheetDocument::load(path);
        std::u16string name = wide;
        if (const std::size_t slash = name.find_last_of(u"\\/"); slash != std::u16string::npos)
            name.erase(0, slash + 1);
        book->name = name;
        book->activeSheet = book->doc->initialSheet();
        state.books.push_back(book);
        state.active = book;
        return make<Workbook>(appPtr(), book);
    }

    Variant item(const Variant& which) const
    {
        AppState& state = app();
        if (which.type() == VarType::kBStr) {
            for (const BookPtr& b : state.books)
                if (equalNoCase(utf16ToUtf8(b->name), utf16ToUtf8(which.text())))
                    return make<Workbook>(appPtr(), b);
            raise(kErrorBadIndex, "The index is out of range.");
        }
        const std::int32_t index = toInt32(which);
        if (index < 1 || static_cast<std::size_t>(index) > state.books.size())
            raise(kErrorBadIndex, "The index is out of range.");
        return make<Workbook>(appPtr(), state.books[static_cast<std::size_t>(index - 1)]);
    }

protected:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Workbooks>(t)
                .get("Count",
                     [](Workbooks& w, const Args&) {
                         return Variant(static_cast<std::int32_t>(w.app().books.size()));
                     })
                .method(
                    "Add", [](Workbooks& w, const Args& a) { return w.add(a); }, 0, 1)
                .method(
                    "Open", [](Workbooks& w, const Args& a) { return w.open(a); }, 1, 15)
                .get(
                    "Item", [](Workbooks& w, const Args& a) { return w.item(a[0]); }, 1, 1)
                .method("Close", [](Workbooks& w, const Args&) {
                    AppState& state = w.app();
                    while (!state.books.empty())
                        closeBook(state, state.books.back());
                    return Variant();
                });
            return t;
        }();
        return table;
    }
};

// ---- Application ----

class Application : public ExcelObject
{
public:
    using ExcelObject::ExcelObject;

    const BookPtr& activeBook() const
    {
        const BookPtr& b = app().active;
        if (!b || b->closed)
            raise(kErrorException, "There is no active workbook.");
        return b;
    }

protected:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Application>(t)
                .get("DisplayAlerts",
                     [](Application& a, const Args&) { return Variant(a.app().displayAlerts); })
                .put("DisplayAlerts",
                     [](Application& a, const Variant& v) { a.app().displayAlerts = toBool(v); })
                .get("AskToUpdateLinks",
                     [](Application& a, const Args&) { return Variant(a.app().askToUpdateLinks); })
                .put("AskToUpdateLinks",
                     [](Application& a, const Variant& v) { a.app().askToUpdateLinks = toBool(v); })
                .get("Visible", [](Application& a, const Args&) { return Variant(a.app().visible); })
                .put("Visible", [](Application& a, const Variant& v) { a.app().visible = toBool(v); })
                .get("Workbooks",
                     [](Application& a, const Args&) {
                         a.app();
                         return make<Workbooks>(a.appPtr());
                     })
                .get("ActiveWorkbook",
                     [](Application& a, const Args&) {
                         const BookPtr& b = a.app().active;
                         return b && !b->closed ? make<Workbook>(a.appPtr(), b) : nothing();
                     })
                .get("ActiveSheet",
                     [](Application& a, const Args&) { return activeSheetOf(a, a.app().active); })
                .get("ActiveCell",
                     [](Application& a, const Args&) {
                         const BookPtr& b = a.app().active;
                         if (!b || b->closed || b->activeSheet < 0)
                             return nothing();
                         const SpreadsheetSheet& s =
                             b->doc->worksheet(static_cast<std::size_t>(b->activeSheet));
                         return make<Range>(
                             a.appPtr(), b, b->activeSheet,
                             CellRect{s.activeRow, s.activeColumn, s.activeRow, s.activeColumn});
                     })
                .get("Cells",
                     [](Application& a, const Args&) {
                         const BookPtr& b = a.activeBook();
                         if (b->activeSheet < 0)
                             raise(kErrorException, "The active sheet is not a worksheet.");
                         return make<Range>(a.appPtr(), b, b->activeSheet, CellRect{});
                     })
                .get("Worksheets",
                     [](Application& a, const Args&) { return make<Worksheets>(a.appPtr(), a.activeBook()); })
                .method("Quit", [](Application& a, const Args&) {
                    AppState& state = a.app();
                    while (!state.books.empty())
                        closeBook(state, state.books.back());
                    state.quit = true;
                    return Variant();
                });
            return t;
        }();
        return table;
    }
};

} // namespace

DispatchRef createExcelApplication()
{
    return std::make_shared<Application>(std::make_shared<AppState>());
}

} // namespace wux::platform::automation
