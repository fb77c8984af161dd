// What the scanning benchmarks share: memory figures of a process, and a configuration folder
// of the benchmark's own (files written into it, environment variables pointing at them).
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace benchsupport {

// A field of /proc/<pid>/status in bytes ("VmHWM", "VmRSS"), 0 when unreadable.
inline double status_bytes(const char* field, const std::string& pid = "self") {
    std::ifstream in("/proc/" + pid + "/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::atof(line.c_str() + key.size()) * 1024;
    return 0;
}

// A temporary folder with the files a run configures itself with, removed at the end.
class ConfigFolder {
public:
    ConfigFolder() {
        char tmpl[] = "/tmp/lum-bench-XXXXXX";
        if (mkdtemp(tmpl)) m_dir = tmpl;
    }
    ~ConfigFolder() {
        for (const auto& f : m_files) std::remove(f.c_str());
        std::remove(m_dir.c_str());
    }
    ConfigFolder(const ConfigFolder&) = delete;
    ConfigFolder& operator=(const ConfigFolder&) = delete;

    const std::string& path() const { return m_dir; }
    // Writes `name` with `text`; returns its path.
    std::string write(const std::string& name, const std::string& text) {
        std::string file = m_dir + "/" + name;
        std::ofstream(file) << text;
        m_files.push_back(file);
        return file;
    }

private:
    std::string m_dir;
    std::vector<std::string> m_files;
};

// The virtual scanner configured with `lines`, SANE left out.
struct VirtualScanner {
    explicit VirtualScanner(const std::string& lines) {
        setenv("LUMTWAIN_VIRTUAL", folder.write("virtual.conf", lines).c_str(), 1);
        setenv("LUMTWAIN_SANE", "0", 1);
    }
    ConfigFolder folder;
};

}  // namespace benchsupport
