// The file pair a download writes: every received GOP padded to 512 bytes in the .dvr, a time
// unit for the first and every 120th GOP in the .inx, whose header is written when the file is
// created. Finishing appends the closing unit and the final header, once, however many
// threads ask; a download stopped early or empty still leaves a pair that opens.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "format/file_pair_writer.h"

namespace kivra::net {

class DownloadFiles {
  public:
    // Creates both files ("wb"); errno tells why on failure.
    bool create(const std::string& dvr_path, const std::string& inx_path);
    enum class Append { Written, NotOpen, WriteFailed };
    // Appends one GOP (checked by the caller).
    Append append(std::span<const uint8_t> gop);
    enum class Finish { Completed, WriteFailed, NotOpen };
    // Closes the pair complete; NotOpen when it had been finished already.
    Finish finish();
    // Closes the pair and removes both files: a download the recorder refused leaves nothing.
    void discard();
    bool is_open();
    // Forgets the paths of the last download.
    void clear_paths();

  private:
    std::mutex lock_;
    std::unique_ptr<fleet::format::FilePairWriter> writer_;
    std::string dvr_path_;
    std::string inx_path_;
};

}  // namespace kivra::net
