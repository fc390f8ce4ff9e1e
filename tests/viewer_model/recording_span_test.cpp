// The recorded time a Find list is drawn across, and the strip's arithmetic over it.
#include "model/recording_span.h"

#include <gtest/gtest.h>

#include <map>

namespace velmora::test {
namespace {

namespace ff = fleet::format;

class TimeIndex final : public ff::IndexReader {
  public:
    std::optional<ff::IndexHeader> header;
    std::map<uint32_t, uint32_t> times;

    bool time_header(ff::IndexHeader& out) override {
        if (header) out = *header;
        return header.has_value();
    }
    bool time_unit(uint32_t n, ff::IndexUnit& out) override {
        const auto found = times.find(n);
        if (found == times.end()) return false;
        out = {found->second, 0, 0};
        return true;
    }
    bool event_header(ff::IndexHeader&) override { return false; }
    bool event_unit(uint32_t, ff::IndexUnit&) override { return false; }
    bool quick_header(ff::QuickRecord&) override { return false; }
    bool quick_unit(uint32_t, ff::QuickRecord&) override { return false; }
};

struct SpanCase {
    const char* name;
    std::optional<ff::IndexHeader> header;
    std::map<uint32_t, uint32_t> times;
    std::optional<RecordingSpan> span;
};

class RecordingSpanRules : public ::testing::TestWithParam<SpanCase> {};

TEST_P(RecordingSpanRules, FromTheFirstUnitToTheLast) {
    TimeIndex index;
    index.header = GetParam().header;
    index.times = GetParam().times;
    EXPECT_EQ(recording_span(index), GetParam().span);
}

constexpr ff::IndexHeader header(uint32_t first, uint32_t last) {
    return {ff::kIndexMagic, first, last, 0};
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, RecordingSpanRules,
    ::testing::Values(
        SpanCase{"Plain", header(1, 3), {{1, 100}, {2, 150}, {3, 400}}, RecordingSpan{100, 400}},
        // A wrapped ring: the oldest unit has the higher number.
        SpanCase{"Wrapped", header(7, 2), {{7, 50}, {2, 90}}, RecordingSpan{50, 90}},
        SpanCase{"OneUnit", header(4, 4), {{4, 70}}, RecordingSpan{70, 70}},
        SpanCase{"NoIndex", std::nullopt, {}, std::nullopt},
        SpanCase{"LastUnreadable", header(1, 3), {{1, 100}}, std::nullopt},
        SpanCase{"BackwardsClock", header(1, 2), {{1, 500}, {2, 100}}, std::nullopt}),
    [](const ::testing::TestParamInfo<SpanCase>& row) { return std::string(row.param.name); });

TEST(RecordingSpanTest, SharesAndTimesMapOntoEachOther) {
    const RecordingSpan span{1000, 2000};
    EXPECT_DOUBLE_EQ(span_share(span, 1000), 0.0);
    EXPECT_DOUBLE_EQ(span_share(span, 1250), 0.25);
    EXPECT_DOUBLE_EQ(span_share(span, 2000), 1.0);
    EXPECT_DOUBLE_EQ(span_share(span, 10), 0.0);    // clamped
    EXPECT_DOUBLE_EQ(span_share(span, 9000), 1.0);  // clamped
    EXPECT_EQ(span_time(span, 0.25), 1250u);
    EXPECT_EQ(span_time(span, 0.0004), 1000u);  // 0.4 s: the nearer second
    EXPECT_EQ(span_time(span, 0.0006), 1001u);
    EXPECT_EQ(span_time(span, -1.0), 1000u);
    EXPECT_EQ(span_time(span, 2.0), 2000u);
    const RecordingSpan moment{500, 500};
    EXPECT_DOUBLE_EQ(span_share(moment, 500), 0.0);
    EXPECT_EQ(span_time(moment, 0.7), 500u);
}

TEST(RecordingSpanTest, TheNearestKnownTimeIsChosen) {
    EXPECT_EQ(nearest_time({}, 5), std::nullopt);
    EXPECT_EQ(nearest_time({0, 0}, 5), std::nullopt);  // no time known
    EXPECT_EQ(nearest_time({100, 200, 300}, 240), 1u);
    EXPECT_EQ(nearest_time({100, 200, 300}, 260), 2u);
    EXPECT_EQ(nearest_time({100, 200, 300}, 150), 0u);  // equally near: the first
    EXPECT_EQ(nearest_time({0, 300}, 1), 1u);           // 0 is unknown, not near
}

}  // namespace
}  // namespace velmora::test
