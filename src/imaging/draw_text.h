// Text drawing into an image, font queries, and painting an image onto a device.
// Coordinates here are the engine's, 0-based.
#pragma once

#include <string>

#include "imaging/modGdiplus.h"

namespace modGdiplus {

struct TextFont {
    std::string name = "Arial";
    float height = 0;  // in `unit`
    int32_t style = 0;
    int32_t unit = 3;  // UnitPoint
    bool anti_alias = true;
};

// How the text is filled: a colour, a horizontal gradient over the text's box between two
// colours, or a texture loaded from an image file; optionally on a box of a background colour.
struct TextFill {
    enum Kind { Solid, Gradient, Texture } kind = Solid;
    ARGB color = 0xFF000000;
    ARGB end_color = 0xFF000000;
    std::string texture_path;
    bool background = false;
    ARGB back_color = 0xFFFFFFFF;
};

// The text's layout origin at (x, y), rotated by `angle` degrees about it (0: not rotated).
// 14 when the font family is not installed, 60 for an indexed image below GDI+ 6, the texture
// loader's status (10 for a missing file); nothing is drawn on a failure.
EngineStatus DrawImageText(GpImage image, const std::string& text, float x, float y, float angle,
                           const TextFont& font, const TextFill& fill);
// Laid out in the rectangle with `alignment` (0 near, 1 centre, 2 far) both ways; with
// `draw_box` the rectangle is outlined in opaque black, one pixel wide.
EngineStatus DrawImageTextBox(GpImage image, const std::string& text, float left, float top,
                              float width, float height, int32_t alignment, const TextFont& font,
                              ARGB color, bool draw_box);
// The status of finding the family; `available` as GDI+ reports the style.
EngineStatus FontIsStyleAvailable(const std::string& name, int32_t style, bool& available);

// Paints the whole image (no source rectangle) or a part of it onto a device context (dc) or
// a window (hwnd). Smoothing outside 0..4 becomes 3, interpolation outside 0..7 becomes 5;
// `page_unit` other than 2 applies to the device-context, whole-image form. A failed draw is
// tried once more with the fastest settings.
struct DeviceTarget {
    HDC dc = 0;
    HWND window = 0;
};
struct SourceRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};
EngineStatus DisplayOnDevice(GpImage image, const DeviceTarget& target, float x, float y,
                             float width, float height, const SourceRect* source, int32_t smoothing,
                             int32_t interpolation, int32_t page_unit = 2);

// UTF-8 to the platform's UTF-16, NUL-terminated.
std::u16string Utf16Of(const std::string& text);

}  // namespace modGdiplus
