// Damaged regions found by `verify`, in the order they are found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dvrtool {

struct Damage {
    enum Where { kStream, kIndexUnit, kIndex };
    Where where = kStream;
    int64_t begin = 0;  // stream offsets; an index unit names one offset: begin == end
    int64_t end = 0;
    std::string reason;
};

class DamageList {
  public:
    void add(Damage damage);
    // Garbage and unreadable blocks: a run of them that directly follows another such run is
    // the same damage, so it extends that region instead of starting one.
    void add_run(int64_t begin, int64_t end, std::string reason);

    const std::vector<Damage>& regions() const { return regions_; }

  private:
    std::vector<Damage> regions_;
    bool last_is_run_ = false;
};

std::string damage_text(const Damage& damage);

}  // namespace dvrtool
