#include "mosaic_writer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "channel_frames.h"
#include "exclusive_file.h"
#include "format/gop_parser.h"
#include "gop_clock.h"
#include "mosaic_canvas.h"
#include "mosaic_layout.h"
#include "mosaic_output.h"
#include "picture_geometry.h"

extern "C" {
#include <libavutil/rational.h>
}

namespace ombrel {
namespace {

// Video frames per channel in a GOP.
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
          sound_format_{job.sample_bits, job.sample_rate},
          clock_(audio_.usable() ? job.sample_rate : 0),
          canvas_(layout_) {}
    ~MosaicWriter() override { output_.close(); }

    bool create(std::string& error) {
        if (!file_.create(path_, error)) return false;
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
    bool start(int frames, int64_t duration);
    int64_t pictures_until(int64_t ticks) const;
    bool draw_channels(const GopInput& gop, int frame);
    bool write_sound(const FrameSet& set, int64_t duration);
    bool fail(const std::string& what) {
        error_ = what;
        return false;
    }
    bool output_failed() { return fail(path_ + ": " + output_.error()); }

    std::string path_;
    MosaicLayout layout_;
    MosaicAudioFormat audio_;
    PcmFormat sound_format_;
    GopClock clock_;
    MosaicCanvas canvas_;
    PictureGeometry geometry_;
    ExclusiveFile file_;
    MosaicOutput output_;
    bool started_ = false;
    bool finished_ = false;
    AVRational picture_time_{1, 1};  // seconds one picture lasts
    int64_t elapsed_ = 0;            // ticks of the GOPs written
    int64_t pictures_ = 0;           // written
    std::vector<uint8_t> sound_;
    std::string error_;
};

// The frame rate is the first GOP's frames over its duration: the file has one constant rate,
// and each GOP gets the pictures its duration holds at that rate, its frames stretched or
// squeezed to them, so the pictures keep time with the sound.
bool MosaicWriter::start(int frames, int64_t duration) {
    av_reduce(&picture_time_.num, &picture_time_.den, duration, int64_t{clock_.rate()} * frames,
              INT_MAX);
    const MosaicVideoFormat video{layout_.width(), layout_.height(), picture_time_.num,
                                  picture_time_.den, frames};
    if (!output_.open(file_.io(), video, audio_)) {
        output_failed();
        output_.close();
        return false;
    }
    started_ = true;
    return true;
}

// Pictures from the start to `ticks`, rounded to the nearest.
int64_t MosaicWriter::pictures_until(int64_t ticks) const {
    const int64_t per_picture = int64_t{clock_.rate()} * picture_time_.num;
    return (ticks * picture_time_.den * 2 + per_picture) / (2 * per_picture);
}

bool MosaicWriter::write_gop(const GopInput& gop) {
    if (finished_ || gop.frames == nullptr) return fail("no frame set came with a GOP");
    const FrameSet& set = *gop.frames;
    const int frames = frames_of(set);
    const int64_t duration = clock_.next(set.gop_time, gop_sound_samples(set, sound_format_));
    if (!started_ && !start(frames, duration)) return false;
    elapsed_ += duration;
    const int64_t count = pictures_until(elapsed_) - pictures_;
    for (int64_t k = 0; k < count; ++k) {
        if (!draw_channels(gop, static_cast<int>(k * frames / count))) return false;
        if (!output_.write_picture(canvas_.frame())) return output_failed();
    }
    pictures_ += count;
    return write_sound(set, duration);
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

// The GOP's sound as the engine plays it, or exactly the GOP's duration of silence where it
// has none (or sound of another format): the clock counts in samples when there is sound.
bool MosaicWriter::write_sound(const FrameSet& set, int64_t duration) {
    if (!output_.has_audio()) return true;
    sound_.clear();
    if (append_gop_audio(set, sound_format_, 0, sound_) == 0) {
        sound_.assign(
            static_cast<size_t>(duration) * static_cast<size_t>(audio_.bytes_per_sample()),
            sound_format_.silence());
    }
    return output_.write_audio(sound_.data(), sound_.size()) || output_failed();
}

bool MosaicWriter::finish() {
    if (finished_) return true;
    if (!started_ && !start(fleet::format::kFramesWhenNoneAnnounced, clock_.rate())) {
        return false;
    }
    if (!output_.finish()) return output_failed();
    if (!file_.close(error_)) return false;
    finished_ = true;
    return true;
}

void MosaicWriter::discard() {
    output_.close();
    file_.remove();
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
