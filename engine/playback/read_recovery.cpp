#include "playback/read_recovery.h"

#include <algorithm>

#include "format/gop_header.h"

namespace kivra {
namespace {

constexpr int kMostDoublings = 11;  // 512 bytes << 11 = 1 MiB
constexpr std::chrono::milliseconds kLongestBackoff{100};

}  // namespace

int64_t ReadRecovery::skip() const {
    return int64_t{fleet::format::kBlockSize} << std::clamp(failures_ - 1, 0, kMostDoublings);
}

bool ReadRecovery::move_past(StoredSource& source, bool forward) const {
    const int64_t at = source.tell();
    if (at < 0) return false;
    // Seeks land on blocks: an index whose length is not a whole number of blocks must not
    // make the last step past the damage impossible.
    const int64_t last_block =
        source.length() / fleet::format::kBlockSize * fleet::format::kBlockSize;
    const int64_t to =
        forward ? std::min(at + skip(), last_block) : std::max(at - skip(), int64_t{0});
    return to != at && source.seek(to) == 0;
}

std::chrono::milliseconds ReadRecovery::backoff() const {
    const int doublings = std::clamp(failures_ - 1, 0, 7);
    return std::min(std::chrono::milliseconds(1 << doublings), kLongestBackoff);
}

}  // namespace kivra
