// The encoder table, encoder parameters, output sinks and the save entry points.
#include <algorithm>

#include "platform/gdiplus/encoders_p.h"

namespace gdip {
namespace {

constexpr GUID codec_clsid(uint32_t d1) {
    return ole::MakeGuid(d1, 0x1A04, 0x11D3, 0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E);
}

enum class Codec { Bmp, Jpeg, Gif, Tiff, Png };

struct EncoderDesc {
    Codec codec;
    ImageCodecInfo info;
};

const std::vector<EncoderDesc>& encoder_table() {
    static const std::vector<EncoderDesc> table = [] {
        auto make = [](Codec c, uint32_t id, const GUID& format, const char* name, const char* ext,
                       const char* mime) {
            ImageCodecInfo i{codec_clsid(id),
                             format,
                             std::string("Built-in ") + name + " Codec",
                             "",
                             name,
                             ext,
                             mime,
                             0x00010007,
                             1};
            return EncoderDesc{c, i};
        };
        return std::vector<EncoderDesc>{
            make(Codec::Bmp, 0x557CF400, ImageFormatBMP, "BMP", "*.BMP;*.DIB;*.RLE", "image/bmp"),
            make(Codec::Jpeg, 0x557CF401, ImageFormatJPEG, "JPEG", "*.JPG;*.JPEG;*.JPE;*.JFIF",
                 "image/jpeg"),
            make(Codec::Gif, 0x557CF402, ImageFormatGIF, "GIF", "*.GIF", "image/gif"),
            make(Codec::Tiff, 0x557CF405, ImageFormatTIFF, "TIFF", "*.TIF;*.TIFF", "image/tiff"),
            make(Codec::Png, 0x557CF406, ImageFormatPNG, "PNG", "*.PNG", "image/png"),
        };
    }();
    return table;
}

const EncoderDesc* find_encoder(const CLSID* clsid) {
    if (!clsid) return nullptr;
    for (const auto& e : encoder_table())
        if (e.info.Clsid == *clsid) return &e;
    return nullptr;
}

// ---- sinks ----------------------------------------------------------------------------

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

class FileSink final : public Sink {
  public:
    explicit FileSink(FILE* f) : m_file(f) { std::setvbuf(f, nullptr, _IOFBF, 1 << 16); }
    bool write(const void* data, size_t n) override {
        return std::fwrite(data, 1, n, m_file.get()) == n;
    }
    bool seek(uint64_t pos) override { return fseeko(m_file.get(), off_t(pos), SEEK_SET) == 0; }
    uint64_t tell() override { return uint64_t(ftello(m_file.get())); }
    uint64_t size() override {
        off_t here = ftello(m_file.get());
        fseeko(m_file.get(), 0, SEEK_END);
        off_t end = ftello(m_file.get());
        fseeko(m_file.get(), here, SEEK_SET);
        return uint64_t(end);
    }
    size_t read(void* data, size_t n) override { return std::fread(data, 1, n, m_file.get()); }
    bool finish() override {
        bool ok = std::fflush(m_file.get()) == 0 && !std::ferror(m_file.get());
        return std::fclose(m_file.release()) == 0 && ok;
    }

  private:
    std::unique_ptr<FILE, FileCloser> m_file;
};

class StreamSink final : public Sink {
  public:
    StreamSink(IStream* s, uint64_t start) : m_stream(s), m_start(start) {}
    bool write(const void* data, size_t n) override {
        const BYTE* p = static_cast<const BYTE*>(data);
        while (n) {
            ULONG chunk = ULONG(std::min<size_t>(n, 1u << 30)), done = 0;
            if (FAILED(m_stream->Write(p, chunk, &done)) || done != chunk) return false;
            p += chunk;
            n -= chunk;
        }
        return true;
    }
    bool seek(uint64_t pos) override {
        return SUCCEEDED(m_stream->Seek(int64_t(m_start + pos), STREAM_SEEK_SET, nullptr));
    }
    uint64_t tell() override {
        uint64_t pos = 0;
        m_stream->Seek(0, STREAM_SEEK_CUR, &pos);
        return pos - m_start;
    }
    uint64_t size() override {
        STATSTG st;
        return SUCCEEDED(m_stream->Stat(&st, STATFLAG_NONAME)) && st.cbSize > m_start
                   ? st.cbSize - m_start
                   : 0;
    }
    size_t read(void* data, size_t n) override {
        ULONG done = 0;
        m_stream->Read(data, ULONG(std::min<size_t>(n, 1u << 30)), &done);
        return done;
    }
    bool finish() override { return true; }

  private:
    ComPtr<IStream> m_stream;
    uint64_t m_start;
};

// ---- saving ---------------------------------------------------------------------------

GpStatus encode_one(Image& img, const EncoderDesc& enc, const EncodeOptions& opt,
                    std::unique_ptr<Sink> sink) {
    const Frame& f = img.frame();  // a multi-frame source writes its active frame
    GpStatus s = Gdiplus::Ok;
    switch (enc.codec) {
        case Codec::Tiff: {
            std::shared_ptr<void> writer;
            s = encode_tiff(f, opt, std::move(sink), &writer);
            if (s == Gdiplus::Ok && writer) img.multipage_writer = std::move(writer);
            return s;
        }
        case Codec::Bmp:
            s = encode_bmp(f, opt, *sink);
            break;
        case Codec::Jpeg:
            s = encode_jpeg(f, opt, *sink);
            break;
        case Codec::Gif:
            s = encode_gif(f, opt, *sink);
            break;
        case Codec::Png:
            s = encode_png(f, opt, *sink);
            break;
    }
    if (!sink->finish() && s == Gdiplus::Ok) s = Gdiplus::Win32Error;
    return s;
}

// Checks shared by the file and stream saves; sets the encoder and options.
GpStatus prepare_save(GpImage image, const CLSID* clsid, const EncoderParameters* params,
                      Image** img, const EncoderDesc** enc, EncodeOptions* opt) {
    *img = find_bitmap(image);
    if (!*img) return Gdiplus::InvalidParameter;  // metafiles have no encoder here either
    *enc = find_encoder(clsid);
    if (!*enc) return Gdiplus::InvalidParameter;
    if (GpStatus s = parse_options(params, opt); s != Gdiplus::Ok) return s;
    if (is_locked(**img)) return Gdiplus::WrongState;
    return Gdiplus::Ok;
}

}  // namespace

std::unique_ptr<Sink> open_file_sink(const char* path) {
    FILE* f = path && *path ? std::fopen(path, "w+b") : nullptr;
    if (!f) return nullptr;
    return std::make_unique<FileSink>(f);
}

std::unique_ptr<Sink> open_stream_sink(IStream* stream) {
    uint64_t start = 0;
    if (!stream || FAILED(stream->Seek(0, STREAM_SEEK_CUR, &start))) return nullptr;
    return std::make_unique<StreamSink>(stream, start);
}

GpStatus parse_options(const EncoderParameters* params, EncodeOptions* out) {
    *out = EncodeOptions{};
    if (!params) return Gdiplus::Ok;
    if (params->Count > 16) return Gdiplus::InvalidParameter;
    for (UINT i = 0; i < params->Count; ++i) {
        const EncoderParameter& p = params->Parameter[i];
        if (p.NumberOfValues < 1 || p.Type != EncoderParameterValueTypeLong || !p.Value)
            return Gdiplus::InvalidParameter;
        ULONG v = *static_cast<const ULONG*>(p.Value);
        if (p.Guid == EncoderQuality) {
            if (v > 100) return Gdiplus::InvalidParameter;
            out->quality = int(v);
        } else if (p.Guid == EncoderCompression) {
            if (v < EncoderValueCompressionLZW || v > EncoderValueCompressionNone)
                return Gdiplus::InvalidParameter;
            out->compression = v;
        } else if (p.Guid == EncoderColorDepth) {
            if (v != 1 && v != 4 && v != 8 && v != 24 && v != 32) return Gdiplus::InvalidParameter;
            out->color_depth = v;
        } else if (p.Guid == EncoderSaveFlag) {
            out->save_flag = v;
        }  // other parameters of the platform are not used by this system: ignored
    }
    return Gdiplus::Ok;
}

}  // namespace gdip

using namespace gdip;

const std::vector<ImageCodecInfo>& LumGdiplusEncoders() {
    static const std::vector<ImageCodecInfo> list = [] {
        std::vector<ImageCodecInfo> v;
        for (const auto& e : encoder_table()) v.push_back(e.info);
        return v;
    }();
    return list;
}

GpStatus GdipGetImageEncodersSize(UINT* count, UINT* size) {
    if (!count || !size) return Gdiplus::InvalidParameter;
    // The platform's flat buffer holds the records and their wide strings.
    UINT bytes = 0;
    for (const auto& i : LumGdiplusEncoders()) {
        bytes += UINT(sizeof(CLSID) * 2 + 4 * sizeof(DWORD) + 6 * sizeof(void*));
        for (const std::string* s :
             {&i.CodecName, &i.DllName, &i.FormatDescription, &i.FilenameExtension, &i.MimeType})
            bytes += UINT(2 * (s->size() + 1));
    }
    *count = UINT(LumGdiplusEncoders().size());
    *size = bytes;
    return Gdiplus::Ok;
}

GpStatus GdipSaveImageToFile(GpImage image, const char* filename, const CLSID* encoder,
                             const EncoderParameters* params) {
    Image* img;
    const EncoderDesc* enc;
    EncodeOptions opt;
    if (GpStatus s = prepare_save(image, encoder, params, &img, &enc, &opt); s != Gdiplus::Ok)
        return s;
    if (!filename) return Gdiplus::InvalidParameter;
    auto sink = open_file_sink(filename);
    if (!sink) return Gdiplus::Win32Error;
    return encode_one(*img, *enc, opt, std::move(sink));
}

GpStatus GdipSaveImageToStream(GpImage image, IStream* stream, const CLSID* encoder,
                               const EncoderParameters* params) {
    Image* img;
    const EncoderDesc* enc;
    EncodeOptions opt;
    if (GpStatus s = prepare_save(image, encoder, params, &img, &enc, &opt); s != Gdiplus::Ok)
        return s;
    auto sink = open_stream_sink(stream);
    if (!sink) return Gdiplus::InvalidParameter;
    return encode_one(*img, *enc, opt, std::move(sink));
}

GpStatus GdipSaveAdd(GpImage image, const EncoderParameters* params) {
    Image* img = find_bitmap(image);
    EncodeOptions opt;
    if (!img || !params) return Gdiplus::InvalidParameter;
    if (GpStatus s = parse_options(params, &opt); s != Gdiplus::Ok) return s;
    if (opt.save_flag != EncoderValueFlush) return Gdiplus::InvalidParameter;
    if (!img->multipage_writer) return Gdiplus::WrongState;
    GpStatus s = tiff_finish(img->multipage_writer.get());
    img->multipage_writer.reset();
    return s;
}

GpStatus GdipSaveAddImage(GpImage image, GpImage new_image, const EncoderParameters* params) {
    Image* img = find_bitmap(image);
    Image* page = find_bitmap(new_image);
    EncodeOptions opt;
    if (!img || !page || !params) return Gdiplus::InvalidParameter;
    if (GpStatus s = parse_options(params, &opt); s != Gdiplus::Ok) return s;
    if (opt.save_flag != EncoderValueFrameDimensionPage) return Gdiplus::InvalidParameter;
    if (!img->multipage_writer) return Gdiplus::WrongState;
    if (is_locked(*page)) return Gdiplus::WrongState;
    return tiff_add_page(img->multipage_writer.get(), page->frame(), opt.compression);
}
