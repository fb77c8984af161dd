// The registry as a per-user file of [key] sections. A rewrite replaces the file as a whole
// (a failed write never loses what was there).
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <strings.h>

#include "platform/win/win.h"

namespace win {
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

bool named(const std::string& name, const std::vector<std::string>& names) {
    for (const auto& n : names)
        if (strcasecmp(n.c_str(), name.c_str()) == 0) return true;
    return false;
}

// Creates the folders above `path` (mode 0700: the registry is the user's).
bool make_parents(const std::string& path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        std::string folder = path.substr(0, at);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            SetLastErrorFromErrno(errno, "create", folder);
            return false;
        }
    }
    return true;
}

}  // namespace

std::string RegistryPath() {
    std::string explicit_path = GetEnvironmentString("LUMTWAIN_REGISTRY");
    if (!explicit_path.empty()) return explicit_path;
    std::string config = GetEnvironmentString("XDG_CONFIG_HOME");
    if (!config.empty()) return config + "/lumtwainpro/registry.ini";
    std::string home = GetEnvironmentString("HOME");
    if (!home.empty()) return home + "/.config/lumtwainpro/registry.ini";
    return {};
}

bool RegistryExists() {
    struct stat st {};
    std::string path = RegistryPath();
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool UpdateRegistry(const std::vector<std::string>& remove, const std::vector<RegistryKey>& add) {
    std::string path = RegistryPath();
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        SetErrorDetail("registry: neither LUMTWAIN_REGISTRY, XDG_CONFIG_HOME nor HOME is set");
        return false;
    }
    std::vector<Section> kept;
    for (auto& s : read_sections(path))
        if (s.name.empty() || !named(s.name, remove)) kept.push_back(std::move(s));
    for (const auto& k : add) kept.push_back({k.name, k.values});
    std::string text;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0 || !kept[i].name.empty()) text += '[' + kept[i].name + "]\n";
        for (const auto& line : kept[i].lines) text += line + '\n';
    }
    if (!make_parents(path)) return false;
    auto file = CreateReplacement(path);
    return file && file->Write(text.data(), text.size()) && file->Commit();
}

}  // namespace win
