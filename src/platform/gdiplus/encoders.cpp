// Encoder parameters, output sinks and the save entry points.
#include <algorithm>
#include <new>

#include "platform/gdiplus/encoders_p.h"

namespace gdip {
namespace {

class FileSink final : public Sink {
public:
    explicit FileSink(std::unique_ptr<win::OutputFile> file) : m_file(std::move(file)) {}
    bool write(const void* data, size_t n) override { return m_file->Write(data, n); }
    bool seek(uint64_t pos) override { return m_file->Seek(pos); }
    uint64_t tell() override { return m_file->Tell(); }
    uint64_t size() override { return m_file->Size(); }
    size_t read(void* data, size_t n) override { return m_file->Read(data, n); }
    bool finish() override { return m_file->Commit(); }

private:
    std::unique_ptr<win::OutputFile> m_file;
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

// A multi-frame source writes its active frame.
GpStatus encode_one(Image& img, const CodecDesc& codec, const EncodeOptions& opt,
                    std::unique_ptr<Sink> sink) {
    const Frame& f = img.frame();
    if (opt.save_flag == EncoderValueMultiFrame && codec.begin_frames) {
        std::unique_ptr<MultiFrameWriter> writer;
        GpStatus s = codec.begin_frames(f, opt, std::move(sink), &writer);
        if (s == Gdiplus::Ok) img.multipage = std::move(writer);
        return s;
    }
    GpStatus s = codec.encode(f, opt, *sink);
    if (s != Gdiplus::Ok) return s;  // dropping the sink removes what it wrote
    return sink->finish() ? Gdiplus::Ok : Gdiplus::Win32Error;
}

// Checks shared by the file and stream saves; sets the codec and options.
GpStatus prepare_save(GpImage image, const CLSID* clsid, const EncoderParameters* params,
                      Image** img, const CodecDesc** codec, EncodeOptions* opt) {
    *img = find_bitmap(image);
    if (!*img) return Gdiplus::InvalidParameter;  // metafiles have no encoder here either
    *codec = clsid ? find_encoder(*clsid) : nullptr;
    if (!*codec) return Gdiplus::InvalidParameter;
    if (GpStatus s = parse_options(params, opt); s != Gdiplus::Ok) return s;
    if (is_locked(**img)) return Gdiplus::WrongState;
    return Gdiplus::Ok;
}

}  // namespace

std::unique_ptr<Sink> open_file_sink(const std::string& path, bool in_place) {
    auto file = in_place ? win::CreateInPlace(path) : win::CreateReplacement(path);
    if (!file) return nullptr;
    return std::make_unique<FileSink>(std::move(file));
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
        for (const CodecDesc& c : codecs()) {
            if (!c.encode) continue;
            std::string name(c.name);
            v.push_back(ImageCodecInfo{c.clsid, *c.format, "Built-in " + name + " Codec", "",
                                       name, std::string(c.extensions), std::string(c.mime),
                                       0x00010007, 1});
        }
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
    const CodecDesc* codec;
    EncodeOptions opt;
    if (GpStatus s = prepare_save(image, encoder, params, &img, &codec, &opt); s != Gdiplus::Ok)
        return s;
    if (!filename) return Gdiplus::InvalidParameter;
    // A multipage file is written in place, page by page; every other file whole or not at all.
    bool in_place = opt.save_flag == EncoderValueMultiFrame && codec->begin_frames;
    if (in_place && img->multipage) return Gdiplus::WrongState;
    auto sink = open_file_sink(filename, in_place);
    if (!sink) return Gdiplus::Win32Error;
    return guarded([&] { return encode_one(*img, *codec, opt, std::move(sink)); });
}

GpStatus GdipSaveImageToStream(GpImage image, IStream* stream, const CLSID* encoder,
                               const EncoderParameters* params) {
    Image* img;
    const CodecDesc* codec;
    EncodeOptions opt;
    if (GpStatus s = prepare_save(image, encoder, params, &img, &codec, &opt); s != Gdiplus::Ok)
        return s;
    if (opt.save_flag == EncoderValueMultiFrame && img->multipage) return Gdiplus::WrongState;
    auto sink = open_stream_sink(stream);
    if (!sink) return Gdiplus::InvalidParameter;
    return guarded([&] { return encode_one(*img, *codec, opt, std::move(sink)); });
}

GpStatus GdipSaveAdd(GpImage image, const EncoderParameters* params) {
    Image* img = find_bitmap(image);
    EncodeOptions opt;
    if (!img || !params) return Gdiplus::InvalidParameter;
    if (GpStatus s = parse_options(params, &opt); s != Gdiplus::Ok) return s;
    if (opt.save_flag != EncoderValueFlush) return Gdiplus::InvalidParameter;
    if (!img->multipage) return Gdiplus::WrongState;
    GpStatus s = guarded([&] { return img->multipage->finish(); });
    img->multipage.reset();
    return s;
}

GpStatus GdipSaveAddImage(GpImage image, GpImage new_image, const EncoderParameters* params) {
    Image* img = find_bitmap(image);
    Image* page = find_bitmap(new_image);
    EncodeOptions opt;
    if (!img || !page || !params) return Gdiplus::InvalidParameter;
    if (GpStatus s = parse_options(params, &opt); s != Gdiplus::Ok) return s;
    if (opt.save_flag != EncoderValueFrameDimensionPage) return Gdiplus::InvalidParameter;
    if (!img->multipage) return Gdiplus::WrongState;
    if (is_locked(*page)) return Gdiplus::WrongState;
    return guarded([&] { return img->multipage->add_frame(page->frame(), opt.compression); });
}
