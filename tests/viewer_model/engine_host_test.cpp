// The engine's life in the viewer: binding, start with the progress poller, and the stop order.
#include "model/engine_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "fake_engine.h"

namespace velmora::test {
namespace {

void on_play(int32_t, int32_t) {}
void on_error(int32_t, int32_t, int32_t) {}

long count_of(const std::string& name) {
    const auto& calls = fake_engine().calls;
    return std::count(calls.begin(), calls.end(), name);
}

bool wait_for(const std::atomic<int>& value, int at_least) {
    for (int i = 0; i < 500 && value.load() < at_least; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return value.load() >= at_least;
}

class EngineHostTest : public ::testing::Test {
  protected:
    EngineHostTest() : host_(make_fake_engine_api(), ExtractApi{}) {}

    fleet::Status start() {
        EngineCallbacks callbacks;
        callbacks.play = on_play;
        callbacks.error = on_error;
        return host_.start(
            &target_, callbacks, [] { return false; }, [this](int) { ++published_; });
    }

    KivraVideoTarget target_{};
    std::atomic<int> published_{0};
    EngineHost host_;
};

TEST_F(EngineHostTest, StartsTheEngineWithTheTargetAndCallbacksThenPolls) {
    ASSERT_TRUE(start());
    EXPECT_TRUE(host_.started());
    EXPECT_EQ(fake_engine().init_target, &target_);
    EXPECT_EQ(fake_engine().init_play, &on_play);
    EXPECT_EQ(fake_engine().init_error, &on_error);
    EXPECT_TRUE(wait_for(published_, 1));
    EXPECT_TRUE(host_.progress_running());
    EXPECT_FALSE(start());  // once
}

TEST_F(EngineHostTest, StopEndsThePollerAndReleasesTheEngineOnce) {
    ASSERT_TRUE(start());
    EXPECT_TRUE(host_.stop());
    EXPECT_FALSE(host_.progress_running());
    EXPECT_TRUE(host_.stop());
    EXPECT_EQ(count_of("zRelease"), 1);
}

TEST_F(EngineHostTest, RefusedStartLeavesNothingRunningOrToRelease) {
    fake_engine().init_result = false;
    EXPECT_FALSE(start());
    EXPECT_FALSE(host_.started());
    EXPECT_FALSE(host_.progress_running());
    EXPECT_TRUE(host_.stop());
    EXPECT_EQ(count_of("zRelease"), 0);
}

TEST_F(EngineHostTest, RefusedReleaseIsReported) {
    ASSERT_TRUE(start());
    fake_engine().release_result = false;
    const fleet::Status stopped = host_.stop();
    ASSERT_FALSE(stopped);
    EXPECT_NE(stopped.error().message.find("zRelease"), std::string::npos);
    EXPECT_FALSE(host_.progress_running());
}

// The poller asks the engine for positions: it must be gone before the engine is released.
EngineHost* g_host = nullptr;
bool g_poller_ran_at_release = true;

TEST(EngineHostOrder, ThePollerEndsBeforeTheEngineIsReleased) {
    EngineApi api = make_fake_engine_api();
    api.zRelease = [] {
        g_poller_ran_at_release = g_host->progress_running();
        return uint8_t{1};
    };
    EngineHost host(api, ExtractApi{});
    g_host = &host;
    KivraVideoTarget target{};
    ASSERT_TRUE(host.start(
        &target, EngineCallbacks{}, [] { return false; }, [](int) {}));
    ASSERT_TRUE(host.progress_running());
    EXPECT_TRUE(host.stop());
    EXPECT_FALSE(g_poller_ran_at_release);
    g_host = nullptr;
}

TEST(EngineHostBinding, TheErrorNamesTheLibraryThatFailed) {
    EngineHost lacking_a_name;
    const fleet::Status engine = lacking_a_name.bind(BINDING_PARTIAL_PROGRAM_DIR);
    ASSERT_FALSE(engine);
    EXPECT_EQ(engine.error().code, kEngineNotBound);

    // That program folder has an engine but no extraction library.
    EngineHost without_extraction;
    const fleet::Status extract = without_extraction.bind(BINDING_FULL_PROGRAM_DIR);
    ASSERT_FALSE(extract);
    EXPECT_EQ(extract.error().code, kExtractionNotBound);
    EXPECT_NE(extract.error().message.find("libombrel.so"), std::string::npos);
}

}  // namespace
}  // namespace velmora::test
