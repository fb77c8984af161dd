// A GDI+ session per test and small helpers to make and read bitmaps.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/gdiplus/gdiplus.h"

namespace pixtest {

class GdipTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override {
        for (GpImage h : m_images) GdipDisposeImage(h);
        GdiplusShutdown(m_token);
    }

    GpBitmap bitmap(INT w, INT h, PixelFormat f) {
        GpBitmap b = 0;
        EXPECT_EQ(GdipCreateBitmapFromScan0(w, h, 0, f, nullptr, &b), Gdiplus::Ok);
        m_images.push_back(b);
        return b;
    }
    GpImage keep(GpImage h) {
        m_images.push_back(h);
        return h;
    }

    // Writes straight ARGB pixels (row-major, w × h) into the bitmap through LockBits.
    void fill(GpBitmap b, INT w, INT h, const std::vector<ARGB>& px) {
        BitmapData d;
        d.Width = UINT(w);
        d.Height = UINT(h);
        d.Stride = 4 * w;
        d.PixelFormat = PixelFormat32bppARGB;
        d.Scan0 = const_cast<ARGB*>(px.data());
        GpRect r{0, 0, w, h};
        ASSERT_EQ(GdipBitmapLockBits(b, &r, ImageLockModeWrite | ImageLockModeUserInputBuf,
                                     PixelFormat32bppARGB, &d),
                  Gdiplus::Ok);
        ASSERT_EQ(GdipBitmapUnlockBits(b, &d), Gdiplus::Ok);
    }
    std::vector<ARGB> pixels(GpBitmap b, INT w, INT h) {
        std::vector<ARGB> out(size_t(w) * h);
        for (INT y = 0; y < h; ++y)
            for (INT x = 0; x < w; ++x)
                EXPECT_EQ(GdipBitmapGetPixel(b, x, y, &out[size_t(y) * w + x]), Gdiplus::Ok);
        return out;
    }

    ULONG m_token = 0;
    std::vector<GpImage> m_images;
};

}  // namespace pixtest
