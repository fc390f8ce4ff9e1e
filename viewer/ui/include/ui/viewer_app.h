// Start-up of the viewer: configuration, language, the main window, the two libraries and the
// engine, then the event loop.
#pragma once

#include <QString>

namespace velmora {

struct CommandLine {
    QString file;       // a recording to open as the Open file command would
    bool play = false;  // and play it
    bool web_maps = true;
    bool ok = true;
    QString error;
};

CommandLine parse_command_line(const QStringList& arguments);

// The whole program; returns the process exit code. 1 when a library cannot be bound or the
// engine does not start (after its message).
int run_viewer(int argc, char** argv);

}  // namespace velmora
