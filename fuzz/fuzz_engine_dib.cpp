// The DIB builder and reader: a page built from the first bytes, and the bytes read as a DIB.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dib.h"
#include "dib_view.h"
#include "page.h"

namespace {

constexpr size_t kMaxFuzzBytes = 1 << 22;

void build_page(const uint8_t* data, size_t size) {
    if (size < 12) return;
    lumtwain::PageRequest r;
    r.dpi_x = r.dpi_y = 10 + data[0] % 120;
    r.pixel_type = data[1] % 3;
    r.left_mm = data[2];
    r.top_mm = data[3];
    r.right_mm = r.left_mm + 1 + data[4];
    r.bottom_mm = r.top_mm + 1 + data[5];
    r.brightness = (int(data[6]) - 128) * 8;
    r.contrast = (int(data[7]) - 128) * 8;
    r.threshold = data[8];
    r.vanilla = data[9] & 1;
    r.blank = data[9] & 2;
    r.dark_border_mm = data[10] % 9;
    r.mark = lumtwain::PageMark{data[11] * 16 + 1, data[9] >> 7};
    auto format = lumtwain::PageDibFormat(r);
    if (!format) return;
    auto layout = lumtwain::ComputeDibLayout(*format);
    if (!layout || layout->total > kMaxFuzzBytes) return;
    std::vector<uint8_t> dib(layout->total);
    lumtwain::WriteDib(*format, *layout, lumtwain::PageRowWriter(r), dib.data());
    auto view = lumtwain::ParseDib(dib.data(), dib.size());
    if (!view || view->width() != format->width || view->height() != format->height)
        __builtin_trap();
    lumtwain::DecodePageMark(*view, lumtwain::MmToPixels(r.left_mm, r.dpi_x),
                             lumtwain::MmToPixels(r.top_mm, r.dpi_y));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    build_page(data, size);
    if (auto view = lumtwain::ParseDib(data, size)) {
        for (int y = 0; y < view->height() && y < 64; ++y)
            for (int x = 0; x < view->width() && x < 64; ++x) (void)view->grey(x, y);
        lumtwain::DecodePageMark(*view);
    }
    return 0;
}
