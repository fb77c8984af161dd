// Global memory blocks: movable and fixed blocks alike are handles of a per-thread table.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/context.h"
#include "platform/win/win.h"

namespace {

struct Block {
    std::unique_ptr<BYTE[]> bytes;
    SIZE_T size = 0;
    UINT flags = 0;
    int locks = 0;
};

platform::HandleTable<Block>& blocks() {
    return platform::thread_table<Block>(platform::HandleKind::Global);
}

std::unique_ptr<BYTE[]> allocate(SIZE_T bytes, bool zero) {
    // A zero-byte block still gets storage, so GlobalLock returns a usable pointer.
    SIZE_T n = bytes ? bytes : 1;
    BYTE* p = zero ? new (std::nothrow) BYTE[n]() : new (std::nothrow) BYTE[n];
    return std::unique_ptr<BYTE[]>(p);
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    auto block = std::make_unique<Block>();
    block->bytes = allocate(bytes, flags & GMEM_ZEROINIT);
    if (!block->bytes) return 0;
    block->size = bytes;
    block->flags = flags;
    return blocks().insert(std::move(block));
}

void* GlobalLock(HGLOBAL mem) {
    Block* b = blocks().find(mem);
    if (!b) return nullptr;
    ++b->locks;
    return b->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL mem) {
    Block* b = blocks().find(mem);
    if (!b || b->locks == 0) return FALSE;
    return --b->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL mem) { return blocks().erase(mem) ? 0 : mem; }

SIZE_T GlobalSize(HGLOBAL mem) {
    Block* b = blocks().find(mem);
    return b ? b->size : 0;
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
    Block* b = blocks().find(mem);
    if (!b || b->locks > 0) return 0;
    auto fresh = allocate(bytes, flags & GMEM_ZEROINIT);
    if (!fresh) return 0;
    std::memcpy(fresh.get(), b->bytes.get(), std::min(bytes, b->size));
    b->bytes = std::move(fresh);
    b->size = bytes;
    return mem;
}

namespace win {
size_t live_global_blocks() { return blocks().size(); }
}  // namespace win
