// The main window's network play over the fake engine, offscreen: recorders added by hand and
// kept in the configuration, realtime play after the parameter dialog, and recorded play from
// the index rows the engine reports on its own threads to the download that is opened and
// played.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/le.h"
#include "fake_engine.h"
#include "lang/language_table.h"
#include "model/engine_host.h"
#include "model/live_params_form.h"
#include "process.h"
#include "qt_test_app.h"
#include "ui/car_info_panel.h"
#include "ui/main_window.h"
#include "ui/recorded_data_dialog.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::fake_engine;

const ManualRecorder kBus{"Bus 7", {10, 0, 0, 7}, 2300, 4};

std::string read_text(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

class NetworkPlayTest : public ::testing::Test {
  protected:
    NetworkPlayTest() : api_(test::make_fake_engine_api()) {
        context_.config_path = dir_.file("AppConfig.ini");
        context_.config.download_dir = dir_.file("downloads");
        context_.config.log_dir = dir_.file("log");
        context_.texts = &texts_;
        context_.web_maps = false;
        context_.program_dir = dir_.path();
        open_window();
    }
    ~NetworkPlayTest() override {
        // The session must be idle for the window to close at once.
        if (window_) window_->session().on_play_event(KIVRA_RESULT_CLOSE_OK, 0);
        window_.reset();
    }

    // Each window starts an engine of its own, as each run of the viewer does.
    void open_window() {
        window_.reset();
        host_ = std::make_unique<EngineHost>(api_, ExtractApi{});
        window_ = std::make_unique<MainWindow>(context_, *host_);
        window_->message_sink = [this](const QString& text) { messages_ << text; };
        window_->question_sink = [](const QString&) { return true; };
        window_->add_recorder_dialog = [this] { return next_recorder_; };
        ASSERT_TRUE(window_->start());
    }

    CarListBox& list() { return *window_->info_panel()->list(); }

    // The engine reports from a thread of its own, with pointers valid only during the call.
    static void report_from_engine_thread(std::function<void()> report) {
        std::thread(std::move(report)).join();
    }

    fleet::test::TempDir dir_;
    LanguageTable texts_;
    EngineApi api_;
    std::unique_ptr<EngineHost> host_;
    ViewerContext context_;
    std::unique_ptr<MainWindow> window_;
    QStringList messages_;
    std::optional<ManualRecorder> next_recorder_ = kBus;
};

TEST_F(NetworkPlayTest, AnAddedRecorderIsListedAndStillThereAfterARestart) {
    window_->run_command(CommandId::AddRecorder);
    ASSERT_EQ(list().count(), 1);
    EXPECT_EQ(list().record_at(0)->name, u"Bus 7");
    EXPECT_EQ(list().record_at(0)->state, vehicle_state::kOnline);
    EXPECT_NE(read_text(context_.config_path).find("10.0.0.7:2300,4,Bus 7"), std::string::npos);

    // The same recorder once more is refused.
    window_->add_recorder();
    EXPECT_EQ(list().count(), 1);
    EXPECT_EQ(messages_, QStringList{"This recorder is already in the list!"});

    window_.reset();
    open_window();
    ASSERT_EQ(list().count(), 1);
    EXPECT_EQ(list().record_at(0)->port, 2300);

    window_->run_vehicle_command(VehicleCommand::DeleteFromList, list().record_at(0));
    EXPECT_EQ(list().count(), 0);
    window_.reset();
    open_window();
    EXPECT_EQ(list().count(), 0);
}

TEST_F(NetworkPlayTest, ConfirmedRealtimeParametersOpenTheRecorderAndTheListMarksIt) {
    window_->add_recorder();
    VehicleRecord* bus = list().record_at(0);
    std::optional<RealtimeDialogInputs> shown;
    LiveParams chosen = default_live_params("10.0.0.7:2300", 4);
    chosen.bytes[live_params::kBuffering] = 1;
    window_->realtime_dialog = [&](const RealtimeDialogInputs& inputs) {
        shown = inputs;
        return std::optional<LiveParams>(chosen);
    };
    window_->run_vehicle_command(VehicleCommand::RealtimePlay, bus);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->address, "10.0.0.7:2300");
    EXPECT_EQ(shown->channel_count, 4);
    ASSERT_EQ(fake_engine().open_ex_calls.size(), 1u);
    const test::OpenExCall& call = fake_engine().open_ex_calls[0];
    EXPECT_EQ(live_params_address(call.params), "10.0.0.7:2300");
    EXPECT_EQ(call.params.bytes[live_params::kBuffering], 1);
    EXPECT_EQ(call.connect_mode, 0);
    EXPECT_EQ(call.name, "Bus 7");
    EXPECT_EQ(bus->live_params.bytes[live_params::kBuffering], 1);  // kept for the next time

    // A second later the play starts; its report marks the vehicle.
    ASSERT_TRUE(fleet_test::wait_until([] { return !fake_engine().play_calls.empty(); }, 3000));
    EXPECT_EQ(fake_engine().play_calls.back().command, KIVRA_CMD_PLAY);
    fake_engine().init_play(KIVRA_RESULT_PLAY_OK, 0);
    ASSERT_TRUE(
        fleet_test::wait_until([&] { return bus->state == vehicle_state::kConnected; }, 2000));
    EXPECT_EQ(bus->connection_type, 0);

    // The link's close returns the vehicle to online.
    window_->session().close_source();
    fake_engine().init_play(KIVRA_RESULT_STOP_OK, 0);
    fake_engine().init_play(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_REALTIME);
    ASSERT_TRUE(fleet_test::wait_until([&] { return bus->state == vehicle_state::kOnline; }, 2000));
}

TEST_F(NetworkPlayTest, CancelledParametersOpenNothingAndKeepTheOldOnes) {
    window_->add_recorder();
    VehicleRecord* bus = list().record_at(0);
    const LiveParams before = bus->live_params;
    window_->realtime_dialog = [](const RealtimeDialogInputs&) {
        return std::optional<LiveParams>();
    };
    window_->run_vehicle_command(VehicleCommand::RealtimePlay, bus);
    EXPECT_TRUE(fake_engine().open_ex_calls.empty());
    EXPECT_EQ(std::memcmp(bus->live_params.bytes, before.bytes, sizeof before.bytes), 0);
}

TEST_F(NetworkPlayTest, RecordedRowsFromEngineThreadsLeadToAPlayedDownload) {
    window_->add_recorder();
    VehicleRecord* bus = list().record_at(0);
    window_->run_vehicle_command(VehicleCommand::RecordedPlay, bus);
    ASSERT_EQ(fake_engine().open_rx_calls.size(), 1u);
    EXPECT_EQ(fake_engine().open_rx_calls[0].recorder_address, "10.0.0.7:2300");
    RecordedDataDialog* dialog = window_->recorded_dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(bus->state, vehicle_state::kConnected);
    EXPECT_EQ(bus->connection_type, 5);

    LinkEventProc link = fake_engine().init_link;
    ASSERT_NE(link, nullptr);
    report_from_engine_thread([link] {
        link(KIVRA_LINK_REMOTE, KIVRA_LINK_CONNECTED, 0, 0);
        IndexRowBytes unit{};
        for (uint32_t i = 0; i < 6; ++i) {
            fleet::store_u32(unit.data(), 1700000000 + 60 * i);
            fleet::store_u32(unit.data() + 4, (i % 3) << 20);
            fleet::store_u64(unit.data() + 8, 0x400 * i);
            link(KIVRA_LINK_REMOTE, KIVRA_LINK_INDEX_UNIT, 0, reinterpret_cast<intptr_t>(&unit));
            unit.fill(0xEE);  // the engine's buffer moves on
        }
        link(KIVRA_LINK_REMOTE, KIVRA_LINK_INDEX_DONE, 0, 0);
    });
    ASSERT_TRUE(
        fleet_test::wait_until([&] { return dialog->rows()->topLevelItemCount() == 6; }, 2000));
    EXPECT_EQ(dialog->rows()->topLevelItem(5)->text(0), QStringLiteral("2023-11-14 22:18:20"));
    EXPECT_EQ(dialog->rows()->topLevelItem(5)->text(1), QStringLiteral("0x1400"));
    EXPECT_EQ(dialog->rows()->topLevelItem(5)->text(2), QStringLiteral("POWER OFF"));
    ASSERT_TRUE(fleet_test::wait_until([&] { return dialog->can_close(); }, 2000));

    dialog->row_double_clicked(1);
    dialog->row_double_clicked(4);
    dialog->download_clicked();
    ASSERT_EQ(fake_engine().download_calls.size(), 1u);
    const test::DownloadCall download = fake_engine().download_calls[0];
    EXPECT_EQ(download.first_unit, 2);
    EXPECT_EQ(download.last_unit, 5);
    EXPECT_EQ(fs::path(download.dvr).parent_path(), fs::path(dir_.file("downloads")));
    EXPECT_TRUE(fs::path(download.dvr).filename().string().starts_with("Bus 7_"));

    fake_engine().play_calls.clear();
    report_from_engine_thread([link] {
        link(KIVRA_LINK_REMOTE, KIVRA_LINK_DOWNLOAD_PROGRESS, 100, 0);
        link(KIVRA_LINK_REMOTE, KIVRA_LINK_DOWNLOAD_DONE, 0, 0);
    });
    ASSERT_TRUE(fleet_test::wait_until([&] { return !dialog->isVisible(); }, 2000));
    ASSERT_EQ(fake_engine().play_calls.size(), 1u);
    EXPECT_EQ(fake_engine().play_calls[0].command, KIVRA_CMD_CLOSE);
    EXPECT_EQ(window_->session().pending_action(), PendingAction::OpenDownload);

    fake_engine().init_play(KIVRA_RESULT_CLOSE_OK, KIVRA_CLOSE_RESULT_REMOTE);
    ASSERT_TRUE(fleet_test::wait_until([] { return !fake_engine().open_calls.empty(); }, 2000));
    EXPECT_EQ(fake_engine().open_calls[0],
              (test::OpenCall{KIVRA_SOURCE_FILE, download.dvr, download.inx}));
    EXPECT_EQ(fake_engine().play_calls.back().command, KIVRA_CMD_PLAY);
    EXPECT_EQ(bus->state, vehicle_state::kOnline);
    EXPECT_EQ(messages_, QStringList{"Dowload time index data completed."});
}

TEST_F(NetworkPlayTest, ARefusedRecordedLinkSaysSoAndUnmarksTheRecorder) {
    window_->add_recorder();
    fake_engine().open_rx_result = false;
    window_->run_vehicle_command(VehicleCommand::RecordedPlay, list().record_at(0));
    EXPECT_EQ(messages_, QStringList{"record net data open fail!"});
    EXPECT_FALSE(window_->recorded_dialog()->isVisible());
    EXPECT_EQ(list().record_at(0)->state, vehicle_state::kOnline);
}

}  // namespace
}  // namespace velmora
