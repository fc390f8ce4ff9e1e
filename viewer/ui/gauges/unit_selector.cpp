#include "unit_selector.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace velmora {

namespace {

struct SelectorInk {
    QColor top;
    QColor bottom;
    QColor edge;
};

const SelectorInk kNormal{QColor(52, 132, 222), QColor(24, 82, 168), QColor(120, 180, 250)};
const SelectorInk kAlert{QColor(232, 58, 52), QColor(168, 22, 22), QColor(255, 140, 130)};

QString caption_of(int unit) {
    return QString(unit, QLatin1Char('I'));
}

}  // namespace

UnitSelector::UnitSelector(int control_id, int unit, QWidget* parent)
    : QWidget(parent), unit_(unit) {
    setObjectName(QString::number(control_id));
    setCursor(Qt::PointingHandCursor);
}

void UnitSelector::set_alert(bool alert) {
    if (alert == alert_) return;
    alert_ = alert;
    update();
}

void UnitSelector::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const SelectorInk& ink = alert_ ? kAlert : kNormal;
    const QRectF area = QRectF(rect()).adjusted(1.0, 1.0, -1.0, -1.0);
    const double radius = qMin(area.width(), area.height()) * 0.18;
    QLinearGradient shade(area.topLeft(), area.bottomLeft());
    shade.setColorAt(0.0, ink.top);
    shade.setColorAt(1.0, ink.bottom);
    painter.setPen(QPen(ink.edge, 1.0));
    painter.setBrush(shade);
    painter.drawRoundedRect(area, radius, radius);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(qMax(1, static_cast<int>(area.height() * 0.5)));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(area, Qt::AlignCenter, caption_of(unit_));
}

void UnitSelector::mouseReleaseEvent(QMouseEvent* event) {
    const bool inside = rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton && inside && on_click) on_click(unit_);
    QWidget::mouseReleaseEvent(event);
}

}  // namespace velmora
