#include "engine_session.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include <nlohmann/json.hpp>

#include "kivra/kivra.h"
#include "messages.h"
#include "report/json_text.h"
#include "report/png_writer.h"
#include "report/telemetry_json.h"

namespace dvrtool {
namespace {

using nlohmann::ordered_json;

// The engine may still report from a thread of its own after the command has let its session
// go (a connect thread's error report racing the close, say). Every callback holds this while
// it uses the session, and the session is let go under it, so such late reports are dropped.
std::mutex attach_lock;
EngineSession* current = nullptr;

// Runs report(session, lock held) when a session is attached.
template <class Report>
void report_to_session(Report report) {
    std::lock_guard<std::mutex> attached(attach_lock);
    if (current == nullptr) return;
    std::lock_guard<std::mutex> guard(current->lock);
    report(*current);
}

double seconds_since(const EngineSession& s) {
    return std::chrono::duration<double>(Clock::now() - s.start).count();
}

void emit(const EngineSession& s, const char* cb, ordered_json fields) {
    if (!s.print_events) return;
    ordered_json line = {{"t", std::round(seconds_since(s) * 1000) / 1000}, {"cb", cb}};
    line.update(fields);
    std::printf("%s\n", line.dump().c_str());
    std::fflush(stdout);
}

void on_size(void*, int32_t* width, int32_t* height) {
    *width = 0;  // nothing to draw once the session is gone
    *height = 0;
    report_to_session([&](EngineSession& s) {
        *width = s.width;
        *height = s.height;
    });
}

void on_present(void*, const KivraCanvas* canvas) {
    report_to_session([&](EngineSession& s) {
        size_t bytes = static_cast<size_t>(canvas->stride) * static_cast<size_t>(canvas->height);
        s.canvas.assign(canvas->pixels, canvas->pixels + bytes);
        s.canvas_width = canvas->width;
        s.canvas_height = canvas->height;
        s.canvas_stride = canvas->stride;
    });
}

void on_play(int32_t code, int32_t value) {
    report_to_session([&](EngineSession& s) {
        emit(s, "play", {{"code", code}, {"value", value}});
        if (code >= KIVRA_RESULT_CLOSE_FAILED && code != KIVRA_EVENT_DRAW_FAILED) {
            ++s.results;
            s.last_result = code;
        }
        if (code == KIVRA_EVENT_END_OF_DATA) s.end_of_data = true;
        s.changed.notify_all();
    });
}

void on_frame(uint32_t time, const char* id, const void* position, const int32_t* g, float speed,
              int32_t temperature, const uint8_t* flags, int32_t tyres_per_group, const void* tyres,
              int32_t s1, int32_t s2, int32_t s3, int32_t s4, int32_t s5, int32_t s6) {
    const int32_t summary[6] = {s1, s2, s3, s4, s5, s6};
    ordered_json fields = fleet::to_json(fleet::telemetry_of_frame_info(
        time, id, position, g, speed, temperature, flags, tyres_per_group, tyres, summary));
    for (const char* key : {"gop", "frame", "channels"}) fields.erase(key);
    report_to_session([&](EngineSession& s) {
        s.last_time = time;
        emit(s, "frame", std::move(fields));
    });
}

void on_disk(int32_t type, const char* path, int32_t event) {
    report_to_session([&](EngineSession& s) {
        emit(s, "disk",
             {{"type", type},
              {"path", path ? ordered_json(fleet::utf8_text(path)) : nullptr},
              {"event", event}});
        if (s.disk_event < 0) s.disk_event = event;
        s.changed.notify_all();
    });
}

void on_link(int32_t link, int32_t code, int32_t value, intptr_t extra) {
    report_to_session([&](EngineSession& s) {
        emit(s, "link", {{"link", link}, {"code", code}, {"value", value}, {"extra", extra}});
        record_link_report(s.link, link, code, value, extra);
        s.changed.notify_all();
    });
}

void on_extract(int32_t kind, int32_t percent, const void*, int32_t length, const void*) {
    report_to_session([&](EngineSession& s) {
        emit(s, "extract", {{"kind", kind}, {"percent", percent}, {"length", length}});
    });
}

void on_error(int32_t code, int32_t system_error, int32_t checked) {
    report_to_session([&](EngineSession& s) {
        emit(s, "error",
             {{"code", code},
              {"system", system_error},
              {"checked", checked},
              {"text", KivraErrorText(code)}});
    });
}

void attach(EngineSession* session) {
    std::lock_guard<std::mutex> attached(attach_lock);
    current = session;
}

}  // namespace

fleet::Status start_engine(EngineSession& session) {
    attach(&session);
    static const KivraVideoTarget target{nullptr, on_size, on_present};
    if (!zInit(&target, on_play, on_frame, on_disk, on_link, on_extract, on_error)) {
        attach(nullptr);
        return fleet::fail("the engine cannot start");
    }
    return {};
}

EngineSession& session() {
    return *current;
}

double seconds_since_start() {
    return seconds_since(*current);
}

int send_command(int cmd, intptr_t first, int64_t offset, const char* text) {
    std::unique_lock<std::mutex> guard(current->lock);
    int before = current->results;
    guard.unlock();
    zPlayMSG(cmd, first, static_cast<int32_t>(offset & 0xFFFFFFFF),
             static_cast<int32_t>(offset >> 32), text);
    guard.lock();
    bool answered = current->changed.wait_for(guard, std::chrono::seconds(10),
                                              [&] { return current->results > before; });
    return answered ? current->last_result : -1;
}

void save_screenshot(const std::string& path) {
    std::lock_guard<std::mutex> guard(current->lock);
    if (current->canvas.empty()) {
        warn("no picture yet for " + path);
        current->screenshot_failed = true;
        return;
    }
    auto written = fleet::write_png(path, current->canvas.data(), current->canvas_width,
                                    current->canvas_height, current->canvas_stride);
    if (!written) {
        warn(written.error().message);
        current->screenshot_failed = true;
    }
}

int wait_for_disk_report() {
    std::unique_lock<std::mutex> guard(current->lock);
    current->changed.wait_for(guard, std::chrono::seconds(60),
                              [] { return current->disk_event >= 0; });
    return current->disk_event;
}

void close_engine() {
    if (zTellOpenedType() != KIVRA_SOURCE_NONE) send_command(KIVRA_CMD_CLOSE);
    zRelease();
    attach(nullptr);
}

}  // namespace dvrtool
