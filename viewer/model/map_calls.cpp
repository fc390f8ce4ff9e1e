#include "model/map_calls.h"

#include <cstdio>
#include <iterator>

namespace velmora {

namespace {

bool is_identifier(std::string_view name) {
    if (name.empty() || (name.front() >= '0' && name.front() <= '9')) return false;
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_') return false;
    }
    return true;
}

void append_unicode_escape(std::string& out, unsigned code) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    out += escape;
}

}  // namespace

std::string js_string_literal(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        // U+2028 and U+2029 end a line inside a script: E2 80 A8 / E2 80 A9.
        if (c == 0xE2 && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xA8) {
            append_unicode_escape(out, 0x2000u | (static_cast<unsigned char>(utf8[i + 2]) - 0x80u));
            i += 2;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '<':
            case '>':
            case '&':
                append_unicode_escape(out, c);
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    append_unicode_escape(out, c);
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

std::string script_call(std::string_view function, std::span<const std::string> texts) {
    if (!is_identifier(function)) return {};
    const std::string name(function);
    std::string call = "if (typeof " + name + " === 'function') " + name + "(";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) call += ", ";
        call += js_string_literal(texts[i]);
    }
    call += ");";
    return call;
}

void MapCallQueue::page_loading() {
    ready_ = false;
}

std::vector<MapCall> MapCallQueue::page_loaded() {
    ready_ = true;
    std::vector<MapCall> calls = track_;
    calls.insert(calls.end(), std::make_move_iterator(waiting_.begin()),
                 std::make_move_iterator(waiting_.end()));
    waiting_.clear();
    return calls;
}

std::optional<MapCall> MapCallQueue::call(MapCall call) {
    const bool track_call =
        call.function == kClearTrackFunction || call.function == kAddTrackPointFunction;
    if (call.function == kClearTrackFunction) track_.clear();
    if (call.function == kAddTrackPointFunction) track_.push_back(call);
    if (ready_) return call;
    // A page still loading is given the track list as a whole once it is there.
    if (track_call) return std::nullopt;
    waiting_.push_back(std::move(call));
    if (waiting_.size() > kMaxWaitingCalls) waiting_.pop_front();
    return std::nullopt;
}

}  // namespace velmora
