// The main window's side of the extract dialog: made on first use, prepared at every show
// while something is open, its log lines in the operation log.
#include "model/engine_host.h"
#include "ui/extract_dialog.h"
#include "ui/main_window.h"

namespace velmora {

void MainWindow::show_extract_dialog() {
    if (session_->state() == PlayerState::Idle) return;
    if (extract_dialog_ == nullptr) {
        extract_dialog_ = new ExtractDialog(engine_.engine(), engine_.extract(), *ctx_.texts, this);
        extract_dialog_->message_sink = message_sink;
        extract_dialog_->log_sink = [this](const std::string& line) { log(line); };
    }
    if (extract_dialog_->isVisible()) return;
    if (extract_dialog_->prepare()) extract_dialog_->show();
}

}  // namespace velmora
