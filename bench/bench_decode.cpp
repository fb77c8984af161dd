// Decoding an A4 page at 300 dpi (2480 x 3508, 24-bit) from memory as JPEG, PNG and TIFF
// (LZW), through GdipLoadImageFromStream as the engine loads bytes.
//
// The files are read from $LUM_BENCH_DECODE_DIR (a4.jpg, a4.png, a4_lzw.tif, as
// bench/compare_decode.py writes them, so that every decoder times the same bytes); without
// it they are made here from a synthetic photo-like page with the stand-in's own encoders.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gdiplus/gdiplus.h"

namespace {

constexpr INT kWidth = 2480, kHeight = 3508;

struct Session {
    ULONG token = 0;
    Session() {
        GdiplusStartupInput input;
        GdiplusStartup(&token, &input, nullptr);
    }
    ~Session() { GdiplusShutdown(token); }
};

// Gradients, soft discs and a little deterministic noise: compresses like a scan, not flat.
std::vector<BYTE> synthetic_page(INT stride) {
    std::vector<BYTE> px(size_t(stride) * kHeight);
    uint32_t seed = 12345;
    for (INT y = 0; y < kHeight; ++y) {
        BYTE* row = px.data() + size_t(y) * size_t(stride);
        for (INT x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            int noise = int(seed >> 28) - 8;
            double d = std::hypot(x - 1240.0, y - 1500.0) / 40.0;
            int ring = int(60 * std::sin(d));
            row[3 * x + 0] = BYTE(std::clamp(x * 255 / kWidth + noise, 0, 255));
            row[3 * x + 1] = BYTE(std::clamp(y * 255 / kHeight + ring + noise, 0, 255));
            row[3 * x + 2] = BYTE(std::clamp(128 + ring + noise, 0, 255));
        }
    }
    return px;
}

std::vector<uint8_t> encode(const char* mime, const std::vector<BYTE>& px, INT stride) {
    const ImageCodecInfo* codec = nullptr;
    for (const auto& e : LumGdiplusEncoders())
        if (e.MimeType == mime) codec = &e;
    GpBitmap bmp = 0;
    if (!codec || GdipCreateBitmapFromScan0(kWidth, kHeight, stride, PixelFormat24bppRGB,
                                            const_cast<BYTE*>(px.data()), &bmp) != Gdiplus::Ok)
        return {};
    EncoderParameters params{};
    ULONG lzw = EncoderValueCompressionLZW, quality = 85;
    if (std::string(mime) == "image/tiff")
        params.Count = 1,
        params.Parameter[0] = {EncoderCompression, 1, EncoderParameterValueTypeLong, &lzw};
    if (std::string(mime) == "image/jpeg")
        params.Count = 1,
        params.Parameter[0] = {EncoderQuality, 1, EncoderParameterValueTypeLong, &quality};
    IStream* raw = nullptr;
    CreateStreamOnHGlobal(0, TRUE, &raw);
    ComPtr<IStream> stream = ComPtr<IStream>::adopt(raw);
    std::vector<uint8_t> out;
    if (stream && GdipSaveImageToStream(bmp, stream.get(), &codec->Clsid, &params) == Gdiplus::Ok) {
        stream->Seek(0, STREAM_SEEK_SET, nullptr);
        ole::ReadAll(stream.get(), &out);
    }
    GdipDisposeImage(bmp);
    return out;
}

const std::vector<uint8_t>& page(const char* file, const char* mime) {
    static Session session;
    static std::vector<BYTE> pixels;
    struct Entry {
        std::string file;
        std::vector<uint8_t> bytes;
    };
    static std::vector<Entry> cache;
    for (const Entry& e : cache)
        if (e.file == file) return e.bytes;
    std::vector<uint8_t> bytes;
    if (const char* dir = std::getenv("LUM_BENCH_DECODE_DIR")) {
        std::ifstream in(std::string(dir) + "/" + file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    } else {
        const INT stride = (kWidth * 3 + 3) & ~3;
        if (pixels.empty()) pixels = synthetic_page(stride);
        bytes = encode(mime, pixels, stride);
    }
    cache.push_back({file, std::move(bytes)});
    return cache.back().bytes;
}

void decode(benchmark::State& state, const char* file, const char* mime) {
    const std::vector<uint8_t>& bytes = page(file, mime);
    if (bytes.empty()) {
        state.SkipWithError("no input file");
        return;
    }
    for (auto _ : state) {
        ComPtr<IStream> stream = ole::CreateStreamOnMemory(bytes.data(), bytes.size());
        GpImage image = 0;
        if (GdipLoadImageFromStream(stream.get(), &image) != Gdiplus::Ok) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(image);
        GdipDisposeImage(image);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
    state.counters["file_bytes"] = double(bytes.size());
}

BENCHMARK_CAPTURE(decode, jpeg, "a4.jpg", "image/jpeg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, png, "a4.png", "image/png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, tiff_lzw, "a4_lzw.tif", "image/tiff")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
