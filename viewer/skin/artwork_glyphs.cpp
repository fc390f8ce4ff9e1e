#include "artwork_glyphs.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "skin/theme.h"

namespace velmora::glyph {

namespace {

constexpr qreal kStroke = 2.0;

QPen stroke_pen(const QColor& colour, qreal width = kStroke) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void fill_polygon(QPainter& p, const QColor& colour, std::initializer_list<QPointF> points) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

void fill_rounded(QPainter& p, const QColor& colour, const QRectF& rect, qreal radius) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(rect, radius, radius);
}

void stroke_line(QPainter& p, const QColor& colour, QPointF from, QPointF to,
                 qreal width = kStroke) {
    p.setPen(stroke_pen(colour, width));
    p.drawLine(from, to);
}

void monitor_outline(QPainter& p, const Ink& ink) {
    p.setPen(stroke_pen(ink.main, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2.5, 4, 19, 13), 2, 2);
    stroke_line(p, ink.main, {12, 17.5}, {12, 20}, 1.8);
    stroke_line(p, ink.main, {8, 20.5}, {16, 20.5}, 1.8);
}

void microphone(QPainter& p, const Ink& ink) {
    fill_rounded(p, ink.main, QRectF(9, 2.5, 6, 11.5), 3);
    p.setPen(stroke_pen(ink.main, 1.8));
    p.setBrush(Qt::NoBrush);
    QPainterPath cup;
    cup.moveTo(6, 10);
    cup.cubicTo(6, 18.5, 18, 18.5, 18, 10);
    p.drawPath(cup);
    stroke_line(p, ink.main, {12, 16.8}, {12, 20.5}, 1.8);
    stroke_line(p, ink.main, {8.5, 21}, {15.5, 21}, 1.8);
}

void speaker(QPainter& p, const Ink& ink) {
    fill_polygon(p, ink.main, {{2.5, 9}, {7, 9}, {12.5, 4.5}, {12.5, 19.5}, {7, 15}, {2.5, 15}});
}

void triangle_right(QPainter& p, const QColor& c, qreal left, qreal right) {
    fill_polygon(p, c, {{left, 6}, {right, 12}, {left, 18}});
}

void triangle_left(QPainter& p, const QColor& c, qreal left, qreal right) {
    fill_polygon(p, c, {{right, 6}, {left, 12}, {right, 18}});
}

}  // namespace

void open_file(QPainter& p, const Ink& ink) {
    QPainterPath back;
    back.moveTo(2.5, 19);
    back.lineTo(2.5, 5.5);
    back.lineTo(9, 5.5);
    back.lineTo(11, 7.5);
    back.lineTo(19.5, 7.5);
    back.lineTo(19.5, 10);
    p.setPen(stroke_pen(ink.main, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(back);
    fill_polygon(p, ink.main, {{2.5, 19.5}, {6, 10.5}, {22.5, 10.5}, {19, 19.5}});
}

void search_hdd(QPainter& p, const Ink& ink) {
    p.setPen(stroke_pen(ink.main, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2.5, 6, 19, 12), 2.5, 2.5);
    stroke_line(p, ink.main, {2.5, 13}, {21.5, 13}, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(ink.accent);
    p.drawEllipse(QPointF(17.5, 15.6), 1.3, 1.3);
    stroke_line(p, ink.main, {5.5, 15.6}, {11, 15.6}, 1.4);
}

void search_sd(QPainter& p, const Ink& ink) {
    fill_polygon(p, ink.main, {{9, 2.5}, {19, 2.5}, {19, 21.5}, {5, 21.5}, {5, 6.5}});
    p.setPen(stroke_pen(QColor(0, 0, 0, 150), 1.4));
    for (qreal x : {10.0, 13.0, 16.0}) p.drawLine(QPointF(x, 5), QPointF(x, 9));
    fill_rounded(p, ink.accent, QRectF(7.5, 15, 9, 3.5), 1);
}

void close_source(QPainter& p, const Ink& ink) {
    fill_polygon(p, ink.main, {{12, 4}, {20, 13}, {4, 13}});
    fill_rounded(p, ink.main, QRectF(4, 16, 16, 3.5), 1);
}

void find_play(QPainter& p, const Ink& ink) {
    p.setPen(stroke_pen(ink.main, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(10, 10), 7, 7);
    stroke_line(p, ink.main, {15.2, 15.2}, {21, 21}, 3.0);
    fill_polygon(p, ink.accent, {{8, 6.5}, {14, 10}, {8, 13.5}});
}

void screen_record(QPainter& p, const Ink& ink) {
    monitor_outline(p, ink);
    p.setPen(Qt::NoPen);
    p.setBrush(ink.alert);
    p.drawEllipse(QPointF(12, 10.5), 3.6, 3.6);
}

void stop_screen_record(QPainter& p, const Ink& ink) {
    monitor_outline(p, ink);
    fill_rounded(p, ink.alert, QRectF(8.7, 7.2, 6.6, 6.6), 1);
}

void talk_open(QPainter& p, const Ink& ink) {
    microphone(p, ink);
}

void talk_close(QPainter& p, const Ink& ink) {
    microphone(p, ink);
    stroke_line(p, QColor(0, 0, 0, 170), {4, 3}, {20, 21}, 4.0);
    stroke_line(p, ink.alert, {4, 3}, {20, 21}, 2.2);
}

void play(QPainter& p, const Ink& ink) {
    fill_polygon(p, ink.main, {{8, 4.5}, {19.5, 12}, {8, 19.5}});
}

void pause(QPainter& p, const Ink& ink) {
    fill_rounded(p, ink.main, QRectF(6.5, 5, 4, 14), 1);
    fill_rounded(p, ink.main, QRectF(13.5, 5, 4, 14), 1);
}

void step_backward(QPainter& p, const Ink& ink) {
    fill_rounded(p, ink.main, QRectF(5, 6, 3, 12), 0.8);
    triangle_left(p, ink.main, 9, 19);
}

void step_forward(QPainter& p, const Ink& ink) {
    triangle_right(p, ink.main, 5, 15);
    fill_rounded(p, ink.main, QRectF(16, 6, 3, 12), 0.8);
}

void fast_backward(QPainter& p, const Ink& ink) {
    triangle_left(p, ink.main, 2.5, 12);
    triangle_left(p, ink.main, 11.5, 21);
}

void fast_forward(QPainter& p, const Ink& ink) {
    triangle_right(p, ink.main, 3, 12.5);
    triangle_right(p, ink.main, 12, 21.5);
}

void stop(QPainter& p, const Ink& ink) {
    fill_rounded(p, ink.main, QRectF(6, 6, 12, 12), 1.5);
}

void extract(QPainter& p, const Ink& ink) {
    stroke_line(p, ink.main, {8.5, 15}, {17, 3}, 2.0);
    stroke_line(p, ink.main, {15.5, 15}, {7, 3}, 2.0);
    p.setPen(stroke_pen(ink.accent, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(7, 18), 3.2, 3.2);
    p.drawEllipse(QPointF(17, 18), 3.2, 3.2);
    p.setPen(Qt::NoPen);
    p.setBrush(ink.main);
    p.drawEllipse(QPointF(12, 10.3), 1.2, 1.2);
}

void capture(QPainter& p, const Ink& ink) {
    QPainterPath body;
    body.addRoundedRect(QRectF(2.5, 7, 19, 13), 2.5, 2.5);
    body.addRoundedRect(QRectF(8, 4.5, 8, 4), 1.2, 1.2);
    body = body.simplified();
    QPainterPath lens;
    lens.addEllipse(QPointF(12, 13.5), 4.6, 4.6);
    p.setPen(Qt::NoPen);
    p.setBrush(ink.main);
    p.drawPath(body.subtracted(lens));
    p.setBrush(ink.accent);
    p.drawEllipse(QPointF(12, 13.5), 2.6, 2.6);
}

void channels(QPainter& p, const Ink& ink) {
    for (qreal x : {4.0, 13.0})
        for (qreal y : {4.0, 13.0}) fill_rounded(p, ink.main, QRectF(x, y, 7, 7), 1.2);
}

void audio_on(QPainter& p, const Ink& ink) {
    speaker(p, ink);
    p.setPen(stroke_pen(ink.main, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 7.5, 9, 9), -50 * 16, 100 * 16);
    p.drawArc(QRectF(7, 3.5, 15, 17), -50 * 16, 100 * 16);
}

void audio_off(QPainter& p, const Ink& ink) {
    speaker(p, ink);
    stroke_line(p, ink.alert, {15.5, 9}, {21, 15}, 2.0);
    stroke_line(p, ink.alert, {21, 9}, {15.5, 15}, 2.0);
}

void truck(QPainter& p, const QColor& body) {
    const QColor outline = body.darker(170);
    p.setPen(QPen(outline, 1.2));
    QLinearGradient shade(0, 12, 0, 34);
    shade.setColorAt(0, body.lighter(125));
    shade.setColorAt(1, body.darker(115));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(2.5, 12.5, 28, 20), 1.5, 1.5);
    QPainterPath cab;
    cab.moveTo(32, 34);
    cab.lineTo(32, 18.5);
    cab.lineTo(40, 18.5);
    cab.lineTo(45.5, 26);
    cab.lineTo(45.5, 34);
    cab.closeSubpath();
    p.drawPath(cab);
    fill_polygon(p, QColor(20, 40, 56), {{34, 20.5}, {39, 20.5}, {43, 26}, {34, 26}});
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(28, 28, 28));
    p.drawRect(QRectF(2.5, 33, 43, 2.5));
    for (qreal x : {10.0, 21.0, 39.0}) {
        p.setBrush(QColor(24, 24, 24));
        p.drawEllipse(QPointF(x, 36.5), 4.6, 4.6);
        p.setBrush(QColor(150, 150, 150));
        p.drawEllipse(QPointF(x, 36.5), 1.8, 1.8);
    }
}

void app_emblem(QPainter& p, const QRectF& box) {
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 48.0, box.height() / 48.0);
    QLinearGradient back(0, 0, 0, 48);
    back.setColorAt(0, QColor(46, 50, 54));
    back.setColorAt(1, QColor(22, 24, 26));
    p.setPen(QPen(QColor(0, 216, 255, 160), 1.5));
    p.setBrush(back);
    p.drawRoundedRect(QRectF(1.5, 1.5, 45, 45), 9, 9);
    // The road runs to the horizon under the lens.
    fill_polygon(p, QColor(70, 74, 78), {{19, 27}, {29, 27}, {41, 45}, {7, 45}});
    p.setPen(QPen(theme::kText, 1.6, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(24, 29), QPointF(24, 32.5));
    p.drawLine(QPointF(24, 36), QPointF(24, 41));
    p.setPen(Qt::NoPen);
    p.setBrush(theme::kAccent);
    p.drawRoundedRect(QRectF(10, 8, 28, 16), 4, 4);
    p.drawRoundedRect(QRectF(18, 5.5, 12, 4), 1.5, 1.5);
    p.setBrush(QColor(18, 22, 26));
    p.drawEllipse(QPointF(24, 16), 5.6, 5.6);
    p.setBrush(theme::kAccent.lighter(140));
    p.drawEllipse(QPointF(22.3, 14.3), 1.7, 1.7);
    p.setBrush(QColor(255, 70, 70));
    p.drawEllipse(QPointF(34, 11.5), 1.4, 1.4);
    p.restore();
}

}  // namespace velmora::glyph
