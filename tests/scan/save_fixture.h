// A control with a native image made in memory, and a folder for what it saves.
#pragma once

#include <gtest/gtest.h>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "platform/gdiplus/pixel_format.h"
#include "lumtwainpro/twain.h"
#include "support/test_env.h"

class TwainSave : public ::testing::Test {
protected:
    // A native image whose pixel (x, y) is (x, y, x ^ y) in the given format.
    int32_t make_native(int32_t w, int32_t h, PixelFormat format = PixelFormat24bppRGB) {
        GpImage img = 0;
        EXPECT_EQ(modGdiplus::CreateBlankImage(w, h, format, img), 0);
        std::vector<uint32_t> argb(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                argb[size_t(y) * w + x] = 0xFF000000u | uint32_t(x & 255) << 16 |
                                          uint32_t(y & 255) << 8 | uint32_t((x ^ y) & 255);
        BitmapData data;
        data.Width = UINT(w);
        data.Height = UINT(h);
        data.Stride = w * 4;
        data.PixelFormat = PixelFormat32bppARGB;
        data.Scan0 = argb.data();
        GpRect r{0, 0, w, h};
        if (!gdip::is_indexed(format)) {
            EXPECT_EQ(modGdiplus::LockImageBits(img, r, modGdiplus::kLockWriteFromBuffer,
                                                PixelFormat32bppARGB, data),
                      0);
            modGdiplus::UnlockImageBits(img, data);
        }
        control.SetNativeImage(int32_t(img));
        return int32_t(img);
    }
    std::string path(const std::string& name) { return dir.file(name); }

    lumtest::TempDir dir;
    twain control;
};
