// States, the source list, opening sources and the outcomes of acquisitions.
#include "codes.h"
#include "engine_fixture.h"

namespace lumtwain::test {
namespace {

std::vector<std::string> ListSources() {
    std::vector<std::string> names;
    for (std::string n = LUMTWAIN_GetFirstSourceName(); !n.empty();
         n = LUMTWAIN_GetNextSourceName())
        names.push_back(n);
    return names;
}

using SessionTest = EngineTest;

TEST_F(SessionTest, StatesFollowTheManagerAndTheSource) {
    EXPECT_GE(LUMTWAIN_GetVersion(), 405);
    EXPECT_EQ(LUMTWAIN_State(), 1);
    EXPECT_EQ(LUMTWAIN_CloseSourceManager(0), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccSeqError);
    EXPECT_EQ(LUMTWAIN_OpenSourceManager(0), 1);
    EXPECT_EQ(LUMTWAIN_State(), 3);
    EXPECT_EQ(LUMTWAIN_OpenDefaultSource(), 1);
    EXPECT_EQ(LUMTWAIN_State(), 4);
    EXPECT_EQ(LUMTWAIN_OpenDefaultSource(), 0) << "one source at a time";
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccSeqError);
    EXPECT_EQ(LUMTWAIN_DisableSource(), 1);
    EXPECT_EQ(LUMTWAIN_CloseSource(), 1);
    EXPECT_EQ(LUMTWAIN_State(), 3);
    EXPECT_EQ(LUMTWAIN_CloseSource(), 0);
    EXPECT_EQ(LUMTWAIN_CloseSourceManager(0), 1);
    EXPECT_EQ(LUMTWAIN_State(), 2);
    EXPECT_EQ(LUMTWAIN_UnloadSourceManager(), 1);
    EXPECT_EQ(LUMTWAIN_State(), 1);
}

TEST_F(SessionTest, ClosingTheManagerClosesItsSource) {
    OpenVirtual();
    EXPECT_EQ(LUMTWAIN_CloseSourceManager(0), 1);
    EXPECT_EQ(LUMTWAIN_State(), 2);
    EXPECT_STREQ(LUMTWAIN_GetCurrentSourceName(), "");
}

TEST_F(SessionTest, SourceSetupNeedsAnOpenSource) {
    EXPECT_EQ(LUMTWAIN_SourceSetup(0), 0);
    OpenVirtual();
    EXPECT_EQ(LUMTWAIN_SourceSetup(0), 1);
}

TEST_F(SessionTest, ListsVirtualSourcesInAStableOrder) {
    Configure("extra_sources = 2\n");
    EXPECT_STREQ(LUMTWAIN_GetFirstSourceName(), "") << "the list needs the manager open";
    LUMTWAIN_OpenSourceManager(0);
    std::vector<std::string> names = ListSources();
    EXPECT_EQ(names, (std::vector<std::string>{"Virtual Scanner", "Virtual Scanner 2",
                                               "Virtual Scanner 3"}));
    EXPECT_EQ(ListSources(), names);
    EXPECT_EQ(LUMTWAIN_GetLastResultCode(), kTwrcEndOfList);
    EXPECT_EQ(LUMTWAIN_State(), 3);
}

TEST_F(SessionTest, OpensByNameAndRefusesUnknownNames) {
    Configure("extra_sources = 1\n");
    EXPECT_EQ(LUMTWAIN_OpenSource("No Such Scanner"), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccNoDs);
    EXPECT_EQ(LUMTWAIN_State(), 3);
    EXPECT_EQ(LUMTWAIN_OpenSource("Virtual Scanner 2"), 1);
    EXPECT_STREQ(LUMTWAIN_GetCurrentSourceName(), "Virtual Scanner 2");
}

TEST_F(SessionTest, DefaultSourceIsTheVirtualScannerUnlessConfigured) {
    EXPECT_STREQ(LUMTWAIN_GetDefaultSourceName(), "Virtual Scanner");
    Configure("extra_sources = 1\ndefault_source = Virtual Scanner 2\n");
    LUMTWAIN_OpenSourceManager(0);
    EXPECT_STREQ(LUMTWAIN_GetDefaultSourceName(), "Virtual Scanner 2");
    EXPECT_EQ(LUMTWAIN_OpenDefaultSource(), 1);
    EXPECT_STREQ(LUMTWAIN_GetCurrentSourceName(), "Virtual Scanner 2");
}

TEST_F(SessionTest, HeadlessSelectionDialog) {
    Configure("extra_sources = 1\nselect_source = Virtual Scanner 2\n");
    EXPECT_EQ(LUMTWAIN_SelectImageSource(0), 1);
    EXPECT_EQ(LUMTWAIN_State(), 1) << "selection leaves the state as it was";
    LUMTWAIN_OpenSourceManager(0);
    Configure("select_source = cancel\n");
    EXPECT_EQ(LUMTWAIN_SelectImageSource(0), 0);
    EXPECT_EQ(LUMTWAIN_GetLastResultCode(), kTwrcCancel);
}

// ---- Acquisition -------------------------------------------------------------------------

TEST_F(SessionTest, AcquireFromState1ClosesWhatItOpened) {
    std::vector<uint8_t> dib = Acquire();
    ASSERT_FALSE(dib.empty());
    EXPECT_EQ(LUMTWAIN_State(), 1);
    EXPECT_EQ(LUMTWAIN_UserClosedSource(), 0);
    EXPECT_EQ(LUMTWAIN_XferFail(), 0);
    EXPECT_EQ(win::live_global_blocks(), 0u);
}

TEST_F(SessionTest, AcquireKeepsASourceThatWasOpen) {
    OpenVirtual();
    ASSERT_FALSE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_State(), 4);
}

TEST_F(SessionTest, WithoutAutoCloseTheSourceStaysOpen) {
    LUMTWAIN_AutoSourceClose(0);
    ASSERT_FALSE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_State(), 4);
    EXPECT_STREQ(LUMTWAIN_GetCurrentSourceName(), "Virtual Scanner");
}

TEST_F(SessionTest, FlatbedPagesCountUp) {
    for (int page = 1; page <= 3; ++page) {
        auto mark = Mark(Acquire());
        ASSERT_TRUE(mark);
        EXPECT_EQ(*mark, (PageMark{page, 0}));
    }
}

TEST_F(SessionTest, FeederRunsEmpty) {
    Configure("pages = 2\n");
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
    for (int page = 1; page <= 2; ++page) {
        LUMTWAIN_LoadCapValuesN(kCapFeederLoaded, 2);
        EXPECT_EQ(LUMTWAIN_GetLastCapValueCurrent(), 1.0);
        EXPECT_EQ(Mark(Acquire()), (PageMark{page, 0}));
    }
    LUMTWAIN_LoadCapValuesN(kCapFeederLoaded, 2);
    EXPECT_EQ(LUMTWAIN_GetLastCapValueCurrent(), 0.0);
    EXPECT_TRUE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccNoMedia);
    EXPECT_EQ(LUMTWAIN_UserClosedSource(), 0);
    EXPECT_EQ(LUMTWAIN_XferFail(), 0);
}

TEST_F(SessionTest, DuplexGivesFrontThenBack) {
    Configure("pages = 2\n");
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
    ASSERT_EQ(LUMTWAIN_EnableDuplex(1), 1);
    EXPECT_EQ(LUMTWAIN_GetDuplexMode(), kTwdx1Pass);
    std::vector<PageMark> got;
    for (int i = 0; i < 5; ++i)
        if (auto m = Mark(Acquire())) got.push_back(*m);
    EXPECT_EQ(got, (std::vector<PageMark>{{1, 0}, {2, 1}, {3, 0}, {4, 1}}));
}

TEST_F(SessionTest, PaperOutlastsClosingTheSource) {
    Configure("pages = 3\n");
    for (int page = 1; page <= 3; ++page) {
        OpenVirtual();
        ASSERT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
        EXPECT_EQ(Mark(Acquire()), (PageMark{page, 0}));
        LUMTWAIN_CloseSourceManager(0);
    }
}

TEST_F(SessionTest, MultiTransferKeepsTheSourceEnabledUntilTheLastPage) {
    Configure("pages = 3\n");
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
    LUMTWAIN_SetMultiTransfer(1);
    ASSERT_FALSE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_State(), 6);
    EXPECT_EQ(LUMTWAIN_SetCapOneValue(kIcapPixelType, kTwtyUint16, kTwptGray), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccSeqError);
    EXPECT_EQ(LUMTWAIN_GetPixelType(), kTwptRgb) << "reads still answer while transferring";
    ASSERT_FALSE(Acquire().empty());
    ASSERT_FALSE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_State(), 4);
}

TEST_F(SessionTest, XferCountLimitsABatch) {
    Configure("pages = 5\n");
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
    EXPECT_EQ(LUMTWAIN_NegotiateXferCount(0), 0);
    EXPECT_EQ(LUMTWAIN_NegotiateXferCount(2), 1);
    LUMTWAIN_SetMultiTransfer(1);
    ASSERT_FALSE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_State(), 6);
    ASSERT_FALSE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_State(), 4);
}

TEST_F(SessionTest, AbortAllPendingEndsTheBatch) {
    Configure("pages = 3\n");
    OpenVirtual();
    ASSERT_EQ(LUMTWAIN_SetCapOneValue(kCapFeederEnabled, kTwtyBool, 1), 1);
    LUMTWAIN_SetMultiTransfer(1);
    ASSERT_FALSE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_AbortAllPendingXfers(), 1);
    EXPECT_EQ(LUMTWAIN_State(), 4);
    EXPECT_EQ(LUMTWAIN_EndXfer(), 0);
    EXPECT_EQ(Mark(Acquire()), (PageMark{2, 0})) << "aborted transfers keep their paper";
}

TEST_F(SessionTest, UserClosingTheInterface) {
    Configure("ui = close\n");
    EXPECT_TRUE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_UserClosedSource(), 1);
    EXPECT_EQ(LUMTWAIN_XferFail(), 0);
    EXPECT_EQ(LUMTWAIN_State(), 1);
    LUMTWAIN_SetHideUI(1);
    EXPECT_EQ(LUMTWAIN_GetHideUI(), 1);
    EXPECT_FALSE(Acquire().empty()) << "a hidden interface cannot be closed";
    EXPECT_EQ(LUMTWAIN_UserClosedSource(), 0);
}

struct EventCase {
    const char* name;
    const char* config;
    int user_closed, xfer_fail, condition;
    int next_page;  // the page that the following acquisition brings
};

class EventTest : public EngineTest, public ::testing::WithParamInterface<EventCase> {};

TEST_P(EventTest, EventAtPage2) {
    const EventCase& c = GetParam();
    Configure(c.config);
    ASSERT_EQ(Mark(Acquire()), (PageMark{1, 0}));
    EXPECT_TRUE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_UserClosedSource(), c.user_closed);
    EXPECT_EQ(LUMTWAIN_XferFail(), c.xfer_fail);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), c.condition);
    EXPECT_EQ(LUMTWAIN_State(), 1);
    EXPECT_EQ(Mark(Acquire()), (PageMark{c.next_page, 0})) << "the event fires once";
    EXPECT_EQ(win::live_global_blocks(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Events, EventTest,
    ::testing::Values(EventCase{"cancel", "cancel_at_page = 2\n", 1, 0, kTwccSuccess, 2},
                      EventCase{"fail", "fail_at_page = 2\n", 0, 1, kTwccOperationError, 3},
                      EventCase{"jam", "jam_at_page = 2\n", 0, 1, kTwccPaperJam, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, OutcomeIsClearedByTheNextAcquisition) {
    Configure("fail_at_page = 1\n");
    EXPECT_TRUE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_XferFail(), 1);
    EXPECT_FALSE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_XferFail(), 0);
}

TEST_F(SessionTest, BlankPagesCarryNoMarker) {
    Configure("blank_pages = 1\n");
    std::vector<uint8_t> dib = Acquire();
    ASSERT_FALSE(dib.empty());
    EXPECT_FALSE(Mark(dib));
    auto view = ParseDib(dib.data(), dib.size());
    ASSERT_TRUE(view);
    for (int y = 0; y < view->height(); y += 97)
        for (int x = 0; x < view->width(); x += 89) ASSERT_EQ(view->grey(x, y), 255);
    EXPECT_TRUE(Mark(Acquire()));
}

TEST_F(SessionTest, FreeNativeRefusesUnknownBlocks) {
    EXPECT_EQ(LUMTWAIN_FreeNative(0), 0);
    EXPECT_EQ(LUMTWAIN_FreeNative(0x12345), 0);
    uint32_t block = LUMTWAIN_AcquireNative(0);
    ASSERT_NE(block, 0u);
    EXPECT_EQ(LUMTWAIN_FreeNative(block), 1);
    EXPECT_EQ(LUMTWAIN_FreeNative(block), 0) << "a stale handle";
}

}  // namespace
}  // namespace lumtwain::test
