#include "engine_bridge.h"

#include <QCoreApplication>
#include <atomic>
#include <cstring>
#include <mutex>

namespace velmora {

namespace {

std::atomic<QObject*> g_receiver{nullptr};
std::mutex g_extract_mutex;
fleet::export_host::ExportSession* g_extract_session = nullptr;  // under g_extract_mutex

void post(EngineEvent* event) {
    QObject* receiver = g_receiver.load();
    if (receiver == nullptr) {
        delete event;
        return;
    }
    QCoreApplication::postEvent(receiver, event);
}

void on_play(int32_t code, int32_t value) {
    post(new EngineEvent(EngineEvent::Kind::Play, code, value, 0));
}

// Called for every presented frame under the engine's audio lock: copy, return. The dashboard
// reads the feed on its own beat, so nothing is posted per frame.
void on_frame(uint32_t gop_time, const char* vehicle_id, const void* position,
              const int32_t* gsensor, float speed, int32_t temperature, const uint8_t* flags,
              int32_t tyres_per_group, const void* tyres, int32_t summary1, int32_t summary2,
              int32_t summary3, int32_t summary4, int32_t summary5, int32_t summary6) {
    telemetry_feed().record(gop_time, vehicle_id, position, gsensor, speed, temperature, flags,
                            tyres_per_group, tyres, summary1, summary2, summary3, summary4,
                            summary5, summary6);
}

void on_disk(int32_t source_type, const char*, int32_t disk_event) {
    post(new EngineEvent(EngineEvent::Kind::Disk, source_type, disk_event, 0));
}

// An index row's pointer is valid only during this call: its bytes travel in the event.
void on_link(int32_t link, int32_t code, int32_t value, intptr_t extra) {
    auto* event = new EngineEvent(EngineEvent::Kind::Link, link, code, value);
    if (link != KIVRA_LINK_REALTIME && code == KIVRA_LINK_INDEX_UNIT && extra != 0)
        std::memcpy(event->row.data(), reinterpret_cast<const void*>(extra), event->row.size());
    post(event);
}

void on_extract(int32_t kind, int32_t percent, const void* data, int32_t length,
                const void* frame_set) {
    std::lock_guard lock(g_extract_mutex);
    if (g_extract_session != nullptr)
        g_extract_session->on_extract(kind, percent, data, length, frame_set);
}

void on_error(int32_t error_code, int32_t system_error, int32_t checked_value) {
    post(new EngineEvent(EngineEvent::Kind::Error, error_code, system_error, checked_value));
}

}  // namespace

EngineCallbacks engine_callbacks() {
    return {&on_play, &on_frame, &on_disk, &on_link, &on_extract, &on_error};
}

void set_engine_event_receiver(QObject* receiver) {
    g_receiver.store(receiver);
}

void set_extract_session(fleet::export_host::ExportSession* session) {
    std::lock_guard lock(g_extract_mutex);
    g_extract_session = session;
}

TelemetryFeed& telemetry_feed() {
    // Process-wide, so a frame callback still running while a window closes never writes into
    // a destroyed feed.
    static TelemetryFeed feed;
    return feed;
}

}  // namespace velmora
