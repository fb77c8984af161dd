// The graphics stand-in: image drawing with the interpolation modes, only the destination
// that lies on the target, pixels left exact where nothing was drawn, shapes, brushes, text.
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "gdip_fixture.h"
#include "platform/gdiplus/resample.h"
#include "platform/win/win.h"

using namespace pixtest;

namespace {

class Graphics : public GdipTest {
  protected:
    GpGraphics on(GpImage image) {
        GpGraphics g = 0;
        EXPECT_EQ(GdipGetImageGraphicsContext(image, &g), Gdiplus::Ok);
        m_graphics.push_back(g);
        return g;
    }
    void TearDown() override {
        for (GpGraphics g : m_graphics) GdipDeleteGraphics(g);
        GdipTest::TearDown();
    }
    std::vector<GpGraphics> m_graphics;
};

std::vector<ARGB> checker(int w, int h) {
    std::vector<ARGB> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[size_t(y) * w + x] = (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000;
    return px;
}

int green(ARGB c) {
    return int((c >> 8) & 255);
}

}  // namespace

TEST_F(Graphics, HighQualityModesDoNotAliasAtAQuarter) {
    GpBitmap src = bitmap(64, 64, PixelFormat24bppRGB);
    fill(src, 64, 64, checker(64, 64));
    for (InterpolationMode m :
         {InterpolationModeNearestNeighbor, InterpolationModeBilinear, InterpolationModeBicubic,
          InterpolationModeHighQualityBilinear, InterpolationModeHighQualityBicubic}) {
        GpBitmap dst = bitmap(16, 16, PixelFormat24bppRGB);
        GpGraphics g = on(dst);
        ASSERT_EQ(GdipSetInterpolationMode(g, m), Gdiplus::Ok);
        ASSERT_EQ(GdipDrawImageRectRectI(g, src, 0, 0, 16, 16, 0, 0, 64, 64, UnitPixel, 0, nullptr,
                                         nullptr),
                  Gdiplus::Ok);
        auto px = pixels(dst, 16, 16);
        int lo = 255, hi = 0;
        for (int y = 2; y < 14; ++y)
            for (int x = 2; x < 14; ++x)
                lo = std::min(lo, green(px[size_t(y) * 16 + x])),
                hi = std::max(hi, green(px[size_t(y) * 16 + x]));
        if (m == InterpolationModeHighQualityBilinear || m == InterpolationModeHighQualityBicubic) {
            EXPECT_GE(lo, 120) << m;
            EXPECT_LE(hi, 135) << m;
        } else if (m == InterpolationModeNearestNeighbor) {
            EXPECT_TRUE((lo == 0 || lo == 255) && (hi == 0 || hi == 255))
                << "nearest keeps pure pixels";
        }
    }
}

TEST_F(Graphics, NearestNeighbourPicksThePixelUnderTheCentre) {
    GpBitmap src = bitmap(8, 1, PixelFormat32bppARGB);
    std::vector<ARGB> row;
    for (int x = 0; x < 8; ++x) row.push_back(0xFF000000u | ARGB(x * 30) << 8);
    fill(src, 8, 1, row);
    GpBitmap dst = bitmap(4, 1, PixelFormat32bppARGB);
    GpGraphics g = on(dst);
    ASSERT_EQ(GdipSetInterpolationMode(g, InterpolationModeNearestNeighbor), Gdiplus::Ok);
    ASSERT_EQ(GdipDrawImageRectI(g, src, 0, 0, 4, 1), Gdiplus::Ok);
    auto px = pixels(dst, 4, 1);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(green(px[size_t(x)]), (2 * x + 1) * 30) << x;
}

TEST_F(Graphics, BilinearEnlargementInterpolatesAndClampsEdges) {
    GpBitmap src = bitmap(2, 1, PixelFormat24bppRGB);
    fill(src, 2, 1, {0xFF000000, 0xFF00C800});
    GpBitmap dst = bitmap(8, 1, PixelFormat24bppRGB);
    GpGraphics g = on(dst);
    ASSERT_EQ(GdipSetInterpolationMode(g, InterpolationModeBilinear), Gdiplus::Ok);
    ASSERT_EQ(GdipDrawImageRectI(g, src, 0, 0, 8, 1), Gdiplus::Ok);
    auto px = pixels(dst, 8, 1);
    // Centres at (x + 0.5) / 4 - 0.5 in the source: x = 0, 1 clamp to the first pixel.
    const int expect[8] = {0, 0, 25, 75, 125, 175, 200, 200};
    for (int x = 0; x < 8; ++x) EXPECT_NEAR(green(px[size_t(x)]), expect[x], 1) << x;
}

TEST_F(Graphics, OnlyTheVisibleDestinationIsComputed) {
    GpBitmap src = bitmap(1000, 1000, PixelFormat24bppRGB);
    GpBitmap dst = bitmap(50, 40, PixelFormat24bppRGB);
    GpGraphics g = on(dst);
    ASSERT_EQ(GdipSetInterpolationMode(g, InterpolationModeHighQualityBicubic), Gdiplus::Ok);
    // A zoom of 200: a destination of 200 000 pixels square; only 50 x 40 land on the target.
    ASSERT_EQ(GdipDrawImageRectRect(g, src, -1000, -1000, 200000, 200000, 0, 0, 1000, 1000,
                                    UnitPixel, 0, nullptr, nullptr),
              Gdiplus::Ok);
    // Counters of what the resampler reads: a few source pixels, not the image.
    gdip::Axis a;
    a.scale = 200;
    a.offset = -1000;
    a.lo = 0;
    a.hi = 1000;
    auto c = gdip::make_coefficients(a, 0, 50, gdip::Filter::Bicubic, true);
    EXPECT_LE(c.src_max - c.src_min, 4);
}

TEST_F(Graphics, UntouchedTranslucentPixelsStayExact) {
    GpBitmap img = bitmap(10, 10, PixelFormat32bppARGB);
    std::vector<ARGB> px(100, 0x01640A05);  // alpha 1: premultiplying would lose the colour
    fill(img, 10, 10, px);
    GpGraphics g = on(img);
    GpSolidFill red = 0;
    ASSERT_EQ(GdipCreateSolidFill(0xFFFF0000, &red), Gdiplus::Ok);
    ASSERT_EQ(GdipFillRectangleI(g, red, 2, 2, 3, 3), Gdiplus::Ok);
    auto out = pixels(img, 10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 5 && y >= 2 && y < 5;
            EXPECT_EQ(out[size_t(y) * 10 + x], inside ? 0xFFFF0000u : 0x01640A05u) << x << "," << y;
        }
    GdipDeleteBrush(red);
}

TEST_F(Graphics, OnePixelPenOutlinesTheRectangleInclusive) {
    GpBitmap img = bitmap(12, 12, PixelFormat24bppRGB);
    GpGraphics g = on(img);
    ASSERT_EQ(GdipGraphicsClear(g, 0xFFFFFFFF), Gdiplus::Ok);
    GpPen pen = 0;
    ASSERT_EQ(GdipCreatePen1(0xFF000000, 1, UnitPixel, &pen), Gdiplus::Ok);
    ASSERT_EQ(GdipDrawRectangleI(g, pen, 2, 3, 5, 4), Gdiplus::Ok);
    auto px = pixels(img, 12, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            bool edge = ((x == 2 || x == 7) && y >= 3 && y <= 7) ||
                        ((y == 3 || y == 7) && x >= 2 && x <= 7);
            EXPECT_EQ(px[size_t(y) * 12 + x], edge ? 0xFF000000u : 0xFFFFFFFFu) << x << "," << y;
        }
    GdipDeletePen(pen);
}

TEST_F(Graphics, TransformPointsRoundTrip) {
    GpBitmap img = bitmap(10, 10, PixelFormat24bppRGB);
    GpGraphics g = on(img);
    ASSERT_EQ(GdipRotateWorldTransform(g, 90, MatrixOrderAppend), Gdiplus::Ok);
    GpPointF p{3, 4};
    ASSERT_EQ(GdipTransformPoints(g, CoordinateSpaceWorld, CoordinateSpaceDevice, &p, 1),
              Gdiplus::Ok);
    EXPECT_FLOAT_EQ(p.X, 4);
    EXPECT_FLOAT_EQ(p.Y, -3);
    ASSERT_EQ(GdipTransformPoints(g, CoordinateSpaceDevice, CoordinateSpaceWorld, &p, 1),
              Gdiplus::Ok);
    EXPECT_FLOAT_EQ(p.X, 3);
    EXPECT_FLOAT_EQ(p.Y, 4);
    ASSERT_EQ(GdipSetPageUnit(g, UnitMillimeter), Gdiplus::Ok);
    EXPECT_EQ(GdipSetPageUnit(g, UnitWorld), Gdiplus::InvalidParameter);
}

TEST_F(Graphics, FamiliesAreInstalledOrMetricCompatible) {
    GpFontFamily f = 0;
    EXPECT_EQ(GdipCreateFontFamilyFromName(u"NoSuchFontAnywhere", 0, &f),
              Gdiplus::FontFamilyNotFound);
    EXPECT_EQ(GdipCreateFontFamilyFromName(u"Tahoma", 0, &f), Gdiplus::FontFamilyNotFound)
        << "a fallback is not the family";
    const std::pair<const char16_t*, const char16_t*> aliases[] = {
        {u"Arial", u"Liberation Sans"},
        {u"Times New Roman", u"Liberation Serif"},
        {u"Courier New", u"Liberation Mono"}};
    for (auto [name, installed] : aliases) {
        ASSERT_EQ(GdipCreateFontFamilyFromName(name, 0, &f), Gdiplus::Ok);
        WCHAR got[32];
        ASSERT_EQ(GdipGetFamilyName(f, got, 0), Gdiplus::Ok);
        EXPECT_EQ(std::u16string(got), std::u16string(installed));
        BOOL bold = FALSE;
        ASSERT_EQ(GdipIsStyleAvailable(f, FontStyleBold, &bold), Gdiplus::Ok);
        EXPECT_TRUE(bold);
        GdipDeleteFontFamily(f);
    }
}

TEST_F(Graphics, HwndWithoutSurfaceFails) {
    GpGraphics g = 0;
    EXPECT_EQ(GdipCreateFromHWND(0, &g), Gdiplus::OutOfMemory);
    EXPECT_EQ(GdipCreateFromHWND(12345, &g), Gdiplus::OutOfMemory);
    EXPECT_EQ(g, 0u);
}

namespace {

// The text as pango draws it on its own, through cairo directly, with the same options.
std::vector<ARGB> reference_text(int w, int h, const char* family, double px, double x, double y,
                                 double angle) {
    std::vector<ARGB> out(size_t(w) * h, 0xFFFFFFFF);
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(out.data()), CAIRO_FORMAT_ARGB32, w, h, 4 * w);
    cairo_t* cr = cairo_create(s);
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle * M_PI / 180);
    PangoLayout* l = pango_cairo_create_layout(cr);
    PangoFontDescription* d = pango_font_description_from_string(family);
    pango_font_description_set_absolute_size(d, px * PANGO_SCALE);
    pango_layout_set_font_description(l, d);
    pango_font_description_free(d);
    pango_layout_set_text(l, "Hello 42", -1);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, 0, 0);
    pango_cairo_show_layout(cr, l);
    g_object_unref(l);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return out;
}

}  // namespace

class TextRender : public Graphics, public ::testing::WithParamInterface<int> {};

TEST_P(TextRender, MatchesPangoDrawnDirectly) {
    int angle = GetParam();
    const int W = 160, H = 160;
    GpBitmap img = bitmap(W, H, PixelFormat32bppARGB);
    GpGraphics g = on(img);
    ASSERT_EQ(GdipGraphicsClear(g, 0xFFFFFFFF), Gdiplus::Ok);
    ASSERT_EQ(GdipSetTextRenderingHint(g, TextRenderingHintAntiAlias), Gdiplus::Ok);
    ASSERT_EQ(GdipRotateWorldTransform(g, REAL(angle), MatrixOrderAppend), Gdiplus::Ok);
    GpPointF origin{40, 50};
    ASSERT_EQ(GdipTransformPoints(g, CoordinateSpaceWorld, CoordinateSpaceDevice, &origin, 1),
              Gdiplus::Ok);
    GpFontFamily family = 0;
    ASSERT_EQ(GdipCreateFontFamilyFromName(u"Arial", 0, &family), Gdiplus::Ok);
    GpFont font = 0;
    ASSERT_EQ(GdipCreateFont(family, 18, FontStyleRegular, UnitPixel, &font), Gdiplus::Ok);
    GpSolidFill black = 0;
    ASSERT_EQ(GdipCreateSolidFill(0xFF000000, &black), Gdiplus::Ok);
    GpRectF layout{origin.X, origin.Y, 0, 0};
    ASSERT_EQ(GdipDrawString(g, u"Hello 42", -1, font, &layout, 0, black), Gdiplus::Ok);
    auto got = pixels(img, W, H);
    auto want = reference_text(W, H, "Liberation Sans", 18, 40, 50, angle);
    int worst = 0, ink = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        worst = std::max(worst, std::abs(green(got[i]) - green(want[i])));
        ink += green(got[i]) < 128;
    }
    EXPECT_LE(worst, 2) << "angle " << angle;
    EXPECT_GT(ink, 50);
    GdipDeleteBrush(black);
    GdipDeleteFont(font);
    GdipDeleteFontFamily(family);
}

INSTANTIATE_TEST_SUITE_P(Angles, TextRender, ::testing::Values(0, 30, 90));

TEST_F(Graphics, GradientAndTextureBrushesFillTheGlyphs) {
    const int W = 200, H = 60;
    GpBitmap img = bitmap(W, H, PixelFormat24bppRGB);
    GpGraphics g = on(img);
    ASSERT_EQ(GdipGraphicsClear(g, 0xFFFFFFFF), Gdiplus::Ok);
    GpFontFamily family = 0;
    ASSERT_EQ(GdipCreateFontFamilyFromName(u"DejaVu Sans", 0, &family), Gdiplus::Ok);
    GpFont font = 0;
    ASSERT_EQ(GdipCreateFont(family, 40, FontStyleBold, UnitPixel, &font), Gdiplus::Ok);
    GpRectF layout{0, 0, 0, 0}, box;
    ASSERT_EQ(GdipMeasureString(g, u"MMMM", -1, font, &layout, 0, &box, nullptr, nullptr),
              Gdiplus::Ok);
    GpLineGradient grad = 0;
    ASSERT_EQ(GdipCreateLineBrushFromRect(&box, 0xFFFF0000, 0xFF0000FF,
                                          LinearGradientModeHorizontal, WrapModeTile, &grad),
              Gdiplus::Ok);
    ASSERT_EQ(GdipDrawString(g, u"MMMM", -1, font, &layout, 0, grad), Gdiplus::Ok);
    auto px = pixels(img, W, H);
    auto glyph = [&](int x0, int x1) {  // the mean colour of dark-enough pixels in columns x0..x1
        long r = 0, b = 0, n = 0;
        for (int y = 0; y < H; ++y)
            for (int x = x0; x < x1; ++x) {
                ARGB c = px[size_t(y) * W + x];
                if (green(c) < 60) r += (c >> 16) & 255, b += c & 255, ++n;
            }
        return std::pair<double, double>{n ? double(r) / n : 0, n ? double(b) / n : 0};
    };
    auto left = glyph(0, int(box.Width / 4)), right = glyph(int(box.Width * 3 / 4), int(box.Width));
    EXPECT_GT(left.first, left.second + 80) << "red at the start";
    EXPECT_GT(right.second, right.first + 80) << "blue at the end";
    // A texture of green stripes.
    GpBitmap tex = bitmap(4, 4, PixelFormat24bppRGB);
    std::vector<ARGB> stripes(16, 0xFF00FF00);
    fill(tex, 4, 4, stripes);
    GpTexture texture = 0;
    ASSERT_EQ(GdipCreateTexture(tex, WrapModeTile, &texture), Gdiplus::Ok);
    ASSERT_EQ(GdipGraphicsClear(g, 0xFFFFFFFF), Gdiplus::Ok);
    ASSERT_EQ(GdipDrawString(g, u"MMMM", -1, font, &layout, 0, texture), Gdiplus::Ok);
    px = pixels(img, W, H);
    int green_ink = 0, other_ink = 0;
    for (ARGB c : px) {
        if (c == 0xFFFFFFFF) continue;
        int r = int((c >> 16) & 255), gr = green(c), b = int(c & 255);
        if (r < 40 && b < 40) ++green_ink;
        if (gr < r || std::abs(r - b) > 2) ++other_ink;  // anything but green blended with white
    }
    EXPECT_GT(green_ink, 200);
    EXPECT_EQ(other_ink, 0);
    GdipDeleteBrush(texture);
    GdipDeleteBrush(grad);
    GdipDeleteFont(font);
    GdipDeleteFontFamily(family);
}

TEST_F(Graphics, NearestCopiesAcrossExactlyAsThroughTheCanvas) {
    // An opaque 24-bit source: the direct copy onto 24 and 32 bits, and the canvas path onto
    // 48 bits, give the same pixels.
    const int W = 37, H = 23;
    GpBitmap src = bitmap(W, H, PixelFormat24bppRGB);
    std::vector<ARGB> px(size_t(W) * H);
    for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | ARGB(i * 2654435761u >> 8);
    fill(src, W, H, px);
    std::vector<std::vector<ARGB>> results;
    for (PixelFormat f : {PixelFormat24bppRGB, PixelFormat32bppARGB, PixelFormat48bppRGB}) {
        GpBitmap dst = bitmap(50, 40, f);
        GpGraphics g = on(dst);
        ASSERT_EQ(GdipGraphicsClear(g, 0xFF336699), Gdiplus::Ok);
        ASSERT_EQ(GdipSetInterpolationMode(g, InterpolationModeNearestNeighbor), Gdiplus::Ok);
        ASSERT_EQ(GdipDrawImageRectRect(g, src, -7, 3, 81, 55, 2, 1, 33, 20, UnitPixel, 0, nullptr,
                                        nullptr),
                  Gdiplus::Ok);
        results.push_back(pixels(dst, 50, 40));
    }
    EXPECT_EQ(results[0], results[2]);
    EXPECT_EQ(results[1], results[2]);
}

TEST_F(Graphics, TextRefusesALayoutThatIsNotANumber) {
    GpBitmap img = bitmap(10, 10, PixelFormat24bppRGB);
    GpGraphics g = on(img);
    GpFontFamily family = 0;
    ASSERT_EQ(GdipCreateFontFamilyFromName(u"Arial", 0, &family), Gdiplus::Ok);
    GpFont font = 0;
    ASSERT_EQ(GdipCreateFont(family, 10, 0, UnitPixel, &font), Gdiplus::Ok);
    GpSolidFill brush = 0;
    ASSERT_EQ(GdipCreateSolidFill(0xFF000000, &brush), Gdiplus::Ok);
    GpRectF bad{0, 0, std::nanf(""), 10}, box;
    EXPECT_EQ(GdipDrawString(g, u"x", -1, font, &bad, 0, brush), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipMeasureString(g, u"x", -1, font, &bad, 0, &box, nullptr, nullptr),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipCreateFont(family, -1, 0, UnitPixel, &font), Gdiplus::InvalidParameter);
    GdipDeleteBrush(brush);
    GdipDeleteFontFamily(family);
}
