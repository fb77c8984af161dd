// The per-user registry file that DllRegisterServer and DllUnregisterServer maintain
// (format: src/com/README.md).
#pragma once

#include <string>

#include "lumtwainpro/export.h"

LUM_BEGIN_EXPORTS

namespace com {

// LUMTWAIN_REGISTRY when set, else $XDG_CONFIG_HOME/lumtwainpro/registry.ini, else
// $HOME/.config/lumtwainpro/registry.ini.
std::string registry_path();
// The file that holds this library (what registration records as its server).
std::string library_path();

}  // namespace com

LUM_END_EXPORTS
