// Cross-checks the time index against what a forward walk found in the stream.
#pragma once

#include <cstdint>
#include <vector>

#include "damage.h"
#include "recording.h"

namespace dvrtool {

struct GopMark {
    int64_t offset = 0;
    uint32_t time = 0;
};

// Every unit from the time header's first to its last must name the start of a walked GOP and
// carry its time, but the last: it names the end of the walked data when it closes the data,
// else either. `gops` is in stream order; offsets are the shown ones.
std::vector<Damage> check_index(Recording& recording, const std::vector<GopMark>& gops,
                                int64_t data_end);

}  // namespace dvrtool
