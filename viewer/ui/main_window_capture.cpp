// Snapshots (the video area, the channel under the pointer, the whole screen), the picture
// pop-up of the video area, and screen recording.
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QtMath>

#include "engine_bridge.h"
#include "model/capture_area.h"
#include "model/directories.h"
#include "model/engine_host.h"
#include "model/operation_log.h"
#include "skin/skin_button.h"
#include "ui/main_window.h"
#include "ui/video_view.h"

namespace velmora {

namespace {

constexpr int kJpegQuality = 90;  // as the engine writes the video area's pictures
// The pop-up has just gone; the windows under it need a moment to paint again before the
// screen is read.
constexpr int kScreenSettleMs = 200;
constexpr const char* kWholeScreenUnreadable = "IDS_STRING448";

// Programs may read the whole screen under X11 and Windows. A Wayland compositor lets no
// client read other windows, and the offscreen and VNC platforms have no desktop to read.
bool whole_screen_readable() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("windows");
}

// A new file only: a file of that name appearing since the name was chosen stays untouched.
bool write_new_jpeg(const QImage& picture, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    const bool written = picture.save(&file, "JPG", kJpegQuality) && file.flush();
    file.close();
    if (written && file.error() == QFileDevice::NoError) return true;
    file.remove();
    return false;
}

}  // namespace

std::string MainWindow::picture_dir() const {
    return expand_home(ctx_.config.jpeg_dir);
}

void MainWindow::snapshot_video_area() {
    const QSize canvas = video_->canvas_size();
    session_->take_snapshot(video_area(canvas.width(), canvas.height()),
                            telemetry_feed().snapshot().time, picture_dir(), local_time_now());
}

// The pop-up's point when the pop-up asked: by the time its item is chosen the pointer is on
// the item, not on the channel.
void MainWindow::snapshot_channel() {
    const QPoint global = picture_menu_point_.value_or(QCursor::pos());
    picture_menu_point_.reset();
    const QSize canvas = video_->canvas_size();
    const QPointF point = video_->mapFromGlobal(QPointF(global)) * video_->devicePixelRatioF();
    const EngineApi& engine = engine_.engine();
    const std::optional<CaptureArea> area =
        channel_area(canvas.width(), canvas.height(), qFloor(point.x()), qFloor(point.y()),
                     engine.zTellScreenNum(), engine.zTellDivStatus(), engine.zTellFullScreenIdx());
    if (!area) return;
    session_->take_snapshot(*area, telemetry_feed().snapshot().time, picture_dir(),
                            local_time_now());
}

// The engine sees only its own canvas, so the window reads the screen itself.
void MainWindow::snapshot_whole_screen() {
    if (!whole_screen_readable()) {
        message_sink(text(kWholeScreenUnreadable));
        return;
    }
    QTimer::singleShot(kScreenSettleMs, this, [this] {
        QScreen* shown_on = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
        const QImage shot = shown_on != nullptr ? shown_on->grabWindow(0).toImage() : QImage();
        const std::string path =
            shot.isNull() ? std::string()
                          : session_->prepare_snapshot_path(picture_dir(), local_time_now());
        session_->snapshot_written(!path.empty() &&
                                   write_new_jpeg(shot, QString::fromStdString(path)));
    });
}

// Only over a recording whose channels are known; "all channels" is no choice while one
// channel fills the area.
void MainWindow::show_picture_menu(QPoint global) {
    const EngineApi& engine = engine_.engine();
    const int32_t screen_count = engine.zTellScreenNum();
    if (screen_count == KIVRA_UNKNOWN) return;
    action(CommandId::SaveAllChannelPictures)
        ->setEnabled(!one_channel_fills_area(screen_count, engine.zTellFullScreenIdx()));
    picture_menu_point_ = global;
    menu(MenuId::Picture)->popup(global);
}

void MainWindow::start_screen_recording() {
    session_->start_screen_recording(expand_home(ctx_.config.screen_capture_dir), local_time_now());
}

void MainWindow::stop_screen_recording() {
    session_->stop_screen_recording();
}

void MainWindow::show_recording_buttons(bool recording) {
    SkinButton* start = button(CommandId::ScreenRecordButton);
    SkinButton* stop = button(CommandId::StopScreenRecordButton);
    start->setVisible(!recording);
    start->setEnabled(!recording);
    stop->setVisible(recording);
    stop->setEnabled(recording);
    toolbar_->repaint();
}

}  // namespace velmora
