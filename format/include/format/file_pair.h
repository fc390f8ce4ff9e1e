// A `.dvr` stream with its `.inx` time index, opened for reading: the bounds and times the
// index gives, and a cursor for the walkers.
#pragma once

#include <cstdint>
#include <string>

#include "format/byte_source.h"
#include "format/index_format.h"
#include "format/stream_walker.h"

namespace fleet::format {

// Which files of a pair closed cleanly.
struct PairClosed {
    bool stream = true;
    bool index = true;
};

class FilePair {
  public:
    // Opens both files and reads the index header, the first and the last unit. On failure
    // returns a one-line reason and leaves nothing open.
    std::string open(const std::string& dvr_path, const std::string& inx_path);
    PairClosed close();
    bool is_open() const { return dvr_.is_open() && inx_.is_open(); }

    const IndexHeader& header() const { return header_; }
    uint32_t begin_time() const { return begin_time_; }
    uint32_t end_time() const { return end_time_; }
    int64_t length() const { return length_; }  // end of the data: the last unit's offset

    ByteSource& stream() { return dvr_; }
    ByteSource& index() { return inx_; }
    int64_t stream_file_size() const { return dvr_.size(); }
    int64_t index_file_size() const { return inx_.size(); }
    StreamCursor cursor() { return {&dvr_, 0, length_, 0}; }

    // The `.inx` path beside a `.dvr` path (same stem).
    static std::string index_path_for(const std::string& dvr_path);

  private:
    FileByteSource dvr_;
    FileByteSource inx_;
    IndexHeader header_;
    uint32_t begin_time_ = 0;
    uint32_t end_time_ = 0;
    int64_t length_ = 0;
};

}  // namespace fleet::format
