#include "viewer/viewer_engine.h"

#include <algorithm>

#include "imaging/file_load.h"
#include "imaging/image_props.h"
#include "platform/gdiplus/gdiplus_graphics.h"
#include "platform/win/win.h"

namespace viewer {

EngineStatus LoadFile(GpImage& image, const std::string& path, bool colour_managed) {
    image = 0;
    return colour_managed ? modGdiplus::LoadImageFromFileICM(image, path)
                          : modGdiplus::LoadImageFromFile(image, path);
}

EngineStatus RotateFlip(GpImage image, int32_t rotate_flip) {
    if (!modGdiplus::IsImageAlive(image)) return Gdiplus::InvalidParameter;
    return GdipImageRotateFlip(image, RotateFlipType(rotate_flip));
}

EngineStatus EngineDraw(GpGraphics g, GpImage image, const DrawRequest& r, int32_t mode) {
    GdipSetCompositingQuality(g, CompositingQualityHighSpeed);
    GdipSetSmoothingMode(g, SmoothingModeNone);
    GdipSetPixelOffsetMode(g, PixelOffsetModeNone);
    GdipSetInterpolationMode(g, InterpolationMode(mode));
    return GdipDrawImageRectRectI(g, image, r.dst_x, r.dst_y, r.dst_width, r.dst_height, r.src_x,
                                  r.src_y, r.src_width, r.src_height, UnitPixel, 0, nullptr,
                                  nullptr);
}

namespace {

thread_local DrawCall t_draw = &EngineDraw;

EngineStatus draw_once(GpGraphics g, GpImage image, const DrawRequest& r, int32_t mode) {
    return t_draw(g, image, r, mode);
}

}  // namespace

DrawCall SetDrawCall(DrawCall call) {
    DrawCall previous = t_draw;
    t_draw = call ? call : &EngineDraw;
    return previous;
}

EngineStatus DrawImagePart(GpGraphics graphics, GpImage image, const DrawRequest& r) {
    EngineStatus status = draw_once(graphics, image, r, r.interpolation);
    if (status != Gdiplus::OutOfMemory) return status;
    status = draw_once(graphics, image, r, InterpolationModeNearestNeighbor);
    if (status != Gdiplus::OutOfMemory) return status;
    // Only the visible part, in the image's own format.
    PixelFormat format = 0;
    GdipGetImagePixelFormat(image, &format);
    GpImage clone = 0;
    status = modGdiplus::CloneImageArea(image, r.src_x, r.src_y, r.src_width, r.src_height, format,
                                        clone);
    if (status != Gdiplus::Ok) return status;
    DrawRequest whole = r;
    whole.src_x = whole.src_y = 0;
    status = draw_once(graphics, clone, whole, InterpolationModeNearestNeighbor);
    GdipDisposeImage(clone);  // not in the image table
    return status;
}

namespace {

bool opaque(GpImage image) {
    PixelFormat f = 0;
    if (GdipGetImagePixelFormat(image, &f) != Gdiplus::Ok) return false;
    return !(f & (PixelFormatAlpha | PixelFormatPAlpha | PixelFormatIndexed)) && f != 0;
}

// The parts of the surface outside the destination rectangle, in the colour.
EngineStatus clear_around(GpGraphics g, ARGB color, int width, int height, const DrawRequest& r) {
    GpSolidFill brush = 0;
    EngineStatus status = GdipCreateSolidFill(color, &brush);
    if (status != Gdiplus::Ok) return status;
    int x0 = std::clamp(r.dst_x, 0, width), x1 = std::clamp(r.dst_x + r.dst_width, 0, width);
    int y0 = std::clamp(r.dst_y, 0, height), y1 = std::clamp(r.dst_y + r.dst_height, 0, height);
    const GpRect bands[] = {{0, 0, width, y0},
                            {0, y1, width, height - y1},
                            {0, y0, x0, y1 - y0},
                            {x1, y0, width - x1, y1 - y0}};
    for (const GpRect& b : bands)
        if (b.Width > 0 && b.Height > 0 && status == Gdiplus::Ok)
            status = GdipFillRectangleI(g, brush, b.X, b.Y, b.Width, b.Height);
    GdipDeleteBrush(brush);
    return status;
}

}  // namespace

GpGraphics GraphicsOnDc(HDC dc, ARGB clear, GpImage image, const DrawRequest& r,
                        EngineStatus* status) {
    GpGraphics g = 0;
    *status = GdipCreateFromHDC(dc, &g);
    if (*status != Gdiplus::Ok) return 0;
    win::Surface s;
    bool covered = opaque(image) && win::GetSurface(dc, &s);
    *status = covered ? clear_around(g, clear, s.width, s.height, r) : GdipGraphicsClear(g, clear);
    if (*status != Gdiplus::Ok) {
        GdipDeleteGraphics(g);
        return 0;
    }
    return g;
}

}  // namespace viewer
