// Capability negotiation on the virtual scanner: lists, current values, ranges, item types,
// sets, resets, refusals and unsupported capabilities.
#include <cmath>

#include "capability.h"
#include "codes.h"
#include "engine_fixture.h"
#include "support/test_env.h"

namespace lumtwain::test {
namespace {

std::vector<double> Values(int cap) {
    std::vector<double> v;
    int n = LUMTWAIN_LoadCapValuesN(cap, 1);
    for (int i = 0; i < n; ++i) v.push_back(LUMTWAIN_GetCapValueFromIdx(i));
    return v;
}

double Current(int cap) {
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(cap, 2), 1) << "capability " << cap;
    return LUMTWAIN_GetLastCapValueCurrent();
}

class CapsTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        OpenVirtual();
    }
};

TEST_F(CapsTest, DefaultsWhenOpened) {
    EXPECT_EQ(Current(kCapFeederEnabled), 0);
    EXPECT_EQ(Current(kCapDuplexEnabled), 0);
    EXPECT_EQ(Current(kIcapPixelType), kTwptRgb);
    EXPECT_EQ(LUMTWAIN_GetBitDepth(), 24);
    EXPECT_EQ(LUMTWAIN_GetCurrentResolution(), 100);
    EXPECT_EQ(LUMTWAIN_GetBrightness(), 0);
    EXPECT_EQ(LUMTWAIN_GetContrast(), 0);
    EXPECT_EQ(Current(kIcapThreshold), 128);
    EXPECT_EQ(Current(kCapCameraPreviewUi), 0);
    EXPECT_EQ(LUMTWAIN_GetPaperSize(), kTwssA4);
    EXPECT_EQ(Current(kCapXferCount), -1);
    EXPECT_EQ(Current(kCapUiControllable), 1);
    for (int cap : {kIcapAutomaticBorderDetection, kIcapAutomaticDeskew, kIcapAutomaticRotate}) {
        EXPECT_EQ(LUMTWAIN_GetCapItemType(cap), kTwtyBool);
        EXPECT_EQ(Current(cap), 0);
    }
}

TEST_F(CapsTest, ValueListFamilies) {
    EXPECT_EQ(Values(kIcapXResolution),
              (std::vector<double>{75, 100, 150, 200, 300, 400, 600, 1200}));
    EXPECT_EQ(Values(kIcapYResolution), Values(kIcapXResolution));
    EXPECT_EQ(Values(kIcapPixelType), (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(Values(kIcapBitDepth), (std::vector<double>{24}));
    std::vector<double> brightness = Values(kIcapBrightness);
    ASSERT_EQ(brightness.size(), 2001u);
    EXPECT_EQ(brightness.front(), -1000);
    EXPECT_EQ(brightness.back(), 1000);
    EXPECT_EQ(Values(kIcapContrast).size(), 2001u);
    std::vector<double> sizes = Values(kIcapSupportedSizes);
    for (double code : {kTwssNone, kTwssA4, kTwssUsLetter, kTwssUsLegal, kTwssA5})
        EXPECT_NE(std::find(sizes.begin(), sizes.end(), code), sizes.end()) << code;
    EXPECT_EQ(LUMTWAIN_GetCapValueFromIdx(int(sizes.size())), 0.0) << "beyond the list";
    EXPECT_EQ(LUMTWAIN_GetCapValueFromIdx(-1), 0.0);
}

TEST_F(CapsTest, BitDepthFollowsThePixelType) {
    const std::pair<int, int> kCases[] = {{kTwptBw, 1}, {kTwptGray, 8}, {kTwptRgb, 24}};
    for (auto [type, bits] : kCases) {
        ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(type), 1);
        EXPECT_EQ(LUMTWAIN_GetPixelType(), type);
        EXPECT_EQ(LUMTWAIN_GetBitDepth(), bits);
        EXPECT_EQ(Values(kIcapBitDepth), (std::vector<double>{double(bits)}));
        EXPECT_EQ(LUMTWAIN_SetBitDepth(bits), 1);
    }
    EXPECT_EQ(LUMTWAIN_SetBitDepth(16), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccBadValue);
}

TEST_F(CapsTest, Ranges) {
    ASSERT_EQ(LUMTWAIN_LoadCapValuesRangeN(kIcapXResolution), 1);
    EXPECT_EQ(LUMTWAIN_GetLastMinCapValueRange(), 50);
    EXPECT_EQ(LUMTWAIN_GetLastMaxCapValueRange(), 1200);
    EXPECT_EQ(LUMTWAIN_GetLastStepCapValueRange(), 1);
    ASSERT_EQ(LUMTWAIN_LoadCapValuesRangeN(kIcapBrightness), 1);
    EXPECT_EQ(LUMTWAIN_GetLastMinCapValueRange(), -1000);
    EXPECT_EQ(LUMTWAIN_GetLastMaxCapValueRange(), 1000);
    ASSERT_EQ(LUMTWAIN_LoadCapValuesRangeN(kIcapThreshold), 1);
    EXPECT_EQ(LUMTWAIN_GetLastMaxCapValueRange(), 255);
    EXPECT_EQ(LUMTWAIN_LoadCapValuesRangeN(kIcapPixelType), 0) << "an enumeration";
}

TEST_F(CapsTest, ZeroRangeFromTheConfiguration) {
    LUMTWAIN_CloseSource();
    Configure("zero_range = 4387, 4414\n");
    OpenVirtual();
    for (int cap : {kIcapThreshold, 4414}) {
        ASSERT_EQ(LUMTWAIN_LoadCapValuesRangeN(cap), 1) << cap;
        EXPECT_EQ(LUMTWAIN_GetLastMinCapValueRange(), 0);
        EXPECT_EQ(LUMTWAIN_GetLastMaxCapValueRange(), 0);
        EXPECT_EQ(LUMTWAIN_GetLastStepCapValueRange(), 0);
    }
}

TEST_F(CapsTest, SetsSnapToTheRangeAndReportCheckStatus) {
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kIcapXResolution, kTwtyFix32, LUMTWAIN_ToFix32(333.4)), 1);
    EXPECT_EQ(LUMTWAIN_GetLastResultCode(), kTwrcCheckStatus);
    EXPECT_EQ(LUMTWAIN_GetCurrentResolution(), 333);
    EXPECT_EQ(Current(kIcapYResolution), 333) << "resolutions move together";
    EXPECT_EQ(LUMTWAIN_SetCurrentResolution(300), 1);
    EXPECT_EQ(LUMTWAIN_GetLastResultCode(), kTwrcSuccess);
    EXPECT_EQ(LUMTWAIN_SetCurrentResolution(1201), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccBadValue);
    EXPECT_EQ(LUMTWAIN_GetCurrentResolution(), 300) << "a refused set keeps the value";
}

TEST_F(CapsTest, ItemTypes) {
    EXPECT_EQ(LUMTWAIN_GetCapItemType(kIcapXResolution), kTwtyFix32);
    EXPECT_EQ(LUMTWAIN_GetCapItemType(kIcapPixelType), kTwtyUint16);
    EXPECT_EQ(LUMTWAIN_GetCapItemType(kCapFeederEnabled), kTwtyBool);
    EXPECT_EQ(LUMTWAIN_GetCapItemType(kCapXferCount), kTwtyInt16);
    EXPECT_EQ(LUMTWAIN_GetCapItemType(kCapAuthor), kTwtyStr128);
    EXPECT_EQ(LUMTWAIN_GetCapItemType(kCapTimeDate), kTwtyStr32);
}

TEST_F(CapsTest, GenericSetsAndResets) {
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kIcapThreshold, kTwtyFix32, LUMTWAIN_ToFix32(200)), 1);
    EXPECT_EQ(Current(kIcapThreshold), 200);
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kIcapPixelFlavor, kTwtyUint16, 1), 1);
    EXPECT_EQ(Current(kIcapPixelFlavor), 1);
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kIcapPlanarChunky, kTwtyUint16, 1), 0) << "chunky only";
    EXPECT_EQ(LUMTWAIN_SetBrightness(-250), 1);
    EXPECT_EQ(LUMTWAIN_GetBrightness(), -250);
    EXPECT_EQ(LUMTWAIN_Reset(kIcapBrightness), 1);
    EXPECT_EQ(LUMTWAIN_GetBrightness(), 0);
    ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(kTwptGray), 1);
    EXPECT_EQ(LUMTWAIN_Reset(kIcapPixelType), 1);
    EXPECT_EQ(LUMTWAIN_GetPixelType(), kTwptRgb);
    EXPECT_EQ(LUMTWAIN_GetBitDepth(), 24);
}

TEST_F(CapsTest, RefusedSets) {
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederLoaded, kTwtyBool, 1), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccCapBadOperation);
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kIcapPixelType, kTwtyUint16, 7), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccBadValue);
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kIcapPixelType, 99, 1), 0) << "unknown item type";
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kIcapPixelType, kTwtyUint8, 300), 0)
        << "does not fit its item type";
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kCapXferCount, kTwtyInt16, 0), 0);
    EXPECT_EQ(LUMTWAIN_SetCapOneValueS(kCapSerialNumber, kTwtyStr255, "x"), 0);
    EXPECT_EQ(LUMTWAIN_SetCapOneValueS(kCapAuthor, kTwtyStr128, nullptr), 0);
    EXPECT_EQ(LUMTWAIN_SetCapOneValueS(kCapAuthor, kTwtyStr128, std::string(129, 'a').c_str()), 0);
    EXPECT_EQ(LUMTWAIN_SetBrightness(NAN), 0);
}

TEST_F(CapsTest, UnsupportedCapabilitiesReportNothing) {
    for (int cap : {4414 /* ICAP_ZOOMFACTOR */, 0, -32768, 99999}) {
        EXPECT_EQ(LUMTWAIN_LoadCapValuesN(cap, 1), 0) << cap;
        EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccCapUnsupported);
        EXPECT_EQ(LUMTWAIN_LoadCapValuesN(cap, 2), 0);
        EXPECT_EQ(LUMTWAIN_LoadCapValuesS(cap, 2), 0);
        EXPECT_EQ(LUMTWAIN_LoadCapValuesRangeN(cap), 0);
        EXPECT_EQ(LUMTWAIN_GetCapItemType(cap), kTwtyInvalid);
        EXPECT_EQ(LUMTWAIN_SetCapOneValue(cap, kTwtyUint16, 1), 0);
        EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccCapUnsupported);
        EXPECT_EQ(LUMTWAIN_Reset(cap), 0);
    }
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(kIcapPixelType, 9), 0) << "unknown mode";
}

TEST_F(CapsTest, ConfigurationRemovesCapabilities) {
    LUMTWAIN_CloseSource();
    Configure("feeder = no\nunsupported = 4353\n");
    OpenVirtual();
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(kIcapBrightness, 2), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccCapUnsupported);
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(kCapFeederEnabled, 2), 0);
    EXPECT_EQ(LUMTWAIN_GetDuplexMode(), kTwdxNone);
    EXPECT_EQ(LUMTWAIN_SetAutoFeed(0), 0);
}

TEST_F(CapsTest, TextCapabilities) {
    ASSERT_EQ(LUMTWAIN_SetCapOneValueS(kCapAuthor, kTwtyStr128, "Ada"), 1);
    ASSERT_EQ(LUMTWAIN_LoadCapValuesS(kCapAuthor, 2), 1);
    EXPECT_STREQ(LUMTWAIN_GetLastCapValueCurrentS(), "Ada");
    EXPECT_STREQ(LUMTWAIN_GetCapValueFromIdxS(0), "Ada");
    EXPECT_STREQ(LUMTWAIN_GetCapValueFromIdxS(1), "");
    ASSERT_EQ(LUMTWAIN_LoadCapValuesS(kCapSerialNumber, 2), 1);
    EXPECT_STREQ(LUMTWAIN_GetLastCapValueCurrentS(), "VS-000001");
    ASSERT_EQ(LUMTWAIN_LoadCapValuesS(kCapTimeDate, 2), 1);
    EXPECT_EQ(std::string(LUMTWAIN_GetLastCapValueCurrentS()).size(), 19u);
    ASSERT_EQ(LUMTWAIN_SetCapOneValueS(kCapCaption, kTwtyStr255, "scan"), 1);
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(kCapCaption, 2), 0) << "the numeric loader refuses text";
    ASSERT_EQ(LUMTWAIN_LoadCapValuesS(kIcapXResolution, 1), 8) << "numbers as text";
    EXPECT_STREQ(LUMTWAIN_GetCapValueFromIdxS(0), "75");
}

TEST_F(CapsTest, UnitsAndPhysicalSize) {
    EXPECT_NEAR(LUMTWAIN_GetPhysicalWidth(), 8.5, 1e-9);
    EXPECT_NEAR(LUMTWAIN_GetPhysicalHeight(), 14.0, 1e-9);
    ASSERT_EQ(LUMTWAIN_SetCurrentUnits(kTwunMillimeters), 1);
    EXPECT_NEAR(LUMTWAIN_GetPhysicalWidth(), 215.9, 1e-9);
    ASSERT_EQ(LUMTWAIN_SetCurrentUnits(kTwunPixels), 1);
    EXPECT_NEAR(LUMTWAIN_GetPhysicalWidth(), 850, 1e-9);
    EXPECT_EQ(LUMTWAIN_SetCurrentUnits(9), 0);
}

TEST_F(CapsTest, NumbersAsTextKeepThePointUnderADecimalCommaLocale) {
    lumtest::DecimalCommaLocale comma;
    ASSERT_TRUE(comma.active());
    ASSERT_EQ(LUMTWAIN_SetCurrentUnits(kTwunMillimeters), 1);
    ASSERT_EQ(LUMTWAIN_LoadCapValuesS(kIcapPhysicalWidth, 2), 1);
    EXPECT_STREQ(LUMTWAIN_GetLastCapValueCurrentS(), "215.9");
    EXPECT_EQ(LUMTWAIN_SetCapOneValueS(kIcapBrightness, kTwtyFix32, "-12.0"), 1);
    EXPECT_EQ(LUMTWAIN_GetBrightness(), -12);
    EXPECT_EQ(LUMTWAIN_SetCapOneValueS(kIcapBrightness, kTwtyFix32, "-12,5"), 0);
}

TEST_F(CapsTest, NegotiationNeedsState4) {
    LUMTWAIN_CloseSource();
    EXPECT_EQ(LUMTWAIN_LoadCapValuesN(kIcapPixelType, 1), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccSeqError);
    EXPECT_EQ(LUMTWAIN_GetCapItemType(kIcapPixelType), kTwtyInvalid);
    EXPECT_EQ(LUMTWAIN_SetCurrentPixelType(kTwptGray), 0);
    EXPECT_EQ(LUMTWAIN_GetBitDepth(), 0);
}

TEST_F(CapsTest, FeederProbeRestoresTheFeeder) {
    int type = LUMTWAIN_GetCapItemType(kCapFeederEnabled);
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, type, 1), 1);
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, type, 0), 1);
    EXPECT_EQ(Current(kCapFeederEnabled), 0);
}

TEST(Fix32, RoundsHalfAwayAndSaturates) {
    EXPECT_EQ(LUMTWAIN_ToFix32(1.0), 0x10000);
    EXPECT_EQ(LUMTWAIN_ToFix32(-1.0), int32_t(0xFFFF0000u));
    EXPECT_EQ(LUMTWAIN_ToFix32(0.5), 0x8000);
    EXPECT_EQ(LUMTWAIN_ToFix32(1e12), INT32_MAX);
    EXPECT_EQ(LUMTWAIN_ToFix32(-1e12), INT32_MIN);
    EXPECT_EQ(LUMTWAIN_ToFix32(NAN), 0);
    for (double v : {-1000.0, -0.25, 0.0, 127.5, 1200.0})
        EXPECT_DOUBLE_EQ(FromFix32(LUMTWAIN_ToFix32(v)), v);
}

}  // namespace
}  // namespace lumtwain::test
