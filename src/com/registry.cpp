// Registration: the library's sections of the registry file are replaced or removed as a
// whole; every other section is kept as it was. The file is rewritten through a temporary
// file and a rename, so a failed write never loses what was there.
#include "com/registry.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "com/dispatch.h"

namespace com {

namespace {

struct Section {
    std::string name;                // without brackets; empty for lines before the first
    std::vector<std::string> lines;  // the body, as written
};

std::vector<Section> read_sections(const std::string& path) {
    std::vector<Section> out(1);
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
            out.push_back({line.substr(1, line.size() - 2), {}});
        else
            out.back().lines.push_back(line);
    }
    return out;
}

// The sections this library owns, with their contents.
std::vector<Section> own_sections() {
    const TypeLibrary& lib = type_library();
    std::string libid = ole::GuidToString(lib.libid);
    std::string server = library_path();
    std::string version = std::to_string(lib.major) + "." + std::to_string(lib.minor);
    std::vector<Section> out;
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

bool is_own(const std::string& name, const std::vector<Section>& own) {
    for (auto& s : own)
        if (iequals(s.name, name)) return true;
    return false;
}

HRESULT write_sections(const std::string& path, const std::vector<Section>& sections) {
    std::error_code ec;
    std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    std::string temp = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::trunc);
        for (size_t i = 0; i < sections.size(); ++i) {
            if (i > 0 || !sections[i].name.empty()) out << '[' << sections[i].name << "]\n";
            for (auto& line : sections[i].lines) out << line << '\n';
        }
        out.flush();
        if (!out) {
            std::filesystem::remove(temp, ec);
            return SELFREG_E_CLASS;
        }
    }
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

// Rewrites the file without the library's sections, then with `add` appended.
HRESULT update(const std::vector<Section>& add) {
    std::string path = registry_path();
    if (path.empty()) return SELFREG_E_CLASS;
    std::vector<Section> own = own_sections();
    std::vector<Section> kept;
    for (auto& s : read_sections(path))
        if (s.name.empty() || !is_own(s.name, own)) kept.push_back(std::move(s));
    for (auto& s : add) kept.push_back(s);
    return write_sections(path, kept);
}

}  // namespace

std::string registry_path() {
    if (const char* p = std::getenv("LUMTWAIN_REGISTRY"); p && *p) return p;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        return std::string(x) + "/lumtwainpro/registry.ini";
    if (const char* h = std::getenv("HOME"); h && *h)
        return std::string(h) + "/.config/lumtwainpro/registry.ini";
    return {};
}

std::string library_path() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) && info.dli_fname) {
        std::error_code ec;
        auto absolute = std::filesystem::absolute(info.dli_fname, ec);
        return ec ? std::string(info.dli_fname) : absolute.string();
    }
    return {};
}

}  // namespace com

HRESULT DllRegisterServer() {
    return com::update(com::own_sections());
}

HRESULT DllUnregisterServer() {
    if (!std::filesystem::exists(com::registry_path())) return S_OK;
    return com::update({});
}
