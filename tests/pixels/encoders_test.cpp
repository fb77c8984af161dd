// The encoder table and the save entry points' states (file contents are checked against
// Pillow and libtiff in tests/python/test_encoders.py).
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>

#include "gdip_fixture.h"

namespace {

using pixtest::GdipTest;

const CLSID& clsid_of(const char* mime) {
    for (const auto& e : LumGdiplusEncoders())
        if (e.MimeType == mime) return e.Clsid;
    static CLSID none;
    return none;
}

std::vector<char> slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Pages of a little-endian TIFF, by walking its directory chain; -1 when it is broken.
int tiff_pages(const std::vector<char>& b) {
    auto u = [&](size_t at, int n) -> int64_t {
        if (at + size_t(n) > b.size()) return -1;
        int64_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | uint8_t(b[at + size_t(i)]);
        return v;
    };
    if (b.size() < 8 || std::string(b.data(), 4) != std::string("II*\0", 4)) return -1;
    int pages = 0;
    for (int64_t ifd = u(4, 4); ifd != 0; ++pages) {
        int64_t n = ifd < 0 ? -1 : u(size_t(ifd), 2);
        if (n < 0 || pages > 100) return -1;
        ifd = u(size_t(ifd) + 2 + 12 * size_t(n), 4);
    }
    return pages;
}

TEST(EncoderTable, PlatformOrderAndTexts) {
    const auto& list = LumGdiplusEncoders();
    ASSERT_EQ(list.size(), 5u);
    const char* ext[] = {"*.BMP;*.DIB;*.RLE", "*.JPG;*.JPEG;*.JPE;*.JFIF", "*.GIF", "*.TIF;*.TIFF",
                         "*.PNG"};
    const char* desc[] = {"BMP", "JPEG", "GIF", "TIFF", "PNG"};
    const uint32_t ids[] = {0x557CF400, 0x557CF401, 0x557CF402, 0x557CF405, 0x557CF406};
    const GUID* formats[] = {&ImageFormatBMP, &ImageFormatJPEG, &ImageFormatGIF, &ImageFormatTIFF,
                             &ImageFormatPNG};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(list[i].FilenameExtension, ext[i]);
        EXPECT_EQ(list[i].FormatDescription, desc[i]);
        EXPECT_EQ(list[i].CodecName, std::string("Built-in ") + desc[i] + " Codec");
        EXPECT_EQ(list[i].Clsid.Data1, ids[i]);
        EXPECT_EQ(ole::GuidToString(list[i].Clsid).substr(9), "-1A04-11D3-9A73-0000F81EF32E}");
        EXPECT_EQ(list[i].FormatID, *formats[i]);
    }
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Gdiplus::Ok);
    EXPECT_EQ(count, 5u);
    EXPECT_GT(size, 5 * sizeof(CLSID));
}

class Saving : public GdipTest {
  protected:
    std::string path(const char* name) {
        return ::testing::TempDir() + "lum_enc_" + std::to_string(getpid()) + "_" + name;
    }
    // Each set of parameters gets its own values (they are read through pointers).
    EncoderParameters flag(ULONG value, ULONG compression = 0) {
        ULONG* v = &m_values.emplace_back(value);
        ULONG* c = &m_values.emplace_back(compression);
        EncoderParameters p{};
        p.Count = compression ? 2 : 1;
        p.Parameter[0] = {EncoderSaveFlag, 1, EncoderParameterValueTypeLong, v};
        p.Parameter[1] = {EncoderCompression, 1, EncoderParameterValueTypeLong, c};
        return p;
    }
    std::deque<ULONG> m_values;
};

TEST_F(Saving, DisposingTheFirstPageCompletesTheFile) {
    GpBitmap head = 0, page = bitmap(8, 8, PixelFormat1bppIndexed);
    ASSERT_EQ(GdipCreateBitmapFromScan0(8, 8, 0, PixelFormat1bppIndexed, nullptr, &head),
              Gdiplus::Ok);
    std::string file = path("multi.tif");
    auto first = flag(EncoderValueMultiFrame, EncoderValueCompressionCCITT4);
    ASSERT_EQ(GdipSaveImageToFile(head, file.c_str(), &clsid_of("image/tiff"), &first),
              Gdiplus::Ok);
    auto add = flag(EncoderValueFrameDimensionPage);
    ASSERT_EQ(GdipSaveAddImage(head, page, &add), Gdiplus::Ok);
    ASSERT_EQ(GdipSaveAddImage(head, page, &add), Gdiplus::Ok);
    ASSERT_EQ(GdipDisposeImage(head), Gdiplus::Ok);
    EXPECT_EQ(tiff_pages(slurp(file)), 3);
    std::remove(file.c_str());
}

TEST_F(Saving, AddingWithoutAnOpenFileIsWrongState) {
    GpBitmap a = bitmap(4, 4, PixelFormat24bppRGB), b = bitmap(4, 4, PixelFormat24bppRGB);
    auto add = flag(EncoderValueFrameDimensionPage);
    EXPECT_EQ(GdipSaveAddImage(a, b, &add), Gdiplus::WrongState);
    auto flush = flag(EncoderValueFlush);
    EXPECT_EQ(GdipSaveAdd(a, &flush), Gdiplus::WrongState);

    std::string file = path("flush.tif");
    auto first = flag(EncoderValueMultiFrame);
    ASSERT_EQ(GdipSaveImageToFile(a, file.c_str(), &clsid_of("image/tiff"), &first), Gdiplus::Ok);
    EXPECT_EQ(GdipSaveAddImage(a, b, &flush), Gdiplus::InvalidParameter);  // wrong flag
    EXPECT_EQ(GdipSaveAdd(a, &flush), Gdiplus::Ok);
    EXPECT_EQ(GdipSaveAdd(a, &flush), Gdiplus::WrongState);  // already complete
    EXPECT_EQ(GdipSaveAddImage(a, b, &add), Gdiplus::WrongState);
    std::remove(file.c_str());
}

TEST_F(Saving, BadArgumentsAndStates) {
    GpBitmap b = bitmap(4, 4, PixelFormat24bppRGB);
    std::string file = path("x.png");
    CLSID unknown{};
    EXPECT_EQ(GdipSaveImageToFile(b, file.c_str(), &unknown, nullptr), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(b, file.c_str(), nullptr, nullptr), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(0, file.c_str(), &clsid_of("image/png"), nullptr),
              Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(b, "/nonexistent-dir/x.png", &clsid_of("image/png"), nullptr),
              Gdiplus::Win32Error);
    EXPECT_EQ(GdipSaveImageToStream(b, nullptr, &clsid_of("image/png"), nullptr),
              Gdiplus::InvalidParameter);
    ULONG wrong_type = 50;
    EncoderParameters p{};
    p.Count = 1;
    p.Parameter[0] = {EncoderQuality, 1, 3, &wrong_type};  // type 3 is not Long
    EXPECT_EQ(GdipSaveImageToFile(b, file.c_str(), &clsid_of("image/jpeg"), &p),
              Gdiplus::InvalidParameter);
    BitmapData d;
    ASSERT_EQ(GdipBitmapLockBits(b, nullptr, ImageLockModeRead, PixelFormat24bppRGB, &d),
              Gdiplus::Ok);
    EXPECT_EQ(GdipSaveImageToFile(b, file.c_str(), &clsid_of("image/png"), nullptr),
              Gdiplus::WrongState);
    ASSERT_EQ(GdipBitmapUnlockBits(b, &d), Gdiplus::Ok);
    std::remove(file.c_str());
}

// A stream save writes where the stream stands and leaves it at the end of the data.
TEST_F(Saving, StreamSaveStartsAtTheCurrentPosition) {
    GpBitmap b = bitmap(5, 3, PixelFormat24bppRGB);
    IStream* raw = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(0, TRUE, &raw), S_OK);
    ComPtr<IStream> s = ComPtr<IStream>::adopt(raw);
    ASSERT_EQ(s->Write("head", 4, nullptr), S_OK);
    ASSERT_EQ(GdipSaveImageToStream(b, s.get(), &clsid_of("image/bmp"), nullptr), Gdiplus::Ok);
    uint64_t end = 0;
    s->Seek(0, STREAM_SEEK_CUR, &end);
    EXPECT_EQ(end, 4u + 14 + 40 + 3 * 16);  // rows of 15 bytes padded to 16
    std::vector<uint8_t> all;
    s->Seek(0, STREAM_SEEK_SET, nullptr);
    ole::ReadAll(s.get(), &all);
    ASSERT_GE(all.size(), 6u);
    EXPECT_EQ(all[4], 'B');
    EXPECT_EQ(all[5], 'M');
}

}  // namespace
