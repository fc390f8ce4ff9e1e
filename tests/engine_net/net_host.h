// A host for the engine's network sources: the engine started with callbacks that keep every
// link, error and command report, so tests can wait for them in order.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "kivra/kivra.h"
#include "process.h"

namespace engine_net {

using Millis = std::chrono::milliseconds;
inline constexpr Millis kWait{10000};
// How long a test waits to be sure something did not happen.
inline constexpr Millis kQuiet{300};

struct LinkReport {
    int32_t link = 0;
    int32_t code = 0;
    int32_t value = 0;
    intptr_t extra = 0;
    std::array<uint8_t, 16> unit{};  // code 20: the unit's bytes, copied during the call
};

struct ErrorReport {
    int32_t code = 0;
    int32_t system = 0;
    int32_t checked = 0;
};

struct PlayReport {
    int32_t code = 0;
    int32_t value = 0;
};

// Reports of one kind in arrival order, from any thread.
template <typename T>
class Log {
  public:
    void add(const T& item) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            items_.push_back(item);
        }
        changed_.notify_all();
    }
    size_t mark() {
        std::lock_guard<std::mutex> guard(lock_);
        return items_.size();
    }
    // The first report at or after `from` that matches, waiting up to `limit`.
    std::optional<T> wait(size_t from, const std::function<bool(const T&)>& match,
                          Millis limit = kWait) {
        std::unique_lock<std::mutex> guard(lock_);
        std::optional<T> found;
        changed_.wait_for(guard, limit, [&] {
            for (size_t i = from; i < items_.size(); ++i) {
                if (match(items_[i])) {
                    found = items_[i];
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    // Waits until `count` reports at or after `from` match; how many did.
    size_t wait_count(size_t from, const std::function<bool(const T&)>& match, size_t count,
                      Millis limit = kWait) {
        std::unique_lock<std::mutex> guard(lock_);
        size_t seen = 0;
        changed_.wait_for(guard, limit, [&] {
            seen = 0;
            for (size_t i = from; i < items_.size(); ++i) seen += match(items_[i]) ? 1 : 0;
            return seen >= count;
        });
        return seen;
    }
    std::vector<T> since(size_t from) {
        std::lock_guard<std::mutex> guard(lock_);
        if (from >= items_.size()) return {};
        return {items_.begin() + static_cast<std::ptrdiff_t>(from), items_.end()};
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<T> items_;
};

Log<LinkReport>& link_reports();
Log<ErrorReport>& error_reports();
Log<PlayReport>& play_reports();

// Waits for (link, code) at or after `from`; with `value`, for that value too.
std::optional<LinkReport> wait_link(size_t from, int32_t link, int32_t code,
                                    std::optional<int32_t> value = std::nullopt,
                                    Millis limit = kWait);
// The reports of `link` since `from`, codes only.
std::vector<int32_t> link_codes_since(size_t from, int32_t link);

// Runs inside every link report, on the engine's thread that made it, after it was logged;
// an empty hook removes it.
void set_link_hook(std::function<void(const LinkReport&)> hook);

// A host's connector that waits until released, then fails (error 1234, 5678): a connect
// still under way when the host closes the source.
struct SlowConnector {
    static void hold();
    static void release();
    static intptr_t fail(const void* address6, const void* name32, int32_t purpose, void* callback,
                         int32_t* mode, int32_t* error, int32_t* error2, LiveParams params);
};

// Closes whatever source is open (zPlayMSG 0) and returns the close result it reported.
std::optional<int32_t> close_source();

// The engine started, nothing open.
class NetTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    fleet::test::TempDir dir_;
};

}  // namespace engine_net
