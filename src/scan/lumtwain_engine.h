// The TWAIN engine library, found by name at run time: the path in LUMTWAIN_ENGINE, else
// liblumtwain.so beside this library. A missing library or export is a run-time error of
// the member that calls it (53 file not found, 48 error loading the library, 453 no entry).
#pragma once

#include "lumtwain.h"
#include "lumtwainpro/com_error.h"

namespace lumtwain {

// Address of an export; throws ComError when the library or the export is missing.
void* resolve(const char* name);
// Address of an export, or null when the library or the export is missing.
void* try_resolve(const char* name) noexcept;

template <class Fn>
Fn export_of(const char* name) {
    return reinterpret_cast<Fn>(resolve(name));
}

}  // namespace lumtwain

// ENGINE(State)() calls LUMTWAIN_State with the signature of its declaration.
#define ENGINE(name) (::lumtwain::export_of<decltype(&::LUMTWAIN_##name)>("LUMTWAIN_" #name))
