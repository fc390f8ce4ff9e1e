#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QObject>
#include <QTest>
#include <QTimer>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lang/language_table.h"
#include "model/car_list_rules.h"
#include "process.h"
#include "qt_test_app.h"
#include "skin/skin_static.h"
#include "skin/theme.h"
#include "ui/car_info_panel.h"
#include "ui/car_list_box.h"

namespace velmora {
namespace {

using Address = std::array<uint8_t, 6>;
constexpr Address kAddrA{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr Address kAddrB{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F};

std::unique_ptr<VehicleRecord> vehicle(const char16_t* name, const Address& address, int state,
                                       int last_event = 0) {
    auto r = std::make_unique<VehicleRecord>();
    r->name = name;
    r->address = address;
    r->state = state;
    r->last_event = last_event;
    r->ipv4 = {192, 168, 1, 20};
    return r;
}

// Records the selections the list reports.
struct SelectionRecorder {
    explicit SelectionRecorder(CarListBox& list) {
        QObject::connect(&list, &CarListBox::selection_changed,
                         [this](VehicleRecord* record) { selections.push_back(record); });
    }
    std::vector<VehicleRecord*> selections;
};

TEST(CarListBox, FindUsesThePrefixRuleAndTheWholeAddress) {
    CarListBox list;
    list.add(vehicle(u"TRUCK-01", kAddrA, 1));
    list.add(vehicle(u"TRUCK-01", kAddrB, 1));
    list.add(vehicle(u"\u8F66\u961F-9", kAddrA, 1));  // Chinese name
    struct Case {
        const char* name;
        const Address* address;
        std::u16string expected_name;
        const Address* expected_address;
    };
    const Case cases[] = {
        {"TRUCK-01", &kAddrA, u"TRUCK-01", &kAddrA},
        {"TRUCK-01", &kAddrB, u"TRUCK-01", &kAddrB},
        {"TRUCK", &kAddrB, u"TRUCK-01", &kAddrB},
        {"TRUCK-01-EXTRA", &kAddrA, u"TRUCK-01", &kAddrA},
        {"\xE8\xBD\xA6\xE9\x98\x9F-9", &kAddrA, u"\u8F66\u961F-9", &kAddrA},
        {"\xE8\xBD\xA6", &kAddrA, u"\u8F66\u961F-9", &kAddrA},
        {"TRUCK-02", &kAddrA, u"", nullptr},
        {"", &kAddrA, u"", nullptr},
        {"TRUCK-01", nullptr, u"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int index = list.find(c.name, c.address ? c.address->data() : nullptr);
        if (c.expected_address == nullptr) {
            EXPECT_EQ(index, -1);
            continue;
        }
        ASSERT_GE(index, 0);
        EXPECT_EQ(list.record_at(index)->name, c.expected_name);
        EXPECT_EQ(list.record_at(index)->address, *c.expected_address);
    }
}

TEST(CarListBox, OnlineVehiclesSortBeforeOfflineOnesEachByNameAndAddress) {
    CarListBox list;
    list.add(vehicle(u"Alpha", kAddrA, 0));
    list.add(vehicle(u"Zulu", kAddrA, 1));
    list.add(vehicle(u"Bravo", kAddrB, 3));
    list.add(vehicle(u"Able", kAddrA, 0));
    list.add(vehicle(u"Bravo", kAddrA, 2));
    std::vector<std::pair<std::u16string, uint8_t>> order;
    for (int i = 0; i < list.count(); ++i) {
        order.emplace_back(list.record_at(i)->name, list.record_at(i)->address[5]);
    }
    const std::vector<std::pair<std::u16string, uint8_t>> expected = {
        {u"Bravo", 0x5E}, {u"Bravo", 0x5F}, {u"Zulu", 0x5E}, {u"Able", 0x5E}, {u"Alpha", 0x5E}};
    EXPECT_EQ(order, expected);
    ASSERT_EQ(list.QListWidget::count(), list.count());
}

TEST(CarListBox, MarkConnectedFollowsTheStateRules) {
    struct Case {
        const char* what;
        int state;
        int last_event;
        bool on;
        int expected_state;
        int expected_type;  // stored connection type afterwards (starts at 1)
    };
    const Case cases[] = {
        {"online marked on", 1, 0, true, 2, 4},
        {"event marked on", 3, 5, true, 2, 4},
        {"connected marked on again", 2, 0, true, 2, 4},
        {"offline stays offline", 0, 0, true, 0, 1},
        {"connected off, no event", 2, 0, false, 1, 1},
        {"connected off, with event", 2, 7, false, 3, 1},
        {"online off stays online", 1, 0, false, 1, 1},
        {"event off stays red", 3, 2, false, 3, 1},
        {"offline off stays offline", 0, 0, false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CarListBox list;
        auto r = vehicle(u"TARGET", kAddrA, c.state, c.last_event);
        r->connection_type = 1;
        list.add(std::move(r));
        list.mark_connected("TARGET", kAddrA.data(), c.on, 4);
        const VehicleRecord* got = list.record_at(list.find("TARGET", kAddrA.data()));
        EXPECT_EQ(got->state, c.expected_state);
        EXPECT_EQ(got->connection_type, c.expected_type);
    }
}

TEST(CarListBox, MarkingOneVehicleReturnsEveryOtherConnectedOneToOnline) {
    CarListBox list;
    list.add(vehicle(u"ONE", kAddrA, 2, 0));
    list.add(vehicle(u"TWO", kAddrA, 2, 9));  // connected with an event still goes to 1
    list.add(vehicle(u"THREE", kAddrA, 3, 4));
    list.add(vehicle(u"FOUR", kAddrA, 1));
    list.mark_connected("FOUR", kAddrA.data(), true, 3);
    auto state_of = [&](const char* name) {
        return list.record_at(list.find(name, kAddrA.data()))->state;
    };
    EXPECT_EQ(state_of("ONE"), 1);
    EXPECT_EQ(state_of("TWO"), 1);
    EXPECT_EQ(state_of("THREE"), 3);
    EXPECT_EQ(state_of("FOUR"), 2);
    // A name that is not listed still resets the connected one.
    list.mark_connected("NOBODY", kAddrA.data(), true, 0);
    EXPECT_EQ(state_of("FOUR"), 1);
}

TEST(CarListBox, RemoveDeletesTheFoundEntryOnlyAndReportsIt) {
    CarListBox list;
    std::vector<std::pair<std::u16string, Address>> reported;
    QObject::connect(&list, &CarListBox::removed, [&](const VehicleRecord& record) {
        reported.emplace_back(record.name, record.address);
    });
    list.add(vehicle(u"KEEP", kAddrA, 1));
    list.add(vehicle(u"DROP", kAddrA, 1));
    list.add(vehicle(u"DROP", kAddrB, 0));
    const Address other_address{};
    EXPECT_FALSE(list.remove("DROP", other_address.data()));
    EXPECT_TRUE(reported.empty());
    EXPECT_TRUE(list.remove("DROP", kAddrA.data()));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_TRUE(reported[0].first == u"DROP");
    EXPECT_EQ(reported[0].second, kAddrA);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.QListWidget::count(), 2);
    EXPECT_EQ(list.find("DROP", kAddrA.data()), -1);
    EXPECT_GE(list.find("DROP", kAddrB.data()), 0);
    EXPECT_GE(list.find("KEEP", kAddrA.data()), 0);
    EXPECT_FALSE(list.remove("GHOST", kAddrA.data()));
    EXPECT_EQ(reported.size(), 1u);
}

TEST(CarListBox, SelectionChangesAreReportedWithTheRecord) {
    CarListBox list;
    SelectionRecorder recorder(list);
    list.add(vehicle(u"ONE", kAddrA, 1));
    list.add(vehicle(u"TWO", kAddrA, 1));
    EXPECT_EQ(list.selected_index(), -1);
    list.setCurrentRow(1);
    EXPECT_EQ(list.selected_index(), 1);
    ASSERT_EQ(recorder.selections.size(), 1u);
    EXPECT_EQ(recorder.selections[0], list.record_at(1));

    // Removing the selected vehicle reports that nothing is selected any more.
    EXPECT_TRUE(list.remove("TWO", kAddrA.data()));
    ASSERT_EQ(recorder.selections.size(), 2u);
    EXPECT_EQ(recorder.selections[1], nullptr);
    EXPECT_EQ(list.selected_index(), -1);

    list.setCurrentRow(0);
    list.clear_selection_index();
    EXPECT_EQ(list.selected_index(), -1);
    EXPECT_TRUE(list.selectedItems().isEmpty());
}

// Right-clicks the list's viewport at a point; while a menu is open, `in_menu` gets it. True when
// a menu opened.
template <class InMenu>
bool right_click(CarListBox& list, QPoint at, InMenu in_menu) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        opened = true;
        in_menu(*menu);
        if (menu->isVisible()) menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.viewport(), &event);
    fleet_test::process_events_for(20);  // the check above runs even when no menu opened
    return opened;
}

void no_choice(QMenu&) {}

class ShownList : public ::testing::Test {
  protected:
    explicit ShownList(const LanguageTable* texts = nullptr) : list_(texts) {
        list_.resize(160, 300);
        list_.show();
    }
    CarListBox list_;
};

// The last entry reaches down to the bottom of the list: a click below it is a click on it.
TEST_F(ShownList, RightClickBelowTheLastVehicleSelectsItAndOpensItsMenu) {
    list_.add(vehicle(u"ONE", kAddrA, 1));
    list_.add(vehicle(u"TWO", kAddrA, 1));
    ASSERT_LT(2 * CarListBox::kItemHeight, 250);
    EXPECT_TRUE(right_click(list_, QPoint(20, 250), no_choice));
    EXPECT_EQ(list_.selected_index(), 1);
}

TEST_F(ShownList, RightClickWithNoVehicleOffersOnlyAddingARecorder) {
    int requests = 0;
    QObject::connect(&list_, &CarListBox::add_recorder_requested, [&] { ++requests; });
    QStringList shown;
    EXPECT_TRUE(right_click(list_, QPoint(20, 20), [&](QMenu& menu) {
        for (const QAction* action : menu.actions()) shown << action->text();
        menu.setActiveAction(menu.actions().at(0));
        QTest::keyClick(&menu, Qt::Key_Return);
    }));
    EXPECT_EQ(shown, QStringList{"Add recorder..."});
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(list_.selected_index(), -1);
}

TEST_F(ShownList, AVehiclesMenuOffersAddingARecorderLast) {
    list_.add(vehicle(u"ONE", kAddrA, 1));
    int requests = 0;
    QObject::connect(&list_, &CarListBox::add_recorder_requested, [&] { ++requests; });
    std::vector<VehicleCommand> chosen;
    QObject::connect(&list_, &CarListBox::command_chosen,
                     [&](VehicleCommand command, VehicleRecord*) { chosen.push_back(command); });
    EXPECT_TRUE(right_click(list_, QPoint(20, 20), [](QMenu& menu) {
        menu.setActiveAction(menu.actions().back());
        QTest::keyClick(&menu, Qt::Key_Return);
    }));
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(chosen.empty());
}

TEST_F(ShownList, TheChosenMenuCommandIsReportedWithTheRecord) {
    list_.add(vehicle(u"ONE", kAddrA, 1));
    std::vector<std::pair<VehicleCommand, VehicleRecord*>> chosen;
    QObject::connect(&list_, &CarListBox::command_chosen,
                     [&](VehicleCommand command, VehicleRecord* record) {
                         chosen.emplace_back(command, record);
                     });
    EXPECT_TRUE(right_click(list_, QPoint(20, 20), [](QMenu& menu) {
        menu.setActiveAction(menu.actions().at(1));
        QTest::keyClick(&menu, Qt::Key_Return);
    }));
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].first, VehicleCommand::RecordedPlay);
    EXPECT_EQ(chosen[0].second, list_.record_at(0));
}

// A language file may set a text to nothing; the menu then shows nothing, not the English text.
TEST(CarListBox, AnEmptyLanguageTextStaysEmptyInTheMenu) {
    fleet::test::TempDir dir;
    std::filesystem::create_directories(dir.file("config/lang"));
    std::ofstream(dir.file("config/lang/blank.lang")) << "Language=Blank\nID_CARMENU_PLAY_RT=\n";
    LanguageTable texts(dir.path());
    ASSERT_TRUE(texts.load("blank.lang"));
    CarListBox list(&texts);
    list.resize(160, 300);
    list.show();
    list.add(vehicle(u"ONE", kAddrA, 1));
    std::vector<std::string> shown;
    EXPECT_TRUE(right_click(list, QPoint(20, 20), [&](QMenu& menu) {
        for (const QAction* action : menu.actions()) shown.push_back(action->text().toStdString());
    }));
    EXPECT_EQ(shown, (std::vector<std::string>{"", "Net Recorded Play", "Uploaded File",
                                               "Delete from List", "", "Add recorder..."}));
}

TEST(CarListBox, SelectionIndexFollowsInsertionsAbove) {
    CarListBox list;
    list.add(vehicle(u"M", kAddrA, 1));
    list.setCurrentRow(0);
    list.add(vehicle(u"A", kAddrA, 1));  // sorts above the selected entry
    EXPECT_EQ(list.selected_index(), 1);
    EXPECT_EQ(list.record_at(list.selected_index())->name, u"M");
}

TEST(CarInfoPanel, TitleBarIsTwentyPixelsAndTheListStartsAtRow21) {
    CarInfoPanel panel;
    panel.show();  // a hidden widget gets its resize events only when shown
    for (const QSize size : {QSize(220, 400), QSize(150, 90), QSize(300, 22)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        panel.resize(size);
        EXPECT_EQ(panel.title_bar()->geometry(), QRect(0, 0, size.width(), 20));
        const QRect list = panel.list()->geometry();
        EXPECT_EQ(list.top(), 21);
        EXPECT_EQ(list.left(), 0);
        EXPECT_EQ(list.width(), size.width());
        EXPECT_EQ(list.height(), std::max(0, size.height() - 21));
    }
}

TEST(CarInfoPanel, MarkVehicleAndCountGoThroughTheList) {
    CarInfoPanel panel;
    EXPECT_EQ(panel.vehicle_count(), 0);
    panel.list()->add(vehicle(u"BUS", kAddrA, 1));
    panel.list()->add(vehicle(u"VAN", kAddrA, 0));
    EXPECT_EQ(panel.vehicle_count(), 2);
    panel.mark_vehicle(3, true, "BUS", kAddrA.data());
    const VehicleRecord* bus = panel.list()->record_at(panel.list()->find("BUS", kAddrA.data()));
    EXPECT_EQ(bus->state, 2);
    EXPECT_EQ(bus->connection_type, 3);
    panel.mark_vehicle(3, false, "BUS", kAddrA.data());
    EXPECT_EQ(bus->state, 1);
    panel.list()->setCurrentRow(0);
    panel.clear_selection();
    EXPECT_EQ(panel.list()->selected_index(), -1);
}

TEST(CarInfoPanel, Screenshot) {
    CarInfoPanel panel;
    auto connected = vehicle(u"BUS-0417", kAddrA, 2, 1);
    connected->connection_type = 0;
    connected->open_links = 1;
    connected->ipv4 = {10, 20, 30, 41};
    auto alarm = vehicle(u"TRUCK-22", kAddrB, 3, 3);
    alarm->open_links = 2;
    alarm->capability = 0x01;
    alarm->ipv4 = {172, 16, 8, 2};
    auto online = vehicle(u"VAN-08", kAddrB, 1, 0);
    online->ipv4 = {192, 168, 5, 77};
    auto offline = vehicle(u"COACH-3", kAddrA, 0);
    offline->ipv4 = {192, 168, 5, 90};
    panel.list()->add(std::move(connected));
    panel.list()->add(std::move(alarm));
    panel.list()->add(std::move(online));
    panel.list()->add(std::move(offline));
    panel.resize(220, 360);
    panel.show();
    panel.list()->setCurrentRow(1);
    fleet_test::process_events_for(50);
    const QImage shot = fleet_test::grab_screenshot(panel, QStringLiteral("car_info_panel"));
    ASSERT_FALSE(shot.isNull());
    // The accent title bar (inside its border lines), the selection colour, red vehicle texts,
    // and one truck per state.
    EXPECT_TRUE(fleet_test::is_uniform(shot, QRect(1, 0, shot.width() - 2, 20)));
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kAccent, QRect(0, 0, shot.width(), 20)));
    const QRect list = fleet_test::region_of(*panel.list()->viewport(), panel);
    EXPECT_TRUE(fleet_test::shows_colour(shot, theme::kSelection, list, 2));
    EXPECT_TRUE(fleet_test::shows_colour(shot, QColor(255, 0, 0), list, 30));
    std::vector<QImage> icons;
    for (int row = 0; row < 4; ++row) {
        const QRect icon(list.topLeft() + QPoint(0, row * CarListBox::kItemHeight),
                         QSize(CarListBox::kIconSize, CarListBox::kIconSize));
        icons.push_back(shot.copy(icon));
        EXPECT_FALSE(fleet_test::is_uniform(icons.back())) << row;
        for (int other = 0; other < row; ++other) EXPECT_NE(icons[other], icons.back()) << row;
    }
}

}  // namespace
}  // namespace velmora
