// dvrtool gops: forward and backward listings.
#include <gtest/gtest.h>

#include <algorithm>

#include "pair_builder.h"
#include "run_dvrtool.h"

namespace dvrtool_test {
namespace {

std::vector<nlohmann::json> gops_json(const std::vector<std::string>& args) {
    auto result = dvrtool(args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;
    return json_lines(result.out);
}

TEST(DvrtoolGops, BackwardListsTheSameGopsInReverse) {
    fleet::test::TempDir dir;
    PairBuilder pair(dir.file("rec"));
    // GOPs of one, two and three blocks, so a wrong back-link or length shows.
    const int frames[] = {1, 2, 3, 1};
    for (uint32_t i = 0; i < 4; ++i) pair.add_gop(make_gop(kT0 + i, {0, 1}, frames[i]));
    pair.finish();

    auto forward = gops_json({"gops", pair.dvr(), "--json"});
    auto backward = gops_json({"gops", pair.dvr(), "--backward", "--json"});

    ASSERT_EQ(forward.size(), 4u);
    for (size_t i = 0; i < forward.size(); ++i) {
        EXPECT_EQ(forward[i]["offset"], pair.items()[i].offset);
        EXPECT_EQ(forward[i]["time"], kT0 + i);
        EXPECT_EQ(forward[i]["frames"], frames[i]);
        EXPECT_EQ(forward[i]["key_frames"], nlohmann::json({{"1", 1}, {"2", 1}}));
    }
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, forward);
}

}  // namespace
}  // namespace dvrtool_test
