#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimeZone>
#include <QTimer>
#include <span>

#include "caption_bar.h"
#include "dashboard_panel.h"
#include "engine_bridge.h"
#include "lang/language_table.h"
#include "main_layout.h"
#include "model/directories.h"
#include "model/library_binding.h"
#include "model/operation_log.h"
#include "model/progress_poller.h"
#include "skin/artwork.h"
#include "skin/skin_button.h"
#include "skin/skin_static.h"
#include "skin/slide_button.h"
#include "skin/theme.h"
#include "splitter_button.h"
#include "ui/about_dialog.h"
#include "ui/car_info_panel.h"
#include "ui/car_list_box.h"
#include "ui/log_manager_dialog.h"
#include "ui/map_view.h"
#include "ui/other_settings_dialog.h"
#include "ui/video_view.h"

namespace velmora {

namespace {

// Toolbar and control-bar buttons with their tooltip keys.
struct ButtonSpec {
    int id;
    int strip;
    const char* tooltip_key;
};

constexpr ButtonSpec kToolbarButtons[] = {
    {10015, art::kOpenFile, "ID_MENU_OPENFILE"},
    {10016, art::kSearchHdd, "ID_MENU_SEARCH_HDD"},
    {10017, art::kSearchSd, "ID_MENU_SEARCH_SD"},
    {10018, art::kCloseSource, "ID_MENU_CLOSE"},
    {10019, art::kFindPlay, "ID_MENU_FINDLOCATE"},
    {10020, art::kScreenRecord, "ID_MENU_SCREEN_RECORD"},
    {10034, art::kStopScreenRecord, "IDS_STRING216"},
    {10036, art::kTalkOpen, "IDS_STRING217"},
    {10037, art::kTalkClose, "IDS_STRING218"},
};

constexpr ButtonSpec kControlButtons[] = {
    {10007, art::kPlay, "IDS_STRING219"},         {10022, art::kPause, "IDS_STRING220"},
    {10008, art::kStepBackward, "IDS_STRING221"}, {10009, art::kStepForward, "IDS_STRING222"},
    {10010, art::kFastBackward, "IDS_STRING223"}, {10011, art::kFastForward, "IDS_STRING224"},
    {10012, art::kStop, "IDS_STRING225"},         {10013, art::kExtract, "IDS_STRING226"},
    {10014, art::kCapture, "IDS_STRING227"},      {10038, art::kChannels, "IDS_STRING273"},
    {10021, art::kAudioOn, "IDS_STRING228"},      {10027, art::kAudioOff, "IDS_STRING229"},
};

// Menu items whose texts come from the language table.
struct MenuText {
    int id;
    const char* key;
};

constexpr MenuText kMenuTexts[] = {
    {32810, "ID_MENU_OPENFILE"},   {32853, "ID_MENU_SEARCH_HDD"},    {32854, "ID_MENU_SEARCH_SD"},
    {32855, "ID_MENU_CLOSE"},      {32811, "ID_MENU_SIGDISP"},       {32812, "ID_MENU_DBLDISP"},
    {32833, "ID_MENU_FINDLOCATE"}, {32856, "ID_MENU_SCREEN_RECORD"}, {32850, "ID_MENU_LOG_MGR"},
    {32843, "ID_MENU_OTHER"},      {32858, "ID_MENU_ABOUT"},         {32847, "ID_PIC_SAVECURRENT"},
    {32848, "ID_PIC_SAVEALL"},     {32849, "ID_PIC_SAVESCREEN"},
};

constexpr const char* kTitleKeys[5] = {"ID_MENU_FILE", "ID_MENU_WINDOW", "ID_MENU_CONTROL",
                                       "ID_MENU_SETTING", "ID_MENU_HELP"};

// Radio groups of the Windows menu: ids and the value each stands for.
struct Choice {
    int id;
    int value;
    const char* label;
};

constexpr Choice kGRanges[] = {{32813, 2, "\u00b12 g"},
                               {32816, 4, "\u00b14 g"},
                               {32817, 6, "\u00b16 g"},
                               {32818, 8, "\u00b18 g"}};
constexpr Choice kSpeedRanges[] = {{32819, 50, "0~50"},
                                   {32820, 100, "0~100"},
                                   {32821, 150, "0~150"},
                                   {32822, 200, "0~200"},
                                   {32832, 300, "0~300"}};
constexpr Choice kTemperatureRanges[] = {{32824, 50, "-50\u2103~+50\u2103"},
                                         {32825, 100, "-50\u2103~+100\u2103"}};
constexpr Choice kSpeedUnits[] = {{32864, 0, "KM"}, {32865, 1, "Mile"}};
constexpr Choice kTemperatureUnits[] = {{32866, 0, "\u2103"}, {32867, 1, "\u2109"}};
constexpr Choice kPressureUnits[] = {{32868, 0, "PSI"}};
constexpr Choice kMapTypes[] = {{32870, 0, "Google"}, {32871, 1, "Yandex"}};

const Choice* find_choice(std::span<const Choice> group, int id) {
    for (const Choice& c : group) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

constexpr int kMapRefreshOnPlay = 4;  // map refresh reason: play started or nothing playing
constexpr int kPlayId = 10007;
constexpr int kPauseId = 10022;
constexpr int kAudioOnId = 10021;
constexpr int kAudioOffId = 10027;

QString from_utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool headless_messages() {
    return qEnvironmentVariableIsSet("VELMORA_NONINTERACTIVE");
}

}  // namespace

MainWindow::MainWindow(ViewerContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ctx_(context) {
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
    session_ =
        std::make_unique<PlayerSession>(ctx_.engine, static_cast<SessionView&>(*this), *ctx_.texts);
    event_type_names_ = velmora::event_type_names(*ctx_.texts);
    build_widgets();
    build_menus();
    wire_buttons();
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

QString MainWindow::text(const char* key) const {
    return from_utf8(ctx_.texts->text(key));
}

SkinButton* MainWindow::add_button(int id, int strip, QWidget* parent) {
    auto* button = new SkinButton(id, strip, parent);
    button->setObjectName(QString::number(id));
    button->setFocusPolicy(Qt::NoFocus);
    buttons_[id] = button;
    return button;
}

void MainWindow::build_widgets() {
    caption_ = new CaptionBar(this);
    caption_->set_title(QStringLiteral("VelmoraPlayer"));
    for (int i = 0; i < 5; ++i) {
        auto* title = new SkinMenuText(10029 + i, caption_);
        title->setObjectName(QString::number(10029 + i));
        menu_titles_[static_cast<size_t>(i)] = title;
    }
    toolbar_ = new QWidget(this);
    toolbar_->setObjectName(QStringLiteral("10028"));
    toolbar_->setAutoFillBackground(true);
    QPalette bar_palette;
    bar_palette.setColor(QPalette::Window, theme::kPanel);
    toolbar_->setPalette(bar_palette);
    for (const ButtonSpec& spec : kToolbarButtons) add_button(spec.id, spec.strip, toolbar_);
    buttons_[10034]->hide();
    // Nothing here talks to a recorder yet, so the talkback buttons stay hidden.
    buttons_[10036]->hide();
    buttons_[10037]->hide();

    video_ = new VideoView(this);
    connect(video_, &VideoView::double_clicked, this, [this](QPoint p) {
        session_->select_channel(video_->width(), video_->height(), p.x(), p.y());
    });
    connect(video_, &VideoView::context_menu_requested, this,
            [this](QPoint global) { picture_menu_->popup(global); });

    map_caption_ = new SkinStatic(10004, this);
    map_caption_->setObjectName(QStringLiteral("10004"));
    map_caption_->set_text(QStringLiteral(" "), 6, theme::kAccent, theme::kPanel);
    map_view_ = new MapView(ctx_.web_maps, this);
    splitter_ = new SplitterButton(this);
    connect(splitter_, &QAbstractButton::clicked, this, [this] { run_command(10035); });
    splitter_->hide();

    build_control_bar();
    dashboard_ = new DashboardPanel(this);
    info_panel_ = new CarInfoPanel(ctx_.texts, nullptr);
    info_panel_->list()->set_run_mode(ctx_.config.run_mode);
    map_window_ = new MapWindow(ctx_.web_maps, this);
    map_window_->take_panel(info_panel_);
    map_window_->hide();
    frame_ = new WindowFrame(this);
    frame_->raise();

    telemetry_timer_ = new QTimer(this);
    telemetry_timer_->setInterval(500);
    connect(telemetry_timer_, &QTimer::timeout, this, &MainWindow::update_telemetry_texts);
}

void MainWindow::build_control_bar() {
    control_bar_ = new QWidget(this);
    control_bar_->setObjectName(QStringLiteral("control_bar"));
    control_bar_->setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, theme::kPanel);
    control_bar_->setPalette(palette);
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
    for (const ButtonSpec& spec : kControlButtons) add_button(spec.id, spec.strip, control_bar_);
    buttons_[kPauseId]->hide();
    buttons_[kPauseId]->setEnabled(false);
    buttons_[kAudioOffId]->hide();
    buttons_[kAudioOffId]->setEnabled(false);
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

void MainWindow::wire_buttons() {
    for (auto& [id, button] : buttons_) {
        const int command = id;
        connect(button, &QAbstractButton::clicked, this, [this, command] { run_command(command); });
    }
    for (size_t i = 0; i < menu_titles_.size(); ++i) {
        connect(menu_titles_[i], &SkinMenuText::clicked, this, [this, i] {
            SkinMenuText* title = menu_titles_[i];
            title_menus_[i]->popup(title->mapToGlobal(QPoint(0, title->height())));
        });
    }
    connect(caption_, &CaptionBar::close_clicked, this, &QWidget::close);
    connect(caption_, &CaptionBar::minimise_clicked, this, &QWidget::showMinimized);
    connect(caption_, &CaptionBar::maximise_clicked, this,
            [this] { isMaximized() ? showNormal() : showMaximized(); });
}

void MainWindow::build_menus() {
    auto add = [this](QMenu* menu, int id, const QString& label = QString()) {
        QAction* action = menu->addAction(label);
        action->setData(id);
        actions_[id] = action;
        connect(action, &QAction::triggered, this, [this, id] { run_command(id); });
        return action;
    };
    auto add_choices = [&](QMenu* menu, std::span<const Choice> choices) {
        for (const Choice& c : choices)
            add(menu, c.id, QString::fromUtf8(c.label))->setCheckable(true);
    };
    for (auto& menu : title_menus_) menu = new QMenu(this);
    QMenu* file = title_menus_[0];
    for (int id : {32810, 32853, 32854, 32855}) add(file, id);
    QMenu* windows = title_menus_[1];
    layout_menu_ = windows->addMenu(QString());
    add(layout_menu_, 32811)->setCheckable(true);
    add(layout_menu_, 32812)->setCheckable(true);
    wave_menu_ = windows->addMenu(QString());
    for (auto& sub : wave_submenus_) sub = wave_menu_->addMenu(QString());
    add_choices(wave_submenus_[0], kGRanges);
    add_choices(wave_submenus_[1], kSpeedRanges);
    add_choices(wave_submenus_[2], kTemperatureRanges);
    unit_menu_ = windows->addMenu(QString());
    for (auto& sub : unit_submenus_) sub = unit_menu_->addMenu(QString());
    add_choices(unit_submenus_[0], kSpeedUnits);
    add_choices(unit_submenus_[1], kTemperatureUnits);
    add_choices(unit_submenus_[2], kPressureUnits);
    add_choices(unit_submenus_[3], kMapTypes);
    add(title_menus_[2], 32833);
    add(title_menus_[2], 32856);
    add(title_menus_[3], 32850);
    add(title_menus_[3], 32843);
    add(title_menus_[4], 32858);
    picture_menu_ = new QMenu(this);
    for (int id : {32847, 32848, 32849}) add(picture_menu_, id);
    for (QMenu* menu : title_menus_)
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::refresh_checks);
}

QAction* MainWindow::action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QMenu* MainWindow::title_menu(int index) const {
    return title_menus_[static_cast<size_t>(index)];
}

void MainWindow::retranslate_menus() {
    for (const MenuText& item : kMenuTexts) actions_[item.id]->setText(text(item.key));
    layout_menu_->setTitle(text("ID_MENU_WINDOW_TYPE"));
    wave_menu_->setTitle(text("ID_MENU_WAVE"));
    unit_menu_->setTitle(text("ID_MENU_UNIT_SETTING"));
    const char* wave_keys[] = {"ID_MENU_GSENSOR", "IDC_STATIC_S", "IDC_STATIC_G3"};
    for (size_t i = 0; i < wave_submenus_.size(); ++i)
        wave_submenus_[i]->setTitle(text(wave_keys[i]));
    const char* unit_keys[] = {"ID_MENU_SPEED_PER_HOUR_UNIT", "ID_MENU_TEMPERATRUE_UNIT",
                               "ID_MENU_PRESSURE_UNIT", "ID_MENU_MAP_TYPE"};
    for (size_t i = 0; i < unit_submenus_.size(); ++i)
        unit_submenus_[i]->setTitle(text(unit_keys[i]));
    for (size_t i = 0; i < menu_titles_.size(); ++i) {
        menu_titles_[i]->set_text(text(kTitleKeys[i]), theme::kText, theme::kAccent);
    }
    lay_out();
}

void MainWindow::retranslate_tooltips() {
    for (const ButtonSpec& spec : kToolbarButtons)
        buttons_[spec.id]->setToolTip(text(spec.tooltip_key));
    for (const ButtonSpec& spec : kControlButtons)
        buttons_[spec.id]->setToolTip(text(spec.tooltip_key));
    volume_->setToolTip(text("IDS_STRING230"));
}

void MainWindow::refresh_checks() {
    auto mark = [this](std::span<const Choice> group, int value) {
        for (const Choice& c : group) actions_[c.id]->setChecked(c.value == value);
    };
    actions_[32811]->setChecked(single_screen_);
    actions_[32812]->setChecked(!single_screen_);
    mark(kGRanges, g_range_);
    mark(kSpeedRanges, speed_range_);
    mark(kTemperatureRanges, temperature_range_);
    mark(kSpeedUnits, ctx_.config.miles_per_hour() ? 1 : 0);
    mark(kTemperatureUnits, ctx_.config.fahrenheit() ? 1 : 0);
    mark(kPressureUnits, ctx_.config.kilopascal() ? 1 : 0);
    mark(kMapTypes, ctx_.config.yandex_maps() ? 1 : 0);
}

void MainWindow::apply_language() {
    event_type_names_ = velmora::event_type_names(*ctx_.texts);
    retranslate_tooltips();
    retranslate_menus();
    info_panel_->list()->viewport()->update();
}

bool MainWindow::start() {
    OperationLog::instance().set_fallback_directory(ctx_.program_dir);
    OperationLog::instance().set_directory(expand_home(ctx_.config.log_dir));
    map_view_->load(map_page_url("init.html", "yandex_init.html"));
    map_window_->map()->load(map_page_url("init.html", "yandex_init.html"));
    log(ctx_.texts->text("IDS_STRING369"));
    set_engine_event_receiver(this);
    const EngineCallbacks cb = engine_callbacks();
    if (ctx_.engine.zInit == nullptr ||
        !ctx_.engine.zInit(video_->target(), cb.play, cb.frame, cb.disk, cb.link, cb.extract,
                           cb.error)) {
        set_engine_event_receiver(nullptr);
        message_sink(text("IDS_STRING252"));
        shut_down_ = true;
        return false;
    }
    started_ = true;
    poller_ = std::make_unique<ProgressPoller>(
        ctx_.engine, [this] { return session_->dragging(); },
        [this](int position) {
            QMetaObject::invokeMethod(
                this, [this, position] { progress_->set_position(position); },
                Qt::QueuedConnection);
        });
    poller_->start();
    const QRect screen =
        this->screen() != nullptr ? this->screen()->geometry() : QRect(0, 0, 1920, 1080);
    const int left = screen.width() >= kMinWindowWidth ? (screen.width() - kMinWindowWidth) / 2 : 0;
    const int top =
        screen.height() >= kMinWindowHeight ? (screen.height() - kMinWindowHeight) / 2 : 0;
    setGeometry(screen.x() + left, screen.y() + top, kMinWindowWidth, kMinWindowHeight);
    int32_t volume = 0;
    if (ctx_.engine.zTellVoiceVolume != nullptr && ctx_.engine.zTellVoiceVolume(&volume)) {
        volume_->set_position(volume);
    }
    set_status("ready..");
    return true;
}

// ---- layout -------------------------------------------------------------------------------

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
    const int toolbar_slots[] = {0, 1, 2, 3, 4, 5, 5, 6, 6};
    for (size_t i = 0; i < std::size(kToolbarButtons); ++i) {
        const QRect r = m.toolbar_buttons[static_cast<size_t>(toolbar_slots[i])];
        buttons_[kToolbarButtons[i].id]->setGeometry(r.translated(0, -m.toolbar.y()));
    }
    video_->setGeometry(m.video);
    control_bar_->setGeometry(m.control_bar);
    status_->setGeometry(m.bar.status);
    plate_->setGeometry(m.bar.plate);
    time_->setGeometry(m.bar.time);
    progress_->setGeometry(m.bar.progress);
    buttons_[kPlayId]->setGeometry(m.bar.play);
    buttons_[kPauseId]->setGeometry(m.bar.play);
    const int row[] = {10008, 10009, 10010, 10011, 10012, 10013, 10014};
    for (size_t i = 0; i < std::size(row); ++i) buttons_[row[i]]->setGeometry(m.bar.buttons[i]);
    buttons_[10038]->setGeometry(m.bar.channel);
    buttons_[kAudioOnId]->setGeometry(m.bar.audio);
    buttons_[kAudioOffId]->setGeometry(m.bar.audio);
    volume_->setGeometry(m.bar.volume);
    dashboard_->setGeometry(m.dashboard);
    apply_side_layout();
    frame_->setGeometry(rect());
    frame_->raise();
    update();
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
        map_window_->map()->run_script(
            QStringLiteral("if (typeof ClearAll_O === 'function') ClearAll_O();"));
    } else {
        panel_in_main_ = false;
        map_window_->take_panel(info_panel_);
        map_window_->show();
        if (ctx_.engine.zTellStatusType != nullptr &&
            ctx_.engine.zTellStatusType() == KIVRA_STATUS_OPENED) {
            QTimer::singleShot(10, this, [this] { emit map_refresh_requested(kMapRefreshOnPlay); });
        }
        map_window_->map()->run_script(
            QStringLiteral("if (typeof ClearAll_O === 'function') ClearAll_O();"));
    }
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

// ---- commands -----------------------------------------------------------------------------

void MainWindow::run_command(int id) {
    switch (id) {
        case 32810:
        case 10015:
            choose_open_file();
            return;
        case 32853:
        case 10016:
            session_->search_disk(false);
            return;
        case 32854:
        case 10017:
            session_->search_disk(true);
            return;
        case 32855:
        case 10018:
            session_->close_source();
            return;
        case 32811:
            set_layout_mode(true);
            return;
        case 32812:
            set_layout_mode(false);
            return;
        case 32850:
            show_log_manager();
            return;
        case 32843:
            show_settings();
            return;
        case 32858:
            show_about();
            return;
        case 10035:
            toggle_panel();
            return;
        case kPlayId:
            session_->play();
            return;
        case kPauseId:
            session_->pause();
            return;
        case 10008:
            session_->step_backward();
            return;
        case 10009:
            session_->step_forward();
            return;
        case 10010:
            session_->fast_backward();
            return;
        case 10011:
            session_->fast_forward();
            return;
        case 10012:
            session_->stop();
            return;
        case 10038:
            session_->next_division();
            return;
        case kAudioOnId:
            session_->audio_off();
            return;
        case kAudioOffId:
            session_->audio_on();
            return;
        case 32833:
        case 10019:
            not_available(text("ID_MENU_FINDLOCATE"));
            return;
        case 32856:
        case 10020:
        case 10034:
            not_available(text("ID_MENU_SCREEN_RECORD"));
            return;
        case 10013:
            not_available(text("IDS_STRING226"));
            return;
        case 10014:
        case 32847:
        case 32848:
        case 32849:
            not_available(text("IDS_STRING227"));
            return;
        default:
            break;
    }
    if (const Choice* g = find_choice(kGRanges, id)) {
        g_range_ = g->value;
        dashboard_->set_g_range(g->value);
    } else if (const Choice* speed = find_choice(kSpeedRanges, id)) {
        speed_range_ = speed->value;
        dashboard_->set_speed_range(speed->value);
    } else if (const Choice* temperature = find_choice(kTemperatureRanges, id)) {
        temperature_range_ = temperature->value;
        dashboard_->set_temperature_range(temperature->value);
    } else if (const Choice* map = find_choice(kMapTypes, id)) {
        set_map_type(map->value);
    }
    set_unit(id);
    refresh_checks();
    update();
}

void MainWindow::set_unit(int id) {
    if (const Choice* speed = find_choice(kSpeedUnits, id)) {
        ctx_.config.speed_unit = speed->value;
        dashboard_->set_speed_unit(speed->value);
        write_unit_setting(ctx_.config_path, UnitKind::Speed, speed->value);
    } else if (const Choice* temperature = find_choice(kTemperatureUnits, id)) {
        ctx_.config.temperature_unit = temperature->value;
        dashboard_->set_temperature_unit(temperature->value);
        write_unit_setting(ctx_.config_path, UnitKind::Temperature, temperature->value);
    } else if (const Choice* pressure = find_choice(kPressureUnits, id)) {
        ctx_.config.pressure_unit = pressure->value;
        dashboard_->set_pressure_unit(pressure->value);
        write_unit_setting(ctx_.config_path, UnitKind::Pressure, pressure->value);
    }
}

void MainWindow::set_map_type(int map_type) {
    ctx_.config.map_type = map_type;
    map_view_->load(map_page_url("gis.html", "yandex.html"));
    map_window_->map()->load(map_page_url("gis.html", "yandex.html"));
    write_map_type(ctx_.config_path, map_type);
}

QString MainWindow::map_page_url(const char* google_page, const char* yandex_page) const {
    const char* page = ctx_.config.yandex_maps() ? yandex_page : google_page;
    return QUrl::fromLocalFile(from_utf8(ctx_.program_dir) + QStringLiteral("/utilities/dep/") +
                               QString::fromLatin1(page))
        .toString();
}

void MainWindow::not_available(const QString& what) {
    message_sink(what + QStringLiteral(": not available in this version yet."));
}

void MainWindow::choose_open_file() {
    const QString path = file_dialog();
    if (!path.isEmpty()) open_path(path);
}

void MainWindow::open_path(const QString& path) {
    session_->open_file(path.toStdString());
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
    if (ctx_.engine.KivraInfo != nullptr) {
        ctx_.engine.KivraInfo(version, time, date);
        engine_info = {version, time, date};
    }
    char e_version[24] = {}, e_time[24] = {}, e_date[24] = {};
    if (ctx_.extract.zExtractInfo != nullptr) {
        ctx_.extract.zExtractInfo(e_version, e_time, e_date);
        extract_info = {e_version, e_time, e_date};
    }
    AboutDialog dialog(
        QStringLiteral("VelmoraPlayer version %1").arg(QStringLiteral(FLEET_VERSION)), extract_info,
        engine_info, this);
    dialog.set_title(text("ID_MENU_ABOUT"));
    dialog.exec();
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
            session_->on_link_event(e->a, e->b, e->c);
            break;
        case EngineEvent::Kind::Error:
            session_->on_error(e->a, e->b, e->c);
            break;
        case EngineEvent::Kind::Frame:
            latest_time_ = static_cast<uint32_t>(e->a);
            latest_plate_ = e->text;
            break;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && QApplication::activeWindow() == this) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat() && handle_key(key->key())) return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool MainWindow::handle_key(int key) {
    switch (key) {
        case Qt::Key_Space:
            session_->toggle_play_pause();
            return true;
        case Qt::Key_Left:
            session_->arrow_left();
            return true;
        case Qt::Key_Right:
            session_->arrow_right();
            return true;
        default:
            return false;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!started_ || session_->request_close_window()) {
        shutdown();
        event->accept();
        return;
    }
    event->ignore();
}

void MainWindow::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    if (poller_) poller_->stop();
    telemetry_timer_->stop();
    if (started_ && ctx_.engine.zRelease != nullptr && !ctx_.engine.zRelease()) {
        message_sink(text("IDS_STRING253"));
    }
    set_engine_event_receiver(nullptr);
    log(ctx_.texts->text("IDS_STRING370"));
    unbind_extract(ctx_.extract);
}

// ---- SessionView --------------------------------------------------------------------------

void MainWindow::set_status(const std::string& text) {
    status_->set_text(from_utf8(text));
    status_->repaint();
}

void MainWindow::show_pause_button(bool pause_shown) {
    SkinButton* play = buttons_[kPlayId];
    SkinButton* pause = buttons_[kPauseId];
    play->setVisible(!pause_shown);
    play->setEnabled(!pause_shown);
    pause->setVisible(pause_shown);
    pause->setEnabled(pause_shown);
}

void MainWindow::show_audio_on_button(bool audio_on_shown) {
    buttons_[kAudioOnId]->setVisible(audio_on_shown);
    buttons_[kAudioOnId]->setEnabled(audio_on_shown);
    buttons_[kAudioOffId]->setVisible(!audio_on_shown);
    buttons_[kAudioOffId]->setEnabled(!audio_on_shown);
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
    emit map_refresh_requested(reason);
}

void MainWindow::run_later(int milliseconds, std::function<void()> action) {
    QTimer::singleShot(milliseconds, this, std::move(action));
}

void MainWindow::request_close_window() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::stop_screen_recording() {}

void MainWindow::telemetry_gate(bool open) {
    if (open) {
        telemetry_timer_->start();
    } else {
        telemetry_timer_->stop();
    }
}

// The time and plate of the frame on screen, twice a second while playing.
void MainWindow::update_telemetry_texts() {
    if (latest_time_ != 0 && latest_time_ != shown_time_) {
        shown_time_ = latest_time_;
        const QDateTime t = QDateTime::fromSecsSinceEpoch(latest_time_, QTimeZone::utc());
        time_->set_text(t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    if (!latest_plate_.empty() && latest_plate_ != shown_plate_) {
        shown_plate_ = latest_plate_;
        plate_->set_text(from_utf8(latest_plate_));
    }
}

void MainWindow::telemetry_reset(bool full) {
    if (!full) return;
    telemetry_timer_->stop();
    latest_time_ = shown_time_ = 0;
    latest_plate_.clear();
    shown_plate_.clear();
    time_->set_text(QStringLiteral(" "));
    plate_->set_text(QStringLiteral(" "));
    map_caption_->set_text(QStringLiteral(" "));
}

}  // namespace velmora
