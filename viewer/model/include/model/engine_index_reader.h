// The three indexes of the engine's open source, read record by record through the bound entry
// points. Holds no state, so any thread may read through it while the engine has a source.
#pragma once

#include "format/index_find.h"
#include "model/engine_api.h"

namespace velmora {

class EngineIndexReader final : public fleet::format::IndexReader {
  public:
    explicit EngineIndexReader(const EngineApi& engine) : engine_(engine) {}

    bool time_header(fleet::format::IndexHeader& out) override;
    bool time_unit(uint32_t n, fleet::format::IndexUnit& out) override;
    bool event_header(fleet::format::IndexHeader& out) override;
    bool event_unit(uint32_t n, fleet::format::IndexUnit& out) override;
    bool quick_header(fleet::format::QuickRecord& out) override;
    bool quick_unit(uint32_t n, fleet::format::QuickRecord& out) override;

  private:
    const EngineApi& engine_;
};

}  // namespace velmora
