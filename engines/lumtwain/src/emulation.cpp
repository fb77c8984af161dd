// Border detection, deskew and rotation in software, in this order: the page is turned
// straight first (its dark border turns with it, so the crop afterwards finds straight
// edges), then cropped, then turned upright by quarter turns.
#include "emulation.h"

#include <cmath>
#include <optional>

#include "codes.h"
#include "dib_ops.h"
#include "page_analysis.h"
#include "lumtwainpro/host.h"

namespace lumtwain {
namespace {

// Analysis runs on about this resolution: enough for 0.1° and for the shape of text lines.
constexpr double kAnalysisDpi = 150;
constexpr double kLeastSkewDeg = 0.05;

// A DIB block held locked, unlocked and (unless released) freed when it goes.
class LockedDib {
  public:
    explicit LockedDib(HGLOBAL block) : m_block(block) {
        auto* p = static_cast<const uint8_t*>(GlobalLock(block));
        if (p) m_view = ParseDib(p, GlobalSize(block));
    }
    ~LockedDib() {
        if (!m_block) return;
        GlobalUnlock(m_block);
        if (m_owned) GlobalFree(m_block);
    }
    LockedDib(const LockedDib&) = delete;
    LockedDib& operator=(const LockedDib&) = delete;
    const std::optional<DibView>& view() const { return m_view; }
    // Keeps the block when the object goes.
    HGLOBAL release() {
        m_owned = false;
        return m_block;
    }

  private:
    HGLOBAL m_block;
    std::optional<DibView> m_view;
    bool m_owned = true;
};

// One step of the chain: `make` builds the next block from the current view, or nullopt to
// keep the current one. The current block is freed when a new one was made, or when making
// it failed (0, with `condition` set).
template <class F>
HGLOBAL step(HGLOBAL block, F make) {
    LockedDib dib(block);
    std::optional<HGLOBAL> next = dib.view() ? make(*dib.view()) : std::nullopt;
    if (!next) return dib.release();
    return *next;
}

}  // namespace

HGLOBAL ApplyEmulation(HGLOBAL block, const Emulation& e, int* condition) {
    if (!e.any()) return block;
    TextDirection text;
    bool border = false;
    {
        LockedDib dib(block);
        if (!dib.view()) return dib.release();
        GreyImage g = ReduceToGrey(*dib.view(), kAnalysisDpi);
        border = DarkEdges(g);
        PixelBox box = FindPageBox(g).value_or(PixelBox{0, 0, g.width, g.height});
        if (e.deskew || e.rotate) text = FindTextDirection(g, box, e.rotate);
        dib.release();
    }
    if (e.deskew && text.found && std::fabs(text.skew_deg) >= kLeastSkewDeg) {
        block = step(block, [&](const DibView& v) -> std::optional<HGLOBAL> {
            return RotateDib(v, text.skew_deg, border ? 0 : 255, condition);
        });
        if (!block) return 0;
    }
    if (e.border) {
        block = step(block, [&](const DibView& v) -> std::optional<HGLOBAL> {
            GreyImage g = ReduceToGrey(v, kAnalysisDpi);
            std::optional<PixelBox> coarse = FindPageBox(g);
            if (!coarse) return std::nullopt;
            PixelBox box = RefinePageBox(v, g, *coarse);
            if (box.width() == v.width() && box.height() == v.height()) return std::nullopt;
            return CropDib(v, box, condition);
        });
        if (!block) return 0;
    }
    if (e.rotate && text.found && text.quarter_turns != 0) {
        block = step(block, [&](const DibView& v) -> std::optional<HGLOBAL> {
            return TurnDib(v, text.quarter_turns, condition);
        });
    }
    return block;
}

}  // namespace lumtwain
