#include "tyre_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace velmora {

namespace {

constexpr int kTreadGrooves = 7;

struct TyreInk {
    QColor upper;  // a tyre in two colours shows the second one below
    QColor lower;
};

TyreInk ink_for(int state) {
    const QColor grey(128, 128, 130);
    const QColor red(226, 40, 40);
    switch (state) {
        case 1:
            return {QColor(44, 190, 84), QColor(44, 190, 84)};
        case 2:
            return {QColor(72, 72, 74), QColor(72, 72, 74)};
        case 3:
            return {red, red};
        case 4:
            return {red, grey};
        case 5:
            return {QColor(206, 206, 210), QColor(206, 206, 210)};
        default:
            return {grey, grey};
    }
}

}  // namespace

TyreIcon::TyreIcon(int control_id, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(control_id));
}

void TyreIcon::set_state(int state) {
    if (state == state_) return;
    state_ = state;
    update();
}

void TyreIcon::paintEvent(QPaintEvent*) {
    if (state_ == -1) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const TyreInk ink = ink_for(state_);
    const QRectF body =
        QRectF(rect()).adjusted(width() * 0.12, height() * 0.04, -width() * 0.12, -height() * 0.04);
    const double radius = body.width() * 0.32;
    QPainterPath outline;
    outline.addRoundedRect(body, radius, radius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink.lower);
    painter.drawPath(outline);
    if (ink.upper != ink.lower) {
        painter.save();
        painter.setClipRect(QRectF(body.left(), body.top(), body.width(), body.height() / 2.0));
        painter.setBrush(ink.upper);
        painter.drawPath(outline);
        painter.restore();
    }
    // Tread grooves across the tyre, and a darker rim so the shape reads on any colour.
    painter.setPen(QPen(QColor(0, 0, 0, 70), qMax(1.0, body.height() * 0.025)));
    for (int groove = 1; groove <= kTreadGrooves; ++groove) {
        const double y = body.top() + body.height() * groove / (kTreadGrooves + 1);
        painter.drawLine(QPointF(body.left() + body.width() * 0.2, y),
                         QPointF(body.right() - body.width() * 0.2, y));
    }
    painter.setPen(QPen(QColor(0, 0, 0, 110), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
}

}  // namespace velmora
