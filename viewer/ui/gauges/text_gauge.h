// A one-line reading on the panel colour inside a grey frame: the speed text ("Speed: 62
// km/h", cyan) and the temperature text ("Temp:24 C", white). The text fills the gauge's width.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace velmora {

class TextGauge : public QWidget {
  public:
    // The font's average glyph width is (width - 4) / (text length + extra_slots), so a larger
    // extra_slots leaves more room on the right.
    TextGauge(int control_id, const QColor& colour, int extra_slots, QWidget* parent);

    void set_text(const QString& text);  // repaints only when the text changes
    QString text() const { return text_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor colour_;
    int extra_slots_;
    QString text_;
};

}  // namespace velmora
