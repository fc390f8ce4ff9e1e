#include "record/gop_recorder.h"

namespace kivra {

bool GopRecorder::start(const std::string& base_path) {
    std::lock_guard<std::mutex> guard(lock_);
    if (writer_) writer_->finish();
    writer_ = std::make_unique<FilePairWriter>();
    if (!writer_->create(base_path + ".dvr", base_path + ".inx")) {
        writer_.reset();
        return false;
    }
    return true;
}

bool GopRecorder::stop() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!writer_) return true;
    bool ok = writer_->finish();
    writer_.reset();
    return ok;
}

void GopRecorder::write(const uint8_t* gop, size_t length, uint32_t time) {
    std::lock_guard<std::mutex> guard(lock_);
    if (writer_) writer_->append_gop(gop, length, time);
}

bool GopRecorder::recording() {
    std::lock_guard<std::mutex> guard(lock_);
    return writer_ != nullptr;
}

}  // namespace kivra
