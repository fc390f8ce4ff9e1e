// The playback state machine: executes the playback commands, keeps the frame pair filled
// from a reader thread, and presents frames, clocked by the audio output in normal play and
// by timers while paused, stepping or fast. It plays a recording on storage or a realtime
// feed from a recorder; a feed only plays and stops.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "kivra/kivra.h"

#include "audio/audio_out.h"
#include "decode/channel_sizes.h"
#include "format/frame_set.h"
#include "playback/frame_set_pair.h"
#include "playback/periodic_timer.h"
#include "playback/read_recovery.h"
#include "playback/sync.h"
#include "present/presenter.h"
#include "record/gop_recorder.h"
#include "source/live_feed.h"
#include "source/stored_source.h"

namespace kivra {

struct ReaderState;

// What the player reports to the host.
class PlayerEvents {
  public:
    virtual ~PlayerEvents() = default;
    virtual void play_event(int code, int value) = 0;
    virtual void error(int code, int system_error = 0, int checked = 0) = 0;
    virtual void frame_info(const FrameSet& set, int frame) = 0;
    virtual void end_of_data() = 0;  // normal play ran out: reported by the end notifier
};

struct DisplaySettings {
    std::atomic<int> screen_count{-1};
    std::atomic<int> full_screen{0};
    std::atomic<int> division{0};
    std::atomic<bool> voice_on{true};
    std::atomic<float> gain{1.0f};
};

class Player {
  public:
    Player(PlayerEvents& events, Presenter& presenter, AudioOut& audio, std::mutex& engine_lock,
           DisplaySettings& display, GopRecorder& recorder);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // The source playback reads; null detaches it. Only while nothing plays. A feed and a
    // stored source exclude each other: attaching one detaches the other.
    void attach(StoredSource* source);
    void attach_live(LiveFeed* feed);
    int status() const { return status_.load(); }
    void set_status(int status) { status_.store(status); }

    // Playback commands; each returns its result code and reports errors on the way. With a
    // feed attached, play and stop act on it; the other commands are for stored sources.
    int play();
    int pause();
    int step(bool forward);
    int fast(bool forward, int speed);
    int seek(int64_t offset);
    int stop();
    void set_jump(int selector) { jump_.store(selector); }
    // The host lets the reader ask the feed again after it had nothing to give: the reader
    // takes once more at once instead of waiting for the presenting side.
    void poll();
    // Draws the paused picture again with the current layout at the next pause tick; other
    // modes draw new frames anyway.
    void request_redraw() { redraw_ = true; }

    // Stops reader, timers and output (close, release).
    void halt();

  private:
    // Output and reader. The output lock keeps the reader, which reopens the output when a
    // feed's sound changes format, from opening it again after playback closed it.
    bool start_output();
    bool start_output_locked();
    void close_output();
    void close_output_locked();
    void stop_output();
    bool ensure_reader();
    void end_reader();
    void reader_loop();
    int read_for_reader(fleet::format::WalkBuffer& buffer, bool& report, int64_t& gop_start);
    void record(const fleet::format::WalkBuffer& buffer, uint32_t time, int64_t gop_start);
    std::chrono::milliseconds read_stored_round(ReaderState& r);

    // Realtime feed.
    int play_live();
    int stop_live();
    int take_live(fleet::format::WalkBuffer& buffer);
    std::chrono::milliseconds read_live_round(ReaderState& r);
    void hand_over_live(ReaderState& r);
    bool sound_format_changes(const FrameSet& set) const;
    std::chrono::milliseconds hand_over_held(ReaderState& r);

    // Presenting.
    bool on_audio_buffer(AudioBuffer& buffer);
    void present_frame(const FrameSet& set, const ChannelSizes& sizes, int frame, bool key_frames);
    PictureSize drawing_size(int channel, const ChannelSizes& sizes);
    void on_timer_tick(bool fast_timer);
    int read_for_timer(bool fast_timer, fleet::format::WalkBuffer& buffer, bool& report);

    // Timers and positioning.
    bool start_timer(PeriodicTimer& timer, int period_ms, bool fast_timer);
    bool kill_timer(PeriodicTimer& timer, int error_code);
    int position(int64_t offset);

    PlayerEvents& events_;
    Presenter& presenter_;
    AudioOut& audio_;
    std::mutex& engine_lock_;
    DisplaySettings& display_;
    GopRecorder& recorder_;
    StoredSource* source_ = nullptr;
    ReadRecovery recovery_;  // under the engine lock, with the source
    std::atomic<LiveFeed*> live_{nullptr};
    ReadRecovery live_recovery_;  // reader thread only
    int64_t live_offset_ = 0;     // bytes taken from the feed: where recording stands
    std::mutex poll_lock_;
    bool poll_ = false;  // under poll_lock_

    std::mutex output_lock_;
    bool output_on_ = false;  // under output_lock_

    std::atomic<int> status_{KIVRA_STATUS_OPENED};
    std::unique_ptr<FrameSetPair> pair_;

    std::thread reader_;
    std::atomic<bool> reader_run_{false};
    ManualResetEvent reader_wake_;
    std::mutex reader_busy_;  // held while the reader handles one GOP
    static constexpr int kJumpGops = 20;
    std::atomic<int> jump_{KIVRA_JUMP_NEXT};
    std::atomic<bool> end_seen_{false};

    PeriodicTimer pause_timer_;
    PeriodicTimer fast_timer_;
    std::atomic<bool> hold_{true};
    std::atomic<bool> shown_{false};
    std::atomic<bool> step_forward_{true};
    std::atomic<bool> redraw_{false};
    bool last_read_forward_ = true;  // timer thread only
    std::atomic<bool> fast_forward_{true};
    std::atomic<int> fast_skip_{1};
    std::vector<uint8_t> timer_bytes_;
    std::unique_ptr<fleet::format::FrameSetStorage> timer_set_;
    ChannelSizes timer_sizes_{};
    // The size each channel was last drawn at (presenting threads, under the audio lock).
    ChannelSizes drawn_sizes_{};
};

}  // namespace kivra
