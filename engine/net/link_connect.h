// Making a link to a recorder, the three ways: a direct TCP link (mode 0), listening for the
// recorder to connect (mode 4), or the host's connector (any other mode; it says by the mode it
// leaves whether the recorder connects to us, 1 or 4, or we hold a client link, 3).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fennick/fennick.h"
#include "kivra/kivra.h"
#include "net/link_address.h"
#include "net/link_reports.h"

namespace kivra::net {

inline constexpr int32_t kModeDirect = 0;
inline constexpr int32_t kModeConnectorServer = 1;
inline constexpr int32_t kModeRelayed = 3;
inline constexpr int32_t kModeListen = 4;

// Links of modes 1 and 4 are accepted by a listener: they send and close with the _S functions.
inline bool is_server_mode(int32_t mode) {
    return mode == kModeConnectorServer || mode == kModeListen;
}

struct ConnectPlan {
    std::string address;  // "HOST[:PORT]", for mode 0
    std::array<uint8_t, 6> address6{};
    std::array<uint8_t, 32> name32{};
    KivraConnector connector = nullptr;
    LiveParams params{};
    int32_t purpose = KIVRA_LISTEN_REALTIME;
    FennickProc proc = nullptr;
};

// A link's two handles: the message link, and for server-side modes the listener it came from
// (the link is -1 until the recorder said hello).
struct LinkEnds {
    int32_t link = -1;
    int32_t listener = -1;
    int32_t mode = kModeDirect;

    bool server_side() const { return is_server_mode(mode); }
    bool is_open() const { return link >= 0 || listener >= 0; }
};

struct ConnectResult {
    LinkEnds ends;
    int32_t error = 0;   // the transport's errno, or the connector's error
    int32_t error2 = 0;  // the connector's second code; 0 for direct and listening attempts
    bool listening_here = false;  // the engine's own listener on 2201 is up

    bool ok() const { return ends.is_open(); }
};

// One attempt in `mode`. Blocks while a direct link connects or the connector works.
ConnectResult connect_once(const ConnectPlan& plan, int32_t mode);
// One attempt, and after a failed direct one a single attempt in `fallback_mode`.
ConnectResult connect_with_fallback(const ConnectPlan& plan, int32_t mode, int32_t fallback_mode);

// False (with *error set if given) when the transport refuses the message.
bool send_on(const LinkEnds& ends, const std::vector<uint8_t>& message, int32_t* error = nullptr);
// Closes the link and the listener. Never call it holding a lock the transport callback takes.
void close_ends(const LinkEnds& ends);
// Closes a link accepted by a listener that did not become the link.
void close_accepted(int32_t link);

// A link that could not be made: LinkEventProc (link, 1, error, 0) and ErrorProc with the
// connector's code, or the engine's own for direct and listening attempts.
void report_connect_failure(LinkReports& reports, int32_t link, int32_t error, int32_t error2);

// How long a listener waits for the recorder's hello: 60 s, or KIVRA_LISTEN_TIMEOUT_MS.
int listen_timeout_ms();

}  // namespace kivra::net
