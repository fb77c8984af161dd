// A program outside the build that uses the library through pkg-config or find_package,
// from the build tree or an installed prefix, with the public headers only.
#include <cstdio>

#include "lumtwainpro/lumtwainpro.h"

int main() {
    twain control;
    win::SetMessageBoxEcho(false);
    control.GetWidth();  // no native image: status 2
    int32_t status = control.GetStat();
    // The engine beside the control answers: the virtual scanner is the default source.
    std::string source = control.TwainGetDefaultSourceName();
    std::printf("%d %s\n", status, source.c_str());
    return status == 2 && source == "Virtual Scanner" ? 0 : 1;
}
