// A served recorder on the network: listens for engines (or dials one and says hello), keeps a
// session for every link and reaps the sessions that end.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/result.h"
#include "dvrsim/link_session.h"

namespace dvrsim {

class RecorderServer {
  public:
    // One per process: the transport's callback finds it through a process-wide pointer.
    explicit RecorderServer(const ServeContext& context);
    ~RecorderServer();
    RecorderServer(const RecorderServer&) = delete;
    RecorderServer& operator=(const RecorderServer&) = delete;

    // Listens on every address; the port listened on (port 0 picks a free one).
    fleet::Result<int> listen(int port);
    // Connects to an engine listening at host:port; the link greets it with hello.
    fleet::Status dial(const std::string& host, int port);
    // Returns when a stop is asked for or, after dial, when the dialled link has ended.
    void run();
    // Thread- and signal-thread-safe.
    void request_stop();
    // Closes the listener and every link and waits for the sessions.
    void shut_down();

    // The transport's callback.
    void on_transport(int32_t side, int32_t link, const void* data, int32_t length, int32_t event);

  private:
    // A live session for the link, made when there is none (the mutex is held).
    std::shared_ptr<LinkSession> session_for(int32_t side, int32_t link);
    void session_ended();
    // Takes the ended sessions out of the tables (the mutex is held).
    std::vector<std::shared_ptr<LinkSession>> take_ended();
    void reap(std::vector<std::shared_ptr<LinkSession>> ended);
    void write_stats_file();

    const ServeContext& context_;
    int32_t listener_ = -1;
    bool dialling_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int32_t, std::shared_ptr<LinkSession>> by_link_;  // the link's current session
    std::vector<std::shared_ptr<LinkSession>> sessions_;       // every one not yet reaped
    std::shared_ptr<LinkSession> dialled_;
    bool stop_requested_ = false;
    bool closing_ = false;  // shutting down: links arriving now are not served
    bool some_ended_ = false;
};

}  // namespace dvrsim
