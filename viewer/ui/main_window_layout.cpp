// Where the main window's parts go, and the single- and double-screen modes.
#include <QResizeEvent>
#include <QTimer>

#include "caption_bar.h"
#include "main_layout.h"
#include "model/engine_host.h"
#include "skin/skin_button.h"
#include "skin/skin_static.h"
#include "skin/slide_button.h"
#include "splitter_button.h"
#include "ui/car_info_panel.h"
#include "ui/dashboard_panel.h"
#include "ui/main_window.h"
#include "ui/map_view.h"
#include "ui/video_view.h"

namespace velmora {

namespace {

constexpr int kMapRefreshNothingPlaying = 4;

}  // namespace

void MainWindow::resizeEvent(QResizeEvent* event) {
    lay_out();
    QWidget::resizeEvent(event);
}

void MainWindow::lay_out() {
    if (control_bar_ == nullptr) return;
    const MainLayout m = compute_main_layout(width(), height());
    caption_->setGeometry(m.caption);
    int x = caption_->menu_left();
    for (SkinMenuText* title : menu_titles_) {
        const int w = title->fontMetrics().horizontalAdvance(title->text()) + 20;
        title->setGeometry(x, 1, w, m.caption.height() - 2);
        x += w + 2;
    }
    toolbar_->setGeometry(m.toolbar);
    video_->setGeometry(m.video);
    control_bar_->setGeometry(m.control_bar);
    status_->setGeometry(m.bar.status);
    plate_->setGeometry(m.bar.plate);
    time_->setGeometry(m.bar.time);
    progress_->setGeometry(m.bar.progress);
    volume_->setGeometry(m.bar.volume);
    place_buttons(m);
    dashboard_->setGeometry(m.dashboard);
    apply_side_layout();
    frame_->setGeometry(rect());
    frame_->raise();
    update();
}

void MainWindow::place_buttons(const MainLayout& m) {
    for (const Command& command : command_table()) {
        const ButtonPlacement& place = command.button;
        const auto slot = static_cast<size_t>(place.slot);
        if (place.bar == ButtonBar::Toolbar)
            button(command.id)->setGeometry(m.toolbar_slots[slot].translated(0, -m.toolbar.y()));
        else if (place.bar == ButtonBar::ControlBar)
            button(command.id)->setGeometry(m.bar.button_slots[slot]);
    }
}

// The current mode's arrangement is applied on every size change, so the panel never keeps a
// place computed for another size.
void MainWindow::apply_side_layout() {
    const MainLayout m = compute_main_layout(width(), height());
    const bool panel_here = single_screen_ && panel_in_main_;
    const SideLayout side = compute_side_layout(m, width(), panel_here, panel_collapsed_);
    if (panel_here) {
        info_panel_->setGeometry(side.panel);
        info_panel_->setVisible(side.panel.width() > 0);
        splitter_->setGeometry(side.splitter);
        splitter_->show();
    } else {
        splitter_->hide();
    }
    map_caption_->setGeometry(side.map_caption);
    map_view_->setGeometry(side.browser);
}

void MainWindow::set_layout_mode(bool single_screen) {
    if (single_screen == single_screen_) return;
    single_screen_ = single_screen;
    session_->set_single_screen(single_screen);
    if (single_screen) {
        panel_collapsed_ = false;
        info_panel_->setParent(this);
        panel_in_main_ = true;
        info_panel_->show();
        map_window_->hide();
    } else {
        panel_in_main_ = false;
        map_window_->take_panel(info_panel_);
        map_window_->show();
        if (engine_.engine().zTellStatusType() == KIVRA_STATUS_OPENED) {
            QTimer::singleShot(10, this,
                               [this] { request_map_refresh(kMapRefreshNothingPlaying); });
        }
    }
    map_window_->map()->call(QStringLiteral("ClearAll_O"));
    info_panel_->clear_selection();
    refresh_checks();
    lay_out();
    frame_->raise();
}

void MainWindow::toggle_panel() {
    if (!single_screen_ || !panel_in_main_) return;
    panel_collapsed_ = !panel_collapsed_;
    apply_side_layout();
}

}  // namespace velmora
