#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zip.h>

#include "platform/automation/package.h"
#include "platform/automation/variant.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"
#include <cstring>
#include <string>

namespace wux::platform::automation {
namespace {

using test::buildDocx;
using test::buildZip;
using test::DocxContent;

using PackageTest = test::TempDriveTest;

TEST_F(PackageTest, ResolvesRelationshipsOfEveryForm)
{
    DocxContent parts;
    parts.body = test::para({"x"});
    parts.settings = "<w:zoom w:percent=\"100\"/>";
    parts.footers = {{"footer1", "<w:p/>"}};
    parts.endnotes = "<w:endnote w:id=\"1\"><w:p/></w:endnote>";
    test::createFile(path("a.docx"), buildDocx(parts));
    Package pkg(path("a.docx"), "Test");
    EXPECT_EQ(pkg.relatedPart("", "officeDocument").value_or(""), "word/document.xml");
    EXPECT_EQ(pkg.relatedPart("word/document.xml", "settings").value_or(""), "word/settings.xml");
    EXPECT_EQ(pkg.relatedPart("word/document.xml", "endnotes").value_or(""), "word/endnotes.xml");
    EXPECT_EQ(pkg.partById("word/document.xml", "footer1").value_or(""), "word/footer1.xml");
    EXPECT_FALSE(pkg.relatedPart("word/document.xml", "footnotes"));
    EXPECT_TRUE(pkg.hasPart("WORD/Document.xml"));
    EXPECT_EQ(localName(pkg.xml("word/document.xml").document_element()), "document");
    EXPECT_EQ(Package::resolveTarget("word/document.xml", "../customXml/item%201.xml"),
              "customXml/item 1.xml");
    EXPECT_EQ(Package::resolveTarget("ppt/slides/slide1.xml", "/ppt/media/a.png"), "ppt/media/a.png");
    EXPECT_EQ(Package::relsPartOf("word/document.xml"), "word/_rels/document.xml.rels");
    EXPECT_EQ(Package::relsPartOf(""), "_rels/.rels");
}

TEST_F(PackageTest, SaveRewritesChangedPartsAndCopiesTheRest)
{
    DocxContent parts;
    parts.body = "<w:p><w:r><w:t xml:space=\"preserve\"> </w:t></w:r></w:p>\n  <w:p/>";
    parts.headers = {{"header1", "<w:p><w:r><w:t>h</w:t></w:r></w:p>"}};
    test::createFile(path("a.docx"), buildDocx(parts), test::kNoTime, 0640);
    const auto before = test::readZip(posix("a.docx"));
    const auto namesBefore = test::zipNames(posix("a.docx"));
    {
        Package pkg(path("a.docx"), "Test");
        pugi::xml_node body = child(pkg.xml("word/document.xml").document_element(), "body");
        body.append_child("w:p");
        pkg.markChanged("word/document.xml");
        pkg.save(path("a.docx"));
    }
    const auto after = test::readZip(posix("a.docx"));
    EXPECT_EQ(test::zipNames(posix("a.docx")), namesBefore);
    for (const auto& [name, bytes] : before) {
        if (name != "word/document.xml") {
            EXPECT_EQ(after.at(name), bytes) << name;
        }
    }
    const std::string& doc = after.at("word/document.xml");
    // Declaration kept, the blank-only run kept, white space between elements kept, the new paragraph.
    EXPECT_EQ(doc.substr(0, 55), "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
    EXPECT_NE(doc.find("<w:t xml:space=\"preserve\"> </w:t>"), std::string::npos);
    EXPECT_NE(doc.find("</w:p>\n  <w:p/><w:p/></w:body>"), std::string::npos);
    EXPECT_EQ(test::modeOf(posix("a.docx")) & 07777, 0640u);
}

TEST_F(PackageTest, CarriageReturnsInTextSurviveARewrite)
{
    DocxContent parts;
    parts.body = "<w:p><w:r><w:t>a&#13;b</w:t></w:r></w:p>";
    test::createFile(path("cr.docx"), buildDocx(parts), test::kNoTime, 0644);
    {
        Package pkg(path("cr.docx"), "Test");
        pkg.xml("word/document.xml");
        pkg.markChanged("word/document.xml");
        pkg.save(path("cr.docx"));
    }
    const std::string doc = test::readZip(posix("cr.docx")).at("word/document.xml");
    EXPECT_NE(doc.find("<w:t>a&#13;b</w:t>"), std::string::npos);
    EXPECT_EQ(doc.find('\r'), std::string::npos);
    Package again(path("cr.docx"), "Test");
    const pugi::xml_node body = child(again.xml("word/document.xml").document_element(), "body");
    EXPECT_EQ(std::string(body.first_child().first_child().first_child().text().get()), "a\rb");
}

TEST_F(PackageTest, RelationshipsWithoutATargetPointNowhere)
{
    const std::string rels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"x/officeDocument\"/>"
        "<Relationship Id=\"rId2\" Type=\"x/officeDocument\" Target=\"\"/>"
        "<Relationship Id=\"rId3\" Type=\"x/styles\" Target=\"word/styles.xml\"/>"
        "</Relationships>";
    test::createFile(path("t.docx"),
                     buildZip({{"_rels/.rels", rels}, {"", "<a/>"}, {"word/styles.xml", "<s/>"}}),
                     test::kNoTime, 0644);
    Package pkg(path("t.docx"), "Test");
    const auto list = pkg.relationships("");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, "rId3");
    EXPECT_FALSE(pkg.relatedPart("", "/officeDocument").has_value());
}

TEST_F(PackageTest, StoredFirstEntryComesFirstUncompressed)
{
    const std::string picture(5000, 'p');
    test::createFile(path("a.odt"), buildZip({{"content.xml", "<a/>"},
                                              {"Pictures/p.png", picture},
                                              {"mimetype", "application/vnd.oasis.opendocument.text"}},
                                             {"Pictures/p.png"}));
    {
        Package pkg(path("a.odt"), "Test");
        pkg.xml("content.xml").document_element().append_child("b");
        pkg.markChanged("content.xml");
        pkg.save(path("a.odt"), "mimetype");
    }
    EXPECT_EQ(test::zipNames(posix("a.odt")),
              (std::vector<std::string>{"mimetype", "content.xml", "Pictures/p.png"}));
    int error = 0;
    zip_t* z = zip_open(posix("a.odt").c_str(), ZIP_RDONLY, &error);
    ASSERT_TRUE(z);
    zip_stat_t st;
    zip_stat_index(z, 0, 0, &st);
    EXPECT_EQ(st.comp_method, ZIP_CM_STORE);
    // An unchanged entry is copied as it was, compression method included.
    zip_stat_index(z, 2, 0, &st);
    EXPECT_EQ(st.comp_method, ZIP_CM_STORE);
    EXPECT_EQ(st.comp_size, picture.size());
    zip_discard(z);
    const std::string bytes = test::readFileBytes(posix("a.odt"));
    EXPECT_EQ(bytes.substr(30, 8), "mimetype");
    EXPECT_EQ(bytes.substr(38, 39), "application/vnd.oasis.opendocument.text");
}

TEST_F(PackageTest, RejectsWhatItCannotRead)
{
    const struct
    {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"legacy.doc", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0')},
        {"letter.rtf", "{\\rtf1\\ansi hello}"},
        {"empty.docx", ""},
        {"cut.docx", buildDocx(DocxContent()).substr(0, 200)},
    };
    for (const auto& c : cases) {
        test::createFile(path(c.name), c.bytes);
        try {
            Package pkg(path(c.name), "Test");
            ADD_FAILURE() << c.name;
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.source(), "Test");
            EXPECT_FALSE(e.message().empty());
        }
        EXPECT_EQ(test::readFileBytes(path(c.name)), c.bytes);
    }
    EXPECT_THROW(Package(path("missing.docx"), "Test"), AutomationError);
    EXPECT_THROW(Package(path(""), "Test"), AutomationError);
}

TEST_F(PackageTest, CapsUncompressedSizes)
{
    const std::string zeros(4 << 20, '\0');
    test::createFile(path("bomb.docx"), buildZip({{"a.xml", "<a/>"}, {"big.bin", zeros}}));
    EXPECT_LT(test::readFileBytes(path("bomb.docx")).size(), 100000u);
    PackageLimits limits;
    limits.maxPartSize = 1 << 20;
    Package pkg(path("bomb.docx"), "Test", limits);
    EXPECT_EQ(pkg.readPart("a.xml"), "<a/>");
    EXPECT_THROW(pkg.readPart("big.bin"), AutomationError);
    limits.maxTotalSize = 2 << 20;
    EXPECT_THROW(Package(path("bomb.docx"), "Test", limits), AutomationError);
    limits = PackageLimits();
    limits.maxFileSize = 100;
    EXPECT_THROW(Package(path("bomb.docx"), "Test", limits), AutomationError);
}

TEST_F(PackageTest, MalformedXmlRaises)
{
    test::createFile(path("bad.docx"), buildZip({{"word/document.xml", "<w:document><w:body>"}}));
    Package pkg(path("bad.docx"), "Test");
    EXPECT_THROW(pkg.xml("word/document.xml"), AutomationError);
    EXPECT_THROW(pkg.xml("word/none.xml"), AutomationError);
}

// Review tests of the package layer's save on packages whose entries use unusual compression methods.

// A docx whose entry `name` is rewritten with compression method `method` (bytes left stored, method
// field patched when libzip cannot write the method itself).
std::string docxWithMethod(const std::string& entry, std::uint16_t method, bool patch)
{
    test::DocxContent parts;
    parts.body = test::para({"a cat"});
    const std::string plain = test::buildDocx(parts);
    // Re-pack: every entry deflated, the chosen one stored (to be patched) or with the method.
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* in = zip_source_buffer_create(plain.data(), plain.size(), 0, &error);
    zip_t* src = zip_open_from_source(in, ZIP_RDONLY, &error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t* z = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    zip_error_fini(&error);
    std::vector<std::string> keep;
    keep.reserve(64);
    for (zip_int64_t i = 0; i < zip_get_num_entries(src, 0); ++i) {
        const char* name = zip_get_name(src, static_cast<zip_uint64_t>(i), 0);
        zip_source_t* s = zip_source_zip(z, src, static_cast<zip_uint64_t>(i), 0, 0, -1);
        const zip_int64_t index = zip_file_add(z, name, s, ZIP_FL_ENC_UTF_8);
        if (name == entry)
            zip_set_file_compression(z, static_cast<zip_uint64_t>(index), patch ? ZIP_CM_STORE : method, 0);
    }
    EXPECT_EQ(zip_close(z), 0);
    zip_discard(src);
    zip_stat_t st;
    zip_stat_init(&st);
    zip_source_stat(out, &st);
    std::string bytes(static_cast<std::size_t>(st.size), '\0');
    zip_source_open(out);
    zip_source_read(out, bytes.data(), bytes.size());
    zip_source_close(out);
    zip_source_free(out);
    if (patch) {
        // Local header: method at 8, name length at 26, name at 30; central header: method at 10,
        // name length at 28, name at 46.
        for (std::size_t p = bytes.find("PK\x03\x04"); p != std::string::npos;
             p = bytes.find("PK\x03\x04", p + 4)) {
            const std::size_t n =
                static_cast<unsigned char>(bytes[p + 26]) | (static_cast<unsigned char>(bytes[p + 27]) << 8);
            if (bytes.compare(p + 30, n, entry) == 0)
                std::memcpy(&bytes[p + 8], &method, 2);
        }
        for (std::size_t p = bytes.find("PK\x01\x02"); p != std::string::npos;
             p = bytes.find("PK\x01\x02", p + 4)) {
            const std::size_t n =
                static_cast<unsigned char>(bytes[p + 28]) | (static_cast<unsigned char>(bytes[p + 29]) << 8);
            if (bytes.compare(p + 46, n, entry) == 0)
                std::memcpy(&bytes[p + 10], &method, 2);
        }
    }
    return bytes;
}

// Entries packed with a method the package layer cannot unpack (or does not know) are copied as they
// are stored when the package is saved; a part that must be read but cannot be unpacked fails the open
// and leaves the file alone.
TEST_F(PackageTest, EntriesOfUnusualMethodsAreCopiedAsStored)
{
    struct Case
    {
        const char* name;
        std::string entry;
        std::uint16_t method;
        bool patch;
        bool opens;
    };
    std::vector<Case> cases = {
        {"image, deflate64", "word/media/image1.png", 9, true, true},
        {"image, unknown method", "word/media/image1.png", 97, true, true},
        {"document, deflate64", "word/document.xml", 9, true, false},
    };
    if (zip_compression_method_supported(ZIP_CM_BZIP2, 1))
        cases.push_back({"image, bzip2", "word/media/image1.png", ZIP_CM_BZIP2, false, true});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = docxWithMethod(c.entry, c.method, c.patch);
        test::createFile(path("a.docx"), before);
        try {
            Package pkg(path("a.docx"), "Test");
            pugi::xml_node body = child(pkg.xml("word/document.xml").document_element(), "body");
            body.append_child("w:p");
            pkg.markChanged("word/document.xml");
            pkg.save(path("a.docx"));
            EXPECT_TRUE(c.opens);
        } catch (const AutomationError&) {
            EXPECT_FALSE(c.opens);
            EXPECT_EQ(test::readFileBytes(path("a.docx")), before);
            continue;
        }
        const std::string after = test::readFileBytes(path("a.docx"));
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* s = zip_source_buffer_create(after.data(), after.size(), 0, &error);
        zip_t* z = zip_open_from_source(s, ZIP_RDONLY, &error);
        zip_error_fini(&error);
        ASSERT_NE(z, nullptr);
        zip_stat_t st;
        zip_stat_init(&st);
        ASSERT_EQ(zip_stat(z, c.entry.c_str(), 0, &st), 0);
        EXPECT_EQ(st.comp_method, c.method);
        EXPECT_EQ(st.size, 24u);
        zip_discard(z);
        EXPECT_EQ(test::listNames(drive.root()), std::vector<std::string>{"a.docx"});
    }
}

// The reading before a part is parsed: nesting counted over start tags that are not empty, whatever
// their attribute values hold; declarations, comments, character data sections and instructions are no
// elements; references are checked in text and in attribute values alike.
TEST(XmlTextCheckTest, CountsNestingAndFindsOwnEntities)
{
    const struct
    {
        const char* xml;
        std::size_t maxDepth;
        XmlTextCheck expected;
    } cases[] = {
        {"<a><b><c/></b></a>", 2, XmlTextCheck::kFine},
        {"<a><b><c></c></b></a>", 2, XmlTextCheck::kTooDeep},
        {"<a><b><c></c></b></a>", 3, XmlTextCheck::kFine},
        {"<a><b/><b/><b/></a>", 1, XmlTextCheck::kFine},
        {"<a><b></b><b></b></a>", 2, XmlTextCheck::kFine},
        {"<a x=\"/\"><b y='>'></b></a>", 1, XmlTextCheck::kTooDeep},
        {"<a x=\"/\"><b y='>'/></a>", 1, XmlTextCheck::kFine},
        {"<?xml version=\"1.0\"?><!-- <b><c> --><a><![CDATA[<b><c>]]><?pi <b>?></a>", 1, XmlTextCheck::kFine},
        {"<!DOCTYPE a SYSTEM \"a.dtd\"><a/>", 1, XmlTextCheck::kFine},
        {"<!DOCTYPE a [<!ENTITY e \"x\">]><a/>", 5, XmlTextCheck::kOwnEntities},
        {"<a>&amp;&lt;&gt;&quot;&apos;&#233;&#x41;</a>", 5, XmlTextCheck::kFine},
        {"<a>&nbsp;</a>", 5, XmlTextCheck::kOwnEntities},
        {"<a x=\"&e;\"/>", 5, XmlTextCheck::kOwnEntities},
        {"<a x=\"&amp;\">&", 5, XmlTextCheck::kOwnEntities},
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<int>(checkXmlText(c.xml, c.maxDepth)), static_cast<int>(c.expected)) << c.xml;
}

} // namespace
} // namespace wux::platform::automation
