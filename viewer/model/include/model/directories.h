// Working directories of the viewer. Paths use this platform's separator; the "~/DVR" tree
// stands where the recorders' Windows software kept "C:\DVR".
#pragma once

#include <string>

namespace velmora {

// True when path names a directory (a link to one counts); one trailing separator is allowed.
bool directory_exists(const std::string& path);

// Creates path and every missing parent, like mkdir -p. True when the directory exists afterwards.
bool ensure_directory(const std::string& path);

// The home folder: $HOME, else %USERPROFILE%, else the current directory.
std::string home_path();

// "<home>/DVR", or "<home>/DVR/<leaf>" for a non-empty leaf.
std::string home_dvr_path(const std::string& leaf);

// A leading "~" or "~/" replaced by the home folder; anything else unchanged.
std::string expand_home(const std::string& path);

}  // namespace velmora
