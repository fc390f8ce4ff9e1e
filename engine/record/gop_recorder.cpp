#include "record/gop_recorder.h"

#include "format/gop_header.h"

namespace kivra {

fleet::Status GopRecorder::start(const std::string& base_path) {
    std::lock_guard<std::mutex> guard(lock_);
    if (files_) {
        // The recording that runs ends first; if it cannot end whole, say so and begin none.
        fleet::Status finished = files_->finish();
        files_.reset();
        if (!finished) return finished;
    }
    files_ = std::make_unique<RecordingFiles>();
    recorded_up_to_ = -1;
    if (auto created = files_->create(base_path + ".dvr", base_path + ".inx"); !created) {
        files_.reset();
        return created;
    }
    return {};
}

fleet::Status GopRecorder::stop() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!files_) return {};
    fleet::Status finished = files_->finish();
    files_.reset();
    return finished;
}

fleet::Status GopRecorder::write(const uint8_t* gop, size_t length, uint32_t time,
                                 int64_t source_offset) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!files_ || source_offset < recorded_up_to_) return {};
    if (fleet::Status appended = files_->append(gop, length, time); !appended) {
        (void)files_->finish();
        files_.reset();
        return appended;
    }
    recorded_up_to_ = source_offset + fleet::format::round_up_block(static_cast<int64_t>(length));
    return {};
}

void GopRecorder::forget_source_position() {
    std::lock_guard<std::mutex> guard(lock_);
    recorded_up_to_ = -1;
}

bool GopRecorder::recording() {
    std::lock_guard<std::mutex> guard(lock_);
    return files_ != nullptr;
}

}  // namespace kivra
