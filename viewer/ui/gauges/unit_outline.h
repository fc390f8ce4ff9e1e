// The outline of the vehicle unit whose tyres are shown, seen from above and drawn behind the
// tyre icons: unit 1 the tractor with its cab, unit 2 a semi-trailer, unit 3 a drawbar
// trailer. The axles line up with the tyre rows.
#pragma once

#include <QWidget>

namespace velmora {

class UnitOutline : public QWidget {
  public:
    UnitOutline(int control_id, QWidget* parent);

    void set_unit(int unit);  // 1..3; repaints only on a change
    int unit() const { return unit_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int unit_ = 1;
};

}  // namespace velmora
