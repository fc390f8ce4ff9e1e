// dvrtool play: drives the engine as a host would, without a window. Commands are sent at
// chosen seconds, every callback can be printed as a JSON line, and the canvas can be saved.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "dvrtool/commands.h"
#include "engine_open.h"
#include "kivra/kivra.h"
#include "messages.h"
#include "report/json_text.h"
#include "report/png_writer.h"
#include "report/telemetry_json.h"

namespace dvrtool {
namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::ordered_json;

struct Action {
    double at = 0;         // seconds after play was sent
    std::string verb;      // pause, play, ff, screenshot, ...
    std::string value;     // the part after the first ':'
    long long number = 0;  // the value of ff, fb, seek, full, div and volume
};

// What the callbacks share with the main thread; callbacks are plain C functions.
struct Session {
    std::mutex lock;
    std::condition_variable changed;
    Clock::time_point start = Clock::now();
    bool print_events = false;
    int width = 960, height = 720;
    std::vector<uint8_t> canvas;
    int canvas_width = 0, canvas_height = 0, canvas_stride = 0;
    int results = 0;  // command results seen
    int last_result = -1;
    bool end_of_data = false;
    uint32_t last_time = 0;
    bool screenshot_failed = false;
    int disk_event = -1;  // the first disk report, once the engine has looked at the medium
};

Session* session = nullptr;

double seconds_since_start() {
    return std::chrono::duration<double>(Clock::now() - session->start).count();
}

void emit(const char* cb, ordered_json fields) {
    if (!session->print_events) return;
    ordered_json line = {{"t", std::round(seconds_since_start() * 1000) / 1000}, {"cb", cb}};
    line.update(fields);
    std::printf("%s\n", line.dump().c_str());
    std::fflush(stdout);
}

void on_size(void*, int32_t* width, int32_t* height) {
    *width = session->width;
    *height = session->height;
}

void on_present(void*, const KivraCanvas* canvas) {
    std::lock_guard<std::mutex> guard(session->lock);
    size_t bytes = static_cast<size_t>(canvas->stride) * static_cast<size_t>(canvas->height);
    session->canvas.assign(canvas->pixels, canvas->pixels + bytes);
    session->canvas_width = canvas->width;
    session->canvas_height = canvas->height;
    session->canvas_stride = canvas->stride;
}

void on_play(int32_t code, int32_t value) {
    std::lock_guard<std::mutex> guard(session->lock);
    emit("play", {{"code", code}, {"value", value}});
    if (code >= KIVRA_RESULT_CLOSE_FAILED && code != KIVRA_EVENT_DRAW_FAILED) {
        ++session->results;
        session->last_result = code;
    }
    if (code == KIVRA_EVENT_END_OF_DATA) session->end_of_data = true;
    session->changed.notify_all();
}

void on_frame(uint32_t time, const char* id, const void* position, const int32_t* g, float speed,
              int32_t temperature, const uint8_t* flags, int32_t tyres_per_group, const void* tyres,
              int32_t s1, int32_t s2, int32_t s3, int32_t s4, int32_t s5, int32_t s6) {
    const int32_t summary[6] = {s1, s2, s3, s4, s5, s6};
    ordered_json fields = fleet::to_json(fleet::telemetry_of_frame_info(
        time, id, position, g, speed, temperature, flags, tyres_per_group, tyres, summary));
    for (const char* key : {"gop", "frame", "channels"}) fields.erase(key);
    std::lock_guard<std::mutex> guard(session->lock);
    session->last_time = time;
    emit("frame", std::move(fields));
}

void on_disk(int32_t type, const char* path, int32_t event) {
    std::lock_guard<std::mutex> guard(session->lock);
    emit("disk", {{"type", type},
                  {"path", path ? ordered_json(fleet::utf8_text(path)) : nullptr},
                  {"event", event}});
    if (session->disk_event < 0) session->disk_event = event;
    session->changed.notify_all();
}

void on_link(int32_t link, int32_t code, int32_t value, intptr_t extra) {
    std::lock_guard<std::mutex> guard(session->lock);
    emit("link", {{"link", link}, {"code", code}, {"value", value}, {"extra", extra}});
}

void on_extract(int32_t kind, int32_t percent, const void*, int32_t length, const void*) {
    std::lock_guard<std::mutex> guard(session->lock);
    emit("extract", {{"kind", kind}, {"percent", percent}, {"length", length}});
}

void on_error(int32_t code, int32_t system_error, int32_t checked) {
    std::lock_guard<std::mutex> guard(session->lock);
    emit("error", {{"code", code},
                   {"system", system_error},
                   {"checked", checked},
                   {"text", KivraErrorText(code)}});
}

// Sends a playback command and waits for its result (commands go one at a time).
int send_command(int cmd, intptr_t first = 0, int64_t offset = 0, const char* text = nullptr) {
    std::unique_lock<std::mutex> guard(session->lock);
    int before = session->results;
    guard.unlock();
    zPlayMSG(cmd, first, static_cast<int32_t>(offset & 0xFFFFFFFF),
             static_cast<int32_t>(offset >> 32), text);
    guard.lock();
    bool answered = session->changed.wait_for(guard, std::chrono::seconds(10),
                                              [&] { return session->results > before; });
    return answered ? session->last_result : -1;
}

fleet::Result<long long> parse_number(std::string_view text, const std::string& what) {
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return usage_error(what + ": '" + std::string(text) + "' is not a number");
    }
    return v;
}

// Finite seconds, not negative, from the whole text; else a usage error saying `complaint`.
fleet::Result<double> parse_seconds(std::string_view text, const std::string& complaint) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v) || v < 0) {
        return usage_error(complaint);
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

// A screenshot that cannot be taken is a warning and the play goes on, but the command then
// ends with exit 1: a script must not take a missing picture for a saved one.
void save_screenshot(const std::string& path) {
    std::lock_guard<std::mutex> guard(session->lock);
    if (session->canvas.empty()) {
        warn("no picture yet for " + path);
        session->screenshot_failed = true;
        return;
    }
    auto written = fleet::write_png(path, session->canvas.data(), session->canvas_width,
                                    session->canvas_height, session->canvas_stride);
    if (!written) {
        warn(written.error().message);
        session->screenshot_failed = true;
    }
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
        int32_t rect[4] = {0, 0, session->width, session->height};
        send_command(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(rect), session->last_time,
                     a.value.c_str());
    }
}

// Runs the actions in time order; ends at --for seconds, or at the end of the data when no
// time is given.
void run_timeline(std::vector<Action> actions, double run_for) {
    std::stable_sort(actions.begin(), actions.end(),
                     [](const Action& a, const Action& b) { return a.at < b.at; });
    size_t next = 0;
    for (;;) {
        double due = next < actions.size() ? actions[next].at : run_for;
        if (run_for >= 0) due = std::min(due, run_for);
        std::unique_lock<std::mutex> guard(session->lock);
        auto deadline = session->start + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(due < 0 ? 1e9 : due));
        bool ended = session->changed.wait_until(guard, deadline, [&] {
            return run_for < 0 && next >= actions.size() && session->end_of_data;
        });
        guard.unlock();
        if (ended) return;
        if (run_for >= 0 && seconds_since_start() >= run_for) return;
        if (next < actions.size() && seconds_since_start() >= actions[next].at) {
            run_action(actions[next++]);
        }
    }
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

// The engine reads a disk or card on its search thread and reports the outcome; the wait is
// long because a device may spin up first.
int wait_for_disk_report() {
    std::unique_lock<std::mutex> guard(session->lock);
    session->changed.wait_for(guard, std::chrono::seconds(60),
                              [] { return session->disk_event >= 0; });
    return session->disk_event;
}

// Leaves the engine with nothing open and its threads stopped.
void close_engine() {
    if (zTellOpenedType() != KIVRA_SOURCE_NONE) send_command(KIVRA_CMD_CLOSE);
    zRelease();
    session = nullptr;
}

}  // namespace

Outcome run_play(const CommandLine& line) {
    if (!line.has("--headless")) return usage_error("only --headless play is available here");
    auto actions = parse_actions(line);
    if (!actions) return actions.error();
    double run_for = -1;
    if (auto v = line.value("--for")) {
        auto seconds = parse_seconds(*v, "--for takes seconds, not '" + *v + "'");
        if (!seconds) return seconds.error();
        run_for = *seconds;
    }
    Session state;
    state.print_events = line.has("--events");
    if (auto size = line.value("--size")) {
        if (std::sscanf(size->c_str(), "%dx%d", &state.width, &state.height) != 2 ||
            state.width <= 0 || state.height <= 0) {
            return usage_error("--size takes WIDTHxHEIGHT");
        }
    }
    session = &state;

    KivraVideoTarget target{nullptr, on_size, on_present};
    if (!zInit(&target, on_play, on_frame, on_disk, on_link, on_extract, on_error)) {
        session = nullptr;
        return fleet::fail("the engine cannot start");
    }
    if (auto opened = open_in_engine(line, wait_for_disk_report); !opened) {
        close_engine();
        return opened.error();
    }
    state.start = Clock::now();
    send_command(KIVRA_CMD_PLAY);
    run_timeline(std::move(*actions), run_for);
    const int status = zTellStatusType();
    const bool open = zTellOpenedType() != KIVRA_SOURCE_NONE;
    if (open && status != KIVRA_STATUS_OPENED && status != KIVRA_STATUS_STOPPED) {
        send_command(KIVRA_CMD_STOP);
    }
    close_engine();
    return state.screenshot_failed ? kExitFailed : kExitDone;
}

}  // namespace dvrtool
