// The map browser area (control 10002) and the separate map window of the double-screen mode.
// The pages come from <program folder>/utilities/dep/. The viewer calls the page's functions
// with text arguments; the page asks the viewer for things by navigating to "app:" addresses,
// which the browser never loads.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWidget>
#include <functional>
#include <memory>

#include "model/app_config.h"

class QLabel;
class QWebEngineView;

namespace velmora {

class CarInfoPanel;
class MapCallQueue;
struct MapCall;
struct MapLink;
class SkinStatic;
class SplitterButton;

// Makes the "app:" scheme known to the browser; must run before the QApplication exists.
void register_map_link_scheme();

// The address of a map page in the program folder, with the tile settings as its query.
QUrl map_page_url(const QString& program_dir, const QString& page, const AppConfig& config);

class MapView : public QWidget {
    Q_OBJECT
  public:
    // web = false shows a still page instead of a browser (machines without WebEngine support).
    explicit MapView(bool web, QWidget* parent = nullptr);
    ~MapView() override;

    // Loads the page; the browser stays on it, and loads it again when its renderer dies.
    void load(const QUrl& url);
    QUrl url() const { return url_; }
    // Calls a page function with the texts as its arguments (passed as string literals). Calls
    // wait while a page loads, also after a reload or the renderer's death (see MapCallQueue);
    // without a browser they are dropped.
    void call(const QString& function, const QStringList& texts = {});
    // The page's MapState_N() text; "" without a loaded page.
    void map_state(std::function<void(const QString& json)> done);

    // The browser, null without one.
    QWebEngineView* browser() const { return web_; }
    // Gives the keyboard to the browser.
    void focus_browser();

  signals:
    // A page finished loading (false: it could not be loaded).
    void page_loaded(bool ok);
    // "app:nomal&<time>": a click on the track, time in seconds since 1970.
    void seek_to_time_requested(quint32 time);
    // "app:search&<record>": a click on a search result.
    void quick_record_requested(quint32 record);
    // "app:GetFocus&": the browser has just been given the keyboard.
    void focus_requested();
    // "app:GCMresponse&<status>": how a push went.
    void push_answered(int status);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void on_load_finished(bool ok);
    void on_renderer_terminated(QWebEnginePage::RenderProcessTerminationStatus status);
    void on_link(const QString& address);
    void run(const MapCall& call);

    QWebEngineView* web_ = nullptr;
    QLabel* still_ = nullptr;
    QUrl url_;
    std::unique_ptr<MapCallQueue> calls_;
};

// The double-screen map window: the information panel on the left, a caption bar over the map
// and the splitter between them, which folds the panel away.
class MapWindow : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kCaptionHeight = 20;

    explicit MapWindow(bool web, QWidget* parent = nullptr);

    // Moves the information panel into this window (double-screen mode).
    void take_panel(CarInfoPanel* panel);
    MapView* map() { return map_; }
    // The caption bar's text (the selected vehicle's position).
    void set_caption(const QString& text);
    QString caption() const;
    // 170, or 0 while the panel is folded away.
    int panel_width() const { return panel_width_; }
    void toggle_panel();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void place_children();
    CarInfoPanel* panel_ = nullptr;
    MapView* map_ = nullptr;
    SkinStatic* caption_ = nullptr;
    SplitterButton* splitter_ = nullptr;
    int panel_width_;
};

}  // namespace velmora
