#include "scan/lumtwain_engine.h"

#include <map>
#include <string>

#include "imaging/file_load.h"
#include "platform/win/win.h"

namespace lumtwain {
namespace {

std::string engine_path() {
    std::string configured = win::GetEnvironmentString("LUMTWAIN_ENGINE");
    if (!configured.empty()) return configured;
    std::string self = win::ModuleFileOf(reinterpret_cast<const void*>(&engine_path));
    return self.substr(0, self.rfind('/') + 1) + "liblumtwain.so";
}

// Loads the engine (once per path) and returns its handle; sets `error` and `why` when it
// cannot.
HMODULE engine_handle(int32_t* error, std::string* why) {
    thread_local std::map<std::string, HMODULE> loaded;
    std::string path = engine_path();
    if (auto it = loaded.find(path); it != loaded.end()) return it->second;
    // The engine's pages fed from files then read every format the control reads.
    modGdiplus::InstallEngineFileLoader();
    HMODULE handle = LoadLibraryA(path.c_str());
    if (!handle) {
        *error = GetLastError() == ERROR_MOD_NOT_FOUND ? ComError::kFileNotFound
                                                       : ComError::kErrorLoadingLibrary;
        *why = win::GetErrorDetail();
        return nullptr;
    }
    loaded[path] = handle;
    return handle;
}

}  // namespace

void* resolve(const char* name) {
    int32_t error = 0;
    std::string why;
    HMODULE handle = engine_handle(&error, &why);
    if (!handle) {
        throw ComError(error, error == ComError::kFileNotFound
                                  ? "File not found: liblumtwain.so (" + why + ")"
                                  : "Error loading DLL: liblumtwain.so (" + why + ")");
    }
    FARPROC fn = GetProcAddress(handle, name);
    if (!fn)
        throw ComError(ComError::kEntryPointNotFound, std::string("Can't find DLL entry point ") +
                                                          name + " in liblumtwain.so (" +
                                                          win::GetErrorDetail() + ")");
    return reinterpret_cast<void*>(fn);
}

void* try_resolve(const char* name) noexcept {
    int32_t error = 0;
    std::string why;
    HMODULE handle = engine_handle(&error, &why);
    return handle ? reinterpret_cast<void*>(GetProcAddress(handle, name)) : nullptr;
}

}  // namespace lumtwain
