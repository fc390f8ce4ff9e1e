// How a realtime play reaches a recorder: the connect mode handed to zOpenEx, chosen from the
// vehicle's capability byte, the links it already has open and the configured run mode.
#pragma once

#include <cstdint>

#include "kivra/kivra.h"

namespace velmora {

// Connect modes as zOpenEx takes them.
inline constexpr int kConnectDirect = 0;     // the engine connects to the recorder
inline constexpr int kConnectConnector = 1;  // through the host's connector
inline constexpr int kConnectListen = 4;     // the recorder connects to the engine
inline constexpr int kConnectShared = 5;     // a second viewer joins through the connector

enum class RealtimeRefusal {
    None,
    MaximumConnections,  // told to the operator
    NotOpened,           // silently: the recorder reports more links than it can have
};

struct ConnectChoice {
    RealtimeRefusal refusal = RealtimeRefusal::None;
    int connect_mode = kConnectDirect;
    bool operator==(const ConnectChoice&) const = default;
};

// capability: its low nibble marks an address behind NAT, 16 and above a recorder that takes a
// second viewer; open_links: 0..2; run_mode: the configuration's "RunMode".
ConnectChoice choose_connect_mode(uint8_t capability, int open_links, int run_mode);

// The connector handed to the engine while no relay component is bound: every relayed link
// fails at once (link handle -1, no error codes), as a connector that reaches nothing does.
intptr_t unbound_connector(const void* address6, const void* recorder_name32, int32_t purpose,
                           void* transport_callback, int32_t* mode, int32_t* error, int32_t* error2,
                           LiveParams params);

}  // namespace velmora
