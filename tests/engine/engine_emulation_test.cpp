// Border detection, deskew and rotation done by the engine on the virtual scanner's document
// pages, checked with measurements of the tests' own.
#include <cmath>
#include <deque>
#include <numbers>

#include "codes.h"
#include "engine_fixture.h"

namespace lumtwain::test {
namespace {

// The angle (degrees, counter-clockwise) at which the dark pixels of the page's middle line
// up best: each candidate turns the pixels and histograms their height; straight lines give
// the peakiest histogram. Every quarter degree, then every 0.025° near the best, then the top
// of a parabola.
double LineAngle(const DibView& v) {
    std::vector<std::pair<double, double>> ink;
    for (int y = v.height() / 6; y < v.height() * 5 / 6; ++y)
        for (int x = v.width() / 6; x < v.width() * 5 / 6; ++x)
            if (v.grey(x, y) < 128) ink.push_back({double(x), double(y)});
    auto peakiness = [&](double deg) {
        const double a = deg * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
        std::vector<double> bins(size_t(v.width() + v.height()) * 2, 0);
        for (auto [x, y] : ink) bins[size_t(std::lround(y * c + x * s)) + size_t(v.width())] += 1;
        double sum = 0;
        for (double b : bins) sum += b * b;
        return sum;
    };
    double best = 0, best_score = -1;
    auto sweep = [&](double from, double to, double step) {
        for (double d = from; d <= to + 1e-9; d += step)
            if (double s = peakiness(d); s > best_score) best = d, best_score = s;
    };
    sweep(-7, 7, 0.25);
    sweep(best - 0.3, best + 0.3, 0.025);
    double l = peakiness(best - 0.025), r = peakiness(best + 0.025);
    double denom = l - 2 * best_score + r;
    return denom < 0 ? best + 0.025 * 0.5 * (l - r) / denom : best;
}

class EmulationTest : public EngineTest {
  protected:
    // A feeder page at 100 dpi with the options and the corrections asked for.
    DibView Page(const std::string& options, bool border, bool deskew, bool rotate,
                 int pixel_type = kTwptGray) {
        Configure("pages = 5\nseed = 3\n" + options);
        OpenVirtual();
        EXPECT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
        EXPECT_EQ(LUMTWAIN_SetCurrentPixelType(pixel_type), 1);
        EXPECT_EQ(LUMTWAIN_AutomaticBorderDetection(border), 1);
        EXPECT_EQ(LUMTWAIN_AutomaticDeskew(deskew), 1);
        EXPECT_EQ(LUMTWAIN_AutomaticRotate(rotate), 1);
        m_pages.push_back(Acquire());
        LUMTWAIN_CloseSource();
        auto v = ParseDib(m_pages.back().data(), m_pages.back().size());
        EXPECT_TRUE(v) << "condition " << LUMTWAIN_GetLastConditionCode();
        return v.value_or(DibView{});
    }
    std::deque<std::vector<uint8_t>> m_pages;
};

class Deskew : public EmulationTest, public ::testing::WithParamInterface<double> {};

TEST_P(Deskew, LeavesTheTextLinesHorizontal) {
    const std::string skew = "skew_deg = " + std::to_string(GetParam()) + "\n";
    DibView raw = Page(skew, false, false, false);
    const double before = LineAngle(raw);
    ASSERT_NEAR(before, GetParam(), 0.3) << "the measurement sees the skew";
    DibView straight = Page(skew, false, true, false);
    EXPECT_EQ(straight.width(), raw.width());
    EXPECT_EQ(straight.height(), raw.height());
    const double after = LineAngle(straight);
    EXPECT_LE(std::fabs(after), 0.2);
    RecordProperty("angle_before", std::to_string(before));
    RecordProperty("angle_after", std::to_string(after));
}

INSTANTIATE_TEST_SUITE_P(Angles, Deskew, ::testing::Values(-4.0, -1.0, 2.0, 5.0),
                         [](const auto& info) {
                             return (info.param < 0 ? "minus" : "plus") +
                                    std::to_string(int(std::fabs(info.param)));
                         });

TEST_F(EmulationTest, DeskewLeavesAStraightPageAlone) {
    DibView raw = Page("", false, false, false);
    DibView same = Page("", false, true, false);
    ASSERT_EQ(same.width(), raw.width());
    for (int y = 0; y < raw.height(); y += 7)
        for (int x = 0; x < raw.width(); x += 5) ASSERT_EQ(same.grey(x, y), raw.grey(x, y));
}

class BorderCrop : public EmulationTest, public ::testing::WithParamInterface<int> {};

// The sheet lies 6 mm (23.6 pixels) inside the glass on every side.
TEST_P(BorderCrop, CropsTheDarkBorderToThePageWithinTwoPixels) {
    const double border = 6 / 25.4 * 100;
    DibView raw = Page("dark_border_mm = 6\n", false, false, false, GetParam());
    DibView page = Page("dark_border_mm = 6\n", true, false, false, GetParam());
    EXPECT_NEAR(page.width(), raw.width() - 2 * border, 2.0);
    EXPECT_NEAR(page.height(), raw.height() - 2 * border, 2.0);
    // Where the cropped page lies in the raw one: the offset that matches best.
    int best_dx = 0, best_dy = 0, best = -1;
    for (int dy = 18; dy <= 30; ++dy)
        for (int dx = 18; dx <= 30; ++dx) {
            int same = 0;
            for (int y = 40; y < page.height() - 40; y += 11)
                for (int x = 40; x < page.width() - 40; x += 7)
                    same += page.grey(x, y) == raw.grey(x + dx, y + dy);
            if (same > best) best = same, best_dx = dx, best_dy = dy;
        }
    EXPECT_NEAR(best_dx, border, 2.0);
    EXPECT_NEAR(best_dy, border, 2.0);
    for (int x = 0; x < page.width(); x += 9) EXPECT_GT(page.grey(x, 1), 128) << "top " << x;
    for (int y = 0; y < page.height(); y += 9)
        EXPECT_GT(page.grey(page.width() - 2, y), 128) << "right " << y;
}

INSTANTIATE_TEST_SUITE_P(PixelTypes, BorderCrop, ::testing::Values(kTwptBw, kTwptGray, kTwptRgb));

TEST_F(EmulationTest, BorderDetectionLeavesAPageWithoutBorderWhole) {
    DibView raw = Page("", false, false, false);
    DibView page = Page("", true, false, false);
    EXPECT_EQ(page.width(), raw.width());
    EXPECT_EQ(page.height(), raw.height());
}

struct Turn {
    int rotation;
    const char* upright_paper;  // the page as it reads
};

class Rotation : public EmulationTest, public ::testing::WithParamInterface<Turn> {};

// The middle of the page (away from the glass's marker, which never turns) matches the page
// fed the right way up.
TEST_P(Rotation, TurnsTheTextUpright) {
    const std::string paper = std::string("page_size = ") + GetParam().upright_paper + "\n";
    DibView upright = Page(paper, false, false, false);
    DibView turned =
        Page("page_rotation = " + std::to_string(GetParam().rotation) + "\n", false, false, true);
    ASSERT_EQ(turned.width(), upright.width());
    ASSERT_EQ(turned.height(), upright.height());
    const int m = MmToPixels(50, 100);
    double diff = 0, flipped = 0;
    int n = 0;
    for (int y = m; y < upright.height() - m; y += 3)
        for (int x = m; x < upright.width() - m; x += 3, ++n) {
            diff += std::abs(turned.grey(x, y) - upright.grey(x, y));
            flipped += std::abs(upright.grey(upright.width() - 1 - x, upright.height() - 1 - y) -
                                upright.grey(x, y));
        }
    EXPECT_LT(diff / n, 3.0);
    EXPECT_GT(flipped / n, 10 * std::max(1.0, diff / n)) << "the page's halves differ";
}

INSTANTIATE_TEST_SUITE_P(Turns, Rotation,
                         ::testing::Values(Turn{180, "A4"}, Turn{90, "297 x 210"},
                                           Turn{270, "297 x 210"}),
                         [](const auto& info) { return std::to_string(info.param.rotation); });

TEST_F(EmulationTest, RotationLeavesAnUprightPageAndABlankPageAlone) {
    DibView raw = Page("", false, false, false);
    DibView same = Page("", false, false, true);
    EXPECT_EQ(same.width(), raw.width());
    EXPECT_EQ(same.grey(raw.width() / 2, raw.height() / 3),
              raw.grey(raw.width() / 2, raw.height() / 3));
    DibView blank = Page("blank_pages = 1\nnoise = 50\n", true, true, true);
    EXPECT_EQ(blank.width(), raw.width());
    EXPECT_EQ(blank.height(), raw.height());
}

TEST_F(EmulationTest, AllThreeTogetherOnAPageFedUpsideDownAndSkewed) {
    DibView page =
        Page("page_rotation = 180\nskew_deg = 2\ndark_border_mm = 8\n", true, true, true, kTwptRgb);
    EXPECT_LE(std::fabs(LineAngle(page)), 0.2);
    EXPECT_LT(page.width(), MmToPixels(210, 100) - MmToPixels(10, 100)) << "cropped";
    EXPECT_GT(page.grey(page.width() / 2, 2), 128) << "no border left at the top";
}

TEST_F(EmulationTest, CapabilityAnswersSayWhatIsEmulated) {
    OpenVirtual();
    for (int code : {kCapEmulated, kCapEmulated - 65536}) {
        ASSERT_EQ(LUMTWAIN_LoadCapValuesN(code, 1), 3) << code;
        EXPECT_EQ(LUMTWAIN_GetCapValueFromIdx(0), kIcapAutomaticBorderDetection);
        EXPECT_EQ(LUMTWAIN_GetCapValueFromIdx(2), kIcapAutomaticRotate);
    }
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kCapEmulated, kTwtyUint16, kIcapAutomaticDeskew), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccCapBadOperation);
    ASSERT_EQ(LUMTWAIN_AutomaticDeskew(1), 1);
    ASSERT_EQ(LUMTWAIN_LoadCapValuesS(kIcapAutomaticDeskew, 2), 1);
    EXPECT_STREQ(LUMTWAIN_GetLastCapValueCurrentS(), "1 (emulated)");
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(kIcapAutomaticDeskew, 2), 1);
    EXPECT_EQ(LUMTWAIN_GetLastCapValueCurrent(), 1);
    ASSERT_EQ(LUMTWAIN_LoadCapValuesS(kIcapBrightness, 2), 1);
    EXPECT_STREQ(LUMTWAIN_GetLastCapValueCurrentS(), "0") << "only emulated ones say so";
}

}  // namespace
}  // namespace lumtwain::test
