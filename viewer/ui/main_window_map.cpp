// The main window's side of the map pages: what their clicks ask of the session, and the
// vehicle marks the vehicle list's selection puts on the right page and its removals take off.
#include <cstdio>

#include "model/engine_host.h"
#include "model/vehicle_record.h"
#include "skin/skin_static.h"
#include "ui/car_info_panel.h"
#include "ui/car_list_box.h"
#include "ui/main_window.h"
#include "ui/map_view.h"

namespace velmora {

namespace {

constexpr int kPushDelivered = 200;

// The page's names for the vehicle states 0..3; other states have none.
QString status_text(int32_t state) {
    switch (state) {
        case vehicle_state::kOffline:
            return QStringLiteral("offline");
        case vehicle_state::kOnline:
            return QStringLiteral("online");
        case vehicle_state::kConnected:
            return QStringLiteral("connect");
        case vehicle_state::kOnlineEvent:
            return QStringLiteral("warning");
        default:
            return QString();
    }
}

QString address_text(const std::array<uint8_t, 6>& address) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", address[0], address[1],
                  address[2], address[3], address[4], address[5]);
    return QString::fromLatin1(text);
}

}  // namespace

void MainWindow::connect_map_bridge() {
    connect(map_view_, &MapView::seek_to_time_requested, this,
            [this](quint32 time) { session_->seek_to_time(time); });
    connect(map_view_, &MapView::quick_record_requested, this,
            [this](quint32 record) { session_->play_quick_entry(record); });
    connect(map_view_, &MapView::push_answered, this, &MainWindow::answer_map_push);
    connect(info_panel_->list(), &CarListBox::selection_changed, this,
            [this](VehicleRecord* record) { show_vehicle_on_map(record); });
    connect(info_panel_->list(), &CarListBox::removed, this, &MainWindow::remove_vehicle_from_map);
}

void MainWindow::answer_map_push(int status) {
    if (status == kPushDelivered) return;
    char line[48];
    std::snprintf(line, sizeof line, "GCM push fail(%d)", status);
    log(line);
}

// The page that shows the vehicles: in single screen the main page, only while nothing plays
// (during playback, paused too, it shows the track); in double screen the map window's page,
// always. Null when the vehicles are not to be shown now.
MapView* MainWindow::vehicle_map_page() const {
    if (!single_screen_) return map_window_->map();
    const int32_t status = engine_.engine().zTellStatusType();
    const bool nothing_playing = status == KIVRA_STATUS_OPENED || status == KIVRA_STATUS_STOPPED;
    return nothing_playing ? map_view_ : nullptr;
}

// Null: no vehicle selected any more.
void MainWindow::show_vehicle_on_map(const VehicleRecord* record) {
    MapView* page = vehicle_map_page();
    if (page == nullptr) return;
    const auto set_caption = [this](const QString& text) {
        single_screen_ ? map_caption_->set_text(text) : map_window_->set_caption(text);
    };
    if (record == nullptr) {
        set_caption(QStringLiteral(" "));
        return;
    }
    const QString latitude = QString::fromStdString(record->latitude);
    const QString longitude = QString::fromStdString(record->longitude);
    const QString address = address_text(record->address);
    const QString name = QString::fromStdU16String(record->name);
    set_caption(QStringLiteral("%1:%2,%3:%4")
                    .arg(text("IDC_STATIC_LO"), longitude, text("IDC_STATIC_LA"), latitude));
    page->call(QStringLiteral("ModifyMark_O"),
               {status_text(record->state), address, name, latitude, longitude});
    // The vehicle just selected is the one to centre on.
    page->call(QStringLiteral("FindAndPanto_O"), {name, address});
}

void MainWindow::remove_vehicle_from_map(const VehicleRecord& record) {
    MapView* page = vehicle_map_page();
    if (page == nullptr) return;
    page->call(QStringLiteral("DelMark_O"),
               {QString::fromStdU16String(record.name), address_text(record.address)});
}

}  // namespace velmora
