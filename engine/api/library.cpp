// libkivra.so is the engine's static libraries linked whole; this unit gives the target a
// source of its own.
#include "kivra/kivra.h"
