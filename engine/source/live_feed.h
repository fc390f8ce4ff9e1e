// What playback needs from a realtime network source: GOPs as the recorder sends them, and
// the stream started and stopped with play and stop. The realtime link implements it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kivra {

class LiveFeed {
  public:
    // take(): a GOP was copied into the buffer.
    static constexpr int kTaken = 0;
    // Nothing may be taken now (prebuffering, or the queue ran empty); poll again later.
    static constexpr int kNoData = 3;
    // The link is closed, or the oldest GOP did not fit the buffer (it is dropped).
    static constexpr int kClosedOrTooLarge = -3;

    virtual ~LiveFeed() = default;
    // Copies the oldest queued GOP into buffer (capacity bytes) and sets length; may ask the
    // recorder for more data as a side effect. Thread-safe against the link's receiving.
    virtual int take(uint8_t* buffer, size_t capacity, size_t& length) = 0;
    // Play from stopped: links to the recorder again as the source was opened and asks it
    // to send. False when that cannot be done.
    virtual bool restart_stream() = 0;
    // Asks the recorder to stop sending, waits at most 3 s for its answer, closes the link and
    // empties the queue.
    virtual void stop_stream() = 0;
    // 4 or 8: the channel count asked for.
    virtual int channel_count() const = 0;
};

}  // namespace kivra
