// The Find dialog (Control > Find and Play): the time, event and quick index of the open
// recording as lists, the quick index's seven searches, a search by date and time, and a strip
// showing where the rows fall in the recording. A double click on a row seeks the main window
// there and hides the dialog. Modeless; the lists load on a thread of their own.
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "format/index_find.h"
#include "model/engine_index_reader.h"
#include "model/event_types.h"
#include "model/find_job.h"
#include "skin/sub_dialog.h"

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace velmora {

class FindRowModel;
class FindTimeline;
class LanguageTable;
class PlayerSession;
struct EngineApi;

class FindDialog : public SubDialog {
    Q_OBJECT
  public:
    // The views, by the ids of their check boxes.
    enum class View { Time = 11000, Event = 11001, Quick = 11002 };

    FindDialog(const EngineApi& engine, PlayerSession& session, const LanguageTable& texts,
               QWidget* parent = nullptr);
    // Stops what runs before anything it reports to goes.
    ~FindDialog() override;

    // Before every show: the texts, units and event names of now, then the view's list anew.
    void refresh(fleet::format::FindUnits units, const EventTypeNames& event_names);
    // The open source has closed: its rows, its time span and its quick records go.
    void source_closed();

    View view() const { return view_; }
    // A time or event list is loading (the view cannot change meanwhile).
    bool loading() const { return loading_; }
    // Something runs: a list loading, a search or a date search.
    bool busy() const { return job_ != nullptr; }
    QTableView* list() const { return list_; }
    FindTimeline* timeline() const { return timeline_; }
    // What a double click on the row does.
    void activate_row(int row);

    // Where "Find nothing!" goes; a message box unless replaced.
    std::function<void(const QString&)> message_sink;

  signals:
    // A job has ended, cancelled or not: its last rows are in the list, and a date found has
    // been handed to the session.
    void job_ended();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    struct SearchControls;
    struct LastSearch {
        int group = 0;
        std::array<double, 4> values{};
    };

    void build_controls();
    QWidget* build_view_row();
    QWidget* build_search_panel();
    QWidget* build_search_group(int group);
    QWidget* build_date_row();
    void retranslate();
    void show_units();
    QString text(const char* key) const;

    void choose_view(View view);
    void show_view();
    void list_units(bool events);
    void show_quick_view();
    void set_columns(const std::vector<std::pair<QString, int>>& columns);
    void fit_columns();
    void run_search(int group);
    std::optional<std::array<double, 4>> read_values(int group) const;
    void search_date();

    void start_job(FindRequest request);
    void stop_job();
    void take_rows(uint64_t job, std::vector<FoundRow> rows);
    void take_progress(uint64_t job, double done);
    void take_end(uint64_t job, const FindOutcome& outcome);
    void set_loading_status(bool loading);

    bool seek_to_row(int row);
    void timeline_row_clicked(int row);
    void reset_span();

    const EngineApi& engine_;
    PlayerSession& session_;
    const LanguageTable& texts_;
    EngineIndexReader reader_;
    QuickEntryStore quick_entries_;
    std::unique_ptr<FindJob> job_;
    uint64_t job_id_ = 0;  // reports of any other job arrive too late and are dropped

    View view_ = View::Time;
    bool loading_ = false;
    fleet::format::FindUnits units_;
    EventTypeNames event_names_{};
    std::optional<LastSearch> last_search_;
    std::vector<int> column_widths_;

    std::array<QCheckBox*, 3> view_boxes_{};
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QWidget* search_panel_ = nullptr;
    std::vector<SearchControls> searches_;
    QWidget* date_row_ = nullptr;
    QDateTimeEdit* date_ = nullptr;
    QPushButton* date_button_ = nullptr;
    QTableView* list_ = nullptr;
    FindRowModel* rows_ = nullptr;
    FindTimeline* timeline_ = nullptr;
};

}  // namespace velmora
