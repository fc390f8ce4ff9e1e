// Where the network links report: the host's LinkEventProc and ErrorProc, through the engine.
#pragma once

#include <cstdint>

namespace kivra::net {

class LinkReports {
  public:
    virtual ~LinkReports() = default;
    virtual void link_event(int32_t link, int32_t code, int32_t value, intptr_t extra) = 0;
    virtual void link_error(int32_t code, int32_t system_error, int32_t checked) = 0;
};

}  // namespace kivra::net
