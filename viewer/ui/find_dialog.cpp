#include "ui/find_dialog.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <string>

#include "find_row_model.h"
#include "lang/language_table.h"
#include "model/engine_api.h"
#include "model/gauge_texts.h"
#include "model/player_session.h"
#include "model/recording_span.h"
#include "skin/skin_scroll.h"
#include "ui/find_timeline.h"

namespace velmora {

namespace {

namespace ff = fleet::format;

constexpr int kMargin = 10;
constexpr int kProgressSteps = 1000;
constexpr const char* kLoadingKey = "IDS_STRING307";
constexpr const char* kNothingFoundKey = "IDS_STRING301";
constexpr const char* kSearchKey = "IDC_BTN_SPEED_FIND";

constexpr std::array<FindDialog::View, 3> kViews = {FindDialog::View::Time, FindDialog::View::Event,
                                                    FindDialog::View::Quick};
constexpr std::array<const char*, 3> kViewKeys = {"IDC_STATIC_TIME", "IDC_STATIC_EVENT",
                                                  "IDC_STATIC_QUICK"};

// What a unit label shows in parentheses.
enum class UnitText { Speed, Temperature, Psi, GRange };

// One control of a search group, left to right.
struct GroupPart {
    enum Kind { Label, Edit, Unit } kind;
    int id;
    const char* key = nullptr;      // Label: language text, followed by `fixed`
    const char* fixed = "";         // Label: the text (after the language text, if any)
    UnitText unit = UnitText::Psi;  // Unit
};

QString from_utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename Widget>
Widget* named(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

}  // namespace

struct FindDialog::SearchControls {
    int group = 0;
    std::vector<QLineEdit*> edits;
    std::vector<std::pair<QLabel*, const GroupPart*>> labels;
    QPushButton* button = nullptr;
};

namespace {

using Part = GroupPart;
using S = ff::QuickSearch;

// A quick search: its controls, its button, and whether its values are whole numbers.
struct SearchGroup {
    ff::QuickSearch search;
    std::vector<GroupPart> parts;
    int button_id;
    bool whole_numbers;
};

// The seven searches in the order of their buttons.
const std::vector<SearchGroup>& search_groups() {
    static const std::vector<SearchGroup> groups = {
        {S::SpeedOver,
         {{Part::Label, 11006, "IDC_STATIC_S", "(>)"},
          {Part::Edit, 11007},
          {Part::Unit, 11008, nullptr, "", UnitText::Speed}},
         11009,
         true},
        // The G label has no language text.
        {S::GOver,
         {{Part::Label, 11010, nullptr, "G-sensor(>)"},
          {Part::Edit, 11011},
          {Part::Unit, 11012, nullptr, "", UnitText::GRange}},
         11013,
         false},
        {S::TemperatureOver,
         {{Part::Label, 11014, "IDC_STATIC_G3", "(>)"},
          {Part::Edit, 11015},
          {Part::Unit, 11016, nullptr, "", UnitText::Temperature}},
         11017,
         true},
        {S::TyreTemperatureOver,
         {{Part::Label, 11019, "IDC_STATIC_T"},
          {Part::Edit, 11020},
          {Part::Unit, 11021, nullptr, "", UnitText::Temperature}},
         11022,
         true},
        {S::PressureOver,
         {{Part::Label, 11023, "IDC_STATIC_P", "(>)"},
          {Part::Edit, 11024},
          {Part::Unit, 11025, nullptr, "", UnitText::Psi}},
         11026,
         true},
        {S::PressureUnder,
         {{Part::Label, 11027, "IDC_STATIC_P", "(<)"},
          {Part::Edit, 11028},
          {Part::Unit, 11029, nullptr, "", UnitText::Psi}},
         11030,
         true},
        {S::PositionBox,
         {{Part::Label, 11032, "IDC_STATIC_LO"},
          {Part::Edit, 11033},
          {Part::Label, 11034, nullptr, "\u00b1"},
          {Part::Edit, 11035},
          {Part::Label, 11036, "IDC_STATIC_LA"},
          {Part::Edit, 11037},
          {Part::Label, 11038, nullptr, "\u00b1"},
          {Part::Edit, 11039}},
         11040,
         false},
    };
    return groups;
}

}  // namespace

// ---- building -----------------------------------------------------------------------------

FindDialog::FindDialog(const EngineApi& engine, PlayerSession& session, const LanguageTable& texts,
                       QWidget* parent)
    : SubDialog(parent), engine_(engine), session_(session), texts_(texts), reader_(engine) {
    setObjectName(QStringLiteral("find_dialog"));
    setModal(false);
    message_sink = [this](const QString& message) {
        QMessageBox::information(this, title(), message);
    };
    build_controls();
    retranslate();
    show_units();
    resize(1000, 660);
}

FindDialog::~FindDialog() {
    job_.reset();
}

QString FindDialog::text(const char* key) const {
    return from_utf8(texts_.text(key));
}

void FindDialog::build_controls() {
    rows_ = new FindRowModel(this);
    list_ = named(new QTableView(this), 11004);
    list_->setModel(rows_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(20);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->horizontalHeader()->setHighlightSections(false);
    wrap_with_skin_scroll(list_);
    connect(list_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { activate_row(index.row()); });

    timeline_ = new FindTimeline(this);
    connect(timeline_, &FindTimeline::row_clicked, this, &FindDialog::timeline_row_clicked);
    connect(timeline_, &FindTimeline::time_clicked, this,
            [this](quint32 time) { session_.seek_to_time(time); });

    auto* page = new QVBoxLayout(this);
    // The dialog's own margins already keep the caption band clear.
    page->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    page->setSpacing(8);
    page->addWidget(build_view_row());
    search_panel_ = build_search_panel();
    page->addWidget(search_panel_);
    date_row_ = build_date_row();
    page->addWidget(date_row_);
    page->addWidget(list_, 1);
    page->addWidget(timeline_);
    search_panel_->hide();
}

QWidget* FindDialog::build_view_row() {
    auto* row = new QWidget(this);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(18);
    for (size_t i = 0; i < kViews.size(); ++i) {
        const View view = kViews[i];
        QCheckBox* box = named(new QCheckBox(row), static_cast<int>(view));
        box->setFocusPolicy(Qt::NoFocus);
        view_boxes_[i] = box;
        connect(box, &QCheckBox::clicked, this, [this, view] { choose_view(view); });
        line->addWidget(box);
    }
    line->addStretch(1);
    status_ = named(new QLabel(row), 11003);
    status_->setMinimumWidth(220);
    status_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    line->addWidget(status_);
    progress_ = new QProgressBar(row);
    progress_->setObjectName(QStringLiteral("find_progress"));
    progress_->setRange(0, kProgressSteps);
    progress_->setFixedWidth(160);
    progress_->setFormat(QStringLiteral("%p%"));
    progress_->hide();
    line->addWidget(progress_);
    view_boxes_[0]->setChecked(true);
    return row;
}

QWidget* FindDialog::build_search_panel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("find_searches"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(6);
    const auto& groups = search_groups();
    searches_.reserve(groups.size());
    constexpr int kPerRow = 3;
    for (size_t i = 0; i < groups.size(); ++i) {
        QWidget* made = build_search_group(static_cast<int>(i));
        made->setParent(panel);
        const int row = static_cast<int>(i) / kPerRow;
        const int column = static_cast<int>(i) % kPerRow;
        // The position search has twice the controls: it takes a row of its own.
        if (groups[i].search == S::PositionBox)
            grid->addWidget(made, row, 0, 1, kPerRow, Qt::AlignLeft);
        else
            grid->addWidget(made, row, column);
    }
    return panel;
}

QWidget* FindDialog::build_search_group(int index) {
    const SearchGroup& group = search_groups()[static_cast<size_t>(index)];
    auto* box = new QWidget(this);
    auto* line = new QHBoxLayout(box);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(4);
    SearchControls controls;
    controls.group = index;
    for (const GroupPart& part : group.parts) {
        if (part.kind == GroupPart::Edit) {
            QLineEdit* edit = named(new QLineEdit(box), part.id);
            edit->setFixedWidth(group.search == S::PositionBox ? 90 : 56);
            controls.edits.push_back(edit);
            line->addWidget(edit);
            continue;
        }
        QLabel* label = named(new QLabel(box), part.id);
        controls.labels.emplace_back(label, &part);
        line->addWidget(label);
    }
    controls.button = named(new QPushButton(box), group.button_id);
    controls.button->setAutoDefault(false);
    controls.button->setMinimumWidth(64);
    connect(controls.button, &QPushButton::clicked, this, [this, index] { run_search(index); });
    line->addWidget(controls.button);
    line->addStretch(1);
    searches_.push_back(std::move(controls));
    return box;
}

QWidget* FindDialog::build_date_row() {
    auto* row = new QWidget(this);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(6);
    date_ = named(new QDateTimeEdit(row), 11041);
    date_->setTimeSpec(Qt::UTC);
    date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    date_->setCalendarPopup(true);
    date_->setMinimumWidth(
        date_->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00")) + 48);
    date_->setDateTime(QDateTime::currentDateTimeUtc());
    date_button_ = named(new QPushButton(row), 11042);
    date_button_->setAutoDefault(false);
    date_button_->setMinimumWidth(64);
    connect(date_button_, &QPushButton::clicked, this, &FindDialog::search_date);
    line->addWidget(date_);
    line->addWidget(date_button_);
    line->addStretch(1);
    return row;
}

void FindDialog::retranslate() {
    set_title(text("ID_MENU_FINDLOCATE"));
    for (size_t i = 0; i < view_boxes_.size(); ++i) view_boxes_[i]->setText(text(kViewKeys[i]));
    for (SearchControls& controls : searches_) {
        controls.button->setText(text(kSearchKey));
        for (auto& [label, part] : controls.labels) {
            const QString fixed = QString::fromUtf8(part->fixed);
            label->setText(part->key != nullptr ? text(part->key) + fixed : fixed);
        }
    }
    date_button_->setText(text(kSearchKey));
}

// The unit labels show the dashboard's units of the last refresh.
void FindDialog::show_units() {
    for (SearchControls& controls : searches_) {
        for (const GroupPart& part : search_groups()[static_cast<size_t>(controls.group)].parts) {
            if (part.kind != GroupPart::Unit) continue;
            QString unit;
            switch (part.unit) {
                case UnitText::Speed:
                    unit = from_utf8(speed_unit_text(units_.speed));
                    break;
                case UnitText::Temperature:
                    unit = from_utf8(temperature_unit_text(units_.temperature));
                    break;
                case UnitText::Psi:
                    unit = QStringLiteral("PSI");
                    break;
                case UnitText::GRange:
                    unit = QStringLiteral("0.1~2.0");
                    break;
            }
            findChild<QLabel*>(QString::number(part.id))->setText(QStringLiteral("(%1)").arg(unit));
        }
    }
}

// ---- refresh and the views ----------------------------------------------------------------

void FindDialog::refresh(ff::FindUnits units, const EventTypeNames& event_names) {
    stop_job();
    units_ = units;
    event_names_ = event_names;
    retranslate();
    show_units();
    show_view();
}

void FindDialog::choose_view(View view) {
    if (loading_) {
        // A list is loading: the click is undone and the boxes stay as they were.
        for (size_t i = 0; i < kViews.size(); ++i) view_boxes_[i]->setChecked(kViews[i] == view_);
        return;
    }
    view_ = view;
    show_view();
}

void FindDialog::show_view() {
    stop_job();
    for (size_t i = 0; i < kViews.size(); ++i) view_boxes_[i]->setChecked(kViews[i] == view_);
    reset_span();
    switch (view_) {
        case View::Time:
            list_units(false);
            return;
        case View::Event:
            list_units(true);
            return;
        case View::Quick:
            show_quick_view();
            return;
    }
}

void FindDialog::set_columns(const std::vector<std::pair<QString, int>>& columns) {
    QStringList headers;
    column_widths_.clear();
    for (const auto& [header, width] : columns) {
        headers << header;
        column_widths_.push_back(width);
    }
    rows_->set_columns(headers);
    for (size_t i = 0; i < columns.size(); ++i)
        list_->horizontalHeader()->resizeSection(static_cast<int>(i), columns[i].second);
    timeline_->clear_rows();
}

// The widths are the least a column gets: a font wider than the one they were chosen for widens
// them to their texts (the first rows tell), and the last column takes what is left.
void FindDialog::fit_columns() {
    for (int i = 0; i + 1 < static_cast<int>(column_widths_.size()); ++i) {
        list_->resizeColumnToContents(i);
        QHeaderView* header = list_->horizontalHeader();
        header->resizeSection(
            i, std::max(header->sectionSize(i), column_widths_[static_cast<size_t>(i)]));
    }
}

void FindDialog::list_units(bool events) {
    search_panel_->hide();
    date_row_->setVisible(!events);
    set_columns(
        {{text("IDS_STRING298"), 150}, {text("IDS_STRING299"), 150}, {text("IDS_STRING300"), 350}});
    const int32_t opened = engine_.zTellOpenedType != nullptr ? engine_.zTellOpenedType() : -1;
    // Only a recorder's disk or card keeps an event index.
    if (events && opened != KIVRA_SOURCE_DISK && opened != KIVRA_SOURCE_CARD) {
        status_->clear();
        return;
    }
    FindRequest request;
    request.kind = events ? FindKind::EventUnits : FindKind::TimeUnits;
    request.event_names = event_names_;
    start_job(std::move(request));
}

void FindDialog::show_quick_view() {
    date_row_->hide();
    search_panel_->show();
    const QString speed_unit = from_utf8(speed_unit_text(units_.speed));
    const QString temperature_unit = from_utf8(temperature_unit_text(units_.temperature));
    set_columns(
        {{QStringLiteral("tindex"), 50},
         {text("IDS_STRING298"), 130},
         {QStringLiteral("%1(%2)").arg(text("IDC_STATIC_S"), speed_unit), 80},
         {QStringLiteral("gx/gy/gz(G)"), 100},
         {QStringLiteral("%1(%2)").arg(text("IDC_STATIC_G3"), temperature_unit), 100},
         {QStringLiteral("%1/%2(\u00b0)").arg(text("IDC_STATIC_LO"), text("IDC_STATIC_LA")), 130},
         {text("IDS_STRING305"), 80},
         {QStringLiteral("%1(PSI)/%2(%3)")
              .arg(text("IDC_STATIC_P"), text("IDC_STATIC_T"), temperature_unit),
          200}});
    status_->clear();
    if (!last_search_) return;
    // The last search runs again with its values written back.
    SearchControls& controls = searches_[static_cast<size_t>(last_search_->group)];
    for (size_t i = 0; i < controls.edits.size(); ++i)
        controls.edits[i]->setText(QString::number(last_search_->values[i]));
    run_search(last_search_->group);
}

// ---- searches -----------------------------------------------------------------------------

std::optional<std::array<double, 4>> FindDialog::read_values(int group) const {
    const SearchControls& controls = searches_[static_cast<size_t>(group)];
    std::array<double, 4> values{};
    for (size_t i = 0; i < controls.edits.size(); ++i) {
        const QString typed = controls.edits[i]->text().trimmed();
        bool ok = false;
        values[i] = search_groups()[static_cast<size_t>(group)].whole_numbers ? typed.toInt(&ok)
                                                                              : typed.toDouble(&ok);
        if (!ok) return std::nullopt;
    }
    return values;
}

void FindDialog::run_search(int group) {
    if (view_ != View::Quick) return;
    status_->setText(text(kLoadingKey));
    const auto values = read_values(group);
    ff::QuickQuery query;
    query.search = search_groups()[static_cast<size_t>(group)].search;
    query.units = units_;
    if (values) query.values = *values;
    // A value that cannot be read, or a G value out of range, runs no search.
    if (!values || !ff::make_quick_filter(query)) {
        status_->clear();
        return;
    }
    stop_job();
    last_search_ = LastSearch{group, *values};
    rows_->clear();
    timeline_->clear_rows();
    FindRequest request;
    request.kind = FindKind::QuickSearch;
    request.query = query;
    start_job(std::move(request));
}

void FindDialog::search_date() {
    if (loading_) return;
    QDateTime chosen = date_->dateTime().toUTC();
    chosen.setTime(QTime(chosen.time().hour(), chosen.time().minute()));
    const qint64 seconds = chosen.toSecsSinceEpoch();
    if (seconds < 0 || seconds > std::numeric_limits<uint32_t>::max()) {
        message_sink(text(kNothingFoundKey));
        return;
    }
    FindRequest request;
    request.kind = FindKind::DateSearch;
    request.time = static_cast<uint32_t>(seconds);
    start_job(std::move(request));
}

// ---- jobs ---------------------------------------------------------------------------------

// The job reports from its own thread; each report is carried to the window's thread with the
// job's number, so reports of a job stopped in the meantime are dropped there.
void FindDialog::start_job(FindRequest request) {
    stop_job();
    const uint64_t id = ++job_id_;
    FindSink sink;
    sink.rows = [this, id](std::vector<FoundRow> rows) {
        QMetaObject::invokeMethod(
            this, [this, id, rows = std::move(rows)]() mutable { take_rows(id, std::move(rows)); },
            Qt::QueuedConnection);
    };
    sink.progress = [this, id](double done) {
        QMetaObject::invokeMethod(
            this, [this, id, done] { take_progress(id, done); }, Qt::QueuedConnection);
    };
    sink.finished = [this, id](const FindOutcome& outcome) {
        QMetaObject::invokeMethod(
            this, [this, id, outcome] { take_end(id, outcome); }, Qt::QueuedConnection);
    };
    // A time or event list holds the view until it has loaded; a search does not.
    loading_ = request.kind == FindKind::TimeUnits || request.kind == FindKind::EventUnits;
    date_button_->setEnabled(!loading_);
    set_loading_status(true);
    job_ = std::make_unique<FindJob>(reader_, quick_entries_, std::move(request), std::move(sink));
}

void FindDialog::stop_job() {
    ++job_id_;
    const bool was_running = job_ != nullptr;
    job_.reset();  // cancels and waits
    loading_ = false;
    date_button_->setEnabled(true);
    if (was_running) {
        set_loading_status(false);
        emit job_ended();
    }
}

void FindDialog::take_rows(uint64_t job, std::vector<FoundRow> rows) {
    if (job != job_id_) return;
    const bool first_rows = rows_->rowCount() == 0;
    timeline_->add_rows(rows);
    rows_->append(std::move(rows));
    if (first_rows) fit_columns();
}

void FindDialog::take_progress(uint64_t job, double done) {
    if (job != job_id_) return;
    progress_->setValue(static_cast<int>(done * kProgressSteps));
}

void FindDialog::take_end(uint64_t job, const FindOutcome& outcome) {
    if (job != job_id_ || !job_) return;
    const FindKind kind = job_->kind();
    job_.reset();
    loading_ = false;
    date_button_->setEnabled(true);
    set_loading_status(false);
    if (kind == FindKind::DateSearch && !outcome.cancelled) {
        if (outcome.offset) {
            session_.seek_to_offset_text(std::to_string(*outcome.offset));
            hide();
        } else {
            message_sink(text(kNothingFoundKey));
        }
    }
    emit job_ended();
}

void FindDialog::set_loading_status(bool loading) {
    if (loading) {
        status_->setText(text(kLoadingKey));
        progress_->setValue(0);
        progress_->show();
    } else {
        status_->clear();
        progress_->hide();
    }
}

// ---- rows, the strip and the source -------------------------------------------------------

// Time and event rows hold their offset in the Position column; a quick row's time unit is
// looked up in the time index now.
bool FindDialog::seek_to_row(int row) {
    const FoundRow* found = rows_->row_at(row);
    if (found == nullptr) return false;
    std::string offset;
    if (view_ == View::Quick) {
        const auto at = ff::quick_row_offset(reader_, found->time_unit);
        if (!at) return false;
        offset = std::to_string(*at);
    } else if (found->texts.size() > 1) {
        offset = found->texts[1];
    }
    if (offset.empty()) return false;
    session_.seek_to_offset_text(offset);
    return true;
}

void FindDialog::activate_row(int row) {
    if (rows_->row_at(row) == nullptr) return;
    seek_to_row(row);
    hide();
}

// The strip leaves the dialog open, so the operator can go on picking moments.
void FindDialog::timeline_row_clicked(int row) {
    list_->selectRow(row);
    list_->scrollTo(rows_->index(row, 0));
    seek_to_row(row);
}

void FindDialog::reset_span() {
    timeline_->set_span(recording_span(reader_));
    const auto span = timeline_->span();
    if (!span) return;
    // A date outside the recording is no use as a start: the picker goes to its beginning.
    const qint64 chosen = date_->dateTime().toSecsSinceEpoch();
    if (chosen < span->begin || chosen > span->end)
        date_->setDateTime(QDateTime::fromSecsSinceEpoch(span->begin, Qt::UTC));
}

void FindDialog::source_closed() {
    stop_job();
    quick_entries_.forget();
    rows_->clear();
    timeline_->clear_rows();
    timeline_->set_span(std::nullopt);
    status_->clear();
}

// ---- keys and hiding ----------------------------------------------------------------------

void FindDialog::keyPressEvent(QKeyEvent* event) {
    // Enter does nothing here; Escape hides, as the close command does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    SubDialog::keyPressEvent(event);
}

void FindDialog::hideEvent(QHideEvent* event) {
    stop_job();
    SubDialog::hideEvent(event);
}

}  // namespace velmora
