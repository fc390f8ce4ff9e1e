// The `.dvr` and `.inx` files of a recording made while playing. Every append is whole or not
// at all: a write that fails (a full disk) is taken back, so the files always end after the
// last GOP written completely, and finish() can still close them as a valid pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/result.h"

namespace kivra {

class RecordingFiles {
  public:
    RecordingFiles() = default;
    ~RecordingFiles();
    RecordingFiles(const RecordingFiles&) = delete;
    RecordingFiles& operator=(const RecordingFiles&) = delete;

    // Creates both files (replacing what was there) and writes the index header. The
    // failure's code is the system's error number.
    fleet::Status create(const std::string& dvr_path, const std::string& inx_path);
    // Appends one GOP, padded with zeros to a multiple of 512, and the index unit that marks
    // the first GOP and every 120th after it. Its back-link becomes the length of the GOP
    // appended before it (0 for the first): the GOPs of a recording need not have followed
    // each other in their source. On failure neither file changes.
    fleet::Status append(const uint8_t* gop, size_t length, uint32_t time);
    // Appends the closing unit (the last GOP's time, the stream's length), writes the number
    // of the last unit into the header and closes both files, also when a step fails.
    fleet::Status finish();

    bool is_open() const { return dvr_ >= 0; }

  private:
    fleet::Status write_at(int fd, const uint8_t* bytes, size_t length, int64_t offset,
                           const std::string& path);
    void close_files();
    void remove_files();

    int dvr_ = -1;
    int inx_ = -1;
    std::string dvr_path_, inx_path_;
    int64_t dvr_length_ = 0;
    int64_t inx_length_ = 0;
    int64_t gops_ = 0;
    uint32_t last_time_ = 0;
    uint32_t last_length_ = 0;  // of the GOP appended last
};

}  // namespace kivra
