// Pages fed from image files.
#include "codes.h"
#include "engine_fixture.h"

namespace lumtwain::test {
namespace {

// A 24-bit BMP of `w` x `h` whose pixel (x, y) is (r, g, b) = (40 x, 50 y, 7 + page).
void WriteBmp(const std::string& path, int w, int h, int page, int dpi) {
    size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
    BITMAPFILEHEADER fh{0x4D42, DWORD(54 + stride * h), 0, 0, 54};
    BITMAPINFOHEADER ih{
        40, w, h, 1, 24, BI_RGB, DWORD(stride * h), PelsPerMeter(dpi), PelsPerMeter(dpi), 0, 0};
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    for (int row = h - 1; row >= 0; --row) {
        std::vector<uint8_t> line(stride, 0);
        for (int x = 0; x < w; ++x) {
            line[3 * size_t(x)] = uint8_t(7 + page);
            line[3 * size_t(x) + 1] = uint8_t(50 * row);
            line[3 * size_t(x) + 2] = uint8_t(40 * x);
        }
        out.write(reinterpret_cast<const char*>(line.data()), long(stride));
    }
}

class FilesTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        WriteBmp(m_dir + "/a.bmp", 5, 3, 1, 200);
        WriteBmp(m_dir + "/b.bmp", 4, 2, 2, 200);
        Configure("files = " + m_dir + "/a.bmp:" + m_dir + "/b.bmp\n");
    }
    // The blue sample of the top-left pixel: 7 + the file's number.
    static int FileNumber(const std::vector<uint8_t>& dib) {
        auto v = ParseDib(dib.data(), dib.size());
        return v ? v->pixel(0, 0).rgbBlue - 7 : -1;
    }
};

TEST_F(FilesTest, FlatbedCyclesThroughTheFiles) {
    std::vector<uint8_t> first = Acquire();
    auto v = ParseDib(first.data(), first.size());
    ASSERT_TRUE(v) << "condition " << LUMTWAIN_GetLastConditionCode();
    EXPECT_EQ(v->width(), 5);
    EXPECT_EQ(v->height(), 3);
    EXPECT_EQ(v->header.biXPelsPerMeter, PelsPerMeter(200)) << "the file's resolution";
    EXPECT_EQ(v->pixel(4, 2).rgbRed, 160);
    EXPECT_EQ(v->pixel(4, 2).rgbGreen, 100);
    EXPECT_EQ(FileNumber(Acquire()), 2);
    EXPECT_EQ(FileNumber(Acquire()), 1);
}

TEST_F(FilesTest, FeederEmptiesAfterTheLastFile) {
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
    ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(kTwptGray), 1);
    std::vector<uint8_t> first = Acquire();
    auto v = ParseDib(first.data(), first.size());
    ASSERT_TRUE(v);
    EXPECT_EQ(v->header.biBitCount, 8);
    EXPECT_FALSE(Acquire().empty());
    EXPECT_TRUE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccNoMedia);
}

TEST_F(FilesTest, MissingFileFailsTheTransfer) {
    Configure("files = " + m_dir + "/missing.png\n");
    EXPECT_TRUE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_XferFail(), 1);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccFileNotFound);
}

}  // namespace
}  // namespace lumtwain::test
