#include <cerrno>
#include <cstring>
#include <utility>

#include "recording_kinds.h"

namespace dvrtool {
namespace {

namespace ff = fleet::format;

class MediumRecording final : public Recording {
  public:
    explicit MediumRecording(std::string path) : name_(std::move(path)) {}

    fleet::Status open(ff::MediumKind kind) {
        // A path that cannot be opened says nothing about being a disk or a card.
        ff::FileByteSource device;
        if (!device.open(name_)) {
            return fleet::fail("cannot open " + name_ + ": " + std::strerror(errno));
        }
        return ring_.open(kind, name_);
    }

    const std::string& name() const override { return name_; }
    ff::ByteSource& stream() override { return *ring_.cursor().source; }
    ff::StreamCursor cursor() override { return ring_.cursor(); }
    int64_t readable_length() const override { return ring_.layout().walk_length(); }
    int64_t shown_offset(int64_t walk) const override {
        return ring_.layout().logical_of_walk(walk);
    }
    uint32_t begin_time() const override { return ring_.scan().begin_time; }
    uint32_t end_time() const override { return ring_.scan().end_time; }
    int64_t length() const override { return ring_.layout().length(); }
    ff::IndexHeader time_header() const override { return ring_.time_header(); }
    bool time_unit(uint32_t n, ff::IndexUnit& out) override { return ring_.time_unit(n, out); }
    bool last_unit_closes() const override { return false; }
    ff::RingRecording* ring() override { return &ring_; }

  private:
    std::string name_;
    ff::RingRecording ring_;
};

}  // namespace

fleet::Result<std::unique_ptr<Recording>> open_medium_recording(ff::MediumKind kind,
                                                                const std::string& path) {
    auto recording = std::make_unique<MediumRecording>(path);
    if (auto opened = recording->open(kind); !opened) return opened.error();
    return std::unique_ptr<Recording>(std::move(recording));
}

}  // namespace dvrtool
