// Which GOPs of a file-pair recording the damage options touch.
#pragma once

#include <algorithm>
#include <cstdint>

#include "dvrsim/recorder.h"

namespace dvrsim {

inline bool has_damage(const RecordOptions& o, Damage d) {
    return std::find(o.damage.begin(), o.damage.end(), d) != o.damage.end();
}

// -1 where the option is not given.
struct DamagePlan {
    int64_t garbage_before = -1;
    int64_t filler_before = -1;
    int64_t corrupt = -1;
    int64_t truncate = -1;
    int64_t broken_pictures = -1;
    int64_t undecodable = -1;

    explicit DamagePlan(const RecordOptions& o) {
        if (has_damage(o, Damage::Garbage)) garbage_before = std::max(1, o.seconds / 3);
        if (has_damage(o, Damage::ZeroLengthMagic)) filler_before = std::max(1, o.seconds / 4);
        if (has_damage(o, Damage::CorruptHeader)) corrupt = o.seconds / 2;
        if (has_damage(o, Damage::Truncate)) truncate = o.seconds - 1;
        if (has_damage(o, Damage::BrokenPictures)) broken_pictures = o.seconds / 2;
        if (has_damage(o, Damage::Undecodable)) undecodable = o.seconds / 2;
    }
    // A GOP a reader cannot get back: its frames have no truth lines.
    bool lost(int64_t gop) const { return gop == corrupt || gop == truncate; }
};

}  // namespace dvrsim
