#include "export_session.h"

#include <utility>

namespace ombrel {

ExportSession::ExportSession(Factory factory) : factory_(std::move(factory)) {}

ExportSession::~ExportSession() {
    if (is_open()) discard_all();
}

bool ExportSession::prepare(const ExtractJob& job) {
    if (is_open()) {
        error_ = "an export is already open";
        return false;
    }
    error_ = job_problem(job);
    if (!error_.empty()) return false;
    outputs_ = factory_(job, error_);
    if (outputs_.empty()) return false;
    open_ = true;
    return true;
}

void ExportSession::write(int32_t kind, const void* data, int32_t length, const void* frame_set) {
    if (!is_open() || data == nullptr || length <= 0) return;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const auto size = static_cast<size_t>(length);
    bool written = true;
    if (kind == OMBREL_WRITE_GOP && frame_set != nullptr) {
        written = write_gop(bytes, size, static_cast<const FrameSet*>(frame_set));
    } else if (kind == OMBREL_WRITE_INDEX_RECORD) {
        written = write_index_record(bytes, size);
    }
    if (!written) discard_all();
}

bool ExportSession::write_gop(const uint8_t* data, size_t length, const FrameSet* frames) {
    const GopInput gop{data, length, frames};
    for (auto& output : outputs_) {
        if (!output->write_gop(gop)) {
            error_ = output->error();
            return false;
        }
    }
    return true;
}

bool ExportSession::write_index_record(const uint8_t* data, size_t length) {
    for (auto& output : outputs_) {
        if (!output->write_index_record(data, length)) {
            error_ = output->error();
            return false;
        }
    }
    return true;
}

void ExportSession::finish() {
    if (!is_open()) return;
    for (auto& output : outputs_) {
        if (!output->finish()) {
            error_ = output->error();
            discard_all();
            return;
        }
    }
    outputs_.clear();
    open_ = false;
}

void ExportSession::discard_all() {
    for (auto& output : outputs_) output->discard();
    outputs_.clear();
    open_ = false;
}

}  // namespace ombrel
