// The stand-in's image object, shared by the files of platform/gdiplus.
#pragma once

#include <exception>
#include <memory>
#include <new>
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
    // A page's own tags (TIFF): while the page is active they are the image's property items.
    bool has_properties = false;
    std::vector<PropertyData> properties;

    bool owns_pixels() const { return !storage.empty() || scan0 == nullptr; }
    BYTE* row(int32_t y) const { return scan0 + ptrdiff_t(y) * stride; }
};

// Allocates a zero-filled frame with an aligned stride; OutOfMemory or InvalidParameter
// when the size cannot be had.
[[nodiscard]] GpStatus make_frame(int32_t width, int32_t height, PixelFormat format, Frame* out);
// Deep copy that owns its pixels.
[[nodiscard]] GpStatus copy_frame(const Frame& src, Frame* out);

enum class ImageKind { Bitmap, Metafile };

// A file of several frames written one frame at a time (multipage TIFF). finish() completes
// the file; WrongState when it already was.
class MultiFrameWriter {
public:
    virtual ~MultiFrameWriter() = default;
    [[nodiscard]] virtual GpStatus add_frame(const Frame& frame, ULONG compression) = 0;
    [[nodiscard]] virtual GpStatus finish() = 0;
};

struct Image {
    // First, so that it outlives the frames whose pixels it may own.
    std::unique_ptr<GpImageAttachment> attachment;
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
    std::unique_ptr<MultiFrameWriter> multipage;

    Frame& frame() { return frames[active]; }
    const Frame& frame() const { return frames[active]; }
    // The property items in force: the active page's own, else the image's. Edits go to the
    // same list, so they survive page switches.
    std::vector<PropertyData>& props() {
        return !frames.empty() && frames[active].has_properties ? frames[active].properties
                                                                : properties;
    }
    const std::vector<PropertyData>& props() const { return const_cast<Image*>(this)->props(); }
};

// Runs `f`, which returns a status, so that no exception leaves the flat API: running out of
// memory gives OutOfMemory and any other failure GenericError, each with its detail kept.
template <class F>
GpStatus guarded(F&& f) noexcept {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        win::SetErrorDetail("out of memory");
        return Gdiplus::OutOfMemory;
    } catch (const std::exception& e) {
        win::SetErrorDetail(e.what());
        return Gdiplus::GenericError;
    }
}

// The calling thread's image table.
platform::HandleTable<Image>& images();
Image* find_image(GpImage handle);
Image* find_bitmap(GpImage handle);  // null for metafiles too
// Registers an image; 0 when the table is full.
GpImage add_image(std::unique_ptr<Image> image);

// True while GdiplusStartup has a live token on this thread.
bool session_started();

}  // namespace gdip
