// A small deterministic generator: recordings must be byte-identical for a given seed on every
// machine, which the standard distributions do not promise.
#pragma once

#include <cstdint>

namespace dvrsim {

class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed) {}

    uint64_t next() {  // splitmix64
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }  // [0, 1)
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int range(int lo, int hi) {  // inclusive
        return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1));
    }

  private:
    uint64_t state_;
};

}  // namespace dvrsim
