#include "model/row_selection.h"

namespace velmora {

bool RowSelection::click(int row) {
    const bool sets_start = !next_is_end_;
    (sets_start ? start_ : end_) = row + 1;
    next_is_end_ = sets_start;
    return sets_start;
}

void RowSelection::reset() {
    *this = RowSelection{};
}

}  // namespace velmora
