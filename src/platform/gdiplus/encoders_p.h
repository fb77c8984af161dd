// The encoders of the gdiplus stand-in: where encoded bytes go, the parsed encoder
// parameters, and one encode function per format.
#pragma once

#include <cstdio>
#include <memory>

#include "platform/gdiplus/pixels_p.h"

namespace gdip {

// Where an encoder writes: a file or an IStream. Positions are relative to where the
// output began. Random access is there for libtiff, which seeks back to patch offsets.
class Sink {
  public:
    virtual ~Sink() = default;
    [[nodiscard]] virtual bool write(const void* data, size_t n) = 0;
    [[nodiscard]] virtual bool seek(uint64_t position) = 0;
    virtual uint64_t tell() = 0;
    virtual uint64_t size() = 0;
    virtual size_t read(void* data, size_t n) = 0;
    // Flushes; false when anything written was lost.
    [[nodiscard]] virtual bool finish() = 0;
};

// Null when the file cannot be created.
std::unique_ptr<Sink> open_file_sink(const char* path);
// Writes at the stream's current position; keeps a reference to the stream.
std::unique_ptr<Sink> open_stream_sink(IStream* stream);

// Encoder parameters as the encoders use them; 0 where a parameter was not given.
struct EncodeOptions {
    int quality = -1;       // 0..100, -1 for the encoder's default
    ULONG compression = 0;  // EncoderValueCompression*
    ULONG color_depth = 0;  // 1, 4, 8, 24, 32
    ULONG save_flag = 0;    // EncoderValueMultiFrame, FrameDimensionPage, Flush
};

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
// A one-page TIFF, or with EncoderValueMultiFrame the first page of a file that stays open
// in `*writer` (its deleter completes the file).
[[nodiscard]] GpStatus encode_tiff(const Frame& frame, const EncodeOptions& opt,
                                   std::unique_ptr<Sink> sink, std::shared_ptr<void>* writer);
// Appends a page to an open multipage file; `compression` 0 keeps the file's.
[[nodiscard]] GpStatus tiff_add_page(void* writer, const Frame& frame, ULONG compression);
// Completes the file now; WrongState when it was already completed.
[[nodiscard]] GpStatus tiff_finish(void* writer);

}  // namespace gdip
