#include "ui/extract_dialog.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "engine_bridge.h"
#include "lang/language_table.h"
#include "model/engine_api.h"

namespace velmora {

namespace {

namespace eh = fleet::export_host;

constexpr int kMargin = 12;

constexpr std::array<const char*, eh::kChannels> kChannelKeys = {
    "IDC_CHECK_CH1", "IDC_CHECK_CH2", "IDC_CHECK_CH3", "IDC_CHECK_CH4",
    "IDC_CHECK_CH5", "IDC_CHECK_CH6", "IDC_CHECK_CH7", "IDC_CHECK_CH8"};

const char* refusal_key(eh::ExportRefusal refusal) {
    using R = eh::ExportRefusal;
    switch (refusal) {
        case R::NothingOpened:
            return "IDS_STRING292";
        case R::SourceNotSupported:
            return "IDS_STRING293";
        case R::NoTimeIndex:
            return "IDS_STRING294";
        case R::IllegalTime:
            return "IDS_STRING284";
        case R::NothingSelected:
            return "IDS_STRING285";
        case R::DirectoryNotCreated:
            return "IDS_STRING287";
        case R::DirectoryTooLong:
            return "IDS_STRING_EXTRACT_DIR_LONG";
        case R::NoChannelCount:
            return "IDS_STRING288";
        case R::IndexUnitsUnreadable:
            return "IDS_STRING289";
        case R::EngineRefused:
            return "IDS_STRING290";
        case R::AlreadyRunning:
            return "IDS_STRING_EXTRACT_RUNNING";
    }
    return "";
}

const char* end_key(eh::ExportEnd end) {
    switch (end) {
        case eh::ExportEnd::OpenFailed:
            return "IDS_STRING281";
        case eh::ExportEnd::Completed:
            return "IDS_STRING282";
        case eh::ExportEnd::Failed:
            return "IDS_STRING283";
        case eh::ExportEnd::Stopped:
            return "IDS_STRING291";
    }
    return "";
}

// The operation log's line for an end, where it has one.
const char* end_log_key(eh::ExportEnd end) {
    switch (end) {
        case eh::ExportEnd::Completed:
            return "IDS_STRING400";
        case eh::ExportEnd::Stopped:
            return "IDS_STRING291";
        case eh::ExportEnd::Failed:
            return "IDS_STRING401";
        case eh::ExportEnd::OpenFailed:
            return nullptr;
    }
    return nullptr;
}

eh::EngineEntries engine_entries(const EngineApi& api) {
    eh::EngineEntries e;
    e.zTellOpenedType = api.zTellOpenedType;
    e.zTellTimeInxHd = api.zTellTimeInxHd;
    e.zTellTimeInxUnit = api.zTellTimeInxUnit;
    e.zTellScreenNum = api.zTellScreenNum;
    e.zTellSampleRate = api.zTellSampleRate;
    e.zTellSampleBits = api.zTellSampleBits;
    e.zStartExtract = api.zStartExtract;
    e.zStopExtract = api.zStopExtract;
    return e;
}

eh::OmbrelEntries ombrel_entries(const ExtractApi& api) {
    eh::OmbrelEntries e;
#define VELMORA_COPY_ENTRY(name) e.name = api.name;
    OMBREL_FOR_EACH_EXPORT(VELMORA_COPY_ENTRY)
#undef VELMORA_COPY_ENTRY
    return e;
}

template <typename Widget>
Widget* named(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

}  // namespace

ExtractDialog::ExtractDialog(const EngineApi& engine, const ExtractApi& extract,
                             const LanguageTable& texts, QWidget* parent)
    : SubDialog(parent), engine_(engine), texts_(texts) {
    setObjectName(QStringLiteral("extract_dialog"));
    setModal(false);
    message_sink = [this](const QString& message) {
        QMessageBox::information(this, title(), message);
    };
    folder_dialog = [this] {
        return QFileDialog::getExistingDirectory(this, QString(), directory_->text());
    };
    // The session reports on the engine's extraction thread; the widgets change on this one.
    eh::ExportSink sink;
    sink.progress = [this](int percent) {
        QMetaObject::invokeMethod(
            this, [this, percent] { take_progress(percent); }, Qt::QueuedConnection);
    };
    sink.ended = [this](const eh::ExportOutcome& outcome) {
        QMetaObject::invokeMethod(
            this, [this, outcome] { take_end(outcome); }, Qt::QueuedConnection);
    };
    session_ = std::make_unique<eh::ExportSession>(engine_entries(engine), ombrel_entries(extract),
                                                   std::move(sink));
    set_extract_session(session_.get());
    build_controls();
    retranslate();
}

ExtractDialog::~ExtractDialog() {
    // No report reaches the session from here on; it ends a running export itself.
    set_extract_session(nullptr);
    session_.reset();
}

QString ExtractDialog::text(const char* key) const {
    return QString::fromStdString(texts_.text(key));
}

void ExtractDialog::build_controls() {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    page->setSpacing(8);

    auto* range = new QGridLayout;
    range->setHorizontalSpacing(10);
    const auto slider_row = [&](int row, int label_id, int time_id, int slider_id, QLabel*& time,
                                QSlider*& slider) {
        labels_[static_cast<size_t>(row)] = named(new QLabel(this), label_id);
        time = named(new QLabel(this), time_id);
        time->setMinimumWidth(
            time->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 8);
        slider = named(new QSlider(Qt::Horizontal, this), slider_id);
        slider->setPageStep(1);
        slider->setMinimumWidth(320);
        range->addWidget(labels_[static_cast<size_t>(row)], row, 0);
        range->addWidget(time, row, 1);
        range->addWidget(slider, row, 2);
        connect(slider, &QSlider::valueChanged, this,
                [this, label = time](int step) { show_unit_time(label, step); });
    };
    slider_row(0, 21019, kStartTime, kStartSlider, start_time_, start_slider_);
    slider_row(1, 21020, kEndTime, kEndSlider, end_time_, end_slider_);
    page->addLayout(range);

    auto* target = new QHBoxLayout;
    labels_[2] = named(new QLabel(this), 21021);
    directory_ = named(new QLineEdit(this), kTargetDirectory);
    choose_ = named(new QPushButton(QStringLiteral("..."), this), kChooseDirectory);
    choose_->setAutoDefault(false);
    connect(choose_, &QPushButton::clicked, this, [this] {
        const QString chosen = folder_dialog();
        if (!chosen.isEmpty()) directory_->setText(chosen);
    });
    target->addWidget(labels_[2]);
    target->addWidget(directory_, 1);
    target->addWidget(choose_);
    page->addLayout(target);

    auto* boxes = new QGridLayout;
    file_pair_ = named(new QCheckBox(this), kFilePair);
    all_channels_ = named(new QCheckBox(this), kAllChannels);
    boxes->addWidget(file_pair_, 0, 0);
    boxes->addWidget(all_channels_, 0, 1);
    for (int i = 0; i < eh::kChannels; ++i) {
        QCheckBox* box = named(new QCheckBox(this), kFirstChannel + i);
        channels_[static_cast<size_t>(i)] = box;
        boxes->addWidget(box, 1 + i / 4, i % 4);
    }
    page->addLayout(boxes);

    progress_ = named(new QProgressBar(this), kProgress);
    progress_->setRange(0, 100);
    page->addWidget(progress_);

    auto* buttons = new QHBoxLayout;
    start_ = named(new QPushButton(this), kStart);
    close_ = named(new QPushButton(this), kClose);
    for (QPushButton* button : {start_, close_}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(90);
    }
    connect(start_, &QPushButton::clicked, this, &ExtractDialog::start);
    connect(close_, &QPushButton::clicked, this, &ExtractDialog::close_dialog);
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(close_);
    page->addLayout(buttons);
}

void ExtractDialog::retranslate() {
    set_title(text("IDS_STRING226"));
    labels_[0]->setText(text("IDC_TEXT_STIME"));
    labels_[1]->setText(text("IDC_TEXT_ETIME"));
    labels_[2]->setText(text("IDC_TARGET_DIR"));
    file_pair_->setText(text("IDC_TEXT_GOP"));
    all_channels_->setText(text("IDC_CHECK_ALLCH"));
    for (size_t i = 0; i < channels_.size(); ++i) channels_[i]->setText(text(kChannelKeys[i]));
    start_->setText(text("IDC_BTN_START"));
    close_->setText(text("IDC_BTN_CLOSE"));
}

bool ExtractDialog::prepare() {
    retranslate();
    if (running_) return true;  // a running export is shown as it is
    progress_->setValue(0);
    if (const auto refusal = session_->prepare(range_)) {
        refuse(*refusal);
        return false;
    }
    const int last_step = static_cast<int>(range_.units()) - 1;
    for (QSlider* slider : {start_slider_, end_slider_}) {
        const QSignalBlocker quiet(slider);
        slider->setRange(0, last_step);
    }
    start_slider_->setValue(0);
    end_slider_->setValue(last_step);
    show_unit_time(start_time_, 0);
    show_unit_time(end_time_, last_step);
    file_pair_->setChecked(true);
    all_channels_->setChecked(false);
    // Only the recording's own channels can be written.
    const int screens = engine_.zTellScreenNum != nullptr ? engine_.zTellScreenNum() : 0;
    for (int i = 0; i < eh::kChannels; ++i) {
        QCheckBox* box = channels_[static_cast<size_t>(i)];
        box->setChecked(false);
        box->setEnabled(i < screens);
    }
    start_->setEnabled(true);
    return true;
}

void ExtractDialog::show_unit_time(QLabel* label, int step) {
    KivraIndexUnit unit{};
    const uint32_t number = range_.unit_at(static_cast<uint32_t>(step));
    if (engine_.zTellTimeInxUnit == nullptr ||
        engine_.zTellTimeInxUnit(static_cast<int32_t>(number), &unit) == 0) {
        label->clear();
        return;
    }
    label->setText(QDateTime::fromSecsSinceEpoch(unit.time, Qt::UTC)
                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

void ExtractDialog::start() {
    eh::ExportRequest request;
    request.start_unit = range_.unit_at(static_cast<uint32_t>(start_slider_->value()));
    request.end_unit = range_.unit_at(static_cast<uint32_t>(end_slider_->value()));
    for (size_t i = 0; i < channels_.size(); ++i)
        request.channels[i] = channels_[i]->isEnabled() && channels_[i]->isChecked();
    request.all_channels = all_channels_->isChecked();
    request.file_pair = file_pair_->isChecked();
    request.target_directory = directory_->text().toStdString();
    if (const auto refusal = session_->start(request)) {
        if (*refusal == eh::ExportRefusal::EngineRefused && log_sink)
            log_sink(texts_.text("IDS_STRING399"));
        refuse(*refusal);
        return;
    }
    if (log_sink) log_sink(texts_.text("IDS_STRING398"));
    running_ = true;
    start_->setEnabled(false);
}

void ExtractDialog::source_closed() {
    // A running export ends with the engine's report; an idle dialog's range is of an index
    // no longer open.
    if (!running_ && isVisible()) close();
}

void ExtractDialog::close_dialog() {
    if (running_) session_->stop();
    close();
}

void ExtractDialog::hideEvent(QHideEvent* event) {
    // Hidden by CLOSE, the caption's close box or Escape: the export stops with its message.
    if (!event->spontaneous() && running_) session_->stop();
    SubDialog::hideEvent(event);
}

void ExtractDialog::take_progress(int percent) {
    if (running_) progress_->setValue(std::clamp(percent, 0, 100));
}

void ExtractDialog::take_end(const eh::ExportOutcome& outcome) {
    running_ = false;
    start_->setEnabled(true);
    if (const char* key = end_log_key(outcome.end); key != nullptr && log_sink)
        log_sink(texts_.text(key));
    message_sink(text(end_key(outcome.end)));
    progress_->setValue(0);
    emit export_ended(static_cast<int>(outcome.end));
}

void ExtractDialog::refuse(eh::ExportRefusal refusal) {
    message_sink(text(refusal_key(refusal)));
}

}  // namespace velmora
