// The frame callback's copy rules: a value a frame does not carry keeps the last one.
#include "model/telemetry_snapshot.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velmora::test {
namespace {

constexpr std::array<int32_t, kTyreSummaryCount> kSummary{3, 4, 5, 6, 7, 8};

struct Frame {
    uint32_t time = 0;
    const char* vehicle_id = nullptr;
    const void* position = nullptr;
    const int32_t* g = nullptr;
    float speed = -1.0f;
    int32_t temperature = kNoTemperatureValue;
    const uint8_t* flags = nullptr;
    int32_t tyre_count = -1;
    const void* tyres = nullptr;
    std::array<int32_t, kTyreSummaryCount> summary{};
};

void apply(TelemetrySnapshot& snapshot, const Frame& f) {
    apply_frame(snapshot, f.time, f.vehicle_id, f.position, f.g, f.speed, f.temperature, f.flags,
                f.tyre_count, f.tyres, f.summary);
}

TEST(TelemetrySnapshotTest, StartsAbsent) {
    const TelemetrySnapshot snapshot;
    EXPECT_EQ(snapshot.time, 0u);
    EXPECT_EQ(snapshot.vehicle_id[0], '\0');
    EXPECT_EQ(snapshot.g, (std::array<int32_t, 3>{255, 255, 255}));
    EXPECT_LT(snapshot.speed, 0.0f);
    EXPECT_EQ(snapshot.temperature, 255);
    EXPECT_EQ(snapshot.tyre_count, 0);
}

TEST(TelemetrySnapshotTest, AbsentValuesKeepTheLastOnes) {
    const char id[kVehicleIdBytes] = "CAR-7";
    const char position[] = "2459.9952N12130.0000E";
    const int32_t g[3] = {1, 2, 3};
    const uint8_t flags[kFlagBytes] = {1, 0, 1};
    uint8_t tyres[2 * kTyreRecordBytes];
    for (size_t i = 0; i < sizeof tyres; ++i) tyres[i] = static_cast<uint8_t>(i + 1);

    TelemetrySnapshot snapshot;
    apply(snapshot, {100, id, position, g, 55.5f, 20, flags, 2, tyres, kSummary});
    const TelemetrySnapshot full = snapshot;
    EXPECT_STREQ(full.vehicle_id.data(), "CAR-7");
    EXPECT_EQ(std::memcmp(full.position.data(), position, kPositionBytes), 0);
    EXPECT_EQ(full.g, (std::array<int32_t, 3>{1, 2, 3}));
    EXPECT_EQ(full.speed, 55.5f);
    EXPECT_EQ(full.temperature, 20);
    EXPECT_EQ(full.flags[2], 1);
    EXPECT_EQ(full.tyre_count, 2);
    EXPECT_EQ(full.tyres[1][15], 32);
    EXPECT_EQ(full.tyre_summary, kSummary);

    // Null pointers, speed below 0, a temperature out of -127..128 and no tyres change nothing
    // but the time.
    const struct {
        const char* name;
        float speed;
        int32_t temperature;
        int32_t tyre_count;
    } cases[] = {{"absent markers", -1.0f, 255, -1},
                 {"temperature 200", -0.5f, 200, 0},
                 {"temperature -128", -1.0f, -128, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        snapshot = full;
        apply(snapshot, {101,
                         nullptr,
                         nullptr,
                         nullptr,
                         c.speed,
                         c.temperature,
                         nullptr,
                         c.tyre_count,
                         nullptr,
                         {9, 9, 9, 9, 9, 9}});
        EXPECT_EQ(snapshot.time, 101u);
        snapshot.time = full.time;
        EXPECT_EQ(snapshot, full);
    }
}

TEST(TelemetrySnapshotTest, TemperatureBoundsAreCopied) {
    for (int32_t temperature : {-127, 0, 128}) {
        TelemetrySnapshot snapshot;
        apply(snapshot, {.temperature = temperature});
        EXPECT_EQ(snapshot.temperature, temperature);
    }
}

TEST(TelemetrySnapshotTest, FeedCopiesOutAndForgets) {
    TelemetryFeed feed;
    const char id[kVehicleIdBytes] = "BUS";
    const uint8_t tyre[kTyreRecordBytes] = {42};
    feed.record(5, id, nullptr, nullptr, 12.0f, 30, nullptr, 1, tyre, 1, 2, 3, 4, 5, 6);
    TelemetrySnapshot copy = feed.snapshot();
    EXPECT_EQ(copy.time, 5u);
    EXPECT_STREQ(copy.vehicle_id.data(), "BUS");
    EXPECT_EQ(copy.speed, 12.0f);
    EXPECT_EQ(copy.tyre_count, 1);
    EXPECT_EQ(copy.tyres[0][0], 42);
    EXPECT_EQ(copy.tyre_summary, (std::array<int32_t, kTyreSummaryCount>{1, 2, 3, 4, 5, 6}));

    EXPECT_EQ(feed.frames(), 1u);

    feed.forget();
    copy = feed.snapshot();
    EXPECT_EQ(copy.time, 0u);
    EXPECT_EQ(copy.vehicle_id[0], '\0');
    EXPECT_LT(copy.speed, 0.0f);
    // The count goes on across a reset, so a step after one still sees its frame arrive.
    EXPECT_EQ(feed.frames(), 1u);
    feed.record(6, nullptr, nullptr, nullptr, -1.0f, 255, nullptr, -1, nullptr, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(feed.frames(), 2u);
}

}  // namespace
}  // namespace velmora::test
