#include "mosaic_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "exclusive_file.h"
#include "format/gop_parser.h"
#include "mosaic_canvas.h"
#include "mosaic_layout.h"
#include "mosaic_output.h"
#include "picture_geometry.h"

namespace ombrel {
namespace {

// Video frames per channel in a GOP; a GOP stands for one second.
int frames_of(const FrameSet& set) {
    if (set.frames_per_channel <= 0) return fleet::format::kFramesWhenNoneAnnounced;
    return std::min(set.frames_per_channel, KIVRA_MAX_FRAMES);
}

class MosaicWriter final : public OutputWriter {
  public:
    MosaicWriter(std::string path, const ExtractJob& job)
        : path_(std::move(path)),
          layout_(mosaic_layout(job.screen_count, job.picture_width, job.picture_height)),
          audio_{job.sample_rate, job.sample_bits},
          canvas_(layout_) {}
    ~MosaicWriter() override { output_.close(); }

    bool create(std::string& error) {
        if (!create_exclusively(path_, error)) return false;
        created_ = true;
        if (!canvas_.init()) {
            error = "out of memory";
            discard();
            return false;
        }
        return true;
    }

    bool write_gop(const GopInput& gop) override;
    bool finish() override;
    void discard() override;
    std::string error() const override { return error_; }

  private:
    bool start(int frames_per_second);
    bool draw_channels(const GopInput& gop, int frame);
    bool write_sound(const FrameSet& set);
    bool fail(const std::string& what) {
        error_ = what;
        return false;
    }
    bool output_failed() { return fail(path_ + ": " + output_.error()); }

    std::string path_;
    MosaicLayout layout_;
    MosaicAudioFormat audio_;
    MosaicCanvas canvas_;
    PictureGeometry geometry_;
    MosaicOutput output_;
    bool created_ = false;
    bool started_ = false;
    bool finished_ = false;
    int frames_per_second_ = 0;
    std::vector<uint8_t> sound_;
    std::string error_;
};

// The frame rate is the first GOP's frame count: the file has one constant rate, and a GOP
// that has another count is stretched to it so the pictures keep time with the seconds.
bool MosaicWriter::start(int frames_per_second) {
    const MosaicVideoFormat video{layout_.width(), layout_.height(), frames_per_second};
    if (!output_.open(path_, video, audio_)) {
        output_failed();
        output_.close();
        return false;
    }
    frames_per_second_ = frames_per_second;
    started_ = true;
    return true;
}

bool MosaicWriter::write_gop(const GopInput& gop) {
    if (finished_ || gop.frames == nullptr) return fail("no frame set came with a GOP");
    const FrameSet& set = *gop.frames;
    const int frames = frames_of(set);
    if (!started_ && !start(frames)) return false;
    for (int k = 0; k < frames_per_second_; ++k) {
        if (!draw_channels(gop, k * frames / frames_per_second_)) return false;
        if (!output_.write_picture(canvas_.frame())) return output_failed();
    }
    return write_sound(set);
}

// A channel with no usable picture for the frame keeps its cell as it was.
bool MosaicWriter::draw_channels(const GopInput& gop, int frame) {
    const FrameSet& set = *gop.frames;
    for (int c = 0; c < layout_.channels; ++c) {
        const auto size = geometry_.size_of(gop.data, gop.length, set, c, frame);
        const int32_t offset = set.picture_offset[c][frame];
        if (!size || set.picture_buffer[c] == nullptr || offset < 0 ||
            offset + yv12_bytes(size->width, size->height) > KIVRA_PICTURE_CAPACITY) {
            continue;
        }
        const Yv12Picture picture{set.picture_buffer[c] + offset, size->width, size->height};
        if (!canvas_.draw(c, picture)) return fail("cannot put a picture into the mosaic");
    }
    return true;
}

// Each frame's sound chunk as the engine plays it, or silence of a frame's length where the
// GOP has none (or sound of another format), so the sound keeps time with the pictures.
bool MosaicWriter::write_sound(const FrameSet& set) {
    if (!output_.has_audio()) return true;
    const int frames = frames_of(set);
    const size_t block = static_cast<size_t>(audio_.bytes_per_sample());
    const bool usable = set.has_audio && set.audio_buffer != nullptr &&
                        set.audio_sample_bits == audio_.sample_bits &&
                        set.audio_sample_rate == audio_.sample_rate;
    const uint8_t silence = audio_.sample_bits == 8 ? 0x80 : 0;
    sound_.clear();
    for (int f = 0; f < frames; ++f) {
        if (!usable) {
            sound_.insert(sound_.end(), block * static_cast<size_t>(audio_.sample_rate / frames),
                          silence);
            continue;
        }
        const int32_t offset = std::max(set.audio_chunk_offset[f], 0);
        const int32_t length = std::max(set.audio_chunk_length[f], 0);
        if (int64_t{offset} + length > KIVRA_AUDIO_CAPACITY) continue;
        const uint8_t* chunk = set.audio_buffer + offset;
        sound_.insert(sound_.end(), chunk, chunk + static_cast<size_t>(length) / block * block);
    }
    return output_.write_audio(sound_.data(), sound_.size()) || output_failed();
}

bool MosaicWriter::finish() {
    if (finished_) return true;
    if (!started_ && !start(fleet::format::kFramesWhenNoneAnnounced)) return false;
    if (!output_.finish()) return output_failed();
    finished_ = true;
    return true;
}

void MosaicWriter::discard() {
    output_.close();
    if (created_) ::unlink(path_.c_str());
    created_ = false;
}

}  // namespace

std::unique_ptr<OutputWriter> make_mosaic_writer(const ExtractJob& job, std::string& error) {
    if (job.picture_width <= 0 || job.picture_height <= 0) {
        error = "the job names no picture size for the mosaic";
        return nullptr;
    }
    auto writer = std::make_unique<MosaicWriter>(
        std::string(job.all_channels_avi_path,
                    strnlen(job.all_channels_avi_path, sizeof job.all_channels_avi_path)),
        job);
    if (!writer->create(error)) return nullptr;
    return writer;
}

}  // namespace ombrel
