// The bar-graph speedometer: fifteen bars rising left to right, lit up to the frame (0: none,
// 15: all), green through amber to red. Unlit parts let the panel show through.
#pragma once

#include <QWidget>

namespace velmora {

class SpeedBarGauge : public QWidget {
  public:
    static constexpr int kBars = 15;

    SpeedBarGauge(int control_id, QWidget* parent);

    void set_frame(int frame);  // 0..15; repaints only on a change
    int frame() const { return frame_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int frame_ = 0;
};

}  // namespace velmora
