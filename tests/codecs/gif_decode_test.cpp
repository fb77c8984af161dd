// GIF decoding: the single-frame indexed result, frame composition by disposal method,
// delays and loop count, interlacing, damaged files.
#include <chrono>

#include "codecs/codec_builders.h"

namespace codectest {
namespace {

const std::vector<uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

GifFrame solid(int l, int t, int w, int h, uint8_t index) {
    GifFrame f;
    f.left = l, f.top = t, f.width = w, f.height = h;
    f.indices.assign(size_t(w * h), index);
    return f;
}

TEST(Gif, SingleFrameIsIndexedAtTheScreenSize) {
    GifFrame f = solid(1, 1, 2, 2, 2);
    f.indices[0] = 3;
    f.transparent = 1;
    Decoded d = decode(make_gif(4, 3, kPalette, {f}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    ASSERT_EQ(d.image->frames.size(), 1u);
    const gdip::Frame& fr = d.frame();
    EXPECT_EQ(fr.format, PixelFormat8bppIndexed);
    EXPECT_EQ(fr.width, 4);
    EXPECT_EQ(fr.height, 3);
    EXPECT_EQ(index_at(fr, 1, 1), 3u);
    EXPECT_EQ(index_at(fr, 2, 2), 2u);
    EXPECT_EQ(index_at(fr, 0, 0), 1u);  // outside the frame: the transparent index
    ASSERT_EQ(fr.palette.size(), 4u);
    EXPECT_EQ(fr.palette[1], 0x00FF0000u);
    EXPECT_TRUE(fr.palette_flags & PaletteFlagsHasAlpha);
    EXPECT_EQ(d.image->frame_dimension, FrameDimensionTime);
    EXPECT_EQ(d.image->raw_format, ImageFormatGIF);
    const gdip::PropertyData* delay = property(*d.image, PropertyTagFrameDelay);
    ASSERT_NE(delay, nullptr);
    EXPECT_EQ(delay->value.size(), 4u);
    const gdip::PropertyData* loops = property(*d.image, PropertyTagLoopCount);
    ASSERT_NE(loops, nullptr);
    EXPECT_EQ(loops->type, PropertyTagTypeShort);
    EXPECT_EQ(loops->value, (Bytes{1, 0}));  // no NETSCAPE block: played once
}

TEST(Gif, WithoutTransparencyTheBackgroundFillsOutside) {
    Decoded d = decode(make_gif(3, 1, kPalette, {solid(0, 0, 1, 1, 1)}, -1, 2));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(index_at(d.frame(), 2, 0), 2u);
    EXPECT_FALSE(d.frame().palette_flags & PaletteFlagsHasAlpha);
}

TEST(Gif, LocalPaletteWins) {
    GifFrame f = solid(0, 0, 1, 1, 1);
    f.local_palette = {0x123456, 0xABCDEF};
    Decoded d = decode(make_gif(1, 1, kPalette, {f}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    ASSERT_EQ(d.frame().palette.size(), 2u);
    EXPECT_EQ(d.frame().palette[1], 0xFFABCDEFu);
}

TEST(Gif, FramesAreComposedByDisposal) {
    // 4x1 screen. Frame 0 fills blue (disposal 1: keep). Frame 1 draws red at x=1 (disposal 2:
    // cleared afterwards). Frame 2 draws green at x=2 with x=3 transparent (disposal 3:
    // restored afterwards). Frame 3 draws black at x=0.
    GifFrame f0 = solid(0, 0, 4, 1, 3);
    f0.disposal = 1, f0.delay = 10;
    GifFrame f1 = solid(1, 0, 1, 1, 1);
    f1.disposal = 2, f1.delay = 20;
    GifFrame f2 = solid(2, 0, 2, 1, 2);
    f2.indices[1] = 0;
    f2.transparent = 0, f2.disposal = 3, f2.delay = 30;
    GifFrame f3 = solid(0, 0, 1, 1, 0);
    f3.delay = 40;
    Decoded d = decode(make_gif(4, 1, kPalette, {f0, f1, f2, f3}, 0));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    ASSERT_EQ(d.image->frames.size(), 4u);
    const uint32_t B = 0xFF0000FF, R = 0xFFFF0000, G = 0xFF00FF00, K = 0xFF000000, T = 0;
    const uint32_t want[4][4] = {{B, B, B, B}, {B, R, B, B}, {B, T, G, B}, {K, T, B, B}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d.frame(size_t(i)).format, PixelFormat32bppARGB);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(argb_at(d.frame(size_t(i)), x, 0), want[i][x]) << "frame " << i << " x " << x;
    }
    const gdip::PropertyData* delay = property(*d.image, PropertyTagFrameDelay);
    ASSERT_NE(delay, nullptr);
    EXPECT_EQ(delay->type, PropertyTagTypeLong);
    Bytes want_delays;
    for (uint32_t v : {10u, 20u, 30u, 40u}) put32(want_delays, v);
    EXPECT_EQ(delay->value, want_delays);
    EXPECT_EQ(property(*d.image, PropertyTagLoopCount)->value, (Bytes{0, 0}));
}

TEST(Gif, FirstFrameLargerThanTheScreenWidensIt) {
    Decoded d = decode(make_gif(2, 2, kPalette, {solid(1, 1, 3, 2, 1), solid(0, 0, 9, 9, 2)}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    ASSERT_EQ(d.image->frames.size(), 2u);
    EXPECT_EQ(d.frame(0).width, 4);
    EXPECT_EQ(d.frame(0).height, 3);
    EXPECT_EQ(d.frame(1).width, 4);  // later frames are clipped
    EXPECT_EQ(argb_at(d.frame(1), 3, 2), 0xFF00FF00u);
}

TEST(Gif, InterlacedRowsLandInPlace) {
    GifFrame f;
    f.width = 1, f.height = 9;
    // stored order of an interlaced 9-row frame: rows 0, 8, 4, 2, 6, 1, 3, 5, 7
    f.indices = {0, 8, 4, 2, 6, 1, 3, 5, 7};
    Bytes file = make_gif(1, 9, std::vector<uint32_t>(16, 0), {f});
    // set the interlace bit of the image descriptor (the byte after the 9 descriptor bytes' size)
    size_t desc = 0;
    for (size_t i = 0; i < file.size(); ++i)
        if (file[i] == 0x2C) {
            desc = i;
            break;
        }
    file[desc + 9] |= 0x40;
    Decoded d = decode(file);
    ASSERT_EQ(d.status, Gdiplus::Ok);
    for (int y = 0; y < 9; ++y) EXPECT_EQ(index_at(d.frame(), 0, y), uint32_t(y)) << y;
}

TEST(GifDamaged, TruncatedFramesKeepWhatWasRead) {
    GifFrame f0 = solid(0, 0, 300, 4, 1);
    GifFrame f1 = solid(0, 0, 300, 4, 2);
    Bytes file = make_gif(300, 4, kPalette, {f0, f1});
    Bytes cut(file.begin(), file.end() - 300);  // the second frame loses its last rows
    Decoded d = decode(cut);
    ASSERT_EQ(d.status, Gdiplus::Ok);
    ASSERT_EQ(d.image->frames.size(), 2u);
    EXPECT_EQ(argb_at(d.frame(1), 0, 0), 0xFF00FF00u);
    EXPECT_EQ(argb_at(d.frame(1), 0, 3), 0xFFFF0000u);  // still frame 0 underneath
}

TEST(GifDamaged, BrokenFilesReturnAStatus) {
    EXPECT_EQ(decode(Bytes{'G', 'I', 'F', '8', '9', 'a'}).status, Gdiplus::GenericError);
    Bytes no_frames = make_gif(2, 2, kPalette, {});
    EXPECT_EQ(decode(no_frames).status, Gdiplus::GenericError);
    Bytes zero_frame = make_gif(2, 2, kPalette, {solid(0, 0, 0, 0, 0)});
    EXPECT_EQ(decode(zero_frame).status, Gdiplus::GenericError);
}

TEST(GifDamaged, AbsurdScreenFailsFast) {
    GifFrame f = solid(0, 0, 1, 1, 1);
    for (int side : {65535, 30000}) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(decode(make_gif(side, side, kPalette, {f})).status, Gdiplus::OutOfMemory) << side;
        GifFrame big = f;
        big.width = big.height = side;  // a frame that claims the whole screen, one pixel of data
        big.indices.resize(1);
        EXPECT_EQ(decode(make_gif(1, 1, kPalette, {big})).status, Gdiplus::OutOfMemory) << side;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
}

}  // namespace
}  // namespace codectest
