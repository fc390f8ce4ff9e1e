// A `.dvr` stream with its `.inx` time index.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/result.h"
#include "kivra/kivra.h"

#include "format/file_pair.h"
#include "source/stored_source.h"

namespace kivra {

class FileSource final : public StoredSource {
  public:
    // How the pair's files are closed. Closing a read-only file hardly ever fails, so tests
    // put in a closer that does.
    using PairCloser = std::function<fleet::format::PairClosed(fleet::format::FilePair&)>;

    FileSource();

    // Opens the pair and probes it for a GOP that parses; the failure says why not.
    fleet::Status open(const std::string& dvr_path, const std::string& inx_path);
    // Closes both files; nothing is open afterwards. Empty when both closed cleanly, else the
    // engine errors of the files that did not (KIVRA_ERROR_CLOSE_DVR, KIVRA_ERROR_CLOSE_INX),
    // or KIVRA_ERROR_CLOSE_NOTHING_OPEN alone when nothing was open.
    std::vector<int> close();
    // Null puts FilePair::close back.
    void set_closer(PairCloser closer);

    bool is_open() const override { return pair_.is_open(); }
    int next(fleet::format::WalkBuffer& buffer) override;
    int skip_forward(int n, fleet::format::WalkBuffer& buffer) override;
    int previous(fleet::format::WalkBuffer& buffer) override;
    int skip_backward(int n, fleet::format::WalkBuffer& buffer) override;
    int seek(int64_t logical) override;
    int64_t tell() const override { return is_open() ? cursor_.position : -1; }
    int64_t length() const override { return pair_.length(); }
    uint32_t begin_time() const override { return pair_.begin_time(); }
    uint32_t end_time() const override { return pair_.end_time(); }
    const ProbeResult& probe() const override { return probe_; }
    bool time_index_header(uint8_t* out16) override;
    bool time_index_unit(int64_t n, uint8_t* out16) override;

    const std::string& dvr_path() const { return dvr_path_; }
    const std::string& inx_path() const { return inx_path_; }

  private:
    void run_probe();

    fleet::format::FilePair pair_;
    PairCloser closer_;
    fleet::format::StreamCursor cursor_;
    ProbeResult probe_;
    std::string dvr_path_, inx_path_;
};

}  // namespace kivra
