// The decoder table, decode_bytes, and the helpers every reader shares.
#include <cmath>
#include <limits>
#include <new>

#include "platform/gdiplus/codecs_p.h"

namespace gdip {
namespace {

void register_decoders(std::vector<DecoderDesc>& table) {
    using namespace codec;
    table.push_back({"BMP", &ImageFormatBMP, sniff_bmp, decode_bmp});
    table.push_back({"JPEG", &ImageFormatJPEG, sniff_jpeg, decode_jpeg});
    table.push_back({"GIF", &ImageFormatGIF, sniff_gif, decode_gif});
    table.push_back({"TIFF", &ImageFormatTIFF, sniff_tiff, decode_tiff});
    table.push_back({"PNG", &ImageFormatPNG, sniff_png, decode_png});
    table.push_back({"ICO", &ImageFormatIcon, sniff_ico, decode_ico});
}

// Flags the platform reports for a decoded image: read-only, real pixel size, alpha, and a
// colour space (the decoder's, else RGB or grey by the first frame); the decoder may have set
// the colour space and real-dpi bits already.
UINT image_flags(const Image& image) {
    constexpr UINT kSpaces = codec::kImageFlagsColorSpaceRGB | codec::kImageFlagsColorSpaceCMYK |
                             codec::kImageFlagsColorSpaceGRAY | codec::kImageFlagsColorSpaceYCBCR;
    UINT flags = image.flags | codec::kImageFlagsReadOnly | codec::kImageFlagsHasRealPixelSize;
    const Frame& f = image.frames.front();
    const auto* info = find_pixel_format(f.format);
    bool alpha = info && info->alpha;
    if (is_indexed(f.format)) alpha = (f.palette_flags & PaletteFlagsHasAlpha) != 0;
    if (alpha) flags |= codec::kImageFlagsHasAlpha;
    if (!(flags & kSpaces)) {
        bool grey = is_indexed(f.format) && (f.palette_flags & PaletteFlagsGrayScale);
        flags |= grey ? codec::kImageFlagsColorSpaceGRAY : codec::kImageFlagsColorSpaceRGB;
    }
    return flags;
}

}  // namespace

std::span<const DecoderDesc> decoders() {
    static const std::vector<DecoderDesc> table = [] {
        std::vector<DecoderDesc> t;
        register_decoders(t);
        return t;
    }();
    return table;
}

GpStatus decode_bytes(const uint8_t* data, size_t size, std::unique_ptr<Image>* out) {
    if (!out) return Gdiplus::InvalidParameter;
    out->reset();
    if (!data && size) return Gdiplus::InvalidParameter;
    for (const DecoderDesc& d : decoders()) {
        if (!d.sniff(data, size)) continue;
        auto image = std::make_unique<Image>();
        image->raw_format = *d.raw_format;
        image->frame_dimension = FrameDimensionPage;
        GpStatus st;
        try {
            st = d.decode(data, size, *image);
        } catch (const std::bad_alloc&) {
            st = Gdiplus::OutOfMemory;
        } catch (...) {
            st = Gdiplus::GenericError;
        }
        if (st != Gdiplus::Ok) return st;
        if (image->frames.empty()) return Gdiplus::GenericError;
        image->raw_format = *d.raw_format;
        image->kind = ImageKind::Bitmap;
        image->active = 0;
        image->flags = image_flags(*image);
        *out = std::move(image);
        return Gdiplus::Ok;
    }
    return Gdiplus::UnknownImageFormat;
}

namespace codec {

size_t frame_bytes(int64_t width, int64_t height, PixelFormat format) {
    if (width < 1 || height < 1 || width > INT32_MAX || height > INT32_MAX) return 0;
    int bits = pixel_format_bits(format);
    if (bits == 0) return 0;
    // Aligned stride: ((width * bits + 31) / 32) * 4, in 64-bit arithmetic.
    uint64_t stride = ((uint64_t(width) * uint64_t(bits) + 31) / 32) * 4;
    if (stride > uint64_t(INT32_MAX)) return 0;
    if (stride > std::numeric_limits<uint64_t>::max() / uint64_t(height)) return 0;
    uint64_t total = stride * uint64_t(height);
    if (total > std::numeric_limits<size_t>::max()) return 0;
    return size_t(total);
}

GpStatus FrameBudget::check(size_t bytes) const {
    if (bytes > kMaxFrameBytes) return Gdiplus::OutOfMemory;
    if (m_used + bytes > kMaxImageBytes) return Gdiplus::OutOfMemory;
    size_t total = m_used + bytes;
    if (total > kPlausibleFloor) {
        uint64_t ratio = uint64_t(m_ratio);
        if (uint64_t(m_input) < (uint64_t(total) + ratio - 1) / ratio) return Gdiplus::OutOfMemory;
    }
    return Gdiplus::Ok;
}

GpStatus FrameBudget::new_frame(int64_t width, int64_t height, PixelFormat format, Frame* out) {
    if (width < 1 || height < 1) return Gdiplus::GenericError;
    size_t bytes = frame_bytes(width, height, format);
    if (bytes == 0) return Gdiplus::OutOfMemory;
    if (GpStatus st = check(bytes); st != Gdiplus::Ok) return st;
    if (GpStatus st = make_frame(int32_t(width), int32_t(height), format, out); st != Gdiplus::Ok)
        return st;
    m_used += bytes;
    return Gdiplus::Ok;
}

std::vector<ARGB> grey_palette(int entries, bool inverted) {
    std::vector<ARGB> p(size_t(std::max(entries, 0)));
    for (int i = 0; i < entries; ++i) {
        int v = entries > 1 ? (i * 255 + (entries - 1) / 2) / (entries - 1) : 0;
        if (inverted) v = 255 - v;
        p[size_t(i)] = argb(255, uint8_t(v), uint8_t(v), uint8_t(v));
    }
    return p;
}

UINT palette_flags(const std::vector<ARGB>& palette) {
    bool grey = !palette.empty(), alpha = false;
    for (ARGB c : palette) {
        uint8_t r = uint8_t(c >> 16), g = uint8_t(c >> 8), b = uint8_t(c);
        if (r != g || g != b) grey = false;
        if ((c >> 24) != 0xFF) alpha = true;
    }
    return (grey ? UINT(PaletteFlagsGrayScale) : 0u) | (alpha ? UINT(PaletteFlagsHasAlpha) : 0u);
}

void set_palette(Frame& frame, std::vector<ARGB> palette) {
    frame.palette_flags = palette_flags(palette);
    frame.palette = std::move(palette);
}

void widen_2_to_4(const uint8_t* src, uint8_t* dst, int32_t width) {
    for (int32_t x = 0; x < width; x += 2) {
        int a = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
        int b = x + 1 < width ? (src[(x + 1) >> 2] >> (6 - 2 * ((x + 1) & 3))) & 3 : 0;
        dst[x >> 1] = uint8_t((a << 4) | b);
    }
}

void add_property(Image& image, PROPID id, WORD type, std::vector<BYTE> value) {
    if (find_property(image, id)) return;
    image.properties.push_back(PropertyData{id, type, std::move(value)});
}

void add_short(Image& image, PROPID id, uint16_t v) {
    add_property(image, id, PropertyTagTypeShort, {uint8_t(v), uint8_t(v >> 8)});
}

void add_longs(Image& image, PROPID id, const std::vector<uint32_t>& values) {
    std::vector<BYTE> bytes(values.size() * 4);
    for (size_t i = 0; i < values.size(); ++i)
        for (int b = 0; b < 4; ++b) bytes[i * 4 + size_t(b)] = uint8_t(values[i] >> (8 * b));
    add_property(image, id, PropertyTagTypeLong, std::move(bytes));
}

void add_long(Image& image, PROPID id, uint32_t v) {
    add_longs(image, id, {v});
}

void add_rational(Image& image, PROPID id, uint32_t num, uint32_t den) {
    std::vector<BYTE> bytes(8);
    for (int b = 0; b < 4; ++b) {
        bytes[size_t(b)] = uint8_t(num >> (8 * b));
        bytes[size_t(4 + b)] = uint8_t(den >> (8 * b));
    }
    add_property(image, id, PropertyTagTypeRational, std::move(bytes));
}

void add_ascii(Image& image, PROPID id, std::string_view text) {
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    add_property(image, id, PropertyTagTypeASCII, std::move(bytes));
}

const PropertyData* find_property(const Image& image, PROPID id) {
    for (const auto& p : image.properties)
        if (p.id == id) return &p;
    return nullptr;
}

void set_resolution(Image& image, double dpi_x, double dpi_y) {
    bool ok = std::isfinite(dpi_x) && std::isfinite(dpi_y) && dpi_x > 0 && dpi_y > 0 &&
              dpi_x < 1e7 && dpi_y < 1e7;
    for (Frame& f : image.frames) {
        f.dpi_x = ok ? float(dpi_x) : 96.0f;
        f.dpi_y = ok ? float(dpi_y) : 96.0f;
    }
    if (ok) image.flags |= kImageFlagsHasRealDPI;
}

}  // namespace codec
}  // namespace gdip
