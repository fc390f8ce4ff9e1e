// dvrtool play --live: a recorder's live video through the engine's realtime link, as the
// viewer plays it: open, wait for the engine's prebuffering, play, and let the reader poll
// again each time prebuffering is full anew; stop and close at the end.
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dvrtool/commands.h"
#include "engine_session.h"
#include "interrupt_block.h"
#include "kivra/kivra.h"
#include "live_params.h"
#include "messages.h"
#include "play_timeline.h"
#include "remote_address.h"

namespace dvrtool {
namespace {

using namespace std::chrono_literals;

// Direct links only. The engine's fallbacks after a failed direct link are listening for the
// recorder to call (fallback_to_nat 0) or the host's connector (1); dvrtool has no connector,
// so with 1 a direct link that fails ends the open at once instead of listening a minute.
constexpr int32_t kConnectDirect = 0;
constexpr int32_t kFallbackToConnector = 1;

// Ctrl-C and the engine's reports are noticed within this.
constexpr auto kWatchSlice = 50ms;

struct LivePlan {
    RemoteAddress address;
    LiveParams params{};
    std::vector<Action> actions;
    double run_for = -1;
};

fleet::Result<LivePlan> parse_live_plan(const CommandLine& line, EngineSession& state) {
    LivePlan plan;
    if (auto parsed = parse_play_view(line, state, plan.run_for); !parsed) return parsed.error();
    if (line.value("--do")) return usage_error("--do goes with a recording, not with --live");
    auto actions = parse_actions(line);
    if (!actions) return actions.error();
    plan.actions = std::move(*actions);
    auto address = parse_remote_address(*line.value("--live"));
    if (!address) return address.error();
    plan.address = *address;
    std::optional<std::vector<int>> channels;
    if (auto text = line.value("--channels")) {
        auto list = parse_channel_list(*text, kLiveChannels, "are not sent live");
        if (!list) return list.error();
        channels = std::move(*list);
    }
    plan.params = live_params_for(plan.address, channels);
    return plan;
}

// Plays once the first prebuffering is full; afterwards every new full prebuffering lets the
// reader, which found the queue empty, poll again (the viewer does the same).
class LivePlayer {
  public:
    explicit LivePlayer(EngineSession& state) : state_(state) {}

    void tend() {
        int full = 0;
        {
            std::lock_guard guard(state_.lock);
            full = state_.link.prebuffer_full;
        }
        if (full == polled_ || failed_) return;
        if (!playing_) {
            const int result = send_command(KIVRA_CMD_PLAY);
            playing_ = result == KIVRA_RESULT_PLAY_OK;
            failed_ = !playing_;
            if (failed_) return;
        }
        zPlayMSG(KIVRA_CMD_POLL, 0, 0, 0, nullptr);
        polled_ = full;
    }

    bool playing() const { return playing_; }
    bool failed() const { return failed_; }

  private:
    EngineSession& state_;
    int polled_ = 0;
    bool playing_ = false;
    bool failed_ = false;
};

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

// How the live play ended, read under the session's lock as the timeline ends.
struct LiveEnd {
    std::optional<LinkTrouble> trouble;
    bool interrupted = false;
};

Outcome report(const LivePlan& plan, const LiveEnd& end, const LivePlayer& player,
               const EngineSession& state) {
    const std::string recorder = plan.address.shown();
    if (end.trouble) return fleet::fail(link_trouble_text(*end.trouble, recorder));
    if (player.failed()) return fleet::fail("the engine cannot play the live video of " + recorder);
    if (!player.playing()) {
        if (end.interrupted) {
            say("interrupted before the live video began");
            return kExitInterrupted;
        }
        return fleet::fail("no live video came from the recorder at " + recorder + " within " +
                           seconds_text(plan.run_for) + " s");
    }
    return state.screenshot_failed ? kExitFailed : kExitDone;
}

LiveEnd play_until_the_end(LivePlan& plan, EngineSession& state, LivePlayer& player,
                           InterruptBlock& interrupts) {
    LiveEnd end;
    TimelineWatch watch;
    watch.over = [&](bool) {
        end.trouble = state.link.trouble;
        end.interrupted = interrupts.poll();
        return end.trouble || end.interrupted || player.failed();
    };
    watch.tend = [&] { player.tend(); };
    watch.slice = kWatchSlice;
    run_timeline(std::move(plan.actions), plan.run_for, watch);
    return end;
}

}  // namespace

Outcome run_play_live(const CommandLine& line) {
    EngineSession state;
    auto plan = parse_live_plan(line, state);
    if (!plan) return plan.error();
    // Before the engine starts, so that its threads inherit the block.
    InterruptBlock interrupts;
    if (auto started = start_engine(state); !started) return started.error();
    state.start = Clock::now();
    const std::array<uint8_t, 6> no_address{};
    const std::array<uint8_t, 32> no_name{};
    if (!zOpenEx(plan->params, kConnectDirect, kFallbackToConnector, no_address.data(),
                 no_name.data(), nullptr)) {
        close_engine();
        return fleet::fail("the engine refused to open live video from " + plan->address.shown());
    }
    LivePlayer player(state);
    const LiveEnd end = play_until_the_end(*plan, state, player, interrupts);
    if (zTellStatusType() == KIVRA_STATUS_PLAYING) send_command(KIVRA_CMD_STOP);
    close_engine();
    return report(*plan, end, player, state);
}

}  // namespace dvrtool
