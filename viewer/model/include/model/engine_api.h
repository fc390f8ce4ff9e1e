// Entry points of the two libraries the viewer loads at run time, filled by name in the order of
// their export lists (see library_binding.h). The viewer calls the engine only through these.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "kivra/kivra.h"
#include "ombrel/ombrel.h"

namespace velmora {

#define VELMORA_ENTRY_POINTER(name) decltype(&::name) name = nullptr;
#define VELMORA_ENTRY_NAME(name) #name,

struct EngineApi {
    KIVRA_FOR_EACH_EXPORT(VELMORA_ENTRY_POINTER)

    // Binding order; kNames[i] belongs to the i-th pointer above.
    static constexpr auto kNames =
        std::to_array<const char*>({KIVRA_FOR_EACH_EXPORT(VELMORA_ENTRY_NAME)});

    // Takes the looked-up addresses in kNames order; a null address leaves its pointer null.
    void assign(std::span<void* const, kNames.size()> addresses);
    // Nulls the pointers; the module stays as it is.
    void clear();
    // True when every pointer is set.
    bool complete() const;

    // The loaded module; set by bind_engine and kept until the process ends.
    void* module = nullptr;
};

struct ExtractApi {
    OMBREL_FOR_EACH_EXPORT(VELMORA_ENTRY_POINTER)

    static constexpr auto kNames =
        std::to_array<const char*>({OMBREL_FOR_EACH_EXPORT(VELMORA_ENTRY_NAME)});

    void assign(std::span<void* const, kNames.size()> addresses);
    void clear();
    bool complete() const;

    // The loaded module; set by bind_extract, closed by unbind_extract.
    void* module = nullptr;
};

#undef VELMORA_ENTRY_POINTER
#undef VELMORA_ENTRY_NAME

}  // namespace velmora
