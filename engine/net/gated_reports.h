// A link's reports to the host, shut when the host closes the source: none starts after
// close() returned, and close() waits for one under way on another thread (a connect thread
// finishing late). The lock is recursive because a host may open, download or close again
// from inside a report.
#pragma once

#include <cstdint>
#include <mutex>

#include "net/link_reports.h"

namespace kivra::net {

class GatedReports final : public LinkReports {
  public:
    explicit GatedReports(LinkReports& host) : host_(host) {}

    void open() {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        open_ = true;
    }
    void close() {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        open_ = false;
    }

    void link_event(int32_t link, int32_t code, int32_t value, intptr_t extra) override {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        if (open_) host_.link_event(link, code, value, extra);
    }
    void link_error(int32_t code, int32_t system_error, int32_t checked) override {
        std::lock_guard<std::recursive_mutex> guard(mutex_);
        if (open_) host_.link_error(code, system_error, checked);
    }

  private:
    LinkReports& host_;
    std::recursive_mutex mutex_;
    bool open_ = false;
};

}  // namespace kivra::net
