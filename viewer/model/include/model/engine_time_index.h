// The time index of the engine's open source, read through the bound entry points.
#pragma once

#include "model/engine_api.h"
#include "model/seek_math.h"

namespace velmora {

class EngineTimeIndex final : public TimeIndexReader {
  public:
    explicit EngineTimeIndex(const EngineApi& engine) : engine_(engine) {}
    bool header(uint32_t& first, uint32_t& last) override;
    bool unit(uint32_t n, uint32_t& time, int64_t& offset) override;

  private:
    const EngineApi& engine_;
};

}  // namespace velmora
