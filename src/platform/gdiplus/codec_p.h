// The codec framework of the gdiplus stand-in: one table of codec descriptors (identity,
// signature sniffing, decoding, encoding), the sinks encoders write to, and the encoder
// parameters as the encoders use them.
//
//   row    name  CLSID     extensions                  decode  encode  several frames
//   BMP    BMP   557CF400  *.BMP;*.DIB;*.RLE           yes     yes
//   JPEG   JPEG  557CF401  *.JPG;*.JPEG;*.JPE;*.JFIF   yes     yes
//   GIF    GIF   557CF402  *.GIF                       yes     yes
//   TIFF   TIFF  557CF405  *.TIF;*.TIFF                yes     yes     MultiFrameWriter
//   PNG    PNG   557CF406  *.PNG                       yes     yes
//   ICO    ICO   557CF407  *.ICO                       yes
//
// Decoders are tried in table order on the bytes' signature (the platform's order); encoders
// are listed in the same order. A new format is one row in register_codecs().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/gdiplus/image_p.h"

namespace gdip {

// Where an encoder writes: a file or an IStream. Positions are relative to where the output
// began. Random access is there for libtiff, which seeks back to patch offsets.
class Sink {
public:
    virtual ~Sink() = default;
    [[nodiscard]] virtual bool write(const void* data, size_t n) = 0;
    [[nodiscard]] virtual bool seek(uint64_t position) = 0;
    virtual uint64_t tell() = 0;
    virtual uint64_t size() = 0;
    virtual size_t read(void* data, size_t n) = 0;
    // Completes the output (a file: renamed over its target); false when anything written was
    // lost, with the last error set.
    [[nodiscard]] virtual bool finish() = 0;
};

// Encoder parameters as the encoders use them; 0 where a parameter was not given.
struct EncodeOptions {
    int quality = -1;       // 0..100, -1 for the encoder's default
    ULONG compression = 0;  // EncoderValueCompression*
    ULONG color_depth = 0;  // 1, 4, 8, 24, 32
    ULONG save_flag = 0;    // EncoderValueMultiFrame, FrameDimensionPage, Flush
};

using SniffFn = bool (*)(const uint8_t* data, size_t size);
using DecodeFn = GpStatus (*)(const uint8_t* data, size_t size, Image& image);
using EncodeFn = GpStatus (*)(const Frame& frame, const EncodeOptions& options, Sink& sink);
// The first frame of a file that stays open in `*writer` for more.
using BeginFramesFn = GpStatus (*)(const Frame& frame, const EncodeOptions& options,
                                   std::unique_ptr<Sink> sink,
                                   std::unique_ptr<MultiFrameWriter>* writer);

struct CodecDesc {
    std::string_view name;
    CLSID clsid;
    const GUID* format;
    std::string_view extensions;
    std::string_view mime;
    SniffFn sniff = nullptr;       // with decode: the format is read
    DecodeFn decode = nullptr;
    EncodeFn encode = nullptr;     // null: no encoder
    BeginFramesFn begin_frames = nullptr;  // null: one frame per file
};

// Every codec, in the platform's order.
std::span<const CodecDesc> codecs();
// The row whose encoder has this CLSID; null for none.
const CodecDesc* find_encoder(const CLSID& clsid);

// Decodes a whole file held in memory into a new image (not entered in the image table).
// The bytes are not kept. Statuses: UnknownImageFormat no decoder recognises the bytes;
// GenericError a recognised header is broken; OutOfMemory the dimensions cannot be
// allocated (or are far beyond what the input could hold); InvalidParameter null `out`.
// Pixel data cut short after a valid header decodes what is there, fills the rest, and
// succeeds.
[[nodiscard]] GpStatus decode_bytes(const uint8_t* data, size_t size, std::unique_ptr<Image>* out);

}  // namespace gdip
