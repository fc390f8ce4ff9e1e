#include "tyre_repeater.h"

#include <QPainter>

namespace velmora {

namespace {

QColor colour_for(int state) {
    switch (state) {
        case 1:
            return QColor(128, 128, 130);
        case 2:
            return QColor(206, 206, 210);
        default:
            return QColor(226, 40, 40);
    }
}

}  // namespace

TyreRepeater::TyreRepeater(int control_id, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(control_id));
}

void TyreRepeater::set_state(int state) {
    if (state == state_) return;
    state_ = state;
    update();
}

// A small box with an antenna sending waves to both sides.
void TyreRepeater::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour = colour_for(state_);
    const double w = width();
    const double h = height();
    const QRectF box(w * 0.22, h * 0.55, w * 0.56, h * 0.36);
    painter.setPen(QPen(colour.darker(160), 1.0));
    painter.setBrush(colour);
    painter.drawRoundedRect(box, w * 0.08, w * 0.08);
    const QPointF tip(w * 0.5, h * 0.2);
    const double line = qMax(1.0, w * 0.06);
    painter.setPen(QPen(colour, line, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(w * 0.5, box.top()), tip);
    painter.setBrush(Qt::NoBrush);
    for (int wave = 1; wave <= 2; ++wave) {
        const double r = w * 0.16 * wave;
        const QRectF circle(tip.x() - r, tip.y() - r, 2 * r, 2 * r);
        painter.drawArc(circle, -40 * 16, 80 * 16);  // to the right
        painter.drawArc(circle, 140 * 16, 80 * 16);  // to the left
    }
}

}  // namespace velmora
