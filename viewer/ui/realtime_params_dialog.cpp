#include "ui/realtime_params_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "lang/language_table.h"

namespace velmora {

namespace {

constexpr int kMargin = 12;
constexpr const char* kAudioKeys[kAudioModes] = {"IDC_NETPLAY_NO_AUDIO", "IDC_NETPLAY_AUDIO_DIV1",
                                                 "IDC_NETPLAY_AUDIO_DIV2",
                                                 "IDC_NETPLAY_AUDIO_DIV4"};
constexpr const char* kResolutionItems[kResolutions] = {"QCIF", "CIF"};

template <typename Widget>
Widget* named(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

}  // namespace

RealtimeParamsDialog::RealtimeParamsDialog(const LanguageTable& texts,
                                           const RealtimeDialogInputs& inputs, QWidget* parent)
    : SubDialog(parent), texts_(texts) {
    setObjectName(QStringLiteral("2102"));
    setModal(true);
    apply_dialog_palette(this);
    build_controls();
    fill(inputs);
    if (live_choices_locked(inputs.capability, inputs.open_links)) lock_shared_choices();
}

QString RealtimeParamsDialog::text(const char* key) const {
    return QString::fromStdString(texts_.text(key));
}

void RealtimeParamsDialog::build_controls() {
    set_title(text("IDC_NETPLAY_TITLE"));
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    page->setSpacing(8);

    summary_ = named(new QLabel(this), kSummary);
    page->addWidget(summary_);
    // The address and channel count travel in hidden edits, as the record is collected from them.
    address_ = named(new QLineEdit(this), kAddress);
    channel_count_ = named(new QLineEdit(this), kChannelCount);
    address_->hide();
    channel_count_->hide();

    auto* boxes = new QGridLayout;
    const QString channel_format = text("IDC_NETPLAY_CHANNEL");
    for (int i = 0; i < kLiveChannels; ++i) {
        QCheckBox* box = named(new QCheckBox(this), kFirstChannel + i);
        box->setText(QString(channel_format).replace(QStringLiteral("%d"), QString::number(i + 1)));
        channels_[static_cast<size_t>(i)] = box;
        boxes->addWidget(box, i / 4, i % 4);
    }
    page->addLayout(boxes);

    auto* options = new QHBoxLayout;
    buffering_ = named(new QCheckBox(text("IDC_NETPLAY_BUFFERING"), this), kBuffering);
    log_ = named(new QCheckBox(text("IDC_NETPLAY_LOG"), this), kLog);
    flow_control_ = named(new QCheckBox(text("IDC_NETPLAY_FLOWCTRL"), this), kFlowControl);
    for (QCheckBox* box : {buffering_, log_, flow_control_}) options->addWidget(box);
    page->addLayout(options);

    auto* audio = new QHBoxLayout;
    auto* audio_group = new QButtonGroup(this);
    for (int i = 0; i < kAudioModes; ++i) {
        QRadioButton* radio = named(new QRadioButton(text(kAudioKeys[i]), this), kFirstAudio + i);
        audio_group->addButton(radio, i);
        audio_[static_cast<size_t>(i)] = radio;
        audio->addWidget(radio);
    }
    page->addLayout(audio);

    auto* lists = new QGridLayout;
    resolution_ = named(new QComboBox(this), kResolution);
    for (const char* item : kResolutionItems) resolution_->addItem(QString::fromLatin1(item));
    frame_rate_ = named(new QComboBox(this), kFrameRate);
    frame_rate_->addItem(text("IDC_NETPLAY_NO_VIDEO"));
    for (int i = 1; i < kFrameRateItems; ++i)
        frame_rate_->addItem(QString::fromStdString(frame_rate_item(i)));
    lists->addWidget(new QLabel(text("IDC_NETPLAY_RESOLUTION"), this), 0, 0);
    lists->addWidget(resolution_, 0, 1);
    lists->addWidget(new QLabel(text("IDC_NETPLAY_FRAMERATE"), this), 1, 0);
    lists->addWidget(frame_rate_, 1, 1);
    page->addLayout(lists);

    auto* buttons = new QHBoxLayout;
    ok_ = named(new QPushButton(text("IDC_BTN_OK"), this), kOk);
    cancel_ = named(new QPushButton(text("IDCANCEL"), this), kCancel);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this] { finish(true); });
    connect(cancel_, &QPushButton::clicked, this, [this] { finish(false); });
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    page->addLayout(buttons);
}

void RealtimeParamsDialog::fill(const RealtimeDialogInputs& inputs) {
    QString summary = text("IDC_NETPLAY_DVR");
    summary.replace(QStringLiteral("%s"), QString::fromStdString(inputs.address));
    summary.replace(QStringLiteral("%d"), QString::number(inputs.channel_count));
    summary_->setText(summary);
    address_->setText(QString::fromStdString(inputs.address));
    channel_count_->setText(QString::number(inputs.channel_count));

    const LiveParamsChoice shown =
        initial_live_choice(inputs.previous, inputs.address, inputs.channel_count);
    for (int i = 0; i < kLiveChannels; ++i)
        channels_[static_cast<size_t>(i)]->setChecked(shown.channels[static_cast<size_t>(i)]);
    buffering_->setChecked(shown.buffering);
    log_->setChecked(shown.log);
    flow_control_->setChecked(shown.flow_control);
    if (shown.audio_mode != kNoSelection)
        audio_[static_cast<size_t>(shown.audio_mode)]->setChecked(true);
    resolution_->setCurrentIndex(shown.resolution);
    frame_rate_->setCurrentIndex(shown.frame_rate);
}

// The recorder already streams to another viewer in its format: only buffering and another
// audio mode remain the operator's choice.
void RealtimeParamsDialog::lock_shared_choices() {
    for (QCheckBox* box : channels_) box->setEnabled(false);
    for (QWidget* control :
         std::initializer_list<QWidget*>{log_, flow_control_, resolution_, frame_rate_})
        control->setEnabled(false);
    for (QRadioButton* radio : audio_)
        if (radio->isChecked()) radio->setEnabled(false);
}

LiveParamsChoice RealtimeParamsDialog::choice() const {
    LiveParamsChoice choice;
    choice.address = address_->text().toStdString();
    choice.channel_count = channel_count_->text().toInt();
    for (int i = 0; i < kLiveChannels; ++i)
        choice.channels[static_cast<size_t>(i)] = channels_[static_cast<size_t>(i)]->isChecked();
    choice.buffering = buffering_->isChecked();
    choice.log = log_->isChecked();
    choice.flow_control = flow_control_->isChecked();
    for (int i = 0; i < kAudioModes; ++i)
        if (audio_[static_cast<size_t>(i)]->isChecked()) choice.audio_mode = i;
    choice.resolution = resolution_->currentIndex();
    choice.frame_rate = frame_rate_->currentIndex();
    return choice;
}

void RealtimeParamsDialog::finish(bool accepted) {
    params_ = collect_live_params(choice());
    accepted ? accept() : reject();
}

}  // namespace velmora
