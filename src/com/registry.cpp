// Registration: the library's keys of the registry are replaced or removed as a whole;
// every other key is kept as it was.
#include "com/registry.h"

#include "com/dispatch.h"
#include "platform/win/win.h"

namespace com {

namespace {

// The keys this library owns, with their values.
std::vector<win::RegistryKey> own_keys() {
    const TypeLibrary& lib = type_library();
    std::string libid = ole::GuidToString(lib.libid);
    std::string server = library_path();
    std::string version = std::to_string(lib.major) + "." + std::to_string(lib.minor);
    std::vector<win::RegistryKey> out;
    out.push_back({"TypeLib\\" + libid + "\\" + version,
                   {"name=" + lib.name, "help=" + lib.help, "path=" + server}});
    for (const CoclassInfo& c : lib.coclasses) {
        if (!c.creatable) continue;
        out.push_back({"Interface\\" + ole::GuidToString(c.dispatch->iid),
                       {"name=" + c.dispatch->name, "TypeLib=" + libid}});
        std::string clsid = ole::GuidToString(c.clsid);
        out.push_back({"CLSID\\" + clsid,
                       {"name=" + c.name, "ProgID=" + c.prog_id, "InprocServer32=" + server,
                        "TypeLib=" + libid, "Version=" + version}});
        out.push_back({"ProgID\\" + c.prog_id, {"CLSID=" + clsid}});
    }
    return out;
}

std::vector<std::string> names_of(const std::vector<win::RegistryKey>& keys) {
    std::vector<std::string> names;
    for (const auto& k : keys) names.push_back(k.name);
    return names;
}

HRESULT update(bool add) {
    std::vector<win::RegistryKey> own = own_keys();
    return win::UpdateRegistry(names_of(own), add ? own : std::vector<win::RegistryKey>{})
               ? S_OK
               : SELFREG_E_CLASS;
}

}  // namespace

std::string registry_path() { return win::RegistryPath(); }

std::string library_path() { return win::ModuleFileOf(reinterpret_cast<void*>(&DllRegisterServer)); }

}  // namespace com

HRESULT DllRegisterServer() { return com::update(true); }

HRESULT DllUnregisterServer() {
    if (!win::RegistryExists()) return S_OK;
    return com::update(false);
}
