// The editing operations on an A4 300 dpi 24-bit page (2480 x 3508), beside the costs they
// are measured against: one byte-table pass over the page in its own format, and memcpy.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <vector>

#include "imaging/filtresGDIplus.h"
#include "imaging/geometry.h"
#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "imaging/quantize.h"

namespace {

constexpr int kW = 2480, kH = 3508;

// White paper, a 2 cm white margin, lines of dark "text" strokes, a grey photo block.
struct Page {
    GpImage image = 0;
    Page(PixelFormat format = PixelFormat24bppRGB) {
        modGdiplus::EngineStartup();
        (void)modGdiplus::CreateBlankImage(kW, kH, format, image);
        BitmapData d;
        GpRect r{0, 0, kW, kH};
        (void)GdipBitmapLockBits(image, &r, ImageLockModeWrite, PixelFormat24bppRGB, &d);
        for (int y = 0; y < kH; ++y) {
            BYTE* row = static_cast<BYTE*>(d.Scan0) + ptrdiff_t(y) * d.Stride;
            for (int x = 0; x < kW; ++x) {
                bool margin = x < 236 || y < 236 || x >= kW - 236 || y >= kH - 236;
                bool ink = !margin && (y / 12) % 3 == 0 && (x / 7) % 6 != 0 && y < 2400;
                bool photo = !margin && y >= 2500 && x < 1800;
                BYTE v = ink ? 30 : 255;
                BYTE* p = row + 3 * x;
                p[0] = photo ? BYTE(x * 255 / kW) : v;
                p[1] = photo ? BYTE(y * 255 / kH) : v;
                p[2] = photo ? BYTE((x + y) & 255) : v;
            }
        }
        (void)GdipBitmapUnlockBits(image, &d);
    }
    ~Page() {
        modGdiplus::DisposeImage(image);
        modGdiplus::EngineShutdown();
    }
};

void table_pass(benchmark::State& state) {
    std::vector<BYTE> page(size_t(kW) * 3 * kH, 200);
    std::array<BYTE, 256> t;
    for (int i = 0; i < 256; ++i) t[size_t(i)] = BYTE(255 - i);
    for (auto _ : state) {
        for (BYTE& b : page) b = t[b];
        benchmark::DoNotOptimize(page.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(table_pass)->Name("BM_TablePass24")->Unit(benchmark::kMillisecond);

void copy_pass(benchmark::State& state) {
    std::vector<BYTE> a(size_t(kW) * 3 * kH, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
    }
}
BENCHMARK(copy_pass)->Name("BM_Memcpy24")->Unit(benchmark::kMillisecond);

void effect(benchmark::State& state, int32_t number, double parameter) {
    Page page;
    filtresGDIplus::FilterRect all{0, 0, kW, kH};
    for (auto _ : state) {
        int32_t s =
            filtresGDIplus::ApplyEffect(number, page.image, parameter, all, 0.5f, 0.25f, 1, 98);
        if (s != 0 && number != filtresGDIplus::EffectBlankTest)
            state.SkipWithError("effect failed");
    }
}
BENCHMARK_CAPTURE(effect, Negative, filtresGDIplus::EffectNegative, 0)
    ->Name("BM_Negative")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(effect, Brightness, filtresGDIplus::EffectBrightness, 20)
    ->Name("BM_Brightness")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(effect, Contrast, filtresGDIplus::EffectContrast, 20)
    ->Name("BM_Contrast")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(effect, Gamma, filtresGDIplus::EffectGammaCorrection, 120)
    ->Name("BM_Gamma")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(effect, Saturation, filtresGDIplus::EffectSaturation, 30)
    ->Name("BM_Saturation")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(effect, Sepia, filtresGDIplus::EffectSepia, 0)
    ->Name("BM_Sepia")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(effect, Stretch, filtresGDIplus::EffectStretchContrast, 0)
    ->Name("BM_StretchContrast")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(effect, Smooth, filtresGDIplus::EffectSmooth, 0)
    ->Name("BM_Smooth")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(effect, Soften, filtresGDIplus::EffectSoften, 50)
    ->Name("BM_Soften")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(effect, Blank, filtresGDIplus::EffectBlankTest, 0)
    ->Name("BM_IsBlank")
    ->Unit(benchmark::kMillisecond);

void rotate(benchmark::State& state, int type) {
    Page page;
    for (auto _ : state)
        if (modGdiplus::RotateFlip(page.image, type) != 0) state.SkipWithError("rotation failed");
}
BENCHMARK_CAPTURE(rotate, R90, 1)->Name("BM_Rotate90")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rotate, R180, 2)->Name("BM_Rotate180")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rotate, R270, 3)->Name("BM_Rotate270")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rotate, FlipX, 4)->Name("BM_FlipX")->Unit(benchmark::kMillisecond);

void resize_half(benchmark::State& state, InterpolationMode mode) {
    Page page;
    GpImage half = 0;
    (void)modGdiplus::CreateBlankImage(kW / 2, kH / 2, PixelFormat24bppRGB, half);
    for (auto _ : state) {
        GpGraphics g = 0;
        (void)modGdiplus::GetImageGraphics(half, 0, g);
        GdipSetSmoothingMode(g, SmoothingModeNone);
        GdipSetCompositingQuality(g, CompositingQualityHighSpeed);
        GdipSetPixelOffsetMode(g, PixelOffsetModeNone);
        GdipSetInterpolationMode(g, mode);
        if (GdipDrawImageRectRect(g, page.image, 0, 0, kW / 2, kH / 2, 0, 0, kW, kH, UnitPixel, 0,
                                  nullptr, nullptr) != 0)
            state.SkipWithError("drawing failed");
        GdipDeleteGraphics(g);
    }
    modGdiplus::DisposeImage(half);
}
BENCHMARK_CAPTURE(resize_half, Nearest, InterpolationModeNearestNeighbor)
    ->Name("BM_ResizeHalfNearest")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(resize_half, Bilinear, InterpolationModeBilinear)
    ->Name("BM_ResizeHalfBilinear")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(resize_half, Bicubic, InterpolationModeBicubic)
    ->Name("BM_ResizeHalfBicubic")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(resize_half, HQBilinear, InterpolationModeHighQualityBilinear)
    ->Name("BM_ResizeHalfHQBilinear")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(resize_half, HQBicubic, InterpolationModeHighQualityBicubic)
    ->Name("BM_ResizeHalfHQBicubic")
    ->Unit(benchmark::kMillisecond);

void to_1bpp(benchmark::State& state) {
    Page page;
    for (auto _ : state) {
        GpImage out = 0;
        if (modGdiplus::ConvertTo1BppImage(page.image, false, out) != 0)
            state.SkipWithError("failed");
        modGdiplus::DisposeImage(out);
    }
}
BENCHMARK(to_1bpp)->Name("BM_ConvertTo1Bpp")->Unit(benchmark::kMillisecond);

void to_8bpp(benchmark::State& state) {
    Page page;
    for (auto _ : state) {
        GpImage out = 0;
        int32_t colours = 256;
        std::vector<BYTE> palette;
        if (modGdiplus::QuantizeTo8Bpp(page.image, out, colours, palette) != 0)
            state.SkipWithError("failed");
        modGdiplus::DisposeImage(out);
    }
}
BENCHMARK(to_8bpp)->Name("BM_ConvertTo8Bpp")->Unit(benchmark::kMillisecond);

void white_bands(benchmark::State& state) {
    Page page;
    for (auto _ : state) {
        modGdiplus::UniformEdges e;
        if (modGdiplus::FindUniformEdges(page.image, 100, 0xFFFFFFFF, 0, 0, e) != 0 || !e.found)
            state.SkipWithError("no bands");
    }
}
BENCHMARK(white_bands)->Name("BM_CropWhiteBands")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
