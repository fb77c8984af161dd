// Acquisition through the control against the virtual scanner.
#include <set>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "scan/virtual_scanner.h"

namespace {
int32_t width_of(int32_t id) {
    int32_t w = 0;
    modGdiplus::GetImageWidth(GpImage(id), w);
    return w;
}
}  // namespace

TEST_F(VirtualScannerTest, TwoAcquisitionsLeaveTwoLiveImages) {
    control->TwainSetHideUI(true);
    int32_t first = control->TwainAcquireToImageID();
    ASSERT_NE(first, 0) << control->GetStat();
    int32_t second = control->TwainAcquireToImageID();
    ASSERT_NE(second, 0);
    EXPECT_EQ(control->GetNativeImage(), second);
    EXPECT_EQ(control->CloseImage(first), 0);
    EXPECT_EQ(control->GetNativeImage(), second);
    // A4 portrait at the default 100 dpi.
    EXPECT_EQ(control->GetWidth(), 827);
    EXPECT_EQ(control->GetHeight(), 1169);
    EXPECT_EQ(control->GetHorizontalResolution(), 100.0f);
    EXPECT_EQ(control->GetImageFormat(), "Memory BMP");
    EXPECT_EQ(control->CloseImage(second), 0);
    EXPECT_EQ(control->GetNativeImage(), 0);
}

TEST_F(VirtualScannerTest, ClosingAnAcquiredImageFreesItsBlock) {
    size_t before = win::live_global_blocks();
    int32_t id = control->TwainAcquireToImageID();
    ASSERT_NE(id, 0);
    EXPECT_EQ(win::live_global_blocks(), before + 1) << "the image owns the DIB block";
    control->CloseImage(id);
    EXPECT_EQ(win::live_global_blocks(), before);
}

TEST_F(VirtualScannerTest, AcquireToDibLeavesTheNativeImage) {
    GpImage blank = 0;
    modGdiplus::CreateBlankImage(3, 3, PixelFormat24bppRGB, blank);
    control->SetNativeImage(int32_t(blank));
    int32_t block = control->TwainAcquireToDib();
    ASSERT_NE(block, 0);
    EXPECT_EQ(control->GetStat(), 0);
    EXPECT_EQ(control->GetNativeImage(), int32_t(blank));
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(HGLOBAL(block)));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 827);
    EXPECT_EQ(h->biHeight, 1169) << "bottom-up";
    EXPECT_EQ(h->biXPelsPerMeter, 3937);
    GlobalUnlock(HGLOBAL(block));
    EXPECT_EQ(GlobalFree(HGLOBAL(block)), 0u) << "the host owns the block";
}

TEST_F(VirtualScannerTest, CancelledScanKeepsTheNativeImage) {
    configure("cancel_at_page = 1\n");
    GpImage blank = 0;
    modGdiplus::CreateBlankImage(3, 3, PixelFormat24bppRGB, blank);
    control->SetNativeImage(int32_t(blank));
    EXPECT_EQ(control->TwainAcquireToImageID(), 0);
    EXPECT_EQ(control->GetStat(), 33);
    EXPECT_EQ(control->GetNativeImage(), int32_t(blank));
    EXPECT_TRUE(control->TwainUserClosedSource());
}

TEST_F(VirtualScannerTest, FailedTransferIs34) {
    configure("fail_at_page = 1\n");
    EXPECT_EQ(control->TwainAcquireToImageID(), 0);
    EXPECT_EQ(control->GetStat(), 34);
    EXPECT_TRUE(control->TwainLastXferFail());
}

TEST_F(VirtualScannerTest, PaperJamIsATransferFailureWithItsConditionCode) {
    configure("jam_at_page = 1\n");
    EXPECT_EQ(control->TwainAcquireToImageID(), 0);
    EXPECT_EQ(control->GetStat(), 34);
    EXPECT_EQ(control->TwainGetLastConditionCode(), 20);  // TWCC_PAPERJAM
}

TEST_F(VirtualScannerTest, EmptyFeederEndsTheBatch) {
    configure("pages = 2\n");
    ASSERT_TRUE(control->TwainOpenSource("Virtual Scanner"));
    ASSERT_TRUE(control->TwainSelectFeeder(true));
    control->TwainDisableAutoSourceClose(false);
    std::vector<int32_t> pages;
    while (control->TwainIsFeederLoaded()) {
        int32_t id = control->TwainAcquireToImageID();
        ASSERT_NE(id, 0) << control->GetStat();
        pages.push_back(id);
        ASSERT_LE(pages.size(), 3u);
    }
    EXPECT_EQ(pages.size(), 2u);
    EXPECT_EQ(control->TwainAcquireToImageID(), 0) << "nothing left to feed";
    EXPECT_NE(control->GetStat(), 0);
    for (int32_t id : pages) EXPECT_EQ(width_of(id), 827);
    for (int32_t id : pages) control->CloseImage(id);
}

TEST_F(VirtualScannerTest, TransferOptionsReachTheEngine) {
    control->TwainSetHideUI(true);
    EXPECT_TRUE(control->TwainGetHideUI());
    control->TwainSetHideUI(false);
    EXPECT_FALSE(control->TwainGetHideUI());
    EXPECT_EQ(control->TwainGetState(), 1);
    control->TwainAcquireToImageID();
    EXPECT_EQ(control->TwainGetState(), 1) << "automatic source closing closes what it opened";
    control->CloseImage(control->GetNativeImage());
}

TEST_F(VirtualScannerTest, ClosedPagesIdentifiersNeverComeBack) {
    configure("page_size = 10 x 10\n");
    control->TwainSetHideUI(true);
    std::set<int32_t> seen;
    int32_t first = 0;
    size_t blocks = win::live_global_blocks();
    // One page at a time, as a batch that saves and closes each page does; identifiers used
    // to come back after 256 pages.
    for (int cycle = 0; cycle < 600; ++cycle) {
        int32_t id = control->TwainAcquireToImageID();
        ASSERT_NE(id, 0) << "cycle " << cycle << ": " << control->GetStat();
        ASSERT_TRUE(seen.insert(id).second) << "identifier repeated at cycle " << cycle;
        if (cycle == 0) first = id;
        ASSERT_EQ(control->CloseImage(id), 0);
    }
    EXPECT_EQ(width_of(first), 0) << "a closed page's identifier reaches nothing";
    control->SetNativeImage(first);
    EXPECT_EQ(control->GetWidth(), 0);
    EXPECT_EQ(control->GetStat(), Gdiplus::InvalidParameter);
    EXPECT_EQ(modGdiplus::ImageCount(), 0u) << "closed records leave the table";
    EXPECT_EQ(win::live_global_blocks(), blocks);
}
