#include "download_rows.h"

#include <string>

#include "time_text.h"

namespace dvrtool {
namespace {

std::string span_text(uint32_t from, uint32_t to) {
    return time_text(from) + " and " + time_text(to);
}

std::string index_span(std::span<const uint32_t> row_times) {
    if (row_times.empty()) return "the recorder's index is empty";
    return "the recorder's index runs from " + time_text(row_times.front()) + " to " +
           time_text(row_times.back());
}

}  // namespace

fleet::Result<DownloadRows> choose_download_rows(std::span<const uint32_t> row_times, uint32_t from,
                                                 uint32_t to) {
    if (from >= to) return fleet::fail("--from " + time_text(from) + " is not before --to");
    DownloadRows rows;
    for (size_t i = 0; i < row_times.size(); ++i) {
        const auto row = static_cast<int32_t>(i + 1);
        if (rows.first == 0 && row_times[i] >= from) rows.first = row;
        if (row_times[i] <= to) rows.last = row;
    }
    if (rows.first == 0 || rows.last == 0 || rows.first > rows.last) {
        return fleet::fail("no index row lies between " + span_text(from, to) + "; " +
                           index_span(row_times));
    }
    if (rows.first == rows.last) {
        return fleet::fail("only one index row (" +
                           time_text(row_times[static_cast<size_t>(rows.first - 1)]) +
                           ") lies between " + span_text(from, to) +
                           "; a download needs a start and a later end row");
    }
    return rows;
}

}  // namespace dvrtool
