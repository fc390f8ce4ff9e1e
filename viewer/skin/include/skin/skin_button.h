// Four-frame bitmap button: normal, hover, pressed, disabled. A release outside the button
// clicks nothing (QAbstractButton's rule).
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace velmora {

class SkinButton : public QAbstractButton {
    Q_OBJECT
  public:
    enum class Mode { Region, Rectangle };

    SkinButton(int control_id, int strip_id, QWidget* parent = nullptr);

    int control_id() const { return control_id_; }
    void set_mode(Mode mode);
    // 1 normal, 2 hover, 3 pressed, 4 disabled: what the next paint shows.
    int current_frame() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Region mode: only the pixels of the frame's shape belong to the button.
    bool hitButton(const QPoint& pos) const override;

  private:
    QPixmap frame_pixmap(int frame, qreal device_pixel_ratio) const;
    QSize frame_size() const;
    void sync_mask();
    void paint_region_mode(QPainter& painter);
    void paint_rectangle_mode(QPainter& painter);
    void paint_caption(QPainter& painter, const QRect& frame_rect);

    int control_id_;
    int strip_id_;
    Mode mode_ = Mode::Region;
    bool hover_ = false;
};

}  // namespace velmora
