// The selector of one vehicle unit, captioned I, II or III: blue normally, red while any of the
// unit's tyres or the unit itself reports a fault. A click asks the dashboard to show the unit.
#pragma once

#include <QWidget>
#include <functional>

namespace velmora {

class UnitSelector : public QWidget {
  public:
    UnitSelector(int control_id, int unit, QWidget* parent);

    void set_alert(bool alert);  // repaints only on a change
    bool alert() const { return alert_; }
    int unit() const { return unit_; }

    std::function<void(int unit)> on_click;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int unit_;
    bool alert_ = false;
};

}  // namespace velmora
