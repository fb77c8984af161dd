// The engine's counted session, image table and creators.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "support/test_env.h"

using namespace modGdiplus;

namespace {

// One control's worth of session for the duration of a test.
struct Session {
    Session() { EXPECT_TRUE(EngineStartup()); }
    ~Session() { EngineShutdown(); }
};

bool live(GpImage image) {
    UINT w = 0;
    return GdipGetImageWidth(image, &w) == Gdiplus::Ok;
}

}  // namespace

TEST(EngineSession, CountedAcrossUsers) {
    ASSERT_EQ(SessionUsers(), 0);
    EngineStartup();
    EngineStartup();
    GpImage a = 0;
    ASSERT_EQ(CreateBlankImage(10, 10, PixelFormat24bppRGB, a), 0);
    EngineShutdown();
    EXPECT_TRUE(SessionStarted());
    EXPECT_TRUE(live(a)) << "the other user's images stay valid";
    EngineShutdown();
    EXPECT_FALSE(SessionStarted());
    EXPECT_TRUE(ImageTable().empty());
    EXPECT_FALSE(live(a)) << "the last shutdown disposes every image";
}

TEST(EngineSession, VersionPrefixDecidesOldPaths) {
    for (auto [text, below] : {std::pair{"5.1.3102.2180", true}, {"6.1.7601.17514", false},
                               {"", true}, {"error", true}}) {
        LumGdiplusSetFileVersion(text);
        Session s;
        EXPECT_EQ(GdiplusBelow6(), below) << text;
        std::string t = text;
        std::string expected = t.empty() ? "Unknown" : t == "error" ? "Undefined" : t;
        if (t != "6.1.7601.17514") {
            EXPECT_EQ(GdiplusVersion(), expected);
        }
    }
    LumGdiplusSetFileVersion("6.1.7601.24546");
}

TEST(EngineSession, TwoThreadsKeepTheirOwnTables) {
    Session s;
    GpImage mine = 0;
    CreateBlankImage(4, 4, PixelFormat32bppARGB, mine);
    std::thread([] {
        EngineStartup();
        GpImage theirs = 0;
        EXPECT_EQ(CreateBlankImage(4, 4, PixelFormat32bppARGB, theirs), 0);
        EXPECT_EQ(ImageTable().size(), 1u);
        EngineShutdown();
    }).join();
    EXPECT_TRUE(live(mine));
    EXPECT_EQ(ImageTable().size(), 1u);
}

TEST(RegisterImage, NeverAddsASecondRecord) {
    Session s;
    GpImage a = 0;
    CreateBlankImage(2, 2, PixelFormat24bppRGB, a);
    EXPECT_EQ(ImageTable().back().formatName, "Memory BMP");
    RegisterImage(a, "PGM");
    RegisterImage(a, "");
    ASSERT_EQ(ImageTable().size(), 1u);
    EXPECT_EQ(ImageTable()[0].formatName, "PGM");
    RegisterImage(0, "X");
    EXPECT_EQ(ImageTable().size(), 1u);
}

TEST(LoadImageFromBytes, ShortArraysAndFailedDecodesLeaveTheTable) {
    Session s;
    GpImage img = 0;
    for (size_t n : {0u, 1u}) {
        SafeArray<uint8_t> bytes = SafeArray<uint8_t>::from(std::vector<uint8_t>(n, 0x42));
        if (n == 0) bytes.clear();
        EXPECT_EQ(LoadImageFromBytes(img, bytes, true), Gdiplus::InvalidParameter);
    }
    EXPECT_TRUE(ImageTable().empty());
    SafeArray<uint8_t> junk = SafeArray<uint8_t>::from({0x42, 0x4D});
    EXPECT_NE(LoadImageFromBytes(img, junk, true), Gdiplus::Ok);
    EXPECT_EQ(img, 0u);
    EXPECT_TRUE(ImageTable().empty()) << "the appended record is rolled back";
}

TEST(DisposeImage, FreesOwnedResourcesAndErasesTheRecord) {
    Session s;
    GpImage img = 0;
    CreateBlankImage(2, 2, PixelFormat24bppRGB, img);
    lumtest::TempDir dir;
    std::string path = dir.file("download.tmp");
    std::ofstream(path) << "x";
    MarkTempFile(img, path);
    EXPECT_EQ(DisposeImage(img), 0);
    EXPECT_FALSE(std::ifstream(path).good()) << "the temporary file goes with the image";
    EXPECT_TRUE(ImageTable().empty()) << "a long batch must not grow the table";
    EXPECT_EQ(DisposeImage(img), Gdiplus::InvalidParameter);
    EXPECT_EQ(DisposeImage(0), Gdiplus::InvalidParameter);
}

TEST(DisposeImage, ImagesDisposedBehindTheEngineTakeTheirRecordsAlong) {
    Session s;
    GpImage a = 0, b = 0;
    CreateBlankImage(2, 2, PixelFormat24bppRGB, a);
    CreateBlankImage(2, 2, PixelFormat24bppRGB, b);
    lumtest::TempDir dir;
    std::string path = dir.file("owned.tmp");
    std::ofstream(path) << "x";
    MarkTempFile(a, path);
    ASSERT_EQ(GdipDisposeImage(a), 0);
    EXPECT_FALSE(std::ifstream(path).good());
    ASSERT_EQ(ImageTable().size(), 1u);
    EXPECT_EQ(ImageTable()[0].image, b);
}

TEST(RawFormatName, NamesTheTable) {
    Session s;
    GpImage img = 0;
    std::string name = "x";
    EXPECT_EQ(GetRawFormatName(0, name), Gdiplus::InvalidParameter);
    EXPECT_EQ(name, "");
    CreateBlankImage(2, 2, PixelFormat8bppIndexed, img);
    EXPECT_EQ(GetRawFormatName(img, name), 0);
    EXPECT_EQ(name, "Memory BMP");
}

TEST(CreateImageFromPicture, MetafileBecomesABitmapOnWhite) {
    Session s;
    win::MetafileData data;
    data.width = 20;
    data.height = 10;
    data.dpi_x = 150;
    data.dpi_y = 75;
    data.records.push_back({win::MetaRecord::Kind::FillRect, RECT{0, 0, 5, 5}, 0xFFFF0000});
    for (bool enhanced : {true, false}) {
        PICTDESC d;
        d.picType = enhanced ? PICTYPE_ENHMETAFILE : PICTYPE_METAFILE;
        HENHMETAFILE mf = win::RecordMetafile(data, enhanced);
        if (enhanced) d.emf.hemf = mf;
        else d.wmf.hmeta = mf;
        ComPtr<IPicture> pic;
        ASSERT_EQ(OleCreatePictureIndirect(&d, IID_IPicture, TRUE,
                                           reinterpret_cast<void**>(pic.put())),
                  S_OK);
        GpImage img = 0;
        ASSERT_EQ(CreateImageFromPicture(img, pic.get()), 0);
        int32_t w = 0, h = 0;
        GetImageWidth(img, w);
        GetImageHeight(img, h);
        EXPECT_EQ(w, 20);
        EXPECT_EQ(h, 10);
        float dx = 0, dy = 0;
        GetImageHorizontalResolution(img, dx);
        GetImageVerticalResolution(img, dy);
        EXPECT_EQ(dx, 150);
        EXPECT_EQ(dy, 75);
        ARGB red = 0, white = 0;
        GdipBitmapGetPixel(img, 1, 1, &red);
        GdipBitmapGetPixel(img, 15, 8, &white);
        EXPECT_EQ(red & 0xFFFFFF, 0xFF0000u);
        EXPECT_EQ(white & 0xFFFFFF, 0xFFFFFFu);
    }
}

TEST(CreateImageFromClipboard, TakesTheFirstFormatPresent) {
    Session s;
    GpImage img = 1;
    ASSERT_TRUE(OpenClipboard(0));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(CreateImageFromClipboard(img), Gdiplus::GenericError);
    EXPECT_EQ(img, 0u);
    GpImage src = 0;
    CreateBlankImage(6, 3, PixelFormat24bppRGB, src);
    ASSERT_EQ(CopyImageToClipboard(src), 0);
    ASSERT_EQ(CreateImageFromClipboard(img), 0);
    int32_t w = 0;
    GetImageWidth(img, w);
    EXPECT_EQ(w, 6);
}
