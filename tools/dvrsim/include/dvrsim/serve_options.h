// What `dvrsim serve` is asked to do: which recording it offers, how it meets the viewer's
// engine on the network, and the misbehaviours tests ask of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"

namespace dvrsim {

inline constexpr int kRecorderPort = 2200;

// How a live start is answered when refused.
enum class LiveRefusal { None, Busy, Denied };

struct ServeOptions {
    std::string pair_base;    // --pair: BASE.dvr and BASE.inx
    std::string device_path;  // --disk: a recorder disk or card image (or device)
    int listen_port = kRecorderPort;
    bool dial = false;  // connect to the engine instead of listening
    std::string dial_host;
    int dial_port = 0;
    std::optional<uint32_t> first_unit;  // renumber the index so it starts here
    LiveRefusal refusal = LiveRefusal::None;
    int64_t cut_after = 0;  // close a link after that many GOPs; 0: never
    double pace = 1.0;      // live GOPs come this many times faster than recorded
    std::string stats_path;
};

fleet::Result<ServeOptions> parse_serve_args(const std::vector<std::string>& args);

}  // namespace dvrsim
