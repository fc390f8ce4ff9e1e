// The remote link (zOpenRx): fetches a recorder's time index, then downloads a range of it
// into a file pair (zDownload). Each request goes on a link of its own; the recorder closes
// nothing, the engine closes the link once an answer is complete.
//
// Threads as for the realtime link: a connect thread for the index, the caller's thread for a
// download's connect, Fennick's io thread for what arrives. The record lock is never held
// while the transport closes a link or the host is called.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "kivra/kivra.h"
#include "link/recorder_messages.h"
#include "net/download_files.h"
#include "net/gated_reports.h"
#include "net/hello_gate.h"
#include "net/link_connect.h"
#include "net/link_reports.h"
#include "net/listen_timer.h"
#include "net/remote_index.h"
#include "net/transport_slots.h"

namespace kivra::net {

class RemoteLink final : private TransportSink {
  public:
    explicit RemoteLink(LinkReports& reports);
    ~RemoteLink() override;
    RemoteLink(const RemoteLink&) = delete;
    RemoteLink& operator=(const RemoteLink&) = delete;

    // zOpenRx: closes a link still open, then fetches the index on a connect thread. False
    // for an empty address or while a connect still runs.
    bool open(const void* address6, const void* recorder_name32, const char* recorder_address,
              int32_t use_connector, int32_t mode_byte, KivraConnector connector);
    // zDownload of rows first_row..last_row of the received index (1-based).
    bool download(int32_t first_row, int32_t last_row, const char* dvr_path, const char* inx_path);
    // zStopDownload: 0 when a running download was ended here, -1 when none ran.
    int32_t stop_download();
    // Closing the source: the link and the files close, the paths and the index are
    // forgotten.
    void close();

  private:
    enum class Pending { None, Index, Data };

    struct Detached {
        LinkEnds ends;
        std::vector<int32_t> waiting;
    };

    bool join_connect_thread();
    void connect_for_index(uint64_t generation);
    bool adopt(uint64_t generation, const ConnectResult& result, Pending pending);
    void listen_expired(uint64_t generation);
    bool send_pending(int32_t* error);
    Detached detach_locked();
    static void release(const Detached& detached);
    void close_link();
    // A refused or failed request: the link and the download's files close.
    void fail_request(int32_t code, bool keep_files);

    void on_accepted(int32_t link) override;
    void on_closed(int32_t link, int32_t reason) override;
    void on_message(int32_t side, int32_t link, std::span<const uint8_t> bytes) override;
    void on_hello(int32_t link);
    void on_reply(const fleet::recorder::Reply& reply);
    void on_index_header(const fleet::recorder::Message& message);
    void on_index_units(const fleet::recorder::Message& message);
    void on_video(const fleet::recorder::Message& message);
    void report(int32_t code, int32_t value, intptr_t extra = 0);

    GatedReports reports_;
    std::mutex lock_;
    ConnectPlan plan_;
    int32_t mode_ = kModeDirect;  // the mode the last link was made in
    int32_t fallback_mode_ = kModeListen;
    LinkEnds ends_;
    HelloGate gate_;
    bool awaiting_hello_ = false;
    Pending pending_ = Pending::None;
    uint32_t data_first_unit_ = 0;
    uint32_t data_unit_span_ = 0;
    uint64_t generation_ = 0;
    RemoteIndex index_;
    DownloadFiles files_;
    std::atomic<bool> busy_{false};
    std::thread connect_thread_;
    ListenTimer timer_;
};

}  // namespace kivra::net
