#include "play_timeline.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>

#include "kivra/kivra.h"

namespace dvrtool {
namespace {

fleet::Result<long long> parse_number(std::string_view text, const std::string& what) {
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return usage_error(what + ": '" + std::string(text) + "' is not a number");
    }
    return v;
}

fleet::Result<Action> parse_action(const std::string& plan, bool screenshot) {
    auto colon = plan.find(':');
    if (colon == std::string::npos) return usage_error("expected T:... in '" + plan + "'");
    Action a;
    auto at = parse_seconds(std::string_view(plan).substr(0, colon), "bad time in '" + plan + "'");
    if (!at) return at.error();
    a.at = *at;
    std::string rest = plan.substr(colon + 1);
    if (screenshot) {
        a.verb = "screenshot";
        a.value = rest;
        return a;
    }
    auto second = rest.find(':');
    a.verb = rest.substr(0, second);
    a.value = second == std::string::npos ? "" : rest.substr(second + 1);
    static const std::vector<std::string> kPlain = {"pause",    "play", "step",
                                                    "stepback", "stop", "close"};
    static const std::vector<std::string> kValued = {"ff",  "fb",    "seek",   "full",
                                                     "div", "voice", "volume", "snapshot"};
    bool plain = std::find(kPlain.begin(), kPlain.end(), a.verb) != kPlain.end();
    bool valued = std::find(kValued.begin(), kValued.end(), a.verb) != kValued.end();
    if (!plain && !valued) return usage_error("unknown command '" + a.verb + "'");
    if (valued && a.value.empty()) return usage_error("'" + a.verb + "' needs a value");
    if (a.verb == "voice" && a.value != "on" && a.value != "off") {
        return usage_error("voice takes on or off");
    }
    if (valued && a.verb != "voice" && a.verb != "snapshot") {
        auto number = parse_number(a.value, a.verb);
        if (!number) return number.error();
        a.number = *number;
    }
    return a;
}

void run_action(const Action& a) {
    const auto number = static_cast<intptr_t>(a.number);
    const auto number32 = static_cast<int32_t>(a.number);
    if (a.verb == "screenshot")
        save_screenshot(a.value);
    else if (a.verb == "play")
        send_command(KIVRA_CMD_PLAY);
    else if (a.verb == "pause")
        send_command(KIVRA_CMD_PAUSE);
    else if (a.verb == "step")
        send_command(KIVRA_CMD_STEP_FORWARD);
    else if (a.verb == "stepback")
        send_command(KIVRA_CMD_STEP_BACKWARD);
    else if (a.verb == "ff")
        send_command(KIVRA_CMD_FAST_FORWARD, number);
    else if (a.verb == "fb")
        send_command(KIVRA_CMD_FAST_BACKWARD, number);
    else if (a.verb == "seek")
        send_command(KIVRA_CMD_SEEK, 0, a.number);
    else if (a.verb == "stop")
        send_command(KIVRA_CMD_STOP);
    else if (a.verb == "close")
        send_command(KIVRA_CMD_CLOSE);
    else if (a.verb == "full")
        zSetFullScreen(number32);
    else if (a.verb == "div")
        zSetDivStatus(number32);
    else if (a.verb == "voice")
        a.value == "on" ? static_cast<void>(zOpenVoice()) : zCloseVoice();
    else if (a.verb == "volume")
        zSetVoiceVolume(number32);
    else if (a.verb == "snapshot") {
        int32_t rect[4] = {0, 0, session().width, session().height};
        send_command(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(rect), session().last_time,
                     a.value.c_str());
    }
}

}  // namespace

fleet::Result<double> parse_seconds(std::string_view text, const std::string& complaint) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v) || v < 0) {
        return usage_error(complaint);
    }
    return v;
}

fleet::Result<std::vector<Action>> parse_actions(const CommandLine& line) {
    std::vector<Action> actions;
    for (const auto& [option, screenshot] : {std::pair{"--do", false}, {"--screenshot", true}}) {
        for (const auto& plan : line.all(option)) {
            auto action = parse_action(plan, screenshot);
            if (!action) return action.error();
            actions.push_back(std::move(*action));
        }
    }
    return actions;
}

void run_timeline(std::vector<Action> actions, double run_for, const TimelineWatch& watch) {
    std::stable_sort(actions.begin(), actions.end(),
                     [](const Action& a, const Action& b) { return a.at < b.at; });
    EngineSession& s = session();
    size_t next = 0;
    for (;;) {
        double due = next < actions.size() ? actions[next].at : run_for;
        if (run_for >= 0) due = std::min(due, run_for);
        std::unique_lock<std::mutex> guard(s.lock);
        const auto planned = s.start + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(due < 0 ? 1e9 : due));
        const auto deadline = std::min(planned, Clock::now() + watch.slice);
        bool over = s.changed.wait_until(guard, deadline,
                                         [&] { return watch.over(next >= actions.size()); });
        guard.unlock();
        if (over) return;
        if (watch.tend) watch.tend();
        if (run_for >= 0 && seconds_since_start() >= run_for) return;
        if (next < actions.size() && seconds_since_start() >= actions[next].at) {
            run_action(actions[next++]);
        }
    }
}

}  // namespace dvrtool
