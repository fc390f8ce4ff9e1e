// The main window's widgets, its start and shutdown, the engine's reports and keys, and what it
// renders for the session. Commands and menus are in main_window_commands.cpp, the layout in
// main_window_layout.cpp.
#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "caption_bar.h"
#include "engine_bridge.h"
#include "lang/language_table.h"
#include "main_layout.h"
#include "model/directories.h"
#include "model/engine_host.h"
#include "model/operation_log.h"
#include "skin/artwork.h"
#include "skin/skin_button.h"
#include "skin/skin_static.h"
#include "skin/slide_button.h"
#include "skin/theme.h"
#include "splitter_button.h"
#include "ui/car_info_panel.h"
#include "ui/car_list_box.h"
#include "ui/dashboard_panel.h"
#include "ui/extract_dialog.h"
#include "ui/find_dialog.h"
#include "ui/map_view.h"
#include "ui/video_view.h"

namespace velmora {

namespace {

constexpr int kMapRefreshClearMarks = 4;

constexpr int kMenuTitleCount = 5;
constexpr int kFirstMenuTitleId = 10029;

QString from_utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool headless_messages() {
    return qEnvironmentVariableIsSet("VELMORA_NONINTERACTIVE");
}

QWidget* make_bar(QWidget* parent, const QString& name) {
    auto* bar = new QWidget(parent);
    bar->setObjectName(name);
    bar->setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, theme::kPanel);
    bar->setPalette(palette);
    return bar;
}

}  // namespace

MainWindow::MainWindow(ViewerContext& context, EngineHost& engine, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ctx_(context), engine_(engine) {
    setObjectName(QStringLiteral("VelmoraPlayer"));
    setWindowTitle(QStringLiteral("VelmoraPlayer"));
    setWindowIcon(app_icon());
    setMinimumSize(kMinWindowWidth, kMinWindowHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    message_sink = [this](const QString& text) {
        if (headless_messages()) {
            qWarning("%s", qPrintable(text));
            return;
        }
        QMessageBox::information(this, QStringLiteral("VelmoraPlayer"), text);
    };
    question_sink = [this](const QString& text) {
        if (headless_messages()) return true;
        return QMessageBox::question(this, QStringLiteral("VelmoraPlayer"), text,
                                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
    file_dialog = [this] {
        return QFileDialog::getOpenFileName(
            this, QString(), QStringLiteral("*.dvr"),
            QStringLiteral("Dvr Files (*.dvr *.DVR);;All Files (*)"));
    };
    // Images are written by tools and copied off recorders under any name, so every file shows.
    image_dialog = [this](const QString& title) {
        return QFileDialog::getOpenFileName(this, title, QString(),
                                            QStringLiteral("All Files (*)"));
    };
    session_ = std::make_unique<PlayerSession>(engine_.engine(), static_cast<SessionView&>(*this),
                                               *ctx_.texts);
    session_->source_closed = [this] { tell_dialogs_source_closed(); };
    event_type_names_ = velmora::event_type_names(*ctx_.texts);
    build_widgets();
    build_buttons();
    build_menus();
    retranslate_tooltips();
    retranslate_menus();
    refresh_checks();
    resize(kMinWindowWidth, kMinWindowHeight);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    shutdown();
}

// What the dialogs read from a source means nothing for the next one: Find rows would seek
// into it, the extract sliders name units of another index.
void MainWindow::tell_dialogs_source_closed() {
    if (find_dialog_ != nullptr) find_dialog_->source_closed();
    if (extract_dialog_ != nullptr) extract_dialog_->source_closed();
}

QString MainWindow::text(const char* key) const {
    return from_utf8(ctx_.texts->text(key));
}

void MainWindow::build_widgets() {
    caption_ = new CaptionBar(this);
    caption_->set_title(QStringLiteral("VelmoraPlayer"));
    connect(caption_, &CaptionBar::close_clicked, this, &QWidget::close);
    connect(caption_, &CaptionBar::minimise_clicked, this, &QWidget::showMinimized);
    connect(caption_, &CaptionBar::maximise_clicked, this,
            [this] { isMaximized() ? showNormal() : showMaximized(); });
    for (int i = 0; i < kMenuTitleCount; ++i) {
        auto* title = new SkinMenuText(kFirstMenuTitleId + i, caption_);
        title->setObjectName(QString::number(kFirstMenuTitleId + i));
        menu_titles_[static_cast<size_t>(i)] = title;
    }
    toolbar_ = make_bar(this, QStringLiteral("10028"));

    video_ = new VideoView(this);
    connect(video_, &VideoView::double_clicked, this, [this](QPoint p) {
        session_->select_channel(video_->width(), video_->height(), p.x(), p.y());
    });
    connect(video_, &VideoView::context_menu_requested, this, &MainWindow::show_picture_menu);

    map_caption_ = new SkinStatic(10004, this);
    map_caption_->setObjectName(QStringLiteral("10004"));
    map_caption_->set_text(QStringLiteral(" "), 6, theme::kAccent, theme::kPanel);
    map_view_ = new MapView(ctx_.web_maps, this);
    splitter_ = new SplitterButton(this);
    connect(splitter_, &QAbstractButton::clicked, this,
            [this] { run_command(CommandId::Splitter); });
    splitter_->hide();

    build_control_bar();
    dashboard_ = new DashboardPanel(this);
    dashboard_->set_speed_unit(ctx_.config.speed_unit);
    dashboard_->set_temperature_unit(ctx_.config.temperature_unit);
    dashboard_->set_pressure_unit(ctx_.config.pressure_unit);
    dashboard_->is_playing = [this] {
        const auto status = engine_.engine().zTellStatusType;
        return status != nullptr && status() == KIVRA_STATUS_PLAYING;
    };
    info_panel_ = new CarInfoPanel(ctx_.texts, nullptr);
    info_panel_->list()->set_run_mode(ctx_.config.run_mode);
    map_window_ = new MapWindow(ctx_.web_maps, this);
    map_window_->take_panel(info_panel_);
    map_window_->hide();
    connect_map_bridge();
    frame_ = new WindowFrame(this);
    frame_->raise();

    build_telemetry();
    connect_vehicle_list();
}

void MainWindow::build_control_bar() {
    control_bar_ = make_bar(this, QStringLiteral("control_bar"));
    status_ = new SkinStatic(10006, control_bar_);
    plate_ = new SkinStatic(10023, control_bar_);
    time_ = new SkinStatic(10024, control_bar_);
    QFont bar_font = font();
    bar_font.setPixelSize(11);  // the time stamp fits its 120-pixel place
    for (SkinStatic* label : {status_, plate_, time_}) {
        label->setObjectName(QString::number(label->control_id()));
        label->setFont(bar_font);
        label->set_border(false);
        label->set_text(QStringLiteral(" "), 0, theme::kText, theme::kPanel);
    }
    progress_ = new SlideButton(10005, control_bar_);
    progress_->setObjectName(QStringLiteral("10005"));
    progress_->set_tooltip_provider([this] { return from_utf8(session_->slider_tooltip()); });
    volume_ = new SlideVolume(10025, control_bar_);
    volume_->setObjectName(QStringLiteral("10025"));
    connect_sliders();
}

// The progress slider seeks through the session; dragging, hovering and pointing all leave the
// position under the pointer for the tooltip.
void MainWindow::connect_sliders() {
    connect(progress_, &SlideButton::pressed, this, [this] { session_->slider_pressed(); });
    for (auto signal : {&SlideButton::dragged, &SlideButton::hovered, &SlideButton::pointed}) {
        connect(progress_, signal, this,
                [this](int position) { session_->slider_pointed(position); });
    }
    connect(progress_, &SlideButton::released, this, [this] {
        session_->slider_released(progress_->position(), progress_->minimum(),
                                  progress_->maximum());
    });
    connect(volume_, &SlideVolume::volume_set, this,
            [this](int volume) { session_->set_volume(volume); });
}

// ---- start and shutdown -------------------------------------------------------------------

bool MainWindow::start() {
    OperationLog::instance().set_fallback_directory(ctx_.program_dir);
    OperationLog::instance().set_directory(expand_home(ctx_.config.log_dir));
    map_view_->load(map_page_url("init.html", "yandex_init.html"));
    map_window_->map()->load(map_page_url("init.html", "yandex_init.html"));
    log(ctx_.texts->text("IDS_STRING369"));
    set_engine_event_receiver(this);
    const fleet::Status started = engine_.start(
        video_->target(), engine_callbacks(), [this] { return session_->dragging(); },
        [this](int position) {
            QMetaObject::invokeMethod(
                this, [this, position] { progress_->set_position(position); },
                Qt::QueuedConnection);
        });
    if (!started) {
        set_engine_event_receiver(nullptr);
        message_sink(text("IDS_STRING252"));
        shut_down_ = true;
        return false;
    }
    started_ = true;
    const QRect screen =
        this->screen() != nullptr ? this->screen()->geometry() : QRect(0, 0, 1920, 1080);
    const int left = screen.width() >= kMinWindowWidth ? (screen.width() - kMinWindowWidth) / 2 : 0;
    const int top =
        screen.height() >= kMinWindowHeight ? (screen.height() - kMinWindowHeight) / 2 : 0;
    setGeometry(screen.x() + left, screen.y() + top, kMinWindowWidth, kMinWindowHeight);
    int32_t volume = 0;
    if (engine_.engine().zTellVoiceVolume(&volume)) volume_->set_position(volume);
    set_status("ready..");
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!started_ || session_->request_close_window()) {
        shutdown();
        event->accept();
        return;
    }
    event->ignore();
}

// Runs when the session is idle: the source is closed, so the engine can stop.
void MainWindow::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    telemetry_timer_->stop();
    step_timer_->stop();
    // A recording left running would lack its closing index unit.
    session_->stop_screen_recording();
    if (!engine_.stop()) message_sink(text("IDS_STRING253"));
    set_engine_event_receiver(nullptr);
    log(ctx_.texts->text("IDS_STRING370"));
}

// ---- events -------------------------------------------------------------------------------

bool MainWindow::event(QEvent* event) {
    if (event->type() == EngineEvent::type()) {
        handle_engine_event(event);
        return true;
    }
    return QWidget::event(event);
}

void MainWindow::handle_engine_event(QEvent* event) {
    auto* e = static_cast<EngineEvent*>(event);
    switch (e->kind) {
        case EngineEvent::Kind::Play:
            session_->on_play_event(e->a, e->b);
            break;
        case EngineEvent::Kind::Disk:
            session_->on_disk_event(e->a, e->b);
            break;
        case EngineEvent::Kind::Link:
            if (e->a != KIVRA_LINK_REALTIME) forward_remote_link_event(*e);
            session_->on_link_event(e->a, e->b, e->c);
            break;
        case EngineEvent::Kind::Error:
            session_->on_error(e->a, e->b, e->c);
            break;
    }
}

// Keys are taken before any control of the window sees them, but an open pop-up menu (the
// window's or the vehicle list's) keeps its own: Space and the arrows work the menu.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && QApplication::activeWindow() == this &&
        QApplication::activePopupWidget() == nullptr) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && handle_key(key->key())) return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool MainWindow::handle_key(int key) {
    const Command* command = command_for_key(key);
    if (command == nullptr) return false;
    command->handler(*this, *command);
    return true;
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), theme::kWindow);
}

// The background drags the window and a double click on it maximises or restores, as the
// caption does; controls and the video area take their own clicks first.
void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        start_window_move(this, event->globalPosition().toPoint());
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) isMaximized() ? showNormal() : showMaximized();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) caption_->update();
    QWidget::changeEvent(event);
}

// ---- SessionView --------------------------------------------------------------------------

void MainWindow::set_status(const std::string& text) {
    status_->set_text(from_utf8(text));
    status_->repaint();
}

void MainWindow::show_pause_button(bool pause_shown) {
    SkinButton* play = button(CommandId::Play);
    SkinButton* pause = button(CommandId::Pause);
    play->setVisible(!pause_shown);
    play->setEnabled(!pause_shown);
    pause->setVisible(pause_shown);
    pause->setEnabled(pause_shown);
}

void MainWindow::show_audio_on_button(bool audio_on_shown) {
    SkinButton* turn_off = button(CommandId::TurnAudioOff);
    SkinButton* turn_on = button(CommandId::TurnAudioOn);
    turn_off->setVisible(audio_on_shown);
    turn_off->setEnabled(audio_on_shown);
    turn_on->setVisible(!audio_on_shown);
    turn_on->setEnabled(!audio_on_shown);
}

void MainWindow::set_progress(int position) {
    progress_->set_position(position);
}

void MainWindow::show_message(const std::string& text) {
    message_sink(from_utf8(text));
}

bool MainWindow::ask_ok_cancel(const std::string& text) {
    return question_sink(from_utf8(text));
}

void MainWindow::log(const std::string& text) {
    OperationLog::instance().write(text);
}

void MainWindow::request_map_refresh(int reason) {
    // Play started in single-screen mode, or nothing plays: the main page drops the other
    // vehicles' marks so the track stands alone.
    if (reason == kMapRefreshClearMarks) map_view_->call(QStringLiteral("ClearAll_O"));
    emit map_refresh_requested(reason);
}

void MainWindow::run_later(int milliseconds, std::function<void()> action) {
    QTimer::singleShot(milliseconds, this, std::move(action));
}

void MainWindow::request_close_window() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::clear_picture() {
    video_->clear();
}

QUrl MainWindow::map_page_url(const char* google_page, const char* yandex_page) const {
    const char* page = ctx_.config.yandex_maps() ? yandex_page : google_page;
    return velmora::map_page_url(from_utf8(ctx_.program_dir), QString::fromLatin1(page),
                                 ctx_.config);
}

}  // namespace velmora
