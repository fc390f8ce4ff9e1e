#include "format/ring_layout.h"

#include <algorithm>

namespace fleet::format {

int64_t RingLayout::first_run_logical() const {
    return (wrapped ? ring_end : end_of_data) - start;
}

int64_t RingLayout::first_run_walk() const {
    return (wrapped ? seam : end_of_data) - start;
}

int64_t RingLayout::length() const {
    return wrapped ? first_run_logical() + (end_of_data - ring_begin) : end_of_data - start;
}

std::optional<int64_t> RingLayout::logical_of_physical(int64_t p) const {
    if (p >= start && p <= start + first_run_logical()) return p - start;
    if (wrapped && p >= ring_begin && p <= end_of_data) {
        return first_run_logical() + (p - ring_begin);
    }
    return std::nullopt;
}

std::optional<int64_t> RingLayout::physical_of_logical(int64_t l) const {
    if (l < 0 || l > length()) return std::nullopt;
    if (l <= first_run_logical()) return start + l;
    return ring_begin + (l - first_run_logical());
}

int64_t RingLayout::walk_length() const {
    return first_run_walk() + (wrapped ? end_of_data - ring_begin : 0);
}

int64_t RingLayout::walk_of_logical(int64_t l) const {
    l = std::clamp<int64_t>(l, 0, length());
    if (l <= first_run_logical()) return std::min(l, first_run_walk());
    return first_run_walk() + (l - first_run_logical());
}

int64_t RingLayout::logical_of_walk(int64_t w) const {
    w = std::clamp<int64_t>(w, 0, walk_length());
    if (w < first_run_walk() || !wrapped) return std::min(w, first_run_logical());
    return first_run_logical() + (w - first_run_walk());
}

int64_t RingLayout::physical_of_walk(int64_t w) const {
    if (w < first_run_walk() || !wrapped) return start + w;
    return ring_begin + (w - first_run_walk());
}

bool RingByteSource::read_at(int64_t walk, uint8_t* dest, size_t n) {
    if (walk < 0 || static_cast<int64_t>(n) > layout_.walk_length() - walk) return false;
    // A read never needs to cross the seam (GOPs end there), but one that does is split so
    // each part comes from its own run.
    while (n > 0) {
        const int64_t run_end = layout_.wrapped && walk < layout_.first_run_walk()
                                    ? layout_.first_run_walk()
                                    : layout_.walk_length();
        const size_t part =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), run_end - walk));
        if (!device_.read_at(layout_.physical_of_walk(walk), dest, part)) return false;
        walk += static_cast<int64_t>(part);
        dest += part;
        n -= part;
    }
    return true;
}

}  // namespace fleet::format
