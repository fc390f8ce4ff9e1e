#include "dvrsim/recorder_server.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fennick/fennick.h"

namespace dvrsim {

namespace {

std::atomic<RecorderServer*> the_server{nullptr};

int32_t transport_proc(int32_t side, int32_t link, const void* data, int32_t length,
                       int32_t event) {
    if (RecorderServer* server = the_server.load()) {
        server->on_transport(side, link, data, length, event);
    }
    return 0;
}

int bound_port(int32_t handle) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size) != 0) return -1;
    return ntohs(address.sin_port);
}

}  // namespace

RecorderServer::RecorderServer(const ServeContext& context) : context_(context) {
    the_server = this;
}

RecorderServer::~RecorderServer() {
    shut_down();
    the_server = nullptr;
}

fleet::Result<int> RecorderServer::listen(int port) {
    errno = 0;
    listener_ = zInitTcp_S(port, transport_proc);
    if (listener_ < 0) {
        const std::string why = errno != 0 ? std::string(": ") + std::strerror(errno) : "";
        return fleet::fail("cannot listen on port " + std::to_string(port) + why);
    }
    const int bound = bound_port(listener_);
    if (bound < 0) return fleet::fail("cannot tell the port listened on");
    return bound;
}

fleet::Status RecorderServer::dial(const std::string& host, int port) {
    int32_t error = 0;
    const int32_t link = zInitTcp_C(host.c_str(), port, transport_proc, &error);
    if (link < 0) {
        return fleet::fail("cannot connect to " + host + ":" + std::to_string(port) + ": " +
                           std::strerror(error));
    }
    std::lock_guard lock(mutex_);
    dialling_ = true;
    dialled_ = session_for(1, link);
    return {};
}

void RecorderServer::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_requested_ || some_ended_; });
        some_ended_ = false;
        auto ended = take_ended();
        const bool dial_over = dialling_ && (!dialled_ || dialled_->ended());
        lock.unlock();
        reap(std::move(ended));
        lock.lock();
        if (stop_requested_ || dial_over) return;
    }
}

void RecorderServer::request_stop() {
    std::lock_guard lock(mutex_);
    stop_requested_ = true;
    changed_.notify_all();
}

void RecorderServer::shut_down() {
    if (listener_ >= 0) {
        zUninitTcp_S(listener_);  // its accepted links stay open until their sessions close them
        listener_ = -1;
    }
    std::vector<std::shared_ptr<LinkSession>> sessions;
    {
        std::lock_guard lock(mutex_);
        if (closing_) return;
        closing_ = true;
        sessions.swap(sessions_);
        by_link_.clear();
        dialled_.reset();
    }
    for (const auto& s : sessions) s->shut_down();
    write_stats_file();
}

void RecorderServer::on_transport(int32_t side, int32_t link, const void* data, int32_t length,
                                  int32_t event) {
    std::shared_ptr<LinkSession> session;
    {
        std::lock_guard lock(mutex_);
        if (closing_) return;
        if (event == FENNICK_CLOSED || event == FENNICK_DROPPED) {
            auto found = by_link_.find(link);
            if (found == by_link_.end()) return;
            session = found->second;
            by_link_.erase(found);
        } else if (event == FENNICK_ACCEPTED || event == FENNICK_MESSAGE) {
            session = session_for(side, link);
        } else {
            return;  // a refused send: the session waits and retries by itself
        }
    }
    if (event == FENNICK_CLOSED || event == FENNICK_DROPPED) {
        session->closed_by_peer();
    } else if (event == FENNICK_MESSAGE && data != nullptr && length > 0) {
        session->receive({static_cast<const uint8_t*>(data), static_cast<size_t>(length)});
    }
}

std::shared_ptr<LinkSession> RecorderServer::session_for(int32_t side, int32_t link) {
    auto& current = by_link_[link];
    if (current && current->open()) return current;
    // A new link, or a new one under the number of a link this side closed: its old session
    // stays listed until it is reaped.
    const bool dialled = side == 1;  // the only client link is the one dialled: greet it
    current =
        std::make_shared<LinkSession>(context_, side, link, dialled, [this] { session_ended(); });
    sessions_.push_back(current);
    return current;
}

void RecorderServer::session_ended() {
    std::lock_guard lock(mutex_);
    some_ended_ = true;
    changed_.notify_all();
}

std::vector<std::shared_ptr<LinkSession>> RecorderServer::take_ended() {
    std::vector<std::shared_ptr<LinkSession>> ended;
    std::erase_if(sessions_, [&](const std::shared_ptr<LinkSession>& s) {
        if (!s->ended()) return false;
        ended.push_back(s);
        return true;
    });
    for (const auto& s : ended) {
        auto found = by_link_.find(s->link());
        if (found != by_link_.end() && found->second == s) by_link_.erase(found);
    }
    return ended;
}

void RecorderServer::reap(std::vector<std::shared_ptr<LinkSession>> ended) {
    if (ended.empty()) return;
    for (const auto& s : ended) s->shut_down();
    ended.clear();
    write_stats_file();
}

void RecorderServer::write_stats_file() {
    if (context_.options.stats_path.empty()) return;
    if (auto written = write_stats(context_.options.stats_path, context_.counters); !written) {
        std::fprintf(stderr, "dvrsim: %s\n", written.error().message.c_str());
    }
}

}  // namespace dvrsim
