#include "source/file_source.h"

#include <cstring>
#include <vector>

#include "format/gop_header.h"

namespace kivra {
FileSource::FileSource() {
    set_closer(nullptr);
}

void FileSource::set_closer(PairCloser closer) {
    closer_ =
        closer ? std::move(closer) : [](fleet::format::FilePair& pair) { return pair.close(); };
}

fleet::Status FileSource::open(const std::string& dvr_path, const std::string& inx_path) {
    if (is_open()) return fleet::fail("a file pair is already open");
    if (auto reason = pair_.open(dvr_path, inx_path); !reason.empty()) {
        return fleet::fail(reason);
    }
    cursor_ = pair_.cursor();
    // A stream file cut short ends its data where the file ends, whatever its index claims:
    // every read past that could only fail.
    const int64_t file_size = pair_.stream_file_size();
    if (file_size >= 0 && file_size < cursor_.end) cursor_.end = file_size;
    dvr_path_ = dvr_path;
    inx_path_ = inx_path;
    run_probe();
    return {};
}

std::vector<int> FileSource::close() {
    if (!is_open()) return {KIVRA_ERROR_CLOSE_NOTHING_OPEN};
    const fleet::format::PairClosed closed = closer_(pair_);
    cursor_ = {};
    probe_ = {};
    dvr_path_.clear();
    inx_path_.clear();
    std::vector<int> errors;
    if (!closed.stream) errors.push_back(KIVRA_ERROR_CLOSE_DVR);
    if (!closed.index) errors.push_back(KIVRA_ERROR_CLOSE_INX);
    return errors;
}

void FileSource::run_probe() {
    probe_ = probe_stream(cursor_);
}

int FileSource::next(fleet::format::WalkBuffer& buffer) {
    if (!is_open()) return fleet::format::kWalkNotOpen;
    return fleet::format::next_gop(cursor_, buffer);
}

int FileSource::skip_forward(int n, fleet::format::WalkBuffer& buffer) {
    if (!is_open()) return fleet::format::kWalkNotOpen;
    return fleet::format::skip_forward(cursor_, n, buffer);
}

int FileSource::previous(fleet::format::WalkBuffer& buffer) {
    if (!is_open()) return fleet::format::kWalkNotOpen;
    return fleet::format::previous_gop(cursor_, buffer);
}

int FileSource::skip_backward(int n, fleet::format::WalkBuffer& buffer) {
    if (!is_open()) return fleet::format::kWalkNotOpen;
    return fleet::format::skip_backward(cursor_, n, buffer);
}

int FileSource::seek(int64_t logical) {
    if (!is_open()) return KIVRA_ERROR_FILE_NOT_OPEN;
    int64_t at = fleet::format::round_up_block(logical);
    if (logical < 0 || at > pair_.length()) return KIVRA_ERROR_FILE_BEYOND_END;
    cursor_.position = at;
    return 0;
}

bool FileSource::time_index_header(uint8_t* out16) {
    if (!is_open() || out16 == nullptr) return false;
    return pair_.index().read_at(0, out16, fleet::format::kIndexRecordSize);
}

bool FileSource::time_index_unit(int64_t n, uint8_t* out16) {
    if (!is_open() || out16 == nullptr || n <= 0) return false;
    fleet::format::IndexUnit unit;
    if (!fleet::format::read_index_unit(pair_.index(), n, unit)) return false;
    auto bytes = unit.encode();
    std::memcpy(out16, bytes.data(), bytes.size());
    return true;
}

}  // namespace kivra
