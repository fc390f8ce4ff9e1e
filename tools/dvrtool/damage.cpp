#include "damage.h"

namespace dvrtool {

void DamageList::add(Damage damage) {
    regions_.push_back(std::move(damage));
    last_is_run_ = false;
}

void DamageList::add_run(int64_t begin, int64_t end, std::string reason) {
    if (last_is_run_ && regions_.back().end == begin) {
        regions_.back().end = end;
        return;
    }
    regions_.push_back({Damage::kStream, begin, end, std::move(reason)});
    last_is_run_ = true;
}

std::string damage_text(const Damage& d) {
    switch (d.where) {
        case Damage::kStream:
            return "damage " + std::to_string(d.begin) + "-" + std::to_string(d.end) + " (" +
                   std::to_string(d.end - d.begin) + " bytes): " + d.reason;
        case Damage::kIndexUnit:
            return "damage at " + std::to_string(d.begin) + ": " + d.reason;
        case Damage::kIndex:
            break;
    }
    return "damage in the index: " + d.reason;
}

}  // namespace dvrtool
