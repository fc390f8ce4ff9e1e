#include "source/file_source.h"

#include <cstring>
#include <vector>

#include "format/frame_set.h"
#include "format/gop_header.h"
#include "format/gop_parser.h"

namespace kivra {
namespace {

constexpr int kProbeAttempts = 100;

}  // namespace

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

// Learns the channel count, vehicle and audio format from the first GOP that parses, trying
// GOPs 0, 2, 5, 9, ... so a damaged start does not hide a good recording. None of these
// depends on the pictures, so nothing is decoded: opening stays quick and touches no picture
// memory.
void FileSource::run_probe() {
    probe_ = {};
    std::vector<uint8_t> bytes(fleet::format::kWalkBufferSize);
    fleet::format::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    fleet::format::FrameSetStorage set;
    cursor_.position = 0;
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        int result =
            attempt == 0 ? fleet::format::next_gop(cursor_, buffer) : skip_forward(attempt, buffer);
        if (result == fleet::format::kWalkEnd || result == fleet::format::kWalkNotOpen) break;
        if (result != fleet::format::kWalkRead) continue;
        if (fleet::format::parse_gop(buffer.data, buffer.length, nullptr, set.get()) !=
            fleet::format::kParseOk)
            continue;
        probe_.channel_count = set->channel_count;
        std::memcpy(probe_.vehicle_id, set->vehicle_id, sizeof probe_.vehicle_id);
        probe_.vehicle_id[15] = '\0';
        probe_.sample_rate = set->audio_sample_rate;
        probe_.sample_bits = set->audio_sample_bits;
        break;
    }
    cursor_.position = 0;
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
