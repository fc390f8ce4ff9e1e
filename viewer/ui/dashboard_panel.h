// The area below the control bar where the vehicle dashboard goes. Until the gauges exist it
// shows the chart scales and units the menus have chosen, so those choices stay visible.
#pragma once

#include <QWidget>

namespace velmora {

class DashboardPanel : public QWidget {
    Q_OBJECT
  public:
    explicit DashboardPanel(QWidget* parent = nullptr);

    void set_g_range(int limit);
    void set_speed_range(int limit);
    void set_temperature_range(int limit);
    void set_speed_unit(int unit);        // 1 = miles per hour
    void set_temperature_unit(int unit);  // 1 = Fahrenheit
    void set_pressure_unit(int unit);     // 1 = kPa
    QString summary() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int g_range_ = 2;
    int speed_range_ = 150;
    int temperature_range_ = 50;
    int speed_unit_ = 0;
    int temperature_unit_ = 0;
    int pressure_unit_ = 0;
};

}  // namespace velmora
