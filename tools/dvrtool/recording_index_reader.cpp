#include "recording_index_reader.h"

namespace dvrtool {

namespace ff = fleet::format;

RecordingIndexReader::RecordingIndexReader(Recording& recording) : recording_(recording) {
    if (ff::RingRecording* ring = recording.ring()) ring_.emplace(*ring);
}

bool RecordingIndexReader::time_header(ff::IndexHeader& out) {
    out = recording_.time_header();
    return true;
}

bool RecordingIndexReader::time_unit(uint32_t n, ff::IndexUnit& out) {
    return recording_.time_unit(n, out);
}

bool RecordingIndexReader::event_header(ff::IndexHeader& out) {
    return ring_ && ring_->event_header(out);
}

bool RecordingIndexReader::event_unit(uint32_t n, ff::IndexUnit& out) {
    return ring_ && ring_->event_unit(n, out);
}

bool RecordingIndexReader::quick_header(ff::QuickRecord& out) {
    return ring_ && ring_->quick_header(out);
}

bool RecordingIndexReader::quick_unit(uint32_t n, ff::QuickRecord& out) {
    return ring_ && ring_->quick_unit(n, out);
}

}  // namespace dvrtool
