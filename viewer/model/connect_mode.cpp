#include "model/connect_mode.h"

namespace velmora {

namespace {

constexpr uint8_t kNatNibble = 0x0F;
constexpr uint8_t kSharedFrom = 16;

// Mode indices of the decision, before they become connect modes.
enum Route { kDirect = 0, kThroughConnector = 1, kJoinShared = 2, kListen = 3 };

int connect_mode_of(int route) {
    switch (route) {
        case kThroughConnector:
            return kConnectConnector;
        case kJoinShared:
            return kConnectShared;
        case kListen:
            return kConnectListen;
        default:
            return kConnectDirect;
    }
}

}  // namespace

ConnectChoice choose_connect_mode(uint8_t capability, int open_links, int run_mode) {
    const bool behind_nat = (capability & kNatNibble) != 0;
    const bool shared = capability >= kSharedFrom;
    const bool server_mode = run_mode != 0;
    int route = kDirect;
    switch (open_links) {
        case 0:
            if (behind_nat) route = server_mode ? kThroughConnector : kListen;
            break;
        case 1:
            if (server_mode)
                route = shared ? kJoinShared : (behind_nat ? kThroughConnector : kDirect);
            else
                route = behind_nat ? kListen : kDirect;
            break;
        case 2:
            if (!server_mode || !shared) return {RealtimeRefusal::MaximumConnections, 0};
            route = kJoinShared;
            break;
        default:
            return {RealtimeRefusal::NotOpened, 0};
    }
    return {RealtimeRefusal::None, connect_mode_of(route)};
}

intptr_t unbound_connector(const void*, const void*, int32_t, void*, int32_t*, int32_t* error,
                           int32_t* error2, LiveParams) {
    if (error != nullptr) *error = 0;
    if (error2 != nullptr) *error2 = 0;
    return -1;
}

}  // namespace velmora
