// Source state, opening and closing; the engine reports and the controls live in
// player_session_events.cpp and player_session_controls.cpp.
#include "model/player_session.h"

#include <filesystem>
#include <system_error>

#include "model/connect_mode.h"
#include "session_texts.h"

namespace velmora {

namespace {

namespace fs = std::filesystem;
using namespace session_text;

constexpr size_t kMaxExtensionLength = 31;

bool file_exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::path(path), ec);
}

}  // namespace

PlayerSession::PlayerSession(const EngineApi& engine, SessionView& view, const LanguageTable& texts,
                             const DeviceAccess& devices)
    : engine_(engine),
      view_(view),
      texts_(texts),
      devices_(devices),
      connector_(&unbound_connector) {}

PlayerState PlayerSession::state() const {
    return state_;
}
PendingAction PlayerSession::pending_action() const {
    return pending_;
}
std::string PlayerSession::status_text() const {
    return status_;
}
int PlayerSession::fast_forward_level() const {
    return fast_forward_level_;
}
int PlayerSession::fast_backward_level() const {
    return fast_backward_level_;
}
int PlayerSession::division() const {
    return division_;
}
bool PlayerSession::dragging() const {
    return dragging_.load();
}
bool PlayerSession::audio_on() const {
    return audio_on_;
}
int PlayerSession::connect_mode() const {
    return connect_mode_;
}

std::optional<int64_t> PlayerSession::pending_seek() const {
    if (!seek_after_play_) return std::nullopt;
    return seek_offset_;
}

void PlayerSession::set_single_screen(bool single_screen) {
    single_screen_ = single_screen;
}
void PlayerSession::set_snapshot_path(const std::string& path) {
    snapshot_path_ = path;
}

void PlayerSession::set_downloaded_pair(const std::string& dvr_path, const std::string& inx_path) {
    downloaded_dvr_ = dvr_path;
    downloaded_inx_ = inx_path;
}

void PlayerSession::set_status_text(const std::string& text) {
    status_ = text;
    view_.set_status(text);
}

void PlayerSession::log_text(const char* key) {
    view_.log(texts_.text(key));
}
void PlayerSession::message_text(const char* key) {
    view_.show_message(texts_.text(key));
}

void PlayerSession::play_msg(KivraCommand command, intptr_t first, int32_t second, int32_t third) {
    engine_.zPlayMSG(command, first, second, third, nullptr);
}

// ---- Opening -------------------------------------------------------------------------------

void PlayerSession::open_file(const std::string& dvr_path) {
    chosen_path_ = dvr_path;
    if (state_ == PlayerState::Idle) {
        open_chosen_file();
        return;
    }
    pending_ = PendingAction::OpenChosenFile;
    close_source();
}

void PlayerSession::open_chosen_file() {
    const size_t dot = chosen_path_.rfind('.');
    if (dot == std::string::npos) {
        message_text(kIllegalFileName);
        return;
    }
    const std::string extension = chosen_path_.substr(dot + 1);
    if (extension.size() > kMaxExtensionLength || (extension != "dvr" && extension != "DVR")) {
        message_text(kWrongSuffix);
        return;
    }
    // Only the all-lower and all-upper spellings are looked for.
    const std::string stem = chosen_path_.substr(0, dot + 1);
    std::string index_path = stem + "inx";
    if (!file_exists(index_path)) index_path = stem + "INX";
    if (!file_exists(index_path)) {
        message_text(kNoIndexFile);
        return;
    }
    open_file_pair(chosen_path_, index_path);
}

bool PlayerSession::open_file_pair(const std::string& dvr_path, const std::string& inx_path) {
    log_text(kOpenLocalFile);
    if (engine_.zOpen(KIVRA_SOURCE_FILE, dvr_path.c_str(), inx_path.c_str(), 0, 0) == 0) {
        log_text(kOpenFail);
        message_text(kOpenUnknownError);
        return false;
    }
    set_status_text("opened..");
    state_ = PlayerState::Opened;
    log_text(kOpenCompleted);
    return true;
}

void PlayerSession::search_disk(bool sd_card) {
    if (!search_allowed()) return;
    if (state_ == PlayerState::Idle) {
        start_search(sd_card);
        return;
    }
    pending_ = sd_card ? PendingAction::SearchCard : PendingAction::SearchDisk;
    close_source();
}

// Names the devices that refuse reading and how to be let in, when that leaves nothing to read.
bool PlayerSession::search_allowed() {
    const DeviceSurvey survey = devices_.survey();
    if (!search_blocked(survey)) return true;
    std::string message = texts_.text(kDisksRefuseReading);
    for (const std::string& device : survey.refused) message += "\n" + device;
    message += "\n\n" + texts_.text(kDiskAccessHint);
    view_.show_message(message);
    return false;
}

// A search the engine refuses changes nothing, as the original did; an image it refuses is
// the operator's explicit choice, so that is said.
void PlayerSession::start_search(bool sd_card) {
    if (engine_.zOpen(sd_card ? KIVRA_SOURCE_CARD : KIVRA_SOURCE_DISK, nullptr, nullptr, 0, 0) == 0)
        return;
    begin_disk_open(sd_card);
    log_text(sd_card ? kSearchingSd : kSearchingHdd);
}

void PlayerSession::open_image(const std::string& image_path, bool sd_card) {
    image_path_ = image_path;
    if (state_ == PlayerState::Idle) {
        start_image(sd_card);
        return;
    }
    pending_ = sd_card ? PendingAction::OpenCardImage : PendingAction::OpenDiskImage;
    close_source();
}

void PlayerSession::start_image(bool sd_card) {
    log_text(sd_card ? kOpenSdImage : kOpenHddImage);
    const int32_t type = sd_card ? KIVRA_SOURCE_CARD : KIVRA_SOURCE_DISK;
    if (engine_.zOpen(type, image_path_.c_str(), nullptr, 0, 0) == 0) {
        log_text(kOpenFail);
        message_text(sd_card ? kOpenSdFailMsg : kOpenHddFailMsg);
        return;
    }
    begin_disk_open(sd_card);
}

// A search and an image open look the same from here on: the engine reports through
// on_disk_event whether the disk or card opened.
void PlayerSession::begin_disk_open(bool sd_card) {
    set_status_text(sd_card ? "opening sd.." : "opening hdd..");
    state_ = PlayerState::Opened;
}

// ---- Closing -------------------------------------------------------------------------------

void PlayerSession::close_source() {
    switch (state_) {
        case PlayerState::Idle:
            return;
        case PlayerState::Opened:
            play_msg(KIVRA_CMD_CLOSE);
            return;
        case PlayerState::Playing:
        case PlayerState::Paused:
        case PlayerState::Shuttle:
            // The engine stops first; the close follows on "stop ok".
            close_after_stop_ = true;
            stop();
            return;
    }
}

bool PlayerSession::request_close_window() {
    if (state_ == PlayerState::Idle) return true;
    pending_ = PendingAction::CloseWindow;
    close_source();
    return false;
}

// ---- Pending action ------------------------------------------------------------------------

void PlayerSession::run_pending_action() {
    const PendingAction action = pending_;
    pending_ = PendingAction::None;
    switch (action) {
        case PendingAction::None:
            return;
        case PendingAction::OpenDownload:
            open_download();
            pending_ = PendingAction::OfferKeepDownload;
            return;
        case PendingAction::OfferKeepDownload:
            offer_keep_download();
            return;
        case PendingAction::OpenChosenFile:
            open_chosen_file();
            return;
        case PendingAction::SearchDisk:
        case PendingAction::SearchCard:
            start_search(action == PendingAction::SearchCard);
            return;
        case PendingAction::StartRealtime:
            run_parked_realtime();
            return;
        case PendingAction::OpenRecordedData:
            run_parked_recorded();
            return;
        case PendingAction::CloseWindow:
            view_.request_close_window();
            return;
        case PendingAction::OpenDiskImage:
        case PendingAction::OpenCardImage:
            start_image(action == PendingAction::OpenCardImage);
            return;
    }
}

void PlayerSession::open_download() {
    if (open_file_pair(downloaded_dvr_, downloaded_inx_)) play_msg(KIVRA_CMD_PLAY);
}

void PlayerSession::offer_keep_download() {
    const std::string question =
        texts_.text(kSaveDownloaded) + "\n\n" + downloaded_dvr_ + "\n" + downloaded_inx_;
    if (view_.ask_ok_cancel(question)) return;
    std::error_code ec;
    fs::remove(fs::path(downloaded_dvr_), ec);
    fs::remove(fs::path(downloaded_inx_), ec);
}

}  // namespace velmora
