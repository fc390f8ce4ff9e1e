// The one engine of the process: the open source, the player, the command mailbox and the
// threads that report to the host.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "audio/audio_out.h"
#include "extract/extraction.h"
#include "kivra/kivra.h"
#include "net/link_reports.h"
#include "net/live_link.h"
#include "net/remote_link.h"
#include "playback/player.h"
#include "playback/sync.h"
#include "present/presenter.h"
#include "record/gop_recorder.h"
#include "source/device_search.h"
#include "source/file_source.h"
#include "source/live_feed.h"
#include "source/removal_monitor.h"
#include "source/ring_source.h"

namespace kivra {

struct Callbacks {
    PlayEventProc play = nullptr;
    FrameInfoProc frame = nullptr;
    DiskEventProc disk = nullptr;
    LinkEventProc link = nullptr;
    ExtractDataProc extract = nullptr;
    ErrorProc error = nullptr;
};

// The channel count a realtime feed asked for: 4 or 8, else unknown.
inline int feed_channel_count(const LiveFeed& feed) {
    const int n = feed.channel_count();
    return n == 4 || n == 8 ? n : KIVRA_UNKNOWN;
}

struct Command {
    int cmd = 0;
    intptr_t first = 0;
    int32_t second = 0;
    int32_t third = 0;
    std::optional<std::string> text;
    // The snapshot area, copied when the command is posted: the host's rectangle need not
    // outlive zPlayMSG.
    std::optional<std::array<int32_t, 4>> rect;
};

class Engine final : public PlayerEvents, private net::LinkReports {
  public:
    static Engine& instance();
    ~Engine() override;

    bool init(const KivraVideoTarget* target, const Callbacks& callbacks);
    void release();

    bool open(int type, const char* dvr_path, const char* inx_path);
    // The network sources: zOpenEx (opened type 3), zOpenRx (4), zDownload, zStopDownload.
    bool open_realtime(const LiveParams& params, int32_t connect_mode, int32_t fallback_to_nat,
                       const void* address6, const void* recorder_name32, KivraConnector connector);
    bool open_remote(const void* address6, const void* recorder_name32,
                     const char* recorder_address, int32_t use_connector, int32_t mode_byte,
                     KivraConnector connector);
    bool download(int32_t first_row, int32_t last_row, const char* dvr_path, const char* inx_path);
    int32_t stop_download() { return remote_.stop_download(); }
    // A network link was opened: realtime (KIVRA_SOURCE_REALTIME) plays `feed`, which stays
    // the caller's and must outlive the source's close; recorded video (KIVRA_SOURCE_REMOTE,
    // feed null) has nothing to play, its recordings are downloaded and opened as file pairs.
    // False when another source is open (a remote link may replace a remote one) or the
    // arguments do not fit the type.
    bool open_network(int type, LiveFeed* feed);
    // An extraction of the open stored source's range [start, end) on a copy of that source:
    // 0, or -1 when none is open or another extraction runs.
    int start_extract(int64_t start, int64_t end);
    void stop_extract() { extraction_.stop(); }
    void post(Command command);
    // The layout changed: the picture on screen is drawn again on an engine thread.
    void redraw() {
        if (player_) player_->request_redraw();
    }

    int opened_type() const { return opened_type_; }
    int status() const { return player_ ? player_->status() : KIVRA_STATUS_OPENED; }
    DisplaySettings& display() { return display_; }
    AudioOut& audio() { return audio_; }
    Presenter& presenter() { return presenter_; }
    GopRecorder& recorder() { return recorder_; }
    // The file pair source, open or not; tests change how it closes.
    FileSource& file_source() { return file_; }
    std::mutex& engine_lock() { return engine_lock_; }
    // The open stored source, or null (callers hold the engine lock).
    StoredSource* stored_source();
    // The realtime feed being played, or null (callers hold the engine lock).
    LiveFeed* live_feed() { return opened_type_ == KIVRA_SOURCE_REALTIME ? live_feed_ : nullptr; }
    int sample_rate() const { return sample_rate_; }
    int sample_bits() const { return sample_bits_; }

    // PlayerEvents: what playback reports, relayed to the host's callbacks.
    void play_event(int code, int value) override;
    void error(int code, int system_error, int checked) override;
    void frame_info(const FrameSet& set, int frame) override;
    void end_of_data() override { end_event_.set(); }

    // net::LinkReports: what the network links report, relayed to the host's callbacks.
    void link_event(int32_t link, int32_t code, int32_t value, intptr_t extra) override;
    void link_error(int32_t code, int32_t system_error, int32_t checked) override {
        error(code, system_error, checked);
    }

  private:
    Engine() = default;

    void command_loop();
    void end_notifier_loop();
    // The result to report; none for a command that answers nothing.
    std::optional<int> execute(const Command& command);
    // Network sources only play and stop; the other playback commands are refused.
    std::optional<int> refuse_for_network(const Command& command);
    int close_source();
    // Closes the realtime or remote link of the open source; the close result.
    int close_network_source();
    bool start_search(int type, const char* path);
    // The search found a medium of the kind `type`: it becomes the open source, or the host
    // hears why not.
    void medium_found(int type, SearchOutcome outcome);
    void watch_for_removal(int type, const SearchOutcome& outcome, int fd);
    void disk_event(int type, const char* device_path, int event);
    void stop_device_threads();
    int snapshot(const Command& command);
    void stop_threads();

    Callbacks callbacks_;
    // The procedures the network links' own threads call: they keep running across a
    // zRelease and zInit that replace them.
    std::atomic<LinkEventProc> link_proc_{nullptr};
    std::atomic<ErrorProc> error_proc_{nullptr};
    Presenter presenter_;
    AudioOut audio_;
    DisplaySettings display_;
    GopRecorder recorder_;
    std::unique_ptr<Player> player_;

    std::mutex engine_lock_;
    FileSource file_;
    std::unique_ptr<RingSource> ring_;  // the open disk or card
    std::string ring_device_;           // and the device or image it was found on
    LiveFeed* live_feed_ = nullptr;     // the realtime link's, while it is open
    Extraction extraction_;
    DeviceSearch search_;
    RemovalMonitor monitor_;
    std::atomic<int> opened_type_{KIVRA_SOURCE_NONE};
    // Declared after the callbacks they report to, so they are destroyed (and their links
    // closed) first.
    net::LiveLink live_{*this};
    net::RemoteLink remote_{*this};
    std::atomic<int> sample_rate_{22050};
    std::atomic<int> sample_bits_{16};

    std::mutex mailbox_lock_;
    std::condition_variable mailbox_changed_;
    std::optional<Command> mailbox_;
    bool stopping_ = false;
    std::thread command_thread_;
    // What an unknown command repeats; none before this run's first result, because any
    // number made up then (0 is end of data) would tell the host something that did not happen.
    std::optional<int> last_result_;
    int last_close_result_ = 0;

    ManualResetEvent end_event_;
    std::thread end_notifier_;
};

}  // namespace kivra
