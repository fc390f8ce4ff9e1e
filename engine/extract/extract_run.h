// One extraction from start to end on a source of its own: the GOPs between two time-index
// units, then the index records of that stretch, then how it ended.
#pragma once

#include <atomic>
#include <cstdint>

#include "kivra/kivra.h"
#include "source/stored_source.h"

namespace kivra {

// Where the reports go; a null procedure receives nothing and the run goes on the same.
class ExtractSink {
  public:
    explicit ExtractSink(ExtractDataProc proc) : proc_(proc) {}
    void operator()(int32_t kind, int32_t percent = 0, const void* data = nullptr,
                    int32_t length = 0, const FrameSet* set = nullptr) const {
        if (proc_ != nullptr) proc_(kind, percent, data, length, set);
    }

  private:
    ExtractDataProc proc_;
};

struct ExtractRange {
    int64_t start = 0;  // logical offsets of two time-index units
    int64_t end = 0;
};

// Delivers the GOPs (kind 1) and the index records (kind 0) of the range and answers the kind
// that ends the extraction: KIVRA_EXTRACT_FINISHED, KIVRA_EXTRACT_STOPPED when `stop` was set
// (the GOPs end after the one in progress, the index records still come), or
// KIVRA_EXTRACT_FAILED. Read errors are reported as they happen (KIVRA_EXTRACT_READ_ERROR) and
// the run goes on past them. The ending kind itself is left to the caller.
int run_extraction(StoredSource& source, const ExtractRange& range, const std::atomic<bool>& stop,
                   const ExtractSink& sink);

}  // namespace kivra
