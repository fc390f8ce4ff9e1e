// dvrtool extract-es: the elementary stream of one channel.
#include <gtest/gtest.h>

#include <filesystem>

#include "pair_builder.h"
#include "run_dvrtool.h"

namespace dvrtool_test {
namespace {

TEST(DvrtoolExtractEs, WritesThatChannelsPayloadsInStreamOrder) {
    fleet::test::TempDir dir;
    PairBuilder pair(dir.file("rec"));
    // Format channel 9 (user channel 10) is beyond what a FrameSet keeps but is still
    // extracted.
    const std::vector<int> channels = {0, 1, 9};
    std::string expected;
    for (uint32_t i = 0; i < 3; ++i) {
        pair.add_gop(make_gop(kT0 + i, channels, 2));
        for (int k = 0; k < 2; ++k) {
            auto p = payload(kT0 + i, 9, k);
            expected.append(p.begin(), p.end());
        }
    }
    pair.finish();

    const std::string out = dir.file("ch10.h264");
    auto result = dvrtool({"extract-es", pair.dvr(), "--channel", "10", "-o", out});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(fleet::test::read_file(out), expected);
    EXPECT_EQ(result.out, "wrote 6 frames (" + std::to_string(expected.size()) +
                              " bytes) of channel 10 to " + out + "\n");

    const std::string none = dir.file("ch3.h264");
    result = dvrtool({"extract-es", pair.dvr(), "--channel", "3", "-o", none});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.err, "dvrtool: " + pair.dvr() + ": channel 3 has no frames\n");
    EXPECT_FALSE(std::filesystem::exists(none));
}

}  // namespace
}  // namespace dvrtool_test
