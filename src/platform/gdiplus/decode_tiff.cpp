// TIFF through libtiff, opened on the caller's memory (TIFFClientOpenExt with a mapping),
// every page. Messages go to per-handle handlers that drop them. Strips and tiles are read
// as stored and converted row by row; layouts the row converters do not cover go through
// libtiff's RGBA reader. A strip or tile that fails to decode leaves its rows zero (an
// uncompressed strip cut short by the end of the file keeps the bytes that are there).
// Pages that cannot be read at all are skipped; no readable page is GenericError.
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gdiplus/codecs_p.h"

namespace gdip::codec {
namespace {

constexpr int kMaxPages = 65535;

struct Mem {
    const uint8_t* data;
    size_t size;
    uint64_t pos;
};

tmsize_t read_proc(thandle_t h, void* buf, tmsize_t n) {
    auto* m = static_cast<Mem*>(h);
    if (n <= 0 || m->pos >= m->size) return 0;
    size_t k = std::min<uint64_t>(uint64_t(n), m->size - m->pos);
    std::memcpy(buf, m->data + m->pos, k);
    m->pos += k;
    return tmsize_t(k);
}
tmsize_t write_proc(thandle_t, void*, tmsize_t) {
    return -1;
}
toff_t seek_proc(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<Mem*>(h);
    uint64_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
    if (off > UINT64_MAX - base) return toff_t(-1);
    m->pos = base + off;
    return m->pos;
}
int close_proc(thandle_t) {
    return 0;
}
toff_t size_proc(thandle_t h) {
    return static_cast<Mem*>(h)->size;
}
int map_proc(thandle_t h, void** base, toff_t* size) {
    auto* m = static_cast<Mem*>(h);
    *base = const_cast<uint8_t*>(m->data);
    *size = m->size;
    return 1;
}
void unmap_proc(thandle_t, void*, toff_t) {}
// libtiff's complaints are kept (the last error wins) to say why a file or page failed.
int keep_error(TIFF*, void* user, const char* module, const char* fmt, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, args);
    *static_cast<std::string*>(user) = std::string("libtiff: ") + (module ? module : "") + ": " + text;
    return 1;
}
int quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

enum class Kind { Copy, Widen2, Rgb8, Rgba8, Rgb16, Rgba16, Grey16, GreyA8, Cmyk8, Rgba };

struct Page {
    uint32_t width = 0, height = 0;
    uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = 1;
    uint16_t compression = COMPRESSION_NONE, fill_order = FILLORDER_MSB2LSB;
    bool alpha = false, associated = false, min_is_white = false;
    Kind kind = Kind::Rgba;
    PixelFormat format = PixelFormat32bppRGB;
};

Expansion expansion(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE:
            return Expansion::Raw;
        case COMPRESSION_LZW:
            return Expansion::Lzw;
        case COMPRESSION_PACKBITS:
            return Expansion::PackBits;
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
            return Expansion::Deflate;
        case COMPRESSION_OJPEG:
        case COMPRESSION_JPEG:
            return Expansion::Jpeg;
        default:
            return Expansion::Fax;  // CCITT, and codings that may shrink further
    }
}

void read_tags(TIFF* tif, Page* pg) {
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &pg->width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &pg->height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &pg->bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &pg->spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &pg->planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &pg->compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &pg->fill_order);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &pg->photometric))
        pg->photometric = pg->spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    uint16_t extra = 0;
    uint16_t* types = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra, &types);
    if (extra && types &&
        (types[0] == EXTRASAMPLE_ASSOCALPHA || types[0] == EXTRASAMPLE_UNASSALPHA)) {
        pg->alpha = true;
        pg->associated = types[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    pg->min_is_white = pg->photometric == PHOTOMETRIC_MINISWHITE;
}

// Chooses the row converter and pixel format of a page.
void classify(TIFF* tif, Page* pg) {
    uint16_t sample_format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sample_format);
    uint16_t photo = pg->photometric;
    if (pg->compression == COMPRESSION_JPEG && photo == PHOTOMETRIC_YCBCR &&
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
        photo = PHOTOMETRIC_RGB;  // libjpeg does the colour conversion and upsampling
    pg->kind = Kind::Rgba;
    bool plain = (sample_format == SAMPLEFORMAT_UINT || sample_format == SAMPLEFORMAT_VOID) &&
                 (pg->planar == PLANARCONFIG_CONTIG || pg->spp == 1);
    if (!plain) return;
    const uint16_t bps = pg->bps, spp = pg->spp;
    auto set = [&](Kind k, PixelFormat f) { pg->kind = k, pg->format = f; };
    const bool grey = photo == PHOTOMETRIC_MINISBLACK || photo == PHOTOMETRIC_MINISWHITE;
    if ((grey || photo == PHOTOMETRIC_PALETTE) && spp == 1) {
        if (bps == 1) set(Kind::Copy, PixelFormat1bppIndexed);
        if (bps == 2) set(Kind::Widen2, PixelFormat4bppIndexed);
        if (bps == 4) set(Kind::Copy, PixelFormat4bppIndexed);
        if (bps == 8) set(Kind::Copy, PixelFormat8bppIndexed);
        if (bps == 16 && grey) set(Kind::Grey16, PixelFormat48bppRGB);
    } else if (grey && spp == 2 && bps == 8 && pg->alpha) {
        set(Kind::GreyA8, pg->associated ? PixelFormat32bppPARGB : PixelFormat32bppARGB);
    } else if (photo == PHOTOMETRIC_RGB && spp >= 3 && (bps == 8 || bps == 16)) {
        bool a = pg->alpha && spp >= 4;
        if (bps == 8)
            a ? set(Kind::Rgba8, pg->associated ? PixelFormat32bppPARGB : PixelFormat32bppARGB)
              : set(Kind::Rgb8, PixelFormat24bppRGB);
        else
            a ? set(Kind::Rgba16, pg->associated ? PixelFormat64bppPARGB : PixelFormat64bppARGB)
              : set(Kind::Rgb16, PixelFormat48bppRGB);
    } else if (photo == PHOTOMETRIC_SEPARATED && spp >= 4 && bps == 8) {
        uint16_t inkset = INKSET_CMYK;
        TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkset);
        if (inkset == INKSET_CMYK) set(Kind::Cmyk8, PixelFormat24bppRGB);
    }
    if (pg->kind == Kind::Rgba)
        pg->format = pg->alpha ? PixelFormat32bppPARGB : PixelFormat32bppRGB;
}

std::vector<ARGB> page_palette(TIFF* tif, const Page& pg) {
    const int entries = 1 << pg.bps;
    if (pg.photometric != PHOTOMETRIC_PALETTE) return grey_palette(entries, pg.min_is_white);
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b)
        return grey_palette(entries);
    bool wide = false;  // some writers store 8-bit values in the 16-bit map
    for (int i = 0; i < entries; ++i) wide = wide || r[i] > 255 || g[i] > 255 || b[i] > 255;
    const int shift = wide ? 8 : 0;
    std::vector<ARGB> pal(static_cast<size_t>(entries));
    for (int i = 0; i < entries; ++i)
        pal[size_t(i)] =
            argb(255, uint8_t(r[i] >> shift), uint8_t(g[i] >> shift), uint8_t(b[i] >> shift));
    return pal;
}

// One stored row (samples interleaved, native byte order) into a frame row.
void convert_row(const Page& pg, const uint8_t* s, BYTE* d) {
    const uint32_t w = pg.width, spp = pg.spp;
    auto s16 = reinterpret_cast<const uint16_t*>(s);
    auto put16 = [&](size_t i, uint16_t v) { wr16le(d + 2 * i, v); };
    switch (pg.kind) {
        case Kind::Copy:
            std::memcpy(d, s, (size_t(w) * pg.bps + 7) / 8);
            break;
        case Kind::Widen2:
            widen_2_to_4(s, d, int32_t(w));
            break;
        case Kind::Rgb8:
        case Kind::Rgba8: {
            const int out = pg.kind == Kind::Rgba8 ? 4 : 3;
            for (uint32_t x = 0; x < w; ++x, s += spp, d += out) {
                d[0] = s[2], d[1] = s[1], d[2] = s[0];
                if (out == 4) d[3] = s[3];
            }
            break;
        }
        case Kind::Rgb16:
        case Kind::Rgba16: {
            const size_t out = pg.kind == Kind::Rgba16 ? 4 : 3;
            for (size_t x = 0; x < w; ++x) {
                const uint16_t* px = s16 + x * spp;
                put16(x * out, px[2]), put16(x * out + 1, px[1]), put16(x * out + 2, px[0]);
                if (out == 4) put16(x * out + 3, px[3]);
            }
            break;
        }
        case Kind::Grey16:
            for (size_t x = 0; x < w; ++x) {
                uint16_t v = pg.min_is_white ? uint16_t(65535 - s16[x]) : s16[x];
                put16(3 * x, v), put16(3 * x + 1, v), put16(3 * x + 2, v);
            }
            break;
        case Kind::GreyA8:
            for (uint32_t x = 0; x < w; ++x, s += 2, d += 4) {
                uint8_t v = pg.min_is_white ? uint8_t(255 - s[0]) : s[0];
                d[0] = d[1] = d[2] = v, d[3] = s[1];
            }
            break;
        case Kind::Cmyk8:
            for (uint32_t x = 0; x < w; ++x, s += spp, d += 3) cmyk_to_bgr(s, d);
            break;
        case Kind::Rgba:
            break;
    }
}

class TiffDecoder {
  public:
    TiffDecoder(TIFF* tif, const uint8_t* data, size_t size)
        : m_tif(tif), m_data(data), m_size(size), m_budget(size, Expansion::Raw) {}
    [[nodiscard]] GpStatus page(Frame* out, bool* usable);

  private:
    [[nodiscard]] GpStatus read_strips(const Page& pg, Frame& f);
    [[nodiscard]] GpStatus read_tiles(const Page& pg, Frame& f);
    void raw_strip(const Page& pg, uint32_t strip, uint8_t* buf, size_t len);
    void read_rgba(const Page& pg, Frame& f);

    TIFF* m_tif;
    const uint8_t* m_data;
    size_t m_size;
    FrameBudget m_budget;
    std::vector<uint8_t> m_buf, m_band;
};

// An uncompressed strip that reaches past the end of the input: the bytes that are there.
void TiffDecoder::raw_strip(const Page& pg, uint32_t strip, uint8_t* buf, size_t len) {
    uint64_t off = TIFFGetStrileOffset(m_tif, strip), count = TIFFGetStrileByteCount(m_tif, strip);
    if (off >= m_size) return;
    size_t k = size_t(std::min<uint64_t>({count, m_size - off, len}));
    std::memcpy(buf, m_data + off, k);
    if (pg.fill_order == FILLORDER_LSB2MSB) TIFFReverseBits(buf, tmsize_t(k));
    if (pg.bps == 16 && TIFFIsByteSwapped(m_tif))
        TIFFSwabArrayOfShort(reinterpret_cast<uint16_t*>(buf), tmsize_t(k / 2));
}

GpStatus TiffDecoder::read_strips(const Page& pg, Frame& f) {
    const tmsize_t scanline = TIFFScanlineSize(m_tif);
    uint32_t rps = pg.height;
    TIFFGetFieldDefaulted(m_tif, TIFFTAG_ROWSPERSTRIP, &rps);
    rps = std::clamp<uint32_t>(rps, 1, pg.height);
    if (scanline <= 0) return Gdiplus::GenericError;
    const size_t len = size_t(scanline) * rps;
    if (GpStatus st = m_budget.check(len); st != Gdiplus::Ok) return st;
    m_buf.resize(len);
    const uint32_t strips = TIFFNumberOfStrips(m_tif);
    for (uint32_t s = 0; s < strips; ++s) {
        const uint64_t row0 = uint64_t(s) * rps;
        if (row0 >= pg.height) break;
        const uint32_t rows = uint32_t(std::min<uint64_t>(rps, pg.height - row0));
        std::memset(m_buf.data(), 0, len);
        tmsize_t want = tmsize_t(size_t(scanline) * rows);
        if (TIFFReadEncodedStrip(m_tif, s, m_buf.data(), want) < 0 &&
            pg.compression == COMPRESSION_NONE)
            raw_strip(pg, s, m_buf.data(), size_t(want));
        for (uint32_t r = 0; r < rows; ++r)
            convert_row(pg, m_buf.data() + size_t(r) * size_t(scanline), f.row(int32_t(row0 + r)));
    }
    return Gdiplus::Ok;
}

GpStatus TiffDecoder::read_tiles(const Page& pg, Frame& f) {
    uint32_t tw = 0, th = 0;
    TIFFGetField(m_tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(m_tif, TIFFTAG_TILELENGTH, &th);
    const tmsize_t tile_size = TIFFTileSize(m_tif), tile_row = TIFFTileRowSize(m_tif);
    const tmsize_t scanline = TIFFScanlineSize(m_tif);
    const uint64_t bits = uint64_t(pg.bps) * pg.spp;
    if (!tw || !th || tile_size <= 0 || tile_row <= 0 || scanline <= 0 || (uint64_t(tw) * bits) % 8)
        return Gdiplus::GenericError;
    th = std::min(th, pg.height);
    const size_t band = size_t(scanline) * th;
    if (GpStatus st = m_budget.check(band + size_t(tile_size)); st != Gdiplus::Ok) return st;
    m_band.resize(band);
    m_buf.resize(size_t(tile_size));
    for (uint32_t ty = 0; ty < pg.height; ty += th) {
        std::memset(m_band.data(), 0, band);
        for (uint32_t tx = 0; tx < pg.width; tx += tw) {
            std::memset(m_buf.data(), 0, m_buf.size());
            TIFFReadEncodedTile(m_tif, TIFFComputeTile(m_tif, tx, ty, 0, 0), m_buf.data(),
                                tile_size);
            const size_t x_bytes = size_t(uint64_t(tx) * bits / 8);
            const size_t n = std::min(size_t(tile_row), size_t(scanline) - x_bytes);
            for (uint32_t r = 0; r < th; ++r)
                std::memcpy(&m_band[r * size_t(scanline) + x_bytes], &m_buf[r * size_t(tile_row)],
                            n);
        }
        for (uint32_t r = 0; r < th && ty + r < pg.height; ++r)
            convert_row(pg, &m_band[r * size_t(scanline)], f.row(int32_t(ty + r)));
    }
    return Gdiplus::Ok;
}

// libtiff's RGBA reader, in the file's own row order (the Orientation tag is not applied,
// as on the other paths).
void TiffDecoder::read_rgba(const Page& pg, Frame& f) {
    TIFFRGBAImage img;
    char msg[1024] = {};
    if (!TIFFRGBAImageBegin(&img, m_tif, 0, msg)) return;
    img.req_orientation = img.orientation;
    std::vector<uint32_t> raster;
    uint32_t* out = reinterpret_cast<uint32_t*>(f.scan0);
    if (size_t(f.stride) != size_t(pg.width) * 4) {
        raster.resize(size_t(pg.width) * pg.height);
        out = raster.data();
    }
    TIFFRGBAImageGet(&img, out, pg.width, pg.height);
    TIFFRGBAImageEnd(&img);
    for (uint32_t y = 0; y < pg.height; ++y) {
        const uint32_t* src = out + size_t(y) * pg.width;
        BYTE* dst = f.row(int32_t(y));
        for (uint32_t x = 0; x < pg.width; ++x) {
            uint32_t v = src[x];  // A B G R from the top bits down
            dst[4 * x + 0] = uint8_t(TIFFGetB(v)), dst[4 * x + 1] = uint8_t(TIFFGetG(v));
            dst[4 * x + 2] = uint8_t(TIFFGetR(v));
            dst[4 * x + 3] = pg.alpha ? uint8_t(TIFFGetA(v)) : 0xFF;
        }
    }
}

GpStatus TiffDecoder::page(Frame* out, bool* usable) {
    Page pg;
    read_tags(m_tif, &pg);
    *usable = false;
    if (!pg.width || !pg.height) return Gdiplus::Ok;
    classify(m_tif, &pg);
    char msg[1024] = {};
    if (pg.kind == Kind::Rgba && !TIFFRGBAImageOK(m_tif, msg)) return Gdiplus::Ok;
    m_budget.set_ratio(expansion(pg.compression));
    Frame f;
    if (GpStatus st = m_budget.new_frame(pg.width, pg.height, pg.format, &f); st != Gdiplus::Ok)
        return st;
    if (is_indexed(pg.format)) set_palette(f, page_palette(m_tif, pg));
    GpStatus st = Gdiplus::Ok;
    if (pg.kind == Kind::Rgba)
        read_rgba(pg, f);
    else
        st = TIFFIsTiled(m_tif) ? read_tiles(pg, f) : read_strips(pg, f);
    if (st == Gdiplus::GenericError) return Gdiplus::Ok;  // a page whose layout is broken
    if (st != Gdiplus::Ok) return st;

    float rx = 0, ry = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(m_tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    bool has_x = TIFFGetField(m_tif, TIFFTAG_XRESOLUTION, &rx) != 0;
    bool has_y = TIFFGetField(m_tif, TIFFTAG_YRESOLUTION, &ry) != 0;
    if (has_x && !has_y) ry = rx;
    if (has_y && !has_x) rx = ry;
    double k = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    if ((has_x || has_y) && unit != RESUNIT_NONE && rx > 0 && ry > 0 && rx * k < 1e7 &&
        ry * k < 1e7) {
        f.dpi_x = float(rx * k);
        f.dpi_y = float(ry * k);
    }
    *out = std::move(f);
    *usable = true;
    return Gdiplus::Ok;
}

}  // namespace

bool sniff_tiff(const uint8_t* p, size_t n) {
    if (n < 4) return false;
    bool le = p[0] == 'I' && p[1] == 'I' && (p[2] == 42 || p[2] == 43) && p[3] == 0;
    bool be = p[0] == 'M' && p[1] == 'M' && p[2] == 0 && (p[3] == 42 || p[3] == 43);
    return le || be;
}

GpStatus decode_tiff(const uint8_t* p, size_t n, Image& image) {
    std::unique_ptr<TIFFOpenOptions, OptionsFree> opts(TIFFOpenOptionsAlloc());
    if (!opts) return Gdiplus::OutOfMemory;
    std::string error;
    TIFFOpenOptionsSetErrorHandlerExtR(opts.get(), keep_error, &error);
    TIFFOpenOptionsSetWarningHandlerExtR(opts.get(), quiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts.get(), tmsize_t(kMaxFrameBytes));
    Mem mem{p, n, 0};
    std::unique_ptr<TIFF, TiffCloser> tif(
        TIFFClientOpenExt("memory", "r", &mem, read_proc, write_proc, seek_proc, close_proc,
                          size_proc, map_proc, unmap_proc, opts.get()));
    if (!tif) {
        win::SetErrorDetail(error.empty() ? "libtiff: not a readable TIFF file" : error);
        return Gdiplus::GenericError;
    }
    auto decoder = std::make_unique<TiffDecoder>(tif.get(), p, n);
    int pages = 0;
    do {
        Frame f;
        bool usable = false;
        error.clear();
        if (GpStatus st = decoder->page(&f, &usable); st != Gdiplus::Ok) return st;
        if (!usable) {
            win::DebugLog("TIFF page " + std::to_string(pages + 1) + " skipped: " +
                          (error.empty() ? "unsupported layout" : error));
            continue;
        }
        Image tags;
        add_tiff_ifd_properties(tags, p, n, TIFFCurrentDirOffset(tif.get()));
        f.has_properties = true;
        f.properties = std::move(tags.properties);
        image.frames.push_back(std::move(f));
    } while (++pages < kMaxPages && TIFFReadDirectory(tif.get()));
    if (image.frames.empty()) {
        win::SetErrorDetail(error.empty() ? "TIFF: no readable page" : error);
        return Gdiplus::GenericError;
    }
    image.frame_dimension = FrameDimensionPage;
    bool real_dpi = image.frames.front().dpi_x != 96 || image.frames.front().dpi_y != 96;
    if (real_dpi) image.flags |= kImageFlagsHasRealDPI;
    return Gdiplus::Ok;
}

}  // namespace gdip::codec
