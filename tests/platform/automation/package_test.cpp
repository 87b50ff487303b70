#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zip.h>

#include "platform/automation/package.h"
#include "platform/automation/variant.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::platform::automation {
namespace {

using test::buildDocx;
using test::buildZip;
using test::DocxContent;

class PackageTest : public test::TempDriveTest
{
};

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

} // namespace
} // namespace wux::platform::automation
