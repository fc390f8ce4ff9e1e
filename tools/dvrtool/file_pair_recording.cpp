#include <utility>

#include "format/file_pair.h"
#include "messages.h"
#include "recording_kinds.h"

namespace dvrtool {
namespace {

namespace ff = fleet::format;

class FilePairRecording final : public Recording {
  public:
    explicit FilePairRecording(std::string dvr_path) : name_(std::move(dvr_path)) {}

    fleet::Status open(const std::string& inx_path) {
        std::string reason = pair_.open(name_, inx_path);
        if (!reason.empty()) return fleet::fail(std::move(reason));
        return {};
    }

    const std::string& name() const override { return name_; }
    ff::ByteSource& stream() override { return pair_.stream(); }
    ff::StreamCursor cursor() override { return pair_.cursor(); }
    int64_t readable_length() const override { return pair_.stream_file_size(); }
    int64_t shown_offset(int64_t walk) const override { return walk; }
    uint32_t begin_time() const override { return pair_.begin_time(); }
    uint32_t end_time() const override { return pair_.end_time(); }
    int64_t length() const override { return pair_.length(); }
    ff::IndexHeader time_header() const override { return pair_.header(); }
    bool time_unit(uint32_t n, ff::IndexUnit& out) override {
        return ff::read_index_unit(pair_.index(), n, out);
    }
    bool last_unit_closes() const override { return true; }

  private:
    std::string name_;
    ff::FilePair pair_;
};

// True when the file has a complete index header with another magic. A file that is
// missing or too short is left to FilePair, whose reason says so.
bool has_foreign_header(const std::string& inx_path, uint32_t& magic) {
    ff::FileByteSource source;
    ff::IndexHeader header;
    if (!source.open(inx_path) || !ff::read_index_header(source, header)) return false;
    magic = header.magic;
    return magic != ff::kIndexMagic;
}

}  // namespace

fleet::Result<std::unique_ptr<Recording>> open_file_pair_recording(const std::string& dvr_path,
                                                                   const std::string& inx_path) {
    uint32_t magic = 0;
    if (has_foreign_header(inx_path, magic)) return fleet::fail(not_an_index(inx_path, magic));
    auto recording = std::make_unique<FilePairRecording>(dvr_path);
    if (auto opened = recording->open(inx_path); !opened) return opened.error();
    return std::unique_ptr<Recording>(std::move(recording));
}

}  // namespace dvrtool
