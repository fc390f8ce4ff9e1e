// Fennick's callback carries no pointer of the caller's, so each link of the engine has a
// callback of its own that hands the events to the object bound to it.
#pragma once

#include <cstdint>

#include "fennick/fennick.h"

namespace kivra::net {

class TransportSink {
  public:
    virtual ~TransportSink() = default;
    // On Fennick's io thread: never block here.
    virtual void on_transport(int32_t side, int32_t link, const uint8_t* data, int32_t length,
                              int32_t event) = 0;
};

enum class TransportSlot { Realtime = 0, Remote = 1 };

FennickProc transport_proc(TransportSlot slot);
// Null unbinds; events for an unbound slot are dropped. Binding makes sure the transport
// outlives the sink, so the sink may still close its links when it is destroyed at exit.
void bind_transport(TransportSlot slot, TransportSink* sink);

}  // namespace kivra::net
