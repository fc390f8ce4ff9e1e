// Helpers shared by the skin tests: synthetic mouse input and a recorder of what the sliders
// report.
#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <vector>

#include "skin/slide_button.h"

namespace skin_test {

enum class Report { Pressed, Dragged, Released, Hovered, Pointed, VolumeSet };

struct Reported {
    Report report;
    int position;
};

// Records what a slider reports through its signals, in order.
class SliderReports {
  public:
    explicit SliderReports(velmora::SlideButton& slider) {
        const auto record = [this](Report report) {
            return [this, report](int position) { received_.push_back({report, position}); };
        };
        QObject::connect(&slider, &velmora::SlideButton::pressed, record(Report::Pressed));
        QObject::connect(&slider, &velmora::SlideButton::dragged, record(Report::Dragged));
        QObject::connect(&slider, &velmora::SlideButton::released, record(Report::Released));
        QObject::connect(&slider, &velmora::SlideButton::hovered, record(Report::Hovered));
        QObject::connect(&slider, &velmora::SlideButton::pointed, record(Report::Pointed));
    }
    explicit SliderReports(velmora::SlideVolume& slider) {
        QObject::connect(&slider, &velmora::SlideVolume::volume_set, [this](int volume) {
            received_.push_back({Report::VolumeSet, volume});
        });
    }

    const std::vector<Reported>& received() const { return received_; }

  private:
    std::vector<Reported> received_;
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
