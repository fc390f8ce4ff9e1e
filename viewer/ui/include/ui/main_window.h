// The viewer's main window: caption, menus, toolbar, video area, map area, control bar,
// dashboard and the vehicle panel. It renders the PlayerSession, turns its controls and the
// engine's reports (posted from engine threads) into session calls, and runs the commands of its
// command table.
#pragma once

#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/app_config.h"
#include "model/event_types.h"
#include "model/manual_recorders.h"
#include "model/player_session.h"
#include "ui/car_list_box.h"
#include "ui/command_table.h"
#include "ui/realtime_params_dialog.h"

class QAction;
class QMenu;
class QTimer;
class QUrl;

namespace velmora {

class CaptionBar;
class CarInfoPanel;
class DashboardPanel;
class EngineHost;
class EngineEvent;
class ExtractDialog;
class FindDialog;
class RecordedDataDialog;
struct RecordedTarget;
class LanguageTable;
struct MainLayout;
class MapView;
class MapWindow;
class SkinButton;
class SkinMenuText;
class SkinStatic;
class SlideButton;
class SlideVolume;
class SplitterButton;
struct GpsPosition;
class TelemetryCycle;
struct TelemetryDisplay;
class VideoView;
struct VehicleRecord;
class WindowFrame;

// What start-up hands to the window besides the engine.
struct ViewerContext {
    AppConfig config;
    std::string config_path = kAppConfigPath;
    std::string lang_dir = "config/lang";
    LanguageTable* texts = nullptr;
    std::string program_dir;
    bool web_maps = true;  // false: a plain page stands in for the browser
};

class MainWindow : public QWidget, private SessionView {
    Q_OBJECT
  public:
    // The engine host must be bound; it outlives the window.
    MainWindow(ViewerContext& context, EngineHost& engine, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Starts the engine with this window's video area, then placement, volume and "ready..".
    // False (after the message) when the engine refuses to start; the window must then close.
    bool start();

    // Message boxes go through these, so tests and headless runs can answer them.
    std::function<void(const QString&)> message_sink;
    std::function<bool(const QString&)> question_sink;
    // The open-file dialog: the chosen path, or empty when cancelled.
    std::function<QString()> file_dialog;
    // The dialog choosing a disk or card image (any file, or a device): its title is the menu
    // item's text; the chosen path, or empty when cancelled.
    std::function<QString(const QString& title)> image_dialog;

    // The realtime parameter dialog: the confirmed parameters, or nothing when cancelled.
    std::function<std::optional<LiveParams>(const RealtimeDialogInputs&)> realtime_dialog;
    // The "Add recorder..." dialog: the recorder typed in, or nothing when cancelled.
    std::function<std::optional<ManualRecorder>()> add_recorder_dialog;

    PlayerSession& session() { return *session_; }
    // A command of the vehicle list's menu for a record of the list (null: none chosen).
    void run_vehicle_command(VehicleCommand command, VehicleRecord* record);
    // "Add recorder...": the recorder goes into the list and the configuration.
    void add_recorder();
    // Made on the first recorded play.
    RecordedDataDialog* recorded_dialog() const { return recorded_dialog_; }
    VideoView* video() { return video_; }
    CarInfoPanel* info_panel() { return info_panel_; }
    QAction* action(CommandId id) const;
    QMenu* menu(MenuId id) const;
    bool single_screen() const { return single_screen_; }
    bool panel_collapsed() const { return panel_collapsed_; }
    // Runs a command of the table as its menu item, button or key would.
    void run_command(CommandId id);
    // Opens a recording as the Open file command does after its dialog.
    void open_path(const QString& path);
    void apply_language();
    // Chart scales chosen in the Windows menu (the dashboard applies them).
    int g_range() const { return g_range_; }
    int speed_range() const { return speed_range_; }
    int temperature_range() const { return temperature_range_; }
    // Event type names by the recorder's event number, in the current language.
    const EventTypeNames& event_type_names() const { return event_type_names_; }

    static std::span<const Command> command_table();
    static std::span<const MenuPlan> menu_plan();

  signals:
    // The map page should show the vehicle again (reason as the map bridge takes it).
    void map_refresh_requested(int reason);

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    // SessionView
    void set_status(const std::string& text) override;
    void show_pause_button(bool pause_shown) override;
    void show_audio_on_button(bool audio_on_shown) override;
    void set_progress(int position) override;
    void show_message(const std::string& text) override;
    bool ask_ok_cancel(const std::string& text) override;
    void log(const std::string& text) override;
    void request_map_refresh(int reason) override;
    void run_later(int milliseconds, std::function<void()> action) override;
    void request_close_window() override;
    void show_recording_buttons(bool recording) override;
    void telemetry_gate(bool open) override;
    void telemetry_reset(bool full) override;
    void telemetry_step() override;
    void clear_picture() override;
    void mark_vehicle(const SelectedVehicle& vehicle, bool on, int connection_type) override;

    // Widgets (main_window.cpp)
    void build_widgets();
    void build_control_bar();
    void connect_sliders();
    QString text(const char* key) const;

    // Commands, menus and buttons from the table (main_window_commands.cpp)
    void build_menus();
    void build_buttons();
    SkinButton* button(CommandId id) const;
    void retranslate_tooltips();
    void retranslate_menus();
    void refresh_checks();
    int current_choice(MenuId radio_menu) const;
    const Command* command_for_key(int key) const;
    void choose_open_file();
    void choose_image(const Command& command, bool sd_card);
    void set_unit(UnitKind kind, int value);
    void set_map_type(int map_type);
    void show_log_manager();
    void show_settings();
    void show_about();

    // Layout and layout modes (main_window_layout.cpp)
    void lay_out();
    void place_buttons(const MainLayout& layout);
    void apply_side_layout();
    void set_layout_mode(bool single_screen);
    void toggle_panel();

    // The map pages' requests and the vehicle marks (main_window_map.cpp)
    void connect_map_bridge();
    MapView* vehicle_map_page() const;
    void show_vehicle_on_map(const VehicleRecord* record);
    void remove_vehicle_from_map(const VehicleRecord& record);
    void answer_map_push(int status);

    void handle_engine_event(QEvent* event);
    bool handle_key(int key);
    void shutdown();
    void tell_dialogs_source_closed();
    QUrl map_page_url(const char* google_page, const char* yandex_page) const;

    // The Find dialog (main_window_find.cpp)
    void show_find_dialog();

    // Network play and the recorders added by hand (main_window_network.cpp)
    void connect_vehicle_list();
    void load_manual_recorders();
    void start_realtime_play(VehicleRecord* record);
    void start_recorded_play(VehicleRecord* record);
    void connect_recorded_dialog(const RecordedTarget& target, const SelectedVehicle& vehicle);
    void delete_vehicle(VehicleRecord* record);
    void forward_remote_link_event(const EngineEvent& event);

    // The extract dialog (main_window_export.cpp)
    void show_extract_dialog();
    // Snapshots, the picture pop-up and screen recording (main_window_capture.cpp)
    std::string picture_dir() const;
    void snapshot_video_area();
    void snapshot_channel();
    void snapshot_whole_screen();
    void show_picture_menu(QPoint global);
    void start_screen_recording();
    void stop_screen_recording();

    // Telemetry on screen (main_window_telemetry.cpp)
    void build_telemetry();
    void run_telemetry_cycle();
    void poll_step_frames();
    void run_paused_cycle();
    void show_map_point(const GpsPosition& position, const std::string& time_text);
    void show_telemetry(const TelemetryDisplay& display);
    void show_gauges(const TelemetryDisplay& display);

    ViewerContext& ctx_;
    EngineHost& engine_;
    std::unique_ptr<PlayerSession> session_;

    CaptionBar* caption_ = nullptr;
    QWidget* toolbar_ = nullptr;
    VideoView* video_ = nullptr;
    SkinStatic* map_caption_ = nullptr;
    MapView* map_view_ = nullptr;
    SplitterButton* splitter_ = nullptr;
    QWidget* control_bar_ = nullptr;
    SkinStatic* status_ = nullptr;
    SkinStatic* plate_ = nullptr;
    SkinStatic* time_ = nullptr;
    SlideButton* progress_ = nullptr;
    SlideVolume* volume_ = nullptr;
    DashboardPanel* dashboard_ = nullptr;
    CarInfoPanel* info_panel_ = nullptr;
    MapWindow* map_window_ = nullptr;
    WindowFrame* frame_ = nullptr;
    std::map<CommandId, SkinButton*> buttons_;
    std::map<CommandId, QAction*> actions_;
    std::map<MenuId, QMenu*> menus_;
    std::array<SkinMenuText*, 5> menu_titles_{};
    QTimer* telemetry_timer_ = nullptr;
    QTimer* step_timer_ = nullptr;
    std::unique_ptr<TelemetryCycle> telemetry_cycle_;
    FindDialog* find_dialog_ = nullptr;              // made on first use
    ExtractDialog* extract_dialog_ = nullptr;        // made on first use
    RecordedDataDialog* recorded_dialog_ = nullptr;  // made on first use
    std::vector<ManualRecorder> manual_recorders_;

    bool single_screen_ = true;
    bool panel_in_main_ = false;  // the panel starts inside the hidden map window
    bool panel_collapsed_ = false;
    bool started_ = false;
    bool shut_down_ = false;
    int g_range_ = 2;
    int speed_range_ = 150;
    int temperature_range_ = 50;
    std::string map_plate_;  // the vehicle the map's track belongs to
    uint64_t step_frames_ = 0;
    QStringList last_map_point_;  // plate, time, latitude, longitude
    int step_polls_ = 0;
    EventTypeNames event_type_names_{};

    // Where the picture pop-up last opened: the channel its "current channel" item means.
    std::optional<QPoint> picture_menu_point_;
};

}  // namespace velmora
