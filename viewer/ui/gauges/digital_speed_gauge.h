// The large speed number ("100 km/h") on a dark display window, right-aligned.
#pragma once

#include <QString>
#include <QWidget>

namespace velmora {

class DigitalSpeedGauge : public QWidget {
  public:
    DigitalSpeedGauge(int control_id, QWidget* parent);

    void set_text(const QString& text);  // repaints only when the text changes
    QString text() const { return text_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
};

}  // namespace velmora
