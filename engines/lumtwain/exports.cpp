// liblumtwain.so: every LUMTWAIN_* export is defined in lumtwain_core (src/api.cpp), which
// this library takes whole, so tests that link the core call the very same functions.
#include "lumtwain.h"

static_assert(sizeof(int32_t) == 4 && sizeof(double) == 8, "the exports' integer and real sizes");
