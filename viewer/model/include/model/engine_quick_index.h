// The quick index of the engine's open source, read through the bound entry points.
#pragma once

#include "model/engine_api.h"
#include "model/map_seek.h"

namespace velmora {

class EngineQuickIndex final : public QuickIndexReader {
  public:
    explicit EngineQuickIndex(const EngineApi& engine) : engine_(engine) {}
    bool header(uint32_t& first, uint32_t& last) override;
    bool time_unit(uint32_t n, uint32_t& unit) override;

  private:
    const EngineApi& engine_;
};

}  // namespace velmora
