// The decoders of the gdiplus stand-in: a descriptor table sniffed in a fixed order, and the
// helpers the per-format readers share (checked frame allocation, palettes, property items).
//
// What each decoder produces (frames are top-down: scan0 = top row, positive stride; indexed
// formats pack MSB first; 16-bit samples are little-endian, 0..65535, never reduced):
//
//   BMP   1/4/8 bit, RLE4, RLE8 ........ 1/4/8bppIndexed, file palette (short tables kept short)
//         16 bit BI_RGB or 555 masks ... 16bppRGB555 (pixels copied)
//         16 bit 565 masks ............. 16bppRGB565;   1555 masks with alpha: 16bppARGB1555
//         24 bit ....................... 24bppRGB
//         32 bit BI_RGB / BGRX masks ... 32bppRGB (the fourth byte is not alpha)
//         32 bit BGRA masks ............ 32bppARGB
//         other bit fields ............. 32bppARGB with an alpha mask, else 24bppRGB
//   PNG   grey 1/2/4/8 ................. 1/4/4/8bppIndexed, grey palette (2 bits widen to 4)
//         palette 1/2/4/8 .............. 1/4/4/8bppIndexed; tRNS gives palette alpha
//         RGB 8 ........................ 24bppRGB; grey+alpha, RGBA, any tRNS: 32bppARGB
//         16-bit grey, RGB ............. 48bppRGB;  with alpha or tRNS: 64bppARGB
//   JPEG  grey ......................... 8bppIndexed, grey palette
//         YCbCr / RGB .................. 24bppRGB
//         CMYK / YCCK .................. 24bppRGB, converted (Adobe-inverted data inverted back)
//   GIF   one frame .................... 8bppIndexed at the logical screen size, frame palette;
//                                        the transparent index has alpha 0
//         several frames ............... 32bppARGB each, composed by disposal method
//   TIFF  bilevel, grey 1/2/4/8 ........ 1/4/4/8bppIndexed with black-to-white or (min-is-white)
//                                        white-to-black palette; pixels kept as stored
//         palette 1/2/4/8 .............. 1/4/4/8bppIndexed, colour map
//         grey 16 ...................... 48bppRGB
//         grey+alpha 8 ................. 32bppARGB
//         RGB 8 ........................ 24bppRGB; unassociated alpha 32bppARGB, associated
//                                        alpha 32bppPARGB
//         RGB 16 ....................... 48bppRGB; with alpha 64bppARGB / 64bppPARGB
//         CMYK 8 ....................... 24bppRGB, converted
//         anything else libtiff reads .. through its RGBA reader: 32bppPARGB with alpha,
//                                        else 32bppRGB
//   ICO   largest, then deepest entry .. 32bppARGB (AND mask, or the entry's own alpha)
//
// Resolution: BMP pels per metre, PNG pHYs in metres, JPEG JFIF density (else EXIF), TIFF
// X/YResolution with its unit (inch by default); 96 dpi when the file gives none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/gdiplus/codec_p.h"

namespace gdip {

namespace codec {

// ImageFlags of the platform (not in gdiplus.h).
constexpr UINT kImageFlagsHasAlpha = 0x0002;
constexpr UINT kImageFlagsColorSpaceRGB = 0x0010;
constexpr UINT kImageFlagsColorSpaceCMYK = 0x0020;
constexpr UINT kImageFlagsColorSpaceGRAY = 0x0040;
constexpr UINT kImageFlagsColorSpaceYCBCR = 0x0080;
constexpr UINT kImageFlagsHasRealDPI = 0x1000;
constexpr UINT kImageFlagsHasRealPixelSize = 0x2000;
constexpr UINT kImageFlagsReadOnly = 0x00010000;

// ---- Per-format entry points (the table's rows) -------------------------------------
bool sniff_bmp(const uint8_t* p, size_t n);
bool sniff_png(const uint8_t* p, size_t n);
bool sniff_jpeg(const uint8_t* p, size_t n);
bool sniff_gif(const uint8_t* p, size_t n);
bool sniff_tiff(const uint8_t* p, size_t n);
bool sniff_ico(const uint8_t* p, size_t n);
[[nodiscard]] GpStatus decode_bmp(const uint8_t* p, size_t n, Image& image);
[[nodiscard]] GpStatus decode_png(const uint8_t* p, size_t n, Image& image);
[[nodiscard]] GpStatus decode_jpeg(const uint8_t* p, size_t n, Image& image);
[[nodiscard]] GpStatus decode_gif(const uint8_t* p, size_t n, Image& image);
[[nodiscard]] GpStatus decode_tiff(const uint8_t* p, size_t n, Image& image);
[[nodiscard]] GpStatus decode_ico(const uint8_t* p, size_t n, Image& image);

// A DIB as icons carry it: BITMAPINFOHEADER (or core header), colour table, bits, with no
// file header. `rows` overrides the header's height (icons store twice the height);
// `bits_end` receives the offset just past the colour bitmap.
struct DibOptions {
    int32_t rows = 0;         // 0: take the header's height
    bool icon_alpha = false;  // 32-bit BI_RGB rows carry alpha: 32bppARGB
    size_t* bits_end = nullptr;
};
[[nodiscard]] GpStatus decode_dib(const uint8_t* p, size_t n, const DibOptions& options,
                                  Frame* out);

// ---- Allocation limits --------------------------------------------------------------
constexpr size_t kMaxFrameBytes = size_t(1) << 31;
constexpr size_t kMaxImageBytes = size_t(1) << 32;
// Frames up to this size are always allocated, however little input backs them.
constexpr size_t kPlausibleFloor = size_t(32) << 20;

// How many decoded bytes one input byte can at most plausibly become, by coding.
enum class Expansion : uint32_t {
    Raw = 64,  // uncompressed rows (room for truncated files)
    PackBits = 256,
    Rle = 1024,
    Deflate = 2048,
    Lzw = 4096,
    Jpeg = 4096,
    Fax = 1u << 16,  // CCITT: a blank row can be one bit
};

// Tracks the bytes an image's frames take so that a tiny file cannot ask for gigabytes.
class FrameBudget {
  public:
    FrameBudget(size_t input_size, Expansion ratio) : m_input(input_size), m_ratio(ratio) {}
    void set_ratio(Expansion ratio) { m_ratio = ratio; }

    // Allocates a zero-filled frame. GenericError for a width or height below 1;
    // OutOfMemory when the frame or the image total is over the caps, or implausibly large
    // for the input.
    [[nodiscard]] GpStatus new_frame(int64_t width, int64_t height, PixelFormat format, Frame* out);
    // The same test without allocating (for scratch buffers of `bytes` bytes).
    [[nodiscard]] GpStatus check(size_t bytes) const;

  private:
    size_t m_input;
    Expansion m_ratio;
    size_t m_used = 0;
};

// Bytes of a frame with an aligned stride; 0 when it overflows or is not positive.
size_t frame_bytes(int64_t width, int64_t height, PixelFormat format);

// ---- Palettes -----------------------------------------------------------------------
constexpr ARGB argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return (ARGB(a) << 24) | (ARGB(r) << 16) | (ARGB(g) << 8) | ARGB(b);
}
// `entries` greys from black to white (inverted: white to black).
std::vector<ARGB> grey_palette(int entries, bool inverted = false);
// PaletteFlagsGrayScale when every entry is grey, PaletteFlagsHasAlpha when one is not opaque.
UINT palette_flags(const std::vector<ARGB>& palette);
void set_palette(Frame& frame, std::vector<ARGB> palette);

// CMYK (not inverted, 0 = no ink) to B, G, R.
inline void cmyk_to_bgr(const uint8_t* cmyk, uint8_t* bgr) {
    auto scale = [](int v, int k) {  // v * k / 255, rounded as an 8-bit multiply does
        int t = v * k + 128;
        return ((t >> 8) + t) >> 8;
    };
    int nk = 255 - cmyk[3];
    bgr[0] = uint8_t(nk - scale(cmyk[2], nk));
    bgr[1] = uint8_t(nk - scale(cmyk[1], nk));
    bgr[2] = uint8_t(nk - scale(cmyk[0], nk));
}

// Packs 2-bit samples (MSB first) of `width` pixels into 4-bit ones.
void widen_2_to_4(const uint8_t* src, uint8_t* dst, int32_t width);

// ---- Property items -----------------------------------------------------------------
// Adds an item unless one with the same id is already there (the first wins).
void add_property(Image& image, PROPID id, WORD type, std::vector<BYTE> value);
void add_short(Image& image, PROPID id, uint16_t v);
void add_long(Image& image, PROPID id, uint32_t v);
void add_longs(Image& image, PROPID id, const std::vector<uint32_t>& values);
void add_rational(Image& image, PROPID id, uint32_t num, uint32_t den);
void add_ascii(Image& image, PROPID id, std::string_view text);  // adds the NUL
const PropertyData* find_property(const Image& image, PROPID id);

// EXIF (an APP1 payload starting "Exif\0\0", or a bare TIFF header) to property items with
// the platform's ids; thumbnail tags get the 0x50xx ids. Values become little-endian.
void add_exif_properties(Image& image, const uint8_t* data, size_t size);
// Reads X/YResolution and ResolutionUnit from already-added EXIF items; false without them.
bool exif_resolution(const Image& image, float* dpi_x, float* dpi_y);

// The entries of a classic TIFF IFD (and its EXIF, GPS and interoperability IFDs) as property
// items. `data` is the whole TIFF file.
void add_tiff_ifd_properties(Image& image, const uint8_t* data, size_t size, uint64_t offset);

// A little-endian 16-bit value into a buffer of the decoder's own.
inline void wr16le(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// Sets the resolution of every frame; non-positive or non-finite values leave 96.
void set_resolution(Image& image, double dpi_x, double dpi_y);

}  // namespace codec
}  // namespace gdip
