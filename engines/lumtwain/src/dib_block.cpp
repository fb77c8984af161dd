// DIBs in movable global blocks of the platform stand-in (the host side only).
#include "codes.h"
#include "dib.h"
#include "lumtwainpro/host.h"

namespace lumtwain {

HGLOBAL BuildDibBlock(const DibFormat& format, const RowWriter& rows, int* condition) {
    std::optional<DibLayout> layout = ComputeDibLayout(format);
    if (!layout) {
        if (condition) *condition = kTwccBadValue;
        return 0;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, layout->total);
    uint8_t* dst = block ? static_cast<uint8_t*>(GlobalLock(block)) : nullptr;
    if (!dst) {
        if (block) GlobalFree(block);
        if (condition) *condition = kTwccLowMemory;
        return 0;
    }
    WriteDib(format, *layout, rows, dst);
    GlobalUnlock(block);
    return block;
}

}  // namespace lumtwain
