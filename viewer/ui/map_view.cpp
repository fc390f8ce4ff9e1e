#include "ui/map_view.h"

#include <QLabel>
#include <QWebEngineView>

#include "skin/artwork.h"
#include "skin/theme.h"
#include "ui/car_info_panel.h"

namespace velmora {

MapView::MapView(bool web, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("10002"));
    if (web) {
        auto* view = new QWebEngineView(this);
        view->setObjectName(QStringLiteral("browser"));
        connect(view, &QWebEngineView::loadFinished, this, &MapView::page_loaded);
        web_ = view;
    } else {
        still_ = new QLabel(this);
        still_->setAlignment(Qt::AlignCenter);
        still_->setStyleSheet(QStringLiteral("background:#1c1f22; color:#6f7b84;"));
        still_->setText(QStringLiteral("map"));
    }
}

void MapView::load(const QUrl& url) {
    url_ = url;
    if (auto* view = qobject_cast<QWebEngineView*>(web_)) view->load(url);
    if (still_ != nullptr) still_->setToolTip(url.toString());
}

void MapView::run_script(const QString& script) {
    if (auto* view = qobject_cast<QWebEngineView*>(web_)) view->page()->runJavaScript(script);
}

void MapView::resizeEvent(QResizeEvent* event) {
    QWidget* child = web_ != nullptr ? web_ : static_cast<QWidget*>(still_);
    child->setGeometry(rect());
    QWidget::resizeEvent(event);
}

MapWindow::MapWindow(bool web, QWidget* parent) : QDialog(parent, Qt::Window) {
    setObjectName(QStringLiteral("map_window"));
    setWindowTitle(QStringLiteral("VelmoraPlayer"));
    setWindowIcon(app_icon());
    QPalette palette;
    palette.setColor(QPalette::Window, theme::kWindow);
    setPalette(palette);
    setAutoFillBackground(true);
    map_ = new MapView(web, this);
    resize(900, 600);
}

void MapWindow::take_panel(CarInfoPanel* panel) {
    panel_ = panel;
    panel->setParent(this);
    panel->show();
    place_children();
}

void MapWindow::resizeEvent(QResizeEvent* event) {
    place_children();
    QDialog::resizeEvent(event);
}

void MapWindow::place_children() {
    const int panel_width = panel_ != nullptr && panel_->parent() == this ? 170 : 0;
    if (panel_width > 0) panel_->setGeometry(0, 0, panel_width, height());
    map_->setGeometry(panel_width, 0, width() - panel_width, height());
}

}  // namespace velmora
