#include "net/remote_link.h"

#include <cerrno>
#include <cstring>

#include "net/link_address.h"

namespace kivra::net {
namespace {

namespace rec = fleet::recorder;

constexpr size_t kRecorderAddressSize = 31;
constexpr size_t kRemoteNameSize = 31;

uint8_t index_command(int32_t mode) {
    return mode == kModeRelayed ? rec::kCmdHello : rec::kCmdIndex;
}

uint8_t data_command(int32_t mode) {
    return mode == kModeRelayed ? rec::kCmdHello : rec::kCmdLive;
}

}  // namespace

RemoteLink::RemoteLink(LinkReports& reports) : reports_(reports) {
    bind_transport(TransportSlot::Remote, this);
}

RemoteLink::~RemoteLink() {
    reports_.close();
    close_link();
    files_.finish();
    timer_.stop();
    if (connect_thread_.joinable()) connect_thread_.join();
    bind_transport(TransportSlot::Remote, nullptr);
}

bool RemoteLink::open(const void* address6, const void* recorder_name32,
                      const char* recorder_address, int32_t use_connector, int32_t mode_byte,
                      KivraConnector connector) {
    const std::string address = text_of_field(recorder_address, kRecorderAddressSize);
    if (address.empty()) return false;
    // A refused open leaves the current link alone: nothing changes before these checks.
    if (busy_.exchange(true)) return false;
    if (!join_connect_thread()) {
        busy_ = false;
        return false;
    }
    close_link();  // a second open replaces the first link
    files_.finish();
    reports_.open();
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        plan_ = {};
        plan_.address = address;
        if (address6 != nullptr) std::memcpy(plan_.address6.data(), address6, 6);
        if (recorder_name32 != nullptr) {
            std::memcpy(plan_.name32.data(), recorder_name32, kRemoteNameSize);
        }
        plan_.connector = connector;
        plan_.proc = transport_proc(TransportSlot::Remote);
        mode_ = (mode_byte & 0x0F) == 0 ? kModeDirect
                                        : (use_connector != 0 ? kModeConnectorServer : kModeListen);
        fallback_mode_ = use_connector != 0 ? kModeConnectorServer : kModeListen;
        index_.clear();
        generation = ++generation_;
    }
    try {
        connect_thread_ = std::thread([this, generation] { connect_for_index(generation); });
    } catch (const std::system_error&) {
        busy_ = false;
        return false;
    }
    return true;
}

// The thread of an earlier open no longer waits for its connect, so this ends at once; a
// host asking again from a report of that thread is refused, as a thread cannot wait for
// itself.
bool RemoteLink::join_connect_thread() {
    if (!connect_thread_.joinable()) return true;
    if (connect_thread_.get_id() == std::this_thread::get_id()) return false;
    connect_thread_.join();
    return true;
}

void RemoteLink::connect_for_index(uint64_t generation) {
    ConnectPlan plan;
    int32_t mode = kModeDirect, fallback = kModeListen;
    {
        std::lock_guard<std::mutex> guard(lock_);
        plan = plan_;
        plan.purpose = KIVRA_LISTEN_INDEX;
        mode = mode_;
        fallback = fallback_mode_;
    }
    const ConnectResult result = connect_with_fallback(plan, mode, fallback);
    busy_ = false;  // what follows does not wait: a new open may replace this link now
    if (result.ok()) {
        adopt(generation, result, Pending::Index);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (generation != generation_) return;
    }
    report_connect_failure(reports_, KIVRA_LINK_REMOTE, result.error, result.error2);
}

bool RemoteLink::download(int32_t first_row, int32_t last_row, const char* dvr_path,
                          const char* inx_path) {
    if (first_row >= last_row || first_row < 1 || dvr_path == nullptr || inx_path == nullptr) {
        return false;
    }
    if (busy_.exchange(true)) return false;
    ConnectPlan plan;
    int32_t mode = kModeDirect;
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (ends_.is_open() || last_row > index_.rows()) {
            busy_ = false;
            return false;
        }
        // The recorder's own numbers of the chosen rows; the span counts along its ring.
        data_first_unit_ = index_.unit_number_of_row(first_row);
        data_unit_span_ = static_cast<uint32_t>(last_row - first_row);
        plan = plan_;
        plan.purpose = KIVRA_LISTEN_DOWNLOAD;
        mode = mode_;
        generation = ++generation_;
    }
    // The files first: a target that cannot be written costs the recorder no link.
    if (!files_.create(dvr_path, inx_path)) {
        busy_ = false;
        return false;
    }
    const ConnectResult result = connect_once(plan, mode);
    bool started = false;
    if (!result.ok()) {
        files_.discard();
        report_connect_failure(reports_, KIVRA_LINK_REMOTE, result.error, result.error2);
    } else {
        started = adopt(generation, result, Pending::Data);
        if (!started) files_.discard();
    }
    busy_ = false;
    return started;
}

int32_t RemoteLink::stop_download() {
    Detached detached;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (pending_ != Pending::Data) return -1;
        detached = detach_locked();
    }
    release(detached);
    return files_.finish() == DownloadFiles::Finish::NotOpen ? -1 : 0;
}

void RemoteLink::close() {
    reports_.close();
    close_link();
    files_.finish();
    files_.clear_paths();
    {
        std::lock_guard<std::mutex> guard(lock_);
        index_.clear();
    }
    timer_.stop();
}

// Takes a new link on and sends what it was made for, or waits for the recorder's hello.
bool RemoteLink::adopt(uint64_t generation, const ConnectResult& result, Pending pending) {
    bool stale = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stale = generation != generation_;
        if (!stale) {
            ends_ = result.ends;
            mode_ = result.ends.mode;
            gate_.reset();
            awaiting_hello_ = result.ends.server_side();
            pending_ = pending;
        }
    }
    if (stale) {
        close_ends(result.ends);
        return false;
    }
    if (result.listening_here) {
        const int32_t purpose =
            pending == Pending::Index ? KIVRA_LISTEN_INDEX : KIVRA_LISTEN_DOWNLOAD;
        report(KIVRA_LINK_LISTENING, kListenPort, purpose);
    }
    if (pending == Pending::Index) report(KIVRA_LINK_CONNECTED, 0);
    if (result.ends.server_side()) {
        timer_.arm(std::chrono::milliseconds(listen_timeout_ms()),
                   [this, generation] { listen_expired(generation); });
        return true;
    }
    if (send_pending(nullptr)) return true;
    close_link();
    if (pending == Pending::Index) report(KIVRA_LINK_REQUEST_REFUSED, 0);
    return false;
}

void RemoteLink::listen_expired(uint64_t generation) {
    Detached detached;
    bool download = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (generation != generation_ || !awaiting_hello_) return;
        download = pending_ == Pending::Data;
        detached = detach_locked();
    }
    release(detached);
    if (download) files_.discard();
    report_connect_failure(reports_, KIVRA_LINK_REMOTE, ETIMEDOUT, 0);
}

bool RemoteLink::send_pending(int32_t* error) {
    LinkEnds ends;
    std::vector<uint8_t> message;
    {
        std::lock_guard<std::mutex> guard(lock_);
        ends = ends_;
        if (pending_ == Pending::Index) {
            message = rec::encode_index_header_request(index_command(ends_.mode));
        } else if (pending_ == Pending::Data) {
            // The encoder puts last - first at [52]: given first + span, that is the span
            // along the ring even where the unit numbers wrap.
            message = rec::encode_data_request(data_command(ends_.mode), data_first_unit_,
                                               data_first_unit_ + data_unit_span_);
        } else {
            return false;
        }
    }
    return send_on(ends, message, error);
}

RemoteLink::Detached RemoteLink::detach_locked() {
    Detached detached{ends_, gate_.take_waiting()};
    ends_ = {};
    ends_.mode = mode_;
    gate_.reset();
    awaiting_hello_ = false;
    pending_ = Pending::None;
    ++generation_;
    timer_.disarm();
    return detached;
}

void RemoteLink::release(const Detached& detached) {
    close_ends(detached.ends);
    for (int32_t link : detached.waiting) close_accepted(link);
}

void RemoteLink::close_link() {
    Detached detached;
    {
        std::lock_guard<std::mutex> guard(lock_);
        detached = detach_locked();
    }
    release(detached);
}

void RemoteLink::fail_request(int32_t code, bool keep_files) {
    close_link();
    if (keep_files) {
        files_.finish();
    } else {
        files_.discard();
    }
    report(code, 0);
}

void RemoteLink::report(int32_t code, int32_t value, intptr_t extra) {
    reports_.link_event(KIVRA_LINK_REMOTE, code, value, extra);
}

}  // namespace kivra::net
