// The virtual scanner's configuration parser, on any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    lumtwain::ConfigResult r = lumtwain::ParseVirtualConfig(text);
    // Whatever was accepted stays within the limits the scanner relies on.
    if (r.config.pages < 0 || r.config.page_width_mm < 10 || r.config.page_height_mm > 1000 ||
        r.config.delay_ms > 60000 || r.config.extra_sources > 16)
        __builtin_trap();
    double w, h;
    lumtwain::ParsePageSize(text, &w, &h);
    return 0;
}
