// The time index of the engine's open source, read through the bound entry points.
#pragma once

#include "model/engine_api.h"
#include "model/seek_math.h"

namespace velmora {

class EngineTimeIndex final : public TimeIndexReader {
  public:
    explicit EngineTimeIndex(const EngineApi& engine) : engine_(engine) {}
    // Header words 1 and 2 are the first and last unit number.
    bool header(uint32_t& first, uint32_t& last) override;
    // Unit word 0 is the time, bytes 8..15 the byte offset.
    bool unit(uint32_t n, uint32_t& time, int64_t& offset) override;

  private:
    const EngineApi& engine_;
};

}  // namespace velmora
