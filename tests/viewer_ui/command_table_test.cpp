// The main window's command table: one row per command, each with what its menu item, button or
// key needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "lang/language_table.h"
#include "ui/main_window.h"

namespace velmora {
namespace {

bool has_text(const LanguageTable& texts, const char* key) {
    return key != nullptr && !texts.text(key).empty();
}

TEST(CommandTable, EveryRowIsOneCommandWithWhatItsPlaceNeeds) {
    const LanguageTable english;
    std::set<CommandId> ids;
    for (const Command& command : MainWindow::command_table()) {
        const int id = static_cast<int>(command.id);
        SCOPED_TRACE(id);
        EXPECT_TRUE(ids.insert(command.id).second) << "listed twice";
        const bool in_menu = command.menu != MenuId::None;
        const bool is_button = command.button.bar != ButtonBar::None;
        const bool is_key = command.key != 0;
        EXPECT_LE(int{in_menu} + int{is_button} + int{is_key}, 1);
        if (in_menu) {
            EXPECT_TRUE(has_text(english, command.text_key) || command.label != nullptr);
        }
        if (is_button) {
            EXPECT_TRUE(has_text(english, command.text_key)) << "a button needs its tooltip";
            EXPECT_NE(command.button.artwork, 0);
            EXPECT_GE(command.button.slot, 0);
        }
        if (is_key || in_menu) {
            EXPECT_NE(command.handler, nullptr);
        }
    }
}

TEST(CommandTable, MenusHangFromMenusOfThePlanAndHaveTheirTitles) {
    const LanguageTable english;
    const auto plan = MainWindow::menu_plan();
    const auto planned = [&](MenuId id) {
        return std::any_of(plan.begin(), plan.end(),
                           [id](const MenuPlan& m) { return m.id == id; });
    };
    for (const MenuPlan& menu : plan) {
        if (menu.id == MenuId::Picture) continue;  // a pop-up without a title
        EXPECT_TRUE(has_text(english, menu.title_key)) << static_cast<int>(menu.id);
        if (menu.parent != MenuId::None) {
            EXPECT_TRUE(planned(menu.parent));
        }
    }
    for (const Command& command : MainWindow::command_table()) {
        if (command.menu != MenuId::None) {
            EXPECT_TRUE(planned(command.menu));
        }
    }
}

}  // namespace
}  // namespace velmora
