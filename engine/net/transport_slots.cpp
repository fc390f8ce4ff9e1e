#include "net/transport_slots.h"

#include <atomic>

#include "link/recorder_messages.h"

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

void TransportSink::on_transport(int32_t side, int32_t link, const uint8_t* data, int32_t length,
                                 int32_t event) {
    switch (event) {
        case FENNICK_MESSAGE:
            if (data != nullptr && length >= 0) {
                on_message(side, link, {data, static_cast<size_t>(length)});
            }
            break;
        case FENNICK_ACCEPTED:
            on_accepted(link);
            break;
        case FENNICK_CLOSED:
        case FENNICK_DROPPED:
            on_closed(link, length);
            break;
        default:
            break;
    }
}

FennickProc transport_proc(TransportSlot slot) {
    return slot == TransportSlot::Realtime ? &deliver<0> : &deliver<1>;
}

// Fennick makes its state on first use and destroys it at exit in the reverse order of
// making: used once before a link object is complete, it outlives the engine's links, which
// close theirs when they are destroyed. A send to no link is the use that changes nothing.
void make_transport_outlive_links() {
    const auto hello = fleet::recorder::encode_hello();
    zSend_C(-1, hello.data(), static_cast<int32_t>(hello.size()), nullptr);
}

void bind_transport(TransportSlot slot, TransportSink* sink) {
    if (sink != nullptr) make_transport_outlive_links();
    g_sinks[static_cast<int>(slot)].store(sink);
}

}  // namespace kivra::net
