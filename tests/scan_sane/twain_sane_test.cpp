// The scanning control against SANE's test backend, enabled by a SANE_CONFIG_DIR this program
// writes for itself. Pixels are checked against scanimage's output of the same settings.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "scan/virtual_scanner.h"
#include "support/scanimage.h"

namespace {

const char* const kDevice0 = "Noname frontend-tester (test:0)";
const char* const kDevice1 = "Noname frontend-tester (test:1)";
const char* const kTestBackends[] = {"/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1",
                                     "/usr/lib/sane/libsane-test.so.1"};
// The frame every scan uses, in millimetres (small, so scans stay quick).
const char* const kGeometry = " -l 0 -t 0 -x 40 -y 30";

constexpr int32_t ICAP_PIXELTYPE = 257, CAP_FEEDERLOADED = 4099, ICAP_YRESOLUTION = 4377;
constexpr int32_t kTwunMillimeters = 6, kTwccNoMedia = 29;

int32_t pels_per_meter(double dpi) {
    return int32_t(std::lround(dpi / 0.0254));
}

// A packed DIB as the engine hands it over: header, colour table, bottom-up rows.
struct Dib {
    BITMAPINFOHEADER header{};
    std::vector<RGBQUAD> palette;
    std::vector<uint8_t> bits;
    size_t stride = 0;

    static std::optional<Dib> read(HGLOBAL block) {
        const auto* p = static_cast<const uint8_t*>(GlobalLock(block));
        if (!p) return std::nullopt;
        const size_t size = GlobalSize(block);
        Dib d;
        std::memcpy(&d.header, p, std::min(size, sizeof d.header));
        const BITMAPINFOHEADER& h = d.header;
        size_t colours = h.biClrUsed ? h.biClrUsed : h.biBitCount <= 8 ? 1u << h.biBitCount : 0;
        d.stride = (size_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
        size_t offset = h.biSize + 4 * colours, rows = d.stride * size_t(std::abs(h.biHeight));
        bool fits = size >= sizeof h && h.biWidth > 0 && h.biHeight > 0 && size >= offset + rows;
        if (fits) {
            d.palette.resize(colours);
            if (colours) std::memcpy(d.palette.data(), p + h.biSize, 4 * colours);
            d.bits.assign(p + offset, p + offset + rows);
        }
        GlobalUnlock(block);
        return fits ? std::optional<Dib>(std::move(d)) : std::nullopt;
    }
    int width() const { return header.biWidth; }
    int height() const { return header.biHeight; }
    // The colour of (x, y), y counted from the top.
    RGBQUAD pixel(int x, int y) const {
        const uint8_t* row = bits.data() + size_t(height() - 1 - y) * stride;
        switch (header.biBitCount) {
            case 24:
                return RGBQUAD{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
            case 8:
                return palette.at(row[x]);
            case 1:
                return palette.at((row[x / 8] >> (7 - x % 8)) & 1);
            default:
                return RGBQUAD{};
        }
    }
};

void expect_same_pixels(const Dib& dib, const lumtest::Picture& pic) {
    ASSERT_EQ(dib.width(), pic.width);
    ASSERT_EQ(dib.height(), pic.height);
    for (int y = 0; y < pic.height; ++y)
        for (int x = 0; x < pic.width; ++x) {
            const uint8_t* s = pic.at(x, y);
            RGBQUAD c = dib.pixel(x, y);
            uint8_t r = s[0], g = s[pic.channels == 3 ? 1 : 0], b = s[pic.channels == 3 ? 2 : 0];
            ASSERT_TRUE(c.rgbRed == r && c.rgbGreen == g && c.rgbBlue == b)
                << "pixel " << x << "," << y << ": " << int(c.rgbRed) << " " << int(c.rgbGreen)
                << " " << int(c.rgbBlue) << " against " << int(r) << " " << int(g) << " " << int(b);
        }
}

// The image's pixels read back through the image engine as 24-bit RGB.
void expect_same_pixels(GpImage image, const lumtest::Picture& pic) {
    BitmapData data{};
    GpRect rect{0, 0, pic.width, pic.height};
    ASSERT_EQ(
        modGdiplus::LockImageBits(image, rect, modGdiplus::kLockRead, PixelFormat24bppRGB, data),
        0);
    int bad = 0;
    for (int y = 0; y < pic.height && !bad; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(data.Scan0) + ptrdiff_t(y) * data.Stride;
        for (int x = 0; x < pic.width && !bad; ++x) {
            const uint8_t* s = pic.at(x, y);
            const uint8_t* bgr = row + 3 * x;
            bool same = bgr[2] == s[0] && bgr[1] == s[pic.channels == 3 ? 1 : 0] &&
                        bgr[0] == s[pic.channels == 3 ? 2 : 0];
            if (!same) {
                ADD_FAILURE() << "image pixel " << x << "," << y;
                bad = 1;
            }
        }
    }
    modGdiplus::UnlockImageBits(image, data);
}

bool have_scanimage() {
    return std::system("command -v scanimage >/dev/null 2>&1") == 0;
}

class TwainSane : public VirtualScannerTest {
  protected:
    // libsane reads SANE_CONFIG_DIR once per process: one folder for the whole program,
    // removed when it ends. Without a trailing ':' /etc/sane.d is never read.
    static void SetUpTestSuite() {
        static lumtest::TempDir dir;
        static bool written = false;
        if (written || dir.path().empty()) return;
        written = true;
        std::ofstream(dir.file("dll.conf")) << "test\n";
        std::ofstream(dir.file("test.conf"))
            << "number_of_devices 2\ngeometry_max 432.0\nresolution 50.0\n"
               "test-picture \"Color pattern\"\n";
        setenv("SANE_CONFIG_DIR", dir.path().c_str(), 1);
    }
    void SetUp() override {
        bool backend = std::any_of(std::begin(kTestBackends), std::end(kTestBackends),
                                   [](const char* p) { return access(p, R_OK) == 0; });
        if (!backend) GTEST_SKIP() << "SANE's test backend is not installed";
        ASSERT_NE(getenv("SANE_CONFIG_DIR"), nullptr);
        VirtualScannerTest::SetUp();
    }
    void TearDown() override {
        if (control)
            for (int32_t id : m_images) control->CloseImage(id);
        VirtualScannerTest::TearDown();
    }

    // Opens test:0 with the source manager closed (the control's opening defaults apply),
    // then frames the scans in millimetres.
    void open_device0() {
        ASSERT_EQ(control->TwainGetState(), 1);
        ASSERT_TRUE(control->TwainOpenSource(kDevice0)) << control->TwainGetLastConditionCode();
        frame();
    }
    void frame() {
        ASSERT_TRUE(
            control->TwainSetCapCurrentNumeric(tw::ICAP_UNITS, tw::TWTY_UINT16, kTwunMillimeters));
        ASSERT_TRUE(control->TwainSetImageLayout(0, 0, 40, 30));
    }
    int32_t acquire_image() {
        int32_t id = control->TwainAcquireToImageID();
        if (id) m_images.push_back(id);
        return id;
    }
    std::optional<Dib> acquire_dib() {
        int32_t block = control->TwainAcquireToDib();
        if (!block) return std::nullopt;
        std::optional<Dib> dib = Dib::read(HGLOBAL(block));
        EXPECT_EQ(GlobalFree(HGLOBAL(block)), 0u);
        return dib;
    }

    lumtest::ScopedEnv m_sane_on{"LUMTWAIN_SANE", "1"};
    std::vector<int32_t> m_images;
};

// ---- Listing and negotiation --------------------------------------------------------------

TEST_F(TwainSane, ListsTheTestDevicesAfterTheVirtualScanner) {
    EXPECT_EQ(control->TwainGetSourceCount(), 3);
    EXPECT_EQ(control->TwainGetSourceName(1), "Virtual Scanner");
    EXPECT_EQ(control->TwainGetSourceName(2), kDevice0);
    EXPECT_EQ(control->TwainGetSourceName(3), kDevice1);
    EXPECT_EQ(control->TwainGetSourceName(4), "");
    EXPECT_TRUE(control->TwainOpenSource("  " + std::string(kDevice1) + " "));
    EXPECT_EQ(control->TwainGetCurrentSourceName(), kDevice1);
}

TEST_F(TwainSane, OpeningAppliesTheControlsDefaults) {
    open_device0();
    control->TwainCloseSource();
    ASSERT_TRUE(control->TwainOpenSource(kDevice0));
    double units = -1;
    ASSERT_TRUE(control->TwainGetCapCurrentNumeric(tw::ICAP_UNITS, units));
    EXPECT_EQ(units, 0) << "a new source object starts in inches";
    control->TwainCloseSource();
    control->TwainCloseSourceManager();
    ASSERT_TRUE(control->TwainOpenSource(kDevice0));
    EXPECT_FALSE(control->TwainIsAutoFeedOn()) << "opened with the manager closed";
    // The bed of geometry_max 432 mm, in inches.
    EXPECT_NEAR(control->TwainGetPhysicalWidth(), 432.0 / 25.4, 1e-3);
}

TEST_F(TwainSane, ResolutionValueListsAndRange) {
    open_device0();
    SafeArray<int32_t> xs;
    int32_t n = control->TwainGetAvailableXResolutions(xs);
    ASSERT_GT(n, 0);
    EXPECT_EQ(xs.lbound(), 0);
    EXPECT_EQ(xs.ubound(), n - 1);
    for (int32_t dpi : {75, 100, 300, 1200})
        EXPECT_NE(std::find(xs.values().begin(), xs.values().end(), dpi), xs.values().end()) << dpi;
    EXPECT_EQ(control->TwainGetAvailableXResolutionsCount(), n);
    EXPECT_EQ(control->TwainGetAvailableYResolutionsCount(), n);
    EXPECT_EQ(control->TwainGetAvailableXResolutionNo(n), xs.at(n - 1));
    EXPECT_EQ(control->TwainGetAvailableXResolutionNo(n + 1), 0);
    double lo = 0, hi = 0, step = 0;
    ASSERT_TRUE(control->TwainGetCapRangeNumeric(tw::ICAP_XRESOLUTION, lo, hi, step));
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 1200);
    EXPECT_GT(step, 0);

    EXPECT_EQ(control->TwainGetCurrentResolution(), 50) << "test.conf's resolution";
    ASSERT_TRUE(control->TwainSetCurrentResolution(75));
    EXPECT_EQ(control->TwainGetCurrentResolution(), 75);
    double y = 0;
    ASSERT_TRUE(control->TwainGetCapCurrentNumeric(ICAP_YRESOLUTION, y));
    EXPECT_EQ(y, 75) << "Y follows X";
    EXPECT_FALSE(control->TwainSetCurrentResolution(5000));
    EXPECT_FALSE(control->TwainSetCurrentResolution(0));
    EXPECT_EQ(control->TwainGetCurrentResolution(), 75) << "a refused value changes nothing";
}

TEST_F(TwainSane, PixelTypesAndTheirDepths) {
    open_device0();
    SafeArray<int32_t> types;
    ASSERT_EQ(control->TwainGetAvailablePixelTypes(types), 3);
    EXPECT_EQ(types.values(), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(control->TwainGetAvailablePixelTypeNo(3), 2);
    EXPECT_TRUE(control->TwainIsPixelTypeAvailable(0)) << "grey at depth 1";
    EXPECT_FALSE(control->TwainIsPixelTypeAvailable(5));
    EXPECT_EQ(control->TwainGetAvailableCapValuesCount(ICAP_PIXELTYPE), 3);
    const std::pair<int32_t, int32_t> type_depth[] = {{2, 24}, {1, 8}, {0, 1}};
    for (auto [type, depth] : type_depth) {
        ASSERT_TRUE(control->TwainSetCurrentPixelType(type)) << type;
        EXPECT_EQ(control->TwainGetCurrentPixelType(), type);
        EXPECT_EQ(control->TwainGetCurrentBitDepth(), depth);
        SafeArray<int32_t> depths;
        EXPECT_EQ(control->TwainGetAvailableBitDepths(depths), 1);
        EXPECT_EQ(depths.at(0), depth);
    }
    EXPECT_FALSE(control->TwainSetCurrentPixelType(5)) << "no CMYK";
    EXPECT_EQ(control->TwainGetCurrentPixelType(), 0);
}

TEST_F(TwainSane, FeederWithoutDuplex) {
    open_device0();
    EXPECT_FALSE(control->TwainIsFeederSelected());
    EXPECT_TRUE(control->TwainHasFeeder());
    EXPECT_FALSE(control->TwainIsFeederSelected()) << "the probe puts the flatbed back";
    EXPECT_EQ(control->TwainGetDuplexMode(), 0);
    EXPECT_FALSE(control->TwainEnableDuplex(true));
    EXPECT_FALSE(control->TwainIsDuplexEnabled());
}

// ---- Pixels against scanimage -------------------------------------------------------------

struct ScanCase {
    const char* name;
    int32_t pixel_type, bits, dpi;
    const char* scanimage_mode;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.name;
}

class TwainSaneScan : public TwainSane, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(TwainSaneScan, DibAndImageMatchScanimage) {
    if (!have_scanimage()) GTEST_SKIP() << "scanimage is not installed";
    const ScanCase& c = GetParam();
    std::optional<lumtest::Picture> want = lumtest::scanimage(std::string(c.scanimage_mode) + " --resolution " +
                                            std::to_string(c.dpi) + kGeometry);
    ASSERT_TRUE(want) << "scanimage gave no picture";
    open_device0();
    ASSERT_TRUE(control->TwainSetCurrentPixelType(c.pixel_type));
    ASSERT_TRUE(control->TwainSetCurrentResolution(c.dpi));
    ASSERT_EQ(control->TwainGetCurrentResolution(), c.dpi);

    std::optional<Dib> dib = acquire_dib();
    ASSERT_TRUE(dib) << "status " << control->GetStat() << ", condition "
                     << control->TwainGetLastConditionCode();
    EXPECT_EQ(control->GetStat(), 0);
    EXPECT_EQ(dib->header.biBitCount, c.bits);
    EXPECT_EQ(dib->header.biXPelsPerMeter, pels_per_meter(c.dpi));
    EXPECT_EQ(dib->header.biYPelsPerMeter, pels_per_meter(c.dpi));
    expect_same_pixels(*dib, *want);
    if (c.bits == 1) {
        EXPECT_EQ(dib->palette.at(0).rgbRed, 0) << "index 0 is black";
        EXPECT_EQ(dib->palette.at(1).rgbRed, 255);
    }

    int32_t id = acquire_image();
    ASSERT_NE(id, 0) << control->GetStat();
    EXPECT_EQ(control->GetNativeImage(), id);
    EXPECT_EQ(control->GetWidth(), want->width);
    EXPECT_EQ(control->GetHeight(), want->height);
    EXPECT_NEAR(control->GetHorizontalResolution(), c.dpi, 0.05);
    expect_same_pixels(GpImage(id), *want);
    EXPECT_EQ(control->TwainGetState(), 4) << "the source the host opened stays open";
}

INSTANTIATE_TEST_SUITE_P(Modes, TwainSaneScan,
                         ::testing::Values(ScanCase{"gray75", 1, 8, 75, "--mode Gray --depth 8"},
                                           ScanCase{"color75", 2, 24, 75, "--mode Color --depth 8"},
                                           ScanCase{"color100", 2, 24, 100,
                                                    "--mode Color --depth 8"},
                                           ScanCase{"bw75", 0, 1, 75, "--mode Gray --depth 1"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TwainSane, SettingsChangedBetweenScansReachTheDevice) {
    if (!have_scanimage()) GTEST_SKIP() << "scanimage is not installed";
    struct Step {
        int32_t type, dpi;
        const char* mode;
    };
    const Step steps[] = {{1, 75, "--mode Gray --depth 8"},
                          {2, 100, "--mode Color --depth 8"},
                          {1, 50, "--mode Gray --depth 8"}};
    std::vector<lumtest::Picture> want;
    for (const Step& s : steps) {
        auto pic =
            lumtest::scanimage(std::string(s.mode) + " --resolution " + std::to_string(s.dpi) + kGeometry);
        ASSERT_TRUE(pic);
        want.push_back(*pic);
    }
    open_device0();
    for (size_t i = 0; i < std::size(steps); ++i) {
        ASSERT_TRUE(control->TwainSetCurrentPixelType(steps[i].type));
        ASSERT_TRUE(control->TwainSetCurrentResolution(steps[i].dpi));
        std::optional<Dib> dib = acquire_dib();
        ASSERT_TRUE(dib) << "scan " << i << ", status " << control->GetStat();
        EXPECT_EQ(dib->header.biXPelsPerMeter, pels_per_meter(steps[i].dpi)) << "scan " << i;
        expect_same_pixels(*dib, want[i]);
    }
}

// ---- The feeder running empty, closing and reopening --------------------------------------

TEST_F(TwainSane, FeederRunsEmptyOnTheEleventhStart) {
    open_device0();
    ASSERT_TRUE(control->TwainSelectFeeder(true));
    ASSERT_TRUE(control->TwainIsFeederSelected());
    // The backend has no paper sensor: the feeder counts as loaded until a start finds it
    // empty, so the host learns of the end from the acquisition that gets nothing.
    int pages = 0;
    for (; pages < 12; ++pages) {
        ASSERT_TRUE(control->TwainIsFeederLoaded()) << "page " << pages + 1;
        if (acquire_image() == 0) break;
        EXPECT_EQ(control->GetStat(), 0);
    }
    EXPECT_EQ(pages, 10) << "the test backend's feeder holds ten sheets";
    EXPECT_EQ(control->GetStat(), LumTwainError) << "neither cancelled nor failed";
    EXPECT_EQ(control->TwainGetLastConditionCode(), kTwccNoMedia);
    EXPECT_FALSE(control->TwainUserClosedSource());
    EXPECT_FALSE(control->TwainLastXferFail());
    EXPECT_FALSE(control->TwainIsFeederLoaded());
    double loaded = -1;
    ASSERT_TRUE(control->TwainGetCapCurrentNumeric(CAP_FEEDERLOADED, loaded));
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(control->TwainGetState(), 4);
    EXPECT_EQ(control->GetNativeImage(), m_images.back()) << "the last page stays native";

    // Reopening the device refills the feeder.
    ASSERT_TRUE(control->TwainCloseSource());
    EXPECT_EQ(control->TwainGetState(), 3);
    ASSERT_TRUE(control->TwainOpenSource(kDevice0));
    frame();
    ASSERT_TRUE(control->TwainSelectFeeder(true));
    EXPECT_TRUE(control->TwainIsFeederLoaded());
    EXPECT_NE(acquire_image(), 0) << control->GetStat();
    EXPECT_EQ(control->GetStat(), 0);
}

TEST_F(TwainSane, MultiTransferBatchRunsTheFeederEmpty) {
    open_device0();
    ASSERT_TRUE(control->TwainSelectFeeder(true));
    ASSERT_TRUE(control->TwainSetAutoFeed(true));
    ASSERT_TRUE(control->TwainSetXferCount(-1));
    control->TwainSetMultiTransfer(true);
    // One batch: the pages follow each other without a cancel between them.
    int pages = 0;
    for (; pages < 12; ++pages) {
        if (acquire_image() == 0) break;
        ASSERT_EQ(control->TwainGetState(), 6) << "page " << pages + 1;
    }
    EXPECT_EQ(pages, 10);
    EXPECT_EQ(control->GetStat(), LumTwainError);
    EXPECT_EQ(control->TwainGetLastConditionCode(), kTwccNoMedia);
    EXPECT_EQ(control->TwainGetState(), 4) << "the empty feeder ends the batch";
    EXPECT_FALSE(control->TwainIsFeederLoaded());
    EXPECT_EQ(control->TwainAcquireToImageID(), 0) << "still empty until reopened";
    EXPECT_EQ(control->TwainGetLastConditionCode(), kTwccNoMedia);
}

TEST_F(TwainSane, ReopenedDeviceScansWhatItReports) {
    if (!have_scanimage()) GTEST_SKIP() << "scanimage is not installed";
    open_device0();
    ASSERT_TRUE(control->TwainSetCurrentPixelType(1));
    ASSERT_TRUE(control->TwainSetCurrentResolution(75));
    ASSERT_TRUE(acquire_dib());
    ASSERT_TRUE(control->TwainCloseSource());
    // With the manager still open the control leaves the new source's settings alone: what
    // it reports must be what it scans.
    ASSERT_TRUE(control->TwainOpenSource(kDevice0));
    frame();
    int32_t dpi = control->TwainGetCurrentResolution(), type = control->TwainGetCurrentPixelType();
    ASSERT_GT(dpi, 0);
    ASSERT_TRUE(type == 1 || type == 2) << type;
    std::optional<Dib> dib = acquire_dib();
    ASSERT_TRUE(dib) << control->GetStat();
    EXPECT_EQ(dib->header.biXPelsPerMeter, pels_per_meter(dpi));
    EXPECT_EQ(dib->header.biBitCount, type == 1 ? 8 : 24);
    ASSERT_TRUE(control->TwainCloseSource());
    std::string mode = type == 1 ? "--mode Gray --depth 8" : "--mode Color --depth 8";
    std::optional<lumtest::Picture> want =
        lumtest::scanimage(mode + " --resolution " + std::to_string(dpi) + kGeometry);
    ASSERT_TRUE(want);
    expect_same_pixels(*dib, *want);
}

TEST_F(TwainSane, UnloadingTheManagerAndStartingAgainScans) {
    open_device0();
    ASSERT_TRUE(control->TwainSetCurrentPixelType(2));
    ASSERT_NE(acquire_image(), 0) << control->GetStat();
    ASSERT_TRUE(control->TwainCloseSource());
    ASSERT_TRUE(control->TwainCloseSourceManager());
    ASSERT_TRUE(control->TwainUnloadSourceManager());
    ASSERT_EQ(control->TwainGetState(), 1);
    EXPECT_EQ(control->TwainGetSourceCount(), 3) << "libsane started again";
    ASSERT_TRUE(control->TwainOpenSource(kDevice0)) << control->TwainGetLastConditionCode();
    frame();
    ASSERT_TRUE(control->TwainSetCurrentPixelType(2));
    int32_t id = acquire_image();
    ASSERT_NE(id, 0) << control->GetStat();
    EXPECT_EQ(control->GetIntPixelFormat(), 24);
    EXPECT_TRUE(control->TwainCloseSource());
}

TEST_F(TwainSane, AcquiringFromState1ReleasesTheDevice) {
    configure("default_source = " + std::string(kDevice0) + "\n");
    int32_t id = acquire_image();
    ASSERT_NE(id, 0) << control->GetStat() << " " << control->TwainGetLastConditionCode();
    EXPECT_EQ(control->TwainGetState(), 1);
    ASSERT_TRUE(control->TwainOpenSource(kDevice0)) << "the device is free again";
    EXPECT_EQ(control->TwainGetCurrentSourceName(), kDevice0);
}

}  // namespace
