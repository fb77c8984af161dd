// The TIFF encoder, one page or a multipage file kept open page by page. Written through
// libtiff's client I/O into a Sink (file or IStream).
//
// Frames go out as: 1 bit min-is-black / min-is-white (by palette) or palette; 4/8 bit grey
// ramps as grey, others as palette; RGB and RGBA 8 bit (unassociated, or associated for
// PARGB); 16-bit grey; RGB and RGBA 16 bit. CCITT applies to 1-bit pages only: any deeper
// page is written LZW instead, so a file is never broken by the choice.
#include <tiffio.h>

#include <cstring>

#include "platform/gdiplus/encoders_p.h"

namespace gdip {
namespace {

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

Sink* sink_of(thandle_t h) {
    return static_cast<Sink*>(h);
}

tmsize_t io_read(thandle_t h, void* data, tmsize_t n) {
    return tmsize_t(sink_of(h)->read(data, size_t(n)));
}
tmsize_t io_write(thandle_t h, void* data, tmsize_t n) {
    return sink_of(h)->write(data, size_t(n)) ? n : tmsize_t(-1);
}
toff_t io_seek(thandle_t h, toff_t off, int whence) {
    Sink* s = sink_of(h);
    uint64_t base = whence == SEEK_CUR ? s->tell() : whence == SEEK_END ? s->size() : 0;
    uint64_t pos = base + off;
    return s->seek(pos) ? pos : toff_t(-1);
}
int io_close(thandle_t) {
    return 0;
}
toff_t io_size(thandle_t h) {
    return sink_of(h)->size();
}
int io_map(thandle_t, void**, toff_t*) {
    return 0;
}
void io_unmap(thandle_t, void*, toff_t) {}

bool is_bw(const std::vector<ARGB>& p, bool white_first) {
    return p.size() == 2 && (p[white_first ? 1 : 0] | 0xFF000000u) == 0xFF000000u &&
           (p[white_first ? 0 : 1] | 0xFF000000u) == 0xFFFFFFFFu;
}

// How a frame's rows are laid out in the file.
struct PageLayout {
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t samples = 3, bits = 8;
    uint16_t extra = 0;          // EXTRASAMPLE_* when there is a fourth sample
    PixelFormat row_format = 0;  // converted to this first; 0: as stored
    bool swap_rb = false;        // B, G, R(, A) rows turned into R, G, B(, A)
};

PageLayout layout_for(const Frame& f) {
    PageLayout l;
    int bits = pixel_format_bits(f.format);
    if (is_indexed(f.format)) {
        l.samples = 1;
        l.bits = uint16_t(bits);
        l.photometric = PHOTOMETRIC_PALETTE;
        if (bits == 1 && is_bw(f.palette, false)) l.photometric = PHOTOMETRIC_MINISBLACK;
        if (bits == 1 && is_bw(f.palette, true)) l.photometric = PHOTOMETRIC_MINISWHITE;
        if (bits > 1 && is_grey_ramp(f.palette, bits)) l.photometric = PHOTOMETRIC_MINISBLACK;
        return l;
    }
    l.swap_rb = true;
    switch (f.format) {
        case PixelFormat24bppRGB:
            break;
        case PixelFormat32bppARGB:
        case PixelFormat32bppPARGB:
            l.samples = 4;
            l.extra =
                f.format == PixelFormat32bppARGB ? EXTRASAMPLE_UNASSALPHA : EXTRASAMPLE_ASSOCALPHA;
            break;
        case PixelFormat16bppGrayScale:
            l = PageLayout{PHOTOMETRIC_MINISBLACK, 1, 16, 0, 0, false};
            break;
        case PixelFormat48bppRGB:
            l.bits = 16;
            break;
        case PixelFormat64bppARGB:
        case PixelFormat64bppPARGB:
            l.samples = 4;
            l.bits = 16;
            l.extra =
                f.format == PixelFormat64bppARGB ? EXTRASAMPLE_UNASSALPHA : EXTRASAMPLE_ASSOCALPHA;
            break;
        case PixelFormat16bppARGB1555:
            l.samples = 4;
            l.extra = EXTRASAMPLE_UNASSALPHA;
            l.row_format = PixelFormat32bppARGB;
            break;
        default:  // 32bppRGB, 555, 565
            l.row_format = PixelFormat24bppRGB;
            break;
    }
    return l;
}

uint16_t tiff_compression(ULONG c) {
    switch (c) {
        case EncoderValueCompressionCCITT3:
            return COMPRESSION_CCITTFAX3;
        case EncoderValueCompressionCCITT4:
            return COMPRESSION_CCITTFAX4;
        case EncoderValueCompressionRle:
            return COMPRESSION_PACKBITS;
        case EncoderValueCompressionNone:
            return COMPRESSION_NONE;
        default:
            return COMPRESSION_LZW;
    }
}

void set_colormap(TIFF* tif, const Frame& f) {
    size_t n = size_t(1) << pixel_format_bits(f.format);
    std::vector<uint16_t> r(n), g(n), b(n);
    for (size_t i = 0; i < n && i < f.palette.size(); ++i) {
        r[i] = uint16_t(((f.palette[i] >> 16) & 255) * 257);
        g[i] = uint16_t(((f.palette[i] >> 8) & 255) * 257);
        b[i] = uint16_t((f.palette[i] & 255) * 257);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
}

// One file, open for as many pages as are added; libtiff writes through the sink.
class TiffFile final : public MultiFrameWriter {
public:
    TiffFile(std::unique_ptr<Sink> sink, ULONG compression)
        : m_sink(std::move(sink)), m_compression(compression) {}
    ~TiffFile() override {
        if (m_tif && finish() != Gdiplus::Ok)
            win::DebugLog("multipage TIFF left incomplete: " + win::GetErrorDetail());
    }

    bool open() {
        m_tif.reset(TIFFClientOpen("lum", "w", m_sink.get(), io_read, io_write, io_seek, io_close,
                                   io_size, io_map, io_unmap));
        return m_tif != nullptr;
    }

    GpStatus write_page(const Frame& frame, ULONG compression, bool multipage);

    GpStatus add_frame(const Frame& frame, ULONG compression) override {
        if (!m_tif) return Gdiplus::WrongState;
        return write_page(frame, compression ? compression : m_compression, true);
    }

    GpStatus finish() override {
        if (!m_tif) return Gdiplus::WrongState;
        m_tif.reset();  // TIFFClose writes what is pending
        bool ok = !m_failed && m_sink->finish();
        if (m_failed && win::GetErrorDetail().empty()) win::SetErrorDetail("TIFF: write failed");
        return ok ? Gdiplus::Ok : Gdiplus::Win32Error;
    }

private:
    GpStatus write_rows(const Frame& f, const PageLayout& l);

    std::unique_ptr<Sink> m_sink;
    std::unique_ptr<TIFF, TiffCloser> m_tif;
    ULONG m_compression;
    bool m_failed = false;
};

GpStatus TiffFile::write_rows(const Frame& f, const PageLayout& l) {
    // libtiff may scribble on the rows it is given: they always come through the buffer.
    RowSource rows(f, l.row_format, {}, true);
    if (l.swap_rb) rows.swap_red_blue(l.bits / 8, l.samples);
    if (rows.status() != Gdiplus::Ok) return rows.status();
    for (int32_t y = 0; y < f.height; ++y) {
        const uint8_t* row = rows.row(y);
        if (!row) return Gdiplus::InvalidParameter;
        if (TIFFWriteScanline(m_tif.get(), const_cast<uint8_t*>(row), uint32_t(y), 0) < 0) {
            m_failed = true;
            return Gdiplus::Win32Error;
        }
    }
    return Gdiplus::Ok;
}

GpStatus TiffFile::write_page(const Frame& frame, ULONG compression, bool multipage) {
    if (!m_tif) return Gdiplus::WrongState;
    const Frame* f = &frame;
    Frame bilevel;
    bool ccitt = compression == EncoderValueCompressionCCITT3 ||
                 compression == EncoderValueCompressionCCITT4;
    if (ccitt && frame.format != PixelFormat1bppIndexed) {
        compression = EncoderValueCompressionLZW;
    } else if (ccitt && !is_bw(frame.palette, false) && !is_bw(frame.palette, true)) {
        // Fax coding knows black and white only: other two-colour palettes are thresholded.
        if (GpStatus s =
                convert_frame(frame, PixelFormat1bppIndexed, &bilevel, {0xFF000000u, 0xFFFFFFFFu});
            s != Gdiplus::Ok)
            return s;
        f = &bilevel;
    }
    PageLayout l = layout_for(*f);
    TIFF* tif = m_tif.get();
    if (multipage) TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(f->width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(f->height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, l.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, l.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, l.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, tiff_compression(compression));
    if (l.extra) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &l.extra);
    if (l.photometric == PHOTOMETRIC_PALETTE) set_colormap(tif, *f);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, f->dpi_x);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, f->dpi_y);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    if (GpStatus s = write_rows(*f, l); s != Gdiplus::Ok) return s;
    if (!TIFFWriteDirectory(tif)) {
        m_failed = true;
        return Gdiplus::Win32Error;
    }
    return Gdiplus::Ok;
}

}  // namespace

namespace {

GpStatus open_file(const Frame& frame, const EncodeOptions& opt, std::unique_ptr<Sink> sink,
                   bool multipage, std::unique_ptr<TiffFile>* out) {
    Frame storage;
    const Frame* f = nullptr;
    if (GpStatus s = frame_at_depth(frame, opt.color_depth, &storage, &f); s != Gdiplus::Ok)
        return s;
    ULONG compression = opt.compression ? opt.compression : EncoderValueCompressionLZW;
    auto file = std::make_unique<TiffFile>(std::move(sink), compression);
    if (!file->open()) return Gdiplus::Win32Error;
    if (GpStatus s = file->write_page(*f, compression, multipage); s != Gdiplus::Ok) return s;
    *out = std::move(file);
    return Gdiplus::Ok;
}

// The sink a one-page file writes through, kept by the caller (its finish() is the caller's).
class BorrowedSink final : public Sink {
public:
    explicit BorrowedSink(Sink& s) : m_s(s) {}
    bool write(const void* d, size_t n) override { return m_s.write(d, n); }
    bool seek(uint64_t p) override { return m_s.seek(p); }
    uint64_t tell() override { return m_s.tell(); }
    uint64_t size() override { return m_s.size(); }
    size_t read(void* d, size_t n) override { return m_s.read(d, n); }
    bool finish() override { return true; }

private:
    Sink& m_s;
};

}  // namespace

GpStatus encode_tiff(const Frame& frame, const EncodeOptions& opt, Sink& sink) {
    std::unique_ptr<TiffFile> file;
    GpStatus s = open_file(frame, opt, std::make_unique<BorrowedSink>(sink), false, &file);
    return s == Gdiplus::Ok ? file->finish() : s;
}

GpStatus begin_tiff(const Frame& frame, const EncodeOptions& opt, std::unique_ptr<Sink> sink,
                    std::unique_ptr<MultiFrameWriter>* writer) {
    std::unique_ptr<TiffFile> file;
    GpStatus s = open_file(frame, opt, std::move(sink), true, &file);
    if (s == Gdiplus::Ok) *writer = std::move(file);
    return s;
}

}  // namespace gdip
