// What the viewer sends to a map page: script calls with text arguments encoded as JavaScript
// string literals, held back while the page loads, and the track the page has been given since
// it was last cleared, so a page loaded afresh (map type change) shows it again.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The page's functions that draw and clear the track; every other function is a mark call.
inline constexpr std::string_view kClearTrackFunction = "ClearAll_N";
inline constexpr std::string_view kAddTrackPointFunction = "AddGLatLng_N";

// A double-quoted JavaScript string literal holding the UTF-8 text as it is. Quotes, the
// backslash, control characters, the two JavaScript line separators and '<', '>', '&' are
// written as escapes, so the literal is safe inside any script or page text.
std::string js_string_literal(std::string_view utf8);

// "if (typeof F === 'function') F(\"a\", \"b\");" for function F and the texts in order; empty
// when the name is not a plain identifier (letters, digits, '_', not starting with a digit).
// A page without the function ignores the call, as a failed call is ignored.
std::string script_call(std::string_view function, std::span<const std::string> texts);

struct MapCall {
    std::string function;
    std::vector<std::string> texts;
    bool operator==(const MapCall&) const = default;
};

// The calls of one page, across its loads. Track calls always update the track list; while
// the page loads, mark calls wait in order. When a page has loaded it is given the whole track
// list and then the waiting calls, so a call made before the load is neither lost nor doubled.
// A page that never loads must not gather calls without end: beyond kMaxWaitingCalls the oldest
// waiting call is dropped (the track list is kept whole).
class MapCallQueue {
  public:
    static constexpr std::size_t kMaxWaitingCalls = 1000;

    // A page starts loading: calls wait from now on.
    void page_loading();
    // The page has loaded: the calls to make now, in order (track first, then waiting calls).
    std::vector<MapCall> page_loaded();
    // A call to make: itself when the page is ready, nothing while it waits.
    std::optional<MapCall> call(MapCall call);

    bool ready() const { return ready_; }
    const std::vector<MapCall>& track() const { return track_; }
    const std::deque<MapCall>& waiting() const { return waiting_; }

  private:
    bool ready_ = false;
    std::vector<MapCall> track_;   // the track points added since the last clear
    std::deque<MapCall> waiting_;  // mark calls made while the page loads, the newest last
};

}  // namespace velmora
