#include "job_outputs.h"

#include <cstring>

#include "writers.h"

namespace ombrel {
namespace {

constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 384000;

bool is_flag(uint8_t value) {
    return value == 0 || value == 1;
}

bool named(const char (&field)[OMBREL_PATH_SIZE]) {
    auto text = path_text(field);
    return text && !text->empty();
}

bool any_channel(const ExtractJob& job) {
    for (uint8_t flag : job.channel_avi) {
        if (flag == 1) return true;
    }
    return false;
}

std::string flags_problem(const ExtractJob& job) {
    for (uint8_t flag : job.channel_avi) {
        if (!is_flag(flag)) return "a channel flag is neither 0 nor 1";
    }
    if (!is_flag(job.all_channels_avi) || !is_flag(job.copy_file_pair) ||
        !is_flag(job.reserved1[0])) {
        return "an output flag is neither 0 nor 1";
    }
    if (job.reserved1[1] != 0 || job.reserved1[2] != 0) return "reserved bytes are not zero";
    if (!any_channel(job) && job.all_channels_avi == 0 && job.copy_file_pair == 0) {
        return "no output asked for";
    }
    return {};
}

std::string channels_problem(const ExtractJob& job) {
    for (int c = 0; c < OMBREL_CHANNELS; ++c) {
        if (job.channel_avi[c] == 0) continue;
        if (c >= job.screen_count) return "channel " + std::to_string(c + 1) + " is not recorded";
        if (!named(job.channel_avi_path[c])) {
            return "channel " + std::to_string(c + 1) + " has no output path";
        }
    }
    if (!any_channel(job)) return {};
    if (job.sample_bits != 8 && job.sample_bits != 16) return "audio sample bits not 8 or 16";
    if (job.sample_rate < kMinSampleRate || job.sample_rate > kMaxSampleRate) {
        return "audio sample rate out of range";
    }
    return {};
}

std::string picture_problem(const ExtractJob& job) {
    const bool needed = job.all_channels_avi == 1;
    const int low = needed ? 1 : 0;
    if (job.picture_width < low || job.picture_width > kMaxPictureSide ||
        job.picture_height < low || job.picture_height > kMaxPictureSide) {
        return "picture size out of range";
    }
    return {};
}

std::string paths_problem(const ExtractJob& job) {
    if (!path_text(job.target_directory)) return "target directory not terminated";
    if (job.all_channels_avi == 1 && !named(job.all_channels_avi_path)) {
        return "the all-channel AVI has no output path";
    }
    if (job.copy_file_pair == 1 && (!named(job.dvr_path) || !named(job.inx_path))) {
        return "the file-pair copy has no output paths";
    }
    return {};
}

}  // namespace

std::optional<std::string> path_text(const char (&field)[OMBREL_PATH_SIZE]) {
    const void* end = std::memchr(field, '\0', OMBREL_PATH_SIZE);
    if (end == nullptr) return std::nullopt;
    return std::string(field, static_cast<const char*>(end));
}

std::string job_problem(const ExtractJob& job) {
    if (job.screen_count < 1 || job.screen_count > kMaxScreenCount) {
        return "screen count out of range";
    }
    for (auto check : {flags_problem, channels_problem, picture_problem, paths_problem}) {
        std::string problem = check(job);
        if (!problem.empty()) return problem;
    }
    return {};
}

Outputs create_outputs(const ExtractJob& job, std::string& error) {
    Outputs made;
    // False when the writer could not be made: the ones made before it go again.
    auto add = [&](std::unique_ptr<OutputWriter> writer) {
        if (writer) {
            made.push_back(std::move(writer));
            return true;
        }
        for (auto& earlier : made) earlier->discard();
        made.clear();
        return false;
    };
    for (int c = 0; c < OMBREL_CHANNELS; ++c) {
        if (job.channel_avi[c] == 1 && !add(make_channel_writer(job, c, error))) return {};
    }
    if (job.all_channels_avi == 1 && !add(make_mosaic_writer(job, error))) return {};
    if (job.copy_file_pair == 1 && !add(make_pair_writer(job, error))) return {};
    return made;
}

}  // namespace ombrel
