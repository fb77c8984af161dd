// Device contexts: a memory DC draws into the bitmap selected into it; a window's DC draws
// into the window's surface.
#include "platform/win/gdi_p.h"
#include "platform/win/window_p.h"

namespace {

struct DeviceContext {
    bool screen = false;
    HBITMAP stock = 0;     // the 1x1 bitmap a new memory DC starts with
    HBITMAP selected = 0;
};

platform::HandleTable<DeviceContext>& dcs() {
    return platform::thread_table<DeviceContext>(platform::HandleKind::DeviceContext);
}

HDC screen_dc() {
    thread_local HDC dc = 0;
    if (!dcs().find(dc)) {
        auto d = std::make_unique<DeviceContext>();
        d->screen = true;
        dc = dcs().insert(std::move(d));
    }
    return dc;
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
    auto d = std::make_unique<DeviceContext>();
    d->stock = win::create_bitmap(1, 1, 1, false);
    d->selected = d->stock;
    HDC dc = dcs().insert(std::move(d));
    if (auto* bm = win::find_gdi_bitmap(dcs().find(dc)->selected)) bm->selected_into = dc;
    return dc;
}

BOOL DeleteDC(HDC dc) {
    std::unique_ptr<DeviceContext> d = dcs().take(dc);
    if (!d || d->screen) return FALSE;
    if (auto* bm = win::find_gdi_bitmap(d->selected)) bm->selected_into = 0;
    win::gdi_objects().erase(d->stock);
    return TRUE;
}

HDC GetDC(HWND window) {
    if (!window) return screen_dc();
    return win::window_dc(window);
}
int ReleaseDC(HWND, HDC dc) { return dcs().find(dc) ? 1 : 0; }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContext* d = dcs().find(dc);
    win::GdiBitmap* bm = win::find_gdi_bitmap(object);
    if (!d || d->screen || !bm) return 0;
    if (bm->selected_into && bm->selected_into != dc) return 0;
    HGDIOBJ previous = d->selected;
    if (auto* old = win::find_gdi_bitmap(previous)) old->selected_into = 0;
    d->selected = object;
    bm->selected_into = dc;
    return previous;
}

int GetDeviceCaps(HDC dc, int index) {
    if (!dcs().find(dc)) return 0;
    switch (index) {
        case LOGPIXELSX: case LOGPIXELSY: return 96;
        case BITSPIXEL: return 32;
        default: return 0;
    }
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
    DeviceContext* d = dcs().find(dc);
    win::GdiBitmap* bm = d ? win::find_gdi_bitmap(d->selected) : nullptr;
    if (!bm || !colors) return 0;
    UINT n = 0;
    for (UINT i = start; i < bm->colors.size() && n < count; ++i) colors[n++] = bm->colors[i];
    return n;
}

namespace win {
bool GetSurface(HDC dc, Surface* out) {
    DeviceContext* d = dcs().find(dc);
    GdiBitmap* bm = d ? find_gdi_bitmap(d->selected) : nullptr;
    if (!bm || bm->bits_per_pixel != 32 || !out) return false;
    out->scan0 = bm->top_row();
    out->width = bm->width;
    out->height = bm->height;
    out->stride = bm->signed_stride();
    return true;
}
}  // namespace win
