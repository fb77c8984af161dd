// libFuzzer target: the BMP decoder, through GdipLoadImageFromStream.
#include "decode_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return lum_fuzz_decode(data, size, ImageFormatBMP);
}
