#include "link_table.h"

#include "link.h"

namespace fleet::fennick {

void LinkTable::insert(std::shared_ptr<Endpoint> endpoint) {
    std::lock_guard lock(mutex_);
    const int id = endpoint->id();
    entries_[id] = std::move(endpoint);
}

std::shared_ptr<Endpoint> LinkTable::find(int id) const {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(id);
    return it == entries_.end() ? nullptr : it->second;
}

std::shared_ptr<Link> LinkTable::find_link(int id) const {
    auto endpoint = find(id);
    Link* link = endpoint ? endpoint->as_link() : nullptr;
    return link ? std::shared_ptr<Link>(endpoint, link) : nullptr;
}

void LinkTable::erase(int id, const Endpoint* endpoint) {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(id);
    if (it != entries_.end() && it->second.get() == endpoint) entries_.erase(it);
}

std::vector<std::shared_ptr<Endpoint>> LinkTable::take_all() {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Endpoint>> all;
    all.reserve(entries_.size());
    for (auto& entry : entries_) all.push_back(std::move(entry.second));
    entries_.clear();
    return all;
}

}  // namespace fleet::fennick
