// The map browser area (control 10002) and the separate map window of the double-screen mode.
// The pages come from <program folder>/utilities/dep/.
#pragma once

#include <QDialog>
#include <QUrl>
#include <QWidget>

class QLabel;

namespace velmora {

class CarInfoPanel;

class MapView : public QWidget {
    Q_OBJECT
  public:
    // web = false shows a still page instead of a browser (machines without WebEngine support).
    MapView(bool web, QWidget* parent = nullptr);

    void load(const QUrl& url);
    QUrl url() const { return url_; }
    // Runs a script in the page; dropped without a browser.
    void run_script(const QString& script);

  signals:
    // A page finished loading (false: it could not be loaded).
    void page_loaded(bool ok);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* web_ = nullptr;
    QLabel* still_ = nullptr;
    QUrl url_;
};

class MapWindow : public QDialog {
    Q_OBJECT
  public:
    MapWindow(bool web, QWidget* parent = nullptr);

    // Moves the information panel into this window (double-screen mode).
    void take_panel(CarInfoPanel* panel);
    MapView* map() { return map_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void place_children();
    CarInfoPanel* panel_ = nullptr;
    MapView* map_ = nullptr;
};

}  // namespace velmora
