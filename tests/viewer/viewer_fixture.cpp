#include "viewer/viewer_fixture.h"

#include "imaging/image_props.h"

namespace viewtest {

GpImage make_image(int width, int height, const std::function<ARGB(int, int)>& f, float dpi_x,
                   float dpi_y) {
    GpImage image = 0;
    EXPECT_EQ(modGdiplus::CreateBlankImage(width, height, PixelFormat32bppARGB, image), 0);
    std::vector<ARGB> px(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) px[size_t(y) * width + x] = f(x, y);
    BitmapData d;
    d.Width = UINT(width);
    d.Height = UINT(height);
    d.Stride = 4 * width;
    d.PixelFormat = PixelFormat32bppARGB;
    d.Scan0 = px.data();
    GpRect r{0, 0, width, height};
    EXPECT_EQ(GdipBitmapLockBits(image, &r, ImageLockModeWrite | ImageLockModeUserInputBuf,
                                 PixelFormat32bppARGB, &d),
              Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapUnlockBits(image, &d), Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapSetResolution(image, dpi_x, dpi_y), Gdiplus::Ok);
    return image;
}

GpImage make_gradient(int width, int height, PixelFormat format) {
    GpImage image = 0;
    EXPECT_EQ(modGdiplus::CreateBlankImage(width, height, format, image), 0);
    BitmapData d;
    GpRect r{0, 0, width, height};
    EXPECT_EQ(GdipBitmapLockBits(image, &r, ImageLockModeWrite, PixelFormat24bppRGB, &d),
              Gdiplus::Ok);
    for (int y = 0; y < height; ++y) {
        auto* row = static_cast<uint8_t*>(d.Scan0) + ptrdiff_t(y) * d.Stride;
        for (int x = 0; x < width; ++x) {
            row[x * 3 + 0] = uint8_t(x * 255 / std::max(width - 1, 1));
            row[x * 3 + 1] = uint8_t(y * 255 / std::max(height - 1, 1));
            row[x * 3 + 2] = uint8_t((x + y) * 127 / std::max(width + height - 2, 1));
        }
    }
    EXPECT_EQ(GdipBitmapUnlockBits(image, &d), Gdiplus::Ok);
    EXPECT_EQ(GdipBitmapSetResolution(image, 300, 300), Gdiplus::Ok);
    return image;
}

ARGB pixel_of(GpImage image, int x, int y) {
    ARGB c = 0;
    EXPECT_EQ(modGdiplus::GetPixel(image, x, y, c), 0);
    return c;
}

void ViewerTest::SetUp() {
    win::SetMessageBoxEcho(false);
    win::TakeMessageBoxes();
    modGdiplus::EngineStartup();
}

void ViewerTest::TearDown() {
    m_viewer.reset();
    win::SetHostHooks({});
    modGdiplus::EngineShutdown();
    win::TakeMessageBoxes();
    win::AdvanceClock(1000000);  // nothing may be left running
}

LumViewer& ViewerTest::make(int width, int height, bool silent) {
    m_viewer = std::make_unique<LumViewer>();
    // Any change of the window makes the next pixel query take a new snapshot.
    win::HostHooks hooks;
    hooks.invalidated = [this](HWND) { m_snapshot_valid = false; };
    win::SetHostHooks(hooks);
    m_snapshot_valid = false;
    m_viewer->SetEventSink(&m_events);
    m_viewer->put_SilentMode(silent);
    EXPECT_TRUE(win::ResizeWindow(m_viewer->hwnd(), width, height));
    m_events.reset();
    return *m_viewer;
}

int32_t ViewerTest::show(GpImage image) {
    return m_viewer->DisplayFromImageRef(int32_t(image));
}

void ViewerTest::take_snapshot() {
    m_snapshot_valid = win::GetWindowPixels(m_viewer->hwnd(), &m_snapshot) != FALSE;
    EXPECT_TRUE(m_snapshot_valid);
}

uint32_t ViewerTest::window_bgra(int x, int y) {
    if (!m_snapshot_valid) take_snapshot();
    const win::WindowPixels& px = m_snapshot;
    if (x < 0 || y < 0 || x >= px.width || y >= px.height) return 0;
    const uint8_t* p = px.bgra.data() + (size_t(y) * px.width + x) * 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

win::ScrollBarValues ViewerTest::bar(const char* name) {
    win::ScrollBarValues v;
    EXPECT_TRUE(win::GetScrollBarValues(m_viewer->part(name), &v));
    return v;
}

bool ViewerTest::visible(const char* name) {
    return IsWindowVisible(m_viewer->part(name)) != FALSE;
}

}  // namespace viewtest
