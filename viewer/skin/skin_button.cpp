#include "skin/skin_button.h"

#include <QEnterEvent>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>

#include "skin/artwork.h"

namespace velmora {

namespace {

bool is_strip(int id) {
    return id >= art::kOpenFile && id <= art::kAudioOff;
}

// Every frame of a strip is shaped by the same key colour, so its mask is worth keeping.
QRegion frame_region(int strip_id, int frame, const QPixmap& pixmap) {
    static QHash<QPair<int, int>, QRegion> cache;
    const QPair<int, int> key(strip_id, frame);
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return it.value();
    QRegion region = region_from_image(pixmap.toImage(), qRgb(0, 0, 0), 0);
    cache.insert(key, region);
    return region;
}

const QColor kCaptionColour(Qt::black);
const QColor kBevelLight(128, 128, 132);
const QColor kBevelDark(16, 16, 18);

void draw_bevel(QPainter& painter, const QRect& rect, bool sunken) {
    const QColor top_left = sunken ? kBevelDark : kBevelLight;
    const QColor bottom_right = sunken ? kBevelLight : kBevelDark;
    painter.setPen(top_left);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(bottom_right);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
}

}  // namespace

SkinButton::SkinButton(int control_id, int strip_id, QWidget* parent)
    : QAbstractButton(parent), control_id_(control_id), strip_id_(strip_id) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    // The frame is drawn at its own size from the top-left; a stretched button would only
    // gain dead space.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(sizeHint());
    sync_mask();
}

void SkinButton::set_mode(Mode mode) {
    mode_ = mode;
    updateGeometry();
    sync_mask();
    update();
}

int SkinButton::current_frame() const {
    if (!isEnabled()) return 4;
    if (hover_ && isDown()) return 3;
    if (hover_) return 2;
    return 1;
}

QSize SkinButton::frame_size() const {
    const QSize whole = skin_size(strip_id_);
    return is_strip(strip_id_) ? QSize(whole.width() / 4, whole.height()) : whole;
}

QSize SkinButton::sizeHint() const {
    const QSize frame = frame_size();
    // Rectangle mode leaves room for the hover bevel around the bitmap.
    return mode_ == Mode::Rectangle ? frame + QSize(6, 6) : frame;
}

QPixmap SkinButton::frame_pixmap(int frame, qreal device_pixel_ratio) const {
    const QPixmap whole = skin_pixmap(strip_id_, device_pixel_ratio);
    return is_strip(strip_id_) ? strip_frame(whole, frame) : whole;
}

void SkinButton::sync_mask() {
    if (mode_ == Mode::Rectangle) {
        if (!mask().isEmpty()) clearMask();
        return;
    }
    const int frame = current_frame();
    const QPixmap pixmap = frame_pixmap(frame, 1.0);
    if (pixmap.isNull()) return;
    const QRegion region = frame_region(strip_id_, frame, pixmap);
    if (region != mask()) setMask(region);
}

bool SkinButton::hitButton(const QPoint& pos) const {
    if (mode_ == Mode::Region && !mask().isEmpty()) return mask().contains(pos);
    return rect().contains(pos);
}

void SkinButton::paintEvent(QPaintEvent*) {
    sync_mask();
    QPainter painter(this);
    if (mode_ == Mode::Region)
        paint_region_mode(painter);
    else
        paint_rectangle_mode(painter);
}

void SkinButton::paint_region_mode(QPainter& painter) {
    const QPixmap pixmap = frame_pixmap(current_frame(), devicePixelRatioF());
    painter.drawPixmap(0, 0, pixmap);
    paint_caption(painter, QRect(QPoint(0, 0), frame_size()));
}

void SkinButton::paint_rectangle_mode(QPainter& painter) {
    const QSize frame = frame_size();
    const int offset = (height() - frame.height()) / 2;
    const QRect bitmap_rect(QPoint(offset, offset), frame);
    if (isEnabled() && hover_) draw_bevel(painter, rect().adjusted(1, 1, -2, -2), isDown());
    painter.drawPixmap(bitmap_rect.topLeft(), frame_pixmap(current_frame(), devicePixelRatioF()));
    paint_caption(painter, bitmap_rect);
}

void SkinButton::paint_caption(QPainter& painter, const QRect& frame_rect) {
    if (text().isEmpty()) return;
    painter.setPen(kCaptionColour);
    painter.drawText(frame_rect, Qt::AlignCenter | Qt::TextSingleLine, text());
}

void SkinButton::enterEvent(QEnterEvent* event) {
    if (isEnabled()) hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SkinButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        hover_ = false;
        setDown(false);
    }
    if (event->type() == QEvent::EnabledChange) update();
    QAbstractButton::changeEvent(event);
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
    // A press on the button means the pointer is over it, even without an enter event first.
    if (event->button() == Qt::LeftButton && hitButton(event->position().toPoint())) {
        hover_ = true;
        // Only where the owner lets buttons take the focus (the main window's never do).
        if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
    }
    QAbstractButton::mousePressEvent(event);
    repaint();
}

void SkinButton::mouseMoveEvent(QMouseEvent* event) {
    // While the mouse is grabbed Qt delivers no enter or leave, so follow the pointer here.
    if (event->buttons() & Qt::LeftButton) {
        const bool inside = hitButton(event->position().toPoint());
        if (inside != hover_) {
            hover_ = inside;
            update();
        }
    }
    QAbstractButton::mouseMoveEvent(event);
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
    // QAbstractButton clicks only when the release lands on the button.
    QAbstractButton::mouseReleaseEvent(event);
    repaint();
}

void SkinButton::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

}  // namespace velmora
