#include "support/test_env.h"

#include <cstdlib>
#include <filesystem>

namespace lumtest {

std::string source_dir() {
    const char* s = std::getenv("LUM_SOURCE_DIR");
    return s ? s : LUM_SOURCE_DIR_DEFAULT;
}

std::string build_dir() {
    const char* s = std::getenv("LUM_BUILD_DIR");
    return s ? s : LUM_BUILD_DIR_DEFAULT;
}

std::string real_engine_path() { return build_dir() + "/lib/liblumtwain.so"; }
std::string fake_engine_path() { return build_dir() + "/tests/engines/libfake_lumtwain.so"; }

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
        m_had = true;
        m_old = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_had) setenv(m_name.c_str(), m_old.c_str(), 1);
    else unsetenv(m_name.c_str());
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "lumtest-XXXXXX").string();
    m_path = mkdtemp(tmpl.data()) ? tmpl : "";
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
}

}  // namespace lumtest
