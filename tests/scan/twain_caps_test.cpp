// Source management and capability negotiation through the control.
#include <algorithm>

#include "scan/virtual_scanner.h"

TEST_F(VirtualScannerTest, OpeningWithTheManagerClosedSetsTheDefaults) {
    ASSERT_TRUE(control->TwainOpenSource("Virtual Scanner"));
    EXPECT_FALSE(control->TwainIsAutoFeedOn());
    double v = -1;
    ASSERT_TRUE(control->TwainGetCapCurrentNumeric(tw::CAP_AUTOSCAN, v));
    EXPECT_EQ(v, 0);
    ASSERT_TRUE(control->TwainGetCapCurrentNumeric(tw::ICAP_UNITS, v));
    EXPECT_EQ(v, 0) << "inches";
    // Change the units, close the source and reopen it with the manager still open: the
    // control leaves the source's settings alone this time.
    EXPECT_TRUE(control->TwainSetAutoFeed(true));
    ASSERT_TRUE(control->TwainCloseSource());
    ASSERT_GE(control->TwainGetState(), 3);
    ASSERT_TRUE(control->TwainOpenSource("Virtual Scanner"));
    ASSERT_TRUE(control->TwainGetCapCurrentNumeric(tw::CAP_AUTOFEED, v));
    EXPECT_EQ(v, 1) << "opened with the manager open, the source keeps its setting";
    control->TwainCloseSource();
    control->TwainCloseSourceManager();
    control->TwainUnloadSourceManager();
    ASSERT_TRUE(control->TwainOpenSource("Virtual Scanner"));
    ASSERT_TRUE(control->TwainGetCapCurrentNumeric(tw::CAP_AUTOFEED, v));
    EXPECT_EQ(v, 0);
}

TEST_F(VirtualScannerTest, SourceNamesAreTrimmed) {
    EXPECT_TRUE(control->TwainOpenSource("   Virtual Scanner  "));
    EXPECT_EQ(control->TwainGetCurrentSourceName(), "Virtual Scanner");
    EXPECT_EQ(control->TwainGetState(), 4);
    control->TwainCloseSource();
    EXPECT_FALSE(control->TwainOpenSource("No Such Scanner"));
}

TEST_F(VirtualScannerTest, ListingLeavesTheManagerOpen) {
    configure("extra_sources = 2\n");
    EXPECT_EQ(control->TwainGetSourceCount(), 3);
    EXPECT_GE(control->TwainGetState(), 3) << "the source manager is left open";
    EXPECT_EQ(control->TwainGetSourceName(1), "Virtual Scanner");
    EXPECT_EQ(control->TwainGetSourceName(0), "Virtual Scanner") << "1 or less is the first";
    std::string third = control->TwainGetSourceName(3);
    EXPECT_FALSE(third.empty());
    EXPECT_NE(third, control->TwainGetSourceName(2)) << "names are unique";
    EXPECT_EQ(control->TwainGetSourceName(4), "") << "past the end of the list";
    // Asking for the last Long used to walk the list 2^31 times: about 1.7 hours.
    EXPECT_EQ(control->TwainGetSourceName(INT32_MAX), "");
    EXPECT_TRUE(control->TwainOpenSource(third));
    EXPECT_EQ(control->TwainGetDefaultSourceName(), "Virtual Scanner");
}

TEST_F(VirtualScannerTest, ValueListsAndSingleValues) {
    ASSERT_TRUE(control->TwainOpenDefaultSource());
    SafeArray<int32_t> res;
    int32_t n = control->TwainGetAvailableXResolutions(res);
    ASSERT_GT(n, 0);
    EXPECT_EQ(res.lbound(), 0);
    EXPECT_EQ(res.ubound(), n - 1);
    EXPECT_NE(std::find(res.values().begin(), res.values().end(), 300), res.values().end());
    EXPECT_EQ(control->TwainGetAvailableXResolutionsCount(), n);
    EXPECT_EQ(control->TwainGetAvailableXResolutionNo(1), res.at(0));
    int32_t depths = control->TwainGetAvailableBitDepthsCount();
    ASSERT_GT(depths, 0);
    EXPECT_EQ(control->TwainGetAvailableBitDepthNo(depths + 1), 0) << "beyond the count";
    EXPECT_EQ(control->TwainGetAvailableBitDepthNo(0), 0);
    SafeArray<double> brightness;
    EXPECT_GT(control->TwainGetAvailableBrightness(brightness), 0);
    EXPECT_TRUE(control->TwainIsPixelTypeAvailable(2));
    EXPECT_FALSE(control->TwainIsPixelTypeAvailable(5)) << "no CMYK";
    EXPECT_EQ(control->TwainGetAvailableCapValuesCount(tw::ICAP_BARCODETIMEOUT), 0);
}

TEST_F(VirtualScannerTest, UnsupportedCapabilitiesReportFailure) {
    ASSERT_TRUE(control->TwainOpenDefaultSource());
    SafeArray<double> values = SafeArray<double>::from({1.5}, 1);
    EXPECT_EQ(control->TwainGetAvailableCapValuesNumeric(tw::ICAP_BARCODETIMEOUT, values), 0);
    EXPECT_EQ(values.lbound(), 1) << "a failed listing leaves the array alone";
    EXPECT_EQ(control->TwainGetLastConditionCode(), 13);  // TWCC_CAPUNSUPPORTED
    double v = 42;
    EXPECT_FALSE(control->TwainGetCapCurrentNumeric(tw::ICAP_BARCODETIMEOUT, v));
    EXPECT_EQ(v, 42) << "untouched";
}

TEST_F(VirtualScannerTest, CurrentValuesNeedAnOpenSource) {
    EXPECT_EQ(control->TwainGetCurrentBrightness(), -99999);
    EXPECT_EQ(control->TwainGetCurrentContrast(), -99999);
    EXPECT_EQ(control->TwainGetCurrentResolution(), -1);
    EXPECT_EQ(control->TwainGetCurrentPixelType(), -1);
    EXPECT_EQ(control->TwainGetCurrentBitDepth(), 0);
    EXPECT_EQ(control->TwainGetPhysicalWidth(), -1);
    ASSERT_TRUE(control->TwainOpenDefaultSource());
    EXPECT_EQ(control->TwainGetCurrentBrightness(), 0);
    EXPECT_EQ(control->TwainGetCurrentResolution(), 100);
    EXPECT_EQ(control->TwainGetCurrentPixelType(), 2);
    EXPECT_GE(control->TwainGetPhysicalWidth(), 210 / 25.4) << "the bed holds an A4 page";
    EXPECT_EQ(control->TwainGetCurrentThreshold(), 128);
}

TEST_F(VirtualScannerTest, SettingsChangeTheScan) {
    ASSERT_TRUE(control->TwainOpenDefaultSource());
    EXPECT_TRUE(control->TwainSetCurrentResolution(300));
    EXPECT_EQ(control->TwainGetCurrentResolution(), 300);
    EXPECT_TRUE(control->TwainSetCurrentPixelType(1));
    EXPECT_TRUE(control->TwainSetCapCurrentNumeric(tw::ICAP_BRIGHTNESS, tw::TWTY_FIX32, 250));
    EXPECT_EQ(control->TwainGetCurrentBrightness(), 250) << "FIX32 values go through ToFix32";
    EXPECT_TRUE(control->TwainResetCap(tw::ICAP_BRIGHTNESS));
    EXPECT_EQ(control->TwainGetCurrentBrightness(), 0);
    control->TwainDisableAutoSourceClose(false);
    int32_t id = control->TwainAcquireToImageID();
    ASSERT_NE(id, 0);
    EXPECT_EQ(control->GetWidth(), 2480);
    EXPECT_EQ(control->GetHeight(), 3508);
    EXPECT_EQ(control->GetIntPixelFormat(), 8);
    EXPECT_EQ(control->GetPixelFormat(), "8bppIndexed");
    control->CloseImage(id);
}

TEST_F(VirtualScannerTest, HasFeederLeavesTheFeederAsItWas) {
    ASSERT_TRUE(control->TwainOpenDefaultSource());
    ASSERT_TRUE(control->TwainSelectFeeder(false));
    EXPECT_TRUE(control->TwainHasFeeder());
    EXPECT_FALSE(control->TwainIsFeederSelected());
    configure("feeder = 0\n");
    ASSERT_TRUE(control->TwainOpenDefaultSource());
    EXPECT_FALSE(control->TwainHasFeeder());
}

TEST_F(VirtualScannerTest, RangesAndTheZeroRange) {
    configure("zero_range = 4353\n");
    ASSERT_TRUE(control->TwainOpenDefaultSource());
    double lo = -5, hi = -5, step = -5;
    EXPECT_TRUE(control->TwainGetCapRangeNumeric(tw::ICAP_XRESOLUTION, lo, hi, step));
    EXPECT_LT(lo, hi);
    EXPECT_GT(step, 0);
    EXPECT_FALSE(control->TwainGetCapRangeNumeric(tw::ICAP_BRIGHTNESS, lo, hi, step));
}

TEST_F(VirtualScannerTest, TextCapabilities) {
    ASSERT_TRUE(control->TwainOpenDefaultSource());
    std::string serial = "x";
    EXPECT_TRUE(control->TwainGetCapCurrentString(tw::CAP_SERIALNUMBER, serial));
    EXPECT_EQ(serial, "VS-000001");
    EXPECT_GT(control->TwainGetAvailableCapValuesCount(tw::CAP_SERIALNUMBER), 0);
    EXPECT_EQ(control->TwainGetAvailableCapValueNoString(tw::CAP_SERIALNUMBER, 1), "VS-000001");
    EXPECT_EQ(control->TwainGetAvailableCapValueNoString(tw::CAP_SERIALNUMBER, 99), "");
}

TEST_F(VirtualScannerTest, SetupDialogNeedsAnOpenSource) {
    EXPECT_FALSE(control->TwainShowSetupDialogSource());
    EXPECT_EQ(control->GetStat(), 32);
    control->TwainSetApplicationInfo(1, 4, 13, 1, "1.4", "Lum", "Imaging", "Tests");
    ASSERT_TRUE(control->TwainOpenDefaultSource());
    control->CloseImage(0);
    EXPECT_EQ(control->GetStat(), 32) << "a successful Twain call leaves the status";
}
