// Helpers shared by the skin tests: synthetic mouse input and a stand-in main window that
// records the app messages the controls post.
#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <vector>

#include "skin/app_message.h"

namespace skin_test {

struct Posted {
    int message;
    intptr_t wparam;
    intptr_t lparam;
};

// Installed as main_window_target() for its lifetime.
class MessageSink : public QObject {
  public:
    MessageSink() { velmora::main_window_target() = this; }
    ~MessageSink() override { velmora::main_window_target() = nullptr; }
    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;

    // Delivers what has been posted so far and returns everything received.
    const std::vector<Posted>& drain() {
        QCoreApplication::sendPostedEvents(this, velmora::AppMessageEvent::type());
        return received_;
    }
    void clear() { received_.clear(); }

  protected:
    bool event(QEvent* event) override {
        if (event->type() != velmora::AppMessageEvent::type()) return QObject::event(event);
        const auto* app = static_cast<velmora::AppMessageEvent*>(event);
        received_.push_back({app->message(), app->wparam(), app->lparam()});
        return true;
    }

  private:
    std::vector<Posted> received_;
};

inline void send_mouse(QWidget& widget, QEvent::Type type, QPoint pos,
                       Qt::MouseButton button = Qt::LeftButton,
                       Qt::MouseButtons buttons = Qt::LeftButton) {
    const QPointF local(pos);
    const QPointF global(widget.mapToGlobal(pos));
    QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

inline void press(QWidget& w, QPoint pos) {
    send_mouse(w, QEvent::MouseButtonPress, pos);
}
inline void drag_to(QWidget& w, QPoint pos) {
    send_mouse(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
}
inline void hover_to(QWidget& w, QPoint pos) {
    send_mouse(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
}
inline void release(QWidget& w, QPoint pos) {
    send_mouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

}  // namespace skin_test
