// The image engine operations the viewer calls, each in one place: loading a file with the
// engine's fallbacks, rotating, and drawing part of an image on a window or an image.
#pragma once

#include <string>

#include "imaging/modGdiplus.h"

namespace viewer {

using modGdiplus::EngineStatus;

// The engine's file loader: 0 with a registered image, 10 when there is no such file.
EngineStatus LoadFile(GpImage& image, const std::string& path, bool colour_managed);
// Rotates and flips the image in place (GDI+ rotate-flip values 0 to 7).
EngineStatus RotateFlip(GpImage image, int32_t rotate_flip);

// One drawing of a source rectangle into a destination rectangle (pixels).
struct DrawRequest {
    int32_t dst_x = 0, dst_y = 0, dst_width = 0, dst_height = 0;
    int32_t src_x = 0, src_y = 0, src_width = 0, src_height = 0;
    int32_t interpolation = 5;  // a GDI+ InterpolationMode
};
// One drawing call of the engine with the interpolation mode given; tests put their own in
// its place (SetDrawCall, nullptr restores the engine's) to reach the out-of-memory paths.
using DrawCall = EngineStatus (*)(GpGraphics, GpImage, const DrawRequest&, int32_t mode);
DrawCall SetDrawCall(DrawCall call);
EngineStatus EngineDraw(GpGraphics graphics, GpImage image, const DrawRequest& r, int32_t mode);
// On the graphics of a device context or an image: smoothing none, pixel offset none,
// compositing high speed, the interpolation asked. Out of memory (3) is retried with nearest
// neighbour and then through a clone of the source rectangle drawn unscaled.
EngineStatus DrawImagePart(GpGraphics graphics, GpImage image, const DrawRequest& request);
// A graphics object on the DC, cleared with `argb` where the drawing will not cover it: an
// image without transparency hides what is under it, so only the bands around the
// destination are cleared then. 0 on failure (the status in `status`).
GpGraphics GraphicsOnDc(HDC dc, ARGB clear, GpImage image, const DrawRequest& request,
                        EngineStatus* status);

}  // namespace viewer
