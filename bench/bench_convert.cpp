// Lock-and-convert throughput between 24- and 32-bit formats on an A4 300 dpi page.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/gdiplus/gdiplus.h"

namespace {

constexpr INT kW = 2480, kH = 3508;

void lock_convert(benchmark::State& state, PixelFormat image_format, PixelFormat lock_format,
                  UINT mode) {
    ULONG token = 0;
    GdiplusStartupInput in;
    GdiplusStartup(&token, &in, nullptr);
    GpBitmap b = 0;
    GdipCreateBitmapFromScan0(kW, kH, 0, image_format, nullptr, &b);
    for (auto _ : state) {
        BitmapData d;
        GdipBitmapLockBits(b, nullptr, mode, lock_format, &d);
        benchmark::DoNotOptimize(d.Scan0);
        GdipBitmapUnlockBits(b, &d);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
    state.counters["Mpix/s"] =
        benchmark::Counter(double(state.iterations()) * kW * kH / 1e6, benchmark::Counter::kIsRate);
    GdipDisposeImage(b);
    GdiplusShutdown(token);
}

void BM_Read24As32ARGB(benchmark::State& s) {
    lock_convert(s, PixelFormat24bppRGB, PixelFormat32bppARGB, ImageLockModeRead);
}
void BM_Read32ARGBAs24(benchmark::State& s) {
    lock_convert(s, PixelFormat32bppARGB, PixelFormat24bppRGB, ImageLockModeRead);
}
void BM_ReadWrite24As32PARGB(benchmark::State& s) {
    lock_convert(s, PixelFormat24bppRGB, PixelFormat32bppPARGB,
                 ImageLockModeRead | ImageLockModeWrite);
}
void BM_Read8bppAs32ARGB(benchmark::State& s) {
    lock_convert(s, PixelFormat8bppIndexed, PixelFormat32bppARGB, ImageLockModeRead);
}
void BM_Read32ARGBAs1bpp(benchmark::State& s) {
    lock_convert(s, PixelFormat32bppARGB, PixelFormat1bppIndexed, ImageLockModeRead);
}

BENCHMARK(BM_Read24As32ARGB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read32ARGBAs24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWrite24As32PARGB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read8bppAs32ARGB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read32ARGBAs1bpp)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
