// One alarm input: positions 1..8 a warning triangle numbered 1..8, positions 9 and 10 an
// inverted triangle marked I and II. Grey while off, red while on.
#pragma once

#include <QWidget>

namespace velmora {

class AlarmLamp : public QWidget {
  public:
    AlarmLamp(int control_id, int position, QWidget* parent);

    void set_on(bool on);  // repaints only on a change
    bool is_on() const { return on_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int position_;
    bool on_ = false;
};

}  // namespace velmora
