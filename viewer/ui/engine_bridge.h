// The engine calls back on its own threads. These callbacks copy what they are given and post
// it to the main window as an EngineEvent; nothing here touches a widget.
#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>

#include "kivra/kivra.h"
#include "model/engine_host.h"
#include "model/telemetry_snapshot.h"

namespace velmora {

class EngineEvent : public QEvent {
  public:
    enum class Kind { Play, Disk, Link, Error };

    EngineEvent(Kind event_kind, int32_t first, int32_t second, int32_t third)
        : QEvent(type()), kind(event_kind), a(first), b(second), c(third) {}

    static QEvent::Type type() {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }

    Kind kind;
    int32_t a;  // play: code; disk: source type; link: link; error: code
    int32_t b;  // play: value; disk: event; link: code; error: system error
    int32_t c;  // link: value; error: checked value
};

// The callbacks to hand to zInit, in its argument order.
EngineCallbacks engine_callbacks();

// Where the callbacks post to; null drops every report (before start-up, after shutdown).
void set_engine_event_receiver(QObject* receiver);
// The telemetry the frame callback copies for the dashboard.
TelemetryFeed& telemetry_feed();

}  // namespace velmora
