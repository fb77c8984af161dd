// Shared helpers for the test programs.
#pragma once

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

}  // namespace lumtest
