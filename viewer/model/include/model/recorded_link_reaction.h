// What the recorded-data dialog does with a report of the remote link (link 1): its status line
// and the dialog message it gets (1136 with its code); the session's own share (log lines, the
// close after a download) is PlayerSession::on_link_event.
#pragma once

#include <optional>

namespace velmora {

// The dialog messages by their code.
enum class RecordedMessage {
    None = 0,
    LinkFailed = 1,
    IndexFailed = 2,
    IndexComplete = 3,
    DownloadFailed = 4,
    Progress = 5,
    DownloadComplete = 6,
    LinkBroken = 7,
};

struct RecordedLinkReaction {
    bool clear_status = false;
    const char* status_key = nullptr;  // a status text to show instead
    bool add_row = false;              // the report carries an index row
    RecordedMessage message = RecordedMessage::None;
};

RecordedLinkReaction recorded_link_reaction(int code);

}  // namespace velmora
