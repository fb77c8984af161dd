// Pages fed from image files, read by the loader the system installs (the GDI+ decoders
// when it installs none).
#include <cmath>
#include <memory>

#include "codes.h"
#include "dib.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/image_file_loader.h"
#include "virtual_source.h"

namespace lumtwain {
namespace {

// A counted GDI+ session for the time of one load.
class GdiplusSession {
  public:
    GdiplusSession() {
        GdiplusStartupInput input;
        m_ok = GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (m_ok) GdiplusShutdown(m_token);
    }
    bool ok() const { return m_ok; }

  private:
    ULONG m_token = 0;
    bool m_ok = false;
};

struct ImageDeleter {
    void operator()(GpImage* image) const {
        if (*image) GdipDisposeImage(*image);
        delete image;
    }
};

// A locked 24-bit copy of the image's pixels, unlocked when done.
class LockedPixels {
  public:
    LockedPixels(GpBitmap bitmap, UINT width, UINT height) : m_bitmap(bitmap) {
        GpRect rect{0, 0, INT(width), INT(height)};
        m_ok = GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead, PixelFormat24bppRGB, &m_data) ==
               Gdiplus::Ok;
    }
    ~LockedPixels() {
        if (m_ok) GdipBitmapUnlockBits(m_bitmap, &m_data);
    }
    bool ok() const { return m_ok; }
    const uint8_t* row(int y) const {
        return static_cast<const uint8_t*>(m_data.Scan0) + ptrdiff_t(y) * m_data.Stride;
    }

  private:
    GpBitmap m_bitmap;
    BitmapData m_data;
    bool m_ok = false;
};

void convert_row(const uint8_t* bgr, int width, int pixel_type, uint8_t* out) {
    for (int x = 0; x < width; ++x) {
        const uint8_t* p = bgr + 3 * x;
        if (pixel_type == kTwptRgb) {
            out[3 * x] = p[0];
            out[3 * x + 1] = p[1];
            out[3 * x + 2] = p[2];
            continue;
        }
        uint8_t grey = uint8_t((114 * p[0] + 587 * p[1] + 299 * p[2]) / 1000);
        if (pixel_type == kTwptGray)
            out[x] = grey;
        else if (grey >= 128)
            out[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
}

}  // namespace

int LoadFileDib(const std::string& path, int pixel_type, double dpi, HGLOBAL* block) {
    *block = 0;
    GdiplusSession session;
    if (!session.ok()) return kTwccOperationError;
    std::unique_ptr<GpImage, ImageDeleter> image(new GpImage(0));
    GpStatus st = LumLoadImageFile(path.c_str(), image.get());
    if (st != Gdiplus::Ok) return st == Gdiplus::FileNotFound ? kTwccFileNotFound : kTwccBadValue;
    UINT width = 0, height = 0;
    REAL dpi_x = 0, dpi_y = 0;
    if (GdipGetImageWidth(*image, &width) != Gdiplus::Ok ||
        GdipGetImageHeight(*image, &height) != Gdiplus::Ok || width == 0 || height == 0 ||
        width > INT32_MAX / 32 || height > INT32_MAX)
        return kTwccBadValue;
    GdipGetImageHorizontalResolution(*image, &dpi_x);
    GdipGetImageVerticalResolution(*image, &dpi_y);
    // The decoders report 96 dpi when a file gives no resolution: use the negotiated one.
    bool has_dpi = std::isfinite(dpi_x) && dpi_x > 0 && std::isfinite(dpi_y) && dpi_y > 0 &&
                   !(dpi_x == 96.0f && dpi_y == 96.0f);
    DibFormat format{int(width),
                     int(height),
                     pixel_type == kTwptBw     ? 1
                     : pixel_type == kTwptGray ? 8
                                               : 24,
                     has_dpi ? dpi_x : dpi,
                     has_dpi ? dpi_y : dpi,
                     false};
    if (!ComputeDibLayout(format)) return kTwccLowMemory;
    LockedPixels pixels(*image, width, height);
    if (!pixels.ok()) return kTwccBadValue;
    int condition = kTwccSuccess;
    *block = BuildDibBlock(
        format,
        [&](int y, uint8_t* row) { convert_row(pixels.row(y), int(width), pixel_type, row); },
        &condition);
    return *block ? kTwccSuccess : condition;
}

}  // namespace lumtwain
