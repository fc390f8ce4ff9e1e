// Loading the engine and the extraction library from <program folder>/utilities/ and looking
// up their entry points by name.
#pragma once

#include <span>
#include <string>

#include "common/result.h"
#include "model/engine_api.h"

namespace velmora {

// Folder of the running executable, without a trailing separator; empty when unknown.
std::string program_folder();

// Loads the library at path (its folder is the current directory while it loads; the previous
// current directory is restored) and looks names up in order into slots. Fails when *handle is
// already set, the library does not load, or a name is missing: the error names the first
// missing name, the library stays loaded in *handle and the slots from that name on stay null.
// slots must be at least as long as names.
fleet::Status bind_library(const std::string& path, std::span<const char* const> names,
                           std::span<void*> slots, void** handle);

// "<program_dir>/utilities/libkivra.so". The engine module stays loaded until the process ends.
fleet::Status bind_engine(EngineApi& api, const std::string& program_dir);

// "<program_dir>/utilities/libombrel.so".
fleet::Status bind_extract(ExtractApi& api, const std::string& program_dir);

// Clears the five entries and unloads the extraction library.
void unbind_extract(ExtractApi& api);

}  // namespace velmora
