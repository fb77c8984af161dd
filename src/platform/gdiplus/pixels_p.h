// Helpers shared by pixel access, cloning and the encoders.
#pragma once

#include "platform/gdiplus/convert.h"
#include "platform/gdiplus/image_p.h"

namespace gdip {

inline PixelView frame_view(Frame& f) {
    return {f.scan0, f.width, f.height, f.stride, f.format, f.palette, 0};
}
inline ConstPixelView frame_view(const Frame& f) {
    return {f.scan0, f.width, f.height, f.stride, f.format, f.palette, 0};
}

// The palette pixels of `format` are given when they are read from or written to a frame
// of another format: the frame's own when it is indexed and fits, else the default.
std::vector<ARGB> palette_for(const Frame& frame, PixelFormat format);

// A new frame of `format` holding `src` converted (same size and resolution). Indexed
// targets get `palette`, or palette_for() when it is empty.
[[nodiscard]] GpStatus convert_frame(const Frame& src, PixelFormat format, Frame* out,
                                     std::vector<ARGB> palette = {});

// True when the rectangle lies inside the frame and is not empty.
inline bool rect_inside(const GpRect& r, const Frame& f) {
    return r.X >= 0 && r.Y >= 0 && r.Width > 0 && r.Height > 0 &&
           int64_t(r.X) + r.Width <= f.width && int64_t(r.Y) + r.Height <= f.height;
}

// True while a GdipBitmapLockBits on the image is outstanding.
inline bool is_locked(const Image& img) {
    return img.lock_count > 0;
}

}  // namespace gdip
