// ICO decoding: entry choice, AND mask and alpha, PNG payloads, damaged directories.
#include "codecs/codec_builders.h"

namespace codectest {
namespace {

// A DIB payload of a w × h icon: BITMAPINFOHEADER (height doubled), palette, XOR rows, AND rows.
Bytes icon_dib(int w, int h, int bits, const std::vector<uint32_t>& palette, const Bytes& xor_rows,
               const Bytes& and_rows) {
    Bytes b;
    put32(b, 40), put32(b, uint32_t(w)), put32(b, uint32_t(2 * h)), put16(b, 1),
        put16(b, uint32_t(bits));
    put32(b, 0), put32(b, 0), put32(b, 0), put32(b, 0), put32(b, uint32_t(palette.size())),
        put32(b, 0);
    for (uint32_t c : palette) put8(b, c), put8(b, c >> 8), put8(b, c >> 16), put8(b, 0);
    append(b, xor_rows);
    append(b, and_rows);
    return b;
}

Bytes make_ico(const std::vector<std::pair<std::array<int, 3>, Bytes>>& entries) {
    Bytes out;
    put16(out, 0), put16(out, 1), put16(out, uint32_t(entries.size()));
    uint32_t off = uint32_t(6 + 16 * entries.size());
    for (const auto& [dims, payload] : entries) {
        put8(out, uint32_t(dims[0] & 0xFF)), put8(out, uint32_t(dims[1] & 0xFF)), put8(out, 0),
            put8(out, 0);
        put16(out, 1), put16(out, uint32_t(dims[2])), put32(out, uint32_t(payload.size())),
            put32(out, off);
        off += uint32_t(payload.size());
    }
    for (const auto& e : entries) append(out, e.second);
    return out;
}

Bytes and_mask(int w, int h, int transparent_x, int transparent_y) {
    std::vector<std::vector<int>> m(size_t(h), std::vector<int>(size_t(w), 0));
    m[size_t(transparent_y)][size_t(transparent_x)] = 1;
    return pack_rows(m, 1);
}

TEST(Ico, AndMaskGivesAlpha) {
    std::vector<std::vector<int>> idx(2, std::vector<int>{1, 0});
    Bytes payload =
        icon_dib(2, 2, 4, {0x000000, 0xFF8000}, pack_rows(idx, 4), and_mask(2, 2, 1, 0));
    Decoded d = decode(make_ico({{{2, 2, 4}, payload}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    const gdip::Frame& f = d.frame();
    EXPECT_EQ(f.format, PixelFormat32bppARGB);
    EXPECT_EQ(f.height, 2);
    EXPECT_EQ(argb_at(f, 0, 0), 0xFFFF8000u);
    EXPECT_EQ(argb_at(f, 1, 0) >> 24, 0u);
    EXPECT_EQ(argb_at(f, 1, 1), 0xFF000000u);
    EXPECT_EQ(d.image->raw_format, ImageFormatIcon);
}

TEST(Ico, ThirtyTwoBitAlphaWinsOverTheMaskUnlessAllZero) {
    Bytes px = {1, 2, 3, 128, 4, 5, 6, 0};  // one row of two BGRA pixels
    Decoded d = decode(make_ico({{{2, 1, 32}, icon_dib(2, 1, 32, {}, px, and_mask(2, 1, 0, 0))}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(argb_at(d.frame(), 0, 0), 0x80030201u);
    EXPECT_EQ(argb_at(d.frame(), 1, 0) >> 24, 0u);
    Bytes no_alpha = {1, 2, 3, 0, 4, 5, 6, 0};
    d = decode(make_ico({{{2, 1, 32}, icon_dib(2, 1, 32, {}, no_alpha, and_mask(2, 1, 0, 0))}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(argb_at(d.frame(), 0, 0) >> 24, 0u);     // masked
    EXPECT_EQ(argb_at(d.frame(), 1, 0), 0xFF060504u);  // opaque by the mask
}

TEST(Ico, LargestThenDeepestEntryIsChosen) {
    std::vector<std::vector<int>> one(1, std::vector<int>{1});
    Bytes small = icon_dib(1, 1, 1, {0, 0xFFFFFF}, pack_rows(one, 1), and_mask(1, 1, 0, 0));
    std::vector<std::vector<int>> two(2, std::vector<int>{1, 1});
    Bytes big1 =
        icon_dib(2, 2, 1, {0, 0x0000FF}, pack_rows(two, 1), pack_rows({{0, 0}, {0, 0}}, 1));
    Bytes big8 =
        icon_dib(2, 2, 8, {0, 0x00FF00}, pack_rows(two, 8), pack_rows({{0, 0}, {0, 0}}, 1));
    Decoded d = decode(make_ico({{{1, 1, 1}, small}, {{2, 2, 1}, big1}, {{2, 2, 8}, big8}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(d.frame().width, 2);
    EXPECT_EQ(argb_at(d.frame(), 0, 0), 0xFF00FF00u);
}

TEST(Ico, PngPayload) {
    Bytes png = make_png(2, 1, 8, 6, {{10, 20, 30, 40, 50, 60, 70, 80}});
    Decoded d = decode(make_ico({{{2, 1, 32}, png}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(d.frame().format, PixelFormat32bppARGB);
    EXPECT_EQ(argb_at(d.frame(), 1, 0), 0x50323C46u);
    Bytes grey = make_png(1, 1, 8, 0, {{77}});
    d = decode(make_ico({{{1, 1, 8}, grey}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(argb_at(d.frame(), 0, 0), 0xFF4D4D4Du);
}

TEST(IcoDamaged, BrokenDirectoriesReturnAStatus) {
    EXPECT_EQ(decode(Bytes{0, 0, 1, 0, 5, 0}).status, Gdiplus::GenericError);  // entries missing
    Bytes bad_offset = make_ico({{{1, 1, 1}, Bytes(40, 0)}});
    bad_offset[6 + 12] = 0xFF, bad_offset[6 + 13] = 0xFF;  // offset far past the end
    EXPECT_EQ(decode(bad_offset).status, Gdiplus::GenericError);
    EXPECT_EQ(decode(make_ico({{{1, 1, 1}, Bytes(8, 0)}})).status, Gdiplus::GenericError);
    EXPECT_EQ(decode(Bytes{0, 0, 1, 0, 0, 0}).status, Gdiplus::UnknownImageFormat);  // no entries
}

}  // namespace
}  // namespace codectest
