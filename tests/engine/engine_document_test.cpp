// The virtual scanner's document pages: what they hold, what their options do, and that the
// same seed gives the same page.
#include <deque>

#include "codes.h"
#include "config.h"
#include "engine_fixture.h"
#include "fonts.h"

namespace lumtwain::test {
namespace {

class DocumentTest : public EngineTest {
  protected:
    // The next feeder page with `options` (one per line) at `dpi`, in `pixel_type`.
    std::vector<uint8_t> FeederPage(const std::string& options, int dpi = 75,
                                    int pixel_type = kTwptRgb) {
        Configure("pages = 20\n" + options);
        EXPECT_EQ(LUMTWAIN_OpenSource("Virtual Scanner"), 1);
        EXPECT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
        EXPECT_EQ(LUMTWAIN_SetCurrentResolution(dpi), 1);
        EXPECT_EQ(LUMTWAIN_SetCurrentPixelType(pixel_type), 1);
        return Acquire();
    }
    // A view of the page's bytes, kept for the rest of the test.
    DibView View(std::vector<uint8_t> bytes) {
        m_pages.push_back(std::move(bytes));
        auto v = ParseDib(m_pages.back().data(), m_pages.back().size());
        EXPECT_TRUE(v);
        return v.value_or(DibView{});
    }
    std::deque<std::vector<uint8_t>> m_pages;
    // Pixels darker than 128 inside the margins (where only content lies).
    static int InkPixels(const DibView& v) {
        int n = 0;
        for (int y = v.height() / 8; y < v.height() * 7 / 8; ++y)
            for (int x = v.width() / 8; x < v.width() * 7 / 8; ++x) n += v.grey(x, y) < 128;
        return n;
    }
};

TEST_F(DocumentTest, LiberationSansIsInstalled) {
    EXPECT_NE(LiberationSans().regular.find("LiberationSans-Regular"), std::string::npos)
        << "install fonts-liberation2 (./lum deps)";
}

TEST_F(DocumentTest, TheFeederGivesDocumentsAndTheFlatbedTheGradient) {
    DibView doc = View(FeederPage(""));
    EXPECT_GT(InkPixels(doc), doc.width() * doc.height() / 100) << "text and table";
    RGBQUAD paper = doc.pixel(doc.width() / 2, doc.height() - 3);
    EXPECT_EQ(paper.rgbRed + paper.rgbGreen + paper.rgbBlue, 3 * 255) << "white paper";
    LUMTWAIN_CloseSource();
    OpenVirtual();
    DibView v = View(Acquire());
    EXPECT_EQ(v.pixel(v.width() - 1, 600).rgbRed, 255) << "the gradient";
    EXPECT_EQ(View(FeederPage("page_kind = gradient\n")).pixel(0, 600).rgbBlue, 255);
}

TEST_F(DocumentTest, TheSameSeedGivesTheSamePage) {
    std::vector<uint8_t> a = FeederPage("seed = 5\nnoise = 50\n");
    std::vector<uint8_t> b = FeederPage("seed = 5\nnoise = 50\n# a changed file\n");
    std::vector<uint8_t> c = FeederPage("seed = 6\nnoise = 50\n");
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST_F(DocumentTest, TheMarkerStaysReadableOnTurnedAndSkewedSheets) {
    for (const char* options : {"", "skew_deg = 5\n", "page_rotation = 180\n",
                                "page_rotation = 90\nskew_deg = -3\ndark_border_mm = 5\n"}) {
        std::vector<uint8_t> page = FeederPage(options, 100);
        EXPECT_EQ(Mark(page), (PageMark{1, 0})) << options;
    }
}

TEST_F(DocumentTest, BlankPagesEveryNthOrListed) {
    Configure("pages = 20\nblank_every = 3\nblank_pages = 5\nnoise = 40\n");
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
    ASSERT_EQ(LUMTWAIN_SetCurrentResolution(50), 1);
    for (int page = 1; page <= 6; ++page) {
        std::vector<uint8_t> bytes = Acquire();
        bool blank = page == 3 || page == 5 || page == 6;
        EXPECT_EQ(Mark(bytes).has_value(), !blank) << page;
        DibView v = View(std::move(bytes));
        int ink = InkPixels(v);
        if (blank) {
            EXPECT_LT(ink, v.width() * v.height() / 500) << "speckles only, page " << page;
        } else {
            EXPECT_GT(ink, v.width() * v.height() / 100) << page;
        }
    }
}

TEST_F(DocumentTest, YellowingTintsThePaper) {
    DibView v = View(FeederPage("yellowing = 100\n"));
    RGBQUAD paper = v.pixel(v.width() / 2, v.height() - 3);
    EXPECT_EQ(paper.rgbRed, 245);
    EXPECT_EQ(paper.rgbGreen, 230);
    EXPECT_EQ(paper.rgbBlue, 180);
}

TEST_F(DocumentTest, NoiseAddsSpecklesInProportion) {
    auto speckles = [&](const char* options) {
        DibView v = View(FeederPage(std::string("blank_pages = 1\n") + options, 100, kTwptGray));
        return InkPixels(v);
    };
    EXPECT_EQ(speckles(""), 0);
    int some = speckles("noise = 100\n"), more = speckles("noise = 400\n");
    EXPECT_GT(some, 0);
    EXPECT_GT(more, 3 * some);
    EXPECT_LT(more, 5 * some);
}

TEST_F(DocumentTest, ADarkBorderSurroundsTheSheet) {
    DibView v = View(FeederPage("dark_border_mm = 6\n", 100));
    const int b = MmToPixels(6, 100);  // 24: the sheet's edges lie within a pixel of it
    EXPECT_LT(v.grey(b - 2, v.height() / 2), 30);
    EXPECT_GT(v.grey(b + 1, v.height() / 2), 200);
    EXPECT_LT(v.grey(v.width() / 2, v.height() - b + 1), 30);
    EXPECT_GT(v.grey(v.width() / 2, v.height() - b - 2), 200);
}

TEST_F(DocumentTest, EveryPixelTypeAndSmallPapers) {
    for (int type : {kTwptBw, kTwptGray, kTwptRgb})
        for (const char* size : {"A4", "A5", "10 x 10", "1000 x 1000"}) {
            std::string options = std::string("page_size = ") + size + "\n";
            std::vector<uint8_t> page = FeederPage(options, 50, type);
            ASSERT_FALSE(page.empty()) << type << " " << size;
            EXPECT_EQ(View(page).header.biBitCount, type == kTwptBw     ? 1
                                                    : type == kTwptGray ? 8
                                                                        : 24);
        }
}

TEST(DocumentConfig, KeysAndTheirLimits) {
    ConfigResult r = ParseVirtualConfig(
        "page_kind = Document\nseed = 42\nskew_deg = -4.5\npage_rotation = 270\nnoise = 12.5\n"
        "yellowing = 30\nblank_every = 4\n");
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(r.config.page_kind, PageKindSetting::Document);
    EXPECT_EQ(r.config.seed, 42u);
    EXPECT_EQ(r.config.skew_deg, -4.5);
    EXPECT_EQ(r.config.page_rotation, 270);
    EXPECT_EQ(r.config.noise, 12.5);
    EXPECT_EQ(r.config.yellowing, 30);
    EXPECT_EQ(r.config.blank_every, 4);
    ConfigResult bad = ParseVirtualConfig(
        "page_kind = photo\nseed = -1\nskew_deg = 16\npage_rotation = 45\nnoise = -1\n"
        "yellowing = 101\nblank_every = x\n");
    EXPECT_EQ(bad.errors.size(), 7u);
    EXPECT_EQ(bad.config.page_kind, PageKindSetting::Auto);
    EXPECT_EQ(bad.config.skew_deg, 0);
    EXPECT_EQ(bad.config.page_rotation, 0);
}

}  // namespace
}  // namespace lumtwain::test
