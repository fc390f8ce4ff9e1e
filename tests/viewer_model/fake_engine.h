// A stand-in engine for driving the player session. Every export of the engine's list gets a
// default fake (it records its call and answers zero, false or an empty text); the ones the
// tests script answer from the values below instead.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/engine_api.h"

namespace velmora::test {

struct PlayCall {
    int32_t command;
    intptr_t first;
    int32_t second;
    int32_t third;
    bool operator==(const PlayCall&) const = default;
};

struct OpenCall {
    int32_t type;
    std::string dvr;  // "<null>" for a null pointer
    std::string inx;
    bool operator==(const OpenCall&) const = default;
};

struct OpenExCall {
    LiveParams params;
    int32_t connect_mode;
    int32_t fallback_to_nat;
    std::array<uint8_t, 6> address;
    std::string name;  // up to the first zero of the 32-byte block
    KivraConnector connector;
};

struct OpenRxCall {
    std::array<uint8_t, 6> address;
    std::string name;
    std::string recorder_address;
    int32_t use_connector;
    int32_t mode_byte;
    KivraConnector connector;
};

struct DownloadCall {
    int32_t first_unit;
    int32_t last_unit;
    std::string dvr;
    std::string inx;
    bool operator==(const DownloadCall&) const = default;
};

struct FakeUnit {
    uint32_t time;
    int64_t offset;
};

struct FakeEngine {
    // Answers.
    bool init_result = true;
    bool release_result = true;
    bool open_result = true;
    int32_t opened_type = KIVRA_SOURCE_FILE;
    int32_t screen_count = 4;
    int32_t full_screen_index = 0;
    int32_t division_status = 0;
    int64_t read_position = -1;
    int64_t total_length = -1;
    int32_t begin_time = 0;
    int32_t end_time = 0;
    bool has_time_index = true;
    uint32_t first_unit = 1;
    uint32_t last_unit = 1;
    std::map<uint32_t, FakeUnit> units;
    // Quick index: header words 1 and 2, and each record's first word (a time index unit).
    bool has_quick_index = false;
    uint32_t quick_first = 1;
    uint32_t quick_last = 0;
    std::map<uint32_t, uint32_t> quick_records;
    // zTellCarId: its result and the identifier it copies out when the result is 0.
    int32_t car_id_result = 0;
    std::string car_id = "BUS-0042";
    bool record_result = true;  // zSetRecord with on != 0
    bool open_ex_result = true;
    bool open_rx_result = true;
    bool download_result = true;

    // Calls, in order; `calls` names every call but those of the scripted queries, so tests can
    // check sequences across kinds.
    std::vector<std::string> calls;
    const KivraVideoTarget* init_target = nullptr;
    PlayEventProc init_play = nullptr;
    LinkEventProc init_link = nullptr;
    ErrorProc init_error = nullptr;
    std::vector<PlayCall> play_calls;
    std::vector<OpenCall> open_calls;
    std::vector<int32_t> full_screen_calls;
    std::vector<int32_t> division_calls;
    std::vector<int32_t> volume_calls;
    // zSetRecord's base paths ("<null>" for null) and on flags.
    std::vector<std::pair<std::string, int32_t>> record_calls;
    // What the last snapshot command (9) asked for: its rectangle and path.
    std::array<int32_t, 4> snapshot_rect{};
    std::string snapshot_path;
    std::vector<OpenExCall> open_ex_calls;
    std::vector<OpenRxCall> open_rx_calls;
    std::vector<DownloadCall> download_calls;
    int stop_download_calls = 0;
    int open_voice_calls = 0;
    int close_voice_calls = 0;
};

// The engine the fake entry points act on; reset by make_fake_engine_api.
FakeEngine& fake_engine();

// An EngineApi whose pointers all lead to the fake; resets the fake.
EngineApi make_fake_engine_api();

}  // namespace velmora::test
