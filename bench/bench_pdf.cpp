// SaveAsPdf of an A4 page at 300 dpi (2480 x 3508): a colour page (the JPEG path) beside the
// JPEG encoding alone, and a black-and-white page (1 bit, Flate). bench/compare_pdf.py makes
// the same pages and runs img2pdf, tiff2pdf and ImageMagick on them.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "imaging/image_props.h"
#include "imaging/save.h"
#include "lumtwainpro/twain.h"

namespace {

constexpr int32_t kW = 2480, kH = 3508;

// The colour page: smooth shapes with a little noise (BGR rows). compare_pdf.py computes
// the same function.
std::vector<uint8_t> colour_rows() {
    std::vector<uint8_t> v(size_t(kW) * kH * 3);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
            uint8_t* p = &v[(size_t(y) * kW + x) * 3];
            double n = double((int64_t(x) * 7919 + int64_t(y) * 104729) % 13) - 6;
            p[2] = uint8_t(
                std::clamp(128 + 100 * std::sin(x / 23.0) * std::cos(y / 31.0) + n, 0.0, 255.0));
            p[1] = uint8_t(std::clamp(128 + 90 * std::sin((x + y) / 41.0) + n, 0.0, 255.0));
            p[0] = uint8_t(std::clamp(255.0 * x / (kW - 1) + n, 0.0, 255.0));
        }
    return v;
}

// The black-and-white page: lines of "words" on white, as a typed page (1 = white).
bool bw_black(int32_t x, int32_t y) {
    return x >= 200 && x < 2280 && y >= 200 && y < 3300 && y % 48 < 16 &&
           (int64_t(x) * 31 + (y / 48) * 17) % 97 > 40 && x % 11 < 7;
}
std::vector<uint8_t> bw_rows(int32_t stride) {
    std::vector<uint8_t> v(size_t(stride) * kH, 0);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            if (!bw_black(x, y)) v[size_t(y) * stride + x / 8] |= uint8_t(0x80 >> (x % 8));
    return v;
}

GpImage make_page(bool colour) {
    GpImage img = 0;
    PixelFormat f = colour ? PixelFormat24bppRGB : PixelFormat1bppIndexed;
    modGdiplus::CreateBlankImage(kW, kH, f, img);
    modGdiplus::SetImageResolution(img, 300, 300);
    int32_t stride = colour ? kW * 3 : (kW + 7) / 8;
    std::vector<uint8_t> rows = colour ? colour_rows() : bw_rows(stride);
    BitmapData d;
    d.Width = kW;
    d.Height = kH;
    d.Stride = stride;
    d.PixelFormat = f;
    d.Scan0 = rows.data();
    GpRect r{0, 0, kW, kH};
    (void)modGdiplus::LockImageBits(img, r, modGdiplus::kLockWriteFromBuffer, f, d);
    (void)modGdiplus::UnlockImageBits(img, d);
    return img;
}

double file_size(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? double(st.st_size) : 0;
}

void SaveAsPdfPage(benchmark::State& state, bool colour) {
    twain t;
    GpImage page = make_page(colour);
    t.SetNativeImage(int32_t(page));
    std::string path = "/tmp/lum_bench_page.pdf";
    for (auto _ : state)
        if (!t.SaveAsPdf(path)) state.SkipWithError("SaveAsPdf failed");
    state.counters["bytes"] = file_size(path);
    t.CloseImage(int32_t(page));
}

void BM_SaveAsPdf_Colour(benchmark::State& state) {
    SaveAsPdfPage(state, true);
}
void BM_SaveAsPdf_Bilevel(benchmark::State& state) {
    SaveAsPdfPage(state, false);
}

// What the colour page's JPEG path costs without the document around it.
void BM_JpegQ90_Only(benchmark::State& state) {
    twain t;  // the engine session
    GpImage page = make_page(true);
    int32_t count = 0;
    for (auto _ : state) {
        SafeArray<uint8_t> bytes;
        if (modGdiplus::SaveToBytes(page, count, bytes, "JPG", 90) != 0)
            state.SkipWithError("encoding failed");
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = double(count);
    modGdiplus::DisposeImage(page);
}

}  // namespace

BENCHMARK(BM_JpegQ90_Only)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAsPdf_Colour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAsPdf_Bilevel)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
