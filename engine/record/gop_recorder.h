// Recording of the GOPs read in normal play into a new file pair.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "format/file_pair_writer.h"

namespace kivra {

class GopRecorder {
public:
    // Creates BASE.dvr and BASE.inx. A recording already running is finished first, so its
    // files stay complete. False when the files cannot be created (recording stays off).
    bool start(const std::string& base_path);
    // Appends the closing unit, rewrites the index header and closes. True also when no
    // recording runs. Waits for a GOP being written.
    bool stop();
    // Appends one GOP (its length is rounded up to 512 in the file). Nothing when off.
    void write(const uint8_t* gop, size_t length, uint32_t time);
    bool recording();

private:
    std::mutex lock_;
    std::unique_ptr<FilePairWriter> writer_;
};

}  // namespace kivra
