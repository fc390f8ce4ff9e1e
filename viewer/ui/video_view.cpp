#include "ui/video_view.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <cstring>

#include "skin/theme.h"

namespace velmora {

VideoView::VideoView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("10003"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    target_.user = this;
    target_.size = &VideoView::engine_size;
    target_.present = &VideoView::engine_present;
}

VideoView::~VideoView() = default;

void VideoView::engine_size(void* user, int32_t* width, int32_t* height) {
    auto* self = static_cast<VideoView*>(user);
    *width = self->width_.load();
    *height = self->height_.load();
}

void VideoView::engine_present(void* user, const KivraCanvas* canvas) {
    if (canvas == nullptr || canvas->pixels == nullptr) return;
    static_cast<VideoView*>(user)->store(*canvas);
}

// Engine thread: copy the canvas (it is only valid during the call) and ask the GUI thread for
// one repaint; further frames before that repaint only replace the picture.
void VideoView::store(const KivraCanvas& canvas) {
    if (canvas.width <= 0 || canvas.height <= 0 || canvas.stride < canvas.width * 4) return;
    {
        std::lock_guard lock(mutex_);
        if (canvas_.width() != canvas.width || canvas_.height() != canvas.height) {
            canvas_ = QImage(canvas.width, canvas.height, QImage::Format_RGB32);
        }
        const auto row_bytes = static_cast<size_t>(canvas.width) * 4;
        for (int y = 0; y < canvas.height; ++y) {
            std::memcpy(canvas_.scanLine(y),
                        canvas.pixels + static_cast<ptrdiff_t>(y) * canvas.stride, row_bytes);
        }
    }
    frames_.fetch_add(1);
    if (!repaint_queued_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                repaint_queued_.store(false);
                update();
            },
            Qt::QueuedConnection);
    }
}

void VideoView::clear() {
    {
        std::lock_guard lock(mutex_);
        canvas_ = QImage();
    }
    update();
}

void VideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::lock_guard lock(mutex_);
    if (canvas_.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // A canvas made for an older size is stretched until the engine draws the new size.
    painter.drawImage(rect(), canvas_);
}

// The engine draws in device pixels, so the video stays sharp on scaled screens.
void VideoView::resizeEvent(QResizeEvent* event) {
    const qreal ratio = devicePixelRatioF();
    width_.store(qRound(width() * ratio));
    height_.store(qRound(height() * ratio));
    QWidget::resizeEvent(event);
}

void VideoView::mouseDoubleClickEvent(QMouseEvent* event) {
    emit double_clicked(event->position().toPoint());
}

// The picture pop-up opens when the right button is released, on every platform (X11 sends its
// context menu event on the press).
void VideoView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) return QWidget::mouseReleaseEvent(event);
    emit context_menu_requested(event->globalPosition().toPoint());
}

}  // namespace velmora
