// What a served recorder counts over all its links, for tests to read back: the engine's
// flow-control requests and the GOPs sent.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "common/result.h"

namespace dvrsim {

struct ServeCounters {
    std::atomic<int64_t> more{0};
    std::atomic<int64_t> slower{0};
    std::atomic<int64_t> sent{0};  // GOPs, live and downloaded; not the end of a download
};

// Writes "more N\nslower N\nsent N\n", replacing the file whole so a reader never sees part.
fleet::Status write_stats(const std::string& path, const ServeCounters& counters);

}  // namespace dvrsim
