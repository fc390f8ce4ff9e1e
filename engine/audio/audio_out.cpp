// The completion cycle. Backends only play; finished buffers cross to one completion thread
// through a lock-free ring, because SDL's callback may not wait for the playback side.
#include "audio/audio_out.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "audio/audio_backend.h"

namespace kivra {

namespace {

enum class Choice { automatic, clock, sdl };

Choice backend_choice() {
    const char* value = std::getenv("KIVRA_AUDIO");
    if (value == nullptr) return Choice::automatic;
    if (std::strcmp(value, "clock") == 0) return Choice::clock;
    if (std::strcmp(value, "sdl") == 0) return Choice::sdl;
    return Choice::automatic;
}

bool playable(const AudioFormat& format) {
    const bool bits = format.bits == 8 || format.bits == 16 || format.bits == 32;
    return bits && format.channels >= 1 && format.channels <= 8 && format.rate >= 1000 &&
           format.rate <= 384000;
}

}  // namespace

struct AudioOut::State final : audio_detail::FinishSink {
    // Lock order: control, then audio, then format_mutex. A completion may call format()
    // while stop() holds control and waits for audio, so format() takes only its own.
    std::mutex control;
    std::mutex audio;
    mutable std::mutex format_mutex;

    AudioFormat format;
    Completion completion;  // under audio
    std::atomic<bool> open{false};
    std::atomic<const char*> backend_name{"none"};

    std::array<std::unique_ptr<uint8_t[]>, kAudioBufferCount> storage;
    std::array<AudioBuffer, kAudioBufferCount> buffers{};
    std::unique_ptr<audio_detail::Backend> backend;

    // Single producer (the backend's playing thread), single consumer (the completion
    // thread). Never overflows: only kAudioBufferCount buffers exist.
    std::array<AudioBuffer*, kAudioBufferCount> ring{};
    std::atomic<uint32_t> ring_written{0};
    uint32_t ring_read = 0;
    std::atomic<uint32_t> wake{0};
    std::atomic<bool> quit{false};
    std::thread completer;

    void finished(AudioBuffer* buffer) override {
        const uint32_t w = ring_written.load(std::memory_order_relaxed);
        ring[w % kAudioBufferCount] = buffer;
        ring_written.store(w + 1, std::memory_order_release);
        signal();
    }

    void signal() {
        wake.fetch_add(1, std::memory_order_release);
        wake.notify_one();
    }

    void run_completions() {
        for (;;) {
            const uint32_t seen = wake.load(std::memory_order_acquire);
            while (ring_read != ring_written.load(std::memory_order_acquire)) {
                if (quit.load(std::memory_order_acquire)) return;
                AudioBuffer* buffer = ring[ring_read % kAudioBufferCount];
                ++ring_read;
                complete(*buffer);
            }
            if (quit.load(std::memory_order_acquire)) return;
            wake.wait(seen, std::memory_order_acquire);
        }
    }

    void complete(AudioBuffer& buffer) {
        std::lock_guard guard(audio);
        if (!open.load(std::memory_order_acquire)) return;  // stop() is taking buffers back
        const auto index = static_cast<size_t>(&buffer - buffers.data());
        buffer.data = storage[index].get();  // the storage is ours to free, whatever was set
        bool again = false;
        if (completion) {
            try {
                again = completion(buffer);
            } catch (...) {
                again = false;  // a throwing producer has no more data to give
            }
        }
        if (!again) return;
        buffer.data = storage[index].get();
        if (buffer.length > kAudioBufferSize) buffer.length = kAudioBufferSize;
        backend->queue(&buffer);
    }
};

AudioOut::AudioOut() : state_(std::make_unique<State>()) {}

AudioOut::~AudioOut() {
    stop();
}

void AudioOut::set_completion(Completion completion) {
    std::lock_guard guard(state_->audio);
    state_->completion = std::move(completion);
}

bool AudioOut::set_format(const AudioFormat& format) {
    std::lock_guard guard(state_->control);
    if (state_->open.load() || !playable(format)) return false;
    std::lock_guard format_guard(state_->format_mutex);
    state_->format = format;
    return true;
}

AudioFormat AudioOut::format() const {
    std::lock_guard guard(state_->format_mutex);
    return state_->format;
}

int AudioOut::start(int& checked_value) {
    State& s = *state_;
    std::lock_guard guard(s.control);
    checked_value = 0;
    if (s.open.load()) return KIVRA_ERROR_OUTPUT_ALREADY_RUNNING;

    const AudioFormat fmt = format();
    for (size_t i = 0; i < kAudioBufferCount; ++i) {
        s.storage[i] = std::make_unique<uint8_t[]>(kAudioBufferSize);
        s.buffers[i] = AudioBuffer{s.storage[i].get(), 0};
    }
    s.ring_written.store(0);
    s.ring_read = 0;
    s.quit.store(false);

    const Choice choice = backend_choice();
    if (choice != Choice::clock) {
        audio_detail::SdlOpen sdl =
            audio_detail::open_sdl_backend(fmt, s, choice == Choice::automatic);
        if (sdl.backend) {
            s.backend = std::move(sdl.backend);
            s.backend_name.store("sdl");
        } else if (choice == Choice::sdl) {
            for (auto& storage : s.storage) storage.reset();
            s.buffers = {};
            checked_value = sdl.checked_value;
            return sdl.error;
        }
    }
    if (!s.backend) {
        s.backend = audio_detail::open_clock_backend(fmt, s);
        s.backend_name.store("clock");
    }

    s.completer = std::thread([&s] { s.run_completions(); });
    std::lock_guard audio_guard(s.audio);  // the four go out in order before any comes back
    s.open.store(true);
    for (AudioBuffer& buffer : s.buffers) s.backend->queue(&buffer);
    return kAudioStarted;
}

bool AudioOut::stop() {
    State& s = *state_;
    std::lock_guard guard(s.control);
    if (!s.open.exchange(false)) return false;
    {
        std::lock_guard audio_guard(s.audio);
        s.backend->close();
    }
    s.quit.store(true, std::memory_order_release);
    s.signal();
    s.completer.join();
    s.backend.reset();
    s.buffers = {};
    for (auto& storage : s.storage) storage.reset();
    return true;
}

bool AudioOut::is_open() const {
    return state_->open.load();
}

const char* AudioOut::backend() const {
    return state_->backend_name.load();
}

std::mutex& AudioOut::lock() {
    return state_->audio;
}

}  // namespace kivra
