// The built liblumtwain.so, loaded as the control loads it.
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include "engine_fixture.h"

namespace lumtwain::test {
namespace {

struct DlCloser {
    void operator()(void* h) const { dlclose(h); }
};

TEST(ExportsTest, LibraryExportsEveryOperation) {
    // The library sits in lib/ beside the bin/ of this program.
    std::string path = std::filesystem::read_symlink("/proc/self/exe").parent_path().string() +
                       "/../lib/liblumtwain.so";
    if (const char* build = std::getenv("LUM_BUILD_DIR"))
        path = std::string(build) + "/lib/liblumtwain.so";
    std::unique_ptr<void, DlCloser> lib(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    ASSERT_TRUE(lib) << dlerror();
    for (const char* name :
         {"LUMTWAIN_GetVersion", "LUMTWAIN_State", "LUMTWAIN_AcquireNative",
          "LUMTWAIN_LoadCapValuesN", "LUMTWAIN_GetLastStepCapValueRange", "LUMTWAIN_ToFix32",
          "LUMTWAIN_SetImageLayout", "LUMTWAIN_GetPhysicalHeight", "LUMTWAIN_TestReset"})
        EXPECT_NE(dlsym(lib.get(), name), nullptr) << name;
    auto version = reinterpret_cast<int32_t (*)()>(dlsym(lib.get(), "LUMTWAIN_GetVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_GE(version(), 405);
}

}  // namespace
}  // namespace lumtwain::test
