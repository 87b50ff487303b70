// The OpenDocument text wrapper and replacer against the stand-in "com.sun.star.ServiceManager" server
// over real .odt packages built here: the stage and result table, every supported mode, the table rows,
// URLs of awkward names, and the stored files re-opened and checked.
#include "office/openoffice_replacer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/user_parameters.h"
#include "engines/base_replacer.h"
#include "office/openoffice_writer.h"
#include "office_test_support.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using engines::TReplaceResult;

const char* kMime = wux::test::kOdtMime;

// The documents of these tests: the master page's header holds a hit that is never searched.
struct Odt
{
    std::string body;               // inner XML of office:text
    std::string manifestExtra = {}; // inner XML of content.xml's manifest entry
    std::string mimetype = kMime;
};

std::string buildOdt(const Odt& odt)
{
    return wux::test::buildOdt({odt.body, odt.manifestExtra, odt.mimetype, "header cat", ""});
}

std::string paragraph(const std::string& text)
{
    return "<text:p>" + text + "</text:p>";
}

using Texts = std::vector<std::string>;

Texts paragraphs(const std::string& posixPath)
{
    return test::documentParagraphs(posixPath);
}

class OpenOfficeReplacerTest : public test::BlockTest
{
protected:
    std::string write(const std::string& name, const Odt& odt)
    {
        wux::test::createFile(path(name), buildOdt(odt));
        return path(name);
    }

    std::string writeText(const std::string& name, const std::string& text)
    {
        return write(name, Odt{paragraph(text)});
    }
};

TEST_F(OpenOfficeReplacerTest, ConvertToUrlEscapesBlanksAndPercentAndTurnsBackslashes)
{
    const struct
    {
        const char* path;
        const char* url;
    } cases[] = {
        {"c:\\my docs\\letter.odt", "c:/my%20docs/letter.odt"},
        {"c:\\100%20 final.odt", "c:/100%2520%20final.odt"},
        {"c:\\a%b\\\xC3\xA9t\xC3\xA9.odt", "c:/a%25b/\xC3\xA9t\xC3\xA9.odt"},
        {"\\\\server\\share\\x.odt", "//server/share/x.odt"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TOpenOfficeWriter::ConvertToURL(c.path), c.url) << c.path;
}

// Paragraphs and headings of lists, tables, sections, frames and notes are searched; headers in the
// styles are not. Formatting spans around and inside hits stay.
TEST_F(OpenOfficeReplacerTest, ModesOnTheBody)
{
    const std::string body =
        "<text:h text:outline-level=\"1\">The cat</text:h>"
        "<text:p>A <text:span text:style-name=\"B\">cat</text:span> and a Cat.</text:p>"
        "<text:list><text:list-item><text:p>listed cat</text:p></text:list-item></text:list>"
        "<table:table><table:table-row><table:table-cell><text:p>cell cat</text:p></table:table-cell>"
        "</table:table-row></table:table>"
        "<text:p>concatenate<text:note><text:note-body><text:p>note cat</text:p></text:note-body>"
        "</text:note></text:p>";
    const struct
    {
        struct
        {
            std::int32_t mode;
            const char* find;
            const char* replace;
            bool caseSensitive;
            bool wholeWord;
            std::int32_t matches;
            const char* xml; // a piece of the stored content
        } search;
        Texts texts;
    } cases[] = {
        {{1, "cat", "dog", false, false, 7, "<text:span text:style-name=\"B\">dog</text:span>"},
         {"The dog", "A dog and a dog.", "listed dog", "cell dog", "condogenate\xEF\xBF\xBF", "note dog"}},
        {{1, "Cat", "dog", true, false, 1, "<text:span text:style-name=\"B\">cat</text:span>"},
         {"The cat", "A cat and a dog.", "listed cat", "cell cat", "concatenate\xEF\xBF\xBF", "note cat"}},
        {{1, "cat", "dog", false, true, 6, "<text:p>concatenate<text:note>"},
         {"The dog", "A dog and a dog.", "listed dog", "cell dog", "concatenate\xEF\xBF\xBF", "note dog"}},
        {{2, "cat", "", false, true, 6, "<text:p>A <text:s/>and a .</text:p>"},
         {"The ", "A  and a .", "listed ", "cell ", "concatenate\xEF\xBF\xBF", "note "}},
        {{8, "cat", "!", false, true, 6, "<text:span text:style-name=\"B\">cat!</text:span>"},
         {"The cat!", "A cat! and a Cat!.", "listed cat!", "cell cat!", "concatenate\xEF\xBF\xBF",
          "note cat!"}},
        {{16, "cat", "big ", false, true, 6, "<text:span text:style-name=\"B\">big cat</text:span>"},
         {"The big cat", "A big cat and a big Cat.", "listed big cat", "cell big cat",
          "concatenate\xEF\xBF\xBF", "note big cat"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.search.mode) + " " + c.search.find);
        const std::string name = "m" + std::to_string(n++) + ".odt";
        const std::string file = write(name, Odt{body});
        const auto before = wux::test::readZip(posix(name));
        const auto block = searchBlock(c.search.find, c.search.replace, c.search.mode, c.search.caseSensitive,
                                       c.search.wholeWord);
        core::TUserParameters noBackup = test::replacerParameters(false);
        TOOWriterReplacer replacer(&owner, c.search.mode, block, &noBackup);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
        EXPECT_EQ(replacer.stage(), kStageOdtDone);
        EXPECT_EQ(replacer.matchCount(), c.search.matches);
        EXPECT_EQ(paragraphs(posix(name)), c.texts);
        const auto after = wux::test::readZip(posix(name));
        EXPECT_NE(after.at("content.xml").find(c.search.xml), std::string::npos) << after.at("content.xml");
        for (const auto& [part, bytes] : before) {
            if (part != "content.xml") {
                EXPECT_EQ(after.at(part), bytes) << part;
            }
        }
        // "mimetype" stays the first entry, stored.
        const std::string raw = wux::test::readFileBytes(file);
        EXPECT_EQ(wux::test::zipNames(posix(name)).front(), "mimetype");
        EXPECT_EQ(raw.substr(38, std::string(kMime).size()), kMime);
    }
}

TEST_F(OpenOfficeReplacerTest, AHitAcrossSpansIsChangedAndTheTextAroundItStays)
{
    const std::string file = write(
        "spans.odt", Odt{"<text:p>The <text:span text:style-name=\"B\">big ca</text:span>t sat</text:p>"});
    const auto block = searchBlock("cat", "dog", 1);
    TOOWriterReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(paragraphs(posix("spans.odt")), Texts{"The big dog sat"});
    const std::string content = wux::test::readZip(posix("spans.odt")).at("content.xml");
    EXPECT_NE(content.find("<text:p>The <text:span text:style-name=\"B\">big dog</text:span> sat</text:p>"),
              std::string::npos)
        << content;
}

TEST_F(OpenOfficeReplacerTest, NamesWithBlanksAndPercentAreReplacedInPlace)
{
    wux::test::makeFolder(path("my docs"));
    const std::string file = write("my docs\\report 100%20 final.odt", Odt{paragraph("draft cat")});
    const std::string before = wux::test::readFileBytes(file);
    const auto block = searchBlock("cat", "dog", 1);
    TOOWriterReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.stage(), kStageOdtDone);
    // The document and its backup, and no other file.
    EXPECT_EQ(wux::test::listNames(posix("my docs")),
              (std::vector<std::string>{"report 100%20 final.odt", "report 100%20 final.odt.bak"}));
    EXPECT_EQ(wux::test::listNames(drive.root()), (std::vector<std::string>{"my docs"}));
    EXPECT_EQ(paragraphs(posix("my docs/report 100%20 final.odt")), Texts{"draft dog"});
    EXPECT_EQ(wux::test::readFileBytes(file + ".bak"), before);
}

TEST_F(OpenOfficeReplacerTest, TextsThatADocumentCannotHoldFailTheDocument)
{
    const std::string file = writeText("bad.odt", "a cat");
    const std::string bytes = wux::test::readFileBytes(file);
    const auto block = searchBlock("cat", "\x01", 1);
    TOOWriterReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageOdtSearch);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
    EXPECT_FALSE(wux::test::exists(file + ".bak"));
}

// Only a password to modify refuses a document: the setting that recommends opening it read-only does not.
TEST_F(OpenOfficeReplacerTest, AReadOnlyRecommendationIsNoPasswordToModify)
{
    wux::test::OdtContent odt{"<text:p>a cat</text:p>"};
    odt.settings = "<config:config-item-set config:name=\"ooo:configuration-settings\">"
                   "<config:config-item config:name=\"LoadReadonly\" config:type=\"boolean\">true"
                   "</config:config-item><config:config-item config:name=\"ModifyPasswordHash\" "
                   "config:type=\"int\">0</config:config-item></config:config-item-set>";
    wux::test::createFile(path("recommended.odt"), wux::test::buildOdt(odt));
    TOOWriterReplacer replacer(&owner, 1, searchBlock("cat", "dog", 1), &parameters);
    EXPECT_EQ(replacer.ProcessFile(path("recommended.odt")), engines::kReplaceFound);
    EXPECT_EQ(test::documentParagraphs(posix("recommended.odt")), (Texts{"a dog"}));
}

} // namespace
} // namespace wux::office
