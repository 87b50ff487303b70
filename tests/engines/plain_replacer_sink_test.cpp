#include "engines/plain_replacer_sink.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::engines {
namespace {

class PlainOutputSinkTest : public test::TempDriveTest
{
};

TEST_F(PlainOutputSinkTest, TheFileHoldsExactlyTheOutput)
{
    // Each case runs on a new empty file with a flush size of 4, so that the output crosses written
    // parts: cutting back into them, inserting before them, ending before their end.
    const struct
    {
        const char* name;
        std::function<void(PlainOutputSink&)> steps;
        const char* bytes;
    } cases[] = {
        {"appended", [](PlainOutputSink& s) { s.append("abcdefghij"); }, "abcdefghij"},
        {"byte by byte",
         [](PlainOutputSink& s) {
             for (char c : std::string("abcdef"))
                 s.put(c);
         },
         "abcdef"},
        {"cut inside the buffer",
         [](PlainOutputSink& s) {
             s.append("abcdef");
             s.put('g');
             s.cutTo(5);
         },
         "abcde"},
        {"cut into the written part, then more",
         [](PlainOutputSink& s) {
             s.append("abcdefghij");
             s.cutTo(3);
             s.append("XY");
         },
         "abcXY"},
        {"cut into the written part at the end",
         [](PlainOutputSink& s) {
             s.append("abcdefghij");
             s.cutTo(2);
         },
         "ab"},
        {"rewritten past the old end",
         [](PlainOutputSink& s) {
             s.append("abcdefgh");
             s.cutTo(6);
             s.append("0123456");
         },
         "abcdef0123456"},
        {"insert before the written part",
         [](PlainOutputSink& s) {
             s.append("abcdefghij");
             s.insertAt(1, "XYZ");
             s.append("k");
         },
         "aXYZbcdefghijk"},
        {"nothing", [](PlainOutputSink&) {}, ""},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path("out" + std::to_string(number++));
        platform::FileHandle handle;
        ASSERT_EQ(handle.open(file, platform::kAccessReadWrite, platform::kShareNone,
                              platform::Disposition::kCreateNew),
                  0u);
        PlainOutputSink sink(handle, 4, 8);
        c.steps(sink);
        EXPECT_EQ(sink.position(), static_cast<std::int64_t>(std::string(c.bytes).size()));
        EXPECT_TRUE(sink.finish());
        handle.close();
        EXPECT_EQ(test::readFileBytes(file), c.bytes);
    }
}

} // namespace
} // namespace wux::engines
