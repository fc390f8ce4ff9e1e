// The recorded-data dialog (resource 2114): connects to a recorder's recorded data, lists its
// event index as the engine delivers it, lets the operator pick a start and an end row and
// downloads that span into a new file pair in the download folder. Modeless; one recorder at a
// time. It closes only when no live link or download would be left behind ("Exit" always).
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "model/download_names.h"
#include "model/event_types.h"
#include "model/recorded_index_row.h"
#include "model/recorded_link_reaction.h"
#include "model/row_selection.h"
#include "skin/sub_dialog.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace velmora {

class LanguageTable;
struct EngineApi;

// The recorder the dialog is opened for.
struct RecordedTarget {
    std::array<uint8_t, 6> address{};
    std::string name;              // UTF-8
    std::string recorder_address;  // the text the engine connects to
    int run_mode = 0;
    uint8_t capability = 0;
};

class RecordedDataDialog : public SubDialog {
    Q_OBJECT
  public:
    enum Control {
        kRows = 23000,
        kStartLabel = 21019,
        kStartTime = 23001,
        kEndLabel = 21020,
        kEndTime = 23002,
        kReset = 23003,
        kProgress = 21016,
        kExit = 19016,
        kDownload = 23004,
        kLinkAgain = 23005,
        kStatus = 11003,
    };

    RecordedDataDialog(const EngineApi& engine, const LanguageTable& texts,
                       QWidget* parent = nullptr);

    // Clears the dialog for the recorder and connects to its recorded data. False when the
    // engine refused the link (the dialog stays hidden then).
    bool open_for(const RecordedTarget& target);

    // A report of the remote link, on the GUI thread; `row` holds the index row of report 20.
    void link_event(int code, int value, const IndexRowBytes& row);
    // The dialog's messages (what the link reports turn into).
    void handle_message(RecordedMessage message, int value);

    // The buttons and the list, as their clicks do.
    void row_double_clicked(int row);
    void reset_selection();
    void download_clicked();
    void link_again();
    void exit_dialog();

    bool can_close() const { return can_close_; }
    bool downloading() const { return downloading_; }
    // The file pair of the download in progress; empty paths when none.
    const DownloadPaths& download_in_progress() const { return paths_; }
    // Hands the finished download's pair over (its files are no longer the dialog's).
    DownloadPaths take_finished_download();

    QTreeWidget* rows() const { return rows_; }
    QLineEdit* start_time() const { return start_time_; }
    QLineEdit* end_time() const { return end_time_; }
    QProgressBar* progress() const { return progress_; }
    QPushButton* download_button() const { return download_; }
    QPushButton* link_again_button() const { return link_again_; }
    QPushButton* reset_button() const { return reset_; }
    QPushButton* exit_button() const { return exit_; }
    QLabel* status() const { return status_; }

    // Where downloads go ("DownloadSetting"/"DefaultDir").
    void set_download_folder(const std::string& folder) { download_folder_ = folder; }
    void set_event_type_names(const EventTypeNames& names) { event_names_ = names; }

    // Replaceable by tests: message boxes, the OK/Cancel question, the operation log, the
    // vehicle list's connected mark (on, connection type) and the local time downloads are
    // named after.
    std::function<void(const QString&)> message_sink;
    std::function<bool(const QString&)> question_sink;
    std::function<void(const std::string&)> log_sink;
    std::function<void(bool on, int connection_type)> mark_sink;
    std::function<std::tm()> clock;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Escape asks to close, as the close box does

  private:
    void build_controls();
    void retranslate();
    void clear_view();
    bool connect_link(bool again);
    void add_row(const IndexRowBytes& bytes);
    void start_download();
    void stop_download();
    void show_download_caption(bool downloading);
    void delete_download_files();
    void tell(const char* key);
    QString text(const char* key) const;

    const EngineApi& engine_;
    const LanguageTable& texts_;
    RecordedTarget target_;
    EventTypeNames event_names_{};
    std::string download_folder_;
    RowSelection selection_;
    DownloadPaths paths_;
    bool downloading_ = false;
    bool can_close_ = true;
    bool closing_quietly_ = false;  // the download finished: the session closes the link

    QTreeWidget* rows_ = nullptr;
    QLabel* start_label_ = nullptr;
    QLineEdit* start_time_ = nullptr;
    QLabel* end_label_ = nullptr;
    QLineEdit* end_time_ = nullptr;
    QPushButton* reset_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* link_again_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace velmora
