#include "docx_fixture.h"

#include <zip.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace wux::test {

namespace {

const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const char* kNamespaces = " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\""
                          " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string part(const std::string& root, const std::string& inner)
{
    return std::string(kHead) + "<w:" + root + kNamespaces + ">" + inner + "</w:" + root + ">";
}

} // namespace

std::string buildZip(const std::vector<std::pair<std::string, std::string>>& entries,
                     const std::vector<std::string>& stored)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t* z = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    zip_error_fini(&error);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* s = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = zip_file_add(z, name.c_str(), s, ZIP_FL_ENC_UTF_8);
        if (std::find(stored.begin(), stored.end(), name) != stored.end())
            zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    EXPECT_EQ(zip_close(z), 0);
    zip_stat_t st;
    zip_stat_init(&st);
    zip_source_stat(out, &st);
    std::string result(static_cast<std::size_t>(st.size), '\0');
    zip_source_open(out);
    zip_source_read(out, result.data(), result.size());
    zip_source_close(out);
    zip_source_free(out);
    return result;
}

std::string buildDocx(const DocxContent& parts)
{
    std::vector<std::pair<std::string, std::string>> entries;
    std::string types = std::string(kHead) +
                        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                        "<Default Extension=\"rels\" "
                        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                        "<Default Extension=\"png\" ContentType=\"image/png\"/>"
                        "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
                        "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
                        "</Types>";
    entries.emplace_back("[Content_Types].xml", types);
    entries.emplace_back(
        "_rels/.rels",
        std::string(kHead) +
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" Type=\"" +
            kRelNs +
            "officeDocument\" Target=\"word/document.xml\"/>"
            "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/"
            "relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
            "</Relationships>");
    entries.emplace_back("word/document.xml", part("document", "<w:body>" + parts.body + "</w:body>"));
    std::string rels =
        std::string(kHead) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    rels +=
        std::string("<Relationship Id=\"rIdImg\" Type=\"") + kRelNs + "image\" Target=\"media/image1.png\"/>";
    if (!parts.settings.empty()) {
        rels += std::string("<Relationship Id=\"rIdSet\" Type=\"") + kRelNs +
                "settings\" Target=\"settings.xml\"/>";
        entries.emplace_back("word/settings.xml", part("settings", parts.settings));
    }
    for (const auto& [id, inner] : parts.headers) {
        rels += std::string("<Relationship Id=\"") + id + "\" Type=\"" + kRelNs + "header\" Target=\"" + id +
                ".xml\"/>";
        entries.emplace_back("word/" + id + ".xml", part("hdr", inner));
    }
    for (const auto& [id, inner] : parts.footers) {
        rels += std::string("<Relationship Id=\"") + id + "\" Type=\"" + kRelNs + "footer\" Target=\"/word/" +
                id + ".xml\"/>";
        entries.emplace_back("word/" + id + ".xml", part("ftr", inner));
    }
    if (!parts.footnotes.empty()) {
        rels += std::string("<Relationship Id=\"rIdFn\" Type=\"") + kRelNs +
                "footnotes\" Target=\"footnotes.xml\"/>";
        entries.emplace_back("word/footnotes.xml", part("footnotes", parts.footnotes));
    }
    if (!parts.endnotes.empty()) {
        rels += std::string("<Relationship Id=\"rIdEn\" Type=\"") + kRelNs +
                "endnotes\" Target=\"./endnotes.xml\"/>";
        entries.emplace_back("word/endnotes.xml", part("endnotes", parts.endnotes));
    }
    rels += "</Relationships>";
    entries.emplace_back("word/_rels/document.xml.rels", rels);
    entries.emplace_back("word/media/image1.png", parts.image);
    entries.emplace_back("docProps/core.xml",
                         std::string(kHead) +
                             "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/"
                             "package/2006/metadata/core-properties\"/>");
    return buildZip(entries);
}

std::map<std::string, std::string> readZip(const std::string& posixPath)
{
    std::map<std::string, std::string> out;
    int error = 0;
    zip_t* z = zip_open(posixPath.c_str(), ZIP_RDONLY, &error);
    if (!z)
        return out;
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
        std::string bytes(static_cast<std::size_t>(st.size), '\0');
        zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
        if (f) {
            zip_fread(f, bytes.data(), bytes.size());
            zip_fclose(f);
        }
        out[st.name] = bytes;
    }
    zip_discard(z);
    return out;
}

std::vector<std::string> zipNames(const std::string& posixPath)
{
    std::vector<std::string> out;
    int error = 0;
    zip_t* z = zip_open(posixPath.c_str(), ZIP_RDONLY, &error);
    if (!z)
        return out;
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i)
        out.emplace_back(zip_get_name(z, static_cast<zip_uint64_t>(i), 0));
    zip_discard(z);
    return out;
}

std::string run(const std::string& text)
{
    return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

std::string boldRun(const std::string& text)
{
    return "<w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

std::string para(std::initializer_list<std::string> runs)
{
    std::string out = "<w:p>";
    for (const std::string& r : runs)
        out += run(r);
    return out + "</w:p>";
}

} // namespace wux::test
