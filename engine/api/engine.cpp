#include "api/engine.h"

#include <cstring>

#include "kivra/kivra.h"

namespace kivra {

Engine& Engine::instance() {
    static Engine engine;
    return engine;
}

Engine::~Engine() {
    release();
}

bool Engine::init(const KivraVideoTarget* target, const Callbacks& callbacks) {
    if (target == nullptr) return false;
    if (command_thread_.joinable()) release();
    if (!presenter_.create(target)) return false;
    if (!audio_.set_format({16, 1, 22050})) error(KIVRA_ERROR_AUDIO_FORMAT_WHILE_OPEN, 0, 0);
    Callbacks stored = callbacks;
    stored.error = callbacks_.error;  // errors during init go to the previous procedure
    callbacks_ = stored;
    link_proc_ = stored.link;
    display_.voice_on = true;
    player_ =
        std::make_unique<Player>(*this, presenter_, audio_, engine_lock_, display_, recorder_);
    {
        std::lock_guard<std::mutex> guard(engine_lock_);
        // A realtime source stays open across a release, as a stored one does.
        if (opened_type_ == KIVRA_SOURCE_REALTIME && live_feed_ != nullptr) {
            player_->attach_live(live_feed_);
        } else {
            player_->attach(stored_source());
        }
    }
    try {
        {
            std::lock_guard<std::mutex> mailbox(mailbox_lock_);
            mailbox_.reset();  // a command posted while stopped is not run later
            stopping_ = false;
        }
        last_result_.reset();
        command_thread_ = std::thread([this] { command_loop(); });
        end_event_.restart();
        end_notifier_ = std::thread([this] { end_notifier_loop(); });
    } catch (const std::system_error&) {
        release();
        return false;
    }
    callbacks_.error = callbacks.error;
    error_proc_ = callbacks.error;
    return true;
}

void Engine::stop_threads() {
    if (command_thread_.joinable()) {
        {
            std::lock_guard<std::mutex> guard(mailbox_lock_);
            stopping_ = true;
        }
        mailbox_changed_.notify_all();
        command_thread_.join();
    }
    if (end_notifier_.joinable()) {
        end_event_.stop();
        end_notifier_.join();
        end_event_.restart();
    }
}

// The search and the removal monitor are engine threads too: a search stopped here does not
// resume, the host closes and searches again.
void Engine::stop_device_threads() {
    search_.stop();
    monitor_.stop();
}

void Engine::release() {
    extraction_.finish();
    stop_device_threads();
    stop_threads();
    player_.reset();  // stops reader, timers and output; the source stays open
    presenter_.release();
}

bool Engine::open(int type, const char* dvr_path, const char* inx_path) {
    std::lock_guard<std::mutex> guard(engine_lock_);
    if (opened_type_ != KIVRA_SOURCE_NONE || !player_) return false;
    if (type == KIVRA_SOURCE_DISK || type == KIVRA_SOURCE_CARD) {
        return start_search(type, dvr_path);
    }
    if (type != KIVRA_SOURCE_FILE || dvr_path == nullptr || inx_path == nullptr) return false;
    if (!file_.open(dvr_path, inx_path)) return false;
    const ProbeResult& probe = file_.probe();
    display_.screen_count = probe.channel_count;
    display_.full_screen = 0;
    display_.division = 0;
    sample_rate_ = probe.sample_rate;
    sample_bits_ = probe.sample_bits;
    player_->attach(&file_);
    player_->set_status(KIVRA_STATUS_OPENED);
    opened_type_ = KIVRA_SOURCE_FILE;
    return true;
}

// The link's earlier connect thread may still be reporting to the host, which may ask the
// engine something under its lock: the link opens outside it.
bool Engine::open_realtime(const LiveParams& params, int32_t connect_mode, int32_t fallback_to_nat,
                           const void* address6, const void* recorder_name32,
                           KivraConnector connector) {
    {
        std::lock_guard<std::mutex> guard(engine_lock_);
        if (opened_type_ != KIVRA_SOURCE_NONE || !player_) return false;
    }
    if (!live_.open(params, connect_mode, fallback_to_nat, address6, recorder_name32, connector)) {
        return false;
    }
    if (open_network(KIVRA_SOURCE_REALTIME, &live_)) return true;
    live_.close();  // another source opened meanwhile
    return false;
}

// A remote link already open is replaced: the link closes outside the engine lock, because a
// host's report running on the transport's thread may be asking the engine something.
bool Engine::open_remote(const void* address6, const void* recorder_name32,
                         const char* recorder_address, int32_t use_connector, int32_t mode_byte,
                         KivraConnector connector) {
    {
        std::lock_guard<std::mutex> guard(engine_lock_);
        const int type = opened_type_;
        if ((type != KIVRA_SOURCE_NONE && type != KIVRA_SOURCE_REMOTE) || !player_) return false;
    }
    if (!remote_.open(address6, recorder_name32, recorder_address, use_connector, mode_byte,
                      connector)) {
        return false;
    }
    if (open_network(KIVRA_SOURCE_REMOTE, nullptr)) return true;
    remote_.close();  // another source opened meanwhile
    return false;
}

bool Engine::download(int32_t first_row, int32_t last_row, const char* dvr_path,
                      const char* inx_path) {
    if (opened_type_ != KIVRA_SOURCE_REMOTE) return false;
    return remote_.download(first_row, last_row, dvr_path, inx_path);
}

bool Engine::open_network(int type, LiveFeed* feed) {
    std::lock_guard<std::mutex> guard(engine_lock_);
    if (!player_) return false;
    const bool realtime = type == KIVRA_SOURCE_REALTIME;
    if (realtime && (feed == nullptr || opened_type_ != KIVRA_SOURCE_NONE)) return false;
    if (!realtime && (type != KIVRA_SOURCE_REMOTE || feed != nullptr ||
                      (opened_type_ != KIVRA_SOURCE_NONE && opened_type_ != KIVRA_SOURCE_REMOTE))) {
        return false;
    }
    live_feed_ = feed;
    display_.screen_count = realtime ? feed_channel_count(*feed) : KIVRA_UNKNOWN;
    display_.full_screen = 0;
    display_.division = 0;
    if (realtime) {
        player_->attach_live(feed);
    } else {
        player_->attach(nullptr);
    }
    player_->set_status(KIVRA_STATUS_OPENED);
    opened_type_ = type;
    return true;
}

int Engine::start_extract(int64_t start, int64_t end) {
    SourceCopier copier;
    ExtractDataProc proc = nullptr;
    {
        std::lock_guard<std::mutex> guard(engine_lock_);
        StoredSource* open = stored_source();
        if (open == &file_) {
            copier = copier_of(file_);
        } else if (open != nullptr) {
            const MediumKind kind =
                opened_type_ == KIVRA_SOURCE_DISK ? MediumKind::Disk : MediumKind::Card;
            copier = copier_of(*ring_, kind, ring_device_);
        }
        proc = callbacks_.extract;
    }
    // Outside the engine lock: starting may wait for the previous extraction's last report,
    // and a host may ask the engine about its source from there.
    if (!copier) return -1;
    return extraction_.start(std::move(copier), {start, end}, proc);
}

StoredSource* Engine::stored_source() {
    switch (opened_type_) {
        case KIVRA_SOURCE_FILE:
            return file_.is_open() ? &file_ : nullptr;
        case KIVRA_SOURCE_DISK:
        case KIVRA_SOURCE_CARD:
            return ring_ && ring_->is_open() ? ring_.get() : nullptr;
        default:
            return nullptr;
    }
}

// Called under the engine lock. A path names the device or image to open instead of a search.
bool Engine::start_search(int type, const char* path) {
    const MediumKind kind = type == KIVRA_SOURCE_DISK ? MediumKind::Disk : MediumKind::Card;
    auto report = [this, type](SearchOutcome outcome) { medium_found(type, std::move(outcome)); };
    if (!search_.start(kind, path != nullptr ? path : "", std::move(report))) return false;
    opened_type_ = type;
    display_.screen_count = -1;
    player_->set_status(KIVRA_STATUS_OPENED);
    return true;
}

void Engine::medium_found(int type, SearchOutcome outcome) {
    if (!outcome.source) {
        disk_event(type, outcome.device_path.c_str(), KIVRA_DISK_OPEN_FAILED);
        return;
    }
    int fd = -1;
    {
        std::lock_guard<std::mutex> guard(engine_lock_);
        ring_ = std::move(outcome.source);
        ring_device_ = outcome.device_path;
        fd = ring_->device_fd();
        const ProbeResult& probe = ring_->probe();
        display_.screen_count = probe.channel_count;
        display_.full_screen = 0;
        display_.division = 0;
        sample_rate_ = probe.sample_rate;
        sample_bits_ = probe.sample_bits;
        if (player_) {
            player_->attach(ring_.get());
            player_->set_status(KIVRA_STATUS_OPENED);
        }
    }
    watch_for_removal(type, outcome, fd);
    disk_event(type, outcome.device_path.c_str(), KIVRA_DISK_OPENED);
}

// The descriptor stays open until close, which stops the monitor first.
void Engine::watch_for_removal(int type, const SearchOutcome& outcome, int fd) {
    auto identity = fleet::identify_device(fd, outcome.device_path, outcome.sysfs_dir);
    if (!identity) return;  // an unknown device cannot be told apart from a new one
    monitor_.start(*identity, fd, [this, type](const std::string&) {
        disk_event(type, nullptr, KIVRA_DISK_REMOVED);
    });
}

void Engine::disk_event(int type, const char* device_path, int event) {
    if (callbacks_.disk != nullptr) callbacks_.disk(type, device_path, event);
}

void Engine::post(Command command) {
    {
        std::lock_guard<std::mutex> guard(mailbox_lock_);
        mailbox_ = std::move(command);
    }
    mailbox_changed_.notify_all();
}

void Engine::command_loop() {
    for (;;) {
        Command command;
        {
            std::unique_lock<std::mutex> guard(mailbox_lock_);
            mailbox_changed_.wait(guard, [this] { return stopping_ || mailbox_.has_value(); });
            if (stopping_) return;
            command = std::move(*mailbox_);
            mailbox_.reset();
        }
        std::optional<int> result = execute(command);
        if (!result) continue;
        last_result_ = result;
        play_event(*result, last_close_result_);
    }
}

void Engine::end_notifier_loop() {
    while (end_event_.wait()) {
        end_event_.reset();
        play_event(KIVRA_EVENT_END_OF_DATA, 0);
    }
}

std::optional<int> Engine::execute(const Command& c) {
    bool has_source = false;
    {
        std::lock_guard<std::mutex> guard(engine_lock_);
        has_source = stored_source() != nullptr || live_feed() != nullptr;
    }
    if (opened_type_ == KIVRA_SOURCE_REALTIME || opened_type_ == KIVRA_SOURCE_REMOTE) {
        if (std::optional<int> refused = refuse_for_network(c)) return refused;
    }
    switch (c.cmd) {
        case KIVRA_CMD_CLOSE:
            return close_source();
        case KIVRA_CMD_PLAY:
            if (!has_source) {
                error(KIVRA_ERROR_PLAY_OUTPUT_START, 0, 0);
                return KIVRA_RESULT_PLAY_FAILED;
            }
            return player_->play();
        case KIVRA_CMD_PAUSE:
            return player_->pause();
        case KIVRA_CMD_STEP_FORWARD:
            return player_->step(true);
        case KIVRA_CMD_STEP_BACKWARD:
            return player_->step(false);
        case KIVRA_CMD_FAST_FORWARD:
            return player_->fast(true, static_cast<int>(c.first));
        case KIVRA_CMD_FAST_BACKWARD:
            return player_->fast(false, static_cast<int>(c.first));
        case KIVRA_CMD_SEEK: {
            uint64_t offset =
                static_cast<uint32_t>(c.second) | uint64_t{static_cast<uint32_t>(c.third)} << 32;
            return player_->seek(static_cast<int64_t>(offset));
        }
        case KIVRA_CMD_STOP:
            return player_->stop();
        case KIVRA_CMD_SNAPSHOT:
            return snapshot(c);
        case KIVRA_CMD_JUMP:
            player_->set_jump(static_cast<int>(c.first));
            return KIVRA_RESULT_JUMP_OK;
        case KIVRA_CMD_POLL:
            player_->poll();
            return std::nullopt;
        default:
            return last_result_;
    }
}

std::optional<int> Engine::refuse_for_network(const Command& c) {
    struct Refusal {
        int cmd, error, result;
    };
    static constexpr Refusal kRefusals[] = {
        {KIVRA_CMD_PAUSE, KIVRA_ERROR_PAUSE_NETWORK, KIVRA_RESULT_PAUSE_FAILED},
        {KIVRA_CMD_STEP_FORWARD, KIVRA_ERROR_STEP_FORWARD_NETWORK,
         KIVRA_RESULT_STEP_FORWARD_FAILED},
        {KIVRA_CMD_STEP_BACKWARD, KIVRA_ERROR_STEP_BACKWARD_NETWORK,
         KIVRA_RESULT_STEP_BACKWARD_FAILED},
        {KIVRA_CMD_FAST_FORWARD, KIVRA_ERROR_FAST_FORWARD_NETWORK,
         KIVRA_RESULT_FAST_FORWARD_FAILED},
        {KIVRA_CMD_FAST_BACKWARD, KIVRA_ERROR_FAST_BACKWARD_NETWORK,
         KIVRA_RESULT_FAST_BACKWARD_FAILED},
        {KIVRA_CMD_SEEK, KIVRA_ERROR_SEEK_NETWORK, KIVRA_RESULT_SEEK_FAILED},
    };
    for (const Refusal& r : kRefusals) {
        if (c.cmd != r.cmd) continue;
        error(r.error, 0, 0);
        return r.result;
    }
    if (opened_type_ != KIVRA_SOURCE_REMOTE) return std::nullopt;
    // Recorded network video is downloaded and then played as a file pair: the remote source
    // itself never plays, so there is nothing to stop either.
    if (c.cmd == KIVRA_CMD_PLAY) return KIVRA_RESULT_PLAY_FAILED;
    if (c.cmd == KIVRA_CMD_STOP) {
        error(KIVRA_ERROR_STOP_FAILED, 0, 0);
        return KIVRA_RESULT_STOP_FAILED;
    }
    return std::nullopt;
}

int Engine::close_source() {
    int status = player_->status();
    if (opened_type_ == KIVRA_SOURCE_NONE ||
        (status != KIVRA_STATUS_OPENED && status != KIVRA_STATUS_STOPPED)) {
        error(KIVRA_ERROR_CLOSE_REFUSED, 0, 0);
        return KIVRA_RESULT_CLOSE_FAILED;
    }
    if (opened_type_ == KIVRA_SOURCE_REALTIME || opened_type_ == KIVRA_SOURCE_REMOTE) {
        return close_network_source();
    }
    player_->halt();
    stop_device_threads();
    // Waited for outside the engine lock, which a host's report may need; one started since
    // is only told to stop: it reads a copy of its own and cannot outlive the engine.
    extraction_.finish();
    std::vector<int> failures;
    {
        std::lock_guard<std::mutex> guard(engine_lock_);
        extraction_.stop();
        player_->attach(nullptr);
        if (opened_type_ == KIVRA_SOURCE_FILE) failures = file_.close();
        ring_.reset();
        ring_device_.clear();
        opened_type_ = KIVRA_SOURCE_NONE;
        display_.screen_count = -1;
    }
    // Reported outside the engine lock: a host's ErrorProc may ask the engine about its state.
    for (int code : failures) error(code, 0, 0);
    last_close_result_ = failures.empty() ? KIVRA_CLOSE_RESULT_LOCAL : KIVRA_CLOSE_RESULT_FAILED;
    if (!failures.empty()) {
        error(KIVRA_ERROR_CLOSE_FAILED, 0, 0);
        return KIVRA_RESULT_CLOSE_FAILED;
    }
    return KIVRA_RESULT_CLOSE_OK;
}

// Outside the engine lock: closing waits for the transport's callbacks, which report to the
// host.
int Engine::close_network_source() {
    player_->halt();
    const bool realtime = opened_type_ == KIVRA_SOURCE_REALTIME;
    if (realtime) {
        live_.close();
    } else {
        remote_.close();
    }
    {
        std::lock_guard<std::mutex> guard(engine_lock_);
        player_->attach(nullptr);
        live_feed_ = nullptr;
        opened_type_ = KIVRA_SOURCE_NONE;
        display_.screen_count = -1;
    }
    last_close_result_ = realtime ? KIVRA_CLOSE_RESULT_REALTIME : KIVRA_CLOSE_RESULT_REMOTE;
    return KIVRA_RESULT_CLOSE_OK;
}

int Engine::snapshot(const Command& c) {
    if (opened_type_ == KIVRA_SOURCE_NONE) {
        error(KIVRA_ERROR_SNAPSHOT_NOTHING_OPEN, 0, 0);
        return KIVRA_RESULT_SNAPSHOT_FAILED;
    }
    if (display_.screen_count < 0) {
        error(KIVRA_ERROR_SNAPSHOT_NO_SCREENS, 0, 0);
        return KIVRA_RESULT_SNAPSHOT_FAILED;
    }
    if (!c.rect || !c.text) return KIVRA_RESULT_SNAPSHOT_FAILED;
    const auto& rect = *c.rect;
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    if (!presenter_.capture(rect[0], rect[1], rect[2], rect[3], rgb, width, height) ||
        !write_snapshot_jpeg(*c.text, std::move(rgb), width, height,
                             static_cast<uint32_t>(c.second))) {
        return KIVRA_RESULT_SNAPSHOT_FAILED;
    }
    return KIVRA_RESULT_SNAPSHOT_OK;
}

void Engine::play_event(int code, int value) {
    if (callbacks_.play != nullptr) callbacks_.play(code, value);
}

void Engine::link_event(int32_t link, int32_t code, int32_t value, intptr_t extra) {
    const LinkEventProc proc = link_proc_;
    if (proc != nullptr) proc(link, code, value, extra);
}

void Engine::error(int code, int system_error, int checked) {
    const ErrorProc proc = error_proc_;
    if (proc != nullptr) proc(code, system_error, checked);
}

void Engine::frame_info(const FrameSet& s, int k) {
    if (callbacks_.frame == nullptr) return;
    bool tyres = k < s.tyre_group_count;
    callbacks_.frame(s.gop_time, s.vehicle_id[0] != '\0' ? s.vehicle_id : nullptr,
                     k < s.position_count ? s.position[k] : nullptr,
                     k < s.gsensor_count ? &s.gsensor[k].x : nullptr,
                     k < s.speed_count ? s.speed[k] : KIVRA_NO_SPEED,
                     k < s.temperature_count ? s.temperature[k] : KIVRA_NO_TEMPERATURE,
                     k < s.flag_count ? s.flags[k] : nullptr,
                     tyres ? s.tyres_per_group : KIVRA_NO_TYRES, tyres ? s.tyres[k] : nullptr,
                     s.tyre_summary[0], s.tyre_summary[1], s.tyre_summary[2], s.tyre_summary[3],
                     s.tyre_summary[4], s.tyre_summary[5]);
}

}  // namespace kivra
