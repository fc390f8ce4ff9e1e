// The realtime parameter dialog (resource 2102), shown before a recorder's live stream opens:
// channels, transfer options, audio mode, resolution and frame rate, seeded from the recorder's
// previous parameters. Ok and Cancel both collect the record (live_params_form.h); only Ok
// accepts. Modal.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <string>

#include "kivra/kivra.h"
#include "model/live_params_form.h"
#include "skin/sub_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velmora {

class LanguageTable;

// What the main window hands the dialog about the recorder.
struct RealtimeDialogInputs {
    std::string address;  // the text the engine connects to
    int channel_count = 0;
    int open_links = 0;
    uint8_t capability = 0;
    LiveParams previous{};
};

class RealtimeParamsDialog : public SubDialog {
    Q_OBJECT
  public:
    enum Control {
        kSummary = 22000,
        kAddress = 22001,
        kChannelCount = 22002,
        kFirstChannel = 22003,  // .. 22010
        kBuffering = 22011,
        kLog = 22012,
        kFlowControl = 22013,
        kFirstAudio = 22014,  // .. 22017
        kResolution = 22018,
        kFrameRate = 22019,
        kOk = 22020,
        kCancel = 22021,
    };

    RealtimeParamsDialog(const LanguageTable& texts, const RealtimeDialogInputs& inputs,
                         QWidget* parent = nullptr);

    // The record collected when the dialog ended (Ok or Cancel).
    const LiveParams& params() const { return params_; }
    // What the controls hold now.
    LiveParamsChoice choice() const;

    QCheckBox* channel_box(int index) const { return channels_[static_cast<size_t>(index)]; }
    QRadioButton* audio_radio(int mode) const { return audio_[static_cast<size_t>(mode)]; }
    QCheckBox* buffering_box() const { return buffering_; }
    QCheckBox* log_box() const { return log_; }
    QCheckBox* flow_control_box() const { return flow_control_; }
    QComboBox* resolution_list() const { return resolution_; }
    QComboBox* frame_rate_list() const { return frame_rate_; }
    QPushButton* ok_button() const { return ok_; }
    QPushButton* cancel_button() const { return cancel_; }
    QLabel* summary() const { return summary_; }

  private:
    void build_controls();
    void fill(const RealtimeDialogInputs& inputs);
    void lock_shared_choices();
    void finish(bool accepted);
    QString text(const char* key) const;

    const LanguageTable& texts_;
    LiveParams params_{};
    QLabel* summary_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* channel_count_ = nullptr;
    std::array<QCheckBox*, kLiveChannels> channels_{};
    QCheckBox* buffering_ = nullptr;
    QCheckBox* log_ = nullptr;
    QCheckBox* flow_control_ = nullptr;
    std::array<QRadioButton*, kAudioModes> audio_{};
    QComboBox* resolution_ = nullptr;
    QComboBox* frame_rate_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace velmora
