// A recorder's disk or card as a playback source: the ring recording with a cursor and the
// probe's findings.
#pragma once

#include <cstdint>
#include <string>

#include "common/result.h"
#include "format/recorder_medium.h"
#include "format/ring_recording.h"
#include "source/stored_source.h"

namespace kivra {

// What opening a disk or card found: enough for a second reader of the same device to start
// without finding the ring again.
struct RingFindings {
    fleet::format::RingBounds bounds;
    fleet::format::RingScan scan;
    ProbeResult probe;
};

class RingSource final : public StoredSource {
  public:
    // seek_error: the engine error for an offset off the ring (disk or card).
    explicit RingSource(int seek_error) : seek_error_(seek_error) {}

    // Takes the medium, finds the ring and probes it; the failure says why not.
    fleet::Status open(fleet::format::RingMedium medium);
    // Takes the medium of a device opened before, with what that open found; no ring scan and
    // no probe. Fails when the medium is not laid out as then.
    fleet::Status open_known(fleet::format::RingMedium medium, const RingFindings& known);
    void close();

    bool is_open() const override { return recording_.is_open(); }
    int next(fleet::format::WalkBuffer& buffer) override;
    int skip_forward(int n, fleet::format::WalkBuffer& buffer) override;
    int previous(fleet::format::WalkBuffer& buffer) override;
    int skip_backward(int n, fleet::format::WalkBuffer& buffer) override;
    int seek(int64_t logical) override;
    int64_t tell() const override;
    int64_t length() const override { return is_open() ? recording_.layout().length() : -1; }
    uint32_t begin_time() const override { return recording_.scan().begin_time; }
    uint32_t end_time() const override { return recording_.scan().end_time; }
    const ProbeResult& probe() const override { return probe_; }
    bool time_index_header(uint8_t* out16) override;
    bool time_index_unit(int64_t n, uint8_t* out16) override;
    bool event_index_header(uint8_t* out16) override;
    bool event_index_unit(int64_t n, uint8_t* out16) override;
    bool quick_index_header(uint8_t* out128) override;
    bool quick_index_unit(int64_t n, uint8_t* out128) override;

    const fleet::format::RingRecording& recording() const { return recording_; }
    RingFindings findings() const { return {recording_.bounds(), recording_.scan(), probe_}; }
    int seek_error() const { return seek_error_; }
    // The opened device or image, for the removal monitor; -1 when closed.
    int device_fd() const { return recording_.device_fd(); }

  private:
    int seek_error_;
    fleet::format::RingRecording recording_;
    fleet::format::StreamCursor cursor_;
    ProbeResult probe_;
};

}  // namespace kivra
