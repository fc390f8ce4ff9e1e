// Recording of the GOPs read in normal play into a new file pair.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "common/result.h"
#include "record/recording_files.h"

namespace kivra {

class GopRecorder {
  public:
    // Creates BASE.dvr and BASE.inx. A recording already running is finished first, so its
    // files stay complete; if it cannot be finished whole, that failure is returned and no new
    // recording begins. On failure recording stays off.
    fleet::Status start(const std::string& base_path);
    // Appends the closing unit, rewrites the index header and closes. Succeeds also when no
    // recording runs. Waits for a GOP being written.
    fleet::Status stop();
    // Records one GOP that normal play read, starting at `source_offset` in its source (its
    // stored length follows from `length`, the GOP's own). Every GOP goes in once and in the
    // order of the source: play read again after pause, steps or fast play passes over GOPs
    // up to the end of the last one recorded. A failed write (a full disk) ends the recording:
    // its files are finished as they stood after the last whole GOP, and the failure (with the
    // system's error number as its code) is returned, once. Nothing happens when off.
    fleet::Status write(const uint8_t* gop, size_t length, uint32_t time, int64_t source_offset);
    // Another source was opened or closed: its offsets say nothing about what was recorded.
    void forget_source_position();
    bool recording();

  private:
    std::mutex lock_;
    std::unique_ptr<RecordingFiles> files_;
    int64_t recorded_up_to_ = -1;  // end of the last recorded GOP in the source, -1 none
};

}  // namespace kivra
