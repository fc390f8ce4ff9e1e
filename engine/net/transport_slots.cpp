#include "net/transport_slots.h"

#include <atomic>

namespace kivra::net {
namespace {

std::atomic<TransportSink*> g_sinks[2] = {nullptr, nullptr};

template <int Slot>
int32_t deliver(int32_t side, int32_t link, const void* data, int32_t length, int32_t event) {
    TransportSink* sink = g_sinks[Slot].load();
    if (sink != nullptr) {
        sink->on_transport(side, link, static_cast<const uint8_t*>(data), length, event);
    }
    return 0;
}

}  // namespace

FennickProc transport_proc(TransportSlot slot) {
    return slot == TransportSlot::Realtime ? &deliver<0> : &deliver<1>;
}

void bind_transport(TransportSlot slot, TransportSink* sink) {
    g_sinks[static_cast<int>(slot)].store(sink);
}

}  // namespace kivra::net
