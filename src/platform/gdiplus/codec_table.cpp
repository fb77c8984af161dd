// The codec table and decoding by signature.
#include <exception>
#include <new>

#include "platform/gdiplus/codecs_p.h"
#include "platform/gdiplus/encoders_p.h"

namespace gdip {
namespace {

constexpr CLSID codec_clsid(uint32_t d1) {
    return ole::MakeGuid(d1, 0x1A04, 0x11D3, 0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E);
}

void register_codecs(std::vector<CodecDesc>& t) {
    using namespace codec;
    t.push_back({"BMP", codec_clsid(0x557CF400), &ImageFormatBMP, "*.BMP;*.DIB;*.RLE",
                 "image/bmp", sniff_bmp, decode_bmp, encode_bmp});
    t.push_back({"JPEG", codec_clsid(0x557CF401), &ImageFormatJPEG, "*.JPG;*.JPEG;*.JPE;*.JFIF",
                 "image/jpeg", sniff_jpeg, decode_jpeg, encode_jpeg});
    t.push_back({"GIF", codec_clsid(0x557CF402), &ImageFormatGIF, "*.GIF", "image/gif",
                 sniff_gif, decode_gif, encode_gif});
    t.push_back({"TIFF", codec_clsid(0x557CF405), &ImageFormatTIFF, "*.TIF;*.TIFF",
                 "image/tiff", sniff_tiff, decode_tiff, encode_tiff, begin_tiff});
    t.push_back({"PNG", codec_clsid(0x557CF406), &ImageFormatPNG, "*.PNG", "image/png",
                 sniff_png, decode_png, encode_png});
    t.push_back({"ICO", codec_clsid(0x557CF407), &ImageFormatIcon, "*.ICO", "image/x-icon",
                 sniff_ico, decode_ico});
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

std::span<const CodecDesc> codecs() {
    static const std::vector<CodecDesc> table = [] {
        std::vector<CodecDesc> t;
        register_codecs(t);
        return t;
    }();
    return table;
}

const CodecDesc* find_encoder(const CLSID& clsid) {
    for (const CodecDesc& c : codecs())
        if (c.encode && c.clsid == clsid) return &c;
    return nullptr;
}

GpStatus decode_bytes(const uint8_t* data, size_t size, std::unique_ptr<Image>* out) {
    if (!out) return Gdiplus::InvalidParameter;
    out->reset();
    if (!data && size) return Gdiplus::InvalidParameter;
    for (const CodecDesc& d : codecs()) {
        if (!d.decode || !d.sniff(data, size)) continue;
        std::unique_ptr<Image> image;
        GpStatus st;
        try {
            image = std::make_unique<Image>();
            image->raw_format = *d.format;
            image->frame_dimension = FrameDimensionPage;
            st = d.decode(data, size, *image);
        } catch (const std::bad_alloc&) {
            win::SetErrorDetail(std::string(d.name) + ": out of memory");
            st = Gdiplus::OutOfMemory;
        } catch (const std::exception& e) {
            win::SetErrorDetail(std::string(d.name) + ": " + e.what());
            st = Gdiplus::GenericError;
        }
        if (st != Gdiplus::Ok) return st;
        if (image->frames.empty()) return Gdiplus::GenericError;
        image->raw_format = *d.format;
        image->kind = ImageKind::Bitmap;
        image->active = 0;
        image->flags = image_flags(*image);
        *out = std::move(image);
        return Gdiplus::Ok;
    }
    return Gdiplus::UnknownImageFormat;
}

}  // namespace gdip

GpStatus LumGdipSniffImageFormat(const BYTE* data, size_t size, GUID* format) {
    if (!format || (!data && size)) return Gdiplus::InvalidParameter;
    for (const gdip::CodecDesc& c : gdip::codecs())
        if (c.decode && c.sniff(data, size)) {
            *format = *c.format;
            return Gdiplus::Ok;
        }
    return Gdiplus::UnknownImageFormat;
}
