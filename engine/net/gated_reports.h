// A link's reports to the host, shut when the host closes the source: none starts after
// close() returned, and close() waits for those under way on other threads (a connect thread
// finishing late). No lock is held while the host is called, so reports on different threads
// never wait for each other, and a host may open, download or close from inside a report.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "net/link_reports.h"

namespace kivra::net {

class GatedReports final : public LinkReports {
  public:
    explicit GatedReports(LinkReports& host) : host_(host) {}

    void open() {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = true;
    }
    void close() {
        std::unique_lock<std::mutex> guard(mutex_);
        open_ = false;
        const auto self = std::this_thread::get_id();
        ended_.wait(guard, [&] {
            return std::all_of(reporting_.begin(), reporting_.end(),
                               [&](std::thread::id id) { return id == self; });
        });
    }

    void link_event(int32_t link, int32_t code, int32_t value, intptr_t extra) override {
        if (!enter()) return;
        host_.link_event(link, code, value, extra);
        leave();
    }
    void link_error(int32_t code, int32_t system_error, int32_t checked) override {
        if (!enter()) return;
        host_.link_error(code, system_error, checked);
        leave();
    }

  private:
    bool enter() {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!open_) return false;
        reporting_.push_back(std::this_thread::get_id());
        return true;
    }
    // Wakes close() under the lock: once close() returns, the gate may be destroyed.
    void leave() {
        std::lock_guard<std::mutex> guard(mutex_);
        reporting_.erase(
            std::find(reporting_.begin(), reporting_.end(), std::this_thread::get_id()));
        ended_.notify_all();
    }

    LinkReports& host_;
    std::mutex mutex_;
    std::condition_variable ended_;
    std::vector<std::thread::id> reporting_;  // a thread once per report it is inside
    bool open_ = false;
};

}  // namespace kivra::net
