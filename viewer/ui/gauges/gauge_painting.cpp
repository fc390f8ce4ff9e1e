#include "gauge_painting.h"

#include <QFontMetricsF>
#include <QPainter>

namespace velmora::gauge {

namespace {

constexpr double kProbeSize = 100.0;

// The font whose ascent plus descent is the cell height, as a line of text is measured.
QFont font_for(const FittedFont& fitted) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(fitted.weight);
    font.setPixelSize(static_cast<int>(kProbeSize));
    const double probe_height = QFontMetricsF(font).height();
    // Without a usable font the metrics are empty: take the cell height as it is.
    const double size =
        probe_height > 0 ? fitted.cell_height * kProbeSize / probe_height : fitted.cell_height;
    font.setPixelSize(qMax(1, static_cast<int>(size)));
    return font;
}

}  // namespace

void draw_fitted_text(QPainter& painter, const QRect& rect, Qt::Alignment alignment,
                      const QString& text, const FittedFont& fitted) {
    if (text.isEmpty() || fitted.cell_height < 1 || rect.isEmpty()) return;
    const QFont font = font_for(fitted);
    const double natural = QFontMetricsF(font).averageCharWidth();
    const double stretch =
        fitted.average_width > 0 && natural > 0 ? fitted.average_width / natural : 1.0;
    painter.save();
    painter.setFont(font);
    painter.translate(rect.topLeft());
    painter.scale(stretch, 1.0);
    const QRectF unstretched(0, 0, rect.width() / stretch, rect.height());
    painter.drawText(unstretched, static_cast<int>(alignment) | Qt::TextSingleLine, text);
    painter.restore();
}

void draw_border(QPainter& painter, const QRect& rect) {
    painter.save();
    painter.setPen(QPen(kBorder, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

}  // namespace velmora::gauge
