// Encoding an A4 page at 300 dpi (2480 x 3508) to every format through the gdiplus
// stand-in, and multipage G4 TIFFs. With LUM_BENCH_INPUT=file.raw (24-bit BGR rows, as
// bench/compare_encode.py writes them) the page is read from there, else synthesised.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/gdiplus/gdiplus.h"

namespace {

constexpr INT kW = 2480, kH = 3508;

std::vector<BYTE> page_pixels() {
    if (const char* in = std::getenv("LUM_BENCH_INPUT")) {
        std::ifstream f(in, std::ios::binary);
        std::vector<BYTE> v{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
        if (v.size() == size_t(kW) * kH * 3) return v;
    }
    std::vector<BYTE> v(size_t(kW) * kH * 3);
    std::mt19937 rng(1);
    for (INT y = 0; y < kH; ++y)
        for (INT x = 0; x < kW; ++x) {
            BYTE* p = &v[(size_t(y) * kW + x) * 3];
            double n = double(rng() % 13) - 6;
            p[2] = BYTE(
                std::clamp(128 + 100 * std::sin(x / 23.0) * std::cos(y / 31.0) + n, 0.0, 255.0));
            p[1] = BYTE(std::clamp(128 + 90 * std::sin((x + y) / 41.0) + n, 0.0, 255.0));
            p[0] = BYTE(std::clamp(255.0 * x / (kW - 1) + n, 0.0, 255.0));
        }
    if (std::getenv("LUM_BENCH_DUMP")) {
        std::FILE* f = std::fopen("/tmp/lum_bench_page.raw", "wb");
        if (f) std::fwrite(v.data(), 1, v.size(), f), std::fclose(f);
    }
    return v;
}

struct Session {
    ULONG token = 0;
    Session() {
        GdiplusStartupInput in;
        GdiplusStartup(&token, &in, nullptr);
    }
    ~Session() { GdiplusShutdown(token); }
};

GpBitmap make_page(std::vector<BYTE>& px, PixelFormat f) {
    GpBitmap b = 0;
    GdipCreateBitmapFromScan0(kW, kH, 0, f, nullptr, &b);
    BitmapData d;
    d.Stride = kW * 3;
    d.Scan0 = px.data();
    GpRect r{0, 0, kW, kH};
    GdipBitmapLockBits(b, &r, ImageLockModeWrite | ImageLockModeUserInputBuf, PixelFormat24bppRGB,
                       &d);
    GdipBitmapUnlockBits(b, &d);
    GdipBitmapSetResolution(b, 300, 300);
    return b;
}

const CLSID* encoder(const char* mime) {
    for (const auto& e : LumGdiplusEncoders())
        if (e.MimeType == mime) return &e.Clsid;
    return nullptr;
}

// LUM_BENCH_OUT chooses the folder (default /tmp).
std::string out_path(const char* ext) {
    const char* dir = std::getenv("LUM_BENCH_OUT");
    return std::string(dir ? dir : "/tmp") + "/lum_bench_out." + ext;
}

void save(benchmark::State& state, const char* mime, const char* ext, ULONG compression = 0) {
    Session s;
    auto px = page_pixels();
    GpBitmap b = make_page(px, PixelFormat24bppRGB);
    ULONG value = compression;
    EncoderParameters p{};
    p.Count = compression ? 1 : 0;
    p.Parameter[0] = {EncoderCompression, 1, EncoderParameterValueTypeLong, &value};
    std::string path = out_path(ext);
    for (auto _ : state)
        if (GdipSaveImageToFile(b, path.c_str(), encoder(mime), p.Count ? &p : nullptr))
            state.SkipWithError("save failed");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
        std::fseek(f, 0, SEEK_END);
        state.counters["bytes"] = double(std::ftell(f));
        std::fclose(f);
    }
    GdipDisposeImage(b);
}

void BM_Bmp(benchmark::State& s) {
    save(s, "image/bmp", "bmp");
}
void BM_JpegQ75(benchmark::State& s) {
    save(s, "image/jpeg", "jpg");
}
void BM_Png(benchmark::State& s) {
    save(s, "image/png", "png");
}
void BM_Gif(benchmark::State& s) {
    save(s, "image/gif", "gif");
}
void BM_TiffLzw(benchmark::State& s) {
    save(s, "image/tiff", "tif", EncoderValueCompressionLZW);
}

// A bilevel page like a scanned letter: lines of glyph-like strokes on white margins.
GpBitmap text_page() {
    GpBitmap b = 0;
    GdipCreateBitmapFromScan0(kW, kH, 0, PixelFormat1bppIndexed, nullptr, &b);
    BitmapData d;
    GdipBitmapLockBits(b, nullptr, ImageLockModeWrite, PixelFormat1bppIndexed, &d);
    std::mt19937 rng(7);
    std::vector<int> glyphs;  // x positions of glyph starts on the current line
    for (INT y = 0; y < kH; ++y) {
        BYTE* row = static_cast<BYTE*>(d.Scan0) + ptrdiff_t(y) * d.Stride;
        std::fill(row, row + kW / 8, BYTE(0xFF));
        int in_line = y % 60;
        if (y < 300 || y > kH - 300 || in_line >= 36) continue;
        if (in_line == 0) {
            glyphs.clear();
            for (int x = 240; x < kW - 240; x += 22 + int(rng() % 10))
                if (rng() % 7) glyphs.push_back(x);
        }
        for (int x0 : glyphs) {
            bool bar = in_line < 4 || in_line > 31 || (in_line > 15 && in_line < 19);
            int w = bar ? 18 : 4;
            for (int k = 0; k < w; ++k) {
                int x = x0 + (bar ? k : (k + (x0 % 3) * 6));
                row[x / 8] &= BYTE(~(0x80 >> (x % 8)));
            }
        }
    }
    GdipBitmapUnlockBits(b, &d);
    GdipBitmapSetResolution(b, 300, 300);
    if (std::getenv("LUM_BENCH_DUMP")) {
        BitmapData r;
        GdipBitmapLockBits(b, nullptr, ImageLockModeRead, PixelFormat1bppIndexed, &r);
        std::FILE* f = std::fopen("/tmp/lum_bench_bilevel.raw", "wb");
        for (INT y = 0; f && y < kH; ++y)
            std::fwrite(static_cast<BYTE*>(r.Scan0) + ptrdiff_t(y) * r.Stride, 1, kW / 8, f);
        if (f) std::fclose(f);
        GdipBitmapUnlockBits(b, &r);
    }
    return b;
}

void BM_MultipageG4(benchmark::State& state) {
    Session s;
    const int pages = int(state.range(0));
    GpBitmap page = text_page();
    ULONG first_v[2] = {EncoderValueMultiFrame, EncoderValueCompressionCCITT4};
    EncoderParameters first{};
    first.Count = 2;
    first.Parameter[0] = {EncoderSaveFlag, 1, EncoderParameterValueTypeLong, &first_v[0]};
    first.Parameter[1] = {EncoderCompression, 1, EncoderParameterValueTypeLong, &first_v[1]};
    ULONG add_v = EncoderValueFrameDimensionPage;
    EncoderParameters add{};
    add.Count = 1;
    add.Parameter[0] = {EncoderSaveFlag, 1, EncoderParameterValueTypeLong, &add_v};
    std::string path = out_path("g4.tif");
    for (auto _ : state) {
        GpImage head = 0;
        GdipCloneImage(page, &head);
        GdipSaveImageToFile(head, path.c_str(), encoder("image/tiff"), &first);
        for (int i = 1; i < pages; ++i) GdipSaveAddImage(head, page, &add);
        GdipDisposeImage(head);  // completes the file
    }
    GdipDisposeImage(page);
}

BENCHMARK(BM_Bmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegQ75)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Gif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffLzw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MultipageG4)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
