// Slider seeks, tooltips, channel cells and UTC texts over the time index ring.
#include <map>

#include "format/index_format.h"
#include "model/seek_math.h"
#include "session_fixture.h"

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Units first..last (along the ring) whose offsets and times grow by fixed steps from unit
// `first`.
void fill_index(FakeEngine& engine, uint32_t first, uint32_t last, int64_t offset_step,
                uint32_t time_step, uint32_t time_base = 1'600'000'000) {
    engine.first_unit = first;
    engine.last_unit = last;
    engine.units.clear();
    int64_t offset = 0;
    uint32_t time = time_base;
    for (uint32_t n = first;; n = fleet::format::next_unit_number(n)) {
        engine.units[n] = {time, offset};
        offset += offset_step;
        time += time_step;
        if (n == last) break;
    }
}

class SeekIndex : public TimeIndexReader {
  public:
    explicit SeekIndex(FakeEngine& engine) : engine_(engine) {}
    bool header(uint32_t& first, uint32_t& last) override {
        if (!engine_.has_time_index) return false;
        first = engine_.first_unit;
        last = engine_.last_unit;
        return true;
    }
    bool unit(uint32_t n, uint32_t& time, int64_t& offset) override {
        const auto found = engine_.units.find(n);
        if (found == engine_.units.end()) return false;
        time = found->second.time;
        offset = found->second.offset;
        return true;
    }

  private:
    FakeEngine& engine_;
};

TEST(RingTest, SpansAndRangesAlongTheRing) {
    EXPECT_EQ(slider_unit_span(1, 51), 50u);
    EXPECT_EQ(slider_unit_span(1048565, 40), 50u);
    EXPECT_EQ(slider_unit_span(7, 7), 0u);  // one unit spans nothing, not the whole ring
    EXPECT_EQ(slider_unit_span(0, 7), 0u);  // unit 0 is the header, not a unit
    EXPECT_EQ(fleet::format::next_unit_number(0xFFFFF), 1u);
    EXPECT_EQ(fleet::format::next_unit_number(7), 8u);
    EXPECT_TRUE(unit_in_range(1048570, 1048565, 40));
    EXPECT_TRUE(unit_in_range(3, 1048565, 40));
    EXPECT_FALSE(unit_in_range(500, 1048565, 40));
    EXPECT_FALSE(unit_in_range(52, 1, 51));
    EXPECT_FALSE(unit_in_range(0, 1048565, 40));
    EXPECT_TRUE(unit_in_range(7, 7, 7));
    EXPECT_FALSE(unit_in_range(8, 7, 7));
}

struct SeekCase {
    const char* name;
    uint32_t first;
    uint32_t last;
    int64_t offset_step;
    int position;
    int minimum;
    int maximum;
    std::optional<int64_t> offset;
};

void PrintTo(const SeekCase& c, std::ostream* out) {
    *out << c.name;
}

class SliderSeek : public ::testing::TestWithParam<SeekCase> {};

TEST_P(SliderSeek, ReachesTheExpectedOffset) {
    const SeekCase& c = GetParam();
    FakeEngine engine;
    fill_index(engine, c.first, c.last, c.offset_step, 1);
    SeekIndex index(engine);
    EXPECT_EQ(slider_seek_offset(index, c.position, c.minimum, c.maximum), c.offset);
}

// Offsets grow by offset_step per unit from 0 at the first unit; expected values worked out by
// hand (w = first + p / (max - min) x count; 100 units or more: the nearest unit; fewer: steps
// of count/100 of a unit from the unit at or before w).
INSTANTIATE_TEST_SUITE_P(
    Cases, SliderSeek,
    ::testing::Values(
        SeekCase{"left end is the first unit", 1, 5001, 10, 1, 1, 100, 0},
        SeekCase{"right end is the last unit", 1, 5001, 10, 100, 1, 100, 50000},
        SeekCase{"5000 units: nearest unit", 1, 5001, 10, 50, 1, 100, 25250},  // w 2526.25
        SeekCase{"outside the range", 1, 5001, 10, 0, 1, 100, std::nullopt},
        SeekCase{"50 units: before the first step", 1, 51, 1000, 50, 1, 100, 25000},   // w 26.25
        SeekCase{"50 units: one step past the unit", 1, 51, 1000, 51, 1, 100, 25500},  // w 26.76
        SeekCase{"20 units: no step yet", 1, 21, 1000, 10, 1, 100, 2000},              // w 3.02
        SeekCase{"20 units: one step", 1, 21, 1000, 11, 1, 100, 2200},                 // w 3.22
        SeekCase{"20 units: two steps", 1, 21, 1000, 12, 1, 100, 2400},                // w 3.42
        SeekCase{"20 units: three steps", 1, 21, 1000, 13, 1, 100, 2600},              // w 3.63
        SeekCase{"wrapped ring", 1048565, 40, 1000, 50, 1, 100, 25000},  // w 15.25 after wrap
        SeekCase{"next unit wraps to 1", 1048570, 20, 1000, 20, 0, 100, 5000},
        SeekCase{"a single unit is every position", 7, 7, 1000, 50, 1, 100, 0}));

TEST(SliderSeekTest, NothingWithoutAnIndexOrAUnit) {
    FakeEngine engine;
    fill_index(engine, 1, 5001, 10, 1);
    SeekIndex index(engine);
    engine.units.erase(2526);
    EXPECT_EQ(slider_seek_offset(index, 50, 1, 100), std::nullopt);
    engine.has_time_index = false;
    EXPECT_EQ(slider_seek_offset(index, 1, 1, 100), std::nullopt);
}

TEST_F(SessionTest, ReleaseWhilePlayingSeeksAtOnceWithLowAndHighWords) {
    bring_to(PlayerState::Playing);
    fill_index(engine(), 1, 5001, 0x100000000LL + 3, 1);
    session_.slider_pressed();
    EXPECT_TRUE(session_.dragging());
    session_.slider_released(100, 1, 100);
    // 5000 x (2^32 + 3) = 5000 x 2^32 + 15000
    EXPECT_THAT(engine().play_calls, ElementsAre(PlayCall{KIVRA_CMD_SEEK, 0, 15000, 5000}));
    EXPECT_THAT(view_.resets, ElementsAre(false));
    EXPECT_FALSE(session_.dragging());
}

TEST_F(SessionTest, SeekWhilePausedPlaysAndJumpsWhenPlayIsReported) {
    bring_to(PlayerState::Paused);
    fill_index(engine(), 1, 5001, 10, 1);
    session_.slider_pressed();
    session_.slider_released(50, 1, 100);
    EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_PLAY));
    EXPECT_EQ(session_.pending_seek(), 25250);
    EXPECT_FALSE(session_.dragging());

    session_.on_play_event(KIVRA_RESULT_PLAY_OK, 0);
    EXPECT_THAT(engine().play_calls, ElementsAre(PlayCall{KIVRA_CMD_PLAY, 0, 0, 0},
                                                 PlayCall{KIVRA_CMD_SEEK, 0, 25250, 0}));
    EXPECT_FALSE(session_.pending_seek().has_value());
}

TEST_F(SessionTest, FailedIndexReadSeeksNowhereButReleasesTheSlider) {
    bring_to(PlayerState::Playing);
    engine().has_time_index = false;
    session_.slider_pressed();
    session_.slider_released(40, 1, 100);
    EXPECT_THAT(engine().play_calls, IsEmpty());
    EXPECT_THAT(view_.resets, IsEmpty());
    EXPECT_FALSE(session_.dragging());
}

struct OffsetTextCase {
    std::string text;
    bool seeks;
};

class OffsetText : public SessionTest, public ::testing::WithParamInterface<OffsetTextCase> {};

TEST_P(OffsetText, SeeksOnlyToOffsetsInsideTheSource) {
    bring_to(PlayerState::Playing);
    engine().total_length = 5000;
    session_.seek_to_offset_text(GetParam().text);
    if (GetParam().seeks)
        EXPECT_THAT(commands(), ElementsAre(KIVRA_CMD_SEEK));
    else
        EXPECT_THAT(commands(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Texts, OffsetText,
                         ::testing::Values(OffsetTextCase{"0", true}, OffsetTextCase{"4999", true},
                                           OffsetTextCase{"5000", false},
                                           OffsetTextCase{"-1", false},
                                           OffsetTextCase{"12x", false}, OffsetTextCase{"", false},
                                           OffsetTextCase{"99999999999999999999", false}));

// ---- Tooltip -------------------------------------------------------------------------------

TEST(UtcTextTest, BreaksSecondsDownAsUtc) {
    EXPECT_EQ(format_utc(0), "1970-01-01 00:00:00");
    EXPECT_EQ(format_utc(951782400), "2000-02-29 00:00:00");
    EXPECT_EQ(format_utc(1700000000), "2023-11-14 22:13:20");
    EXPECT_EQ(format_utc(4294967295LL), "2106-02-07 06:28:15");
}

struct TooltipCase {
    const char* name;
    uint32_t first;
    uint32_t last;
    uint32_t time_step;
    int position;
    std::string text;
};

void PrintTo(const TooltipCase& c, std::ostream* out) {
    *out << c.name;
}

class Tooltip : public ::testing::TestWithParam<TooltipCase> {};

TEST_P(Tooltip, NamesTheTimeUnderThePointer) {
    const TooltipCase& c = GetParam();
    FakeEngine engine;
    // Unit `first` is at 2023-11-14 22:13:20.
    fill_index(engine, c.first, c.last, 1, c.time_step, 1700000000);
    SeekIndex index(engine);
    EXPECT_EQ(slider_time_text(index, c.position), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Tooltip,
    ::testing::Values(
        // 5000 units, p 50: w = 2501.0 exactly, the single time of unit 2501 (2500 minutes on).
        TooltipCase{"5000 units, on a unit", 1, 5001, 60, 50, "2023-11-16 15:53:20"},
        // 5000 units, p 37: w = 1851.0 (f 0): single time.
        TooltipCase{"5000 units, p 37", 1, 5001, 60, 37, "2023-11-16 05:03:20"},
        // 50 units, p 25: w = 13.5: units 13 and 14 are 1200 s and 1300 s on; step 50 s.
        TooltipCase{"50 units between units", 1, 51, 100, 25,
                    "2023-11-14 22:33:20 ~ 2023-11-14 22:34:10 (25%)"},
        // 20 units, p 37: w = 8.4: unit 8 is 700 s on, step 20 s, goal 40 s in: two steps
        // would reach the goal, so one step.
        TooltipCase{"20 units, one step in", 1, 21, 100, 37,
                    "2023-11-14 22:25:20 ~ 2023-11-14 22:25:40 (37%)"},
        // 200 units, p 33: w = 67.0 (f 0) -> unit 67, 66 minutes on.
        TooltipCase{"200 units", 1, 201, 60, 33, "2023-11-14 23:19:20"},
        TooltipCase{"left end", 1, 201, 60, 0, "2023-11-14 22:13:20"},
        // One unit spans nothing: every position names it.
        TooltipCase{"a single unit", 9, 9, 60, 50, "2023-11-14 22:13:20"}));

TEST(TooltipTest, RangeWithoutStepsForLargeIndexes) {
    FakeEngine engine;
    fill_index(engine, 1, 1011, 1, 60, 1700000000);
    SeekIndex index(engine);
    // w = 1 + 0.33 x 1010 = 334.3 -> units 334 and 335, 333 and 334 minutes on.
    EXPECT_EQ(slider_time_text(index, 33), "2023-11-15 03:46:20 ~ 2023-11-15 03:47:20 (33%)");
}

TEST(TooltipTest, EmptyWithoutIndexOrUnit) {
    FakeEngine engine;
    fill_index(engine, 1, 5001, 1, 60);
    SeekIndex index(engine);
    engine.units.erase(2501);
    EXPECT_EQ(slider_time_text(index, 50), "");
    engine.has_time_index = false;
    EXPECT_EQ(slider_time_text(index, 10), "");
}

TEST(TooltipTest, EndTextNeedsBothTimes) {
    EXPECT_EQ(slider_end_text(1699990000, 1700000000), "2023-11-14 22:13:20");
    EXPECT_EQ(slider_end_text(0, 1700000000), "");
    EXPECT_EQ(slider_end_text(1699990000, 0), "");
    EXPECT_EQ(slider_end_text(-1, -1), "");
}

TEST_F(SessionTest, TooltipFollowsTheLastPointedPosition) {
    fill_index(engine(), 1, 5001, 1, 60, 1700000000);
    engine().begin_time = 1699990000;
    engine().end_time = 1700000000;
    session_.slider_pointed(50);
    EXPECT_EQ(session_.slider_tooltip(), "2023-11-16 15:53:20");
    session_.slider_pointed(100);
    EXPECT_EQ(session_.slider_tooltip(), "2023-11-14 22:13:20");
}

// ---- Channel cells -------------------------------------------------------------------------

struct CellCase {
    int screens;
    int division;
    int x;
    int y;
    int channel;
};

class ChannelCells : public ::testing::TestWithParam<CellCase> {};

TEST_P(ChannelCells, PickTheChannelUnderThePointer) {
    const CellCase& c = GetParam();
    EXPECT_EQ(channel_at(c.screens, c.division, 601, 301, c.x, c.y), c.channel);
}

// A 601 x 301 area: halves of 300 x 150, thirds of 200 x 100; the odd last pixel row and
// column belong to no cell.
INSTANTIATE_TEST_SUITE_P(Cells, ChannelCells,
                         ::testing::Values(CellCase{4, 0, 0, 0, 1}, CellCase{4, 0, 300, 0, 2},
                                           CellCase{4, 0, 0, 150, 3}, CellCase{4, 0, 599, 299, 4},
                                           CellCase{4, 0, 600, 10, 0}, CellCase{8, 1, 310, 10, 2},
                                           CellCase{8, 2, 10, 10, 5}, CellCase{8, 2, 599, 299, 8},
                                           CellCase{8, 0, 0, 0, 1}, CellCase{8, 0, 450, 0, 3},
                                           CellCase{8, 0, 199, 100, 4}, CellCase{8, 0, 200, 250, 8},
                                           CellCase{8, 0, 450, 250, 0}, CellCase{8, 0, -1, 10, 0},
                                           CellCase{1, 0, 10, 10, 1}));

}  // namespace
}  // namespace velmora::test
