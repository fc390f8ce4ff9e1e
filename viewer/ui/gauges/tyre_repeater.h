// The tyre sensors' repeater (the receiver that relays the tyre readings): grey in state 1,
// pale in state 2, red in any other state (its unit reports a fault).
#pragma once

#include <QWidget>

namespace velmora {

class TyreRepeater : public QWidget {
  public:
    TyreRepeater(int control_id, QWidget* parent);

    void set_state(int state);  // repaints only on a change
    int state() const { return state_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int state_ = -1;
};

}  // namespace velmora
