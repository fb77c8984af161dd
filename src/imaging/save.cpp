#include "imaging/save.h"

#include <algorithm>
#include <cctype>

#include "imaging/encoder_table.h"
#include "imaging/image_props.h"

namespace modGdiplus {
namespace {

class Parameters {
public:
    void add(const GUID& guid, ULONG value) {
        m_values[m_params.Count] = value;
        EncoderParameter& p = m_params.Parameter[m_params.Count];
        p.Guid = guid;
        p.NumberOfValues = 1;
        p.Type = EncoderParameterValueTypeLong;
        p.Value = &m_values[m_params.Count];
        ++m_params.Count;
    }
    const EncoderParameters* get() const { return m_params.Count ? &m_params : nullptr; }

private:
    EncoderParameters m_params{0, {}};
    ULONG m_values[16] = {};
};

EngineStatus save_file(GpImage image, const std::string& path, const char* pattern,
                       const Parameters& params) {
    int32_t index = FindEncoder(pattern);
    if (index < 0) return Gdiplus::UnknownImageFormat;
    return GdipSaveImageToFile(image, path.c_str(), &EncoderClsid(index), params.get());
}

bool needs_one_bit(int32_t compression) {
    return compression == 3 || compression == 4 || compression == 5;
}

std::string trim_lower(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    std::string t = b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(" \t") - b + 1);
    for (char& c : t) c = char(std::tolower((unsigned char)c));
    return t;
}

}  // namespace

EngineStatus SaveBmp(GpImage image, const std::string& path) {
    return save_file(image, path, "*.bmp", {});
}
EngineStatus SaveGif(GpImage image, const std::string& path) {
    return save_file(image, path, "*.gif", {});
}
EngineStatus SavePng(GpImage image, const std::string& path) {
    return save_file(image, path, "*.png", {});
}

EngineStatus SaveJpeg(GpImage image, const std::string& path, int32_t quality) {
    Parameters params;
    if (quality > 100) quality = 100;
    if (quality > 0) params.add(EncoderQuality, ULONG(quality));
    return save_file(image, path, "*.jpg", params);
}

EngineStatus SaveTiff(GpImage image, const std::string& path, int32_t compression,
                      int32_t depth) {
    if (FindEncoder("*.tif") < 0) return Gdiplus::UnknownImageFormat;
    int32_t bits = 0;
    GetBitDepth(image, bits);
    if (depth == 16) depth = 24;
    if (GdiplusBelow6() && depth > 0 && depth < 24) depth = 0;
    // The colour depth asked for decides; without one, the image's own depth does.
    if (needs_one_bit(compression) && ((depth != 0 && depth > 1) || (depth == 0 && bits > 1)))
        compression = 2;
    Parameters params;
    if (compression != 0) params.add(EncoderCompression, ULONG(compression));
    if (depth != 0) params.add(EncoderColorDepth, ULONG(depth));
    return save_file(image, path, "*.tif", params);
}

EngineStatus BeginMultipageTiff(GpImage image, const std::string& path, int32_t compression) {
    if (FindEncoder("*.tif") < 0) return Gdiplus::UnknownImageFormat;
    int32_t bits = 0;
    GetBitDepth(image, bits);
    if (needs_one_bit(compression) && bits > 1) compression = 2;
    Parameters params;
    params.add(EncoderSaveFlag, EncoderValueMultiFrame);
    params.add(EncoderCompression, ULONG(compression));
    return save_file(image, path, "*.tif", params);
}

EngineStatus AddMultipageTiffPage(GpImage multipage, GpImage page) {
    Parameters params;
    params.add(EncoderSaveFlag, EncoderValueFrameDimensionPage);
    return GdipSaveAddImage(multipage, page, params.get());
}

EngineStatus SaveToStream(GpImage image, ComPtr<IStream>& stream, const std::string& format,
                          int32_t parameter) {
    std::string ext = trim_lower(format);
    int32_t index = FindEncoder("*." + ext);
    if (index < 0) {
        ext = "bmp";
        index = FindEncoder("*.bmp");
    }
    if (index < 0) return Gdiplus::UnknownImageFormat;
    Parameters params;
    if (parameter != 0) {
        if (ext == "jpg" || ext == "jpeg")
            params.add(EncoderQuality, ULONG(parameter > 0 ? parameter : 75));
        else if (ext == "tif" || ext == "tiff")
            params.add(EncoderCompression, ULONG(parameter));
    }
    ComPtr<IStream> fresh;
    if (FAILED(CreateStreamOnHGlobal(0, TRUE, fresh.put()))) return Gdiplus::GenericError;
    stream = fresh;
    return GdipSaveImageToStream(image, stream.get(), &EncoderClsid(index), params.get());
}

EngineStatus SaveToBytes(GpImage image, int32_t& count, SafeArray<uint8_t>& bytes,
                         const std::string& format, int32_t parameter) {
    count = 0;
    ComPtr<IStream> stream;
    EngineStatus s = SaveToStream(image, stream, format, parameter);
    if (s != Gdiplus::Ok) return s;
    uint64_t size = 0;
    stream->Seek(0, STREAM_SEEK_END, &size);
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    if (size == 0 || size > 0x7FFFFFFF) return Gdiplus::GenericError;
    bytes.redim(0, ULONG(size));
    ULONG read = 0;
    stream->Read(bytes.data(), ULONG(size), &read);
    count = int32_t(read);
    return s;
}

char32_t Cp1252ToUnicode(uint8_t b) {
    static constexpr char32_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char32_t(b);
}

namespace {
void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}
}  // namespace

EngineStatus SaveToString(GpImage image, std::string& text, const std::string& format,
                          int32_t parameter) {
    text.clear();
    int32_t count = 0;
    SafeArray<uint8_t> bytes;
    EngineStatus s = SaveToBytes(image, count, bytes, format, parameter);
    if (s != Gdiplus::Ok) return s;
    text.reserve(size_t(count) * 2);
    for (int32_t i = 0; i < count; ++i) append_utf8(text, Cp1252ToUnicode(bytes.at(i)));
    return s;
}

}  // namespace modGdiplus
