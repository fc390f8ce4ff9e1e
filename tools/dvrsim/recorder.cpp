#include "dvrsim/recorder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "common/le.h"
#include "dvrsim/damage_plan.h"
#include "dvrsim/gop_producer.h"
#include "dvrsim/index_schedule.h"
#include "dvrsim/rng.h"
#include "format/file_pair_writer.h"
#include "format/gop_header.h"

namespace dvrsim {
namespace {

int max_channels_for(int version) {
    return version <= 1 ? 4 : version == 2 ? 8 : 16;
}

std::vector<uint8_t> garbage_blocks(uint64_t seed) {
    Rng rng(seed ^ 0xBAD);
    std::vector<uint8_t> bytes(3 * fleet::format::kBlockSize);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng.next() | 1);  // never a zero block
    return bytes;
}

std::vector<uint8_t> zero_length_magic_block() {
    std::vector<uint8_t> block(fleet::format::kBlockSize, 0);
    fleet::store_u32(block.data(), fleet::format::kGopMagic);  // total length left 0
    return block;
}

// A recording into a file pair: BASE.dvr with BASE.inx, and the truth beside them.
class Recording final : public GopSink {
  public:
    explicit Recording(const RecordOptions& o) : o_(o), plan_(o) {}

    fleet::Result<RecordSummary> run();
    fleet::Status store(const ProducedGop& gop) override;

  private:
    fleet::Status append_filler(const std::vector<uint8_t>& bytes);
    fleet::Status truncate_last_gop();
    fleet::Error write_error(const std::string& path) const;

    const RecordOptions& o_;
    DamagePlan plan_;
    fleet::format::FilePairWriter writer_;
    std::ofstream truth_;
    int64_t last_gop_length_ = 0;
    int64_t truth_lines_ = 0;
};

fleet::Error Recording::write_error(const std::string& path) const {
    return fleet::fail("cannot write " + path + ": " + std::strerror(errno));
}

fleet::Status Recording::append_filler(const std::vector<uint8_t>& bytes) {
    if (!writer_.append_filler(bytes.data(), bytes.size())) return write_error(o_.base + ".dvr");
    return {};
}

// The tag of a GOP's time unit: its event type, if it carries an event.
uint32_t pair_tag(const PairIndex& index, int64_t gop) {
    if (index.event_every <= 0) return 0;
    const IndexSchedule schedule{index.unit_every, 1, index.event_every};
    return static_cast<uint32_t>(event_type(schedule, gop)) << kEventTypeShift;
}

fleet::Status Recording::store(const ProducedGop& gop) {
    if (gop.index == plan_.garbage_before) {
        if (auto written = append_filler(garbage_blocks(o_.seed)); !written) return written;
    }
    if (gop.index == plan_.filler_before) {
        if (auto written = append_filler(zero_length_magic_block()); !written) return written;
    }
    const uint32_t tag = pair_tag(o_.pair_index, gop.index);
    if (!writer_.append_gop(gop.bytes.data(), gop.bytes.size(), gop.time, tag)) {
        return write_error(o_.base + ".dvr");
    }
    last_gop_length_ = static_cast<int64_t>(gop.bytes.size());
    for (const auto& line : gop.truth_lines) {
        truth_ << line << '\n';
        ++truth_lines_;
    }
    return {};
}

fleet::Status Recording::truncate_last_gop() {
    std::string path = o_.base + ".dvr";
    int64_t cut = writer_.stream_length() - fleet::format::round_up_block(last_gop_length_) +
                  last_gop_length_ / 2;
    if (::truncate(path.c_str(), static_cast<off_t>(cut)) != 0) {
        return fleet::fail("cannot truncate " + path + ": " + std::strerror(errno));
    }
    return {};
}

fleet::Result<RecordSummary> Recording::run() {
    GopProducer producer(o_);
    if (auto opened = producer.open(); !opened) return opened.error();
    std::string dvr = o_.base + ".dvr", inx = o_.base + ".inx", truth = o_.base + ".truth.jsonl";
    if (!writer_.create(dvr, inx)) {
        return fleet::fail("cannot create " + dvr + " / " + inx + ": " + std::strerror(errno));
    }
    writer_.set_unit_every(o_.pair_index.unit_every);
    truth_.open(truth, std::ios::trunc);
    if (!truth_) return fleet::fail("cannot create " + truth + ": " + std::strerror(errno));

    if (auto made = produce_into(producer, o_.seconds, *this, o_.progress); !made) {
        return made.error();
    }
    RecordSummary summary;
    summary.gops = writer_.gop_count();
    summary.stream_bytes = writer_.stream_length();
    summary.frames = truth_lines_;
    if (!writer_.finish()) {
        return fleet::fail("cannot finish " + dvr + ": " + std::strerror(errno));
    }
    truth_.close();
    if (!truth_) return fleet::fail("cannot write " + truth);
    if (plan_.truncate >= 0) {
        if (auto cut = truncate_last_gop(); !cut) return cut.error();
    }
    return summary;
}

}  // namespace

fleet::Status check_options(const RecordOptions& o) {
    using fleet::fail;
    if (o.base.empty()) return fail("--out is required");
    if (o.stream_version < 0 || o.stream_version > 3) return fail("--stream-version must be 0..3");
    if (o.channels != 1 && o.channels != 4 && o.channels != 8 && o.channels != 16) {
        return fail("--channels must be 1, 4, 8 or 16");
    }
    if (o.channels > max_channels_for(o.stream_version)) {
        return fail("stream version " + std::to_string(o.stream_version) + " holds at most " +
                    std::to_string(max_channels_for(o.stream_version)) + " channels");
    }
    if (o.resolutions.size() > static_cast<size_t>(o.channels)) {
        return fail("--resolution names more sizes than there are channels");
    }
    int max_fps = o.stream_version == 3 ? 15 : 16;  // version 3 stores twice the count in 5 bits
    if (o.fps < 1 || o.fps > max_fps) {
        return fail("--fps must be 1.." + std::to_string(max_fps) + " for this stream version");
    }
    if (o.seconds < 1 || o.seconds > 86400) return fail("--seconds must be 1..86400");
    if (o.pair_index.unit_every < 1 || o.pair_index.unit_every > 3600) {
        return fail("--unit-every must be 1..3600");
    }
    if (o.pair_index.event_every < 0) return fail("--event-every must be at least 1");
    if (fleet::format::audio_rate_code_for(o.audio_rate) == 0 && o.audio_rate != 22050) {
        return fail("--audio-rate must be one of 4000 8000 11025 16000 22050 32000 44100");
    }
    if (o.audio_bits != 8 && o.audio_bits != 16) return fail("--audio-bits must be 8 or 16");
    if (o.audio_channels != 1 && o.audio_channels != 2) {
        return fail("--audio-channels must be 1 or 2");
    }
    if (has_units(o.tyre_layout) && o.stream_version != 3) {
        return fail("--tyre-layout needs stream version 3");
    }
    bool needs_two = has_damage(o, Damage::Garbage) || has_damage(o, Damage::ZeroLengthMagic);
    if (needs_two && o.seconds < 2) return fail("this damage needs at least 2 seconds");
    return {};
}

fleet::Result<RecordSummary> record(const RecordOptions& options) {
    if (auto checked = check_options(options); !checked) return checked.error();
    Recording recording(options);
    return recording.run();
}

bool parse_damage(const std::string& name, Damage& out) {
    static const struct {
        const char* name;
        Damage damage;
    } kNames[] = {{"garbage", Damage::Garbage},
                  {"corrupt-header", Damage::CorruptHeader},
                  {"truncate", Damage::Truncate},
                  {"zero-length-magic", Damage::ZeroLengthMagic},
                  {"broken-pictures", Damage::BrokenPictures},
                  {"undecodable", Damage::Undecodable}};
    for (const auto& entry : kNames) {
        if (name == entry.name) {
            out = entry.damage;
            return true;
        }
    }
    return false;
}

namespace {

bool parse_resolution(const std::string& name, Resolution& out) {
    if (name == "cif")
        out = {352, 288};
    else if (name == "d1")
        out = {720, 480};
    else if (name == "720p")
        out = {1280, 720};
    else
        return false;
    return true;
}

}  // namespace

bool parse_resolutions(const std::string& names, std::vector<Resolution>& out) {
    std::vector<Resolution> sizes;
    size_t from = 0;
    for (;;) {
        const size_t comma = names.find(',', from);
        Resolution size;
        if (!parse_resolution(names.substr(from, comma - from), size)) return false;
        sizes.push_back(size);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    out = std::move(sizes);
    return true;
}

Resolution resolution_of(const RecordOptions& options, int channel) {
    if (options.resolutions.empty()) return Resolution{};
    const size_t last = options.resolutions.size() - 1;
    return options.resolutions[std::min(static_cast<size_t>(channel), last)];
}

bool parse_scene(const std::string& name, Scene& out) {
    if (name == "flat")
        out = Scene::Flat;
    else if (name == "camera")
        out = Scene::Camera;
    else
        return false;
    return true;
}

}  // namespace dvrsim
