// The engine calls back on its own threads. These callbacks copy what they are given and post
// it to the main window as an EngineEvent; nothing here touches a widget.
#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>
#include <string>

#include "kivra/kivra.h"
#include "model/engine_host.h"

namespace velmora {

class EngineEvent : public QEvent {
  public:
    enum class Kind { Play, Disk, Link, Error, Frame };

    EngineEvent(Kind event_kind, int32_t first, int32_t second, int32_t third)
        : QEvent(type()), kind(event_kind), a(first), b(second), c(third) {}

    static QEvent::Type type() {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }

    Kind kind;
    int32_t a;         // play: code; disk: source type; link: link; error: code; frame: GOP time
    int32_t b;         // play: value; disk: event; link: code; error: system error
    int32_t c;         // link: value; error: checked value
    std::string text;  // frame: vehicle identifier
};

// The callbacks to hand to zInit, in its argument order.
EngineCallbacks engine_callbacks();

// Where the callbacks post to; null drops every report (before start-up, after shutdown).
void set_engine_event_receiver(QObject* receiver);

}  // namespace velmora
