// Automatic border detection, deskew and rotation done by the engine on a source's pages
// when the source cannot do them itself.
#pragma once

#include "lumtwainpro/wintypes.h"

namespace lumtwain {

struct Emulation {
    bool border = false;  // crop a dark scanner border to the page
    bool deskew = false;  // turn the page straight, within ±5°
    bool rotate = false;  // turn it upright by 90° steps from the text direction
    bool any() const { return border || deskew || rotate; }
};

// Applies `e` to the DIB in `block` and returns the block that holds the result (the same
// one when nothing changed); the block passed in is the function's. 0 with `condition`
// (TWCC_LOWMEMORY) when the result cannot be allocated; the block passed in is then freed.
[[nodiscard]] HGLOBAL ApplyEmulation(HGLOBAL block, const Emulation& e, int* condition);

}  // namespace lumtwain
