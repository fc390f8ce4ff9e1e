// Cross-checks the time index against what a forward walk found in the stream.
#pragma once

#include <cstdint>
#include <vector>

#include "damage.h"
#include "format/byte_source.h"
#include "format/index_format.h"

namespace dvrtool {

struct GopMark {
    int64_t offset = 0;
    uint32_t time = 0;
};

// Every unit but the closing one must name the start of a walked GOP and carry its time; the
// closing unit must name the end of the walked data. `gops` is in stream order.
std::vector<Damage> check_index(fleet::format::ByteSource& index,
                                const fleet::format::IndexHeader& header,
                                const std::vector<GopMark>& gops, int64_t data_end);

}  // namespace dvrtool
