// The writer must put every byte where a plain copy would, whatever the destination's
// alignment and however the bytes are split into writes, and touch nothing around them.
#include "decode/streaming_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

namespace decode_test {
namespace {

constexpr uint8_t kGuard = 0xEE;
constexpr size_t kGuardBytes = 64;

struct SplitCase {
    const char* name;
    std::vector<size_t> writes;  // byte counts, in order
};

TEST(StreamingWriter, LandsLikeAPlainCopyAtEveryAlignment) {
    const SplitCase cases[] = {
        {"nothing", {}},
        {"empty writes", {0, 0}},
        {"one byte", {1}},
        {"less than a block", {15}},
        {"one block", {16}},
        {"a block and one", {17}},
        {"small pieces across blocks", {3, 5, 7, 1, 20, 2}},
        {"chroma rows of 360", std::vector<size_t>(9, 360)},
        {"luma rows of 720 then chroma", {720, 720, 720, 360, 360, 360, 360}},
        {"odd rows", std::vector<size_t>(7, 177)},
        {"one large write", {4096 + 9}},
    };
    for (const SplitCase& c : cases) {
        const size_t total = std::accumulate(c.writes.begin(), c.writes.end(), size_t{0});
        std::vector<uint8_t> source(total);
        for (size_t i = 0; i < total; ++i) source[i] = static_cast<uint8_t>(i * 131 + 7);
        for (size_t offset = 0; offset < 16; ++offset) {
            SCOPED_TRACE(std::string(c.name) + ", destination offset " + std::to_string(offset));
            // Over-allocated so `offset` walks every alignment within a block.
            std::vector<uint8_t> buffer(kGuardBytes + 16 + total + kGuardBytes, kGuard);
            uint8_t* dest = buffer.data() + kGuardBytes + offset;
            {
                kivra::StreamingWriter writer(dest);
                size_t at = 0;
                for (size_t n : c.writes) {
                    writer.write(source.data() + at, n);
                    at += n;
                }
                writer.finish();
            }
            EXPECT_TRUE(std::equal(source.begin(), source.end(), dest)) << "bytes differ";
            for (uint8_t* p = buffer.data(); p < dest; ++p) ASSERT_EQ(*p, kGuard) << "before";
            for (uint8_t* p = dest + total; p < buffer.data() + buffer.size(); ++p) {
                ASSERT_EQ(*p, kGuard) << "after";
            }
        }
    }
}

}  // namespace
}  // namespace decode_test
