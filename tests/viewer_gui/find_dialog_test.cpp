// The Find dialog under the real main window and engine, on dvrsim's recordings: what each view
// lists (expected rows worked out here from the index files and the truth), the searches in both
// unit systems, the date search, where a double click and the strip land, a view change refused
// while a list loads, and a closed source's rows gone.
#include <QAction>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "common/le.h"
#include "format/index_format.h"
#include "qt_test_app.h"
#include "skin/theme.h"
#include "ui/find_dialog.h"
#include "ui/find_timeline.h"
#include "ui/map_view.h"
#include "viewer_fixture.h"

namespace velmora::test {
namespace {

namespace ff = fleet::format;
using fleet_test::process_events_for;
using fleet_test::wait_until;
using nlohmann::json;
using Rows = std::vector<std::vector<std::string>>;

constexpr int kOpenTimeoutMs = 20000;
constexpr int kListTimeoutMs = 60000;
// 2023-11-14 22:00:00 UTC: the file pair starts a minute before it.
constexpr uint32_t kHour = 1699999200;

struct Unit {
    uint32_t n = 0;
    uint32_t time = 0;
    uint32_t tag = 0;
    int64_t offset = 0;
};

int event_type(uint32_t tag) {
    return static_cast<int>((tag >> ff::kEventTypeShift) & 0xF);
}

std::string utc_text(uint32_t time) {
    return QDateTime::fromSecsSinceEpoch(time, Qt::UTC)
        .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
        .toStdString();
}

// The units of a file pair's index, read from the file.
std::vector<Unit> read_inx(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::array<uint8_t, ff::kIndexRecordSize> record{};
    in.read(reinterpret_cast<char*>(record.data()), record.size());
    const ff::IndexHeader header = ff::IndexHeader::decode(record.data());
    std::vector<Unit> units;
    for (uint32_t n = header.first; n <= header.last && in; ++n) {
        in.seekg(static_cast<std::streamoff>(n) * ff::kIndexRecordSize);
        in.read(reinterpret_cast<char*>(record.data()), record.size());
        const ff::IndexUnit unit = ff::IndexUnit::decode(record.data());
        units.push_back({n, unit.time, unit.tag, unit.offset});
    }
    return units;
}

// The time view's rule, worked out independently: the first unit; then a unit on the hour, or
// an hour or more after the mark, or one with an event.
std::vector<Unit> time_view_units(const std::vector<Unit>& units) {
    std::vector<Unit> listed;
    uint32_t mark = 0;
    for (const Unit& unit : units) {
        bool list = false;
        if (listed.empty()) {
            list = true;
            mark = unit.time / 3600 * 3600;
        } else if (unit.time % 3600 == 0) {
            list = true;
            mark = unit.time;
        } else if (unit.time >= mark + 3600) {
            list = true;
            mark = unit.time / 60 * 60;
        } else {
            list = event_type(unit.tag) != 0;
        }
        if (list) listed.push_back(unit);
    }
    return listed;
}

Rows unit_rows(const std::vector<Unit>& units, const EventTypeNames& names) {
    Rows rows;
    for (const Unit& unit : units) {
        const int type = event_type(unit.tag);
        rows.push_back(
            {utc_text(unit.time), std::to_string(unit.offset),
             type < kEventTypeCount ? names[static_cast<size_t>(type)] : std::to_string(type)});
    }
    return rows;
}

// A recorder image and its truth: units as the engine gives them (logical offsets), and the
// quick records read from the image where the truth says the quick index lies.
struct Image {
    std::string path;
    json truth;
    std::string kind = "disk";

    std::vector<Unit> units(const char* list) const {
        std::vector<Unit> out;
        for (const json& u : truth.at(list)) {
            out.push_back({u.at("n").get<uint32_t>(), u.at("time").get<uint32_t>(),
                           u.at("tag").get<uint32_t>(), u.at("logical").get<int64_t>()});
        }
        return out;
    }
    uint32_t time_first() const { return truth.at("header").at("first").get<uint32_t>(); }
    uint32_t time_last() const { return truth.at("header").at("last").get<uint32_t>(); }

    ff::QuickRecord quick_record(uint32_t n) const {
        std::ifstream in(path, std::ios::binary);
        in.seekg(truth.at("index_areas").at("quick").get<int64_t>() +
                 static_cast<int64_t>(n) * static_cast<int64_t>(ff::kQuickRecordSize));
        ff::QuickRecord record{};
        in.read(reinterpret_cast<char*>(record.data()), record.size());
        return record;
    }
};

class FindDialogTest : public ViewerTest {
  protected:
    std::string make_pair() {
        const std::string base = dir_.file("hour");
        const auto made = fleet::test::run_process(
            {DVRSIM_PATH, "record", "--out", base, "--channels", "1", "--stream-version", "3",
             "--seconds", "150", "--fps", "4", "--start", std::to_string(kHour - 60)});
        EXPECT_EQ(made.exit_code, 0) << made.err;
        return base;
    }

    // Sixty-five minutes from a minute before an hour, a unit a minute and an event every five:
    // every clause of the time view's rule has rows to pick.
    std::string make_long_pair() {
        const std::string base = dir_.file("long");
        const auto made = fleet::test::run_process(
            {DVRSIM_PATH, "record", "--out", base, "--channels", "1", "--stream-version", "3",
             "--seconds", "3900", "--fps", "1", "--no-audio", "--unit-every", "60", "--event-every",
             "300", "--start", std::to_string(kHour - 60)});
        EXPECT_EQ(made.exit_code, 0) << made.err;
        return base;
    }

    Image make_image(const std::vector<std::string>& options, const std::string& kind = "disk") {
        Image image{dir_.file(kind + ".img"), {}, kind};
        std::vector<std::string> command = {DVRSIM_PATH, kind, "--out", image.path, "--fps", "2"};
        command.insert(command.end(), options.begin(), options.end());
        const auto made = fleet::test::run_process(command);
        EXPECT_EQ(made.exit_code, 0) << made.err;
        image.truth = json::parse(fleet::test::read_file(image.path + ".truth.json"));
        return image;
    }

    void open_pair(const std::string& base) {
        window_->open_path(QString::fromStdString(base + ".dvr"));
        ASSERT_EQ(window_->session().state(), PlayerState::Opened);
    }

    void open_image(const Image& image) {
        window_->image_dialog = [&](const QString&) { return QString::fromStdString(image.path); };
        window_->action(image.kind == "card" ? CommandId::OpenCardImage : CommandId::OpenDiskImage)
            ->trigger();
        ASSERT_TRUE(wait_status(QStringLiteral("opened.."), kOpenTimeoutMs));
    }

    // Opens the dialog from the toolbar and waits for its list.
    FindDialog* open_find() {
        click(static_cast<int>(CommandId::FindPlayButton));
        auto* found = window_->findChild<FindDialog*>(QStringLiteral("find_dialog"));
        EXPECT_NE(found, nullptr);
        if (found == nullptr) return nullptr;
        EXPECT_TRUE(found->isVisible());
        EXPECT_TRUE(wait_idle(found));
        return found;
    }

    bool wait_idle(FindDialog* find) {
        return wait_until([&] { return !find->busy(); }, kListTimeoutMs);
    }

    template <typename Widget>
    Widget* control(FindDialog* find, int id) {
        auto* widget = find->findChild<Widget*>(QString::number(id));
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }

    void click_in(FindDialog* find, int id) {
        auto* button = control<QAbstractButton>(find, id);
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << id;
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }

    // Types the value into the edit and runs its search.
    void search(FindDialog* find, int edit, int button, const QString& value) {
        control<QLineEdit>(find, edit)->setText(value);
        click_in(find, button);
        ASSERT_TRUE(wait_idle(find));
    }

    Rows shown(FindDialog* find) {
        const QAbstractItemModel* model = find->list()->model();
        Rows rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < model->columnCount(); ++c)
                row.push_back(model->index(r, c).data().toString().toStdString());
            rows.push_back(row);
        }
        return rows;
    }

    QStringList headers(FindDialog* find) {
        const QAbstractItemModel* model = find->list()->model();
        QStringList out;
        for (int c = 0; c < model->columnCount(); ++c)
            out << model->headerData(c, Qt::Horizontal).toString();
        return out;
    }

    void double_click_row(FindDialog* find, int row) {
        QTableView* list = find->list();
        list->scrollTo(list->model()->index(row, 0));
        const QRect cell = list->visualRect(list->model()->index(row, 0));
        // A double click begins with a click; the view acts only on a row it saw pressed.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // What `dvrtool find` prints for the image, a row per line, cells split at tabs.
    Rows dvrtool_rows(const Image& image, const std::vector<std::string>& options) {
        std::vector<std::string> command = {DVRTOOL_PATH, "find", "--" + image.kind, image.path};
        command.insert(command.end(), options.begin(), options.end());
        const auto result = fleet::test::run_process(command);
        EXPECT_EQ(result.exit_code, 0) << result.err;
        Rows rows;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> row;  // an empty last cell (no event name) counts too
            for (size_t from = 0;;) {
                const size_t tab = line.find('\t', from);
                row.push_back(line.substr(from, tab - from));
                if (tab == std::string::npos) break;
                from = tab + 1;
            }
            rows.push_back(row);
        }
        return rows;
    }

    std::vector<bool> boxes(FindDialog* find) {
        std::vector<bool> checked;
        for (int id : {11000, 11001, 11002})
            checked.push_back(control<QCheckBox>(find, id)->isChecked());
        return checked;
    }
};

// ---- the toolbar and the menu -------------------------------------------------------------

TEST_F(FindDialogTest, TheToolbarAndTheMenuOpenOneDialog) {
    start_window();
    EXPECT_EQ(window_->findChild<FindDialog*>(QStringLiteral("find_dialog")), nullptr);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);
    EXPECT_FALSE(find->isModal());
    EXPECT_EQ(find->title(), QStringLiteral("Find and Play"));
    EXPECT_EQ(control<QCheckBox>(find, 11000)->text(), QStringLiteral("Time Index"));
    EXPECT_EQ(control<QLabel>(find, 11006)->text(), QStringLiteral("speed(>)"));
    EXPECT_EQ(control<QLabel>(find, 11027)->text(), QStringLiteral("tire pressure(<)"));
    EXPECT_EQ(control<QLabel>(find, 11034)->text(), QStringLiteral("\u00b1"));
    EXPECT_EQ(control<QPushButton>(find, 11040)->text(), QStringLiteral("Search"));
    EXPECT_EQ(control<QDateTimeEdit>(find, 11041)->displayFormat(),
              QStringLiteral("yyyy-MM-dd HH:mm"));
    find->hide();

    window_->action(CommandId::FindPlay)->trigger();
    EXPECT_TRUE(find->isVisible());
    EXPECT_EQ(window_->findChildren<FindDialog*>().size(), 1);
    // Enter does nothing; Escape hides.
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_TRUE(find->isVisible());
    QTest::keyClick(find, Qt::Key_Escape);
    EXPECT_FALSE(find->isVisible());
}

// ---- a file pair --------------------------------------------------------------------------

TEST_F(FindDialogTest, TheTimeViewOfAFilePairListsTheRuleRows) {
    const std::string base = make_long_pair();
    const std::vector<Unit> units = read_inx(base + ".inx");
    ASSERT_GE(units.size(), 3u);
    ASSERT_GT(units.back().time - units.front().time, 3600u);  // longer than an hour
    const std::vector<Unit> listed = time_view_units(units);
    ASSERT_GE(listed.size(), 2u);            // the hour is crossed
    ASSERT_LT(listed.size(), units.size());  // and a unit is left out
    ASSERT_TRUE(std::any_of(listed.begin(), listed.end(), [](const Unit& u) {
        return event_type(u.tag) != 0;  // units listed for their event
    }));
    start_window();
    open_pair(base);

    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(find->view(), FindDialog::View::Time);
    EXPECT_EQ(boxes(find), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(headers(find), (QStringList{"Time", "Position", "Status"}));
    EXPECT_EQ(shown(find), unit_rows(listed, window_->event_type_names()));
    EXPECT_EQ(control<QLabel>(find, 11003)->text(), QString());
    EXPECT_TRUE(control<QDateTimeEdit>(find, 11041)->isVisible());
    EXPECT_FALSE(control<QPushButton>(find, 11009)->isVisible());

    // The strip spans the index from its first unit to its last, one mark per row.
    FindTimeline* strip = find->timeline();
    ASSERT_TRUE(strip->span().has_value());
    EXPECT_EQ(strip->span()->begin, units.front().time);
    EXPECT_EQ(strip->span()->end, units.back().time);
    EXPECT_EQ(strip->mark_count(), static_cast<int>(listed.size()));
    fleet_test::grab_screenshot(*find, QStringLiteral("find_time_view"));
}

TEST_F(FindDialogTest, TheEventViewOfAFilePairIsEmptyAndTheDialogStaysUsable) {
    const std::string base = make_pair();
    start_window();
    open_pair(base);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);

    click_in(find, 11001);
    ASSERT_TRUE(wait_idle(find));
    EXPECT_EQ(find->view(), FindDialog::View::Event);
    EXPECT_EQ(boxes(find), (std::vector<bool>{false, true, false}));
    EXPECT_TRUE(shown(find).empty());
    EXPECT_EQ(control<QLabel>(find, 11003)->text(), QString());
    EXPECT_FALSE(control<QDateTimeEdit>(find, 11041)->isVisible());

    // No quick index either: a search ends with nothing.
    click_in(find, 11002);
    search(find, 11007, 11009, QStringLiteral("0"));
    EXPECT_TRUE(shown(find).empty());
    EXPECT_EQ(headers(find).size(), 8);

    click_in(find, 11000);
    ASSERT_TRUE(wait_idle(find));
    EXPECT_EQ(shown(find).size(), time_view_units(read_inx(base + ".inx")).size());
}

struct DateCase {
    const char* name;
    int minutes_from_hour;         // the picker's time
    std::optional<uint32_t> unit;  // the unit whose offset is sought; none: "Find nothing!"
};

void PrintTo(const DateCase& c, std::ostream* out) {
    *out << c.name;
}

class FindDialogDates : public FindDialogTest, public ::testing::WithParamInterface<DateCase> {};

// The pair's units lie at 21:59:00, 22:01:00 and 22:01:29.
TEST_P(FindDialogDates, TheDateSearchSeeksOrFindsNothing) {
    const DateCase& c = GetParam();
    const std::string base = make_pair();
    const std::vector<Unit> units = read_inx(base + ".inx");
    ASSERT_EQ(units.size(), 3u);
    ASSERT_EQ(units[0].time, kHour - 60);
    ASSERT_EQ(units[1].time, kHour + 60);
    start_window();
    open_pair(base);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);

    const uint32_t picked = kHour + static_cast<uint32_t>(c.minutes_from_hour * 60);
    control<QDateTimeEdit>(find, 11041)
        ->setDateTime(QDateTime::fromSecsSinceEpoch(picked, Qt::UTC));
    // The seek waits for the play it starts; seen as the search ends, before the engine plays.
    std::optional<int64_t> seek;
    QObject::connect(find, &FindDialog::job_ended, find,
                     [&] { seek = window_->session().pending_seek(); });
    click_in(find, 11042);
    ASSERT_TRUE(wait_idle(find));

    if (c.unit) {
        const int64_t offset = units[*c.unit - 1].offset;
        EXPECT_FALSE(find->isVisible());
        EXPECT_TRUE(messages_.empty());
        EXPECT_EQ(seek, offset);
        ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
        EXPECT_TRUE(wait_until([&] { return engine_.engine().zTellp() >= offset; }, 10000));
    } else {
        EXPECT_TRUE(find->isVisible());
        EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Find nothing!")});
        EXPECT_EQ(seek, std::nullopt);
        EXPECT_EQ(window_->session().state(), PlayerState::Opened);
    }
}

INSTANTIATE_TEST_SUITE_P(Dates, FindDialogDates,
                         ::testing::Values(DateCase{"OnTheFirstUnit", -1, 1},
                                           DateCase{"BetweenUnits", 0, 1},
                                           DateCase{"OnTheSecondUnit", 1, 2},
                                           DateCase{"BeforeTheIndex", -2, std::nullopt},
                                           DateCase{"AfterTheIndex", 2, std::nullopt}),
                         [](const ::testing::TestParamInfo<DateCase>& row) {
                             return std::string(row.param.name);
                         });

TEST_F(FindDialogTest, AClosedSourceTakesItsRowsAlong) {
    const std::string base = make_pair();
    start_window();
    open_pair(base);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);
    ASSERT_FALSE(shown(find).empty());

    click(static_cast<int>(CommandId::CloseSourceButton));
    ASSERT_TRUE(wait_status(QStringLiteral("ready..")));
    EXPECT_TRUE(shown(find).empty());
    EXPECT_EQ(find->timeline()->mark_count(), 0);
    EXPECT_FALSE(find->timeline()->span().has_value());

    // Another recording opens: nothing of the old list can seek into it.
    const Recording other = make_recording(dir_, "other", 1, 10);
    window_->open_path(QString::fromStdString(other.dvr));
    find->activate_row(0);
    EXPECT_EQ(window_->session().pending_seek(), std::nullopt);
}

// ---- a recorder's disk --------------------------------------------------------------------

// Forty seconds, a time unit every 2 s, an event every 3 s (types 1..15 in turn).
const std::vector<std::string> kEventfulDisk = {"--seconds",     "40", "--unit-every", "2",
                                                "--event-every", "3"};

TEST_F(FindDialogTest, TheEventViewOfADiskListsTheTruthsEvents) {
    const Image image = make_image(kEventfulDisk);
    const uint32_t last_event = image.truth.at("event_header").at("last").get<uint32_t>();
    std::vector<Unit> expected;
    for (const Unit& unit : image.units("event_units")) {
        const uint32_t time_unit = unit.tag & ff::kTimeUnitMask;
        if (time_unit >= image.time_first() && time_unit <= image.time_last())
            expected.push_back(unit);
        if (unit.n == last_event) break;
    }
    ASSERT_GE(expected.size(), 10u);
    start_window();
    open_image(image);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);

    click_in(find, 11001);
    ASSERT_TRUE(wait_idle(find));
    EXPECT_EQ(shown(find), unit_rows(expected, window_->event_type_names()));
    EXPECT_EQ(find->timeline()->mark_count(), static_cast<int>(expected.size()));
    fleet_test::grab_screenshot(*find, QStringLiteral("find_event_view"));
    fleet_test::grab_screenshot(*find->timeline(), QStringLiteral("find_timeline_events"));
}

TEST_F(FindDialogTest, TheSpeedSearchOfADiskMatchesTheTruthInBothUnits) {
    const Image image = make_image(kEventfulDisk);
    std::map<uint32_t, int> speeds;  // by time unit
    for (const Unit& unit : image.units("time_units")) {
        const ff::QuickRecord record = image.quick_record(unit.n);
        ASSERT_EQ(fleet::load_u32(record.data()), unit.n);
        speeds[unit.n] = fleet::load_u16(record.data() + 4);
    }
    std::vector<int> sorted;
    for (const auto& [n, speed] : speeds) sorted.push_back(speed);
    std::sort(sorted.begin(), sorted.end());
    ASSERT_LT(sorted.front(), sorted.back()) << "a search needs speeds that differ";
    const auto over = [&](int threshold) {
        std::vector<std::string> tindexes;
        for (const auto& [n, speed] : speeds)
            if (speed > threshold) tindexes.push_back(std::to_string(n));
        return tindexes;
    };
    const auto column = [&](FindDialog* find, int c) {
        std::vector<std::string> texts;
        for (const auto& row : shown(find)) texts.push_back(row[static_cast<size_t>(c)]);
        return texts;
    };
    start_window();
    open_image(image);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);
    click_in(find, 11002);
    EXPECT_EQ(control<QLabel>(find, 11008)->text(), QStringLiteral("(km/h)"));

    const int median = sorted[sorted.size() / 2];
    search(find, 11007, 11009, QString::number(median));
    const std::vector<std::string> kmh = over(median);
    ASSERT_FALSE(kmh.empty());
    EXPECT_EQ(column(find, 0), kmh);
    for (const auto& row : shown(find))
        EXPECT_EQ(row[2], std::to_string(speeds.at(static_cast<uint32_t>(std::stoul(row[0])))));
    EXPECT_EQ(find->timeline()->mark_count(), static_cast<int>(kmh.size()));
    fleet_test::grab_screenshot(*find, QStringLiteral("find_quick_view"));

    // Miles: the next show copies the unit, and the same number now means mile/h.
    window_->run_command(CommandId::SpeedMile);
    find->hide();
    click(static_cast<int>(CommandId::FindPlayButton));
    ASSERT_TRUE(wait_idle(find));
    EXPECT_EQ(find->view(), FindDialog::View::Quick);
    EXPECT_EQ(control<QLabel>(find, 11008)->text(), QStringLiteral("(mile/h)"));
    EXPECT_EQ(headers(find)[2], QStringLiteral("speed(mile/h)"));
    EXPECT_EQ(control<QLineEdit>(find, 11007)->text(), QString::number(median));
    const int miles = median * 5 / 8;  // some records lie above it in km/h
    const std::vector<std::string> mph = over(static_cast<int>(miles * 1.608 + 0.5));
    ASSERT_FALSE(mph.empty());
    search(find, 11007, 11009, QString::number(miles));
    EXPECT_EQ(column(find, 0), mph);
    for (const auto& row : shown(find)) {
        const int kmh_value = speeds.at(static_cast<uint32_t>(std::stoul(row[0])));
        EXPECT_EQ(row[2], std::to_string(static_cast<int>(kmh_value * 0.622 + 0.5)));
    }
}

// dvrtool find is the dialog on the command line: the same rows, text for text, for the same
// view or search, in either unit system.
TEST_F(FindDialogTest, DvrtoolFindGivesTheDialogsRows) {
    const Image image = make_image(kEventfulDisk);
    start_window();
    open_image(image);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);
    const Rows time_rows = shown(find);
    ASSERT_FALSE(time_rows.empty());
    EXPECT_EQ(time_rows, dvrtool_rows(image, {"--view", "time"}));

    click_in(find, 11001);
    ASSERT_TRUE(wait_idle(find));
    ASSERT_FALSE(shown(find).empty());
    EXPECT_EQ(shown(find), dvrtool_rows(image, {"--view", "event"}));

    click_in(find, 11002);
    ASSERT_TRUE(wait_idle(find));
    search(find, 11020, 11022, QStringLiteral("30"));
    ASSERT_FALSE(shown(find).empty());
    EXPECT_EQ(shown(find),
              dvrtool_rows(image, {"--view", "quick", "--tyre-temperature-over", "30"}));

    window_->run_command(CommandId::SpeedMile);
    window_->run_command(CommandId::Fahrenheit);
    find->hide();
    click(static_cast<int>(CommandId::FindPlayButton));
    ASSERT_TRUE(wait_idle(find));
    search(find, 11007, 11009, QStringLiteral("20"));
    ASSERT_FALSE(shown(find).empty());
    EXPECT_EQ(shown(find),
              dvrtool_rows(image, {"--view", "quick", "--speed-over", "20", "--imperial"}));
}

// A double click on a quick row seeks to its time unit's offset, as the map's search link does.
TEST_F(FindDialogTest, AQuickRowLandsWhereTheMapsSearchLinkLands) {
    const Image image = make_image(kEventfulDisk);
    std::map<uint32_t, int64_t> offsets;
    for (const Unit& unit : image.units("time_units")) offsets[unit.n] = unit.offset;
    start_window();
    open_image(image);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);
    click_in(find, 11002);
    search(find, 11007, 11009, QStringLiteral("0"));
    const Rows rows = shown(find);
    ASSERT_GE(rows.size(), 8u);
    const size_t picked = rows.size() * 3 / 4;
    const auto tindex = static_cast<uint32_t>(std::stoul(rows[picked][0]));
    const int64_t offset = offsets.at(tindex);
    ASSERT_GT(offset, 0);

    double_click_row(find, static_cast<int>(picked));
    EXPECT_FALSE(find->isVisible());
    EXPECT_EQ(window_->session().pending_seek(), offset);
    EXPECT_TRUE(wait_until([&] { return engine_.engine().zTellp() >= offset; }, 10000))
        << engine_.engine().zTellp() << " < " << offset;
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));

    // Stopped again, the map's link to the same record (its number is the unit's) goes there.
    click(static_cast<int>(CommandId::Stop));
    ASSERT_TRUE(wait_status(QStringLiteral("opened..")));
    emit window_->findChild<MapView*>(QStringLiteral("10002"))->quick_record_requested(tindex);
    EXPECT_EQ(window_->session().pending_seek(), offset);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    EXPECT_TRUE(wait_until([&] { return engine_.engine().zTellp() >= offset; }, 10000));
}

// A click on the strip at a row's mark seeks to the row and leaves the dialog open.
TEST_F(FindDialogTest, TheStripSeeksToTheRowUnderAClick) {
    const Image image = make_image(kEventfulDisk);
    start_window();
    open_image(image);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);
    click_in(find, 11001);
    ASSERT_TRUE(wait_idle(find));
    const Rows rows = shown(find);
    ASSERT_GE(rows.size(), 4u);
    const int picked = static_cast<int>(rows.size()) / 2;
    QDateTime shown_time =
        QDateTime::fromString(QString::fromStdString(rows[static_cast<size_t>(picked)][0]),
                              QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    shown_time.setTimeSpec(Qt::UTC);
    ASSERT_TRUE(shown_time.isValid());
    const auto time = static_cast<uint32_t>(shown_time.toSecsSinceEpoch());

    FindTimeline* strip = find->timeline();
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->x_of(time), strip->height() / 2));
    EXPECT_TRUE(find->isVisible());
    EXPECT_EQ(find->list()->currentIndex().row(), picked);
    const int64_t offset = std::stoll(rows[static_cast<size_t>(picked)][1]);
    EXPECT_EQ(window_->session().pending_seek(), offset);
    ASSERT_TRUE(wait_status(QStringLiteral("playing..")));
    EXPECT_TRUE(wait_until([&] { return engine_.engine().zTellp() >= offset; }, 10000));
}

// The strip alone: a click within reach of a mark picks its row, elsewhere the moment there.
TEST(FindTimelineTest, AClickPicksTheNearbyRowOrTheMomentUnderIt) {
    FindTimeline strip;
    strip.resize(1008, strip.sizeHint().height());
    QSignalSpy rows(&strip, &FindTimeline::row_clicked);
    QSignalSpy times(&strip, &FindTimeline::time_clicked);
    const auto click_at = [&](int x) {
        QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(x, strip.height() / 2));
    };
    FoundRow early;
    early.time = 1250;
    FoundRow late;
    late.time = 1750;
    late.event_type = 3;
    strip.add_rows({early, late});
    click_at(500);
    EXPECT_TRUE(rows.isEmpty() && times.isEmpty()) << "no recording, no clicks";

    strip.set_span(RecordingSpan{1000, 2000});
    EXPECT_EQ(strip.mark_count(), 2);
    click_at(strip.x_of(1750) + 3);
    click_at(strip.x_of(1250) - 2);
    click_at(strip.x_of(1500));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0][0].toInt(), 1);
    EXPECT_EQ(rows[1][0].toInt(), 0);
    ASSERT_EQ(times.size(), 1);
    EXPECT_NEAR(times[0][0].toDouble(), 1500, 1);
    const QImage shot = fleet_test::grab_screenshot(strip, QStringLiteral("find_timeline_alone"));
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kGy));      // the event's mark
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kAccent));  // the plain row's
}

// ---- a long index -------------------------------------------------------------------------

// A million time units: the list loads long enough to try changing the view meanwhile.
TEST_F(FindDialogTest, AViewChangeWhileTheListLoadsIsRefused) {
    const Image image = make_image({"--size", "1T", "--sparse-units", "1000000"});
    start_window();
    open_image(image);
    click(static_cast<int>(CommandId::FindPlayButton));
    auto* find = window_->findChild<FindDialog*>(QStringLiteral("find_dialog"));
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(find->loading());
    EXPECT_EQ(control<QLabel>(find, 11003)->text(), QStringLiteral("loading data,please wait..."));

    click_in(find, 11001);
    EXPECT_EQ(find->view(), FindDialog::View::Time);
    EXPECT_EQ(boxes(find), (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(find->loading());
    auto* progress = find->findChild<QProgressBar*>(QStringLiteral("find_progress"));
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    // Half-way, for the picture (a fast machine may be done by then).
    wait_until([&] { return progress->value() >= 500 || !find->busy(); }, 30000);
    fleet_test::grab_screenshot(*find, QStringLiteral("find_time_view_loading"));

    ASSERT_TRUE(wait_idle(find));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(control<QLabel>(find, 11003)->text(), QString());
    EXPECT_GT(find->list()->model()->rowCount(), 1000);
    // Loaded, the view changes.
    click_in(find, 11001);
    EXPECT_EQ(find->view(), FindDialog::View::Event);
    EXPECT_EQ(boxes(find), (std::vector<bool>{false, true, false}));
    // Closing the source while the event list loads stops it and empties it.
    ASSERT_TRUE(find->loading());
    click(static_cast<int>(CommandId::CloseSourceButton));
    ASSERT_TRUE(wait_status(QStringLiteral("ready..")));
    EXPECT_FALSE(find->busy());
    EXPECT_EQ(find->list()->model()->rowCount(), 0);
}

// ---- every quick search on a wrapped card, in both unit systems ---------------------------

struct QuickSearchControls {
    const char* option;  // dvrtool find's
    std::vector<int> edits;
    int button;
};

const QuickSearchControls kQuickSearches[] = {
    {"--speed-over", {11007}, 11009},
    {"--g-over", {11011}, 11013},
    {"--temperature-over", {11015}, 11017},
    {"--tyre-temperature-over", {11020}, 11022},
    {"--pressure-over", {11024}, 11026},
    {"--pressure-under", {11028}, 11030},
    {"--position", {11033, 11035, 11037, 11039}, 11040},
};

double median_of(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Values for each search that split the records, from all of them as dvrtool reads them
// (already in the chosen unit system): the median of what the search looks at.
std::map<std::string, std::vector<std::string>> splitting_values(const std::vector<json>& all) {
    std::vector<double> speed, g, temperature, tyre, most, least, lon, lat;
    for (const json& r : all) {
        speed.push_back(r["speed"]);
        double axis = 0;
        for (double a : r["g"]) axis = std::max(axis, std::abs(a));
        g.push_back(axis);
        temperature.push_back(r["temperature"]);
        double high = 0, low = 255;
        for (const json& t : r["tyres"]) {
            if (!t["temperature"].is_null()) tyre.push_back(t["temperature"]);
            high = std::max<double>(high, t["pressure"]);
            low = std::min<double>(low, t["pressure"]);
        }
        most.push_back(high);
        least.push_back(low);
        if (r["position"].is_object()) {
            lon.push_back(r["position"]["longitude"]);
            lat.push_back(r["position"]["latitude"]);
        }
    }
    const auto text = [](double v) { return QString::number(v, 'f', 2).toStdString(); };
    const auto whole = [](double v) { return std::to_string(std::lround(v)); };
    // A box around the middle position, a quarter of the track's width either way.
    const auto [lon_low, lon_high] = std::minmax_element(lon.begin(), lon.end());
    const auto [lat_low, lat_high] = std::minmax_element(lat.begin(), lat.end());
    return {
        {"--speed-over", {whole(median_of(speed))}},
        {"--g-over", {text(std::clamp(median_of(g), 0.1, 2.0))}},
        {"--temperature-over", {whole(median_of(temperature) - 1)}},
        {"--tyre-temperature-over", {whole(median_of(tyre))}},
        {"--pressure-over", {whole(median_of(most))}},
        {"--pressure-under", {whole(median_of(least))}},
        {"--position",
         {QString::number(median_of(lon), 'f', 6).toStdString(),
          QString::number((*lon_high - *lon_low) / 4, 'f', 6).toStdString(),
          QString::number(median_of(lat), 'f', 6).toStdString(),
          QString::number(*lat_high - *lat_low, 'f', 6).toStdString()}},
    };
}

struct CardCase {
    const char* name;
    std::vector<std::string> options;
    bool every_search_splits;  // false: records claiming more tyres than they hold read zeros
};

void PrintTo(const CardCase& c, std::ostream* out) {
    *out << c.name;
}

class FindDialogCards : public FindDialogTest, public testing::WithParamInterface<CardCase> {};

// The dialog's event rows and its rows for each search equal dvrtool find's, which its own
// tests hold against the card's truth: over a ring that has wrapped across unit 0xFFFFF, with
// tyre sensor errors, and with records whose tyre count claims more than the 34 they have
// room for.
TEST_P(FindDialogCards, EverySearchGivesDvrtoolsRowsInBothUnitSystems) {
    const Image image = make_image(GetParam().options, "card");
    start_window();
    open_image(image);
    FindDialog* find = open_find();
    ASSERT_NE(find, nullptr);
    // The events too: type 15 has no name and shows its number.
    click_in(find, 11001);
    ASSERT_TRUE(wait_idle(find));
    const Rows events = shown(find);
    EXPECT_EQ(events, dvrtool_rows(image, {"--view", "event"}));
    if (GetParam().every_search_splits) {
        EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                                [](const auto& row) { return row.back() == "15"; }));
    }
    for (const bool imperial : {false, true}) {
        if (imperial) {
            window_->run_command(CommandId::SpeedMile);
            window_->run_command(CommandId::Fahrenheit);
            find->hide();
            click(static_cast<int>(CommandId::FindPlayButton));
            ASSERT_TRUE(wait_idle(find));
        }
        std::vector<std::string> all_options = {"--view", "quick", "--speed-over", "-1", "--json"};
        if (imperial) all_options.push_back("--imperial");
        std::vector<json> all;
        for (const auto& row : dvrtool_rows(image, all_options)) all.push_back(json::parse(row[0]));
        ASSERT_GT(all.size(), 20u);
        const auto values = splitting_values(all);
        click_in(find, 11002);
        for (const QuickSearchControls& s : kQuickSearches) {
            const std::vector<std::string>& value = values.at(s.option);
            SCOPED_TRACE(std::string(imperial ? "imperial " : "metric ") + s.option + " " +
                         value[0]);
            for (size_t i = 0; i < s.edits.size(); ++i)
                control<QLineEdit>(find, s.edits[i])->setText(QString::fromStdString(value[i]));
            click_in(find, s.button);
            ASSERT_TRUE(wait_idle(find));
            std::string joined = value[0];
            for (size_t i = 1; i < value.size(); ++i) joined += "," + value[i];
            std::vector<std::string> options = {"--view", "quick", s.option, joined};
            if (imperial) options.push_back("--imperial");
            EXPECT_EQ(shown(find), dvrtool_rows(image, options));
            if (GetParam().every_search_splits) {
                EXPECT_GT(shown(find).size(), 0u);
                EXPECT_LT(shown(find).size(), all.size());
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cards, FindDialogCards,
    testing::Values(CardCase{"wrapped",
                             {"--ring-size", "1100K", "--seconds", "150", "--unit-every", "2",
                              "--event-every", "3", "--first-unit", "0xFFFC3"},
                             true},
                    CardCase{"tyre_count_over_room",
                             {"--ring-size", "1100K", "--seconds", "100", "--unit-every", "2",
                              "--first-unit", "0xFFFD0", "--quick-tyre-count", "200"},
                             false}),
    [](const auto& card) { return std::string(card.param.name); });

}  // namespace
}  // namespace velmora::test
