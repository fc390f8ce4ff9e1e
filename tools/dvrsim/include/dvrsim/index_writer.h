// The recorder's three indexes as it writes them while recording: a time unit, an event unit
// and a quick record when a GOP's turn comes, the headers once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "common/result.h"
#include "dvrsim/device_tables.h"
#include "dvrsim/image_file.h"
#include "dvrsim/index_schedule.h"
#include "dvrsim/quick_record.h"
#include "dvrsim/tyre_model.h"
#include "dvrsim/vehicle_model.h"
#include "format/index_format.h"

namespace dvrsim {

struct UnitEntry {
    uint32_t n = 0;
    fleet::format::IndexUnit unit;
    size_t gop = 0;  // the position of the GOP it points at among the stored GOPs
};

// A stored GOP as the indexes see it.
struct IndexedGop {
    int64_t index = 0;  // seconds since the recording began
    uint32_t time = 0;
    int64_t physical = 0;  // in unit-offset terms
    size_t position = 0;   // among the stored GOPs
    const VehicleSample* sample = nullptr;
    const TyreFrame* tyres = nullptr;
};

struct IndexHeaders {
    fleet::format::IndexHeader time, event;
    size_t oldest_time = 0;              // among the time units
    std::optional<size_t> oldest_event;  // among the event units; none when none is valid
};

class IndexWriter {
  public:
    // With `keep_quick`, the content of every quick record written is kept for the truth.
    IndexWriter(ImageFile& image, IndexAreas areas, IndexSchedule schedule, QuickStyle quick,
                bool keep_quick)
        : image_(image),
          areas_(areas),
          schedule_(schedule),
          quick_(quick),
          keep_quick_(keep_quick) {}

    fleet::Status add(const IndexedGop& gop);
    fleet::Status write_headers(const IndexHeaders& headers);

    const std::vector<UnitEntry>& time_units() const { return time_units_; }
    const std::vector<UnitEntry>& event_units() const { return event_units_; }
    // One per time unit, in the same order; empty without `keep_quick`.
    const std::vector<QuickContent>& quick_contents() const { return quick_contents_; }

  private:
    fleet::Status write_record(int64_t area, uint32_t n, const fleet::format::IndexUnit& unit);
    fleet::Status write_quick(uint32_t unit_number, const IndexedGop& gop);

    ImageFile& image_;
    IndexAreas areas_;
    IndexSchedule schedule_;
    QuickStyle quick_;
    bool keep_quick_;
    std::vector<UnitEntry> time_units_, event_units_;
    std::vector<QuickContent> quick_contents_;
};

// What an up-to-date recorder writes in its headers: first = the oldest unit whose GOP is
// still valid, last = the newest. A stale header keeps first at the first unit ever written.
// Fails when no time unit's GOP survived.
fleet::Result<IndexHeaders> settle_headers(const std::vector<UnitEntry>& time_units,
                                           const std::vector<UnitEntry>& event_units,
                                           const std::function<bool(size_t gop)>& valid, bool stale,
                                           bool wrapped);

}  // namespace dvrsim
