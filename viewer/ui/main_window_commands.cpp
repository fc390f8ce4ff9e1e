// The main window's command table, and the menus, buttons and keys made from it.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <algorithm>

#include "caption_bar.h"
#include "lang/language_table.h"
#include "model/engine_host.h"
#include "model/operation_log.h"
#include "skin/artwork.h"
#include "skin/skin_button.h"
#include "skin/skin_static.h"
#include "skin/slide_button.h"
#include "skin/theme.h"
#include "ui/about_dialog.h"
#include "ui/car_info_panel.h"
#include "ui/car_list_box.h"
#include "ui/dashboard_panel.h"
#include "ui/log_manager_dialog.h"
#include "ui/main_window.h"
#include "ui/map_view.h"
#include "ui/other_settings_dialog.h"

namespace velmora {

namespace {

using W = MainWindow;
using Id = CommandId;
using Menu = MenuId;

template <void (PlayerSession::*Control)()>
void session_control(MainWindow& window, const Command&) {
    (window.session().*Control)();
}

constexpr ButtonPlacement toolbar(int slot, int artwork) {
    return {ButtonBar::Toolbar, slot, artwork};
}
constexpr ButtonPlacement control_bar(int slot, int artwork) {
    return {ButtonBar::ControlBar, slot, artwork};
}

// The five title menus, in the caption's order.
constexpr MenuId kTitleMenus[] = {Menu::File, Menu::Windows, Menu::Control, Menu::Settings,
                                  Menu::Help};

constexpr MenuPlan kMenus[] = {
    {Menu::File, Menu::None, "ID_MENU_FILE"},
    {Menu::Windows, Menu::None, "ID_MENU_WINDOW"},
    {Menu::Layout, Menu::Windows, "ID_MENU_WINDOW_TYPE", true},
    {Menu::Wave, Menu::Windows, "ID_MENU_WAVE"},
    {Menu::GRange, Menu::Wave, "ID_MENU_GSENSOR", true},
    {Menu::SpeedRange, Menu::Wave, "IDC_STATIC_S", true},
    {Menu::TemperatureRange, Menu::Wave, "IDC_STATIC_G3", true},
    {Menu::Unit, Menu::Windows, "ID_MENU_UNIT_SETTING"},
    {Menu::SpeedUnit, Menu::Unit, "ID_MENU_SPEED_PER_HOUR_UNIT", true},
    {Menu::TemperatureUnit, Menu::Unit, "ID_MENU_TEMPERATRUE_UNIT", true},
    {Menu::PressureUnit, Menu::Unit, "ID_MENU_PRESSURE_UNIT", true},
    {Menu::MapType, Menu::Unit, "ID_MENU_MAP_TYPE", true},
    {Menu::Control, Menu::None, "ID_MENU_CONTROL"},
    {Menu::Settings, Menu::None, "ID_MENU_SETTING"},
    {Menu::Help, Menu::None, "ID_MENU_HELP"},
    {Menu::Picture, Menu::None, nullptr},
};

}  // namespace

std::span<const MenuPlan> MainWindow::menu_plan() {
    return kMenus;
}

// Menu items and buttons that do the same share a handler; a radio item's value is what it
// stands for.
std::span<const Command> MainWindow::command_table() {
    static constexpr auto open_file = [](W& w, const Command&) { w.choose_open_file(); };
    static constexpr auto search_hdd = [](W& w, const Command&) { w.session_->search_disk(false); };
    static constexpr auto search_sd = [](W& w, const Command&) { w.session_->search_disk(true); };
    static constexpr auto close_source = [](W& w, const Command&) { w.session_->close_source(); };
    static constexpr auto disk_image = [](W& w, const Command& c) { w.choose_image(c, false); };
    static constexpr auto card_image = [](W& w, const Command& c) { w.choose_image(c, true); };
    static constexpr auto layout = [](W& w, const Command& c) { w.set_layout_mode(c.value == 1); };
    static constexpr auto g_range = [](W& w, const Command& c) {
        w.g_range_ = c.value;
        w.dashboard_->set_g_range(c.value);
    };
    static constexpr auto speed_range = [](W& w, const Command& c) {
        w.speed_range_ = c.value;
        w.dashboard_->set_speed_range(c.value);
    };
    static constexpr auto temperature_range = [](W& w, const Command& c) {
        w.temperature_range_ = c.value;
        w.dashboard_->set_temperature_range(c.value);
    };
    static constexpr auto speed_unit = [](W& w, const Command& c) {
        w.set_unit(UnitKind::Speed, c.value);
    };
    static constexpr auto temperature_unit = [](W& w, const Command& c) {
        w.set_unit(UnitKind::Temperature, c.value);
    };
    static constexpr auto pressure_unit = [](W& w, const Command& c) {
        w.set_unit(UnitKind::Pressure, c.value);
    };
    static constexpr auto map_type = [](W& w, const Command& c) { w.set_map_type(c.value); };
    static constexpr auto log_manager = [](W& w, const Command&) { w.show_log_manager(); };
    static constexpr auto settings = [](W& w, const Command&) { w.show_settings(); };
    static constexpr auto about = [](W& w, const Command&) { w.show_about(); };
    static constexpr auto find_play = [](W& w, const Command&) { w.show_find_dialog(); };
    static constexpr auto add_recorder = [](W& w, const Command&) { w.add_recorder(); };
    static constexpr auto extract = [](W& w, const Command&) { w.show_extract_dialog(); };
    static constexpr auto splitter = [](W& w, const Command&) { w.toggle_panel(); };
    static constexpr auto record = [](W& w, const Command&) { w.start_screen_recording(); };
    static constexpr auto stop_record = [](W& w, const Command&) { w.stop_screen_recording(); };
    static constexpr auto snapshot_all = [](W& w, const Command&) { w.snapshot_video_area(); };
    static constexpr auto snapshot_one = [](W& w, const Command&) { w.snapshot_channel(); };
    static constexpr auto snapshot_screen = [](W& w, const Command&) { w.snapshot_whole_screen(); };
    using P = PlayerSession;

    // One row per command; kept one or two lines a row, as a table reads.
    // clang-format off
    static const Command kCommands[] = {
        // File menu and toolbar
        {.id = Id::OpenFile, .text_key = "ID_MENU_OPENFILE", .menu = Menu::File,
         .handler = open_file},
        {.id = Id::SearchHdd, .text_key = "ID_MENU_SEARCH_HDD", .menu = Menu::File,
         .handler = search_hdd},
        {.id = Id::SearchSd, .text_key = "ID_MENU_SEARCH_SD", .menu = Menu::File,
         .handler = search_sd},
        {.id = Id::OpenDiskImage, .text_key = "ID_MENU_OPEN_HDD_IMAGE", .menu = Menu::File,
         .handler = disk_image},
        {.id = Id::OpenCardImage, .text_key = "ID_MENU_OPEN_SD_IMAGE", .menu = Menu::File,
         .handler = card_image},
        {.id = Id::CloseSource, .text_key = "ID_MENU_CLOSE", .menu = Menu::File,
         .handler = close_source},
        {.id = Id::OpenFileButton, .text_key = "ID_MENU_OPENFILE",
         .button = toolbar(0, art::kOpenFile), .handler = open_file},
        {.id = Id::SearchHddButton, .text_key = "ID_MENU_SEARCH_HDD",
         .button = toolbar(1, art::kSearchHdd), .handler = search_hdd},
        {.id = Id::SearchSdButton, .text_key = "ID_MENU_SEARCH_SD",
         .button = toolbar(2, art::kSearchSd), .handler = search_sd},
        {.id = Id::CloseSourceButton, .text_key = "ID_MENU_CLOSE",
         .button = toolbar(3, art::kCloseSource), .handler = close_source},
        {.id = Id::FindPlayButton, .text_key = "ID_MENU_FINDLOCATE",
         .button = toolbar(4, art::kFindPlay), .handler = find_play},
        {.id = Id::ScreenRecordButton, .text_key = "ID_MENU_SCREEN_RECORD",
         .button = toolbar(5, art::kScreenRecord), .handler = record},
        {.id = Id::StopScreenRecordButton, .text_key = "IDS_STRING216",
         .button = toolbar(5, art::kStopScreenRecord), .handler = stop_record},
        // The talkback buttons answer press and release, not clicks.
        {.id = Id::TalkOpenButton, .text_key = "IDS_STRING217",
         .button = toolbar(6, art::kTalkOpen)},
        {.id = Id::TalkCloseButton, .text_key = "IDS_STRING218",
         .button = toolbar(6, art::kTalkClose)},
        // Windows menu
        {.id = Id::SingleScreen, .text_key = "ID_MENU_SIGDISP", .menu = Menu::Layout, .value = 1,
         .handler = layout},
        {.id = Id::DoubleScreen, .text_key = "ID_MENU_DBLDISP", .menu = Menu::Layout, .value = 0,
         .handler = layout},
        {.id = Id::GRange2, .label = "\u00b12 g", .menu = Menu::GRange, .value = 2,
         .handler = g_range},
        {.id = Id::GRange4, .label = "\u00b14 g", .menu = Menu::GRange, .value = 4,
         .handler = g_range},
        {.id = Id::GRange6, .label = "\u00b16 g", .menu = Menu::GRange, .value = 6,
         .handler = g_range},
        {.id = Id::GRange8, .label = "\u00b18 g", .menu = Menu::GRange, .value = 8,
         .handler = g_range},
        {.id = Id::SpeedRange50, .label = "0~50", .menu = Menu::SpeedRange, .value = 50,
         .handler = speed_range},
        {.id = Id::SpeedRange100, .label = "0~100", .menu = Menu::SpeedRange, .value = 100,
         .handler = speed_range},
        {.id = Id::SpeedRange150, .label = "0~150", .menu = Menu::SpeedRange, .value = 150,
         .handler = speed_range},
        {.id = Id::SpeedRange200, .label = "0~200", .menu = Menu::SpeedRange, .value = 200,
         .handler = speed_range},
        {.id = Id::SpeedRange300, .label = "0~300", .menu = Menu::SpeedRange, .value = 300,
         .handler = speed_range},
        {.id = Id::TemperatureRange50, .label = "-50\u2103~+50\u2103",
         .menu = Menu::TemperatureRange, .value = 50, .handler = temperature_range},
        {.id = Id::TemperatureRange100, .label = "-50\u2103~+100\u2103",
         .menu = Menu::TemperatureRange, .value = 100, .handler = temperature_range},
        {.id = Id::SpeedKm, .label = "KM", .menu = Menu::SpeedUnit, .value = 0,
         .handler = speed_unit},
        {.id = Id::SpeedMile, .label = "Mile", .menu = Menu::SpeedUnit, .value = 1,
         .handler = speed_unit},
        {.id = Id::Celsius, .label = "\u2103", .menu = Menu::TemperatureUnit, .value = 0,
         .handler = temperature_unit},
        {.id = Id::Fahrenheit, .label = "\u2109", .menu = Menu::TemperatureUnit, .value = 1,
         .handler = temperature_unit},
        // kPa (1) has no item.
        {.id = Id::PressurePsi, .label = "PSI", .menu = Menu::PressureUnit, .value = 0,
         .handler = pressure_unit},
        {.id = Id::GoogleMaps, .label = "Google", .menu = Menu::MapType, .value = 0,
         .handler = map_type},
        {.id = Id::YandexMaps, .label = "Yandex", .menu = Menu::MapType, .value = 1,
         .handler = map_type},
        // Control, Settings and Help menus
        {.id = Id::FindPlay, .text_key = "ID_MENU_FINDLOCATE", .menu = Menu::Control,
         .handler = find_play},
        {.id = Id::ScreenRecord, .text_key = "ID_MENU_SCREEN_RECORD", .menu = Menu::Control,
         .handler = record},
        {.id = Id::AddRecorder, .text_key = "ID_CARMENU_ADD_RECORDER", .menu = Menu::Control,
         .handler = add_recorder},
        {.id = Id::OperationLog, .text_key = "ID_MENU_LOG_MGR", .menu = Menu::Settings,
         .handler = log_manager},
        {.id = Id::OtherSettings, .text_key = "ID_MENU_OTHER", .menu = Menu::Settings,
         .handler = settings},
        {.id = Id::About, .text_key = "ID_MENU_ABOUT", .menu = Menu::Help, .handler = about},
        // Picture pop-up
        {.id = Id::SaveChannelPicture, .text_key = "ID_PIC_SAVECURRENT", .menu = Menu::Picture,
         .handler = snapshot_one},
        {.id = Id::SaveAllChannelPictures, .text_key = "ID_PIC_SAVEALL", .menu = Menu::Picture,
         .handler = snapshot_all},
        {.id = Id::SaveFullScreenPicture, .text_key = "ID_PIC_SAVESCREEN", .menu = Menu::Picture,
         .handler = snapshot_screen},
        // Control bar
        {.id = Id::Play, .text_key = "IDS_STRING219", .button = control_bar(0, art::kPlay),
         .handler = session_control<&P::play>},
        {.id = Id::Pause, .text_key = "IDS_STRING220", .button = control_bar(0, art::kPause),
         .handler = session_control<&P::pause>},
        {.id = Id::StepBackward, .text_key = "IDS_STRING221",
         .button = control_bar(1, art::kStepBackward),
         .handler = session_control<&P::step_backward>},
        {.id = Id::StepForward, .text_key = "IDS_STRING222",
         .button = control_bar(2, art::kStepForward), .handler = session_control<&P::step_forward>},
        {.id = Id::FastBackward, .text_key = "IDS_STRING223",
         .button = control_bar(3, art::kFastBackward),
         .handler = session_control<&P::fast_backward>},
        {.id = Id::FastForward, .text_key = "IDS_STRING224",
         .button = control_bar(4, art::kFastForward), .handler = session_control<&P::fast_forward>},
        {.id = Id::Stop, .text_key = "IDS_STRING225", .button = control_bar(5, art::kStop),
         .handler = session_control<&P::stop>},
        {.id = Id::Extract, .text_key = "IDS_STRING226", .button = control_bar(6, art::kExtract),
         .handler = extract},
        {.id = Id::Capture, .text_key = "IDS_STRING227", .button = control_bar(7, art::kCapture),
         .handler = snapshot_all},
        {.id = Id::Channels, .text_key = "IDS_STRING273", .button = control_bar(8, art::kChannels),
         .handler = session_control<&P::next_division>},
        {.id = Id::TurnAudioOff, .text_key = "IDS_STRING228",
         .button = control_bar(9, art::kAudioOn), .handler = session_control<&P::audio_off>},
        {.id = Id::TurnAudioOn, .text_key = "IDS_STRING229",
         .button = control_bar(9, art::kAudioOff), .handler = session_control<&P::audio_on>},
        {.id = Id::Splitter, .handler = splitter},
        // Keys
        {.id = Id::PlayOrPauseKey, .key = Qt::Key_Space,
         .handler = session_control<&P::toggle_play_pause>},
        {.id = Id::LeftKey, .key = Qt::Key_Left, .handler = session_control<&P::arrow_left>},
        {.id = Id::RightKey, .key = Qt::Key_Right, .handler = session_control<&P::arrow_right>},
    };
    // clang-format on
    return kCommands;
}

void MainWindow::run_command(CommandId id) {
    const auto table = command_table();
    const auto row = std::find_if(table.begin(), table.end(),
                                  [id](const Command& command) { return command.id == id; });
    if (row == table.end() || row->handler == nullptr) return;
    row->handler(*this, *row);
    if (row->menu != MenuId::None) {
        refresh_checks();
        update();
    }
}

const Command* MainWindow::command_for_key(int key) const {
    for (const Command& command : command_table()) {
        if (command.key != 0 && command.key == key) return &command;
    }
    return nullptr;
}

// ---- buttons ------------------------------------------------------------------------------

void MainWindow::build_buttons() {
    for (const Command& command : command_table()) {
        const ButtonPlacement& place = command.button;
        if (place.bar == ButtonBar::None) continue;
        QWidget* bar = place.bar == ButtonBar::Toolbar ? toolbar_ : control_bar_;
        auto* made = new SkinButton(static_cast<int>(command.id), place.artwork, bar);
        made->setObjectName(QString::number(static_cast<int>(command.id)));
        made->setFocusPolicy(Qt::NoFocus);
        buttons_[command.id] = made;
        const CommandId id = command.id;
        connect(made, &QAbstractButton::clicked, this, [this, id] { run_command(id); });
    }
    // Talkback is not built yet; the stop-recording, Pause and audio-on buttons share their
    // places with the record, Play and audio-off buttons, which show first.
    for (CommandId hidden : {CommandId::StopScreenRecordButton, CommandId::TalkOpenButton,
                             CommandId::TalkCloseButton, CommandId::Pause, CommandId::TurnAudioOn})
        button(hidden)->hide();
    button(CommandId::StopScreenRecordButton)->setEnabled(false);
    button(CommandId::Pause)->setEnabled(false);
    button(CommandId::TurnAudioOn)->setEnabled(false);
}

SkinButton* MainWindow::button(CommandId id) const {
    const auto found = buttons_.find(id);
    return found == buttons_.end() ? nullptr : found->second;
}

void MainWindow::retranslate_tooltips() {
    for (const Command& command : command_table()) {
        if (SkinButton* made = button(command.id)) made->setToolTip(text(command.text_key));
    }
    volume_->setToolTip(text("IDS_STRING230"));
}

// ---- menus --------------------------------------------------------------------------------

void MainWindow::build_menus() {
    for (const MenuPlan& plan : menu_plan()) {
        QMenu* made = plan.parent == MenuId::None ? new QMenu(this)
                                                  : menus_.at(plan.parent)->addMenu(QString());
        menus_[plan.id] = made;
        // One exclusive group per radio menu: Qt then draws its marks as radio marks.
        if (plan.radio) new QActionGroup(made);
    }
    for (const Command& command : command_table()) {
        if (command.menu == MenuId::None) continue;
        QMenu* owner = menus_.at(command.menu);
        QAction* action = owner->addAction(QString());
        actions_[command.id] = action;
        if (auto* group = owner->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly)) {
            action->setCheckable(true);
            group->addAction(action);
        }
        const CommandId id = command.id;
        connect(action, &QAction::triggered, this, [this, id] { run_command(id); });
    }
    for (size_t i = 0; i < menu_titles_.size(); ++i) {
        QMenu* title_menu = menu(kTitleMenus[i]);
        connect(title_menu, &QMenu::aboutToShow, this, &MainWindow::refresh_checks);
        connect(menu_titles_[i], &SkinMenuText::clicked, this, [this, i, title_menu] {
            SkinMenuText* title = menu_titles_[i];
            title_menu->popup(title->mapToGlobal(QPoint(0, title->height())));
        });
    }
}

QAction* MainWindow::action(CommandId id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

QMenu* MainWindow::menu(MenuId id) const {
    const auto found = menus_.find(id);
    return found == menus_.end() ? nullptr : found->second;
}

void MainWindow::retranslate_menus() {
    for (const Command& command : command_table()) {
        QAction* item = action(command.id);
        if (item == nullptr) continue;
        item->setText(command.text_key != nullptr ? text(command.text_key)
                                                  : QString::fromUtf8(command.label));
    }
    for (const MenuPlan& plan : menu_plan()) {
        if (plan.parent != MenuId::None) menu(plan.id)->setTitle(text(plan.title_key));
    }
    for (size_t i = 0; i < menu_titles_.size(); ++i) {
        const MenuPlan& plan = *std::find_if(
            kMenus, std::end(kMenus), [i](const MenuPlan& p) { return p.id == kTitleMenus[i]; });
        menu_titles_[i]->set_text(text(plan.title_key), theme::kText, theme::kAccent);
    }
    lay_out();
}

// The value each radio group stands at now.
int MainWindow::current_choice(MenuId radio_menu) const {
    switch (radio_menu) {
        case MenuId::Layout:
            return single_screen_ ? 1 : 0;
        case MenuId::GRange:
            return g_range_;
        case MenuId::SpeedRange:
            return speed_range_;
        case MenuId::TemperatureRange:
            return temperature_range_;
        case MenuId::SpeedUnit:
            return ctx_.config.miles_per_hour() ? 1 : 0;
        case MenuId::TemperatureUnit:
            return ctx_.config.fahrenheit() ? 1 : 0;
        case MenuId::PressureUnit:
            return ctx_.config.kilopascal() ? 1 : 0;
        case MenuId::MapType:
            return ctx_.config.yandex_maps() ? 1 : 0;
        default:
            return -1;
    }
}

void MainWindow::refresh_checks() {
    for (const Command& command : command_table()) {
        QAction* item = action(command.id);
        if (item != nullptr && item->isCheckable())
            item->setChecked(command.value == current_choice(command.menu));
    }
}

void MainWindow::apply_language() {
    event_type_names_ = velmora::event_type_names(*ctx_.texts);
    retranslate_tooltips();
    retranslate_menus();
    info_panel_->list()->viewport()->update();
}

// ---- handlers -----------------------------------------------------------------------------

void MainWindow::choose_open_file() {
    const QString path = file_dialog();
    if (!path.isEmpty()) open_path(path);
}

void MainWindow::choose_image(const Command& command, bool sd_card) {
    const QString path = image_dialog(text(command.text_key));
    if (!path.isEmpty()) session_->open_image(path.toStdString(), sd_card);
}

void MainWindow::open_path(const QString& path) {
    session_->open_file(path.toStdString());
}

void MainWindow::set_unit(UnitKind kind, int value) {
    switch (kind) {
        case UnitKind::Speed:
            ctx_.config.speed_unit = value;
            dashboard_->set_speed_unit(value);
            break;
        case UnitKind::Temperature:
            ctx_.config.temperature_unit = value;
            dashboard_->set_temperature_unit(value);
            break;
        case UnitKind::Pressure:
            ctx_.config.pressure_unit = value;
            dashboard_->set_pressure_unit(value);
            break;
    }
    write_unit_setting(ctx_.config_path, kind, value);
}

void MainWindow::set_map_type(int map_type) {
    ctx_.config.map_type = map_type;
    map_view_->load(map_page_url("gis.html", "yandex.html"));
    map_window_->map()->load(map_page_url("gis.html", "yandex.html"));
    write_map_type(ctx_.config_path, map_type);
}

void MainWindow::show_log_manager() {
    LogManagerDialog dialog(OperationLog::instance().directory(), *ctx_.texts, this);
    dialog.exec();
}

void MainWindow::show_settings() {
    OtherSettingsDialog dialog(
        ctx_.config, *ctx_.texts, ctx_.config_path, ctx_.lang_dir, [this] { apply_language(); },
        this);
    dialog.message_sink = message_sink;
    dialog.exec();
}

void MainWindow::show_about() {
    std::array<std::string, 3> engine_info;
    std::array<std::string, 3> extract_info;
    char version[24] = {}, time[24] = {}, date[24] = {};
    engine_.engine().KivraInfo(version, time, date);
    engine_info = {version, time, date};
    char e_version[24] = {}, e_time[24] = {}, e_date[24] = {};
    if (engine_.extract().zExtractInfo != nullptr) {
        engine_.extract().zExtractInfo(e_version, e_time, e_date);
        extract_info = {e_version, e_time, e_date};
    }
    AboutDialog dialog(
        QStringLiteral("VelmoraPlayer version %1").arg(QStringLiteral(FLEET_VERSION)), extract_info,
        engine_info, this);
    dialog.set_title(text("ID_MENU_ABOUT"));
    dialog.exec();
}

}  // namespace velmora
