// One extraction's outputs from zExtractPre to zExtractFin: every GOP and index record goes to
// every output, and the first output that fails takes all the others with it, so an export
// leaves complete files or none.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "job_outputs.h"

namespace ombrel {

class ExportSession {
  public:
    // Makes the writers of a sound job (create_outputs, or a test's own).
    using Factory = std::function<Outputs(const ExtractJob&, std::string&)>;

    explicit ExportSession(Factory factory = create_outputs);
    ~ExportSession();  // an export still open is unfinished: its files are removed
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    // False, with nothing created, for a bad job, while outputs are open, or when any output
    // cannot be created.
    bool prepare(const ExtractJob& job);
    // One call of zExtractWrite; ignored while closed and for calls that carry nothing.
    void write(int32_t kind, const void* data, int32_t length, const void* frame_set);
    // Completes every output; if one cannot be completed, all are removed.
    void finish();
    // Safe from any thread.
    bool is_open() const { return open_.load(); }
    // Why the last prepare, write or finish failed.
    const std::string& last_error() const { return error_; }

  private:
    bool write_gop(const uint8_t* data, size_t length, const FrameSet* frames);
    bool write_index_record(const uint8_t* data, size_t length);
    void discard_all();

    Factory factory_;
    Outputs outputs_;
    std::atomic<bool> open_{false};
    std::string error_;
};

}  // namespace ombrel
