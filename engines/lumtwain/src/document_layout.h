// The content of the virtual scanner's document pages: a title, paragraphs of text, a table
// and a photo-like block, laid out in millimetres on the sheet and drawn as ink coverage at
// the scan's resolution. The same seed and page number give the same page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumtwain {

// Ink over the sheet: 0 bare paper .. 255 full ink, rows top-down.
struct InkCanvas {
    int width = 0, height = 0;  // pixels
    double px_per_mm_x = 0, px_per_mm_y = 0;
    std::vector<uint8_t> coverage;
    uint8_t at(int x, int y) const {
        return x < 0 || y < 0 || x >= width || y >= height
                   ? 0
                   : coverage[size_t(y) * size_t(width) + size_t(x)];
    }
};

struct PhotoBlock {
    double left = 0, top = 0, right = 0, bottom = 0;  // millimetres on the sheet
};

struct DocumentContent {
    InkCanvas ink;
    std::vector<PhotoBlock> photos;
};

// An empty result (width 0) when the canvas would not fit in memory limits.
DocumentContent DrawDocument(double width_mm, double height_mm, double dpi_x, double dpi_y,
                             uint32_t seed, int page);

// A small, fast, deterministic generator (splitmix64).
class Rng {
  public:
    explicit Rng(uint64_t seed) : m_state(seed) {}
    uint64_t next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return n > 0 ? int(next() % uint64_t(n)) : 0; }
    double unit() { return double(next() >> 11) / double(uint64_t(1) << 53); }

  private:
    uint64_t m_state;
};

}  // namespace lumtwain
