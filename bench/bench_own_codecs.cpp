// The own codecs on an A4 page at 300 dpi (2480 x 3508): QuantizeTo8Bpp and WriteGif89a of a
// photograph, SaveAsGifI against SaveAsGif (the platform's encoder), and ReadPnm / WritePnm of
// a 24-bit page against copying the same bytes. With LUM_BENCH_PHOTO=file (any format the
// engine loads; bench/compare_own_codecs.py passes its PPM) that image is the photograph,
// else one is synthesised. Files go to LUM_BENCH_OUT (default /tmp).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "codecs/mGIFSave89a.h"
#include "codecs/mPNMFileIO.h"
#include "imaging/file_load.h"
#include "imaging/image_props.h"
#include "imaging/own_save.h"
#include "imaging/quantize.h"
#include "imaging/save.h"
#include "platform/win/file.h"
#include "platform/win/file_read.h"

namespace {

constexpr int32_t kW = 2480, kH = 3508;

std::string out_path(const char* name) {
    const char* dir = std::getenv("LUM_BENCH_OUT");
    return std::string(dir ? dir : "/tmp") + "/lum_bench_own_" + name;
}

// Soft shapes of several colours over gradients, with grain: many colours, photo-like
// statistics.
std::vector<BYTE> synthetic_photo() {
    std::vector<BYTE> bgr(size_t(kW) * kH * 3);
    std::mt19937 rng(7);
    std::normal_distribution<double> grain(0, 4);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
            double u = double(x) / kW, v = double(y) / kH;
            double r = 90 + 120 * v + 40 * std::sin(9 * u + 3 * v);
            double g = 140 + 60 * std::sin(5 * v) * std::cos(7 * u);
            double b = 200 - 150 * v + 30 * std::cos(11 * u * v);
            double d = std::hypot(u - 0.4, v - 0.6);
            if (d < 0.25) r = r * d * 4 + 230 * (1 - d * 4), g *= d * 4;
            BYTE* p = &bgr[(size_t(y) * kW + size_t(x)) * 3];
            double n = grain(rng);
            p[0] = BYTE(std::clamp(b + n, 0.0, 255.0));
            p[1] = BYTE(std::clamp(g + n, 0.0, 255.0));
            p[2] = BYTE(std::clamp(r + n, 0.0, 255.0));
        }
    return bgr;
}

// The photograph as a 24-bit engine image (kept for the whole run).
GpImage photo() {
    // Started once and left running: the thread's tables end before static objects do.
    static bool started = modGdiplus::EngineStartup();
    static GpImage image = [] {
        GpImage img = 0;
        if (const char* path = std::getenv("LUM_BENCH_PHOTO"))
            if (modGdiplus::LoadImageFromFile(img, path) == 0) return img;
        std::vector<BYTE> bgr = synthetic_photo();
        modGdiplus::CreateBlankImage(kW, kH, PixelFormat24bppRGB, img);
        BitmapData d;
        d.Width = kW, d.Height = kH, d.Stride = kW * 3, d.PixelFormat = PixelFormat24bppRGB;
        d.Scan0 = bgr.data();
        modGdiplus::LockImageBits(img, {0, 0, kW, kH}, modGdiplus::kLockWriteFromBuffer,
                                  PixelFormat24bppRGB, d);
        modGdiplus::UnlockImageBits(img, d);
        return img;
    }();
    (void)started;
    return image;
}

int32_t width_of(GpImage img) {
    int32_t w = 0;
    modGdiplus::GetImageWidth(img, w);
    return w;
}
int32_t height_of(GpImage img) {
    int32_t h = 0;
    modGdiplus::GetImageHeight(img, h);
    return h;
}

void BM_QuantizeTo8Bpp(benchmark::State& state) {
    GpImage src = photo();
    for (auto _ : state) {
        GpImage out = 0;
        int32_t colours = 256;
        std::vector<BYTE> palette;
        if (modGdiplus::QuantizeTo8Bpp(src, out, colours, palette) != 0)
            state.SkipWithError("quantize");
        modGdiplus::DisposeImage(out);
    }
}

// The 8-bit indices and palette of the reduced photograph, as SaveGifOwnWriter hands them over.
struct Indexed {
    int32_t w = 0, h = 0;
    std::vector<uint8_t> rows, palette;
};
const Indexed& indexed() {
    static Indexed ix = [] {
        Indexed r;
        GpImage src = photo(), out = 0;
        int32_t colours = 256;
        std::vector<BYTE> pal;
        modGdiplus::QuantizeTo8Bpp(src, out, colours, pal);
        r.w = width_of(out), r.h = height_of(out);
        int32_t stride = (r.w + 3) / 4 * 4;
        r.rows.resize(size_t(stride) * size_t(r.h));
        BitmapData d;
        d.Width = UINT(r.w), d.Height = UINT(r.h), d.Stride = stride;
        d.PixelFormat = PixelFormat8bppIndexed;
        d.Scan0 = r.rows.data();
        modGdiplus::LockImageBits(out, {0, 0, r.w, r.h}, modGdiplus::kLockReadIntoBuffer,
                                  PixelFormat8bppIndexed, d);
        modGdiplus::UnlockImageBits(out, d);
        for (int32_t i = 0; i < colours; ++i) {
            ARGB c;
            std::memcpy(&c, pal.data() + 8 + 4 * size_t(i), 4);
            r.palette.insert(r.palette.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255});
        }
        modGdiplus::DisposeImage(out);
        return r;
    }();
    return ix;
}

void BM_WriteGif89a(benchmark::State& state) {
    const Indexed& ix = indexed();
    const std::string path = out_path("write.gif");
    for (auto _ : state)
        if (mGIFSave89a::WriteGif89a(path, ix.w, ix.h, 8, ix.rows, 8, ix.palette, true, -1) != 1)
            state.SkipWithError("write");
}

void BM_SaveGifOwnWriter(benchmark::State& state) {
    GpImage src = photo();
    const std::string path = out_path("own.gif");
    for (auto _ : state)
        if (modGdiplus::SaveGifOwnWriter(src, path) != 0) state.SkipWithError("save");
}

void BM_SaveGifPlatform(benchmark::State& state) {
    GpImage src = photo();
    const std::string path = out_path("platform.gif");
    for (auto _ : state)
        if (modGdiplus::SaveGif(src, path) != 0) state.SkipWithError("save");
}

// A 24-bit page as P6 (26 MB), and the same bytes copied as a file.
const std::string& ppm_page() {
    static std::string path = [] {
        std::string p = out_path("page.ppm");
        modGdiplus::SavePnm(photo(), p);
        return p;
    }();
    return path;
}

void BM_ReadPnm(benchmark::State& state) {
    const std::string& path = ppm_page();
    for (auto _ : state) {
        int32_t w = 0, h = 0;
        std::vector<uint8_t> px;
        if (!mPNMFileIO::ReadPnm(path, w, h, px)) state.SkipWithError("read");
        benchmark::DoNotOptimize(px.data());
    }
}

void BM_WritePnm(benchmark::State& state) {
    int32_t w = 0, h = 0;
    std::vector<uint8_t> px;
    mPNMFileIO::ReadPnm(ppm_page(), w, h, px);
    const std::string path = out_path("write.ppm");
    for (auto _ : state)
        if (!mPNMFileIO::WritePnm(path, w, h, px, 24, {}, 0, 0)) state.SkipWithError("write");
}

// The baselines: the file's bytes read into memory, and written out whole as a new file.
void BM_ReadBytes(benchmark::State& state) {
    const std::string& path = ppm_page();
    for (auto _ : state) {
        std::vector<uint8_t> bytes;
        if (!win::ReadWholeFile(path, &bytes)) state.SkipWithError("read");
        std::vector<uint8_t> copy(bytes);  // the decoder's output buffer
        benchmark::DoNotOptimize(copy.data());
    }
}

void BM_WriteBytes(benchmark::State& state) {
    std::vector<uint8_t> bytes;
    (void)win::ReadWholeFile(ppm_page(), &bytes);
    const std::string path = out_path("copy.ppm");
    for (auto _ : state) {
        auto f = win::CreateReplacement(path);
        if (!f || !f->Write(bytes.data(), bytes.size()) || !f->Commit())
            state.SkipWithError("write");
    }
}

void BM_LoadPpmThroughEngine(benchmark::State& state) {
    photo();
    const std::string& path = ppm_page();
    for (auto _ : state) {
        GpImage img = 0;
        if (modGdiplus::LoadImageFromFile(img, path) != 0) state.SkipWithError("load");
        modGdiplus::DisposeImage(img);
    }
}

}  // namespace

BENCHMARK(BM_QuantizeTo8Bpp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteGif89a)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveGifOwnWriter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveGifPlatform)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadPnm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WritePnm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadPpmThroughEngine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
