#include "ui/map_view.h"

#include <QLabel>
#include <QTimer>
#include <QWebEngineView>
#include <string>
#include <utility>
#include <vector>

#include "main_layout.h"
#include "map_page.h"
#include "model/map_calls.h"
#include "model/map_navigation.h"
#include "skin/artwork.h"
#include "skin/skin_static.h"
#include "skin/theme.h"
#include "splitter_button.h"
#include "ui/car_info_panel.h"

namespace velmora {

namespace {

QString from_utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string to_utf8(const QString& text) {
    return text.toStdString();
}

constexpr const char* kMapStateScript =
    "typeof MapState_N === 'function' ? String(MapState_N()) : ''";

}  // namespace

// Every value is percent-encoded whole ('%' and '+' included): the page reads the query with
// URLSearchParams, which would take a bare '+' for a space and decode an escape the value holds.
QUrl map_page_url(const QString& program_dir, const QString& page, const AppConfig& config) {
    const std::pair<const char*, QString> items[] = {
        {"tiles", from_utf8(config.map_tile_url)},
        {"alternate", from_utf8(config.map_alternate_tile_url)},
        {"attribution", from_utf8(config.map_tile_attribution)},
        {"maxzoom", QString::number(config.map_max_zoom)},
    };
    QByteArray query;
    for (const auto& [name, value] : items) {
        if (!query.isEmpty()) query += '&';
        query += name;
        query += '=';
        query += QUrl::toPercentEncoding(value);
    }
    QUrl url = QUrl::fromLocalFile(program_dir + QStringLiteral("/utilities/dep/") + page);
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

// ---- MapView ------------------------------------------------------------------------------

MapView::MapView(bool web, QWidget* parent)
    : QWidget(parent), calls_(std::make_unique<MapCallQueue>()) {
    setObjectName(QStringLiteral("10002"));
    if (web) {
        web_ = new QWebEngineView(this);
        web_->setObjectName(QStringLiteral("browser"));
        web_->setContextMenuPolicy(Qt::NoContextMenu);  // its Back and Reload leave the page
        auto* page = new MapPage(web_);
        web_->setPage(page);
        connect(page, &QWebEnginePage::loadFinished, this, &MapView::on_load_finished);
        connect(page, &QWebEnginePage::renderProcessTerminated, this,
                &MapView::on_renderer_terminated);
        connect(page, &MapPage::link_navigated, this, &MapView::on_link);
    } else {
        still_ = new QLabel(this);
        still_->setAlignment(Qt::AlignCenter);
        still_->setStyleSheet(QStringLiteral("background:#1c1f22; color:#6f7b84;"));
        still_->setText(QStringLiteral("map"));
    }
}

MapView::~MapView() = default;

void MapView::load(const QUrl& url) {
    url_ = url;
    if (web_ != nullptr) {
        calls_->page_loading();
        static_cast<MapPage*>(web_->page())->set_page_url(url);
        web_->load(url);
    }
    if (still_ != nullptr) still_->setToolTip(url.toString());
}

void MapView::call(const QString& function, const QStringList& texts) {
    if (web_ == nullptr) return;
    MapCall made{to_utf8(function), {}};
    made.texts.reserve(static_cast<size_t>(texts.size()));
    for (const QString& text : texts) made.texts.push_back(to_utf8(text));
    if (const auto now = calls_->call(std::move(made))) run(*now);
}

void MapView::run(const MapCall& call) {
    const std::string script = script_call(call.function, call.texts);
    if (!script.empty()) web_->page()->runJavaScript(from_utf8(script));
}

void MapView::map_state(std::function<void(const QString& json)> done) {
    if (web_ == nullptr || !calls_->ready()) {
        done(QString());
        return;
    }
    web_->page()->runJavaScript(
        QString::fromLatin1(kMapStateScript),
        [done = std::move(done)](const QVariant& result) { done(result.toString()); });
}

void MapView::focus_browser() {
    if (web_ != nullptr) web_->setFocus(Qt::OtherFocusReason);
}

// A refused navigation of the main frame ends in a failed load of the page that is still there:
// nothing changed.
void MapView::on_load_finished(bool ok) {
    auto* page = static_cast<MapPage*>(web_->page());
    if (!ok && page->take_refused_navigation()) return;
    if (ok) {
        for (const MapCall& call : calls_->page_loaded()) run(call);
    }
    emit page_loaded(ok);
}

// The page died with its renderer; loaded again, it is given the track once more. Calls wait
// from now on, not only from the load, which is left to the event loop, outside the browser's
// report of the death.
void MapView::on_renderer_terminated(QWebEnginePage::RenderProcessTerminationStatus status) {
    if (status == QWebEnginePage::NormalTerminationStatus) return;
    calls_->page_loading();
    QTimer::singleShot(0, this, [this] { load(url_); });
}

void MapView::on_link(const QString& address) {
    const std::optional<MapLink> link = parse_map_link(to_utf8(address));
    if (!link) return;
    switch (link->kind) {
        case MapLinkKind::SeekToTime:
            if (const auto time = link_number(link->argument)) emit seek_to_time_requested(*time);
            return;
        case MapLinkKind::PlayQuickEntry:
            if (const auto record = link_number(link->argument))
                emit quick_record_requested(*record);
            return;
        case MapLinkKind::Focus:
            focus_browser();
            emit focus_requested();
            return;
        case MapLinkKind::PushAnswer:
            if (const auto status = link_status(link->argument)) emit push_answered(*status);
            return;
        case MapLinkKind::Online:
            return;  // the page is up; nothing to do
    }
}

void MapView::resizeEvent(QResizeEvent* event) {
    QWidget* child = web_ != nullptr ? static_cast<QWidget*>(web_) : still_;
    child->setGeometry(rect());
    QWidget::resizeEvent(event);
}

// ---- MapWindow ----------------------------------------------------------------------------

MapWindow::MapWindow(bool web, QWidget* parent)
    : QDialog(parent, Qt::Window), panel_width_(kPanelWidth) {
    setObjectName(QStringLiteral("map_window"));
    setWindowTitle(QStringLiteral("VelmoraPlayer"));
    setWindowIcon(app_icon());
    QPalette palette;
    palette.setColor(QPalette::Window, theme::kWindow);
    setPalette(palette);
    setAutoFillBackground(true);
    caption_ = new SkinStatic(0, this);
    caption_->setObjectName(QStringLiteral("map_window_caption"));
    caption_->set_text(QStringLiteral(" "), 6, theme::kAccent, theme::kPanel);
    splitter_ = new SplitterButton(this);
    splitter_->setObjectName(QStringLiteral("17000"));
    connect(splitter_, &QAbstractButton::clicked, this, &MapWindow::toggle_panel);
    map_ = new MapView(web, this);
    map_->setObjectName(QStringLiteral("18001"));
    resize(900, 600);
}

void MapWindow::take_panel(CarInfoPanel* panel) {
    panel_ = panel;
    panel->setParent(this);
    panel->setVisible(panel_width_ > 0);
    place_children();
}

void MapWindow::set_caption(const QString& text) {
    caption_->set_text(text);
}

QString MapWindow::caption() const {
    return caption_->text();
}

void MapWindow::toggle_panel() {
    panel_width_ = panel_width_ > 0 ? 0 : kPanelWidth;
    place_children();
}

void MapWindow::resizeEvent(QResizeEvent* event) {
    place_children();
    QDialog::resizeEvent(event);
}

// Panel (0, 0, p, h), splitter (p, 20, 3, h - 20), caption (p, 0, rest, 20), map
// (p + 3, 20, rest, h - 20), p being the panel width.
void MapWindow::place_children() {
    const int p = panel_width_;
    const int below_caption = height() - kCaptionHeight;
    if (panel_ != nullptr && panel_->parent() == this) {
        panel_->setGeometry(0, 0, p, height());
        panel_->setVisible(p > 0);
    }
    splitter_->setGeometry(p, kCaptionHeight, kSplitterWidth, below_caption);
    caption_->setGeometry(p, 0, width() - p, kCaptionHeight);
    const int map_left = p + kSplitterWidth;
    map_->setGeometry(map_left, kCaptionHeight, width() - map_left, below_caption);
}

}  // namespace velmora
