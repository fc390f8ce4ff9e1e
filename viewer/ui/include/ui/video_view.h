// The video area: the engine's video target. The engine composes every channel into a canvas
// the size of this widget on its own threads; the widget keeps the latest canvas and paints it.
#pragma once

#include <QImage>
#include <QWidget>
#include <atomic>
#include <mutex>

#include "kivra/kivra.h"

namespace velmora {

class VideoView : public QWidget {
    Q_OBJECT
  public:
    explicit VideoView(QWidget* parent = nullptr);
    ~VideoView() override;

    // Handed to zInit; valid as long as this widget lives (the engine is released first).
    const KivraVideoTarget* target() const { return &target_; }
    int frames_presented() const { return frames_.load(); }
    // The size the engine draws at, in device pixels: the coordinates of snapshot areas.
    QSize canvas_size() const { return {width_.load(), height_.load()}; }
    // Drops the picture: the area is black until the engine presents again. GUI thread.
    void clear();

  signals:
    void double_clicked(QPoint position);
    // The right button was released over the area.
    void context_menu_requested(QPoint global_position);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    static void engine_size(void* user, int32_t* width, int32_t* height);
    static void engine_present(void* user, const KivraCanvas* canvas);
    void store(const KivraCanvas& canvas);

    KivraVideoTarget target_{};
    std::atomic<int> width_{0};
    std::atomic<int> height_{0};
    std::atomic<int> frames_{0};
    std::atomic<bool> repaint_queued_{false};
    mutable std::mutex mutex_;
    QImage canvas_;  // guarded by mutex_
};

}  // namespace velmora
