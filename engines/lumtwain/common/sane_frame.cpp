#include "sane_frame.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "codes.h"
#include "tone.h"

namespace lumtwain {
namespace {

bool is_colour_plane(SANE_Frame f) {
    return f == SANE_FRAME_RED || f == SANE_FRAME_GREEN || f == SANE_FRAME_BLUE;
}

// The smallest bytes_per_line that holds a line, 0 when it cannot be computed.
uint64_t min_bytes_per_line(const SANE_Parameters& p) {
    uint64_t channels = p.format == SANE_FRAME_RGB ? 3 : 1;
    return (uint64_t(p.pixels_per_line) * channels * uint64_t(p.depth) + 7) / 8;
}

// A sample of 1, 8 or 16 bits (host order), as 8 bits. 1-bit grey is 1 = black, 1-bit colour
// the opposite.
uint8_t sample(const uint8_t* row, int depth, int i, bool gray) {
    if (depth == 1) {
        bool bit = (row[i >> 3] >> (7 - (i & 7))) & 1;
        return (bit != gray) ? 255 : 0;
    }
    if (depth == 16) {
        uint16_t v;
        std::memcpy(&v, row + 2 * size_t(i), 2);
        return uint8_t(v >> 8);
    }
    return row[i];
}

int bits_for(int pixel_type) {
    return pixel_type == kTwptBw ? 1 : pixel_type == kTwptGray ? 8 : 24;
}

// Whole lines every plane holds, capped by the line count the backend announced.
int64_t whole_lines(const FrameSet& f) {
    const size_t bpl = size_t(f.params.bytes_per_line);
    int64_t lines = int64_t(f.planes[0].size() / bpl);
    if (f.frames == 3)
        for (int i = 1; i < 3; ++i) lines = std::min<int64_t>(lines, f.planes[i].size() / bpl);
    if (f.params.lines > 0) lines = std::min<int64_t>(lines, f.params.lines);
    return lines;
}

struct Converter {
    const FrameSet& f;
    FrameConversion c;
    std::array<uint8_t, 256> lut;

    void row(int y, uint8_t* out) const {
        const SANE_Parameters& p = f.params;
        const size_t offset = size_t(y) * size_t(p.bytes_per_line);
        const uint8_t* r0 = f.planes[0].data() + offset;
        const bool rgb = p.format == SANE_FRAME_RGB, three = f.frames == 3;
        const int bits = bits_for(c.pixel_type);
        for (int x = 0; x < p.pixels_per_line; ++x) {
            uint8_t r, g, b;
            if (rgb) {
                r = sample(r0, p.depth, 3 * x, false);
                g = sample(r0, p.depth, 3 * x + 1, false);
                b = sample(r0, p.depth, 3 * x + 2, false);
            } else if (three) {
                r = sample(r0, p.depth, x, false);
                g = sample(f.planes[1].data() + offset, p.depth, x, false);
                b = sample(f.planes[2].data() + offset, p.depth, x, false);
            } else {
                r = g = b = sample(r0, p.depth, x, true);
            }
            r = lut[r], g = lut[g], b = lut[b];
            uint8_t grey = rgb || three ? uint8_t((299 * r + 587 * g + 114 * b) / 1000) : r;
            if (bits == 24) {
                out[3 * x] = b, out[3 * x + 1] = g, out[3 * x + 2] = r;
            } else if (bits == 8) {
                out[x] = grey;
            } else if (grey >= c.threshold && !(grey == 0 && c.threshold == 0)) {
                out[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
        }
    }
};

}  // namespace

std::string CheckFrameParameters(const SANE_Parameters& p) {
    if (p.format != SANE_FRAME_GRAY && p.format != SANE_FRAME_RGB && !is_colour_plane(p.format))
        return "frame format " + std::to_string(int(p.format));
    if (p.depth != 1 && p.depth != 8 && p.depth != 16)
        return "depth " + std::to_string(p.depth) + " (1, 8 or 16 expected)";
    if (p.pixels_per_line <= 0 || p.pixels_per_line > kMaxFramePixels)
        return "pixels_per_line " + std::to_string(p.pixels_per_line);
    if (p.lines == 0 || p.lines < -1 || p.lines > kMaxFramePixels)
        return "lines " + std::to_string(p.lines);
    const uint64_t need = min_bytes_per_line(p);
    if (p.bytes_per_line <= 0 || uint64_t(p.bytes_per_line) < need)
        return "bytes_per_line " + std::to_string(p.bytes_per_line) + " below the " +
               std::to_string(need) + " that pixels_per_line and depth need";
    if (uint64_t(p.bytes_per_line) > need + 65536 && uint64_t(p.bytes_per_line) > 8 * need)
        return "bytes_per_line " + std::to_string(p.bytes_per_line) + " far above " +
               std::to_string(need);
    if (p.lines > 0 && uint64_t(p.bytes_per_line) * uint64_t(p.lines) > kMaxDibBytes)
        return "a frame of " + std::to_string(p.lines) + " lines is too large";
    if (!p.last_frame && !is_colour_plane(p.format))
        return "a grey or RGB frame that is not the last";
    return {};
}

std::string CheckNextFrame(const SANE_Parameters& first, const SANE_Parameters& next, int seen) {
    std::string why = CheckFrameParameters(next);
    if (!why.empty()) return why;
    if (!is_colour_plane(next.format)) return "a three-pass scan continued by a full frame";
    if (next.pixels_per_line != first.pixels_per_line ||
        next.bytes_per_line != first.bytes_per_line || next.depth != first.depth ||
        next.lines != first.lines)
        return "the frames of a three-pass scan differ in size";
    if (seen & (1 << PlaneOf(next.format))) return "a colour delivered twice";
    return {};
}

int PlaneOf(SANE_Frame format) {
    return format == SANE_FRAME_GREEN ? 1 : format == SANE_FRAME_BLUE ? 2 : 0;
}

std::optional<DibFormat> FrameDibFormat(const FrameSet& f, const FrameConversion& c,
                                        std::string* why) {
    if (f.frames != 1 && f.frames != 3) return *why = "no complete set of frames", std::nullopt;
    if (!CheckFrameParameters(f.params).empty() ||
        (f.frames == 3) != is_colour_plane(f.params.format))
        return *why = "frame parameters", std::nullopt;
    const int64_t lines = whole_lines(f);
    if (lines <= 0) return *why = "no whole line of data", std::nullopt;
    DibFormat s;
    s.width = f.params.pixels_per_line;
    s.height = int(lines);
    s.bits = bits_for(c.pixel_type);
    s.dpi_x = s.dpi_y = c.dpi;
    if (!ComputeDibLayout(s)) return *why = "the page is too large", std::nullopt;
    return s;
}

RowWriter FrameRowWriter(const FrameSet& f, const FrameConversion& c) {
    auto conv = std::make_shared<Converter>(Converter{f, c, AdjustLut(c.brightness, c.contrast)});
    return [conv](int y, uint8_t* out) { conv->row(y, out); };
}

}  // namespace lumtwain
