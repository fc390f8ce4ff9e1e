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

EngineSession* current = nullptr;

void emit(const char* cb, ordered_json fields) {
    if (!current->print_events) return;
    ordered_json line = {{"t", std::round(seconds_since_start() * 1000) / 1000}, {"cb", cb}};
    line.update(fields);
    std::printf("%s\n", line.dump().c_str());
    std::fflush(stdout);
}

void on_size(void*, int32_t* width, int32_t* height) {
    *width = current->width;
    *height = current->height;
}

void on_present(void*, const KivraCanvas* canvas) {
    std::lock_guard<std::mutex> guard(current->lock);
    size_t bytes = static_cast<size_t>(canvas->stride) * static_cast<size_t>(canvas->height);
    current->canvas.assign(canvas->pixels, canvas->pixels + bytes);
    current->canvas_width = canvas->width;
    current->canvas_height = canvas->height;
    current->canvas_stride = canvas->stride;
}

void on_play(int32_t code, int32_t value) {
    std::lock_guard<std::mutex> guard(current->lock);
    emit("play", {{"code", code}, {"value", value}});
    if (code >= KIVRA_RESULT_CLOSE_FAILED && code != KIVRA_EVENT_DRAW_FAILED) {
        ++current->results;
        current->last_result = code;
    }
    if (code == KIVRA_EVENT_END_OF_DATA) current->end_of_data = true;
    current->changed.notify_all();
}

void on_frame(uint32_t time, const char* id, const void* position, const int32_t* g, float speed,
              int32_t temperature, const uint8_t* flags, int32_t tyres_per_group, const void* tyres,
              int32_t s1, int32_t s2, int32_t s3, int32_t s4, int32_t s5, int32_t s6) {
    const int32_t summary[6] = {s1, s2, s3, s4, s5, s6};
    ordered_json fields = fleet::to_json(fleet::telemetry_of_frame_info(
        time, id, position, g, speed, temperature, flags, tyres_per_group, tyres, summary));
    for (const char* key : {"gop", "frame", "channels"}) fields.erase(key);
    std::lock_guard<std::mutex> guard(current->lock);
    current->last_time = time;
    emit("frame", std::move(fields));
}

void on_disk(int32_t type, const char* path, int32_t event) {
    std::lock_guard<std::mutex> guard(current->lock);
    emit("disk", {{"type", type},
                  {"path", path ? ordered_json(fleet::utf8_text(path)) : nullptr},
                  {"event", event}});
    if (current->disk_event < 0) current->disk_event = event;
    current->changed.notify_all();
}

void on_link(int32_t link, int32_t code, int32_t value, intptr_t extra) {
    std::lock_guard<std::mutex> guard(current->lock);
    emit("link", {{"link", link}, {"code", code}, {"value", value}, {"extra", extra}});
    record_link_report(current->link, link, code, value, extra);
    current->changed.notify_all();
}

void on_extract(int32_t kind, int32_t percent, const void*, int32_t length, const void*) {
    std::lock_guard<std::mutex> guard(current->lock);
    emit("extract", {{"kind", kind}, {"percent", percent}, {"length", length}});
}

void on_error(int32_t code, int32_t system_error, int32_t checked) {
    std::lock_guard<std::mutex> guard(current->lock);
    emit("error", {{"code", code},
                   {"system", system_error},
                   {"checked", checked},
                   {"text", KivraErrorText(code)}});
}

}  // namespace

fleet::Status start_engine(EngineSession& session) {
    current = &session;
    static const KivraVideoTarget target{nullptr, on_size, on_present};
    if (!zInit(&target, on_play, on_frame, on_disk, on_link, on_extract, on_error)) {
        current = nullptr;
        return fleet::fail("the engine cannot start");
    }
    return {};
}

EngineSession& session() {
    return *current;
}

double seconds_since_start() {
    return std::chrono::duration<double>(Clock::now() - current->start).count();
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
    current = nullptr;
}

}  // namespace dvrtool
