// The main window's side of network play: the vehicle list's commands (realtime play after the
// parameter dialog, recorded play through the recorded-data dialog, deleting a vehicle), the
// recorders added by hand and kept in the configuration, and the remote link's reports that
// belong to the recorded-data dialog.
#include <algorithm>

#include "engine_bridge.h"
#include "lang/language_table.h"
#include "model/engine_host.h"
#include "model/operation_log.h"
#include "model/utf16_text.h"
#include "ui/add_recorder_dialog.h"
#include "ui/car_info_panel.h"
#include "ui/main_window.h"
#include "ui/map_view.h"
#include "ui/recorded_data_dialog.h"

namespace velmora {

namespace {

constexpr const char* kRecordedOpenFail = "IDS_STRING259";  // "record net data open fail!"
constexpr const char* kMaxConnections = "IDS_STRING415";    // "Reach the maximum of connection!"
constexpr const char* kRecorderExists = "IDS_STRING_RECORDER_EXISTS";

bool same_endpoint(const ManualRecorder& a, const ManualRecorder& b) {
    return a.ipv4 == b.ipv4 && a.port == b.port;
}

}  // namespace

void MainWindow::connect_vehicle_list() {
    realtime_dialog = [this](const RealtimeDialogInputs& inputs) -> std::optional<LiveParams> {
        RealtimeParamsDialog dialog(*ctx_.texts, inputs, this);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.params();
    };
    add_recorder_dialog = [this]() -> std::optional<ManualRecorder> {
        AddRecorderDialog dialog(*ctx_.texts, this);
        dialog.message_sink = message_sink;
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.recorder();
    };
    CarListBox* list = info_panel_->list();
    connect(list, &CarListBox::command_chosen, this, &MainWindow::run_vehicle_command);
    connect(list, &CarListBox::add_recorder_requested, this, &MainWindow::add_recorder);
    session_->set_run_mode(ctx_.config.run_mode);
    load_manual_recorders();
}

void MainWindow::load_manual_recorders() {
    manual_recorders_ = velmora::load_manual_recorders(ctx_.config_path);
    for (const ManualRecorder& recorder : manual_recorders_)
        info_panel_->list()->add(vehicle_from_recorder(recorder));
}

void MainWindow::run_vehicle_command(VehicleCommand command, VehicleRecord* record) {
    switch (command) {
        case VehicleCommand::RealtimePlay:
            start_realtime_play(record);
            return;
        case VehicleCommand::RecordedPlay:
            start_recorded_play(record);
            return;
        case VehicleCommand::DeleteFromList:
            delete_vehicle(record);
            return;
        case VehicleCommand::UploadedFile:
            return;  // no upload component is part of this viewer
    }
}

void MainWindow::mark_vehicle(const SelectedVehicle& vehicle, bool on, int connection_type) {
    info_panel_->mark_vehicle(connection_type, on, vehicle.name_text(), vehicle.address.data());
}

// Cancel opens nothing and keeps the vehicle's previous parameters.
void MainWindow::start_realtime_play(VehicleRecord* record) {
    session_->prepare_realtime_play();
    if (record == nullptr) return;
    const RealtimeDialogInputs inputs{recorder_address_text(*record), record->channel_count,
                                      record->open_links, record->capability, record->live_params};
    const std::string name = utf8_from_utf16(record->name);
    const std::array<uint8_t, 6> address = record->address;
    const std::optional<LiveParams> params = realtime_dialog(inputs);
    if (!params) return;
    // The list may have changed while the dialog was open: find the vehicle again.
    CarListBox* list = info_panel_->list();
    VehicleRecord* still_listed = list->record_at(list->find(name, address.data()));
    if (still_listed != nullptr) still_listed->live_params = *params;
    session_->start_realtime_play({*params, address, name, inputs.capability, inputs.open_links});
    if (!single_screen_) map_window_->update();
}

void MainWindow::start_recorded_play(VehicleRecord* record) {
    // One recorder's recorded data at a time: a shown dialog is that recorder's.
    if (recorded_dialog_ != nullptr && recorded_dialog_->isVisible()) {
        recorded_dialog_->raise();
        recorded_dialog_->activateWindow();
        return;
    }
    if (record == nullptr || record->open_links >= kMaxOpenLinks) {
        session_->close_source();
        if (record != nullptr) show_message(ctx_.texts->text(kMaxConnections));
        return;
    }
    RecordedTarget target;
    target.address = record->address;
    target.name = utf8_from_utf16(record->name);
    target.recorder_address = recorder_address_text(*record);
    target.run_mode = ctx_.config.run_mode;
    target.capability = record->capability;
    const SelectedVehicle vehicle(target.address, target.name);
    session_->request_recorded_play(
        [this, target, vehicle] { connect_recorded_dialog(target, vehicle); });
}

void MainWindow::connect_recorded_dialog(const RecordedTarget& target,
                                         const SelectedVehicle& vehicle) {
    if (recorded_dialog_ == nullptr) {
        recorded_dialog_ = new RecordedDataDialog(engine_.engine(), *ctx_.texts, this);
        recorded_dialog_->message_sink = message_sink;
        recorded_dialog_->question_sink = question_sink;
        recorded_dialog_->log_sink = [this](const std::string& line) { log(line); };
    }
    recorded_dialog_->mark_sink = [this, vehicle](bool on, int connection_type) {
        mark_vehicle(vehicle, on, connection_type);
    };
    recorded_dialog_->set_download_folder(ctx_.config.download_dir);
    recorded_dialog_->set_event_type_names(event_type_names_);
    session_->select_vehicle(vehicle);
    if (recorded_dialog_->open_for(target)) {
        recorded_dialog_->show();
        recorded_dialog_->raise();
        return;
    }
    show_message(ctx_.texts->text(kRecordedOpenFail));
    mark_vehicle(vehicle, false, 0);
    session_->clear_selected_vehicle();
}

// The dialog takes the remote link's reports only while it is shown; a finished download's
// files go to the session, which opens them once the link has closed.
void MainWindow::forward_remote_link_event(const EngineEvent& event) {
    if (recorded_dialog_ == nullptr || !recorded_dialog_->isVisible()) return;
    if (event.b == KIVRA_LINK_DOWNLOAD_DONE) {
        const DownloadPaths finished = recorded_dialog_->take_finished_download();
        session_->set_downloaded_pair(finished.dvr, finished.inx);
    }
    recorded_dialog_->link_event(event.b, event.c, event.row);
}

void MainWindow::add_recorder() {
    const std::optional<ManualRecorder> recorder = add_recorder_dialog();
    if (!recorder) return;
    const bool listed =
        std::any_of(manual_recorders_.begin(), manual_recorders_.end(),
                    [&](const ManualRecorder& known) { return same_endpoint(known, *recorder); });
    if (listed) {
        show_message(ctx_.texts->text(kRecorderExists));
        return;
    }
    manual_recorders_.push_back(*recorder);
    if (!save_manual_recorders(ctx_.config_path, manual_recorders_))
        log("recorder list not saved: " + ctx_.config_path);
    info_panel_->list()->add(vehicle_from_recorder(*recorder));
}

void MainWindow::delete_vehicle(VehicleRecord* record) {
    if (record == nullptr) return;
    const auto made_from = std::find_if(
        manual_recorders_.begin(), manual_recorders_.end(),
        [&](const ManualRecorder& recorder) { return vehicle_is_recorder(*record, recorder); });
    const std::string name = utf8_from_utf16(record->name);
    const std::array<uint8_t, 6> address = record->address;
    if (made_from != manual_recorders_.end()) {
        manual_recorders_.erase(made_from);
        if (!save_manual_recorders(ctx_.config_path, manual_recorders_))
            log("recorder list not saved: " + ctx_.config_path);
    }
    info_panel_->list()->remove(name, address.data());
}

}  // namespace velmora
