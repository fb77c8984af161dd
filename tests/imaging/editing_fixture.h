// A scanning control whose native image the test makes pixel by pixel.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "lumtwainpro/twain.h"
#include "platform/win/win.h"

namespace edittest {

inline ARGB rgb(int r, int g, int b, int a = 255) {
    return ARGB(a) << 24 | ARGB(r) << 16 | ARGB(g) << 8 | ARGB(b);
}

class EditingTest : public ::testing::Test {
  protected:
    // Below GDI+ 6 when `version` says so; read by the engine when the control starts it.
    void start(const std::string& version = "6.1.7601.24546") {
        control.reset();  // the last control ends the session, so the next one reads the version
        win::SetGdiplusFileVersion(version);
        control = std::make_unique<twain>();
    }
    void SetUp() override { start(); }
    void TearDown() override {
        control.reset();
        win::SetGdiplusFileVersion("6.1.7601.24546");
    }

    // A new native image of `format` whose pixels are `f(x, y)` (written as ARGB).
    GpImage make(int32_t w, int32_t h, PixelFormat format, const std::function<ARGB(int, int)>& f,
                 const std::vector<ARGB>& palette = {}) {
        GpImage image = 0;
        EXPECT_EQ(modGdiplus::CreateBlankImage(w, h, format, image), 0);
        if (!palette.empty()) set_palette(image, palette);
        std::vector<ARGB> px(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) px[size_t(y) * w + x] = f(x, y);
        BitmapData d;
        d.Width = UINT(w), d.Height = UINT(h), d.Stride = 4 * w;
        d.PixelFormat = PixelFormat32bppARGB;
        d.Scan0 = px.data();
        EXPECT_EQ(GdipBitmapLockBits(image, nullptr, ImageLockModeWrite | ImageLockModeUserInputBuf,
                                     PixelFormat32bppARGB, &d),
                  0);
        EXPECT_EQ(GdipBitmapUnlockBits(image, &d), 0);
        control->SetNativeImage(int32_t(image));
        return image;
    }
    // An indexed image from its indices.
    GpImage make_indexed(int32_t w, int32_t h, PixelFormat format, const std::vector<ARGB>& palette,
                         const std::function<int(int, int)>& index) {
        GpImage image = 0;
        EXPECT_EQ(modGdiplus::CreateBlankImage(w, h, format, image), 0);
        set_palette(image, palette);
        BitmapData d;
        EXPECT_EQ(GdipBitmapLockBits(image, nullptr, ImageLockModeWrite, format, &d), 0);
        int bits = format == PixelFormat1bppIndexed ? 1 : format == PixelFormat4bppIndexed ? 4 : 8;
        for (int y = 0; y < h; ++y) {
            BYTE* row = static_cast<BYTE*>(d.Scan0) + ptrdiff_t(y) * d.Stride;
            std::memset(row, 0, size_t((w * bits + 7) / 8));
            for (int x = 0; x < w; ++x) {
                int v = index(x, y);
                if (bits == 8)
                    row[x] = BYTE(v);
                else if (bits == 4)
                    row[x / 2] |= BYTE(x % 2 ? v : v << 4);
                else if (v)
                    row[x / 8] |= BYTE(0x80 >> (x % 8));
            }
        }
        EXPECT_EQ(GdipBitmapUnlockBits(image, &d), 0);
        control->SetNativeImage(int32_t(image));
        return image;
    }
    static void set_palette(GpImage image, const std::vector<ARGB>& palette) {
        std::vector<BYTE> buffer(8 + 4 * palette.size());
        ColorPalette head{0, UINT(palette.size()), {0}};
        std::memcpy(buffer.data(), &head, 8);
        std::memcpy(buffer.data() + 8, palette.data(), 4 * palette.size());
        ASSERT_EQ(modGdiplus::SetPalette(image, buffer), 0);
    }
    GpImage native() const { return GpImage(control->GetNativeImage()); }
    ARGB at(int x, int y) const {
        ARGB c = 0;
        EXPECT_EQ(GdipBitmapGetPixel(native(), x, y, &c), 0);
        return c;
    }
    std::vector<ARGB> palette() const {
        std::vector<BYTE> buffer;
        EXPECT_EQ(modGdiplus::GetPalette(native(), buffer), 0);
        ColorPalette head;
        std::memcpy(&head, buffer.data(), 8);
        std::vector<ARGB> out(head.Count);
        std::memcpy(out.data(), buffer.data() + 8, 4 * out.size());
        return out;
    }
    UINT palette_flags() const {
        std::vector<BYTE> buffer;
        EXPECT_EQ(modGdiplus::GetPalette(native(), buffer), 0);
        ColorPalette head;
        std::memcpy(&head, buffer.data(), 8);
        return head.Flags;
    }
    // The raw index of pixel (x, y) of an 8-bit image.
    int index8(int x, int y) const {
        BitmapData d;
        GpRect r{x, y, 1, 1};
        EXPECT_EQ(GdipBitmapLockBits(native(), &r, ImageLockModeRead, PixelFormat8bppIndexed, &d),
                  0);
        int v = static_cast<BYTE*>(d.Scan0)[0];
        GdipBitmapUnlockBits(native(), &d);
        return v;
    }
    int bit1(int x, int y) const {
        BitmapData d;
        GpRect r{0, y, 1, 1};
        EXPECT_EQ(
            GdipBitmapLockBits(native(), nullptr, ImageLockModeRead, PixelFormat1bppIndexed, &d),
            0);
        int v = (static_cast<BYTE*>(d.Scan0)[ptrdiff_t(r.Y) * d.Stride + x / 8] >> (7 - x % 8)) & 1;
        GdipBitmapUnlockBits(native(), &d);
        return v;
    }

    std::unique_ptr<twain> control;
};

}  // namespace edittest
