#include "alarm_lamp.h"

#include <QPainter>
#include <QPainterPath>

namespace velmora {

namespace {

constexpr int kFirstInverted = 9;

struct LampInk {
    QColor fill;
    QColor edge;
    QColor mark;
};

const LampInk kOff{QColor(74, 74, 76), QColor(118, 118, 120), QColor(150, 150, 152)};
const LampInk kOn{QColor(220, 30, 30), QColor(255, 110, 100), QColor(255, 255, 255)};

// A triangle with rounded corners in the square `box`, pointing up or down.
QPainterPath triangle(const QRectF& box, bool inverted) {
    const double top = inverted ? box.bottom() : box.top();
    const double base =
        inverted ? box.top() + box.height() * 0.1 : box.bottom() - box.height() * 0.1;
    QPolygonF corners;
    corners << QPointF(box.center().x(), top) << QPointF(box.right(), base)
            << QPointF(box.left(), base);
    QPainterPath path;
    path.addPolygon(corners);
    path.closeSubpath();
    return path;
}

QString mark_of(int position) {
    if (position >= kFirstInverted) {
        return position == kFirstInverted ? QStringLiteral("I") : QStringLiteral("II");
    }
    return QString::number(position);
}

}  // namespace

AlarmLamp::AlarmLamp(int control_id, int position, QWidget* parent)
    : QWidget(parent), position_(position) {
    setObjectName(QString::number(control_id));
}

void AlarmLamp::set_on(bool on) {
    if (on == on_) return;
    on_ = on;
    update();
}

void AlarmLamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const LampInk& ink = on_ ? kOn : kOff;
    const double side = qMin(width(), height()) * 0.86;
    const QRectF box((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    const bool inverted = position_ >= kFirstInverted;
    painter.setPen(
        QPen(ink.edge, qMax(1.0, side * 0.05), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(ink.fill);
    painter.drawPath(triangle(box, inverted));
    // The mark sits in the wide part of the triangle.
    QRectF mark_area = box;
    if (inverted) {
        mark_area.setBottom(box.top() + box.height() * 0.62);
        mark_area.setTop(box.top() + box.height() * 0.12);
    } else {
        mark_area.setTop(box.top() + box.height() * 0.38);
        mark_area.setBottom(box.bottom() - box.height() * 0.12);
    }
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(qMax(1, static_cast<int>(mark_area.height() * 0.85)));
    painter.setFont(font);
    painter.setPen(ink.mark);
    painter.drawText(mark_area, Qt::AlignCenter, mark_of(position_));
}

}  // namespace velmora
