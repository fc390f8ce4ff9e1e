// One table of the engine's numbered errors, for hosts' logs and for dvrtool.
#include "kivra/kivra.h"

namespace {

struct ErrorText {
    int32_t code;
    const char* text;
};

constexpr ErrorText kErrors[] = {
#define KIVRA_ERROR_ROW(name, code, text) {code, text},
    KIVRA_FOR_EACH_ERROR(KIVRA_ERROR_ROW)
#undef KIVRA_ERROR_ROW
};

}  // namespace

extern "C" const char* KivraErrorText(int32_t error_code) {
    for (const auto& e : kErrors) {
        if (e.code == error_code) return e.text;
    }
    return "unknown error";
}
