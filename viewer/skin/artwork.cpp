#include "skin/artwork.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <vector>

#include "artwork_glyphs.h"
#include "skin/theme.h"

namespace velmora {

namespace {

// Everything outside a shape is left fully transparent: its colour reads as black, the key
// colour of the region and transparent-draw helpers, so masks and plain drawing agree.
using DrawFn = void (*)(QPainter&);

struct ArtEntry {
    int id;
    QSize size;
    DrawFn draw;
};

constexpr int kToolbarFrame = 32;
constexpr int kPlaybackFrame = 48;

enum class FrameState { Normal = 1, Hover, Pressed, Disabled };

glyph::Ink ink_for(FrameState state) {
    switch (state) {
        case FrameState::Hover:
            return {QColor(255, 255, 255), theme::kAccent, QColor(255, 80, 80)};
        case FrameState::Pressed:
            return {QColor(214, 214, 214), QColor(0, 176, 210), QColor(220, 50, 50)};
        case FrameState::Disabled:
            return {QColor(104, 104, 104), QColor(96, 96, 96), QColor(110, 110, 110)};
        case FrameState::Normal:
            break;
    }
    return {QColor(236, 236, 236), theme::kAccent, QColor(236, 56, 56)};
}

void round_backdrop(QPainter& p, int size, FrameState state) {
    const QRectF disc(1, 1, size - 2, size - 2);
    QLinearGradient shade(0, 0, 0, size);
    QColor ring;
    switch (state) {
        case FrameState::Normal:
            shade.setColorAt(0, QColor(78, 78, 80));
            shade.setColorAt(1, QColor(44, 44, 46));
            ring = QColor(100, 100, 104);
            break;
        case FrameState::Hover:
            shade.setColorAt(0, QColor(96, 98, 102));
            shade.setColorAt(1, QColor(56, 58, 62));
            ring = theme::kAccent;
            break;
        case FrameState::Pressed:
            shade.setColorAt(0, QColor(30, 30, 32));
            shade.setColorAt(1, QColor(52, 52, 54));
            ring = QColor(0, 150, 180);
            break;
        case FrameState::Disabled:
            shade.setColorAt(0, QColor(50, 50, 50));
            shade.setColorAt(1, QColor(44, 44, 44));
            ring = QColor(62, 62, 62);
            break;
    }
    p.setPen(QPen(ring, state == FrameState::Hover ? 1.6 : 1.0));
    p.setBrush(shade);
    p.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
}

// One frame of a round button: backdrop, then the glyph scaled from its 24-unit box.
void round_frame(QPainter& p, int size, FrameState state, glyph::Glyph draw_glyph) {
    round_backdrop(p, size, state);
    const qreal glyph_size = size * 0.56;
    const qreal shift = state == FrameState::Pressed ? 1.0 : 0.0;
    p.save();
    p.translate((size - glyph_size) / 2 + shift, (size - glyph_size) / 2 + shift);
    p.scale(glyph_size / 24.0, glyph_size / 24.0);
    draw_glyph(p, ink_for(state));
    p.restore();
}

template <int FrameSize, glyph::Glyph G>
void round_strip(QPainter& p) {
    for (int n = 1; n <= 4; ++n) {
        p.save();
        p.translate((n - 1) * FrameSize, 0);
        round_frame(p, FrameSize, static_cast<FrameState>(n), G);
        p.restore();
    }
}

// Caption boxes: a rounded square with a white symbol; the close box turns red on hover.
enum class CaptionGlyph { Minimise, Maximise, Close, Restore };

void caption_box(QPainter& p, CaptionGlyph symbol, bool hover) {
    QColor fill = hover ? QColor(118, 118, 120) : QColor(64, 64, 66);
    if (hover && symbol == CaptionGlyph::Close) fill = QColor(224, 36, 44);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    QPen pen(QColor(255, 255, 255, hover ? 255 : 220), 1.3, Qt::SolidLine, Qt::SquareCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (symbol) {
        case CaptionGlyph::Minimise:
            p.drawLine(QPointF(4.5, 11), QPointF(11.5, 11));
            break;
        case CaptionGlyph::Maximise:
            p.drawRect(QRectF(4.5, 4.5, 7, 7));
            break;
        case CaptionGlyph::Close:
            p.drawLine(QPointF(5, 5), QPointF(11, 11));
            p.drawLine(QPointF(11, 5), QPointF(5, 11));
            break;
        case CaptionGlyph::Restore:
            p.drawRect(QRectF(4, 6.5, 5.5, 5.5));
            p.drawPolyline(QPolygonF({QPointF(6.5, 6.5), QPointF(6.5, 4), QPointF(12, 4),
                                      QPointF(12, 9.5), QPointF(9.5, 9.5)}));
            break;
    }
}

template <CaptionGlyph S, bool Hover>
void caption(QPainter& p) {
    caption_box(p, S, Hover);
}

template <int R, int G, int B>
void truck(QPainter& p) {
    glyph::truck(p, QColor(R, G, B));
}

// Slider pieces: a groove band across the middle fifth of the height, so that stretching the
// bitmap over a taller control keeps a slim groove.
void groove(QPainter& p, const QColor& fill, const QColor& top) {
    p.fillRect(QRectF(0, 1.5, 20, 2), fill);
    p.fillRect(QRectF(0, 1.5, 20, 0.5), top);
}

void slider_thumb(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(theme::kAccent);
    p.drawEllipse(QRectF(0.25, 0.25, 6.5, 6.5));
    p.setBrush(theme::kText);
    p.drawEllipse(QPointF(3.5, 3.5), 1.4, 1.4);
}

void slider_track(QPainter& p) {
    groove(p, QColor(78, 78, 80), QColor(40, 40, 42));
}
void volume_filled(QPainter& p) {
    groove(p, theme::kAccent, theme::kAccent.darker(140));
}
void volume_empty(QPainter& p) {
    groove(p, QColor(88, 88, 90), QColor(50, 50, 52));
}

void volume_thumb(QPainter& p) {
    const QPointF centre(16, 15.5);
    QLinearGradient shade(0, 3, 0, 28);
    shade.setColorAt(0, QColor(250, 250, 250));
    shade.setColorAt(1, QColor(176, 180, 186));
    p.setPen(QPen(theme::kAccent, 2.2));
    p.setBrush(shade);
    p.drawEllipse(centre, 12, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(theme::kAccent);
    p.drawEllipse(centre, 4, 4);
}

// Scroll bar parts.
const QColor kScrollTrack(30, 30, 32);
const QColor kScrollButton(50, 50, 53);
const QColor kScrollArrow(176, 176, 180);

enum class Arrow { Up, Down, Left, Right };

void scroll_arrow(QPainter& p, Arrow direction, int width) {
    p.fillRect(QRectF(0, 0, width, 16), kScrollTrack);
    // Left arrows are painted one pixel left of the bar, right arrows clipped at the far end:
    // the glyph sits in the visible sixteen columns either way.
    const qreal left = direction == Arrow::Left ? 1.0 : 0.0;
    p.setPen(Qt::NoPen);
    p.setBrush(kScrollButton);
    p.drawRoundedRect(QRectF(left + 1, 1, 14, 14), 2.5, 2.5);
    p.save();
    p.translate(left + 8, 8);
    const int turns = direction == Arrow::Up      ? 0
                      : direction == Arrow::Right ? 1
                      : direction == Arrow::Down  ? 2
                                                  : 3;
    p.rotate(90.0 * turns);
    p.setPen(QPen(kScrollArrow, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(-3.5, 2), QPointF(0, -1.5), QPointF(3.5, 2)}));
    p.restore();
}

template <Arrow A, int W>
void arrow(QPainter& p) {
    scroll_arrow(p, A, W);
}

void scroll_vtrack(QPainter& p) {
    p.fillRect(QRectF(0, 0, 16, 153), kScrollTrack);
    p.fillRect(QRectF(0, 0, 1, 153), QColor(22, 22, 24));
}

void scroll_htrack(QPainter& p) {
    p.fillRect(QRectF(0, 0, 195, 16), kScrollTrack);
    p.fillRect(QRectF(0, 0, 195, 1), QColor(22, 22, 24));
}

void scroll_thumb(QPainter& p, const QRectF& body, bool vertical) {
    QLinearGradient shade = vertical ? QLinearGradient(body.left(), 0, body.right(), 0)
                                     : QLinearGradient(0, body.top(), 0, body.bottom());
    shade.setColorAt(0, QColor(118, 118, 122));
    shade.setColorAt(1, QColor(92, 92, 96));
    p.setPen(QPen(QColor(136, 136, 140), 1));
    p.setBrush(shade);
    p.drawRoundedRect(body, 4, 4);
}

void scroll_vthumb(QPainter& p) {
    p.fillRect(QRectF(0, 0, 16, 29), kScrollTrack);
    scroll_thumb(p, QRectF(3.5, 1.5, 9, 26), true);
}

void scroll_hthumb(QPainter& p) {
    p.fillRect(QRectF(0, 0, 96, 16), kScrollTrack);
    scroll_thumb(p, QRectF(1.5, 3.5, 93, 9), false);
}

void scroll_corner(QPainter& p) {
    p.fillRect(QRectF(0, 0, 16, 16), kScrollTrack);
}

// Window edges: a dark outer line, a light bevel and a mid-grey inner line, across the thin
// side; the dialog edge is twice as thick and is squeezed into three pixels when drawn.
void edge_bands(QPainter& p, const QSizeF& size, bool horizontal,
                const std::vector<QColor>& bands) {
    const qreal thickness = horizontal ? size.height() : size.width();
    const qreal band = thickness / static_cast<qreal>(bands.size());
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const qreal at = band * static_cast<qreal>(i);
        const QRectF r =
            horizontal ? QRectF(0, at, size.width(), band) : QRectF(at, 0, band, size.height());
        p.fillRect(r, bands[i]);
    }
}

const std::vector<QColor>& edge_colours() {
    static const std::vector<QColor> colours{QColor(18, 18, 20), QColor(104, 104, 108),
                                             QColor(58, 58, 62)};
    return colours;
}

void main_edge_h(QPainter& p) {
    edge_bands(p, {1047, 3}, true, edge_colours());
}
void main_edge_v(QPainter& p) {
    edge_bands(p, {3, 379}, false, edge_colours());
}
void dialog_edge_h(QPainter& p) {
    edge_bands(p, {1047, 6}, true, edge_colours());
}
void dialog_edge_v(QPainter& p) {
    edge_bands(p, {3, 379}, false, edge_colours());
}

void app_icon_art(QPainter& p) {
    glyph::app_emblem(p, QRectF(0, 0, 48, 48));
}

constexpr QSize kToolbarStrip(4 * kToolbarFrame, kToolbarFrame);
constexpr QSize kPlaybackStrip(4 * kPlaybackFrame, kPlaybackFrame);

const ArtEntry kArtTable[] = {
    {art::kAppIcon, {48, 48}, app_icon_art},
    {art::kSliderThumb, {7, 7}, slider_thumb},
    {art::kSliderTrack, {20, 5}, slider_track},
    {art::kMinimise, {16, 16}, caption<CaptionGlyph::Minimise, false>},
    {art::kMinimiseHover, {16, 16}, caption<CaptionGlyph::Minimise, true>},
    {art::kMaximise, {16, 16}, caption<CaptionGlyph::Maximise, false>},
    {art::kMaximiseHover, {16, 16}, caption<CaptionGlyph::Maximise, true>},
    {art::kClose, {16, 16}, caption<CaptionGlyph::Close, false>},
    {art::kCloseHover, {16, 16}, caption<CaptionGlyph::Close, true>},
    {art::kRestore, {16, 16}, caption<CaptionGlyph::Restore, false>},
    {art::kRestoreHover, {16, 16}, caption<CaptionGlyph::Restore, true>},
    {art::kTruckYellow, {48, 48}, truck<246, 196, 30>},
    {art::kTruckRed, {48, 48}, truck<222, 48, 48>},
    {art::kTruckGrey, {48, 48}, truck<150, 150, 150>},
    {art::kTruckGreen, {48, 48}, truck<54, 190, 84>},
    {art::kVolumeFilled, {20, 5}, volume_filled},
    {art::kVolumeEmpty, {20, 5}, volume_empty},
    {art::kVolumeThumb, {32, 31}, volume_thumb},
    {art::kScrollDown, {16, 16}, arrow<Arrow::Down, 16>},
    {art::kScrollUp, {16, 16}, arrow<Arrow::Up, 16>},
    {art::kScrollHThumb, {96, 16}, scroll_hthumb},
    {art::kScrollLeft, {17, 16}, arrow<Arrow::Left, 17>},
    {art::kScrollCorner, {16, 16}, scroll_corner},
    {art::kScrollRight, {17, 16}, arrow<Arrow::Right, 17>},
    {art::kScrollVTrack, {16, 153}, scroll_vtrack},
    {art::kScrollVThumb, {16, 29}, scroll_vthumb},
    {art::kScrollHTrack, {195, 16}, scroll_htrack},
    {art::kMainEdgeH, {1047, 3}, main_edge_h},
    {art::kMainEdgeV, {3, 379}, main_edge_v},
    {art::kDialogEdgeH, {1047, 6}, dialog_edge_h},
    {art::kDialogEdgeV, {3, 379}, dialog_edge_v},
    {art::kOpenFile, kToolbarStrip, round_strip<kToolbarFrame, glyph::open_file>},
    {art::kSearchHdd, kToolbarStrip, round_strip<kToolbarFrame, glyph::search_hdd>},
    {art::kSearchSd, kToolbarStrip, round_strip<kToolbarFrame, glyph::search_sd>},
    {art::kCloseSource, kToolbarStrip, round_strip<kToolbarFrame, glyph::close_source>},
    {art::kFindPlay, kToolbarStrip, round_strip<kToolbarFrame, glyph::find_play>},
    {art::kScreenRecord, kToolbarStrip, round_strip<kToolbarFrame, glyph::screen_record>},
    {art::kStopScreenRecord, kToolbarStrip, round_strip<kToolbarFrame, glyph::stop_screen_record>},
    {art::kTalkOpen, kToolbarStrip, round_strip<kToolbarFrame, glyph::talk_open>},
    {art::kTalkClose, kToolbarStrip, round_strip<kToolbarFrame, glyph::talk_close>},
    {art::kPlay, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::play>},
    {art::kPause, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::pause>},
    {art::kStepBackward, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::step_backward>},
    {art::kStepForward, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::step_forward>},
    {art::kFastBackward, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::fast_backward>},
    {art::kFastForward, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::fast_forward>},
    {art::kStop, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::stop>},
    {art::kExtract, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::extract>},
    {art::kCapture, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::capture>},
    {art::kChannels, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::channels>},
    {art::kAudioOn, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::audio_on>},
    {art::kAudioOff, kPlaybackStrip, round_strip<kPlaybackFrame, glyph::audio_off>},
};

const ArtEntry* find_entry(int id) {
    const auto* it = std::find_if(std::begin(kArtTable), std::end(kArtTable),
                                  [id](const ArtEntry& e) { return e.id == id; });
    return it == std::end(kArtTable) ? nullptr : it;
}

QImage render(const ArtEntry& entry, qreal dpr) {
    const QSize device(std::max(1, static_cast<int>(std::lround(entry.size.width() * dpr))),
                       std::max(1, static_cast<int>(std::lround(entry.size.height() * dpr))));
    QImage image(device, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(static_cast<qreal>(device.width()) / entry.size.width(),
                static_cast<qreal>(device.height()) / entry.size.height());
        entry.draw(p);
    }
    image.setDevicePixelRatio(dpr);
    return image;
}

// A slider asks for its thumb at the scale of its height, so the cache holds a few such ratios
// per id; resizing through many heights would otherwise grow it without bound.
constexpr qsizetype kCacheLimit = 512;

}  // namespace

QSize skin_size(int id) {
    const ArtEntry* entry = find_entry(id);
    return entry ? entry->size : QSize();
}

QPixmap skin_pixmap(int id, qreal device_pixel_ratio) {
    const ArtEntry* entry = find_entry(id);
    if (entry == nullptr || !(device_pixel_ratio > 0.0)) return QPixmap();
    static QHash<QPair<int, qint64>, QPixmap> cache;
    const QPair<int, qint64> key(id, std::llround(device_pixel_ratio * 1000.0));
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return it.value();
    if (cache.size() >= kCacheLimit) cache.clear();
    QPixmap pixmap = QPixmap::fromImage(render(*entry, device_pixel_ratio));
    cache.insert(key, pixmap);
    return pixmap;
}

QPixmap strip_frame(const QPixmap& strip, int n) {
    if (strip.isNull() || n < 1 || n > 4) return QPixmap();
    const int frame_width = strip.width() / 4;
    QPixmap frame = strip.copy((n - 1) * frame_width, 0, frame_width, strip.height());
    frame.setDevicePixelRatio(strip.devicePixelRatio());
    return frame;
}

QRegion region_from_image(const QImage& image, QRgb key, int tolerance) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    auto outside = [&](QRgb pixel) {
        auto channel_outside = [tolerance](int value, int low) {
            return value < low || value > std::min(255, low + tolerance);
        };
        return channel_outside(qRed(pixel), qRed(key)) ||
               channel_outside(qGreen(pixel), qGreen(key)) ||
               channel_outside(qBlue(pixel), qBlue(key));
    };
    QList<QRect> runs;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        int x = 0;
        while (x < rgb.width()) {
            while (x < rgb.width() && !outside(line[x])) ++x;
            const int start = x;
            while (x < rgb.width() && outside(line[x])) ++x;
            if (x > start) runs.append(QRect(start, y, x - start, 1));
        }
    }
    QRegion region;
    region.setRects(runs.constData(), static_cast<int>(runs.size()));
    return region;
}

namespace {

// Source rectangle in the pixmap's device pixels for a rectangle in its logical pixels.
QRectF device_rect(const QPixmap& src, qreal x, qreal y, qreal w, qreal h) {
    const qreal dpr = src.devicePixelRatio();
    return QRectF(x * dpr, y * dpr, w * dpr, h * dpr);
}

struct Span {
    qreal src_at, src_len, dest_at, dest_len;
};

// Splits one axis into the unscaled start corner, the stretched one-pixel line and the unscaled
// end corner; corners are squeezed evenly when the destination is too short for both.
std::array<Span, 3> split_axis(qreal src_len, qreal dest_at, qreal dest_len, int corner) {
    const qreal c = std::min<qreal>(corner, std::floor(std::min(src_len - 1, dest_len) / 2));
    return {{{0, c, dest_at, c},
             {c, 1, dest_at + c, dest_len - 2 * c},
             {src_len - c, c, dest_at + dest_len - c, c}}};
}

}  // namespace

void draw_edge_stretch(QPainter& painter, const QPixmap& src, const QRect& dest, int cx, int cy) {
    if (src.isNull() || dest.isEmpty()) return;
    const QSizeF size = src.deviceIndependentSize();
    const std::array<Span, 3> whole_w{
        {{0, size.width(), qreal(dest.x()), qreal(dest.width())}, {0, 0, 0, 0}, {0, 0, 0, 0}}};
    const std::array<Span, 3> whole_h{
        {{0, size.height(), qreal(dest.y()), qreal(dest.height())}, {0, 0, 0, 0}, {0, 0, 0, 0}}};
    const auto columns = cx > 0 ? split_axis(size.width(), dest.x(), dest.width(), cx) : whole_w;
    const auto rows = cy > 0 ? split_axis(size.height(), dest.y(), dest.height(), cy) : whole_h;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, cx == 0 && cy == 0);
    for (const Span& row : rows) {
        if (row.dest_len <= 0 || row.src_len <= 0) continue;
        for (const Span& column : columns) {
            if (column.dest_len <= 0 || column.src_len <= 0) continue;
            painter.drawPixmap(
                QRectF(column.dest_at, row.dest_at, column.dest_len, row.dest_len), src,
                device_rect(src, column.src_at, row.src_at, column.src_len, row.src_len));
        }
    }
    painter.restore();
}

QIcon app_icon() {
    const ArtEntry* entry = find_entry(art::kAppIcon);
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        const qreal scale = static_cast<qreal>(side) / entry->size.width();
        QImage image = render(*entry, scale);
        image.setDevicePixelRatio(1.0);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace velmora
