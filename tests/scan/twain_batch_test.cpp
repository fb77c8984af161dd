// Feeder batches through the control against the virtual scanner: page order, duplex sides,
// transfer counts, pages fed from files, and what a cancel, failure or jam partway through a
// batch leaves behind. Pages are identified by the marker the virtual scanner draws.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "scan/virtual_scanner.h"

namespace {

using Mark = std::pair<int32_t, int32_t>;  // page number, side (0 front, 1 back)

constexpr int32_t kTwccOperationError = 5, kTwccPaperJam = 20, kTwccNoMedia = 29;

// The engine's marker decoder, loaded from the same library the control uses.
class MarkDecoder {
  public:
    MarkDecoder() {
        m_lib = dlopen(lumtest::real_engine_path().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (m_lib) m_decode = reinterpret_cast<Fn>(dlsym(m_lib, "LUMTWAIN_TestDecodePage"));
    }
    ~MarkDecoder() {
        if (m_lib) dlclose(m_lib);
    }
    MarkDecoder(const MarkDecoder&) = delete;
    MarkDecoder& operator=(const MarkDecoder&) = delete;
    bool ok() const { return m_decode != nullptr; }
    std::optional<Mark> operator()(uint32_t block) const {
        int32_t page = 0, side = 0;
        if (!m_decode || m_decode(block, &page, &side) != 1) return std::nullopt;
        return Mark{page, side};
    }

  private:
    using Fn = int32_t (*)(uint32_t, int32_t*, int32_t*);
    void* m_lib = nullptr;
    Fn m_decode = nullptr;
};

// The DIB block an acquired image keeps under it, 0 when the image is not in the table.
uint32_t block_of(int32_t id) {
    for (const modGdiplus::ImageRecord& r : modGdiplus::ImageTable())
        if (int32_t(r.image) == id) return uint32_t(r.dibMemory);
    return 0;
}

size_t live_images() {
    return modGdiplus::ImageCount();
}

// A 24-bit BMP whose every pixel is (r, g, b); `ppm` 0 leaves the resolution out.
void write_bmp(const std::string& path, int w, int h, uint8_t r, uint8_t g, uint8_t b,
               int32_t ppm) {
    const uint32_t stride = uint32_t(w * 3 + 3) / 4 * 4, size = stride * uint32_t(h);
    std::vector<uint8_t> file(54 + size, 0);
    auto put16 = [&](size_t at, uint32_t v) {
        file[at] = uint8_t(v), file[at + 1] = uint8_t(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    put16(0, 0x4D42);
    put32(2, uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    put16(26, 1);
    put16(28, 24);
    put32(34, size);
    put32(38, uint32_t(ppm));
    put32(42, uint32_t(ppm));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &file[54 + size_t(y) * stride + 3 * size_t(x)];
            p[0] = b, p[1] = g, p[2] = r;
        }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

class TwainBatch : public VirtualScannerTest {
  protected:
    void SetUp() override {
        VirtualScannerTest::SetUp();
        ASSERT_TRUE(decode.ok()) << "LUMTWAIN_TestDecodePage missing";
    }
    void TearDown() override {
        for (int32_t id : m_images) control->CloseImage(id);
        VirtualScannerTest::TearDown();
    }
    // Opens the virtual scanner with its feeder selected; `batch` runs several pages per
    // acquisition session (multi-transfer, automatic feeding, every page wanted).
    void open_feeder(bool batch = false) {
        ASSERT_TRUE(control->TwainOpenSource("Virtual Scanner"));
        ASSERT_TRUE(control->TwainSelectFeeder(true));
        ASSERT_TRUE(control->TwainIsFeederSelected());
        if (batch) {
            control->TwainSetMultiTransfer(true);
            ASSERT_TRUE(control->TwainSetAutoFeed(true));
            ASSERT_TRUE(control->TwainSetXferCount(-1));
        }
    }
    // One page through TwainAcquireToDib: its marker (nullopt when none), the block freed.
    std::optional<Mark> acquire_mark() {
        int32_t block = control->TwainAcquireToDib();
        if (block == 0) return std::nullopt;
        std::optional<Mark> m = decode(uint32_t(block));
        EXPECT_EQ(GlobalFree(HGLOBAL(block)), 0u);
        return m ? m : Mark{0, 0};
    }
    // Acquires until the feeder reports empty (bounded), returning every marker.
    std::vector<Mark> drain(size_t limit = 64) {
        std::vector<Mark> marks;
        while (control->TwainIsFeederLoaded() && marks.size() < limit) {
            std::optional<Mark> m = acquire_mark();
            EXPECT_TRUE(m) << "status " << control->GetStat() << " after " << marks.size();
            if (!m) break;
            marks.push_back(*m);
        }
        return marks;
    }
    int32_t acquire_image() {
        int32_t id = control->TwainAcquireToImageID();
        if (id != 0) m_images.push_back(id);
        return id;
    }
    void close_image(int32_t id) {
        EXPECT_EQ(control->CloseImage(id), 0);
        m_images.erase(std::remove(m_images.begin(), m_images.end(), id), m_images.end());
    }
    // After the feeder ran out: nothing acquired, neither cancel nor failure.
    void expect_empty_feeder() {
        EXPECT_FALSE(control->TwainIsFeederLoaded());
        EXPECT_EQ(control->TwainAcquireToDib(), 0);
        EXPECT_EQ(control->GetStat(), LumTwainError);
        EXPECT_EQ(control->TwainGetLastConditionCode(), kTwccNoMedia);
        EXPECT_FALSE(control->TwainUserClosedSource());
        EXPECT_FALSE(control->TwainLastXferFail());
        EXPECT_EQ(control->TwainGetState(), 4) << "the source the host opened stays open";
    }

    // What each page of a feeder of image files must give, at 150 dpi negotiated.
    struct FilePage {
        int32_t w, h;
        float dpi;
        ARGB last_pixel;
    };
    void expect_file_pages(const std::vector<std::string>& files,
                           const std::vector<FilePage>& want) {
        std::string list;
        for (const std::string& f : files) list += (list.empty() ? "" : ":") + f;
        configure("files = " + list + "\n");
        open_feeder();
        ASSERT_TRUE(control->TwainSetCurrentResolution(150));
        for (const FilePage& w : want) {
            ASSERT_TRUE(control->TwainIsFeederLoaded());
            int32_t id = acquire_image();
            ASSERT_NE(id, 0) << control->GetStat();
            EXPECT_EQ(control->GetWidth(), w.w);
            EXPECT_EQ(control->GetHeight(), w.h);
            EXPECT_NEAR(control->GetHorizontalResolution(), w.dpi, 0.05f);
            ARGB px = 0;
            ASSERT_EQ(modGdiplus::GetPixel(GpImage(id), w.w - 1, w.h - 1, px), 0);
            EXPECT_EQ(px, w.last_pixel);
            EXPECT_FALSE(decode(block_of(id))) << "a file's page carries no marker";
        }
        expect_empty_feeder();
    }

    MarkDecoder decode;
    std::vector<int32_t> m_images;
};

std::vector<Mark> fronts(int from, int to) {
    std::vector<Mark> v;
    for (int p = from; p <= to; ++p) v.push_back({p, 0});
    return v;
}

// ---- Order and sides ---------------------------------------------------------------------

TEST_F(TwainBatch, FeederPagesComeInOrderUntilItIsEmpty) {
    configure("pages = 5\n");
    open_feeder();
    EXPECT_EQ(drain(), fronts(1, 5));
    expect_empty_feeder();
}

TEST_F(TwainBatch, MultiTransferBatchKeepsTheSourceReadyBetweenPages) {
    configure("pages = 4\n");
    open_feeder(true);
    for (int page = 1; page <= 4; ++page) {
        EXPECT_EQ(acquire_mark(), Mark(page, 0));
        EXPECT_EQ(control->TwainGetState(), page < 4 ? 6 : 4) << "page " << page;
    }
    expect_empty_feeder();
}

TEST_F(TwainBatch, DuplexGivesEachSheetsFrontThenBack) {
    configure("pages = 3\n");
    open_feeder(true);
    EXPECT_EQ(control->TwainGetDuplexMode(), 1) << "one-pass duplex unit";
    ASSERT_TRUE(control->TwainEnableDuplex(true));
    EXPECT_TRUE(control->TwainIsDuplexEnabled());
    // Page numbers count every image, backs included.
    EXPECT_EQ(drain(), (std::vector<Mark>{{1, 0}, {2, 1}, {3, 0}, {4, 1}, {5, 0}, {6, 1}}));
    expect_empty_feeder();
}

TEST_F(TwainBatch, DuplexSwitchedOffHalfwayFeedsTheNextSheet) {
    configure("pages = 3\n");
    open_feeder();
    ASSERT_TRUE(control->TwainEnableDuplex(true));
    EXPECT_EQ(acquire_mark(), Mark(1, 0));
    EXPECT_EQ(acquire_mark(), Mark(2, 1));
    ASSERT_TRUE(control->TwainEnableDuplex(false));
    EXPECT_FALSE(control->TwainIsDuplexEnabled());
    EXPECT_EQ(drain(), (std::vector<Mark>{{3, 0}, {4, 0}}));
}

TEST_F(TwainBatch, DuplexNeedsTheFeeder) {
    configure("pages = 3\n");
    ASSERT_TRUE(control->TwainOpenSource("Virtual Scanner"));
    ASSERT_TRUE(control->TwainEnableDuplex(true));
    EXPECT_EQ(acquire_mark(), Mark(1, 0));
    EXPECT_EQ(acquire_mark(), Mark(2, 0)) << "the flatbed has no back";
}

TEST_F(TwainBatch, WithoutADuplexUnitDuplexIsRefused) {
    configure("pages = 2\nduplex = no\n");
    open_feeder();
    EXPECT_EQ(control->TwainGetDuplexMode(), 0);
    EXPECT_FALSE(control->TwainEnableDuplex(true));
    EXPECT_FALSE(control->TwainIsDuplexEnabled());
    EXPECT_EQ(drain(), fronts(1, 2));
}

// ---- Transfer counts ---------------------------------------------------------------------

TEST_F(TwainBatch, XferCountSplitsTheFeederIntoBatches) {
    configure("pages = 7\n");
    open_feeder(true);
    ASSERT_TRUE(control->TwainSetXferCount(3));
    std::vector<Mark> marks;
    std::vector<int32_t> states;
    while (control->TwainIsFeederLoaded() && marks.size() < 10) {
        std::optional<Mark> m = acquire_mark();
        ASSERT_TRUE(m) << control->GetStat();
        marks.push_back(*m);
        states.push_back(control->TwainGetState());
    }
    EXPECT_EQ(marks, fronts(1, 7));
    EXPECT_EQ(states, (std::vector<int32_t>{6, 6, 4, 6, 6, 4, 4}))
        << "a batch ends after 3 pages; the last batch when the feeder runs out";
}

TEST_F(TwainBatch, XferCountIsRefusedMidBatchAndForZero) {
    configure("pages = 5\n");
    open_feeder(true);
    EXPECT_FALSE(control->TwainSetXferCount(0));
    EXPECT_FALSE(control->TwainSetXferCount(-2));
    ASSERT_TRUE(control->TwainSetXferCount(2));
    EXPECT_EQ(acquire_mark(), Mark(1, 0));
    ASSERT_EQ(control->TwainGetState(), 6);
    EXPECT_FALSE(control->TwainSetXferCount(5)) << "negotiation waits for state 4";
    EXPECT_EQ(control->TwainGetLastConditionCode(), 11);  // TWCC_SEQERROR
    EXPECT_EQ(acquire_mark(), Mark(2, 0));
    EXPECT_EQ(control->TwainGetState(), 4) << "the count of 2 still holds";
}

TEST_F(TwainBatch, XferCountWithoutMultiTransferTakesOnePagePerCall) {
    configure("pages = 4\n");
    open_feeder();
    ASSERT_TRUE(control->TwainSetAutoFeed(true));
    ASSERT_TRUE(control->TwainSetXferCount(3));
    EXPECT_EQ(acquire_mark(), Mark(1, 0));
    EXPECT_EQ(control->TwainGetState(), 4);
    EXPECT_EQ(acquire_mark(), Mark(2, 0));
    EXPECT_EQ(control->TwainGetState(), 4);
}

TEST_F(TwainBatch, EndingAllTransfersLeavesTheRestInTheFeeder) {
    configure("pages = 5\n");
    open_feeder(true);
    EXPECT_EQ(acquire_mark(), Mark(1, 0));
    EXPECT_EQ(acquire_mark(), Mark(2, 0));
    ASSERT_EQ(control->TwainGetState(), 6);
    EXPECT_TRUE(control->TwainEndAllXfers());
    EXPECT_EQ(control->TwainGetState(), 4);
    EXPECT_TRUE(control->TwainIsFeederLoaded());
    EXPECT_EQ(drain(), fronts(3, 5));
}

// ---- Page contents -----------------------------------------------------------------------

TEST_F(TwainBatch, BlankPagesAreWhiteWithoutAMarkerAndStillCount) {
    configure("pages = 4\nblank_pages = 2, 3\n");
    open_feeder(true);
    ASSERT_TRUE(control->TwainSetCurrentResolution(75));
    ASSERT_TRUE(control->TwainSetCurrentPixelType(1));  // grey
    EXPECT_EQ(acquire_mark(), Mark(1, 0));
    for (int page = 2; page <= 3; ++page) {
        int32_t block = control->TwainAcquireToDib();
        ASSERT_NE(block, 0) << "a blank page is still a page";
        EXPECT_FALSE(decode(uint32_t(block))) << "page " << page;
        auto* p = static_cast<const uint8_t*>(GlobalLock(HGLOBAL(block)));
        ASSERT_NE(p, nullptr);
        BITMAPINFOHEADER h;
        std::memcpy(&h, p, sizeof h);
        ASSERT_EQ(h.biBitCount, 8);
        const uint8_t* palette = p + h.biSize;
        const uint8_t* bits = palette + 4 * (h.biClrUsed ? h.biClrUsed : 256);
        size_t stride = (size_t(h.biWidth) + 3) / 4 * 4, not_white = 0;
        for (int y = 0; y < h.biHeight; ++y)
            for (int x = 0; x < h.biWidth; ++x)
                not_white += palette[4 * bits[size_t(y) * stride + size_t(x)]] != 255;
        EXPECT_EQ(not_white, 0u) << "page " << page;
        GlobalUnlock(HGLOBAL(block));
        GlobalFree(HGLOBAL(block));
    }
    EXPECT_EQ(acquire_mark(), Mark(4, 0)) << "blank pages keep their numbers";
}

TEST_F(TwainBatch, FilesFeedTheirOwnPixelsSizeAndResolution) {
    const std::string a = m_dir.file("a.bmp"), b = m_dir.file("b.bmp"), c = m_dir.file("c.bmp");
    write_bmp(a, 7, 5, 200, 10, 20, 7874);  // 200 dpi
    write_bmp(b, 3, 9, 0, 250, 30, 0);      // no resolution: the negotiated one
    write_bmp(c, 4, 4, 60, 70, 80, 11811);  // 300 dpi
    expect_file_pages(
        {a, b, c},
        {{7, 5, 200.0f, 0xFFC80A14}, {3, 9, 150.0f, 0xFF00FA1E}, {4, 4, 300.0f, 0xFF3C4650}});
}

// A 24-bit PCX (three planes) whose every pixel is (r, g, b), at `dpi`.
void write_pcx(const std::string& path, int w, int h, const uint8_t rgb[3], int dpi) {
    const int bpl = (w + 1) / 2 * 2;
    std::vector<uint8_t> file(128, 0);
    auto put16 = [&](size_t at, int v) { file[at] = uint8_t(v), file[at + 1] = uint8_t(v >> 8); };
    file[0] = 10, file[1] = 5, file[2] = 1, file[3] = 8;
    put16(8, w - 1), put16(10, h - 1), put16(12, dpi), put16(14, dpi);
    file[65] = 3, put16(66, bpl), put16(68, 1);
    for (int y = 0; y < h; ++y)
        for (int plane = 0; plane < 3; ++plane)
            for (int x = 0; x < bpl; ++x) {
                uint8_t v = x < w ? rgb[plane] : 0;
                if (v >= 0xC0) file.push_back(0xC1);
                file.push_back(v);
            }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(file.data(), 1, file.size(), f), file.size());
    std::fclose(f);
}

void write_text(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
    std::fclose(f);
}

TEST_F(TwainBatch, PnmAndPcxFilesFeedTheScannerThroughTheControlsReaders) {
    const std::string ppm = m_dir.file("a.ppm"), pgm = m_dir.file("b.pgm"),
                      pcx = m_dir.file("c.pcx");
    std::string p6 = "P6\n# made by hand\n3 2\n15\n";
    for (int i = 0; i < 6; ++i) p6 += std::string("\x0F\x00\x07", 3);
    write_text(ppm, p6);
    write_text(pgm, "P2\n2 2 # grey\n255\n128 128\n128 128\n");
    const uint8_t rgb[3] = {200, 10, 20};
    write_pcx(pcx, 5, 3, rgb, 200);
    // Maxval 15 scales to 0..255; PNM keeps no resolution, PCX does.
    expect_file_pages(
        {ppm, pgm, pcx},
        {{3, 2, 150.0f, 0xFFFF0077}, {2, 2, 150.0f, 0xFF808080}, {5, 3, 200.0f, 0xFFC80A14}});
}

TEST_F(TwainBatch, APageSavedByTheControlCanBeFedBack) {
    configure("");
    ASSERT_TRUE(control->TwainOpenSource("Virtual Scanner"));
    ASSERT_TRUE(control->TwainSetCurrentResolution(75));
    int32_t first = acquire_image(), second = acquire_image();
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    ASSERT_EQ(control->GetNativeImage(), second);
    const std::string png = m_dir.file("page2.png"), bmp = m_dir.file("page1.bmp");
    ASSERT_EQ(control->SaveAsPng(png), 0);
    control->SetNativeImage(first);
    ASSERT_EQ(control->SaveAsBmp(bmp), 0);
    control->TwainCloseSource();
    // Fresh paper: a rendered page would be number 1 again, a fed file keeps its marker.
    configure("files = " + png + ":" + bmp + "\n");
    open_feeder();
    ASSERT_TRUE(control->TwainSetCurrentResolution(75));  // in case the files keep none
    EXPECT_EQ(acquire_mark(), Mark(2, 0));
    EXPECT_EQ(acquire_mark(), Mark(1, 0));
    expect_empty_feeder();
}

TEST_F(TwainBatch, SlowTransfersStillEndBeforeTheCallReturns) {
    configure("pages = 3\ndelay_ms = 40\n");
    open_feeder(true);
    for (int page = 1; page <= 3; ++page) {
        int32_t id = acquire_image();
        ASSERT_NE(id, 0);
        EXPECT_EQ(control->GetStat(), 0);
        EXPECT_NE(control->TwainGetState(), 7) << "no transfer left running";
        EXPECT_EQ(decode(block_of(id)), Mark(page, 0));
    }
    EXPECT_EQ(control->TwainGetState(), 4);
}

// ---- A fault at page k of a batch --------------------------------------------------------

struct FaultCase {
    const char* name;
    const char* key;
    int32_t status;
    bool user_closed, xfer_fail;
    int32_t condition;  // checked when not -1
    bool page_kept;     // the faulty page is scanned by the next acquisition
};

void PrintTo(const FaultCase& f, std::ostream* os) {
    *os << f.name;
}

class TwainBatchFault : public TwainBatch, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(TwainBatchFault, EarlierPagesStayLiveAndTheBatchCanGoOn) {
    const FaultCase& f = GetParam();
    configure("pages = 5\n" + std::string(f.key) + " = 3\n");
    open_feeder(true);
    size_t blocks = win::live_global_blocks();
    std::vector<int32_t> before;
    for (int i = 0; i < 2; ++i) before.push_back(acquire_image());
    ASSERT_NE(before[0], 0);
    ASSERT_NE(before[1], 0);
    int32_t native = control->GetNativeImage();

    EXPECT_EQ(control->TwainAcquireToImageID(), 0);
    EXPECT_EQ(control->GetStat(), f.status);
    EXPECT_EQ(control->TwainUserClosedSource(), f.user_closed);
    EXPECT_EQ(control->TwainLastXferFail(), f.xfer_fail);
    if (f.condition >= 0) {
        EXPECT_EQ(control->TwainGetLastConditionCode(), f.condition);
    }
    EXPECT_EQ(control->TwainGetState(), 4) << "the batch ended, the source stays open";
    EXPECT_EQ(control->GetNativeImage(), native);
    EXPECT_EQ(win::live_global_blocks(), blocks + 2) << "nothing left behind by the fault";

    // The earlier pages are intact and each closes on its own.
    EXPECT_EQ(decode(block_of(before[0])), Mark(1, 0));
    EXPECT_EQ(decode(block_of(before[1])), Mark(2, 0));
    close_image(before[0]);
    EXPECT_EQ(control->GetNativeImage(), before[1]);
    close_image(before[1]);
    EXPECT_EQ(control->GetNativeImage(), 0);
    EXPECT_EQ(win::live_global_blocks(), blocks);

    // The rest of the feeder: the faulty page again when its sheet stayed, else the next.
    std::vector<Mark> rest = drain();
    EXPECT_EQ(rest, f.page_kept ? fronts(3, 5) : fronts(4, 5));
    EXPECT_FALSE(control->TwainIsFeederLoaded());
}

INSTANTIATE_TEST_SUITE_P(Faults, TwainBatchFault,
                         ::testing::Values(FaultCase{"cancel", "cancel_at_page",
                                                     LumTwainTransferCanceled, true, false, -1,
                                                     true},
                                           FaultCase{"fail", "fail_at_page", LumTwainTransferError,
                                                     false, true, kTwccOperationError, false},
                                           FaultCase{"jam", "jam_at_page", LumTwainTransferError,
                                                     false, true, kTwccPaperJam, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TwainBatch, AFaultInASessionTheAcquisitionOpenedClosesEverything) {
    configure("pages = 5\njam_at_page = 2\n");
    ASSERT_EQ(control->TwainGetState(), 1);
    EXPECT_NE(acquire_image(), 0);
    EXPECT_EQ(control->TwainAcquireToImageID(), 0);
    EXPECT_EQ(control->GetStat(), LumTwainTransferError);
    EXPECT_EQ(control->TwainGetLastConditionCode(), kTwccPaperJam)
        << "the outcome survives closing the source";
    EXPECT_EQ(control->TwainGetState(), 1);
}

// ---- Resources over a batch --------------------------------------------------------------

TEST_F(TwainBatch, ABatchReturnsEveryBlockAndImageWhenClosed) {
    configure("pages = 20\n");
    open_feeder(true);
    ASSERT_TRUE(control->TwainSetCurrentResolution(150));
    const size_t blocks = win::live_global_blocks(), images = live_images();
    std::vector<int32_t> ids;
    while (control->TwainIsFeederLoaded() && ids.size() < 25) {
        int32_t id = control->TwainAcquireToImageID();
        ASSERT_NE(id, 0) << control->GetStat();
        ids.push_back(id);
        ASSERT_EQ(win::live_global_blocks(), blocks + ids.size()) << "one block per page";
        ASSERT_EQ(live_images(), images + ids.size());
    }
    ASSERT_EQ(ids.size(), 20u);
    EXPECT_EQ(control->GetWidth(), 1240) << "A4 at 150 dpi";
    EXPECT_EQ(control->TwainGetState(), 4);
    // Close out of order: every image owns only its own block.
    for (size_t i = 0; i < ids.size(); i += 2) EXPECT_EQ(control->CloseImage(ids[i]), 0);
    for (size_t i = 1; i < ids.size(); i += 2)
        EXPECT_EQ(decode(block_of(ids[i])), Mark(int32_t(i + 1), 0));
    for (size_t i = 1; i < ids.size(); i += 2) EXPECT_EQ(control->CloseImage(ids[i]), 0);
    EXPECT_EQ(win::live_global_blocks(), blocks);
    EXPECT_EQ(live_images(), images);
    EXPECT_EQ(control->GetNativeImage(), 0);
}

}  // namespace
