// The realtime parameters dvrtool asks a recorder for: the chosen channels at the highest
// frame rate, CIF, audio at full rate, with the engine's prebuffering on.
#pragma once

#include <optional>
#include <vector>

#include "kivra/kivra.h"
#include "remote_address.h"

namespace dvrtool {

// Live channels are 1..8; a recorder of more than four channels is asked as one of eight.
inline constexpr int kLiveChannels = 8;

// channels: 1-based numbers, each once, 1..8; none given asks for every channel of the count
// (four, or eight when a channel above four is named).
LiveParams live_params_for(const RemoteAddress& address,
                           const std::optional<std::vector<int>>& channels);

}  // namespace dvrtool
