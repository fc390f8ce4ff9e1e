// One tyre seen from above, its colour telling its state: 1 green (normal), 2 dark grey, 3 red,
// 4 red and grey, 5 pale grey, any other value grey (no reading). State -1 draws nothing.
#pragma once

#include <QWidget>

namespace velmora {

class TyreIcon : public QWidget {
  public:
    TyreIcon(int control_id, QWidget* parent);

    void set_state(int state);  // repaints only on a change
    int state() const { return state_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int state_ = -1;
};

}  // namespace velmora
