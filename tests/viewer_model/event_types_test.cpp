// Event type names follow the loaded language; type 4 has none.
#include "model/event_types.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_folder.h"

namespace velmora::test {
namespace {

TEST(EventTypeNamesTest, EnglishByDefaultAndTheLanguageFileWhenLoaded) {
    TempFolder folder;
    std::filesystem::create_directories(folder.path() / "config/lang");
    std::ofstream(folder.path() / "config/lang/de.lang") << "IDS_STRING464=G-SENSOR-ALARM\n";
    LanguageTable texts(folder.path().string());

    EventTypeNames names = event_type_names(texts);
    EXPECT_EQ(names[0], "NO EVENT");
    EXPECT_EQ(names[4], "");
    EXPECT_EQ(names[5], "VLOSS");
    EXPECT_EQ(names[13], "G-SENSOR");
    EXPECT_EQ(names[14], "OVER HEAT");

    ASSERT_TRUE(texts.load("de.lang"));
    names = event_type_names(texts);
    EXPECT_EQ(names[13], "G-SENSOR-ALARM");
    EXPECT_EQ(names[12], "TPMS");  // not in the file: English
}

}  // namespace
}  // namespace velmora::test
