// The main window's side of the Find dialog: made on first use, refreshed with the dashboard's
// units and the event names at every show.
#include "model/engine_host.h"
#include "ui/dashboard_panel.h"
#include "ui/find_dialog.h"
#include "ui/main_window.h"

namespace velmora {

void MainWindow::show_find_dialog() {
    if (find_dialog_ == nullptr) {
        find_dialog_ = new FindDialog(engine_.engine(), *session_, *ctx_.texts, this);
        find_dialog_->message_sink = message_sink;
    }
    find_dialog_->refresh({dashboard_->speed_unit(), dashboard_->temperature_unit()},
                          event_type_names_);
    if (!find_dialog_->isVisible()) find_dialog_->show();
}

}  // namespace velmora
