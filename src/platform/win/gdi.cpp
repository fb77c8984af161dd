// GDI bitmaps, palettes, icons and recorded metafiles.
#include <algorithm>
#include <limits>

#include "platform/win/dib.h"
#include "platform/win/gdi_p.h"

namespace win {

platform::HandleTable<GdiObject>& gdi_objects() {
    return platform::thread_table<GdiObject>(platform::HandleKind::GdiObject);
}

GdiBitmap* find_gdi_bitmap(HGDIOBJ handle) {
    GdiObject* o = gdi_objects().find(handle);
    return o ? std::get_if<GdiBitmap>(o) : nullptr;
}

HBITMAP create_bitmap(int width, int height, int bits_per_pixel, bool bottom_up) {
    if (width <= 0 || height <= 0) return 0;
    switch (bits_per_pixel) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return 0;
    }
    auto stride = DibStride(width, bits_per_pixel);
    auto bytes = DibImageBytes(width, height, bits_per_pixel);
    if (!stride || !bytes || *bytes > (uint64_t(1) << 31)) return 0;
    GdiBitmap bm;
    bm.width = width;
    bm.height = height;
    bm.bits_per_pixel = bits_per_pixel;
    bm.stride = int(*stride);
    bm.bottom_up = bottom_up;
    try {
        bm.storage.assign(size_t(*bytes), 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return gdi_objects().insert(std::make_unique<GdiObject>(std::move(bm)));
}

bool GetBitmapView(HBITMAP bitmap, BitmapView* out) {
    GdiBitmap* bm = find_gdi_bitmap(bitmap);
    if (!bm || !out) return false;
    out->scan0 = bm->top_row();
    out->width = bm->width;
    out->height = bm->height;
    out->stride = bm->signed_stride();
    out->bits_per_pixel = bm->bits_per_pixel;
    out->colors = bm->colors;
    return true;
}

HENHMETAFILE RecordMetafile(const MetafileData& data, bool enhanced) {
    if (data.width <= 0 || data.height <= 0) return 0;
    return gdi_objects().insert(std::make_unique<GdiObject>(GdiMetafile{data, enhanced}));
}

const MetafileData* FindMetafile(HGDIOBJ metafile, bool* enhanced) {
    GdiObject* o = gdi_objects().find(metafile);
    auto* m = o ? std::get_if<GdiMetafile>(o) : nullptr;
    if (!m) return nullptr;
    if (enhanced) *enhanced = m->enhanced;
    return &m->data;
}

}  // namespace win

using namespace win;

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS) return 0;
    // The caller vouches for the header, its masks and its colour table.
    const auto* p = reinterpret_cast<const uint8_t*>(info);
    DibHeader h;
    if (!ParseDibHeader(p, SIZE_MAX, &h) || h.compressed() || h.bits == 2) return 0;
    HBITMAP hbm = create_bitmap(int(h.width), int(h.height), h.bits, !h.top_down);
    GdiBitmap* bm = find_gdi_bitmap(hbm);
    if (!bm) return 0;
    if (h.bits <= 8) {
        const auto* colors = reinterpret_cast<const RGBQUAD*>(p + h.table_offset);
        bm->colors.assign(colors, colors + h.table_entries);
    }
    if (bits) *bits = bm->storage.data();
    return hbm;
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
    GdiBitmap* bm = find_gdi_bitmap(bitmap);
    DibHeader h;
    if (!bm || !bits || !info || usage != DIB_RGB_COLORS) return 0;
    if (!ParseDibHeader(reinterpret_cast<const uint8_t*>(info), SIZE_MAX, &h) || h.compressed() ||
        h.bits != bm->bits_per_pixel || h.width != bm->width || h.height != bm->height)
        return 0;
    if (start >= UINT(bm->height)) return 0;
    lines = std::min<UINT>(lines, UINT(bm->height) - start);
    const size_t row = std::min<size_t>(h.stride, size_t(bm->stride));
    const auto* src = static_cast<const BYTE*>(bits);
    for (UINT i = 0; i < lines; ++i) {
        // Scan lines count from the bottom of a bottom-up DIB, from the top of a top-down one.
        int line = int(start + i);
        int y = h.top_down ? line : bm->height - 1 - line;
        std::memcpy(bm->top_row() + ptrdiff_t(y) * bm->signed_stride(), src + size_t(i) * h.stride,
                    row);
    }
    return int(lines);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
    return create_bitmap(width, height, 32, false);
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palNumEntries == 0) return 0;
    GdiPalette p;
    p.entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    return gdi_objects().insert(std::make_unique<GdiObject>(std::move(p)));
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    GdiObject* o = gdi_objects().find(palette);
    auto* p = o ? std::get_if<GdiPalette>(o) : nullptr;
    if (!p) return 0;
    if (!entries) return UINT(p->entries.size());
    UINT n = 0;
    for (UINT i = start; i < p->entries.size() && n < count; ++i) entries[n++] = p->entries[i];
    return n;
}

namespace {
HBITMAP copy_bitmap(HBITMAP src) {
    GdiBitmap* bm = find_gdi_bitmap(src);
    if (!bm) return 0;
    GdiBitmap copy = *bm;
    copy.selected_into = 0;
    return gdi_objects().insert(std::make_unique<GdiObject>(std::move(copy)));
}
}  // namespace

HICON CreateIconIndirect(const ICONINFO* info) {
    if (!info || !find_gdi_bitmap(info->hbmMask)) return 0;
    if (info->hbmColor && !find_gdi_bitmap(info->hbmColor)) return 0;
    GdiIcon icon;
    icon.mask = copy_bitmap(info->hbmMask);
    icon.color = info->hbmColor ? copy_bitmap(info->hbmColor) : 0;
    icon.is_icon = info->fIcon != FALSE;
    return gdi_objects().insert(std::make_unique<GdiObject>(icon));
}

BOOL GetIconInfo(HICON handle, ICONINFO* info) {
    GdiObject* o = gdi_objects().find(handle);
    auto* icon = o ? std::get_if<GdiIcon>(o) : nullptr;
    if (!icon || !info) return FALSE;
    info->fIcon = icon->is_icon;
    info->xHotspot = info->yHotspot = 0;
    info->hbmMask = copy_bitmap(icon->mask);
    info->hbmColor = icon->color ? copy_bitmap(icon->color) : 0;
    return TRUE;
}

BOOL DestroyIcon(HICON handle) {
    GdiObject* o = gdi_objects().find(handle);
    auto* icon = o ? std::get_if<GdiIcon>(o) : nullptr;
    if (!icon) return FALSE;
    gdi_objects().erase(icon->color);
    gdi_objects().erase(icon->mask);
    gdi_objects().erase(handle);
    return TRUE;
}

int GetObject(HGDIOBJ object, int size, void* out) {
    GdiObject* o = gdi_objects().find(object);
    if (!o) return 0;
    if (auto* bm = std::get_if<GdiBitmap>(o)) {
        if (!out) return sizeof(BITMAP);
        if (size < int(sizeof(BITMAP))) return 0;
        BITMAP b{0, bm->width, bm->height, bm->stride, 1, WORD(bm->bits_per_pixel),
                 bm->storage.data()};
        std::memcpy(out, &b, sizeof b);
        return sizeof(BITMAP);
    }
    if (auto* p = std::get_if<GdiPalette>(o)) {
        if (!out) return sizeof(WORD);
        if (size < int(sizeof(WORD))) return 0;
        WORD n = WORD(p->entries.size());
        std::memcpy(out, &n, sizeof n);
        return sizeof(WORD);
    }
    return 0;
}

BOOL DeleteObject(HGDIOBJ object) {
    GdiObject* o = gdi_objects().find(object);
    if (!o || std::holds_alternative<GdiMetafile>(*o)) return FALSE;
    // A bitmap selected into a DC cannot be deleted, as on the platform.
    if (auto* bm = std::get_if<GdiBitmap>(o); bm && bm->selected_into) return FALSE;
    if (std::holds_alternative<GdiIcon>(*o)) return DestroyIcon(object);
    return gdi_objects().erase(object) ? TRUE : FALSE;
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile) {
    bool enhanced = false;
    if (!FindMetafile(metafile, &enhanced) || !enhanced) return FALSE;
    return gdi_objects().erase(metafile) ? TRUE : FALSE;
}

BOOL DeleteMetaFile(HMETAFILE metafile) {
    bool enhanced = true;
    if (!FindMetafile(metafile, &enhanced) || enhanced) return FALSE;
    return gdi_objects().erase(metafile) ? TRUE : FALSE;
}
