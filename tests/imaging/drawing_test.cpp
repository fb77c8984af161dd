// Text drawing, display on a device, fonts, colour values and the clipboard members.
#include "com/typelib.h"
#include "editing_fixture.h"
#include "imaging/cColor.h"

using namespace edittest;

namespace {

class Drawing : public EditingTest {
  protected:
    // The box of pixels that differ from white; {-1...} when none does.
    std::array<int, 4> ink_box() {
        int32_t w = control->GetWidth(), h = control->GetHeight();
        std::array<int, 4> box{w, h, -1, -1};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((at(x, y) & 0xFFFFFF) != 0xFFFFFF)
                    box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x),
                           std::max(box[3], y)};
        return box;
    }
    void white(int w, int h, PixelFormat f = PixelFormat24bppRGB) {
        make(w, h, f, [](int, int) { return rgb(255, 255, 255); });
    }
};

}  // namespace

TEST_F(Drawing, TextBoxStartsOnePixelFurther) {
    white(200, 80);
    control->FontSetUnit(2);  // pixels
    ASSERT_EQ(control->DrawText("Hg", 1, 1, 30, 0, -16777216, "Arial", true), 0);
    auto a = ink_box();
    ASSERT_GE(a[2], 0) << "something was drawn";
    white(200, 80);
    ASSERT_EQ(control->DrawTextBox("Hg", 1, 1, 180, 70, 30, 0, 0, -16777216, "Arial", false, false),
              0);
    auto b = ink_box();
    EXPECT_EQ(b[0] - a[0], 1);
    EXPECT_EQ(b[1] - a[1], 1);
}

TEST_F(Drawing, RotatedTextRunsDownwardsFromItsPoint) {
    white(120, 200);
    control->FontSetUnit(2);
    ASSERT_EQ(control->DrawRotatedText(90, "Downwards", 60, 20, 20), 0);
    auto box = ink_box();
    EXPECT_GT(box[3] - box[1], 3 * (box[2] - box[0])) << "taller than wide";
    EXPECT_GE(box[1], 18);
    EXPECT_LE(box[2], 61) << "the glyphs' tops face right: they lie left of the point";
}

TEST_F(Drawing, BackgroundBoxAndEmptyText) {
    white(200, 60);
    control->FontSetUnit(2);
    ASSERT_EQ(control->DrawTextBackColor("Box", 11, 11, 24, 0, -16777216, "Arial",
                                         int32_t(rgb(0, 0, 255)), true),
              0);
    EXPECT_EQ(at(11, 11), rgb(0, 0, 255)) << "the measured box starts at the point";
    EXPECT_EQ(at(5, 5), rgb(255, 255, 255));
    white(50, 50);
    EXPECT_EQ(control->DrawTextBackColor("", 5, 5, 24), 0);
    EXPECT_EQ(ink_box()[2], -1) << "nothing visible";
    EXPECT_EQ(control->DrawTextGradient("", 5, 5, -1, -16777216, 12), 0);
}

TEST_F(Drawing, MissingFamilyAndIndexedImages) {
    white(50, 50);
    EXPECT_EQ(control->DrawText("x", 1, 1, 20, 0, -16777216, "NoSuchFontAnywhere"), 14);
    EXPECT_EQ(ink_box()[2], -1);
    EXPECT_EQ(control->DrawTextTexture("x", 1, 1, "/nonexistent/texture.png", 20), 10);
    start("5.1.3102.2180");
    make_indexed(20, 20, PixelFormat8bppIndexed, {rgb(255, 255, 255), rgb(0, 0, 0)},
                 [](int, int) { return 0; });
    EXPECT_EQ(control->DrawText("x", 1, 1, 12), 60);
    EXPECT_EQ(index8(5, 5), 0);
}

TEST_F(Drawing, GradientFillsFromStartToEnd) {
    white(300, 80);
    control->FontSetUnit(2);
    ASSERT_EQ(control->DrawTextGradient("WWWWWW", 1, 1, int32_t(rgb(255, 0, 0)),
                                        int32_t(rgb(0, 0, 255)), 60, 1, "DejaVu Sans"),
              0);
    auto box = ink_box();
    ARGB left = 0, right = 0;
    for (int y = box[1]; y <= box[3]; ++y) {
        if (((at(box[0] + 3, y) >> 8) & 255) < 30) left = at(box[0] + 3, y);
        if (((at(box[2] - 3, y) >> 8) & 255) < 30) right = at(box[2] - 3, y);
    }
    EXPECT_GT((left >> 16) & 255, (left & 255) + 120) << "red at the start";
    EXPECT_GT(right & 255, ((right >> 16) & 255) + 120) << "blue at the end";
}

TEST_F(Drawing, DisplayOnAMemoryDeviceContext) {
    make(4, 2, PixelFormat24bppRGB,
         [](int x, int) { return x % 2 ? rgb(255, 255, 255) : rgb(0, 0, 0); });
    HDC dc = CreateCompatibleDC(0);
    HBITMAP bm = CreateCompatibleBitmap(dc, 16, 8);
    HGDIOBJ old = SelectObject(dc, bm);
    // Interpolation 9 is out of range: nearest neighbour; smoothing -1: none.
    ASSERT_EQ(control->DisplayImageOnHDC(int32_t(dc), 1, 1, 16, 8, -1, 9), 0);
    win::Surface s;
    ASSERT_TRUE(win::GetSurface(dc, &s));
    auto px = [&](int x, int y) {
        return reinterpret_cast<const uint32_t*>(s.scan0 + ptrdiff_t(y) * s.stride)[x] & 0xFFFFFF;
    };
    for (int x = 0; x < 16; ++x) EXPECT_EQ(px(x, 3), (x / 4) % 2 ? 0xFFFFFFu : 0u) << x;
    ASSERT_EQ(control->DisplayImageRectOnHDC(int32_t(dc), 1, 1, 16, 8, 2, 1, 1, 1, 3, 5), 0);
    EXPECT_EQ(px(7, 7), 0xFFFFFFu) << "source pixel (2, 1), 1-based: white";
    EXPECT_EQ(control->DisplayImageOnHwnd(0, 1, 1, 10, 10), 3) << "no window surface";
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
    control->SetNativeImage(0);
    EXPECT_EQ(control->DisplayImageOnHDC(int32_t(dc), 1, 1, 2, 2), 2);
}

TEST_F(Drawing, FontList) {
    int32_t n = control->FontGetCount();
    ASSERT_GT(n, 2);
    EXPECT_FALSE(control->FontGetName(n).empty()) << "the last font";
    EXPECT_EQ(control->FontGetName(n + 2), "");
    EXPECT_EQ(control->FontGetName(0), "");
    EXPECT_TRUE(control->FontIsStyleAvailable("Times New Roman", 3));
    EXPECT_FALSE(control->FontIsStyleAvailable("NoSuchFontAnywhere", 0));
    EXPECT_EQ(control->GetStat(), 14);
    control->FontSetUnit(42);
    EXPECT_EQ(control->FontGetUnit(), 42) << "stored without a range test";
}

TEST_F(Drawing, ColourValues) {
    EXPECT_EQ(uint32_t(control->ARGB(255, 1, 2, 3)), 0xFF010203u);
    EXPECT_LT(control->ARGB(255, 1, 2, 3), 0);
    EXPECT_EQ(control->GetRGB(1, 2, 3), 3 * 65536 + 2 * 256 + 1);
    EXPECT_EQ(control->GetRGB(256, 0, 1000), 255 + 255 * 65536);
    try {
        control->ARGB(0, 0, 0, 256);
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.number(), 6);
    }
    EXPECT_THROW(control->GetRGB(0, -1, 0), ComError);
    uint8_t r = 0, g = 0, b = 0, a = 0;
    control->ColorGetRGBFromRGBValue(0x112233, r, g, b);
    EXPECT_EQ(r, 0x33);
    EXPECT_EQ(g, 0x22);
    EXPECT_EQ(b, 0x11);
    control->ColorGetARGBFromARGBValue(0x7F102030, a, r, g, b);
    EXPECT_EQ(a, 0x7F);
    EXPECT_EQ(r, 0x10);
    cColor c;
    EXPECT_EQ(c.GetValue(), 0);
    c.FromRGBColor(0x000000FF);
    EXPECT_EQ(uint32_t(c.GetValue()), 0xFFFF0000u);
    EXPECT_EQ(int32_t(cColor::MakeARGB(255, 0, 0, 0)), -16777216);
}

TEST_F(Drawing, ColorsTableIsTheTypeLibrarysEnumeration) {
    const com::EnumInfo* e = com::type_library().find_enum("Colors");
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->values.size(), ColorsTable().size());
    for (size_t i = 0; i < e->values.size(); ++i) {
        EXPECT_EQ(e->values[i].name, ColorsTable()[i].name);
        EXPECT_EQ(uint32_t(e->values[i].value), ColorsTable()[i].argb) << e->values[i].name;
    }
}

TEST_F(Drawing, ClipboardRegionAndDeletion) {
    make(20, 10, PixelFormat24bppRGB, [](int x, int) { return rgb(x * 10, 0, 0); });
    ASSERT_EQ(control->CopyRegionToClipboard(3, 2, 5, 4), 0);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    GpImage pasted = 0;
    ASSERT_EQ(modGdiplus::CreateImageFromClipboard(pasted), 0);
    int32_t w = 0;
    modGdiplus::GetImageWidth(pasted, w);
    EXPECT_EQ(w, 5);
    ARGB c = 0;
    modGdiplus::GetPixel(pasted, 0, 0, c);
    EXPECT_EQ(c & 0xFFFFFF, rgb(20, 0, 0) & 0xFFFFFF);
    modGdiplus::DisposeImage(pasted);
    control->DeleteClipboardData();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    control->SetNativeImage(0);
    EXPECT_EQ(control->CopyToClipboard(), 2);
}
