// A library that links libfennick.so the way the engine does, for the loading test.
#include "fennick/fennick.h"

extern "C" __attribute__((visibility("default"))) void* fennick_probe_entry() {
    return reinterpret_cast<void*>(&zInitTcp_C);
}
