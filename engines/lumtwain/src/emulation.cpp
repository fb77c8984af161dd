#include "emulation.h"

namespace lumtwain {

HGLOBAL ApplyEmulation(HGLOBAL block, const Emulation& e, int* condition) {
    return block;
}

}  // namespace lumtwain
