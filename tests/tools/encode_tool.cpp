// Encodes raw pixels through the gdiplus stand-in's encoders, for the Python tests.
//
//   encode_tool IN.raw WIDTH HEIGHT PIXFMT OUT ENCODER [key=value ...]
//
// IN.raw holds tightly packed rows (no padding) in PIXFMT (a name such as 24bppRGB).
// ENCODER: bmp, jpeg, gif, tiff, png, or a CLSID in braces. Keys: quality, compression,
// depth (encoder parameters), palette=FILE (little-endian ARGB entries), dpi=X,Y,
// pages=N (a multipage TIFF of N copies), flush=1 (complete it with GdipSaveAdd instead of
// disposing), stream=1 (save into an IStream, then copy its bytes to OUT).
// Prints "status N" and exits with N.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/gdiplus/convert.h"
#include "platform/gdiplus/gdiplus.h"

namespace {

std::vector<BYTE> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

PixelFormat format_named(const std::string& name) {
    for (const auto& f : gdip::kPixelFormats)
        if (f.name == name) return f.value;
    return 0;
}

const CLSID* encoder_named(const std::string& name) {
    static const std::map<std::string, std::string> mime{{"bmp", "image/bmp"},
                                                         {"jpeg", "image/jpeg"},
                                                         {"gif", "image/gif"},
                                                         {"tiff", "image/tiff"},
                                                         {"png", "image/png"}};
    static CLSID parsed;
    if (!name.empty() && name[0] == '{') return ole::ParseGuid(name, &parsed) ? &parsed : nullptr;
    auto it = mime.find(name);
    for (const auto& e : LumGdiplusEncoders())
        if (it != mime.end() && e.MimeType == it->second) return &e.Clsid;
    return nullptr;
}

struct Params {
    EncoderParameters p{};
    ULONG values[16] = {};
    void add(const GUID& g, ULONG v) {
        values[p.Count] = v;
        p.Parameter[p.Count] = {g, 1, EncoderParameterValueTypeLong, &values[p.Count]};
        ++p.Count;
    }
};

int finish(int status) {
    std::printf("status %d\n", status);
    return status;
}

GpStatus load(GpBitmap b, std::vector<BYTE>& raw, INT w, INT h, PixelFormat f) {
    BitmapData d;
    d.Width = UINT(w);
    d.Height = UINT(h);
    d.Stride = *gdip::row_bytes(w, f);
    d.PixelFormat = f;
    d.Scan0 = raw.data();
    GpRect r{0, 0, w, h};
    GpStatus s = GdipBitmapLockBits(b, &r, ImageLockModeWrite | ImageLockModeUserInputBuf, f, &d);
    return s != Gdiplus::Ok ? s : GdipBitmapUnlockBits(b, &d);
}

// The stream stays open until the image is gone: a multipage file completes only then.
ComPtr<IStream> g_stream;

GpStatus save_stream(GpBitmap b, const CLSID* clsid, const EncoderParameters* p) {
    IStream* raw = nullptr;
    if (FAILED(CreateStreamOnHGlobal(0, TRUE, &raw))) return Gdiplus::GenericError;
    g_stream = ComPtr<IStream>::adopt(raw);
    return GdipSaveImageToStream(b, g_stream.get(), clsid, p);
}

GpStatus copy_stream(const char* out) {
    g_stream->Seek(0, STREAM_SEEK_SET, nullptr);
    std::vector<uint8_t> bytes;
    ole::ReadAll(g_stream.get(), &bytes);
    g_stream = nullptr;
    FILE* f = std::fopen(out, "wb");
    if (!f) return Gdiplus::Win32Error;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    return std::fclose(f) == 0 ? Gdiplus::Ok : Gdiplus::Win32Error;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: encode_tool IN.raw W H PIXFMT OUT ENCODER [key=value...]\n");
        return 64;
    }
    std::map<std::string, std::string> kv;
    for (int i = 7; i < argc; ++i) {
        std::string a = argv[i];
        auto eq = a.find('=');
        if (eq != std::string::npos) kv[a.substr(0, eq)] = a.substr(eq + 1);
    }
    INT w = std::stoi(argv[2]), h = std::stoi(argv[3]);
    PixelFormat f = format_named(argv[4]);
    const char* out = argv[5];
    const CLSID* clsid = encoder_named(argv[6]);
    std::vector<BYTE> raw = read_file(argv[1]);

    ULONG token = 0;
    GdiplusStartupInput input;
    GdiplusStartup(&token, &input, nullptr);
    GpBitmap b = 0;
    if (GpStatus s = GdipCreateBitmapFromScan0(w, h, 0, f, nullptr, &b); s != Gdiplus::Ok)
        return finish(s);
    if (kv.count("palette")) {
        std::vector<BYTE> pal = read_file(kv["palette"]);
        std::vector<BYTE> buf(8 + pal.size());
        UINT count = UINT(pal.size() / 4), flags = 0;
        std::memcpy(buf.data(), &flags, 4);
        std::memcpy(buf.data() + 4, &count, 4);
        std::memcpy(buf.data() + 8, pal.data(), pal.size());
        if (GpStatus s = GdipSetImagePalette(b, reinterpret_cast<ColorPalette*>(buf.data())); s)
            return finish(s);
    }
    if (raw.size() < size_t(*gdip::row_bytes(w, f)) * size_t(h))
        return finish(Gdiplus::InvalidParameter);
    if (GpStatus s = load(b, raw, w, h, f); s != Gdiplus::Ok) return finish(s);
    if (kv.count("dpi")) {
        float x = 0, y = 0;
        std::sscanf(kv["dpi"].c_str(), "%f,%f", &x, &y);
        GdipBitmapSetResolution(b, x, y);
    }
    Params params;
    if (kv.count("quality")) params.add(EncoderQuality, ULONG(std::stol(kv["quality"])));
    if (kv.count("compression"))
        params.add(EncoderCompression, ULONG(std::stol(kv["compression"])));
    if (kv.count("depth")) params.add(EncoderColorDepth, ULONG(std::stol(kv["depth"])));
    int pages = kv.count("pages") ? std::stoi(kv["pages"]) : 1;
    if (pages > 1) params.add(EncoderSaveFlag, EncoderValueMultiFrame);
    const EncoderParameters* p = params.p.Count ? &params.p : nullptr;

    GpStatus s =
        kv.count("stream") ? save_stream(b, clsid, p) : GdipSaveImageToFile(b, out, clsid, p);
    Params add;
    add.add(EncoderSaveFlag, EncoderValueFrameDimensionPage);
    for (int i = 1; s == Gdiplus::Ok && i < pages; ++i) s = GdipSaveAddImage(b, b, &add.p);
    if (s == Gdiplus::Ok && pages > 1 && kv.count("flush")) {
        Params flush;
        flush.add(EncoderSaveFlag, EncoderValueFlush);
        s = GdipSaveAdd(b, &flush.p);
    }
    GdipDisposeImage(b);  // completes a multipage file
    if (s == Gdiplus::Ok && g_stream) s = copy_stream(out);
    GdiplusShutdown(token);
    return finish(s);
}
