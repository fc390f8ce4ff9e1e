// The extract dialog (control bar: extract): a range of the open recording's time index chosen
// with two sliders, the outputs to write (the GOP file pair, the all-channel file, a file per
// channel of the recording) and the target directory; START runs the export through the shared
// export session, CLOSE (or hiding the dialog) stops a running one. Modeless.
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "export_host/export_session.h"
#include "skin/sub_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

namespace velmora {

class LanguageTable;
struct EngineApi;
struct ExtractApi;

class ExtractDialog : public SubDialog {
    Q_OBJECT
  public:
    // Control ids of the dialog.
    enum Control {
        kStartTime = 21000,
        kStartSlider = 21001,
        kEndTime = 21002,
        kEndSlider = 21003,
        kTargetDirectory = 21004,
        kChooseDirectory = 21005,
        kFilePair = 21006,
        kAllChannels = 21007,
        kFirstChannel = 21008,  // .. 21015
        kProgress = 21016,
        kStart = 21017,
        kClose = 21018,
    };

    ExtractDialog(const EngineApi& engine, const ExtractApi& extract, const LanguageTable& texts,
                  QWidget* parent = nullptr);
    // A running export is stopped and its files removed at once (it cannot be completed
    // without the engine's reports); nothing is waited for.
    ~ExtractDialog() override;

    // Before every show: texts, the sliders over the open recording's time index, the boxes.
    // False, after its message, when there is nothing to export.
    bool prepare();
    bool running() const { return running_; }

    // START and CLOSE, as their buttons.
    void start();
    void close_dialog();
    // The source was closed (also before another opens): a shown, idle dialog hides, since its
    // sliders are units of that source's index; the next show prepares again.
    void source_closed();

    // Message boxes, the folder chooser ("..."), the operation log: replaceable by tests.
    std::function<void(const QString&)> message_sink;
    std::function<QString()> folder_dialog;
    std::function<void(const std::string&)> log_sink;

    // The engine's extraction reports go here (the bridge forwards them; engine thread).
    fleet::export_host::ExportSession& session() { return *session_; }

  signals:
    // An export has ended (after its message): the end's number, 1..4.
    void export_ended(int end);

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void build_controls();
    void retranslate();
    QString text(const char* key) const;
    void show_unit_time(QLabel* label, int step);
    void take_progress(int percent);
    void take_end(const fleet::export_host::ExportOutcome& outcome);
    void refuse(fleet::export_host::ExportRefusal refusal);

    const EngineApi& engine_;
    const LanguageTable& texts_;
    std::unique_ptr<fleet::export_host::ExportSession> session_;
    fleet::export_host::IndexRange range_;
    bool running_ = false;

    std::array<QLabel*, 4> labels_{};  // start time, end time, target directory, title line
    QLabel* start_time_ = nullptr;
    QLabel* end_time_ = nullptr;
    QSlider* start_slider_ = nullptr;
    QSlider* end_slider_ = nullptr;
    QLineEdit* directory_ = nullptr;
    QPushButton* choose_ = nullptr;
    QCheckBox* file_pair_ = nullptr;
    QCheckBox* all_channels_ = nullptr;
    std::array<QCheckBox*, fleet::export_host::kChannels> channels_{};
    QProgressBar* progress_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace velmora
