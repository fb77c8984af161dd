// Display sources: the common display sequence over every loader, the release and reset of
// what is shown, the image information, the display copy and rotation.
#include <dirent.h>

#include <fstream>

#include "imaging/image_props.h"
#include "support/test_env.h"
#include "viewer/viewer_fixture.h"

namespace viewtest {
namespace {

ARGB red(int, int) {
    return 0xFFFF0000u;
}

std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') out.push_back(e->d_name);
        closedir(d);
    }
    return out;
}

class SourcesTest : public ViewerTest {
  protected:
    std::string data(const char* name) { return lumtest::source_dir() + "/tests/data/" + name; }
    std::vector<uint8_t> bytes_of(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(SourcesTest, FilesOfTheDecodedFormats) {
    LumViewer& v = make(200, 200);
    for (const char* name : {"small.jpg", "anim3.gif", "tiff_multipage.tif", "tiff_tiled.tif"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(v.DisplayFromFile(data(name)), 0);
        EXPECT_GT(v.get_ImageWidth(), 0);
        EXPECT_EQ(v.get_Currentpage(), 1);
        EXPECT_EQ(v.source_kind(), 1);
    }
    EXPECT_EQ(v.DisplayFromFile("  " + data("small.jpg") + " "), 0) << "the path is trimmed";
}

TEST_F(SourcesTest, AMissingFileIsTenAndShowsNothing) {
    LumViewer& v = make(200, 200);
    ASSERT_EQ(v.DisplayFromFile(data("small.jpg")), 0);
    EXPECT_EQ(v.DisplayFromFile("/no/such/file.png"), 10);
    EXPECT_EQ(v.GetNativeImage(), 0);
    EXPECT_EQ(v.get_ImageWidth(), 0);
    EXPECT_EQ(v.source_kind(), 0);
    EXPECT_EQ(v.DisplayFromFile("/no/such/file.PDF"), 10) << "the PDF path says so itself";
    EXPECT_EQ(v.DisplayFromFile("ab"), 10) << "three characters or fewer are never a PDF";
}

TEST_F(SourcesTest, AMissingPdfSaysSoUnlessSilent) {
    LumViewer& v = make(200, 200, false);
    win::TakeMessageBoxes();
    EXPECT_EQ(v.DisplayFromFile("/no//such\\doc.pdf"), 10);
    auto boxes = win::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Can't foud /no/such/doc.pdf file.") << "the path normalised";
    EXPECT_EQ(boxes[0].type & 0xF0, MB_ICONERROR);
}

TEST_F(SourcesTest, BytesStreamsPicturesHandlesDibsAndTheClipboard) {
    LumViewer& v = make(200, 200);
    std::vector<uint8_t> jpeg = bytes_of(data("small.jpg"));
    ASSERT_EQ(v.DisplayFromByteArray(SafeArray<uint8_t>::from(jpeg)), 0);
    int32_t w = v.get_ImageWidth(), h = v.get_ImageHeight();
    EXPECT_EQ(v.DisplayFromByteArray(SafeArray<uint8_t>()), 2);
    EXPECT_EQ(v.DisplayFromStream(nullptr), 2);
    EXPECT_EQ(v.GetNativeImage(), 0);
    ComPtr<IStream> stream = ole::CreateStreamOnMemory(jpeg.data(), jpeg.size());
    ASSERT_EQ(v.DisplayFromStream(stream), 0);
    EXPECT_EQ(v.get_ImageWidth(), w);
    int32_t hbm = v.GetHBitmap();
    ASSERT_NE(hbm, 0);
    LumViewer other;
    other.put_SilentMode(true);
    ASSERT_EQ(other.DisplayFromHBitmap(hbm), 0);
    EXPECT_EQ(other.get_ImageHeight(), h);
    ComPtr<IPicture> picture = modGdiplus::PictureFromHBitmap(HBITMAP(hbm));
    ASSERT_EQ(other.DisplayFromStdPicture(picture), 0);
    EXPECT_EQ(other.get_ImageWidth(), w);
    v.Copy2Clipboard();
    ASSERT_EQ(other.DisplayFromClipboardData(), 0);
    EXPECT_EQ(other.get_ImageWidth(), w);
    v.CopyRegion2Clipboard(2, 3, 5, 4);
    ASSERT_EQ(other.DisplayFromClipboardData(), 0);
    EXPECT_EQ(other.get_ImageWidth(), 5);
    EXPECT_EQ(other.get_ImageHeight(), 4);
    // A packed DIB in global memory, as the scanning control hands it over.
    HGLOBAL dib = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 4 * 3 * 2);
    auto* bih = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    *bih = BITMAPINFOHEADER{40, 3, 2, 1, 32, 0, 0, 11811, 11811, 0, 0};
    GlobalUnlock(dib);
    ASSERT_EQ(other.DisplayFromGdiDib(int32_t(dib)), 0);
    EXPECT_EQ(other.get_ImageWidth(), 3);
    EXPECT_FLOAT_EQ(other.get_HorizontalResolution(), 300);
    other.CloseImage();
    GlobalFree(dib);
    other.DeleteHBitmap(hbm);
}

TEST_F(SourcesTest, ANewSourceDoesNotDisposeThePreviousImage) {
    LumViewer& v = make(200, 200);
    GpImage first = make_image(10, 10, red);
    ASSERT_EQ(show(first), 0);
    ASSERT_EQ(v.DisplayFromFile(data("small.jpg")), 0);
    EXPECT_TRUE(modGdiplus::IsImageAlive(first)) << "the host still holds it";
    GpImage second = GpImage(v.GetNativeImage());
    v.CloseImage();
    EXPECT_FALSE(modGdiplus::IsImageAlive(second));
    EXPECT_EQ(v.GetNativeImage(), 0);
    EXPECT_EQ(m_events.n("PageChange") > 0, true);
    modGdiplus::DisposeImage(first);
}

TEST_F(SourcesTest, Close2ImageAndImageClosed) {
    LumViewer& v = make(200, 200);
    ASSERT_EQ(show(make_image(30, 20, red, 300, 150)), 0);
    m_events.reset();
    v.ImageClosed();
    EXPECT_EQ(v.GetNativeImage(), 0);
    EXPECT_EQ(v.get_ImageWidth(), 30) << "the geometry is kept";
    EXPECT_FLOAT_EQ(v.get_VerticalResolution(), 150);
    GpImage image = make_image(30, 20, red);
    ASSERT_EQ(show(image), 0);
    v.Close2Image();
    EXPECT_FALSE(modGdiplus::IsImageAlive(image));
    EXPECT_EQ(m_events.n("PageChange"), 1) << "only the paint's, none from Close2Image";
}

TEST_F(SourcesTest, SizesInMillimetres) {
    LumViewer& v = make(200, 200);
    ASSERT_EQ(show(make_image(300, 150, red, 300, 150)), 0);
    EXPECT_FLOAT_EQ(v.GetWidthMM(), 25.4f);
    EXPECT_FLOAT_EQ(v.GetHeightMM(), 25.4f);
    v.CloseImage();
    EXPECT_FLOAT_EQ(v.GetWidthMM(), 0.0f) << "no resolution, no millimetres";
}

TEST_F(SourcesTest, AnimatedGifFramesAndMenus) {
    LumViewer& v = make(200, 200);
    ASSERT_EQ(v.DisplayFromFile(data("anim3.gif")), 0);
    EXPECT_EQ(v.get_NumPages(), 3);
    EXPECT_EQ(v.GetTotalFrame(), 3);
    bool enabled = false;
    for (const char* item : {"mnplaygif", "mnnextframe", "mnlastframe"}) {
        ASSERT_TRUE(v.menu_state(item, nullptr, &enabled, nullptr));
        EXPECT_TRUE(enabled) << item;
    }
    ASSERT_EQ(v.DisplayFromFile(data("small.jpg")), 0);
    ASSERT_TRUE(v.menu_state("mnplaygif", nullptr, &enabled, nullptr));
    EXPECT_FALSE(enabled);
    ASSERT_TRUE(v.menu_state("mnnextframe", nullptr, &enabled, nullptr));
    EXPECT_FALSE(enabled) << "one page";
}

TEST_F(SourcesTest, GifAnimationRunsOnTheFramesOwnDelays) {
    LumViewer& v = make(200, 200);
    v.put_AnimateGIF(true);
    ASSERT_EQ(v.DisplayFromFile(data("anim3.gif")), 0);  // delays 100, 200, 300 ms
    EXPECT_EQ(v.get_Currentpage(), 1);
    win::AdvanceClock(99);
    EXPECT_EQ(v.get_Currentpage(), 1);
    win::AdvanceClock(1);
    EXPECT_EQ(v.get_Currentpage(), 2);
    win::AdvanceClock(200);
    EXPECT_EQ(v.get_Currentpage(), 3);
    win::AdvanceClock(300);
    EXPECT_EQ(v.get_Currentpage(), 1) << "and round again";
    v.StopGif();
    win::AdvanceClock(1000);
    EXPECT_EQ(v.get_Currentpage(), 1);
    EXPECT_EQ(win::TimerCount(), 0u);
}

TEST_F(SourcesTest, TemporaryCopyIsReadAndRemovedWithTheImage) {
    lumtest::TempDir tmp;
    lumtest::ScopedEnv env("tmp", tmp.path() + "/");
    LumViewer& v = make(200, 200);
    v.put_ImageForceTemporaryMode(true);
    ASSERT_EQ(v.DisplayFromFile(data("small.jpg")), 0);
    EXPECT_EQ(files_in(tmp.path()), std::vector<std::string>{std::to_string(v.hwnd())});
    v.CloseImage();
    EXPECT_TRUE(files_in(tmp.path()).empty());
    ASSERT_EQ(v.DisplayFromFile(data("small.jpg")), 0);
    ASSERT_EQ(v.DisplayFromFile(data("anim3.gif")), 0);  // the first image still holds its copy
    EXPECT_EQ(files_in(tmp.path()).size(), 1u) << "the name was taken: read from the source";
    v.CloseImage();
    EXPECT_EQ(files_in(tmp.path()).size(), 1u) << "the copy belongs to the first image";
    modGdiplus::EngineShutdown();  // the engine's end disposes the first image and its copy
    modGdiplus::EngineStartup();
}

TEST_F(SourcesTest, RotationTurnsWhatIsShownAndSaysSo) {
    LumViewer& v = make(200, 200);
    ASSERT_EQ(show(make_image(40, 10, red)), 0);
    EXPECT_EQ(v.Rotate90(), 0);
    EXPECT_EQ(v.get_ImageWidth(), 10);
    EXPECT_EQ(v.get_ImageHeight(), 40);
    EXPECT_EQ(v.FlipX(), 0);
    EXPECT_EQ(m_events.rotations, (std::vector<int32_t>{1, 4}));
}

TEST_F(SourcesTest, GdiplusBelowSixDrawsIndexedImagesThroughACopy) {
    win::SetGdiplusFileVersion("5.1.3102.5581");
    modGdiplus::EngineShutdown();
    modGdiplus::EngineStartup();
    ASSERT_TRUE(modGdiplus::GdiplusBelow6());
    LumViewer& v = make(200, 200);
    GpImage indexed = 0;
    ASSERT_EQ(modGdiplus::CreateBlankImage(20, 20, PixelFormat8bppIndexed, indexed), 0);
    ASSERT_EQ(show(indexed), 0);
    EXPECT_NE(v.display_copy(), 0);
    PixelFormat f = 0;
    modGdiplus::GetPixelFormatValue(GpImage(v.display_copy()), f);
    EXPECT_EQ(f, PixelFormat32bppARGB);
    v.put_ScrollOptimization(false);
    v.Redraw();
    EXPECT_NE(v.display_copy(), 0) << "an existing copy stays";
    v.CloseImage();
    m_viewer.reset();
    modGdiplus::EngineShutdown();
    win::SetGdiplusFileVersion("6.1.7601.24546");
    modGdiplus::EngineStartup();
}

}  // namespace
}  // namespace viewtest
