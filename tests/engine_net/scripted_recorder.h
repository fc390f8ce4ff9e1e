// A recorder in the test process, on the same transport as the engine: it listens where the
// engine dials (2200, or another port), or dials the engine's listener (2201), keeps every
// message it receives and sends what the test tells it to.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "link/recorder_messages.h"
#include "net_host.h"

namespace engine_net {

struct Received {
    int32_t link = -1;
    fleet::LinkHeader header;
    std::vector<uint8_t> bytes;  // the whole message
    std::optional<fleet::recorder::Request> request;
};

class ScriptedRecorder {
  public:
    ScriptedRecorder();
    ~ScriptedRecorder();
    ScriptedRecorder(const ScriptedRecorder&) = delete;
    ScriptedRecorder& operator=(const ScriptedRecorder&) = delete;

    // Waits for the engine's links on `port` (once: later calls keep the first listener).
    bool listen(int32_t port = 2200);
    // Connects to the engine's listener; -1 when nobody listens.
    int32_t dial(int32_t port = 2201);
    // Whether the engine's listener goes away (the transport closes it a moment after the
    // engine let it go): dialling is refused within `limit`.
    bool wait_listener_gone(int32_t port = 2201, Millis limit = kWait);
    bool send(int32_t link, const std::vector<uint8_t>& message);
    bool say_hello(int32_t link) { return send(link, fleet::recorder::encode_hello()); }
    void close(int32_t link);

    // The next link the engine made to this recorder since `from` links were counted.
    std::optional<int32_t> wait_link(size_t from, Millis limit = kWait);
    size_t links_made();
    // Descriptors are reused at once, so one id may name several links in turn: a link id
    // counts as closed when every link that had it is closed.
    bool wait_closed(int32_t link, Millis limit = kWait);
    bool is_closed(int32_t link);
    // Waits until `count` links with this id were closed.
    bool wait_closes(int32_t link, size_t count, Millis limit = kWait);

    size_t received_count();
    // The first request of `kind` at or after message `from`.
    std::optional<Received> wait_request(size_t from, fleet::recorder::Request::Kind kind,
                                         Millis limit = kWait);
    std::vector<Received> received_since(size_t from);
    // Waits until at least `count` requests of `kind` arrived since message `from`; how many.
    size_t wait_requests(size_t from, fleet::recorder::Request::Kind kind, size_t count,
                         Millis limit = kWait);

    // Runs on the transport's thread for every message, after it was kept; may send.
    void on_message(std::function<void(const Received&)> handler);

    void deliver(int32_t side, int32_t link, const void* data, int32_t length, int32_t event);

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    int32_t listener_ = -1;
    std::vector<int32_t> accepted_;
    std::set<int32_t> dialed_;
    std::map<int32_t, size_t> opens_;
    std::map<int32_t, size_t> closes_;
    std::vector<Received> received_;
    std::function<void(const Received&)> handler_;
};

}  // namespace engine_net
