// Recorders added by hand: what the dialog accepts, the address text the engine connects to,
// the vehicle record made of one, and the configuration that keeps them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "model/live_params_form.h"
#include "model/manual_recorders.h"
#include "temp_folder.h"

namespace velmora::test {
namespace {

using E = RecorderEntryError;

TEST(ManualRecorderEntry, AcceptsAddressPortNameAndChannels) {
    const RecorderEntry entry = make_manual_recorder(" 10.0.0.7 ", "2300", "  Bus 7  ", 8);
    ASSERT_TRUE(entry.recorder);
    EXPECT_EQ(*entry.recorder, (ManualRecorder{"Bus 7", {10, 0, 0, 7}, 2300, 8}));
}

TEST(ManualRecorderEntry, RefusesWhatCannotReachARecorder) {
    const struct {
        const char* address;
        const char* port;
        const char* name;
        int channels;
        RecorderEntryError error;
    } cases[] = {
        {"10.0.0", "2200", "a", 4, E::BadAddress},
        {"10.0.0.256", "2200", "a", 4, E::BadAddress},
        {"10..0.1", "2200", "a", 4, E::BadAddress},
        {"10.0.0.1.2", "2200", "a", 4, E::BadAddress},
        {"host", "2200", "a", 4, E::BadAddress},
        {"-1.0.0.1", "2200", "a", 4, E::BadAddress},
        {"10.0.0.1", "0", "a", 4, E::BadPort},
        {"10.0.0.1", "65536", "a", 4, E::BadPort},
        {"10.0.0.1", "22x", "a", 4, E::BadPort},
        {"10.0.0.1", "", "a", 4, E::BadPort},
        {"10.0.0.1", "2200", "  ", 4, E::EmptyName},
        {"10.0.0.1", "2200", "a\nb", 4, E::LongName},
        {"10.0.0.1", "2200", "0123456789012345678901234567890123", 4, E::LongName},
        {"10.0.0.1", "2200", "a", 6, E::BadChannels},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " " + c.port + " " + c.name);
        const RecorderEntry entry = make_manual_recorder(c.address, c.port, c.name, c.channels);
        EXPECT_FALSE(entry.recorder);
        EXPECT_EQ(entry.error, c.error);
    }
}

TEST(ManualRecorderEntry, TheAddressTextCarriesAPortOnlyWhenItIsNotTheDefault) {
    EXPECT_EQ(recorder_address_text({192, 168, 1, 20}, 2200), "192.168.1.20");
    EXPECT_EQ(recorder_address_text({127, 0, 0, 1}, 2300), "127.0.0.1:2300");
}

TEST(ManualRecorderVehicle, IsOnlineWithItsEndpointAsAddressAndParametersForItsChannels) {
    const auto record = vehicle_from_recorder({"Bus 7", {10, 0, 0, 7}, 2300, 8});
    EXPECT_EQ(record->name, u"Bus 7");
    EXPECT_EQ(record->state, vehicle_state::kOnline);
    EXPECT_EQ(record->address, (std::array<uint8_t, 6>{10, 0, 0, 7, 0xFC, 0x08}));
    EXPECT_EQ(record->ipv4, (std::array<uint8_t, 4>{10, 0, 0, 7}));
    EXPECT_EQ(record->port, 2300);
    EXPECT_EQ(record->channel_count, 8);
    EXPECT_EQ(record->open_links, 0);
    EXPECT_EQ(record->capability, 0);
    EXPECT_EQ(recorder_address_text(*record), "10.0.0.7:2300");
    EXPECT_EQ(live_params_address(record->live_params), "10.0.0.7:2300");
    EXPECT_EQ(live_params_int(record->live_params, live_params::kChannelMask), 0xFF);
    EXPECT_TRUE(vehicle_is_recorder(*record, {"Bus 7", {10, 0, 0, 7}, 2300, 8}));
    EXPECT_FALSE(vehicle_is_recorder(*record, {"Bus 7", {10, 0, 0, 7}, 2200, 8}));
    EXPECT_FALSE(vehicle_is_recorder(*record, {"Bus 8", {10, 0, 0, 7}, 2300, 8}));
}

TEST(ManualRecorderVehicle, UnicodeNamesBecomeTheListsWideName) {
    const auto record =
        vehicle_from_recorder({"\xE8\xBD\xA6 \xF0\x9F\x9A\x8C", {1, 2, 3, 4}, 2200, 4});
    EXPECT_EQ(record->name, u"\u8F66 \U0001F68C");
}

TEST(ManualRecorderConfig, KeptAcrossLoadsAndShrunkOnDelete) {
    TempFolder folder;
    const std::string path = (folder.path() / "AppConfig.ini").string();
    std::ofstream(path) << "[NetWorkSetting]\nRunMode=0\n";
    const std::vector<ManualRecorder> three = {{"A, with comma", {10, 0, 0, 1}, 2200, 4},
                                               {"B", {10, 0, 0, 2}, 2301, 8},
                                               {"C", {10, 0, 0, 3}, 2200, 4}};
    ASSERT_TRUE(save_manual_recorders(path, three));
    EXPECT_EQ(load_manual_recorders(path), three);

    ASSERT_TRUE(save_manual_recorders(path, {three[1]}));
    EXPECT_EQ(load_manual_recorders(path), std::vector<ManualRecorder>{three[1]});
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_EQ(text.str().find("Recorder2"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("RunMode=0"), std::string::npos);  // other settings stay
}

TEST(ManualRecorderConfig, TheFirstSaveCreatesTheConfigurationFolder) {
    TempFolder folder;
    const std::string path = (folder.path() / "config" / "AppConfig.ini").string();
    const std::vector<ManualRecorder> one = {{"A", {10, 0, 0, 1}, 2200, 8}};
    ASSERT_TRUE(save_manual_recorders(path, one));
    EXPECT_EQ(load_manual_recorders(path), one);
}

TEST(ManualRecorderConfig, DamagedEntriesAreSkipped) {
    TempFolder folder;
    const std::string path = (folder.path() / "AppConfig.ini").string();
    std::ofstream(path) << "[ManualRecorders]\nCount=5\nRecorder1=10.0.0.1:2200,4,Good\n"
                           "Recorder2=10.0.0.1,4,NoPort\nRecorder3=10.0.0.1:2200,6,Six\n"
                           "Recorder4=garbage\n";
    EXPECT_EQ(load_manual_recorders(path),
              (std::vector<ManualRecorder>{{"Good", {10, 0, 0, 1}, 2200, 4}}));
    EXPECT_TRUE(load_manual_recorders((folder.path() / "missing.ini").string()).empty());
}

}  // namespace
}  // namespace velmora::test
