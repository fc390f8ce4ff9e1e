// The pieces of image options and index numbering that need no image.
#include <gtest/gtest.h>

#include <string>

#include "dvrsim/image_options.h"
#include "dvrsim/index_schedule.h"

namespace {

TEST(ImageOptions, SizesTakeBinarySuffixesAndHex) {
    const struct {
        const char* text;
        bool ok;
        int64_t bytes;
    } cases[] = {
        {"512", true, 512},
        {"4K", true, 4096},
        {"4M", true, 4 << 20},
        {"1G", true, int64_t{1} << 30},
        {"1T", true, int64_t{1} << 40},
        {"2t", true, int64_t{2} << 40},
        {"0x4000", true, 0x4000},
        {"0x10K", true, 0x4000},
        {"", false, 0},
        {"K", false, 0},
        {"4X", false, 0},
        {"4KB", false, 0},
        {"-1", false, 0},
        {" 1", false, 0},
        {"1.5M", false, 0},
        {"99999999T", false, 0},
    };
    for (const auto& c : cases) {
        int64_t bytes = -7;
        EXPECT_EQ(dvrsim::parse_size(c.text, bytes), c.ok) << c.text;
        EXPECT_EQ(bytes, c.ok ? c.bytes : -7) << c.text;
    }
}

TEST(IndexSchedule, UnitsAndEventsFollowTheCadenceAlongTheRing) {
    EXPECT_EQ(dvrsim::unit_number_after(1, 0), 1u);
    EXPECT_EQ(dvrsim::unit_number_after(0xFFFFF, 1), 1u);
    EXPECT_EQ(dvrsim::unit_number_after(0xFFFF0, 16), 1u);
    EXPECT_EQ(dvrsim::unit_number_after(5, 0xFFFFF), 5u);

    const dvrsim::IndexSchedule s{10, 0xFFFFE, 7};
    EXPECT_TRUE(dvrsim::carries_time_unit(s, 0));
    EXPECT_FALSE(dvrsim::carries_time_unit(s, 9));
    EXPECT_EQ(dvrsim::time_unit_number(s, 19), 0xFFFFFu);  // at or before GOP 19: GOP 10
    EXPECT_EQ(dvrsim::time_unit_number(s, 20), 1u);
    EXPECT_EQ(dvrsim::event_type(s, 0), 0);
    EXPECT_EQ(dvrsim::event_type(s, 7), 1);
    EXPECT_EQ(dvrsim::event_type(s, 8), 0);
    EXPECT_EQ(dvrsim::event_type(s, 7 * 15), 15);
    EXPECT_EQ(dvrsim::event_type(s, 7 * 16), 1);
    EXPECT_EQ(dvrsim::time_unit_count(s, 21), 3);
    EXPECT_EQ(dvrsim::event_count(s, 15), 2);
    EXPECT_EQ(dvrsim::highest_time_unit(s, 2), 0xFFFFFu);
    EXPECT_EQ(dvrsim::highest_time_unit({10, 1, 7}, 30), 30u);
}

}  // namespace
