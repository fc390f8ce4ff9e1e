#include "net_host.h"

#include <cstdlib>
#include <cstring>

namespace engine_net {
namespace {

void size_of_area(void*, int32_t* width, int32_t* height) {
    *width = 320;
    *height = 240;
}

void present_canvas(void*, const KivraCanvas*) {}

std::mutex g_hook_lock;
std::function<void(const LinkReport&)> g_link_hook;

void on_link(int32_t link, int32_t code, int32_t value, intptr_t extra) {
    LinkReport report{link, code, value, extra, {}};
    if (code == KIVRA_LINK_INDEX_UNIT && extra != 0) {
        std::memcpy(report.unit.data(), reinterpret_cast<const void*>(extra), 16);
    }
    link_reports().add(report);
    std::function<void(const LinkReport&)> hook;
    {
        std::lock_guard<std::mutex> guard(g_hook_lock);
        hook = g_link_hook;
    }
    if (hook) hook(report);
}

void on_error(int32_t code, int32_t system, int32_t checked) {
    error_reports().add({code, system, checked});
}

void on_play(int32_t code, int32_t value) {
    play_reports().add({code, value});
}

bool g_started = false;

class HostEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { setenv("KIVRA_AUDIO", "clock", 1); }
    void TearDown() override {
        if (g_started) zRelease();
    }
};

[[maybe_unused]] ::testing::Environment* const kHostEnvironment =
    ::testing::AddGlobalTestEnvironment(new HostEnvironment);

}  // namespace

Log<LinkReport>& link_reports() {
    static Log<LinkReport> log;
    return log;
}

Log<ErrorReport>& error_reports() {
    static Log<ErrorReport> log;
    return log;
}

Log<PlayReport>& play_reports() {
    static Log<PlayReport> log;
    return log;
}

std::optional<LinkReport> wait_link(size_t from, int32_t link, int32_t code,
                                    std::optional<int32_t> value, Millis limit) {
    return link_reports().wait(
        from,
        [&](const LinkReport& r) {
            return r.link == link && r.code == code && (!value || r.value == *value);
        },
        limit);
}

std::vector<int32_t> link_codes_since(size_t from, int32_t link) {
    std::vector<int32_t> codes;
    for (const LinkReport& r : link_reports().since(from)) {
        if (r.link == link) codes.push_back(r.code);
    }
    return codes;
}

void set_link_hook(std::function<void(const LinkReport&)> hook) {
    std::lock_guard<std::mutex> guard(g_hook_lock);
    g_link_hook = std::move(hook);
}

namespace {
std::mutex g_slow_lock;
std::condition_variable g_slow_released;
bool g_slow_held = false;
}  // namespace

void SlowConnector::hold() {
    std::lock_guard<std::mutex> guard(g_slow_lock);
    g_slow_held = true;
}

void SlowConnector::release() {
    {
        std::lock_guard<std::mutex> guard(g_slow_lock);
        g_slow_held = false;
    }
    g_slow_released.notify_all();
}

intptr_t SlowConnector::fail(const void*, const void*, int32_t, void*, int32_t*, int32_t* error,
                             int32_t* error2, LiveParams) {
    std::unique_lock<std::mutex> guard(g_slow_lock);
    g_slow_released.wait_for(guard, kWait, [] { return !g_slow_held; });
    *error = 1234;
    *error2 = 5678;
    return -1;
}

std::optional<int32_t> close_source() {
    const size_t mark = play_reports().mark();
    zPlayMSG(KIVRA_CMD_CLOSE, 0, 0, 0, nullptr);
    auto result = play_reports().wait(mark, [](const PlayReport& r) {
        return r.code == KIVRA_RESULT_CLOSE_OK || r.code == KIVRA_RESULT_CLOSE_FAILED;
    });
    if (!result || result->code != KIVRA_RESULT_CLOSE_OK) return std::nullopt;
    return result->value;
}

void NetTest::SetUp() {
    if (!g_started) {
        static const KivraVideoTarget target{nullptr, &size_of_area, &present_canvas};
        ASSERT_EQ(zInit(&target, &on_play, nullptr, nullptr, &on_link, nullptr, &on_error), 1);
        g_started = true;
    }
    ASSERT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

void NetTest::TearDown() {
    zStopDownload();
    if (zTellOpenedType() != KIVRA_SOURCE_NONE) {
        EXPECT_TRUE(close_source().has_value());
    }
    unsetenv("KIVRA_LISTEN_TIMEOUT_MS");
}

}  // namespace engine_net
