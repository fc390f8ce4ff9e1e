// Bitmap scroll bar (arrows, track, thumb) and the container that gives a scroll area these
// bars in place of the style's own.
#pragma once

#include <QScrollBar>
#include <QStyleOptionSlider>

class QAbstractScrollArea;

namespace velmora {

class SkinScroll : public QScrollBar {
    Q_OBJECT
  public:
    explicit SkinScroll(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Thumb rectangle as painted; empty when the range is smaller than the page.
    QRect thumb_rect() const;
    // The arrow at the minimum end (up or left) and at the maximum end.
    QRect first_arrow_rect() const;
    QRect second_arrow_rect() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Arrows repeat every 100 ms while held (the style's default is faster).
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QStyleOptionSlider current_option() const;
};

// Bar thickness: the width of the left-arrow bitmap less one (16).
int skin_scroll_thickness();

// Replaces target's scroll bars by SkinScroll bars and fills the corner with its bitmap. The
// bars belong to the target; nothing needs undoing when it is destroyed.
void wrap_with_skin_scroll(QAbstractScrollArea* target);

}  // namespace velmora
