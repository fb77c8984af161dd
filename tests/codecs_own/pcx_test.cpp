// The PCX reader, over files built here byte by byte.
#include "codecs/cLoadPCX.h"
#include "own_fixture.h"
#include "platform/win/win.h"

using namespace owntest;

namespace {

struct PcxSpec {
    int bits = 8, planes = 1;
    int xmin = 0, ymin = 0, width = 4, height = 2;
    int bytes_per_line = 0;  // 0: the least that holds the width, rounded up to even
    int hdpi = 300, vdpi = 150;
    bool rle = true;
    uint8_t version = 5;
};

int least_bpl(const PcxSpec& s) {
    int bpl = (s.width * s.bits + 7) / 8;
    return bpl + (bpl & 1);
}

Bytes header(const PcxSpec& s) {
    Bytes h(128, 0);
    auto put16 = [&h](size_t at, int v) {
        h[at] = uint8_t(v);
        h[at + 1] = uint8_t(v >> 8);
    };
    h[0] = 10;
    h[1] = s.version;
    h[2] = s.rle ? 1 : 0;
    h[3] = uint8_t(s.bits);
    put16(4, s.xmin);
    put16(6, s.ymin);
    put16(8, s.xmin + s.width - 1);
    put16(10, s.ymin + s.height - 1);
    put16(12, s.hdpi);
    put16(14, s.vdpi);
    for (int i = 0; i < 16; ++i) {  // a recognisable 16-colour palette
        h[size_t(16 + 3 * i)] = uint8_t(i * 16);
        h[size_t(17 + 3 * i)] = uint8_t(255 - i * 16);
        h[size_t(18 + 3 * i)] = uint8_t(i * 3);
    }
    h[65] = uint8_t(s.planes);
    put16(66, s.bytes_per_line ? s.bytes_per_line : least_bpl(s));
    return h;
}

// Run-length codes the whole stream, runs crossing lines as some writers do.
Bytes rle(const Bytes& raw) {
    Bytes out;
    for (size_t i = 0; i < raw.size();) {
        size_t n = 1;
        while (i + n < raw.size() && raw[i + n] == raw[i] && n < 63) ++n;
        if (n > 1 || raw[i] >= 0xC0) out.push_back(uint8_t(0xC0 + n));
        out.push_back(raw[i]);
        i += n;
    }
    return out;
}

Bytes pcx_file(const PcxSpec& s, const Bytes& scan_lines, const Bytes& trailer = {}) {
    Bytes f = header(s);
    Bytes data = s.rle ? rle(scan_lines) : scan_lines;
    f.insert(f.end(), data.begin(), data.end());
    f.insert(f.end(), trailer.begin(), trailer.end());
    return f;
}

// What the bitmap holds, top row first.
struct Bitmap {
    HBITMAP handle = 0;
    win::BitmapView view;
    ~Bitmap() {
        if (handle) DeleteObject(handle);
    }
    // The colour of (x, y) as 0xRRGGBB.
    uint32_t colour(int x, int y) const {
        const BYTE* row = view.scan0 + ptrdiff_t(y) * view.stride;
        int bpp = view.bits_per_pixel;
        if (bpp == 32)
            return uint32_t(row[4 * x + 2]) << 16 | uint32_t(row[4 * x + 1]) << 8 | row[4 * x];
        int idx = (row[x * bpp / 8] >> (8 - bpp - (x * bpp) % 8)) & ((1 << bpp) - 1);
        const RGBQUAD& q = view.colors.at(size_t(idx));
        return uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue;
    }
    int index(int x, int y) const {
        const BYTE* row = view.scan0 + ptrdiff_t(y) * view.stride;
        int bpp = view.bits_per_pixel;
        return (row[x * bpp / 8] >> (8 - bpp - (x * bpp) % 8)) & ((1 << bpp) - 1);
    }
};

std::unique_ptr<Bitmap> load(cLoadPCX& pcx, const Bytes& file) {
    auto b = std::make_unique<Bitmap>();
    b->handle = pcx.LoadPCXFromMemory(file);
    if (b->handle) {
        EXPECT_TRUE(win::GetBitmapView(b->handle, &b->view));
    }
    return b;
}

uint32_t header_colour(int i) {
    return uint32_t(i * 16) << 16 | uint32_t(255 - i * 16) << 8 | uint32_t(i * 3);
}

}  // namespace

TEST(PcxReader, EightBitsWithTrailingPalette) {
    PcxSpec s;
    s.width = 5;  // bytes per line 6: the sixth byte of each line is not a pixel
    Bytes lines = {0, 1, 2, 3, 0xC5, 9, 4, 4, 4, 4, 4, 9};
    Bytes trailer = {0x0C};
    for (int i = 0; i < 256; ++i) trailer.insert(trailer.end(), {uint8_t(i), uint8_t(i / 2), 7});
    cLoadPCX pcx;
    auto b = load(pcx, pcx_file(s, lines, trailer));
    ASSERT_TRUE(b->handle);
    EXPECT_EQ(b->view.width, 5);
    EXPECT_EQ(b->view.bits_per_pixel, 8);
    EXPECT_EQ(b->index(4, 0), 0xC5);
    EXPECT_EQ(b->colour(4, 0), 0xC56207u);
    EXPECT_EQ(b->index(0, 1), 4);
    EXPECT_EQ(pcx.PCXWidth(), 5);
    EXPECT_EQ(pcx.PCXHeight(), 2);
    EXPECT_EQ(pcx.Bpp(), 8);
    EXPECT_TRUE(pcx.Compressed());
    EXPECT_TRUE(pcx.IsPCX());
    EXPECT_EQ(pcx.getHdpi(), 300);
    EXPECT_EQ(pcx.getVdpi(), 150);
}

TEST(PcxReader, EightBitsWithoutMarkerIsGrey) {
    PcxSpec s;
    s.rle = false;
    cLoadPCX pcx;
    auto b = load(pcx, pcx_file(s, {10, 20, 30, 40, 50, 60, 70, 200}));
    ASSERT_TRUE(b->handle);
    EXPECT_EQ(b->colour(3, 1), 0xC8C8C8u);
    EXPECT_FALSE(pcx.Compressed());
}

TEST(PcxReader, RunOfOneCarriesAHighLiteral) {
    PcxSpec s;
    s.width = 2;
    s.height = 1;
    Bytes f = header(s);
    f.insert(f.end(), {0xC1, 0xC5, 0x07});
    cLoadPCX pcx;
    auto b = load(pcx, f);
    ASSERT_TRUE(b->handle);
    EXPECT_EQ(b->index(0, 0), 0xC5);
    EXPECT_EQ(b->index(1, 0), 0x07);
}

TEST(PcxReader, MonochromeKeepsOnlyTheWidth) {
    PcxSpec s;
    s.bits = 1;
    s.width = 10;
    s.height = 2;
    s.bytes_per_line = 3;  // odd, longer than the two bytes the width needs
    cLoadPCX pcx;
    auto b = load(pcx, pcx_file(s, {0b10110000, 0b11111111, 0xAA, 0x00, 0b01000000, 0x55}));
    ASSERT_TRUE(b->handle);
    EXPECT_EQ(b->view.bits_per_pixel, 1);
    EXPECT_EQ(b->view.width, 10);
    std::vector<int> row0, row1;
    for (int x = 0; x < 10; ++x) row0.push_back(b->index(x, 0)), row1.push_back(b->index(x, 1));
    EXPECT_EQ(row0, (std::vector<int>{1, 0, 1, 1, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(row1, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(b->colour(0, 0), 0xFFFFFFu) << "entry 1 white";
    EXPECT_EQ(b->colour(1, 0), 0x000000u);
    EXPECT_EQ(b->view.scan0[1] & 0x3F, 0) << "bits past the width are cleared";
}

TEST(PcxReader, FourPlanesOfOneBit) {
    PcxSpec s;
    s.bits = 1;
    s.planes = 4;
    s.width = 3;
    s.height = 1;
    s.bytes_per_line = 1;
    // Pixel 0: planes 0 and 2 (value 5); pixel 1: plane 3 (8); pixel 2: all (15).
    Bytes lines = {0b10100000, 0b00100000, 0b10100000, 0b01100000};
    cLoadPCX pcx;
    auto b = load(pcx, pcx_file(s, lines));
    ASSERT_TRUE(b->handle);
    EXPECT_EQ(b->view.bits_per_pixel, 4);
    EXPECT_EQ(b->index(0, 0), 5);
    EXPECT_EQ(b->index(1, 0), 8);
    EXPECT_EQ(b->index(2, 0), 15);
    EXPECT_EQ(b->colour(1, 0), header_colour(8));
}

TEST(PcxReader, FourBitsOnePlane) {
    PcxSpec s;
    s.bits = 4;
    s.width = 3;
    s.height = 2;
    cLoadPCX pcx;
    auto b = load(pcx, pcx_file(s, {0x12, 0x3F, 0xAB, 0xCD}));
    ASSERT_TRUE(b->handle);
    EXPECT_EQ(b->index(2, 0), 3);
    EXPECT_EQ(b->index(0, 1), 0xA);
    EXPECT_EQ(b->colour(1, 1), header_colour(0xB));
    EXPECT_EQ(b->view.scan0[1] & 0x0F, 0) << "the nibble past the width is cleared";
}

TEST(PcxReader, ThreePlanesKeepRedGreenBlueInPlace) {
    PcxSpec s;
    s.planes = 3;
    s.width = 2;
    s.height = 2;
    Bytes lines = {0x10, 0x11, 0x20, 0x21, 0x30, 0x31,   // line 0: R, G, B planes
                   0xA0, 0xA1, 0xB0, 0xB1, 0xC0, 0xC1};  // line 1
    cLoadPCX pcx;
    auto b = load(pcx, pcx_file(s, lines));
    ASSERT_TRUE(b->handle);
    EXPECT_EQ(b->view.bits_per_pixel, 32);
    EXPECT_EQ(b->colour(0, 0), 0x102030u);
    EXPECT_EQ(b->colour(1, 0), 0x112131u);
    EXPECT_EQ(b->colour(1, 1), 0xA1B1C1u) << "the bottom line stays at the bottom";
}

TEST(PcxReader, WidthCountsFromXMin) {
    PcxSpec s;
    s.xmin = 100;
    s.ymin = 7;
    s.width = 3;
    s.height = 1;
    cLoadPCX pcx;
    auto b = load(pcx, pcx_file(s, {1, 2, 3, 0}));
    ASSERT_TRUE(b->handle);
    EXPECT_EQ(pcx.PCXWidth(), 3);
    EXPECT_EQ(b->view.width, 3);
}

// Damaged files give no bitmap: nothing is read or written outside the buffers.
TEST(PcxReader, DamagedFilesGiveNoBitmap) {
    PcxSpec s;
    const Bytes lines = {1, 2, 3, 4, 5, 6, 7, 8};
    struct Broken {
        const char* what;
        Bytes file;
    };
    std::vector<Broken> cases;
    Bytes f = pcx_file(s, lines);
    cases.push_back({"short header", Bytes(f.begin(), f.begin() + 100)});
    cases.push_back({"no data", Bytes(f.begin(), f.begin() + 128)});
    cases.push_back({"data cut short", Bytes(f.begin(), f.end() - 1)});
    f = header(s);
    f.insert(f.end(), {1, 2, 3, 4, 5, 6, 7, 0xC5, 9});  // a run past the end of the image
    cases.push_back({"run past the end", f});
    f = header(s);
    f.insert(f.end(), {1, 2, 3, 4, 5, 6, 7, 0xC1});  // the run's value is missing
    cases.push_back({"run without value", f});
    PcxSpec raw = s;
    raw.rle = false;
    f = pcx_file(raw, lines);
    cases.push_back({"raw cut short", Bytes(f.begin(), f.end() - 1)});
    PcxSpec narrow = s;
    narrow.bytes_per_line = 3;
    cases.push_back({"lines shorter than the width", pcx_file(narrow, lines)});
    PcxSpec zero = s;
    zero.planes = 3;
    zero.bytes_per_line = 1;
    cases.push_back({"planes too short for the width", pcx_file(zero, Bytes(6))});
    for (auto [bits, planes] : {std::pair{2, 1}, {8, 4}, {4, 4}, {8, 2}, {24, 1}}) {
        PcxSpec k = s;
        k.bits = bits;
        k.planes = planes;
        cases.push_back({"kind not supported", pcx_file(k, Bytes(64, 1))});
    }
    PcxSpec backwards = s;
    backwards.xmin = 10;
    backwards.width = -5;
    cases.push_back({"x max below x min", pcx_file(backwards, lines)});
    PcxSpec huge = s;
    huge.xmin = -32000;
    huge.width = 64000;
    cases.push_back({"width beyond 16 bits", pcx_file(huge, lines)});
    PcxSpec big = s;
    big.width = 30000;
    big.height = 30000;
    cases.push_back({"far beyond what the file holds", pcx_file(big, lines)});
    for (const Broken& c : cases) {
        cLoadPCX pcx;
        EXPECT_EQ(pcx.LoadPCXFromMemory(c.file), 0u) << c.what;
    }
}

TEST(PcxReader, IsPcxChecksTheHeader) {
    PcxSpec s;
    for (auto [version, want] :
         {std::pair{0, true}, {2, true}, {3, true}, {5, true}, {4, false}, {1, false}}) {
        s.version = uint8_t(version);
        cLoadPCX pcx;
        auto b = load(pcx, pcx_file(s, Bytes(8, 1)));
        EXPECT_TRUE(b->handle) << "decoded whatever the version";
        EXPECT_EQ(pcx.IsPCX(), want) << version;
    }
    Bytes f = pcx_file(s, Bytes(8, 1));
    f[0] = 9;
    cLoadPCX pcx;
    auto b = load(pcx, f);
    EXPECT_FALSE(pcx.IsPCX());
}

TEST(PcxReader, LoadsFiles) {
    lumtest::TempDir dir;
    write_bytes(dir.file("a.pcx"), pcx_file(PcxSpec{}, Bytes(8, 3)));
    cLoadPCX pcx;
    HBITMAP h = pcx.LoadPCX(dir.file("a.pcx"));
    EXPECT_NE(h, 0u);
    DeleteObject(h);
    EXPECT_EQ(pcx.LoadPCX(dir.file("missing.pcx")), 0u);
}
