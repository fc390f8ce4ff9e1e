#include "model/engine_api.h"

#include <type_traits>

namespace velmora {

namespace {

// Casting a looked-up address to a function pointer is what the platform loader guarantees;
// the member list fixes which type each address gets.
template <class Api, auto... Members>
struct EntryList {
    static constexpr size_t size = sizeof...(Members);

    static void assign(Api& api, std::span<void* const> addresses) {
        size_t i = 0;
        ((api.*Members =
              reinterpret_cast<std::remove_reference_t<decltype(api.*Members)>>(addresses[i++])),
         ...);
    }
    static void clear(Api& api) { ((api.*Members = nullptr), ...); }
    static bool complete(const Api& api) { return ((api.*Members != nullptr) && ...); }
};

// Each list entry adds ", &Api::name", so the lists follow the type without a trailing comma.
#define VELMORA_ENGINE_MEMBER(name) , &EngineApi::name
#define VELMORA_EXTRACT_MEMBER(name) , &ExtractApi::name
using EngineEntries = EntryList<EngineApi KIVRA_FOR_EACH_EXPORT(VELMORA_ENGINE_MEMBER)>;
using ExtractEntries = EntryList<ExtractApi OMBREL_FOR_EACH_EXPORT(VELMORA_EXTRACT_MEMBER)>;
#undef VELMORA_ENGINE_MEMBER
#undef VELMORA_EXTRACT_MEMBER

static_assert(EngineEntries::size == EngineApi::kNames.size());
static_assert(ExtractEntries::size == ExtractApi::kNames.size());

}  // namespace

void EngineApi::assign(std::span<void* const, kNames.size()> addresses) {
    EngineEntries::assign(*this, addresses);
}
void EngineApi::clear() {
    EngineEntries::clear(*this);
}
bool EngineApi::complete() const {
    return EngineEntries::complete(*this);
}

void ExtractApi::assign(std::span<void* const, kNames.size()> addresses) {
    ExtractEntries::assign(*this, addresses);
}
void ExtractApi::clear() {
    ExtractEntries::clear(*this);
}
bool ExtractApi::complete() const {
    return ExtractEntries::complete(*this);
}

}  // namespace velmora
