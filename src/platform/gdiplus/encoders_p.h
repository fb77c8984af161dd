// The encoders of the gdiplus stand-in: where encoded bytes go, the parsed encoder
// parameters, and one encode function per format.
#pragma once

#include <cstdio>
#include <memory>

#include "platform/gdiplus/codec_p.h"
#include "platform/gdiplus/pixels_p.h"

namespace gdip {

// A whole-or-nothing replacement of `path`, or (in_place) the file itself held open until
// the sink goes. Null, with the last error set, when it cannot be created.
std::unique_ptr<Sink> open_file_sink(const std::string& path, bool in_place);
// Writes at the stream's current position; keeps a reference to the stream.
std::unique_ptr<Sink> open_stream_sink(IStream* stream);

// InvalidParameter for a parameter with a bad type, count or value.
[[nodiscard]] GpStatus parse_options(const EncoderParameters* params, EncodeOptions* out);

// The frame reduced or widened to `depth` bits (1: black and white, 4/8: a palette from
// the quantiser unless the frame is already indexed within that size, 24/32: RGB/ARGB).
// `*out` points at `src` itself when nothing changes.
[[nodiscard]] GpStatus frame_at_depth(const Frame& src, ULONG depth, Frame* storage,
                                      const Frame** out);

// The quantiser: at most `max_colors` (2..256) palette entries of good quality (exact when
// the frame has no more colours than that), pixels mapped to 8bppIndexed, or 4bppIndexed
// when max_colors <= 16. With `transparent`, pixels of alpha below 128 take one entry of
// alpha 0. Floyd-Steinberg dithering is off unless asked for.
[[nodiscard]] GpStatus quantize_frame(const Frame& src, int max_colors, bool transparent,
                                      bool dither, Frame* out);

[[nodiscard]] GpStatus encode_bmp(const Frame& frame, const EncodeOptions& opt, Sink& sink);
[[nodiscard]] GpStatus encode_jpeg(const Frame& frame, const EncodeOptions& opt, Sink& sink);
[[nodiscard]] GpStatus encode_png(const Frame& frame, const EncodeOptions& opt, Sink& sink);
[[nodiscard]] GpStatus encode_gif(const Frame& frame, const EncodeOptions& opt, Sink& sink);
[[nodiscard]] GpStatus encode_tiff(const Frame& frame, const EncodeOptions& opt, Sink& sink);
// The first page of a multipage file that stays open in `*writer`; add_frame's compression 0
// keeps the file's.
[[nodiscard]] GpStatus begin_tiff(const Frame& frame, const EncodeOptions& opt,
                                  std::unique_ptr<Sink> sink,
                                  std::unique_ptr<MultiFrameWriter>* writer);

// Rows of a frame as an encoder writes them: as stored, or converted to `format` one row at a
// time into a reused buffer (`copy` also gives stored rows through the buffer, for writers
// that scribble on what they are given). Blue and red can be swapped for writers that want
// R, G, B order.
class RowSource {
public:
    RowSource(const Frame& frame, PixelFormat format = 0, std::vector<ARGB> palette = {},
              bool copy = false);
    // InvalidParameter when the rows cannot be made (unknown format, width too large).
    GpStatus status() const { return m_status; }
    void swap_red_blue(int bytes_per_sample, int samples) {
        m_swap_sample = bytes_per_sample;
        m_swap_samples = samples;
    }
    // Row y; null when converting it failed.
    const uint8_t* row(int32_t y);
    size_t row_bytes() const { return m_buffer.empty() ? size_t(m_stored_bytes) : m_buffer.size(); }

private:
    ConstPixelView m_src;
    PixelFormat m_format = 0;
    std::vector<ARGB> m_palette;
    std::vector<BYTE> m_buffer;
    int32_t m_stored_bytes = 0;
    int m_swap_sample = 0, m_swap_samples = 0;
    GpStatus m_status = Gdiplus::Ok;
};

// True when the palette holds 2^bits entries rising evenly from black to white.
bool is_grey_ramp(const std::vector<ARGB>& palette, int bits);

}  // namespace gdip
