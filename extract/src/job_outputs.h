// What an ExtractJob asks for, checked before any file is made, and the writers it needs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ombrel/ombrel.h"
#include "output_writer.h"

namespace ombrel {

// Recorders have 1, 4, 8 or 16 channels; a job can ask for an AVI of the first eight.
inline constexpr int kMaxScreenCount = 16;
inline constexpr int kMaxPictureSide = 8192;

using Outputs = std::vector<std::unique_ptr<OutputWriter>>;

// The text of a path field, or nothing when it is not zero-terminated within its bytes.
std::optional<std::string> path_text(const char (&field)[OMBREL_PATH_SIZE]);

// The per-channel outputs are MP4 (stream copy, moov first) instead of AVI.
inline bool wants_mp4(const ExtractJob& job) {
    return job.reserved1[0] == 1;
}

// Empty when the job is sound; otherwise what is wrong with it.
std::string job_problem(const ExtractJob& job);

// One writer per output the job names, every one created; or none, with the reason in
// `error` and every file made on the way removed again. The job must be sound.
Outputs create_outputs(const ExtractJob& job, std::string& error);

}  // namespace ombrel
