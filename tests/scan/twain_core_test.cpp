// The scanning control's core: start values, status model, closing images and the engine
// presence and version test.
#include <gtest/gtest.h>

#include <fstream>

#include <thread>

#include "imaging/modGdiplus.h"
#include "lumtwainpro/twain.h"
#include "support/test_env.h"

namespace {

class TwainCore : public ::testing::Test {
protected:
    void SetUp() override {
        win::SetMessageBoxEcho(false);
        win::TakeMessageBoxes();
    }
    GpImage blank() {
        GpImage img = 0;
        modGdiplus::CreateBlankImage(8, 8, PixelFormat24bppRGB, img);
        return img;
    }
};

}  // namespace

TEST_F(TwainCore, StartValues) {
    twain t;
    EXPECT_EQ(t.GetStat(), 0);
    EXPECT_EQ(t.GetNativeImage(), 0);
    EXPECT_EQ(t.multi_page_image(), 0);
    EXPECT_TRUE(t.ftp_passive_mode());
    EXPECT_EQ(t.filters_target(), 1);
    EXPECT_EQ(t.font_unit(), 3);
    EXPECT_EQ(t.filter_zone(), (std::array<int32_t, 4>{0, 0, 0, 0}));
    int32_t w = 1000, h = 5;
    t.OnResize(w, h);
    EXPECT_EQ(w, 420);
    EXPECT_EQ(h, 420);
}

TEST_F(TwainCore, CloseImageZeroKeepsTheStatus) {
    twain t;
    t.GetWidth();
    ASSERT_EQ(t.GetStat(), 2);
    EXPECT_EQ(t.CloseImage(0), 2);
    EXPECT_EQ(t.GetStat(), 2);
}

TEST_F(TwainCore, ClosingTheNativeImageClearsIt) {
    twain t;
    GpImage a = blank(), b = blank();
    t.SetNativeImage(int32_t(a));
    EXPECT_EQ(t.CloseImage(int32_t(b)), 0);
    EXPECT_EQ(t.GetNativeImage(), int32_t(a)) << "closing another image leaves the native one";
    EXPECT_EQ(t.CloseImage(int32_t(a)), 0);
    EXPECT_EQ(t.GetNativeImage(), 0);
    EXPECT_EQ(t.CloseImage(int32_t(a)), 2) << "a closed identifier is stale";
}

TEST_F(TwainCore, SetNativeImageKeepsThePreviousOneOpen) {
    twain t;
    GpImage a = blank(), b = blank();
    t.SetNativeImage(int32_t(a));
    t.SetNativeImage(int32_t(a));
    t.SetNativeImage(int32_t(b));
    EXPECT_EQ(t.GetNativeImage(), int32_t(b));
    EXPECT_EQ(t.CloseImage(int32_t(a)), 0) << "the old image is still open";
    EXPECT_EQ(t.GetNativeImage(), int32_t(b));
}

TEST_F(TwainCore, TerminatingOneControlKeepsTheOthersImages) {
    auto first = std::make_unique<twain>();
    twain second;
    GpImage img = blank();
    second.SetNativeImage(int32_t(img));
    first.reset();
    EXPECT_EQ(second.GetWidth(), 8);
    EXPECT_EQ(second.GetStat(), 0);
}

TEST_F(TwainCore, EngineAbsentFailsTheVersionTest) {
    lumtest::ScopedEnv env("LUMTWAIN_ENGINE", "/nonexistent/liblumtwain.so");
    twain t;
    EXPECT_EQ(t.TwainGetState(), -1);
    EXPECT_EQ(t.GetStat(), 31);
    EXPECT_FALSE(t.TwainLastXferFail());
    EXPECT_EQ(t.TwainAcquireToImageID(), 0);
    EXPECT_EQ(t.GetNativeImage(), 0);
    auto shown = win::TakeMessageBoxes();
    ASSERT_EQ(shown.size(), 3u) << "the test is not cached";
    EXPECT_EQ(shown[0].text, "Bad LUMTWAIN.DLL version.");
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[0].type, MB_ICONSTOP);
    try {
        t.TwainSetHideUI(true);  // no version test: the call itself fails
        FAIL() << "expected a run-time error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.number(), ComError::kFileNotFound);
        EXPECT_NE(std::string(e.what()).find("/nonexistent/liblumtwain.so"), std::string::npos)
            << "the message names the path tried: " << e.what();
    }
}

TEST_F(TwainCore, AnEngineThatCannotBeLoadedSaysWhy) {
    lumtest::TempDir dir;
    std::string fake = dir.file("liblumtwain.so");
    std::ofstream(fake) << std::string(4096, 'x');  // long enough to be read as an ELF file
    lumtest::ScopedEnv env("LUMTWAIN_ENGINE", fake);
    twain t;
    try {
        t.TwainSetHideUI(true);
        FAIL() << "expected a run-time error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.number(), ComError::kErrorLoadingLibrary);
        std::string text = e.what();
        EXPECT_NE(text.find(fake), std::string::npos) << text;
        EXPECT_NE(text.find("invalid ELF header"), std::string::npos) << "the loader's reason";
    }
    win::TakeMessageBoxes();
}

TEST_F(TwainCore, Version404FailsAnd405Passes) {
    lumtest::ScopedEnv engine("LUMTWAIN_ENGINE", lumtest::fake_engine_path());
    twain t;
    {
        lumtest::ScopedEnv v("LUM_FAKE_ENGINE_VERSION", "404");
        EXPECT_EQ(t.TwainGetState(), -1);
        EXPECT_EQ(t.GetStat(), 31);
    }
    {
        lumtest::ScopedEnv v("LUM_FAKE_ENGINE_VERSION", "405");
        t.CloseImage(0);
        EXPECT_EQ(t.TwainGetState(), 1);
        EXPECT_EQ(t.TwainAcquireToDib(), 0);
        EXPECT_EQ(t.GetStat(), 30) << "nothing acquired, neither cancel nor transfer failure";
    }
    EXPECT_EQ(win::TakeMessageBoxes().size(), 1u);
}

TEST_F(TwainCore, TwoThreadsEachWithTheirOwnControls) {
    auto work = [](int side) {
        win::SetMessageBoxEcho(false);
        twain t;
        GpImage img = 0;
        modGdiplus::CreateBlankImage(10 + side, 5, PixelFormat24bppRGB, img);
        t.SetNativeImage(int32_t(img));
        for (int i = 0; i < 200; ++i) EXPECT_EQ(t.GetWidth(), 10 + side);
        EXPECT_EQ(t.CloseImage(int32_t(img)), 0);
    };
    std::thread a(work, 1), b(work, 2);
    a.join();
    b.join();
}
