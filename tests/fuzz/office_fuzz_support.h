// Shared parts of the office-server targets: each writes its input as a document on drive c:, opens it
// through the server's late-bound interface, searches, changes one hit, saves into a new file and opens
// that again. An AutomationError is an accepted answer to a bad package; a crash, a sanitizer report, a
// run beyond its budget, an object left alive or a changed source file is a fault.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <zip.h>

#include "fuzz_support.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/variant.h"

namespace wux::fuzz {

namespace automation = platform::automation;
using automation::DispatchRef;
using automation::Variant;

// Once per process: drive c: and an initialised thread.
inline void initOfficeTarget()
{
    mapTempDrive();
    automation::coInitialize();
}

inline DispatchRef obj(const Variant& value)
{
    return automation::asDispatch(value);
}

inline Variant text(std::string_view utf8)
{
    return Variant::fromUtf8(utf8);
}

// Prints an accepted error when WUX_FUZZ_VERBOSE is set (to see how far an input gets).
inline void noteError(const automation::AutomationError& error)
{
    if (std::getenv("WUX_FUZZ_VERBOSE") != nullptr)
        std::fprintf(stderr, "accepted error: %s\n", error.what());
}

// The first letter or digit of a text as the find text (a hit is then likely), else fallback.
inline std::u16string findTextOf(std::u16string_view text, std::u16string_view fallback)
{
    for (const char16_t c : text)
        if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
            return std::u16string(1, c);
    return std::u16string(fallback);
}

// The package a run opens. An input that starts like a zip file ("PK") is the file itself, so the zip
// reader meets every damage; any other input is a list of entries, "name\0bytes\0name\0bytes...", stored
// uncompressed into a new zip, so that the XML of the parts is fuzzed past the zip checksums.
inline std::string packageOf(std::string_view input)
{
    if (input.substr(0, 2) == "PK")
        return std::string(input);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    check(memory != nullptr, "cannot make a zip in memory");
    zip_source_keep(memory);
    zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    check(archive != nullptr, "cannot make a zip in memory");
    for (std::size_t i = 0; !input.empty() && i < 64; ++i) {
        const std::size_t nameEnd = input.find('\0');
        const std::string name(input.substr(0, nameEnd));
        input = nameEnd == std::string_view::npos ? std::string_view() : input.substr(nameEnd + 1);
        const std::size_t dataEnd = input.find('\0');
        const std::string_view bytes = input.substr(0, dataEnd);
        input = dataEnd == std::string_view::npos ? std::string_view() : input.substr(dataEnd + 1);
        zip_source_t* part = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        if (part == nullptr)
            continue;
        const zip_int64_t index = zip_file_add(archive, name.c_str(), part, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(part); // a bad or repeated name: the entry is left out
            continue;
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    check(zip_close(archive) == 0, "cannot write a zip in memory");
    std::string out;
    if (zip_source_open(memory) == 0) {
        zip_source_seek(memory, 0, SEEK_END);
        const zip_int64_t length = zip_source_tell(memory);
        zip_source_seek(memory, 0, SEEK_SET);
        out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        if (!out.empty())
            check(zip_source_read(memory, out.data(), out.size()) == static_cast<zip_int64_t>(out.size()),
                  "cannot read a zip in memory");
        zip_source_close(memory);
    }
    zip_source_free(memory);
    return out;
}

// The change a run makes to its first hit, chosen by the input's size so that every edit path is
// reached: an appended text, a deletion, paragraph and line breaks with a tab, a character beyond the
// basic plane.
inline std::u16string changedHit(std::u16string_view hit, std::size_t inputSize)
{
    switch (inputSize % 4) {
    case 0:
        return std::u16string(hit) + u"xy";
    case 1:
        return u"";
    case 2:
        return u"a\rb\tc\v" + std::u16string(hit);
    default:
        return std::u16string(hit) + u"\u00e9\U0001F600";
    }
}

// One run: writes the input as "c:\in<extension>" and checks, when it ends, that the source file is
// unchanged, that no automation object outlived the run and that no other file was left on the drive.
class OfficeRun
{
public:
    OfficeRun(std::string_view input, std::string_view extension)
        : input_(input), source_("in" + std::string(extension)), target_("out" + std::string(extension))
    {
        clearTempDrive();
        writeWholeFile(posixOnDrive(source_), input_);
    }
    ~OfficeRun()
    {
        check(readWholeFile(posixOnDrive(source_)) == input_, "the source file changed");
        check(automation::liveObjectCount() == 0, "automation objects outlived the run");
        for (const auto& entry : std::filesystem::directory_iterator(tempDriveRoot())) {
            const std::string name = entry.path().filename().string();
            check(name == source_ || name == target_, "a temporary file left behind");
        }
    }
    OfficeRun(const OfficeRun&) = delete;
    OfficeRun& operator=(const OfficeRun&) = delete;

    std::size_t inputSize() const { return input_.size(); }
    // Windows paths of the source and of the saved copy.
    std::string source() const { return "c:\\" + source_; }
    std::string target() const { return "c:\\" + target_; }
    // True when the saved copy exists.
    bool saved() const { return std::filesystem::exists(posixOnDrive(target_)); }

private:
    const RunBudget budget_;
    std::string input_;
    std::string source_;
    std::string target_;
};

// ---- The spreadsheet server (.xlsx and .csv) ----

// The search walk of the spreadsheet wrapper over one sheet, a few hits at most: each hit is read, the
// first one is written back changed.
inline void walkSheet(const DispatchRef& sheet, const Variant& what, std::size_t inputSize)
{
    DispatchRef cells = obj(sheet->get("Cells"));
    auto cellAt = [&cells](std::int32_t r, std::int32_t c) {
        return obj(cells->get("Item", {Variant(r), Variant(c)}));
    };
    std::int32_t row = 1, column = 1;
    for (int hits = 0; hits < 6; ++hits) {
        const Variant found =
            cells->call("Find", {what, Variant(cellAt(row, column)), Variant(-4163), Variant(2), Variant(1),
                                 Variant(1), Variant(false), Variant(false)});
        if (found.isNothing())
            return;
        DispatchRef cell = obj(found);
        const std::int32_t foundRow = automation::toInt32(cell->get("Row"));
        const std::int32_t foundColumn = automation::toInt32(cell->get("Column"));
        check(foundRow >= 1 && foundColumn >= 1, "a hit outside the sheet");
        const std::u16string value = automation::variantToText(cell->get("Value"));
        cell->get("Text");
        cell->get("Formula");
        if (hits == 0)
            cell->put("FormulaR1C1", Variant(changedHit(value, inputSize)));
        if (foundRow < row || (foundRow == row && foundColumn <= column))
            return;
        row = foundRow;
        column = foundColumn;
    }
}

// Adds the input as a workbook, walks its sheets, saves a copy and opens the copy again.
inline void runSpreadsheet(const OfficeRun& run)
{
    using automation::AutomationError;
    DispatchRef app = automation::createObject("Excel.Application");
    app->put("DisplayAlerts", Variant(false));
    bool saved = false;
    try {
        DispatchRef book = obj(obj(app->get("Workbooks"))->call("Add", {text(run.source())}));
        try {
            DispatchRef sheets = obj(book->get("Worksheets"));
            const std::int32_t count = automation::toInt32(sheets->get("Count"));
            for (std::int32_t i = 1; i <= count && i <= 4; ++i) {
                DispatchRef sheet = obj(sheets->get("Item", {Variant(i)}));
                sheet->get("Name");
                DispatchRef used = obj(sheet->get("UsedRange"));
                used->get("Count");
                const std::u16string first = automation::variantToText(
                    obj(obj(sheet->get("Cells"))->get("Item", {Variant(1), Variant(1)}))->get("Value"));
                walkSheet(sheet, Variant(findTextOf(first, u"e")), run.inputSize());
                walkSheet(sheet, Variant(u"?*"), run.inputSize());
            }
        } catch (const AutomationError& e) {
            noteError(e);
            // A refused change (a protected sheet, a text too long for a cell) is an answer too.
        }
        book->call("SaveCopyAs", {text(run.target())});
        saved = true;
        book->call("Close", {Variant(false)});
    } catch (const AutomationError& e) {
        noteError(e);
    }
    check(saved == run.saved(), "a saved copy that is not there, or one that should not be");
    if (saved) {
        // What was saved opens again.
        DispatchRef book = obj(obj(app->get("Workbooks"))->call("Open", {text(run.target())}));
        DispatchRef sheets = obj(book->get("Worksheets"));
        if (automation::toInt32(sheets->get("Count")) > 0)
            obj(obj(obj(sheets->get("Item", {Variant(1)}))->get("Cells"))
                    ->get("Item", {Variant(1), Variant(1)}))
                ->get("Value");
        book->call("Close", {Variant(false)});
    }
    app->call("Quit");
}

} // namespace wux::fuzz

// Every office target starts the same way (each target is one translation unit including this header).
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    wux::fuzz::initOfficeTarget();
    return 0;
}
