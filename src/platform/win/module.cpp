// Modules: shared libraries loaded by path, their exports, and the file of a module.
#include <dlfcn.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "platform/win/win.h"

HMODULE LoadLibraryA(const char* path) {
    if (!path || !*path) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        win::SetErrorDetail("load: empty library name");
        return nullptr;
    }
    struct stat st {};
    if (::stat(path, &st) != 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        win::SetErrorDetail(std::string("load ") + path + ": no such file");
        return nullptr;
    }
    void* handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        SetLastError(ERROR_BAD_EXE_FORMAT);
        win::SetErrorDetail(std::string("load ") + path + ": " + (why ? why : "cannot be loaded"));
    }
    return handle;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (!module || !name) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(module, name);
    if (!symbol) {
        const char* why = ::dlerror();
        SetLastError(ERROR_PROC_NOT_FOUND);
        win::SetErrorDetail(std::string("no export ") + name + (why ? std::string(": ") + why : ""));
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
    return module && ::dlclose(module) == 0 ? TRUE : FALSE;
}

namespace win {

std::string ModuleFileOf(const void* address) {
    Dl_info info{};
    if (!::dladdr(address, &info) || !info.dli_fname) return {};
    char real[PATH_MAX];
    return ::realpath(info.dli_fname, real) ? std::string(real) : std::string(info.dli_fname);
}

}  // namespace win
