#include "scan/lumtwain_engine.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <string>

namespace lumtwain {
namespace {

std::string library_dir() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&library_dir), &info) && info.dli_fname) {
        std::string path = info.dli_fname;
        size_t slash = path.rfind('/');
        if (slash != std::string::npos) return path.substr(0, slash + 1);
    }
    return "";
}

std::string engine_path() {
    if (const char* env = std::getenv("LUMTWAIN_ENGINE")) return env;
    return library_dir() + "liblumtwain.so";
}

// Loads the engine (once per path) and returns its handle; sets `error` when it cannot.
void* engine_handle(int32_t* error) {
    thread_local std::map<std::string, void*> loaded;
    std::string path = engine_path();
    if (auto it = loaded.find(path); it != loaded.end()) return it->second;
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        *error = ComError::kFileNotFound;
        return nullptr;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        *error = ComError::kErrorLoadingLibrary;
        return nullptr;
    }
    loaded[path] = handle;
    return handle;
}

}  // namespace

void* resolve(const char* name) {
    int32_t error = 0;
    void* handle = engine_handle(&error);
    if (!handle) {
        throw ComError(error, error == ComError::kFileNotFound
                                  ? "File not found: liblumtwain.so"
                                  : "Error loading DLL: liblumtwain.so");
    }
    void* fn = ::dlsym(handle, name);
    if (!fn)
        throw ComError(ComError::kEntryPointNotFound,
                       std::string("Can't find DLL entry point ") + name + " in liblumtwain.so");
    return fn;
}

void* try_resolve(const char* name) noexcept {
    int32_t error = 0;
    void* handle = engine_handle(&error);
    return handle ? ::dlsym(handle, name) : nullptr;
}

}  // namespace lumtwain
