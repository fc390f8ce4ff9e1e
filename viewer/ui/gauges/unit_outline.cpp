#include "unit_outline.h"

#include <QPainter>
#include <QPainterPath>
#include <array>

namespace velmora {

namespace {

// Drawn on a 237x278 design, the outline's size on the dashboard's design; the tyre rows'
// centres and the outer and inner wheels' inner edges there.
constexpr double kDesignWidth = 237.0;
constexpr double kDesignHeight = 278.0;
constexpr std::array<double, 3> kAxleY{42.0, 132.0, 222.0};
constexpr double kOuterWheelInside = 37.0;
constexpr double kOuterWheelInsideRight = 197.0;
constexpr double kCentre = kDesignWidth / 2.0;

const QColor kLine(104, 104, 110);
const QColor kBodyFill(46, 46, 50);
const QColor kGlass(70, 88, 104);

void draw_axles(QPainter& painter) {
    painter.setPen(QPen(kLine, 4.0, Qt::SolidLine, Qt::FlatCap));
    for (double y : kAxleY) {
        painter.drawLine(QPointF(kOuterWheelInside, y), QPointF(kOuterWheelInsideRight, y));
    }
}

void draw_tractor(QPainter& painter) {
    // Chassis rails from the cab to the rear, the fifth wheel over the drive axles.
    painter.setPen(QPen(kLine, 3.0));
    painter.drawLine(QPointF(kCentre - 22, 80), QPointF(kCentre - 22, 268));
    painter.drawLine(QPointF(kCentre + 22, 80), QPointF(kCentre + 22, 268));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(kCentre, 205), 26, 26);
    draw_axles(painter);
    // The cab over the front axle, windscreen ahead.
    painter.setPen(QPen(kLine, 2.0));
    painter.setBrush(kBodyFill);
    painter.drawRoundedRect(QRectF(44, 4, 149, 76), 14, 14);
    painter.setBrush(kGlass);
    painter.drawRoundedRect(QRectF(56, 10, 125, 20), 6, 6);
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(60, 64), QPointF(177, 64));
}

// The load body of a trailer from `front` to the rear.
void draw_trailer_body(QPainter& painter, double front) {
    painter.setPen(QPen(kLine, 2.0));
    painter.setBrush(kBodyFill);
    painter.drawRoundedRect(QRectF(24, front, kDesignWidth - 48, kDesignHeight - 4 - front), 8, 8);
    painter.setPen(QPen(kLine.darker(125), 1.0, Qt::DashLine));
    painter.drawLine(QPointF(kCentre, front + 12), QPointF(kCentre, kDesignHeight - 14));
}

void draw_semi_trailer(QPainter& painter) {
    draw_trailer_body(painter, 4);
    painter.setPen(QPen(kLine, 2.0));
    painter.setBrush(kLine);
    painter.drawEllipse(QPointF(kCentre, 22), 5, 5);  // kingpin
    draw_axles(painter);
}

void draw_drawbar_trailer(QPainter& painter) {
    draw_trailer_body(painter, 18);
    painter.setPen(QPen(kLine, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    QPainterPath bar;
    bar.moveTo(kCentre - 40, 42);
    bar.lineTo(kCentre, 0);
    bar.lineTo(kCentre + 40, 42);
    painter.drawPath(bar);
    painter.drawEllipse(QPointF(kCentre, 4), 4, 4);  // towing eye
    draw_axles(painter);
}

}  // namespace

UnitOutline::UnitOutline(int control_id, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(control_id));
}

void UnitOutline::set_unit(int unit) {
    if (unit == unit_) return;
    unit_ = unit;
    update();
}

void UnitOutline::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(width() / kDesignWidth, height() / kDesignHeight);
    switch (unit_) {
        case 1:
            draw_tractor(painter);
            break;
        case 2:
            draw_semi_trailer(painter);
            break;
        case 3:
            draw_drawbar_trailer(painter);
            break;
        default:
            break;
    }
}

}  // namespace velmora
