#include "engine_bridge.h"

#include <QCoreApplication>
#include <atomic>
#include <cstring>

namespace velmora {

namespace {

std::atomic<QObject*> g_receiver{nullptr};

// The engine hands the identifier field of its frame set, which need not be terminated.
constexpr size_t kVehicleIdBytes = 16;

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

// Called for every presented frame under the engine's audio lock: copy two values, return.
void on_frame(uint32_t gop_time, const char* vehicle_id, const void*, const int32_t*, float,
              int32_t, const uint8_t*, int32_t, const void*, int32_t, int32_t, int32_t, int32_t,
              int32_t, int32_t) {
    auto* event = new EngineEvent(EngineEvent::Kind::Frame, static_cast<int32_t>(gop_time), 0, 0);
    if (vehicle_id != nullptr) event->text.assign(vehicle_id, strnlen(vehicle_id, kVehicleIdBytes));
    post(event);
}

void on_disk(int32_t source_type, const char*, int32_t disk_event) {
    post(new EngineEvent(EngineEvent::Kind::Disk, source_type, disk_event, 0));
}

void on_link(int32_t link, int32_t code, int32_t value, intptr_t) {
    post(new EngineEvent(EngineEvent::Kind::Link, link, code, value));
}

void on_extract(int32_t, int32_t, const void*, int32_t, const void*) {}

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

}  // namespace velmora
