// The realtime link (zOpenEx): connects to a recorder as the host asked, requests its live
// stream and queues the GOPs for the reader, which takes them through LiveFeed.
//
// Threads: open() starts a connect thread; the transport's io thread delivers messages and
// closes (never blocked here); the reader takes GOPs; the command thread stops, restarts and
// closes. The record lock guards the link state and is never held while the transport closes
// a link, nor while the host is called.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "kivra/kivra.h"
#include "link/recorder_messages.h"
#include "net/gated_reports.h"
#include "net/hello_gate.h"
#include "net/link_connect.h"
#include "net/link_reports.h"
#include "net/listen_timer.h"
#include "net/live_params.h"
#include "net/live_queue.h"
#include "net/transport_slots.h"
#include "source/live_feed.h"

namespace kivra::net {

class LiveLink final : public LiveFeed, private TransportSink {
  public:
    explicit LiveLink(LinkReports& reports);
    ~LiveLink() override;
    LiveLink(const LiveLink&) = delete;
    LiveLink& operator=(const LiveLink&) = delete;

    // zOpenEx. False when the parameters are not valid or a connect still runs; the outcome
    // of the connect comes through LinkEventProc.
    bool open(const LiveParams& params, int32_t connect_mode, int32_t fallback_to_nat,
              const void* address6, const void* recorder_name32, KivraConnector connector);
    // Closing the source: stops the stream and forgets the parameters.
    void close();

    int take(uint8_t* buffer, size_t capacity, size_t& length) override;
    bool restart_stream() override;
    void stop_stream() override;
    int channel_count() const override { return channel_count_; }

  private:
    // What a closed link leaves to be released outside the record lock.
    struct Detached {
        LinkEnds ends;
        std::vector<int32_t> waiting;
    };

    bool join_connect_thread();
    bool connect_now(uint64_t generation);
    bool adopt(uint64_t generation, const ConnectResult& result);
    void listen_expired(uint64_t generation);
    Detached detach_locked();
    static void release(const Detached& detached);
    void close_link();

    void on_accepted(int32_t link) override;
    void on_closed(int32_t link, int32_t reason) override;
    void on_message(int32_t side, int32_t link, std::span<const uint8_t> bytes) override;
    void on_hello(int32_t link);
    void on_reply(const fleet::recorder::Reply& reply);
    void on_video(const fleet::recorder::Message& message);
    bool send_start(uint8_t command, int32_t* error);
    void send_control(uint16_t sub);
    void report(int32_t code, int32_t value);

    GatedReports reports_;
    std::mutex lock_;
    std::condition_variable stop_answered_;
    std::optional<LiveSettings> settings_;
    ConnectPlan plan_;
    int32_t opened_mode_ = kModeDirect;
    int32_t fallback_mode_ = kModeListen;
    LinkEnds ends_;
    HelloGate gate_;
    bool awaiting_hello_ = false;
    bool stop_waiting_ = false;
    bool stop_acked_ = false;
    // Every close moves it on, so a connect or a timer of an older link does nothing.
    uint64_t generation_ = 0;
    std::atomic<bool> running_{false};
    std::atomic<bool> busy_{false};  // a connect is in progress
    std::atomic<int> channel_count_{-1};
    std::thread connect_thread_;
    ListenTimer timer_;
    LiveQueue queue_;
};

}  // namespace kivra::net
