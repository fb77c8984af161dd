#include "support/test_env.h"

#include <clocale>
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

namespace {
bool comma_locale(const char* name) {
    return std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',';
}
}  // namespace

DecimalCommaLocale::DecimalCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"})
        if ((m_active = comma_locale(name))) return;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + m_dir.file("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    m_locpath.emplace("LOCPATH", m_dir.path());
    m_active = comma_locale("de_DE.UTF-8");
}

DecimalCommaLocale::~DecimalCommaLocale() {
    std::setlocale(LC_ALL, "C");
}

}  // namespace lumtest
