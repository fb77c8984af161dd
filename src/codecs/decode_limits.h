// How much memory the library's own readers (PNM, PCX) may give a decoded image: a size that
// overflows, exceeds 2 GiB, or is far beyond what the input could hold is refused before
// anything is allocated, so that a tiny file cannot ask for gigabytes.
#pragma once

#include <cstdint>

namespace codecs {

constexpr uint64_t kMaxDecodedBytes = uint64_t(1) << 31;
// Images up to this size are always allocated, however little input backs them.
constexpr uint64_t kPlausibleFloor = uint64_t(64) << 20;
// One input byte decodes to at most this many bytes (one PBM bit gives three; a PCX run of
// two bytes gives 63), with room for files cut short.
constexpr uint64_t kMaxExpansion = 64;

constexpr bool PlausibleImageBytes(uint64_t decoded, uint64_t input) {
    if (decoded > kMaxDecodedBytes) return false;
    return decoded <= kPlausibleFloor || input >= (decoded + kMaxExpansion - 1) / kMaxExpansion;
}

}  // namespace codecs
