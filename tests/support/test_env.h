// Shared helpers for the test programs.
#pragma once

#include <optional>
#include <string>

namespace lumtest {

// The source and build folders, from the environment CTest sets (or the current folder).
std::string source_dir();
std::string build_dir();
// The engine library built beside the control, and the tests' fake engine.
std::string real_engine_path();
std::string fake_engine_path();

// Sets an environment variable for the lifetime of the object, restoring it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

// A fresh temporary folder, removed with its contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Switches the process to a locale with a decimal comma for the object's lifetime, as a host
// may: an installed one, or one compiled for the test from the machine's locale sources.
// active() is false where neither can be had.
class DecimalCommaLocale {
  public:
    DecimalCommaLocale();
    ~DecimalCommaLocale();
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;
    bool active() const { return m_active; }

  private:
    TempDir m_dir;
    std::optional<ScopedEnv> m_locpath;
    bool m_active = false;
};

}  // namespace lumtest
