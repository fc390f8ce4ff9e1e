#include "net/hello_gate.h"

#include <algorithm>

namespace kivra::net {

void HelloGate::reset() {
    waiting_.clear();
    chosen_ = -1;
}

bool HelloGate::accepted(int32_t link) {
    if (decided() || waiting_.size() >= kMostWaiting) return false;
    if (std::find(waiting_.begin(), waiting_.end(), link) == waiting_.end()) {
        waiting_.push_back(link);
    }
    return true;
}

bool HelloGate::hello(int32_t link, std::vector<int32_t>& to_close) {
    if (decided()) return link == chosen_;
    chosen_ = link;
    for (int32_t other : waiting_) {
        if (other != link) to_close.push_back(other);
    }
    waiting_.clear();
    return true;
}

void HelloGate::closed(int32_t link) {
    waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), link), waiting_.end());
}

std::vector<int32_t> HelloGate::take_waiting() {
    std::vector<int32_t> links;
    links.swap(waiting_);
    return links;
}

}  // namespace kivra::net
