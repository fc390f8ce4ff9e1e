// An engine and an extraction library in memory, reached through the same function tables the
// viewer and dvrtool hand to the export session. The library creates its outputs for real
// (exclusively, as the real one does) so tests see exactly which files an export leaves.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "export_host/export_session.h"

namespace fleet::export_host::test {

struct FakeEngine {
    int32_t opened_type = KIVRA_SOURCE_FILE;
    bool header_readable = true;
    KivraIndexHeader header{KIVRA_INDEX_MAGIC, 1, 10, 0};
    std::map<uint32_t, KivraIndexUnit> units;  // readable units by number
    int32_t screen_count = 4, sample_rate = 8000, sample_bits = 16;
    int32_t start_answer = 0;

    // What the session did.
    struct StartCall {
        uint32_t start_low;
        int32_t start_high;
        uint32_t end_low;
        int32_t end_high;
    };
    std::vector<StartCall> starts;
    int stops = 0;

    EngineEntries entries();
};

struct FakeOmbrel {
    bool pre_answer = true;
    int fail_gop_write = 0;           // the n-th GOP write (1-based) fails the outputs; 0 never
    int fail_index_write = 0;         // likewise for index records
    bool lose_output_at_fin = false;  // zExtractFin cannot complete: it removes the outputs

    // What the session did.
    std::vector<ExtractJob> pres;
    int gop_writes = 0, index_writes = 0, fins = 0;
    std::vector<std::string> created;  // the paths of the last successful zExtractPre
    bool opened = false;

    OmbrelEntries entries();
};

// One engine and one library per process, as the real ones.
FakeEngine& fake_engine();
FakeOmbrel& fake_ombrel();
void reset_fakes();

}  // namespace fleet::export_host::test
