// One engine link of a served recorder: its requests answered in order on a thread of its own,
// and the download or live picture it asked for sent between them. The transport's thread only
// hands messages over, so it never waits for a slow link and keeps draining every other one.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "dvrsim/gop_feed.h"
#include "dvrsim/serve_options.h"
#include "dvrsim/serve_stats.h"
#include "dvrsim/served_recording.h"
#include "link/recorder_messages.h"

namespace dvrsim {

// What every link of one served recorder shares.
struct ServeContext {
    const ServedRecording& recording;
    const ServeOptions& options;
    ServeCounters& counters;
};

class LinkSession {
  public:
    // side: the transport's side of the link (0 accepted, 1 dialled); greet: say hello first.
    // on_end runs on the session's thread when it has stopped.
    LinkSession(const ServeContext& context, int32_t side, int32_t link, bool greet,
                std::function<void()> on_end);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    int32_t link() const { return link_; }
    // Whether the link still belongs to this session (neither side closed it).
    bool open() const;
    // Whether the session's thread has stopped.
    bool ended() const { return ended_; }

    // From the transport's thread: one whole message received on the link.
    void receive(std::span<const uint8_t> bytes);
    // From the transport's thread: the link is gone. Once this returns nothing is sent on it.
    void closed_by_peer();
    // Stops the session, waits for its thread and closes the link if it is still open.
    void shut_down();

  private:
    using Clock = std::chrono::steady_clock;
    enum class Next { Stop, Request, Stream };

    void run();
    Next wait_next(fleet::recorder::Request& request);
    void handle(const fleet::recorder::Request& request);
    void answer_index_units(const fleet::recorder::Request& request);
    void start_download(const fleet::recorder::Request& request);
    void start_live(const fleet::recorder::Request& request);
    void step_download();
    void step_live();
    // After every GOP: counts it and cuts the link when asked to.
    void sent_gop();
    // Queues a message on the link, waiting while the link's queue is full. False when the link
    // is gone or the session stops.
    bool send(const std::vector<uint8_t>& message);
    bool send_reply(uint16_t sub, uint32_t status);
    void close_link();
    void stop();

    const ServeContext& context_;
    const int32_t side_;
    const int32_t link_;
    const bool greet_;
    std::function<void()> on_end_;

    mutable std::mutex send_mutex_;  // the link's state against a send in flight
    bool link_open_ = true;

    std::mutex mutex_;  // requests and the stop flag
    std::condition_variable wake_;
    std::deque<fleet::recorder::Request> requests_;
    bool stopping_ = false;
    std::atomic<bool> ended_{false};

    // The worker's own: what is being sent.
    std::optional<DownloadFeed> download_;
    std::optional<LiveFeed> live_;
    std::optional<FedGop> live_next_;
    Clock::time_point live_due_;
    int64_t gops_sent_ = 0;
    bool told_full_ = false;

    std::thread worker_;  // last: starts once everything above is ready
};

}  // namespace dvrsim
