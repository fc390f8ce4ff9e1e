// A dvrsim recording handed to the extraction library the way the engine hands it: every GOP
// of the .dvr with the FrameSet parsed from it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kivra/kivra.h"

namespace extract_test {

struct RecordedGop {
    const uint8_t* data = nullptr;
    int32_t length = 0;  // stored length, as the engine delivers it
};

class RecordedGops {
  public:
    explicit RecordedGops(const std::string& dvr_path);
    const std::vector<RecordedGop>& gops() const { return gops_; }
    // Calls visit(gop, frame_set) for every GOP; the FrameSet is reused between calls.
    void for_each(const std::function<void(const RecordedGop&, FrameSet&)>& visit) const;

  private:
    std::string bytes_;
    std::vector<RecordedGop> gops_;
};

// Runs dvrsim with `arguments` after "record --out BASE"; false with its error output.
bool record(const std::string& base, const std::vector<std::string>& arguments, std::string& error);

// The output's stdout of a program run from an argument vector; empty on failure.
std::string output_of(const std::vector<std::string>& argv);

}  // namespace extract_test
