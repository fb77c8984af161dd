// A stand-in TWAIN engine for the control's version test: reports the version in
// LUM_FAKE_ENGINE_VERSION (405 when unset) and a closed source manager.
#include <cstdlib>

#include "lumtwain.h"

extern "C" {
int32_t LUMTWAIN_GetVersion(void) {
    const char* v = std::getenv("LUM_FAKE_ENGINE_VERSION");
    return v ? std::atoi(v) : 405;
}
int32_t LUMTWAIN_State(void) { return 1; }
uint32_t LUMTWAIN_AcquireNative(int32_t) { return 0; }
int32_t LUMTWAIN_UserClosedSource(void) { return 0; }
int32_t LUMTWAIN_XferFail(void) { return 0; }
int32_t LUMTWAIN_GetLastConditionCode(void) { return 0; }
}
