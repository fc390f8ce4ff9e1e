// The two text lines of one tyre: temperature above, pressure below, white on dark grey. The
// longer line sets the glyph width of both.
#pragma once

#include <QString>
#include <QWidget>

namespace velmora {

class TyreText : public QWidget {
  public:
    TyreText(int control_id, QWidget* parent);

    // Repaints only when either line changes.
    void set_lines(const QString& line1, const QString& line2);
    QString line1() const { return line1_; }
    QString line2() const { return line2_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString line1_, line2_;
};

}  // namespace velmora
