#include "dashboard_panel.h"

#include <QPainter>
#include <QPainterPath>

#include "skin/theme.h"

namespace velmora {

DashboardPanel::DashboardPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("dashboard"));
}

void DashboardPanel::set_g_range(int limit) {
    g_range_ = limit;
    update();
}
void DashboardPanel::set_speed_range(int limit) {
    speed_range_ = limit;
    update();
}
void DashboardPanel::set_temperature_range(int limit) {
    temperature_range_ = limit;
    update();
}
void DashboardPanel::set_speed_unit(int unit) {
    speed_unit_ = unit;
    update();
}
void DashboardPanel::set_temperature_unit(int unit) {
    temperature_unit_ = unit;
    update();
}
void DashboardPanel::set_pressure_unit(int unit) {
    pressure_unit_ = unit;
    update();
}

QString DashboardPanel::summary() const {
    const QString speed_unit = speed_unit_ == 1 ? QStringLiteral("mph") : QStringLiteral("km/h");
    const QString degree =
        temperature_unit_ == 1 ? QStringLiteral("\u2109") : QStringLiteral("\u2103");
    const QString pressure = pressure_unit_ == 1 ? QStringLiteral("kPa") : QStringLiteral("PSI");
    return QStringLiteral(
               "G-sensor \u00b1%1 g   \u2022   speed 0~%2 %3   \u2022   temperature -50~+%4 %5"
               "   \u2022   tyre pressure %6")
        .arg(g_range_)
        .arg(speed_range_)
        .arg(speed_unit)
        .arg(temperature_range_)
        .arg(degree)
        .arg(pressure);
}

// Three empty dials and the current scales: the gauges themselves come with the telemetry
// dashboard.
void DashboardPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), theme::kPanel);
    painter.setPen(QColor(58, 58, 58));
    painter.drawLine(0, 0, width(), 0);
    const int dial = qMax(0, qMin(height() - 46, 120));
    if (dial > 24) {
        const int gap = 40;
        const int total = 3 * dial + 2 * gap;
        int x = (width() - total) / 2;
        for (int i = 0; i < 3; ++i, x += dial + gap) {
            const QRectF r(x, 12, dial, dial);
            painter.setPen(QPen(QColor(70, 70, 70), 6, Qt::SolidLine, Qt::FlatCap));
            painter.drawArc(r.adjusted(4, 4, -4, -4), -45 * 16, 270 * 16);
            painter.setPen(QPen(theme::kAccent.darker(260), 6, Qt::SolidLine, Qt::FlatCap));
            painter.drawArc(r.adjusted(4, 4, -4, -4), 225 * 16, -20 * 16);
        }
    }
    painter.setPen(QColor(150, 150, 150));
    painter.drawText(rect().adjusted(8, 0, -8, -8), Qt::AlignHCenter | Qt::AlignBottom, summary());
}

}  // namespace velmora
