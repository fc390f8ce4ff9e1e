// Which rows of a recorder's index a download of a span of UTC times runs between. Rows are
// numbered from 1 in the order the recorder listed them (its ring order, oldest first), which
// is how the engine's download names them.
#pragma once

#include <cstdint>
#include <span>

#include "common/result.h"

namespace dvrtool {

struct DownloadRows {
    int32_t first = 0;
    int32_t last = 0;
};

// first: the first row whose time is at or after `from`; last: the last row whose time is at or
// before `to`. Fails, saying why, when from is not before to, when no row lies in the span, or
// when only one does (a download runs from one row to a later one).
fleet::Result<DownloadRows> choose_download_rows(std::span<const uint32_t> row_times, uint32_t from,
                                                 uint32_t to);

}  // namespace dvrtool
