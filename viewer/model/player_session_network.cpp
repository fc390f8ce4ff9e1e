// Realtime and recorded network play: the realtime open after the parameter dialog, the
// recorded-data dialog's wait for a close, and the vehicle the links run for.
#include <algorithm>
#include <cstring>

#include "model/connect_mode.h"
#include "model/player_session.h"
#include "session_texts.h"

namespace velmora {

namespace {

using namespace session_text;

constexpr int kPlayAfterOpenMs = 1000;
constexpr int kStartParkedRealtimeMs = 1000;

// The list's connection tag for a vehicle playing in this connect mode.
int connection_type_for(int connect_mode) {
    if (connect_mode == kConnectDirect) return 0;
    if (connect_mode == kConnectListen) return 4;
    return 3;
}

}  // namespace

SelectedVehicle::SelectedVehicle(const std::array<uint8_t, 6>& vehicle_address,
                                 std::string_view name_utf8)
    : address(vehicle_address) {
    // One byte stays zero, so the engine always finds the name's end.
    std::memcpy(name.data(), name_utf8.data(), std::min(name_utf8.size(), name.size() - 1));
}

std::string SelectedVehicle::name_text() const {
    return std::string(name.data(), strnlen(name.data(), name.size()));
}

void PlayerSession::set_run_mode(int run_mode) {
    run_mode_ = run_mode;
}

void PlayerSession::set_connector(KivraConnector connector) {
    connector_ = connector;
}

void PlayerSession::select_vehicle(const SelectedVehicle& vehicle) {
    selected_ = vehicle;
}

void PlayerSession::clear_selected_vehicle() {
    selected_ = SelectedVehicle{};
}

void PlayerSession::prepare_realtime_play() {
    close_source();
    forget_network_vehicle(KIVRA_CLOSE_RESULT_REALTIME);
}

// A closed network link leaves its vehicle unmarked and no vehicle selected.
void PlayerSession::forget_network_vehicle(int close_value) {
    if (close_value != KIVRA_CLOSE_RESULT_REALTIME && close_value != KIVRA_CLOSE_RESULT_REMOTE)
        return;
    view_.mark_vehicle(selected_, false, 0);
    clear_selected_vehicle();
}

// The connect mode is chosen before a parked play waits, and the parked play keeps it and its
// vehicle: the close it waits for resets both.
void PlayerSession::start_realtime_play(const RealtimeRequest& request) {
    const ConnectChoice choice =
        choose_connect_mode(request.capability, request.open_links, run_mode_);
    if (choice.refusal == RealtimeRefusal::MaximumConnections) message_text(kMaxConnectionsMsg);
    if (choice.refusal != RealtimeRefusal::None) return;
    live_params_ = request.params;
    if (state_ != PlayerState::Idle) {
        parked_realtime_ = request;
        parked_connect_mode_ = choice.connect_mode;
        pending_ = PendingAction::StartRealtime;
        close_source();
        return;
    }
    select_vehicle(SelectedVehicle(request.address, request.name));
    connect_mode_ = choice.connect_mode;
    open_realtime();
}

void PlayerSession::open_realtime() {
    if (engine_.zOpenEx(live_params_, connect_mode_, run_mode_, selected_.address.data(),
                        selected_.name.data(), connector_) == 0) {
        log_text(kRealtimeOpenFail);
        message_text(kRealtimeOpenFailMsg);
        return;
    }
    set_status_text("opened..");
    state_ = PlayerState::Opened;
    log_text(kRealtimeOpenOk);
    mark_vehicle_after_play_ = true;
    view_.run_later(kPlayAfterOpenMs, [this] {
        // A close in the meantime cancels the play.
        if (state_ == PlayerState::Opened) play();
    });
}

void PlayerSession::mark_played_vehicle() {
    if (!mark_vehicle_after_play_) return;
    mark_vehicle_after_play_ = false;
    view_.mark_vehicle(selected_, true, connection_type_for(connect_mode_));
}

void PlayerSession::request_recorded_play(std::function<void()> connect) {
    if (state_ == PlayerState::Idle) {
        connect();
        return;
    }
    parked_recorded_connect_ = std::move(connect);
    pending_ = PendingAction::OpenRecordedData;
    close_source();
}

void PlayerSession::run_parked_realtime() {
    view_.run_later(kStartParkedRealtimeMs, [this] {
        // Something else was opened or parked meanwhile: that wins.
        if (state_ != PlayerState::Idle || pending_ != PendingAction::None) return;
        live_params_ = parked_realtime_.params;
        select_vehicle(SelectedVehicle(parked_realtime_.address, parked_realtime_.name));
        connect_mode_ = parked_connect_mode_;
        open_realtime();
    });
}

void PlayerSession::run_parked_recorded() {
    auto connect = std::move(parked_recorded_connect_);
    parked_recorded_connect_ = nullptr;
    if (connect) connect();
}

}  // namespace velmora
