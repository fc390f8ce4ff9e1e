// The three G-sensor values, one coloured row each: "Gx : " on the left, "2.00" on the right.
#pragma once

#include <QString>
#include <QWidget>
#include <array>

namespace velmora {

class GReadout : public QWidget {
  public:
    GReadout(int control_id, QWidget* parent);

    void set_values(double gx, double gy, double gz);  // repaints only on a change
    // Label and value of each row, as shown.
    std::array<QString, 3> rows() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::array<double, 3> values_{};
};

}  // namespace velmora
