// A program outside the build that uses the library through pkg-config or find_package.
#include <cstdio>

#include "scan/twain.h"

int main() {
    twain control;
    control.GetWidth();  // no native image: status 2
    std::printf("%d\n", control.GetStat());
    return control.GetStat() == 2 ? 0 : 1;
}
