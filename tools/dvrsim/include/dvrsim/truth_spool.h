// Truth lines kept aside while recording into a ring: which GOPs a reader will play is known
// only at the end, and each line carries the GOP's number in play order.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "common/result.h"

namespace dvrsim {

struct SpooledLines {
    int64_t at = 0;  // byte offset in the spool
    int count = 0;
};

class TruthSpool {
  public:
    TruthSpool() = default;
    ~TruthSpool();
    TruthSpool(const TruthSpool&) = delete;
    TruthSpool& operator=(const TruthSpool&) = delete;

    fleet::Status open(const std::string& path);
    fleet::Result<SpooledLines> append(const std::vector<std::string>& lines);
    // Writes the lines of `gops` in order to `path`, the GOP number of each line replaced by
    // the GOP's place in the list.
    fleet::Status write_renumbered(const std::string& path, const std::vector<SpooledLines>& gops);

  private:
    std::string path_;
    std::fstream file_;
    int64_t length_ = 0;
};

}  // namespace dvrsim
