// GdipBitmapLockBits / UnlockBits: every mode, conversions on the way in and out, caller
// buffers with padding and negative strides, rectangles, and the states that must fail.
#include <climits>
#include <cstring>

#include "gdip_fixture.h"
#include "platform/gdiplus/convert.h"

namespace {

using pixtest::GdipTest;

// Colours every format of the table holds exactly: opaque black and white, and for the
// non-indexed formats (other than gray and 1555) colours that 5 and 6 bits hold exactly.
std::vector<ARGB> pattern(PixelFormat f, INT w, INT h) {
    std::vector<ARGB> grid{0xFF000000, 0xFFFFFFFF, 0xFFF71800, 0xFF0818F7, 0xFFFF0008};
    bool gray = f == PixelFormat16bppGrayScale;
    std::vector<ARGB> out;
    for (INT i = 0; i < w * h; ++i) {
        ARGB c = grid[size_t(i * 7 + i / w) % grid.size()];
        if (gray || gdip::is_indexed(f) || f == PixelFormat16bppARGB1555)
            c = (i * 3 + i / w) % 2 ? 0xFFFFFFFF : 0xFF000000;
        out.push_back(c);
    }
    return out;
}

class LockEveryFormat : public GdipTest, public ::testing::WithParamInterface<PixelFormat> {};

TEST_P(LockEveryFormat, WriteConvertedThenReadBack) {
    PixelFormat f = GetParam();
    const INT w = 13, h = 5;
    GpBitmap b = bitmap(w, h, f);
    auto want = pattern(f, w, h);
    fill(b, w, h, want);

    BitmapData d;
    GpRect r{0, 0, w, h};
    ASSERT_EQ(GdipBitmapLockBits(b, &r, ImageLockModeRead, PixelFormat32bppARGB, &d), Gdiplus::Ok);
    EXPECT_EQ(d.Width, UINT(w));
    EXPECT_EQ(d.Height, UINT(h));
    EXPECT_EQ(d.PixelFormat, PixelFormat32bppARGB);
    ASSERT_GE(d.Stride, 4 * w);
    std::vector<ARGB> got;
    for (INT y = 0; y < h; ++y) {
        const ARGB* row = reinterpret_cast<const ARGB*>(static_cast<BYTE*>(d.Scan0) + y * d.Stride);
        got.insert(got.end(), row, row + w);
    }
    ASSERT_EQ(GdipBitmapUnlockBits(b, &d), Gdiplus::Ok);
    EXPECT_EQ(got, want);
    EXPECT_EQ(pixels(b, w, h), want);
}

// Locking in the bitmap's own format hands out its rows: what is written is there.
TEST_P(LockEveryFormat, OwnFormatReadWriteInPlace) {
    PixelFormat f = GetParam();
    GpBitmap b = bitmap(9, 4, f);
    BitmapData d1, d2;
    ASSERT_EQ(GdipBitmapLockBits(b, nullptr, ImageLockModeRead | ImageLockModeWrite, f, &d1),
              Gdiplus::Ok);
    std::memset(d1.Scan0, 0xFF, size_t(*gdip::row_bytes(9, f)));  // top row all ones
    ASSERT_EQ(GdipBitmapUnlockBits(b, &d1), Gdiplus::Ok);
    ASSERT_EQ(GdipBitmapLockBits(b, nullptr, ImageLockModeRead, f, &d2), Gdiplus::Ok);
    EXPECT_EQ(d1.Scan0, d2.Scan0);
    EXPECT_EQ(static_cast<BYTE*>(d2.Scan0)[0], 0xFF);
    EXPECT_EQ(static_cast<BYTE*>(d2.Scan0)[d2.Stride], 0x00);
    ASSERT_EQ(GdipBitmapUnlockBits(b, &d2), Gdiplus::Ok);
}

INSTANTIATE_TEST_SUITE_P(Formats, LockEveryFormat, ::testing::ValuesIn([] {
                             std::vector<PixelFormat> v;
                             for (const auto& f : gdip::kPixelFormats) v.push_back(f.value);
                             return v;
                         }()),
                         [](const auto& info) {
                             return std::string(gdip::pixel_format_name(info.param));
                         });

class LockBits : public GdipTest {
  protected:
    static constexpr INT kW = 10, kH = 6;
    void SetUp() override {
        GdipTest::SetUp();
        m_bmp = bitmap(kW, kH, PixelFormat32bppARGB);
        for (INT i = 0; i < kW * kH; ++i) m_px.push_back(0xFF000000u | uint32_t(i * 0x030507));
        fill(m_bmp, kW, kH, m_px);
    }
    ARGB px(INT x, INT y) const { return m_px[size_t(y) * kW + x]; }

    GpBitmap m_bmp = 0;
    std::vector<ARGB> m_px;
};

// Mode 5 into a 24-bit caller buffer with row padding, bottom row first in memory.
TEST_F(LockBits, ReadIntoCallerBufferNegativeStride) {
    const INT stride = 3 * 4 + 5;
    std::vector<BYTE> buf(size_t(stride) * 3, 0xEE);
    BitmapData d;
    d.Width = 4;
    d.Height = 3;
    d.Stride = -stride;
    d.PixelFormat = PixelFormat24bppRGB;
    d.Scan0 = buf.data() + 2 * stride;  // first row at the end
    GpRect r{2, 1, 4, 3};
    ASSERT_EQ(GdipBitmapLockBits(m_bmp, &r, ImageLockModeRead | ImageLockModeUserInputBuf,
                                 PixelFormat24bppRGB, &d),
              Gdiplus::Ok);
    EXPECT_EQ(d.Scan0, buf.data() + 2 * stride);
    EXPECT_EQ(d.Stride, -stride);
    ASSERT_EQ(GdipBitmapUnlockBits(m_bmp, &d), Gdiplus::Ok);
    for (INT y = 0; y < 3; ++y)
        for (INT x = 0; x < 4; ++x) {
            const BYTE* p = buf.data() + (2 - y) * stride + 3 * x;
            ARGB c = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            EXPECT_EQ(c, px(2 + x, 1 + y)) << x << "," << y;
        }
    EXPECT_EQ(buf[size_t(stride) - 1], 0xEE);  // padding untouched
}

// Mode 6: the caller's buffer is read at unlock; only the rectangle changes.
TEST_F(LockBits, WriteFromCallerBufferAtUnlock) {
    std::vector<ARGB> buf(2 * 8, 0);  // stride 8 pixels for a 3-pixel-wide rectangle
    BitmapData d;
    d.Stride = 8 * 4;
    d.Scan0 = buf.data();
    GpRect r{7, 4, 3, 2};
    ASSERT_EQ(GdipBitmapLockBits(m_bmp, &r, ImageLockModeWrite | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &d),
              Gdiplus::Ok);
    for (INT y = 0; y < 2; ++y)
        for (INT x = 0; x < 3; ++x) buf[size_t(y) * 8 + x] = 0x80112233;
    ASSERT_EQ(GdipBitmapUnlockBits(m_bmp, &d), Gdiplus::Ok);
    for (INT y = 0; y < kH; ++y)
        for (INT x = 0; x < kW; ++x) {
            ARGB c = 0;
            ASSERT_EQ(GdipBitmapGetPixel(m_bmp, x, y, &c), Gdiplus::Ok);
            bool inside = x >= 7 && y >= 4;
            EXPECT_EQ(c, inside ? 0x80112233u : px(x, y)) << x << "," << y;
        }
}

TEST_F(LockBits, ReadOnlyConvertedLockWritesNothingBack) {
    BitmapData d;
    ASSERT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &d),
              Gdiplus::Ok);
    std::memset(d.Scan0, 0, size_t(d.Stride) * d.Height);
    ASSERT_EQ(GdipBitmapUnlockBits(m_bmp, &d), Gdiplus::Ok);
    EXPECT_EQ(pixels(m_bmp, kW, kH), m_px);
}

TEST_F(LockBits, ReadWriteConvertedRoundTripsThroughPargb) {
    BitmapData d;
    ASSERT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead | ImageLockModeWrite,
                                 PixelFormat32bppPARGB, &d),
              Gdiplus::Ok);
    ASSERT_EQ(GdipBitmapUnlockBits(m_bmp, &d), Gdiplus::Ok);
    EXPECT_EQ(pixels(m_bmp, kW, kH), m_px);  // opaque pixels survive premultiplication
}

TEST_F(LockBits, RectanglesOutsideTheImageAreRejected) {
    BitmapData d;
    for (GpRect r : {GpRect{-1, 0, 2, 2}, GpRect{0, -1, 2, 2}, GpRect{0, 0, 0, 2},
                     GpRect{0, 0, 2, 0}, GpRect{9, 0, 2, 1}, GpRect{0, 5, 1, 2},
                     GpRect{INT_MAX, 0, 2, 1}, GpRect{1, 1, INT_MAX, 1}, GpRect{0, 0, -3, 2}}) {
        EXPECT_EQ(GdipBitmapLockBits(m_bmp, &r, ImageLockModeRead, PixelFormat32bppARGB, &d),
                  Gdiplus::InvalidParameter)
            << r.X << "," << r.Y << "," << r.Width << "," << r.Height;
    }
    GpRect whole{0, 0, kW, kH};
    ASSERT_EQ(GdipBitmapLockBits(m_bmp, &whole, ImageLockModeRead, PixelFormat32bppARGB, &d),
              Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapUnlockBits(m_bmp, &d), Gdiplus::Ok);
}

TEST_F(LockBits, SecondLockIsWrongStateUntilUnlocked) {
    BitmapData d1, d2;
    ASSERT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &d1),
              Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &d2),
              Gdiplus::WrongState);
    ASSERT_EQ(GdipBitmapUnlockBits(m_bmp, &d1), Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapUnlockBits(m_bmp, &d1), Gdiplus::WrongState);
    ASSERT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &d2),
              Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapUnlockBits(m_bmp, &d2), Gdiplus::Ok);
}

TEST_F(LockBits, BadArgumentsLeaveTheBitmapUnlocked) {
    BitmapData d;
    EXPECT_EQ(GdipBitmapLockBits(m_bmp, nullptr, 0, PixelFormat32bppARGB, &d),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead | 8, PixelFormat32bppARGB, &d),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead, PixelFormat32bppCMYK, &d),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead, PixelFormat32bppARGB, nullptr),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipBitmapLockBits(0, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &d),
              Gdiplus::InvalidParameter);
    BitmapData user;  // no buffer
    EXPECT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &user),
              Gdiplus::InvalidParameter);
    std::vector<ARGB> small(kW * kH);
    user.Scan0 = small.data();
    user.Stride = 4 * kW - 4;  // one pixel short
    EXPECT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &user),
              Gdiplus::InvalidParameter);
    user.Stride = 4 * kW;
    user.Height = kH - 1;  // declares fewer rows than the rectangle needs
    EXPECT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &user),
              Gdiplus::InvalidParameter);
    // None of these left a lock behind.
    ASSERT_EQ(GdipBitmapLockBits(m_bmp, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &d),
              Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapUnlockBits(m_bmp, &d), Gdiplus::Ok);
}

TEST_F(LockBits, SubByteRectangleKeepsNeighbours) {
    GpBitmap mono = bitmap(16, 2, PixelFormat1bppIndexed);
    std::vector<ARGB> white(5 * 2, 0xFFFFFFFF);
    BitmapData d;
    d.Stride = 5 * 4;
    d.Scan0 = white.data();
    GpRect r{3, 0, 5, 2};
    ASSERT_EQ(GdipBitmapLockBits(mono, &r, ImageLockModeWrite | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &d),
              Gdiplus::Ok);
    ASSERT_EQ(GdipBitmapUnlockBits(mono, &d), Gdiplus::Ok);
    BitmapData raw;
    ASSERT_EQ(GdipBitmapLockBits(mono, nullptr, ImageLockModeRead, PixelFormat1bppIndexed, &raw),
              Gdiplus::Ok);
    const BYTE* row = static_cast<const BYTE*>(raw.Scan0);
    EXPECT_EQ(row[0], 0x1F);  // pixels 3..7
    EXPECT_EQ(row[1], 0x00);
    ASSERT_EQ(GdipBitmapUnlockBits(mono, &raw), Gdiplus::Ok);

    // An own-format lock that starts mid-byte goes through a buffer and still round-trips.
    GpRect odd{5, 1, 6, 1};
    ASSERT_EQ(GdipBitmapLockBits(mono, &odd, ImageLockModeRead | ImageLockModeWrite,
                                 PixelFormat1bppIndexed, &raw),
              Gdiplus::Ok);
    EXPECT_EQ(static_cast<const BYTE*>(raw.Scan0)[0], 0xE0);  // pixels 5, 6, 7 set
    static_cast<BYTE*>(raw.Scan0)[0] = 0xFC;
    ASSERT_EQ(GdipBitmapUnlockBits(mono, &raw), Gdiplus::Ok);
    ARGB c = 0;
    ASSERT_EQ(GdipBitmapGetPixel(mono, 10, 1, &c), Gdiplus::Ok);
    EXPECT_EQ(c, 0xFFFFFFFFu);
    ASSERT_EQ(GdipBitmapGetPixel(mono, 11, 1, &c), Gdiplus::Ok);
    EXPECT_EQ(c, 0xFF000000u);
}

TEST_F(LockBits, IndexedWriteMapsToTheNearestPaletteEntry) {
    GpBitmap pal = bitmap(2, 1, PixelFormat8bppIndexed);
    std::vector<ARGB> px{0xFFFE0101, 0xFF0101FD};
    fill(pal, 2, 1, px);
    EXPECT_EQ(pixels(pal, 2, 1), (std::vector<ARGB>{0xFFFF0000, 0xFF0000FF}));
}

TEST_F(LockBits, DisposedWhileLockedDoesNotPoisonLaterLocks) {
    GpBitmap other = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat24bppRGB, nullptr, &other),
              Gdiplus::Ok);
    BitmapData d;
    ASSERT_EQ(GdipBitmapLockBits(other, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &d),
              Gdiplus::Ok);
    ASSERT_EQ(GdipDisposeImage(other), Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapUnlockBits(other, &d), Gdiplus::InvalidParameter);
    GpBitmap again = bitmap(4, 4, PixelFormat24bppRGB);
    ASSERT_EQ(GdipBitmapLockBits(again, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &d),
              Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapUnlockBits(again, &d), Gdiplus::Ok);
}

TEST_F(LockBits, MetafilesCannotBeLocked) {
    win::MetafileData md;
    md.width = 8;
    md.height = 8;
    HENHMETAFILE emf = win::RecordMetafile(md, true);
    GpMetafile mf = 0;
    ASSERT_EQ(GdipCreateMetafileFromEmf(emf, TRUE, &mf), Gdiplus::Ok);
    keep(mf);
    BitmapData d;
    EXPECT_EQ(GdipBitmapLockBits(mf, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &d),
              Gdiplus::InvalidParameter);
}

}  // namespace
