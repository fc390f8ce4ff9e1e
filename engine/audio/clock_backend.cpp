// Plays into thin air at the speed a device would, so playback keeps real pace on machines
// without sound (servers, CI).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "audio/audio_backend.h"

namespace kivra::audio_detail {
namespace {

using Clock = std::chrono::steady_clock;

// How far behind real time the play position may be when a late buffer arrives. A device
// that ran dry has played silence meanwhile; the lost time is not made up in a fast burst.
constexpr auto kMaxCatchUp = std::chrono::milliseconds(50);

class ClockBackend final : public Backend {
  public:
    ClockBackend(const AudioFormat& format, FinishSink& sink)
        : format_(format), sink_(sink), thread_([this] { run(); }) {}

    ~ClockBackend() override { close(); }

    void queue(AudioBuffer* buffer) override {
        {
            std::lock_guard guard(mutex_);
            queue_.push_back(buffer);
        }
        wake_.notify_one();
    }

    void close() override {
        {
            std::lock_guard guard(mutex_);
            quit_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
        std::lock_guard guard(mutex_);
        queue_.clear();
    }

  private:
    // Deadlines come from a base time plus whole frames played since, so rounding never
    // accumulates over a long play.
    void run() {
        const int64_t frame_bytes = format_.block_align();
        const int64_t rate = format_.rate;
        Clock::time_point base = Clock::now();
        int64_t frames = 0;

        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_) return;
            AudioBuffer* buffer = queue_.front();
            size_t bytes = play_bytes(*buffer, format_);
            if (bytes == 0) bytes = idle_silence_bytes(format_);

            const auto earliest = Clock::now() - kMaxCatchUp;
            if (base + frame_time(frames, rate) < earliest) {
                base = earliest;
                frames = 0;
            }
            frames += static_cast<int64_t>(bytes) / frame_bytes;
            if (frames >= rate) {
                base += std::chrono::seconds(frames / rate);
                frames %= rate;
            }
            if (wake_.wait_until(lock, base + frame_time(frames, rate), [this] { return quit_; }))
                return;
            queue_.pop_front();
            sink_.finished(buffer);
        }
    }

    static Clock::duration frame_time(int64_t frames, int64_t rate) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(frames * 1'000'000'000 / rate));
    }

    const AudioFormat format_;
    FinishSink& sink_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<AudioBuffer*> queue_;
    bool quit_ = false;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace

std::unique_ptr<Backend> open_clock_backend(const AudioFormat& format, FinishSink& sink) {
    return std::make_unique<ClockBackend>(format, sink);
}

}  // namespace kivra::audio_detail
