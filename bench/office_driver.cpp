// Benchmark driver of the document replacers over the stand-in office servers: writes one document with
// N hits of "WUXFIND" into a folder, replaces them all with "REPLACED" (mode 1, no backup) on this thread
// and checks the saved document for the new texts.
//
//   wux_bench_office KIND N FOLDER     KIND: xlsx (N cells, each its own shared string), odt (one
//                                      paragraph of N hits) or pptx (one shape of N hits)
//
// Prints "kind K hits H result R seconds S unpacked-kb U" (R: the replacer's result, 2 when changed); the
// run's peak memory is measured from outside. Exits 1 when the saved document does not hold N new texts.
#include <zip.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "core/user_parameters.h"
#include "engines/base_replacer.h"
#include "office/document_replacer.h"
#include "office/excel_replacer.h"
#include "office/openoffice_replacer.h"
#include "office/powerpoint_replacer.h"
#include "platform/automation/dispatch.h"
#include "platform/files.h"
#include "platform/movable_memory.h"
#include "platform/thread.h"

using namespace wux;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char* kRels = "http://schemas.openxmlformats.org/package/2006/relationships";
const char* kDocRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string zipOf(const Entries& entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t* archive = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* s = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), s, ZIP_FL_ENC_UTF_8);
        if (name == "mimetype")
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    zip_close(archive);
    zip_stat_t st;
    zip_stat_init(&st);
    zip_source_stat(out, &st);
    std::string bytes(static_cast<std::size_t>(st.size), '\0');
    zip_source_open(out);
    zip_source_read(out, bytes.data(), bytes.size());
    zip_source_close(out);
    zip_source_free(out);
    zip_error_fini(&error);
    return bytes;
}

std::string relationship(const std::string& id, const std::string& type, const std::string& target)
{
    return "<Relationship Id=\"" + id + "\" Type=\"" + kDocRel + "/" + type + "\" Target=\"" + target +
           "\"/>";
}

Entries xlsx(int n)
{
    std::string cells, strings;
    for (int i = 0; i < n; ++i) {
        cells += "<row r=\"" + std::to_string(i + 1) + "\"><c r=\"A" + std::to_string(i + 1) +
                 "\" t=\"s\"><v>" + std::to_string(i) + "</v></c></row>";
        strings += "<si><t>WUXFIND " + std::to_string(i) + "</t></si>";
    }
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    return {{"_rels/.rels", std::string(kHead) + "<Relationships xmlns=\"" + kRels + "\">" +
                                relationship("rId1", "officeDocument", "xl/workbook.xml") +
                                "</Relationships>"},
            {"xl/_rels/workbook.xml.rels", std::string(kHead) + "<Relationships xmlns=\"" + kRels + "\">" +
                                               relationship("rId1", "worksheet", "worksheets/sheet1.xml") +
                                               relationship("rId2", "sharedStrings", "sharedStrings.xml") +
                                               "</Relationships>"},
            {"xl/workbook.xml",
             std::string(kHead) + "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + kDocRel +
                 "\"><sheets><sheet name=\"One\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
            {"xl/worksheets/sheet1.xml", std::string(kHead) + "<worksheet xmlns=\"" + main +
                                             "\"><sheetData>" + cells + "</sheetData></worksheet>"},
            {"xl/sharedStrings.xml", std::string(kHead) + "<sst xmlns=\"" + main + "\" count=\"" +
                                         std::to_string(n) + "\" uniqueCount=\"" + std::to_string(n) + "\">" +
                                         strings + "</sst>"}};
}

std::string hits(int n)
{
    std::string text;
    for (int i = 0; i < n; ++i)
        text += "ab WUXFIND ";
    return text;
}

Entries odt(int n)
{
    const std::string mime = "application/vnd.oasis.opendocument.text";
    return {
        {"mimetype", mime},
        {"content.xml",
         std::string(kHead) +
             "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
             "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.3\">"
             "<office:body><office:text><text:p>" +
             hits(n) + "</text:p></office:text></office:body></office:document-content>"},
        {"META-INF/manifest.xml",
         std::string(kHead) +
             "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
             "manifest:version=\"1.3\"><manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" +
             mime + "\"/></manifest:manifest>"}};
}

Entries pptx(int n)
{
    const std::string p = "http://schemas.openxmlformats.org/presentationml/2006/main";
    const std::string a = "http://schemas.openxmlformats.org/drawingml/2006/main";
    return {{"_rels/.rels", std::string(kHead) + "<Relationships xmlns=\"" + kRels + "\">" +
                                relationship("rId1", "officeDocument", "ppt/presentation.xml") +
                                "</Relationships>"},
            {"ppt/_rels/presentation.xml.rels",
             std::string(kHead) + "<Relationships xmlns=\"" + kRels + "\">" +
                 relationship("rId2", "slide", "slides/slide1.xml") + "</Relationships>"},
            {"ppt/presentation.xml", std::string(kHead) + "<p:presentation xmlns:p=\"" + p + "\" xmlns:r=\"" +
                                         kDocRel +
                                         "\"><p:sldIdLst><p:sldId id=\"256\" r:id=\"rId2\"/></p:sldIdLst>"
                                         "</p:presentation>"},
            {"ppt/slides/slide1.xml",
             std::string(kHead) + "<p:sld xmlns:p=\"" + p + "\" xmlns:a=\"" + a +
                 "\"><p:cSld><p:spTree><p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"T\"/>"
                 "</p:nvSpPr><p:txBody><a:bodyPr/><a:p><a:r><a:t>" +
                 hits(n) + "</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>"}};
}

class Owner : public platform::WuxThread
{
protected:
    void Execute() override {}
};

} // namespace

int main(int argc, char** argv)
{
    const std::string kind = bench::positional(argc, argv, 0);
    const int n = std::atoi(bench::positional(argc, argv, 1).c_str());
    const std::string folderArg = bench::positional(argc, argv, 2);
    if ((kind != "xlsx" && kind != "odt" && kind != "pptx") || n <= 0 || folderArg.empty()) {
        std::fprintf(stderr, "usage: wux_bench_office xlsx|odt|pptx N FOLDER\n");
        return 2;
    }
    const std::string folder = bench::driveRootedPath(folderArg);
    const std::string path = folder + "\\bench." + kind;
    const Entries entries = kind == "xlsx" ? xlsx(n) : kind == "odt" ? odt(n) : pptx(n);
    std::size_t unpacked = 0;
    for (const auto& entry : entries)
        unpacked += entry.second.size();
    if (platform::atomicRewrite(path, zipOf(entries)) != platform::kErrorSuccess) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 2;
    }

    platform::automation::coInitialize();
    Owner owner;
    core::TUserParameters parameters("Replacer");
    parameters.SetInternalValue("CreateBackUpCopy", "0");
    const platform::MovableHandle block =
        engines::BuildReplacerStructure("WUXFIND", "REPLACED", true, false, engines::kModeReplace, false);
    std::unique_ptr<office::TDocumentReplacer> replacer;
    if (kind == "xlsx")
        replacer = std::make_unique<office::TMSExcelReplacer>(&owner, 0, engines::kModeReplace, block, false);
    else if (kind == "odt")
        replacer =
            std::make_unique<office::TOOWriterReplacer>(&owner, engines::kModeReplace, block, &parameters);
    else
        replacer =
            std::make_unique<office::TMSPowerPointReplacer>(&owner, 0, engines::kModeReplace, block, false);
    const auto start = std::chrono::steady_clock::now();
    const engines::TReplaceResult result = replacer->ProcessFile(path);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::int32_t matches = replacer->matchCount();
    replacer.reset();
    platform::movableFree(block);
    platform::automation::coUninitialize();
    std::printf("kind %s hits %d result %d seconds %.3f unpacked-kb %zu\n", kind.c_str(), matches,
                static_cast<int>(result), seconds, unpacked / 1024);
    return result == engines::kReplaceFound && matches == n ? 0 : 1;
}
