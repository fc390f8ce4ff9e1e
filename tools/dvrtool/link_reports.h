// What the engine's LinkEventProc has told about the one link a command opened, kept for the
// thread that waits on it, and the words for a report that ends the command's work.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/index_format.h"

namespace dvrtool {

// A report after which the link does not serve the command any more (see ends_the_work).
struct LinkTrouble {
    int32_t link = 0;
    int32_t code = 0;
    int32_t value = 0;
};

struct LinkReports {
    int count = 0;  // every report, to tell a link that went quiet
    bool connected = false;
    int prebuffer_percent = -1;
    int prebuffer_full = 0;                       // how often prebuffering reached 100 %
    std::vector<fleet::format::IndexUnit> units;  // the remote index, in received order
    bool index_done = false;
    int download_percent = -1;
    bool download_done = false;
    std::optional<LinkTrouble> trouble;  // the first one only
};

// Connect failures, a link closed by the recorder or the network, refusals, and the engine
// waiting for the recorder to call it (its fallback when a direct link fails: dvrtool only
// links directly, so this too means the recorder did not answer).
bool ends_the_work(int32_t link, int32_t code);

// extra: for a remote index unit, the address of its 16 bytes (valid during the report).
void record_link_report(LinkReports& reports, int32_t link, int32_t code, int32_t value,
                        intptr_t extra);

// One line for the user, e.g. "link failed: cannot reach the recorder at 10.0.0.7:2200
// (Connection refused)"; `recorder` names it ("HOST:PORT").
std::string link_trouble_text(const LinkTrouble& trouble, const std::string& recorder);

}  // namespace dvrtool
