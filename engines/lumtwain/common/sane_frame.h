// SANE frames as a backend delivers them, checked and turned into a packed DIB. The
// parameters come from the backend and are not trusted: every one is checked against the
// others and against the data before a sample is read.
#pragma once

#include <sane/sane.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dib.h"

namespace lumtwain {

// Limits of what the engine accepts from a backend.
constexpr int kMaxFramePixels = 1 << 20;  // pixels per line, and lines

// Why the parameters of a frame cannot be used, or an empty text when they fit: the format,
// the depth (1, 8 or 16), the line count (-1 unknown, else positive), and bytes_per_line
// against pixels_per_line × channels × depth.
std::string CheckFrameParameters(const SANE_Parameters& p);
// The same for a later frame of a three-pass scan: it must match the first frame and bring a
// colour not seen yet. `seen` holds a bit per colour (1 red, 2 green, 4 blue).
std::string CheckNextFrame(const SANE_Parameters& first, const SANE_Parameters& next, int seen);

// One scanned image: the frames SANE delivered (one, or red, green and blue).
struct FrameSet {
    SANE_Parameters params{};
    std::vector<uint8_t> planes[3];
    int frames = 0;
};

// Where frame `format` goes in a FrameSet.
int PlaneOf(SANE_Frame format);

struct FrameConversion {
    int pixel_type = 2;  // TWPT_BW, GRAY, RGB
    double dpi = 100;
    double brightness = 0, contrast = 0;  // -1000..1000, applied on 8-bit samples
    double threshold = 128;               // black and white
};

// The DIB the frames make and how many lines they hold; nullopt with `why` when the data
// does not hold one whole line (or a three-pass plane is short).
std::optional<DibFormat> FrameDibFormat(const FrameSet& frames, const FrameConversion& c,
                                        std::string* why);
// Writes the rows of that DIB. `frames` must outlive the writer and have passed
// FrameDibFormat.
RowWriter FrameRowWriter(const FrameSet& frames, const FrameConversion& c);

}  // namespace lumtwain
