// The engine calls back on its own threads. These callbacks copy what they are given and post
// it to the main window as an EngineEvent; nothing here touches a widget.
#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>

#include "export_host/export_session.h"
#include "kivra/kivra.h"
#include "model/engine_host.h"
#include "model/recorded_index_row.h"
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
    // A remote link's index row (report 20), copied while the engine's pointer was valid.
    IndexRowBytes row{};
};

// The callbacks to hand to zInit, in its argument order.
EngineCallbacks engine_callbacks();

// Where the callbacks post to; null drops every report (before start-up, after shutdown).
void set_engine_event_receiver(QObject* receiver);
// Where the extraction callback forwards, on the engine's extraction thread (the session calls
// the extraction library there, while the GOP it is given is valid); null drops the reports.
// Setting waits for a report in progress, so a session unset here is no longer called.
void set_extract_session(fleet::export_host::ExportSession* session);
// The telemetry the frame callback copies for the dashboard.
TelemetryFeed& telemetry_feed();

}  // namespace velmora
