// The stand-in's image object, shared by the files of platform/gdiplus.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/pixel_format.h"
#include "platform/context.h"

namespace gdip {

struct PropertyData {
    PROPID id = 0;
    WORD type = 0;
    std::vector<BYTE> value;
};

// One frame (a GIF frame, a TIFF page, or the only frame of any other image).
// `scan0` is the top row; `stride` may be negative (bottom-up DIBs viewed in place).
// The pixels are either owned (`storage`) or the caller's (`storage` empty).
struct Frame {
    int32_t width = 0;
    int32_t height = 0;
    PixelFormat format = PixelFormat32bppARGB;
    int32_t stride = 0;
    BYTE* scan0 = nullptr;
    std::vector<BYTE> storage;
    std::vector<ARGB> palette;  // indexed formats; also kept for others when the file had one
    UINT palette_flags = 0;
    float dpi_x = 96, dpi_y = 96;
    // A TIFF page's own tags; selecting the page makes them the image's property items.
    std::vector<PropertyData> properties;

    bool owns_pixels() const { return !storage.empty() || scan0 == nullptr; }
    BYTE* row(int32_t y) const { return scan0 + ptrdiff_t(y) * stride; }
};

// Allocates a zero-filled frame with an aligned stride; OutOfMemory or InvalidParameter
// when the size cannot be had.
[[nodiscard]] GpStatus make_frame(int32_t width, int32_t height, PixelFormat format, Frame* out);
// The palette GDI+ gives a new bitmap of an indexed format (empty for other formats).
std::vector<ARGB> default_palette(PixelFormat format);
// Deep copy that owns its pixels.
[[nodiscard]] GpStatus copy_frame(const Frame& src, Frame* out);

enum class ImageKind { Bitmap, Metafile };

struct Image {
    ImageKind kind = ImageKind::Bitmap;
    GUID raw_format{};              // ImageFormatMemoryBMP for images made in memory
    std::vector<Frame> frames;      // at least one for bitmaps
    GUID frame_dimension{};         // FrameDimensionPage, FrameDimensionTime or Resolution
    size_t active = 0;
    std::vector<PropertyData> properties;
    UINT flags = 0;
    win::MetafileData metafile;     // ImageKind::Metafile
    int lock_count = 0;             // GdipBitmapLockBits outstanding

    // Set by the TIFF encoder while this image heads an open multipage file.
    std::shared_ptr<void> multipage_writer;

    Frame& frame() { return frames[active]; }
    const Frame& frame() const { return frames[active]; }
};

// The calling thread's image table.
platform::HandleTable<Image>& images();
Image* find_image(GpImage handle);
Image* find_bitmap(GpImage handle);  // null for metafiles too
// Registers an image; 0 when the table is full.
GpImage add_image(std::unique_ptr<Image> image);

// True while GdiplusStartup has a live token on this thread.
bool session_started();

}  // namespace gdip
