// Fennick's callback carries no pointer of the caller's, so each link of the engine has a
// callback of its own that hands the events to the object bound to it.
#pragma once

#include <cstdint>
#include <span>

#include "fennick/fennick.h"

namespace kivra::net {

// What a link of the engine does with the transport's events, each on Fennick's io thread:
// never block there.
class TransportSink {
  public:
    virtual ~TransportSink() = default;
    void on_transport(int32_t side, int32_t link, const uint8_t* data, int32_t length,
                      int32_t event);

  private:
    virtual void on_message(int32_t side, int32_t link, std::span<const uint8_t> bytes) = 0;
    virtual void on_accepted(int32_t link) = 0;
    // Closed by the far end or the network, or dropped by the transport; reason: 0 for an
    // orderly close, else the errno.
    virtual void on_closed(int32_t link, int32_t reason) = 0;
};

enum class TransportSlot { Realtime = 0, Remote = 1 };

FennickProc transport_proc(TransportSlot slot);
// Null unbinds; events for an unbound slot are dropped. Binding makes sure the transport
// outlives the sink, so the sink may still close its links when it is destroyed at exit.
void bind_transport(TransportSlot slot, TransportSink* sink);

}  // namespace kivra::net
