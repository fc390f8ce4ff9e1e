// The two bitmap sliders. The position slider reports pressed, dragged, released, hovered and
// pointed; the volume slider reports the volume on release.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>

class QTimer;

namespace velmora {

class SliderBase : public QWidget {
    Q_OBJECT
  public:
    SliderBase(int control_id, QWidget* parent);

    int control_id() const { return control_id_; }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int position() const { return position_; }
    void set_range(int minimum, int maximum);
    void set_position(int position);  // repaints; reports nothing
    // Usable track length: client width - client height.
    int track_length() const;
    // minimum + trunc(x / L x (maximum - minimum)), x clamped to 0..L.
    int position_at(int x) const;
    // Left edge of the thumb for the current position.
    int thumb_x() const;

  protected:
    // The thumb: a square of the client height at thumb_x(), drawn from a bitmap.
    void draw_thumb(QPainter& painter, int resource_id) const;
    // A bitmap drawn at the scale that fits `height`, so stretching it keeps it crisp.
    QPixmap pixmap_for_height(int resource_id, int height) const;

    int control_id_;
    int minimum_ = 1;
    int maximum_ = 100;
    int position_ = 1;
    bool dragging_ = false;
};

class SlideButton : public SliderBase {
    Q_OBJECT
  public:
    explicit SlideButton(int control_id, QWidget* parent = nullptr);

    // The tooltip is asked for its text each time it shows (the time under the pointer);
    // without a provider the widget's own toolTip() shows.
    void set_tooltip_provider(std::function<QString()> provider);

  signals:
    // Positions are capped at 100 whatever the range.
    void pressed(int position);   // the position before the press; dragging starts
    void dragged(int position);   // the thumb follows the pointer
    void released(int position);  // the position at the release point
    void hovered(int position);   // the pointer rested on the track
    void pointed(int position);   // the pointer moved without dragging

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    std::function<QString()> tooltip_provider_;
    QTimer* hover_timer_;  // a pointer resting on the track reports a hover
    int hover_position_ = 0;
};

class SlideVolume : public SliderBase {
    Q_OBJECT
  public:
    explicit SlideVolume(int control_id, QWidget* parent = nullptr);

  signals:
    void volume_set(int volume);  // on release, 0..100

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace velmora
