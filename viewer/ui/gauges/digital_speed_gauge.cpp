#include "digital_speed_gauge.h"

#include <QLinearGradient>
#include <QPainter>

#include "gauge_painting.h"

namespace velmora {

namespace {

// A recessed display window: darker in the middle, a thin light edge at the bottom.
void draw_display_window(QPainter& painter, const QRectF& area) {
    const double radius = qMin(area.width(), area.height()) * 0.08;
    QLinearGradient shade(area.topLeft(), area.bottomLeft());
    shade.setColorAt(0.0, QColor(46, 46, 48));
    shade.setColorAt(0.5, QColor(18, 18, 20));
    shade.setColorAt(1.0, QColor(30, 30, 32));
    painter.setPen(QPen(QColor(74, 74, 78), 1.0));
    painter.setBrush(shade);
    painter.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.setPen(QPen(QColor(0, 216, 255, 60), 1.0));
    painter.drawLine(QPointF(area.left() + radius, area.bottom() - 1.5),
                     QPointF(area.right() - radius, area.bottom() - 1.5));
}

}  // namespace

DigitalSpeedGauge::DigitalSpeedGauge(int control_id, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(control_id));
}

void DigitalSpeedGauge::set_text(const QString& text) {
    if (text == text_) return;
    text_ = text;
    update();
}

void DigitalSpeedGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    draw_display_window(painter, QRectF(rect()));
    painter.setPen(Qt::white);
    const QRect text_rect(2, 0, width() - 4, height());
    const auto glyph_slots = static_cast<int>(text_.size()) + 2;
    gauge::draw_fitted_text(painter, text_rect, Qt::AlignRight | Qt::AlignVCenter, text_,
                            {height() - 2, (width() - 4) / glyph_slots});
}

}  // namespace velmora
