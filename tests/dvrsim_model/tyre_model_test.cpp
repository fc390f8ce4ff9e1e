// The plain six-tyre monitor of version 1/2 recordings: their words carry no state, so a hot
// tyre is the only alarm a reader can find in them.
#include "dvrsim/tyre_model.h"

#include <gtest/gtest.h>

namespace dvrsim {
namespace {

// For many seeds: one of the first four tyres goes above 80 C in every 20 s, passing exactly
// 80 on the way; the rest of the readings stay at or below it.
TEST(LegacyTyres, AFrontTyreRunsHotEveryTenToTwentySeconds) {
    for (uint64_t seed = 0; seed < 30; ++seed) {
        SCOPED_TRACE(seed);
        int64_t last_hot = -1;
        bool at_limit = false;
        for (int64_t gop = 0; gop < 120; ++gop) {
            bool hot_now = false;
            for (int frame = 0; frame < 4; ++frame) {
                const TyreFrame f = tyre_frame(seed, gop, frame, 600, false);
                ASSERT_EQ(f.tyres.size(), 6u);
                int hot = 0;
                for (size_t i = 0; i < f.tyres.size(); ++i) {
                    const TyreReading& r = f.tyres[i];
                    EXPECT_EQ(r.state, 0);
                    at_limit |= r.temperature == 80;
                    if (r.temperature <= 80) continue;
                    EXPECT_LT(i, 4u) << "gop " << gop;
                    EXPECT_LT(r.temperature, 100);
                    ++hot;
                }
                EXPECT_LE(hot, 1);
                hot_now |= hot > 0;
            }
            if (hot_now) last_hot = gop;
            ASSERT_LT(gop - last_hot, 20) << "no hot tyre for 20 s, gop " << gop;
        }
        EXPECT_TRUE(at_limit);
    }
}

}  // namespace
}  // namespace dvrsim
