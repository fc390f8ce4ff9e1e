/* A library with the engine's entry point names and nothing behind them, for the binding
 * tests. Each name is made from the export list under its own symbol (the C names differ, so the
 * header's declarations do not clash) and answers its place in the list. */
#include "kivra/kivra.h"

#define BINDING_ENTRY(name)                        \
    int binding_entry_##name(void) __asm__(#name); \
    int binding_entry_##name(void) {               \
        return __COUNTER__;                        \
    }

KIVRA_FOR_EACH_EXPORT(BINDING_ENTRY)
