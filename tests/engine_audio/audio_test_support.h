// Shared by the AudioOut suites: environment that tests may change, and a producer that
// numbers the buffers it queues so the order they come back in can be checked.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_out.h"

namespace kivra::test {

using Clock = std::chrono::steady_clock;

// Puts the variables back as they were, so one test's backend choice does not leak into
// the next when the whole binary runs in one process.
class EnvGuard {
  public:
    EnvGuard() {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~EnvGuard() {
        for (size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i]) {
                setenv(kNames[i], saved_[i]->c_str(), 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

    static constexpr const char* kNames[] = {"KIVRA_AUDIO", "SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE",
                                             "SDL_DISKAUDIODELAY"};

  private:
    std::vector<std::optional<std::string>> saved_;
};

inline bool wait_for(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Gives `buffers` buffers of `bytes` bytes, each stamped with its number (from 1) in the
// first four bytes, then returns false. Records every completion.
class NumberedProducer {
  public:
    struct Event {
        uint32_t number;  // 0: one of the four empty buffers start() queues
        size_t length;    // as played
        const uint8_t* data;
        Clock::time_point when;
    };

    NumberedProducer(int buffers, size_t bytes) : buffers_(buffers), bytes_(bytes) {}

    AudioOut::Completion completion() {
        return [this](AudioBuffer& buffer) { return complete(buffer); };
    }

    int calls() const { return calls_.load(); }
    int most_at_once() const { return most_at_once_.load(); }
    std::vector<Event> events() const {
        std::lock_guard guard(mutex_);
        return events_;
    }

    // Called with each buffer before it is queued again; tests fill in sound here.
    std::function<void(AudioBuffer&, uint32_t number)> fill;

  private:
    bool complete(AudioBuffer& buffer) {
        const int inside = ++inside_;
        int most = most_at_once_.load();
        while (inside > most && !most_at_once_.compare_exchange_weak(most, inside)) {
        }
        uint32_t number = 0;
        std::memcpy(&number, buffer.data, sizeof number);
        {
            std::lock_guard guard(mutex_);
            events_.push_back({number, buffer.length, buffer.data, Clock::now()});
        }
        const bool more = given_ < buffers_;
        if (more) {
            const auto next = static_cast<uint32_t>(++given_);
            buffer.length = bytes_;
            if (fill) fill(buffer, next);
            std::memcpy(buffer.data, &next, sizeof next);
        }
        ++calls_;
        --inside_;
        return more;
    }

    const int buffers_;
    const size_t bytes_;
    int given_ = 0;  // completion thread only
    std::atomic<int> calls_{0};
    std::atomic<int> inside_{0};
    std::atomic<int> most_at_once_{0};
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

// Numbers of the buffers that carried sound, in the order they came back.
inline std::vector<uint32_t> played_numbers(const std::vector<NumberedProducer::Event>& events) {
    std::vector<uint32_t> numbers;
    for (const auto& event : events)
        if (event.length > 0) numbers.push_back(event.number);
    return numbers;
}

inline std::vector<uint32_t> one_to(uint32_t n) {
    std::vector<uint32_t> numbers(n);
    for (uint32_t i = 0; i < n; ++i) numbers[i] = i + 1;
    return numbers;
}

}  // namespace kivra::test
