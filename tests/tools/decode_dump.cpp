// decode_dump FILE OUTDIR: decodes FILE with GdipLoadImageFromFile and writes, per frame,
// OUTDIR/frame_<i>.rgba (8-bit R, G, B, A rows, top row first, no padding), and prints one
// JSON line per frame. On failure it prints {"status": N} and exits with 1.
//
// The expansion to RGBA is this tool's own (palette lookup, channel widening, high bytes of
// 16-bit samples, un-premultiplying), so that the decoders are checked against Pillow without
// going through the library's pixel conversions.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_p.h"
#include "platform/gdiplus/pixel_format.h"

namespace {

uint8_t widen5(unsigned v) {
    return uint8_t((v << 3) | (v >> 2));
}
uint8_t widen6(unsigned v) {
    return uint8_t((v << 2) | (v >> 4));
}
uint16_t le16(const BYTE* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

uint8_t unpremultiply(unsigned c, unsigned a, unsigned max) {
    if (a == 0) return 0;
    unsigned v = (c * max + a / 2) / a;
    if (v > max) v = max;
    return uint8_t(max == 255 ? v : v >> 8);
}

// One pixel of a frame as R, G, B, A.
void pixel(const gdip::Frame& f, int32_t x, const BYTE* row, uint8_t* o) {
    auto from_argb = [&](ARGB c) {
        o[0] = uint8_t(c >> 16), o[1] = uint8_t(c >> 8), o[2] = uint8_t(c), o[3] = uint8_t(c >> 24);
    };
    auto index = [&](size_t i) { from_argb(i < f.palette.size() ? f.palette[i] : 0xFF000000u); };
    switch (f.format) {
        case PixelFormat1bppIndexed:
            return index((row[x >> 3] >> (7 - (x & 7))) & 1);
        case PixelFormat4bppIndexed:
            return index((row[x >> 1] >> (x & 1 ? 0 : 4)) & 0xF);
        case PixelFormat8bppIndexed:
            return index(row[x]);
        case PixelFormat16bppGrayScale: {
            uint8_t v = uint8_t(le16(row + 2 * x) >> 8);
            o[0] = o[1] = o[2] = v, o[3] = 255;
            return;
        }
        case PixelFormat16bppRGB555:
        case PixelFormat16bppARGB1555: {
            unsigned v = le16(row + 2 * x);
            o[0] = widen5((v >> 10) & 31), o[1] = widen5((v >> 5) & 31), o[2] = widen5(v & 31);
            o[3] = f.format == PixelFormat16bppARGB1555 && !(v & 0x8000) ? 0 : 255;
            return;
        }
        case PixelFormat16bppRGB565: {
            unsigned v = le16(row + 2 * x);
            o[0] = widen5(v >> 11), o[1] = widen6((v >> 5) & 63), o[2] = widen5(v & 31), o[3] = 255;
            return;
        }
        case PixelFormat24bppRGB: {
            const BYTE* p = row + 3 * x;
            o[0] = p[2], o[1] = p[1], o[2] = p[0], o[3] = 255;
            return;
        }
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB: {
            const BYTE* p = row + 4 * x;
            o[0] = p[2], o[1] = p[1], o[2] = p[0];
            o[3] = f.format == PixelFormat32bppRGB ? 255 : p[3];
            return;
        }
        case PixelFormat32bppPARGB: {
            const BYTE* p = row + 4 * x;
            o[0] = unpremultiply(p[2], p[3], 255), o[1] = unpremultiply(p[1], p[3], 255);
            o[2] = unpremultiply(p[0], p[3], 255), o[3] = p[3];
            return;
        }
        case PixelFormat48bppRGB: {
            const BYTE* p = row + 6 * x;
            o[0] = p[5], o[1] = p[3], o[2] = p[1], o[3] = 255;
            return;
        }
        case PixelFormat64bppARGB: {
            const BYTE* p = row + 8 * x;
            o[0] = p[5], o[1] = p[3], o[2] = p[1], o[3] = p[7];
            return;
        }
        case PixelFormat64bppPARGB: {
            const BYTE* p = row + 8 * x;
            unsigned a = le16(p + 6);
            o[0] = unpremultiply(le16(p + 4), a, 65535),
            o[1] = unpremultiply(le16(p + 2), a, 65535);
            o[2] = unpremultiply(le16(p), a, 65535), o[3] = uint8_t(a >> 8);
            return;
        }
        default:
            o[0] = o[1] = o[2] = o[3] = 0;
    }
}

bool write_rgba(const gdip::Frame& f, const std::string& path) {
    std::vector<uint8_t> out(size_t(f.width) * size_t(f.height) * 4);
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x)
            pixel(f, x, f.row(y), &out[(size_t(y) * size_t(f.width) + size_t(x)) * 4]);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    return bool(file);
}

std::string format_name(const GUID& g) {
    const struct {
        const GUID* guid;
        const char* name;
    } kNames[] = {{&ImageFormatBMP, "BMP"},
                  {&ImageFormatJPEG, "JPEG"},
                  {&ImageFormatGIF, "GIF"},
                  {&ImageFormatTIFF, "TIFF"},
                  {&ImageFormatPNG, "PNG"},
                  {&ImageFormatIcon, "ICON"},
                  {&ImageFormatMemoryBMP, "Memory BMP"}};
    for (const auto& n : kNames)
        if (*n.guid == g) return n.name;
    return "Undefined";
}

std::string properties_json(const gdip::Image& img) {
    std::string ids, extra;
    for (const auto& p : img.props()) {
        ids += (ids.empty() ? "" : ",") + std::to_string(p.id);
        if (p.id == PropertyTagFrameDelay && p.type == PropertyTagTypeLong) {
            std::string d;
            for (size_t i = 0; i + 4 <= p.value.size(); i += 4)
                d += (d.empty() ? "" : ",") + std::to_string(uint32_t(p.value[i]) |
                                                             (uint32_t(p.value[i + 1]) << 8) |
                                                             (uint32_t(p.value[i + 2]) << 16) |
                                                             (uint32_t(p.value[i + 3]) << 24));
            extra += ",\"delays\":[" + d + "]";
        }
        if (p.id == PropertyTagLoopCount && p.value.size() >= 2)
            extra += ",\"loop_count\":" + std::to_string(le16(p.value.data()));
    }
    return "\"property_ids\":[" + ids + "]" + extra;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: decode_dump FILE OUTDIR\n");
        return 2;
    }
    ULONG token = 0;
    GdiplusStartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 2;
    GpImage handle = 0;
    GpStatus st = GdipLoadImageFromFile(argv[1], &handle);
    const gdip::Image* img = st == Gdiplus::Ok ? gdip::find_image(handle) : nullptr;
    if (!img) {
        std::printf("{\"status\":%d}\n", int(st));
        GdiplusShutdown(token);
        return 1;
    }
    const std::string props = properties_json(*img);
    const char* dim = img->frame_dimension == FrameDimensionTime ? "time" : "page";
    for (size_t i = 0; i < img->frames.size(); ++i) {
        const gdip::Frame& f = img->frames[i];
        std::string file = "frame_" + std::to_string(i) + ".rgba";
        if (!write_rgba(f, std::string(argv[2]) + "/" + file)) return 2;
        std::printf(
            "{\"status\":0,\"frame\":%zu,\"frames\":%zu,\"width\":%d,\"height\":%d,"
            "\"format\":%d,\"format_name\":\"%s\",\"dpi_x\":%.4f,\"dpi_y\":%.4f,"
            "\"raw_format\":\"%s\",\"dimension\":\"%s\",\"palette_size\":%zu,"
            "\"palette_flags\":%u,\"image_flags\":%u,\"file\":\"%s\",%s}\n",
            i, img->frames.size(), f.width, f.height, int(f.format),
            std::string(gdip::pixel_format_name(f.format)).c_str(), double(f.dpi_x),
            double(f.dpi_y), format_name(img->raw_format).c_str(), dim, f.palette.size(),
            f.palette_flags, img->flags, file.c_str(), props.c_str());
    }
    GdipDisposeImage(handle);
    GdiplusShutdown(token);
    return 0;
}
