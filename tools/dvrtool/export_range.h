// Which time-index units an export of a span of UTC times runs between: the unit at or before
// the span's beginning and the unit at or after its end, along the index's ring of units.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "common/result.h"
#include "export_host/export_session.h"
#include "kivra/kivra.h"

namespace dvrtool {

struct ExportUnits {
    uint32_t start = 0;
    uint32_t end = 0;
};

// A unit of the time index, or nothing when it cannot be read.
using IndexUnitReader = std::function<std::optional<KivraIndexUnit>(uint32_t unit)>;

// Over the units of `range` that name recorded data (a ring's units off its recorded runs are
// passed over): start is the last unit whose time is at or before `from`, end the first unit
// from start on whose time is at or after `to`. A span reaching past either end of the
// recording is cut to it. Fails when from is after to, when the span lies wholly outside the
// recording, when start and end are the same unit (nothing to export) or a unit is unreadable.
fleet::Result<ExportUnits> choose_export_units(const fleet::export_host::IndexRange& range,
                                               uint32_t from, uint32_t to,
                                               const IndexUnitReader& read);

}  // namespace dvrtool
