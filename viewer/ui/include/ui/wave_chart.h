// The wave chart at the right end of the dashboard: the last minute of G-sensor, speed and
// temperature on one time axis, the newest second at the left. It only shows the copy of the
// history and the ranges the dashboard hands it; it owns no timer.
#pragma once

#include <QWidget>

#include "model/wave_geometry.h"
#include "model/wave_history.h"

namespace velmora {

class WaveChart : public QWidget {
    Q_OBJECT
  public:
    explicit WaveChart(QWidget* parent = nullptr);

    void set_history(const WaveHistory& history);
    void set_ranges(const WaveRanges& ranges);
    const WaveHistory& history() const { return history_; }
    WaveRanges ranges() const { return ranges_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void draw_axes(QPainter& painter, const WaveGeometry& geometry) const;
    void draw_labels(QPainter& painter, const WaveGeometry& geometry) const;
    void draw_curve(QPainter& painter, const WaveGeometry& geometry, WaveCurve curve) const;

    WaveHistory history_;
    WaveRanges ranges_;
};

}  // namespace velmora
