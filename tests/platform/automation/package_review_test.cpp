// Review tests of the package layer's save on packages whose entries use unusual compression methods.
#include <gtest/gtest.h>

#include <zip.h>

#include <cstring>
#include <string>

#include "platform/automation/package.h"
#include "platform/automation/variant.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::platform::automation {
namespace {

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

class PackageReviewTest : public test::TempDriveTest
{
};

// Entries packed with a method the package layer cannot unpack (or does not know) are copied as they
// are stored when the package is saved; a part that must be read but cannot be unpacked fails the open
// and leaves the file alone.
TEST_F(PackageReviewTest, EntriesOfUnusualMethodsAreCopiedAsStored)
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

} // namespace
} // namespace wux::platform::automation
