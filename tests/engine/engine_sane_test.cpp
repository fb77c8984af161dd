// SANE devices through libsane, against SANE's test backend that the test enables through a
// SANE_CONFIG_DIR of its own; pixels are checked against scanimage's output.
#include <cstdio>
#include <memory>

#include "codes.h"
#include "engine_fixture.h"
#include "support/scanimage.h"

namespace lumtwain::test {
namespace {

const char* const kTestBackends[] = {"/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1",
                                     "/usr/lib/sane/libsane-test.so.1"};
const char* const kDevice0 = "Noname frontend-tester (test:0)";

class SaneTest : public EngineTest {
  protected:
    // libsane reads SANE_CONFIG_DIR once per process: every suite shares one folder, removed
    // when the program ends.
    static void SetUpTestSuite() {
        if (!s_dir.empty()) return;
        char tmpl[] = "/tmp/lumtwain-sane-XXXXXX";
        if (!mkdtemp(tmpl)) return;
        s_dir = tmpl;
        std::ofstream(s_dir + "/dll.conf") << "test\n";
        std::ofstream(s_dir + "/test.conf")
            << "number_of_devices 2\ngeometry_max 432.0\nresolution 50.0\n"
               "test-picture \"Color pattern\"\n";
        setenv("SANE_CONFIG_DIR", s_dir.c_str(), 1);  // no ':' so /etc/sane.d stays unread
        std::atexit([] {
            std::string cmd = "rm -rf '" + s_dir + "'";
            [[maybe_unused]] int rc = system(cmd.c_str());
        });
    }
    void SetUp() override {
        bool found = false;
        for (const char* p : kTestBackends) found = found || access(p, R_OK) == 0;
        if (!found) GTEST_SKIP() << "SANE's test backend is not installed";
        ASSERT_FALSE(s_dir.empty());
        EngineTest::SetUp();
        setenv("LUMTWAIN_SANE", "1", 1);
    }
    void TearDown() override {
        EngineTest::TearDown();
        setenv("LUMTWAIN_SANE", "0", 1);
    }
    static inline std::string s_dir;
    void OpenDevice0() {
        ASSERT_EQ(LUMTWAIN_OpenSource(kDevice0), 1)
            << "condition " << LUMTWAIN_GetLastConditionCode();
        LUMTWAIN_SetCurrentUnits(kTwunMillimeters);
        ASSERT_EQ(LUMTWAIN_SetImageLayout(0, 0, 40, 30), 1);
        ASSERT_EQ(LUMTWAIN_SetCurrentResolution(50), 1);
    }
};

TEST_F(SaneTest, ListsTestDevicesAfterTheVirtualScanner) {
    LUMTWAIN_OpenSourceManager(0);
    std::vector<std::string> names;
    for (std::string n = LUMTWAIN_GetFirstSourceName(); !n.empty();
         n = LUMTWAIN_GetNextSourceName())
        names.push_back(n);
    EXPECT_EQ(names, (std::vector<std::string>{"Virtual Scanner", kDevice0,
                                               "Noname frontend-tester (test:1)"}));
}

TEST_F(SaneTest, MapsOptionsOntoCapabilities) {
    OpenDevice0();
    ASSERT_EQ(LUMTWAIN_LoadCapValuesRangeN(kIcapXResolution), 1);
    EXPECT_EQ(LUMTWAIN_GetLastMinCapValueRange(), 1);
    EXPECT_EQ(LUMTWAIN_GetLastMaxCapValueRange(), 1200);
    ASSERT_EQ(LUMTWAIN_LoadCapValuesN(kIcapPixelType, 1), 3);
    EXPECT_EQ(LUMTWAIN_GetCapItemType(kCapFeederEnabled), kTwtyBool);
    EXPECT_NEAR(LUMTWAIN_GetPhysicalWidth(), 432.0, 0.01);
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(kCapFeederLoaded, 2), 1);
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(4414, 2), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccCapUnsupported);
    // The test backend has no border, deskew or rotation of its own: the engine's stand in.
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(kCapEmulated, 1), 3);
    ASSERT_EQ(LUMTWAIN_LoadCapValuesS(kIcapAutomaticRotate, 2), 1);
    EXPECT_STREQ(LUMTWAIN_GetLastCapValueCurrentS(), "0 (emulated)");
}

TEST_F(SaneTest, EmulatedCorrectionsRunOnSanePages) {
    OpenDevice0();
    ASSERT_EQ(LUMTWAIN_AutomaticBorderDetection(1), 1);
    ASSERT_EQ(LUMTWAIN_AutomaticDeskew(1), 1);
    ASSERT_EQ(LUMTWAIN_AutomaticRotate(1), 1);
    std::vector<uint8_t> page = Acquire();
    auto view = ParseDib(page.data(), page.size());
    ASSERT_TRUE(view) << "condition " << LUMTWAIN_GetLastConditionCode();
    EXPECT_GT(view->width(), 0);
}

struct SaneScanCase {
    const char* name;
    int pixel_type;
    const char* scanimage_args;
};

class SaneScanTest : public SaneTest, public ::testing::WithParamInterface<SaneScanCase> {};

TEST_P(SaneScanTest, DibMatchesScanimage) {
    if (system("command -v scanimage >/dev/null") != 0) GTEST_SKIP() << "no scanimage";
    OpenDevice0();
    ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(GetParam().pixel_type), 1);
    std::vector<uint8_t> bytes = Acquire();
    ASSERT_FALSE(bytes.empty()) << LUMTWAIN_GetLastConditionCode();
    LUMTWAIN_CloseSource();  // scanimage needs the device
    auto view = ParseDib(bytes.data(), bytes.size());
    ASSERT_TRUE(view);
    std::optional<lumtest::Picture> pnm = lumtest::scanimage(std::string(GetParam().scanimage_args) +
                                          " --resolution 50 -l 0 -t 0 -x 40 -y 30");
    ASSERT_TRUE(pnm);
    ASSERT_EQ(view->width(), pnm->width);
    ASSERT_EQ(view->height(), pnm->height);
    EXPECT_EQ(view->header.biXPelsPerMeter, PelsPerMeter(50));
    for (int y = 0; y < pnm->height; ++y)
        for (int x = 0; x < pnm->width; ++x) {
            const uint8_t* p = pnm->at(x, y);
            RGBQUAD c = view->pixel(x, y);
            if (pnm->channels == 1) {
                ASSERT_EQ(c.rgbRed, p[0]) << x << "," << y;
            } else {
                ASSERT_EQ(c.rgbRed, p[0]) << x << "," << y;
                ASSERT_EQ(c.rgbGreen, p[1]);
                ASSERT_EQ(c.rgbBlue, p[2]);
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Modes, SaneScanTest,
                         ::testing::Values(SaneScanCase{"gray", kTwptGray, "--mode Gray --depth 8"},
                                           SaneScanCase{"color", kTwptRgb,
                                                        "--mode Color --depth 8"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaneTest, FeederRunsEmptyOnTheEleventhStart) {
    OpenDevice0();
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
    for (int i = 0; i < 10; ++i) ASSERT_FALSE(Acquire().empty()) << i;
    EXPECT_TRUE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccNoMedia);
    LUMTWAIN_LoadCapValuesN(kCapFeederLoaded, 2);
    EXPECT_EQ(LUMTWAIN_GetLastCapValueCurrent(), 0.0);
    EXPECT_EQ(LUMTWAIN_State(), 4);
}

TEST_F(SaneTest, AcquireFromState1ClosesTheDevice) {
    Configure("default_source = " + std::string(kDevice0) + "\n");
    EXPECT_FALSE(Acquire().empty()) << LUMTWAIN_GetLastConditionCode();
    EXPECT_EQ(LUMTWAIN_State(), 1);
    EXPECT_EQ(LUMTWAIN_OpenSource(kDevice0), 1) << "the device was released";
}

}  // namespace
}  // namespace lumtwain::test
