#include "export_host/export_session.h"

#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "export_host/telemetry_sidecars.h"
#include "format/index_format.h"

namespace fleet::export_host {

namespace {

namespace ff = fleet::format;

bool is_network(int32_t type) {
    return type == KIVRA_SOURCE_REALTIME || type == KIVRA_SOURCE_REMOTE;
}

bool make_directory(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return true;
    std::filesystem::create_directories(path, error);
    return !error && std::filesystem::is_directory(path, error);
}

void copy_path(char (&field)[OMBREL_PATH_SIZE], const std::string& path) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, path.data(), std::min(path.size(), sizeof field - 1));
}

void remove_file(const std::string& path) {
    ::unlink(path.c_str());
}

uint32_t low_word(int64_t offset) {
    return static_cast<uint32_t>(static_cast<uint64_t>(offset));
}
int32_t high_word(int64_t offset) {
    return static_cast<int32_t>(offset >> 32);
}

}  // namespace

// ---- IndexRange, seams ----------------------------------------------------------------------

uint32_t IndexRange::units() const {
    return ff::units_between(first, last);
}

uint32_t IndexRange::unit_at(uint32_t step) const {
    return (first - 1 + step % ff::kLastUnitNumber) % ff::kLastUnitNumber + 1;
}

uint32_t IndexRange::step_of(uint32_t unit) const {
    const uint32_t along = ff::units_between(first, unit);
    return along == 0 ? ff::kLastUnitNumber : along - 1;
}

ExportSeams system_seams() {
    ExportSeams seams;
    seams.now = [] { return std::time(nullptr); };
    seams.exists = [](const std::string& path) {
        std::error_code error;
        // A dangling link is a name taken too.
        return std::filesystem::exists(std::filesystem::symlink_status(path, error));
    };
    return seams;
}

// ---- the session ----------------------------------------------------------------------------

struct ExportSession::Sidecars {
    TelemetryCsv csv;
    GpxTrack gpx;
};

ExportSession::ExportSession(EngineEntries engine, OmbrelEntries ombrel, ExportSink sink,
                             ExportSeams seams)
    : engine_(engine), ombrel_(ombrel), sink_(std::move(sink)), seams_(std::move(seams)) {}

ExportSession::~ExportSession() {
    stop();
    std::lock_guard lock(mutex_);
    // No report comes any more: the outputs cannot be completed, so none is left half written.
    if (phase_ == Phase::Writing) {
        ombrel_.zExtractFin();
        discard_outputs();
    }
    phase_ = Phase::Idle;
    running_ = false;
}

bool ExportSession::IndexIdentity::operator==(const IndexIdentity& other) const {
    const auto same = [](const auto& a, const auto& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    return same(header, other.header) && same(first, other.first) && same(last, other.last);
}

std::optional<ExportSession::IndexIdentity> ExportSession::open_index() const {
    IndexIdentity index;
    if (engine_.zTellTimeInxHd(&index.header) == 0) return std::nullopt;
    if (IndexRange{index.header.first, index.header.last}.units() == 0) return std::nullopt;
    if (engine_.zTellTimeInxUnit(static_cast<int32_t>(index.header.first), &index.first) == 0 ||
        engine_.zTellTimeInxUnit(static_cast<int32_t>(index.header.last), &index.last) == 0) {
        return std::nullopt;
    }
    return index;
}

std::optional<ExportRefusal> ExportSession::prepare(IndexRange& range) {
    std::lock_guard lock(mutex_);
    prepared_.reset();
    const int32_t type = engine_.zTellOpenedType();
    if (type < KIVRA_SOURCE_FILE) return ExportRefusal::NothingOpened;
    if (is_network(type) || type > KIVRA_SOURCE_REMOTE) return ExportRefusal::SourceNotSupported;
    prepared_ = open_index();
    if (!prepared_) return ExportRefusal::NoTimeIndex;
    range = IndexRange{prepared_->header.first, prepared_->header.last};
    return std::nullopt;
}

std::optional<ExportRefusal> ExportSession::start(const ExportRequest& request) {
    std::unique_lock lock(mutex_);
    if (phase_ != Phase::Idle) return ExportRefusal::AlreadyRunning;
    const std::optional<IndexIdentity> index = open_index();
    if (!index || !prepared_ || !(*index == *prepared_)) return ExportRefusal::IndexUnitsUnreadable;
    // Units compare by their place along the ring: a wrapped disk's range runs over 0xFFFFF.
    const IndexRange range{index->header.first, index->header.last};
    const uint32_t start_step = range.step_of(request.start_unit);
    const uint32_t end_step = range.step_of(request.end_unit);
    if (start_step >= end_step || end_step >= range.units()) return ExportRefusal::IllegalTime;
    if (!request.any_output()) return ExportRefusal::NothingSelected;
    // Refused before anything is made: a name chosen at the first GOP must never fail to fit.
    if (longest_output_path(request.target_directory) > kMaxPathBytes)
        return ExportRefusal::DirectoryTooLong;
    if (!make_directory(request.target_directory)) return ExportRefusal::DirectoryNotCreated;

    job_ = ExtractJob{};
    job_.screen_count = engine_.zTellScreenNum();
    job_.sample_rate = engine_.zTellSampleRate();
    job_.sample_bits = engine_.zTellSampleBits();
    if (job_.screen_count == -1 || job_.sample_rate == -1 || job_.sample_bits == -1)
        return ExportRefusal::NoChannelCount;
    for (int i = 0; i < kChannels; ++i)
        job_.channel_avi[i] = request.channels[static_cast<size_t>(i)] ? 1 : 0;
    job_.all_channels_avi = request.all_channels ? 1 : 0;
    job_.copy_file_pair = request.file_pair ? 1 : 0;
    job_.reserved1[0] = request.mp4 ? 1 : 0;
    copy_path(job_.target_directory, request.target_directory);

    KivraIndexUnit first{}, last{};
    if (engine_.zTellTimeInxUnit(static_cast<int32_t>(request.start_unit), &first) == 0 ||
        engine_.zTellTimeInxUnit(static_cast<int32_t>(request.end_unit), &last) == 0) {
        return ExportRefusal::IndexUnitsUnreadable;
    }

    request_ = request;
    paths_ = OutputPaths{};
    pending_.reset();
    phase_ = Phase::FirstGop;
    running_ = true;
    // The engine's reports take the lock: it is not held while the engine starts.
    lock.unlock();
    if (engine_.zStartExtract(low_word(first.offset), high_word(first.offset),
                              low_word(last.offset), high_word(last.offset)) == -1) {
        lock.lock();
        phase_ = Phase::Idle;
        running_ = false;
        return ExportRefusal::EngineRefused;
    }
    return std::nullopt;
}

void ExportSession::stop() {
    // Not under the lock: the engine may hold its own lock while it reports to on_extract.
    if (running_) engine_.zStopExtract();
}

void ExportSession::on_extract(int32_t kind, int32_t percent, const void* data, int32_t length,
                               const void* frame_set) {
    std::optional<ExportOutcome> ended;
    bool written = false;
    {
        std::lock_guard lock(mutex_);
        if (phase_ == Phase::Idle) return;
        switch (kind) {
            case KIVRA_EXTRACT_GOP:
                if (frame_set == nullptr || data == nullptr || length <= 0) break;
                take_gop(data, length, *static_cast<const FrameSet*>(frame_set));
                written = phase_ == Phase::Writing;
                break;
            case KIVRA_EXTRACT_INDEX:
                if (phase_ != Phase::Writing) break;
                ombrel_.zExtractWrite(OMBREL_WRITE_INDEX_RECORD, data, length, nullptr);
                if (ombrel_.zIsExtractOpened() == 0)
                    give_up(ExportEnd::Failed, "an output failed on an index record");
                break;
            case KIVRA_EXTRACT_FINISHED:
                ended = end_outcome(ExportEnd::Completed);
                break;
            case KIVRA_EXTRACT_STOPPED:
                ended = end_outcome(ExportEnd::Stopped);
                break;
            case KIVRA_EXTRACT_FAILED:
            case KIVRA_EXTRACT_CANNOT_OPEN:
                ended = fail_outcome();
                break;
            default:  // read errors: the engine goes on with the next GOP
                break;
        }
        if (ended) {
            phase_ = Phase::Idle;
            sidecars_.reset();
        }
    }
    if (written && kind == KIVRA_EXTRACT_GOP && sink_.progress) sink_.progress(percent);
    if (ended) finish(std::move(*ended));
}

void ExportSession::take_gop(const void* data, int32_t length, const FrameSet& frames) {
    if (phase_ == Phase::Draining) return;
    if (phase_ == Phase::FirstGop && !open_outputs(frames)) return;
    ombrel_.zExtractWrite(OMBREL_WRITE_GOP, data, length, &frames);
    // The library discards every output when one fails; the export cannot go on.
    if (ombrel_.zIsExtractOpened() == 0) {
        give_up(ExportEnd::Failed, "an output failed while writing");
        return;
    }
    if (sidecars_->csv.is_open()) sidecars_->csv.add(frames);
    if (sidecars_->gpx.is_open()) sidecars_->gpx.add(frames);
}

bool ExportSession::open_outputs(const FrameSet& frames) {
    const std::string id = safe_vehicle_id(frames.vehicle_id);
    const std::string stamp = name_stamp(seams_.now());
    auto chosen = choose_output_paths(request_, stem_base(request_.target_directory, id, stamp),
                                      seams_.exists);
    if (!chosen) {
        give_up(ExportEnd::OpenFailed, chosen.error().message);
        return false;
    }
    paths_ = std::move(*chosen);
    for (int i = 0; i < kChannels; ++i)
        copy_path(job_.channel_avi_path[i], paths_.channel[static_cast<size_t>(i)]);
    copy_path(job_.all_channels_avi_path, paths_.all_channels);
    copy_path(job_.dvr_path, paths_.dvr);
    copy_path(job_.inx_path, paths_.inx);
    job_.picture_width = frames.picture_width;
    job_.picture_height = frames.picture_height;
    if (ombrel_.zExtractPre(job_) == 0) {
        paths_ = OutputPaths{};  // nothing of ours exists to be removed
        give_up(ExportEnd::OpenFailed, "the extraction library could not create the outputs");
        return false;
    }
    sidecars_ = std::make_unique<Sidecars>();
    fleet::Status sidecar;
    if (!paths_.telemetry_csv.empty()) sidecar = sidecars_->csv.open(paths_.telemetry_csv);
    if (sidecar && !paths_.gpx.empty()) sidecar = sidecars_->gpx.open(paths_.gpx, id + " " + stamp);
    if (!sidecar) {
        ombrel_.zExtractFin();
        discard_outputs();
        give_up(ExportEnd::OpenFailed, sidecar.error().message);
        return false;
    }
    phase_ = Phase::Writing;
    return true;
}

// Decided on our side: the engine is asked to stop, and its end report carries this outcome.
void ExportSession::give_up(ExportEnd end, std::string detail) {
    if (sidecars_) {
        sidecars_->csv.discard();
        sidecars_->gpx.discard();
    }
    phase_ = Phase::Draining;
    pending_ = ExportOutcome{end, {}, std::move(detail)};
    engine_.zStopExtract();
}

ExportOutcome ExportSession::end_outcome(ExportEnd engine_end) {
    if (pending_) return *pending_;
    if (phase_ == Phase::FirstGop) {
        if (engine_end == ExportEnd::Stopped) return {ExportEnd::Stopped, {}, "stopped early"};
        return {ExportEnd::Failed, {}, "the range held no GOP to export"};
    }
    ombrel_.zExtractFin();
    fleet::Status csv = sidecars_->csv.close();
    fleet::Status gpx = sidecars_->gpx.close();
    if (!csv || !gpx) {
        discard_outputs();
        return {ExportEnd::Failed, {}, (!csv ? csv : gpx).error().message};
    }
    std::vector<std::string> files = paths_.all();
    // The library removes its outputs when one cannot be completed.
    for (const std::string& file : files) {
        if (!seams_.exists(file)) {
            discard_outputs();
            return {ExportEnd::Failed, {}, "an output could not be completed: " + file};
        }
    }
    return {engine_end, std::move(files), ""};
}

ExportOutcome ExportSession::fail_outcome() {
    if (pending_) return *pending_;
    if (phase_ == Phase::Writing) {
        ombrel_.zExtractFin();
        discard_outputs();
    }
    return {ExportEnd::Failed, {}, "the engine's extraction failed"};
}

// A sidecar removes only a file it created: its name may have been taken meanwhile by another
// program, whose file is not ours to remove.
void ExportSession::discard_outputs() {
    if (sidecars_) {
        sidecars_->csv.discard();
        sidecars_->gpx.discard();
    }
    for (const std::string& file : paths_.library_outputs()) remove_file(file);
}

void ExportSession::finish(ExportOutcome outcome) {
    running_ = false;
    if (sink_.ended) sink_.ended(outcome);
}

}  // namespace fleet::export_host
