// GDI objects of the win stand-in.
#pragma once

#include <variant>
#include <vector>

#include "platform/context.h"
#include "platform/win/win.h"

namespace win {

struct GdiBitmap {
    int width = 0, height = 0;
    int bits_per_pixel = 32;
    int stride = 0;           // bytes per row in storage (positive)
    bool bottom_up = false;   // storage row 0 is the bottom row
    std::vector<BYTE> storage;
    std::vector<RGBQUAD> colors;
    HDC selected_into = 0;

    BYTE* top_row() {
        return bottom_up ? storage.data() + size_t(height - 1) * stride : storage.data();
    }
    int signed_stride() const { return bottom_up ? -stride : stride; }
};

struct GdiPalette {
    std::vector<PALETTEENTRY> entries;
};

struct GdiIcon {
    HBITMAP color = 0;  // owned copies
    HBITMAP mask = 0;
    bool is_icon = true;
};

struct GdiMetafile {
    MetafileData data;
    bool enhanced = true;
};

using GdiObject = std::variant<GdiBitmap, GdiPalette, GdiIcon, GdiMetafile>;

platform::HandleTable<GdiObject>& gdi_objects();
GdiBitmap* find_gdi_bitmap(HGDIOBJ handle);
// A new bitmap with zeroed pixels; 0 when the size cannot be allocated.
HBITMAP create_bitmap(int width, int height, int bits_per_pixel, bool bottom_up);

}  // namespace win
