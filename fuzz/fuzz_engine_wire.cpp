// What the engine reads from its SANE worker: a message of any kind, every reply body, and a
// page that must be a whole DIB before the engine takes it.
#include <cstddef>
#include <cstdint>

#include "protocol.h"
#include "sane_link.h"
#include "wire.h"

namespace {

void read_bodies(const std::vector<uint8_t>& body) {
    using namespace lumtwain::wire;
    {
        Reader r(body);
        std::vector<DeviceInfo> devices;
        r.i32();
        (void)Get(r, &devices);
    }
    {
        Reader r(body);
        OpenReply o;
        if (Get(r, &o) && o.options.size() > kMaxItems) __builtin_trap();
    }
    {
        Reader r(body);
        ScanReply s;
        if (Get(r, &s) && s.dib_bytes > (uint64_t(1) << 31)) __builtin_trap();
    }
    {
        Reader r(body);
        ScanRequest s;
        (void)Get(r, &s);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumtwain::wire::Message m;
    if (lumtwain::wire::DecodeMessage(data, size, &m)) read_bodies(m.body);
    lumtwain::IsWholeDib(data, size);
    return 0;
}
