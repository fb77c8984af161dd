// The PNM reader and writer.
#include "codecs/mPNMFileIO.h"
#include "own_fixture.h"

using namespace owntest;
using mPNMFileIO::DecodePnm;

namespace {

struct Decoded {
    bool ok = false;
    int32_t w = 0, h = 0;
    Bytes px;
    // Blue, green, red of pixel (x, y).
    std::array<int, 3> at(int x, int y) const {
        size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
        const uint8_t* p = px.data() + size_t(y) * stride + size_t(x) * 3;
        return {p[0], p[1], p[2]};
    }
    int grey(int x, int y) const { return at(x, y)[0]; }
};

Decoded decode(const std::string& text) {
    Decoded d;
    Bytes b = bytes_of(text);
    d.ok = DecodePnm(b, d.w, d.h, d.px);
    return d;
}
Decoded decode(const Bytes& b) {
    Decoded d;
    d.ok = DecodePnm(b, d.w, d.h, d.px);
    return d;
}

Bytes concat(const std::string& head, const Bytes& data) {
    Bytes b = bytes_of(head);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// The same 3 x 2 grey image (0, 128, 255 / 255, 0, 64 at maxval 255) in every grey kind,
// with and without comments.
struct KindCase {
    const char* name;
    Bytes file;
};

std::vector<KindCase> grey_kinds() {
    return {
        {"P2", bytes_of("P2\n3 2\n255\n0 128 255\n255 0 64\n")},
        {"P2 comments", bytes_of("P2\n# made by hand 9 9\n3 # width\n2\n# maxval next\n255\n"
                                 "0 128 255 # row 1\n255 0 64\n")},
        {"P5", concat("P5\n3 2\n255\n", {0, 128, 255, 255, 0, 64})},
        {"P5 comments", concat("P5 #x\n# 7 7\n3 2\n255\n", {0, 128, 255, 255, 0, 64})},
        {"P5 16-bit",
         concat("P5\n3 2\n65535\n", {0, 0, 0x80, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x40, 0x40})},
        {"P3", bytes_of("P3\n3 2\n255\n0 0 0 128 128 128 255 255 255\n255 255 255 0 0 0 64 64 "
                        "64\n")},
        {"P6", concat("P6\n3 2\n255\n",
                      {0, 0, 0, 128, 128, 128, 255, 255, 255, 255, 255, 255, 0, 0, 0, 64, 64, 64})},
        {"P6 comment after maxval", concat("P6 3 2 255#c\n", {0, 0, 0, 128, 128, 128, 255, 255, 255,
                                                              255, 255, 255, 0, 0, 0, 64, 64, 64})},
    };
}

class PnmGreyKinds : public ::testing::TestWithParam<KindCase> {};

}  // namespace

TEST_P(PnmGreyKinds, DecodeToTheSamePixels) {
    Decoded d = decode(GetParam().file);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.w, 3);
    ASSERT_EQ(d.h, 2);
    const int want[2][3] = {{0, 128, 255}, {255, 0, 64}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(d.at(x, y), (std::array<int, 3>{want[y][x], want[y][x], want[y][x]}))
                << x << "," << y;
    EXPECT_EQ(d.px.size(), 24u) << "rows of 9 bytes padded to 12";
    EXPECT_EQ(d.px[9] | d.px[10] | d.px[11], 0) << "padding is 0";
}

INSTANTIATE_TEST_SUITE_P(Kinds, PnmGreyKinds, ::testing::ValuesIn(grey_kinds()),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (!isalnum((unsigned char)c)) c = '_';
                             return n;
                         });

TEST(PnmReader, ColourChannelsGoToBlueGreenRed) {
    Decoded d = decode(concat("P6\n2 1\n255\n", {10, 20, 30, 40, 50, 60}));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.at(0, 0), (std::array<int, 3>{30, 20, 10}));
    EXPECT_EQ(d.at(1, 0), (std::array<int, 3>{60, 50, 40}));
    d = decode("P3 1 1 15 15 0 5");
    EXPECT_EQ(d.at(0, 0), (std::array<int, 3>{85, 0, 255}));
}

TEST(PnmReader, BilevelKinds) {
    Decoded d = decode("P1\n2 2\n0 1\n1 0\n");
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.grey(0, 0), 255);
    EXPECT_EQ(d.grey(1, 0), 0);
    EXPECT_EQ(d.grey(0, 1), 0);
    EXPECT_EQ(d.grey(1, 1), 255);
    d = decode("P1\n# comment 1 1\n4 1\n0110");  // samples need no separators
    EXPECT_EQ(std::vector<int>({d.grey(0, 0), d.grey(1, 0), d.grey(2, 0), d.grey(3, 0)}),
              std::vector<int>({255, 0, 0, 255}));
    // 10 pixels wide: 2 bytes per row, the 6 low bits of the second ignored.
    d = decode(concat("P4\n10 2\n", {0b10100000, 0b01111111, 0xFF, 0b11000000}));
    ASSERT_TRUE(d.ok);
    std::vector<int> row0, row1;
    for (int x = 0; x < 10; ++x) row0.push_back(d.grey(x, 0)), row1.push_back(d.grey(x, 1));
    EXPECT_EQ(row0, (std::vector<int>{0, 255, 0, 255, 255, 255, 255, 255, 255, 0}));
    EXPECT_EQ(row1, (std::vector<int>(10, 0)));
}

// Every maxval is scaled to 0..255, rounded, and samples above it are 255.
TEST(PnmReader, MaxvalScalesEverySample) {
    EXPECT_EQ(decode("P2 3 1 15 0 15 7").grey(1, 0), 255) << "maxval 15 is stretched";
    EXPECT_EQ(decode("P2 3 1 15 0 15 7").grey(2, 0), 119);  // 7 * 255 / 15
    EXPECT_EQ(decode("P2 1 1 1023 1023").grey(0, 0), 255);
    EXPECT_EQ(decode("P2 1 1 1 1").grey(0, 0), 255);
    EXPECT_EQ(decode("P2 2 1 100 150 50").grey(0, 0), 255) << "above maxval";
    EXPECT_EQ(decode("P2 2 1 100 150 50").grey(1, 0), 128) << "127.5 rounds up";
    Decoded d = decode(concat("P5 3 1 65535\n", {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x01}));
    EXPECT_EQ(d.grey(0, 0), 255);
    EXPECT_EQ(d.grey(1, 0), 128);
    EXPECT_EQ(d.grey(2, 0), 0);
    d = decode(concat("P6 1 1 1000\n", {0x03, 0xE8, 0x01, 0xF4, 0x00, 0x00}));
    EXPECT_EQ(d.at(0, 0), (std::array<int, 3>{0, 128, 255}));
    d = decode(concat("P5 2 1 3\n", {3, 1}));
    EXPECT_EQ(d.grey(0, 0), 255);
    EXPECT_EQ(d.grey(1, 0), 85);
}

// A comment holding numbers is skipped, as the Netpbm formats define.
TEST(PnmReader, CommentsAreNotNumbers) {
    Decoded d = decode(concat("P6\n# 2\n4 4\n255\n", Bytes(48, 7)));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.w, 4);
    EXPECT_EQ(d.h, 4);
    EXPECT_EQ(d.grey(3, 3), 7);
    d = decode(concat("P5\r\n#a\r\n#b 9\r\n2\t1\n#c\n255\n", {1, 2}));
    EXPECT_EQ(d.w, 2);
    EXPECT_EQ(d.grey(1, 0), 2);
}

// A file that ends inside its header fails; one that ends inside its pixels keeps the
// pixels read and succeeds, the rest staying 0.
TEST(PnmReader, EndOfFile) {
    for (const char* cut : {"", "P", "P6", "P6\n", "P6\n4", "P6\n4 4", "P6\n4 4\n", "P6 4 4 25",
                            "P2 # comment without end", "P1 3", "P7\n1 1\n", "Q6 1 1 255 "}) {
        Decoded d = decode(std::string(cut));
        EXPECT_FALSE(d.ok) << "'" << cut << "'";
        EXPECT_TRUE(d.px.empty());
    }
    Decoded d = decode("P2 3 2 255 10 20 30 40");
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.grey(0, 1), 40);
    EXPECT_EQ(d.grey(1, 1), 0);
    d = decode("P3 2 1 255 1 2");  // a pixel with one sample missing is not written
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.at(0, 0), (std::array<int, 3>{0, 0, 0}));
    d = decode(concat("P6 2 2 255\n", {1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.at(1, 0), (std::array<int, 3>{6, 5, 4}));
    EXPECT_EQ(d.at(0, 1), (std::array<int, 3>{0, 0, 0})) << "a partial pixel is not written";
    d = decode(concat("P4 16 2\n", {0x00}));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.grey(7, 0), 255);
    EXPECT_EQ(d.grey(8, 0), 0) << "not read: stays 0";
    d = decode("P1 2 2 1 0 1");
    EXPECT_TRUE(d.ok);
}

TEST(PnmReader, SizesAreCheckedBeforeAllocating) {
    EXPECT_FALSE(decode("P6 4000000000 4000000000 255\n").ok) << "beyond 32 bits";
    EXPECT_FALSE(decode("P6 2147483647 2147483647 255\n").ok) << "the buffer overflows";
    EXPECT_FALSE(decode("P6 99999999999999999999 1 255\n").ok);
    EXPECT_FALSE(decode("P5 100000 100000 255\n").ok) << "far beyond what the file holds";
    EXPECT_FALSE(decode("P5 2 2 0\n\1\2\3\4").ok) << "maxval 0";
    EXPECT_TRUE(decode("P5 4000 4000 255\n").ok) << "a short file of plausible size";
    Decoded d = decode("P5 0 5 255\n");
    EXPECT_TRUE(d.ok) << "a valid header of no pixels";
    EXPECT_EQ(d.w, 0);
    EXPECT_TRUE(d.px.empty());
}

TEST(PnmReader, ReadsFiles) {
    lumtest::TempDir dir;
    write_bytes(dir.file("a.pgm"), concat("P5 2 1 255\n", {9, 200}));
    int32_t w = 0, h = 0;
    Bytes px;
    ASSERT_TRUE(mPNMFileIO::ReadPnm(dir.file("a.pgm"), w, h, px));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(px[3], 200);
    EXPECT_FALSE(mPNMFileIO::ReadPnm(dir.file("missing.pgm"), w, h, px));
    EXPECT_EQ(w, 0);
    EXPECT_FALSE(mPNMFileIO::ReadPnm(dir.path(), w, h, px)) << "a folder";
}

// ---- Writer --------------------------------------------------------------------------

class PnmWriter : public ::testing::Test {
  protected:
    Bytes write(int32_t w, int32_t h, const Bytes& px, int32_t bpp, const Bytes& pal,
                int32_t indexed, int32_t grey, bool expect = true) {
        EXPECT_EQ(mPNMFileIO::WritePnm(path, w, h, px, bpp, pal, indexed, grey), expect);
        return lumtest::read_file(path);
    }
    static Bytes body(const Bytes& file, size_t header) {
        return Bytes(file.begin() + long(header), file.end());
    }
    lumtest::TempDir dir;
    std::string path = dir.file("out.pnm");
    const Bytes bw = {0, 0, 0, 255, 255, 255, 255, 255};
};

TEST_F(PnmWriter, OneBitOfWidthNineWritesTwoBytesPerRow) {
    Bytes px = {0, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0,   // black first and last
                1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0};  // all white
    Bytes f = write(9, 2, px, 1, bw, 2, 0);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "P4\n9 2");
    EXPECT_EQ(body(f, 7), (Bytes{0x80, 0x80, 0x00, 0x00}));
}

// Black is the darker side of the palette, so that a page of one colour keeps it.
TEST_F(PnmWriter, BilevelFollowsThePaletteBrightness) {
    const Bytes px = {0, 1, 0, 0};
    EXPECT_EQ(body(write(2, 1, px, 1, bw, 2, 0), 7), Bytes{0x80});
    const Bytes wb = {255, 255, 255, 255, 0, 0, 0, 255};
    EXPECT_EQ(body(write(2, 1, px, 1, wb, 2, 0), 7), Bytes{0x40}) << "index 1 is black";
    const Bytes white = {255, 255, 255, 255};
    EXPECT_EQ(body(write(2, 1, {0, 0, 0, 0}, 1, white, 1, 0), 7), Bytes{0x00}) << "blank page";
    const Bytes blue_red = {0, 0, 255, 255, 255, 0, 0, 255};
    EXPECT_EQ(body(write(2, 1, px, 1, blue_red, 2, 0), 7), Bytes{0x80}) << "blue is darker";
}

TEST_F(PnmWriter, GreyAndColourFromPalettesAndPixels) {
    const Bytes pal = {10, 20, 30, 255, 40, 50, 60, 255};
    const Bytes idx = {1, 0, 7, 0};  // index 7 is beyond the palette: black
    Bytes f = write(3, 1, idx, 8, pal, 2, mPNMFileIO::kGrey);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 11), "P5\n3 1\n255\n");
    EXPECT_EQ(body(f, 11), (Bytes{50, 20, 0})) << "the green byte";
    EXPECT_EQ(body(write(3, 1, idx, 8, pal, 2, 0), 11), (Bytes{40, 50, 60, 10, 20, 30, 0, 0, 0}));
    const Bytes bgr = {1, 2, 3, 4, 5, 6, 0, 0};
    f = write(2, 1, bgr, 24, {}, 0, mPNMFileIO::kGrey);
    EXPECT_EQ(f[1], '6') << "24 bits are colour whatever the grey flag";
    EXPECT_EQ(body(f, 11), (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST_F(PnmWriter, RoundTripThroughTheReader) {
    const int w = 13, h = 5;
    Bytes bgr = random_bytes(size_t((w * 3 + 3) / 4 * 4 * h), 5);
    for (int y = 0; y < h; ++y)
        for (int p = w * 3; p < (w * 3 + 3) / 4 * 4; ++p) bgr[size_t(y * 40 + p)] = 0;
    write(w, h, bgr, 24, {}, 0, 0);
    int32_t rw = 0, rh = 0;
    Bytes back;
    ASSERT_TRUE(mPNMFileIO::ReadPnm(path, rw, rh, back));
    EXPECT_EQ(back, bgr);
}

TEST_F(PnmWriter, FailuresLeaveTheOldFile) {
    write_text(path, "old");
    write(4, 2, Bytes(7), 8, bw, 2, 0, false);  // the buffer holds less than two rows
    write(0, 2, Bytes(16), 8, bw, 2, 0, false);
    write(4, 1, Bytes(16), 1, {}, 0, 0, false);  // bilevel rows come from indices
    EXPECT_EQ(lumtest::read_file(path), bytes_of("old"));
    EXPECT_FALSE(mPNMFileIO::WritePnm(dir.file("no/such.pnm"), 1, 1, Bytes(4), 24, {}, 0, 0));
}
